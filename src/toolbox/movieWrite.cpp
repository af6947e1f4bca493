// The write modes of a movie: reference, self-contained (in place, by copying chunks, or by a
// libavformat remux of another container).
#include "movie.h"

#include "atoms.h"
#include "fileIo.h"
#include "movieEdits.h"
#include "movieMedia.h"
#include "quickTimeReader.h"
#include "quickTimeWriter.h"
#include "sampleTables.h"

#include <algorithm>
#include <filesystem>
#include <map>

namespace toolbox {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kCopyBufferSize = 1 << 20;

/// Reports fractions that never decrease, and 1.0 exactly once at the end.
class Progress {
public:
    explicit Progress(const MovieProgressProc &proc) : proc_(proc) {}
    void report(std::uint64_t done, std::uint64_t total) {
        if (!proc_)
            return;
        auto fraction = total == 0 ? 0 : static_cast<std::int32_t>((done * kFixedOne) / total);
        fraction = std::min(fraction, kFixedOne - 1); // 1.0 only from finish()
        if (fraction < last_)
            return;
        if (fraction == last_ && started_)
            return;
        started_ = true;
        last_ = fraction;
        proc_(fraction);
    }
    void finish() {
        if (proc_)
            proc_(kFixedOne);
    }

private:
    const MovieProgressProc &proc_;
    std::int32_t last_ = 0;
    bool started_ = false;
};

MovieStatus writeFailure(const std::string &path, const std::string &why) {
    return MovieStatus::failure(MovieError::WriteFailed, "cannot write \"" + path + "\": " + why);
}

bool samePath(const std::string &a, const std::string &b) {
    std::error_code code;
    return fs::equivalent(a, b, code);
}

/// Appends a new movie header to a QuickTime file and turns its old one into free space.
/// A crash between the two steps leaves the old movie readable (readers take the first
/// header) when sync is Durable; a failure cuts the file back to its former length.
MovieStatus replaceMovieHeader(const std::string &path, const std::vector<std::uint8_t> &moov,
                               WriteSync sync) {
    const auto flush = [&](File &file) { return sync == WriteSync::Deferred || file.sync(); };
    TopLevelAtom old;
    if (!findMovieAtom(path, old))
        return MovieStatus::failure(MovieError::ReadFailed,
                                    "\"" + path + "\" has no movie header to replace");
    File file;
    if (!file.open(path, true))
        return writeFailure(path, errnoText());
    const auto size = file.size();
    if (size < 0)
        return writeFailure(path, errnoText());
    const auto originalSize = static_cast<std::uint64_t>(size);
    if (!file.writeAt(originalSize, moov) || !flush(file)) {
        const auto why = errnoText();
        file.truncate(originalSize);
        return writeFailure(path, why);
    }
    const std::uint8_t freeType[4] = {'f', 'r', 'e', 'e'};
    if (!file.writeAt(old.offset + 4, freeType) || !flush(file)) {
        const auto why = errnoText();
        file.truncate(originalSize);
        return writeFailure(path, why);
    }
    return MovieStatus::success();
}

struct ChunkCopy {
    std::size_t fileIndex = 0;
    std::uint64_t source = 0;
    std::uint64_t size = 0;
    std::size_t track = 0;
    std::size_t chunk = 0;
};

MovieStatus writeQuickTimeMedia(const Movie &movie, const std::string &path,
                                const MovieProgressProc &progressProc, WriteSync sync) {
    Progress progress(progressProc);
    progress.report(0, 1);
    // Without a name until complete: even a killed process leaves nothing in the folder.
    TemporaryOutput output;
    std::string error;
    if (!output.create(path, &error))
        return MovieStatus::failure(MovieError::WriteFailed, error);

    // Every chunk of every track, copied in the order of the source files.
    std::vector<std::string> paths;
    std::vector<ChunkCopy> copies;
    std::vector<std::vector<std::uint64_t>> newOffsets(movie.trackCount());
    std::uint64_t total = 0;
    for (std::size_t t = 0; t < movie.trackCount(); ++t) {
        const auto &media = MovieAccess::media(movie.track(t));
        std::vector<std::uint64_t> sizes;
        if (!chunkByteSizes(media, sizes))
            return MovieStatus::failure(MovieError::ReadFailed,
                                        "damaged sample tables in \"" + media.path + "\"");
        auto where = std::find(paths.begin(), paths.end(), media.path);
        const auto fileIndex = static_cast<std::size_t>(where - paths.begin());
        if (where == paths.end())
            paths.push_back(media.path);
        newOffsets[t].resize(sizes.size());
        for (std::size_t c = 0; c < sizes.size(); ++c) {
            copies.push_back({fileIndex, media.chunkOffsets[c], sizes[c], t, c});
            total += sizes[c];
        }
    }
    std::sort(copies.begin(), copies.end(), [](const ChunkCopy &a, const ChunkCopy &b) {
        return std::tie(a.fileIndex, a.source) < std::tie(b.fileIndex, b.source);
    });
    std::vector<File> sources(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (!sources[i].open(paths[i]))
            return MovieStatus::failure(MovieError::ReadFailed,
                                        "cannot read \"" + paths[i] + "\": " + errnoText());

    File &out = output.file();
    const auto fileType = quickTimeFileType();
    if (!out.writeAt(0, fileType))
        return writeFailure(path, errnoText());
    // 'wide' then 'mdat': the pair becomes one 64-bit 'mdat' header when the data is large.
    const std::uint64_t mdatAt = fileType.size();
    const std::uint64_t dataStart = mdatAt + 16;
    std::uint64_t position = dataStart;
    std::vector<std::uint8_t> buffer(kCopyBufferSize);
    std::uint64_t done = 0;
    const ChunkCopy *previous = nullptr;
    std::uint64_t previousAt = 0;
    for (const auto &copy : copies) {
        // A chunk shared by two tracks (the same media inserted twice) is copied once.
        if (previous && previous->fileIndex == copy.fileIndex && previous->source == copy.source &&
            previous->size == copy.size) {
            newOffsets[copy.track][copy.chunk] = previousAt;
            continue;
        }
        newOffsets[copy.track][copy.chunk] = position;
        previous = &copy;
        previousAt = position;
        for (std::uint64_t offset = 0; offset < copy.size;) {
            const auto count = static_cast<std::size_t>(
                std::min<std::uint64_t>(buffer.size(), copy.size - offset));
            if (!sources[copy.fileIndex].readAt(copy.source + offset, {buffer.data(), count}))
                return MovieStatus::failure(MovieError::ReadFailed,
                                            "cannot read the samples of \"" +
                                                paths[copy.fileIndex] + "\"");
            if (!out.writeAt(position, {buffer.data(), count}))
                return writeFailure(path, errnoText());
            offset += count;
            position += count;
            done += count;
            progress.report(done, total + 1);
        }
    }
    const std::uint64_t dataSize = position - dataStart;
    AtomWriter header;
    if (dataSize + 8 > 0xFFFFFFFFull) {
        header.u32(1);
        header.type(fourCharCode("mdat"));
        header.u64(dataSize + 16);
    } else {
        header.u32(8);
        header.type(fourCharCode("wide"));
        header.u32(static_cast<std::uint32_t>(dataSize + 8));
        header.type(fourCharCode("mdat"));
    }
    if (!out.writeAt(mdatAt, header.buffer()))
        return writeFailure(path, errnoText());

    std::vector<TrackOutput> tracks;
    for (std::size_t t = 0; t < movie.trackCount(); ++t)
        tracks.push_back({&movie.track(t), &newOffsets[t], true, {}});
    std::vector<std::uint8_t> moov;
    if (auto status = buildMovieAtom(movie, tracks, absolutePath(path), moov); !status)
        return status;
    if (!out.writeAt(position, moov))
        return writeFailure(path, errnoText());
    if (!output.commit(&error, sync == WriteSync::Durable))
        return MovieStatus::failure(MovieError::WriteFailed, error);
    progress.finish();
    return MovieStatus::success();
}

/// Copies the streams behind the movie's tracks from a file libavformat reads into a new
/// QuickTime file through libavformat's muxer, then writes the movie's edits as its header.
MovieStatus writeLibavMedia(const Movie &movie, const std::string &path,
                            const MovieProgressProc &progressProc, WriteSync sync) {
    const auto &sourcePath = MovieAccess::media(movie.track(0)).path;
    std::vector<int> streams; // source stream of each output stream
    std::vector<int> outputOfTrack(movie.trackCount(), -1);
    for (std::size_t t = 0; t < movie.trackCount(); ++t) {
        const auto &media = MovieAccess::media(movie.track(t));
        if (media.storage != MovieMedia::Storage::Libav || media.path != sourcePath)
            return MovieStatus::failure(MovieError::Unsupported,
                                        "a movie mixing media of several files that are not "
                                        "QuickTime files");
        auto where = std::find(streams.begin(), streams.end(), media.streamIndex);
        outputOfTrack[t] = static_cast<int>(where - streams.begin());
        if (where == streams.end())
            streams.push_back(media.streamIndex);
    }
    Progress progress(progressProc);
    progress.report(0, 1);
    // Without a name until complete; libavformat and the header rewrite reach it through
    // writePath(), and file() stays open, which keeps an unnamed file alive.
    TemporaryOutput output;
    std::string error;
    if (!output.create(path, &error))
        return MovieStatus::failure(MovieError::WriteFailed, error);
    const std::string scratch = output.writePath();

    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, sourcePath.c_str(), nullptr, nullptr) < 0)
        return MovieStatus::failure(MovieError::ReadFailed, "cannot read \"" + sourcePath + "\"");
    InputFormatPtr input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0)
        return MovieStatus::failure(MovieError::ReadFailed, "cannot read \"" + sourcePath + "\"");
    AVFormatContext *rawOutput = nullptr;
    if (avformat_alloc_output_context2(&rawOutput, nullptr, "mov", scratch.c_str()) < 0)
        return writeFailure(path, "no QuickTime muxer");
    OutputFormatPtr muxer(rawOutput);
    std::vector<int> outputOfStream(input->nb_streams, -1);
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const AVStream *in = input->streams[streams[i]];
        AVStream *out = avformat_new_stream(muxer.get(), nullptr);
        if (!out || avcodec_parameters_copy(out->codecpar, in->codecpar) < 0)
            return writeFailure(path, "cannot add a stream");
        out->codecpar->codec_tag = 0;
        out->time_base = in->time_base;
        outputOfStream[streams[i]] = static_cast<int>(i);
    }
    int result = avio_open(&muxer->pb, ("file:" + scratch).c_str(), AVIO_FLAG_WRITE);
    if (result < 0)
        return writeFailure(path, avErrorText(result));
    if ((result = avformat_write_header(muxer.get(), nullptr)) < 0)
        return MovieStatus::failure(MovieError::Unsupported,
                                    "these streams cannot be stored in a QuickTime file: " +
                                        avErrorText(result));
    PacketPtr packet(av_packet_alloc());
    const auto inputSize = std::max<std::int64_t>(avio_size(input->pb), 1);
    while ((result = av_read_frame(input.get(), packet.get())) >= 0) {
        const int target = outputOfStream[packet->stream_index];
        if (target >= 0) {
            av_packet_rescale_ts(packet.get(), input->streams[packet->stream_index]->time_base,
                                 muxer->streams[target]->time_base);
            packet->stream_index = target;
            packet->pos = -1;
            if ((result = av_interleaved_write_frame(muxer.get(), packet.get())) < 0)
                return writeFailure(path, avErrorText(result));
        }
        av_packet_unref(packet.get());
        progress.report(static_cast<std::uint64_t>(std::max<std::int64_t>(avio_tell(input->pb), 0)),
                        static_cast<std::uint64_t>(inputSize) + 1);
    }
    if (result != AVERROR_EOF)
        return MovieStatus::failure(MovieError::ReadFailed,
                                    "cannot read \"" + sourcePath + "\": " + avErrorText(result));
    if ((result = av_write_trailer(muxer.get())) < 0 || muxer->pb->error < 0)
        return writeFailure(path, avErrorText(result < 0 ? result : muxer->pb->error));
    avio_closep(&muxer->pb);

    // The copied file's tracks, carrying this movie's edits in their own media time.
    ParsedMovie copied;
    bool isQuickTime = false;
    if (auto status = readQuickTimeMovie(scratch, copied, isQuickTime); !status)
        return status;
    if (copied.tracks.size() != streams.size())
        return writeFailure(path, "the copied movie lost a track");
    std::vector<MovieTrack> tracks;
    for (std::size_t t = 0; t < movie.trackCount(); ++t) {
        const auto &oldTrack = movie.track(t);
        const auto &oldMedia = MovieAccess::media(oldTrack);
        const auto &copy = copied.tracks[static_cast<std::size_t>(outputOfTrack[t])];
        std::int64_t origin = 0; // media time of the stream's first timestamp in the copy
        for (const auto &edit : copy.edits)
            if (edit.mediaTime >= 0) {
                origin = edit.mediaTime;
                break;
            }
        MovieTrack track = oldTrack;
        auto &edits = MovieAccess::edits(track);
        for (auto &edit : edits)
            if (edit.mediaTime >= 0)
                edit.mediaTime =
                    origin + av_rescale(edit.mediaTime, copy.media->timeScale, oldMedia.timeScale);
        copy.media->codecParameters.reset(avcodec_parameters_alloc());
        if (oldMedia.codecParameters)
            avcodec_parameters_copy(copy.media->codecParameters.get(),
                                    oldMedia.codecParameters.get());
        MovieAccess::replaceMedia(track, copy.media);
        tracks.push_back(std::move(track));
    }
    std::vector<TrackOutput> outputs;
    for (const auto &track : tracks)
        outputs.push_back({&track, nullptr, true, {}});
    std::vector<std::uint8_t> moov;
    if (auto status = buildMovieAtom(movie, outputs, absolutePath(path), moov); !status)
        return status;
    if (auto status = replaceMovieHeader(scratch, moov, sync); !status)
        return status;
    if (!output.commit(&error, sync == WriteSync::Durable))
        return MovieStatus::failure(MovieError::WriteFailed, error);
    progress.finish();
    return MovieStatus::success();
}

} // namespace

