#include "controller/runDisplay.h"

#include "platform/log.h"
#include "settings/localisation.h"

namespace {

/// The look of an image of the control: "Hud" when its name says so, in any case.
QString lookSuffix(const QString &image) {
    return image.contains(QStringLiteral("hud"), Qt::CaseInsensitive) ? QStringLiteral("Hud")
                                                                      : QString();
}

} // namespace

runPressValue runPressFor(const QString &image) {
    const QString suffix = lookSuffix(image);
    runPressValue press;
    if (image == QStringLiteral("btPause") + suffix) {
        press.command = runCommand::pause;
        press.turnsTo = QStringLiteral("btPlay") + suffix;
    } else if (image == QStringLiteral("btPlay") + suffix) {
        press.command = runCommand::play;
        press.turnsTo = QStringLiteral("btPause") + suffix;
    } else if (image == QStringLiteral("btStop") + suffix) {
        press.command = runCommand::stop;
    }
    return press;
}

QString runStartImage(const QString &image) {
    return image.startsWith(QStringLiteral("btPlay"))
               ? QStringLiteral("btPause") + lookSuffix(image)
               : image;
}

void runDisplay::start(float maximum, uiProgressBar *progressBar, uiTextField *verboseField,
                       uiSegmented *stopBt) {
    taskStopBt_ = stopBt != nullptr ? stopBt : c_.encStopBt;
    if (taskStopBt_ != nullptr) {
        const QString image = taskStopBt_->imageName(0);
        const QString unpaused = runStartImage(image);
        if (unpaused != image) {
            taskStopBt_->setImageName(0, unpaused);
        }
        taskStopBt_->setHidden(false);
        taskStopBt_->setEnabled(true);
    }
    taskProgress_ = progressBar != nullptr ? progressBar : c_.encTaskProgress;
    if (c_.taskProgressWheel != nullptr) {
        c_.taskProgressWheel->setAnimating(false);
    }
    taskProgressPercent_ = verboseField != nullptr ? verboseField : c_.encProgressPercentStr;
    if (taskProgressPercent_ != nullptr) {
        taskProgressPercent_->setText(QString());
    }
    if (taskProgress_ != nullptr && maximum > 0) {
        taskProgress_->setIndeterminate(false);
        taskProgress_->setMinValue(0);
        taskProgress_->setMaxValue(maximum);
        logStr(QStringLiteral("Progress Max Value  : %1")
                   .arg(static_cast<double>(maximum), 0, 'f', 3));
        taskProgress_->setValue(0);
    }
}

QString runDisplay::progressed(double value, double fraction) {
    const QString text = QStringLiteral("%1 %").arg(fraction * 100.0, 0, 'f', 0);
    if (taskProgress_ != nullptr) {
        taskProgress_->setValue(value);
    }
    if (taskProgressPercent_ != nullptr) {
        taskProgressPercent_->setText(text);
    }
    return text;
}

void runDisplay::progressLost() {
    if (taskProgressPercent_ != nullptr) {
        taskProgressPercent_->setText(QString());
    }
}

void runDisplay::ended() {
    if (taskProgressPercent_ != nullptr) {
        taskProgressPercent_->setText(QString());
    }
    if (taskStopBt_ != nullptr) {
        taskStopBt_->setHidden(true);
    }
    if (taskProgress_ != nullptr) {
        taskProgress_->setValue(taskProgress_->maxValue());
    }
}

void runDisplay::pause(uiSegmented *control, int32_t segment, const QString &image) {
    if (c_.encProgressActionStr != nullptr) {
        progressActionStrBeforePause_ = c_.encProgressActionStr->text();
        c_.encProgressActionStr->setText(localizedStr(QStringLiteral("D_action_pause")));
    }
    control->setImageName(segment, image);
}

void runDisplay::play(uiSegmented *control, int32_t segment, const QString &image) {
    if (c_.encProgressActionStr != nullptr && progressActionStrBeforePause_) {
        c_.encProgressActionStr->setText(*progressActionStrBeforePause_);
    }
    progressActionStrBeforePause_.reset();
    control->setImageName(segment, image);
}

void runDisplay::stopShown(uiSegmented *control) {
    progressActionStrBeforePause_.reset();
    if (c_.encProgressActionStr != nullptr) {
        c_.encProgressActionStr->setText(QString());
    }
    control->setHidden(true);
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
