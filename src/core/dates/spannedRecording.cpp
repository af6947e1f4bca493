#include "dates/spannedRecording.h"

#include "dates/playItems.h"
#include "platform/log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool isPlayListName(const QString &name) {
    return name.endsWith(QStringLiteral(".MPL"), Qt::CaseInsensitive) ||
           name.endsWith(QStringLiteral(".mpls"), Qt::CaseInsensitive);
}

bool isStreamSuffix(const QString &suffix) {
    return suffix.compare(QStringLiteral("MTS"), Qt::CaseInsensitive) == 0 ||
           suffix.compare(QStringLiteral("M2TS"), Qt::CaseInsensitive) == 0;
}

// The bytes of a playlist file: a regular file of at most kMaxPlayListBytes, read whole.
std::optional<QByteArray> playListBytes(const QString &path) {
    std::error_code error;
    const std::filesystem::path native(QFile::encodeName(path).toStdString());
    if (!std::filesystem::is_regular_file(native, error) || error) {
        return std::nullopt;
    }
    // No access time written on the card where the system lets this process say so (a card
    // being imported is never changed).
    const QByteArray nativePath = QFile::encodeName(path);
    int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NOATIME);
    if (fd < 0 && errno == EPERM) {
        fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC);
    }
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0) {
            ::close(fd);
        }
        return std::nullopt;
    }
    if (file.size() > kMaxPlayListBytes) {
        return std::nullopt;
    }
    // Read one byte past the limit: a file that grew since its size was taken is refused too.
    QByteArray bytes = file.read(kMaxPlayListBytes + 1);
    if (bytes.size() > kMaxPlayListBytes) {
        return std::nullopt;
    }
    return bytes;
}

// The stream file of clip in folder: the source's own extension first, then any stream
// extension in any case.
QString streamPathOf(const QDir &folder, const QString &clip, const QString &suffix,
                     const QStringList &entries) {
    const QString same = clip + QLatin1Char('.') + suffix;
    if (entries.contains(same)) {
        return folder.filePath(same);
    }
    for (const QString &entry : entries) {
        const QFileInfo info(entry);
        if (info.completeBaseName() == clip && isStreamSuffix(info.suffix())) {
            return folder.filePath(entry);
        }
    }
    return QString();
}

} // namespace

std::optional<std::int64_t> pieceTicks(const recordingPiece &piece) {
    constexpr std::int64_t turn = std::int64_t{1} << 32;
    const std::int64_t ticks =
        (static_cast<std::int64_t>(piece.outTime) - piece.inTime + turn) % turn;
    if (ticks == 0 || ticks >= turn / 2) {
        return std::nullopt;
    }
    return ticks;
}

double spannedRecording::seconds() const {
    double ticks = 0;
    for (const recordingPiece &piece : pieces) {
        const std::optional<std::int64_t> length = pieceTicks(piece);
        if (!length) {
            return 0;
        }
        ticks += static_cast<double>(*length);
    }
    return ticks / 45000.0;
}

std::optional<spannedRecording> spannedRecordingOf(const QString &path) {
    const QFileInfo source(path);
    const QString clip = source.completeBaseName();
    if (clip.isEmpty()) {
        return std::nullopt;
    }
    const QDir streams = source.absoluteDir();
    QDir playListFolder = streams;
    if (!playListFolder.cdUp() || !playListFolder.cd(QStringLiteral("PLAYLIST"))) {
        return std::nullopt;
    }
    QStringList names = playListFolder.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    names.removeIf([](const QString &name) { return !isPlayListName(name); });
    const QStringList entries = streams.entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        const QString playList = playListFolder.filePath(name);
        const std::optional<QByteArray> bytes = playListBytes(playList);
        if (!bytes) {
            continue;
        }
        const std::optional<playListContents> list =
            readPlayList(reinterpret_cast<const unsigned char *>(bytes->constData()),
                         static_cast<std::size_t>(bytes->size()));
        if (!list) {
            logDebug(QStringLiteral("play items          :-/ none read in %1").arg(playList));
            continue;
        }
        for (const playItemRun &run : playItemRecordings(*list)) {
            spannedRecording recording;
            recording.playlist = playList;
            recording.apart = QString::fromStdString(run.apart);
            bool listed = false;
            for (std::size_t i = run.first; i < run.first + run.count; ++i) {
                const playItem &item = list->items[i];
                recordingPiece piece;
                piece.clip =
                    QString::fromLatin1(item.clip.data(), static_cast<qsizetype>(item.clip.size()));
                piece.connection = item.connection;
                piece.inTime = item.inTime;
                piece.outTime = item.outTime;
                piece.path = streamPathOf(streams, piece.clip, source.suffix(), entries);
                if (!listed && piece.clip == clip) {
                    listed = true;
                    recording.index = recording.pieces.size();
                }
                recording.pieces.append(piece);
            }
            if (listed) {
                return recording;
            }
        }
    }
    return std::nullopt;
}
