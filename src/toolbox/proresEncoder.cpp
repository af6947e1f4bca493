#include "proresEncoder.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace toolbox {

namespace {

// prores_ks's quantiser range at a fixed quantiser, and the profiles' smallest (Proxy's matrix
// starts coarser).
constexpr int kLargestQuantiser = 64;
// What a frame encoded by the per-slice search counts as among the quantisers.
constexpr int kSearchQuantiser = kLargestQuantiser + 1;
int smallestQuantiserOf(int profile) {
    return profile == 0 ? 4 : 1;
}

// A frame's quantiser is the smallest whose frame is no larger than this share of the per-slice
// search's frame on the last sample.
constexpr double kSampleAllowance = 1.06;
// A frame whose size at the sample's quantiser moves this far from the sample's is a change of
// content: the next frame is a sample.
constexpr double kContentChange = 1.35;

struct Job {
    std::int64_t index = 0;
    FramePtr picture;
    PacketPtr packet;
    int quantiser = 0;
    MovieStatus status;
    bool done = false;
};

} // namespace

struct ProresEncoder::State {
    CodecContextPtr params; // a copy of the caller's parameters, never opened
    int profile = 3;
    std::int64_t budget = 0;
    unsigned threadCount = 1;

    std::mutex mutex;
    std::condition_variable workReady;         // a job is queued, or the end
    std::condition_variable jobDone;           // a job is done, or a quantiser is known
    std::deque<std::shared_ptr<Job>> queue;    // waiting for a worker
    std::deque<std::shared_ptr<Job>> inFlight; // every job not yet handed out, in order
    std::vector<std::thread> workers;
    bool stopping = false;
    std::int64_t nextIndex = 0;

    // The choice of quantiser, shared by the workers.
    int quantiser = 0;           // 0 until the first sample is done
    std::int64_t sampleSize = 0; // the sample's frame at `quantiser`
    std::int64_t nextSample = 0; // index of the next sample frame
    bool sampleRunning = false;
    int lastHanded = 0, smallest = 0, largest = 0;
};

namespace {

void copyParams(AVCodecContext *to, const AVCodecContext &from) {
    to->width = from.width;
    to->height = from.height;
    to->pix_fmt = from.pix_fmt;
    to->sample_aspect_ratio = from.sample_aspect_ratio;
    to->time_base = from.time_base;
    to->framerate = from.framerate;
    to->color_range = from.color_range;
    to->color_primaries = from.color_primaries;
    to->color_trc = from.color_trc;
    to->colorspace = from.colorspace;
    to->chroma_sample_location = from.chroma_sample_location;
    to->field_order = from.field_order;
    to->flags = from.flags & (AV_CODEC_FLAG_GLOBAL_HEADER | AV_CODEC_FLAG_INTERLACED_DCT);
}

// quantiser 0: prores_ks's own per-slice search.
CodecContextPtr openContext(const ProresEncoder::State &s, int quantiser, int *error) {
    const AVCodec *codec = avcodec_find_encoder_by_name("prores_ks");
    if (!codec) {
        *error = AVERROR_ENCODER_NOT_FOUND;
        return nullptr;
    }
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context) {
        *error = AVERROR(ENOMEM);
        return nullptr;
    }
    copyParams(context.get(), *s.params);
    context->thread_count = 1; // the workers are the threads
    context->profile = s.profile;
    av_opt_set_int(context->priv_data, "profile", s.profile, 0);
    if (quantiser > 0) {
        context->flags |= AV_CODEC_FLAG_QSCALE;
        context->global_quality = FF_QP2LAMBDA * quantiser;
    }
    *error = avcodec_open2(context.get(), codec, nullptr);
    if (*error < 0)
        return nullptr;
    return context;
}

// One worker's encoders, opened when first needed.
class Encoders {
public:
    explicit Encoders(const ProresEncoder::State &state) : state_(state) {}

    // Encodes picture at quantiser into packet; the packet's size, or a libav error.
    int encode(int quantiser, const AVFrame *picture, AVPacket *packet) {
        CodecContextPtr &context = contexts_[quantiser];
        int err = 0;
        if (!context) {
            context = openContext(state_, quantiser, &err);
            if (!context)
                return err;
        }
        av_packet_unref(packet);
        err = avcodec_send_frame(context.get(), picture);
        if (err < 0)
            return err;
        err = avcodec_receive_packet(context.get(), packet);
        return err < 0 ? err : packet->size;
    }

private:
    const ProresEncoder::State &state_;
    std::map<int, CodecContextPtr> contexts_;
};

