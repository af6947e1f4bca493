#include "e2eMedia.h"

#include <sys/stat.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace e2e {

namespace {

QString runProgram(const QString &program, const QStringList &args, int *status = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    process.waitForFinished(120000);
    if (status != nullptr) {
        *status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    return QString::fromUtf8(process.readAll());
}

QByteArray bcd(int value) {
    return QByteArray(1, static_cast<char>(((value / 10) << 4) | (value % 10)));
}

} // namespace

bool makeClip(const QString &path, const QString &size, int rate, double seconds,
              const QStringList &extra, bool silent, double videoDelay, int channels) {
    QStringList args{"-nostdin", "-v", "error", "-y"};
    if (!silent) {
        args << "-f"
             << "lavfi"
             << "-i"
             << QStringLiteral("sine=frequency=440:sample_rate=48000:duration=%1").arg(seconds);
    }
    if (videoDelay > 0) {
        args << "-itsoffset" << QString::number(videoDelay);
    }
    args << "-f"
         << "lavfi"
         << "-i"
         << QStringLiteral("testsrc2=size=%1:rate=%2:duration=%3").arg(size).arg(rate).arg(seconds);
    args << "-map" << (silent ? "0:v" : "1:v");
    if (!silent) {
        args << "-map"
             << "0:a"
             << "-c:a"
             << "ac3"
             << "-b:a"
             << "384k"
             << "-ac" << QString::number(channels);
    }
    args << "-c:v"
         << "libx264"
         << "-preset"
         << "ultrafast"
         << "-pix_fmt"
         << "yuv420p"
         << "-g" << QString::number(rate) << "-b:v"
         << "4M";
    args << extra;
    if (path.endsWith(QStringLiteral(".MTS")) || path.endsWith(QStringLiteral(".mts")) ||
        path.endsWith(QStringLiteral(".ts"))) {
        args << "-f"
             << "mpegts";
    }
    args << path;
    int status = -1;
    runProgram(QStringLiteral("/usr/bin/ffmpeg"), args, &status);
    return status == 0 && QFileInfo(path).size() > 0;
}

QString cardClipName(int clip) {
    static const char *const times[] = {"10;15;30", "10;20;05", "10;31;44", "10;40;00"};
    return QStringLiteral("clip-2024-05-18 %1-%2.mov")
        .arg(QString::fromLatin1(times[(clip - 1) % 4]))
        .arg(clip, 5, 10, QLatin1Char('0'));
}

QString makeCard(const QString &card, const QList<QPair<QString, int>> &clips, double seconds) {
    const QString bdmv = card + QStringLiteral("/PRIVATE/AVCHD/BDMV");
    for (const char *sub : {"PLAYLIST", "CLIPINF", "STREAM"}) {
        QDir().mkpath(bdmv + QLatin1Char('/') + QLatin1String(sub));
    }
    static const int hms[][3] = {{10, 15, 30}, {10, 20, 5}, {10, 31, 44}, {10, 40, 0}};
    QByteArray playlist("MPLS0100");
    playlist += QByteArray(24, '\0');
    playlist += QByteArray("\xFF\xFF\x1E\x20", 4);
    for (int i = 0; i < clips.size(); ++i) {
        const int clip = i + 1;
        playlist += QByteArray(1, static_cast<char>(clip / 100)) + QByteArray(2, '\0') +
                    QByteArray(1, static_cast<char>(clip % 100)) + QByteArray("\x1E\x20", 2);
        playlist += bcd(24) + bcd(5) + bcd(18) + bcd(hms[i % 4][0]) + bcd(hms[i % 4][1]) +
                    bcd(hms[i % 4][2]);
        playlist += QByteArray(4, '\0');
        makeClip(QStringLiteral("%1/STREAM/%2.MTS").arg(bdmv).arg(clip, 5, 10, QLatin1Char('0')),
                 clips[i].first, clips[i].second, seconds, {}, false, i == 0 ? 0.4 : 0);
    }
    playlist += QByteArray(6, '\x01');
    QFile file(bdmv + QStringLiteral("/PLAYLIST/00000.MPL"));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(playlist);
    }
    return bdmv + QStringLiteral("/STREAM");
}

