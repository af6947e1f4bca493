// The application's information list ("Info.plist" in the resource folder): name, identifier,
// versions and the document types it accepts. Read once, on first use.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

/// The whole information list; empty when the file is missing or unreadable.
QVariantMap infoPlistDico();
/// The text value of a key ("CFBundleShortVersionString", "CFBundleVersion", ...), or the empty
/// text when absent.
QString infoPlistStr(const QString &key);
/// The accepted source extensions: the "CFBundleTypeExtensions" of the first document type, in
/// lower case.
QStringList infoPlistExtensions();
