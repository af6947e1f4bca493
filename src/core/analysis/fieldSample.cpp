#include "analysis/fieldSample.h"

#include <QMap>
#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr int32_t kMinSampleFrames = 5;

/// The whole number after `label` in `line` (blanks skipped); -1 when the label is missing.
int32_t countAfter(const QString &line, QLatin1String label) {
    qsizetype at = line.indexOf(label);
    if (at < 0) {
        return -1;
    }
    at += label.size();
    while (at < line.size() && line.at(at) == QLatin1Char(' ')) {
        ++at;
    }
    int32_t value = 0;
    bool any = false;
    while (at < line.size() && line.at(at).isDigit() && value < 100000000) {
        value = value * 10 + line.at(at).digitValue();
        any = true;
        ++at;
    }
    return any ? value : -1;
}

enum class sampleClass { progressive, pulldown, interlaced, unclear, tooFew };

sampleClass classify(const idetSampleCounts &s) {
    const int32_t n = s.frames();
    if (n < kMinSampleFrames) {
        return sampleClass::tooFew;
    }
    const int32_t combed = s.tff + s.bff;
    const int32_t repeated = s.repeatedTop + s.repeatedBottom;
    if (repeated * 5 >= n && repeated * 5 <= n * 3 && s.repeatedTop > 0 && s.repeatedBottom > 0) {
        return sampleClass::pulldown;
    }
    // Undetermined pictures (too little motion between pictures to tell) count for neither.
    if (combed == 0) {
        return sampleClass::progressive;
    }
    if (combed * 3 >= n * 2 && repeated * 5 < n) {
        return sampleClass::interlaced;
    }
    return sampleClass::unclear;
}

QString className(sampleClass c) {
    switch (c) {
    case sampleClass::progressive:
        return QStringLiteral("progressive");
    case sampleClass::pulldown:
        return QStringLiteral("2:3 pulldown");
    case sampleClass::interlaced:
        return QStringLiteral("interlaced");
    case sampleClass::unclear:
        return QStringLiteral("unclear");
    case sampleClass::tooFew:
        break;
    }
    return QStringLiteral("too few pictures");
}

} // namespace

QList<double> fieldSampleStarts(double durationSeconds) {
    if (!(durationSeconds >= 3.0)) {
        return {0.0};
    }
    // The first from the clip's start, which needs no seek: a seek lands on the key frame
    // before its point, and the pictures from there to the next decodable one are decoded
    // for nothing.
    return {0.0, durationSeconds / 2.0, durationSeconds * 5.0 / 6.0};
}

QStringList fieldSampleArguments(const QString &ffmpeg, const QString &source,
                                 double durationSeconds, const QString &forceFormat) {
    const QList<double> starts = fieldSampleStarts(durationSeconds);
    const int32_t frames = starts.size() > 1 ? kFieldSampleFrames : kFieldShortClipFrames;
    QStringList args{ffmpeg, QStringLiteral("-nostdin"), QStringLiteral("-hide_banner"),
                     QStringLiteral("-loglevel"), QStringLiteral("info")};
    QStringList graph;
    for (qsizetype k = 0; k < starts.size(); ++k) {
        args << QStringLiteral("-threads") << QStringLiteral("1")
             << QStringLiteral("-skip_loop_filter") << QStringLiteral("all");
        if (!forceFormat.isEmpty()) {
            args << QStringLiteral("-f") << forceFormat;
        }
        if (starts.at(k) > 0) {
            args << QStringLiteral("-noaccurate_seek") << QStringLiteral("-ss")
                 << QString::number(starts.at(k), 'f', 3);
        }
        args << QStringLiteral("-t") << QStringLiteral("4") << QStringLiteral("-i") << source;
        graph << QStringLiteral("[%1:v:0]trim=end_frame=%2,idet@s%1[s%1]").arg(k).arg(frames);
    }
    args << QStringLiteral("-filter_complex") << graph.join(QLatin1Char(';'));
    for (qsizetype k = 0; k < starts.size(); ++k) {
        args << QStringLiteral("-map") << QStringLiteral("[s%1]").arg(k) << QStringLiteral("-f")
             << QStringLiteral("null") << QStringLiteral("-");
    }
    return args;
}

