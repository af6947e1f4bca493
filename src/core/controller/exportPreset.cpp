#include "controller/exportPreset.h"

#include "platform/log.h"

#include <algorithm>
#include <array>
#include <utility>

exportPreset exportPresetFor(const QVariant &v0fps, int32_t v0height, int32_t mode) {
    exportPreset preset;
    const auto rate = static_cast<int32_t>(v0fps.toString().toDouble());
    preset.height = std::clamp(v0height, 720, 1080);
    if (rate >= 119) {
        preset.presetRate = 120;
    } else if (rate >= 100) {
        preset.presetRate = 100;
    } else if (rate >= 59) {
        preset.presetRate = 60;
    } else if (rate >= 50) {
        preset.presetRate = 50;
    } else if (rate >= 29) {
        preset.presetRate = 30;
    } else if (rate >= 25) {
        preset.presetRate = 25;
    } else {
        preset.presetRate = 24;
    }
    if (preset.presetRate >= 100) {
        preset.divider = 4;
    } else if (preset.presetRate <= 49) {
        preset.divider = 1;
    } else {
        preset.divider = 2;
    }
    if (mode == fpsSlow && preset.presetRate >= 50) {
        preset.retime = true;
        preset.retimeFromScale = preset.presetRate * 100;
        preset.retimeToScale = preset.presetRate * 100 / preset.divider;
    }
    return preset;
}

int32_t exportDeliveredRate(const exportPreset &preset, int32_t mode, bool retimeMovieOpened) {
    const int32_t p = preset.presetRate;
    switch (mode) {
    case fpsNormal:
        return p >= 100 ? p / 2 : p;
    case fpsHalf:
        return p >= 50 ? p / preset.divider : p;
    case fpsSlow:
        if (p >= 50) {
            return retimeMovieOpened ? p / preset.divider : p / 2;
        }
        return p;
    default:
        return p;
    }
}

std::optional<QString> proresVariantKey(const QString &proresItemTitle) {
    static const std::array<std::pair<const char *, const char *>, 4> pairs{{
        {"Proxy", "apco"},
        {"Lt", "apcs"},
        {"4x4", "ap4h"},
        {"", "apch"},
    }};
    for (const auto &[key, code] : pairs) {
        if (proresItemTitle.contains(QStringLiteral("imco:%1:appl").arg(QLatin1String(code)))) {
            return QString::fromLatin1(key);
        }
    }
    return std::nullopt;
}

std::optional<QString> exportSettingsName(int32_t outInt, int32_t v0width, int32_t height,
                                          int32_t deliveredRate, const QString &proresItemTitle) {
    std::optional<QString> name;
    const QString base = QStringLiteral("%1%2p%3")
                             .arg(v0width == 1440 ? QStringLiteral("Hdv") : QString())
                             .arg(height)
                             .arg(deliveredRate);
    if (outInt == outRewrap) {
        name = std::nullopt;
    } else if (outInt == outAic) {
        name = QStringLiteral("aic") + base;
    } else if (outInt == outProres) {
        // Exactly one installed encoder's title matches; with no title at all (no choice made)
        // the HQ variant is used rather than no export.
        name = QStringLiteral("pr") + proresVariantKey(proresItemTitle).value_or(QString()) + base;
    } else {
        name = base;
    }
    logDebug(name ? QStringLiteral("presetStr : %1").arg(*name)
                  : QStringLiteral("pas de preset :-("));
    return name;
}

QString proresItemTitleForType(const QString &codecType) {
    return QStringLiteral("imco:%1:appl")
        .arg(codecType.isEmpty() ? QStringLiteral("apch") : codecType);
}
