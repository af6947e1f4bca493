#include "e2eMedia.h"

// The playlists are laid out by the clipdater tests' card builder.
#include "../clipdater/avchdCard.h"

#include <sys/stat.h>

#include <algorithm>

#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>
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

unsigned char bcd(int value) {
    return static_cast<unsigned char>(((value / 10) << 4) | (value % 10));
}

// The recording date of clip n on the generated cards: 2024-05-18 at 10:15:30, 10:20:05,
// 10:31:44, 10:40:00, then again.
avchd::ClipRecord cardRecord(int clip) {
    static const int hms[][3] = {{10, 15, 30}, {10, 20, 5}, {10, 31, 44}, {10, 40, 0}};
    const int *t = hms[(clip - 1) % 4];
    return {clip, {bcd(24), bcd(5), bcd(18), bcd(t[0]), bcd(t[1]), bcd(t[2])}};
}

bool writeBytes(const QString &path, const std::string &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
               static_cast<qint64>(bytes.size());
}

QString makeCardFolders(const QString &card) {
    const QString bdmv = card + QStringLiteral("/PRIVATE/AVCHD/BDMV");
    for (const char *sub : {"PLAYLIST", "CLIPINF", "STREAM"}) {
        QDir().mkpath(bdmv + QLatin1Char('/') + QLatin1String(sub));
    }
    return bdmv;
}

constexpr qsizetype kPacket = 188;

// The PID of the transport-stream packet at offset.
int packetPid(const QByteArray &ts, qsizetype at) {
    return (static_cast<unsigned char>(ts[at + 1]) & 0x1F) << 8 |
           static_cast<unsigned char>(ts[at + 2]);
}

// The PTS (90 kHz) of the video PES that begins in the packet at offset, or -1; `key` says
// whether it begins with a key frame (its adaptation field's random-access flag set).
qint64 videoPesPts(const QByteArray &ts, qsizetype at, bool *key) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(ts[at + i]); };
    const bool start = (byte(1) & 0x40) != 0;
    const int control = byte(3) >> 4 & 3;
    if (!start || (control & 1) == 0) {
        return -1;
    }
    *key = (control & 2) != 0 && byte(4) != 0 && (byte(5) & 0x40) != 0;
    const qsizetype payload = (control & 2) != 0 ? 5 + byte(4) : 4;
    if (payload + 14 > kPacket || byte(payload) != 0 || byte(payload + 1) != 0 ||
        byte(payload + 2) != 1 || (byte(payload + 3) & 0xF0) != 0xE0 ||
        (byte(payload + 7) & 0x80) == 0) {
        return -1;
    }
    const qsizetype p = payload + 9;
    return (qint64(byte(p) >> 1 & 7) << 30) | (qint64(byte(p + 1)) << 22) |
           (qint64(byte(p + 2) >> 1) << 15) | (qint64(byte(p + 3)) << 7) | (byte(p + 4) >> 1);
}

} // namespace

