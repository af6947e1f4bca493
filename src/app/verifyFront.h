// `fluxaro --verify SOURCE OUTPUT`: the conversion's verification for any pair of files, so a
// person can check movies made earlier or elsewhere.
#pragma once

#include "commandLine.h"

#include <QString>

/// The verdict line for the pair: "verified: ..." or "not verified: what differs (what the
/// movie holds)"; `holds` tells which.
QString verifyPairLine(const QString &source, const QString &output, int32_t format, int32_t mode,
                       bool *holds);

/// Prints the verdict of the line's source and output on standard output (a file that is no
/// movie on standard error); 0 when it holds, 1 when it does not.
int verifyRun(const commandLine &line);
