// Four-character codes (QuickTime's OSType): the codes of components, media types and atoms.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace toolbox {

using OSType = std::uint32_t;

/// The code of four characters, first character in the most significant byte ('apch').
constexpr OSType fourCharCode(std::string_view text) {
    OSType code = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const auto byte = i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
        code = (code << 8) | byte;
    }
    return code;
}

/// The four bytes of a code in storage order, as a text of four characters (zero bytes kept).
std::string fourCharCodeBytes(OSType code);

/// The code as printable text: its bytes in storage order, stopping at the first zero byte.
std::string fourCharCodeString(OSType code);

} // namespace toolbox
