// The decisions of the analysis's steps, as pure functions of plain values: the step reads
// what they need, calls them, then does what they return.
#pragma once

#include "controller/batchList.h"

#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <optional>

/// What the end of one source's analysis has read.
struct analysisFinFacts {
    QString src{};                       ///< the source ("cancel" or empty: the analysis stopped)
    std::optional<QVariantMap> record{}; ///< its record, when the analysis accepted it
    QString img{};                       ///< its thumbnail's path (empty: none)
    bool imgMade = false;                ///< the thumbnail is made already (a picture at img)
    bool surround = false;               ///< the surround choice for new rows is on
    int32_t format = 0;                  ///< the chosen format for new rows (outFormat)
    int32_t rate = 0;                    ///< the chosen rate mode for new rows (fpsMode)
    bool aicAvailable = false;           ///< an Intermediate Codec encoder exists
    bool proresAvailable = false;        ///< a ProRes encoder exists
    bool listed = false;                 ///< a row (or a joined row's piece) has this source
};

/// What the end of the analysis does with the source.
enum class analysisFinOutcome {
    none,     ///< no record: it was refused already (its verdict given), nothing to append
    appended, ///< its row is appended
    stopped,  ///< the analysis was stopped while the source had a record: refused
    listed,   ///< the batch has a row for the source already: refused, never listed twice
};

/// The end of the analysis's decision: the outcome, the row to append and the notes of its
/// verdict.
struct analysisFinPlanValue {
    analysisFinOutcome outcome = analysisFinOutcome::none;
    batchRow row;
    /// For an appended source: how its scan was judged, and sound tracks left out.
    QString notes;
};

/// The end of one source's analysis: the row a source with a record gets (its name, its place
/// waiting, its media facts, the format and rate mode allowed (rowAllowance), its thumbnail
/// once made), or why it gets none.
analysisFinPlanValue analysisFinPlan(const analysisFinFacts &facts);
