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

MovieStatus readQuickTimeMovie(const std::string &path, ParsedMovie &movie, bool &isQuickTime) {
    File file;
    if (!file.open(path))
        return MovieStatus::failure(MovieError::ReadFailed,
                                    "cannot read \"" + path + "\": " + errnoText());
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
            File media;
            if (!media.open(track.media->path))
                return MovieStatus::failure(MovieError::ReadFailed,
                                            "\"" + path + "\" refers to \"" + track.media->path +
                                                "\", which cannot be read");
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
