#include "settings/prefs.h"

#include "platform/constants.h"
#include "platform/log.h"
#include "platform/plistXml.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

namespace {

bool readPlistSettings(QIODevice &device, QSettings::SettingsMap &map) {
    if (device.size() == 0) {
        map.clear();
        return true;
    }
    std::optional<QVariantMap> dico = plistRead(device);
    if (!dico) {
        return false;
    }
    map = *dico;
    return true;
}

bool writePlistSettings(QIODevice &device, const QSettings::SettingsMap &map) {
    return plistWrite(device, map);
}

QSettings::Format plistFormat() {
    static const QSettings::Format format = QSettings::registerFormat(
        QStringLiteral("plist"), readPlistSettings, writePlistSettings, Qt::CaseSensitive);
    return format;
}

std::unique_ptr<QSettings> &storeHolder() {
    static std::unique_ptr<QSettings> holder;
    return holder;
}

QSettings &store() {
    std::unique_ptr<QSettings> &holder = storeHolder();
    if (!holder) {
        const QString path = prefFilePathStr();
        QDir().mkpath(QFileInfo(path).absolutePath());
        holder = std::make_unique<QSettings>(path, plistFormat());
        if (holder->status() == QSettings::FormatError) {
            // A damaged file is kept aside rather than overwritten by the next write.
            const QString aside = path + QStringLiteral(".damaged");
            QFile::remove(aside);
            QFile::rename(path, aside);
            logStr(
                QStringLiteral("prefs               :-( unreadable store moved to %1").arg(aside));
            holder = std::make_unique<QSettings>(path, plistFormat());
        }
    }
    return *holder;
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
    store().setValue(key, value);
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
        store().remove(key);
    }
    return true;
}

bool prefWriteDico(const QString &key, const QVariantMap &dico) {
    if (key.isEmpty()) {
        return false;
    }
    store().remove(key);
    store().setValue(key, dico);
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
        store().setValue(parentKey, fresh);
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
    store().remove(parentKey);
    store().setValue(parentKey, copy);
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
    store().remove(parentKey);
    store().setValue(parentKey, copy);
    return true;
}

QStringList prefAllKeys() {
    return store().allKeys();
}

void prefSynchronize() {
    store().sync();
}

void prefReload() {
    std::unique_ptr<QSettings> &holder = storeHolder();
    if (holder) {
        holder->sync();
        holder.reset();
    }
}
