#include "media.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>

namespace mediatest {

bool run(const QString &program, const QStringList &args, QString *out, QString *err,
         int timeoutMs) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForStarted() || !process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (out != nullptr) {
        *out = QString::fromUtf8(process.readAllStandardOutput());
    }
    if (err != nullptr) {
        *err = QString::fromUtf8(process.readAllStandardError());
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool makeClip(const QString &path, double videoSeconds, double soundSeconds, double videoDelay) {
    QStringList args{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")};
    QStringList maps;
    int input = 0;
    if (videoSeconds > 0) {
        if (videoDelay > 0) {
            args << QStringLiteral("-itsoffset") << QString::number(videoDelay);
        }
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("testsrc=size=64x48:rate=25:duration=%1").arg(videoSeconds);
        maps << QStringLiteral("-map") << QStringLiteral("%1:v").arg(input++);
    }
    if (soundSeconds > 0) {
        args
            << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
            << QStringLiteral("sine=frequency=440:sample_rate=48000:duration=%1").arg(soundSeconds);
        maps << QStringLiteral("-map") << QStringLiteral("%1:a").arg(input++);
    }
    // Passthrough keeps the video's late start as an empty edit instead of repeating its first
    // frame from 0.
    args << maps << QStringLiteral("-fps_mode") << QStringLiteral("passthrough")
         << QStringLiteral("-c:v") << QStringLiteral("mpeg4") << QStringLiteral("-c:a")
         << QStringLiteral("pcm_s16le") << path;
    return run(QStringLiteral("/usr/bin/ffmpeg"), args);
}

QString probe(const QString &path, const QString &stream, const QString &entry) {
    QStringList args{QStringLiteral("-v"), QStringLiteral("error")};
    if (!stream.isEmpty()) {
        args << QStringLiteral("-select_streams") << stream << QStringLiteral("-show_entries")
             << QStringLiteral("stream=%1").arg(entry);
    } else {
        args << QStringLiteral("-show_entries") << QStringLiteral("format=%1").arg(entry);
    }
    if (entry == QLatin1String("nb_read_frames")) {
        args << QStringLiteral("-count_frames");
    }
    args << QStringLiteral("-of") << QStringLiteral("default=nw=1:nk=1") << path;
    QString out;
    if (!run(QStringLiteral("/usr/bin/ffprobe"), args, &out)) {
        return {};
    }
    return out.trimmed();
}

double probeNumber(const QString &path, const QString &stream, const QString &entry) {
    bool ok = false;
    const double value = probe(path, stream, entry).toDouble(&ok);
    return ok ? value : -1;
}

QString fileMd5(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(&file);
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace mediatest
