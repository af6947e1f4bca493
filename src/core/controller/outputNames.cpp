#include "controller/outputNames.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

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

QString outputStemToFit(const QString &stem, const QString &suffix, qsizetype nameMax) {
    const qsizetype room = nameMax - QFile::encodeName(suffix).size() - kOutputNumberRoom;
    if (QFile::encodeName(stem).size() <= room) {
        return stem;
    }
    static const QRegularExpression datePrefix(
        QStringLiteral("^clip-\\d{4}-\\d{2}-\\d{2} \\d{2};\\d{2};\\d{2}-"));
    const QRegularExpressionMatch match = datePrefix.match(stem);
    const qsizetype keep = match.hasMatch() ? match.capturedLength() : 0;
    QString fitted = stem;
    while (fitted.size() > keep && QFile::encodeName(fitted).size() > room) {
        // A whole character: never half of a surrogate pair.
        const qsizetype cut =
            fitted.size() >= 2 && fitted.at(fitted.size() - 1).isLowSurrogate() ? 2 : 1;
        fitted.chop(cut);
    }
    // A name that ended in a blank or a dot is not one a user would give.
    while (fitted.size() > keep + 1 &&
           (fitted.endsWith(QLatin1Char(' ')) || fitted.endsWith(QLatin1Char('.')))) {
        fitted.chop(1);
    }
    return fitted;
}
