// The windows behind the core's alerts (frontApi/alerts.h): window-modal dialogs on the main
// window, sheets that return at once, timed alerts that answer with their default button when
// nobody clicks (the seconds left shown on that button), the apply-to-all check box, and the
// open panels. Texts are shown as plain text: "%", "<" and "&" appear as they are.
#pragma once

#include "frontApi/alerts.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>

class QCheckBox;
class QFileDialog;
class QLabel;
class QPushButton;
class QTimer;

/// One alert as a dialog. exec() returns when a button is clicked or the time is up; outcome()
/// says which.
class alertDialog : public QDialog {
    Q_OBJECT

public:
    alertDialog(const alertPlan &plan, QWidget *parent);

    alertOutcome outcome() const { return outcome_; }
    /// The dialog's buttons in the plan's order (the first is the default one).
    QPushButton *planButton(int32_t index) const { return buttons_.value(index); }
    QCheckBox *checkBox() const { return checkBox_; }
    /// Whole seconds left before the alert answers by itself (0 for an untimed alert).
    int32_t secondsLeft() const;
    /// The default button's title without the count.
    QString defaultTitle() const { return defaultTitle_; }

    /// Closing the window or Escape answers an alert with a single button, and the Cancel
    /// button of a question that has one; another choice waits for a click.
    void reject() override;

private:
    void choose(int32_t index);
    void tick();
    void showCountdown();

    alertPlan plan_;
    alertOutcome outcome_;
    QList<QPushButton *> buttons_;
    QCheckBox *checkBox_ = nullptr;
    QTimer *timer_ = nullptr;
    QElapsedTimer clock_;
    QString defaultTitle_;
};

/// The picture of an alert: the critical or the warning sign, a question mark for an alert that
/// asks (more than one button), else the note.
QString alertIconName(const alertPlan &plan);

/// The title the platform gives a button without one ("OK", translated).
QString alertDefaultButtonTitle();

/// What the Open panel answers for a selection: each selected path that exists, folders and
/// files alike, once; the folder shown when nothing is selected.
QStringList filesFoldersChosen(const QStringList &selected, const QString &shownFolder);

/// The words of the panel's folder button for what it would answer: "Open This Folder" when
/// that is the folder shown, "Open the Selection" for the items selected (the button's key).
QString filesFoldersButtonKey(const QStringList &selected, const QString &shownFolder);

/// An open panel for files and folders at once: a non-native file dialog (a native one takes
/// either files or folders) whose Open takes folders and files selected together (a single
/// folder is entered), with an extra button that answers everything selected, or the folder
/// shown when nothing is. Exposed for tests.
class filesFoldersPanel : public QObject {
    Q_OBJECT

public:
    filesFoldersPanel(const QString &title, const QStringList &types, QWidget *parent);
    ~filesFoldersPanel() override;
    filesFoldersPanel(const filesFoldersPanel &) = delete;
    filesFoldersPanel &operator=(const filesFoldersPanel &) = delete;

    QFileDialog *dialog() const { return dialog_; }
    QPushButton *folderButton() const { return folderButton_; }
    /// Runs the panel; the chosen paths, or nothing when cancelled.
    std::optional<QStringList> run();

private:
    QFileDialog *dialog_ = nullptr;
    QPushButton *folderButton_ = nullptr;
    QStringList folders_;
    bool folderChosen_ = false;
};

/// The graphical front's presenter: every alert and panel is window-modal on the window that
/// `setWindow` names (application-modal while there is none).
class windowAlertPresenter : public alertPresenter {
public:
    void setWindow(QWidget *window) { window_ = window; }
    QWidget *window() const { return window_; }

    alertOutcome present(const alertPlan &plan) override;
    std::optional<QString> chooseFile(const QString &title, const QStringList &extensions) override;
    std::optional<QStringList> chooseFilesFolders(const QString &title,
                                                  const QStringList &types) override;
    std::optional<QString> chooseFolder(const QString &title) override;

private:
    QPointer<QWidget> window_;
};
