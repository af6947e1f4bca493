// The default settings and the start-up maintenance of the preferences store.
#pragma once

#include <QVariantMap>

/// The default settings table: "prefColor" 0, "prefCheckMatrix" 0, "prefSurrond" 0,
/// "prefJoinSpanned" 1 (the pieces of spanned recordings joined), "prefSpeed" 2, "prefProres" "",
/// "update" 0, "prefDefautDstPathStr" the XDG videos folder with one final "/". A new map on
/// each call.
QVariantMap appPrefs();

/// True for the user's settings: the default keys and those beginning with "NSNav" or "DRBurn"
/// (the panels' own). Every other key is a working key of the analysis or the conversion.
bool appIsSettingKey(const QString &key);

/// For each default key: writes the stored value back if one exists (an empty text included),
/// else the default.
void appWriteAllPrefs();

/// The start-up sweep: writes the store out, then deletes every key that is neither a default
/// key, nor begins with "NSNav" or "DRBurn", nor is one of "displayedEncDico",
/// "analysisSrcPathesDico", "analysisSrcPathStr". Start-up runs appWriteAllPrefs after it.
void appRemoveOldTmpPrefs();
