#include "updateWidgets.h"

#include "dialogs/colorThemes.h"
#include "platform/infoPlist.h"
#include "settings/localisation.h"
#include "update/updateRecord.h"
#include "update/webUtils.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

updateSheetDialog::updateSheetDialog(QWidget *mainWindow)
    : QDialog(mainWindow), offered_(new QLabel(this)), notes_(new QTextBrowser(this)),
      address_(new QLabel(this)), outcome_(new QLabel(this)), notice_(new QLabel(this)),
      bar_(new QProgressBar(this)), stopBt_(new QPushButton(this)),
      cancelBt_(new QPushButton(this)), downloadBt_(new QPushButton(this)),
      network_(new QNetworkAccessManager(this)), progress_(bar_), stop_(stopBt_),
      download_(downloadBt_) {
    setWindowModality(Qt::WindowModal);
    colorThemeMark(this);
    setWindowTitle(localizedStr(QStringLiteral("menuCheckUpdates")));
    // Release notes are shown as rich text only: no script, no remote resource is loaded.
    notes_->setOpenExternalLinks(true);
    notes_->setMinimumSize(480, 280);
    address_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    notice_->setWordWrap(true);
    notice_->setOpenExternalLinks(true);
    notice_->hide();
    outcome_->setWordWrap(true);
    bar_->setTextVisible(false);
    progress_.setIndeterminate(true);
    stopBt_->setText(localizedStr(QStringLiteral("btStop")));
    stopBt_->hide();
    cancelBt_->setText(localizedStr(QStringLiteral("D_Annuler")));
    downloadBt_->setText(localizedStr(QStringLiteral("D_download")));
    downloadBt_->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(bar_, 1);
    buttons->addWidget(stopBt_);
    buttons->addWidget(cancelBt_);
    buttons->addWidget(downloadBt_);
    auto *layout = new QVBoxLayout(this);
    offered_->setObjectName(QStringLiteral("updateOffered"));
    QFont bold = offered_->font();
    bold.setBold(true);
    offered_->setFont(bold);
    offered_->setWordWrap(true);
    offered_->hide();
    layout->addWidget(offered_);
    layout->addWidget(notes_, 1);
    layout->addWidget(notice_);
    layout->addWidget(address_);
    layout->addWidget(outcome_);
    layout->addLayout(buttons);

    QObject::connect(stopBt_, &QPushButton::clicked, this, [this] { webUtils::stopDL(&stop_); });
    QObject::connect(cancelBt_, &QPushButton::clicked, this,
                     [this] { iba_dl(offer_, this, &download_, true); });
    QObject::connect(downloadBt_, &QPushButton::clicked, this, [this] { download(); });
}

updateSheetDialog::~updateSheetDialog() = default;

bool updateSheetDialog::isVisible() const {
    return QDialog::isVisible();
}

void updateSheetDialog::show(const QString &downloadUrl, const QString &notesUrl,
                             const QString &notice) {
    address_->setText(downloadUrl);
    // Escaped for rich text, and shown as rich text: "&" reads "&", not "&amp;".
    notice_->setTextFormat(Qt::RichText);
    notice_->setText(notice.toHtmlEscaped());
    notice_->setVisible(!notice.isEmpty());
    downloadBt_->setVisible(notice.isEmpty());
    downloadBt_->setEnabled(true);
    loadNotes(notesUrl);
    QDialog::open();
}

void updateSheetDialog::close() {
    QDialog::hide();
}

void updateSheetDialog::setOutcomeText(const QString &text) {
    outcome_->setText(text);
}

void updateSheetDialog::bringMainWindowBack() {
    if (QWidget *window = parentWidget()) {
        if (window->isMinimized()) {
            window->showNormal();
        }
        window->raise();
    }
}

void updateSheetDialog::checkForUpdates(bool userAsked) {
    if (checking_) {
        return;
    }
    checking_ = true;
    if (onCheckingChanged) {
        onCheckingChanged(true);
    }
    iba_checkForUpdatesAsync(
        userAsked, this, this,
        [this](const updateCheckResult &result) {
            checking_ = false;
            if (onCheckingChanged) {
                onCheckingChanged(false);
            }
            // A check that found nothing keeps the offer the sheet may be showing.
            if (result.status == updateCheckStatus::Offered || !QDialog::isVisible()) {
                offer_ = result;
                showOfferedVersion(offer_);
            }
            if (onChecked) {
                onChecked(result);
            }
        },
        limits_);
}

void updateSheetDialog::showOfferedVersion(const updateCheckResult &offer) {
    if (offer.status != updateCheckStatus::Offered) {
        offered_->hide();
        return;
    }
    offered_->setText(
        localizedStr(QStringLiteral("DL_versionOffered"))
            .arg(offer.version, infoPlistStr(QStringLiteral("CFBundleShortVersionString"))));
    offered_->show();
}

void updateSheetDialog::download() {
    const updateInstallResult result = iba_dl(offer_, this, &download_, false);
    if (result.status == updateInstallStatus::AppInstalled && onAppInstalled) {
        onAppInstalled(result.replacement);
    }
    if (result.status == updateInstallStatus::Failed ||
        result.status == updateInstallStatus::NotAnswering ||
        result.status == updateInstallStatus::ToolInstalled ||
        result.status == updateInstallStatus::NoApplication) {
        checkForUpdates(false);
    }
}

void updateSheetDialog::loadNotes(const QString &url) {
    notes_->clear();
    // The notes come from the site as its record does: over HTTPS, never redirected to HTTP.
    if (!updateUrlIsSecure(url)) {
        return;
    }
    QNetworkRequest request{QUrl(url)};
    request.setTransferTimeout(30000);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = network_->get(request);
    QObject::connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (reply->error() == QNetworkReply::NoError) {
            notes_->setHtml(QString::fromUtf8(reply->read(4 * 1024 * 1024)));
        }
    });
}
