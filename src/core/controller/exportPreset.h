// The export preset of a job: at which rate the movie is delivered, whether it is first re-timed
// for slow motion, and which stored export setting trakmill uses. A pure computation over a few
// values of the job record, the row's frame-rate mode and output format, and the chosen ProRes
// variant.
#pragma once

#include <QString>
#include <QVariant>

#include <cstdint>
#include <optional>

/// Frame-rate modes of a batch row.
enum fpsMode : int32_t { fpsNormal = 0, fpsHalf = 1, fpsSlow = 2 };
/// Output formats of a batch row.
enum outFormat : int32_t { outRewrap = 0, outAic = 1, outProres = 2 };

struct exportPreset {
    int32_t height = 720;   ///< picture height clamped to 720..1080
    int32_t presetRate = 0; ///< the source's rate rounded to a preset (24 to 120)
    int32_t divider = 1;    ///< 4 from 100 fps, 2 for 50 and 60, else 1
    bool retime = false;    ///< slow motion: the movie is re-timed before the export
    int32_t retimeFromScale = 0;
    int32_t retimeToScale = 0;
};

/// The preset of a source: its frame rate (text or number), its height and the frame-rate mode.
exportPreset exportPresetFor(const QVariant &v0fps, int32_t v0height, int32_t mode);

/// The delivered rate. In slow motion (re-timing wanted) it depends on whether the movie to
/// re-time could be opened: the divided rate when it could, half the preset rate when not.
int32_t exportDeliveredRate(const exportPreset &preset, int32_t mode, bool retimeMovieOpened);

/// The ProRes variant key ("Proxy", "Lt", "4x4" or "" for HQ) whose component code
/// ("imco:apco:appl", ...) the chosen item's title contains; nothing when none does.
std::optional<QString> proresVariantKey(const QString &proresItemTitle);

/// The export settings name: nothing for the rewrap (format 0), which has no export; "aic" then
/// the base for format 1; "pr", the ProRes key and the base for format 2; the base itself for any
/// other format. The base is "Hdv" (1440-pixel-wide sources only), the height, "p", the rate.
std::optional<QString> exportSettingsName(int32_t outInt, int32_t v0width, int32_t height,
                                          int32_t deliveredRate, const QString &proresItemTitle);

/// The title of the ProRes item for a stored four-letter codec type ("apch" gives
/// "imco:apch:appl"); HQ when the type is empty.
QString proresItemTitleForType(const QString &codecType);
