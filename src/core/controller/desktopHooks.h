// The desktop follows the controller's batches, in either front: the launcher icon shows the
// running batch's progress, one notification tells how many sources were converted and how many
// failed when the batch ends (none per file), or that it was stopped, and the events folder is
// revealed with the batch's first new output selected (one item: one file-manager window). Each
// service has its fallback (desktop/), so a desktop without a session bus or without the service
// changes nothing in the batch; Details.log says what was skipped.
#pragma once

#include <QString>

#include <cstdint>

class appController;

/// Wraps the controller's hooks (jobEnded, batchEnded, batchProgress, and revealFolder unless the
/// front set its own) so the desktop services follow its batches. Call it once, after the front
/// has set its hooks; the hooks it finds keep running first.
void desktopServicesAttach(appController &controller);

/// The end-of-batch notification's title and text for the counts.
QString desktopBatchSummaryStr();
QString desktopBatchBodyStr(int32_t converted, int32_t failed);
/// The notification's title and text when the batch was stopped: converted, failed (the
/// stopped job too) and not done.
QString desktopBatchStoppedStr();
QString desktopBatchStoppedBodyStr(int32_t converted, int32_t failed, int32_t notDone);
