#include "analysis/ffmpegOffsets.h"

#include "analysis/reportText.h"
#include "platform/log.h"
#include "platform/utilsStr.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <vector>

using reportText::cutBefore;
using reportText::integerValue;
using reportText::numberValue;
using reportText::reportFields;
using reportText::textAfter;

namespace {

const QString oldPacketMark = QStringLiteral("av_read_packet stream=");
const QString packetMark = QStringLiteral("ff_read_packet stream=");

// Offsets at or below this many milliseconds are not worth a correction.
constexpr int32_t toleranceMs = 30;
constexpr double defaultTimeBase = 1000.0;

struct streamRecord {
    double tb = defaultTimeBase;
    std::vector<double> pts;
    std::vector<double> dts;
};

// Groups "v", "a" and "s", each keyed by ffmpeg's stream number.
using streamGroup = std::map<int32_t, streamRecord>;

bool isPacketLine(const QString &line) {
    return line.contains(packetMark) || line.contains(oldPacketMark);
}

QString packetText(const QString &line) {
    return line.contains(packetMark) ? textAfter(line, packetMark) : textAfter(line, oldPacketMark);
}

// The stream number of a "Stream #" line's first field: "Stream #0:1[0x1100](eng)" gives 1,
// "Stream #0:12" 12.
std::optional<int32_t> streamNumber(const QString &firstField) {
    if (!firstField.contains(QLatin1Char(':'))) {
        return std::nullopt;
    }
    static const QRegularExpression numbered(QStringLiteral("Stream #\\d+:(\\d+)"));
    const QRegularExpressionMatch match = numbered.match(firstField);
    if (match.hasMatch()) {
        return integerValue(match.capturedView(1));
    }
    return integerValue(cutBefore(textAfter(firstField, QStringLiteral(":")), QStringLiteral("[")));
}

// Ticks per second of a stream line: from the first field after the first one that holds "/"
// ("1/90000: Audio: ac3" gives 90000); 1000 when it reads as 0 or has no ":"; nothing when the
// line has no such field.
std::optional<double> timeBase(const QStringList &fields) {
    for (qsizetype i = 1; i < fields.size(); ++i) {
        const QString &field = fields.at(i);
        if (!field.contains(QLatin1Char('/'))) {
            continue;
        }
        if (!field.contains(QLatin1Char(':'))) {
            return defaultTimeBase;
        }
        QString rate = cutBefore(field, QStringLiteral(":"));
        if (rate.contains(QLatin1Char('/'))) {
            rate = textAfter(rate, QStringLiteral("/"));
        }
        const double value = numberValue(rate);
        return value == 0.0 || !std::isfinite(value) ? defaultTimeBase : value;
    }
    return std::nullopt;
}

// The value after `marker` in a packet text ("pts=126000, dts=..."), when it is followed by ", ".
std::optional<QString> packetField(const QString &packet, const QString &marker) {
    if (!packet.contains(marker)) {
        return std::nullopt;
    }
    const QString after = textAfter(packet, marker);
    if (!after.contains(QLatin1String(", "))) {
        return std::nullopt;
    }
    return cutBefore(after, QStringLiteral(", "));
}

bool startsWithNumber(const QString &text) {
    const QString trimmed = text.trimmed();
    qsizetype pos = 0;
    if (pos < trimmed.size() &&
        (trimmed[pos] == QLatin1Char('-') || trimmed[pos] == QLatin1Char('+'))) {
        ++pos;
    }
    double ignored = 0;
    return reportText::readDecimal(trimmed, pos, ignored);
}

int32_t toMs(double seconds) {
    const double ms = std::trunc(seconds * 1000.0);
    constexpr double low = std::numeric_limits<int32_t>::min();
    constexpr double high = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::clamp(ms, low, high));
}

std::optional<double> first(const std::vector<double> &times) {
    if (times.empty()) {
        return std::nullopt;
    }
    return times.front();
}

} // namespace

