// Export to ProRes 422 HQ: trakmill with stored settings (Fluxaro's call) against the ffmpeg
// program doing the same encode of the same clip (prores_ks, profile 3, PCM sound, the same
// automatic thread count). Prints the time ratio, and the peak memory of trakmill for a clip
// and for one four times as long (it must not grow with the length).
//
// Usage: bench_toolbox_export [seconds] [WIDTHxHEIGHT]   (default 2 s of 1920x1080 at 25 fps)

#include "toolbox/exportSettings.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Measure {
    double seconds = 0;
    long maxRssKb = 0;
    int status = -1;
};

// Runs a program with its output thrown away; wall time and peak memory of the child.
Measure runChild(const std::vector<std::string> &args) {
    Measure m;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (std::freopen("/dev/null", "w", stdout) == nullptr ||
            std::freopen("/dev/null", "w", stderr) == nullptr)
            _exit(126);
        std::vector<char *> argv;
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int raw = 0;
    rusage usage{};
    wait4(pid, &raw, 0, &usage);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.maxRssKb = usage.ru_maxrss;
    m.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return m;
}

bool makeClip(const std::string &path, int seconds, const std::string &size) {
    const std::string d = std::to_string(seconds);
    return runChild({"/usr/bin/ffmpeg",
                     "-nostdin",
                     "-y",
                     "-f",
                     "lavfi",
                     "-i",
                     "testsrc2=size=" + size + ":rate=25:duration=" + d,
                     "-f",
                     "lavfi",
                     "-i",
                     "sine=frequency=440:sample_rate=48000:duration=" + d,
                     "-c:v",
                     "libx264",
                     "-preset",
                     "veryfast",
                     "-g",
                     "25",
                     "-pix_fmt",
                     "yuv420p",
                     "-c:a",
                     "pcm_s16le",
                     "-ac",
                     "2",
                     path})
               .status == 0;
}

// Best wall time and its CPU time over a few runs of each command, the two commands taking
// turns, so that a neighbour's burst of work weighs on both alike.
struct Best {
    Measure wall;
    double userSeconds = 0;
};

bool interleaved(const std::vector<std::vector<std::string>> &commands, int runs,
                 std::vector<Best> &best) {
    best.assign(commands.size(), {});
    for (int i = 0; i < runs; ++i)
        for (std::size_t c = 0; c < commands.size(); ++c) {
            rusage before{}, after{};
            getrusage(RUSAGE_CHILDREN, &before);
            const Measure m = runChild(commands[c]);
            getrusage(RUSAGE_CHILDREN, &after);
            if (m.status != 0)
                return false;
            if (i == 0 || m.seconds < best[c].wall.seconds) {
                best[c].wall = m;
                best[c].userSeconds =
                    double(after.ru_utime.tv_sec - before.ru_utime.tv_sec) +
                    double(after.ru_utime.tv_usec - before.ru_utime.tv_usec) / 1e6;
            }
        }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 2;
    const std::string size = argc > 2 ? argv[2] : "1920x1080";
    char pattern[] = "/tmp/fluxaro-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::filesystem::path dir = pattern;
    const std::string clip = (dir / "clip.mov").string();
    const std::string longClip = (dir / "long.mov").string();
    const std::string settings = (dir / "apch.settings").string();
    const std::string trakmill = FLUXARO_TOOLS_DIR "/trakmill";

    toolbox::MovieExportSettings s;
    s.codecType = toolbox::fourCharCode("apch");
    s.soundFormat = toolbox::fourCharCode("twos");
    s.sampleRate = 48000;
    s.sampleBits = 16;
    const auto bytes = toolbox::movieExportSettingsToAtomContainer(s);
    std::ofstream(settings, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    if (!makeClip(clip, seconds, size) || !makeClip(longClip, seconds * 4, size)) {
        std::fprintf(stderr, "cannot make the clips with /usr/bin/ffmpeg\n");
        return 1;
    }
    const int runs = 5;
    std::vector<Best> best;
    const bool ran = interleaved(
        {{"/usr/bin/ffmpeg", "-nostdin", "-y", "-i", clip, "-c:v", "prores_ks", "-profile:v", "3",
          "-c:a", "pcm_s16be", (dir / "ffmpeg.mov").string()},
         {trakmill, "-s", settings, "-i", clip, "-y", "-o", (dir / "trakmill.mov").string()}},
        runs, best);
    const Measure tmLong = runChild(
        {trakmill, "-s", settings, "-i", longClip, "-y", "-o", (dir / "long-out.mov").string()});
    std::filesystem::remove_all(dir);
    if (!ran || tmLong.status != 0) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }
    const Best &ff = best[0];
    const Best &tm = best[1];
    std::printf("ProRes HQ export of %d s of %s at 25 fps, best of %d alternating runs\n", seconds,
                size.c_str(), runs);
    std::printf("  ffmpeg -c:v prores_ks -profile:v 3 : %.2f s (%.2f s CPU)\n", ff.wall.seconds,
                ff.userSeconds);
    std::printf("  trakmill -s apch settings           : %.2f s (%.2f s CPU)\n", tm.wall.seconds,
                tm.userSeconds);
    std::printf("  ratio trakmill / ffmpeg             : %.3f wall, %.3f CPU (goal: at most 1.1)\n",
                tm.wall.seconds / ff.wall.seconds, tm.userSeconds / ff.userSeconds);
    std::printf("  peak memory trakmill %d s / %d s     : %ld KB / %ld KB (ffmpeg %ld KB)\n",
                seconds, seconds * 4, tm.wall.maxRssKb, tmLong.maxRssKb, ff.wall.maxRssKb);
    return 0;
}
