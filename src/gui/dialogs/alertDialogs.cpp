#include "dialogs/alertDialogs.h"

#include "dialogs/accessibility.h"
#include "dialogs/colorThemes.h"
#include "dialogs/images.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "settings/localisation.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

#include <cmath>

namespace {

constexpr int tickMs = 100;

QLabel *plainLabel(const QString &text, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A dialog over the window, or over the whole application while there is no window.
void makeModalOn(QWidget *dialog, QWidget *window) {
    dialog->setWindowModality(window != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
}

} // namespace

QString alertIconName(const alertPlan &plan) {
    if (plan.critical) {
        return QStringLiteral("alertCritical");
    }
    if (plan.warning) {
        return QStringLiteral("alertWarning");
    }
    return alertAsks(plan) ? QStringLiteral("alertQuestion") : QStringLiteral("alertNote");
}

QString alertDefaultButtonTitle() {
    return localizedStr(QStringLiteral("D_ok"));
}

alertDialog::alertDialog(const alertPlan &plan, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), plan_(plan) {
    setObjectName(QStringLiteral("alertDialog"));
    accessibilityInstall();
    colorThemeMark(this);
    setWindowTitle(appNameStr());
    // A screen reader announces the alert by its title and reads its message.
    setAccessibleName(plan.title);
    setAccessibleDescription(plan.message);
    makeModalOn(this, parent);

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("alertIcon"));
    const QString iconName = alertIconName(plan);
    icon->setPixmap(imageNamed(iconName).pixmap(QSize(48, 48), devicePixelRatioF()));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto *title = plainLabel(plan.title, this);
    title->setObjectName(QStringLiteral("alertTitle"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto *message = plainLabel(plan.message, this);
    message->setObjectName(QStringLiteral("alertMessage"));
    message->setHidden(plan.message.isEmpty());

    auto *texts = new QVBoxLayout;
    texts->addWidget(title);
    texts->addWidget(message);
    if (plan.checkbox) {
        checkBox_ = new QCheckBox(plan.checkboxTitle.isEmpty()
                                      ? localizedStr(QStringLiteral("D_suppressAlert"))
                                      : plan.checkboxTitle,
                                  this);
        checkBox_->setObjectName(QStringLiteral("alertCheckBox"));
        texts->addWidget(checkBox_);
    }
    texts->addStretch(1);

    // Buttons right-aligned, the default one rightmost, the others to its left in plan order.
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    const QStringList titles = plan.buttons.isEmpty() ? QStringList{QString()} : plan.buttons;
    for (qsizetype i = 0; i < titles.size(); ++i) {
        QString text = titles[i];
        if (text.isEmpty() && i == 0) {
            text = alertDefaultButtonTitle();
        }
        auto *button = new QPushButton(this);
        // Titles are plain texts: a "&" is shown, not taken as a shortcut mark.
        button->setText(QString(text).replace(QLatin1Char('&'), QStringLiteral("&&")));
        button->setObjectName(QStringLiteral("alertButton%1").arg(i));
        button->setAutoDefault(false);
        const auto index = static_cast<int32_t>(i);
        connect(button, &QPushButton::clicked, this, [this, index] { choose(index); });
        buttons_ << button;
    }
    for (qsizetype i = buttons_.size() - 1; i >= 0; --i) {
        row->addWidget(buttons_[i]);
    }
    buttons_[0]->setDefault(true);
    buttons_[0]->setFocus();
    defaultTitle_ = buttons_[0]->text();

    auto *body = new QHBoxLayout;
    body->addWidget(icon, 0, Qt::AlignTop);
    body->addLayout(texts, 1);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(body, 1);
    outer->addLayout(row);
    setMinimumWidth(420);

    if (plan.timed && plan.timeoutSeconds > 0) {
        timer_ = new QTimer(this);
        timer_->setInterval(tickMs);
        connect(timer_, &QTimer::timeout, this, &alertDialog::tick);
        clock_.start();
        timer_->start();
        showCountdown();
    }
}

int32_t alertDialog::secondsLeft() const {
    if (timer_ == nullptr) {
        return 0;
    }
    const double left = plan_.timeoutSeconds - static_cast<double>(clock_.elapsed()) / 1000.0;
    return left <= 0 ? 0 : static_cast<int32_t>(std::ceil(left));
}

void alertDialog::reject() {
    if (buttons_.size() == 1) {
        choose(0);
    } else if (plan_.cancelButton >= 0 && plan_.cancelButton < buttons_.size()) {
        choose(plan_.cancelButton);
    }
}

void alertDialog::choose(int32_t index) {
    if (timer_ != nullptr) {
        timer_->stop();
    }
    outcome_.button = index;
    outcome_.checked = checkBox_ != nullptr && checkBox_->isChecked();
    done(QDialog::Accepted);
}

void alertDialog::tick() {
    // The real time that passed, not the number of ticks: a busy event loop delivers fewer.
    if (static_cast<double>(clock_.elapsed()) >= plan_.timeoutSeconds * 1000.0) {
        timer_->stop();
        outcome_.button = -1;
        outcome_.checked = checkBox_ != nullptr && checkBox_->isChecked();
        done(QDialog::Rejected);
        return;
    }
    showCountdown();
}

void alertDialog::showCountdown() {
    buttons_[0]->setText(QStringLiteral("%1 (%2)").arg(defaultTitle_).arg(secondsLeft()));
}

namespace {

/// The file dialog of the Open panel: its Open takes a selection of folders and files as it
/// is (Qt's own would enter the first folder and drop the rest); a single folder is entered
/// as usual.
class filesFoldersDialog : public QFileDialog {
public:
    filesFoldersDialog(QWidget *parent, const QString &title, const QString &folder,
                       std::function<bool(const QStringList &)> takeMixed)
        : QFileDialog(parent, title, folder), takeMixed_(std::move(takeMixed)) {}

    void accept() override {
        if (takeMixed_ && takeMixed_(selectedFiles())) {
            QDialog::done(QDialog::Accepted);
            return;
        }
        QFileDialog::accept();
    }

private:
    std::function<bool(const QStringList &)> takeMixed_;
};

} // namespace

QStringList filesFoldersChosen(const QStringList &selected, const QString &shownFolder) {
    QStringList chosen;
    for (const QString &path : selected) {
        const QString clean = QDir::cleanPath(path);
        if (!path.isEmpty() && QFileInfo::exists(clean) && !chosen.contains(clean)) {
            chosen << clean;
        }
    }
    if (chosen.isEmpty() && !shownFolder.isEmpty()) {
        chosen << QDir::cleanPath(shownFolder);
    }
    return chosen;
}

QString filesFoldersButtonKey(const QStringList &selected, const QString &shownFolder) {
    const QStringList chosen = filesFoldersChosen(selected, shownFolder);
    return chosen == QStringList{QDir::cleanPath(shownFolder)}
               ? QStringLiteral("D_panelOpenFolder")
               : QStringLiteral("D_panelOpenSelection");
}

filesFoldersPanel::filesFoldersPanel(const QString &title, const QStringList &types,
                                     QWidget *parent)
    : dialog_(new filesFoldersDialog(
          parent, title, QDir::homePath(), [this](const QStringList &selected) {
              // Several items, a folder among them: all of them.
              const bool mixed =
                  selected.size() > 1 &&
                  std::any_of(selected.cbegin(), selected.cend(),
                              [](const QString &path) { return QFileInfo(path).isDir(); });
              if (mixed) {
                  folders_ = filesFoldersChosen(selected, QString());
                  folderChosen_ = true;
              }
              return mixed;
          })) {
    dialog_->setObjectName(QStringLiteral("filesFoldersPanel"));
    dialog_->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog_->setFileMode(QFileDialog::ExistingFiles);
    dialog_->setAcceptMode(QFileDialog::AcceptOpen);
    makeModalOn(dialog_, parent);
    QStringList patterns;
    for (const QString &ext : extensionsWithCases(types)) {
        patterns << QStringLiteral("*.") + ext;
    }
    QStringList filters;
    if (!patterns.isEmpty()) {
        filters << localizedStr(QStringLiteral("D_panelMovies")) + QStringLiteral(" (") +
                       patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    filters << localizedStr(QStringLiteral("D_panelAllFiles")) + QStringLiteral(" (*)");
    dialog_->setNameFilters(filters);

    folderButton_ = new QPushButton(localizedStr(QStringLiteral("D_panelOpenFolder")), dialog_);
    folderButton_->setObjectName(QStringLiteral("folderButton"));
    folderButton_->setAutoDefault(false);
    if (auto *grid = qobject_cast<QGridLayout *>(dialog_->layout())) {
        grid->addWidget(folderButton_, grid->rowCount(), 0, 1, grid->columnCount(), Qt::AlignLeft);
    }
    // The button says what it answers: the folder shown, or what is selected in it.
    const auto name = [this] {
        folderButton_->setText(localizedStr(
            filesFoldersButtonKey(dialog_->selectedFiles(), dialog_->directory().absolutePath())));
    };
    QObject::connect(dialog_, &QFileDialog::currentChanged, folderButton_, name);
    QObject::connect(dialog_, &QFileDialog::directoryEntered, folderButton_, name);
    if (auto *nameEdit = dialog_->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))) {
        QObject::connect(nameEdit, &QLineEdit::textChanged, folderButton_, name);
    }
    QObject::connect(folderButton_, &QPushButton::clicked, dialog_, [this] {
        // Everything selected, folders and files alike (none is dropped without a word), or
        // the folder shown when nothing is selected.
        folders_ =
            filesFoldersChosen(dialog_->selectedFiles(), dialog_->directory().absolutePath());
        // The dialog's own accept would open a selected folder instead of answering it.
        folderChosen_ = true;
        dialog_->reject();
    });
}

filesFoldersPanel::~filesFoldersPanel() {
    delete dialog_;
}

std::optional<QStringList> filesFoldersPanel::run() {
    folderChosen_ = false;
    const int result = dialog_->exec();
    if (folderChosen_) {
        return folders_.isEmpty() ? std::nullopt : std::optional<QStringList>(folders_);
    }
    if (result == QDialog::Accepted && !dialog_->selectedFiles().isEmpty()) {
        return dialog_->selectedFiles();
    }
    return std::nullopt;
}

alertOutcome windowAlertPresenter::present(const alertPlan &plan) {
    if (plan.sheet) {
        // A sheet: shown over the window, answered at once; it deletes itself when closed.
        auto *dialog = new alertDialog(plan, window_);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &QDialog::finished, dialog, [dialog] {
            // The sheet's end, with the platform's answer codes (1000 for the first button).
            const int32_t code = dialog->outcome().button < 0 ? 0 : 1000 + dialog->outcome().button;
            if (code == 1000) {
                logStr(QStringLiteral("1m"));
            }
            logStr(QStringLiteral("2"));
            if (code != 0) {
                logStr(QStringLiteral("returnCode:%1").arg(code));
            }
        });
        dialog->open();
        return {0, false};
    }
    alertDialog dialog(plan, window_);
    dialog.exec();
    return dialog.outcome();
}

std::optional<QString> windowAlertPresenter::chooseFile(const QString &title,
                                                        const QStringList &extensions) {
    QFileDialog dialog(window_, title, QDir::homePath());
    makeModalOn(&dialog, window_);
    dialog.setFileMode(QFileDialog::ExistingFile);
    QStringList patterns;
    for (const QString &ext : extensions) {
        patterns << QStringLiteral("*.") + ext;
    }
    if (!patterns.isEmpty()) {
        dialog.setNameFilter(localizedStr(QStringLiteral("D_panelMovies")) + QStringLiteral(" (") +
                             patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

std::optional<QStringList> windowAlertPresenter::chooseFilesFolders(const QString &title,
                                                                    const QStringList &types) {
    filesFoldersPanel panel(title, types, window_);
    return panel.run();
}

std::optional<QString> windowAlertPresenter::chooseFolder(const QString &title) {
    // Destinations are movie folders: start in the user's videos folder when there is one.
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    QFileDialog dialog(window_, title,
                       !videos.isEmpty() && QFileInfo(videos).isDir() ? videos : QDir::homePath());
    makeModalOn(&dialog, window_);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString folder = dialog.selectedFiles().constFirst();
    return folder.isEmpty() ? std::nullopt : std::optional<QString>(folder);
}
