#include "desktop/trash.h"

#include "platform/log.h"
#include "platform/utilsFile.h"

#include <QFile>
#include <QFileInfo>

trashOutcome trashItem(const QString &rawPath) {
    const QString path = expandTilde(rawPath);
    const QFileInfo info(path);
    if (path.isEmpty() || (!info.exists() && !info.isSymLink())) {
        return trashOutcome::missing;
    }
    QString trashedAt;
    if (moveToTrashChecked(path, &trashedAt)) {
        logDebug(QStringLiteral("trash               :-) '%1' -> '%2'").arg(path, trashedAt));
        return trashOutcome::trashed;
    }
    logStr(QStringLiteral("trash               :-( no trash takes '%1': it stays").arg(path));
    return trashOutcome::stays;
}
