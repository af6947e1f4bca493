// The conversion steps' work on a job's files; the plans in encPlans.cpp decide it.
#include "controller/encActions.h"

#include "controller/encPlans.h"
#include "controller/jobFiles.h"
#include "controller/outputNames.h"
#include "controller/spannedJoin.h"
#include "dates/recordingDate.h"
#include "dates/spannedRecording.h"
#include "frontApi/alerts.h"
#include "movie/qt.h"
#include "movie/qtUtils.h"
#include "platform/log.h"
#include "platform/renameNoReplace.h"
#include "platform/utilsFile.h"
#include "settings/localisation.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

double jobSourceMB(const batchRow &row) {
    double sourceMB = 0;
    for (const QString &piece : row.sourcePaths()) {
        sourceMB += poidsFile(piece, QStringLiteral("m"));
    }
    return sourceMB;
}

encExistingOutput existingOutputChoice(const QString &finalPath,
                                       existingOutputAnswer &batchAnswer) {
    if (!QFileInfo::exists(finalPath)) {
        return encExistingOutput::absent;
    }
    bool replace = false;
    if (batchAnswer == existingOutputAnswer::ask) {
        logStr(QStringLiteral("pre-choix user      : no"));
        const QString keep = localizedStr(QStringLiteral("D_keep"));
        const auto [answer, all] = displayAlertDelayedCheckbox(
            localizedStr(QStringLiteral("D_go_dossier_destination4Bis")), finalPath, keep,
            localizedStr(QStringLiteral("D_replace")), std::nullopt, 0, 10,
            localizedStr(QStringLiteral("D_applyToAll")));
        replace = answer != keep;
        if (all != 0) {
            batchAnswer = replace ? existingOutputAnswer::replace : existingOutputAnswer::keep;
        }
    } else {
        logStr(QStringLiteral("pre-choix user      : yes"));
        replace = batchAnswer == existingOutputAnswer::replace;
    }
    return replace ? encExistingOutput::replace : encExistingOutput::keep;
}

bool encPutSourcePicture(runningJob &job) {
    const QString &working = job.working;
    const QString soundPath =
        randomSibling(QFileInfo(working).absolutePath(), QStringLiteral("sound"));
    job.soundFile = soundPath;
    syncRunningJobJournal(job);
    if (!mvCocoa(working, soundPath, QStringLiteral("y"))) {
        return false;
    }
    const QString &source = job.source();
    const bool made = qtMovieWithSourcePicture(source, soundPath, working);
    logStr(QStringLiteral("source picture      ? %1").arg(made ? 1 : 0));
    return made;
}

void trimToFirstPicture(const encQtEncPlanValue &plan, runningJob &job) {
    const QString &working = job.working;
    const QString offsetPath =
        randomSibling(QFileInfo(working).absolutePath(), QStringLiteral("offset"));
    // Recorded, and on disk, before the file holds anything: a kill from here on leaves a
    // journal that names it (the next start deletes it).
    job.trimReference = offsetPath;
    syncRunningJobJournal(job);
    if (!mvCocoa(working, offsetPath, QStringLiteral("y"))) {
        rmCocoa(offsetPath);
        job.trimReference.clear();
        writeRunningJobJournal(&job);
        return;
    }
    // Working files: the system flushes them in its own time, as it does ffmpeg's output;
    // a flush here would wait for every byte ffmpeg wrote.
    const bool trimmed =
        isDebMovieTrimmedToVideoTrack(offsetPath, plan.trimMode, toolbox::WriteSync::Deferred);
    logStr(QStringLiteral("isDebMovieTrimmedToV? %1 (export=%2)")
               .arg(trimmed ? 1 : 0)
               .arg(plan.trimMode));
    if (plan.fieldsProgressive) {
        // The copied stream is coded as fields, but its pictures are progressive: the
        // movie's field information says so, so editors don't deinterlace them.
        movieFieldsProgressive(offsetPath, toolbox::WriteSync::Deferred);
    }
    const QString cut = offsetPath + QStringLiteral(".mov");
    if (plan.referenceWork && QFileInfo::exists(cut)) {
        // The cut is a reference movie into the offset file, which must live until trakmill
        // has read it; the end step deletes it.
        mvCocoa(cut, working, QStringLiteral("y"));
    } else {
        mvCocoa(offsetPath, working, QStringLiteral("y"));
        rmCocoa(cut);
        job.trimReference.clear();
        writeRunningJobJournal(&job);
    }
}

bool retimeForSlowMotion(const exportPreset &preset, runningJob &job) {
    const QString &working = job.working;
    const QString slowPath =
        randomSibling(QFileInfo(working).absolutePath(), QStringLiteral("slow"));
    logDebug(QStringLiteral("src:'%1' > dst:'%2'").arg(working, slowPath));
    job.retimeFile = slowPath;
    syncRunningJobJournal(job);
    if (!mvCocoa(working, slowPath, QStringLiteral("y"))) {
        rmCocoa(slowPath);
        job.retimeFile.clear();
        writeRunningJobJournal(&job);
        return false;
    }
    bool opened = false;
    QTMOVIErelease();
    if (QTMOVIEinstantiate(slowPath)) {
        opened = true;
        const QString retimed = slowPath + QStringLiteral(".mov");
        const bool ok =
            movieRescalePreExport(getQTMOVIE(), preset.retimeFromScale, preset.retimeToScale,
                                  retimed, toolbox::WriteSync::Deferred);
        logStr(QStringLiteral("movieRescalePreExpor:-%1").arg(ok ? ")" : "("));
        QTMOVIErelease();
        if (ok && QFileInfo::exists(retimed)) {
            rmCocoa(slowPath);
            mvCocoa(retimed, working, QStringLiteral("y"));
        } else {
            // A failed re-timing leaves the movie as ffmpeg made it rather than nothing.
            rmCocoa(retimed);
            mvCocoa(slowPath, working, QStringLiteral("y"));
        }
    } else {
        mvCocoa(slowPath, working, QStringLiteral("y"));
    }
    job.retimeFile.clear();
    writeRunningJobJournal(&job);
    return opened;
}

