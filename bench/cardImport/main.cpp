// cardImport_bench [MB [RUNS]]
//
// The card import against what a person would type instead, on a card folder of MB megabytes
// (1500 by default: an AVCHD folder of 200 MB stream files and its small files) made once:
//   cp -r CARD A && sync                          the copy alone, on the disk
//   cp -r + xxhsum                                the same, then xxhsum -H64 of the card and of
//                                                 the copy (the manual check: the card read twice)
//   fluxaro --import CARD --archive A             read once, written, flushed, read back
// and the same to two archives (cp -r twice; xxhsum of the card and both copies; one import
// with two --archive). Before every run the card's (and the copies') pages are dropped from the
// cache (posix_fadvise), so each read comes from the disk. Best of RUNS (2) for each; prints the
// seconds, MB/s of card and the ratios to cp -r.
#include "avchdCard.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace avchd;

namespace {

const std::string kProgram = std::string(FLUXARO_BIN_DIR) + "/fluxaro";

// Drops every file's cached pages under root, so the next read comes from the disk.
void dropCache(const fs::path &root) {
    std::error_code error;
    if (!fs::exists(root, error)) {
        return;
    }
    for (const auto &entry : fs::recursive_directory_iterator(root, error)) {
        if (entry.is_regular_file()) {
            const int fd = open(entry.path().c_str(), O_RDONLY);
            if (fd >= 0) {
                fdatasync(fd);
                posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
                close(fd);
            }
        }
    }
}

// Writes MB megabytes of stream files (200 MB each, the last shorter) of bytes no compressor or
// deduplicating disk shortens.
void makeCardFolder(const fs::path &card, int megabytes) {
    const fs::path playlists = makeCard(card, CardForm::PrivateAvchd);
    const fs::path streams = playlists.parent_path() / "STREAM";
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    std::vector<std::uint64_t> block(1 << 17); // 1 MB
    for (int clip = 1, left = megabytes; left > 0; ++clip) {
        const int size = std::min(left, 200);
        left -= size;
        FILE *out = std::fopen((streams / streamName(clip)).c_str(), "wb");
        for (int mb = 0; mb < size; ++mb) {
            for (std::uint64_t &word : block) {
                state ^= state << 13;
                state ^= state >> 7;
                state ^= state << 17;
                word = state;
            }
            std::fwrite(block.data(), sizeof(std::uint64_t), block.size(), out);
        }
        std::fclose(out);
    }
    writeFile(card / ".hidden", "x");
    fs::create_directories(card / "DCIM" / "100CANON");
    writeFile(card / "DCIM" / "100CANON" / "IMG_0001.JPG", std::string(300000, 'j'));
}

double shell(const std::string &command, const std::vector<fs::path> &uncached,
             const fs::path &scratch) {
    for (const fs::path &path : uncached) {
        dropCache(path);
    }
    const auto start = std::chrono::steady_clock::now();
    const RunResult run = runProgram("/bin/sh", {"sh", "-c", command}, scratch);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (run.status != 0) {
        std::fprintf(stderr, "cardImport_bench: '%s' failed (%d): %s%s\n", command.c_str(),
                     run.status, run.out.c_str(), run.err.c_str());
        return -1;
    }
    return seconds;
}

std::string quoted(const fs::path &path) {
    return "'" + path.string() + "'";
}

} // namespace

int main(int argc, char **argv) {
    const int megabytes = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1500;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
    TempDir tmp;
    const fs::path card = tmp.path() / "CARD";
    const fs::path one = tmp.path() / "one";
    const fs::path two = tmp.path() / "two";
    for (const char *name :
         {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        setenv(name, (tmp.path() / "home" / name).c_str(), 1);
    }
    setenv("FLUXARO_RESOURCE_DIR", FLUXARO_RESOURCE_DIR, 0);
    makeCardFolder(card, megabytes);
    std::printf("card: %d MB in %s\n", megabytes, card.c_str());

    const std::string clear = "rm -rf " + quoted(one) + " " + quoted(two) + " && mkdir " +
                              quoted(one) + " " + quoted(two) + " && ";
    const std::string hashCard =
        "find " + quoted(card) + " -type f -exec xxhsum -H64 {} + >/dev/null";
    const auto hashOf = [](const fs::path &copy) {
        return "find " + quoted(copy) + " -type f -exec xxhsum -H64 {} + >/dev/null";
    };
    struct row {
        const char *name;
        std::string command;
        bool dropCopiesBeforeHash;
        int archives;
    };
    const std::vector<row> rows = {
        {"cp -r", "cp -r " + quoted(card) + " " + quoted(one) + " && sync", false, 1},
        {"cp -r + xxhsum", "cp -r " + quoted(card) + " " + quoted(one) + " && sync", true, 1},
        {"fluxaro --import",
         "'" + kProgram + "' --import " + quoted(card) + " --archive " + quoted(one), false, 1},
        {"cp -r x2",
         "cp -r " + quoted(card) + " " + quoted(one) + " && cp -r " + quoted(card) + " " +
             quoted(two) + " && sync",
         false, 2},
        {"cp -r x2 + xxhsum",
         "cp -r " + quoted(card) + " " + quoted(one) + " && cp -r " + quoted(card) + " " +
             quoted(two) + " && sync",
         true, 2},
        {"fluxaro --import x2",
         "'" + kProgram + "' --import " + quoted(card) + " --archive " + quoted(one) +
             " --archive " + quoted(two),
         false, 2},
    };
    std::vector<double> best(rows.size(), 1e9);
    for (int run = 0; run < runs; ++run) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            shell(clear + "true", {}, tmp.path());
            double seconds = shell(rows[i].command, {card}, tmp.path());
            if (seconds < 0) {
                return 1;
            }
            if (rows[i].dropCopiesBeforeHash) {
                // The manual check: the card read again and each copy read back from the disk.
                std::string hash = hashCard + " && " + hashOf(one);
                if (rows[i].archives == 2) {
                    hash += " && " + hashOf(two);
                }
                const double hashing = shell(hash, {card, one, two}, tmp.path());
                if (hashing < 0) {
                    return 1;
                }
                seconds += hashing;
            }
            best[i] = std::min(best[i], seconds);
        }
    }
    shell(clear + "true", {}, tmp.path());
    std::printf("%-22s %9s %9s %10s\n", "", "seconds", "MB/s", "vs cp -r");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const double base = rows[i].archives == 1 ? best[0] : best[3];
        std::printf("%-22s %9.2f %9.1f %9.2fx\n", rows[i].name, best[i], megabytes / best[i],
                    best[i] / base);
    }
    return 0;
}
