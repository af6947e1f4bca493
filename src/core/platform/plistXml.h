// The XML property-list format: the preferences store's file format and the information list's.
// Texts (<string>), integers (<integer>), floats (<real>), booleans (<true/>, <false/>), dates
// (<date>, ISO 8601 in UTC), bytes (<data>, base64), lists (<array>) and dictionaries (<dict>),
// nested at will.
#pragma once

#include <QIODevice>
#include <QString>
#include <QVariantMap>

#include <optional>

/// Reads a property list whose top object is a dictionary. Nothing when the text is not a
/// well-formed property list. Integers come back as int when they fit, else as qlonglong.
std::optional<QVariantMap> plistRead(QIODevice &device);
/// Writes the dictionary as a property list; false when a value has a type the format can't hold
/// (nothing sensible is written then) or the device refuses the bytes.
bool plistWrite(QIODevice &device, const QVariantMap &dico);

/// Reads the property-list file; nothing when it can't be opened or parsed.
std::optional<QVariantMap> plistReadFile(const QString &path);
