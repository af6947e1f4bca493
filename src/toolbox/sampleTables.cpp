#include "sampleTables.h"

#include "atoms.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace toolbox {
namespace {

constexpr std::size_t kStsdEntriesStart = 16; // atom header 8, version/flags 4, count 4

} // namespace

std::span<const std::uint8_t> sampleTableAtom(const MovieMedia &media, OSType type) {
    for (const auto &atom : media.sampleTableAtoms) {
        AtomReader in(atom);
        in.skip(4);
        if (in.u32() == type)
            return atom;
    }
    return {};
}

bool chunkByteSizes(const MovieMedia &media, std::vector<std::uint64_t> &sizes) {
    sizes.clear();
    const auto stsc = sampleTableAtom(media, fourCharCode("stsc"));
    const auto stsz = sampleTableAtom(media, fourCharCode("stsz"));
    if (stsz.size() < 20)
        return media.chunkOffsets.empty();
    if (stsc.size() < 16)
        return false;
    AtomReader runs(stsc.subspan(12));
    const auto runCount = runs.u32();
    if (runCount == 0 || runCount > runs.remaining() / 12)
        return false;
    AtomReader table(stsz.subspan(12));
    const auto uniformSize = table.u32();
    const auto sampleCount = table.u32();
    if (!uniformSize && sampleCount > table.remaining() / 4)
        return false;
    if (media.chunkOffsets.empty())
        return sampleCount == 0;

    std::uint32_t run = 0;
    runs.skip(4); // first chunk of the first run: 1
    std::uint32_t samplesPerChunk = runs.u32();
    runs.skip(4);
    std::uint32_t nextFirst = runCount > 1 ? runs.u32() : std::numeric_limits<std::uint32_t>::max();
    std::uint64_t sample = 0;
    sizes.reserve(media.chunkOffsets.size());
    for (std::uint64_t chunk = 1; chunk <= media.chunkOffsets.size(); ++chunk) {
        while (chunk >= nextFirst && run + 1 < runCount) {
            ++run;
            samplesPerChunk = runs.u32();
            runs.skip(4);
            nextFirst = run + 1 < runCount ? runs.u32() : std::numeric_limits<std::uint32_t>::max();
        }
        std::uint64_t bytes = 0;
        if (sample + samplesPerChunk > sampleCount)
            return false;
        if (uniformSize) {
            // Uncompressed sound has one "sample" per sound sample: no loop over millions.
            bytes = std::uint64_t(samplesPerChunk) * uniformSize;
            sample += samplesPerChunk;
        } else {
            for (std::uint32_t i = 0; i < samplesPerChunk; ++i, ++sample)
                bytes += table.u32();
        }
        sizes.push_back(bytes);
    }
    // Samples that no chunk holds: the tables were cut or damaged.
    return sample == sampleCount && !runs.failed() && !table.failed();
}

std::int64_t sampleBytesInRanges(const MovieMedia &media,
                                 const std::vector<std::pair<std::int64_t, std::int64_t>> &ranges) {
    const auto stts = sampleTableAtom(media, fourCharCode("stts"));
    const auto stsz = sampleTableAtom(media, fourCharCode("stsz"));
    if (stts.size() < 16 || stsz.size() < 20)
        return media.chunkOffsets.empty() ? 0 : -1;
    // The ranges sorted and merged, so that a sample played twice counts once.
    auto merged = ranges;
    std::sort(merged.begin(), merged.end());
    std::vector<std::pair<std::int64_t, std::int64_t>> spans;
    for (const auto &range : merged) {
        if (range.second <= range.first)
            continue;
        if (!spans.empty() && range.first <= spans.back().second)
            spans.back().second = std::max(spans.back().second, range.second);
        else
            spans.push_back(range);
    }
    AtomReader times(stts.subspan(12));
    const auto entries = times.u32();
    AtomReader table(stsz.subspan(12));
    const auto uniformSize = table.u32();
    const auto sampleCount = table.u32();
    if (entries > times.remaining() / 8 || (!uniformSize && sampleCount > table.remaining() / 4))
        return -1;
    std::int64_t total = 0;
    std::int64_t time = 0;
    std::uint64_t sample = 0;
    for (std::uint32_t entry = 0; entry < entries && sample < sampleCount; ++entry) {
        const std::int64_t count = std::min<std::uint64_t>(times.u32(), sampleCount - sample);
        const std::int64_t delta = times.u32();
        if (uniformSize) {
            // Samples k of the run cover [time + k delta, time + (k + 1) delta).
            std::int64_t played = 0;
            for (const auto &[start, end] : spans) {
                if (delta == 0) {
                    played = (time >= start && time < end) ? count : played;
                    continue;
                }
                const auto first =
                    std::max<std::int64_t>(0, start <= time ? 0 : (start - time) / delta);
                const auto last = std::min<std::int64_t>(
                    count, end <= time ? 0 : (end - time + delta - 1) / delta);
                played += std::max<std::int64_t>(0, last - first);
            }
            total += std::min(played, count) * std::int64_t(uniformSize);
        } else {
            for (std::int64_t k = 0; k < count; ++k) {
                const std::int64_t size = table.u32();
                const auto begin = time + k * delta;
                const auto finish = begin + std::max<std::int64_t>(delta, 1);
                for (const auto &[start, end] : spans)
                    if (begin < end && finish > start) {
                        total += size;
                        break;
                    }
            }
        }
        time += count * delta;
        sample += static_cast<std::uint64_t>(count);
    }
    return times.failed() || table.failed() ? -1 : total;
}

