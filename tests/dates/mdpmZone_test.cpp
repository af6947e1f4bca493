#include "dates/mdpmZone.h"
#include "dates/recordingDate.h"
#include "sharedTestData.h"

#include "avchdCard.h"
#include "scopedTimeZone.h"

#include <QString>

#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace {

using Bytes = std::string;
namespace fs = std::filesystem;

const Bytes kUuid("\x17\xee\x8c\x60\xf8\x4d\x11\xd9\x8c\xd6\x08\x00\x20\x0c\x9a\x66", 16);

Bytes bytes(std::initializer_list<int> values) {
    Bytes out;
    for (const int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

// An MDPM user-data payload: UUID, "MDPM", the count, the five-byte entries.
Bytes mdpm(const std::vector<Bytes> &entries, int count = -1) {
    Bytes out = kUuid + "MDPM";
    out += static_cast<char>(count < 0 ? static_cast<int>(entries.size()) : count);
    for (const Bytes &entry : entries) {
        out += entry;
    }
    return out;
}

// The date entries of 2008-12-31 23:16:24 with the zone byte.
std::vector<Bytes> dateEntries(int zone) {
    return {bytes({0x18, zone, 0x20, 0x08, 0x12}), bytes({0x19, 0x31, 0x23, 0x16, 0x24})};
}

// A value as SEI codes a payload type or size: 0xFF for every 255, then the rest.
Bytes seiNumber(std::size_t value) {
    Bytes out(value / 255, '\xFF');
    out += static_cast<char>(value % 255);
    return out;
}

Bytes seiMessage(std::size_t type, const Bytes &payload) {
    return seiNumber(type) + seiNumber(payload.size()) + payload;
}

// RBSP to NAL payload: a 03 after every two zero bytes that a 00-03 byte follows.
Bytes escaped(const Bytes &rbsp) {
    Bytes out;
    int zeros = 0;
    for (const char c : rbsp) {
        const auto byte = static_cast<unsigned char>(c);
        if (zeros >= 2 && byte <= 3) {
            out += '\x03';
            zeros = 0;
        }
        out += c;
        zeros = byte == 0 ? zeros + 1 : 0;
    }
    return out;
}

// An SEI NAL unit with its start code; the messages end with the stop bit's byte.
Bytes seiNal(const Bytes &messages) {
    return Bytes("\x00\x00\x00\x01\x06", 5) + escaped(messages + "\x80");
}

// A slice NAL unit of an IDR picture, as a stand-in for the picture that follows.
Bytes idrSlice(std::size_t size = 40) {
    return Bytes("\x00\x00\x01\x65\x88", 5) + Bytes(size, '\x5A');
}

std::optional<mdpmDate> fromAnnexB(const Bytes &data) {
    return mdpmFromAnnexB(reinterpret_cast<const unsigned char *>(data.data()), data.size());
}

std::optional<mdpmDate> fromTs(const Bytes &data) {
    return mdpmFromTransportStream(reinterpret_cast<const unsigned char *>(data.data()),
                                   data.size());
}

// Transport-stream packets of one program: PAT, PMT (H.264 on PID 0x1011) and the elementary
// stream in one PES packet cut over as many packets as it needs; 192-byte packets with a
// 4-byte time stamp in front when `m2ts`.
Bytes transportStream(const Bytes &es, bool m2ts) {
    Bytes out;
    const auto packet = [&](int pid, bool start, const Bytes &payload) {
        Bytes p = bytes({0x47, (start ? 0x40 : 0) | (pid >> 8), pid & 0xFF, 0x10});
        if (payload.size() < 184) {
            // Stuffing in an adaptation field, as muxers fill a packet's end.
            const std::size_t fill = 184 - payload.size();
            p[3] = 0x30;
            p += static_cast<char>(fill - 1);
            if (fill > 1) {
                p += '\x00';
                p += Bytes(fill - 2, '\xFF');
            }
        }
        p += payload;
        if (m2ts) {
            out += Bytes(4, '\0');
        }
        out += p;
    };
    // CRCs are not checked by the reader; zeros stand in for them.
    packet(0, true,
           bytes({0x00, 0x00, 0xB0, 0x0D, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x01, 0xE1, 0x00, 0,
                  0, 0, 0}));
    packet(0x100, true, bytes({0x00, 0x02, 0xB0, 0x17, 0x00, 0x01, 0xC1, 0x00, 0x00,
                               0xF0, 0x01, 0xF0, 0x00, 0x81, 0xF1, 0x00, 0xF0, 0x00,
                               0x1B, 0xF0, 0x11, 0xF0, 0x00, 0,    0,    0,    0}));
    Bytes pes = bytes({0x00, 0x00, 0x01, 0xE0, 0x00, 0x00, 0x80, 0x80, 0x05, 0x21, 0x00, 0x01, 0x00,
                       0x01}) +
                es;
    bool first = true;
    for (std::size_t at = 0; at < pes.size(); at += 184) {
        packet(0x1011, first, pes.substr(at, 184));
        first = false;
    }
    return out;
}

// The wall-clock time of the real Canon clip's message, 2008-12-31 23:16:24.
void expectCanonDate(const mdpmDate &found) {
    ASSERT_TRUE(found.hasDate);
    EXPECT_EQ(found.year, 2008);
    EXPECT_EQ(found.month, 12);
    EXPECT_EQ(found.day, 31);
    EXPECT_EQ(found.hour, 23);
    EXPECT_EQ(found.minute, 16);
    EXPECT_EQ(found.second, 24);
}

} // namespace

// The zone byte: hours in bits 1-4 and a half hour in bit 0, west of Greenwich with bit 5, the
// summer-time hour added with bit 6; bytes that name no zone of this world give none.
TEST(MdpmZone, ZoneByteGivesTheOffset) {
    const struct {
        int zone;
        std::optional<std::int32_t> offset;
    } cases[] = {
        {0x02, 3600},               // +01:00, the real Canon clip's
        {0x00, 0},                  // Greenwich
        {0x2A, -5 * 3600},          // -05:00 (bit 5: west)
        {0x0B, 5 * 3600 + 1800},    // +05:30
        {0x27, -(3 * 3600 + 1800)}, // -03:30
        {0x42, 2 * 3600},           // +01:00 in summer time: +02:00
        {0x6A, -4 * 3600},          // -05:00 in summer time: -04:00
        {0x38, -12 * 3600},         // -12:00, the westernmost zone
        {0x1C, 14 * 3600},          // +14:00, the easternmost
        {0x5C, std::nullopt},       // +14:00 and an hour more
        {0x3A, std::nullopt},       // -13:00
        {0x1E, std::nullopt},       // 15 hours
        {0xFF, std::nullopt},       // never set
        {0x82, std::nullopt},       // the undocumented bit 7
    };
    for (const auto &c : cases) {
        EXPECT_EQ(mdpmZoneOffsetSeconds(static_cast<std::uint8_t>(c.zone)), c.offset)
            << std::hex << c.zone;
    }
}

TEST(MdpmZone, FirstMdpmMessageOfTheAnnexBStream) {
    // After other messages (a buffering period, an encoder's own user data) in the same NAL.
    const Bytes otherUserData = Bytes(16, '\x42') + "encoder options";
    const Bytes stream =
        Bytes("\x00\x00\x00\x01\x09\x10", 6) +
        seiNal(seiMessage(0, bytes({0xd7, 0xe4, 0x00, 0x00, 0x57})) + seiMessage(5, otherUserData) +
               seiMessage(5, mdpm(dateEntries(0x02)))) +
        idrSlice();
    const std::optional<mdpmDate> found = fromAnnexB(stream);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->zone, 0x02);
    expectCanonDate(*found);

    // The first one wins, also when it comes in a NAL of its own after a slice of nothing.
    const Bytes two = seiNal(seiMessage(5, mdpm(dateEntries(0x2A)))) + idrSlice() +
                      seiNal(seiMessage(5, mdpm(dateEntries(0x02))));
    EXPECT_EQ(fromAnnexB(two)->zone, 0x2A);

    // Payload type and size past 255 are coded with 0xFF runs: a long message before the MDPM
    // one and a type above 255 must be stepped over, not read as the MDPM message.
    const Bytes longFirst =
        seiNal(seiMessage(5, Bytes(16, '\x11') + Bytes(600, '\x22')) +
               seiMessage(261, mdpm(dateEntries(0x0B))) + seiMessage(5, mdpm(dateEntries(0x27))));
    EXPECT_EQ(fromAnnexB(longFirst)->zone, 0x27);

    // Entries in any order, other tags among them; a date whose digits are no BCD is no date
    // but keeps its zone.
    const Bytes mixed = seiNal(seiMessage(
        5, mdpm({bytes({0x70, 0xca, 0xf4, 0xff, 0xff}), bytes({0x19, 0x31, 0x2A, 0x16, 0x24}),
                 bytes({0x18, 0x42, 0x20, 0x08, 0x12})})));
    const std::optional<mdpmDate> noDate = fromAnnexB(mixed);
    ASSERT_TRUE(noDate.has_value());
    EXPECT_EQ(noDate->zone, 0x42);
    EXPECT_FALSE(noDate->hasDate);
}

