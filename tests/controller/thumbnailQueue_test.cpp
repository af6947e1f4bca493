// The thumbnail queue with the real FFmpeg libraries on a movie made by the ffmpeg program:
// jobs run one after another and end on the queue's thread; a job cancelled while it waits
// never reports; one cancelled while it runs, or stopped with the queue, leaves no picture; and
// the end of a run stopped since is never taken for the next run's.
#include "controller/thumbnailQueue.h"

#include "testEnv.h"
#include "testMedia.h"

#include <QFileInfo>
#include <QList>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

namespace {

/// Two seconds of test pattern, made once.
const QString &shortMovie() {
    static testmedia::TempDir folder;
    static const QString path = [] {
        const std::string clip = folder / "short movie.mp4";
        return testmedia::ffmpeg("-f lavfi -i testsrc=s=320x180:r=25:d=2 -c:v libx264 "
                                 "-pix_fmt yuv420p",
                                 clip)
                   ? QString::fromStdString(clip)
                   : QString();
    }();
    return path;
}

struct jobEnd {
    QString src;
    QString img;
    QString failure;
    bool onQueueThread = false;
};

class thumbnails : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(shortMovie().isEmpty()); }

    QString picture(const std::string &name) const {
        return QString::fromStdString(folder / (name + ".jpg"));
    }
    static thumbnailJob job(const QString &img, const QString &src = shortMovie()) {
        return {src, img, 1.0, 160, 90};
    }
    bool settle() {
        return spinUntil([this] { return !queue.pending(); }, 60000);
    }
    /// Waits, without handling the queue's events, until the running job's picture is there:
    /// its end is then on its way, not yet handled.
    static bool writtenMeanwhile(const QString &img) {
        for (int i = 0; i < 3000 && !QFileInfo::exists(img); ++i) {
            QThread::msleep(10);
        }
        QThread::msleep(200);
        return QFileInfo::exists(img);
    }
    static std::string width(const QString &img) {
        return testmedia::probe(img.toStdString(), "v:0", "stream=width");
    }

    testmedia::TempDir folder;
    QList<jobEnd> ends;
    thumbnailQueue queue{[this](const QString &src, const QString &img, const QString &failure) {
        ends.append({src, img, failure, QThread::currentThread() == queue.thread()});
    }};
};

TEST_F(thumbnails, jobsRunInTurnAndACancelledWaitingOneNeverReports) {
    const QString a = picture("a");
    const QString b = picture("b");
    const QString c = picture("c");
    queue.enqueue(job(a));
    queue.enqueue(job(b));
    queue.enqueue(job(c));
    EXPECT_TRUE(queue.pending(b));
    queue.cancel(b);
    EXPECT_FALSE(queue.pending(b));
    EXPECT_TRUE(queue.pending(c));
    ASSERT_TRUE(settle());

    ASSERT_EQ(ends.size(), 2);
    EXPECT_EQ(ends[0].img, a);
    EXPECT_EQ(ends[1].img, c);
    for (const jobEnd &end : ends) {
        EXPECT_EQ(end.src, shortMovie());
        EXPECT_TRUE(end.failure.isEmpty()) << end.failure.toStdString();
        EXPECT_TRUE(end.onQueueThread);
        EXPECT_EQ(width(end.img), "width=160") << end.img.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(b));

    // A source that gives no picture ends with its reason, and the next job still runs.
    ends.clear();
    const QString none = picture("none");
    const QString d = picture("d");
    queue.enqueue(job(none, QString::fromStdString(folder / "missing.mp4")));
    queue.enqueue(job(d));
    ASSERT_TRUE(settle());
    ASSERT_EQ(ends.size(), 2);
    EXPECT_FALSE(ends[0].failure.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(none));
    EXPECT_TRUE(ends[1].failure.isEmpty()) << ends[1].failure.toStdString();
    EXPECT_TRUE(QFileInfo::exists(d));
}

TEST_F(thumbnails, aStoppedRunningJobLeavesNoPicture) {
    // Cancelled as it starts.
    const QString early = picture("early");
    queue.enqueue(job(early));
    queue.cancel(early);
    ASSERT_TRUE(settle());
    ASSERT_EQ(ends.size(), 1);
    EXPECT_FALSE(ends[0].failure.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(early));

    // Cancelled once its picture is written, before its end is handled.
    ends.clear();
    const QString late = picture("late");
    queue.enqueue(job(late));
    ASSERT_TRUE(writtenMeanwhile(late));
    EXPECT_TRUE(queue.pending(late));
    queue.cancel(late);
    ASSERT_TRUE(settle());
    ASSERT_EQ(ends.size(), 1);
    EXPECT_EQ(ends[0].img, late);
    EXPECT_FALSE(ends[0].failure.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(late));

    // Made and reported, then not wanted: cancelling deletes it.
    ends.clear();
    const QString made = picture("made");
    queue.enqueue(job(made));
    ASSERT_TRUE(settle());
    ASSERT_TRUE(QFileInfo::exists(made));
    queue.cancel(made);
    EXPECT_FALSE(QFileInfo::exists(made));

    // Stopped with the queue: no report, no picture, nothing waiting.
    ends.clear();
    const QString running = picture("running");
    const QString waiting = picture("waiting");
    queue.enqueue(job(running));
    queue.enqueue(job(waiting));
    ASSERT_TRUE(writtenMeanwhile(running));
    queue.stop();
    EXPECT_FALSE(queue.pending());
    spinUntil([] { return false; }, 300);
    EXPECT_TRUE(ends.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(running));
    EXPECT_FALSE(QFileInfo::exists(waiting));

    // Destroyed while a job runs: its thread is joined, nothing reports.
    auto reported = std::make_shared<int>(0);
    const QString orphan = picture("orphan");
    {
        thumbnailQueue gone(
            [reported](const QString &, const QString &, const QString &) { ++*reported; });
        gone.enqueue(job(orphan));
        ASSERT_TRUE(writtenMeanwhile(orphan));
    }
    spinUntil([] { return false; }, 300);
    EXPECT_EQ(*reported, 0);
    EXPECT_FALSE(QFileInfo::exists(orphan));
}

TEST_F(thumbnails, theEndOfAStoppedRunIsNotTheNextOnes) {
    // The failing run's end is posted by the time stop has joined its thread; the next run
    // must not take it for its own.
    queue.enqueue(job(picture("lost"), QString::fromStdString(folder / "missing.mp4")));
    queue.stop();
    const QString next = picture("next");
    queue.enqueue(job(next));
    ASSERT_TRUE(settle());
    ASSERT_EQ(ends.size(), 1);
    EXPECT_EQ(ends[0].img, next);
    EXPECT_TRUE(ends[0].failure.isEmpty()) << ends[0].failure.toStdString();
    EXPECT_TRUE(QFileInfo::exists(next));
}

} // namespace
