#include "platform/utilsFile.h"

#include "platform/constants.h"
#include "platform/log.h"
#include "platform/shellQuote.h"
#include "platform/utilsStr.h"
#include "platform/utilsTools.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

// The desktop's change notice after deletions and moves is not needed on Linux: file managers
// watch their folders (inotify) themselves.

namespace {

const QLatin1Char kSlash('/');

// The path without final slashes ("/" stays "/").
QString withoutFinalSlash(const QString &path) {
    QString p = path;
    while (p.size() > 1 && p.endsWith(kSlash)) {
        p.chop(1);
    }
    return p;
}

// The parent folder of a cleaned path, without a final "/" ("/" for "/" and for "/x").
QString parentOf(const QString &cleanPath) {
    if (cleanPath == QLatin1String("/")) {
        return cleanPath;
    }
    return QFileInfo(cleanPath).path();
}

QString userNameStr() {
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty()) {
        if (const passwd *pw = getpwuid(getuid()); pw != nullptr && pw->pw_name != nullptr) {
            name = QString::fromLocal8Bit(pw->pw_name);
        }
    }
    return name;
}

// Removes a file, a symbolic link (never what it points to) or a folder with its contents.
bool removeItem(const QString &path) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink()) {
        return QDir(path).removeRecursively();
    }
    return QFile::remove(path);
}

// True when something exists at the path, a dangling symbolic link included.
bool itemExists(const QString &path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool copyRecursively(const QString &src, const QString &dst) {
    const QFileInfo info(src);
    if (info.isSymLink()) {
        return QFile::link(info.symLinkTarget(), dst);
    }
    if (!info.isDir()) {
        return QFile::copy(src, dst);
    }
    if (!QDir().mkdir(dst)) {
        return false;
    }
    const QStringList entries =
        QDir(src).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : entries) {
        if (!copyRecursively(src + kSlash + name, dst + kSlash + name)) {
            return false;
        }
    }
    return true;
}

