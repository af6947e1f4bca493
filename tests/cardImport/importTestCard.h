// A card for the import tests: an AVCHD folder whose playlist dates two clips (2023-06-30 and
// 2023-07-01), stream files of random bytes, hidden files and an empty one, and the tools that
// judge the copies independently of the program (xxhsum, xmllint).
#pragma once

#include "avchdCard.h"

#include <sys/stat.h>

#include <map>
#include <random>
#include <string>

namespace importTest {

namespace fs = std::filesystem;

/// The card's files (relative path -> size in bytes).
inline std::map<std::string, std::size_t> cardFiles() {
    return {{"PRIVATE/AVCHD/BDMV/STREAM/00001.MTS", 3 * 1024 * 1024 + 17},
            {"PRIVATE/AVCHD/BDMV/STREAM/00002.MTS", 9 * 1024 * 1024 + 5},
            {"PRIVATE/AVCHD/BDMV/STREAM/00003.MTS", 1024 * 1024},
            {".hidden-index", 512},
            {"DCIM/.thumbs/.t1", 64},
            {"DCIM/100CANON/EMPTY.TXT", 0}};
}

/// Makes the card under `card`; every file's time is set to 2023-06-29 12:00 UTC and later.
inline void makeCard(const fs::path &card, std::uint32_t seed = 7) {
    const fs::path playlists = avchd::makeCard(card, avchd::CardForm::PrivateAvchd);
    // BCD: 2023-07-01 09:00:00 for clip 1, 2023-06-30 23:30:00 for clip 2 (the earlier).
    avchd::addPlaylist(
        playlists, "00000.MPL",
        {{1, {0x23, 0x07, 0x01, 0x09, 0x00, 0x00}}, {2, {0x23, 0x06, 0x30, 0x23, 0x30, 0x00}}});
    std::mt19937 random(seed);
    std::int64_t time = 1688040000; // 2023-06-29 12:00:00 UTC
    for (const auto &[path, size] : cardFiles()) {
        fs::create_directories((card / path).parent_path());
        std::string bytes(size, '\0');
        for (char &c : bytes) {
            c = static_cast<char>(random());
        }
        avchd::writeFile(card / path, bytes);
        const struct timespec times[2] = {{static_cast<time_t>(time), 0},
                                          {static_cast<time_t>(time), 250000000}};
        utimensat(AT_FDCWD, (card / path).c_str(), times, 0);
        time += 3600;
    }
    // The card's other files (playlists, indexes) as old, so a read of them would show.
    for (const auto &entry : fs::recursive_directory_iterator(card)) {
        struct stat status {};
        if (entry.is_regular_file() && stat(entry.path().c_str(), &status) == 0 &&
            status.st_mtim.tv_sec > time) {
            const struct timespec times[2] = {{static_cast<time_t>(time), 0},
                                              {static_cast<time_t>(time), 0}};
            utimensat(AT_FDCWD, entry.path().c_str(), times, 0);
        }
    }
}

/// Every regular file under root (relative path -> its status), the ascmhl folder left out
/// when asked.
inline std::map<std::string, struct stat> filesUnder(const fs::path &root, bool withManifests) {
    std::map<std::string, struct stat> files;
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        const std::string relative = fs::relative(entry.path(), root).string();
        if (!withManifests && relative.rfind("ascmhl", 0) == 0) {
            continue;
        }
        struct stat status {};
        if (entry.is_regular_file() && lstat(entry.path().c_str(), &status) == 0) {
            files[relative] = status;
        }
    }
    return files;
}

/// The xxHash64 that the xxhsum program gives the file: 16 hexadecimal digits.
inline std::string xxhsumOf(const fs::path &file, const fs::path &scratch) {
    const avchd::RunResult run =
        avchd::runProgram("/usr/bin/xxhsum", {"xxhsum", "-H64", file.string()}, scratch);
    return run.status == 0 ? run.out.substr(0, run.out.find(' ')) : "xxhsum failed: " + run.err;
}

/// xmllint's verdict on the file against the schema (of the tests' copy of the ASC's schemas):
/// empty when it validates, else what xmllint said.
inline std::string schemaErrors(const fs::path &file, const std::string &schema,
                                const fs::path &scratch) {
    const avchd::RunResult run =
        avchd::runProgram("/usr/bin/xmllint",
                          {"xmllint", "--noout", "--schema",
                           std::string(MHL_SCHEMA_DIR) + "/" + schema, file.string()},
                          scratch);
    return run.status == 0 ? std::string() : run.err + run.out;
}

/// The files of a folder whose names begin with the import's working prefix.
inline std::vector<std::string> workingFiles(const fs::path &root) {
    std::vector<std::string> found;
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        if (entry.path().filename().string().rfind(".fluxaro-", 0) == 0) {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

} // namespace importTest
