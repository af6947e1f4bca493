#include "desktop/reveal.h"

#include "desktop/sessionBus.h"
#include "platform/log.h"
#include "platform/utilsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace {

// A file manager that is started by the bus for this call may take a while to answer.
constexpr int kShowItemsTimeoutMs = 25000;

void openFolder(const QString &path, const QString &why) {
    const QString folder = QFileInfo(path).isDir() ? path : QFileInfo(path).path();
    logStr(QStringLiteral("revealInFinder      :-/ %1: opening '%2'").arg(why, folder));
    if (!QProcess::startDetached(QStringLiteral("xdg-open"), {folder})) {
        logStr(QStringLiteral("revealInFinder      :-( no opener for '%1'").arg(folder));
    }
}

} // namespace

QStringList revealItemUris(const QString &rawPath, const QStringList &selected) {
    if (rawPath.isEmpty()) {
        return {};
    }
    const QString path = QDir::cleanPath(QFileInfo(expandTilde(rawPath)).absoluteFilePath());
    if (!QFileInfo::exists(path)) {
        return {};
    }
    QStringList uris;
    if (QFileInfo(path).isDir()) {
        // One item: some file managers (Xfce's) open a window for every item they are given.
        for (const QString &item : selected) {
            const QFileInfo info(item);
            if (info.exists() && QDir::cleanPath(info.absolutePath()) == path) {
                uris << QUrl::fromLocalFile(info.absoluteFilePath()).toString();
                break;
            }
        }
    }
    if (uris.isEmpty()) {
        uris << QUrl::fromLocalFile(path).toString();
    }
    return uris;
}

void revealInFinder(const QString &rawPath, const QStringList &selected) {
    const QStringList uris = revealItemUris(rawPath, selected);
    if (uris.isEmpty()) {
        return;
    }
    const QString path = QFileInfo(expandTilde(rawPath)).absoluteFilePath();
    const std::optional<QDBusConnection> bus =
        desktopSessionBus(QStringLiteral("org.freedesktop.FileManager1"));
    if (!bus) {
        openFolder(path, QStringLiteral("no session bus"));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    const bool sent =
        desktopAsyncCall(*bus, call, kShowItemsTimeoutMs, [path](const QDBusMessage &reply) {
            if (reply.type() != QDBusMessage::ReplyMessage) {
                openFolder(
                    path, QStringLiteral("no file manager on the bus (%1)").arg(reply.errorName()));
            }
        });
    if (!sent) {
        openFolder(path, QStringLiteral("the file manager can't be asked"));
    }
}
