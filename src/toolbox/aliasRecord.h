// 'alis' data references: the alias records through which a reference movie's tracks point
// at the files that hold their samples.
//
// Record layout (big-endian, version 2), after the data reference entry's 12-byte header:
//   creator 4, record size 2, version 2, kind 2 | volume name 1+27 | 12 reserved |
//   file name 1+63 | 16 reserved | int16 levels up from the alias, int16 levels down to the
//   target | 16 reserved | tagged records (int16 type, uint16 length, data padded to even
//   length), ended by type -1. Type 0 is the target's folder name, type 2 its absolute path.
// A reader goes up from the reference movie's folder (levels up - 1) times, then down through
// the last (levels down) components of the absolute path; failing that, it takes the
// absolute path.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace toolbox {

/// The body of an 'alis' data reference entry (without the entry's size, type and flags) that
/// points from a movie file at moviePath to target. Both paths are made absolute.
std::vector<std::uint8_t> makeAliasRecord(const std::string &moviePath, const std::string &target);

/// The file an alias record points at, seen from a movie file at moviePath: the relative form
/// when a file exists there, else the absolute path, else the file name beside the movie.
/// Empty when the record holds no usable path.
std::string resolveAliasRecord(std::span<const std::uint8_t> record, const std::string &moviePath);

} // namespace toolbox
