#include "quickTimeReader.h"

#include "aliasRecord.h"
#include "atoms.h"
#include "sampleTables.h"

#include <filesystem>

namespace toolbox {
namespace {

constexpr OSType kFtyp = fourCharCode("ftyp");
constexpr OSType kMoov = fourCharCode("moov");

bool startsQuickTimeFile(OSType type) {
    for (const char *code :
         {"ftyp", "moov", "mdat", "free", "skip", "wide", "pnot", "junk", "uuid", "PICT", "pict"})
        if (type == fourCharCode(code))
            return true;
    return false;
}

MovieMatrix readMatrix(AtomReader &in) {
    MovieMatrix matrix{};
    for (auto &value : matrix)
        value = in.s32();
    return matrix;
}

struct TrackParser {
    const std::string &moviePath;
    std::uint64_t fileSize;
    ParsedTrack track;
    std::shared_ptr<MovieMedia> media = std::make_shared<MovieMedia>();
    std::string error;

    bool fail(const std::string &text) {
        error = text;
        return false;
    }

    bool parseTrackHeader(std::span<const std::uint8_t> body) {
        AtomReader in(body);
        const auto version = in.u8();
        const auto flags = (std::uint32_t(in.u8()) << 16) | (in.u16());
        track.enabled = (flags & 1) != 0;
        in.skip(version == 1 ? 16 : 8); // creation, modification
        track.trackId = in.u32();
        in.skip(4);
        in.skip(version == 1 ? 8 : 4); // duration: recomputed from the edits
        in.skip(8);
        track.layer = in.s16();
        track.alternateGroup = in.s16();
        track.volume = in.s16();
        in.skip(2);
        track.matrix = readMatrix(in);
        track.width = in.u32() / 65536.0;
        track.height = in.u32() / 65536.0;
        return !in.failed() || fail("damaged track header");
    }

    bool parseEditList(std::span<const std::uint8_t> body) {
        AtomReader in(body);
        const auto version = in.u8();
        in.skip(3);
        const auto count = in.u32();
        if (count > in.remaining() / 12)
            return fail("damaged edit list");
        for (std::uint32_t i = 0; i < count && !in.failed(); ++i) {
            MovieTrack::Edit edit;
            edit.movieDuration = version == 1 ? in.s64() : in.u32();
            edit.mediaTime = version == 1 ? in.s64() : in.s32();
            edit.rate = in.s32() / 65536.0;
            if (edit.mediaTime < 0)
                edit.mediaTime = -1, edit.rate = 1.0;
            track.edits.push_back(edit);
        }
        return !in.failed() || fail("damaged edit list");
    }

    bool parseMediaHeader(std::span<const std::uint8_t> body) {
        AtomReader in(body);
        const auto version = in.u8();
        in.skip(3);
        in.skip(version == 1 ? 16 : 8);
        media->timeScale = in.s32();
        media->duration = version == 1 ? in.s64() : in.u32();
        media->language = in.u16();
        if (in.failed() || media->timeScale <= 0)
            return fail("damaged media header");
        return true;
    }

    bool parseDataReference(std::span<const std::uint8_t> body) {
        AtomReader in(body);
        in.skip(4);
        const auto count = in.u32();
        if (count == 0 || in.failed())
            return fail("no data reference");
        // Only the first entry is used (the sample descriptions of ordinary movies name it).
        const auto size = in.u32();
        const auto type = in.u32();
        const auto flags = in.u32() & 0xFFFFFF;
        if (size < 12 || size - 12 > in.remaining())
            return fail("damaged data reference");
        const auto data = in.bytes(size - 12);
        if (flags & 1) {
            media->selfReference = true;
            media->path = moviePath;
            return true;
        }
        if (type == fourCharCode("alis")) {
            media->path = resolveAliasRecord(data, moviePath);
        } else if (type == fourCharCode("url ")) {
            std::string url(data.begin(), data.end());
            url = url.substr(0, url.find('\0'));
            if (url.starts_with("file://"))
                url.erase(0, 7);
            namespace fs = std::filesystem;
            media->path = fs::path(url).is_absolute()
                              ? url
                              : (fs::path(moviePath).parent_path() / url).string();
        }
        if (media->path.empty())
            return fail("a data reference of a kind not supported");
        return true;
    }

