// The window's alerts and open panels: window-modal message boxes on the main window, a timed
// alert counting its seconds down on its default button, the apply-to-all check box.
#pragma once

#include "frontApi/alerts.h"

#include <QPointer>
#include <QWidget>

class guiWindowPresenter : public alertPresenter {
public:
    explicit guiWindowPresenter(QWidget *window) : window_(window) {}
    alertOutcome present(const alertPlan &plan) override;
    std::optional<QString> chooseFile(const QString &title, const QStringList &extensions) override;
    std::optional<QStringList> chooseFilesFolders(const QString &title,
                                                  const QStringList &types) override;
    std::optional<QString> chooseFolder(const QString &title) override;

private:
    QWidget *window_;
};
