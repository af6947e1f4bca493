// The desktop follows the controller's batches, in either front: the launcher icon shows the
// running batch's progress, one notification at the batch's end (none per file) tells that it
// finished or was stopped, how many sources were converted, failed, kept, skipped or left, and why
// the first ones did not convert, and the events folder is revealed with the batch's first new
// output selected (one item: one file-manager window). Each
// service has its fallback (desktop/), so a desktop without a session bus or without the service
// changes nothing in the batch; Details.log says what was skipped.
#pragma once

#include "controller/outcomes.h"

#include <QString>

#include <cstdint>

class appController;

/// Wraps the controller's hooks (jobOutcome, batchSummary, batchEnded, batchProgress, and
/// revealFolder unless the front set its own) so the desktop services follow its batches. Call
/// it once, after the front has set its hooks; the hooks it finds keep running first.
void desktopServicesAttach(appController &controller);

/// The end-of-batch notification's title.
QString desktopBatchSummaryStr();
/// The notification's title when the batch was stopped.
QString desktopBatchStoppedStr();
/// The notification's text, worded as the window's end-of-batch alert: each count by kind
/// (converted, failed, kept, skipped, stopped, not done), then why the first jobs did not
/// convert ("00003.MTS: the disk is full").
QString desktopBatchBodyStr(const batchSummaryValue &summary);
