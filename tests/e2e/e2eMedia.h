// Media and runs for the end-to-end tests: short clips made with the ffmpeg program, AVCHD card
// folders with their playlist, the fluxaro program run headless in a private environment, and
// ffprobe queries on its outputs.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace e2e {

/// Makes a clip with /usr/bin/ffmpeg: H.264 (+ AC-3 stereo unless `silent`) in an MPEG transport
/// stream, or the container of the extension. `extra` goes before the output (e.g. interlacing).
/// The picture starts `videoDelay` seconds after the sound; a negative delay starts the sound
/// that long after the picture.
bool makeClip(const QString &path, const QString &size, int rate, double seconds,
              const QStringList &extra = {}, bool silent = false, double videoDelay = 0,
              int channels = 2);

/// A card folder <card>/PRIVATE/AVCHD/BDMV with a playlist listing clips 1..n recorded on
/// 2024-05-18 at 10:15:30, 10:20:05, 10:31:44 (and later minutes), and their stream files made by
/// `clips` (size, rate pairs). With a `cameraZone` byte (0 to 255), every clip's IDR pictures
/// carry a camcorder's MDPM message with that zone and the clip's date (makeCameraClip).
/// Answers the STREAM folder.
QString makeCard(const QString &card, const QList<QPair<QString, int>> &clips, double seconds,
                 int cameraZone = -1);

/// The SEI NAL unit (start code, header, escaped payload) of a camcorder's MDPM message: the
/// zone byte, 2024-05-18 and the time of makeCard's clip n.
QByteArray mdpmSeiNal(int zone, int clip);

/// H.264 Annex B bytes with `nal` put before the first slice of every IDR picture, where a
/// camcorder writes its SEI messages.
QByteArray withNalBeforeIdrPictures(const QByteArray &annexB, const QByteArray &nal);

/// Makes a clip as makeClip does (H.264 and AC-3 stereo in a transport stream, the picture
/// `videoDelay` after the sound, a key frame every second and no other) whose IDR pictures carry
/// the MDPM message of mdpmSeiNal: the picture is encoded to Annex B, the message put in, and both
/// muxed with ffmpeg's stream copy.
bool makeCameraClip(const QString &path, const QString &size, int rate, double seconds,
                    double videoDelay, int zone, int clip);

/// Where a camera cut a recording: at a key frame; inside a group of pictures (the next file
/// goes on byte for byte from a picture); at a key frame with the group before it written again
/// at the head of the next file (whose IN time skips it); at any transport-stream packet in the
/// middle of a group of pictures with B-pictures, perhaps inside a picture (IN is the OUT time
/// before, at the first picture that begins in the next file, which holds pictures that show
/// before it); the repeated group with open groups (B-pictures after each key frame that
/// reference the group before and show before it: IN is the first of them).
enum class seamKind { keyPicture, midGroup, repeatedGroup, packetCut, openRepeatedGroup };

/// A card like makeCard's whose playlist lists one recording split into `pieces` stream files
/// (clips 1..pieces, the first dated as makeCard's clip 1): one 25 fps encode (of `size`) of
/// `seconds` with a key frame every second, kept at `whole`, cut at transport-stream packets as
/// `seams` says. The play items give each piece's in and out times; the later pieces continue
/// the first (connection condition 6, no entry mark). The clip `missing` (0: none) is listed
/// but left off the card. With a `cameraZone` byte, the encode's IDR pictures carry the MDPM
/// message of makeCameraClip (clip 1's date). With `shots`, the card first holds that many
/// shots of the same format and length (clips 1..shots, each a recording of its own: conditions
/// 1, then 5, an entry mark each), and the pieces are the clips after them. With `clockWraps`,
/// the transport stream's 33-bit clock wraps half-way through the recording (the encode starts
/// near the wrap, as a camera that ran for 26.5 hours). Answers the STREAM folder, empty on
/// failure.
QString makeSpannedCard(const QString &card, const QString &whole, int pieces, double seconds,
                        int missing = 0, const QString &size = QStringLiteral("320x180"),
                        int cameraZone = -1, seamKind seams = seamKind::keyPicture, int shots = 0,
                        bool clockWraps = false);

/// The MD5 of every decoded picture of the file's first video stream, in order (ffmpeg's
/// framemd5 without the timestamps).
QStringList frameHashes(const QString &path);

/// The MD5 of the file's first audio stream decoded ("MD5=..."), empty when it has none.
QString soundHash(const QString &path);

/// The expected output name of clip n of makeCard.
QString cardClipName(int clip);

struct runResult {
    int status = -1;
    QString out;
    QString err;
};

/// A private home for fluxaro runs: configuration, state, runtime and temporary folders.
class sandbox {
public:
    sandbox();
    QString root() const { return dir_.path(); }
    QString dest() const { return dir_.path() + QStringLiteral("/dest"); }
    QString events() const { return dest() + QStringLiteral("/fluxaro events"); }
    QString resumeLog() const;
    QString detailsLog() const;
    QProcessEnvironment environment() const;
    /// Runs `fluxaro --batch` with the arguments (destination added when none is given).
    runResult batch(const QStringList &args, int timeoutMs = 240000,
                    const QMap<QString, QString> &extraEnv = {}) const;
    /// The names in the events folder, sorted, with the files of a job's private working folder
    /// as "folder/name" (an empty one as "folder/").
    QStringList eventsFiles() const;
    /// Turns until the running batch's export has begun (its "_MASTER" file is in the events
    /// folder): true; false when the run ended or two minutes passed first. Every name listed
    /// meanwhile is added to `seen`.
    bool waitForExport(QProcess &process, QStringList *seen = nullptr) const;
    /// The fluxaro program that batch() runs (default: the build's).
    void setProgram(const QString &program) { program_ = program; }

private:
    QTemporaryDir dir_;
    QString program_ = QStringLiteral(FLUXARO_BIN_DIR "/fluxaro");
};

/// ffprobe's "key=value" lines for the first stream of a kind ("v" or "a") of the file.
QMap<QString, QString> probeStream(const QString &path, const QString &kind);
/// The container's duration in seconds (0 when unreadable).
double probeDuration(const QString &path);

/// A fingerprint of the file (size, modification time and content hash).
QByteArray fingerprint(const QString &path);

/// A resource folder of its own at folder (for FLUXARO_RESOURCE_DIR): the build's Info.plist
/// and an empty tools folder, to which `tools` adds entries: a name and either the path of a
/// program to link to or, when it starts with "#!", the text of a script to write. False when
/// something could not be made.
bool makeResourceFolder(const QString &folder, const QMap<QString, QString> &tools);

} // namespace e2e
