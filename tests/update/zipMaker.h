// Zip archives for the unpacking tests, written with minizip's zip layer: plain files and
// folders, names as given (so unsafe names can be made), symbolic-link entries.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <minizip/zip.h>

#include <sys/stat.h>

#include <vector>

struct zipMakerEntry {
    QByteArray name;
    QByteArray data;
    bool symlink = false; ///< a Unix symbolic link whose target is `data`
    int year = 2020, month = 5, day = 17, hour = 10, minute = 30, second = 20;
};

inline bool makeZip(const QString &path, const std::vector<zipMakerEntry> &entries) {
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (zip == nullptr) {
        return false;
    }
    bool ok = true;
    for (const zipMakerEntry &entry : entries) {
        zip_fileinfo info{};
        info.tmz_date.tm_year = static_cast<uInt>(entry.year);
        info.tmz_date.tm_mon = static_cast<uInt>(entry.month - 1);
        info.tmz_date.tm_mday = static_cast<uInt>(entry.day);
        info.tmz_date.tm_hour = static_cast<uInt>(entry.hour);
        info.tmz_date.tm_min = static_cast<uInt>(entry.minute);
        info.tmz_date.tm_sec = static_cast<uInt>(entry.second);
        const uLong mode = entry.symlink              ? (S_IFLNK | 0777)
                           : entry.name.endsWith('/') ? (S_IFDIR | 0755)
                                                      : (S_IFREG | 0644);
        info.external_fa = mode << 16;
        // Made by Unix (3), version 3.0: the mode is read from the external attributes.
        ok = ok && zipOpenNewFileInZip4_64(zip, entry.name.constData(), &info, nullptr, 0, nullptr,
                                           0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0,
                                           -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr,
                                           0, (3 << 8) | 30, 0, 0) == ZIP_OK;
        if (ok && !entry.data.isEmpty()) {
            ok = zipWriteInFileInZip(zip, entry.data.constData(),
                                     static_cast<unsigned>(entry.data.size())) == ZIP_OK;
        }
        ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}