bool makeClip(const QString &path, const QString &size, int rate, double seconds,
              const QStringList &extra, bool silent, double videoDelay, int channels) {
    QStringList args{"-nostdin", "-v", "error", "-y"};
    if (!silent && videoDelay < 0) {
        args << "-itsoffset" << QString::number(-videoDelay);
    }
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

QByteArray mdpmSeiNal(int zone, int clip) {
    const avchd::ClipRecord record = cardRecord(clip);
    QByteArray payload("\x17\xee\x8c\x60\xf8\x4d\x11\xd9\x8c\xd6\x08\x00\x20\x0c\x9a\x66MDPM", 20);
    for (const unsigned char byte :
         {0x02, 0x18, zone, 0x20, int(record.date[0]), int(record.date[1]), 0x19,
          int(record.date[2]), int(record.date[3]), int(record.date[4]), int(record.date[5])}) {
        payload += static_cast<char>(byte);
    }
    // One SEI message of type 5 (user data unregistered), then the stop bit.
    const QByteArray rbsp = QByteArray(1, '\x05') +
                            QByteArray(1, static_cast<char>(payload.size())) + payload +
                            QByteArray(1, '\x80');
    QByteArray nal("\x00\x00\x00\x01\x06", 5);
    int zeros = 0;
    for (const char c : rbsp) {
        const auto byte = static_cast<unsigned char>(c);
        if (zeros >= 2 && byte <= 3) {
            nal += '\x03'; // emulation prevention
            zeros = 0;
        }
        nal += c;
        zeros = byte == 0 ? zeros + 1 : 0;
    }
    return nal;
}

QByteArray withNalBeforeIdrPictures(const QByteArray &annexB, const QByteArray &nal) {
    QByteArray out;
    qsizetype copied = 0;
    for (qsizetype i = 0; i + 4 < annexB.size(); ++i) {
        if (annexB[i] != 0 || annexB[i + 1] != 0 || annexB[i + 2] != 1) {
            continue;
        }
        const auto header = static_cast<unsigned char>(annexB[i + 3]);
        // An IDR slice whose first_mb_in_slice (the first Exp-Golomb code) is 0: its first bit
        // is 1. That slice begins the picture.
        if ((header & 0x1F) == 5 && (static_cast<unsigned char>(annexB[i + 4]) & 0x80) != 0) {
            const qsizetype start = i > 0 && annexB[i - 1] == 0 ? i - 1 : i;
            out += annexB.mid(copied, start - copied);
            out += nal;
            copied = start;
        }
        i += 2;
    }
    out += annexB.mid(copied);
    return out;
}

bool makeCameraClip(const QString &path, const QString &size, int rate, double seconds,
                    double videoDelay, int zone, int clip) {
    const QString raw = path + QStringLiteral(".h264");
    QFile file(raw);
    if (!makeClip(raw, size, rate, seconds, {"-sc_threshold", "0", "-f", "h264"}, true) ||
        !file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray withSei = withNalBeforeIdrPictures(file.readAll(), mdpmSeiNal(zone, clip));
    file.close();
    if (!writeBytes(raw, withSei.toStdString())) {
        return false;
    }
    // A raw stream has no time stamps to delay; the sound starts earlier instead.
    int status = -1;
    runProgram(QStringLiteral("/usr/bin/ffmpeg"),
               {"-nostdin",
                "-v",
                "error",
                "-y",
                "-itsoffset",
                QString::number(-videoDelay),
                "-f",
                "lavfi",
                "-i",
                QStringLiteral("sine=frequency=440:sample_rate=48000:duration=%1").arg(seconds),
                "-framerate",
                QString::number(rate),
                "-i",
                raw,
                "-map",
                "1:v",
                "-map",
                "0:a",
                "-c:v",
                "copy",
                "-c:a",
                "ac3",
                "-b:a",
                "384k",
                "-ac",
                "2",
                "-f",
                "mpegts",
                path},
               &status);
    QFile::remove(raw);
    return status == 0 && QFileInfo(path).size() > 0;
}

QString makeCard(const QString &card, const QList<QPair<QString, int>> &clips, double seconds,
                 int cameraZone) {
    const QString bdmv = makeCardFolders(card);
    std::vector<avchd::ClipRecord> records;
    std::vector<avchd::PlayItem> items;
    for (int i = 0; i < clips.size(); ++i) {
        const int clip = i + 1;
        records.push_back(cardRecord(clip));
        // Each clip a recording of its own: no item continues the one before it.
        items.push_back({clip, 63000, 63000 + static_cast<std::uint32_t>(seconds * 45000), 1});
        const QString stream =
            QStringLiteral("%1/STREAM/%2.MTS").arg(bdmv).arg(clip, 5, 10, QLatin1Char('0'));
        if (cameraZone >= 0) {
            makeCameraClip(stream, clips[i].first, clips[i].second, seconds, i == 0 ? 0.4 : 0,
                           cameraZone, clip);
        } else {
            makeClip(stream, clips[i].first, clips[i].second, seconds, {}, false, i == 0 ? 0.4 : 0);
        }
    }
    writeBytes(bdmv + QStringLiteral("/PLAYLIST/00000.MPL"), avchd::playlistBytes(records, items));
    return bdmv + QStringLiteral("/STREAM");
}

QString makeSpannedCard(const QString &card, const QString &whole, int pieces, double seconds,
                        int missing, const QString &size, int cameraZone, seamKind seams, int shots,
                        bool clockWraps) {
    const QString bdmv = makeCardFolders(card);
    // One encode with a key frame every second and none elsewhere, so that every second
    // begins a group of pictures where the camera may cut; with B-pictures where the cut falls
    // at any packet or the groups are open, as many cameras write them.
    QStringList extra{"-sc_threshold", "0"};
    if (seams == seamKind::packetCut || seams == seamKind::openRepeatedGroup) {
        extra << "-bf"
              << "2";
    }
    if (seams == seamKind::openRepeatedGroup) {
        // The fastest preset's fixed B-picture pattern keeps the groups closed.
        extra << "-preset"
              << "veryfast"
              << "-x264-params"
              << "open-gop=1";
    }
    if (clockWraps) {
        // The muxer starts the picture 1.4 s into its clock: the 33-bit clock (2^33 ticks of
        // 90 kHz) wraps half-way through the recording.
        extra << "-output_ts_offset"
              << QString::number(8589934592.0 / 90000.0 - 1.4 - seconds / 2, 'f', 6);
    }
    if (pieces < 2 || !(cameraZone >= 0 ? makeCameraClip(whole, size, 25, seconds, 0, cameraZone, 1)
                                        : makeClip(whole, size, 25, seconds, extra))) {
        return QString();
    }
    QFile in(whole);
    if (!in.open(QIODevice::ReadOnly)) {
        return QString();
    }
    const QByteArray ts = in.readAll();
    if (ts.size() % kPacket != 0) {
        return QString();
    }
    // Every picture's packet and time, in file order; the key frames' packets each moved back
    // over the tables the muxer writes just before it (PAT 0, SDT 0x11, PMT 0x1000), so that a
    // piece that begins there begins with them.
    struct picture {
        qsizetype at;
        qint64 pts;
    };
    QList<picture> all;
    QList<qsizetype> keys; // indices into all
    for (qsizetype at = 0; at < ts.size(); at += kPacket) {
        bool key = false;
        const qint64 p = videoPesPts(ts, at, &key);
        if (p < 0) {
            continue;
        }
        qsizetype cut = at;
        while (key && cut >= kPacket &&
               QList<int>{0, 0x11, 0x1000}.contains(packetPid(ts, cut - kPacket))) {
            cut -= kPacket;
        }
        if (key) {
            keys << all.size();
        }
        all.append({all.isEmpty() ? 0 : cut, p});
    }
    if (keys.size() < pieces) {
        return QString();
    }
    // Where each piece's own material begins in the encode (the byte the piece before ends at),
    // where its file begins (earlier when it repeats the group before) and the time it is
    // presented from (its IN time, the OUT time of the piece before). Pieces of about the same
    // length: piece i begins at the key frame i * keys / pieces, or before it: half-way from the
    // key frame before (midGroup: at that picture; packetCut: at that transport-stream packet,
    // wherever it falls in a picture, IN at the first picture that begins after it).
    struct seam {
        qsizetype cut = 0;
        qsizetype file = 0;
        qint64 in = 0;
    };
    QList<seam> starts;
    for (int i = 0; i < pieces; ++i) {
        const qsizetype index = i * keys.size() / pieces;
        const qsizetype k = keys[index];
        seam s{all[k].at, all[k].at, all[k].pts};
        if (i > 0 && seams == seamKind::midGroup) {
            const qsizetype first = (keys[index - 1] + k) / 2;
            s = {all[first].at, all[first].at, all[first].pts};
        } else if (i > 0 && seams == seamKind::packetCut) {
            const qsizetype from = all[keys[index - 1]].at;
            s.cut = from + (all[k].at - from) / kPacket / 2 * kPacket;
            s.file = s.cut;
            for (const picture &p : all) {
                if (p.at >= s.cut) {
                    s.in = p.pts;
                    break;
                }
            }
        } else if (i > 0 &&
                   (seams == seamKind::repeatedGroup || seams == seamKind::openRepeatedGroup)) {
            s.file = all[keys[index - 1]].at;
            // An open group begins with the B-pictures after its key frame that show before it.
            const qsizetype next = index + 1 < keys.size() ? keys[index + 1] : all.size();
            for (qsizetype j = k; j < next; ++j) {
                s.in = std::min(s.in, all[j].pts);
            }
        }
        starts << s;
    }
    std::vector<avchd::ClipRecord> records;
    std::vector<avchd::PlayItem> items;
    // The shots before the recording: clips of the same format, each a shot of its own
    // (condition 1 for the first item, 5 for the others).
    for (int clip = 1; clip <= shots; ++clip) {
        if (!makeClip(
                QStringLiteral("%1/STREAM/%2.MTS").arg(bdmv).arg(clip, 5, 10, QLatin1Char('0')),
                size, 25, seconds, {"-sc_threshold", "0"})) {
            return QString();
        }
        records.push_back(cardRecord(clip));
        items.push_back(
            {clip, 63000, 63000 + static_cast<std::uint32_t>(seconds * 45000), clip == 1 ? 1 : 5});
    }
    // The recording's end, in the clock that may have wrapped (play items keep its low 32 bits
    // of 45 kHz ticks).
    const qint64 end = all.first().pts + static_cast<qint64>(seconds * 90000);
    for (int i = 0; i < pieces; ++i) {
        const int clip = shots + i + 1;
        const qsizetype from = starts[i].file;
        const qsizetype to = i + 1 < pieces ? starts[i + 1].cut : ts.size();
        const qint64 out = i + 1 < pieces ? starts[i + 1].in : end;
        records.push_back(cardRecord(clip));
        items.push_back({clip, static_cast<std::uint32_t>(starts[i].in / 2),
                         static_cast<std::uint32_t>(out / 2), i > 0 ? 6 : (shots > 0 ? 5 : 1)});
        if (clip != missing) {
            const QByteArray piece = ts.mid(from, to - from);
            writeBytes(
                QStringLiteral("%1/STREAM/%2.MTS").arg(bdmv).arg(clip, 5, 10, QLatin1Char('0')),
                piece.toStdString());
        }
    }
    writeBytes(bdmv + QStringLiteral("/PLAYLIST/00000.MPL"), avchd::playlistBytes(records, items));
    return bdmv + QStringLiteral("/STREAM");
}

QStringList frameHashes(const QString &path) {
    const QString text =
        runProgram(QStringLiteral("/usr/bin/ffmpeg"),
                   {"-nostdin", "-v", "error", "-i", path, "-map", "0:v:0", "-f", "framemd5", "-"});
    QStringList hashes;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.startsWith(QLatin1Char('#'))) {
            hashes << line.section(QLatin1Char(','), -1).trimmed();
        }
    }
    return hashes;
}

