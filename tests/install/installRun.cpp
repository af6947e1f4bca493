#include "installRun.h"

#include "e2eMedia.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

commandResult runCommand(const QString &program, const QStringList &args, const QStringList &env,
                         int timeoutMs) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &entry : env) {
        if (!entry.contains(QLatin1Char('='))) {
            environment.remove(entry);
            continue;
        }
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

QStringList playerOwnedTypes() {
    return {QStringLiteral("video/x-matroska"), QStringLiteral("video/x-msvideo"),
            QStringLiteral("video/vnd.avi"),    QStringLiteral("video/avi"),
            QStringLiteral("video/webm"),       QStringLiteral("video/ogg"),
            QStringLiteral("video/x-flv"),      QStringLiteral("video/x-ms-wmv")};
}

QString desktopEntryProblems(const QString &share, const QString &webSite) {
    QStringList problems;
    const QString entry = share + QStringLiteral("/applications/org.fluxaro.Fluxaro.desktop");
    QSettings desktop(entry, QSettings::IniFormat);
    desktop.beginGroup(QStringLiteral("Desktop Entry"));
    if (desktop.value(QStringLiteral("StartupWMClass")).toString() != QLatin1String("Fluxaro")) {
        problems << QStringLiteral("StartupWMClass is not Fluxaro, the window's class");
    }
    QFile raw(entry);
    if (!raw.open(QIODevice::ReadOnly)) {
        return QStringLiteral("no desktop entry at ") + entry;
    }
    const QString text = QString::fromUtf8(raw.readAll());
    const QString mimeLine =
        QRegularExpression(QStringLiteral("^MimeType=(.*)$"), QRegularExpression::MultilineOption)
            .match(text)
            .captured(1);
    const QStringList types = mimeLine.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const char *wanted :
         {"video/mp2t", "video/quicktime", "video/mp4", "video/mpeg", "video/dv"}) {
        if (!types.contains(QLatin1String(wanted))) {
            problems << QStringLiteral("the entry does not claim ") + QLatin1String(wanted);
        }
    }
    for (const QString &owned : playerOwnedTypes()) {
        if (types.contains(owned)) {
            problems << QStringLiteral("the entry claims a player's type: ") + owned;
        }
    }

    QFile meta(share + QStringLiteral("/metainfo/org.fluxaro.Fluxaro.metainfo.xml"));
    if (!meta.open(QIODevice::ReadOnly)) {
        return QStringLiteral("no metainfo");
    }
    const QString metaText = QString::fromUtf8(meta.readAll());
    QSet<QString> provided;
    for (auto it = QRegularExpression(QStringLiteral("<mediatype>([^<]+)</mediatype>"))
                       .globalMatch(metaText);
         it.hasNext();) {
        provided.insert(it.next().captured(1));
    }
    if (provided != QSet<QString>(types.begin(), types.end())) {
        problems << QStringLiteral("the metainfo provides %1, the entry claims %2")
                        .arg(QStringList(provided.values()).join(QLatin1Char(' ')),
                             types.join(QLatin1Char(' ')));
    }
    for (const QString &url : {QStringLiteral("<url type=\"homepage\">%1</url>").arg(webSite),
                               QStringLiteral("<url type=\"bugtracker\">%1").arg(webSite),
                               QStringLiteral("<url type=\"help\">%1").arg(webSite)}) {
        if (!metaText.contains(url)) {
            problems << QStringLiteral("the metainfo lacks ") + url;
        }
    }
    if (!metaText.contains(QStringLiteral("</release>")) ||
        !metaText.section(QStringLiteral("<release "), 1).contains(QStringLiteral("<p>"))) {
        problems << QStringLiteral("the release has no description");
    }
    return problems.join(QLatin1Char('\n'));
}

QString noDisplayProblems(const QString &fluxaro) {
    QTemporaryDir home;
    const commandResult r =
        runCommand(fluxaro, {},
                   {QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"),
                    QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("HOME=") + home.path(),
                    QStringLiteral("XDG_STATE_HOME=") + home.path() + QStringLiteral("/state"),
                    QStringLiteral("XDG_CONFIG_HOME=") + home.path() + QStringLiteral("/config"),
                    QStringLiteral("XDG_RUNTIME_DIR=") + home.path()},
                   60000);
    if (r.status != 1 ||
        r.err.trimmed() != QLatin1String("fluxaro: no display: use fluxaro --batch")) {
        return QStringLiteral("status %1\n%2\n%3").arg(r.status).arg(r.out, r.err.right(2000));
    }
    return {};
}
