#include "atomContainer.h"

#include <limits>
#include <utility>

namespace toolbox {

namespace {

// Deeper trees than this are refused: settings never nest more than a few levels, and a bound
// keeps hostile input from exhausting the stack.
constexpr int kMaxDepth = 32;

bool fail(std::string *error, std::string message) {
    if (error)
        *error = std::move(message);
    return false;
}

// Reads the atom whose header starts at bytes[0]; its size must not pass the end of bytes.
bool parseAtom(std::span<const std::uint8_t> bytes, int depth, QTAtom &atom, std::size_t &used,
               std::string *error) {
    if (depth > kMaxDepth)
        return fail(error, "atoms nested too deeply");
    if (bytes.size() < kQTAtomHeaderSize)
        return fail(error, "truncated atom header");
    const std::uint32_t size = readU32(bytes, 0);
    if (size < kQTAtomHeaderSize || size > bytes.size())
        return fail(error, "atom size out of bounds");
    atom.type = readU32(bytes, 4);
    atom.id = readU32(bytes, 8);
    const std::uint16_t childCount = readU16(bytes, 14);
    const auto body = bytes.subspan(kQTAtomHeaderSize, size - kQTAtomHeaderSize);
    if (childCount == 0) {
        atom.data.assign(body.begin(), body.end());
    } else {
        std::size_t offset = 0;
        for (std::uint16_t i = 0; i < childCount; ++i) {
            QTAtom child;
            std::size_t childSize = 0;
            if (!parseAtom(body.subspan(offset), depth + 1, child, childSize, error))
                return false;
            offset += childSize;
            atom.children.push_back(std::move(child));
        }
        if (offset != body.size())
            return fail(error, "child atoms do not fill their parent");
    }
    used = size;
    return true;
}

void serializeAtom(const QTAtom &atom, std::vector<std::uint8_t> &out) {
    const std::size_t start = out.size();
    appendU32(out, 0); // size, patched below
    appendU32(out, atom.type);
    appendU32(out, atom.id);
    appendU16(out, 0);
    appendU16(out, static_cast<std::uint16_t>(atom.children.size()));
    appendU32(out, 0);
    if (atom.children.empty())
        out.insert(out.end(), atom.data.begin(), atom.data.end());
    else
        for (const QTAtom &child : atom.children)
            serializeAtom(child, out);
    const auto size = static_cast<std::uint32_t>(out.size() - start);
    for (int i = 0; i < 4; ++i)
        out[start + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (24 - 8 * i));
}

} // namespace

const QTAtom *QTAtom::findChild(OSType childType, std::uint32_t childId) const {
    for (const QTAtom &child : children)
        if (child.type == childType && (childId == 0 || child.id == childId))
            return &child;
    return nullptr;
}

QTAtom *QTAtom::findChild(OSType childType, std::uint32_t childId) {
    return const_cast<QTAtom *>(std::as_const(*this).findChild(childType, childId));
}

QTAtom &QTAtom::addChild(OSType childType, std::uint32_t childId,
                         std::vector<std::uint8_t> childData) {
    children.push_back(QTAtom{childType, childId, std::move(childData), {}});
    return children.back();
}

std::optional<QTAtomContainer> parseQTAtomContainer(std::span<const std::uint8_t> bytes,
                                                    std::string *error) {
    if (bytes.size() < kQTAtomContainerHeaderSize + kQTAtomHeaderSize) {
        fail(error, "too short for an atom container");
        return std::nullopt;
    }
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
        fail(error, "too large for an atom container");
        return std::nullopt;
    }
    if (readU16(bytes, 10) != 0) {
        fail(error, "locked atom container");
        return std::nullopt;
    }
    QTAtomContainer container;
    std::size_t used = 0;
    if (!parseAtom(bytes.subspan(kQTAtomContainerHeaderSize), 0, container.root, used, error))
        return std::nullopt;
    if (container.root.type != kQTAtomRootType) {
        fail(error, "root atom is not 'sean'");
        return std::nullopt;
    }
    if (kQTAtomContainerHeaderSize + used != bytes.size()) {
        fail(error, "bytes after the root atom");
        return std::nullopt;
    }
    return container;
}

std::vector<std::uint8_t> serializeQTAtomContainer(const QTAtomContainer &container) {
    std::vector<std::uint8_t> out(kQTAtomContainerHeaderSize, 0);
    serializeAtom(container.root, out);
    return out;
}

void appendU16(std::vector<std::uint8_t> &out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void appendU32(std::vector<std::uint8_t> &out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint16_t readU16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

std::uint32_t readU32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return (std::uint32_t{bytes[offset]} << 24) | (std::uint32_t{bytes[offset + 1]} << 16) |
           (std::uint32_t{bytes[offset + 2]} << 8) | std::uint32_t{bytes[offset + 3]};
}

} // namespace toolbox
