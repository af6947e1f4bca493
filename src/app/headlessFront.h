// The headless front: `fluxaro --batch SOURCE... [--dest DIR] [--format rewrap|aic|prores]
// [--mode normal|half|slow] [--prores 4444|hq|lt|proxy] [--surround] [--no-join]
// [--replace|--keep] [--verbose] [--debug]`.
// It runs the application controller with plain controls on the event loop, hands it the
// options' choices (batchChoices) and the sources as given (the controller's intake reads
// folders as it reads a drop on the window), stops it on Ctrl-C, answers alerts
// by their rules (the default button, as after the time-out, or as the flags say), prints each
// source's verdict, one progress line for the batch (phase, speed, time left) and each job's
// result, and exits 0 when every source was converted, 1 when any was refused, skipped or
// failed, 2 on a usage error (a --dest that is a file among them). The detailed log reaches the
// terminal only with --verbose or --debug.
#pragma once

#include "commandLine.h"
#include "controller/appController.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

/// The batch's progress line: share done, place, phase and clip, speed, time left, e.g.
/// "progress:  42 %  [2/5] exporting 00002.MTS  3.1x  1:05 left".
QString headlessProgressLine(const batchProgressValue &value);

/// Runs the batch to its end on the running QCoreApplication (start-up already done) and
/// returns the exit status.
int headlessBatchRun(const headlessOptions &options);
