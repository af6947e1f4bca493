/* A shared library for the tests, put before the C library with LD_PRELOAD: read() of one file
 * fails with EIO from a byte offset on, as a card with a bad sector or pulled out mid-copy does.
 * FAILING_READ_PATH names the file (as realpath gives it), FAILING_READ_OFFSET the first byte
 * that can't be read, and FAILING_READ_WHEN a word the process's command line must hold (so the
 * conversion's ffmpeg fails while the analysis before it reads the whole file). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

static int processConcerned(void) {
    static int known = -1;
    if (known >= 0)
        return known;
    const char *word = getenv("FAILING_READ_WHEN");
    known = 1;
    if (word != NULL && *word != '\0') {
        char line[16384];
        known = 0;
        const int fd = open("/proc/self/cmdline", O_RDONLY);
        if (fd >= 0) {
            ssize_t (*realRead)(int, void *, size_t) = dlsym(RTLD_NEXT, "read");
            const ssize_t got = realRead(fd, line, sizeof line - 1);
            close(fd);
            for (ssize_t i = 0; i < got; ++i)
                if (line[i] == '\0')
                    line[i] = ' ';
            line[got > 0 ? got : 0] = '\0';
            known = strstr(line, word) != NULL;
        }
    }
    return known;
}

/* The bytes of the read at the descriptor's position that may succeed: all of them, fewer up to
 * the failing offset, or -1 when the read starts at or past it. */
static long long allowed(int fd, size_t count) {
    const char *path = getenv("FAILING_READ_PATH");
    const char *offsetText = getenv("FAILING_READ_OFFSET");
    if (path == NULL || offsetText == NULL || !processConcerned())
        return (long long)count;
    char link[64];
    char target[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, target, sizeof target - 1);
    if (length <= 0)
        return (long long)count;
    target[length] = '\0';
    if (strcmp(target, path) != 0)
        return (long long)count;
    const off_t position = lseek(fd, 0, SEEK_CUR);
    const long long offset = atoll(offsetText);
    if (position < 0)
        return (long long)count;
    if (position >= offset)
        return -1;
    return position + (long long)count > offset ? offset - position : (long long)count;
}

ssize_t read(int fd, void *buffer, size_t count) {
    static ssize_t (*realRead)(int, void *, size_t) = NULL;
    if (realRead == NULL)
        realRead = dlsym(RTLD_NEXT, "read");
    const long long may = allowed(fd, count);
    if (may < 0) {
        errno = EIO;
        return -1;
    }
    return realRead(fd, buffer, (size_t)may);
}
