// Prints the time and peak memory of toolbox writes on a small and a ten times larger movie.
//
// The in-place cases (trim or re-time, result replacing the source) must cost a new movie
// header: their time must not follow the file's size. Every case must keep its peak memory
// flat. Each case runs in a child process so that its peak resident size is its own.
//
// Usage: toolbox_rewrite_bench [work folder]   (default: a folder under /tmp, deleted after)
#include "toolbox/movie.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using toolbox::Movie;

bool run(const std::string &command) {
    return std::system(command.c_str()) == 0;
}

std::string quoted(const std::string &path) {
    return "'" + path + "'";
}

struct Figures {
    double seconds = -1;
    long peakKiB = -1;
};

/// The time of the write alone, measured by the work in the child.
double writeSeconds = 0;

template <typename Write> bool timedWrite(Write &&write) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = write();
    writeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return ok;
}

/// Runs work in a child process: the time of its write and its peak resident memory.
Figures measure(const std::function<bool()> &work) {
    int channel[2];
    if (pipe(channel) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        const bool ok = work();
        if (write(channel[1], &writeSeconds, sizeof writeSeconds) != sizeof writeSeconds)
            _exit(1);
        _exit(ok ? 0 : 1);
    }
    close(channel[1]);
    double seconds = -1;
    if (read(channel[0], &seconds, sizeof seconds) != sizeof seconds)
        seconds = -1;
    close(channel[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    Figures figures;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        figures.seconds = seconds;
        figures.peakKiB = usage.ru_maxrss;
    }
    return figures;
}

bool trimInPlace(const std::string &path) {
    auto movie = Movie::open(path);
    return movie && movie->deleteSegment(0, 480, 1000) &&
           timedWrite([&] { return movie->writeSelfContained(path).ok(); });
}

bool slowMotionInPlace(const std::string &path) {
    auto movie = Movie::open(path);
    if (!movie || !movie->setTimeScale(5000))
        return false;
    const auto duration = movie->duration();
    return movie->setTimeScale(2500) && movie->scaleSegment(0, duration, duration * 2, 5000) &&
           timedWrite([&] { return movie->writeSelfContained(path).ok(); });
}

bool trimToNewFile(const std::string &path) {
    auto movie = Movie::open(path);
    return movie && movie->deleteSegment(0, 480, 1000) &&
           timedWrite([&] { return movie->writeSelfContained(path + ".copy.mov").ok(); });
}

bool openOnly(const std::string &path) {
    return timedWrite([&] { return Movie::open(path) != nullptr; });
}

} // namespace

int main(int argc, char **argv) {
    const bool ownFolder = argc < 2;
    std::string folder = ownFolder ? (fs::temp_directory_path() / "toolbox-bench-XXXXXX").string()
                                   : std::string(argv[1]);
    if (ownFolder && !mkdtemp(folder.data()))
        return 1;
    fs::create_directories(folder);
    const std::string base = folder + "/base.mov";
    std::printf("Making the movies with the ffmpeg program...\n");
    // About 2 MB per 10 s: MPEG-4 picture and 48 kHz stereo PCM sound.
    if (!run("/usr/bin/ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=640x360:rate=25:"
             "duration=10 -f lavfi -i sine=sample_rate=48000:duration=10 -ac 2 -c:v mpeg4 "
             "-q:v 3 -g 25 -c:a pcm_s16le " +
             quoted(base))) {
        std::fprintf(stderr, "ffmpeg failed\n");
        return 1;
    }
    const double baseBytes = static_cast<double>(fs::file_size(base));
    struct Size {
        const char *name;
        double megabytes;
        std::string path;
    };
    Size sizes[] = {{"small", 20, folder + "/small.mov"}, {"large", 200, folder + "/large.mov"}};
    for (auto &size : sizes) {
        const int loops = std::max(1, int(size.megabytes * 1e6 / baseBytes + 0.5)) - 1;
        run("/usr/bin/ffmpeg -nostdin -v error -y -stream_loop " + std::to_string(loops) + " -i " +
            quoted(base) + " -c copy " + quoted(size.path + ".master.mov"));
    }

    struct Case {
        const char *name;
        bool (*work)(const std::string &);
    };
    const Case cases[] = {{"open only", openOnly},
                          {"trim 0.48 s, in place", trimInPlace},
                          {"slow motion 5000->2500, in place", slowMotionInPlace},
                          {"trim 0.48 s, to a new file", trimToNewFile}};
    std::printf("\n%-34s %12s %12s %12s %12s %9s %9s\n", "case (time of the operation)", "small ms",
                "large ms", "small KiB", "large KiB", "time x", "memory x");
    for (const auto &c : cases) {
        Figures figures[2];
        for (int i = 0; i < 2; ++i) {
            // A fresh copy of the master for every case: in-place writes change it.
            std::error_code copyError;
            fs::copy_file(sizes[i].path + ".master.mov", sizes[i].path,
                          fs::copy_options::overwrite_existing, copyError);
            if (copyError) {
                std::fprintf(stderr, "cannot copy the movie: %s\n", copyError.message().c_str());
                return 1;
            }
            run("sync");
            figures[i] = measure([&] { return c.work(sizes[i].path); });
            std::error_code code;
            fs::remove(sizes[i].path + ".copy.mov", code);
        }
        std::printf("%-34s %12.2f %12.2f %12ld %12ld %9.2f %9.2f\n", c.name,
                    1000 * figures[0].seconds, 1000 * figures[1].seconds, figures[0].peakKiB,
                    figures[1].peakKiB, figures[1].seconds / figures[0].seconds,
                    double(figures[1].peakKiB) / double(figures[0].peakKiB));
    }
    std::printf("\nfiles: small %.1f MB, large %.1f MB (size ratio %.1f)\n",
                fs::file_size(sizes[0].path + ".master.mov") / 1e6,
                fs::file_size(sizes[1].path + ".master.mov") / 1e6,
                double(fs::file_size(sizes[1].path + ".master.mov")) /
                    double(fs::file_size(sizes[0].path + ".master.mov")));
    if (ownFolder)
        fs::remove_all(folder);
    return 0;
}