TEST(MdpmZone, NoMdpmOrBrokenMessagesGiveNothing) {
    EXPECT_EQ(fromAnnexB(Bytes()), std::nullopt);
    EXPECT_EQ(mdpmFromAnnexB(nullptr, 10), std::nullopt);
    EXPECT_EQ(fromAnnexB(seiNal(seiMessage(5, Bytes(16, '\x42') + "x264 core")) + idrSlice()),
              std::nullopt);
    // The right UUID without "MDPM", and MDPM bytes in a slice rather than an SEI.
    EXPECT_EQ(fromAnnexB(seiNal(seiMessage(5, kUuid + "MDPX" + Bytes(11, '\x01')))), std::nullopt);
    EXPECT_EQ(fromAnnexB(Bytes("\x00\x00\x01\x01", 4) + seiMessage(5, mdpm(dateEntries(2)))),
              std::nullopt);
    // A message longer than its NAL unit, and a NAL cut in its middle at the buffer's end.
    const Bytes whole = seiNal(seiMessage(5, mdpm(dateEntries(0x02))));
    Bytes overlong = whole;
    overlong[6] = '\x60'; // the size byte after the type byte 05
    EXPECT_EQ(fromAnnexB(overlong + idrSlice()), std::nullopt);
    for (std::size_t cut = 0; cut < whole.size() - 1; ++cut) {
        const std::optional<mdpmDate> part = fromAnnexB(whole.substr(0, cut));
        // Only once the zone entry is whole can the message be read; never from a shorter one.
        EXPECT_FALSE(part.has_value()) << cut;
    }
    // A count larger than the entries there: the entries there.
    EXPECT_EQ(fromAnnexB(seiNal(seiMessage(5, mdpm(dateEntries(0x02), 9))))->zone, 0x02);
}

