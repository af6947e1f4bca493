// The play items of AVCHD playlists: the published layout read back from generated playlists,
// recordings told apart by their connection conditions, broken files refused without reading
// past them, and the pieces of a recording found on a card.
#include "dates/playItems.h"
#include "dates/spannedRecording.h"

#include "avchdCard.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace avchd;

namespace {

QString q(const fs::path &path) {
    return QString::fromStdString(path.string());
}

std::optional<std::vector<playItem>> read(const Bytes &bytes) {
    return readPlayItems(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
}

const ClipRecord kRecord{1, {0x24, 0x05, 0x18, 0x10, 0x15, 0x30}};

// The offset of the PlayList section (the header's first address).
std::size_t playListStart(const Bytes &bytes) {
    return static_cast<unsigned char>(bytes[10]) << 8 | static_cast<unsigned char>(bytes[11]);
}

} // namespace

TEST(playItems, readsItemsAndTellsRecordingsApart) {
    // Clip 4 alone, clips 5-7 one recording in three pieces, clips 8-9 another in two.
    std::vector<PlayItem> items{{4, 100, 900, 1}};
    for (const PlayItem &item : spannedItems(5, 3, 63000, 45000)) {
        items.push_back(item);
    }
    for (const PlayItem &item : spannedItems(8, 2, 70000, 90000)) {
        item.connection == 1 ? items.push_back({item.clip, item.inTime, item.outTime, 5})
                             : items.push_back(item);
    }
    const auto got = read(playlistBytes({kRecord}, items));
    ASSERT_TRUE(got.has_value());
    ASSERT_EQ(got->size(), 6U);
    EXPECT_EQ((*got)[0].clip, "00004");
    EXPECT_EQ((*got)[2].clip, "00006");
    EXPECT_EQ((*got)[2].connection, 6);
    EXPECT_EQ((*got)[4].connection, 5);
    EXPECT_EQ((*got)[2].inTime, 108000U);
    EXPECT_EQ((*got)[2].outTime, 153000U);

    const std::vector<playItemRun> runs = playItemRecordings(*got);
    ASSERT_EQ(runs.size(), 3U);
    EXPECT_EQ(runs[0].first, 0U);
    EXPECT_EQ(runs[0].count, 1U);
    EXPECT_EQ(runs[1].first, 1U);
    EXPECT_EQ(runs[1].count, 3U);
    EXPECT_EQ(runs[2].first, 4U);
    EXPECT_EQ(runs[2].count, 2U);
    // Only 6 continues: 5 is a new shot that a player runs on without a pause.
    EXPECT_FALSE(playItemContinues(1));
    EXPECT_FALSE(playItemContinues(4));
    EXPECT_FALSE(playItemContinues(5));
    EXPECT_TRUE(playItemContinues(6));
    // A playlist without items lists no recording; clipdater's older playlists, without
    // sections, are no playlist to this reader.
    EXPECT_TRUE(read(playlistBytes({kRecord}, {}))->empty());
    EXPECT_FALSE(read(playlistBytes({kRecord})).has_value());
}

TEST(playItems, shotsAndASplitRecordingAsACameraListsThem) {
    // Three shots and one recording cut into three files: conditions 1, 5, 5, 5, 6, 6, an
    // entry mark on each shot's first item.
    std::vector<PlayItem> items{
        {1, 63000, 153000, 1}, {2, 63000, 153000, 5}, {3, 63000, 153000, 5}};
    for (const PlayItem &item : spannedItems(4, 3, 63000, 45000)) {
        items.push_back({item.clip, item.inTime, item.outTime, item.connection == 1 ? 5 : 6});
    }
    const Bytes bytes = playlistBytes({kRecord}, items);
    const auto list =
        readPlayList(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
    ASSERT_TRUE(list.has_value());
    ASSERT_TRUE(list->marksRead);
    ASSERT_EQ(list->marks.size(), 4U);
    EXPECT_EQ(list->marks[3].type, kEntryMark);
    EXPECT_EQ(list->marks[3].item, 3U);
    EXPECT_EQ(list->marks[3].time, 63000U);
    const std::vector<playItemRun> runs = playItemRecordings(*list);
    ASSERT_EQ(runs.size(), 4U);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(runs[i].first, i);
        EXPECT_EQ(runs[i].count, 1U);
    }
    EXPECT_EQ(runs[3].first, 3U);
    EXPECT_EQ(runs[3].count, 3U);
    EXPECT_TRUE(runs[3].apart.empty()) << runs[3].apart;
}

TEST(playItems, marksThatDisagreeKeepThePiecesApart) {
    const std::vector<PlayItem> items = spannedItems(1, 3, 63000, 45000);
    const auto runsOf = [](const Bytes &bytes) {
        const auto list =
            readPlayList(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
        return list ? playItemRecordings(*list) : std::vector<playItemRun>{};
    };
    // An entry mark on the third piece: a shot begins where condition 6 says it goes on.
    std::vector<playItemRun> runs =
        runsOf(playlistBytes({kRecord}, items, {{1, 0, 63000}, {1, 2, 153000}}));
    ASSERT_EQ(runs.size(), 1U);
    EXPECT_EQ(runs[0].count, 3U);
    EXPECT_NE(runs[0].apart.find("entry mark begins a shot at 00003"), std::string::npos)
        << runs[0].apart;
    // A link point (type 2) on a piece is no shot.
    runs = runsOf(playlistBytes({kRecord}, items, {{1, 0, 63000}, {2, 2, 153000}}));
    ASSERT_EQ(runs.size(), 1U);
    EXPECT_TRUE(runs[0].apart.empty()) << runs[0].apart;
    // A mark past the items: no mark of the file is to be trusted.
    runs = runsOf(playlistBytes({kRecord}, items, {{1, 0, 63000}, {1, 7, 0}}));
    ASSERT_EQ(runs.size(), 1U);
    EXPECT_NE(runs[0].apart.find("points at item 8 of its 3"), std::string::npos) << runs[0].apart;
    // A mark section whose marks run past it (or past the file): the items are still read, the
    // marks are unknown and the pieces stay apart.
    Bytes cut = playlistBytes({kRecord}, items);
    const std::size_t marks =
        static_cast<unsigned char>(cut[14]) << 8 | static_cast<unsigned char>(cut[15]);
    cut[marks + 5] = '\x09';
    const auto list = readPlayList(reinterpret_cast<const unsigned char *>(cut.data()), cut.size());
    ASSERT_TRUE(list.has_value());
    EXPECT_FALSE(list->marksRead);
    EXPECT_EQ(list->items.size(), 3U);
    runs = playItemRecordings(*list);
    ASSERT_EQ(runs.size(), 1U);
    EXPECT_NE(runs[0].apart.find("unreadable"), std::string::npos) << runs[0].apart;
    // A shot of its own (condition 5 or 1) is never joined, mark or not; alone it needs no note.
    runs = runsOf(playlistBytes({kRecord}, {{1, 0, 9, 1}, {2, 0, 9, 5}}, {{1, 0, 0}}));
    ASSERT_EQ(runs.size(), 2U);
    EXPECT_TRUE(runs[1].apart.empty());
}

TEST(playItems, brokenPlaylistsAreRefusedWithinTheirBytes) {
    const Bytes whole = playlistBytes({kRecord}, spannedItems(1, 3, 63000, 45000));
    const std::size_t start = playListStart(whole);
    // Every cut inside the header or the PlayList section is refused; the bytes after it (marks,
    // extension data) are not needed for the items, and their marks are then unknown. Each cut is
    // copied so that AddressSanitizer and the standard library's checks see a buffer of exactly
    // that size.
    const std::size_t listEnd = start + 4 + 6 + 3 * (2 + 80);
    for (std::size_t size = 0; size < listEnd; ++size) {
        const Bytes cut = whole.substr(0, size);
        EXPECT_FALSE(read(cut).has_value()) << size;
    }
    EXPECT_TRUE(read(whole.substr(0, listEnd)).has_value());
    for (std::size_t size = listEnd; size < listEnd + 6 + 14; ++size) {
        const Bytes cut = whole.substr(0, size);
        const auto list =
            readPlayList(reinterpret_cast<const unsigned char *>(cut.data()), cut.size());
        ASSERT_TRUE(list.has_value()) << size;
        EXPECT_FALSE(list->marksRead) << size;
    }
    EXPECT_FALSE(readPlayItems(nullptr, 100).has_value());

    // An item whose length runs past the section, a section longer than the file, an address
    // past the end, a count of more items than the section holds, a name that is no clip name.
    Bytes longItem = whole;
    longItem[start + 10] = '\x7F';
    EXPECT_FALSE(read(longItem).has_value());
    Bytes longSection = whole;
    longSection[start] = '\x7F';
    EXPECT_FALSE(read(longSection).has_value());
    Bytes farAddress = whole;
    farAddress[8] = '\x7F';
    EXPECT_FALSE(read(farAddress).has_value());
    Bytes manyItems = whole;
    manyItems[start + 6] = '\xFF';
    EXPECT_FALSE(read(manyItems).has_value());
    Bytes badName = whole;
    badName[start + 12] = '/';
    EXPECT_FALSE(read(badName).has_value());
    Bytes notPlaylist = whole;
    notPlaylist[0] = 'X';
    EXPECT_FALSE(read(notPlaylist).has_value());
}

TEST(spannedRecording, piecesOnTheCard) {
    TempDir dir;
    for (const CardForm form : {CardForm::Bdmv, CardForm::PrivateAvchd}) {
        const fs::path card = dir.path() / (form == CardForm::Bdmv ? "a" : "b");
        const fs::path playlists = makeCard(card, form);
        const fs::path streams = playlists.parent_path() / "STREAM";
        // Clip 1 alone; clips 2-4 one recording, whose piece 3 is not on the card.
        std::vector<PlayItem> items{{1, 63000, 108000, 1}};
        for (const PlayItem &item : spannedItems(2, 3, 63000, 45000)) {
            items.push_back(item);
        }
        writeFile(playlists / "00000.MPL", playlistBytes({kRecord}, items));
        for (const int clip : {1, 2, 4}) {
            writeFile(streams / streamName(clip), Bytes(188, 'G'));
        }

        const auto piece = spannedRecordingOf(q(streams / "00004.MTS"));
        ASSERT_TRUE(piece.has_value());
        EXPECT_EQ(piece->playlist, q(playlists / "00000.MPL"));
        ASSERT_EQ(piece->pieces.size(), 3);
        EXPECT_EQ(piece->index, 2);
        EXPECT_EQ(piece->pieces[0].path, q(streams / "00002.MTS"));
        EXPECT_EQ(piece->pieces[1].clip, QStringLiteral("00003"));
        EXPECT_TRUE(piece->pieces[1].path.isEmpty());
        EXPECT_EQ(piece->pieces[2].connection, 6);
        EXPECT_DOUBLE_EQ(piece->seconds(), 3.0);

        const auto alone = spannedRecordingOf(q(streams / "00001.MTS"));
        ASSERT_TRUE(alone.has_value());
        EXPECT_EQ(alone->pieces.size(), 1);
        EXPECT_FALSE(spannedRecordingOf(q(streams / "00009.MTS")).has_value());
    }
    // Not on a card; a playlist folder whose playlists are too large or no file are passed over.
    EXPECT_FALSE(spannedRecordingOf(q(dir.path() / "loose.MTS")).has_value());
    const fs::path playlists = makeCard(dir.path() / "c", CardForm::Bdmv);
    writeFile(playlists / "00000.MPL",
              playlistBytes({kRecord}, spannedItems(1, 2, 0, 45000)) +
                  Bytes(static_cast<std::size_t>(kMaxPlayListBytes), '\0'));
    ASSERT_EQ(mkfifo((playlists / "00001.MPL").c_str(), 0600), 0);
    fs::create_directory(playlists / "00002.MPL");
    writeFile(playlists / "00003.mpls", playlistBytes({kRecord}, spannedItems(1, 2, 0, 9000)));
    const auto found = spannedRecordingOf(q(playlists.parent_path() / "STREAM" / "00002.MTS"));
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->playlist, q(playlists / "00003.mpls"));
    EXPECT_EQ(found->index, 1);
    EXPECT_DOUBLE_EQ(found->seconds(), 0.4);
}
