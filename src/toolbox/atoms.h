// Big-endian reading and writing of QuickTime atoms (boxes).
//
// AtomReader walks a byte span with bounds checks: a read past the end sets failed() and gives
// zeros, so a parser checks once at the end instead of after every field. AtomWriter appends
// to a byte buffer; beginAtom() writes a placeholder size and the type, endAtom() patches the
// size, as one function per box does in the writers.
#pragma once

#include "fourCharCode.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace toolbox {

class AtomReader {
public:
    explicit AtomReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    [[nodiscard]] std::size_t position() const { return pos_; }
    [[nodiscard]] std::size_t remaining() const { return bytes_.size() - pos_; }
    [[nodiscard]] bool failed() const { return failed_; }
    [[nodiscard]] bool atEnd() const { return pos_ >= bytes_.size(); }

    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    std::uint64_t u64();
    std::int16_t s16() { return static_cast<std::int16_t>(u16()); }
    std::int32_t s32() { return static_cast<std::int32_t>(u32()); }
    std::int64_t s64() { return static_cast<std::int64_t>(u64()); }
    void skip(std::size_t count);
    std::span<const std::uint8_t> bytes(std::size_t count);

private:
    bool take(std::size_t count);
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

/// One child atom found in a span: its type, its body, and the whole atom.
struct AtomView {
    OSType type = 0;
    std::span<const std::uint8_t> body;
    std::span<const std::uint8_t> whole;
};

/// The atoms directly inside a span, in order. Gives false when a size runs past the span
/// (the atoms read so far are kept in out).
bool listAtoms(std::span<const std::uint8_t> bytes, std::vector<AtomView> &out);

/// The first atom of that type, or an atom with an empty whole span.
AtomView findAtom(const std::vector<AtomView> &atoms, OSType type);

class AtomWriter {
public:
    void u8(std::uint8_t value) { buffer_.push_back(value); }
    void u16(std::uint16_t value);
    void u32(std::uint32_t value);
    void u64(std::uint64_t value);
    void s16(std::int16_t value) { u16(static_cast<std::uint16_t>(value)); }
    void s32(std::int32_t value) { u32(static_cast<std::uint32_t>(value)); }
    void s64(std::int64_t value) { u64(static_cast<std::uint64_t>(value)); }
    void type(OSType code) { u32(code); }
    void bytes(std::span<const std::uint8_t> data);
    void zeros(std::size_t count) { buffer_.insert(buffer_.end(), count, 0); }
    /// Version (1 byte) and flags (3 bytes) of a full atom.
    void versionFlags(std::uint8_t version, std::uint32_t flags);

    /// Starts an atom: placeholder size and type. Gives the position to hand to endAtom.
    std::size_t beginAtom(OSType code);
    /// Patches the size of the atom started at position.
    void endAtom(std::size_t position);
    void patchU32(std::size_t position, std::uint32_t value);

    [[nodiscard]] std::size_t size() const { return buffer_.size(); }
    [[nodiscard]] const std::vector<std::uint8_t> &buffer() const { return buffer_; }
    std::vector<std::uint8_t> take() { return std::move(buffer_); }

private:
    std::vector<std::uint8_t> buffer_;
};

} // namespace toolbox
