#include "clips.h"
#include "sharedTestData.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#include <cstdio>

namespace clips {

namespace {

QString clipFolder() {
    const QString folder = QStringLiteral(FLUXARO_BINARY_DIR "/tests/analysis-clips");
    QDir().mkpath(folder);
    return folder;
}

QStringList recipe(const QString &name) {
    const QStringList h264 = {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"};
    const QStringList small = {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=1"};
    const QStringList tone = {"-f", "lavfi", "-i",
                              "sine=frequency=440:sample_rate=48000:duration=1"};
    if (name == "ts1080p50") {
        return QStringList{"-f", "lavfi", "-i", "testsrc=size=1920x1080:rate=50:duration=1"} +
               tone + h264 + QStringList{"-b:v", "300k", "-ac",  "2",  "-c:a",
                                         "ac3",  "-b:a", "192k", "-f", "mpegts"};
    }
    if (name == "surround") {
        return small + tone + h264 +
               QStringList{"-af",  "pan=5.1(side)|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0",
                           "-c:a", "ac3",
                           "-b:a", "192k",
                           "-f",   "mpegts"};
    }
    if (name == "aac96") {
        return small +
               QStringList{"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=96000:duration=1"} +
               h264 + QStringList{"-c:a", "aac", "-ar", "96000", "-ac", "2", "-f", "mpegts"};
    }
    if (name == "audioEarly") {
        // The sound input is moved 50 ms earlier than the picture.
        return small + QStringList{"-itsoffset", "-0.05"} + tone + h264 +
               QStringList{"-c:a", "ac3", "-f", "mpegts"};
    }
    if (name == "movSubtitle") {
        const QString srt = clipFolder() + "/subtitle.srt";
        QFile file(srt);
        if (file.open(QIODevice::WriteOnly)) {
            file.write("1\n00:00:00,000 --> 00:00:00,900\nHello\n");
        }
        return small + tone + QStringList{"-i", srt, "-map", "0", "-map", "1", "-map", "2"} + h264 +
               QStringList{"-c:a",         "aac", "-c:s", "mov_text", "-metadata:s:a:0",
                           "language=fra", "-f",  "mov"};
    }
    if (name == "movie") {
        return QStringList{"-f", "lavfi", "-i", "testsrc=size=320x240:rate=10:duration=1"} + tone +
               h264 + QStringList{"-c:a", "aac", "-f", "mov"};
    }
    // Fields: 640x360 H.264 coded as interlaced fields, top field first, key frames every 12
    // pictures (as camcorders make them), 4 s.
    const QStringList fields = {
        "-c:v",     "libx264", "-preset", "veryfast",     "-qp",
        "18",       "-g",      "12",      "-x264-params", "interlaced=1:tff=1",
        "-pix_fmt", "yuv420p", "-f",      "mpegts"};
    if (name == "psf") {
        // 25 progressive pictures a second, each coded as two fields of its one moment.
        return QStringList{"-f", "lavfi", "-i", "testsrc=size=640x360:rate=25:duration=4"} + fields;
    }
    if (name == "interlaced") {
        // 50 moments a second woven into 25 pictures, one field each.
        return QStringList{"-f",  "lavfi",
                           "-i",  "testsrc=size=640x360:rate=50:duration=4",
                           "-vf", "tinterlace=mode=interleave_top"} +
               fields;
    }
    if (name == "pulldown") {
        // 24 pictures a second (23.976) spread over 60 fields by 2:3 pulldown.
        return QStringList{"-f",  "lavfi",
                           "-i",  "testsrc2=size=640x360:rate=24000/1001:duration=4",
                           "-vf", "telecine=first_field=top:pattern=23"} +
               fields;
    }
    if (name == "switching") {
        // Progressive pictures for 3 s, then fields of 50 moments a second for 3 s.
        return QStringList{"-f",
                           "lavfi",
                           "-i",
                           "testsrc=size=640x360:rate=25:duration=3",
                           "-f",
                           "lavfi",
                           "-i",
                           "testsrc=size=640x360:rate=50:duration=3",
                           "-filter_complex",
                           "[1]tinterlace=mode=interleave_top[b];[0][b]concat=n=2:v=1[v]",
                           "-map",
                           "[v]"} +
               fields;
    }
    // The same coded as fields with a key frame every 250 pictures (10 s, as some cameras
    // write), 12 s: the samples in the middle and at five sixths lie after the first.
    const QStringList longGroupFields = {
        "-c:v",          "libx264", "-preset",      "veryfast",
        "-qp",           "18",      "-g",           "250",
        "-sc_threshold", "0",       "-x264-params", "interlaced=1:tff=1",
        "-pix_fmt",      "yuv420p", "-f",           "mpegts"};
    if (name == "psfLongGroup") {
        return QStringList{"-f", "lavfi", "-i", "testsrc=size=640x360:rate=25:duration=12"} +
               longGroupFields;
    }
    if (name == "interlacedLongGroup") {
        return QStringList{"-f",  "lavfi",
                           "-i",  "testsrc=size=640x360:rate=50:duration=12",
                           "-vf", "tinterlace=mode=interleave_top"} +
               longGroupFields;
    }
    if (name == "oneFrame") {
        return QStringList{"-f", "lavfi", "-i", "testsrc=size=640x360:rate=25", "-frames:v", "1"} +
               fields;
    }
    return {};
}

QString extension(const QString &name) {
    return name.startsWith("mov") ? QStringLiteral(".mov") : QStringLiteral(".mts");
}

} // namespace

QString clip(const QString &name) {
    const QString path = clipFolder() + "/" + name + extension(name);
    if (QFileInfo(path).size() > 0) {
        return path;
    }
    // Made under a private name, then renamed: test processes running side by side never see a
    // half-written clip.
    const QString partial =
        path + QStringLiteral(".part%1").arg(QRandomGenerator::global()->generate());
    if (name == "brokenFields") {
        // The fields clip with every packet's payload after the first ten scrambled: the
        // stream is there, its pictures don't decode.
        QFile source(clip(QStringLiteral("psf")));
        QFile file(partial);
        if (!source.open(QIODevice::ReadOnly) || !file.open(QIODevice::WriteOnly)) {
            return {};
        }
        QByteArray bytes = source.readAll();
        for (qsizetype packet = 10 * 188; packet + 188 <= bytes.size(); packet += 188) {
            for (qsizetype i = packet + 4; i < packet + 188; ++i) {
                bytes[i] = static_cast<char>(bytes.at(i) ^ static_cast<char>((i * 131) & 0xff));
            }
        }
        file.write(bytes);
    } else if (name == "notAMovie") {
        QFile file(partial);
        if (!file.open(QIODevice::WriteOnly)) {
            return {};
        }
        QByteArray bytes(8192, '\0');
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>((i * 7919 + 13) % 251);
        }
        file.write(bytes);
    } else {
        const QStringList arguments = recipe(name);
        if (arguments.isEmpty()) {
            return {};
        }
        QProcess ffmpeg;
        ffmpeg.setStandardInputFile(QProcess::nullDevice());
        ffmpeg.start("/usr/bin/ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-y"} +
                                            arguments + QStringList{partial});
        if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
            QFile::remove(partial);
            return {};
        }
    }
    // rename() replaces atomically: a clip another process is using never disappears.
    if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) !=
        0) {
        QFile::remove(partial);
    }
    return QFileInfo(path).size() > 0 ? path : QString();
}

QStringList probingArguments(const QString &ffmpeg, const QString &source,
                             const QString &framePath) {
    return {ffmpeg,     "-loglevel", "debug", "-fdebug",      "ts", "-i",      source,
            "-vframes", "10",        "-vf",   "showinfo",     "-s", "640x480", "-pix_fmt",
            "yuv420p",  "-an",       "-f",    "yuv4mpegpipe", "-y", framePath};
}

QString runFfmpeg(const QStringList &arguments) {
    QProcess ffmpeg;
    ffmpeg.setStandardInputFile(QProcess::nullDevice());
    ffmpeg.start("/usr/bin/ffmpeg", arguments);
    ffmpeg.waitForFinished(120000);
    return QString::fromUtf8(ffmpeg.readAllStandardError());
}

QString fixture(const QString &name) {
    QFile file(QStringLiteral(FLUXARO_SOURCE_DIR "/tests/analysis/fixtures/") + name);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

QString oldReportsFolder() {
    const std::string shared = fluxaro::test::sharedTestDataDir();
    return shared.empty() ? QString() : QString::fromStdString(shared + "/ffmpeg-reports-old");
}

} // namespace clips