    bool parseSampleTable(std::span<const std::uint8_t> body) {
        std::vector<AtomView> atoms;
        if (!listAtoms(body, atoms))
            return fail("damaged sample table");
        for (const auto &atom : atoms) {
            if (atom.type == fourCharCode("stco") || atom.type == fourCharCode("co64")) {
                const bool wide = atom.type == fourCharCode("co64");
                AtomReader in(atom.body);
                in.skip(4);
                const auto count = in.u32();
                if (count > in.remaining() / (wide ? 8 : 4))
                    return fail("damaged chunk offsets");
                media->chunkOffsets.reserve(count);
                for (std::uint32_t i = 0; i < count; ++i)
                    media->chunkOffsets.push_back(wide ? in.u64() : in.u32());
            } else {
                media->sampleTableAtoms.emplace_back(atom.whole.begin(), atom.whole.end());
            }
        }
        return true;
    }

    bool parseMediaInformation(std::span<const std::uint8_t> body) {
        std::vector<AtomView> atoms;
        if (!listAtoms(body, atoms))
            return fail("damaged media information");
        for (const auto &atom : atoms) {
            if (atom.type == fourCharCode("dinf")) {
                std::vector<AtomView> inner;
                listAtoms(atom.body, inner);
                const auto dref = findAtom(inner, fourCharCode("dref"));
                if (dref.whole.empty() || !parseDataReference(dref.body))
                    return fail(error.empty() ? "no data reference" : error);
            } else if (atom.type == fourCharCode("stbl")) {
                if (!parseSampleTable(atom.body))
                    return false;
            } else if (atom.type != fourCharCode("hdlr")) {
                media->mediaInfoHeader.assign(atom.whole.begin(), atom.whole.end());
            }
        }
        return true;
    }

    bool parseMedia(std::span<const std::uint8_t> body) {
        std::vector<AtomView> atoms;
        if (!listAtoms(body, atoms))
            return fail("damaged media");
        const auto mdhd = findAtom(atoms, fourCharCode("mdhd"));
        const auto hdlr = findAtom(atoms, fourCharCode("hdlr"));
        const auto minf = findAtom(atoms, fourCharCode("minf"));
        if (mdhd.whole.empty() || hdlr.whole.empty() || minf.whole.empty())
            return fail("incomplete media");
        AtomReader handler(hdlr.body);
        handler.skip(8);
        media->mediaType = handler.u32();
        return parseMediaHeader(mdhd.body) && parseMediaInformation(minf.body);
    }