MovieStatus Movie::writeReference(const std::string &path, const MovieProgressProc &progressProc,
                                  WriteSync sync) const {
    if (path.empty())
        return MovieStatus::failure(MovieError::InvalidArgument, "no destination path");
    std::vector<TrackOutput> outputs;
    for (const auto &track : tracks_) {
        const auto &media = MovieAccess::media(track);
        if (media.storage != MovieMedia::Storage::QuickTime)
            return MovieStatus::failure(MovieError::Unsupported,
                                        "a reference movie can only point at QuickTime media; "
                                        "\"" +
                                            media.path + "\" is not a QuickTime file");
        if (samePath(media.path, path))
            return MovieStatus::failure(MovieError::InvalidArgument,
                                        "a reference movie cannot replace the file that holds "
                                        "its samples");
        outputs.push_back({&track, nullptr, false, absolutePath(media.path)});
    }
    Progress progress(progressProc);
    progress.report(0, 1);
    std::vector<std::uint8_t> moov;
    if (auto status = buildMovieAtom(*this, outputs, absolutePath(path), moov); !status)
        return status;
    TemporaryOutput output;
    std::string error;
    if (!output.create(path, &error))
        return MovieStatus::failure(MovieError::WriteFailed, error);
    const auto fileType = quickTimeFileType();
    if (!output.file().writeAt(0, fileType) || !output.file().writeAt(fileType.size(), moov))
        return writeFailure(path, errnoText());
    if (!output.commit(&error, sync == WriteSync::Durable))
        return MovieStatus::failure(MovieError::WriteFailed, error);
    progress.finish();
    return MovieStatus::success();
}

MovieStatus Movie::writeSelfContained(const std::string &path,
                                      const MovieProgressProc &progressProc, WriteSync sync) const {
    if (path.empty())
        return MovieStatus::failure(MovieError::InvalidArgument, "no destination path");
    if (!path_.empty() && samePath(path, path_) && isSelfContainedQuickTime()) {
        Progress progress(progressProc);
        progress.report(0, 1);
        std::vector<TrackOutput> outputs;
        for (const auto &track : tracks_)
            outputs.push_back({&track, nullptr, true, {}});
        std::vector<std::uint8_t> moov;
        if (auto status = buildMovieAtom(*this, outputs, absolutePath(path), moov); !status)
            return status;
        if (auto status = replaceMovieHeader(path, moov, sync); !status)
            return status;
        progress.finish();
        return MovieStatus::success();
    }
    bool anyLibav = false;
    for (const auto &track : tracks_)
        anyLibav = anyLibav || MovieAccess::media(track).storage == MovieMedia::Storage::Libav;
    if (anyLibav)
        return writeLibavMedia(*this, path, progressProc, sync);
    return writeQuickTimeMedia(*this, path, progressProc, sync);
}

} // namespace toolbox
