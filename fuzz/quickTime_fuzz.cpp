// A QuickTime file as the toolbox's atom reader takes it: top-level atoms, the movie header,
// tracks, edit lists, media headers and sample tables. The bytes are given as a file (an
// in-memory one), as the reader opens files by path.
#include "toolbox/quickTimeReader.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const int fd = memfd_create("movie", MFD_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = write(fd, data + done, size - done);
        if (written <= 0) {
            close(fd);
            return 0;
        }
        done += static_cast<std::size_t>(written);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    toolbox::ParsedMovie movie;
    bool isQuickTime = false;
    (void)toolbox::readQuickTimeMovie(path, movie, isQuickTime);
    toolbox::TopLevelAtom moov;
    (void)toolbox::findMovieAtom(path, moov);
    close(fd);
    return 0;
}
