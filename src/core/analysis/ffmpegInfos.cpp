#include "analysis/ffmpegInfos.h"

#include "analysis/ffmpeg.h"
#include "analysis/reportText.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "platform/shellQuote.h"
#include "platform/utilsFile.h"
#include "platform/utilsStr.h"
#include "platform/utilsTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <cstdint>

using reportText::cutBefore;
using reportText::integerValue;
using reportText::isPlainInteger;
using reportText::reportFields;
using reportText::textAfter;

namespace {

const QString inputMark = QStringLiteral("Input #0, ");
const QString noOutputMark = QStringLiteral("At least one output file must be specified");
const QString outputMark = QStringLiteral("Output #0, ");

QString key(QChar kind, int ordinal, const char *suffix) {
    return QStringLiteral("%1%2_%3").arg(kind).arg(ordinal).arg(QLatin1String(suffix));
}

// ffmpeg's number of the stream in a "Stream #" field: "Stream #0:1[0x1100](eng)" gives 1,
// "Stream #0:12" 12, and the dotted form of old builds "Stream #0.3(eng)" 3. Fields of other
// shapes are read as the text after ":" cut before "[".
std::optional<int32_t> streamNumber(const QString &field) {
    static const QRegularExpression numbered(QStringLiteral("Stream #\\d+[:.](\\d+)"));
    const QRegularExpressionMatch match = numbered.match(field);
    if (match.hasMatch()) {
        return integerValue(match.capturedView(1));
    }
    if (!field.contains(QLatin1Char(':'))) {
        return std::nullopt;
    }
    return integerValue(cutBefore(textAfter(field, QStringLiteral(":")), QStringLiteral("[")));
}

// The language of a "Stream #" field: "](eng)" after the stream id, or "(eng)" right after the
// stream number when the build prints no id.
std::optional<QString> streamLanguage(const QString &field) {
    if (field.contains(QLatin1String("]("))) {
        return cutBefore(textAfter(field, QStringLiteral("](")), QStringLiteral(")"));
    }
    static const QRegularExpression plain(QStringLiteral("Stream #\\d+[:.]\\d+\\(([^)]*)\\)"));
    const QRegularExpressionMatch match = plain.match(field);
    if (match.hasMatch()) {
        return match.captured(1);
    }
    return std::nullopt;
}

QString codecAfter(const QString &field, const QString &marker) {
    return cutBefore(textAfter(field, marker), QStringLiteral(" ("));
}

// Start and end (excluded) of the last input section: from the last "Input #0, " line to the
// first end mark after it ("Output #0, " or the complaint that no output file was given). The
// first line is never examined.
std::pair<qsizetype, qsizetype> inputSection(const QStringList &lines) {
    qsizetype start = 0;
    qsizetype end = lines.size();
    for (qsizetype i = lines.size() - 1; i >= 1; --i) {
        // ffmpeg's section lines begin with their mark; a metadata value holding the same words
        // ("title : Input #0, ...") must not move the section.
        const QString line = lines.at(i).trimmed();
        if (line.contains(noOutputMark) || line.startsWith(outputMark)) {
            end = i;
        }
        if (line.startsWith(inputMark)) {
            start = i;
            break;
        }
    }
    return {start, std::max(start, end)};
}

void readContainer(const QStringList &fields, QVariantMap &infos) {
    for (const QString &field : fields) {
        if (field.contains(QLatin1String("Duration: "))) {
            const float seconds = timecodeStr2Float(textAfter(field, QStringLiteral(": ")));
            // A damaged report's duration beyond whole seconds' range is no duration.
            if (seconds > 0 && static_cast<double>(seconds) < 2147483647.0) {
                infos.insert(QStringLiteral("w_duration"), static_cast<int32_t>(seconds));
            }
        } else if (field.contains(QLatin1String("start: "))) {
            infos.insert(QStringLiteral("w_offset"),
                         str2Float(textAfter(field, QStringLiteral("start: "))));
        } else if (field.contains(QLatin1String("bitrate: "))) {
            const int32_t bitrate = integerValue(textAfter(field, QStringLiteral("bitrate: ")));
            if (bitrate > 0) {
                infos.insert(QStringLiteral("w_bitrate"), bitrate);
            }
        }
    }
}

/// The most channels a named layout has (FFmpeg's 22.2 has 24; its masks allow 64).
constexpr int64_t kMostLayoutChannels = 64;

// A channel layout field: the count and whether it is settled. Unknown layouts count as 2 and
// leave the count open for a later field of the same line.
std::pair<int32_t, bool> channelLayout(const QString &field) {
    if (field.compare(QLatin1String("mono"), Qt::CaseInsensitive) == 0) {
        return {1, true};
    }
    if (field.compare(QLatin1String("stereo"), Qt::CaseInsensitive) == 0 ||
        field.compare(QLatin1String("2 channels"), Qt::CaseInsensitive) == 0) {
        return {2, true};
    }
    if (field.contains(QLatin1Char('.'))) {
        // "5.1" and "5.1(side)": main channels plus low-frequency channels. Numbers no layout
        // has (a damaged report) leave the count open, as an unknown layout does.
        const int64_t count = int64_t{integerValue(cutBefore(field, QStringLiteral(".")))} +
                              integerValue(textAfter(field, QStringLiteral(".")));
        if (count < 1 || count > kMostLayoutChannels) {
            return {2, false};
        }
        return {static_cast<int32_t>(count), true};
    }
    if (field.contains(QLatin1String(" channels"))) {
        return {integerValue(cutBefore(field, QStringLiteral(" channels"))), true};
    }
    return {2, false};
}

void readStreamId(const QString &field, QChar kind, int ordinal, QVariantMap &infos) {
    if (const std::optional<int32_t> number = streamNumber(field)) {
        infos.insert(key(kind, ordinal, "id"), *number);
    }
}

void readAudio(const QStringList &fields, int ordinal, QVariantMap &infos) {
    const QString audio = QStringLiteral("Audio: ");
    bool settled = false;
    for (const QString &field : fields) {
        if (field.contains(QLatin1String("Stream #"))) {
            readStreamId(field, QLatin1Char('a'), ordinal, infos);
            if (field.contains(audio)) {
                infos.insert(key(QLatin1Char('a'), ordinal, "codec"), codecAfter(field, audio));
            }
            if (const std::optional<QString> language = streamLanguage(field)) {
                infos.insert(key(QLatin1Char('a'), ordinal, "lang"), *language);
            }
        } else if (field.contains(audio)) {
            infos.insert(key(QLatin1Char('a'), ordinal, "codec"), codecAfter(field, audio));
        } else if (field.contains(QLatin1String(" Hz"))) {
            infos.insert(key(QLatin1Char('a'), ordinal, "rate"),
                         integerValue(cutBefore(field, QStringLiteral(" Hz"))));
        } else if (field.contains(QLatin1String(" kb/s"))) {
            const int32_t bitrate = integerValue(cutBefore(field, QStringLiteral(" kb/s")));
            if (bitrate >= 1) {
                infos.insert(key(QLatin1Char('a'), ordinal, "bitrate"), bitrate);
            }
        } else if (!settled) {
            const auto [count, isSettled] = channelLayout(field);
            infos.insert(key(QLatin1Char('a'), ordinal, "channels"), count);
            settled = isSettled;
        }
    }
}

// "1920x1080", "1920x1080 [SAR 1:1 DAR 16:9]", "1920x1080 (1920x1088) [...]": a frame size
// field begins with the size itself, so no codec tag like "(avc1 / 0x31637661)" is taken for one.
bool isFrameSize(const QString &field) {
    static const QRegularExpression size(QStringLiteral("^\\s*\\d+x\\d+"));
    return size.match(field).hasMatch();
}

void readVideo(const QStringList &fields, int ordinal, QVariantMap &infos) {
    const QString video = QStringLiteral("Video: ");
    const QChar v = QLatin1Char('v');
    for (const QString &field : fields) {
        if (field.contains(QLatin1String("Stream #"))) {
            readStreamId(field, v, ordinal, infos);
            if (field.contains(video)) {
                infos.insert(key(v, ordinal, "codec"), codecAfter(field, video));
            }
        } else if (field.contains(video)) {
            infos.insert(key(v, ordinal, "codec"), codecAfter(field, video));
        } else if (field.contains(QLatin1String(" kb/s"))) {
            const int32_t bitrate = integerValue(cutBefore(field, QStringLiteral(" kb/s")));
            if (bitrate >= 1) {
                infos.insert(key(v, ordinal, "bitrate"), bitrate);
            }
        } else if (field.contains(QLatin1String(" tbr"))) {
            infos.insert(key(v, ordinal, "fps"),
                         str2Float(cutBefore(field, QStringLiteral(" tbr"))));
        } else if (field.contains(QLatin1String(" tbc"))) {
            const QString rate =
                cutBefore(cutBefore(field, QStringLiteral(" tbc")), QStringLiteral("k"));
            infos.insert(key(v, ordinal, "tbc"), static_cast<float>(integerValue(rate)));
        } else if (isFrameSize(field)) {
            infos.insert(key(v, ordinal, "width"),
                         integerValue(cutBefore(field, QStringLiteral("x"))));
            infos.insert(key(v, ordinal, "height"),
                         integerValue(cutBefore(textAfter(field, QStringLiteral("x")),
                                                QStringLiteral(" "))));
            if (field.contains(QLatin1String("PAR ")) || field.contains(QLatin1String("SAR "))) {
                const QString marker = field.contains(QLatin1String("PAR "))
                                           ? QStringLiteral("PAR ")
                                           : QStringLiteral("SAR ");
                infos.insert(key(v, ordinal, "par"),
                             cutBefore(textAfter(field, marker), QStringLiteral(" ")));
            }
            if (field.contains(QLatin1String("DAR "))) {
                infos.insert(
                    key(v, ordinal, "dar"),
                    cutBefore(textAfter(field, QStringLiteral("DAR ")), QStringLiteral("]")));
            }
        } else if (field.contains(QLatin1String("DAR "))) {
            if (!infos.contains(key(v, ordinal, "dar"))) {
                infos.insert(
                    key(v, ordinal, "dar"),
                    cutBefore(textAfter(field, QStringLiteral("DAR ")), QStringLiteral(" ")));
            }
        } else if (field.contains(QLatin1String("fps")) || field.contains(QLatin1String("tbn"))) {
            continue;
        } else if (!isPlainInteger(field) && !field.contains(QLatin1Char('/')) &&
                   !field.contains(QLatin1String("PAR ")) &&
                   !field.contains(QLatin1String("SAR "))) {
            infos.insert(key(v, ordinal, "chroma"), field);
        }
    }
}

void readSubtitle(const QStringList &fields, int ordinal, QVariantMap &infos) {
    const QString subtitle = QStringLiteral("Subtitle: ");
    for (const QString &field : fields) {
        if (field.contains(QLatin1String("Stream #"))) {
            readStreamId(field, QLatin1Char('s'), ordinal, infos);
            if (field.contains(subtitle)) {
                infos.insert(key(QLatin1Char('s'), ordinal, "codec"), codecAfter(field, subtitle));
            }
        } else if (field.contains(subtitle)) {
            infos.insert(key(QLatin1Char('s'), ordinal, "codec"), codecAfter(field, subtitle));
        }
    }
}

QVariantMap parseReport(const QString &report) {
    QVariantMap infos;
    const QStringList lines = linesToArray(report);
    const auto [start, end] = inputSection(lines);
    int audioCount = 0;
    int videoCount = 0;
    int subtitleCount = 0;
    for (qsizetype i = start; i < end; ++i) {
        // Only ffmpeg's own lines count, never a metadata value that happens to hold the same
        // words: they all begin with their marker.
        const QString line = lines.at(i).trimmed();
        const bool streamLine = line.startsWith(QLatin1String("Stream #"));
        if (!line.startsWith(QLatin1String("Input #")) &&
            !line.startsWith(QLatin1String("Duration: ")) && !streamLine) {
            continue;
        }
        logDebug(QStringLiteral("\n\ncurrentLineStr : %1").arg(line));
        const QStringList fields = reportFields(line);
        if (line.startsWith(QLatin1String("Input #"))) {
            if (fields.size() >= 2) {
                infos.insert(QStringLiteral("wrapper"), fields.at(1));
            }
        } else if (!streamLine) {
            readContainer(fields, infos);
        } else if (line.contains(QLatin1String("Audio: "))) {
            readAudio(fields, audioCount++, infos);
        } else if (line.contains(QLatin1String("Video: "))) {
            readVideo(fields, videoCount++, infos);
        } else if (line.contains(QLatin1String("Subtitle: "))) {
            readSubtitle(fields, subtitleCount++, infos);
        }
    }
    // Blu-ray camcorders' PCM is announced as AAC at 96 kHz: read it as what it is.
    if (infos.value(QStringLiteral("a0_codec")).toString() == QLatin1String("aac") &&
        infos.value(QStringLiteral("a0_rate")).toInt() == 96000) {
        infos.insert(QStringLiteral("a0_codec"), QStringLiteral("pcm_bluray"));
        infos.insert(QStringLiteral("a0_rate"), 48000);
        infos.insert(QStringLiteral("a0_channels"), 2);
        infos.insert(QStringLiteral("a0_bitrate"), 1536);
        infos.insert(QStringLiteral("a0_force"), 1);
    }
    if (getDEBUG()) {
        QStringList shown;
        for (auto it = infos.cbegin(); it != infos.cend(); ++it) {
            shown << it.key() + QStringLiteral(" = ") + it.value().toString();
        }
        logDebug(QStringLiteral("infosDico : {%1}").arg(shown.join(QStringLiteral("; "))));
    }
    return infos;
}

QString reportFilePath() {
    QString folder = getTMPFOLDER();
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    return folder + QStringLiteral("ff.txt");
}

// Runs ffmpeg on the file and returns its report, or nothing.
std::optional<QString> reportOfFile(const QString &srcPath) {
    const QString ffmpeg = ffmpegPathStr();
    if (ffmpeg.isEmpty()) {
        logStr(QStringLiteral("ffInfos             :-( no ffmpeg"));
        return std::nullopt;
    }
    const QString reportPath = reportFilePath();
    QDir().mkpath(QFileInfo(reportPath).absolutePath());
    // A report left by an earlier run must never pass for this one's.
    QFile::remove(reportPath);
    // An absolute path: ffmpeg can't take a name such as "concat:x" or "http:x" for a protocol.
    const QString source = QFileInfo(srcPath).absoluteFilePath();
    const QString command = shellQuote(ffmpeg) + QStringLiteral(" -v 1 -loglevel info -i ") +
                            shellQuote(source) + QStringLiteral(" </dev/null 2>") +
                            shellQuote(reportPath);
    const std::optional<QString> output = taskWithStr(command);
    logDebug(QStringLiteral("verboseStr 1 : %1").arg(output.value_or(QString())));
    return readContentsTxtUTF8(reportPath);
}

} // namespace

std::optional<QVariantMap> ffInfos(const std::optional<QString> &srcPath,
                                   const std::optional<QString> &report) {
    const QString inputTag = QStringLiteral("Input #");
    if (report && report->contains(inputTag)) {
        return parseReport(*report);
    }
    if (srcPath) {
        if (srcPath->isEmpty() || !testPresenceCocoa(*srcPath)) {
            return std::nullopt;
        }
        const std::optional<QString> produced = reportOfFile(*srcPath);
        if (!produced || !produced->contains(inputTag)) {
            if (getDEBUG()) {
                logStr(QStringLiteral("ffInfos > !Input # :-((("));
            }
            return std::nullopt;
        }
        return parseReport(*produced);
    }
    if (!report) {
        if (getDEBUG()) {
            logStr(QStringLiteral("ffmpeg > ffInfos: :-( !src && !verbose"));
        }
        return std::nullopt;
    }
    return QVariantMap();
}
