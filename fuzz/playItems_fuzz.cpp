// AVCHD playlists from a card: any bytes a card holds reach the play-item reader.
#include "dates/playItems.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const auto items = readPlayItems(data, size);
    if (items) {
        // Every item belongs to exactly one recording.
        std::size_t covered = 0;
        for (const playItemRun &run : playItemRecordings(*items)) {
            covered += run.count;
        }
        if (covered != items->size()) {
            __builtin_trap();
        }
    }
    return 0;
}
