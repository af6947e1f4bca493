// The update download: one download at a time (its state is process-wide), on a thread of its
// own with its own event loop, while the calling thread polls it every 0.05 s, moves the
// progress bar and keeps handling its own events (so the stop button works). Over HTTPS only,
// redirects included; the file is checked against its known length and digest as it arrives.
#pragma once

#include <QByteArray>
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

/// What the downloaded file must be: its length in bytes and its SHA-256 (32 bytes), each when
/// the one who offers it says so.
struct webDownloadExpect {
    int64_t length = -1; ///< -1: not given (the server's announced length must then be there)
    QByteArray sha256;   ///< empty: not given
};

class webUtils {
public:
    /// The download's status: running, finished, cancelled, failed.
    enum : int32_t { statusRunning = 0, statusFinished = 1, statusCancelled = 2, statusFailed = 3 };

    /// Downloads the "https://" address to the path (an existing file is replaced; a partial
    /// file is deleted on failure). With a stop button and `verbose`, the button is shown and
    /// enabled for the time of the download, and the bar becomes determinate from 0 to 100 once
    /// the length is known. Returns 0 when downloaded, 1 when cancelled, 2 when it failed: an
    /// address that is not HTTPS, a certificate the TLS configuration does not trust, a redirect
    /// to an address that is not HTTPS, no answer, an HTTP error, too many redirects, a stall,
    /// a length known neither from `expect` nor from the server, an announced length other than
    /// the expected one, more or fewer bytes than that length or more than the limit, a SHA-256
    /// other than the expected one. Main thread only.
    static int32_t downloadURL(const QString &url, const QString &path, uiProgressBar *bar,
                               uiButton *stopBt, bool verbose, const webDownloadLimits &limits = {},
                               const webDownloadExpect &expect = {});

    /// The stop button's action during a download: disables the button and cancels the
    /// download (which then answers 1). Does nothing when no download runs.
    static void stopDL(uiButton *stopBt = nullptr);

    /// The same from a signal handler (touches lock-free atomics only, logs nothing).
    static void stopFromSignal();
};
