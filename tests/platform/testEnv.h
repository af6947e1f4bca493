// What the core's test programs share: the temporary folder that stands in for the user's
// folders (see test_main.cpp) and small file helpers.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QSet>
#include <QString>
#include <QXmlStreamReader>

#include <functional>
#include <ostream>

/// Test failures show texts as text.
inline void PrintTo(const QString &text, std::ostream *os) {
    *os << '"' << text.toStdString() << '"';
}

/// The temporary root of this test run: HOME is <root>/users/me, XDG_CONFIG_HOME <root>/config,
/// XDG_STATE_HOME <root>/state, XDG_DATA_HOME <root>/data, TMPDIR <root>/tmp.
QString testRootStr();

/// A fresh empty folder <root>/work/<name>.
inline QString freshWorkDir(const QString &name) {
    const QString dir = testRootStr() + QStringLiteral("/work/") + name;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

inline bool writeBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

/// The keys of each context of a translation source file (.ts); empty when it can't be read.
inline QMap<QString, QSet<QString>> translationKeys(const QString &tsPath) {
    QMap<QString, QSet<QString>> keys;
    QFile file(tsPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return keys;
    }
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("source")) {
            keys[context].insert(xml.readElementText());
        }
    }
    return keys;
}

/// Runs the event loop until the condition holds or the time is up; false on time-out.
inline bool spinUntil(const std::function<bool()> &condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}
