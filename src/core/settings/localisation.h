// Looking texts up in the translation tables (Qt Linguist contexts). The key is the source text;
// a key without a translation shows as the key itself.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

/// Loads the translations of the resource folder for the language (e.g. "fr"; empty: the
/// system's) into the application. Needs a QCoreApplication. False when no file for the
/// language exists (the keys then show as themselves, except for English, whose file also ships).
bool loadTranslations(const QString &language = {});

/// The key's text in the table "Localized" (messages, alerts, menus).
QString localizedStr(const QString &key);
/// The key's text in the table "fields" (field-order labels "TFF", "BFF", "PFF").
QString fieldsStr(const QString &key);
/// The key's text in any table.
QString localisedInTable(const QString &table, const QString &key);

/// Fills "%@" in the format with the values in order ("%%" is a percent sign); a "%@" without a
/// value stays as it is.
QString fillFormatValues(const QString &format, const QStringList &values);

/// Translates a key in the table `table` ("Localized" when it is the empty text, the default
/// table "Localizable" when it is nothing) and fills in the leading non-empty values: none when
/// v1 is empty, only v1 when v2 is empty, and so on up to all five.
QString LocalisationString(const QString &key, const std::optional<QString> &table,
                           const QString &v1 = {}, const QString &v2 = {}, const QString &v3 = {},
                           const QString &v4 = {}, const QString &v5 = {});

/// Window localisation state: whether a bundle is set and which table name; the table the
/// lookups below use is the name when both are set, "Localizable" when only the bundle is set,
/// and the default table "Localizable" otherwise.
void FVAutoLocalizeSetBundle(bool isSet);
void FVAutoLocalizeSetName(const std::optional<QString> &name);
QString FVAutoLocalizeTableStr();
/// True when a text is a key to translate (begins with "@@").
bool FVAutoLocalizeIsKey(const QString &text);
/// The translations of the texts that begin with "@@" (prefix removed before the lookup), in
/// order; the other texts are left out.
QStringList FVAutoLocalizeStrings(const QStringList &texts);