// Read with the system's own calls, folder names as bytes: an entry whose name is not valid
// UTF-8 is listed too (as text it names no file, so its callers can refuse it by name), where
// a listing through paths as text would leave it out without a word.
void listRecursive(const QByteArray &folder, const QString &prefix, QStringList &out,
                   QStringList &unread) {
    DIR *dir = ::opendir(folder.constData());
    if (dir == nullptr) {
        // Said rather than taken for an empty folder: out of descriptors (EMFILE), no
        // permission, a folder gone meanwhile.
        unread.append(QStringLiteral("%1: %2").arg(withoutFinalSlash(prefix),
                                                   QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    // The folder is closed before its subfolders are read: a deep tree never holds one
    // descriptor per level (a low descriptor limit failed the walk of a card's folders).
    struct entryFound {
        QByteArray path;
        QString full;
        bool folder = false;
    };
    QList<entryFound> entries;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        const QByteArray child = folder + '/' + name;
        struct stat info {};
        const bool isFolder = ::lstat(child.constData(), &info) == 0 && S_ISDIR(info.st_mode);
        entries.append({child, prefix + QFile::decodeName(name), isFolder});
    }
    ::closedir(dir);
    for (const entryFound &entry : entries) {
        out.append(entry.full);
        if (entry.folder) {
            listRecursive(entry.path, entry.full + kSlash, out, unread);
        }
    }
}

} // namespace

QString expandTilde(const QString &path) {
    if (path == QLatin1String("~")) {
        return QDir::homePath();
    }
    if (path.startsWith(QLatin1String("~/"))) {
        return QDir::homePath() + path.mid(1);
    }
    return path;
}

QStringList rmCocoaGuardedPaths() {
    QStringList guarded;
    guarded.append(withoutFinalSlash(QDir::cleanPath(QDir::homePath())));
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (!videos.isEmpty()) {
        guarded.append(withoutFinalSlash(QDir::cleanPath(videos)));
    }
    return guarded;
}

QStringList rmCocoaGuardedParents() {
    QStringList parents = {QStringLiteral("/"),         QStringLiteral("/Volumes"),
                           QStringLiteral("/Users"),    QStringLiteral("/home"),
                           QStringLiteral("/media"),    QStringLiteral("/mnt"),
                           QStringLiteral("/run/media")};
    const QString user = userNameStr();
    if (!user.isEmpty()) {
        parents.append(QStringLiteral("/run/media/") + user);
    }
    // The siblings of the home folder are other users' homes, wherever homes live (unless the
    // home sits in the temporary folder, whose children are the application's to delete).
    const QString home = withoutFinalSlash(QDir::cleanPath(QDir::homePath()));
    if (home != QLatin1String("/")) {
        const QString homeParent = parentOf(home);
        const bool inTemporary = homeParent == QLatin1String("/tmp") ||
                                 homeParent == withoutFinalSlash(QDir::cleanPath(QDir::tempPath()));
        if (!inTemporary && !parents.contains(homeParent)) {
            parents.append(homeParent);
        }
    }
    return parents;
}

bool rmCocoaIsGuarded(const QString &rawPath) {
    const QString path = expandTilde(rawPath);
    if (path.isEmpty()) {
        return true;
    }
    const QStringList parents = rmCocoaGuardedParents();
    // Wildcard forms: nothing here expands them, but a path written that way is never meant.
    QStringList wildcards = {QStringLiteral("*"), QStringLiteral("/Volumes/Users/*")};
    for (const QString &parent : parents) {
        wildcards.append(parent == QLatin1String("/") ? QStringLiteral("/*")
                                                      : parent + QStringLiteral("/*"));
    }
    for (const QString &form : wildcards) {
        if (path.startsWith(form)) {
            logStr(QStringLiteral("alerte de sécurité joker"));
            return true;
        }
    }
    // Check the path as written (".", ".." and doubled slashes resolved) and, when its folder
    // exists, as reached through symbolic links, so neither spelling nor a link gets around it.
    QStringList forms = {QDir::cleanPath(QDir(QDir::currentPath()).absoluteFilePath(path))};
    const QFileInfo item(forms.first());
    const QString realParent = QFileInfo(item.path()).canonicalFilePath();
    if (!realParent.isEmpty()) {
        forms.append(QDir::cleanPath(realParent + kSlash + item.fileName()));
    }
    const QStringList guarded = rmCocoaGuardedPaths();
    for (const QString &form : forms) {
        if (form == QLatin1String("/") || guarded.contains(form)) {
            logStr(QStringLiteral("alerte de sécurité   : %1").arg(path));
            return true;
        }
        if (parents.contains(parentOf(form))) {
            logStr(QStringLiteral("alerte de sécurité dirname"));
            return true;
        }
    }
    return false;
}

bool rmCocoa(const QString &rawPath) {
    if (rawPath.isEmpty()) {
        return false;
    }
    const QString path = expandTilde(rawPath);
    if (rmCocoaIsGuarded(path)) {
        return false;
    }
    const QString target = withoutFinalSlash(path);
    if (itemExists(target)) {
        logDebug(QStringLiteral("File current        : exists: %1").arg(target));
        if (!removeItem(target)) {
            logStr(QStringLiteral("File current        :-( not deleted 1"));
            moveToTrash(target);
            logStr(QStringLiteral("File current        :-/ …to trash"));
            if (itemExists(target)) {
                logStr(QStringLiteral("File current        :-( failure"));
                return false;
            }
        }
    }
    return true;
}

bool mkdirCocoa(const QString &rawPath) {
    if (rawPath.isEmpty()) {
        return false;
    }
    const QString path = expandTilde(rawPath);
    if (QDir().mkpath(path) && QFileInfo(path).isDir()) {
        return true;
    }
    logStr(QStringLiteral("mkdir               :-(  '%1'").arg(path));
    if (QDir().mkpath(path) && QFileInfo(path).isDir()) {
        return true;
    }
    logStr(QStringLiteral("mkdir               :-(( '%1'").arg(path));
    return false;
}

bool mvCocoa(const QString &rawSrc, const QString &rawDst, const QString &overwrite) {
    if (rawSrc.isEmpty() || rawDst.isEmpty()) {
        return false;
    }
    const QString src = withoutFinalSlash(expandTilde(rawSrc));
    const QString dst = withoutFinalSlash(expandTilde(rawDst));
    if (!itemExists(src)) {
        logStr(QStringLiteral("File current        :-( does not exist: %1").arg(src));
        return false;
    }
    if (itemExists(dst)) {
        if (overwrite != QLatin1String("y")) {
            logStr(QStringLiteral("New already exists   :-( %1").arg(dst));
            return false;
        }
        // Replacing an item by itself would delete it: it is already where it should be.
        const QString realSrc = QFileInfo(src).canonicalFilePath();
        if (!realSrc.isEmpty() && realSrc == QFileInfo(dst).canonicalFilePath() &&
            QFileInfo(src).isSymLink() == QFileInfo(dst).isSymLink()) {
            return true;
        }
        if (!rmCocoa(dst)) {
            return false;
        }
        logDebug(QStringLiteral("New deleted first    :-) %1").arg(dst));
    }
    if (::rename(QFile::encodeName(src).constData(), QFile::encodeName(dst).constData()) == 0) {
        return true;
    }
    if (errno != EXDEV) {
        return false;
    }
    // Across file systems: copy, then delete the source only once the copy is whole.
    if (!copyRecursively(src, dst)) {
        removeItem(dst);
        return false;
    }
    return removeItem(src);
}

bool moveToTrashChecked(const QString &rawPath, QString *trashedAt) {
    const QString path = expandTilde(rawPath);
    if (path.isEmpty()) {
        return false;
    }
    // Qt makes the home trash inside $XDG_DATA_HOME but never makes that folder: where it is
    // missing (a new account), Qt's trash location comes out empty, which it reads as the
    // current folder, and it creates "files" and "info" there. The freedesktop trash
    // specification asks for the home trash to be made when needed, so its parent is made
    // first; where it can't be, nothing is trashed.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty() || !(QFileInfo(data).isDir() || QDir().mkpath(data))) {
        logStr(QStringLiteral("trash               :-( no data folder for the home trash"));
        return false;
    }
    QString at;
    if (!QFile::moveToTrash(path, &at)) {
        return false;
    }
    if (trashedAt != nullptr) {
        *trashedAt = at;
    }
    return true;
}

