// The update download: one download at a time (its state is process-wide), on a thread of its
// own with its own event loop, while the calling thread polls it every 0.05 s, moves the
// progress bar and keeps handling its own events (so the stop button works).
#pragma once

#include <QString>

#include <cstdint>

class uiButton;
class uiProgressBar;

/// Bounds of one download.
struct webDownloadLimits {
    /// A connection that sends nothing for this long fails.
    int32_t stallTimeoutMs = 30000;
    /// Redirects followed before the download fails.
    int32_t maxRedirects = 10;
    /// More bytes than this fail the download, announced or not.
    int64_t maxBytes = int64_t{2} * 1024 * 1024 * 1024;
};

class webUtils {
public:
    /// The download's status: running, finished, cancelled, failed.
    enum : int32_t { statusRunning = 0, statusFinished = 1, statusCancelled = 2, statusFailed = 3 };

    /// Downloads the address to the path (an existing file is replaced; a partial file is
    /// deleted on failure). With a stop button and `verbose`, the button is shown and enabled
    /// for the time of the download, and the bar becomes determinate from 0 to 100 once the
    /// server has announced the length. Returns 0 when downloaded, 1 when cancelled, 2 when it
    /// failed: no answer, an HTTP error, too many redirects, a stall, more bytes than
    /// announced or than the limit, fewer than announced. Main thread only.
    static int32_t downloadURL(const QString &url, const QString &path, uiProgressBar *bar,
                               uiButton *stopBt, bool verbose,
                               const webDownloadLimits &limits = {});

    /// The stop button's action during a download: disables the button and cancels the
    /// download (which then answers 1). Does nothing when no download runs.
    static void stopDL(uiButton *stopBt = nullptr);

    /// The same from a signal handler (touches lock-free atomics only, logs nothing).
    static void stopFromSignal();

    /// True while a download runs.
    static bool isDownloading();
};