sandbox::sandbox() {
    for (const char *sub : {"config", "state", "runtime", "tmp", "dest", "home", "data"}) {
        QDir().mkpath(dir_.path() + QLatin1Char('/') + QLatin1String(sub));
    }
    QFile::setPermissions(dir_.path() + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QProcessEnvironment sandbox::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", root() + "/home");
    env.insert("XDG_CONFIG_HOME", root() + "/config");
    env.insert("XDG_STATE_HOME", root() + "/state");
    env.insert("XDG_RUNTIME_DIR", root() + "/runtime");
    env.insert("XDG_DATA_HOME", root() + "/data");
    env.insert("TMPDIR", root() + "/tmp");
    env.remove("FLUXARO_RESOURCE_DIR");
    return env;
}

QString sandbox::resumeLog() const {
    return root() + QStringLiteral("/state/Fluxaro/Resume.log");
}

QString sandbox::detailsLog() const {
    return root() + QStringLiteral("/state/Fluxaro/Details.log");
}

runResult sandbox::batch(const QStringList &args, int timeoutMs,
                         const QMap<QString, QString> &extraEnv) const {
    QProcess process;
    QProcessEnvironment env = environment();
    for (auto it = extraEnv.cbegin(); it != extraEnv.cend(); ++it) {
        env.insert(it.key(), it.value());
    }
    process.setProcessEnvironment(env);
    QStringList all{QStringLiteral("--batch")};
    all << args;
    if (!args.contains(QStringLiteral("--dest"))) {
        all << QStringLiteral("--dest") << dest();
    }
    process.start(program_, all);
    runResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("timed out");
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QStringList sandbox::eventsFiles() const {
    QStringList names = QDir(events()).entryList(QDir::Files | QDir::Hidden);
    names.sort();
    return names;
}

QMap<QString, QString> probeStream(const QString &path, const QString &kind) {
    const QString text = runProgram(
        QStringLiteral("/usr/bin/ffprobe"),
        {"-v", "error", "-select_streams", kind + ":0", "-show_entries",
         "stream=codec_name,codec_tag_string,sample_rate,channels,r_frame_rate,avg_frame_rate,"
         "width,height,duration",
         "-of", "default=noprint_wrappers=1", path});
    QMap<QString, QString> values;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        values.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    }
    return values;
}

double probeDuration(const QString &path) {
    return runProgram(QStringLiteral("/usr/bin/ffprobe"),
                      {"-v", "error", "-show_entries", "format=duration", "-of",
                       "default=noprint_wrappers=1:nokey=1", path})
        .trimmed()
        .toDouble();
}

QByteArray fingerprint(const QString &path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (file.open(QIODevice::ReadOnly)) {
        hash.addData(&file);
    }
    const QFileInfo info(path);
    // The status change time too: an output replaced by an identical one (same source, same
    // recording date) is still a new file.
    struct stat status {};
    const bool known = ::stat(QFile::encodeName(path).constData(), &status) == 0;
    const qint64 changedNs =
        known ? qint64(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec : 0;
    return QByteArray::number(info.size()) + ' ' +
           QByteArray::number(info.lastModified().toMSecsSinceEpoch()) + ' ' +
           QByteArray::number(changedNs) + ' ' + hash.result().toHex();
}

bool makeResourceFolder(const QString &folder, const QMap<QString, QString> &tools) {
    if (!QDir().mkpath(folder + QStringLiteral("/tools")) ||
        !QFile::copy(QStringLiteral(FLUXARO_RESOURCE_DIR "/Info.plist"),
                     folder + QStringLiteral("/Info.plist"))) {
        return false;
    }
    for (auto it = tools.cbegin(); it != tools.cend(); ++it) {
        const QString path = folder + QStringLiteral("/tools/") + it.key();
        if (!it.value().startsWith(QStringLiteral("#!"))) {
            if (!QFile::link(it.value(), path)) {
                return false;
            }
            continue;
        }
        QFile script(path);
        if (!script.open(QIODevice::WriteOnly) || script.write(it.value().toUtf8()) < 0) {
            return false;
        }
        script.close();
        if (!script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                   QFileDevice::ExeOwner)) {
            return false;
        }
    }
    return true;
}

} // namespace e2e