int32_t moveToTrash(const QString &path) {
    // Never a permanent delete instead: an item that no trash takes stays where it is.
    if (!path.isEmpty() && !moveToTrashChecked(path)) {
        logStr(QStringLiteral("trash               :-( no trash takes '%1': it stays")
                   .arg(expandTilde(path)));
    }
    return 1;
}

bool ln_sCocoa(const QString &existingPath, const QString &linkPath) {
    if (existingPath.isEmpty() || linkPath.isEmpty()) {
        return false;
    }
    return ::symlink(QFile::encodeName(existingPath).constData(),
                     QFile::encodeName(linkPath).constData()) == 0;
}

std::optional<QStringList> lsCocoa(const QString &rawFolder) {
    if (rawFolder.isEmpty()) {
        return std::nullopt;
    }
    QString folder = expandTilde(rawFolder);
    if (!folder.endsWith(kSlash)) {
        folder.append(kSlash);
    }
    QStringList paths;
    const QStringList entries = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString &name : entries) {
        paths.append(folder + name);
    }
    return paths;
}

std::optional<QStringList> lsGrepCocoa(const QString &folder, const QString &ext) {
    const std::optional<QStringList> all = lsCocoa(folder);
    if (!all) {
        return std::nullopt;
    }
    QStringList selected;
    for (const QString &path : *all) {
        const QString name = path.mid(path.lastIndexOf(kSlash) + 1);
        const int32_t dot = static_cast<int32_t>(name.lastIndexOf(QLatin1Char('.')));
        // As for path extensions elsewhere, a leading dot (hidden file) starts no extension.
        const QString entryExt = dot > 0 ? name.mid(dot + 1) : QString();
        if (entryExt.compare(ext, Qt::CaseInsensitive) == 0) {
            selected.append(path);
        }
    }
    return selected;
}

folderListing lsCocoaRecursiveListing(const QString &folder) {
    folderListing listing;
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        return listing;
    }
    const QString prefix = folder.endsWith(kSlash) ? folder : folder + kSlash;
    listRecursive(QFile::encodeName(withoutFinalSlash(folder)), prefix, listing.items,
                  listing.unread);
    return listing;
}

QStringList lsCocoaRecursive(const QString &folder) {
    return lsCocoaRecursiveListing(folder).items;
}

