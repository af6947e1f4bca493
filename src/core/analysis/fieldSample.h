// A look at the pictures of a stream whose report says it is interlaced. Many camcorders record
// their 25p and 30p modes as progressive pictures carried in a 50i or 60i stream (each picture
// coded as two fields of the same moment), and their "24p" modes as 2:3 pulldown (24 pictures a
// second spread over 60 fields); the stream's flags call all of these interlaced. FFmpeg's
// interlace detection (the idet filter) over a few short samples spread through the clip tells
// them from fields of 50 or 60 moments a second.
//
// The samples are placed by fieldSampleStarts and looked at in process by the toolbox's
// fieldSampleCounts; fieldScanDecision, pure, judges the counts. The same look as one ffmpeg
// run (fieldSampleArguments, its report read by idetReportCounts) is kept for the bench and
// the tests' cross-check.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

/// What idet printed at the end of one sample: its single-frame detection (each picture on its
/// own) and its repeated-field detection (a field equal to the same field of the picture before).
struct idetSampleCounts {
    int32_t tff = 0;
    int32_t bff = 0;
    int32_t progressive = 0;
    int32_t undetermined = 0;
    int32_t repeatedNeither = 0;
    int32_t repeatedTop = 0;
    int32_t repeatedBottom = 0;

    /// The pictures the sample judged.
    int32_t frames() const { return tff + bff + progressive + undetermined; }
    bool operator==(const idetSampleCounts &) const = default;
};

/// What the pictures of an interlaced stream are.
enum class fieldScan : int32_t {
    progressive, ///< progressive pictures carried as fields: converted as progressive
    pulldown,    ///< 24 pictures a second in 2:3 pulldown: the pulldown must be removed
    interlaced,  ///< fields of different moments: refused
    mixed,       ///< some samples progressive, others not: refused
    undecided,   ///< too few pictures, or no clear majority: refused
};

struct fieldScanVerdict {
    fieldScan scan = fieldScan::undecided;
    QString reason; ///< for people: what the samples showed
};

/// Pictures per sample when the clip is long enough for three samples, and in the one sample
/// of a shorter clip.
inline constexpr int32_t kFieldSampleFrames = 10;
inline constexpr int32_t kFieldShortClipFrames = 30;

/// Where the samples start, in seconds from the clip's start: at its start, its middle and five
/// sixths of its duration, or only at its start when it lasts less than 3 s (or is unknown).
QList<double> fieldSampleStarts(double durationSeconds);

/// The arguments of the ffmpeg run that samples the pictures: one input per sample (seeked to
/// the key frame before its start, reading at most 4 s), one decoding thread without the
/// deblocking filter (which combing survives; it is a fifth of the decoding), each sample's
/// first pictures through its own idet, nothing written. `forceFormat` is ffmpeg's input format
/// name, or empty.
QStringList fieldSampleArguments(const QString &ffmpeg, const QString &source,
                                 double durationSeconds, const QString &forceFormat);

/// The counts of every idet of a report, in the order of the samples (the idet of sample N is
/// named "idet@sN"). ffmpeg prints the counts of a graph each time it is taken down, the last time
/// after the run: the last lines of each sample win. Samples whose counts are missing are
/// empty; only lines that begin with idet's mark count.
/// The list has at least `samples` entries.
QList<idetSampleCounts> idetReportCounts(const QString &report, qsizetype samples = 0);

/// The verdict over the samples (all of them must agree):
///  - a sample of fewer than 5 pictures decides nothing (undecided);
///  - progressive: no picture's fields from different moments (the pictures idet could judge
///    all progressive; undetermined ones, too still to tell, count for neither);
///  - pulldown: between a fifth and three fifths of the pictures with a repeated field, top and
///    bottom both repeated (2:3 pulldown repeats one field in two pictures of five);
///  - interlaced: two thirds or more of the pictures with fields of different moments and
///    fewer than a fifth repeated;
///  - any other sample: undecided; samples that disagree: mixed.
fieldScanVerdict fieldScanDecision(const QList<idetSampleCounts> &samples);

/// The job record's "v0_scanStr" for a verdict that is accepted ("psf", "pulldown"), else empty.
QString fieldScanKey(fieldScan scan);
