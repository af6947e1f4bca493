#include "settings/prefs.h"

#include "platform/constants.h"
#include "platform/log.h"
#include "platform/plistXml.h"

#include "settings/appPrefs.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <filesystem>
#include <system_error>

namespace {

// The store in memory, and what of it the files do not hold yet. The user's settings live in
// the settings file, written durably (flushed to the disk before it replaces the old file) as
// soon as one changes; the working keys of the step machines live in the working file beside
// it, written at the next turn of the event loop without waiting for the disk: a marker changes
// several times a second during a conversion, and a flush then waits for everything the tools
// have just written. A working file lost in a crash only loses what the start-up sweep would
// delete anyway.
struct Store {
    bool loaded = false;
    QVariantMap values;
    bool settingsDirty = false;
    bool workingDirty = false;
    bool flushPending = false;
};

Store &storeState() {
    static Store state;
    return state;
}

QVariantMap settingsPart(const QVariantMap &values, bool settings) {
    QVariantMap part;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (appIsSettingKey(it.key()) == settings) {
            part.insert(it.key(), it.value());
        }
    }
    return part;
}

// Writes the map to a hidden file beside the destination and renames it into place, so a reader
// sees the old or the new content, never a part. `durable` flushes the data to the disk first.
bool writeStoreFile(const QString &path, const QVariantMap &values, bool durable) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (durable) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !plistWrite(file, values) || !file.commit()) {
            logStr(QStringLiteral("prefs               :-( not written: %1").arg(path));
            return false;
        }
        return true;
    }
    QTemporaryFile file(QFileInfo(path).absolutePath() + QStringLiteral("/.") +
                        QFileInfo(path).fileName() + QStringLiteral(".XXXXXX"));
    file.setAutoRemove(true);
    if (!file.open() || !plistWrite(file, values) || !file.flush()) {
        logStr(QStringLiteral("prefs               :-( not written: %1").arg(path));
        return false;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    std::error_code error;
    std::filesystem::rename(file.fileName().toStdString(), path.toStdString(), error);
    if (error) {
        logStr(QStringLiteral("prefs               :-( not written: %1").arg(path));
        return false;
    }
    file.setAutoRemove(false);
    return true;
}

void flushStore() {
    Store &state = storeState();
    state.flushPending = false;
    if (state.settingsDirty) {
        state.settingsDirty =
            !writeStoreFile(prefFilePathStr(), settingsPart(state.values, true), true);
    }
    if (state.workingDirty) {
        state.workingDirty =
            !writeStoreFile(prefWorkingFilePathStr(), settingsPart(state.values, false), false);
    }
}

// Changes made in one turn of the event loop are written together at its next turn; without an
// event loop (tools, tests without an application) at once.
void scheduleFlush() {
    Store &state = storeState();
    QCoreApplication *app = QCoreApplication::instance();
    if (app == nullptr || app->thread() != QThread::currentThread()) {
        flushStore();
        return;
    }
    if (!state.flushPending) {
        state.flushPending = true;
        QTimer::singleShot(0, app, [] {
            if (storeState().flushPending) {
                flushStore();
            }
        });
    }
}

void loadStore() {
    Store &state = storeState();
    state = Store{};
    state.loaded = true;
    const QString path = prefFilePathStr();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        std::optional<QVariantMap> dico =
            file.size() == 0 ? std::optional<QVariantMap>(QVariantMap()) : plistRead(file);
        file.close();
        if (dico) {
            state.values = *dico;
        } else {
            // A damaged file is kept aside rather than overwritten by the next write.
            const QString aside = path + QStringLiteral(".damaged");
            QFile::remove(aside);
            QFile::rename(path, aside);
            logStr(
                QStringLiteral("prefs               :-( unreadable store moved to %1").arg(aside));
        }
    }
    // The working file holds every working key when it exists; a settings file written by an
    // older version may hold some too, which then move to the working file.
    const std::optional<QVariantMap> working = plistReadFile(prefWorkingFilePathStr());
    if (working) {
        state.values = settingsPart(state.values, true);
        const QVariantMap keys = settingsPart(*working, false);
        for (auto it = keys.cbegin(); it != keys.cend(); ++it) {
            state.values.insert(it.key(), it.value());
        }
    } else if (!settingsPart(state.values, false).isEmpty()) {
        state.settingsDirty = true;
        state.workingDirty = true;
    }
}

QVariantMap &store() {
    Store &state = storeState();
    if (!state.loaded) {
        loadStore();
    }
    return state.values;
}

void changed(const QString &key) {
    if (appIsSettingKey(key)) {
        storeState().settingsDirty = true;
    } else {
        storeState().workingDirty = true;
    }
    scheduleFlush();
}

void storeSet(const QString &key, const QVariant &value) {
    QVariantMap &values = store();
    auto it = values.find(key);
    if (it != values.end() && it.value() == value && it.value().typeId() == value.typeId()) {
        return;
    }
    values.insert(key, value);
    changed(key);
}

void storeRemove(const QString &key) {
    if (store().remove(key) > 0) {
        changed(key);
    }
}

bool hasKey(const QString &key) {
    return !key.isEmpty() && store().contains(key);
}

QString indentStr(int32_t level) {
    return QString(level * 4, QLatin1Char(' '));
}

