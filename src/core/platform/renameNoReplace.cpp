#include "platform/renameNoReplace.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool renameNoReplace(const char *from, const char *to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        return false;
    }
    // No such rename here: a new link never replaces a name either.
    if (::link(from, to) == 0) {
        ::unlink(from);
        return true;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) {
        return false;
    }
    // Neither (FAT, some network shares, where other users' links don't exist either).
    struct stat info {};
    if (::lstat(to, &info) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from, to) == 0;
}

bool renameNoReplace(const QString &from, const QString &to) {
    return renameNoReplace(QFile::encodeName(from).constData(), QFile::encodeName(to).constData());
}