bool testPresenceC(const QString &rawPath) {
    if (rawPath.isEmpty()) {
        return false;
    }
    const QByteArray path = QFile::encodeName(expandTilde(rawPath));
    // O_NONBLOCK: a named pipe must not hang the test.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

bool testPresenceCocoa(const QString &path) {
    return testPresenceC(path);
}

int32_t espaceDiskDispo(const QString &rawPath) {
    if (rawPath.isEmpty()) {
        return -1;
    }
    const QString path = expandTilde(rawPath);
    if (!QFileInfo::exists(path)) {
        return -1;
    }
    struct statvfs info {};
    if (::statvfs(QFile::encodeName(path).constData(), &info) != 0) {
        logStr(QStringLiteral("error               :-( %1").arg(qt_error_string(errno)));
        return -1;
    }
    const uint64_t freeBytes =
        static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
    const uint64_t mib = freeBytes >> 20;
    return mib > static_cast<uint64_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(mib);
}

double poidsFile(const QString &rawPath, const QString &unit) {
    if (rawPath.isEmpty()) {
        return -1;
    }
    const QFileInfo info(QDir::cleanPath(expandTilde(rawPath)));
    if (!info.exists()) {
        return -1;
    }
    const int64_t bytes = info.size();
    if (unit.isEmpty() || unit.compare(QLatin1String("O"), Qt::CaseInsensitive) == 0) {
        return static_cast<double>(bytes);
    }
    return octet2unite(bytes, unit);
}

bool droitsAcces(const QString &rawPath) {
    if (rawPath.isEmpty()) {
        return false;
    }
    const QString path = expandTilde(rawPath);
    QString folder = QFileInfo(path).isDir() ? path : fichier_dirname(path);
    if (!folder.endsWith(kSlash)) {
        folder.append(kSlash);
    }
    // A folder that is not there has no room for anything; probing it would create it.
    if (!QFileInfo(folder).isDir()) {
        logStr(QStringLiteral("droitsAcces         ? 0"));
        return false;
    }
    const QString probe =
        folder + QStringLiteral("_FXdir%1").arg(QRandomGenerator::global()->bounded(1000000000));
    const bool made = mkdirCocoa(probe);
    if (made) {
        rmCocoa(probe);
    }
    logStr(QStringLiteral("droitsAcces         ? %1").arg(made ? 1 : 0));
    return made;
}

QString pathByResolvingAlias(const QString &path) {
    const QFileInfo info(path);
    if (!info.isSymLink()) {
        return path;
    }
    const QString target = info.canonicalFilePath();
    return target.isEmpty() ? path : target;
}

std::optional<QString> EyetvBundle(const QString &path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    logDebug(QStringLiteral("EyetvBundle         - debut - %1").arg(path));
    QString result = path;
    if (path.contains(QStringLiteral(".eyetv/"))) {
        const QString parent = parentOf(withoutFinalSlash(path));
        if (parent.endsWith(QStringLiteral(".eyetv"))) {
            result = parent;
        }
    }
    logDebug(QStringLiteral("EyetvBundle         - fin   - %1").arg(result));
    return result;
}

QString fichier_dirname(const QString &rawPath) {
    if (rawPath.isEmpty()) {
        return QString();
    }
    QString path = expandTilde(rawPath);
    if (path.contains(QLatin1String(".iMovieProject/Shared Movies/iDVD"))) {
        path.chop(33);
    }
    path = withoutFinalSlash(EyetvBundle(path).value_or(path));
    QString parent = parentOf(path);
    if (!parent.endsWith(kSlash)) {
        parent.append(kSlash);
    }
    return parent;
}

std::optional<QString> readContentsTxtUTF8(const QString &rawPath) {
    if (rawPath.isEmpty()) {
        return std::nullopt;
    }
    const QString path = expandTilde(rawPath);
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    const std::optional<QStringConverter::Encoding> bom = QStringConverter::encodingForData(
        QByteArrayView(bytes.constData(), std::min<qsizetype>(bytes.size(), 4)));
    QStringDecoder decoder(bom.value_or(QStringConverter::Utf8));
    const QString text = decoder.decode(bytes);
    if (!decoder.hasError()) {
        return text;
    }
    logStr(QStringLiteral("Error reading file at path %1\n%2")
               .arg(path, QStringLiteral("the text is not valid UTF-8")));
    // Copy the file byte for byte and read the copy as 8-bit text. The copy never replaces a
    // file that exists beside it, and goes back over the original only when it is whole.
    const QString copyPath = path + QStringLiteral(".txt");
    if (itemExists(copyPath)) {
        return QString::fromLatin1(bytes);
    }
    taskWithStrBasic(
        QStringLiteral("/bin/cat %1 > %2").arg(shellQuote(path), shellQuote(copyPath)));
    QFile copy(copyPath);
    if (!copy.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray copied = copy.readAll();
    copy.close();
    if (copied != bytes) {
        QFile::remove(copyPath);
        return QString::fromLatin1(bytes);
    }
    mvCocoa(copyPath, path, QStringLiteral("y"));
    return QString::fromLatin1(copied);
}

std::optional<QString> readContentsTxtC(const QString &rawPath, int32_t maxLen) {
    if (rawPath.isEmpty()) {
        return std::nullopt;
    }
    const QString path = expandTilde(rawPath);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const double size = poidsFile(path);
    if (size < 0.1) {
        return std::nullopt;
    }
    const int64_t limit = std::min<int64_t>(static_cast<int64_t>(size), maxLen) - 1;
    if (limit <= 0) {
        return QString();
    }
    const QByteArray line = file.readLine(limit + 1);
    return QString::fromLatin1(line);
}

bool writeUtf8Bom(const QString &rawPath) {
    if (rawPath.isEmpty()) {
        return false;
    }
    const QString path = expandTilde(rawPath);
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadWrite)) {
        return false;
    }
    const bool written = file.seek(0) && file.write("\xEF\xBB\xBF", 3) == 3;
    file.close();
    if (written) {
        logDebug(QStringLiteral("Fixed BOM           :-) %1").arg(path));
    }
    return written;
}