double soundSampleRate(const MovieMedia &media) {
    const auto stsd = sampleTableAtom(media, fourCharCode("stsd"));
    if (media.mediaType != kSoundMediaType || stsd.size() < kStsdEntriesStart + 36)
        return 0;
    AtomReader in(stsd.subspan(kStsdEntriesStart));
    in.skip(16);
    const auto version = in.u16();
    in.skip(14);
    const double rate16 = in.u32() / 65536.0;
    if (version == 2) {
        in.skip(4);
        return std::bit_cast<double>(in.u64());
    }
    return rate16;
}

bool isUncompressedSound(const MovieMedia &media) {
    const auto stsd = sampleTableAtom(media, fourCharCode("stsd"));
    if (media.mediaType != kSoundMediaType || stsd.size() < kStsdEntriesStart + 8)
        return false;
    AtomReader in(stsd.subspan(kStsdEntriesStart + 4));
    const auto format = in.u32();
    for (const char *code :
         {"lpcm", "sowt", "twos", "raw ", "NONE", "in24", "in32", "fl32", "fl64", "ulaw", "alaw"})
        if (format == fourCharCode(code))
            return true;
    return false;
}

std::vector<std::uint8_t> multiplyTimeTable(std::span<const std::uint8_t> atom,
                                            std::uint32_t factor) {
    AtomReader in(atom);
    AtomWriter out;
    const auto position = out.beginAtom((in.skip(4), in.u32()));
    const auto version = in.u8();
    const auto flagsHigh = in.u8();
    const auto flagsLow = in.u16();
    out.u8(version);
    out.u8(flagsHigh);
    out.u16(flagsLow);
    const auto count = in.u32();
    out.u32(count);
    if (count > in.remaining() / 8)
        return {};
    const bool isOffsetTable = atom.size() >= 8 && fourCharCode("ctts") == [&] {
        AtomReader type(atom.subspan(4));
        return type.u32();
    }();
    for (std::uint32_t i = 0; i < count; ++i) {
        out.u32(in.u32());
        if (isOffsetTable && version == 1) {
            const std::int64_t value = std::int64_t(in.s32()) * factor;
            if (value > std::numeric_limits<std::int32_t>::max() ||
                value < std::numeric_limits<std::int32_t>::min())
                return {};
            out.s32(static_cast<std::int32_t>(value));
        } else {
            const std::uint64_t value = std::uint64_t(in.u32()) * factor;
            if (value > std::numeric_limits<std::uint32_t>::max())
                return {};
            out.u32(static_cast<std::uint32_t>(value));
        }
    }
    if (in.failed())
        return {};
    out.endAtom(position);
    return out.take();
}

std::vector<std::uint8_t> withSoundSampleRate(std::span<const std::uint8_t> stsd, double rate) {
    std::vector<std::uint8_t> bytes(stsd.begin(), stsd.end());
    if (bytes.size() < kStsdEntriesStart)
        return {};
    AtomReader header(std::span<const std::uint8_t>(bytes).subspan(12));
    const auto count = header.u32();
    std::size_t position = kStsdEntriesStart;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (position + 36 > bytes.size())
            return {};
        AtomReader entry(std::span<const std::uint8_t>(bytes).subspan(position));
        const auto entrySize = entry.u32();
        entry.skip(12);
        const auto version = entry.u16();
        auto put32 = [&](std::size_t at, std::uint32_t value) {
            for (int b = 0; b < 4; ++b)
                bytes[at + b] = static_cast<std::uint8_t>(value >> (24 - 8 * b));
        };
        if (version == 2) {
            if (position + 48 > bytes.size())
                return {};
            const auto bits = std::bit_cast<std::uint64_t>(rate);
            put32(position + 40, static_cast<std::uint32_t>(bits >> 32));
            put32(position + 44, static_cast<std::uint32_t>(bits));
        } else {
            if (rate >= 65536.0 || rate <= 0)
                return {};
            put32(position + 32, static_cast<std::uint32_t>(std::llround(rate * 65536.0)));
        }
        if (entrySize < 36)
            return {};
        position += entrySize;
    }
    return bytes;
}

