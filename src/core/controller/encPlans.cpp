#include "controller/encPlans.h"

#include "controller/encodage.h"
#include "controller/jobFiles.h"
#include "controller/outputNames.h"
#include "platform/utilsFile.h"

#include <QFileInfo>

namespace {

/// The recording date's line for the detailed log and the summary block: the moment with its
/// zone, and where it came from.
QString dateLineOf(const recordingDate &date) {
    const QString origin =
        date.fromMovie == recordingDate::movieKey
            ? QStringLiteral("the movie's creation-date key, zone %1")
                  .arg(zoneOffsetText(date.offsetSeconds))
        : date.fromMovie == recordingDate::movieHeader
            ? QStringLiteral("the movie header, local zone")
        : !date.fromPlaylist ? QStringLiteral("file creation date")
        : date.cameraZone
            ? QStringLiteral("playlist, camera zone %1").arg(zoneOffsetText(date.offsetSeconds))
            : QStringLiteral("playlist, local zone");
    return QStringLiteral("recording date      : %1 (%2)")
        .arg(recordingDateIso8601(*date.utcSeconds, date.offsetSeconds), origin);
}

/// The job's block in Resume.log, opened when its conversion starts.
QString debSummary(const encDebFacts &facts, const encDebPlanValue &plan) {
    const QString &src = facts.row.source;
    return QStringLiteral("\n----------\n\nsource              : %1\n")
               .arg(src.isEmpty() ? QStringLiteral("nil") : src) +
           QStringLiteral("destination         : %1\n").arg(plan.finalPath) +
           QStringLiteral("format              : %1\n")
               .arg(facts.formatLabel.isEmpty() ? QStringLiteral("nil") : facts.formatLabel) +
           (plan.dateLine.isEmpty() ? QString() : plan.dateLine + QLatin1Char('\n')) +
           (plan.nameNote.isEmpty()
                ? QString()
                : QStringLiteral("name                : %1\n").arg(plan.nameNote)) +
           (facts.row.joinNote.isEmpty()
                ? QString()
                : QStringLiteral("recording           : %1\n").arg(facts.row.joinNote)) +
           (facts.row.scanNote.isEmpty()
                ? QString()
                : QStringLiteral("pictures            : %1\n").arg(facts.row.scanNote));
}

/// Names the output: the date name (else the source's name) in the events folder; another source
/// of the batch that has that name already makes this one " 2", " 3"...
void nameOutput(const encDebFacts &facts, encDebPlanValue &plan) {
    plan.destFolder = facts.folder;
    if (!plan.destFolder.endsWith(QLatin1Char('/'))) {
        plan.destFolder += QLatin1Char('/');
    }
    const QString &src = facts.row.source;
    const QString fullStem = facts.date ? facts.date->name : QFileInfo(src).completeBaseName();
    const QString extension = encDstExtensionStr(facts.outInt, facts.row.facts.videoCodec);
    // Checked now rather than at the rename an hour later: a name the file system refuses
    // would lose the whole conversion then.
    const QString stem = outputStemToFit(fullStem, QLatin1Char('.') + extension, facts.nameMax);
    plan.wantedPath =
        QStringLiteral("%1/%2.%3").arg(eventsFolderIn(plan.destFolder), stem, extension);
    QStringList notes;
    if (stem != fullStem) {
        notes << QStringLiteral("named '%1': '%2.%3' is too long for the file system")
                     .arg(QFileInfo(plan.wantedPath).fileName(), fullStem, extension);
    }
    // Two sources of one batch may map to one name (two cameras' first clips of the same
    // second): the later one gets its own, rather than replacing or standing for the other.
    plan.finalPath = outputPathInBatch(plan.wantedPath, facts.takenNames);
    if (plan.finalPath != plan.wantedPath) {
        notes << QStringLiteral("named '%1': '%2' is the output of another source of this batch")
                     .arg(QFileInfo(plan.finalPath).fileName(),
                          QFileInfo(plan.wantedPath).fileName());
    }
    if (!notes.isEmpty()) {
        plan.nameNote = notes.join(QStringLiteral("; "));
    }
}

void dateTheOutput(const encDebFacts &facts, encDebPlanValue &plan) {
    if (!facts.date || !facts.date->utcSeconds) {
        return;
    }
    const recordingDate &date = *facts.date;
    plan.recordingDateUtc = recordingDateUtcText(*date.utcSeconds);
    plan.recordingDateIso = recordingDateIso8601(*date.utcSeconds, date.offsetSeconds);
    plan.recordingDateSeconds = *date.utcSeconds;
    plan.dateLine = dateLineOf(date);
}

} // namespace