// Texts are quoted in descriptions when they hold anything but letters, digits and "_./".
QString quotedIfNeeded(const QString &text) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./]+$"));
    if (plain.match(text).hasMatch()) {
        return text;
    }
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    escaped.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString describe(const QVariant &value, int32_t level, bool nested) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QString:
        return nested ? quotedIfNeeded(value.toString()) : value.toString();
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime().toLocalTime();
        const int32_t offset = date.offsetFromUtc() / 60;
        const QChar sign = offset < 0 ? QLatin1Char('-') : QLatin1Char('+');
        return date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + sign +
               QStringLiteral("%1%2")
                   .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
                   .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));
    }
    case QMetaType::QVariantMap: {
        const QVariantMap dico = value.toMap();
        QString text = QStringLiteral("{\n");
        for (auto it = dico.cbegin(); it != dico.cend(); ++it) {
            text += indentStr(level + 1) + quotedIfNeeded(it.key()) + QStringLiteral(" = ") +
                    describe(it.value(), level + 1, true) + QStringLiteral(";\n");
        }
        return text + indentStr(level) + QLatin1Char('}');
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        const QVariantList list = value.toList();
        QString text = QStringLiteral("(\n");
        for (qsizetype i = 0; i < list.size(); ++i) {
            text += indentStr(level + 1) + describe(list[i], level + 1, true);
            text += i + 1 < list.size() ? QStringLiteral(",\n") : QStringLiteral("\n");
        }
        return text + indentStr(level) + QLatin1Char(')');
    }
    case QMetaType::QByteArray:
        return QLatin1Char('<') + QString::fromLatin1(value.toByteArray().toHex(' ')) +
               QLatin1Char('>');
    default:
        return value.toString();
    }
}

} // namespace

QString prefFilePathStr() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + appIdentifierStr() + QStringLiteral(".plist");
}

QString prefWorkingFilePathStr() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + appIdentifierStr() + QStringLiteral(".working.plist");
}

QString prefDescription(const QVariant &value) {
    if (!value.isValid()) {
        return QString();
    }
    return describe(value, 0, false);
}

bool prefWrite(const QString &key, const QVariant &value) {
    if (key.isEmpty() || !value.isValid()) {
        return false;
    }
    if (getDEBUG()) {
        logDebug(QStringLiteral("prefWrite           - old ? %1").arg(prefRead(key)));
        logDebug(QStringLiteral("prefWrite           - def : %1").arg(prefDescription(value)));
    }
    storeSet(key, value);
    return true;
}

QString prefRead(const QString &key) {
    if (!hasKey(key)) {
        return QString();
    }
    const QString text = prefDescription(store().value(key));
    logDebug(QStringLiteral("prefRead            : %1").arg(text));
    return text;
}

QVariant prefRead2(const QString &key) {
    if (!hasKey(key)) {
        return QVariant();
    }
    return store().value(key);
}

bool prefDelete(const QString &key) {
    if (hasKey(key)) {
        storeRemove(key);
    }
    return true;
}

bool prefWriteDico(const QString &key, const QVariantMap &dico) {
    if (key.isEmpty()) {
        return false;
    }
    storeSet(key, dico);
    return true;
}

std::optional<QVariantMap> prefReadDico(const QString &key) {
    const QVariant value = prefRead2(key);
    if (value.typeId() != QMetaType::QVariantMap) {
        return std::nullopt;
    }
    return value.toMap();
}

bool prefWriteChildDico(const QString &parentKey, const QString &childKey, const QVariant &value) {
    if (parentKey.isEmpty() || childKey.isEmpty() || !value.isValid()) {
        return false;
    }
    const std::optional<QVariantMap> parent = prefReadDico(parentKey);
    if (!parent) {
        QVariantMap fresh;
        fresh.insert(childKey, value);
        logDebug(QStringLiteral("prefWriteChildDico  : key=%1 (new): %2")
                     .arg(parentKey, prefDescription(fresh)));
        storeSet(parentKey, fresh);
        return true;
    }
    logDebug(QStringLiteral("prefWriteChildDico  : key=%1 (old): %2")
                 .arg(parentKey, prefDescription(*parent)));
    QVariantMap copy = *parent;
    logDebug(
        QStringLiteral("newMDico 0          : key=%1 : %2").arg(parentKey, prefDescription(copy)));
    copy.insert(childKey, value);
    logDebug(
        QStringLiteral("newMDico 1          : key=%1 : %2").arg(parentKey, prefDescription(copy)));
    storeSet(parentKey, copy);
    return true;
}

QVariant prefReadChildDico(const QString &parentKey, const QString &childKey) {
    if (parentKey.isEmpty() || childKey.isEmpty()) {
        return QVariant();
    }
    const std::optional<QVariantMap> parent = prefReadDico(parentKey);
    if (!parent || !parent->contains(childKey)) {
        return QVariant();
    }
    return parent->value(childKey);
}

bool prefDeleteChildDico(const QString &parentKey, const QString &childKey) {
    if (parentKey.isEmpty() || childKey.isEmpty()) {
        return true;
    }
    const std::optional<QVariantMap> parent = prefReadDico(parentKey);
    if (!parent || !parent->contains(childKey)) {
        return true;
    }
    QVariantMap copy = *parent;
    logDebug(QStringLiteral("prefDeleteChildDico 0 : key=%1 : %2")
                 .arg(parentKey, prefDescription(copy)));
    logDebug(QStringLiteral("newMDico 0 : key=%1 : %2").arg(parentKey, prefDescription(copy)));
    copy.remove(childKey);
    logDebug(QStringLiteral("newMDico 1 : key=%1 : %2").arg(parentKey, prefDescription(copy)));
    storeSet(parentKey, copy);
    return true;
}

QStringList prefAllKeys() {
    return store().keys();
}

bool prefSynchronize() {
    store();
    flushStore();
    return !storeState().settingsDirty && !storeState().workingDirty;
}

void prefReload() {
    Store &state = storeState();
    if (state.loaded) {
        flushStore();
        state = Store{};
    }
}
