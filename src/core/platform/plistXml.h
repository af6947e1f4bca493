// The XML property-list format: the preferences store's file format and the information list's.
// Texts (<string>; one XML 1.0 can't carry, a control character in it, as <string base64="1">
// with its UTF-8 bytes), integers (<integer>), floats (<real>), booleans (<true/>, <false/>), dates
// (<date>, ISO 8601 in UTC), bytes (<data>, base64), lists (<array>) and dictionaries (<dict>),
// nested at will.
#pragma once

#include <QIODevice>
#include <QString>
#include <QVariantMap>

#include <optional>

/// The deepest nesting of dictionaries and lists a property list may have, and its largest
/// size in bytes: the store holds a few levels and kilobytes, a file beyond them is damaged.
inline constexpr int kPlistMaxDepth = 64;
inline constexpr qint64 kPlistMaxBytes = 16 * 1024 * 1024;

/// Reads a property list whose top object is a dictionary. Nothing when the text is not a
/// well-formed property list, or is nested deeper or is larger than the bounds above. Integers come
/// back as int when they fit, else as qlonglong.
std::optional<QVariantMap> plistRead(QIODevice &device);
/// Writes the dictionary as a property list; false when a value has a type the format can't hold
/// (nothing sensible is written then) or the device refuses the bytes.
bool plistWrite(QIODevice &device, const QVariantMap &dico);

/// Reads the property-list file; nothing when it can't be opened or parsed.
std::optional<QVariantMap> plistReadFile(const QString &path);
