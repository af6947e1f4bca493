#include "verify/outputVerdict.h"

#include "settings/localisation.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

/// The format with %1... %9 replaced by the values in one pass, so a value holding "%2" (a
/// tool's line) stays as it is.
QString fillIn(const QString &format, const QStringList &values) {
    QString out;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('%') && i + 1 < format.size() && format.at(i + 1).isDigit()) {
            const qsizetype index = format.at(i + 1).digitValue() - 1;
            if (index >= 0 && index < values.size()) {
                out += values.at(index);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

/// A finding's words: the translation of `key` and the untranslated `english`, both with the
/// same values.
verifyFinding finding(verifyCheck check, const char *key, const char *english,
                      const QStringList &values) {
    return {check, fillIn(localizedStr(QString::fromLatin1(key)), values),
            fillIn(QString::fromLatin1(english), values)};
}

QString seconds1(double seconds) {
    return QString::number(seconds, 'f', 1);
}
QString seconds3(double seconds) {
    return QString::number(seconds, 'f', 3);
}
QString milliseconds(double seconds) {
    const double ms = seconds * 1000.0;
    return (ms < 0 ? QStringLiteral("-") : QStringLiteral("+")) +
           QString::number(std::abs(ms), 'f', 1);
}

QString rotationText(int32_t degrees) {
    return QString::number(degrees);
}

QString colourText(int32_t primaries, int32_t transfer, int32_t matrix, int32_t range) {
    return QStringLiteral("%1/%2/%3/%4").arg(primaries).arg(transfer).arg(matrix).arg(range);
}

void checkPictures(const verifyExpect &expect, const toolbox::PictureFacts &picture,
                   QList<verifyFinding> &found) {
    // Within one picture: a last picture's duration or a rounding of the source's span.
    if (expect.pictures >= 0 && std::llabs(picture.pictures - expect.pictures) > 1) {
        found << finding(verifyCheck::pictures, "D_verify_pictures",
                         "the movie holds %1 pictures of the %2 planned",
                         {QString::number(picture.pictures), QString::number(expect.pictures)});
    }
    const double margin = std::max(expect.pictureSeconds, 0.001) * 1.5;
    if (std::abs(picture.seconds - expect.seconds) > margin) {
        // Tenths of a second say a movie cut short; closer lengths need milliseconds.
        const bool close = seconds1(picture.seconds) == seconds1(expect.seconds);
        const auto text = close ? seconds3 : seconds1;
        found << finding(verifyCheck::duration, "D_verify_duration",
                         "the movie holds %1 s of the %2 s planned",
                         {text(picture.seconds), text(expect.seconds)});
    }
    if (expect.rate.known() && !(picture.rate == expect.rate)) {
        found << finding(verifyCheck::rate, "D_verify_rate",
                         "its pictures are at %1 frames/s where %2 were planned",
                         {verifyRateText(picture.rate), verifyRateText(expect.rate)});
    }
}

void checkSound(const verifyExpect &expect, const toolbox::MovieFacts &output,
                QList<verifyFinding> &found) {
    if (!expect.sound) {
        return;
    }
    if (output.sounds.empty()) {
        found << finding(verifyCheck::noSound, "D_verify_noSound",
                         "the movie has no sound where the source has", {});
        return;
    }
    const toolbox::SoundFacts &sound = output.sounds.front();
    const double pictureStart = output.picture ? output.picture->startSeconds : 0.0;
    const double start = sound.startSeconds - pictureStart;
    if (expect.soundChannels > 0 && sound.channels != expect.soundChannels) {
        found << finding(verifyCheck::soundTrack, "D_verify_soundTrack",
                         "its sound has %1 channels where the kept track has %2",
                         {QString::number(sound.channels), QString::number(expect.soundChannels)});
    }
    // One sound frame, and one more for the source's end: a stream file's last timestamp is
    // where its last frame begins.
    const double margin = 2 * std::max(expect.soundFrameSeconds, 0.001) + 0.0005;
    if (std::abs(sound.seconds - expect.soundSeconds) > margin) {
        found << finding(verifyCheck::soundLength, "D_verify_soundLength",
                         "its sound lasts %1 s where %2 s were planned",
                         {seconds3(sound.seconds), seconds3(expect.soundSeconds)});
    }
    // 1 ms, and the rounding of the times the two files keep (1/1000 s in a movie header).
    if (std::abs(start - expect.soundStartSeconds) > 0.0015) {
        found << finding(verifyCheck::soundStart, "D_verify_soundStart",
                         "its sound begins at %1 ms of the first picture where the source's "
                         "begins at %2 ms",
                         {milliseconds(start), milliseconds(expect.soundStartSeconds)});
    }
}

void checkDisplay(const verifyExpect &expect, const toolbox::PictureFacts &picture,
                  QList<verifyFinding> &found) {
    if (expect.width > 0 && (picture.width != expect.width || picture.height != expect.height)) {
        found << finding(verifyCheck::size, "D_verify_size",
                         "its pictures are %1x%2 where %3x%4 were planned",
                         {QString::number(picture.width), QString::number(picture.height),
                          QString::number(expect.width), QString::number(expect.height)});
    }
    if (expect.pixelAspect.known() && !(picture.pixelAspect == expect.pixelAspect)) {
        found << finding(verifyCheck::pixelAspect, "D_verify_pixelAspect",
                         "its pixel aspect is %1 where the source's is %2",
                         {verifyRateText(picture.pixelAspect), verifyRateText(expect.pixelAspect)});
    }
    if (picture.rotation != expect.rotation || !picture.matrixIsRotation) {
        found << finding(verifyCheck::rotation, "D_verify_rotation",
                         "it is shown turned by %1 degrees where the source is turned by %2",
                         {rotationText(picture.rotation), rotationText(expect.rotation)});
    }
    // A description the source gives must be kept; where the source says nothing, so may the
    // output.
    const auto differs = [](int32_t wanted, int32_t got, int32_t unspecified) {
        return wanted != unspecified && got != wanted;
    };
    // A QuickTime 'colr' of type 'nclc' has no range: the stream's own says it, so an output
    // whose container says none has not dropped it.
    const bool rangeDiffers = picture.range != 0 && differs(expect.range, picture.range, 0);
    if (differs(expect.primaries, picture.primaries, 2) ||
        differs(expect.transfer, picture.transfer, 2) ||
        differs(expect.matrix, picture.matrix, 2) || rangeDiffers) {
        found << finding(
            verifyCheck::colour, "D_verify_colour",
            "its colour description is %1 where the source's is %2",
            {colourText(picture.primaries, picture.transfer, picture.matrix, picture.range),
             colourText(expect.primaries, expect.transfer, expect.matrix, expect.range)});
    }
}

void checkDates(const verifyExpect &expect, const toolbox::MovieFacts &output,
                QList<verifyFinding> &found) {
    if (!expect.recordingDateUnix) {
        return;
    }
    const int64_t wanted = *expect.recordingDateUnix;
    // Whole seconds in the header; the key's text may hold a fraction.
    const auto near = [wanted](const std::optional<int64_t> &got) {
        return got && std::llabs(*got - wanted) <= 1;
    };
    if (!near(output.createdUnix) || !near(output.creationKeyUnix)) {
        const auto text = [](const std::optional<int64_t> &when) {
            return when ? QString::number(*when) : QStringLiteral("none");
        };
        found << finding(
            verifyCheck::date, "D_verify_date",
            "its recording date (header %1, key %2) is not the planned %3",
            {text(output.createdUnix), text(output.creationKeyUnix), QString::number(wanted)});
    }
}

/// The values of "300 pictures at 50/1, 6.000 s, sound +0.0 ms": count, rate, seconds and the
/// sound's words ("sound +0.0 ms" or "no sound"), translated or not.
QStringList heldValues(const toolbox::MovieFacts &output, bool translated) {
    const toolbox::PictureFacts picture = output.picture.value_or(toolbox::PictureFacts{});
    QString sound;
    if (output.sounds.empty()) {
        sound = translated ? localizedStr(QStringLiteral("D_verify_silent"))
                           : QStringLiteral("no sound");
    } else {
        const QString at = milliseconds(output.sounds.front().startSeconds - picture.startSeconds);
        sound = fillIn(translated ? localizedStr(QStringLiteral("D_verify_soundAt"))
                                  : QStringLiteral("sound %1 ms"),
                       {at});
    }
    return {QString::number(picture.pictures), verifyRateText(picture.rate),
            seconds3(picture.seconds), sound};
}

} // namespace

toolbox::Rational verifyDeliveredRate(int32_t delivered, const toolbox::Rational &source) {
    if (delivered <= 0) {
        return source;
    }
    const bool ntscClock =
        source.known() && source.den > 1 &&
        std::abs(source.value() * 1.001 - std::round(source.value() * 1.001)) < 0.001;
    if (ntscClock && (delivered % 24 == 0 || delivered % 30 == 0)) {
        return toolbox::reduced(int64_t(delivered) * 1000, 1001);
    }
    return {delivered, 1};
}

verifyExpect verifyExpectOf(const toolbox::MovieFacts &source, const verifyPlan &plan) {
    verifyExpect expect;
    const toolbox::PictureFacts picture = source.picture.value_or(toolbox::PictureFacts{});
    const double stretch = plan.stretch > 0 ? plan.stretch : 1.0;
    expect.sourceSeconds = picture.seconds;
    expect.seconds = picture.seconds * stretch;
    const toolbox::Rational sourceRate =
        stretch == 1.0 || !picture.rate.known()
            ? picture.rate
            : toolbox::reduced(picture.rate.num, std::llround(double(picture.rate.den) * stretch));
    expect.rate = plan.rate.known() ? plan.rate : sourceRate;
    if (picture.variableRate && !plan.rate.known()) {
        // Kept as they are: their count, when the source's index has it, and no one rate.
        expect.rate = {};
        expect.pictures = picture.picturesEstimated ? -1 : picture.pictures;
    } else if (expect.rate == sourceRate) {
        // The same pictures, each kept: the source's own count.
        expect.pictures = picture.pictures;
    } else {
        expect.pictures = std::llround(expect.seconds * expect.rate.value());
    }
    expect.pictureSeconds = expect.rate.known()    ? 1.0 / expect.rate.value()
                            : picture.rate.known() ? 1.0 / picture.rate.value()
                                                   : 0.04;
    const bool scaled = plan.width > 0 && plan.height > 0;
    expect.width = scaled ? plan.width : picture.width;
    expect.height = scaled ? plan.height : picture.height;
    expect.pixelAspect = scaled ? toolbox::Rational{} : picture.pixelAspect;
    expect.rotation = picture.rotation;
    expect.primaries = picture.primaries;
    expect.transfer = picture.transfer;
    expect.matrix = picture.matrix;
    expect.range = picture.range;
    expect.recordingDateUnix = plan.recordingDateUnix;
    if (plan.keepsSound && !source.sounds.empty()) {
        const toolbox::SoundFacts &sound = source.sounds.front();
        // The trim to the first picture cuts the sound before it.
        const double offset = sound.startSeconds - picture.startSeconds;
        const double cut = std::max(0.0, -offset);
        expect.sound = sound.seconds > cut;
        expect.soundSeconds = std::max(0.0, sound.seconds - cut) * stretch;
        expect.soundStartSeconds = std::max(0.0, offset) * stretch;
        const int32_t frame = std::max(sound.frameSamples, 1024);
        expect.soundFrameSeconds =
            sound.sampleRate > 0 ? double(frame) / sound.sampleRate * stretch : 0.032 * stretch;
        // Channels are not compared: the plan may mix them up or down (-ac 2).
        expect.soundChannels = 0;
    }
    return expect;
}

toolbox::MovieFacts verifyJoinedFacts(const QList<toolbox::MovieFacts> &pieces) {
    toolbox::MovieFacts joined;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const toolbox::MovieFacts &piece = pieces.at(i);
        if (i == 0) {
            joined = piece;
            continue;
        }
        joined.durationSeconds += piece.durationSeconds;
        if (joined.picture && piece.picture) {
            joined.picture->pictures += piece.picture->pictures;
            joined.picture->seconds += piece.picture->seconds;
        }
        if (!joined.sounds.empty() && !piece.sounds.empty()) {
            joined.sounds.front().seconds += piece.sounds.front().seconds;
        }
    }
    return joined;
}