bool encReadsSourceEdits(const batchRow &row) {
    return row.facts.wrapper.toLower().startsWith(QStringLiteral("mov")) && row.pieces.isEmpty();
}

encDebPlanValue encDebPlan(const encDebFacts &facts) {
    encDebPlanValue plan;
    if (facts.outInt == outRewrap && facts.row.facts.scan == QStringLiteral("pulldown")) {
        // A rewrap copies the pictures as they are: 24 pictures a second in 2:3 pulldown
        // would stay 60 fields, two pictures of five made of two moments.
        plan.action = encDebAction::refusePulldown;
        plan.skipReason = QStringLiteral("24p in 2:3 pulldown: a rewrap can't remove the "
                                         "pulldown; choose ProRes, which converts it to "
                                         "23.976 progressive pictures");
        return plan;
    }
    dateTheOutput(facts, plan);
    nameOutput(facts, plan);
    plan.neededMB = encDstPoidsEstimatif(static_cast<float>(facts.row.facts.durationSeconds),
                                         facts.sourceMB, facts.outInt);
    plan.summary = debSummary(facts, plan);
    if (encReadsSourceEdits(facts.row) && facts.sourceEdits) {
        plan.pictureRoute = qtPictureRoutePlan(*facts.sourceEdits);
    }
    if (facts.atFinalName == encExistingOutput::unknown) {
        plan.action = encDebAction::lookAtFinalName;
    } else if (facts.atFinalName == encExistingOutput::keep) {
        plan.action = encDebAction::keepExisting;
        plan.skipReason = QStringLiteral("kept the existing output");
    } else if (facts.freeMB >= 0 && plan.neededMB > static_cast<float>(facts.freeMB)) {
        plan.action = encDebAction::notEnoughSpace;
        plan.skipReason = QStringLiteral("not enough space");
    } else {
        plan.action = encDebAction::convert;
    }
    return plan;
}

encQtEncPlanValue encQtEncPlan(const runningJob &job, int32_t outInt, int32_t fpsMode,
                               int64_t workingBytes, const QString &proresTitle) {
    const mediaFacts &facts = job.facts();
    encQtEncPlanValue plan;
    if (workingBytes <= 0) {
        // ffmpeg wrote nothing (refused, missing or failed): nothing to trim or export.
        plan.action = encQtEncAction::noMovie;
        const QString &said = job.toolError;
        plan.skipReason = said.isEmpty() ? QStringLiteral("ffmpeg made no movie")
                                         : QStringLiteral("ffmpeg made no movie: %1").arg(said);
        return plan;
    }
    plan.sourcePicture = job.videoFromSource;
    // The movie being worked on refers to the samples of other files until trakmill writes the
    // output: the export's (formats 1 and 2), or the self-contained copy of a source's picture.
    plan.referenceWork = outInt > 0 || plan.sourcePicture;
    plan.trimMode = plan.referenceWork ? 0 : -1;
    // The copied stream of PsF is coded as fields, but its pictures are progressive.
    plan.fieldsProgressive = outInt == outRewrap && facts.scan == QStringLiteral("psf");
    plan.preset = exportPresetFor(facts.fpsText, facts.height, fpsMode);
    if (outInt == outRewrap) {
        plan.exportKind = plan.sourcePicture ? encQtEncExport::selfContained : encQtEncExport::none;
        return plan;
    }
    plan.exportKind = encQtEncExport::trakmill;
    const int32_t width = facts.width;
    const auto settingsAt = [&](bool retimeOpened) {
        const int32_t rate = exportDeliveredRate(plan.preset, fpsMode, retimeOpened);
        return exportSettingsName(outInt, width, plan.preset.height, rate, proresTitle)
            .value_or(QString());
    };
    plan.exportSettings = settingsAt(plan.preset.retime);
    plan.exportSettingsNotRetimed = settingsAt(false);
    return plan;
}