// The smallest quantiser from `start` whose frame is at most `limit` bytes (the largest
// quantiser when none is); packet holds that frame.
int fitQuantiser(Encoders &encoders, const AVFrame *picture, AVPacket *packet, int start,
                 std::int64_t limit, int smallest, int *size) {
    int q = std::clamp(start, smallest, kLargestQuantiser);
    *size = encoders.encode(q, picture, packet);
    if (*size < 0)
        return q;
    if (*size > limit) {
        while (*size > limit && q < kLargestQuantiser) {
            // Sizes fall roughly as the quantiser grows; a large excess takes a larger step.
            const double excess = double(*size) / double(limit);
            q = std::min(kLargestQuantiser, q + std::max(1, static_cast<int>(q * (excess - 1))));
            *size = encoders.encode(q, picture, packet);
            if (*size < 0)
                return q;
        }
        return q;
    }
    // Finer quantisers while they still fit; the packet keeps the last frame that fits.
    PacketPtr finer(av_packet_alloc());
    while (q > smallest) {
        const int finerSize = encoders.encode(q - 1, picture, finer.get());
        if (finerSize < 0 || finerSize > limit)
            break;
        --q;
        *size = finerSize;
        av_packet_unref(packet);
        av_packet_move_ref(packet, finer.get());
    }
    return q;
}

void work(ProresEncoder::State &s) {
    Encoders encoders(s);
    const int smallest = smallestQuantiserOf(s.profile);
    for (;;) {
        std::shared_ptr<Job> job;
        bool sample = false;
        int quantiser = 0;
        std::int64_t sampleSize = 0;
        {
            std::unique_lock lock(s.mutex);
            s.workReady.wait(lock, [&] { return s.stopping || !s.queue.empty(); });
            if (s.queue.empty())
                return;
            job = s.queue.front();
            sample = !s.sampleRunning && job->index >= s.nextSample;
            if (sample) {
                s.sampleRunning = true;
            } else {
                // Until the first sample is done there is no quantiser to use.
                s.queue.pop_front();
                s.jobDone.wait(lock, [&] { return s.quantiser > 0 || s.stopping; });
                if (s.stopping && s.quantiser == 0)
                    return;
            }
            if (sample)
                s.queue.pop_front();
            quantiser = s.quantiser;
            sampleSize = s.sampleSize;
        }

        int size = 0;
        int q = quantiser;
        if (sample) {
            // The per-slice search's size, then the quantiser that matches it.
            size = encoders.encode(0, job->picture.get(), job->packet.get());
            if (size >= 0) {
                const auto limit = static_cast<std::int64_t>(double(size) * kSampleAllowance);
                q = fitQuantiser(encoders, job->picture.get(), job->packet.get(),
                                 quantiser > 0 ? quantiser : 2 * smallest,
                                 std::min(limit, s.budget), smallest, &size);
            }
        } else if (quantiser == kSearchQuantiser) {
            size = encoders.encode(0, job->picture.get(), job->packet.get());
        } else {
            size = encoders.encode(q, job->picture.get(), job->packet.get());
            if (size > s.budget)
                q = fitQuantiser(encoders, job->picture.get(), job->packet.get(), q + 1, s.budget,
                                 smallest, &size);
        }

        if (size > s.budget) {
            // Not even the coarsest fixed quantiser fits (noise): the per-slice search goes
            // coarser still, slice by slice, to stay within the profile's rate.
            size = encoders.encode(0, job->picture.get(), job->packet.get());
            q = kSearchQuantiser;
        }

        std::lock_guard lock(s.mutex);
        if (size < 0) {
            job->status = MovieStatus::failure(MovieError::Unsupported,
                                               "ProRes encoding failed: " + avErrorText(size));
        }
        job->quantiser = q;
        job->done = true;
        job->picture.reset();
        if (sample) {
            s.sampleRunning = false;
            s.quantiser = q;
            s.sampleSize = size;
            s.nextSample = job->index + ProresEncoder::kSampleInterval;
        } else if (q == kSearchQuantiser) {
            // Until the next sample, the frames go to the search straight away.
            s.quantiser = q;
        } else if (size >= 0 && q == quantiser && sampleSize > 0 &&
                   (double(size) > double(sampleSize) * kContentChange ||
                    double(size) * kContentChange < double(sampleSize))) {
            s.nextSample = std::min(s.nextSample, job->index + 1);
        }
        s.jobDone.notify_all();
    }
}

} // namespace

unsigned usableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1, CPU_COUNT(&set));
    return std::max(1U, std::thread::hardware_concurrency());
}