QString verifyVerdict::failureLogWords() const {
    QStringList said;
    for (const verifyFinding &found : findings) {
        said << found.logWords;
    }
    return said.join(QStringLiteral("; "));
}

QString verifyVerdict::failureWords() const {
    QStringList said;
    for (const verifyFinding &found : findings) {
        said << found.words;
    }
    return said.join(QStringLiteral("; "));
}

verifyVerdict verifyOutput(const verifyExpect &expect, const toolbox::MovieFacts &output,
                           const QString &tool, const QString &toolReadLine) {
    verifyVerdict verdict;
    if (!output.picture) {
        verdict.findings << finding(verifyCheck::noPicture, "D_verify_noPicture",
                                    "the movie has no pictures", {});
    } else {
        checkPictures(expect, *output.picture, verdict.findings);
    }
    checkSound(expect, output, verdict.findings);
    if (output.picture) {
        checkDisplay(expect, *output.picture, verdict.findings);
    }
    checkDates(expect, output, verdict.findings);
    if (!toolReadLine.isEmpty()) {
        verdict.findings << finding(
            verifyCheck::toolReadError, "D_verify_toolReadError",
            "%1 could not read the source (%2)",
            {tool.isEmpty() ? QStringLiteral("the tool") : tool, toolReadLine});
    }
    verdict.holds = verdict.findings.isEmpty();
    const char *key = verdict.holds ? "D_verify_proved" : "D_verify_held";
    const char *english = verdict.holds ? "verified: %1 pictures at %2, %3 s, %4"
                                        : "the movie holds %1 pictures at %2, %3 s, %4";
    verdict.words = fillIn(localizedStr(QString::fromLatin1(key)), heldValues(output, true));
    verdict.logWords = fillIn(QString::fromLatin1(english), heldValues(output, false));
    return verdict;
}

verifyVerdict verifyUnreadable(const QString &why) {
    verifyVerdict verdict;
    verdict.findings << finding(verifyCheck::unreadable, "D_verify_unreadable",
                                "the movie's index can't be read (%1)", {why});
    verdict.logWords = verdict.findings.first().logWords;
    verdict.words = verdict.findings.first().words;
    return verdict;
}

QString verifyRateText(const toolbox::Rational &rate) {
    return rate.known() ? QStringLiteral("%1/%2").arg(rate.num).arg(rate.den)
                        : QStringLiteral("unknown");
}