// Zero bytes inside the message make the encoder insert 03 bytes; read without removing them,
// every later entry would be shifted.
TEST(MdpmZone, EmulationPreventionBytesAreRemoved) {
    const Bytes message = seiMessage(
        5, mdpm({bytes({0x7f, 0x00, 0x00, 0x01, 0x00}), bytes({0x71, 0x00, 0x00, 0x03, 0x00}),
                 bytes({0x72, 0x00, 0x00, 0x00, 0x02}), bytes({0x18, 0x00, 0x20, 0x08, 0x12}),
                 bytes({0x19, 0x31, 0x23, 0x16, 0x00})}));
    const Bytes nal = seiNal(message);
    ASSERT_GE(nal.size(), seiNal(Bytes()).size() + message.size() + 3); // 03 bytes went in
    const std::optional<mdpmDate> found = fromAnnexB(nal + idrSlice());
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->zone, 0x00);
    EXPECT_TRUE(found->hasDate);
    EXPECT_EQ(found->second, 0);
}

// The SEI is found through the program's tables, across packet boundaries that fall inside it,
// in 188- and 192-byte packets; a stream on another PID or of another type is not read.
TEST(MdpmZone, TransportStreamDemuxedByItsTables) {
    // 150 bytes of an earlier NAL put the MDPM message across the first packet's end.
    const Bytes es = Bytes("\x00\x00\x00\x01\x09\x10", 6) + Bytes("\x00\x00\x00\x01\x67", 5) +
                     Bytes(150, '\x64') + seiNal(seiMessage(5, mdpm(dateEntries(0x6A)))) +
                     idrSlice(400);
    for (const bool m2ts : {false, true}) {
        const Bytes ts = transportStream(es, m2ts);
        ASSERT_EQ(ts.size() % (m2ts ? 192 : 188), 0u);
        const std::optional<mdpmDate> found = fromTs(ts);
        ASSERT_TRUE(found.has_value()) << m2ts;
        EXPECT_EQ(found->zone, 0x6A);
        EXPECT_EQ(found->day, 31);
        // A cut file: nothing, and nothing read beyond it.
        EXPECT_EQ(fromTs(ts.substr(0, (m2ts ? 192 : 188) * 2 + 100)), std::nullopt);
    }
    // The same bytes as the elementary stream of an AC-3 stream type: not read.
    Bytes audio = transportStream(es, false);
    const std::size_t h264 = audio.find(Bytes("\x1B\xF0\x11", 3), 188);
    ASSERT_LT(h264, 2u * 188);
    audio[h264] = '\x81';
    EXPECT_EQ(fromTs(audio), std::nullopt);
    // No PAT: no program, nothing read.
    EXPECT_EQ(fromTs(transportStream(es, false).substr(188)), std::nullopt);
    EXPECT_EQ(fromTs(Bytes(1000, '\x47')), std::nullopt);
}

TEST(MdpmZone, RealCanonClip) {
    FLUXARO_NEEDS_SHARED_TEST_DATA();
    const std::string clip = fluxaro::test::sharedTestFile("canon-truncated.mts");
    const std::optional<mdpmDate> found = mdpmOfFile(clip);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->zone, 0x02);
    expectCanonDate(*found);
    EXPECT_EQ(cameraZoneOf(QString::fromStdString(clip)), 3600);
}

