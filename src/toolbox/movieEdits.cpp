#include "movieEdits.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include <cmath>

namespace toolbox {

std::int64_t mediaTimeAt(const MovieTrack::Edit &edit, std::int64_t offset,
                         std::int32_t mediaTimeScale, std::int32_t movieTimeScale) {
    if (edit.mediaTime < 0)
        return -1;
    const long double media =
        (long double)offset * mediaTimeScale * edit.rate / (long double)movieTimeScale;
    return edit.mediaTime + std::llround(media);
}

std::size_t splitEdits(EditList &edits, std::int64_t at, std::int32_t mediaTimeScale,
                       std::int32_t movieTimeScale) {
    std::int64_t start = 0;
    for (std::size_t i = 0; i < edits.size(); ++i) {
        const auto end = start + edits[i].movieDuration;
        if (at <= start)
            return i;
        if (at < end) {
            MovieTrack::Edit tail = edits[i];
            const auto offset = at - start;
            tail.movieDuration = end - at;
            tail.mediaTime = mediaTimeAt(edits[i], offset, mediaTimeScale, movieTimeScale);
            edits[i].movieDuration = offset;
            edits.insert(edits.begin() + static_cast<std::ptrdiff_t>(i) + 1, tail);
            return i + 1;
        }
        start = end;
    }
    return edits.size();
}

void deleteEdits(EditList &edits, std::int64_t start, std::int64_t duration,
                 std::int32_t mediaTimeScale, std::int32_t movieTimeScale) {
    const auto first = splitEdits(edits, start, mediaTimeScale, movieTimeScale);
    const auto last = splitEdits(edits, start + duration, mediaTimeScale, movieTimeScale);
    edits.erase(edits.begin() + static_cast<std::ptrdiff_t>(first),
                edits.begin() + static_cast<std::ptrdiff_t>(last));
    tidyEdits(edits);
}

void scaleEdits(EditList &edits, std::int64_t start, std::int64_t duration,
                std::int64_t newDuration, double rateFactor, std::int32_t mediaTimeScale,
                std::int32_t movieTimeScale) {
    const auto first = splitEdits(edits, start, mediaTimeScale, movieTimeScale);
    const auto last = splitEdits(edits, start + duration, mediaTimeScale, movieTimeScale);
    // Boundaries are mapped from the segment's start, so rounding never accumulates.
    std::int64_t oldOffset = 0;
    std::int64_t newOffset = 0;
    for (auto i = first; i < last; ++i) {
        oldOffset += edits[i].movieDuration;
        const auto boundary = av_rescale(oldOffset, newDuration, duration);
        edits[i].movieDuration = boundary - newOffset;
        newOffset = boundary;
        if (edits[i].mediaTime >= 0)
            edits[i].rate *= rateFactor;
    }
    tidyEdits(edits);
}

void insertEmptyEdit(EditList &edits, std::int64_t at, std::int64_t duration,
                     std::int32_t mediaTimeScale, std::int32_t movieTimeScale) {
    std::int64_t total = 0;
    for (const auto &edit : edits)
        total += edit.movieDuration;
    if (at >= total || duration <= 0)
        return;
    const auto index = splitEdits(edits, at, mediaTimeScale, movieTimeScale);
    edits.insert(edits.begin() + static_cast<std::ptrdiff_t>(index), {duration, -1, 1.0});
    tidyEdits(edits);
}

EditList extractEdits(EditList edits, std::int64_t start, std::int64_t duration,
                      std::int32_t mediaTimeScale, std::int32_t movieTimeScale) {
    const auto first = splitEdits(edits, start, mediaTimeScale, movieTimeScale);
    const auto last = splitEdits(edits, start + duration, mediaTimeScale, movieTimeScale);
    EditList part(edits.begin() + static_cast<std::ptrdiff_t>(first),
                  edits.begin() + static_cast<std::ptrdiff_t>(last));
    tidyEdits(part);
    return part;
}

EditList rescaleEdits(const EditList &edits, std::int32_t from, std::int32_t to) {
    EditList result = edits;
    std::int64_t oldBoundary = 0;
    std::int64_t newBoundary = 0;
    for (auto &edit : result) {
        oldBoundary += edit.movieDuration;
        const auto boundary = av_rescale(oldBoundary, to, from);
        edit.movieDuration = boundary - newBoundary;
        newBoundary = boundary;
    }
    tidyEdits(result);
    return result;
}

void tidyEdits(EditList &edits) {
    EditList tidy;
    for (const auto &edit : edits) {
        if (edit.movieDuration <= 0)
            continue;
        if (edit.mediaTime < 0 && !tidy.empty() && tidy.back().mediaTime < 0)
            tidy.back().movieDuration += edit.movieDuration;
        else
            tidy.push_back(edit);
    }
    while (!tidy.empty() && tidy.back().mediaTime < 0)
        tidy.pop_back();
    edits = std::move(tidy);
}

} // namespace toolbox
