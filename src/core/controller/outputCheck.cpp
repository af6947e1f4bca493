#include "controller/outputCheck.h"

#include "toolbox/pictureCheck.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QPointer>
#include <QThreadPool>

void outputCheckAsync(const QString &path, QObject *receiver,
                      std::function<void(const outputCheckResult &result)> done) {
    std::string file = QFile::encodeName(path).toStdString();
    QPointer<QObject> guard(receiver);
    // The application waits for the global pool before it goes, so its instance is there
    // whenever the worker posts the verdict back; the guard is only read on its thread.
    QThreadPool::globalInstance()->start(
        [file = std::move(file), guard = std::move(guard), done = std::move(done)]() mutable {
            outputCheckResult result;
            const toolbox::MovieStatus status = toolbox::decodeFirstPicture(file);
            result.readable = status.ok();
            result.why = QString::fromStdString(status.message);
            if (result.readable) {
                toolbox::MovieFacts facts;
                const toolbox::MovieStatus read = toolbox::readMovieFacts(file, facts);
                if (read) {
                    result.facts = std::move(facts);
                } else {
                    result.factsWhy = QString::fromStdString(read.message);
                }
            }
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [guard = std::move(guard), done = std::move(done), result = std::move(result)] {
                    if (guard) {
                        done(result);
                    }
                },
                Qt::QueuedConnection);
        });
}

void outputPictureCheckAsync(const QString &path, QObject *receiver,
                             std::function<void(bool readable, const QString &why)> done) {
    outputCheckAsync(path, receiver, [done = std::move(done)](const outputCheckResult &result) {
        done(result.readable, result.why);
    });
}
