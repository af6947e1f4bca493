// The facts of a source that the conversion uses, read once from its media info dictionary
// (ffInfos, completed by the analysis): the conversion steps, their plans, the fronts and the
// joining of spanned recordings read these fields, and only this module spells the
// dictionary's keys.
#pragma once

#include <QList>
#include <QString>
#include <QVariantMap>

#include <cstdint>

/// One sound stream of the source ("a%d_" keys).
struct soundFacts {
    QString id;           ///< ffmpeg's stream number ("0:1"); empty when the report gave none
    QString codec;        ///< ffmpeg's codec name ("ac3", "pcm_bluray")
    int32_t channels = 0; ///< 0 when unknown
    int32_t rate = 0;     ///< Hz; 0 when unknown
    bool forced = false;  ///< its decoder is forced before the input ("a0_force")
    bool operator==(const soundFacts &) const = default;
};

/// What the conversion needs to know of a source.
struct mediaFacts {
    QString wrapper;            ///< the container as ffmpeg names it ("mpegts", "mov,mp4,...")
    double durationSeconds = 0; ///< the source's duration (a joined recording's whole length)
    QString fpsText;            ///< the video's frame rate as the report gives it ("59.94")
    double fps = 0;             ///< the same as a number; 0 when unknown
    int32_t width = 0;          ///< 0 when unknown
    int32_t height = 0;         ///< 0 when unknown
    QString dar;                ///< the display aspect ratio ("16:9"); empty when unknown
    QString videoCodec;         ///< ffmpeg's codec name ("h264", "mpeg2video")
    QString scan;               ///< how the pictures were judged: "progressive", "psf", "pulldown"
    QString streamFields;       ///< the field order the stream declares ("tff", "bff"...)
    QList<soundFacts> sounds;   ///< the sound streams in order; empty without sound
    bool operator==(const mediaFacts &) const = default;

    /// The first sound stream, when the source has one with a stream number.
    [[nodiscard]] bool hasSound() const {
        return !sounds.isEmpty() && !sounds.first().id.isEmpty();
    }
    /// The rate rounded to a whole number, as the batch's rate column shows it.
    [[nodiscard]] int32_t wholeFps() const { return static_cast<int32_t>(fps + 0.5); }
};

/// The facts of a media info dictionary.
mediaFacts mediaFactsOf(const QVariantMap &mediaInfo);

/// The dictionary with its duration replaced (a joined recording lasts as long as its pieces).
QVariantMap mediaInfoWithDuration(QVariantMap mediaInfo, double seconds);

/// What keeps two pieces of a recording from playing as one movie: the first of the video's
/// codec, size, rate, and the first sound's codec, channels and rate where `piece` differs from
/// `first` ("v0_codec mpeg2video, not h264"); empty when they are alike.
QString mediaStreamsDifference(const mediaFacts &first, const mediaFacts &piece);
