// ProRes encoding on every core with a quantiser chosen per frame.
//
// prores_ks at its defaults searches a quantiser for every slice under the profile's bit budget:
// five times the work of an encoding at a fixed quantiser, and on most pictures no better. ProRes
// frames are independent, so this encoder runs one fixed-quantiser prores_ks per worker thread
// and chooses the quantiser frame by frame:
//  - a sample frame (the first, one in every kSampleInterval, and one after a change of content)
//    is also encoded with the per-slice search; the smallest quantiser whose frame is no larger
//    than that search's result (with a small allowance) is used until the next sample;
//  - a frame larger than the profile's nominal data rate is encoded again at a coarser
//    quantiser, and by the per-slice search when even the coarsest (64) is too large, so noise
//    or any other content stays within the profile's limits.
// Frames are encoded in parallel, at most two per thread in flight, and come out in order.
// Every frame carries the profile's tag, the colour tags and the field order of the parameters
// it was opened with: all its encoders share them.
#pragma once

#include "libavHandles.h"
#include "movie.h"

#include <functional>
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace toolbox {

class ProresEncoder {
public:
    /// One frame in this many is a sample for the choice of quantiser.
    static constexpr int kSampleInterval = 50;

    /// An encoder for pictures as `params` describes them (size, pixel format, time base, aspect
    /// ratio, colour tags, field order, flags) in prores_ks `profile` (0 Proxy to 5 4444 XQ), on
    /// `threads` worker threads (0: one per core this process may run on). Nothing, with the
    /// reason in status, when prores_ks can't be opened so.
    static std::unique_ptr<ProresEncoder> open(const AVCodecContext &params, int profile,
                                               unsigned threads, MovieStatus &status);
    ~ProresEncoder();
    ProresEncoder(const ProresEncoder &) = delete;
    ProresEncoder &operator=(const ProresEncoder &) = delete;

    /// Queues a picture (kept by reference until encoded) with its timestamp in params'
    /// time base; waits while the queue is full. Then hands the packets that are done, in order,
    /// to write.
    MovieStatus send(const AVFrame *picture, const std::function<MovieStatus(AVPacket *)> &write);
    /// Waits for every queued picture and hands the rest of the packets to write.
    MovieStatus flush(const std::function<MovieStatus(AVPacket *)> &write);

    /// The worker threads.
    [[nodiscard]] unsigned threads() const;
    /// The largest frame, in bytes, the profile's nominal data rate allows for this picture size.
    [[nodiscard]] std::int64_t frameBudget() const;
    /// The quantiser of the last frame handed out, and the smallest and largest used so far
    /// (65: a frame of the per-slice search).
    [[nodiscard]] int lastQuantiser() const;
    [[nodiscard]] int smallestQuantiser() const;
    [[nodiscard]] int largestQuantiser() const;

    struct State;

private:
    explicit ProresEncoder(std::unique_ptr<State> state);
    MovieStatus handOut(const std::function<MovieStatus(AVPacket *)> &write, bool all);
    std::unique_ptr<State> state_;
};

/// The profile's nominal size of one frame of width x height, in bytes (the bit budget per
/// macroblock of prores_ks's own rate control, by picture size).
std::int64_t proresFrameBudget(int profile, int width, int height, bool alpha);

/// Threads this process may run on (its CPU affinity), at least 1.
unsigned usableCores();

} // namespace toolbox
