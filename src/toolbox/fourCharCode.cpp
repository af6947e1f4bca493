#include "fourCharCode.h"

namespace toolbox {

std::string fourCharCodeBytes(OSType code) {
    std::string text(4, '\0');
    for (int i = 0; i < 4; ++i)
        text[static_cast<std::size_t>(i)] = static_cast<char>((code >> (24 - 8 * i)) & 0xff);
    return text;
}

std::string fourCharCodeString(OSType code) {
    std::string text = fourCharCodeBytes(code);
    if (const auto zero = text.find('\0'); zero != std::string::npos)
        text.resize(zero);
    return text;
}

} // namespace toolbox
