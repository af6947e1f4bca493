// QuickTime atom containers: the tree of typed, numbered atoms in which export components
// keep their settings.
//
// Byte layout (big-endian throughout):
//   container header  12 bytes: 10 reserved bytes (0), int16 lock count (0)
//   root atom         type 'sean', atom ID 1, holding the top-level atoms as children
// Every atom has a 20-byte header: uint32 size (header and body), type, uint32 atom ID,
// uint16 reserved, uint16 child count, uint32 reserved. Its body is either its children (child
// count > 0) or its data (child count 0), never both.
#pragma once

#include "fourCharCode.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace toolbox {

inline constexpr OSType kQTAtomRootType = fourCharCode("sean");
inline constexpr std::size_t kQTAtomContainerHeaderSize = 12;
inline constexpr std::size_t kQTAtomHeaderSize = 20;

/// One atom: a leaf with data, or a container of children.
struct QTAtom {
    OSType type = 0;
    std::uint32_t id = 1;
    std::vector<std::uint8_t> data;
    std::vector<QTAtom> children;

    /// The first child of that type; with a non-zero id, the child with that atom ID.
    [[nodiscard]] const QTAtom *findChild(OSType childType, std::uint32_t childId = 0) const;
    QTAtom *findChild(OSType childType, std::uint32_t childId = 0);
    /// Appends a child and gives it back for filling.
    QTAtom &addChild(OSType childType, std::uint32_t childId = 1,
                     std::vector<std::uint8_t> childData = {});
};

/// A container: its root atom ('sean', ID 1) holds the top-level atoms.
struct QTAtomContainer {
    QTAtom root{kQTAtomRootType, 1, {}, {}};
};

/// Reads a container from its bytes. Every size and child count is checked against the bytes
/// that hold it, so garbage, truncated or empty input gives nothing (with the reason in error).
std::optional<QTAtomContainer> parseQTAtomContainer(std::span<const std::uint8_t> bytes,
                                                    std::string *error = nullptr);

/// The container's bytes, as parseQTAtomContainer reads them back.
std::vector<std::uint8_t> serializeQTAtomContainer(const QTAtomContainer &container);

// Big-endian helpers for atom data.
void appendU16(std::vector<std::uint8_t> &out, std::uint16_t value);
void appendU32(std::vector<std::uint8_t> &out, std::uint32_t value);
std::uint16_t readU16(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint32_t readU32(std::span<const std::uint8_t> bytes, std::size_t offset);

} // namespace toolbox