encFinPlanValue encFinPlan(const encFinFacts &facts) {
    encFinPlanValue plan;
    const QString &dst = facts.job.working;
    const QString &finalPath = facts.job.finalPath;
    for (const QString &purge :
         {facts.job.trimReference, facts.job.retimeFile, facts.job.soundFile}) {
        if (!purge.isEmpty()) {
            plan.purgePaths << purge;
        }
    }
    if (!dst.isEmpty() && dst != finalPath) {
        plan.masterPath = encMasterPathOf(dst);
    }
    if (facts.stopping) {
        plan.action = encFinAction::stopBatch;
        return plan;
    }
    if (!facts.rowCurrent) {
        plan.action = encFinAction::close;
        return plan;
    }
    // The working file is made empty before ffmpeg runs: empty, it is no output. At least
    // kEncMinimumOutputKB that ffmpeg reads as a movie; a size that can't be read is no proof.
    const bool exists = facts.outputBytes > 0;
    plan.sizeKB = exists ? facts.outputKB : 0;
    if (!exists) {
        plan.why = QStringLiteral("no output");
        plan.failure = jobFailure::outputMissing;
    } else if (plan.sizeKB < 0) {
        plan.why = QStringLiteral("the output's size can't be read");
        plan.failure = jobFailure::outputSizeUnknown;
    } else if (plan.sizeKB < kEncMinimumOutputKB) {
        plan.why = QStringLiteral("output too small (%1 KB)").arg(plan.sizeKB, 0, 'f', 0);
        plan.failure = jobFailure::outputTooSmall;
    }
    plan.action = plan.why.isEmpty() ? encFinAction::checkPicture : encFinAction::judgeFailed;
    return plan;
}

std::optional<QString> encFinFailureReason(const runningJob &job, const QString &why) {
    if (!job.reason.isEmpty()) {
        return std::nullopt;
    }
    const QString &said = job.toolError;
    return said.isEmpty() ? why : QStringLiteral("%1: %2").arg(why, said);
}

QString encFinSummary(int64_t durationSeconds, int64_t elapsedSeconds, const QString &endedText) {
    const int64_t elapsed = std::max<int64_t>(elapsedSeconds, 1);
    return QStringLiteral("   Total speed      : real time / %1\ndate                : %2\n%3")
        .arg(static_cast<double>(durationSeconds) / static_cast<double>(elapsed), 0, 'f', 2)
        .arg(endedText)
        .arg(QStringLiteral("(made by %1)").arg(QStringLiteral("https://www.fluxaro.org/")));
}

verifyPlan encVerifyPlan(const mediaFacts &facts, std::optional<qint64> recordingDateSeconds,
                         int32_t outInt, int32_t fpsMode, bool retimeOpened,
                         const toolbox::Rational &sourceRate) {
    verifyPlan plan;
    const exportPreset preset = exportPresetFor(facts.fpsText, facts.height, fpsMode);
    const bool retimed = preset.retime && retimeOpened;
    plan.stretch = retimed ? preset.divider : 1;
    if (outInt != outRewrap) {
        plan.rate =
            verifyDeliveredRate(exportDeliveredRate(preset, fpsMode, retimeOpened), sourceRate);
        // The setting's frame: 16:9 of the preset's height, HDV's 4:3 storage for its sources.
        const bool hdv = facts.width == 1440;
        plan.height = preset.height;
        plan.width = hdv ? preset.height * 4 / 3 : preset.height * 16 / 9;
    }
    if (recordingDateSeconds) {
        plan.recordingDateUnix = *recordingDateSeconds;
    }
    return plan;
}

jobFailure encVerifyFailure(const verifyVerdict &verdict) {
    if (verdict.holds) {
        return jobFailure::none;
    }
    bool shorter = false;
    for (const verifyFinding &found : verdict.findings) {
        switch (found.check) {
        case verifyCheck::toolReadError:
            return jobFailure::sourceReadError;
        case verifyCheck::unreadable:
            return jobFailure::outputUnreadable;
        case verifyCheck::noPicture:
        case verifyCheck::pictures:
        case verifyCheck::duration:
            shorter = true;
            break;
        default:
            break;
        }
    }
    return shorter ? jobFailure::outputIncomplete : jobFailure::outputDiffers;
}

QString encIncompletePath(const QString &finalPath,
                          const std::function<bool(const QString &path)> &taken) {
    const QFileInfo info(finalPath);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    const QString stem = info.path() + QLatin1Char('/') + info.completeBaseName();
    for (int32_t n = 1; n < 1000; ++n) {
        const QString path =
            n == 1 ? QStringLiteral("%1 (incomplete)%2").arg(stem, suffix)
                   : QStringLiteral("%1 (incomplete %2)%3").arg(stem).arg(n).arg(suffix);
        if (!taken || !taken(path)) {
            return path;
        }
    }
    return {};
}
