// The time zone an AVCHD camcorder recorded in, from the clip's own stream. Camcorders put an
// H.264 SEI "user data unregistered" message (payload type 5) in the first access units of a
// clip: a fixed UUID, "MDPM", a count byte and that many five-byte entries (a tag and four
// bytes). Tag 0x18 holds the zone byte, the year (two BCD bytes) and the month; tag 0x19 the
// day, hour, minute and second (BCD). The playlist's wall-clock time is the camera's clock in
// that zone. Plain C++ over bytes: nothing is read outside the buffer given, and only the first
// packets of a file are read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

/// What the first MDPM message of a stream says about its recording moment.
struct mdpmDate {
    /// The zone byte of tag 0x18; nothing when the message has no tag 0x18.
    std::optional<std::uint8_t> zone;
    /// The camera's wall-clock time of tags 0x18 and 0x19 when both are there in BCD.
    bool hasDate = false;
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

/// The offset east of Greenwich (seconds) that an MDPM zone byte gives: bit 0 a half hour,
/// bits 1-4 the hours, bit 5 the sign (set: west of Greenwich), bit 6 daylight saving time in
/// force (one hour more). Nothing for a byte that gives no zone of this world (hours above 14,
/// an offset beyond -12:00 to +14:00, the undocumented bit 7 set, as the 0xFF of a camera whose
/// zone was never set is).
std::optional<std::int32_t> mdpmZoneOffsetSeconds(std::uint8_t zone);

/// The first MDPM message in H.264 Annex B bytes (NAL units after 00 00 01 start codes):
/// SEI NAL units are unescaped (00 00 03), their messages walked by payload type and size, and
/// the first type 5 message with the MDPM UUID read. Nothing when there is none; a message that
/// runs past its NAL unit is no message.
std::optional<mdpmDate> mdpmFromAnnexB(const unsigned char *data, std::size_t size);

/// The first MDPM message of the H.264 stream of an MPEG transport stream held in data[0, size)
/// (188-byte packets, or the 192-byte packets of AVCHD's .MTS files): the stream is found by the
/// PAT and PMT, its PES payloads joined, and the first of them read by mdpmFromAnnexB.
std::optional<mdpmDate> mdpmFromTransportStream(const unsigned char *data, std::size_t size);

/// The bytes of a file that mdpmOfFile reads at first, and at most: the first access units of
/// a clip.
inline constexpr std::size_t kMdpmFirstReadBytes = 64 * 1024;
inline constexpr std::size_t kMdpmReadBytes = 512 * 1024;

/// The first MDPM message of the transport stream file at `path` (its native file name, a
/// regular file), read from its first kMdpmFirstReadBytes, or when they hold none from its first
/// kMdpmReadBytes; nothing when the file can't be read or has none.
std::optional<mdpmDate> mdpmOfFile(const std::string &path);
