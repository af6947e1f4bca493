#include "movie/qtUtils.h"

#include "platform/log.h"
#include "platform/utilsFile.h"

#include "toolbox/components.h"
#include "toolbox/fieldInfo.h"
#include "toolbox/movie.h"
#include "toolbox/movieExporter.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

constexpr double kNoVideoStart = 123456789.0;
const QString kEndLine = QStringLiteral("isDebMovieTrimmedToV- fin \n----------");

std::string nativePath(const QString &path) {
    return QFile::encodeName(path).toStdString();
}

QString mediaTypeText(toolbox::OSType type) {
    return QString::fromLatin1(toolbox::fourCharCodeBytes(type));
}

// "1.480s (1480/1000)": a time value and its text for the log.
QString timeText(int64_t value, int32_t scale) {
    return QStringLiteral("%1s (%2/%3)")
        .arg(scale != 0 ? double(value) / scale : 0.0, 0, 'f', 3)
        .arg(value)
        .arg(scale);
}

void logStatusFailure(const QString &label, const toolbox::MovieStatus &status) {
    if (!status.ok()) {
        logStr(QStringLiteral("%1: %2").arg(label, QString::fromStdString(status.message)));
    }
}

toolbox::MovieStatus exportThrough(const toolbox::Movie &movie, const QString &dstPath,
                                   toolbox::OSType subType, toolbox::OSType manufacturer) {
    const toolbox::Component *component = toolbox::findNextComponent(
        nullptr, {toolbox::kMovieExportType, subType, manufacturer, 0, 0});
    auto exporter = toolbox::MovieExporter::open(component);
    if (!exporter) {
        return toolbox::MovieStatus::failure(toolbox::MovieError::Unsupported,
                                             "no movie exporter for " +
                                                 toolbox::fourCharCodeString(subType));
    }
    return exporter->exportMovie(movie, nativePath(dstPath));
}

// The self-contained write of a re-timed movie to another path without copying its samples:
// dstPath becomes a second name of the movie's own file, which then gets the new movie header.
// Nothing when that can't be done here (another kind of movie, another file system, a file
// system without hard links): the caller then writes a full copy.
std::optional<bool> writeHeaderBeside(QTMovie *movie, const QString &dstPath,
                                      toolbox::WriteSync sync) {
    toolbox::Movie &m = movie->movie();
    if (!m.isSelfContainedQuickTime()) {
        return std::nullopt;
    }
    const QString own = QString::fromStdString(m.path());
    if (QFileInfo(own).canonicalFilePath() == QFileInfo(dstPath).canonicalFilePath()) {
        return qtExport(movie, dstPath, kQtWriteFlatten, sync);
    }
    // A new name in the destination's folder first, renamed over dstPath once the header is
    // written: a failure leaves dstPath as it was.
    const QString linkPath = QStringLiteral("%1.link%2")
                                 .arg(dstPath)
                                 .arg(QRandomGenerator::global()->bounded(1000000000));
    if (::link(nativePath(own).c_str(), nativePath(linkPath).c_str()) != 0) {
        logDebug(QStringLiteral("link                :-/ %1").arg(qt_error_string(errno)));
        return std::nullopt;
    }
    if (!qtExport(movie, own, kQtWriteFlatten, sync)) {
        // The failed header write left the file as it was (a read-only source, say): a copy
        // may still be possible.
        ::unlink(nativePath(linkPath).c_str());
        return std::nullopt;
    }
    if (::rename(nativePath(linkPath).c_str(), nativePath(dstPath).c_str()) != 0) {
        logStr(QStringLiteral("rename              :-( %1").arg(qt_error_string(errno)));
        ::unlink(nativePath(linkPath).c_str());
        return false;
    }
    return true;
}

// A reference movie: every track plays samples of another file.
bool isReferenceMovie(const toolbox::Movie &movie) {
    if (movie.trackCount() == 0 || movie.path().empty()) {
        return false;
    }
    const QString own = QFileInfo(QString::fromStdString(movie.path())).canonicalFilePath();
    for (std::size_t i = 0; i < movie.trackCount(); ++i) {
        const QString source =
            QFileInfo(QString::fromStdString(movie.track(i).sourcePath())).canonicalFilePath();
        if (source.isEmpty() || source == own) {
            return false;
        }
    }
    return true;
}

} // namespace