QString soundHash(const QString &path) {
    return runProgram(QStringLiteral("/usr/bin/ffmpeg"),
                      {"-nostdin", "-v", "error", "-i", path, "-map", "0:a:0", "-f", "md5", "-"})
        .trimmed();
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
    // A job's private working folder: its files as "folder/name", the folder alone as "folder/".
    for (const QString &folder :
         QDir(events()).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QStringList inside =
            QDir(events() + QLatin1Char('/') + folder).entryList(QDir::Files | QDir::Hidden);
        if (inside.isEmpty()) {
            names << folder + QLatin1Char('/');
        }
        for (const QString &name : inside) {
            names << folder + QLatin1Char('/') + name;
        }
    }
    names.sort();
    return names;
}

bool sandbox::waitForExport(QProcess &process, QStringList *seen) const {
    QElapsedTimer timer;
    timer.start();
    while (process.state() == QProcess::Running && timer.elapsed() < 120000) {
        process.waitForFinished(20);
        bool exporting = false;
        for (const QString &name : eventsFiles()) {
            exporting = exporting || name.contains(QStringLiteral("_MASTER"));
            if (seen != nullptr && !seen->contains(name)) {
                *seen << name;
            }
        }
        if (exporting) {
            return true;
        }
    }
    return false;
}

QMap<QString, QString> probeStream(const QString &path, const QString &kind) {
    const QString text = runProgram(QStringLiteral("/usr/bin/ffprobe"),
                                    {"-v", "error", "-select_streams", kind + ":0", "-show_entries",
                                     "stream=codec_name,codec_tag_string,sample_rate,channels,"
                                     "channel_layout,r_frame_rate,avg_frame_rate,"
                                     "width,height,duration,field_order:stream_tags=timecode",
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
