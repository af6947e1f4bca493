#include "dates/recordingDate.h"

#include "platform/log.h"
#include "platform/resources.h"
#include "platform/shellQuote.h"
#include "platform/utilsFile.h"
#include "platform/utilsStr.h"
#include "platform/utilsTools.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

namespace {

// The path without its last component, as a path library would answer it: "/a/b/" -> "/a",
// "/a" -> "/", "a" -> "".
QString withoutLastComponent(const QString &path) {
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/'))) {
        trimmed.chop(1);
    }
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        return QString();
    }
    if (slash == 0) {
        return QStringLiteral("/");
    }
    return trimmed.left(slash);
}

QString lastComponent(const QString &path) {
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/'))) {
        trimmed.chop(1);
    }
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

// The last component without its extension (the text from its last "." on, unless the dot
// begins the name): "00001.MTS" -> "00001", "a.b.mov" -> "a.b", ".hidden" -> ".hidden".
QString baseNameWithoutExtension(const QString &path) {
    const QString name = lastComponent(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

QString listDescription(const QStringList &items) {
    return QLatin1Char('(') + items.join(QStringLiteral(", ")) + QLatin1Char(')');
}

// The date name that clipdater gives the clip `baseName` in the playlist folder, or nothing.
std::optional<QString> clipdaterName(const QString &folderPLAYLIST, const QString &baseName) {
    // Both paths are single-quoted words: no file name can break or inject into the command.
    const QString cmd = shellQuote(toolsPathStr() + QStringLiteral("/clipdater")) +
                        QLatin1Char(' ') + shellQuote(folderPLAYLIST);
    const QString output = taskWithStrBasic(cmd).value_or(QString());
    logDebug(QStringLiteral("dateCreation2iMovieN- str : %1").arg(output));
    const QStringList linesA = linesToArray(output);
    logDebug(QStringLiteral("dateCreation2iMovieN- linesA : %1").arg(listDescription(linesA)));
    const QString separator = QStringLiteral(" : ");
    for (qsizetype j = 0; j < linesA.size(); ++j) {
        const QString &line = linesA.at(j);
        logStr(QStringLiteral("str line %1 : %2").arg(QString::number(j), line));
        if (!line.contains(separator)) {
            continue;
        }
        const QStringList pieces = line.split(separator);
        if (pieces.at(0) == baseName) {
            return pieces.at(1) + QLatin1Char('-') + baseName;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> dateCreation2iMovieName(const QString &path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    logStr(QStringLiteral("dateCreation2iMovieN…"));
    const QString baseName = baseNameWithoutExtension(path);
    const QString recordingFolder = withoutLastComponent(withoutLastComponent(path));
    logDebug(QStringLiteral("dateCreation2iMovieN- 1: %1").arg(path));
    logDebug(QStringLiteral("dateCreation2iMovieN- 2: %1").arg(recordingFolder));
    const QStringList entries = lsCocoa(recordingFolder).value_or(QStringList());
    logDebug(QStringLiteral("dateCreation2iMovieN- a : %1").arg(listDescription(entries)));

    for (const QString &entry : entries) {
        if (!entry.contains(QStringLiteral("PLAYLIST"))) {
            continue;
        }
        const QString folderPLAYLIST = recordingFolder + QStringLiteral("/PLAYLIST/");
        logDebug(QStringLiteral("dateCreation2iMovieN- folderPLAYLIST : %1").arg(folderPLAYLIST));
        if (const std::optional<QString> name = clipdaterName(folderPLAYLIST, baseName)) {
            return name;
        }
    }

    logDebug(QStringLiteral("dateCreation2iMovieN- 2"));
    std::optional<QString> date = dateCreation(path);
    logDebug(QStringLiteral("dstPathNameStr = %1").arg(date.value_or(QStringLiteral("(null)"))));
    if (!date) {
        // Without a date there is nothing to sort by: the source's own file name stands in.
        return lastComponent(path);
    }
    const qsizetype plus = date->indexOf(QStringLiteral(" +"));
    if (plus >= 0) {
        date->truncate(plus);
    }
    QString dstPathNameStr = QStringLiteral("clip-%1-%2").arg(*date, baseName);
    logDebug(QStringLiteral("dstPathNameStr = %1").arg(dstPathNameStr));
    dstPathNameStr = findAndReplace(dstPathNameStr, QStringLiteral(":"), QStringLiteral(";"), true);
    logDebug(QStringLiteral("dstPathNameStr = %1").arg(dstPathNameStr));
    if (dstPathNameStr.isEmpty()) {
        return lastComponent(path);
    }
    return dstPathNameStr;
}

QString dateCreationText(std::int64_t secondsSinceEpoch) {
    const std::time_t time = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm local{};
    tzset();
    if (localtime_r(&time, &local) == nullptr) {
        return QString();
    }
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
    return QString::fromLatin1(text, static_cast<qsizetype>(length));
}

std::optional<QString> dateCreation(const QString &path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    const QString standardized = QDir::cleanPath(expandTilde(path));
    logDebug(QStringLiteral("path : %1").arg(standardized));
    struct statx status {};
    const QByteArray nativePath = QFile::encodeName(standardized);
    if (statx(AT_FDCWD, nativePath.constData(), AT_STATX_SYNC_AS_STAT, STATX_BTIME | STATX_MTIME,
              &status) != 0) {
        logDebug(QStringLiteral("dict : (null)"));
        return std::nullopt;
    }
    const bool hasBirth = (status.stx_mask & STATX_BTIME) != 0;
    const std::int64_t created = hasBirth ? status.stx_btime.tv_sec : status.stx_mtime.tv_sec;
    logDebug(QStringLiteral("dict : {creation: %1, modification: %2, size: %3}")
                 .arg(hasBirth ? dateCreationText(status.stx_btime.tv_sec) : QStringLiteral("-"),
                      dateCreationText(status.stx_mtime.tv_sec), QString::number(status.stx_size)));
    QString text = dateCreationText(created);
    if (text.isEmpty()) {
        return std::nullopt;
    }
    return text;
}