bool qtIsVideoMediaType(const QString &mediaType) {
    return mediaType == QLatin1String("vide") || mediaType == QLatin1String("MPEG") ||
           mediaType == QLatin1String("flsh") || mediaType == QLatin1String("movi");
}

QtTrimPlan qtTrimPlan(const QList<QtTrackStart> &tracks) {
    QtTrimPlan plan;
    plan.trimSeconds = kNoVideoStart;
    if (tracks.isEmpty()) {
        plan.action = QtTrimPlan::Action::NoTracks;
        return plan;
    }
    bool sound = false;
    for (const QtTrackStart &track : tracks) {
        sound = sound || track.mediaType == QLatin1String("soun");
    }
    if (!sound) {
        plan.action = QtTrimPlan::Action::NoSound;
        return plan;
    }
    const QtTrackStart *first = nullptr;
    for (const QtTrackStart &track : tracks) {
        if (!qtIsVideoMediaType(track.mediaType)) {
            continue;
        }
        const double start = track.timeScale > 0 ? double(track.start) / track.timeScale : 0.0;
        plan.videoStarts.append(start);
        if (start < plan.trimSeconds) {
            plan.trimSeconds = start;
            first = &track;
        }
    }
    if (plan.videoStarts.isEmpty()) {
        plan.action = QtTrimPlan::Action::NoVideo;
        return plan;
    }
    if (!(plan.trimSeconds > 0) || first == nullptr) {
        plan.action = QtTrimPlan::Action::NothingToCut;
        return plan;
    }
    // The cut ends where the earliest video begins: cutting to a later track's start would
    // remove frames of the earlier one.
    plan.action = QtTrimPlan::Action::Cut;
    plan.cutEnd = first->start;
    plan.cutScale = first->timeScale;
    return plan;
}

QtPictureRoute qtPictureRoutePlan(const QList<QtTrackEdits> &tracks) {
    bool edited = false;
    for (const QtTrackEdits &track : tracks) {
        if (!qtIsVideoMediaType(track.mediaType) || track.mediaEditRates.isEmpty()) {
            continue;
        }
        edited = edited || track.mediaEditRates.size() > 1 || track.holeInside ||
                 track.mediaEditRates.first() != 1.0;
    }
    return edited ? QtPictureRoute::SourceTrack : QtPictureRoute::FfmpegCopy;
}

std::optional<QList<QtTrackEdits>> qtTrackEditsOf(const QString &path) {
    toolbox::MovieStatus status;
    const std::unique_ptr<toolbox::Movie> movie = toolbox::Movie::open(nativePath(path), &status);
    if (!movie || !movie->isSelfContainedQuickTime()) {
        return std::nullopt;
    }
    QList<QtTrackEdits> tracks;
    for (std::size_t i = 0; i < movie->trackCount(); ++i) {
        const toolbox::MovieTrack &track = movie->track(i);
        QtTrackEdits edits{mediaTypeText(track.mediaType())};
        bool emptyAfterMedia = false;
        for (const toolbox::EditSegment &edit : track.edits()) {
            if (edit.mediaStart < 0) {
                emptyAfterMedia = !edits.mediaEditRates.isEmpty();
                continue;
            }
            edits.holeInside = edits.holeInside || emptyAfterMedia;
            edits.mediaEditRates.append(edit.rate);
        }
        tracks.append(edits);
    }
    return tracks;
}