    bool parse(std::span<const std::uint8_t> body) {
        std::vector<AtomView> atoms;
        if (!listAtoms(body, atoms))
            return fail("damaged track");
        const auto tkhd = findAtom(atoms, fourCharCode("tkhd"));
        const auto mdia = findAtom(atoms, fourCharCode("mdia"));
        if (tkhd.whole.empty() || mdia.whole.empty())
            return fail("incomplete track");
        if (!parseTrackHeader(tkhd.body) || !parseMedia(mdia.body))
            return false;
        const auto edts = findAtom(atoms, fourCharCode("edts"));
        if (!edts.whole.empty()) {
            std::vector<AtomView> inner;
            listAtoms(edts.body, inner);
            const auto elst = findAtom(inner, fourCharCode("elst"));
            if (!elst.whole.empty() && !parseEditList(elst.body))
                return false;
        }
        media->headerPath = moviePath;
        track.media = media;
        return true;
    }
};

} // namespace

void scanTopLevelAtoms(const File &file, std::vector<TopLevelAtom> &atoms, bool &looksLikeQuickTime,
                       bool &truncated) {
    looksLikeQuickTime = false;
    truncated = false;
    const auto fileSize = static_cast<std::uint64_t>(std::max<std::int64_t>(file.size(), 0));
    std::uint64_t offset = 0;
    while (offset + 8 <= fileSize) {
        std::uint8_t header[16] = {};
        const auto headerBytes = std::min<std::uint64_t>(16, fileSize - offset);
        if (!file.readAt(offset, {header, static_cast<std::size_t>(headerBytes)}))
            break;
        AtomReader in({header, 16});
        TopLevelAtom atom;
        atom.offset = offset;
        atom.size = in.u32();
        atom.type = in.u32();
        if (atoms.empty()) {
            looksLikeQuickTime =
                startsQuickTimeFile(atom.type) && (atom.size == 0 || atom.size >= 8);
            if (!looksLikeQuickTime)
                return;
        }
        if (atom.size == 1) {
            atom.size = in.u64();
            atom.headerSize = 16;
        } else if (atom.size == 0) {
            atom.size = fileSize - offset;
        }
        if (atom.size < atom.headerSize) {
            truncated = true;
            return;
        }
        if (atom.size > fileSize - offset) {
            truncated = true;
            atom.size = fileSize - offset;
            atoms.push_back(atom);
            return;
        }
        atoms.push_back(atom);
        offset += atom.size;
    }
    if (offset < fileSize && atoms.empty())
        looksLikeQuickTime = false;
}

bool findMovieAtom(const std::string &path, TopLevelAtom &moov) {
    File file;
    if (!file.open(path))
        return false;
    std::vector<TopLevelAtom> atoms;
    bool quickTime = false, truncated = false;
    scanTopLevelAtoms(file, atoms, quickTime, truncated);
    for (const auto &atom : atoms)
        if (atom.type == kMoov && !(truncated && &atom == &atoms.back())) {
            moov = atom;
            return true;
        }
    return false;
}

std::optional<std::uint64_t> creationDateKeyTime(std::span<const std::uint8_t> metaBody) {
    const std::optional<std::string> text = creationDateKeyText(metaBody);
    return text ? iso8601MacTime(*text) : std::nullopt;
}

std::optional<std::int32_t> iso8601ZoneSeconds(std::string_view text) {
    std::size_t at = 19;
    if (text.size() < at)
        return std::nullopt;
    if (at < text.size() && text[at] == '.')
        for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        }
    if (at >= text.size())
        return std::nullopt;
    if (text[at] == 'Z')
        return 0;
    if (text[at] != '+' && text[at] != '-')
        return std::nullopt;
    const auto two = [&](std::size_t from) -> std::optional<int> {
        if (from + 2 > text.size() || text[from] < '0' || text[from] > '9' ||
            text[from + 1] < '0' || text[from + 1] > '9')
            return std::nullopt;
        return (text[from] - '0') * 10 + (text[from + 1] - '0');
    };
    const auto hours = two(at + 1);
    std::size_t minuteAt = at + 3;
    if (minuteAt < text.size() && text[minuteAt] == ':')
        ++minuteAt;
    const auto minutes = minuteAt < text.size() ? two(minuteAt) : std::optional<int>(0);
    if (!hours || !minutes || *hours > 14 || *minutes > 59)
        return std::nullopt;
    return (text[at] == '-' ? -1 : 1) * (*hours * 3600 + *minutes * 60);
}

std::optional<std::string> creationDateKeyText(std::span<const std::uint8_t> metaBody) {
    // 'meta' is a full atom in some writers (version and flags first) and not in others.
    for (const std::size_t skip : {std::size_t(0), std::size_t(4)}) {
        if (metaBody.size() < skip)
            break;
        std::vector<AtomView> children;
        if (!listAtoms(metaBody.subspan(skip), children))
            continue;
        const auto keys = findAtom(children, fourCharCode("keys"));
        const auto ilst = findAtom(children, fourCharCode("ilst"));
        if (keys.whole.empty() || ilst.whole.empty())
            continue;
        // 'keys': version and flags, a count, then (size, namespace, name) per key.
        AtomReader in(keys.body);
        in.skip(4);
        const std::uint32_t count = in.u32();
        std::uint32_t wanted = 0;
        for (std::uint32_t i = 1; i <= count && !in.failed() && wanted == 0; ++i) {
            const std::uint32_t size = in.u32();
            in.skip(4);
            if (size < 8 || size - 8 > in.remaining())
                return std::nullopt;
            const auto name = in.bytes(size - 8);
            if (std::string_view(reinterpret_cast<const char *>(name.data()), name.size()) ==
                "com.apple.quicktime.creationdate")
                wanted = i;
        }
        if (wanted == 0)
            return std::nullopt;
        std::vector<AtomView> items;
        if (!listAtoms(ilst.body, items))
            return std::nullopt;
        const auto item = findAtom(items, wanted);
        std::vector<AtomView> values;
        if (item.whole.empty() || !listAtoms(item.body, values))
            return std::nullopt;
        const auto data = findAtom(values, fourCharCode("data"));
        if (data.body.size() <= 8)
            return std::nullopt;
        const auto text = data.body.subspan(8); // type and locale first
        return std::string(reinterpret_cast<const char *>(text.data()), text.size());
    }
    return std::nullopt;
}

