#include "atoms.h"

namespace toolbox {

bool AtomReader::take(std::size_t count) {
    if (failed_ || count > remaining()) {
        failed_ = true;
        pos_ = bytes_.size();
        return false;
    }
    return true;
}

std::uint8_t AtomReader::u8() {
    if (!take(1))
        return 0;
    return bytes_[pos_++];
}

std::uint16_t AtomReader::u16() {
    if (!take(2))
        return 0;
    const auto value = static_cast<std::uint16_t>((bytes_[pos_] << 8) | bytes_[pos_ + 1]);
    pos_ += 2;
    return value;
}

std::uint32_t AtomReader::u32() {
    if (!take(4))
        return 0;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = (value << 8) | bytes_[pos_++];
    return value;
}

std::uint64_t AtomReader::u64() {
    if (!take(8))
        return 0;
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value = (value << 8) | bytes_[pos_++];
    return value;
}

void AtomReader::skip(std::size_t count) {
    if (take(count))
        pos_ += count;
}

std::span<const std::uint8_t> AtomReader::bytes(std::size_t count) {
    if (!take(count))
        return {};
    auto part = bytes_.subspan(pos_, count);
    pos_ += count;
    return part;
}

bool listAtoms(std::span<const std::uint8_t> bytes, std::vector<AtomView> &out) {
    std::size_t pos = 0;
    while (pos + 8 <= bytes.size()) {
        AtomReader reader(bytes.subspan(pos));
        std::uint64_t size = reader.u32();
        const OSType code = reader.u32();
        std::size_t header = 8;
        if (size == 1) {
            size = reader.u64();
            header = 16;
        } else if (size == 0) {
            size = bytes.size() - pos; // to the end of the enclosing span
        }
        if (size < header || size > bytes.size() - pos)
            return false;
        const auto whole = bytes.subspan(pos, static_cast<std::size_t>(size));
        out.push_back({code, whole.subspan(header), whole});
        pos += static_cast<std::size_t>(size);
    }
    // Up to 7 trailing bytes: some writers pad with zeros; anything else is damage.
    for (; pos < bytes.size(); ++pos)
        if (bytes[pos] != 0)
            return false;
    return true;
}

AtomView findAtom(const std::vector<AtomView> &atoms, OSType type) {
    for (const auto &atom : atoms)
        if (atom.type == type)
            return atom;
    return {};
}

void AtomWriter::u16(std::uint16_t value) {
    buffer_.push_back(static_cast<std::uint8_t>(value >> 8));
    buffer_.push_back(static_cast<std::uint8_t>(value));
}

void AtomWriter::u32(std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        buffer_.push_back(static_cast<std::uint8_t>(value >> shift));
}

void AtomWriter::u64(std::uint64_t value) {
    for (int shift = 56; shift >= 0; shift -= 8)
        buffer_.push_back(static_cast<std::uint8_t>(value >> shift));
}

void AtomWriter::bytes(std::span<const std::uint8_t> data) {
    buffer_.insert(buffer_.end(), data.begin(), data.end());
}

void AtomWriter::versionFlags(std::uint8_t version, std::uint32_t flags) {
    u8(version);
    u8(static_cast<std::uint8_t>(flags >> 16));
    u8(static_cast<std::uint8_t>(flags >> 8));
    u8(static_cast<std::uint8_t>(flags));
}

std::size_t AtomWriter::beginAtom(OSType code) {
    const auto position = buffer_.size();
    u32(0);
    type(code);
    return position;
}

void AtomWriter::patchU32(std::size_t position, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        buffer_[position + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

void AtomWriter::endAtom(std::size_t position) {
    patchU32(position, static_cast<std::uint32_t>(buffer_.size() - position));
}

} // namespace toolbox
