#include "update/webUtils.h"

#include "frontApi/uiControls.h"
#include "platform/log.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <mutex>

namespace {

// The process-wide download state: the status is written by the download thread and by the
// stop button; the received-bytes counter is shared under the lock.
std::atomic<int32_t> gStatus{webUtils::statusFinished};
std::atomic<bool> gActive{false};
std::mutex gLock;
int64_t gReceived = 0;  // since the bar last moved (under gLock)
int64_t gExpected = -1; // the known length, -1 while unknown (under gLock)

// Runs on the download thread: one request, its body written to the file as it arrives.
class downloadWorker : public QObject {
public:
    downloadWorker(QUrl url, QString path, webDownloadLimits limits, webDownloadExpect expect)
        : url_(std::move(url)), path_(std::move(path)), limits_(limits),
          expect_(std::move(expect)) {}

    void start() {
        manager_ = new QNetworkAccessManager(this);
        file_ = new QFile(path_, this);
        // An existing file is replaced by a new one, never written through (O_EXCL does not
        // follow a link at the name).
        QFile::remove(path_);
        if (!file_->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            fail(QStringLiteral("cannot write %1").arg(path_));
            return;
        }
        QNetworkRequest request(url_);
        // Each redirect is looked at before it is followed: only to another HTTPS address.
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::UserVerifiedRedirectPolicy);
        request.setMaximumRedirectsAllowed(limits_.maxRedirects);
        request.setTransferTimeout(limits_.stallTimeoutMs);
        // The body is saved as sent: no content decoding.
        request.setRawHeader("Accept-Encoding", "identity");
        reply_ = manager_->get(request);
        QObject::connect(reply_, &QNetworkReply::redirected, this,
                         [this](const QUrl &to) { onRedirect(to); });
        QObject::connect(reply_, &QNetworkReply::metaDataChanged, this, [this] { onHeaders(); });
        QObject::connect(reply_, &QNetworkReply::readyRead, this, [this] { onData(); });
        QObject::connect(reply_, &QNetworkReply::finished, this, [this] { onFinished(); });
        // The stop button only sets the status; the download notices it here.
        auto *poll = new QTimer(this);
        QObject::connect(poll, &QTimer::timeout, this, [this] {
            if (gStatus.load() == webUtils::statusCancelled && reply_ != nullptr &&
                reply_->isRunning()) {
                reply_->abort();
            }
        });
        poll->start(20);
    }

private:
    void onRedirect(const QUrl &to) {
        if (failed_) {
            return;
        }
        if (to.scheme() != QLatin1String("https") || to.host().isEmpty()) {
            fail(QStringLiteral("redirect to %1 refused: not an HTTPS address")
                     .arg(to.toDisplayString()));
            return;
        }
        Q_EMIT reply_->redirectAllowed();
    }

    void onHeaders() {
        if (failed_) {
            return;
        }
        const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
        const int httpStatus = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (httpStatus < 200 || httpStatus >= 300) {
            return;
        }
        if (length.isValid()) {
            announced_ = length.toLongLong();
            if (announced_ > limits_.maxBytes) {
                fail(QStringLiteral("announced length %1 is above the limit").arg(announced_));
                return;
            }
            if (expect_.length >= 0 && announced_ != expect_.length) {
                fail(QStringLiteral("announced length %1 is not the expected %2")
                         .arg(announced_)
                         .arg(expect_.length));
                return;
            }
        }
        std::lock_guard<std::mutex> guard(gLock);
        gExpected = knownLength();
    }

    // The length the file must have: the expected one, else the announced one (-1: unknown).
    int64_t knownLength() const { return expect_.length >= 0 ? expect_.length : announced_; }

    void onData() {
        if (failed_ || !reply_->isOpen()) {
            return;
        }
        const QByteArray block = reply_->readAll();
        total_ += block.size();
        {
            std::lock_guard<std::mutex> guard(gLock);
            gReceived += block.size();
        }
        logDebug(QStringLiteral("(DL en cours)"));
        logDebug(QStringLiteral("actuel length        %1").arg(total_));
        const int64_t expected = knownLength();
        if ((expected >= 0 && total_ > expected) || total_ > limits_.maxBytes) {
            fail(QStringLiteral("more data than announced"));
            return;
        }
        hash_.addData(block);
        if (file_->write(block) != block.size()) {
            fail(QStringLiteral("cannot write %1").arg(path_));
        }
    }

    void onFinished() {
        if (failed_) {
            return;
        }
        onData();
        if (failed_) {
            return;
        }
        if (reply_->error() != QNetworkReply::NoError) {
            if (gStatus.load() == webUtils::statusCancelled) {
                end(webUtils::statusCancelled);
            } else {
                fail(reply_->errorString());
            }
            return;
        }
        const int httpStatus = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (httpStatus != 0 && (httpStatus < 200 || httpStatus >= 300)) {
            fail(QStringLiteral("HTTP status %1").arg(httpStatus));
            return;
        }
        const int64_t expected = knownLength();
        if (expected < 0) {
            // Nobody said how long the file is: a cut-short answer could not be told apart.
            fail(QStringLiteral("the length of the file is not known"));
            return;
        }
        if (total_ != expected || (announced_ >= 0 && total_ != announced_)) {
            fail(QStringLiteral("%1 bytes received of %2 announced").arg(total_).arg(expected));
            return;
        }
        if (!expect_.sha256.isEmpty() && hash_.result() != expect_.sha256) {
            fail(QStringLiteral("the SHA-256 %1 is not the expected %2")
                     .arg(QString::fromLatin1(hash_.result().toHex()),
                          QString::fromLatin1(expect_.sha256.toHex())));
            return;
        }
        if (!file_->flush()) {
            fail(QStringLiteral("cannot write %1").arg(path_));
            return;
        }
        file_->close();
        end(webUtils::statusFinished);
    }

