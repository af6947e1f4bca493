// Times clipdater on a generated AVCHD card with 500 playlists listing 5,000 clips, against
// plainly reading the same playlist files with cat, and prints both times and their ratio.
//
//   clipdater_bench [runs]   (default 20 runs of each)

#include "avchdCard.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace avchd;

namespace {

constexpr int kPlaylists = 500;
constexpr int kClipsPerPlaylist = 10;

unsigned char bcd(int value) {
    return static_cast<unsigned char>((value / 10) * 16 + value % 10);
}

double medianMs(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    TempDir tmp;
    if (tmp.path().empty()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    const fs::path playlists = makeCard(tmp.path() / "card", CardForm::PrivateAvchd);
    const fs::path scratch = tmp.path() / "scratch";
    fs::create_directories(scratch);
    int clip = 1;
    for (int p = 0; p < kPlaylists; ++p) {
        std::vector<ClipRecord> records;
        for (int i = 0; i < kClipsPerPlaylist; ++i, ++clip) {
            records.push_back(ClipRecord{clip,
                                         {bcd(11), bcd(1 + clip % 12), bcd(1 + clip % 28),
                                          bcd(clip % 24), bcd(clip % 60), bcd(p % 60)}});
        }
        char name[16];
        std::snprintf(name, sizeof name, "%05d.MPL", p);
        addPlaylist(playlists, name, records);
    }

    using Clock = std::chrono::steady_clock;
    auto timeRun = [&](const std::string &program, const std::vector<std::string> &args,
                       std::size_t *lines) {
        const auto start = Clock::now();
        const RunResult r = runProgram(program, args, scratch);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (lines != nullptr) {
            *lines = static_cast<std::size_t>(std::count(r.out.begin(), r.out.end(), '\n'));
        }
        return ms;
    };

    std::vector<double> clipdaterMs;
    std::vector<double> catMs;
    std::size_t lines = 0;
    const std::string catLine = "cat " + playlists.string() + "/*.MPL";
    for (int i = 0; i < runs; ++i) {
        clipdaterMs.push_back(timeRun(CLIPDATER_PATH, {"clipdater", playlists.string()}, &lines));
        catMs.push_back(timeRun("/bin/sh", {"sh", "-c", catLine}, nullptr));
    }
    const std::size_t expected = static_cast<std::size_t>(kPlaylists) * kClipsPerPlaylist;
    if (lines != expected) {
        std::fprintf(stderr, "clipdater printed %zu lines, expected %zu\n", lines, expected);
        return 1;
    }
    const double c = medianMs(clipdaterMs);
    const double k = medianMs(catMs);
    std::printf("card: %d playlists, %zu clips; median of %d runs\n", kPlaylists, expected, runs);
    std::printf("clipdater            %8.2f ms\n", c);
    std::printf("cat *.MPL            %8.2f ms\n", k);
    std::printf("ratio clipdater/cat  %8.2f\n", c / k);
    return 0;
}