namespace {

struct Run {
    std::int64_t count = 0;
    std::int64_t value = 0;
};

/// The runs of an 'stts' or 'ctts' atom (whole); false when damaged.
bool timeRuns(std::span<const std::uint8_t> atom, bool offsets, std::vector<Run> &runs,
              bool &signedValues) {
    runs.clear();
    signedValues = false;
    if (atom.empty())
        return true;
    if (atom.size() < 16)
        return false;
    AtomReader in(atom.subspan(8));
    const auto version = in.u8();
    in.skip(3);
    signedValues = offsets && version == 1;
    const auto count = in.u32();
    if (count > in.remaining() / 8)
        return false;
    runs.reserve(count);
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::int64_t n = in.u32();
        const std::uint32_t raw = in.u32();
        runs.push_back({n, signedValues ? std::int64_t(std::int32_t(raw)) : std::int64_t(raw)});
    }
    return !in.failed();
}

/// Appends a value to run-length runs.
void appendRun(std::vector<Run> &runs, std::int64_t value) {
    if (!runs.empty() && runs.back().value == value && runs.back().count < 0xFFFFFFFFLL)
        ++runs.back().count;
    else
        runs.push_back({1, value});
}

std::vector<std::uint8_t> timeAtom(OSType type, const std::vector<Run> &runs, bool signedValues) {
    AtomWriter out;
    const auto atom = out.beginAtom(type);
    out.versionFlags(signedValues ? 1 : 0, 0);
    out.u32(static_cast<std::uint32_t>(runs.size()));
    for (const Run &run : runs) {
        out.u32(static_cast<std::uint32_t>(run.count));
        if (signedValues)
            out.s32(static_cast<std::int32_t>(run.value));
        else
            out.u32(static_cast<std::uint32_t>(run.value));
    }
    out.endAtom(atom);
    return out.take();
}

} // namespace

std::optional<std::vector<RateRange>> mergeRateRanges(const std::vector<RateRange> &ranges) {
    std::vector<RateRange> sorted = ranges;
    std::sort(sorted.begin(), sorted.end(),
              [](const RateRange &a, const RateRange &b) { return a.start < b.start; });
    std::vector<RateRange> merged;
    for (const RateRange &range : sorted) {
        if (range.end <= range.start || range.rate <= 0)
            continue;
        if (!merged.empty() && range.start < merged.back().end) {
            if (std::fabs(range.rate - merged.back().rate) > 1e-9)
                return std::nullopt;
            merged.back().end = std::max(merged.back().end, range.end);
        } else {
            merged.push_back(range);
        }
    }
    return merged;
}

std::int64_t foldedMediaTime(const std::vector<RateRange> &ranges, std::uint32_t factor,
                             std::int64_t t) {
    long double folded = static_cast<long double>(t);
    for (const RateRange &range : ranges) {
        const std::int64_t inside = std::min(t, range.end) - range.start;
        if (inside > 0 && range.rate > 0)
            folded += static_cast<long double>(inside) * (1.0L / range.rate - 1.0L);
    }
    return std::llround(folded * factor);
}

FoldedTiming foldEditRates(const MovieMedia &media, const std::vector<RateRange> &ranges,
                           std::uint32_t factor) {
    FoldedTiming folded;
    const std::vector<RateRange> &merged = ranges;
    std::vector<Run> durations;
    std::vector<Run> offsets;
    bool unused = false;
    bool signedOffsets = false;
    const auto stts = sampleTableAtom(media, fourCharCode("stts"));
    const auto ctts = sampleTableAtom(media, fourCharCode("ctts"));
    if (!timeRuns(stts, false, durations, unused) || !timeRuns(ctts, true, offsets, signedOffsets))
        return {};
    std::vector<Run> newDurations;
    std::vector<Run> newOffsets;
    std::size_t offsetRun = 0;
    std::int64_t offsetLeft = offsets.empty() ? 0 : offsets.front().count;
    std::int64_t dts = 0;
    for (const Run &run : durations) {
        for (std::int64_t k = 0; k < run.count; ++k) {
            std::int64_t offset = 0;
            if (!offsets.empty()) {
                while (offsetLeft == 0 && offsetRun + 1 < offsets.size())
                    offsetLeft = offsets[++offsetRun].count;
                if (offsetLeft > 0) {
                    offset = offsets[offsetRun].value;
                    --offsetLeft;
                }
            }
            const std::int64_t start = foldedMediaTime(merged, factor, dts);
            const std::int64_t end = foldedMediaTime(merged, factor, dts + run.value);
            const std::int64_t shown = foldedMediaTime(merged, factor, dts + offset) - start;
            if (end - start < 0 || end - start > 0xFFFFFFFFLL ||
                shown > std::numeric_limits<std::int32_t>::max() ||
                shown < std::numeric_limits<std::int32_t>::min())
                return {};
            appendRun(newDurations, end - start);
            if (!offsets.empty())
                appendRun(newOffsets, shown);
            dts += run.value;
        }
    }
    bool negative = false;
    for (const Run &run : newOffsets)
        negative = negative || run.value < 0;
    folded.stts = timeAtom(fourCharCode("stts"), newDurations, false);
    if (!offsets.empty())
        folded.ctts = timeAtom(fourCharCode("ctts"), newOffsets, negative || signedOffsets);
    folded.mediaDuration = foldedMediaTime(merged, factor, std::max(media.duration, dts));
    return folded;
}

} // namespace toolbox