std::optional<std::uint64_t> iso8601MacTime(std::string_view text) {
    // YYYY-MM-DDThh:mm:ss, an optional fraction, then Z or a zone offset (+hhmm, +hh:mm, +hh).
    auto digits = [&](std::size_t at, std::size_t count) -> std::optional<int> {
        if (at + count > text.size())
            return std::nullopt;
        int value = 0;
        for (std::size_t i = at; i < at + count; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return std::nullopt;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    const auto year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
    const auto hour = digits(11, 2), minute = digits(14, 2), second = digits(17, 2);
    if (!year || !month || !day || !hour || !minute || !second || text.size() < 19 ||
        text[4] != '-' || text[7] != '-' || (text[10] != 'T' && text[10] != ' ') ||
        text[13] != ':' || text[16] != ':' || *month < 1 || *month > 12 || *day < 1 || *day > 31 ||
        *hour > 23 || *minute > 59 || *second > 60)
        return std::nullopt;
    std::size_t at = 19;
    if (at < text.size() && text[at] == '.')
        for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        }
    std::int64_t offset = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        const auto hours = digits(at + 1, 2);
        std::size_t minuteAt = at + 3;
        if (minuteAt < text.size() && text[minuteAt] == ':')
            ++minuteAt;
        const auto minutes = minuteAt < text.size() ? digits(minuteAt, 2) : std::optional<int>(0);
        if (!hours || !minutes)
            return std::nullopt;
        offset = (text[at] == '-' ? -1 : 1) * (std::int64_t(*hours) * 3600 + *minutes * 60);
    }
    // Days from 1970-01-01 of a proleptic Gregorian date.
    const int y = *year - (*month <= 2 ? 1 : 0);
    const int era = y / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (*month + (*month > 2 ? -3 : 9)) + 2) / 5 + *day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days = std::int64_t(era) * 146097 + doe - 719468;
    const std::int64_t unix = days * 86400 + *hour * 3600 + *minute * 60 + *second - offset;
    const std::int64_t mac = unix + 2082844800;
    if (mac <= 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(mac);
}

void unwrapHeaderTimes(ParsedMovie &movie, std::optional<std::uint64_t> keyTime) {
    // A 32-bit header time ends on 2040-02-06: writers that keep version 0 headers (the
    // ffmpeg program does) store a later date cut to its low 32 bits. The creation-date key
    // holds the whole date; when its low bits give the header's time, it is that time.
    if (!keyTime || *keyTime <= 0xFFFFFFFFull)
        return;
    auto unwrap = [&](std::uint64_t &time) {
        const auto low = static_cast<std::int64_t>(*keyTime & 0xFFFFFFFFull);
        const auto difference = static_cast<std::int64_t>(time) - low;
        if (time != 0 && difference >= -2 && difference <= 2)
            time = *keyTime + static_cast<std::uint64_t>(difference);
    };
    unwrap(movie.creationTime);
    unwrap(movie.modificationTime);
}

