// trakmill's settings file (-s): the raw bytes of an atom container, read as a container and
// as the 'MooV' exporter's settings.
#include "toolbox/atomContainer.h"
#include "toolbox/exportSettings.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    std::string error;
    if (auto container = toolbox::parseQTAtomContainer(bytes, &error)) {
        // A container that reads also writes, and reads back.
        const auto again = toolbox::serializeQTAtomContainer(*container);
        (void)toolbox::parseQTAtomContainer(again, &error);
    }
    (void)toolbox::movieExportSettingsFromAtomContainer(bytes, &error);
    return 0;
}
