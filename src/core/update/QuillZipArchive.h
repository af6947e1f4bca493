// Unpacking zip archives through minizip, safely: every entry is checked before anything is
// written, the archive is unpacked into a fresh staging folder inside the destination, and only
// a complete, undamaged unpacking is moved into place. Nothing is ever written outside the
// destination folder.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

/// Why an unpacking failed. Domain "QuillZipArchiveErrorDomain"; code -1 "failed to open zip
/// file", -2 "failed to open first file in zip file", and below those the refusals of unsafe or
/// damaged archives.
struct zipArchiveError {
    QString domain;
    int32_t code = 0;
    QString message;
};

/// Bounds on what one archive may unpack.
struct zipArchiveLimits {
    int64_t maxEntries = 20000;
    int64_t maxTotalBytes = int64_t{4} * 1024 * 1024 * 1024;
};

class QuillZipArchive {
public:
    static constexpr int32_t errOpenArchive = -1;
    static constexpr int32_t errFirstEntry = -2;
    static constexpr int32_t errUnsafeEntry = -3;
    static constexpr int32_t errDamagedEntry = -4;
    static constexpr int32_t errTooLarge = -5;
    static constexpr int32_t errWrite = -6;

    /// unzipFileAtPath with overwrite on, no password and no error report.
    static bool unzipFileAtPath(const QString &path, const QString &destination);

    /// Unpacks every entry of the archive into the destination folder (created when missing).
    /// Names are read as UTF-8, "\" counts as "/", a name ending with a separator is a folder;
    /// missing folders are created; a file is written when nothing exists at its place, or
    /// always when `overwrite` is on; the entry's date becomes the file's modification date.
    /// Refused as a whole, with nothing written into the destination: an entry whose name is
    /// absolute, climbs with "..", holds a NUL, is a symbolic link, or would reach through a
    /// symbolic link of the destination; more entries or more bytes than the limits; an entry
    /// that can't be read, has a bad checksum or is longer than recorded; a truncated archive.
    static bool unzipFileAtPath(const QString &path, const QString &destination, bool overwrite,
                                const QString &password, zipArchiveError *error,
                                const zipArchiveLimits &limits = {});

    /// The name of an entry as it will be written, relative to the destination ("\" read as
    /// "/", "." and empty components dropped, a trailing "/" kept for folders); nothing when the
    /// name is unsafe (empty, absolute, a drive letter, "..", a NUL).
    static std::optional<QString> safeEntryName(const QByteArray &rawName);
};
