// The conversion steps' decisions: the output's name and summary block, the space check and the
// existing output; the trim, re-timing and export of each format and rate; the end step's
// judgement of the working output.
#include "controller/encPlans.h"
#include "controller/jobRecord.h"
#include "controller/outputNames.h"
#include "jobOfRecord.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

const QString kSrc = QStringLiteral("/cards/A/PRIVATE/AVCHD/BDMV/STREAM/00001.MTS");
const QString kEvents = QStringLiteral("/dst/fluxaro events/");
const QString kDated = QStringLiteral("clip-2012-01-01 00;10;00");

recordingDate cameraDate() {
    recordingDate date;
    date.name = kDated;
    date.utcSeconds = 1325369400;
    date.offsetSeconds = 7200;
    date.fromPlaylist = true;
    date.cameraZone = true;
    return date;
}

QVariantMap sourceRecord(const QString &scan = QStringLiteral("progressive")) {
    return {{jobKey::srcPath, kSrc},
            {QStringLiteral("w_duration"), 100.0},
            {QStringLiteral("v0_scanStr"), scan}};
}

} // namespace

// Names with and without dates, a second and third source with the same name, joined recordings,
// the existing output kept or replaced, the space check, and the rewrap that can't remove
// pulldown.
TEST(encPlans, firstStepNamesSummarisesAndDecides) {
    enum class source { plain, joined, quickTime, pulldown };
    using E = encExistingOutput;
    using A = encDebAction;
    const QString dated = kEvents + kDated;
    const struct {
        const char *what;
        source kind;
        int32_t outInt;
        bool dated;
        int32_t taken; ///< how many names of this one the batch gave already
        E atFinalName;
        int32_t freeMB; ///< 100 s of ProRes is estimated at 900 MB
        A action;
        const char *summaryHas;
    } cases[] = {
        {"dated, not looked at yet", source::plain, outProres, true, 0, E::unknown, 900,
         A::lookAtFinalName, "2012-01-01T00:10:00+02:00 (playlist, camera zone +02:00)"},
        {"no date: the source's name", source::plain, outProres, false, 0, E::absent, 900,
         A::convert, "destination         : /dst/fluxaro events/00001.mov"},
        {"second source of that name", source::plain, outAic, true, 1, E::absent, -1, A::convert,
         "name                : named 'clip-2012-01-01 00;10;00 2.mov'"},
        {"third source of that name", source::plain, outAic, true, 2, E::replace, -1, A::convert,
         "format              : format 1"},
        {"joined recording: its note", source::joined, outRewrap, false, 0, E::absent, -1,
         A::convert, "recording           : joined 2 pieces"},
        {"QuickTime source edited twice", source::quickTime, outRewrap, false, 0, E::absent, -1,
         A::convert, "source              : /cards/"},
        {"keep the existing output", source::plain, outProres, true, 0, E::keep, 0, A::keepExisting,
         ""},
        {"not enough space", source::plain, outProres, true, 0, E::replace, 899, A::notEnoughSpace,
         "format              : nil"},
        {"just enough space", source::plain, outProres, true, 0, E::replace, 900, A::convert, ""},
        {"pulldown in a rewrap", source::pulldown, outRewrap, true, 0, E::absent, -1,
         A::refusePulldown, ""},
        {"pulldown to ProRes", source::pulldown, outProres, true, 0, E::absent, -1, A::convert, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        encDebFacts facts;
        QVariantMap record =
            sourceRecord(c.kind == source::pulldown ? QStringLiteral("pulldown")
                                                    : QStringLiteral("progressive"));
        if (c.kind == source::joined) {
            record.insert(jobKey::joinPaths, QStringList{kSrc, QStringLiteral("/c/2.MTS")});
            record.insert(QStringLiteral("joinNoteStr"), QStringLiteral("joined 2 pieces"));
        }
        if (c.kind == source::joined || c.kind == source::quickTime) {
            record.insert(QStringLiteral("wrapper"), QStringLiteral("mov,mp4,m4a,3gp"));
        }
        facts.row = rowOfRecord(record);
        // Edits ffmpeg's copy can't keep: they count for a QuickTime source that is no join.
        facts.sourceEdits = QList<QtTrackEdits>{{QStringLiteral("vide"), {1.0, 1.0}}};
        facts.outInt = c.outInt;
        facts.folder = c.dated ? QStringLiteral("/dst") : QStringLiteral("/dst/");
        facts.date = c.dated ? std::optional<recordingDate>(cameraDate()) : std::nullopt;
        facts.formatLabel =
            c.outInt == outProres ? QString() : QStringLiteral("format %1").arg(c.outInt);
        const QString stem = c.dated ? dated : kEvents + QStringLiteral("00001");
        for (int32_t n = 0; n < c.taken; ++n) {
            facts.takenNames.insert(n == 0 ? stem + ".mov"
                                           : QStringLiteral("%1 %2.mov").arg(stem).arg(n + 1));
        }
        facts.atFinalName = c.atFinalName;
        facts.sourceMB = 300;
        facts.freeMB = c.freeMB;
        const encDebPlanValue plan = encDebPlan(facts);
        EXPECT_EQ(plan.action, c.action);
        if (c.action == A::refusePulldown) {
            EXPECT_TRUE(plan.skipReason.startsWith(QStringLiteral("24p in 2:3 pulldown")));
            EXPECT_TRUE(plan.finalPath.isEmpty());
            continue;
        }
        const QString finalPath =
            c.taken == 0 ? stem + ".mov" : QStringLiteral("%1 %2.mov").arg(stem).arg(c.taken + 1);
        EXPECT_EQ(plan.finalPath, finalPath);
        EXPECT_EQ(plan.wantedPath, stem + ".mov");
        EXPECT_EQ(plan.nameNote.isEmpty(), c.taken == 0);
        EXPECT_TRUE(plan.summary.startsWith(QStringLiteral("\n----------\n\nsource ")));
        EXPECT_TRUE(plan.summary.contains(QString::fromUtf8(c.summaryHas)))
            << plan.summary.toStdString();
        EXPECT_EQ(plan.pictureRoute, c.kind == source::quickTime ? QtPictureRoute::SourceTrack
                                                                 : QtPictureRoute::FfmpegCopy);
        EXPECT_EQ(plan.skipReason.isEmpty(),
                  c.action == A::convert || c.action == A::lookAtFinalName);
        EXPECT_EQ(plan.recordingDateSeconds.value_or(0), c.dated ? 1325369400 : 0);
        EXPECT_EQ(plan.recordingDateUtc,
                  c.dated ? QStringLiteral("2011-12-31T22:10:00.000000Z") : QString());
        EXPECT_EQ(plan.dateLine.isEmpty(), !c.dated);
    }
}

// A date name without a moment names the output but dates nothing; a file's own date says so.
TEST(encPlans, firstStepDateOrigins) {
    encDebFacts facts;
    facts.row = rowOfRecord(sourceRecord());
    facts.folder = QStringLiteral("/dst");
    recordingDate date = cameraDate();
    date.utcSeconds.reset();
    facts.date = date;
    encDebPlanValue plan = encDebPlan(facts);
    EXPECT_EQ(plan.finalPath, kEvents + kDated + QStringLiteral(".mov"));
    EXPECT_FALSE(plan.recordingDateSeconds.has_value());
    EXPECT_TRUE(plan.dateLine.isEmpty());
    date = cameraDate();
    date.fromPlaylist = false;
    facts.date = date;
    plan = encDebPlan(facts);
    EXPECT_TRUE(plan.dateLine.endsWith(QStringLiteral("(file creation date)")));
    date.fromPlaylist = true;
    date.cameraZone = false;
    facts.date = date;
    EXPECT_TRUE(encDebPlan(facts).dateLine.endsWith(QStringLiteral("(playlist, local zone)")));
}

// A name too long for the file system is shortened at the job's start, by whole characters at
// the end of the source's part, the date prefix kept and room left for a " 2"; one that fits, or
// the date prefix alone, stays as it is.
TEST(encPlans, finalNameFitsTheFileSystem) {
    const QString prefix = QStringLiteral("clip-2024-05-18 10;15;30-");
    const struct {
        const char *what;
        QString stem;
        qsizetype nameMax;
        bool shortened;
    } cases[] = {
        {"fits", prefix + QString(200, QLatin1Char('a')), 255, false},
        {"just fits", prefix + QString(255 - 25 - 4 - kOutputNumberRoom, QLatin1Char('a')), 255,
         false},
        {"one byte too long", prefix + QString(255 - 25 - 3 - kOutputNumberRoom, QLatin1Char('a')),
         255, true},
        {"245 bytes of source name", prefix + QString(245, QLatin1Char('b')), 255, true},
        {"two-byte letters", prefix + QString(200, QChar(0xe9)), 255, true},
        {"four-byte letters", prefix + QString::fromUcs4(U"\U0001F3A5").repeated(80), 255, true},
        {"no date: the source's name", QString(300, QLatin1Char('c')), 255, true},
        {"a smaller file system", prefix + QString(100, QLatin1Char('d')), 64, true},
        {"blank and dot at the cut",
         prefix + QStringLiteral("ab .") + QString(300, QLatin1Char('e')),
         prefix.size() + 4 + 4 + kOutputNumberRoom, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QString fitted = outputStemToFit(c.stem, QStringLiteral(".mov"), c.nameMax);
        EXPECT_EQ(fitted != c.stem, c.shortened);
        EXPECT_LE(QFile::encodeName(fitted).size() + 4 + kOutputNumberRoom, c.nameMax);
        EXPECT_TRUE(c.stem.startsWith(fitted));
        EXPECT_FALSE(fitted.back().isHighSurrogate());
        EXPECT_FALSE(fitted.endsWith(QLatin1Char(' ')) || fitted.endsWith(QLatin1Char('.')));
        if (c.stem.startsWith(prefix)) {
            EXPECT_TRUE(fitted.startsWith(prefix));
        }
    }
    EXPECT_EQ(outputStemToFit(prefix, QStringLiteral(".mov"), 20), prefix);

    // The plan names the shortened output and says why, at the start, not at the rename.
    encDebFacts facts;
    facts.row = rowOfRecord(sourceRecord());
    facts.folder = QStringLiteral("/dst");
    recordingDate date = cameraDate();
    date.name = prefix + QString(245, QLatin1Char('b'));
    facts.date = date;
    const encDebPlanValue plan = encDebPlan(facts);
    const QString name = plan.finalPath.section(QLatin1Char('/'), -1);
    EXPECT_TRUE(name.startsWith(prefix + QStringLiteral("bbb"))) << name.toStdString();
    EXPECT_TRUE(name.endsWith(QStringLiteral("b.mov"))) << name.toStdString();
    EXPECT_LE(QFile::encodeName(name).size(), 255 - kOutputNumberRoom);
    EXPECT_TRUE(plan.nameNote.contains(QStringLiteral("too long for the file system")))
        << plan.nameNote.toStdString();
}

// Each format and rate mode: what is trimmed how, whether it is re-timed, which export follows
// and with which stored setting; and the movie ffmpeg didn't make.
TEST(encPlans, trimRetimeAndExportChoices) {
    using X = encQtEncExport;
    const QString hq = proresItemTitleForType(QString());
    const struct {
        const char *what;
        int32_t outInt;
        int32_t fpsMode;
        double fps;
        int32_t width;
        int32_t height;
        QString scan;
        bool fromSource;
        X exportKind;
        int32_t trimMode;
        bool retime;
        bool progressive;
        QString settings;
        QString settingsNotRetimed;
    } cases[] = {
        {"rewrap", outRewrap, fpsNormal, 25, 1920, 1080, "tff", false, X::none, -1, false, false,
         "", ""},
        {"rewrap of PsF", outRewrap, fpsNormal, 25, 1920, 1080, "psf", false, X::none, -1, false,
         true, "", ""},
        {"rewrap, the source's own picture", outRewrap, fpsNormal, 25, 1920, 1080, "tff", true,
         X::selfContained, 0, false, false, "", ""},
        {"rewrap in slow motion", outRewrap, fpsSlow, 50, 1280, 720, "progressive", false, X::none,
         -1, true, false, "", ""},
        {"Intermediate at 59.94", outAic, fpsNormal, 59.94, 1920, 1080, "progressive", false,
         X::trakmill, 0, false, false, "aic1080p60", "aic1080p60"},
        {"Intermediate, HDV at half rate", outAic, fpsHalf, 50, 1440, 1080, "tff", false,
         X::trakmill, 0, false, false, "aicHdv1080p25", "aicHdv1080p25"},
        {"ProRes of PsF", outProres, fpsNormal, 25, 1920, 1080, "psf", false, X::trakmill, 0, false,
         false, "pr1080p25", "pr1080p25"},
        {"ProRes in slow motion at 100", outProres, fpsSlow, 100, 1920, 1080, "progressive", false,
         X::trakmill, 0, true, false, "pr1080p25", "pr1080p50"},
        {"ProRes in slow motion at 25: not re-timed", outProres, fpsSlow, 25, 1280, 720,
         "progressive", false, X::trakmill, 0, false, false, "pr720p25", "pr720p25"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QVariantMap record{{QStringLiteral("v0_fps"), c.fps},
                           {QStringLiteral("v0_width"), c.width},
                           {QStringLiteral("v0_height"), c.height},
                           {QStringLiteral("v0_scanStr"), c.scan}};
        if (c.fromSource) {
            record.insert(jobKey::videoFromSource, 1);
        }
        const encQtEncPlanValue plan =
            encQtEncPlan(jobOfRecord(record), c.outInt, c.fpsMode, 4096, hq);
        EXPECT_EQ(plan.action, encQtEncAction::work);
        EXPECT_EQ(plan.sourcePicture, c.fromSource);
        EXPECT_EQ(plan.exportKind, c.exportKind);
        EXPECT_EQ(plan.trimMode, c.trimMode);
        EXPECT_EQ(plan.referenceWork, c.trimMode == 0);
        EXPECT_EQ(plan.preset.retime, c.retime);
        EXPECT_EQ(plan.fieldsProgressive, c.progressive);
        EXPECT_EQ(plan.exportSettings, c.settings);
        EXPECT_EQ(plan.exportSettingsNotRetimed, c.settingsNotRetimed);
    }
    runningJob said;
    said.toolError = QStringLiteral("Invalid data found");
    for (const int64_t bytes : {int64_t{-1}, int64_t{0}}) {
        EXPECT_EQ(encQtEncPlan(runningJob{}, outProres, fpsNormal, bytes, hq).skipReason,
                  QStringLiteral("ffmpeg made no movie"));
        const encQtEncPlanValue plan = encQtEncPlan(said, outRewrap, fpsNormal, bytes, hq);
        EXPECT_EQ(plan.action, encQtEncAction::noMovie);
        EXPECT_EQ(plan.skipReason, QStringLiteral("ffmpeg made no movie: Invalid data found"));
    }
}

// The end step: a stop wins, a job that failed earlier closes, and the working output is judged
// by its size before its picture is looked at; the intermediates go in every case.
TEST(encPlans, endStepJudgesTheWorkingOutput) {
    const QString working = QStringLiteral("/dst/fluxaro events/.fluxaro-abcdefghij.mov");
    runningJob job;
    job.working = working;
    job.finalPath = kEvents + kDated + QStringLiteral(".mov");
    job.trimReference = QStringLiteral("/dst/offset12.mov");
    job.soundFile = QStringLiteral("/dst/sound7.mov");
    using A = encFinAction;
    const struct {
        const char *what;
        bool stopping;
        bool rowCurrent;
        int64_t bytes;
        double kb;
        A action;
        QString why;
    } cases[] = {
        {"stop", true, true, 900000, 900, A::stopBatch, ""},
        {"failed before", false, false, 900000, 900, A::close, ""},
        {"no file", false, true, -1, 0, A::judgeFailed, "no output"},
        {"empty file", false, true, 0, 0, A::judgeFailed, "no output"},
        {"size unreadable", false, true, 5, -1, A::judgeFailed, "the output's size can't be read"},
        {"too small", false, true, 150000, 150, A::judgeFailed, "output too small (150 KB)"},
        {"just large enough", false, true, 204800, 200, A::checkPicture, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const encFinPlanValue plan = encFinPlan({job, c.stopping, c.rowCurrent, c.bytes, c.kb});
        EXPECT_EQ(plan.action, c.action);
        EXPECT_EQ(plan.why, c.why);
        EXPECT_EQ(plan.purgePaths, (QStringList{QStringLiteral("/dst/offset12.mov"),
                                                QStringLiteral("/dst/sound7.mov")}));
        // Hidden as the working output is, never a movie-like name among the outputs.
        EXPECT_EQ(plan.masterPath.toStdString(),
                  "/dst/fluxaro events/.fluxaro-abcdefghij_MASTER.mov");
    }
    // A working output that is the final name (or none) has no master of its own to delete.
    runningJob same = job;
    same.finalPath = working;
    EXPECT_TRUE(encFinPlan({same, false, true, 1, 1}).masterPath.isEmpty());
    EXPECT_TRUE(encFinPlan({runningJob{}, false, true, 1, 1}).masterPath.isEmpty());

    const QString why = QStringLiteral("no output");
    runningJob failed;
    EXPECT_EQ(encFinFailureReason(failed, why), why);
    failed.toolError = QStringLiteral("Broken pipe");
    EXPECT_EQ(encFinFailureReason(failed, why), QStringLiteral("no output: Broken pipe"));
    failed.reason = QStringLiteral("not enough space");
    EXPECT_EQ(encFinFailureReason(failed, why), std::nullopt);
    EXPECT_TRUE(encFinSummary(120, 60, QStringLiteral("2026-12-08 20:00:00"))
                    .startsWith(QStringLiteral("   Total speed      : real time / 2.00\n"
                                               "date                : 2026-12-08 20:00:00\n")));
    // A job that ends within its first second is timed as one second.
    EXPECT_TRUE(encFinSummary(120, 0, {}).contains(QStringLiteral("real time / 120.00")));
    EXPECT_TRUE(encFinSummary(120, -3, {}).contains(QStringLiteral("real time / 120.00")));
}
