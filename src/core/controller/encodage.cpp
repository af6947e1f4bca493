#include "controller/encodage.h"

#include "controller/jobFiles.h"
#include "controller/spannedJoin.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "platform/resources.h"
#include "platform/utilsFile.h"
#include "settings/localisation.h"

#include <QFileInfo>

#include <cmath>

QString encInputStr(const batchRow &row) {
    const QString &src = row.source;
    const QStringList &pieces = row.pieces;
    if (pieces.size() < 2 || pieces.first() != src) {
        return src;
    }
    const QStringList &ranges = row.pieceRanges;
    // The pieces of a spanned recording were cut from one transport stream at packet
    // boundaries: read one after the other, byte for byte, they are that stream again, with its
    // own continuous timestamps, so no frame is repeated or lost at a seam. A piece whose IN or
    // OUT time lies inside its file (a group of pictures the camera wrote twice) is read from
    // the key picture at its IN time to the one at its OUT time (the subfile protocol).
    QStringList inputs;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const std::optional<pieceBytes> bytes =
            i < ranges.size() ? pieceBytes::fromText(ranges[i]) : std::optional<pieceBytes>();
        if (!bytes || bytes->whole()) {
            inputs << pieces[i];
        } else {
            inputs << QStringLiteral("subfile,,start,%1,end,%2,,:%3")
                          .arg(bytes->start)
                          .arg(bytes->end)
                          .arg(pieces[i]);
        }
    }
    return QStringLiteral("concat:") + inputs.join(QLatin1Char('|'));
}

namespace {

/// ffmpeg's picture arguments: no picture when it comes from the source's own track afterwards,
/// the pulldown removal for an export of 2:3 pulldown, else the stream copied as it is.
void appendVideoArgs(QStringList &args, int32_t outInt, const runningJob &job) {
    const mediaFacts &facts = job.facts();
    const QString wrapper = facts.wrapper.toLower();
    const bool quickTimeFamily =
        wrapper.startsWith(QStringLiteral("mov")) || wrapper.startsWith(QStringLiteral("avi"));
    const bool h264 = facts.videoCodec == QStringLiteral("h264");
    if (facts.hasSound() && job.videoFromSource) {
        // The picture comes from the source's own track afterwards (its edits kept): ffmpeg
        // gives the sound alone, on the source's clock, which for a QuickTime movie is the
        // movie's time.
        args << QStringLiteral("-vn") << QStringLiteral("-copyts");
    } else if (outInt != 0 && facts.scan == QStringLiteral("pulldown")) {
        // 24 pictures a second in 2:3 pulldown, for an export: fieldmatch pairs each picture's
        // fields again and decimate drops the repeated picture of every five, giving the
        // 23.976 progressive pictures as filmed. They stay lossless (x264 at quantiser 0) for
        // the export's one encoding.
        const bool bottomFirst = facts.streamFields == fieldsStr(QStringLiteral("BFF"));
        args << QStringLiteral("-vf")
             << QStringLiteral("fieldmatch=order=%1:combmatch=full,decimate")
                    .arg(bottomFirst ? QStringLiteral("bff") : QStringLiteral("tff"))
             << QStringLiteral("-vcodec") << QStringLiteral("libx264") << QStringLiteral("-preset")
             << QStringLiteral("ultrafast") << QStringLiteral("-qp") << QStringLiteral("0")
             << QStringLiteral("-vtag") << QStringLiteral("avc1");
    } else {
        args << QStringLiteral("-vcodec") << QStringLiteral("copy");
        if (h264) {
            if (!quickTimeFamily) {
                args << QStringLiteral("-vbsf") << QStringLiteral("h264_mp4toannexb");
            }
            args << QStringLiteral("-vtag") << QStringLiteral("avc1");
        }
    }
}

/// ffmpeg's sound arguments: 16-bit PCM at 48 kHz, stereo unless surround is wanted and the
/// source has more channels.
void appendAudioArgs(QStringList &args, const runningJob &job) {
    int32_t channels = 2;
    const int32_t srcChannels = job.facts().sounds.first().channels;
    if (job.row.surround && srcChannels >= 3) {
        channels = srcChannels;
        logStr(QStringLiteral("aChannels           : %1").arg(channels));
    }
    // No "-async": FFmpeg 5.1 then moves a sound that starts after the picture onto the
    // picture. Without it the sound keeps its place (an empty edit before it), and a sound
    // that starts before the picture is cut by the trim to the first video frame.
    args << QStringLiteral("-acodec") << QStringLiteral("pcm_s16le") << QStringLiteral("-ac")
         << QString::number(channels) << QStringLiteral("-ar") << QStringLiteral("48000")
         << QStringLiteral("-atag") << QStringLiteral("sowt");
}

} // namespace

