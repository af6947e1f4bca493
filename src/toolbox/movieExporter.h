// Movie export components ('spit'): an opened exporter with its settings, the counterpart of
// QuickTime's MovieExport calls.
#pragma once

#include "components.h"
#include "exportSettings.h"
#include "movie.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace toolbox {

class MovieExporter {
public:
    /// Opens an exporter component ('spit' 'MooV' or 'spit' 'WAVE'); null for anything else.
    static std::unique_ptr<MovieExporter> open(const Component *component);

    [[nodiscard]] const Component &component() const { return *component_; }

    /// Takes settings from an atom container's bytes (exportSettings.h gives the layout).
    /// False, settings unchanged, when the bytes are not such a container or name a codec or
    /// sound format that cannot be exported.
    bool setSettingsFromAtomContainer(std::span<const std::uint8_t> bytes,
                                      std::string *error = nullptr);
    /// The current settings as an atom container's bytes.
    [[nodiscard]] std::vector<std::uint8_t> getSettingsAsAtomContainer() const;

    [[nodiscard]] const MovieExportSettings &settings() const { return settings_; }

    /// High-resolution audio: the settings dialog then offers sample sizes and rates beyond
    /// 16-bit 48 kHz.
    void setHighResolutionAudio(bool on) { highResolutionAudio_ = on; }

    /// The exporter's settings dialog, on the terminal: asks codec, size, rate and sound when
    /// standard input is a terminal; cancelled (false) otherwise, or when the user gives up.
    bool doUserDialog();

    /// Writes movie to path with the current settings ('MooV': QuickTime movie, 'WAVE': the
    /// sound as a WAVE file).
    MovieStatus exportMovie(const Movie &movie, const std::string &path,
                            const MovieProgressProc &progress = {}) const;

private:
    explicit MovieExporter(const Component *component) : component_(component) {}
    [[nodiscard]] bool isWave() const;
    const Component *component_;
    MovieExportSettings settings_;
    bool highResolutionAudio_ = false;
};

} // namespace toolbox
