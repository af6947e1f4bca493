// Whether a converted movie is what its source recorded, as its job's plan asked for it: a pure
// comparison of the output's facts (its index, read by toolbox::readMovieFacts) with what the
// plan expects of the source's facts. The conversion's end step calls it after the size and
// first-picture judgement; `fluxaro --verify` calls it for any pair of files.
#pragma once

#include "toolbox/movieFacts.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

/// What a job's plan does to the source's pictures, sound and dates.
struct verifyPlan {
    /// The rate the pictures are delivered at; unknown (0/1) keeps the source's own rate.
    toolbox::Rational rate;
    /// Slow motion: each picture plays this many times longer (the sound with it).
    double stretch = 1;
    /// The recording date the movie header and the creation-date key get (UTC); nothing when
    /// the plan gives none (the date is then not checked).
    std::optional<int64_t> recordingDateUnix;
    /// The picture size an export scales to; 0 keeps the source's size and pixel aspect (an
    /// export's pixels are those of its setting, so its pixel aspect is not compared).
    int32_t width = 0;
    int32_t height = 0;
    /// The source's sound was put into a movie of its own pictures (the picture route of an
    /// edited QuickTime source): the same rules hold.
    bool keepsSound = true;
};

/// What the output must hold.
struct verifyExpect {
    int64_t pictures = 0; ///< -1: not known (a variable rate read without sample tables)
    double seconds = 0;
    toolbox::Rational rate;    ///< unknown (0/1) for a source of variable rate kept as it is
    double pictureSeconds = 0; ///< one picture at that rate (the count's and duration's margin)
    bool sound = false;
    double soundSeconds = 0;
    double soundStartSeconds = 0; ///< against the first picture
    double soundFrameSeconds = 0; ///< one sound frame (the length's margin)
    int32_t soundChannels = 0;    ///< 0: not checked (the plan may mix them down)
    int32_t width = 0;
    int32_t height = 0;
    toolbox::Rational pixelAspect{1, 1}; ///< unknown (0/1): not compared
    int32_t rotation = 0;
    int32_t primaries = 2; ///< as toolbox::PictureFacts; 2 (0 for range): the source says none
    int32_t transfer = 2;
    int32_t matrix = 2;
    int32_t range = 0;
    std::optional<int64_t> recordingDateUnix;
    double sourceSeconds = 0; ///< the source's own length, for the words of a short movie
};

/// The source's picture rate when a delivered whole rate keeps its 1000/1001 clock: a whole
/// 24, 30 or 60 of an export keeps 23.976, 29.97 or 59.94; else `delivered`/1.
toolbox::Rational verifyDeliveredRate(int32_t delivered, const toolbox::Rational &source);

/// What the plan makes of the source: its presented pictures for a copy at the source's rate,
/// the count the planned rate gives over the planned duration otherwise; its first sound track
/// (the one kept) cut to the first picture (sound before it is trimmed) and stretched with the
/// pictures; its display as it is.
verifyExpect verifyExpectOf(const toolbox::MovieFacts &source, const verifyPlan &plan);

/// The expectation of a joined recording: the pieces' presented spans one after the other.
/// `pieces` are each piece's facts, already limited to its IN-to-OUT span.
toolbox::MovieFacts verifyJoinedFacts(const QList<toolbox::MovieFacts> &pieces);

/// What a check found wrong.
enum class verifyCheck {
    none,
    unreadable,   ///< the output's index can't be read
    noPicture,    ///< no picture track
    pictures,     ///< fewer or more pictures than planned
    duration,     ///< the pictures play shorter or longer than planned
    rate,         ///< not the planned rational rate
    noSound,      ///< the source's kept track has sound, the output none
    soundLength,  ///< the sound is shorter or longer than planned
    soundStart,   ///< the sound begins elsewhere against the first picture
    soundTrack,   ///< the sound is another track than the kept one (its channels differ)
    size,         ///< another picture size
    pixelAspect,  ///< another pixel aspect
    rotation,     ///< another display matrix
    colour,       ///< another colour description
    date,         ///< another recording date in the movie header or its creation-date key
    toolReadError ///< the tool's report says it could not read the source
};

/// One check that failed: its code and what differs, in the user's language and untranslated.
struct verifyFinding {
    verifyCheck check = verifyCheck::none;
    QString words;
    QString logWords;
};

/// The verdict of an output.
struct verifyVerdict {
    bool holds = false;
    QList<verifyFinding> findings; ///< every failed check, in the order above
    /// What was proved, untranslated ("verified: 300 pictures at 50/1, 6.000 s, sound +0.0
    /// ms"); on a failure, what the movie holds.
    QString logWords;
    QString words; ///< the same in the user's language
    /// The failed checks' words joined ("; "), untranslated or in the user's language.
    [[nodiscard]] QString failureLogWords() const;
    [[nodiscard]] QString failureWords() const;
};

/// Compares the output's facts with what is expected. A tool's read error (`toolReadLine`, its
/// own line, with the tool's name in `tool`) fails the output whatever it holds.
verifyVerdict verifyOutput(const verifyExpect &expect, const toolbox::MovieFacts &output,
                           const QString &tool = {}, const QString &toolReadLine = {});

/// The verdict of an output whose index could not be read (`why`: the reader's words).
verifyVerdict verifyUnreadable(const QString &why);

/// A rational as people write a rate: "50/1", "60000/1001".
QString verifyRateText(const toolbox::Rational &rate);