std::optional<QStringList> encodage(int32_t outInt, const runningJob &job) {
    logStr(QStringLiteral("encodage            - deb"));
    logDebug(QStringLiteral("outInt              : %1").arg(outInt));
    const QString &src = job.source();
    const QString &dst = job.working;
    const mediaFacts &facts = job.facts();
    if (src.isEmpty() || dst.isEmpty()) {
        logStr(QStringLiteral("encodage            :-( no source or destination"));
        return std::nullopt;
    }
    QStringList args{resourcePathStr() + QStringLiteral("/tools/ffmpeg"),
                     QStringLiteral("-loglevel"), QStringLiteral("info")};

    if (facts.hasSound() && facts.sounds.first().forced && !facts.sounds.first().codec.isEmpty()) {
        args << QStringLiteral("-acodec") << facts.sounds.first().codec;
    }
    args << QStringLiteral("-i") << encInputStr(job.row);

    appendVideoArgs(args, outInt, job);
    if (facts.hasSound()) {
        appendAudioArgs(args, job);
    }
    if (facts.sounds.size() > 1 && !facts.sounds.at(1).id.isEmpty()) {
        // Of several sound tracks the first is the one kept (the analysis reads it as a0), while
        // ffmpeg would take the one with the most channels: each kept stream is named.
        if (!args.contains(QStringLiteral("-vn"))) {
            args << QStringLiteral("-map") << QStringLiteral("0:v:0");
        }
        args << QStringLiteral("-map") << QStringLiteral("0:a:0");
    }
    // The output carries the recording date it is named after: the movie header's times (UTC)
    // and the QuickTime creation-date key (with its zone offset), which photo libraries and
    // editors sort by.
    const QString &utc = job.recordingDateUtc;
    const QString &iso = job.recordingDateIso;
    if (!utc.isEmpty() && !iso.isEmpty()) {
        args << QStringLiteral("-metadata") << QStringLiteral("creation_time=") + utc
             << QStringLiteral("-metadata")
             << QStringLiteral("com.apple.quicktime.creationdate=") + iso
             << QStringLiteral("-movflags") << QStringLiteral("+use_metadata_tags");
        // A timecode track from the recording's time of day, so editors relink proxies and
        // line up several cameras by time.
        if (!args.contains(QStringLiteral("-vn")) && iso.size() >= 19) {
            args << QStringLiteral("-timecode") << iso.mid(11, 8) + QStringLiteral(":00");
        }
    }
    args << QStringLiteral("-sn") << QStringLiteral("-y") << dst;
    logStr(QStringLiteral("encodage            - fin"));
    return args;
}

QString encDstExtensionStr(int32_t outInt, const QString &videoCodec) {
    (void)outInt;
    (void)videoCodec;
    return QStringLiteral("mov");
}

float encDstPoidsEstimatif(float durationSeconds, double srcSizeMB, int32_t outInt) {
    float estimate = 0;
    if (outInt == 0) {
        estimate = static_cast<float>(static_cast<double>(durationSeconds) * 0.18333333333333332 +
                                      srcSizeMB);
    } else if (outInt == 1) {
        estimate = durationSeconds * 6.0F;
    } else {
        estimate = durationSeconds * 9.0F;
    }
    logDebug(
        QStringLiteral("encDstPoidsEstimatif= %1").arg(static_cast<double>(estimate), 0, 'f', 6));
    return estimate;
}

