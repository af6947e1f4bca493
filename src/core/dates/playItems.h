// The play items of an AVCHD playlist (".MPL", ".mpls"): which clip each item plays, from which
// to which moment, and how it connects to the item before it. A camcorder that records onto a
// FAT card splits a long recording into several stream files (00001.MTS, 00002.MTS...), and the
// playlist lists them as consecutive items whose connection condition marks the later pieces as
// seamless continuations. Plain C++ over bytes: nothing is read outside the buffer given, so
// any file, however broken, is a short answer or nothing.
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
    /// 1: not seamless (the item begins a recording); 5 or 6: a seamless continuation.
    int connection = 1;
    std::uint32_t inTime = 0;
    std::uint32_t outTime = 0;
};

/// The play items of the playlist file held in data[0, size) ("MPLS" files), in playlist order.
/// Nothing when the bytes are no playlist, or when the PlayList section or any item runs past
/// its own length or the end of the buffer.
std::optional<std::vector<playItem>> readPlayItems(const unsigned char *data, std::size_t size);

/// True for the connection conditions with which an item continues the one before it.
bool playItemContinues(int connection);

/// The recordings of a playlist: runs of consecutive items, each begun by an item that does not
/// continue the one before it (the first item always begins one). Each run is given by the
/// index of its first item and its number of items.
struct playItemRun {
    std::size_t first = 0;
    std::size_t count = 0;
};
std::vector<playItemRun> playItemRecordings(const std::vector<playItem> &items);
