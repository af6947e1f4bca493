#include "controller/runDisplay.h"

#include "platform/log.h"
#include "settings/localisation.h"

void runDisplay::start(float maximum) {
    if (c_.encStopBt != nullptr) {
        c_.encStopBt->setHidden(false);
        c_.encStopBt->setEnabled(true);
    }
    if (c_.taskProgressWheel != nullptr) {
        c_.taskProgressWheel->setAnimating(false);
    }
    if (c_.encProgressPercentStr != nullptr) {
        c_.encProgressPercentStr->setText(QString());
    }
    if (c_.encTaskProgress != nullptr && maximum > 0) {
        c_.encTaskProgress->setIndeterminate(false);
        c_.encTaskProgress->setMinValue(0);
        c_.encTaskProgress->setMaxValue(maximum);
        logStr(QStringLiteral("Progress Max Value  : %1")
                   .arg(static_cast<double>(maximum), 0, 'f', 3));
        c_.encTaskProgress->setValue(0);
    }
}

QString runDisplay::progressed(double value, double fraction) {
    const QString text = QStringLiteral("%1 %").arg(fraction * 100.0, 0, 'f', 0);
    if (c_.encTaskProgress != nullptr) {
        c_.encTaskProgress->setValue(value);
    }
    if (c_.encProgressPercentStr != nullptr) {
        c_.encProgressPercentStr->setText(text);
    }
    return text;
}

void runDisplay::progressLost() {
    if (c_.encProgressPercentStr != nullptr) {
        c_.encProgressPercentStr->setText(QString());
    }
}

void runDisplay::ended() {
    if (c_.encProgressPercentStr != nullptr) {
        c_.encProgressPercentStr->setText(QString());
    }
    if (c_.encStopBt != nullptr) {
        c_.encStopBt->setHidden(true);
    }
    if (c_.encTaskProgress != nullptr) {
        c_.encTaskProgress->setValue(c_.encTaskProgress->maxValue());
    }
}

void runDisplay::pause() {
    if (c_.encProgressActionStr != nullptr) {
        progressActionStrBeforePause_ = c_.encProgressActionStr->text();
        c_.encProgressActionStr->setText(localizedStr(QStringLiteral("D_action_pause")));
    }
}

void runDisplay::play() {
    if (c_.encProgressActionStr != nullptr && progressActionStrBeforePause_) {
        c_.encProgressActionStr->setText(*progressActionStrBeforePause_);
    }
    progressActionStrBeforePause_.reset();
}

void runDisplay::stopShown() {
    progressActionStrBeforePause_.reset();
    if (c_.encProgressActionStr != nullptr) {
        c_.encProgressActionStr->setText(QString());
    }
    if (c_.encStopBt != nullptr) {
        c_.encStopBt->setHidden(true);
    }
}

void runDisplay::setStopEnabled(bool enabled) {
    if (c_.encStopBt != nullptr) {
        c_.encStopBt->setEnabled(enabled);
    }
}

void runDisplay::reset() {
    if (c_.encTaskProgress != nullptr) {
        c_.encTaskProgress->setValue(0);
        c_.encTaskProgress->setAnimating(false);
    }
    if (c_.taskProgressWheel != nullptr) {
        c_.taskProgressWheel->setAnimating(false);
    }
    batchOver();
}

void runDisplay::batchOver() {
    if (c_.encProgressActionStr != nullptr) {
        c_.encProgressActionStr->setText(QString());
    }
    if (c_.encProgressPercentStr != nullptr) {
        c_.encProgressPercentStr->setText(QString());
    }
    if (c_.encStopBt != nullptr) {
        c_.encStopBt->setHidden(true);
    }
}
