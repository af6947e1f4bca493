#include "controller/thumbnailQueue.h"

#include "platform/utilsFile.h"
#include "toolbox/thumbnail.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <system_error>
#include <utility>

namespace {

void deletePicture(const QString &img) {
    if (QFileInfo::exists(img)) {
        rmCocoa(img);
    }
}

} // namespace

thumbnailQueue::thumbnailQueue(endedCallback ended, QObject *parent)
    : QObject(parent), ended_(std::move(ended)) {}

thumbnailQueue::~thumbnailQueue() {
    stop();
}

bool thumbnailQueue::pending(const QString &img) const {
    return (current_ && current_->img == img) ||
           std::any_of(queue_.cbegin(), queue_.cend(),
                       [&](const thumbnailJob &job) { return job.img == img; });
}

void thumbnailQueue::enqueue(thumbnailJob job) {
    queue_.append(std::move(job));
    if (!current_) {
        next();
    }
}

void thumbnailQueue::cancel(const QString &img) {
    queue_.removeIf([&](const thumbnailJob &job) { return job.img == img; });
    if (current_ && current_->img == img && cancelled_) {
        // Its end is reported as a failure, and the picture, made or not, is deleted then.
        cancelled_->store(true);
    } else {
        // Made already, while its source was still being probed.
        deletePicture(img);
    }
}

void thumbnailQueue::stop() {
    queue_.clear();
    joinThread();
    if (current_) {
        deletePicture(current_->img);
        current_.reset();
    }
}

void thumbnailQueue::joinThread() {
    if (cancelled_) {
        cancelled_->store(true);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    cancelled_.reset();
}

void thumbnailQueue::next() {
    if (current_ || queue_.isEmpty()) {
        return;
    }
    current_ = queue_.takeFirst();
    toolbox::ThumbnailRequest request;
    request.moviePath = QFile::encodeName(current_->src).toStdString();
    request.seekSeconds = current_->seekSeconds;
    request.width = current_->width;
    request.height = current_->height;
    request.picturePath = QFile::encodeName(current_->img).toStdString();
    joinThread();
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    cancelled_ = cancelled;
    const uint64_t serial = ++serial_;
    // The thread's last act is to post its end to this queue's thread; the queue joins it
    // (stop, its destructor) before it goes away.
    try {
        thread_ = std::thread([this, request, cancelled, serial] {
            const toolbox::MovieStatus status =
                toolbox::writeThumbnail(request, [cancelled] { return cancelled->load(); });
            const QString failure =
                status.ok() ? QString() : QString::fromStdString(status.message);
            QMetaObject::invokeMethod(
                this, [this, serial, failure] { runEnded(serial, failure); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error &error) {
        // No thread to be had: this picture is not made, the next one may be.
        QMetaObject::invokeMethod(
            this,
            [this, serial, why = QString::fromLocal8Bit(error.what())] {
                runEnded(serial, QStringLiteral("no thread: %1").arg(why));
            },
            Qt::QueuedConnection);
    }
}

void thumbnailQueue::runEnded(uint64_t serial, const QString &failure) {
    if (serial != serial_ || !current_) {
        return;
    }
    // The thread has posted this and ends now.
    const bool cancelled = cancelled_ && cancelled_->load();
    if (thread_.joinable()) {
        thread_.join();
    }
    cancelled_.reset();
    const thumbnailJob done = std::move(*current_);
    current_.reset();
    QString why = failure;
    if (cancelled) {
        // Cancelled after the picture was written, or while it was: not wanted either way.
        deletePicture(done.img);
        if (why.isEmpty()) {
            why = QStringLiteral("thumbnail cancelled");
        }
    }
    if (ended_) {
        ended_(done.src, done.img, why);
    }
    next();
}
