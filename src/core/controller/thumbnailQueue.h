// The thumbnails of new sources, made one after another beside the analysis and the conversion,
// each on a thread of its own with FFmpeg's libraries (no program start per source).
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

/// One thumbnail to make: the picture of `ffmpeg -ss SEEK -i SRC -vframes 1 -vf scale=W:H IMG`.
struct thumbnailJob {
    QString src;
    QString img;
    double seekSeconds = 0;
    int32_t width = 160;
    int32_t height = 90;
};

/// The queue of thumbnails: one job runs at a time, on a thread of its own; its end comes back
/// on the queue's thread. Every picture it writes is either reported as made or deleted: a job
/// cancelled while it runs, or stopped with the queue, leaves no picture behind.
class thumbnailQueue : public QObject {
public:
    /// The end of a job, on the queue's thread: its source, its picture's path and, when the
    /// picture was not made (it failed, or was cancelled while being made), why not.
    using endedCallback =
        std::function<void(const QString &src, const QString &img, const QString &failure)>;

    explicit thumbnailQueue(endedCallback ended, QObject *parent = nullptr);
    /// Stops the running job and waits for its thread; nothing more is reported.
    ~thumbnailQueue() override;
    thumbnailQueue(const thumbnailQueue &) = delete;
    thumbnailQueue &operator=(const thumbnailQueue &) = delete;

    /// Queues a job; it starts at once when none runs.
    void enqueue(thumbnailJob job);
    /// The picture img is not wanted any more: a queued job for it is dropped without a report,
    /// the running one is stopped (its end is reported as a failure and its picture deleted),
    /// and a picture made already is deleted.
    void cancel(const QString &img);
    /// Drops every queued job and stops the running one, waiting for its thread; no end of
    /// theirs is reported, and the running one's picture is deleted.
    void stop();
    /// True while a job runs or waits its turn.
    bool pending() const { return current_.has_value() || !queue_.isEmpty(); }
    /// True while the job for img runs or waits its turn.
    bool pending(const QString &img) const;

private:
    void next();
    /// The end of run `serial`, back on the queue's thread: a run stopped since (stop, a later
    /// run) is not the current one, and its end is dropped.
    void runEnded(uint64_t serial, const QString &failure);
    /// Asks the running job to stop and waits for its thread.
    void joinThread();

    endedCallback ended_;
    std::thread thread_;
    std::shared_ptr<std::atomic<bool>> cancelled_;
    uint64_t serial_ = 0;
    std::optional<thumbnailJob> current_;
    QList<thumbnailJob> queue_;
};
