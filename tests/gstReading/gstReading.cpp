#include "gstReading.h"

#include "testMedia.h"

#include <algorithm>
#include <cstdint>
#include <regex>
#include <sstream>
#include <vector>

namespace gstreading {
namespace {

constexpr std::int64_t kNone = -1;

// "0:00:01.234000000" in nanoseconds; kNone for "none" or anything else.
std::int64_t clockTime(const std::string &text) {
    static const std::regex form(R"((\d+):(\d\d):(\d\d)\.(\d{9}))");
    std::smatch m;
    // GST_CLOCK_TIME_NONE prints as 99:99:99.999999999.
    if (!std::regex_match(text, m, form) || text == "99:99:99.999999999")
        return kNone;
    return ((std::stoll(m[1]) * 60 + std::stoll(m[2])) * 60 + std::stoll(m[3])) * 1000000000LL +
           std::stoll(m[4]);
}

// The value of "name=(type)value" in a printed segment, or fallback.
double segmentField(const std::string &line, const std::string &name, double fallback) {
    const std::regex field("[ ,\"]" + name + R"(=\([a-z0-9]+\)([-0-9.e+]+))");
    std::smatch m;
    return std::regex_search(line, m, field) ? std::stod(m[1]) : fallback;
}

// The segment a stream's buffers are presented in, as a GstSegment in time format.
struct Segment {
    double rate = 1;
    double base = 0;
    double start = 0;
    double offset = 0;
    double stop = -1; // -1: open
};

// One stream's reading: segments as they come, buffers clipped to the current one.
class StreamReader {
public:
    void take(const std::string &line) {
        if (line.find("do_push_event_pre:") != std::string::npos &&
            line.find("GstEventSegment") != std::string::npos) {
            segment_.rate = segmentField(line, "rate", 1);
            segment_.base = segmentField(line, "base", 0);
            // A segment's offset moves its start in running time (gst_segment_to_running_time).
            segment_.start = segmentField(line, "start", 0);
            segment_.offset = segmentField(line, "offset", 0);
            const double stop = segmentField(line, "stop", -1);
            // GST_CLOCK_TIME_NONE is printed as the largest unsigned 64-bit number.
            segment_.stop = stop >= 1.8e19 ? -1 : stop;
            return;
        }
        static const std::regex buffer(R"(pts ([0-9:.]+), dts [0-9:.]+, dur ([0-9:.]+))");
        std::smatch m;
        if (line.find("do_push_buffer_pre:") == std::string::npos ||
            !std::regex_search(line, m, buffer))
            return;
        const std::int64_t pts = clockTime(m[1]);
        if (pts == kNone)
            return;
        const std::int64_t duration = std::max<std::int64_t>(clockTime(m[2]), 0);
        const double from = double(pts);
        const double to = double(pts + duration);
        // As a decoder or sink clips: a buffer is shown when it overlaps the segment.
        const bool before = duration > 0 ? to <= segment_.start : from < segment_.start;
        const bool after = segment_.stop >= 0 && from >= segment_.stop;
        if (before || after)
            return;
        const double shownFrom = std::max(from, segment_.start);
        const double shownTo = segment_.stop >= 0 ? std::min(to, segment_.stop) : to;
        const double speed = segment_.rate != 0 ? std::abs(segment_.rate) : 1;
        const double origin = segment_.start + segment_.offset;
        const double runningFrom = ((shownFrom - origin) / speed + segment_.base) / 1e9;
        const double runningTo = ((shownTo - origin) / speed + segment_.base) / 1e9;
        ++timing_.buffers;
        if (timing_.start < 0 || runningFrom < timing_.start)
            timing_.start = runningFrom;
        timing_.end = std::max(timing_.end, runningTo);
    }
    [[nodiscard]] const StreamTiming &timing() const { return timing_; }

private:
    Segment segment_;
    StreamTiming timing_;
};

} // namespace

MovieTiming readMovie(const std::string &path) {
    MovieTiming result;
    // gst-discoverer-1.0 says which streams there are (qtdemux adds a pad per track; a branch
    // for a pad that never comes fails the run) and the movie's duration.
    const testmedia::RunResult discovered = testmedia::run("/usr/bin/gst-discoverer-1.0", {path});
    static const std::regex durationLine(R"(Duration: ([0-9:.]+))");
    std::smatch m;
    if (discovered.status != 0 || !std::regex_search(discovered.out, m, durationLine)) {
        result.error = "gst-discoverer-1.0 failed: " + discovered.out + discovered.err;
        return result;
    }
    const std::int64_t ns = clockTime(m[1]);
    result.duration = ns == kNone ? -1 : double(ns) / 1e9;
    const bool hasSound = std::regex_search(discovered.out, std::regex(R"(\n\s*audio #)"));

    // GStreamer's log tracer writes every event and buffer the demuxer pushes on each pad, as
    // it pushes them (the last-message of -v is read late and may skip or repeat buffers).
    std::vector<std::string> pipeline{"-q",          "filesrc",    "location=\"" + path + "\"",
                                      "!",           "qtdemux",    "name=fxd",
                                      "fxd.video_0", "!",          "fakesink",
                                      "sync=false",  "async=false"};
    if (hasSound)
        pipeline.insert(pipeline.end(),
                        {"fxd.audio_0", "!", "fakesink", "sync=false", "async=false"});
    testmedia::RunOptions options;
    options.environment = {"GST_TRACERS=log", "GST_DEBUG=GST_BUFFER:7,GST_EVENT:7",
                           "GST_DEBUG_NO_COLOR=1", "GST_DEBUG_FILE"};
    const testmedia::RunResult run = testmedia::run("/usr/bin/gst-launch-1.0", pipeline, options);
    if (run.status != 0) {
        result.error = "gst-launch-1.0 failed: " + run.err.substr(0, 2000);
        return result;
    }
    StreamReader video;
    StreamReader sound;
    std::istringstream lines(run.err);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(":<fxd:video_0>") != std::string::npos)
            video.take(line);
        else if (line.find(":<fxd:audio_0>") != std::string::npos)
            sound.take(line);
    }
    result.video = video.timing();
    result.sound = sound.timing();
    result.ok = result.video.buffers > 0;
    if (!result.ok)
        result.error = "no video buffer read: " + run.err.substr(0, 3000);
    return result;
}

} // namespace gstreading
