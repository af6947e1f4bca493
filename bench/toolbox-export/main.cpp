// ProRes export: trakmill with stored settings (Fluxaro's call) against the command a user
// types, `ffmpeg -i SRC -c:v prores_ks -profile:v P -c:a pcm_s16le OUT.mov`, on the same source
// and the same cores. For each source it prints both times (best of alternating runs), the
// ratio, both files' sizes and PSNR against the source (all planes, frame by frame in order),
// trakmill's frames per second on one core and on all, and the peak memory of each program.
// Sources: the camera-rate synthetic clip (1080p50 H.264 with sound), a noise-heavy synthetic
// clip, and, when REAL_MOVIE is given, that movie's frames looped to the length.
//
// Usage: bench_toolbox_export [SECONDS [PROFILE [REAL_MOVIE [RUNS [KINDS]]]]]
//        (default 2 s, profile 3 = HQ, 3 runs; KINDS a comma list of camera, noise and real,
//        every one by default: a short real clip needs more seconds than the 1080p sources)

#include "toolbox/exportSettings.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Measure {
    double seconds = 0;
    long maxRssKb = 0;
    int status = -1;
};

// Runs a program with its output thrown away (standard error into errorFile); wall time and
// peak memory of the child.
Measure runChild(const std::vector<std::string> &args, const std::string &errorFile = "/dev/null") {
    Measure m;
    std::fflush(nullptr); // the child must not write this process's buffered lines again
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (std::freopen("/dev/null", "w", stdout) == nullptr ||
            std::freopen(errorFile.c_str(), "w", stderr) == nullptr)
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

const char *kFfmpeg = "/usr/bin/ffmpeg";

// The source as a QuickTime movie of `seconds`: "camera" (1080p50 H.264 at 28 Mbit/s with
// sound, as camcorders record), "noise" (1080p25 with heavy grain, nearly lossless H.264), or
// the frames of `real` looped, one frame per 1/25 s (FFV1, so nothing is lost on the way).
bool makeSource(const std::string &kind, const std::string &path, int seconds,
                const std::string &real) {
    const std::string d = std::to_string(seconds);
    std::vector<std::string> args{kFfmpeg, "-nostdin", "-y"};
    if (kind == "camera")
        args.insert(args.end(), {"-f",       "lavfi",
                                 "-i",       "testsrc2=size=1920x1080:rate=50:duration=" + d,
                                 "-f",       "lavfi",
                                 "-i",       "sine=frequency=440:sample_rate=48000:duration=" + d,
                                 "-c:v",     "libx264",
                                 "-preset",  "ultrafast",
                                 "-b:v",     "28M",
                                 "-maxrate", "28M",
                                 "-bufsize", "28M",
                                 "-g",       "25",
                                 "-pix_fmt", "yuv420p",
                                 "-c:a",     "ac3"});
    else if (kind == "noise")
        args.insert(args.end(),
                    {"-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=25:duration=" + d, "-vf",
                     "noise=alls=20:allf=t", "-c:v", "libx264", "-preset", "ultrafast", "-qp", "8",
                     "-pix_fmt", "yuv420p"});
    else
        args.insert(args.end(), {"-stream_loop", "-1", "-i", real, "-an", "-vf", "setpts=N/25/TB",
                                 "-r", "25", "-t", d, "-c:v", "ffv1"});
    args.push_back(path);
    return runChild(args).status == 0;
}

// PSNR over all planes of movie against source, frame n against frame n.
double psnr(const std::string &movie, const std::string &source, const std::string &log) {
    runChild({kFfmpeg, "-nostdin", "-i", movie, "-i", source, "-lavfi",
              "[0:v]settb=1/1000,setpts=N[a];[1:v]format=yuv422p10le,settb=1/1000,setpts=N[b];"
              "[a][b]psnr",
              "-f", "null", "-"},
             log);
    std::string text;
    if (FILE *in = std::fopen(log.c_str(), "rb")) {
        char chunk[4096];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
            text.append(chunk, n);
        std::fclose(in);
    }
    const std::size_t at = text.rfind("average:");
    return at == std::string::npos ? 0 : std::atof(text.c_str() + at + 8);
}

std::int64_t fileSize(const std::string &path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<std::int64_t>(size);
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
    const int profile = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::string real = argc > 3 ? argv[3] : "";
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
    static const char *const types[] = {"apco", "apcs", "apcn", "apch", "ap4h"};
    if (profile < 0 || profile > 4) {
        std::fprintf(stderr, "profile: 0 Proxy, 1 LT, 2 422, 3 HQ, 4 4444\n");
        return 2;
    }
    char pattern[] = "/tmp/fluxaro-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::filesystem::path dir = pattern;
    const std::string settings = (dir / "prores.settings").string();
    const std::string trakmill = FLUXARO_TOOLS_DIR "/trakmill";
    const std::string log = (dir / "psnr.log").string();

    toolbox::MovieExportSettings s;
    s.codecType = toolbox::fourCharCode(types[profile]);
    s.soundFormat = toolbox::fourCharCode("sowt");
    s.sampleRate = 48000;
    s.sampleBits = 16;
    const auto bytes = toolbox::movieExportSettingsToAtomContainer(s);
    std::ofstream(settings, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    std::vector<std::string> kinds{"camera", "noise"};
    if (!real.empty())
        kinds.emplace_back("real");
    if (argc > 5) {
        const std::string wanted = std::string(",") + argv[5] + ",";
        std::erase_if(kinds, [&](const std::string &kind) {
            return wanted.find("," + kind + ",") == std::string::npos;
        });
    }
    const unsigned cores = std::thread::hardware_concurrency();
    std::printf("ProRes %s (profile %d), %d s per source, %u cores; best of %d alternating runs\n",
                types[profile], profile, seconds, cores, runs);
    int failures = 0;
    for (const std::string &kind : kinds) {
        const std::string source = (dir / (kind + ".mov")).string();
        if (!makeSource(kind, source, seconds, real)) {
            std::fprintf(stderr, "cannot make the %s source with %s\n", kind.c_str(), kFfmpeg);
            return 1;
        }
        const std::string ffOut = (dir / "ffmpeg.mov").string();
        const std::string tmOut = (dir / "trakmill.mov").string();
        std::vector<Best> best;
        const bool ran =
            interleaved({{kFfmpeg, "-nostdin", "-y", "-i", source, "-c:v", "prores_ks",
                          "-profile:v", std::to_string(profile), "-c:a", "pcm_s16le", ffOut},
                         {trakmill, "-s", settings, "-i", source, "-y", "-o", tmOut}},
                        runs, best);
        const Measure one = runChild({"/usr/bin/taskset", "-c", "0", trakmill, "-s", settings, "-i",
                                      source, "-y", "-o", (dir / "one.mov").string()});
        if (!ran || one.status != 0) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
        const double ffPsnr = psnr(ffOut, source, log);
        const double tmPsnr = psnr(tmOut, source, log);
        const double ffSize = double(fileSize(ffOut));
        const double tmSize = double(fileSize(tmOut));
        const double frames = seconds * (kind == "camera" ? 50.0 : 25.0);
        const double speed = best[0].wall.seconds / best[1].wall.seconds;
        const bool ok = speed >= 4 && tmPsnr >= ffPsnr - 0.2 && tmSize <= 1.1 * ffSize;
        failures += ok ? 0 : 1;
        std::printf("%s:\n", kind.c_str());
        std::printf("  ffmpeg   %6.2f s (%6.2f s CPU) %7.1f MB  %6.2f dB  %6ld KB peak\n",
                    best[0].wall.seconds, best[0].userSeconds, ffSize / 1e6, ffPsnr,
                    best[0].wall.maxRssKb);
        std::printf("  trakmill %6.2f s (%6.2f s CPU) %7.1f MB  %6.2f dB  %6ld KB peak\n",
                    best[1].wall.seconds, best[1].userSeconds, tmSize / 1e6, tmPsnr,
                    best[1].wall.maxRssKb);
        std::printf("  %.2fx faster, size %.3fx, PSNR %+.2f dB (goals: 4x, 1.1x, -0.2 dB)%s\n",
                    speed, tmSize / ffSize, tmPsnr - ffPsnr, ok ? "" : "  MISSED");
        std::printf("  trakmill: %.1f frames/s on 1 core, %.1f on %u\n", frames / one.seconds,
                    frames / best[1].wall.seconds, cores);
        std::filesystem::remove(source);
    }
    std::filesystem::remove_all(dir);
    return failures == 0 ? 0 : 3;
}
