#include "controller/outputCheck.h"

#include "toolbox/pictureCheck.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QPointer>
#include <QThreadPool>

void outputPictureCheckAsync(const QString &path, QObject *receiver,
                             std::function<void(bool readable, const QString &why)> done) {
    std::string file = QFile::encodeName(path).toStdString();
    QPointer<QObject> guard(receiver);
    // The application waits for the global pool before it goes, so its instance is there
    // whenever the worker posts the verdict back; the guard is only read on its thread.
    QThreadPool::globalInstance()->start(
        [file = std::move(file), guard = std::move(guard), done = std::move(done)]() mutable {
            const toolbox::MovieStatus status = toolbox::decodeFirstPicture(file);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [guard = std::move(guard), done = std::move(done), readable = status.ok(),
                 why = QString::fromStdString(status.message)] {
                    if (guard) {
                        done(readable, why);
                    }
                },
                Qt::QueuedConnection);
        });
}
