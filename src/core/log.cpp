#include "log.h"

#include "constants.h"

#include <QByteArray>

#include <cstdio>

void logStr(const QString &line) {
    QByteArray bytes = line.toUtf8();
    bytes.append('\n');
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

void logDebug(const QString &line) {
    if (getDEBUG()) {
        logStr(line);
    }
}
