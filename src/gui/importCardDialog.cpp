#include "importCardDialog.h"

#include "cardImport/importWords.h"
#include "dialogs/colorThemes.h"
#include "platform/log.h"
#include "settings/localisation.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {

// Where cards are mounted for this user on a Linux desktop, for the card's chooser.
QString cardFolderStart() {
    const QString user = qEnvironmentVariable("USER");
    for (const QString &base : {QStringLiteral("/run/media/") + user,
                                QStringLiteral("/media/") + user, QStringLiteral("/media")}) {
        if (!user.isEmpty() && QDir(base).exists()) {
            return base;
        }
    }
    return QDir::homePath();
}

} // namespace

importCardDialog::importCardDialog(QWidget *parent) : QDialog(parent) {
    setWindowTitle(localizedStr(QStringLiteral("importCardTitle")));
    colorThemeMark(this);
    auto *form = new QFormLayout;
    const auto row = [&](const QString &key, QLineEdit *&field, const char *name) {
        field = new QLineEdit(this);
        field->setObjectName(QString::fromLatin1(name));
        field->setAccessibleName(localizedStr(key));
        auto *choose = new QPushButton(localizedStr(QStringLiteral("importCardChoose")), this);
        connect(choose, &QPushButton::clicked, this, [this, f = field] { chooseInto(f); });
        connect(field, &QLineEdit::textChanged, this, [this] { updateButtons(); });
        auto *line = new QHBoxLayout;
        line->addWidget(field, 1);
        line->addWidget(choose);
        form->addRow(localizedStr(key), line);
    };
    row(QStringLiteral("importCardCard"), card_, "importCard");
    row(QStringLiteral("importCardArchive"), archive_, "importArchive");
    row(QStringLiteral("importCardArchive2"), archive2_, "importArchive2");

    progress_ = new QProgressBar(this);
    progress_->setRange(0, 1000);
    progress_->setValue(0);
    progress_->setAccessibleName(localizedStr(QStringLiteral("importCardTitle")));
    current_ = new QLabel(this);
    current_->setTextFormat(Qt::PlainText);
    verdict_ = new QLabel(this);
    verdict_->setObjectName(QStringLiteral("importVerdict"));
    verdict_->setTextFormat(Qt::PlainText);
    verdict_->setWordWrap(true);
    QFont bold = verdict_->font();
    bold.setBold(true);
    verdict_->setFont(bold);
    details_ = new QPlainTextEdit(this);
    details_->setReadOnly(true);
    details_->setMinimumHeight(120);

    auto *buttons = new QDialogButtonBox(this);
    import_ = buttons->addButton(localizedStr(QStringLiteral("importCardGo")),
                                 QDialogButtonBox::AcceptRole);
    importConvert_ = buttons->addButton(localizedStr(QStringLiteral("importCardGoConvert")),
                                        QDialogButtonBox::ActionRole);
    stop_ = buttons->addButton(localizedStr(QStringLiteral("importCardStop")),
                               QDialogButtonBox::ActionRole);
    QPushButton *close = buttons->addButton(QDialogButtonBox::Close);
    import_->setDefault(true);
    connect(import_, &QPushButton::clicked, this, [this] { startImport(then::nothing); });
    connect(importConvert_, &QPushButton::clicked, this, [this] { startImport(then::convert); });
    connect(stop_, &QPushButton::clicked, this, &importCardDialog::stopImport);
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(progress_);
    layout->addWidget(current_);
    layout->addWidget(verdict_);
    layout->addWidget(details_, 1);
    layout->addWidget(buttons);
    resize(640, 420);
    updateButtons();
}

importCardDialog::~importCardDialog() {
    stopAsked_ = true;
    if (worker_.joinable()) {
        worker_.join();
    }
}

void importCardDialog::setCard(const QString &card) {
    card_->setText(card);
}

QString importCardDialog::card() const {
    return card_->text();
}

void importCardDialog::setArchives(const QString &first, const QString &second) {
    archive_->setText(first);
    archive2_->setText(second);
}

