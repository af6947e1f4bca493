// `fluxaro --import CARD --archive FOLDER [--archive FOLDER2]` and `fluxaro --check-archive
// FOLDER`: the card import and the archive check in the terminal. Their lines come from the core's
// typed results only; the import's summary also goes into Resume.log.
#pragma once

#include "commandLine.h"

/// Runs the import the line asks for (start-up done): 0 when the card is safe to format, 1 when
/// not (or when it could not begin). With --convert, an import that was not stopped is followed
/// by the batch on the first archive's copy; the worse of both statuses.
int importRun(const commandLine &line);

/// Runs the archive check the line asks for (nothing started): 0 intact, 1 not.
int checkArchiveRun(const commandLine &line);
