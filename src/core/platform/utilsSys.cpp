#include "platform/utilsSys.h"

#include "platform/constants.h"
#include "platform/log.h"
#include "platform/utilsStr.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSysInfo>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <optional>

#if __has_include(<libavformat/version.h>)
#include <libavformat/version.h>
#define FLUXARO_HAS_AVFORMAT_VERSION 1
#endif

namespace {

// The dotted version of the running system: Debian's own file gives the point release
// ("12.8"), os-release only the major version ("12").
QString systemVersionStr() {
    QString version = QSysInfo::productVersion();
    QFile debian(QStringLiteral("/etc/debian_version"));
    if (debian.open(QIODevice::ReadOnly)) {
        const QString precise = QString::fromLatin1(debian.readLine()).trimmed();
        if (!precise.isEmpty() && precise.at(0).isDigit() &&
            (version == QLatin1String("unknown") ||
             precise.startsWith(version + QLatin1Char('.')) || precise == version)) {
            version = precise;
        }
    }
    if (version == QLatin1String("unknown")) {
        return QString();
    }
    return version;
}

} // namespace

float versionOS() {
    const QString version = systemVersionStr();
    if (version.isEmpty()) {
        logStr(QStringLiteral("versionOS           :-( echec"));
        return 0.0F;
    }
    logStr(QStringLiteral("Operating System    : %1").arg(version));
    return versionStr2Float(version);
}

float versionQT() {
#ifdef FLUXARO_HAS_AVFORMAT_VERSION
    const QString version = QStringLiteral("%1.%2.%3")
                                .arg(LIBAVFORMAT_VERSION_MAJOR)
                                .arg(LIBAVFORMAT_VERSION_MINOR)
                                .arg(LIBAVFORMAT_VERSION_MICRO);
    logStr(QStringLiteral("QuickTime           : %1").arg(version));
    const float value = versionStr2Float(version);
    logDebug(QString::number(value, 'f', 6));
    return value;
#else
    logStr(QStringLiteral("versionQT           :-( echec"));
    return 0.0F;
#endif
}

int32_t nbProcessors() {
    const int32_t count = QThread::idealThreadCount();
    logStr(QStringLiteral("Processors/Cores    x %1").arg(count));
    return count;
}

namespace {
std::function<graphicsFacts()> &graphicsProbe() {
    static std::function<graphicsFacts()> probe;
    return probe;
}
} // namespace

void setGraphicsProbe(std::function<graphicsFacts()> probe) {
    graphicsProbe() = std::move(probe);
}

bool quartzExtremeCard() {
    graphicsFacts facts;
    if (graphicsProbe()) {
        facts = graphicsProbe()();
    } else {
        const QStringList nodes =
            QDir(QStringLiteral("/dev/dri")).entryList({QStringLiteral("renderD*")}, QDir::System);
        facts.accelerated = !nodes.isEmpty();
        facts.information << (facts.accelerated
                                  ? QStringLiteral("graphics device with direct rendering: %1")
                                        .arg(nodes.join(QStringLiteral(", ")))
                                  : QStringLiteral("no graphics device with direct rendering "
                                                   "(/dev/dri); converting does not need one"));
    }
    logStr(facts.accelerated ? QStringLiteral("Quartz Extreme      :-) compatible video card")
                             : QStringLiteral("Quartz Extreme      :-( not compatible video card"));
    for (const QString &line : facts.information) {
        logStr(QStringLiteral("INFORMATION         : %1").arg(line));
    }
    return facts.accelerated;
}

bool cpuG3() {
    logStr(QStringLiteral("cpu > G3            :-)"));
    return false;
}

bool archIntel() {
#if defined(__x86_64__) || defined(__i386__)
    return true;
#else
    return false;
#endif
}

namespace {

bool isHttpsUrl(const QUrl &url) {
    return url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty();
}

} // namespace