QString encDefaultSettingsName(float aspectRatio) {
    return std::fabs(aspectRatio - 1.33F) < 0.1F ? QStringLiteral("1280x720pLetterbox")
                                                 : QStringLiteral("1280x720p");
}

namespace {

// Moves the working movie aside to its "_MASTER" sibling and checks the room a trakmill run
// needs: the master's path, or nothing with the reason.
std::optional<QString> encMoveAsideFor(const QString &workingPath, float needMB,
                                       encPostQtEncFailure &why) {
    if (workingPath.isEmpty()) {
        why = encPostQtEncFailure::cannotMoveAside;
        return std::nullopt;
    }
    const QString masterPath = encMasterPathOf(workingPath);
    if (!mvCocoa(workingPath, masterPath, QStringLiteral("y"))) {
        logStr(QStringLiteral("encQt()             :-( mv '%1' '%2'").arg(workingPath, masterPath));
        why = encPostQtEncFailure::cannotMoveAside;
        return std::nullopt;
    }
    const int32_t freeMB = espaceDiskDispo(QFileInfo(masterPath).absolutePath());
    logStr(QStringLiteral("necessary|available ? %1 | %2")
               .arg(static_cast<double>(needMB), 0, 'f', 0)
               .arg(freeMB));
    if (freeMB >= 0 && static_cast<float>(freeMB) < needMB) {
        why = encPostQtEncFailure::notEnoughSpace;
        return std::nullopt;
    }
    return masterPath;
}

std::optional<QStringList> encTrakmillVector(const QString &workingPath, const QString &masterPath,
                                             const QStringList &options) {
    const QStringList args = QStringList{toolsPathStr() + QStringLiteral("/trakmill")} + options +
                             QStringList{QStringLiteral("-i"), masterPath, QStringLiteral("-y"),
                                         QStringLiteral("-o"), workingPath};
    logStr(QStringLiteral("encQt()             - fin"));
    return args;
}

} // namespace

std::optional<QStringList> encPostQtEnc(const QString &workingPath, float durationSeconds,
                                        float aspectRatio, const QString &settingsName,
                                        encPostQtEncFailure *failure) {
    logStr(QStringLiteral("encQt()             - deb"));
    encPostQtEncFailure ignored = encPostQtEncFailure::none;
    encPostQtEncFailure &why = failure != nullptr ? *failure : ignored;
    why = encPostQtEncFailure::none;
    const QString name =
        settingsName.isEmpty() ? encDefaultSettingsName(aspectRatio) : settingsName;
    // The need is the export's own rate: the working movie no longer exists once moved aside.
    const std::optional<QString> masterPath =
        encMoveAsideFor(workingPath, encDstPoidsEstimatif(durationSeconds, -1, 3), why);
    if (!masterPath) {
        return std::nullopt;
    }
    return encTrakmillVector(
        workingPath, *masterPath,
        {QStringLiteral("-s"), resourcePathStr() + QStringLiteral("/presetQt/") + name});
}

std::optional<QStringList> encPostQtSelfContained(const QString &workingPath, float durationSeconds,
                                                  double sourceMB, encPostQtEncFailure *failure) {
    logStr(QStringLiteral("encQt()             - deb (self-contained)"));
    encPostQtEncFailure ignored = encPostQtEncFailure::none;
    encPostQtEncFailure &why = failure != nullptr ? *failure : ignored;
    why = encPostQtEncFailure::none;
    const std::optional<QString> masterPath =
        encMoveAsideFor(workingPath, encDstPoidsEstimatif(durationSeconds, sourceMB, 0), why);
    if (!masterPath) {
        return std::nullopt;
    }
    return encTrakmillVector(workingPath, *masterPath, {});
}
