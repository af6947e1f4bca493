#include "platform/utilsTools.h"

#include "platform/constants.h"
#include "platform/log.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringDecoder>

#include <clocale>
#include <locale.h>

namespace {

// "en_US.UTF-8" when the system has that locale; otherwise C.UTF-8, which every glibc system has,
// so that tools run by the shell still read and write UTF-8 without complaining about the locale.
QString utf8CtypeLocale() {
    static const QString name = [] {
        locale_t probe = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(nullptr));
        if (probe != static_cast<locale_t>(nullptr)) {
            freelocale(probe);
            return QStringLiteral("en_US.UTF-8");
        }
        return QStringLiteral("C.UTF-8");
    }();
    return name;
}

// Runs the command line through /bin/sh to its end and returns its whole standard output, or
// nothing when the shell could not be started. The exit status is not looked at.
std::optional<QByteArray> runShell(const QString &cmd, const QString &folder) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_CTYPE"), utf8CtypeLocale());
    process.setProcessEnvironment(env);
    if (!folder.isEmpty()) {
        process.setWorkingDirectory(folder);
    }
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), cmd});
    if (!process.waitForStarted(-1)) {
        return std::nullopt;
    }
    QByteArray out;
    // Read as the output arrives so that a large output never fills the pipe.
    while (process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(-1);
        out += process.readAllStandardOutput();
    }
    process.waitForFinished(-1);
    out += process.readAllStandardOutput();
    return out;
}

std::optional<QString> decodeUtf8(const QByteArray &bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

} // namespace

std::optional<QString> taskWithStr(const QString &cmd, const QString &folder) {
    if (!folder.isEmpty()) {
        logStr(QStringLiteral("cd : %1").arg(folder));
    }
    const std::optional<QByteArray> out = runShell(cmd, folder);
    QString text;
    if (out) {
        std::optional<QString> decoded = decodeUtf8(*out);
        if (!decoded) {
            // Output that is not UTF-8 reads as the empty text, which callers see as "no answer".
            return QString();
        }
        text = *decoded;
    }
    logDebug(QStringLiteral("stringOutput        :   '%1'").arg(text));
    if (text.isEmpty()) {
        logStr(QStringLiteral("stringOutput        :-/ '%1'").arg(text));
        return std::nullopt;
    }
    return text;
}

std::optional<QString> taskWithStrBasic(const QString &cmd) {
    const std::optional<QByteArray> out = runShell(cmd, {});
    if (!out) {
        return QString();
    }
    std::optional<QString> text = decodeUtf8(*out);
    if (!text) {
        return std::nullopt;
    }
    if (text->endsWith(QLatin1Char('\n'))) {
        text->chop(1);
    }
    return text;
}