std::int64_t proresFrameBudget(int profile, int width, int height, bool alpha) {
    // Bits per macroblock by profile, for pictures up to 720x576, 960x720, 1440x1080 and larger.
    static const int bitsPerMacroblock[6][4] = {{300, 242, 220, 194},     {720, 560, 490, 440},
                                                {1050, 808, 710, 632},    {1566, 1216, 1070, 950},
                                                {2350, 1828, 1600, 1425}, {3525, 2742, 2400, 2137}};
    static const int sizeLimits[3] = {1620, 2700, 6075};
    const std::int64_t macroblocks = std::int64_t{(width + 15) / 16} * ((height + 15) / 16);
    int column = 3;
    for (int i = 0; i < 3; ++i)
        if (macroblocks <= sizeLimits[i]) {
            column = i;
            break;
        }
    std::int64_t bits = bitsPerMacroblock[std::clamp(profile, 0, 5)][column];
    if (alpha)
        bits *= 20;
    // Each slice of eight macroblocks has its header, each frame its own.
    const std::int64_t slices = (macroblocks + 7) / 8;
    return macroblocks * bits / 8 + slices * 10 + 200;
}

ProresEncoder::ProresEncoder(std::unique_ptr<State> state) : state_(std::move(state)) {}

ProresEncoder::~ProresEncoder() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        state_->queue.clear();
    }
    state_->workReady.notify_all();
    state_->jobDone.notify_all();
    for (std::thread &worker : state_->workers)
        worker.join();
}

std::unique_ptr<ProresEncoder> ProresEncoder::open(const AVCodecContext &params, int profile,
                                                   unsigned threads, MovieStatus &status) {
    auto state = std::make_unique<State>();
    state->params.reset(avcodec_alloc_context3(nullptr));
    copyParams(state->params.get(), params);
    state->profile = std::clamp(profile, 0, 5);
    const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(params.pix_fmt);
    state->budget =
        proresFrameBudget(state->profile, params.width, params.height,
                          desc && (desc->flags & AV_PIX_FMT_FLAG_ALPHA) && state->profile >= 4);
    // Opening the first encoder here reports a bad size or format before any work.
    int err = 0;
    if (!openContext(*state, smallestQuantiserOf(state->profile), &err)) {
        status = MovieStatus::failure(MovieError::Unsupported,
                                      "Cannot open the encoder prores_ks: " + avErrorText(err));
        return nullptr;
    }
    state->threadCount = threads > 0 ? threads : usableCores();
    std::unique_ptr<ProresEncoder> encoder(new ProresEncoder(std::move(state)));
    State &s = *encoder->state_;
    for (unsigned i = 0; i < s.threadCount; ++i)
        s.workers.emplace_back(work, std::ref(s));
    status = MovieStatus::success();
    return encoder;
}

MovieStatus ProresEncoder::send(const AVFrame *picture,
                                const std::function<MovieStatus(AVPacket *)> &write) {
    auto job = std::make_shared<Job>();
    job->picture.reset(av_frame_alloc());
    job->packet.reset(av_packet_alloc());
    if (!job->picture || !job->packet || av_frame_ref(job->picture.get(), picture) < 0)
        return MovieStatus::failure(MovieError::Unsupported, "ProRes encoding: out of memory");
    State &s = *state_;
    {
        std::unique_lock lock(s.mutex);
        // At most two pictures per thread wait or are encoded: memory stays bounded.
        s.jobDone.wait(lock, [&] {
            return s.inFlight.size() < 2 * s.threadCount ||
                   (!s.inFlight.empty() && s.inFlight.front()->done);
        });
        job->index = s.nextIndex++;
        s.queue.push_back(job);
        s.inFlight.push_back(job);
    }
    s.workReady.notify_one();
    return handOut(write, false);
}

MovieStatus ProresEncoder::flush(const std::function<MovieStatus(AVPacket *)> &write) {
    return handOut(write, true);
}

MovieStatus ProresEncoder::handOut(const std::function<MovieStatus(AVPacket *)> &write, bool all) {
    State &s = *state_;
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(s.mutex);
            if (s.inFlight.empty())
                return MovieStatus::success();
            if (all)
                s.jobDone.wait(lock, [&] { return s.inFlight.front()->done; });
            if (!s.inFlight.front()->done)
                return MovieStatus::success();
            job = s.inFlight.front();
            s.inFlight.pop_front();
            s.lastHanded = job->quantiser;
            s.smallest = s.smallest == 0 ? job->quantiser : std::min(s.smallest, job->quantiser);
            s.largest = std::max(s.largest, job->quantiser);
        }
        s.jobDone.notify_all();
        if (!job->status)
            return job->status;
        if (MovieStatus st = write(job->packet.get()); !st)
            return st;
    }
}

unsigned ProresEncoder::threads() const {
    return state_->threadCount;
}

std::int64_t ProresEncoder::frameBudget() const {
    return state_->budget;
}

int ProresEncoder::lastQuantiser() const {
    std::lock_guard lock(state_->mutex);
    return state_->lastHanded;
}

int ProresEncoder::smallestQuantiser() const {
    std::lock_guard lock(state_->mutex);
    return state_->smallest;
}

int ProresEncoder::largestQuantiser() const {
    std::lock_guard lock(state_->mutex);
    return state_->largest;
}

} // namespace toolbox
