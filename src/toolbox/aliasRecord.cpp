#include "aliasRecord.h"

#include "atoms.h"
#include "fileIo.h"

#include <algorithm>
#include <filesystem>

namespace toolbox {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFixedPartSize = 150;

std::vector<std::string> components(const fs::path &path) {
    std::vector<std::string> parts;
    for (const auto &part : path)
        if (part != "/" && !part.empty())
            parts.push_back(part.string());
    return parts;
}

void pascalString(AtomWriter &out, const std::string &text, std::size_t capacity) {
    const auto length = std::min(text.size(), capacity);
    out.u8(static_cast<std::uint8_t>(length));
    out.bytes({reinterpret_cast<const std::uint8_t *>(text.data()), length});
    out.zeros(capacity - length);
}

void taggedRecord(AtomWriter &out, std::int16_t type, const std::string &text) {
    out.s16(type);
    out.u16(static_cast<std::uint16_t>(text.size()));
    out.bytes({reinterpret_cast<const std::uint8_t *>(text.data()), text.size()});
    if (text.size() % 2)
        out.u8(0);
}

} // namespace

std::vector<std::uint8_t> makeAliasRecord(const std::string &moviePath, const std::string &target) {
    const fs::path movie(absolutePath(moviePath));
    const fs::path file(absolutePath(target));
    const auto from = components(movie.parent_path());
    const auto to = components(file);
    std::size_t common = 0;
    while (common < from.size() && common + 1 < to.size() && from[common] == to[common])
        ++common;
    const auto levelsUp = static_cast<std::int16_t>(from.size() - common + 1);
    const auto levelsDown = static_cast<std::int16_t>(to.size() - common);

    // Paths longer than a tagged record can hold are cut; such a reference then only resolves
    // relatively.
    std::string absolute = file.string().substr(0, 0xFFFE);
    AtomWriter out;
    out.u32(0); // creator
    const auto sizePosition = out.size();
    out.u16(0);                // record size, patched below
    out.u16(2);                // version
    out.u16(0);                // kind: file
    pascalString(out, "", 27); // volume name: paths are absolute from the root
    out.zeros(12);             // volume date, file system, drive type, parent folder
    pascalString(out, file.filename().string(), 63);
    out.zeros(16); // file number, date, type, creator
    out.s16(levelsUp);
    out.s16(levelsDown);
    out.zeros(16); // volume attributes and file system id, reserved
    taggedRecord(out, 0, file.parent_path().filename().string());
    taggedRecord(out, 2, absolute);
    out.s16(-1);
    out.u16(0);
    auto bytes = out.take();
    const auto size = static_cast<std::uint16_t>(std::min<std::size_t>(bytes.size(), 0xFFFF));
    bytes[sizePosition] = static_cast<std::uint8_t>(size >> 8);
    bytes[sizePosition + 1] = static_cast<std::uint8_t>(size);
    return bytes;
}

std::string resolveAliasRecord(std::span<const std::uint8_t> record, const std::string &moviePath) {
    if (record.size() < kFixedPartSize)
        return {};
    AtomReader in(record);
    in.skip(10);
    const auto volumeLength = std::min<std::size_t>(in.u8(), 27);
    const auto volumeBytes = in.bytes(27);
    const std::string volume(volumeBytes.begin(), volumeBytes.begin() + volumeLength);
    in.skip(12);
    const auto nameLength = std::min<std::size_t>(in.u8(), 63);
    const auto nameBytes = in.bytes(63);
    const std::string fileName(nameBytes.begin(), nameBytes.begin() + nameLength);
    in.skip(16);
    const int levelsUp = in.s16();
    const int levelsDown = in.s16();
    in.skip(16);
    std::string absolute;
    while (!in.failed() && in.remaining() >= 4) {
        const auto type = in.s16();
        std::size_t length = in.u16();
        if (type == -1)
            break;
        const auto data = in.bytes(length + (length % 2));
        if (type == 2 && data.size() >= length)
            absolute.assign(data.begin(), data.begin() + length);
    }
    if (!absolute.empty() && absolute.front() != '/') {
        // An old-style path "Volume:folder:file".
        if (!volume.empty() && absolute.starts_with(volume))
            absolute.erase(0, volume.size());
        std::replace(absolute.begin(), absolute.end(), ':', '/');
        if (absolute.empty() || absolute.front() != '/')
            absolute.insert(0, "/");
    }

    const fs::path movieFolder = fs::path(absolutePath(moviePath)).parent_path();
    std::error_code code;
    if (levelsUp > 0 && levelsDown > 0 && !absolute.empty()) {
        const auto parts = components(absolute);
        if (static_cast<std::size_t>(levelsDown) <= parts.size()) {
            fs::path candidate = movieFolder;
            for (int i = 1; i < levelsUp; ++i)
                candidate /= "..";
            for (auto i = parts.size() - static_cast<std::size_t>(levelsDown); i < parts.size();
                 ++i)
                candidate /= parts[i];
            if (fs::is_regular_file(candidate, code))
                return candidate.lexically_normal().string();
        }
    }
    if (!absolute.empty() && fs::is_regular_file(absolute, code))
        return absolute;
    if (!fileName.empty() && fs::is_regular_file(movieFolder / fileName, code))
        return (movieFolder / fileName).string();
    return absolute;
}

} // namespace toolbox
