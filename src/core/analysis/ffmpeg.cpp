#include "analysis/ffmpeg.h"

#include "analysis/reportText.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "platform/resources.h"
#include "platform/shellQuote.h"
#include "platform/utilsTools.h"
#include "settings/localisation.h"

#include <QFileInfo>
#include <QStandardPaths>

using reportText::cutBefore;
using reportText::integerValue;
using reportText::textAfter;

namespace {

bool isExecutableFile(const QString &path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

QString firstLine(const QString &text) {
    return text.section(QLatin1Char('\n'), 0, 0).trimmed();
}

} // namespace

QString ffmpegPathStr() {
    const QString name = QStringLiteral("ffmpeg");
    // A program put straight into the resource folder wins over the shipped link in "tools".
    QStringList candidates = {resourcePathStr() + QLatin1Char('/') + name,
                              toolsPathStr() + QLatin1Char('/') + name};
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!dataHome.isEmpty()) {
        candidates.append(dataHome + QLatin1Char('/') + appNameStr() + QLatin1Char('/') + name);
    }
    candidates.append(QStringLiteral("/usr/bin/ffmpeg"));
    for (const QString &candidate : candidates) {
        if (isExecutableFile(candidate)) {
            return QFileInfo(candidate).absoluteFilePath();
        }
    }
    return {};
}

int32_t ffRevisionFromBanner(const std::optional<QString> &banner) {
    if (!banner || banner->isEmpty()) {
        return 0;
    }
    const QString &text = *banner;
    int32_t revision = 0;
    QString versionText;
    if (text.contains(QLatin1String("git-N-"))) {
        logStr(QStringLiteral("git"));
        versionText = cutBefore(textAfter(text, QStringLiteral("git-N-")), QStringLiteral("-"));
        revision = integerValue(versionText);
    } else {
        logStr(QStringLiteral("!git"));
        const QString lower = text.toLower();
        if (lower.contains(QLatin1String("version"))) {
            logStr(QStringLiteral("!git: version"));
            versionText = textAfter(lower, QStringLiteral("version"));
            if (versionText.contains(QLatin1Char(','))) {
                versionText = cutBefore(versionText, QStringLiteral(","));
                // "0.6.1" reads as 0: such builds are numbered by their minor release.
                if (integerValue(versionText) <= 0 && versionText.contains(QLatin1Char('.'))) {
                    versionText =
                        textAfter(versionText, QStringLiteral(".")) + QStringLiteral("0000");
                }
            }
            revision = integerValue(versionText);
        } else {
            versionText = firstLine(text);
            revision = integerValue(text);
        }
    }
    logStr(
        QStringLiteral("FFmpeg version      : %1 -> %2").arg(firstLine(versionText)).arg(revision));
    return revision;
}

int32_t ffRevisionInt() {
    const QString path = ffmpegPathStr();
    if (path.isEmpty()) {
        logStr(QStringLiteral("FFmpeg version      :-( no ffmpeg"));
        return 0;
    }
    // Run without arguments, ffmpeg prints its banner on standard error and exits.
    return ffRevisionFromBanner(taskWithStr(shellQuote(path) + QStringLiteral(" </dev/null 2>&1")));
}

bool ffmpegSuccess(const std::optional<QString> &report) {
    const QString lower = report ? report->toLower() : QString();
    // The old builds' phrases, then the forms current ffmpeg prints after the input's name.
    static const char *const failures[] = {
        ": unknown format",
        ": i/o error occured",
        ": could not find codec parameters",
        "error reading header:",
        ": operation not permitted",
        "unsupported video codec",
        "error while opening file",
        ": invalid data found when processing input",
        ": no such file or directory",
        ": permission denied",
    };
    bool failed = lower.isEmpty();
    for (const char *phrase : failures) {
        if (failed) {
            break;
        }
        failed = lower.contains(QLatin1String(phrase));
    }
    logStr(failed ? QStringLiteral("ffmpegSuccess       :-(")
                  : QStringLiteral("ffmpegSuccess       :-)"));
    return !failed;
}

QString interlacedYuvheaders2dudStr(const std::optional<QString> &letter) {
    if (letter && *letter == QLatin1String("t")) {
        return fieldsStr(QStringLiteral("TFF"));
    }
    if (letter && *letter == QLatin1String("b")) {
        return fieldsStr(QStringLiteral("BFF"));
    }
    return fieldsStr(QStringLiteral("PFF"));
}
