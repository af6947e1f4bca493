#include "guiPresenter.h"

#include "settings/localisation.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

alertOutcome guiWindowPresenter::present(const alertPlan &plan) {
    auto *box = new QMessageBox(window_);
    box->setTextFormat(Qt::PlainText);
    box->setIcon(plan.critical ? QMessageBox::Critical : QMessageBox::Information);
    box->setWindowTitle(QStringLiteral("Fluxaro"));
    box->setText(plan.title);
    box->setInformativeText(plan.message);
    box->setWindowModality(window_ != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    QList<QPushButton *> buttons;
    for (int i = 0; i < plan.buttons.size(); ++i) {
        const QString title = plan.buttons[i].isEmpty() ? QStringLiteral("OK") : plan.buttons[i];
        buttons << box->addButton(title,
                                  i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
    }
    if (!buttons.isEmpty()) {
        box->setDefaultButton(buttons.first());
    }
    if (plan.checkbox) {
        box->setCheckBox(new QCheckBox(plan.checkboxTitle.isEmpty()
                                           ? localizedStr(QStringLiteral("D_applyToAll"))
                                           : plan.checkboxTitle));
    }
    if (plan.sheet) {
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return {0, false};
    }
    int left = static_cast<int>(plan.timeoutSeconds);
    bool timedOut = false;
    QTimer countdown;
    if (plan.timed && !buttons.isEmpty()) {
        const QString title = buttons.first()->text();
        buttons.first()->setText(QStringLiteral("%1 (%2)").arg(title).arg(left));
        QObject::connect(&countdown, &QTimer::timeout, box, [&, title] {
            if (--left <= 0) {
                timedOut = true;
                box->done(-1);
                return;
            }
            buttons.first()->setText(QStringLiteral("%1 (%2)").arg(title).arg(left));
        });
        countdown.start(1000);
    }
    box->exec();
    countdown.stop();
    alertOutcome outcome;
    outcome.checked = box->checkBox() != nullptr && box->checkBox()->isChecked();
    outcome.button = timedOut ? -1
                              : static_cast<int32_t>(buttons.indexOf(
                                    qobject_cast<QPushButton *>(box->clickedButton())));
    if (!timedOut && outcome.button < 0) {
        // Escape or the window's close box: the default answer, as after the time-out.
        outcome.button = -1;
    }
    delete box;
    return outcome;
}

std::optional<QString> guiWindowPresenter::chooseFile(const QString &title,
                                                      const QStringList &extensions) {
    QStringList patterns;
    for (const QString &ext : extensions) {
        patterns << QStringLiteral("*.%1").arg(ext);
    }
    const QString path = QFileDialog::getOpenFileName(
        window_, title, QDir::homePath(), QStringLiteral("(%1)").arg(patterns.join(u' ')));
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

std::optional<QStringList> guiWindowPresenter::chooseFilesFolders(const QString &title,
                                                                  const QStringList &types) {
    QStringList patterns;
    for (const QString &ext : types) {
        patterns << QStringLiteral("*.%1").arg(ext);
    }
    const QStringList paths = QFileDialog::getOpenFileNames(
        window_, title, QDir::homePath(), QStringLiteral("(%1)").arg(patterns.join(u' ')));
    return paths.isEmpty() ? std::nullopt : std::optional<QStringList>(paths);
}

std::optional<QString> guiWindowPresenter::chooseFolder(const QString &title) {
    const QString path = QFileDialog::getExistingDirectory(window_, title, QDir::homePath());
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}