bool qtMovieWithSourcePicture(const QString &sourcePath, const QString &soundPath,
                              const QString &dstPath) {
    toolbox::MovieStatus status;
    // The conversion's movie gives the header: its dates and metadata are the output's.
    std::unique_ptr<toolbox::Movie> movie = toolbox::Movie::open(nativePath(soundPath), &status);
    std::unique_ptr<toolbox::Movie> sound = toolbox::Movie::open(nativePath(soundPath), &status);
    std::unique_ptr<toolbox::Movie> picture = toolbox::Movie::open(nativePath(sourcePath), &status);
    if (!movie || !sound || !picture) {
        logStatusFailure(QStringLiteral("source picture      :-("), status);
        return false;
    }
    const auto keepOnly = [](toolbox::Movie &m, bool video) {
        for (std::size_t i = m.trackCount(); i-- > 0;) {
            const QString type = mediaTypeText(m.track(i).mediaType());
            if (video ? !qtIsVideoMediaType(type) : type != QLatin1String("soun")) {
                m.removeTrack(i);
            }
        }
    };
    while (movie->trackCount() > 0) {
        movie->removeTrack(movie->trackCount() - 1);
    }
    // Movie time in a multiple of the source's own unit, so its edits stay exact, and of at
    // least a millisecond's fineness for the sound's place.
    const int32_t unit = std::max(picture->timeScale(), 1);
    movie->setTimeScale(unit * ((1000 + unit - 1) / unit));
    keepOnly(*picture, true);
    keepOnly(*sound, false);
    // Edits at different rates (a phone's slow-motion section) stay: the movie's writing gives
    // each picture the durations of its edit, so every reader plays it once at its speed.
    if (picture->trackCount() == 0) {
        logStr(QStringLiteral("source picture      :-( no video track in '%1'").arg(sourcePath));
        return false;
    }
    status = movie->addTracks(*picture);
    if (status.ok()) {
        status = movie->addTracks(*sound);
    }
    if (status.ok()) {
        status = movie->writeReference(nativePath(dstPath), {}, toolbox::WriteSync::Deferred);
    }
    logStatusFailure(QStringLiteral("source picture      :-("), status);
    return status.ok();
}

QList<QtTrackStart> qtTrackStarts(const QTMovie &movie) {
    QList<QtTrackStart> starts;
    const toolbox::Movie &m = movie.movie();
    for (std::size_t i = 0; i < m.trackCount(); ++i) {
        const toolbox::MovieTrack &track = m.track(i);
        const toolbox::TimeRange range = track.range();
        starts.append({mediaTypeText(track.mediaType()), range.start, range.timeScale});
    }
    return starts;
}

namespace {
// 2040-02-06 06:28:15 UTC: the last moment a 32-bit count of seconds since 1904 holds.
constexpr std::int64_t kLastHeaderTime32Unix = 0xFFFFFFFFll - 2082844800ll;
} // namespace

bool isDebMovieTrimmedToVideoTrack(const QString &rawSrcPath, int32_t mode,
                                   toolbox::WriteSync sync) {
    logStr(QStringLiteral("isDebMovieTrimmedToV- deb"));
    const QString srcPath = expandTilde(rawSrcPath);
    logDebug(QStringLiteral("srcPathStr          : %1").arg(srcPath));

    const auto finish = [](bool answer) {
        QTMOVIErelease();
        return answer;
    };
    if (srcPath.isEmpty() || !QTMOVIEinstantiate(srcPath)) {
        logStr(QStringLiteral("Erreur              : Movie illisible"));
        logStr(kEndLine);
        return finish(false);
    }
    QTMovie *movie = getQTMOVIE();
    const QtTrimPlan plan = qtTrimPlan(qtTrackStarts(*movie));
    switch (plan.action) {
    case QtTrimPlan::Action::NoTracks:
        logStr(QStringLiteral("Erreur              : Pas de pistes av ou fichier illisible QT"));
        logStr(kEndLine);
        return finish(false);
    case QtTrimPlan::Action::NoSound:
        logStr(QStringLiteral("                    : Pas d'audio (à comparer à la vidéo ;-))"));
        logStr(kEndLine);
        return finish(true);
    case QtTrimPlan::Action::NoVideo:
        logStr(QStringLiteral("                    : Pas de vidéo (à comparer à l'audio ;-))"));
        logStr(kEndLine);
        return finish(true);
    case QtTrimPlan::Action::NothingToCut:
    case QtTrimPlan::Action::Cut:
        break;
    }
    for (int i = 0; i < plan.videoStarts.size(); ++i) {
        logDebug(QStringLiteral("v debut #%1          - %2").arg(i).arg(plan.videoStarts.at(i)));
    }
    logStr(QStringLiteral("isDebMovieTrimmedToV? trim=%1").arg(plan.trimSeconds, 0, 'f', 6));
    if (plan.action == QtTrimPlan::Action::NothingToCut) {
        // A recording dated after 2040-02-06 whose header time the writer cut to 32 bits (the
        // movie read it whole from its creation-date key): a new header keeps the whole date.
        const std::optional<std::int64_t> unix = movie->movie().creationTimeUnix();
        if (mode == kQtWriteFlatten && unix && *unix > kLastHeaderTime32Unix &&
            movie->movie().isSelfContainedQuickTime()) {
            const bool rewritten = qtExport(movie, srcPath, mode, sync);
            logStr(QStringLiteral("header 64-bit times ? %1").arg(rewritten ? 1 : 0));
        }
        return finish(true);
    }

    movieEditable(movie);
    const QString besidePath = srcPath + QStringLiteral(".mov");
    bool written = false;
    bool inPlace = false;
    if (movieCut(movie, 0, plan.cutEnd, plan.cutScale)) {
        // ffmpeg starts its timecode track with the first packet, sound included: the
        // recording's time of day belongs to the first picture, where the movie now starts.
        movie->movie().startTimecodesAtTheirFirstSample();
        // In place of a self-contained QuickTime source, the cut is a new movie header; no
        // sample moves, whatever the file's size.
        inPlace = mode == kQtWriteFlatten && movie->movie().isSelfContainedQuickTime();
        written = qtExport(movie, inPlace ? srcPath : besidePath, mode, sync);
        logStr(QStringLiteral("export              ? %1").arg(written ? 1 : 0));
    }
    QTMOVIErelease();
    // Only a file written here counts: something already lying at the ".mov" path is neither
    // the answer nor moved onto the source.
    if (!written) {
        return false;
    }
    if (mode == kQtWriteReference) {
        return testPresenceCocoa(besidePath);
    }
    if (inPlace) {
        return true;
    }
    return mvCocoa(besidePath, srcPath, QStringLiteral("y"));
}

