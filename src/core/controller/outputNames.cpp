#include "controller/outputNames.h"

#include <QFileInfo>

QString outputPathInBatch(const QString &wanted, const QSet<QString> &taken) {
    if (!taken.contains(wanted)) {
        return wanted;
    }
    const QFileInfo info(wanted);
    const QString folder = info.path();
    const QString stem = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 2;; ++n) {
        const QString candidate =
            QStringLiteral("%1/%2 %3%4").arg(folder, stem, QString::number(n), suffix);
        if (!taken.contains(candidate)) {
            return candidate;
        }
    }
}
