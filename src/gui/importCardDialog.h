// File > Import Card...: the card and one or two archive folders, the import run by the core
// (cardImportRun) on a worker thread with its progress, a Stop button, and the verdict: "Safe to
// format" with the counts and the copies' paths only when every file is verified in every
// archive, else what failed. The window stays usable meanwhile; closing the dialog stops the
// import (its working files deleted, the next import resumes) without waiting for it.
#pragma once

#include "cardImport/cardImport.h"

#include <QDialog>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

class importCardDialog : public QDialog {
    Q_OBJECT
public:
    explicit importCardDialog(QWidget *parent = nullptr);
    ~importCardDialog() override;
    importCardDialog(const importCardDialog &) = delete;
    importCardDialog &operator=(const importCardDialog &) = delete;

    /// The fields, as the Choose buttons fill them.
    void setCard(const QString &card);
    [[nodiscard]] QString card() const;
    void setArchives(const QString &first, const QString &second = QString());

    /// What follows the import.
    enum class then { nothing, convert };
    /// Starts the import of the fields (the Import button; with convert, Import and Convert);
    /// nothing without a card and an archive, or while one runs.
    void startImport(then next = then::nothing);
    /// Asks the running import to stop (the Stop button).
    void stopImport();
    [[nodiscard]] bool running() const { return worker_.joinable(); }
    /// The last import's result, once it ended.
    [[nodiscard]] const std::optional<cardImportResult> &result() const { return result_; }
    /// The verdict line shown ("Safe to format: ..." / "Not safe to format: ...").
    [[nodiscard]] QString verdictText() const;
    [[nodiscard]] QPushButton *importButton() const { return import_; }
    [[nodiscard]] QPushButton *importConvertButton() const { return importConvert_; }

Q_SIGNALS:
    /// The import ended (stopped, refused or done); `safe` is the typed verdict.
    void importEnded(bool safe);
    /// Import and Convert: the import ended without a stop; the first archive's copy (only
    /// verified files are under their names there) goes to the window's batch.
    void convertCopy(const QString &copyFolder);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void chooseInto(QLineEdit *field);
    void updateButtons();
    void showProgress(const importProgressValue &value);
    void showResult(const cardImportResult &result);

    QLineEdit *card_ = nullptr;
    QLineEdit *archive_ = nullptr;
    QLineEdit *archive2_ = nullptr;
    QProgressBar *progress_ = nullptr;
    QLabel *current_ = nullptr;
    QLabel *verdict_ = nullptr;
    QPlainTextEdit *details_ = nullptr;
    QPushButton *import_ = nullptr;
    QPushButton *importConvert_ = nullptr;
    QPushButton *stop_ = nullptr;
    then next_ = then::nothing;
    std::thread worker_;
    std::atomic<bool> stopAsked_{false};
    std::atomic<bool> progressPending_{false};
    std::optional<cardImportResult> result_;
};