bool movieCut(QTMovie *movie, int64_t start, int64_t end, int32_t scale) {
    logStr(QStringLiteral("QTKit MovieCoupe:   - debut"));
    if (movie == nullptr || scale <= 0 || end <= start || start < 0) {
        logStr(QStringLiteral("QTKit MovieCoupe:   :-( invalid segment"));
        return false;
    }
    toolbox::Movie &m = movie->movie();
    const float srcDuration = float(m.durationSeconds());
    logStr(QStringLiteral("src duration        : %1").arg(double(srcDuration), 0, 'f', 6));
    logDebug(QStringLiteral("debutTimeValue      : %1 / %2").arg(start).arg(scale));
    logDebug(QStringLiteral("finTimeValue        : %1 / %2").arg(end).arg(scale));
    if (!movie->editable()) {
        logStr(QStringLiteral("QTKit MovieCoupe:   :-( movie not editable"));
        return false;
    }
    const toolbox::MovieStatus status = m.deleteSegment(start, end - start, scale);
    logStatusFailure(QStringLiteral("deleteSegment       :-("), status);
    const double cut = double(end - start) / scale;
    const double dstDuration = m.durationSeconds();
    logStr(QStringLiteral("%1 - %2     =>? %3")
               .arg(double(srcDuration), 0, 'f', 3)
               .arg(cut, 0, 'f', 3)
               .arg(dstDuration, 0, 'f', 3));
    return status.ok() && std::fabs(double(srcDuration) - (dstDuration + cut)) <= 1.0;
}

bool qtExport(QTMovie *movie, const QString &dstPath, int32_t mode, toolbox::WriteSync sync) {
    logStr(QStringLiteral("QTKit Export:       - debut"));
    logStr(QStringLiteral("exportInt           = %1, dst=%2").arg(mode).arg(dstPath));
    logDebug(QStringLiteral("dstPathStr          : %1").arg(dstPath));
    logDebug(QStringLiteral("export              ? %1").arg(mode == kQtWriteExport ? 1 : 0));
    if (movie == nullptr || dstPath.isEmpty()) {
        logStr(QStringLiteral("QTKit Export:       :-( fin (Couldn't write movie to file)"));
        return false;
    }
    const toolbox::Movie &m = movie->movie();
    toolbox::MovieStatus status;
    switch (mode) {
    case kQtWriteExport:
        status =
            exportThrough(m, dstPath, toolbox::fourCharCode("MooV"), toolbox::kAppleManufacturer);
        break;
    case kQtWriteFlatten:
        status = m.writeSelfContained(nativePath(dstPath), {}, sync);
        break;
    case kQtWriteWave:
        status =
            exportThrough(m, dstPath, toolbox::fourCharCode("WAVE"), toolbox::fourCharCode("soun"));
        break;
    case kQtWriteReference:
    default:
        // The default write, without attributes, is the reference movie as well. The toolbox
        // refuses a reference movie onto the file that holds its own samples.
        status = m.writeReference(nativePath(dstPath), {}, sync);
        break;
    }
    if (!status.ok()) {
        logStr(QStringLiteral("QTKit Export:       :-( fin (Couldn't write movie to file)"));
        logStr(
            QStringLiteral("                    : %1").arg(QString::fromStdString(status.message)));
        return false;
    }
    if (!testPresenceCocoa(dstPath)) {
        logStr(QStringLiteral("QTKit_m Export:     :-( fin (testPresenceCocoa)"));
    }
    logStr(QStringLiteral("QTKit_m Export:     :-) fin"));
    return true;
}

