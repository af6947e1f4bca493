// Facts about the machine, written to the log at start-up, and a web probe.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

class QObject;

/// The running system's version as a number (versionStr2Float of its dotted form, e.g. Debian
/// 12.8 -> 12.08), logged "Operating System    : <dotted>"; 0 when unknown.
float versionOS();
/// The version of the media libraries behind the movie toolbox (libavformat) as a number,
/// logged "QuickTime           : <dotted>"; 0 when unknown.
float versionQT();
/// Number of processors (cores) the process may use, logged.
int32_t nbProcessors();
/// What a front learnt about the display it draws on: whether it draws with graphics-card
/// acceleration, and the facts to log (one "INFORMATION" line each).
struct graphicsFacts {
    bool accelerated = false;
    QStringList information;
};
/// Installs the display check of the graphical front (none: the headless check below).
void setGraphicsProbe(std::function<graphicsFacts()> probe);
/// True when the display is drawn with graphics-card acceleration: the installed probe's answer
/// (an OpenGL context of the session's display), else whether the machine has a graphics
/// device with direct rendering (a DRI render node). Logs the answer and its facts.
bool quartzExtremeCard();
/// Always false on Linux (there is no processor subtype setting to read); logs "cpu > G3".
bool cpuG3();
/// True for an x86 build.
bool archIntel();
/// Bounds of one small web fetch (the connectivity probe, the update record).
struct webFetchLimits {
    /// The whole fetch, from the request to the last byte, ends within this time.
    int32_t deadlineMs = 20000;
    /// An answer longer than this is not what was asked for.
    int64_t maxBytes = 64 * 1024;
    /// Only an "https://" address is fetched, and a redirect is followed only to another one
    /// (else the fetch fails, and nothing is asked of the address that is not HTTPS).
    bool httpsOnly = false;
};

/// How a fetch ended.
enum class webFetchOutcome {
    Answered, ///< the whole answer, an HTTP success, within the bounds
    Failed,   ///< no connection, an HTTP error, too many redirects
    TimedOut, ///< the deadline passed before the answer was complete
    TooLarge, ///< the answer grew past the size bound
};

struct webFetchResult {
    webFetchOutcome outcome = webFetchOutcome::Failed;
    QByteArray body; ///< the answer (only when Answered)
};

/// Fetches the address (GET, up to 10 redirects; a certificate is checked against the default
/// TLS configuration's authorities) on the calling thread's event loop without
/// waiting: `done` is called there once, when the fetch ends: at most `limits.deadlineMs` after
/// the call, and never with more than `limits.maxBytes` of answer held, whatever the server sends
/// or withholds. When `context` is destroyed first, the fetch is aborted and `done` never called.
void webFetchAsync(const QString &url, const webFetchLimits &limits, QObject *context,
                   std::function<void(const webFetchResult &)> done);

/// The same, blocking the calling thread on a local event loop until it ends (for fronts with
/// no window: the terminal and the tests).
webFetchResult webFetch(const QString &url, const webFetchLimits &limits = {});

/// A line for people about a fetch that did not end with an answer: "no answer within 20 s",
/// "the answer is larger than 64 KB", "no answer".
QString webFetchOutcomeStr(webFetchOutcome outcome, const webFetchLimits &limits = {});

/// True when a fetch of the connectivity probe answered with text readable as ASCII (an empty
/// page counts). Logs a failed fetch of `url`.
bool webProbeAnswered(const QString &url, const webFetchResult &fetched,
                      const webFetchLimits &limits = {});

/// True when the address answers with text readable as ASCII (an empty page counts); false on
/// any failure. Blocks the calling thread until the fetch ends (webFetch and its bounds; the
/// outcome in `outcome` when given).
bool internetConnexionCheck(const QString &url, const webFetchLimits &limits = {},
                            webFetchOutcome *outcome = nullptr);
