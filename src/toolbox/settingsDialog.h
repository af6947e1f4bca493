// The movie exporter's settings dialog, on a terminal: video codec, frame size, frame rate and
// sound, each with a default that an empty answer keeps.
#pragma once

#include "exportSettings.h"

#include <iosfwd>
#include <optional>

namespace toolbox {

/// Whether standard input is a terminal (the dialog can be shown).
bool standardInputIsTerminal();

/// Asks on out, reads answers from in. Nothing when the user cancels ("q") or the input ends.
/// Invalid answers are asked again. highResolutionAudio adds 24-bit sound and other rates.
std::optional<MovieExportSettings> runExportSettingsDialog(std::istream &in, std::ostream &out,
                                                           const MovieExportSettings &initial,
                                                           bool highResolutionAudio);

} // namespace toolbox
