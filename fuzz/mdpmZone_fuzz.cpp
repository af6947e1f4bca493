// A clip's first packets, as a card holds them: any bytes reach the camera-zone reader, both as
// a transport stream and as the H.264 elementary stream inside one.
#include "dates/mdpmZone.h"

#include <cstddef>
#include <cstdint>

namespace {

void check(const std::optional<mdpmDate> &found) {
    if (!found) {
        return;
    }
    if (found->zone) {
        const std::optional<std::int32_t> offset = mdpmZoneOffsetSeconds(*found->zone);
        if (offset && (*offset > 14 * 3600 || *offset < -12 * 3600 || *offset % 1800 != 0)) {
            __builtin_trap();
        }
    }
    // BCD fields of two digits each (the year of two BCD bytes).
    if (found->hasDate && (found->year > 9999 || found->month > 99 || found->day > 99 ||
                           found->hour > 99 || found->minute > 99 || found->second > 99)) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    check(mdpmFromTransportStream(data, size));
    check(mdpmFromAnnexB(data, size));
    return 0;
}
