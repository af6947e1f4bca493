#include "quickTimeWriter.h"

#include "aliasRecord.h"
#include "atoms.h"
#include "movieEdits.h"
#include "sampleTables.h"

#include <cmath>
#include <ctime>
#include <limits>
#include <numeric>

namespace toolbox {
namespace {

constexpr std::uint32_t kMacEpochOffset = 2082844800u; // 1904-01-01 to 1970-01-01

std::uint64_t macTimeNow() {
    return static_cast<std::uint64_t>(std::time(nullptr)) + kMacEpochOffset;
}

bool fits32(std::int64_t value) {
    return value >= 0 && value <= 0xFFFFFFFFll;
}

void writeMatrix(AtomWriter &out, const MovieMatrix &matrix) {
    for (const auto value : matrix)
        out.s32(value);
}

struct WriteContext {
    const Movie &movie;
    const std::string &headerPath;
    // The movie's own dates (the recording's) when it has them: a rewrite keeps them.
    std::uint64_t created =
        MovieAccess::creationTime(movie) != 0 ? MovieAccess::creationTime(movie) : macTimeNow();
    std::uint64_t modified =
        MovieAccess::modificationTime(movie) != 0 ? MovieAccess::modificationTime(movie) : created;
    [[nodiscard]] bool timesFit32() const {
        return created <= 0xFFFFFFFFull && modified <= 0xFFFFFFFFull;
    }
};

std::int64_t trackDuration(const MovieTrack &track) {
    std::int64_t total = 0;
    for (const auto &edit : MovieAccess::edits(track))
        total += edit.movieDuration;
    return total;
}

void writeMovieHeader(AtomWriter &out, const WriteContext &context, std::int64_t duration,
                      std::uint32_t nextTrackId) {
    const auto atom = out.beginAtom(fourCharCode("mvhd"));
    const bool wide = !fits32(duration) || !context.timesFit32();
    out.versionFlags(wide ? 1 : 0, 0);
    if (wide) {
        out.u64(context.created), out.u64(context.modified);
        out.s32(context.movie.timeScale());
        out.s64(duration);
    } else {
        out.u32(static_cast<std::uint32_t>(context.created));
        out.u32(static_cast<std::uint32_t>(context.modified));
        out.s32(context.movie.timeScale());
        out.u32(static_cast<std::uint32_t>(duration));
    }
    out.u32(0x00010000); // preferred rate 1.0
    out.u16(0x0100);     // preferred volume 1.0
    out.zeros(10);
    writeMatrix(out, context.movie.matrix());
    out.zeros(24); // preview, poster, selection, current time
    out.u32(nextTrackId);
    out.endAtom(atom);
}

void writeTrackHeader(AtomWriter &out, const WriteContext &context, const MovieTrack &track,
                      std::uint32_t trackId) {
    const auto atom = out.beginAtom(fourCharCode("tkhd"));
    const auto duration = trackDuration(track);
    const bool wide = !fits32(duration) || !context.timesFit32();
    out.versionFlags(wide ? 1 : 0, (track.enabled() ? 1u : 0u) | 2u | 4u);
    if (wide) {
        out.u64(context.created), out.u64(context.modified);
        out.u32(trackId), out.u32(0);
        out.s64(duration);
    } else {
        out.u32(static_cast<std::uint32_t>(context.created));
        out.u32(static_cast<std::uint32_t>(context.modified));
        out.u32(trackId), out.u32(0);
        out.u32(static_cast<std::uint32_t>(duration));
    }
    out.zeros(8);
    out.s16(MovieAccess::layer(track));
    out.s16(MovieAccess::alternateGroup(track));
    out.s16(MovieAccess::volume(track));
    out.u16(0);
    writeMatrix(out, track.matrix());
    out.u32(static_cast<std::uint32_t>(std::llround(track.width() * 65536.0)));
    out.u32(static_cast<std::uint32_t>(std::llround(track.height() * 65536.0)));
    out.endAtom(atom);
}

void writeEdits(AtomWriter &out, const MovieTrack &track, const TrackTiming &timing) {
    std::vector<std::pair<std::int64_t, std::int64_t>> edits = timing.foldedEdits;
    if (edits.empty())
        for (const auto &edit : MovieAccess::edits(track))
            edits.emplace_back(
                edit.movieDuration,
                edit.mediaTime < 0 ? -1 : edit.mediaTime * std::int64_t(timing.durationFactor));
    bool wide = false;
    for (const auto &[movieDuration, mediaTime] : edits)
        wide =
            wide || !fits32(movieDuration) || mediaTime > std::numeric_limits<std::int32_t>::max();
    const auto edts = out.beginAtom(fourCharCode("edts"));
    const auto elst = out.beginAtom(fourCharCode("elst"));
    out.versionFlags(wide ? 1 : 0, 0);
    out.u32(static_cast<std::uint32_t>(edits.size()));
    for (const auto &[movieDuration, mediaTime] : edits) {
        if (wide) {
            out.s64(movieDuration);
            out.s64(mediaTime);
        } else {
            out.u32(static_cast<std::uint32_t>(movieDuration));
            out.s32(static_cast<std::int32_t>(mediaTime));
        }
        out.u32(0x00010000); // rates are folded into the sample timing
    }
    out.endAtom(elst);
    out.endAtom(edts);
}

void writeMediaHeader(AtomWriter &out, const WriteContext &context, const MovieMedia &media,
                      const TrackTiming &timing) {
    const auto atom = out.beginAtom(fourCharCode("mdhd"));
    const std::int64_t duration = timing.foldedStts.empty()
                                      ? media.duration * std::int64_t(timing.durationFactor)
                                      : timing.foldedMediaDuration;
    const bool wide = !fits32(duration) || !context.timesFit32();
    out.versionFlags(wide ? 1 : 0, 0);
    if (wide) {
        out.u64(context.created), out.u64(context.modified);
        out.s32(timing.mediaTimeScale);
        out.s64(duration);
    } else {
        out.u32(static_cast<std::uint32_t>(context.created));
        out.u32(static_cast<std::uint32_t>(context.modified));
        out.s32(timing.mediaTimeScale);
        out.u32(static_cast<std::uint32_t>(duration));
    }
    out.u16(media.language);
    out.u16(0); // quality
    out.endAtom(atom);
}

void writeHandler(AtomWriter &out, OSType componentType, OSType subtype) {
    const auto atom = out.beginAtom(fourCharCode("hdlr"));
    out.versionFlags(0, 0);
    out.type(componentType);
    out.type(subtype);
    out.zeros(12); // manufacturer, flags, flags mask
    out.u8(0);     // empty counted name
    out.endAtom(atom);
}

void writeMediaInfoHeader(AtomWriter &out, const MovieMedia &media) {
    if (!media.mediaInfoHeader.empty()) {
        out.bytes(media.mediaInfoHeader);
        return;
    }
    if (media.mediaType == kVideoMediaType) {
        const auto atom = out.beginAtom(fourCharCode("vmhd"));
        out.versionFlags(0, 1);
        out.zeros(8); // graphics mode, opcolor
        out.endAtom(atom);
    } else if (media.mediaType == kSoundMediaType) {
        const auto atom = out.beginAtom(fourCharCode("smhd"));
        out.versionFlags(0, 0);
        out.zeros(4); // balance, reserved
        out.endAtom(atom);
    } else {
        const auto gmhd = out.beginAtom(fourCharCode("gmhd"));
        const auto gmin = out.beginAtom(fourCharCode("gmin"));
        out.versionFlags(0, 0);
        out.u16(0x40);                                     // graphics mode: copy
        out.u16(0x8000), out.u16(0x8000), out.u16(0x8000); // opcolor
        out.u16(0), out.u16(0);                            // balance, reserved
        out.endAtom(gmin);
        out.endAtom(gmhd);
    }
}

void writeDataInformation(AtomWriter &out, const WriteContext &context, const TrackOutput &output) {
    const auto dinf = out.beginAtom(fourCharCode("dinf"));
    const auto dref = out.beginAtom(fourCharCode("dref"));
    out.versionFlags(0, 0);
    out.u32(1);
    const auto entry = out.beginAtom(fourCharCode("alis"));
    if (output.selfReference) {
        out.versionFlags(0, 1);
    } else {
        out.versionFlags(0, 0);
        out.bytes(makeAliasRecord(context.headerPath, output.aliasTarget));
    }
    out.endAtom(entry);
    out.endAtom(dref);
    out.endAtom(dinf);
}

MovieStatus writeSampleTable(AtomWriter &out, const TrackOutput &output,
                             const TrackTiming &timing) {
    const auto &media = MovieAccess::media(*output.track);
    const auto stbl = out.beginAtom(fourCharCode("stbl"));
    for (const auto &atom : media.sampleTableAtoms) {
        AtomReader in(atom);
        in.skip(4);
        const auto type = in.u32();
        const bool folded = !timing.foldedStts.empty();
        if (folded && type == fourCharCode("stts")) {
            out.bytes(timing.foldedStts);
        } else if (folded && type == fourCharCode("ctts")) {
            out.bytes(timing.foldedCtts);
        } else if (folded && type == fourCharCode("cslg")) {
            continue;
        } else if (timing.durationFactor != 1 &&
                   (type == fourCharCode("stts") || type == fourCharCode("ctts"))) {
            const auto scaled = multiplyTimeTable(atom, timing.durationFactor);
            if (scaled.empty())
                return MovieStatus::failure(MovieError::Unsupported,
                                            "sample durations overflow when re-timed");
            out.bytes(scaled);
        } else if (timing.durationFactor != 1 && type == fourCharCode("cslg")) {
            continue; // composition shifts would be stale; readers recompute them
        } else if (timing.soundSampleRate > 0 && type == fourCharCode("stsd")) {
            const auto patched = withSoundSampleRate(atom, timing.soundSampleRate);
            if (patched.empty())
                return MovieStatus::failure(MovieError::Unsupported,
                                            "the sound sample rate cannot be re-timed");
            out.bytes(patched);
        } else {
            out.bytes(atom);
        }
    }
    const auto &offsets = output.chunkOffsets ? *output.chunkOffsets : media.chunkOffsets;
    bool wide = false;
    for (const auto offset : offsets)
        wide = wide || offset > 0xFFFFFFFFull;
    const auto table = out.beginAtom(fourCharCode(wide ? "co64" : "stco"));
    out.versionFlags(0, 0);
    out.u32(static_cast<std::uint32_t>(offsets.size()));
    for (const auto offset : offsets) {
        if (wide)
            out.u64(offset);
        else
            out.u32(static_cast<std::uint32_t>(offset));
    }
    out.endAtom(table);
    out.endAtom(stbl);
    return MovieStatus::success();
}

MovieStatus writeTrack(AtomWriter &out, const WriteContext &context, const TrackOutput &output,
                       std::uint32_t trackId) {
    const auto &track = *output.track;
    const auto &media = MovieAccess::media(track);
    if (media.storage != MovieMedia::Storage::QuickTime)
        return MovieStatus::failure(MovieError::Unsupported,
                                    "a track whose media is not QuickTime media");
    TrackTiming timing;
    if (auto status = planTrackTiming(track, timing); !status)
        return status;
    const auto trak = out.beginAtom(fourCharCode("trak"));
    writeTrackHeader(out, context, track, trackId);
    writeEdits(out, track, timing);
    const auto mdia = out.beginAtom(fourCharCode("mdia"));
    writeMediaHeader(out, context, media, timing);
    writeHandler(out, fourCharCode("mhlr"), media.mediaType);
    const auto minf = out.beginAtom(fourCharCode("minf"));
    writeMediaInfoHeader(out, media);
    writeHandler(out, fourCharCode("dhlr"), fourCharCode("alis"));
    writeDataInformation(out, context, output);
    if (auto status = writeSampleTable(out, output, timing); !status)
        return status;
    out.endAtom(minf);
    out.endAtom(mdia);
    out.endAtom(trak);
    return MovieStatus::success();
}

} // namespace

namespace {

/// Edits at several rates: every sample gets the durations of the edit that shows it, in a time
/// scale fine enough that each rate's stretch is whole (a quarter speed needs none finer).
MovieStatus planFoldedTiming(const MovieTrack &track, TrackTiming &timing) {
    const auto &media = MovieAccess::media(track);
    if (media.mediaType != fourCharCode("vide"))
        return MovieStatus::failure(MovieError::Unsupported,
                                    "a sound track played at several rates");
    const auto &edits = MovieAccess::edits(track);
    std::vector<RateRange> ranges;
    for (const auto &edit : edits)
        if (edit.mediaTime >= 0)
            ranges.push_back({edit.mediaTime,
                              mediaTimeAt(edit, edit.movieDuration, media.timeScale,
                                          MovieAccess::movieTimeScale(track)),
                              edit.rate});
    std::uint32_t factor = 1;
    for (std::uint32_t candidate = 1; candidate <= 1000; ++candidate) {
        bool whole = true;
        for (const RateRange &range : ranges) {
            const double stretch = candidate / range.rate;
            whole = whole && std::fabs(stretch - std::round(stretch)) < 1e-6;
        }
        if (whole) {
            factor = candidate;
            break;
        }
    }
    const std::int64_t timeScale = std::int64_t(media.timeScale) * factor;
    if (timeScale > std::numeric_limits<std::int32_t>::max())
        return MovieStatus::failure(MovieError::Unsupported,
                                    "the new time scale of a re-timed track does not fit");
    const std::optional<std::vector<RateRange>> merged = mergeRateRanges(ranges);
    const FoldedTiming folded = merged ? foldEditRates(media, *merged, factor) : FoldedTiming{};
    if (folded.stts.empty())
        return MovieStatus::failure(MovieError::Unsupported,
                                    "a track whose edits show the same pictures at several rates");
    timing.mediaTimeScale = static_cast<std::int32_t>(timeScale);
    timing.foldedStts = folded.stts;
    timing.foldedCtts = folded.ctts;
    timing.foldedMediaDuration = folded.mediaDuration;
    // Edits that follow each other in the media become one: a slow-motion section between
    // two edits at normal speed is one run of pictures now, which no reader decodes twice
    // (FFmpeg times an edit after the pictures it decodes before it, at their new durations).
    std::int64_t foldedEnd = -1;
    for (const auto &edit : edits) {
        if (edit.mediaTime < 0) {
            timing.foldedEdits.emplace_back(edit.movieDuration, -1);
            foldedEnd = -1;
            continue;
        }
        const std::int64_t start = foldedMediaTime(*merged, factor, edit.mediaTime);
        const std::int64_t end =
            foldedMediaTime(*merged, factor,
                            mediaTimeAt(edit, edit.movieDuration, media.timeScale,
                                        MovieAccess::movieTimeScale(track)));
        if (start == foldedEnd && !timing.foldedEdits.empty())
            timing.foldedEdits.back().first += edit.movieDuration;
        else
            timing.foldedEdits.emplace_back(edit.movieDuration, start);
        foldedEnd = end;
    }
    return MovieStatus::success();
}

} // namespace

MovieStatus planTrackTiming(const MovieTrack &track, TrackTiming &timing) {
    const auto &media = MovieAccess::media(track);
    timing = TrackTiming{};
    timing.mediaTimeScale = media.timeScale;
    double rate = 0;
    bool severalRates = false;
    for (const auto &edit : MovieAccess::edits(track)) {
        if (edit.mediaTime < 0)
            continue;
        if (edit.rate <= 0)
            return MovieStatus::failure(MovieError::Unsupported, "a track played backwards");
        severalRates = severalRates || (rate != 0 && std::fabs(edit.rate - rate) > 1e-9 * rate);
        rate = edit.rate;
    }
    if (severalRates)
        return planFoldedTiming(track, timing);
    if (rate == 0 || std::fabs(rate - 1.0) < 1e-12)
        return MovieStatus::success();
    if (rate < 0)
        return MovieStatus::failure(MovieError::Unsupported, "a track played backwards");
    if (isUncompressedSound(media) && std::llround(soundSampleRate(media)) == media.timeScale) {
        // PCM counts one time unit per sample. Keep it that way at a whole number of samples per
        // second: readers take the sample rate from the sound description, and a fractional one
        // with a huge time scale and long sample durations made the sound unreadable (a
        // re-encoder then dropped it). Rounding moves the rate by less than half a sample per
        // second.
        const auto newRate = std::llround(double(media.timeScale) * rate);
        if (newRate <= 0 || newRate > std::numeric_limits<std::int32_t>::max())
            return MovieStatus::failure(MovieError::Unsupported,
                                        "the new sample rate of a re-timed track does not fit");
        timing.mediaTimeScale = static_cast<std::int32_t>(newRate);
        timing.durationFactor = 1;
        timing.soundSampleRate = double(newRate);
        return MovieStatus::success();
    }
    const AVRational fraction = av_d2q(rate, 1 << 20);
    const std::int64_t numerator = std::int64_t(media.timeScale) * fraction.num;
    const std::int64_t divisor = std::gcd(numerator, std::int64_t(fraction.den));
    const std::int64_t timeScale = numerator / divisor;
    const std::int64_t factor = fraction.den / divisor;
    if (timeScale <= 0 || timeScale > std::numeric_limits<std::int32_t>::max() || factor > 0xFFFF)
        return MovieStatus::failure(MovieError::Unsupported,
                                    "the new time scale of a re-timed track does not fit");
    timing.mediaTimeScale = static_cast<std::int32_t>(timeScale);
    timing.durationFactor = static_cast<std::uint32_t>(factor);
    if (isUncompressedSound(media))
        timing.soundSampleRate = soundSampleRate(media) * fraction.num / fraction.den;
    return MovieStatus::success();
}

std::vector<std::uint8_t> quickTimeFileType() {
    AtomWriter out;
    const auto atom = out.beginAtom(fourCharCode("ftyp"));
    out.type(fourCharCode("qt  "));
    out.u32(0x20050300);
    out.type(fourCharCode("qt  "));
    out.endAtom(atom);
    return out.take();
}

MovieStatus buildMovieAtom(const Movie &movie, const std::vector<TrackOutput> &tracks,
                           const std::string &headerPath, std::vector<std::uint8_t> &moov) {
    WriteContext context{movie, headerPath};
    AtomWriter out;
    const auto atom = out.beginAtom(fourCharCode("moov"));
    std::int64_t duration = 0;
    for (const auto &output : tracks)
        duration = std::max(duration, trackDuration(*output.track));
    writeMovieHeader(out, context, duration, static_cast<std::uint32_t>(tracks.size() + 1));
    std::uint32_t trackId = 1;
    for (const auto &output : tracks)
        if (auto status = writeTrack(out, context, output, trackId++); !status)
            return status;
    // 'udta' and 'meta' as they were read: the toolbox changes no metadata.
    out.bytes(MovieAccess::userData(movie));
    out.bytes(MovieAccess::metadata(movie));
    out.endAtom(atom);
    if (out.size() > 0xFFFFFFFFull)
        return MovieStatus::failure(MovieError::Unsupported, "movie header too large");
    moov = out.take();
    return MovieStatus::success();
}

} // namespace toolbox
