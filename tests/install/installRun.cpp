#include "installRun.h"

#include "e2eMedia.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

commandResult runCommand(const QString &program, const QStringList &args, const QStringList &env,
                         int timeoutMs) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &entry : env) {
        environment.insert(entry.section(QLatin1Char('='), 0, 0),
                           entry.section(QLatin1Char('='), 1));
    }
    process.setProcessEnvironment(environment);
    process.start(program, args);
    commandResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("%1: did not finish (%2)").arg(program, process.errorString());
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

bool haveProgram(const QString &name) {
    return !QStandardPaths::findExecutable(name).isEmpty();
}

QStringList treeOf(const QString &root) {
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        paths << QDir(root).relativeFilePath(it.next());
    }
    paths.sort();
    return paths;
}

QString convertCardWith(const QString &fluxaro) {
    e2e::sandbox box;
    box.setProgram(fluxaro);
    e2e::makeCard(box.root() + QStringLiteral("/card"), {{"320x180", 25}}, 1);
    // No session bus: the batch runs without the desktop's services.
    const e2e::runResult run =
        box.batch({box.root() + QStringLiteral("/card"), "--format", "rewrap", "--mode", "normal"},
                  240000, {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"}});
    const QString out = box.events() + QLatin1Char('/') + e2e::cardClipName(1);
    if (run.status != 0 || !QFileInfo(out).isFile() ||
        e2e::probeStream(out, "v").value("codec_name") != QStringLiteral("h264")) {
        return QStringLiteral("status %1\n%2\n--- stderr ---\n%3")
            .arg(run.status)
            .arg(run.out, run.err.right(3000));
    }
    return {};
}