std::optional<QVariantMap> ptsDtsOffsetMs(const std::optional<QString> &report) {
    if (!report || report->isEmpty() ||
        (!report->contains(packetMark) && !report->contains(oldPacketMark))) {
        return QVariantMap();
    }
    const QStringList lines = linesToArray(*report);

    // Lines inside an output section describe what ffmpeg writes, not the source.
    std::vector<bool> inOutput(static_cast<std::size_t>(lines.size()), false);
    bool output = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.startsWith(QLatin1String("Output #"))) {
            output = true;
        } else if (line.startsWith(QLatin1String("Input #"))) {
            output = false;
        }
        inOutput[static_cast<std::size_t>(i)] = output;
    }

    std::map<QChar, streamGroup> groups = {
        {QLatin1Char('v'), {}}, {QLatin1Char('a'), {}}, {QLatin1Char('s'), {}}};
    QStringList packets;
    for (qsizetype i = lines.size() - 1; i >= 1; --i) {
        const QString &line = lines.at(i);
        // Stream lines are ffmpeg's own only when they begin with the mark: a metadata value
        // may hold the same words.
        if (line.trimmed().startsWith(QLatin1String("Stream #")) &&
            !line.contains(QLatin1String(" -> ")) && !line.contains(QLatin1String("rawvideo"))) {
            if (inOutput[static_cast<std::size_t>(i)]) {
                continue;
            }
            const QStringList fields = reportFields(line);
            const std::optional<int32_t> number = streamNumber(fields.first());
            if (!number) {
                continue;
            }
            const std::optional<double> tb = timeBase(fields);
            if (!tb) {
                continue;
            }
            const QChar group = line.contains(QLatin1String("Video:"))   ? QLatin1Char('v')
                                : line.contains(QLatin1String("Audio:")) ? QLatin1Char('a')
                                                                         : QLatin1Char('s');
            groups[group][*number] = streamRecord{*tb, {}, {}};
        } else if (isPacketLine(line)) {
            packets.append(packetText(line));
        }
    }
    std::reverse(packets.begin(), packets.end());

    if (packets.isEmpty()) {
        logStr(QStringLiteral("ptsDtsOffsetMs      - fin :-( no pts"));
        return std::nullopt;
    }
    if (groups[QLatin1Char('v')].empty()) {
        logStr(QStringLiteral("ptsDtsOffsetMs      - fin ;-) no video?"));
        return std::nullopt;
    }
    if (groups[QLatin1Char('a')].empty()) {
        logStr(QStringLiteral("ptsDtsOffsetMs      - fin ;-) no audio?"));
        return std::nullopt;
    }

    const QString ptsMark = QStringLiteral("pts=");
    const QString dtsMark = QStringLiteral("dts=");
    for (const QString &packet : packets) {
        const int32_t number = integerValue(packet);
        streamRecord *record = nullptr;
        for (auto &[letter, group] : groups) {
            (void)letter;
            const auto found = group.find(number);
            if (found != group.end()) {
                record = &found->second;
                break;
            }
        }
        if (record == nullptr) {
            logStr(QStringLiteral(
                "pts/dts             :-( parse erreur, pas d'affectation sur chaque id (=>fin)"));
            return std::nullopt;
        }
        // "NOPTS" is no time; 0 is one (movies usually start there).
        if (const std::optional<QString> pts = packetField(packet, ptsMark);
            pts && startsWithNumber(*pts)) {
            const double value = numberValue(*pts);
            if (value >= 0) {
                record->pts.push_back(value / record->tb);
            }
        }
        if (const std::optional<QString> dts = packetField(packet, dtsMark)) {
            const double value = numberValue(*dts);
            if (value >= 0) {
                record->dts.push_back(value / record->tb);
            }
        }
    }

    // The video start: the earliest first presentation time of the video streams.
    double videoStart = -1;
    for (const auto &[number, record] : groups[QLatin1Char('v')]) {
        (void)number;
        if (const std::optional<double> p = first(record.pts)) {
            if (videoStart == -1 || videoStart > *p) {
                videoStart = *p;
            }
        }
    }

    QVariantMap result;
    int32_t earliest = 0;
    for (const QChar letter : {QLatin1Char('v'), QLatin1Char('a'), QLatin1Char('s')}) {
        for (const auto &[number, record] : groups[letter]) {
            logDebug(QStringLiteral("id                  = %1, tb = %2")
                         .arg(number)
                         .arg(record.tb, 0, 'f', 0));
            if (videoStart <= -1) {
                continue;
            }
            if (const std::optional<double> p = first(record.pts)) {
                const int32_t d = toMs(*p - videoStart);
                logDebug(
                    QStringLiteral("pts %1#%2, ecart      = %3 ms").arg(letter).arg(number).arg(d));
                if (std::abs(static_cast<int64_t>(d)) > toleranceMs) {
                    result.insert(QStringLiteral("%1%2_offsetMs").arg(letter).arg(number), d);
                }
                earliest = std::min(earliest, d);
            }
            if (const std::optional<double> q = first(record.dts)) {
                const int32_t e = toMs(*q - videoStart);
                logDebug(
                    QStringLiteral("dts %1#%2, ecart      = %3 ms").arg(letter).arg(number).arg(e));
                if (std::abs(static_cast<int64_t>(e)) > toleranceMs) {
                    result.insert(QStringLiteral("%1%2_offsetDts").arg(letter).arg(number), e);
                }
            }
        }
    }
    const int32_t vOffset = earliest == std::numeric_limits<int32_t>::min()
                                ? std::numeric_limits<int32_t>::max()
                                : -earliest;
    result.insert(QStringLiteral("v_offsetMs"), vOffset);
    logDebug(QStringLiteral("v_offsetMs : %1").arg(vOffset));
    return result;
}

float intraOffset(const std::optional<QString> &report) {
    if (!report || report->isEmpty()) {
        return 0.0f;
    }
    const QString timeMark = QStringLiteral(" pts_time:");
    std::optional<double> earliest;
    for (const QString &line : linesToArray(*report)) {
        if ((!line.contains(QLatin1String("[showinfo ")) &&
             !line.contains(QLatin1String("[Parsed_showinfo_"))) ||
            !line.contains(QLatin1String(" iskey:1 ")) || !line.contains(timeMark)) {
            continue;
        }
        const double time = numberValue(cutBefore(textAfter(line, timeMark), QStringLiteral(" ")));
        // The earliest in time, not in text order ("10.5" is later than "9.2").
        if (!earliest || time < *earliest) {
            earliest = time;
        }
    }
    return earliest ? static_cast<float>(*earliest) : 0.0f;
}

std::optional<double> showinfoFrameRate(const std::optional<QString> &report) {
    if (!report || report->isEmpty()) {
        return std::nullopt;
    }
    const QString timeMark = QStringLiteral(" pts_time:");
    std::optional<double> first;
    std::optional<double> last;
    int32_t frames = 0;
    for (const QString &line : linesToArray(*report)) {
        if ((!line.contains(QLatin1String("[showinfo ")) &&
             !line.contains(QLatin1String("[Parsed_showinfo_"))) ||
            !line.contains(timeMark)) {
            continue;
        }
        const double time = numberValue(cutBefore(textAfter(line, timeMark), QStringLiteral(" ")));
        if (!std::isfinite(time)) {
            continue;
        }
        first = first ? std::min(*first, time) : time;
        last = last ? std::max(*last, time) : time;
        ++frames;
    }
    if (frames < 3 || !first || !last || *last - *first <= 0) {
        return std::nullopt;
    }
    return (frames - 1) / (*last - *first);
}
