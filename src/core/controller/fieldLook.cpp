#include "controller/fieldLook.h"

#include "toolbox/fieldSampleCounts.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QPointer>
#include <QThreadPool>

#include <vector>

void fieldSampleLookAsync(
    const QString &path, double durationSeconds, const QString &forceFormat, QObject *receiver,
    std::function<void(const QList<idetSampleCounts> &samples, const QString &why)> done) {
    std::string file = QFile::encodeName(path).toStdString();
    std::string format = forceFormat.toStdString();
    const QList<double> starts = fieldSampleStarts(durationSeconds);
    const int32_t frames = starts.size() > 1 ? kFieldSampleFrames : kFieldShortClipFrames;
    QPointer<QObject> guard(receiver);
    // The application waits for the global pool before it goes, so its instance is there
    // whenever the worker posts the verdict back; the guard is only read on its thread.
    QThreadPool::globalInstance()->start([file = std::move(file), format = std::move(format),
                                          starts, frames, guard = std::move(guard),
                                          done = std::move(done)]() mutable {
        const toolbox::FieldSampleReport report = toolbox::fieldSampleCounts(
            file, std::vector<double>(starts.cbegin(), starts.cend()), frames, format);
        QList<idetSampleCounts> samples;
        for (const toolbox::FieldCounts &f : report.samples) {
            samples << idetSampleCounts{
                f.tff,         f.bff,           f.progressive, f.undetermined, f.repeatedNeither,
                f.repeatedTop, f.repeatedBottom};
        }
        while (samples.size() < starts.size()) {
            samples << idetSampleCounts{};
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard = std::move(guard), done = std::move(done), samples = std::move(samples),
             why = report.status.ok() ? QString() : QString::fromStdString(report.status.message)] {
                if (guard) {
                    done(samples, why);
                }
            },
            Qt::QueuedConnection);
    });
}
