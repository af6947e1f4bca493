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
#include <QSysInfo>
#include <QThread>
#include <QUrl>

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

bool internetConnexionCheck(const QString &url) {
    if (url.isEmpty()) {
        return false;
    }
    logDebug(QStringLiteral("internetConnexionChe- deb: %1").arg(url));
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(url)};
    request.setTransferTimeout(60000);
    QNetworkReply *reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    bool answered = false;
    QString text;
    if (reply->error() == QNetworkReply::NoError) {
        const QByteArray body = reply->readAll();
        answered = true;
        for (const char c : body) {
            if (static_cast<unsigned char>(c) > 0x7F) {
                answered = false;
                break;
            }
        }
        if (answered) {
            text = QString::fromLatin1(body);
        }
    }
    reply->deleteLater();
    logDebug(QStringLiteral("internetConnexionChe- fin: src == %1").arg(text));
    return answered;
}
