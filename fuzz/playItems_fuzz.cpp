// AVCHD playlists from a card: any bytes a card holds reach the play-item and mark reader.
#include "dates/playItems.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const auto list = readPlayList(data, size);
    if (list) {
        // Every mark was read from the file's bytes: 14 each.
        if (list->marks.size() > size / 14 || (!list->marksRead && !list->marks.empty())) {
            __builtin_trap();
        }
        // Every item belongs to exactly one recording, in order; only a run of several pieces
        // can be kept apart.
        std::size_t covered = 0;
        for (const playItemRun &run : playItemRecordings(*list)) {
            if (run.first != covered || run.count == 0 || (run.count < 2 && !run.apart.empty())) {
                __builtin_trap();
            }
            covered += run.count;
        }
        if (covered != list->items.size()) {
            __builtin_trap();
        }
    }
    return 0;
}