QString encFileIdentity(const QString &path) {
    struct stat info {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0 ||
        !S_ISREG(info.st_mode)) {
        return {};
    }
    return QStringLiteral("%1:%2")
        .arg(static_cast<qulonglong>(info.st_dev))
        .arg(static_cast<qulonglong>(info.st_ino));
}

namespace {

/// True when the file at path is the one the person chose to replace: a regular file of this
/// user with the recorded identity.
bool isTheFileToReplace(const QString &path, const QString &identity) {
    struct stat info {};
    return !identity.isEmpty() && encFileIdentity(path) == identity &&
           ::lstat(QFile::encodeName(path).constData(), &info) == 0 && info.st_uid == ::geteuid();
}

} // namespace

encDelivery encDeliverOutput(const runningJob &job) {
    const QString &dst = job.working;
    const QString &finalPath = job.finalPath;
    if (job.recordingDateSeconds) {
        // The file's time is the recording's too, for file browsers and importers; set on the
        // working file, so the final name has it from its first moment.
        const qint64 seconds = *job.recordingDateSeconds;
        if (!setFileRecordingTime(dst, seconds)) {
            logStr(QStringLiteral("recording date      :-( file time of '%1' not set").arg(dst));
        }
    }
    if (finalPath.isEmpty() || finalPath == dst) {
        return {QString(), finalPath};
    }
    const QString &replaced = job.replaceFileId;
    QSet<QString> taken;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString candidate = outputPathInBatch(finalPath, taken);
        if (renameNoReplace(dst, candidate)) {
            return {QString(), candidate};
        }
        if (errno != EEXIST) {
            return {QStringLiteral("cannot move the output to '%1': %2")
                        .arg(candidate, QString::fromLocal8Bit(std::strerror(errno))),
                    finalPath};
        }
        if (candidate == finalPath && isTheFileToReplace(candidate, replaced)) {
            if (::rename(QFile::encodeName(dst).constData(),
                         QFile::encodeName(candidate).constData()) == 0) {
                return {QString(), candidate};
            }
            return {QStringLiteral("cannot move the output to '%1': %2")
                        .arg(candidate, QString::fromLocal8Bit(std::strerror(errno))),
                    finalPath};
        }
        logStr(QStringLiteral("output name         :-/ '%1' was taken meanwhile").arg(candidate));
        taken.insert(candidate);
    }
    return {QStringLiteral("cannot move the output to '%1': no free name").arg(finalPath),
            finalPath};
}

std::optional<toolbox::MovieFacts> jobSourceFacts(const batchRow &row, QString *why) {
    const QStringList pieces = row.sourcePaths();
    const std::optional<spannedRecording> recording =
        pieces.size() > 1 ? spannedRecordingOf(row.source) : std::nullopt;
    // The playlist's IN and OUT times say what each piece of a joined recording presents.
    bool spans = recording && recording->pieces.size() == pieces.size();
    for (qsizetype i = 0; spans && i < pieces.size(); ++i) {
        const recordingPiece &piece = recording->pieces.at(i);
        spans = QFileInfo(piece.path).fileName() == QFileInfo(pieces.at(i)).fileName() &&
                pieceTicks(piece).has_value();
    }
    QList<toolbox::MovieFacts> read;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        toolbox::MovieFacts facts;
        // As QuickTime presents it, each edit at its own rate: so does the output.
        const toolbox::MovieStatus status =
            toolbox::readMovieFacts(QFile::encodeName(pieces.at(i)).toStdString(), facts);
        if (!status) {
            if (why != nullptr) {
                *why = QString::fromStdString(status.message);
            }
            return std::nullopt;
        }
        if (spans && facts.picture) {
            // A joined piece presents its playlist span, IN to OUT, however its file was cut:
            // a piece cut inside a group of pictures, or one whose head repeats the group
            // before, shows other pictures read alone than in the joined stream.
            const recordingPiece &piece = recording->pieces.at(i);
            const double seconds = double(*pieceTicks(piece)) / 45000.0;
            facts.picture->seconds = seconds;
            facts.picture->pictures = std::llround(seconds * facts.picture->rate.value());
            facts.picture->picturesEstimated = true;
            if (!facts.sounds.empty()) {
                facts.sounds.front().seconds = seconds;
            }
        }
        read << facts;
    }
    toolbox::MovieFacts joined = verifyJoinedFacts(read);
    if (spans && joined.picture) {
        // Counted once from the whole span: rounding each piece's count adds up.
        joined.picture->pictures =
            std::llround(joined.picture->seconds * joined.picture->rate.value());
    }
    return joined;
}

QString encKeepIncomplete(const runningJob &job, const QString &incompletePath) {
    const QString &dst = job.working;
    if (incompletePath.isEmpty()) {
        return QStringLiteral("no free name beside the output");
    }
    // A link, not a rename: an incomplete name that appeared meanwhile is never replaced.
    if (::link(QFile::encodeName(dst).constData(), QFile::encodeName(incompletePath).constData()) !=
        0) {
        return QStringLiteral("cannot keep the movie as '%1': %2")
            .arg(incompletePath, QString::fromLocal8Bit(std::strerror(errno)));
    }
    ::unlink(QFile::encodeName(dst).constData());
    return QString();
}
