#include "batchWords.h"

#include "settings/localisation.h"

#include <QFileInfo>

#include <algorithm>

namespace {

const QString kHud = QStringLiteral("Hud");

/// The image's name without the dark look's suffix, and whether it had it.
QString withoutLook(const QString &image, bool *hud) {
    *hud = image.endsWith(kHud);
    return *hud ? image.left(image.size() - kHud.size()) : image;
}

QString phaseWords(batchPhase phase, int32_t out, const QString &proresTitle) {
    switch (phase) {
    case batchPhase::analysing:
        return localizedStr(QStringLiteral("D_phase_analysing"));
    case batchPhase::converting:
        // A rewrap is ffmpeg's copy alone; with an export it is its first step.
        return localizedStr(out == 0 ? QStringLiteral("D_phase_rewrapping")
                                     : QStringLiteral("D_phase_converting"));
    case batchPhase::exporting:
        return localizedStr(QStringLiteral("D_phase_encodingTo"))
            .arg(out == 2 && !proresTitle.isEmpty() ? proresTitle
                 : out == 2                         ? localizedStr(QStringLiteral("segProres"))
                                                    : localizedStr(QStringLiteral("segAic")));
    case batchPhase::checking:
        return localizedStr(QStringLiteral("D_phase_checking"));
    case batchPhase::finished:
    case batchPhase::stopped:
        break;
    }
    return QString();
}

} // namespace

QString batchProgressBarText(const batchProgressValue &value, int32_t out,
                             const QString &proresTitle) {
    const QString phase = phaseWords(value.phase, out, proresTitle);
    QString text = phase;
    if (value.position > 0 && !value.clip.isEmpty()) {
        // "%1: %2" in English, "%1 : %2" in French.
        text = localizedStr(QStringLiteral("rowWhy"))
                   .arg(QFileInfo(value.clip).fileName(),
                        QStringLiteral("%1, %2").arg(
                            phase, localizedStr(QStringLiteral("D_phase_place"))
                                       .arg(value.position)
                                       .arg(std::max(value.total, value.position))));
    }
    return text.replace(QLatin1Char('%'), QStringLiteral("%%"));
}

QString runCommandName(const QString &image) {
    bool hud = false;
    const QString command = withoutLook(image, &hud);
    if (command == QLatin1String("btPause")) {
        return localizedStr(QStringLiteral("btPause"));
    }
    if (command == QLatin1String("btPlay")) {
        return localizedStr(QStringLiteral("btPlay"));
    }
    if (command == QLatin1String("btStop")) {
        return localizedStr(QStringLiteral("btStop"));
    }
    return {};
}

QString runToggleImage(bool paused, const QString &shown) {
    bool hud = false;
    withoutLook(shown, &hud);
    return (paused ? QStringLiteral("btPlay") : QStringLiteral("btPause")) +
           (hud ? kHud : QString());
}
