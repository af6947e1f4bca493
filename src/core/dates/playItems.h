// The play items and marks of an AVCHD playlist (".MPL", ".mpls"): which clip each item plays,
// from which to which moment, how it connects to the item before it, and where the camera put
// the entry marks that begin its shots. A camcorder writes every shot as an item of its own
// (connection condition 1 for the first, 5 for the next ones: a clean break that a player runs
// on) with an entry mark pointing at it; when a long recording reaches the card's file-size
// limit, the camera cuts it into several stream files (00001.MTS, 00002.MTS...) and lists the
// later pieces as items with condition 6 and no mark. Plain C++ over bytes: nothing is read
// outside the buffer given, so any file, however broken, is a short answer or nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// One play item. Times are in 45 kHz ticks of the clip's clock.
struct playItem {
    /// The clip's five-character name ("00001" for the stream file 00001.MTS).
    std::string clip;
    /// 1: the first item or a break; 5: a new shot; 6: a piece continuing the item before it.
    int connection = 1;
    std::uint32_t inTime = 0;
    std::uint32_t outTime = 0;
};

/// One mark of the PlayListMark section.
struct playListMark {
    /// 1: an entry mark (a shot begins there); 2: a link point.
    int type = 0;
    /// The index of the play item the mark points at (ref_to_PlayItem_id).
    std::uint32_t item = 0;
    /// The mark's time stamp, 45 kHz ticks of that item's clip.
    std::uint32_t time = 0;
};

inline constexpr int kEntryMark = 1;

/// What a playlist file lists.
struct playListContents {
    std::vector<playItem> items;
    std::vector<playListMark> marks;
    /// False when the PlayListMark section is missing or runs past its bytes: the marks are
    /// then unknown, not absent.
    bool marksRead = false;
};

/// The play items and marks of the playlist file held in data[0, size) ("MPLS" files), in
/// playlist order. Nothing when the bytes are no playlist, or when the PlayList section or any
/// item runs past its own length or the end of the buffer; an unreadable mark section leaves
/// the items read and `marksRead` false.
std::optional<playListContents> readPlayList(const unsigned char *data, std::size_t size);

/// The play items alone (readPlayList's items).
std::optional<std::vector<playItem>> readPlayItems(const unsigned char *data, std::size_t size);

/// True for the connection condition with which an item continues the one before it (6).
bool playItemContinues(int connection);

/// The recordings of a playlist: runs of consecutive items, each begun by an item that does not
/// continue the one before it (the first item always begins one). Each run is given by the
/// index of its first item and its number of items. When the playlist's marks disagree with a
/// run of more than one item (an entry mark points at one of its continuing pieces, a mark
/// points past the items, or the mark section is unreadable), `apart` says why its pieces must
/// not be put together; they stay listed as one run so that each is still found and noted.
struct playItemRun {
    std::size_t first = 0;
    std::size_t count = 0;
    std::string apart;
};
std::vector<playItemRun> playItemRecordings(const playListContents &list);
std::vector<playItemRun> playItemRecordings(const std::vector<playItem> &items);