QList<idetSampleCounts> idetReportCounts(const QString &report, qsizetype samples) {
    static const QLatin1String mark("[idet@s");
    QMap<int32_t, idetSampleCounts> found;
    const QStringList lines = report.split(QRegularExpression(QStringLiteral("[\r\n]")));
    for (const QString &line : lines) {
        if (!line.startsWith(mark)) {
            continue;
        }
        const int32_t index = countAfter(line, mark);
        const qsizetype close = line.indexOf(QLatin1String("] "));
        if (index < 0 || index > 64 || close < 0) {
            continue;
        }
        const QString body = line.mid(close + 2);
        idetSampleCounts &counts = found[index];
        if (body.startsWith(QLatin1String("Repeated Fields:"))) {
            // The first line of a graph's counts: a later graph's replace an earlier one's.
            counts = idetSampleCounts{};
            counts.repeatedNeither = std::max(0, countAfter(body, QLatin1String("Neither:")));
            counts.repeatedTop = std::max(0, countAfter(body, QLatin1String("Top:")));
            counts.repeatedBottom = std::max(0, countAfter(body, QLatin1String("Bottom:")));
        } else if (body.startsWith(QLatin1String("Single frame detection:"))) {
            counts.tff = std::max(0, countAfter(body, QLatin1String("TFF:")));
            counts.bff = std::max(0, countAfter(body, QLatin1String("BFF:")));
            counts.progressive = std::max(0, countAfter(body, QLatin1String("Progressive:")));
            counts.undetermined = std::max(0, countAfter(body, QLatin1String("Undetermined:")));
        }
    }
    QList<idetSampleCounts> counts(
        std::max(samples, found.isEmpty() ? qsizetype{0} : qsizetype{found.lastKey()} + 1));
    for (auto it = found.cbegin(); it != found.cend(); ++it) {
        counts[it.key()] = it.value();
    }
    return counts;
}

fieldScanVerdict fieldScanDecision(const QList<idetSampleCounts> &samples) {
    int32_t total = 0;
    for (const idetSampleCounts &s : samples) {
        total += s.frames();
    }
    if (total == 0) {
        return {fieldScan::undecided, QStringLiteral("no picture could be decoded to look at")};
    }
    if (total < kMinSampleFrames) {
        return {fieldScan::undecided,
                QStringLiteral("only %1 picture%2 to look at: too few to tell progressive "
                               "pictures from fields")
                    .arg(total)
                    .arg(total == 1 ? QString() : QStringLiteral("s"))};
    }
    QList<sampleClass> classes;
    QStringList names;
    for (const idetSampleCounts &s : samples) {
        classes << classify(s);
        names << className(classes.last());
    }
    const QString seen =
        samples.size() > 1 ? QStringLiteral(" (samples: %1)").arg(names.join(QStringLiteral(", ")))
                           : QString();
    for (qsizetype k = 0; k < samples.size(); ++k) {
        const idetSampleCounts &s = samples.at(k);
        const QString which = samples.size() > 1
                                  ? QStringLiteral("sample %1 of %2").arg(k + 1).arg(samples.size())
                                  : QStringLiteral("the sample");
        if (classes.at(k) == sampleClass::tooFew) {
            return {fieldScan::undecided,
                    QStringLiteral("%1 gave %2 picture%3: too few to judge")
                        .arg(which)
                        .arg(s.frames())
                        .arg(s.frames() == 1 ? QString() : QStringLiteral("s"))};
        }
    }
    const bool agree = std::all_of(classes.cbegin(), classes.cend(),
                                   [&](sampleClass c) { return c == classes.first(); });
    if (agree) {
        switch (classes.first()) {
        case sampleClass::progressive:
            return {fieldScan::progressive,
                    QStringLiteral("progressive pictures in an interlaced stream")};
        case sampleClass::pulldown:
            return {fieldScan::pulldown, QStringLiteral("24 pictures a second in 2:3 pulldown")};
        case sampleClass::interlaced:
            return {fieldScan::interlaced, QStringLiteral("fields of different moments")};
        default:
            break;
        }
    }
    if (classes.contains(sampleClass::unclear)) {
        const qsizetype k = classes.indexOf(sampleClass::unclear);
        const idetSampleCounts &s = samples.at(k);
        return {fieldScan::undecided,
                QStringLiteral("no clear majority in %1: %2 progressive, %3 interlaced, %4 "
                               "undetermined, %5 with a repeated field, of %6 pictures%7")
                    .arg(samples.size() > 1 ? QStringLiteral("sample %1").arg(k + 1)
                                            : QStringLiteral("the sample"))
                    .arg(s.progressive)
                    .arg(s.tff + s.bff)
                    .arg(s.undetermined)
                    .arg(s.repeatedTop + s.repeatedBottom)
                    .arg(s.frames())
                    .arg(seen)};
    }
    return {fieldScan::mixed,
            QStringLiteral("the pictures change from one kind to another%1").arg(seen)};
}

QString fieldScanKey(fieldScan scan) {
    switch (scan) {
    case fieldScan::progressive:
        return QStringLiteral("psf");
    case fieldScan::pulldown:
        return QStringLiteral("pulldown");
    default:
        break;
    }
    return {};
}
