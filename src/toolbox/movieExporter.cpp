#include "movieExporter.h"

#include "movieExport.h"
#include "settingsDialog.h"

#include <iostream>

namespace toolbox {

std::unique_ptr<MovieExporter> MovieExporter::open(const Component *component) {
    if (!component || component->description.componentType != kMovieExportType)
        return nullptr;
    const OSType subtype = component->description.componentSubType;
    if (subtype != fourCharCode("MooV") && subtype != fourCharCode("WAVE"))
        return nullptr;
    return std::unique_ptr<MovieExporter>(new MovieExporter(component));
}

bool MovieExporter::isWave() const {
    return component_->description.componentSubType == fourCharCode("WAVE");
}

bool MovieExporter::setSettingsFromAtomContainer(std::span<const std::uint8_t> bytes,
                                                 std::string *error) {
    auto settings = movieExportSettingsFromAtomContainer(bytes, error);
    if (!settings)
        return false;
    if (!isWave() && !movieExportSettingsSupported(*settings, error))
        return false;
    settings_ = *settings;
    return true;
}

std::vector<std::uint8_t> MovieExporter::getSettingsAsAtomContainer() const {
    return movieExportSettingsToAtomContainer(settings_);
}

bool MovieExporter::doUserDialog() {
    if (!standardInputIsTerminal())
        return false;
    auto chosen = runExportSettingsDialog(std::cin, std::cerr, settings_, highResolutionAudio_);
    if (!chosen)
        return false;
    settings_ = *chosen;
    return true;
}

MovieStatus MovieExporter::exportMovie(const Movie &movie, const std::string &path,
                                       const MovieProgressProc &progress) const {
    if (isWave())
        return exportMovieAsWave(movie, path, progress);
    return exportMovieAsQuickTime(movie, path, settings_, progress);
}

} // namespace toolbox
