// What the person chose for the batch, as the fronts hand it to the controller: the window
// whenever a preference or the destination changes, `fluxaro --batch` once from its options.
// The controller reads these values only, never a front's controls.
#pragma once

#include "controller/exportPreset.h"

#include <QString>

/// What a job does with a file already at its output's name.
enum class existingOutputAnswer {
    ask,     ///< the person is asked (the answer may become the batch's)
    keep,    ///< the file stays, the job is skipped
    replace, ///< the file is replaced by the new movie
};

/// The batch's choices: where the outputs go, and what new rows take.
struct batchChoices {
    QString destination;        ///< the destination folder (its events folder gets the outputs)
    int32_t format = outRewrap; ///< the output format of new rows (outFormat)
    int32_t rate = fpsNormal;   ///< the frame-rate mode of new rows (fpsMode)
    bool surround = false;      ///< new rows keep multichannel sound
    bool join = true;           ///< the pieces of a spanned recording become one row
    existingOutputAnswer existing = existingOutputAnswer::ask;
};
