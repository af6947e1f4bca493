#include "controller/encodage.h"

#include "controller/spannedJoin.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "platform/resources.h"
#include "platform/utilsFile.h"
#include "settings/prefs.h"

#include <QFileInfo>

#include <cmath>

namespace {

bool isPresent(const QVariantMap &dico, const QString &key) {
    return dico.contains(key) && dico.value(key).isValid() && !dico.value(key).isNull();
}

} // namespace

QString encInputStr(const QVariantMap &dico) {
    const QString src = dico.value(QStringLiteral("srcPathStr")).toString();
    const QStringList pieces = dico.value(QStringLiteral("joinPathsArray")).toStringList();
    // Once the job's source is its converted movie, the pieces are behind it.
    if (pieces.size() < 2 || pieces.first() != src) {
        return src;
    }
    const QStringList ranges = dico.value(QStringLiteral("joinRangesArray")).toStringList();
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

std::optional<QStringList> encodage(int32_t outInt, const QVariantMap &dico) {
    logStr(QStringLiteral("encodage            - deb"));
    logDebug(QStringLiteral("outInt              : %1").arg(outInt));
    const QString src = dico.value(QStringLiteral("srcPathStr")).toString();
    const QString dst = dico.value(QStringLiteral("dstPathStr")).toString();
    if (src.isEmpty() || dst.isEmpty()) {
        logStr(QStringLiteral("encodage            :-( no source or destination"));
        return std::nullopt;
    }
    QStringList args{resourcePathStr() + QStringLiteral("/tools/ffmpeg"),
                     QStringLiteral("-loglevel"), QStringLiteral("info")};

    const bool hasAudio = isPresent(dico, QStringLiteral("a0_id"));
    if (hasAudio && isPresent(dico, QStringLiteral("a0_force")) &&
        isPresent(dico, QStringLiteral("a0_codec"))) {
        args << QStringLiteral("-acodec") << dico.value(QStringLiteral("a0_codec")).toString();
    }
    args << QStringLiteral("-i") << encInputStr(dico);

    const QString wrapper = dico.value(QStringLiteral("wrapper")).toString().toLower();
    const bool quickTimeFamily =
        wrapper.startsWith(QStringLiteral("mov")) || wrapper.startsWith(QStringLiteral("avi"));
    const bool h264 = dico.value(QStringLiteral("v0_codec")).toString() == QStringLiteral("h264");
    args << QStringLiteral("-vcodec") << QStringLiteral("copy");
    if (h264) {
        if (!quickTimeFamily) {
            args << QStringLiteral("-vbsf") << QStringLiteral("h264_mp4toannexb");
        }
        args << QStringLiteral("-vtag") << QStringLiteral("avc1");
    }

    if (hasAudio) {
        int32_t channels = 2;
        const bool surround = dico.value(QStringLiteral("prefSurrond")).toInt() != 0;
        const int32_t srcChannels = dico.value(QStringLiteral("a0_channels")).toInt();
        if (surround && isPresent(dico, QStringLiteral("a0_channels")) && srcChannels >= 3) {
            channels = srcChannels;
            logStr(QStringLiteral("aChannels           : %1").arg(channels));
        }
        args << QStringLiteral("-async") << QStringLiteral("-3000") << QStringLiteral("-acodec")
             << QStringLiteral("pcm_s16le") << QStringLiteral("-ac") << QString::number(channels)
             << QStringLiteral("-ar") << QStringLiteral("48000") << QStringLiteral("-atag")
             << QStringLiteral("sowt");
    }
    // The output carries the recording date it is named after: the movie header's times (UTC)
    // and the QuickTime creation-date key (with its zone offset), which photo libraries and
    // editors sort by.
    const QString utc = dico.value(QStringLiteral("recordingDateUTC")).toString();
    const QString iso = dico.value(QStringLiteral("recordingDateISO")).toString();
    if (!utc.isEmpty() && !iso.isEmpty()) {
        args << QStringLiteral("-metadata") << QStringLiteral("creation_time=") + utc
             << QStringLiteral("-metadata")
             << QStringLiteral("com.apple.quicktime.creationdate=") + iso
             << QStringLiteral("-movflags") << QStringLiteral("+use_metadata_tags");
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

std::optional<QStringList> encPostQtEnc(const QString &workingPath, float durationSeconds,
                                        float aspectRatio, const QString &settingsName,
                                        encPostQtEncFailure *failure) {
    logStr(QStringLiteral("encQt()             - deb"));
    encPostQtEncFailure ignored = encPostQtEncFailure::none;
    encPostQtEncFailure &why = failure != nullptr ? *failure : ignored;
    why = encPostQtEncFailure::none;
    if (workingPath.isEmpty()) {
        why = encPostQtEncFailure::cannotMoveAside;
        return std::nullopt;
    }
    const QString masterPath = oldSrcPathStr2DstPathStr(workingPath);
    if (!mvCocoa(workingPath, masterPath, QStringLiteral("y"))) {
        logStr(QStringLiteral("encQt()             :-( mv '%1' '%2'").arg(workingPath, masterPath));
        why = encPostQtEncFailure::cannotMoveAside;
        return std::nullopt;
    }
    const QString name =
        settingsName.isEmpty() ? encDefaultSettingsName(aspectRatio) : settingsName;

    // The need is the export's own rate: the working movie no longer exists once moved aside.
    const int32_t freeMB = espaceDiskDispo(QFileInfo(masterPath).absolutePath());
    const float needMB = encDstPoidsEstimatif(durationSeconds, -1, 3);
    logStr(QStringLiteral("necessary|available ? %1 | %2")
               .arg(static_cast<double>(needMB), 0, 'f', 0)
               .arg(freeMB));
    if (freeMB >= 0 && static_cast<float>(freeMB) < needMB) {
        why = encPostQtEncFailure::notEnoughSpace;
        return std::nullopt;
    }
    const QStringList args{toolsPathStr() + QStringLiteral("/trakmill"),
                           QStringLiteral("-s"),
                           resourcePathStr() + QStringLiteral("/presetQt/") + name,
                           QStringLiteral("-i"),
                           masterPath,
                           QStringLiteral("-y"),
                           QStringLiteral("-o"),
                           workingPath};
    prefWriteChildDico(QStringLiteral("processEncDico"), QStringLiteral("dstPathStr"), workingPath);
    prefWriteChildDico(QStringLiteral("processEncDico"), QStringLiteral("purgePathStr1"),
                       masterPath);
    logStr(QStringLiteral("encQt()             - fin"));
    return args;
}