    void fail(const QString &why) {
        failed_ = true;
        logStr(QStringLiteral("download            :-( %1").arg(why));
        if (reply_ != nullptr && reply_->isRunning()) {
            reply_->abort();
        }
        end(gStatus.load() == webUtils::statusCancelled ? webUtils::statusCancelled
                                                        : webUtils::statusFailed);
    }

    void end(int32_t status) {
        if (ended_) {
            return;
        }
        ended_ = true;
        if (status != webUtils::statusFinished) {
            file_->close();
            file_->remove();
        }
        int32_t running = webUtils::statusRunning;
        // A cancellation set by the stop button stays a cancellation.
        if (!gStatus.compare_exchange_strong(running, status) &&
            status == webUtils::statusFinished) {
            file_->remove();
        }
        QThread::currentThread()->quit();
    }

    QUrl url_;
    QString path_;
    webDownloadLimits limits_;
    webDownloadExpect expect_;
    QNetworkAccessManager *manager_ = nullptr;
    QNetworkReply *reply_ = nullptr;
    QFile *file_ = nullptr;
    QCryptographicHash hash_{QCryptographicHash::Sha256};
    int64_t announced_ = -1; // the server's Content-Length, -1 while unknown
    int64_t total_ = 0;
    bool failed_ = false;
    bool ended_ = false;
};

} // namespace

int32_t webUtils::downloadURL(const QString &url, const QString &path, uiProgressBar *bar,
                              uiButton *stopBt, bool verbose, const webDownloadLimits &limits,
                              const webDownloadExpect &expect) {
    if (gActive.exchange(true)) {
        logStr(QStringLiteral("download            :-( a download is already running"));
        return 2;
    }
    const bool showing = verbose && stopBt != nullptr;
    if (verbose) {
        logStr(QStringLiteral("arg adresse         : %1").arg(url));
        logStr(QStringLiteral("arg path            : %1").arg(path));
    }
    {
        std::lock_guard<std::mutex> guard(gLock);
        gReceived = 0;
        gExpected = -1;
    }
    gStatus.store(statusRunning);
    if (showing) {
        stopBt->setEnabled(true);
        stopBt->setHidden(false);
        if (bar != nullptr) {
            bar->setIndeterminate(true);
            bar->setAnimating(true);
        }
    }

    const QUrl address(url, QUrl::StrictMode);
    QThread thread;
    if (!address.isValid() || address.host().isEmpty()) {
        logStr(QStringLiteral("download            :-( malformed address %1").arg(url));
        gStatus.store(statusFailed);
    } else if (address.scheme() != QLatin1String("https")) {
        logStr(QStringLiteral("download            :-( not an HTTPS address: %1").arg(url));
        gStatus.store(statusFailed);
    } else if (expect.length > limits.maxBytes) {
        logStr(QStringLiteral("download            :-( expected length %1 is above the limit")
                   .arg(expect.length));
        gStatus.store(statusFailed);
    } else {
        auto *worker = new downloadWorker(address, path, limits, expect);
        worker->moveToThread(&thread);
        QObject::connect(&thread, &QThread::started, worker, [worker] { worker->start(); });
        QObject::connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
        thread.start();
    }

    bool determinate = false;
    double shownPercent = 0;
    double loggedPercent = 0;
    while (gStatus.load() == statusRunning || thread.isRunning()) {
        QThread::msleep(50);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::lock_guard<std::mutex> guard(gLock);
        if (bar == nullptr) {
            gReceived = 0;
            continue;
        }
        if (gExpected > 0 && !determinate) {
            determinate = true;
            if (verbose) {
                logStr(QStringLiteral("ca va demarrer…"));
            }
            bar->setIndeterminate(false);
            bar->setMinValue(0);
            bar->setMaxValue(100);
            bar->setValue(0);
        }
        if (determinate && gReceived > 0) {
            shownPercent += static_cast<double>(gReceived) * 100.0 / static_cast<double>(gExpected);
            bar->setValue(shownPercent);
            if (verbose && shownPercent - loggedPercent > 4) {
                loggedPercent = shownPercent;
                logStr(QStringLiteral("DL in progress       : %1")
                           .arg(static_cast<int>(shownPercent)));
            }
        }
        gReceived = 0;
    }
    thread.wait();
    // Events the worker posted to objects of this thread before it ended.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    const int32_t status = gStatus.load();
    if (status != statusFinished) {
        QFile::remove(path);
        logStr(QStringLiteral("err… :-("));
    }
    logStr(QStringLiteral("lock release"));
    if (showing) {
        stopBt->setHidden(true);
        if (bar != nullptr) {
            bar->setIndeterminate(true);
            bar->setAnimating(false);
        }
    }
    logStr(QStringLiteral("%1").arg(status - 1));
    gActive.store(false);
    return status - 1;
}

void webUtils::stopDL(uiButton *stopBt) {
    logDebug(QStringLiteral("c'est fini          :-( annulation - debut"));
    if (stopBt != nullptr) {
        stopBt->setEnabled(false);
    }
    if (!gActive.load()) {
        return;
    }
    int32_t running = statusRunning;
    gStatus.compare_exchange_strong(running, statusCancelled);
}

void webUtils::stopFromSignal() {
    if (!gActive.load()) {
        return;
    }
    int32_t running = statusRunning;
    gStatus.compare_exchange_strong(running, statusCancelled);
}