void importCardDialog::chooseInto(QLineEdit *field) {
    const QString start = field == card_ ? cardFolderStart()
                          : field->text().isEmpty()
                              ? QStandardPaths::writableLocation(QStandardPaths::MoviesLocation)
                              : field->text();
    const QString chosen = QFileDialog::getExistingDirectory(
        this, localizedStr(QStringLiteral("importCardChoose")), start);
    if (!chosen.isEmpty()) {
        field->setText(chosen);
    }
}

void importCardDialog::updateButtons() {
    const bool busy = running();
    const bool ready =
        !busy && !card_->text().trimmed().isEmpty() && !archive_->text().trimmed().isEmpty();
    import_->setEnabled(ready);
    importConvert_->setEnabled(ready);
    stop_->setEnabled(busy);
    for (QLineEdit *field : {card_, archive_, archive2_}) {
        field->setReadOnly(busy);
    }
}

void importCardDialog::startImport(then next) {
    if (running() || !import_->isEnabled()) {
        return;
    }
    next_ = next;
    const std::string card = QFile::encodeName(card_->text().trimmed()).toStdString();
    std::vector<std::string> archives{QFile::encodeName(archive_->text().trimmed()).toStdString()};
    if (!archive2_->text().trimmed().isEmpty()) {
        archives.push_back(QFile::encodeName(archive2_->text().trimmed()).toStdString());
    }
    stopAsked_ = false;
    result_.reset();
    verdict_->clear();
    details_->clear();
    progress_->setValue(0);
    logStr(QStringLiteral("import card         : %1").arg(card_->text()));
    // The core works on its own thread; what it reports comes back through the event loop, one
    // progress update at a time so a fast copy never floods the window.
    worker_ = std::thread([this, card, archives] {
        cardImportResult result =
            cardImportRun(card, archives, QCoreApplication::applicationVersion(),
                          [this](const importProgressValue &value) {
                              if (!progressPending_.exchange(true)) {
                                  QMetaObject::invokeMethod(
                                      this,
                                      [this, value] {
                                          progressPending_ = false;
                                          showProgress(value);
                                      },
                                      Qt::QueuedConnection);
                              }
                              return !stopAsked_.load();
                          });
        QMetaObject::invokeMethod(
            this,
            [this, result = std::move(result)] {
                if (worker_.joinable()) {
                    worker_.join();
                }
                showResult(result);
            },
            Qt::QueuedConnection);
    });
    updateButtons();
}

void importCardDialog::stopImport() {
    stopAsked_ = true;
}

void importCardDialog::showProgress(const importProgressValue &value) {
    if (value.bytesTotal > 0) {
        progress_->setValue(static_cast<int>(1000 * value.bytesDone / value.bytesTotal));
    }
    current_->setText(QStringLiteral("[%1/%2] %3")
                          .arg(value.fileNumber)
                          .arg(value.fileCount)
                          .arg(importPathText(value.path)));
}

void importCardDialog::showResult(const cardImportResult &result) {
    result_ = result;
    const QStringList lines = importResultLines(result);
    if (result.safeToFormat) {
        QStringList copies;
        for (const archiveImportOutcome &archive : result.archives) {
            copies << importPathText(archive.copyFolder);
        }
        verdict_->setText(localizedStr(QStringLiteral("importCardSafe"))
                              .arg(result.cardFiles)
                              .arg(copies.join(QStringLiteral(", "))));
        progress_->setValue(1000);
    } else {
        verdict_->setText(localizedStr(QStringLiteral("importCardNotSafe")));
    }
    details_->setPlainText(lines.join(QLatin1Char('\n')));
    current_->clear();
    logResume(QStringLiteral("\ncard import         : %1\n").arg(card_->text()) +
              QStringLiteral("                    : ") +
              lines.join(QStringLiteral("\n                    : ")) + QLatin1Char('\n'));
    updateButtons();
    Q_EMIT importEnded(result.safeToFormat);
    if (next_ == then::convert && result.refusal == importRefusal::none &&
        result.stop == importStop::none && !result.archives.empty()) {
        Q_EMIT convertCopy(importPathText(result.archives.front().copyFolder));
    }
}

QString importCardDialog::verdictText() const {
    return verdict_->text();
}

void importCardDialog::closeEvent(QCloseEvent *event) {
    // Closing stops the import: the worker ends after the block it reads and the file being
    // read back, without holding the window up meanwhile; the next import resumes.
    stopImport();
    event->accept();
}
