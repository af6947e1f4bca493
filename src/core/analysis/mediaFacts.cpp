#include "analysis/mediaFacts.h"

#include <algorithm>
#include <cmath>

namespace {

QString text(const QVariantMap &info, const QString &key) {
    const QVariant value = info.value(key);
    return value.isValid() && !value.isNull() ? value.toString() : QString();
}

} // namespace

mediaFacts mediaFactsOf(const QVariantMap &mediaInfo) {
    mediaFacts facts;
    facts.wrapper = text(mediaInfo, QStringLiteral("wrapper"));
    facts.durationSeconds = mediaInfo.value(QStringLiteral("w_duration")).toDouble();
    facts.fpsText = text(mediaInfo, QStringLiteral("v0_fps"));
    // Single precision, as the dictionary holds it and the rate column always rounded it.
    facts.fps = mediaInfo.value(QStringLiteral("v0_fps")).toFloat();
    facts.width = mediaInfo.value(QStringLiteral("v0_width")).toInt();
    facts.height = mediaInfo.value(QStringLiteral("v0_height")).toInt();
    facts.dar = text(mediaInfo, QStringLiteral("v0_dar"));
    facts.videoCodec = text(mediaInfo, QStringLiteral("v0_codec"));
    facts.scan = text(mediaInfo, QStringLiteral("v0_scanStr"));
    facts.streamFields = text(mediaInfo, QStringLiteral("v0_streamFields"));
    for (int32_t n = 0;; ++n) {
        const QString prefix = QStringLiteral("a%1_").arg(n);
        if (!mediaInfo.contains(prefix + QStringLiteral("id")) &&
            !mediaInfo.contains(prefix + QStringLiteral("codec"))) {
            break;
        }
        soundFacts sound;
        sound.id = text(mediaInfo, prefix + QStringLiteral("id"));
        sound.codec = text(mediaInfo, prefix + QStringLiteral("codec"));
        sound.channels = mediaInfo.value(prefix + QStringLiteral("channels")).toInt();
        sound.rate = mediaInfo.value(prefix + QStringLiteral("rate")).toInt();
        sound.forced = mediaInfo.contains(prefix + QStringLiteral("force"));
        facts.sounds << sound;
    }
    return facts;
}

QVariantMap mediaInfoWithDuration(QVariantMap mediaInfo, double seconds) {
    mediaInfo.insert(QStringLiteral("w_duration"), static_cast<float>(seconds));
    return mediaInfo;
}

QString mediaStreamsDifference(const mediaFacts &first, const mediaFacts &piece) {
    const soundFacts none;
    const soundFacts &soundA = first.sounds.isEmpty() ? none : first.sounds.first();
    const soundFacts &soundB = piece.sounds.isEmpty() ? none : piece.sounds.first();
    const auto number = [](int32_t value) {
        return value != 0 ? QString::number(value) : QString();
    };
    const struct {
        const char *key;
        QString a;
        QString b;
    } alike[] = {
        {"v0_codec", first.videoCodec, piece.videoCodec},
        {"v0_width", number(first.width), number(piece.width)},
        {"v0_height", number(first.height), number(piece.height)},
        {"a0_codec", soundA.codec, soundB.codec},
        {"a0_channels", number(soundA.channels), number(soundB.channels)},
        {"a0_rate", number(soundA.rate), number(soundB.rate)},
    };
    for (const auto &field : alike) {
        if (field.a != field.b) {
            return QStringLiteral("%1 %2, not %3")
                .arg(QString::fromLatin1(field.key), field.b, field.a);
        }
    }
    if (std::fabs(first.fps - piece.fps) > 0.01 * std::max(first.fps, 1.0)) {
        return QStringLiteral("v0_fps %1, not %2").arg(piece.fps).arg(first.fps);
    }
    return QString();
}
