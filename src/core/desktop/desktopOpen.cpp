#include "desktop/desktopOpen.h"

#include "platform/log.h"

#include <QPointer>
#include <QProcess>
#include <QTimer>

#include <memory>

desktopOpenVerdict desktopOpenVerdictOf(bool started, bool finished, bool crashed, int exitCode) {
    if (!started) {
        return {desktopOpenEnd::noOpener, -1};
    }
    if (!finished) {
        return {desktopOpenEnd::opened, -1};
    }
    if (crashed) {
        return {desktopOpenEnd::failed, -1};
    }
    switch (exitCode) {
    case 0:
        return {desktopOpenEnd::opened, 0};
    case 3:
        return {desktopOpenEnd::noProgram, 3};
    default:
        return {desktopOpenEnd::failed, exitCode};
    }
}

void desktopOpenAsync(const QUrl &address, QObject *context,
                      std::function<void(desktopOpenVerdict)> done, int waitMs) {
    // The process outlives the wait when the opener keeps running with the program it started:
    // it is parented to nothing and deletes itself when it ends.
    auto *process = new QProcess();
    process->setProgram(QStringLiteral("xdg-open"));
    process->setArguments({address.toString(QUrl::FullyEncoded)});
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    auto told = std::make_shared<bool>(false);
    QPointer<QObject> alive(context);
    auto tell = [told, alive, done](desktopOpenVerdict verdict) {
        if (*told) {
            return;
        }
        *told = true;
        if (alive && done) {
            done(verdict);
        }
    };
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, tell](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             logStr(QStringLiteral("desktopOpen         :-( xdg-open can't start"));
                             tell(desktopOpenVerdictOf(false, false, false, -1));
                             process->deleteLater();
                         }
                     });
    QObject::connect(
        process, &QProcess::finished, process,
        [process, tell](int exitCode, QProcess::ExitStatus status) {
            const bool crashed = status == QProcess::CrashExit;
            logStr(
                QStringLiteral("desktopOpen         %1 xdg-open ended: %2")
                    .arg(exitCode == 0 && !crashed ? QStringLiteral(":-)") : QStringLiteral(":-("))
                    .arg(crashed ? QStringLiteral("crashed") : QString::number(exitCode)));
            tell(desktopOpenVerdictOf(true, true, crashed, exitCode));
            process->deleteLater();
        });
    QTimer::singleShot(waitMs, context,
                       [tell] { tell(desktopOpenVerdictOf(true, false, false, -1)); });
    process->start();
}
