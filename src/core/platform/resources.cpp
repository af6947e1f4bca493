#include "platform/resources.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The folder of the running executable; /proc/self/exe works before a QCoreApplication exists.
QString executableDirStr() {
    const QFileInfo exe(QStringLiteral("/proc/self/exe"));
    const QString target = exe.canonicalFilePath();
    if (target.isEmpty()) {
        return QDir::currentPath();
    }
    return QFileInfo(target).absolutePath();
}

} // namespace

QString resourcePathStr() {
    const QString fromEnv = qEnvironmentVariable("FLUXARO_RESOURCE_DIR");
    if (!fromEnv.isEmpty()) {
        return QDir::cleanPath(fromEnv);
    }
    return QDir::cleanPath(executableDirStr() + QStringLiteral("/../share/fluxaro"));
}

QString toolsPathStr() {
    return resourcePathStr() + QStringLiteral("/tools");
}

QString resourceFilePathStr(const QString &name) {
    return resourcePathStr() + QLatin1Char('/') + name;
}