void webFetchAsync(const QString &url, const webFetchLimits &limits, QObject *context,
                   std::function<void(const webFetchResult &)> done) {
    // The manager owns the reply and the deadline; it is deleted once the fetch has ended.
    auto *manager = new QNetworkAccessManager;
    const QPointer<QObject> receiver(context);
    const QUrl address(url);
    if (limits.httpsOnly && !isHttpsUrl(address)) {
        // Refused without a request; told from the event loop, as a fetch that ended.
        logStr(QStringLiteral("web fetch           :-( not an HTTPS address: %1").arg(url));
        QTimer::singleShot(0, manager, [manager, receiver, context, done = std::move(done)] {
            manager->deleteLater();
            if (context == nullptr || !receiver.isNull()) {
                done(webFetchResult{});
            }
        });
        return;
    }
    QNetworkRequest request{address};
    request.setMaximumRedirectsAllowed(10);
    request.setTransferTimeout(limits.deadlineMs);
    if (limits.httpsOnly) {
        // Each redirect is looked at before it is followed (below).
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::UserVerifiedRedirectPolicy);
    }
    QNetworkReply *reply = manager->get(request);
    struct fetchState {
        std::optional<webFetchOutcome> ended;
        QByteArray body;
        bool delivered = false;
    };
    auto state = std::make_shared<fetchState>();
    if (limits.httpsOnly) {
        QObject::connect(
            reply, &QNetworkReply::redirected, manager, [state, reply](const QUrl &to) {
                if (state->ended) {
                    return;
                }
                if (!isHttpsUrl(to)) {
                    logStr(QStringLiteral("web fetch           :-( redirect to %1 refused: not an "
                                          "HTTPS address")
                               .arg(to.toDisplayString()));
                    state->ended = webFetchOutcome::Failed;
                    reply->abort();
                    return;
                }
                Q_EMIT reply->redirectAllowed();
            });
    }
    // A server that sends a byte now and then never lets a transfer timeout fire, and one that
    // never stops would fill the memory: the deadline counts the whole fetch, and the answer
    // is read as it comes and dropped past its bound.
    auto *deadline = new QTimer(manager);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, manager, [state, reply] {
        if (!state->ended) {
            state->ended = webFetchOutcome::TimedOut;
        }
        reply->abort();
    });
    auto take = [state, reply, limits] {
        if (state->ended) {
            return;
        }
        state->body += reply->read(limits.maxBytes + 1 - state->body.size());
        if (state->body.size() > limits.maxBytes) {
            state->ended = webFetchOutcome::TooLarge;
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::readyRead, manager, take);
    if (context != nullptr) {
        // The one waiting for the answer is gone: nobody is told, the fetch stops.
        QObject::connect(context, &QObject::destroyed, manager, [state, reply] {
            state->delivered = true;
            reply->abort();
        });
    }
    QObject::connect(
        reply, &QNetworkReply::finished, manager,
        [state, reply, manager, deadline, receiver, context, take, done = std::move(done)] {
            deadline->stop();
            if (!state->ended) {
                take();
            }
            webFetchResult result;
            if (state->ended) {
                result.outcome = *state->ended;
            } else if (reply->error() == QNetworkReply::NoError) {
                result.outcome = webFetchOutcome::Answered;
                result.body = state->body;
            } else if (reply->error() == QNetworkReply::OperationCanceledError ||
                       reply->error() == QNetworkReply::TimeoutError) {
                result.outcome = webFetchOutcome::TimedOut;
            }
            manager->deleteLater();
            if (state->delivered || (context != nullptr && receiver.isNull())) {
                return;
            }
            state->delivered = true;
            done(result);
        });
    deadline->start(limits.deadlineMs);
}

webFetchResult webFetch(const QString &url, const webFetchLimits &limits) {
    QEventLoop loop;
    std::optional<webFetchResult> fetched;
    webFetchAsync(url, limits, &loop, [&](const webFetchResult &result) {
        fetched = result;
        loop.quit();
    });
    if (!fetched) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return fetched.value_or(webFetchResult{});
}

QString webFetchOutcomeStr(webFetchOutcome outcome, const webFetchLimits &limits) {
    switch (outcome) {
    case webFetchOutcome::TimedOut:
        return QStringLiteral("no answer within %1 s").arg((limits.deadlineMs + 999) / 1000);
    case webFetchOutcome::TooLarge:
        return QStringLiteral("the answer is larger than %1 KB").arg(limits.maxBytes / 1024);
    case webFetchOutcome::Failed:
        return QStringLiteral("no answer");
    case webFetchOutcome::Answered:
        break;
    }
    return {};
}

bool webProbeAnswered(const QString &url, const webFetchResult &fetched,
                      const webFetchLimits &limits) {
    if (fetched.outcome != webFetchOutcome::Answered) {
        logStr(QStringLiteral("web check           :-( %1: %2")
                   .arg(url, webFetchOutcomeStr(fetched.outcome, limits)));
        return false;
    }
    for (const char c : fetched.body) {
        if (static_cast<unsigned char>(c) > 0x7F) {
            return false;
        }
    }
    logDebug(QStringLiteral("internetConnexionChe- fin: src == %1")
                 .arg(QString::fromLatin1(fetched.body)));
    return true;
}

bool internetConnexionCheck(const QString &url, const webFetchLimits &limits,
                            webFetchOutcome *outcome) {
    if (outcome != nullptr) {
        *outcome = webFetchOutcome::Failed;
    }
    if (url.isEmpty()) {
        return false;
    }
    logDebug(QStringLiteral("internetConnexionChe- deb: %1").arg(url));
    const webFetchResult fetched = webFetch(url, limits);
    if (outcome != nullptr) {
        *outcome = fetched.outcome;
    }
    return webProbeAnswered(url, fetched, limits);
}
