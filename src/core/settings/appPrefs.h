// The default settings and the start-up maintenance of the preferences store.
#pragma once

#include <QVariantMap>

#include <cstdint>

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
/// key, nor begins with "NSNav" or "DRBurn", nor is "displayedEncDico": every working key of
/// the analysis (its queue and the source it was at included) and of the conversion. Start-up
/// runs appWriteAllPrefs after it.
void appRemoveOldTmpPrefs();

/// A stored choice as the preferences window takes it, and whether the stored value had to be
/// corrected (out of range, or not a number).
struct appStoredChoice {
    int32_t value = 0;
    bool corrected = false;
};

/// The output format of "prefCheckMatrix" (0 rewrap, 1 AIC, 2 ProRes): AIC without its encoder
/// becomes ProRes when there is one, else rewrap, and ProRes without encoder AIC, else rewrap
/// (not a correction of the store: the machine lacks the codec); a number out of 0 to 2 or a
/// text becomes the default 0; a missing value is the default.
appStoredChoice appStoredOutputFormat(const QVariant &stored, bool aic, bool prores);

/// The frame-rate mode of "prefSpeed" (0 normal, 1 half rate, 2 slow motion): a number out of
/// 0 to 2 or a text becomes the default 2; a missing value is the default.
appStoredChoice appStoredFrameRateMode(const QVariant &stored);