// A listed clip whose stream gives the camera's zone is read in that zone, whatever the
// machine's; its name stays the playlist's. Without a zone, or with an impossible one, the
// machine's zone as before.
TEST(MdpmZone, RecordingDateReadsThePlaylistInTheCameraZone) {
    ScopedTimeZone machine("FLX-02");
    avchd::TempDir tmp;
    const auto card = [&](const std::string &name, const Bytes &stream) {
        const fs::path playlists = avchd::makeCard(tmp.path() / name, avchd::CardForm::Bdmv);
        avchd::addPlaylist(playlists, "00000.MPL",
                           {avchd::ClipRecord{3, {0x11, 0x06, 0x15, 0x14, 0x30, 0x05}}});
        const fs::path path = playlists.parent_path() / "STREAM" / "00003.MTS";
        avchd::writeFile(path, stream);
        return QString::fromStdString(path.string());
    };
    const QString name = QStringLiteral("clip-2011-06-15 14;30;05-00003");
    // 2011-06-15 14:30:05 at -05:00 (an eastern American summer: -04:00 with the bit) is
    // 18:30:05 UTC.
    const Bytes west =
        transportStream(seiNal(seiMessage(5, mdpm(dateEntries(0x6A)))) + idrSlice(), true);
    const std::optional<recordingDate> camera = recordingDateOf(card("west", west));
    ASSERT_TRUE(camera.has_value());
    EXPECT_EQ(camera->name, name);
    EXPECT_TRUE(camera->fromPlaylist);
    EXPECT_TRUE(camera->cameraZone);
    EXPECT_EQ(camera->offsetSeconds, -4 * 3600);
    EXPECT_EQ(camera->utcSeconds, 1308162605);
    EXPECT_EQ(recordingDateIso8601(*camera->utcSeconds, camera->offsetSeconds),
              QStringLiteral("2011-06-15T14:30:05-04:00"));

    for (const Bytes &stream :
         {Bytes("not a stream"),
          transportStream(seiNal(seiMessage(5, mdpm(dateEntries(0xFF)))) + idrSlice(), false)}) {
        const std::optional<recordingDate> local = recordingDateOf(card("local", stream));
        ASSERT_TRUE(local.has_value());
        EXPECT_EQ(local->name, name);
        EXPECT_FALSE(local->cameraZone);
        EXPECT_EQ(local->offsetSeconds, 7200);
        EXPECT_EQ(local->utcSeconds, 1308141005);
    }
    EXPECT_EQ(zoneOffsetText(-(3 * 3600 + 1800)), QStringLiteral("-03:30"));
    EXPECT_EQ(zoneOffsetText(3600), QStringLiteral("+01:00"));
    EXPECT_EQ(clipNameUtcSecondsInZone(QStringLiteral("clip-2012-01-01 00;10;00"), 3600),
              1325373000);
    EXPECT_EQ(clipNameUtcSecondsInZone(QStringLiteral("clip-2011-02-29 00;10;00"), 0),
              std::nullopt);
}

// A file is read from its start only as far as needed: a message after 64 KB of other packets is
// still found, one after 512 KB is not looked for; a named pipe in a clip's place is not read.
TEST(MdpmZone, FileReadIsBounded) {
    avchd::TempDir tmp;
    const Bytes ts = transportStream(seiNal(seiMessage(5, mdpm(dateEntries(0x02)))), false);
    const Bytes null = bytes({0x47, 0x1F, 0xFF, 0x10}) + Bytes(184, '\xFF');
    const auto withNullPackets = [&](std::size_t count) {
        Bytes padded = ts.substr(0, 2 * 188);
        for (std::size_t i = 0; i < count; ++i) {
            padded += null;
        }
        return padded + ts.substr(2 * 188);
    };
    const fs::path near = tmp.path() / "near.MTS";
    avchd::writeFile(near, withNullPackets(400)); // 75 KB
    const std::optional<mdpmDate> found = mdpmOfFile(near.string());
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->zone, 0x02);
    const fs::path far = tmp.path() / "far.MTS";
    avchd::writeFile(far, withNullPackets(kMdpmReadBytes / 188 + 1));
    EXPECT_EQ(mdpmOfFile(far.string()), std::nullopt);

    const fs::path pipe = tmp.path() / "pipe.MTS";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(mdpmOfFile(pipe.string()), std::nullopt);
    EXPECT_EQ(mdpmOfFile((tmp.path() / "missing.MTS").string()), std::nullopt);
    EXPECT_EQ(cameraZoneOf(QString()), std::nullopt);
}
