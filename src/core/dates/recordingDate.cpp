#include "dates/recordingDate.h"

#include "dates/mdpmZone.h"
#include "dates/spannedRecording.h"

#include "platform/log.h"
#include "platform/resources.h"
#include "platform/utilsFile.h"
#include "platform/utilsStr.h"
#include "toolbox/movieFacts.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTimeZone>

#include <utility>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
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

// Lines of the clip being named that are written to the log, at most; a crafted playlist can
// list one clip millions of times, and the log must not grow with it.
constexpr int kLoggedClipLines = 16;
// No line of clipdater is longer than this; a longer one is no line of clipdater's and is
// skipped without being held in memory.
constexpr qsizetype kMaxClipdaterLine = 256;

bool isDigits(const QString &text, qsizetype from, qsizetype count) {
    for (qsizetype i = from; i < from + count; ++i) {
        if (i >= text.size() || !text.at(i).isDigit() || text.at(i).unicode() > 0x7F) {
            return false;
        }
    }
    return true;
}

int number(const QString &text, qsizetype from, qsizetype count) {
    return text.mid(from, count).toInt();
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// The fields of "clip-YYYY-MM-DD hh;mm;ss" when they form a date that exists.
std::optional<std::tm> clipNameFields(const QString &name) {
    // c l i p - Y Y Y Y - M M - D D _ h h ; m m ; s s
    // 0       4 5       9 0  2 3  5 6 7  9 0  2 3
    if (name.size() != 24 || !name.startsWith(QStringLiteral("clip-")) ||
        name.at(9) != QLatin1Char('-') || name.at(12) != QLatin1Char('-') ||
        name.at(15) != QLatin1Char(' ') || name.at(18) != QLatin1Char(';') ||
        name.at(21) != QLatin1Char(';') || !isDigits(name, 5, 4) || !isDigits(name, 10, 2) ||
        !isDigits(name, 13, 2) || !isDigits(name, 16, 2) || !isDigits(name, 19, 2) ||
        !isDigits(name, 22, 2)) {
        // BCD bytes above 9 print as the letters A to F: no date.
        return std::nullopt;
    }
    const int year = number(name, 5, 4);
    const int month = number(name, 10, 2);
    const int day = number(name, 13, 2);
    const int hour = number(name, 16, 2);
    const int minute = number(name, 19, 2);
    const int second = number(name, 22, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1; // the zone's rules say whether daylight saving time was in force
    return fields;
}

// Splits clipdater's output into lines as it arrives, keeping only the line being read.
class clipdaterLineReader {
public:
    // Adds bytes; calls onLine for every complete line until it answers false (stop).
    template <typename F> bool feed(const QByteArray &bytes, F &&onLine) {
        qsizetype from = 0;
        while (from < bytes.size()) {
            const qsizetype end = bytes.indexOf('\n', from);
            const qsizetype stop = end < 0 ? bytes.size() : end;
            if (!overlong_) {
                pending_.append(bytes.constData() + from, stop - from);
                if (pending_.size() > kMaxClipdaterLine) {
                    overlong_ = true;
                    pending_.clear();
                }
            }
            if (end < 0) {
                return true;
            }
            const bool wasOverlong = overlong_;
            overlong_ = false;
            ++lineCount_;
            const QByteArray line = std::exchange(pending_, QByteArray());
            if (!wasOverlong && !onLine(QString::fromUtf8(line))) {
                return false;
            }
            from = end + 1;
        }
        return true;
    }
    template <typename F> void finish(F &&onLine) {
        if (!pending_.isEmpty() && !overlong_) {
            ++lineCount_;
            onLine(QString::fromUtf8(pending_));
        }
        pending_.clear();
    }
    [[nodiscard]] qint64 lineCount() const { return lineCount_; }

private:
    QByteArray pending_;
    bool overlong_ = false;
    qint64 lineCount_ = 0;
};

// The date name that clipdater gives the clip `baseName` in the playlist folder, or nothing.
// clipdater's output is read as it comes and dropped line by line, and the run is ended at the
// first usable line: memory and log lines follow the clip, not the size of the playlists.
std::optional<QString> clipdaterName(const QString &folderPLAYLIST, const QString &baseName) {
    const QString program = toolsPathStr() + QStringLiteral("/clipdater");
    QProcess process;
    // No shell: the folder is one argument whatever it holds.
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start(program, {folderPLAYLIST});
    if (!process.waitForStarted(-1)) {
        logDebug(QStringLiteral("dateCreation2iMovieN- str : "));
        return std::nullopt;
    }
    const QString separator = QStringLiteral(" : ");
    const QString prefix = baseName + separator;
    std::optional<QString> found;
    int clipLines = 0;
    clipdaterLineReader reader;
    const auto onLine = [&](const QString &line) {
        if (!line.startsWith(prefix)) {
            return true;
        }
        const qint64 j = reader.lineCount() - 1;
        found = clipdaterLineName(line, baseName);
        if (clipLines < kLoggedClipLines) {
            logStr(QStringLiteral("str line %1 : %2").arg(QString::number(j), line));
            if (!found) {
                logStr(QStringLiteral("str line %1          :-/ no possible date").arg(j));
            }
        }
        ++clipLines;
        return !found.has_value();
    };
    bool reading = true;
    while (reading && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(-1);
        reading = reader.feed(process.readAllStandardOutput(), onLine);
    }
    if (reading) {
        process.waitForFinished(-1);
        reading = reader.feed(process.readAllStandardOutput(), onLine);
        if (reading) {
            reader.finish(onLine);
        }
    }
    if (process.state() != QProcess::NotRunning) {
        // The answer is known: the rest of the listing is not needed.
        process.kill();
        process.waitForFinished(-1);
    }
    logDebug(QStringLiteral("dateCreation2iMovieN- str : %1 lines, %2 of clip %3")
                 .arg(reader.lineCount())
                 .arg(clipLines)
                 .arg(baseName));
    return found;
}

// The date name of a later piece of a spanned recording, which the playlist does not date (a
// piece is no shot and has no entry mark): its first piece's date, with the playing time of the
// pieces before it (their OUT minus IN times) added. `zone` gets the first piece's camera zone,
// in which the recording is dated whatever the later pieces say. Nothing when the source is no
// later piece or its first piece is not dated.
std::optional<QString> laterPieceName(const QString &path, const QString &folderPLAYLIST,
                                      std::optional<std::int32_t> &zone) {
    const std::optional<spannedRecording> recording = spannedRecordingOf(path);
    if (!recording || recording->index <= 0) {
        return std::nullopt;
    }
    std::int64_t ticks = 0;
    for (qsizetype i = 0; i < recording->index; ++i) {
        const recordingPiece &piece = recording->pieces.at(i);
        const std::optional<std::int64_t> length = pieceTicks(piece);
        if (!length) {
            logStr(QStringLiteral("spanned recording   :-/ %1 has no length in %2")
                       .arg(piece.clip, recording->playlist));
            return std::nullopt;
        }
        ticks += *length;
    }
    const recordingPiece &first = recording->pieces.first();
    const std::optional<QString> firstName = clipdaterName(folderPLAYLIST, first.clip);
    if (!firstName) {
        return std::nullopt;
    }
    zone = cameraZoneOf(first.path.isEmpty() ? path : first.path);
    // Whole seconds: names and dates hold no fraction, and the piece began in that second.
    const std::int64_t seconds = ticks / 45000;
    const std::optional<QString> name = clipNameAfter(*firstName, seconds, zone);
    if (name) {
        logStr(QStringLiteral("spanned recording   : %1 dated by %2, %3 s after it: %4")
                   .arg(baseNameWithoutExtension(path), first.clip)
                   .arg(static_cast<double>(ticks) / 45000.0, 0, 'f', 3)
                   .arg(*name));
    }
    return name;
}

// The birth time of the file (links followed), else its modification time; nothing when its
// status can't be read.
std::optional<std::int64_t> creationSeconds(const QString &path) {
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
    logDebug(QStringLiteral("dict : {creation: %1, modification: %2, size: %3}")
                 .arg(hasBirth ? dateCreationText(status.stx_btime.tv_sec) : QStringLiteral("-"),
                      dateCreationText(status.stx_mtime.tv_sec), QString::number(status.stx_size)));
    return hasBirth ? status.stx_btime.tv_sec : status.stx_mtime.tv_sec;
}

std::int32_t localOffsetSeconds(std::int64_t utcSeconds) {
    const std::time_t time = static_cast<std::time_t>(utcSeconds);
    std::tm local{};
    tzset();
    if (localtime_r(&time, &local) == nullptr) {
        return 0;
    }
    return static_cast<std::int32_t>(local.tm_gmtoff);
}

} // namespace

std::optional<QString> dateCreation2iMovieName(const QString &path) {
    const std::optional<recordingDate> date = recordingDateOf(path);
    if (!date) {
        return std::nullopt;
    }
    return date->name;
}

std::optional<recordingDate> recordingDateOf(const QString &path) {
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

    recordingDate answer;
    for (const QString &entry : entries) {
        if (!entry.contains(QStringLiteral("PLAYLIST"))) {
            continue;
        }
        const QString folderPLAYLIST = recordingFolder + QStringLiteral("/PLAYLIST/");
        logDebug(QStringLiteral("dateCreation2iMovieN- folderPLAYLIST : %1").arg(folderPLAYLIST));
        std::optional<QString> name = clipdaterName(folderPLAYLIST, baseName);
        // The playlist holds the camera's clock; the clip's stream may say in which zone.
        std::optional<std::int32_t> zone;
        if (name) {
            zone = cameraZoneOf(path);
        } else {
            name = laterPieceName(path, folderPLAYLIST, zone);
        }
        if (name) {
            answer.name = *name + QLatin1Char('-') + baseName;
            answer.fromPlaylist = true;
            if (zone) {
                answer.utcSeconds = clipNameUtcSecondsInZone(*name, *zone);
                answer.offsetSeconds = *zone;
                answer.cameraZone = answer.utcSeconds.has_value();
            }
            if (!answer.cameraZone) {
                answer.utcSeconds = clipNameUtcSeconds(*name, answer.offsetSeconds);
            }
            return answer;
        }
    }

    // A phone's or a camera's QuickTime or MP4 file says when it was recorded; a copied file's
    // own dates are the copy's.
    if (const std::optional<toolbox::MovieRecordedDate> recorded =
            toolbox::movieRecordedDate(QFile::encodeName(path).toStdString())) {
        answer.utcSeconds = recorded->unixSeconds;
        answer.fromMovie = recorded->fromKey ? recordingDate::movieKey : recordingDate::movieHeader;
        answer.offsetSeconds =
            recorded->zoneSeconds.value_or(localOffsetSeconds(recorded->unixSeconds));
        const QDateTime wallClock =
            QDateTime::fromSecsSinceEpoch(recorded->unixSeconds, QTimeZone(answer.offsetSeconds));
        // As a file's date is named: a western zone stays in the name.
        const QString zone =
            answer.offsetSeconds < 0
                ? QStringLiteral(" -%1%2")
                      .arg(-answer.offsetSeconds / 3600, 2, 10, QLatin1Char('0'))
                      .arg(-answer.offsetSeconds % 3600 / 60, 2, 10, QLatin1Char('0'))
                : QString();
        answer.name =
            QStringLiteral("clip-%1%2-%3")
                .arg(wallClock.toString(QStringLiteral("yyyy-MM-dd HH;mm;ss")), zone, baseName);
        return answer;
    }

    logDebug(QStringLiteral("dateCreation2iMovieN- 2"));
    const std::optional<std::int64_t> created = creationSeconds(path);
    std::optional<QString> date;
    if (created) {
        date = dateCreationText(*created);
        if (date->isEmpty()) {
            date.reset();
        }
    }
    logDebug(QStringLiteral("dstPathNameStr = %1").arg(date.value_or(QStringLiteral("(null)"))));
    if (!date) {
        // Without a date there is nothing to sort by: the source's own file name stands in.
        answer.name = lastComponent(path);
        return answer;
    }
    answer.utcSeconds = created;
    answer.offsetSeconds = localOffsetSeconds(*created);
    const qsizetype plus = date->indexOf(QStringLiteral(" +"));
    if (plus >= 0) {
        date->truncate(plus);
    }
    QString dstPathNameStr = QStringLiteral("clip-%1-%2").arg(*date, baseName);
    logDebug(QStringLiteral("dstPathNameStr = %1").arg(dstPathNameStr));
    dstPathNameStr = findAndReplace(dstPathNameStr, QStringLiteral(":"), QStringLiteral(";"), true);
    logDebug(QStringLiteral("dstPathNameStr = %1").arg(dstPathNameStr));
    answer.name = dstPathNameStr.isEmpty() ? lastComponent(path) : dstPathNameStr;
    return answer;
}

std::optional<QString> clipdaterLineName(const QString &line, const QString &baseName) {
    const QString separator = QStringLiteral(" : ");
    if (!line.contains(separator)) {
        return std::nullopt;
    }
    const QStringList pieces = line.split(separator);
    if (pieces.at(0) != baseName || !clipNameFields(pieces.at(1))) {
        return std::nullopt;
    }
    return pieces.at(1);
}

std::optional<std::int64_t> clipNameUtcSeconds(const QString &name, std::int32_t &offsetSeconds) {
    std::optional<std::tm> fields = clipNameFields(name);
    if (!fields) {
        return std::nullopt;
    }
    tzset();
    const std::time_t time = std::mktime(&*fields);
    if (time == static_cast<std::time_t>(-1)) {
        return std::nullopt;
    }
    offsetSeconds = static_cast<std::int32_t>(fields->tm_gmtoff);
    return static_cast<std::int64_t>(time);
}

std::optional<std::int64_t> clipNameUtcSecondsInZone(const QString &name,
                                                     std::int32_t offsetSeconds) {
    std::optional<std::tm> fields = clipNameFields(name);
    if (!fields) {
        return std::nullopt;
    }
    // The fields as if in UTC, then moved by the zone's offset.
    const std::time_t asUtc = timegm(&*fields);
    if (asUtc == static_cast<std::time_t>(-1)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(asUtc) - offsetSeconds;
}

std::optional<QString> clipNameAfter(const QString &name, std::int64_t seconds,
                                     std::optional<std::int32_t> offsetSeconds) {
    std::optional<std::tm> fields = clipNameFields(name);
    if (!fields) {
        return std::nullopt;
    }
    std::tm later{};
    if (offsetSeconds) {
        // A fixed zone: the wall clock moves as the moment does.
        const std::time_t asUtc = timegm(&*fields);
        const std::time_t moved = static_cast<std::time_t>(asUtc + seconds);
        if (asUtc == static_cast<std::time_t>(-1) || gmtime_r(&moved, &later) == nullptr) {
            return std::nullopt;
        }
    } else {
        // The machine's zone, whose rules may change the offset in between.
        tzset();
        const std::time_t time = std::mktime(&*fields);
        const std::time_t moved = static_cast<std::time_t>(time + seconds);
        if (time == static_cast<std::time_t>(-1) || localtime_r(&moved, &later) == nullptr) {
            return std::nullopt;
        }
    }
    char text[64];
    std::snprintf(text, sizeof text, "clip-%04d-%02d-%02d %02d;%02d;%02d", later.tm_year + 1900,
                  later.tm_mon + 1, later.tm_mday, later.tm_hour, later.tm_min, later.tm_sec);
    const QString answer = QString::fromLatin1(text);
    return clipNameFields(answer) ? std::optional<QString>(answer) : std::nullopt;
}

QString zoneOffsetText(std::int32_t offsetSeconds) {
    const std::int32_t magnitude = offsetSeconds < 0 ? -offsetSeconds : offsetSeconds;
    return QStringLiteral("%1%2:%3")
        .arg(offsetSeconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(magnitude / 3600, 2, 10, QLatin1Char('0'))
        .arg(magnitude % 3600 / 60, 2, 10, QLatin1Char('0'));
}

std::optional<std::int32_t> cameraZoneOf(const QString &path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    const std::optional<mdpmDate> mdpm = mdpmOfFile(QFile::encodeName(path).toStdString());
    if (!mdpm || !mdpm->zone) {
        logDebug(QStringLiteral("camera zone         : none in '%1'").arg(path));
        return std::nullopt;
    }
    const std::optional<std::int32_t> offset = mdpmZoneOffsetSeconds(*mdpm->zone);
    if (!offset) {
        logStr(QStringLiteral("camera zone         :-/ impossible zone byte 0x%1 in '%2'")
                   .arg(*mdpm->zone, 2, 16, QLatin1Char('0'))
                   .arg(path));
        return std::nullopt;
    }
    logDebug(QStringLiteral("camera zone         : %1 in '%2'").arg(zoneOffsetText(*offset), path));
    return offset;
}

QString recordingDateIso8601(std::int64_t utcSeconds, std::int32_t offsetSeconds) {
    const std::time_t shifted = static_cast<std::time_t>(utcSeconds + offsetSeconds);
    std::tm fields{};
    if (gmtime_r(&shifted, &fields) == nullptr) {
        return QString();
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", fields.tm_year + 1900,
                  fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec);
    return QString::fromLatin1(text) + zoneOffsetText(offsetSeconds);
}

QString recordingDateUtcText(std::int64_t utcSeconds) {
    const std::time_t time = static_cast<std::time_t>(utcSeconds);
    std::tm fields{};
    if (gmtime_r(&time, &fields) == nullptr) {
        return QString();
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.000000Z", fields.tm_year + 1900,
                  fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec);
    return QString::fromLatin1(text);
}

bool setFileRecordingTime(const QString &path, std::int64_t utcSeconds) {
    if (path.isEmpty()) {
        return false;
    }
    const timespec times[2] = {{static_cast<time_t>(utcSeconds), 0},
                               {static_cast<time_t>(utcSeconds), 0}};
    return utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
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
    const std::optional<std::int64_t> created = creationSeconds(path);
    if (!created) {
        return std::nullopt;
    }
    QString text = dateCreationText(*created);
    if (text.isEmpty()) {
        return std::nullopt;
    }
    return text;
}
