// The per-user preferences store: one key-value map of property-list values (texts, integers,
// floats, booleans, dates, lists and nested dictionaries) kept in memory and in two XML property
// lists: the user's settings (the keys appIsSettingKey names) in
// "$XDG_CONFIG_HOME/<identifier>.plist", written durably when one changes, and the working keys
// in "<identifier>.working.plist" beside it, written without waiting for the disk. Changes made
// during one turn of the event loop are written at its next turn (at once when there is no event
// loop); prefSynchronize and prefReload write what is pending now. Values come back with their
// types after a restart. The functions below are the only way the program touches the store;
// they are used from the main thread only.
//
// "Nothing" is an invalid QVariant (QVariant()) for values and std::nullopt for dictionaries.
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

/// Stores the value under the key. False, storing nothing, when the key is empty or the value
/// is invalid.
bool prefWrite(const QString &key, const QVariant &value);
/// The value's text form ("1" for the number 1, "1"/"0" for booleans, "yyyy-MM-dd hh:mm:ss
/// +zzzz" for dates, a property-list description for dictionaries); the empty text when the key
/// is empty or absent.
QString prefRead(const QString &key);
/// The stored value itself, or nothing.
QVariant prefRead2(const QString &key);
/// Removes the key if present; always true.
bool prefDelete(const QString &key);

/// Stores the dictionary under the key (any previous value removed first). False for an empty
/// key.
bool prefWriteDico(const QString &key, const QVariantMap &dico);
/// The dictionary stored under the key, or nothing (absent key, or a value of another type).
std::optional<QVariantMap> prefReadDico(const QString &key);

/// Sets one entry of the dictionary stored under `parentKey` (read, copy, change, store back);
/// an absent parent becomes a dictionary holding only the child. False when an argument is
/// missing.
bool prefWriteChildDico(const QString &parentKey, const QString &childKey, const QVariant &value);
/// The child's value, or nothing when an argument is missing or the parent or child is absent.
QVariant prefReadChildDico(const QString &parentKey, const QString &childKey);
/// Removes the child when both parent and child exist; always true.
bool prefDeleteChildDico(const QString &parentKey, const QString &childKey);

/// Every key stored at the moment.
QStringList prefAllKeys();
/// Writes what has changed out to the files now; false when a file could not be written (a
/// full disk, a folder that refuses it): what it did not take stays pending.
bool prefSynchronize();
/// The settings file: "$XDG_CONFIG_HOME/<identifier>.plist".
QString prefFilePathStr();
/// The working keys' file: "$XDG_CONFIG_HOME/<identifier>.working.plist".
QString prefWorkingFilePathStr();
/// Writes the store out and forgets it; the next call reads the file afresh, as a new run of
/// the program would (also picks up a changed XDG_CONFIG_HOME, for tests).
void prefReload();
/// The text form of a value as prefRead gives it.
QString prefDescription(const QVariant &value);