bool movieRescalePreExport(QTMovie *movie, int32_t srcScale, int32_t dstScale,
                           const QString &dstPath, toolbox::WriteSync sync) {
    if (movie == nullptr || srcScale <= 0 || dstScale <= 0 || dstPath.isEmpty()) {
        return false;
    }
    movieEditable(movie);
    toolbox::Movie &m = movie->movie();
    if (const auto status = m.setTimeScale(srcScale); !status.ok()) {
        logStatusFailure(QStringLiteral("setTimeScale        :-("), status);
        return false;
    }
    const int64_t inValue = m.duration();
    logStr(QStringLiteral("inDuration          : %1").arg(timeText(inValue, srcScale)));
    logStr(QStringLiteral("inTimevalue         : %1").arg(inValue));
    const auto dstValue = static_cast<int64_t>(double(inValue) / (double(dstScale) / srcScale));
    logStr(QStringLiteral("dstTimevalue        : %1").arg(dstValue));
    if (const auto status = m.setTimeScale(dstScale); !status.ok()) {
        logStatusFailure(QStringLiteral("setTimeScale        :-("), status);
        return false;
    }
    if (const auto status = m.scaleSegment(0, inValue, dstValue, srcScale); !status.ok()) {
        logStatusFailure(QStringLiteral("scaleSegment        :-("), status);
        return false;
    }
    logStr(QStringLiteral("dstDuration         : %1").arg(timeText(m.duration(), m.timeScale())));
    if (const std::optional<bool> written = writeHeaderBeside(movie, dstPath, sync)) {
        return *written;
    }
    // A reference movie (the trimmed movie of an export job) stays one: its samples stay in the
    // file it points at, which lives until the job ends, and flattening it would copy them all
    // on the main thread.
    if (isReferenceMovie(m) && qtExport(movie, dstPath, kQtWriteReference)) {
        return true;
    }
    return qtExport(movie, dstPath, kQtWriteFlatten, sync);
}

std::optional<std::vector<toolbox::MovieTrack *>> movieTracks(QTMovie *movie) {
    if (movie == nullptr || movie->movie().trackCount() == 0) {
        return std::nullopt;
    }
    std::vector<toolbox::MovieTrack *> tracks;
    for (std::size_t i = 0; i < movie->movie().trackCount(); ++i) {
        tracks.push_back(&movie->movie().track(i));
    }
    return tracks;
}

void movieEditable(QTMovie *movie) {
    if (movie != nullptr) {
        movie->setEditable(true);
    }
}

bool movieFieldsProgressive(const QString &path, toolbox::WriteSync sync) {
    const std::string file = QFile::encodeName(path).toStdString();
    toolbox::MovieStatus status;
    std::unique_ptr<toolbox::Movie> movie = toolbox::Movie::open(file, &status);
    if (!movie || !movie->isSelfContainedQuickTime()) {
        logStr(QStringLiteral("fields progressive  :-( '%1' %2")
                   .arg(path, QString::fromStdString(status.message)));
        return false;
    }
    status = toolbox::setVideoFieldInfo(*movie, toolbox::kFieldsProgressive, 0);
    if (status) {
        status = movie->writeSelfContained(file, {}, sync);
    }
    if (!status) {
        logStr(QStringLiteral("fields progressive  :-( '%1' %2")
                   .arg(path, QString::fromStdString(status.message)));
        return false;
    }
    logStr(QStringLiteral("fields progressive  : '%1'").arg(path));
    return true;
}