MovieStatus readQuickTimeMovie(const std::string &path, ParsedMovie &movie, bool &isQuickTime) {
    File file;
    if (!file.open(path))
        return MovieStatus::failure(MovieError::ReadFailed,
                                    "cannot read \"" + path + "\": it " + file.error());
    std::vector<TopLevelAtom> atoms;
    bool truncated = false;
    scanTopLevelAtoms(file, atoms, isQuickTime, truncated);
    if (!isQuickTime)
        return MovieStatus::failure(MovieError::NotAMovie, "not a QuickTime file");

    const TopLevelAtom *moov = nullptr;
    for (const auto &atom : atoms) {
        const bool complete = !(truncated && &atom == &atoms.back());
        if (atom.type == kMoov && complete && !moov)
            moov = &atom;
        if (atom.type == kFtyp && complete && atom.size - atom.headerSize < 4096) {
            movie.fileType.resize(atom.size - atom.headerSize);
            file.readAt(atom.offset + atom.headerSize, movie.fileType);
        }
    }
    if (!moov)
        return MovieStatus::failure(MovieError::Truncated,
                                    "\"" + path + "\" has no complete movie header");
    if (moov->size > (std::uint64_t(1) << 31))
        return MovieStatus::failure(MovieError::Unsupported, "movie header too large");
    std::vector<std::uint8_t> body(moov->size - moov->headerSize);
    if (!file.readAt(moov->offset + moov->headerSize, body))
        return MovieStatus::failure(MovieError::ReadFailed, "cannot read the movie header");

    std::vector<AtomView> children;
    if (!listAtoms(body, children))
        return MovieStatus::failure(MovieError::Truncated, "damaged movie header");
    if (!findAtom(children, fourCharCode("mvex")).whole.empty()) {
        // Fragmented: the samples are described in fragments after the header, which the
        // atom-level model does not hold. libavformat reads such files.
        isQuickTime = false;
        return MovieStatus::failure(MovieError::Unsupported, "fragmented movie");
    }
    const auto mvhd = findAtom(children, fourCharCode("mvhd"));
    if (mvhd.whole.empty())
        return MovieStatus::failure(MovieError::NotAMovie, "no movie header atom");
    {
        AtomReader in(mvhd.body);
        const auto version = in.u8();
        in.skip(3);
        movie.creationTime = version == 1 ? in.u64() : in.u32();
        movie.modificationTime = version == 1 ? in.u64() : in.u32();
        movie.timeScale = in.s32();
        in.skip(version == 1 ? 8 : 4);
        in.skip(4 + 2 + 10);
        movie.matrix = readMatrix(in);
        if (in.failed() || movie.timeScale <= 0)
            return MovieStatus::failure(MovieError::NotAMovie, "damaged movie header atom");
    }
    // Metadata the toolbox does not change is written back as it was read.
    for (const char *code : {"udta", "meta"}) {
        const auto atom = findAtom(children, fourCharCode(code));
        auto &kept = code[0] == 'u' ? movie.userData : movie.metadata;
        kept.assign(atom.whole.begin(), atom.whole.end());
    }
    if (mvhd.body.empty() || mvhd.body[0] == 0) {
        // The keys live in 'meta' in the movie atom or, as libavformat writes them, in 'udta'.
        std::optional<std::uint64_t> keyTime =
            creationDateKeyTime(findAtom(children, fourCharCode("meta")).body);
        std::vector<AtomView> userAtoms;
        if (!keyTime && listAtoms(findAtom(children, fourCharCode("udta")).body, userAtoms))
            keyTime = creationDateKeyTime(findAtom(userAtoms, fourCharCode("meta")).body);
        unwrapHeaderTimes(movie, keyTime);
    }
    const auto fileSize = static_cast<std::uint64_t>(file.size());
    for (const auto &child : children) {
        if (child.type != fourCharCode("trak"))
            continue;
        TrackParser parser{path, fileSize, {}, std::make_shared<MovieMedia>(), {}};
        if (!parser.parse(child.body))
            return MovieStatus::failure(MovieError::NotAMovie, "\"" + path + "\": " + parser.error);
        auto &track = parser.track;
        if (track.edits.empty() && track.media->duration > 0) {
            MovieTrack::Edit whole;
            whole.movieDuration =
                av_rescale(track.media->duration, movie.timeScale, track.media->timeScale);
            whole.mediaTime = 0;
            track.edits.push_back(whole);
        }
        // Every chunk must lie inside the file that holds it.
        std::uint64_t mediaFileSize = fileSize;
        if (!track.media->selfReference) {
            // A data reference is followed to a regular file that is itself a QuickTime movie
            // only: never to a device, a FIFO, or a file of another kind (a person's notes).
            File media;
            if (!media.open(track.media->path))
                return MovieStatus::failure(MovieError::ReadFailed,
                                            "\"" + path + "\" refers to \"" + track.media->path +
                                                "\", which cannot be read: it " + media.error());
            TopLevelAtom referredMoov;
            if (!findMovieAtom(track.media->path, referredMoov))
                return MovieStatus::failure(MovieError::NotAMovie, "\"" + path + "\" refers to \"" +
                                                                       track.media->path +
                                                                       "\", which is not a movie");
            mediaFileSize = static_cast<std::uint64_t>(media.size());
        }
        std::vector<std::uint64_t> sizes;
        bool inside = chunkByteSizes(*track.media, sizes);
        for (std::size_t i = 0; inside && i < sizes.size(); ++i)
            inside = track.media->chunkOffsets[i] + sizes[i] <= mediaFileSize;
        if (!inside)
            return MovieStatus::failure(MovieError::Truncated,
                                        "\"" + path +
                                            "\" is truncated or damaged: its samples are not all "
                                            "inside the file");
        movie.tracks.push_back(std::move(track));
    }
    return MovieStatus::success();
}

} // namespace toolbox
