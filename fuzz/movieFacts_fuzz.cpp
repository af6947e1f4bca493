// A movie as the verification reads its facts: a QuickTime file's sample tables, edit lists,
// matrices and dates (lying atom sizes, tables of 2^31 entries), or any other file libavformat
// reads, its timestamps from its head and its tail. The bytes are given as a file (an
// in-memory one), as the reader opens files by path.
#include "toolbox/movieFacts.h"

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
    toolbox::MovieFacts facts;
    (void)toolbox::readMovieFacts(path, facts);
    close(fd);
    return 0;
}