bool writeTextFileUtf8(const QString &rawPath, const QString &text, bool withBom) {
    if (rawPath.isEmpty() || text.isEmpty()) {
        return false;
    }
    const QString path = expandTilde(rawPath);
    if (!itemExists(path)) {
        QFile created(path);
        if (!created.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            std::fputs("Impossible to create destination file !\n", stderr);
            return false;
        }
        created.close();
        if (withBom && !writeUtf8Bom(path)) {
            return false;
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    const bool written = file.write(bytes) == bytes.size();
    file.close();
    return written;
}

bool writeTextFileUtf8Bom(const QString &path, const QString &text) {
    return writeTextFileUtf8(path, text, true);
}

QString trimStr(const QString &path, int32_t maxLen) {
    const int32_t slash = static_cast<int32_t>(path.lastIndexOf(kSlash));
    const QString folder = slash >= 0 ? path.left(slash + 1) : QString();
    QString name = path.mid(slash + 1);
    const int32_t dot = static_cast<int32_t>(name.lastIndexOf(QLatin1Char('.')));
    QString ext;
    if (dot > 0) {
        ext = name.mid(dot + 1);
        name = name.left(dot);
        if (ext.size() > 12) {
            logStr(QStringLiteral("trimStr() oops!     :-( ce n'était certainement pas une ext "
                                  "(trop de chars ;-) -> RAZ): %1")
                       .arg(ext));
            ext.clear();
        }
    }
    name.remove(QLatin1Char('`'));
    name.replace(QLatin1Char(':'), QLatin1Char('-'));
    name = name.left(std::max<int32_t>(maxLen, 0));
    QString result = folder + name;
    if (!ext.isEmpty()) {
        result += QLatin1Char('.') + ext;
    }
    return result;
}

QString oldSrcPathStr2DstPathStr(const QString &path) {
    const int32_t slash = static_cast<int32_t>(path.lastIndexOf(kSlash));
    const QString folder = slash >= 0 ? path.left(slash + 1) : QString();
    QString name = path.mid(slash + 1);
    const int32_t dot = static_cast<int32_t>(name.lastIndexOf(QLatin1Char('.')));
    const QString ext = dot > 0 ? name.mid(dot + 1) : QString();
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString dotExt = ext.isEmpty() ? QString() : QLatin1Char('.') + ext;
    const QString stem = folder + base + QStringLiteral("_MASTER");
    if (stem.size() < 28) {
        return stem + dotExt;
    }
    QString shortBase = base;
    shortBase.replace(QLatin1Char('.'), QLatin1Char('_'));
    return folder + trimStr(shortBase, 20) + QStringLiteral("_MASTER") + dotExt;
}
