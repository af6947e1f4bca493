// The 'alis' data references of a reference movie: alias records whose lengths and path
// counts come from the file.
#include "toolbox/aliasRecord.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    (void)toolbox::resolveAliasRecord(std::span<const std::uint8_t>(data, size),
                                      "/nonexistent/fluxaro-fuzz/movie.mov");
    return 0;
}
