// The application controller in process, with plain controls and a scripted alert presenter:
// the batch list rules, progress from a tool's output, the replace question with its
// apply-to-all box, pause, resume and stop during ffmpeg and during trakmill, and a source that
// disappears before its turn.
#include "controller/appController.h"
#include "controller/dropPlan.h"
#include "controller/encActions.h"
#include "controller/jobOfRecord.h"
#include "controller/outputCheck.h"
#include "e2eMedia.h"
#include "frontApi/alerts.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "scriptedPresenter.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "testEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <functional>
#include <optional>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace e2e;

namespace {

class controller : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", (box.root() + "/config").toUtf8());
        qputenv("XDG_STATE_HOME", (box.root() + "/state").toUtf8());
        qputenv("FLUXARO_RESOURCE_DIR", FLUXARO_RESOURCE_DIR);
        prefReload();
        setTMPFOLDER(box.root() + "/tmp/");
        setOPENPERM(true);
        setPRORES(1);
        setAlertPresenter(&presenter);
        app = std::make_unique<appController>(plain.controls());
        choices.destination = box.dest();
        app->setChoices(choices);
        app->hooks.revealFolder = [](const QString &) {};
        app->hooks.analysisEnded = [this] { ++analysesEnded; };
        app->hooks.batchEnded = [this] { ++batchesEnded; };
    }
    void TearDown() override {
        app.reset();
        setAlertPresenter(nullptr);
        // The store writes its file now, while the sandbox is there, not at exit into a
        // folder it would create again.
        prefReload();
    }

    /// Drops the sources and waits for their analysis and thumbnails.
    void addSources(const QStringList &paths) {
        const int before = analysesEnded;
        app->draggedFiles(paths);
        ASSERT_TRUE(spinUntil([&] { return analysesEnded > before; }, 60000));
        ASSERT_TRUE(spinUntil([&] { return !app->thumbnailsPending(); }, 60000));
    }
    void goAndWait(int timeoutMs = 120000) {
        const int before = batchesEnded;
        app->iba_batchGoBt();
        ASSERT_TRUE(spinUntil([&] { return batchesEnded > before; }, timeoutMs));
    }
    QStringList statuses() const {
        QStringList all;
        for (const batchRow &row : app->whichArrayController()->rows()) {
            all << QStringList{"puce", "puceCurrent", "puceSuccess",
                               "puceFailure"}[static_cast<int>(row.state)];
        }
        return all;
    }
    /// New rows take this format and rate mode.
    void choose(int32_t format, int32_t rate) {
        choices.format = format;
        choices.rate = rate;
        app->setChoices(choices);
    }
    QString clip(const QString &name, int rate = 25, double seconds = 1.0) {
        const QString path = box.root() + "/" + name;
        makeClip(path, "640x360", rate, seconds);
        return path;
    }

    sandbox box;
    scriptedPresenter presenter;
    plainAppControls plain;
    batchChoices choices;
    std::unique_ptr<appController> app;
    int analysesEnded = 0;
    int batchesEnded = 0;
};

} // namespace

// Rows are appended in drop order; a second drop of the same file adds nothing and says that
// it is in the list already; extensions match as given, in upper case or capitalised only;
// removal renumbers.
TEST_F(controller, dropsFiltersAndRemoval) {
    const QString a = clip("a.ts");
    const QString b = clip("b.TS");
    const QString c = clip("c.Ts");
    const QString odd = box.root() + "/d.tS";
    QFile::copy(a, odd);
    addSources({a, b, a, c, odd});
    batchList *list = app->whichArrayController();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->row(0).name, "a.ts");
    EXPECT_EQ(list->row(1).facts.wholeFps(), 25);
    // A 25 fps row can't be slowed down nor halved: its mode falls back to normal.
    EXPECT_EQ(list->row(1).rateMode, 0);
    EXPECT_TRUE(QFileInfo::exists(list->row(0).thumbnailPath));
    EXPECT_TRUE(plain.goBt.isEnabled());
    EXPECT_TRUE(getOPENPERM());

    presenter.shown.clear();
    addSources({b});
    EXPECT_EQ(list->count(), 3);
    ASSERT_EQ(presenter.shown.size(), 1);
    EXPECT_TRUE(
        presenter.shown.first().message.contains(dropRefusalWords(dropRefusal::alreadyListed)))
        << presenter.shown.first().message.toStdString();
    EXPECT_TRUE(presenter.shown.first().message.contains(QStringLiteral("\nb.TS")));
    addSources({odd});
    EXPECT_EQ(presenter.shown.size(), 2);

    // The person's Remove can be undone: the thumbnail waits until the next Remove.
    const QString thumb = list->row(0).thumbnailPath;
    list->setSelectedIndex(0);
    app->encBatchRemove(true);
    EXPECT_TRUE(QFileInfo::exists(thumb));
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->row(0).name, "b.TS");
    ASSERT_TRUE(app->encBatchUndoRemove());
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->row(0).thumbnailPath, thumb);
    list->setSelectedIndex(0);
    app->encBatchRemove(true);
    const QString second = list->row(0).thumbnailPath;
    list->setSelectedIndex(0);
    app->encBatchRemove(true);
    EXPECT_FALSE(QFileInfo::exists(thumb));
    EXPECT_TRUE(QFileInfo::exists(second));
    EXPECT_EQ(list->count(), 1);
}

// Thumbnails come after their rows, beside what follows: two sources of the same name get two
// pictures, and a row removed before its picture is made, or a source refused after its
// thumbnail started, leaves no picture behind.
TEST_F(controller, thumbnailsFollowTheirRows) {
    QDir().mkpath(box.root() + "/one");
    QDir().mkpath(box.root() + "/two");
    makeClip(box.root() + "/one/same.ts", "640x360", 25, 1.0);
    makeClip(box.root() + "/two/same.ts", "640x360", 25, 1.0);
    QStringList made;
    app->hooks.thumbnailMade = [&](const QString &, const QString &img) { made << img; };
    // The analysis does not wait for the pictures: at its end each row has its picture, or the
    // picture is still on its way.
    bool pictureOrPendingAtEnd = false;
    app->hooks.analysisEnded = [&] {
        ++analysesEnded;
        bool pictured = true;
        for (const batchRow &row : app->whichArrayController()->rows()) {
            pictured = pictured && row.thumbnailShown;
        }
        pictureOrPendingAtEnd = pictured || app->thumbnailsPending();
    };
    addSources({box.root() + "/one/same.ts", box.root() + "/two/same.ts"});
    EXPECT_TRUE(pictureOrPendingAtEnd);
    batchList *list = app->whichArrayController();
    ASSERT_EQ(list->count(), 2);
    ASSERT_EQ(made.size(), 2);
    const QString first = (list->row(0).thumbnailShown ? list->row(0).thumbnailPath : QString());
    const QString second = (list->row(1).thumbnailShown ? list->row(1).thumbnailPath : QString());
    EXPECT_EQ(first, list->row(0).thumbnailPath);
    EXPECT_NE(first, second);
    EXPECT_TRUE(QFileInfo::exists(first));
    EXPECT_TRUE(QFileInfo::exists(second));
    EXPECT_EQ(made, QStringList({first, second}));

    // Removed right after its analysis (as a gone source is; the person's Remove keeps the
    // picture for Undo), whether its picture was made already or is on its way: no picture is
    // left for it.
    const QString late = clip("late.ts");
    made.clear();
    app->hooks.analysisEnded = [&] {
        ++analysesEnded;
        list->setSelectedIndex(list->count() - 1);
        app->encBatchRemove(false);
    };
    addSources({late});
    ASSERT_EQ(list->count(), 2);
    ASSERT_EQ(made.size(), 1);
    EXPECT_TRUE(made.first().isEmpty() || !QFileInfo::exists(made.first()))
        << made.first().toStdString();

    // Refused after its thumbnail was started from the probe's first lines.
    const QString interlaced = box.root() + "/interlaced.ts";
    ASSERT_TRUE(makeClip(interlaced, "640x360", 50, 1.0,
                         {"-vf", "tinterlace=mode=interleave_top", "-flags", "+ildct+ilme",
                          "-x264-params", "tff=1"}));
    app->hooks.analysisEnded = [&] { ++analysesEnded; };
    addSources({interlaced});
    EXPECT_EQ(list->count(), 2);
    const QStringList pictures =
        QDir(box.root() + "/tmp").entryList({QStringLiteral("*.jpg")}, QDir::Files);
    EXPECT_EQ(pictures.size(), 2) << pictures.join(' ').toStdString();
}

// A thumbnail may be made before the probe is over: the row then takes it when it comes, and a
// source refused afterwards leaves no picture. The probe is slowed by a wrapper that holds its
// report for a moment after the source is described.
TEST_F(controller, thumbnailMadeBeforeTheProbeEnds) {
    const QString resources = box.root() + "/resources";
    // The n-th probe holds its report until n thumbnails are written (at most 30 s), then a
    // little longer for the thumbnail's end to be handled, however loaded the machine is.
    const QString waitForThumbnail =
        QStringLiteral(
            "n=$(($(cat '%1/probes' 2>/dev/null || echo 0) + 1)); echo $n > '%1/probes'; "
            "i=0; while [ $i -lt 300 ] && "
            "[ $(ls '%1/tmp' | grep -c '[.]jpg$') -lt $n ]; do "
            "sleep 0.1; i=$((i+1)); done; sleep 0.5")
            .arg(box.root());
    ASSERT_TRUE(makeResourceFolder(
        resources, {{"ffmpeg", "#!/bin/sh\n"
                               "case \" $* \" in\n"
                               "*\" -fdebug \"*)\n"
                               "  /usr/bin/ffmpeg \"$@\" 2>&1 | while IFS= read -r line; do\n"
                               "    printf '%s\\n' \"$line\"\n"
                               "    case \"$line\" in \"Stream mapping:\"*) " +
                                   waitForThumbnail +
                                   " ;; esac\n"
                                   "  done\n"
                                   "  exit 0 ;;\n"
                                   "esac\n"
                                   "exec /usr/bin/ffmpeg \"$@\"\n"}}));
    qputenv("FLUXARO_RESOURCE_DIR", resources.toUtf8());

    QStringList events;
    app->hooks.thumbnailMade = [&](const QString &, const QString &img) {
        events << (img.isEmpty() ? QStringLiteral("no thumbnail") : QStringLiteral("thumbnail"));
    };
    app->hooks.analysisVerdict = [&](const analysisVerdictValue &verdict) {
        events << (verdict.accepted ? QStringLiteral("accepted") : QStringLiteral("refused"));
    };
    addSources({clip("slow probe.ts")});
    EXPECT_EQ(events, QStringList({"thumbnail", "accepted"})) << events.join(", ").toStdString();
    batchList *list = app->whichArrayController();
    ASSERT_EQ(list->count(), 1);
    const QString img = (list->row(0).thumbnailShown ? list->row(0).thumbnailPath : QString());
    EXPECT_EQ(img, list->row(0).thumbnailPath) << img.toStdString();
    EXPECT_TRUE(QFileInfo::exists(img)) << img.toStdString();

    events.clear();
    const QString interlaced = box.root() + "/interlaced.ts";
    ASSERT_TRUE(makeClip(interlaced, "640x360", 50, 1.0,
                         {"-vf", "tinterlace=mode=interleave_top", "-flags", "+ildct+ilme",
                          "-x264-params", "tff=1"}));
    addSources({interlaced});
    EXPECT_EQ(events, QStringList({"thumbnail", "refused"})) << events.join(", ").toStdString();
    EXPECT_EQ(list->count(), 1);
    const QStringList pictures =
        QDir(box.root() + "/tmp").entryList({QStringLiteral("*.jpg")}, QDir::Files);
    EXPECT_EQ(pictures, QStringList({QFileInfo(img).fileName()}))
        << pictures.join(", ").toStdString();
}

// Go while sources are still being analysed (as the headless front does): the batch converts
// each row as it comes, waits for the rows still being analysed instead of ending before them,
// and drops stay refused until the analysis is over. The probes are slowed by a wrapper, so the
// first conversion ends while the next source is still being probed.
TEST_F(controller, batchStartedDuringTheAnalysisWaitsForItsRows) {
    const QString resources = box.root() + "/resources";
    ASSERT_TRUE(makeResourceFolder(resources, {{"ffmpeg", "#!/bin/sh\n"
                                                          "case \" $* \" in\n"
                                                          "*\" -fdebug \"*) sleep 1.5 ;;\n"
                                                          "esac\n"
                                                          "exec /usr/bin/ffmpeg \"$@\"\n"}}));
    qputenv("FLUXARO_RESOURCE_DIR", resources.toUtf8());
    const QStringList sources{clip("one.ts"), clip("two.ts"), clip("three.ts")};

    QStringList events;
    bool goPressed = false;
    bool dropsAllowedDuringAnalysis = false;
    app->hooks.analysisVerdict = [&](const analysisVerdictValue &verdict) {
        if (verdict.accepted && !goPressed) {
            goPressed = true;
            QTimer::singleShot(0, app.get(), [&] { app->iba_batchGoBt(); });
        }
    };
    app->hooks.jobOutcome = [&](const jobOutcomeValue &outcome) {
        events << QFileInfo(outcome.src).fileName() +
                      (outcome.kind == jobOutcomeKind::converted ? " converted" : " not converted");
        dropsAllowedDuringAnalysis =
            dropsAllowedDuringAnalysis || (app->isAnalysing() && getOPENPERM());
    };
    app->hooks.analysisEnded = [&] {
        ++analysesEnded;
        events << QStringLiteral("analysis over");
    };
    // The batch's progress counts the sources still being analysed from the start, goes
    // forward only and names each job's phases.
    QList<batchProgressValue> progress;
    app->hooks.batchProgress = [&](const batchProgressValue &value) { progress << value; };
    const int before = batchesEnded;
    app->draggedFiles(sources);
    ASSERT_TRUE(spinUntil([&] { return batchesEnded > before; }, 120000));
    EXPECT_EQ(batchesEnded, before + 1);
    ASSERT_GE(progress.size(), 7);
    QSet<int> phases;
    for (qsizetype i = 0; i < progress.size(); ++i) {
        const batchProgressValue &value = progress[i];
        EXPECT_EQ(value.total, 3) << i;
        phases.insert(static_cast<int>(value.phase));
        if (i > 0) {
            EXPECT_GE(value.fraction, progress[i - 1].fraction) << i;
            EXPECT_GE(value.position, progress[i - 1].position) << i;
        }
        if (value.fraction >= 1.0) {
            EXPECT_EQ(value.position, 3) << i; // the whole batch only once the last row ends
        }
        if (value.position == 1 && value.phase == batchPhase::converting) {
            EXPECT_LE(value.fraction, 1.0 / 3.0) << i;
        }
    }
    EXPECT_EQ(progress.last().phase, batchPhase::finished);
    EXPECT_DOUBLE_EQ(progress.last().fraction, 1.0);
    EXPECT_EQ(progress.last().remaining, 0);
    EXPECT_TRUE(phases.contains(static_cast<int>(batchPhase::converting)));
    EXPECT_TRUE(phases.contains(static_cast<int>(batchPhase::checking)));
    EXPECT_EQ(statuses(), QStringList({"puceSuccess", "puceSuccess", "puceSuccess"}));
    // The first row was converted while the others were still being analysed.
    ASSERT_EQ(events.size(), 4) << events.join(", ").toStdString();
    EXPECT_LT(events.indexOf("one.ts converted"), events.indexOf("analysis over"))
        << events.join(", ").toStdString();
    EXPECT_EQ(events.last(), "three.ts converted") << events.join(", ").toStdString();
    EXPECT_TRUE(events.contains("two.ts converted"));
    EXPECT_FALSE(dropsAllowedDuringAnalysis);
    EXPECT_FALSE(app->isBatchRunning());
    EXPECT_TRUE(getOPENPERM());
    EXPECT_EQ(QDir(box.dest() + "/fluxaro events").entryList({"*.mov"}, QDir::Files).size(), 3);
}

// Files opened through the system reach the list on the next turn of the event loop, like a drop.
TEST_F(controller, openedFilesAreAddedLikeADrop) {
    const QString path = clip("opened.ts");
    const int before = analysesEnded;
    app->applicationOpenFiles({path});
    EXPECT_TRUE(getOPENPERM());
    ASSERT_TRUE(spinUntil([&] { return analysesEnded > before; }, 60000));
    ASSERT_EQ(app->whichArrayController()->count(), 1);
    EXPECT_EQ(app->whichArrayController()->row(0).source, path);
}

// A dropped folder stands for every file below it, and the files dropped with it are taken
// too (a first path that is a folder used to stand for the whole drop).
TEST_F(controller, droppedFolderAndFilesAreAllTaken) {
    QDir().mkpath(box.root() + "/card/deep");
    const QString inside = box.root() + "/card/deep/in.ts";
    makeClip(inside, "640x360", 25, 1.0);
    const QString outside = clip("outside.ts");
    addSources({box.root() + "/card", outside});
    ASSERT_EQ(app->whichArrayController()->count(), 2);
    EXPECT_EQ(app->whichArrayController()->row(0).source, inside);
    EXPECT_EQ(app->whichArrayController()->row(1).source, outside);
}

// A dropped card is analysed in its clips' order (sorted paths, as `fluxaro --batch` takes a
// folder), whatever order the file system lists its files in.
TEST_F(controller, droppedCardIsQueuedInClipOrder) {
    const QString stream = box.root() + "/card/PRIVATE/AVCHD/BDMV/STREAM";
    QDir().mkpath(stream);
    QStringList expected;
    for (const int n : {4, 1, 6, 3, 5, 2}) {
        QFile file(stream + QStringLiteral("/%1.MTS").arg(n, 5, 10, QLatin1Char('0')));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    for (int n = 1; n <= 6; ++n) {
        expected << stream + QStringLiteral("/%1.MTS").arg(n, 5, 10, QLatin1Char('0'));
    }
    const int before = analysesEnded;
    app->draggedFiles({box.root() + "/card"});
    QStringList queued{prefRead("analysisSrcPathStr")};
    const QVariantMap waiting = prefReadDico("analysisSrcPathesDico").value_or(QVariantMap{});
    for (int k = 0; k < waiting.size(); ++k) {
        queued << waiting.value(QString::number(k)).toString();
    }
    EXPECT_EQ(queued, expected);
    app->iba_analysisStopBt();
    ASSERT_TRUE(spinUntil([&] { return analysesEnded > before; }, 60000));
}

// While sources are analysed further drops are refused; a stop drops the source being probed
// and the waiting ones, and the window returns to idle.
TEST_F(controller, dropsDuringAnalysisAndAnalysisStop) {
    const QString a = clip("a.ts");
    const QString b = clip("b.ts");
    const QString c = clip("c.ts");
    const int before = analysesEnded;
    app->draggedFiles({a});
    EXPECT_FALSE(getOPENPERM());
    app->draggedFiles({b});
    ASSERT_TRUE(spinUntil([&] { return analysesEnded > before; }, 60000));
    EXPECT_EQ(app->whichArrayController()->count(), 1);

    const int again = analysesEnded;
    app->draggedFiles({b, c});
    app->iba_analysisStopBt();
    ASSERT_TRUE(spinUntil([&] { return analysesEnded > again; }, 60000));
    EXPECT_EQ(app->whichArrayController()->count(), 1);
    EXPECT_TRUE(getOPENPERM());
    EXPECT_EQ(plain.dropArea.imageName(), "dndSd");
    EXPECT_TRUE(plain.analysisStop.isHidden());
    EXPECT_FALSE(prefReadDico("analysisSrcPathesDico").has_value());
}

// Only regular files are sources: a FIFO named like a clip in a dropped folder is refused by
// name (a probe of it would wait for a writer for ever); the clip beside it is analysed.
TEST_F(controller, fifoInADroppedFolderIsRefusedNotProbed) {
    QDir().mkpath(box.root() + "/card");
    const QString fifo = box.root() + "/card/x.MTS";
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString inside = box.root() + "/card/in.ts";
    makeClip(inside, "640x360", 25, 1.0);
    QStringList refused;
    app->hooks.analysisVerdict = [&](const analysisVerdictValue &verdict) {
        if (!verdict.accepted) {
            refused << verdict.src + " (" + verdict.logWords + ")";
            EXPECT_EQ(verdict.refusal, sourceRefusal::notRegularFile);
        }
    };
    addSources({box.root() + "/card"});
    ASSERT_EQ(app->whichArrayController()->count(), 1);
    EXPECT_EQ(app->whichArrayController()->row(0).source, inside);
    EXPECT_EQ(refused, QStringList{fifo + " (not a regular file)"});
}

// The stop ends a probe that would never end by itself (here a tool that hangs), as a stop
// ends a conversion: the analysis is over at once, not when the tool gives up.
TEST_F(controller, analysisStopEndsARunningProbe) {
    const QString source = clip("a.ts");
    const QString resources = box.root() + "/hanging";
    ASSERT_TRUE(makeResourceFolder(resources, {{"ffmpeg", "#!/bin/sh\nexec sleep 600\n"}}));
    qputenv("FLUXARO_RESOURCE_DIR", resources.toUtf8());
    const int before = analysesEnded;
    app->draggedFiles({source});
    spinUntil([] { return false; }, 300);
    QElapsedTimer timer;
    timer.start();
    app->iba_analysisStopBt();
    ASSERT_TRUE(spinUntil([&] { return analysesEnded > before; }, 15000));
    EXPECT_LT(timer.elapsed(), 15000);
    EXPECT_EQ(app->whichArrayController()->count(), 0);
    EXPECT_TRUE(getOPENPERM());
    qputenv("FLUXARO_RESOURCE_DIR", FLUXARO_RESOURCE_DIR);
}

// With the source folder as the destination, a drop of that folder leaves out the events
// folder: the outputs of earlier runs are not sources again.
TEST_F(controller, droppedFolderSkipsTheDestinationsEventsFolder) {
    const QString folder = box.root() + "/shoot";
    QDir().mkpath(folder + "/fluxaro events");
    makeClip(folder + "/in.ts", "640x360", 25, 1.0);
    QFile::copy(folder + "/in.ts", folder + "/fluxaro events/clip-earlier.ts");
    choices.destination = folder;
    app->setChoices(choices);
    addSources({folder});
    ASSERT_EQ(app->whichArrayController()->count(), 1);
    EXPECT_EQ(app->whichArrayController()->row(0).source, folder + "/in.ts");
}

// A ProRes row on a system without ProRes becomes a rewrap; half rate needs a fast source and
// an export.
TEST_F(controller, rowNormalisation) {
    setPRORES(0);
    choose(2, 1);
    addSources({clip("fast.ts", 50)});
    batchList *list = app->whichArrayController();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->row(0).format, 0);
    EXPECT_EQ(list->row(0).rateMode, 0);
    setPRORES(1);
    list->setFormat(0, 2);
    list->setRateMode(0, 1);
    app->iba_outSpeedCell();
    EXPECT_EQ(list->row(0).format, 2);
    EXPECT_EQ(list->row(0).rateMode, 1);
}

// The bar follows whole seconds forward only; a position past the end clears the text.
TEST_F(controller, progressMovesForwardOnly) {
    QStringList texts;
    plain.percent.changed = [&] { texts << plain.percent.text(); };
    const bool started = app->taskLauncherEncStart(
        {"/bin/sh", "-c",
         "for t in 12.7 12.9 13.1 12.0 70.0; do printf 'frame= 1 time=%s bitrate=\\r' $t >&2; "
         "sleep 0.3; done"},
        60, 0);
    ASSERT_TRUE(started);
    ASSERT_TRUE(spinUntil([&] { return plain.stopBt.isHidden(); }, 60000));
    texts.removeAll(QString());
    EXPECT_EQ(texts, (QStringList{"21 %", "22 %"}));
    EXPECT_DOUBLE_EQ(plain.progress.value(), plain.progress.maxValue());
}

// The replace question: unanswered it keeps the file; answered "replace" with the box ticked it
// is not asked again in the batch, and the answer is forgotten when the batch ends.
TEST_F(controller, replaceQuestionAndApplyToAll) {
    const QStringList sources{clip("one.ts"), clip("two.ts")};
    addSources(sources);
    goAndWait();
    EXPECT_EQ(statuses(), (QStringList{"puceSuccess", "puceSuccess"}));
    const QStringList outputs = box.eventsFiles();
    ASSERT_EQ(outputs.size(), 2);
    const QByteArray first = fingerprint(box.events() + "/" + outputs[0]);
    // Converted rows are not converted again: the sources are listed anew to be.
    const auto listAgain = [&] {
        app->encBatchRemoveAll(false);
        addSources(sources);
    };

    listAgain();
    presenter.shown.clear();
    goAndWait();
    const auto questions = [&] {
        QList<alertPlan> asked;
        for (const alertPlan &plan : presenter.shown) {
            if (plan.checkbox) {
                asked << plan;
            }
        }
        return asked;
    };
    ASSERT_EQ(questions().size(), 2);
    EXPECT_DOUBLE_EQ(questions().first().timeoutSeconds, 10);
    EXPECT_EQ(statuses(), (QStringList{"puceFailure", "puceFailure"}));
    EXPECT_EQ(fingerprint(box.events() + "/" + outputs[0]), first);

    presenter.shown.clear();
    presenter.answer = [](const alertPlan &plan) {
        return plan.checkbox ? alertOutcome{1, true} : alertOutcome{};
    };
    listAgain();
    goAndWait();
    EXPECT_EQ(questions().size(), 1);
    EXPECT_EQ(statuses(), (QStringList{"puceSuccess", "puceSuccess"}));
    EXPECT_NE(fingerprint(box.events() + "/" + outputs[0]), first);

    // The batch's answer ends with it: the next batch asks again.
    presenter.shown.clear();
    listAgain();
    goAndWait();
    EXPECT_EQ(questions().size(), 1);
}

// Go after a batch converts what is left: the converted row is left alone, the failed one is
// converted again; with every row converted, Go says so and starts nothing.
TEST_F(controller, secondGoConvertsOnlyWhatIsLeft) {
    const QString good = clip("good.ts");
    const QString bad = clip("bad.ts");
    addSources({good, bad});
    ASSERT_EQ(app->whichArrayController()->count(), 2);
    // The second source is spoilt after its analysis: its conversion fails.
    const QString kept = box.root() + "/bad.kept";
    ASSERT_TRUE(QFile::rename(bad, kept));
    {
        QFile spoilt(bad);
        ASSERT_TRUE(spoilt.open(QIODevice::WriteOnly));
        spoilt.write(QByteArray(4096, 'x'));
    }
    goAndWait();
    EXPECT_EQ(statuses(), (QStringList{"puceSuccess", "puceFailure"}));
    ASSERT_TRUE(QFile::remove(bad));
    ASSERT_TRUE(QFile::rename(kept, bad));

    QSet<QString> worked;
    app->hooks.batchProgress = [&](const batchProgressValue &value) {
        if (value.phase == batchPhase::converting) {
            worked.insert(QFileInfo(value.clip).fileName());
        }
    };
    goAndWait();
    EXPECT_EQ(statuses(), (QStringList{"puceSuccess", "puceSuccess"}));
    EXPECT_EQ(worked, QSet<QString>{"bad.ts"});
    EXPECT_EQ(box.eventsFiles().size(), 2) << box.eventsFiles().join(", ").toStdString();

    worked.clear();
    presenter.shown.clear();
    app->iba_batchGoBt();
    EXPECT_FALSE(app->isBatchRunning());
    ASSERT_EQ(presenter.shown.size(), 1);
    EXPECT_EQ(presenter.shown.first().title, localizedStr("batchNothingToConvert"));
    spinUntil([] { return false; }, 200);
    EXPECT_TRUE(worked.isEmpty());
}

// A source deleted after it was listed keeps its row, marked failed, when its turn comes (the
// window says there why it was skipped); the batch goes on with the next one, and the job
// before it ends once, not a second time.
TEST_F(controller, sourceGoneBeforeItsTurn) {
    const QString gone = clip("gone.ts");
    addSources({clip("first.ts"), gone, clip("third.ts")});
    QFile::remove(gone);
    QStringList ended;
    QList<jobOutcomeValue> outcomes;
    app->hooks.jobOutcome = [&](const jobOutcomeValue &outcome) {
        ended << QFileInfo(outcome.src).fileName();
        outcomes << outcome;
    };
    goAndWait();
    batchList *list = app->whichArrayController();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->row(1).name, "gone.ts");
    EXPECT_EQ(statuses(), (QStringList{"puceSuccess", "puceFailure", "puceSuccess"}));
    EXPECT_EQ(ended, (QStringList{"first.ts", "gone.ts", "third.ts"}));
    ASSERT_EQ(outcomes.size(), 3);
    EXPECT_EQ(outcomes[0].kind, jobOutcomeKind::converted);
    EXPECT_EQ(outcomes[1].kind, jobOutcomeKind::skipped);
    EXPECT_EQ(outcomes[1].failure, jobFailure::sourceGone);
    EXPECT_EQ(outcomes[2].kind, jobOutcomeKind::converted);
}

// A tool whose progress stands still is stopped after the limit and its job fails with the
// reason: a piece of a joined recording swapped for /dev/zero after the analysis keeps ffmpeg
// reading for ever.
TEST_F(controller, watchdogStopsAToolThatMakesNoProgress) {
    const QString card = box.root() + "/card";
    const QString stream = makeSpannedCard(card, box.root() + "/whole.ts", 2, 3.0);
    ASSERT_FALSE(stream.isEmpty());
    choose(0, 0);
    addSources({stream});
    ASSERT_EQ(app->whichArrayController()->count(), 1);
    ASSERT_EQ(app->whichArrayController()->row(0).pieces.size(), 2);
    const QString piece = stream + "/00002.MTS";
    ASSERT_TRUE(QFile::remove(piece));
    ASSERT_TRUE(QFile::link("/dev/zero", piece));
    QString reason;
    jobFailure failure = jobFailure::none;
    app->hooks.jobOutcome = [&](const jobOutcomeValue &outcome) {
        reason = outcome.logWords;
        failure = outcome.failure;
    };
    qputenv("FLUXARO_STALL_SECONDS", "3");
    QElapsedTimer timer;
    timer.start();
    goAndWait(90000);
    qunsetenv("FLUXARO_STALL_SECONDS");
    EXPECT_LT(timer.elapsed(), 60000);
    EXPECT_EQ(statuses(), QStringList{"puceFailure"});
    EXPECT_TRUE(reason.startsWith("ffmpeg made no progress for ")) << reason.toStdString();
    EXPECT_EQ(failure, jobFailure::toolStalled);
    spinUntil([] { return false; }, 300);
    EXPECT_TRUE(box.eventsFiles().isEmpty()) << box.eventsFiles().join(", ").toStdString();
}

// Pause keeps the run stopped and shows the pause text; play restores the text; stop ends the
// batch, marks the row failed and leaves no partial or intermediate file. Checked during ffmpeg
// (a long clip) and during trakmill.
TEST_F(controller, pauseResumeAndStopDuringFfmpeg) {
    addSources({clip("long.ts", 25, 20.0), clip("next.ts")});
    QString actionBeforePause;
    bool paused = false;
    plain.action.changed = [&] {
        if (!paused && plain.action.text() == "long.ts") {
            paused = true;
            actionBeforePause = plain.action.text();
            QTimer::singleShot(0, [&] { app->pause(); });
        }
    };
    const int before = batchesEnded;
    app->iba_batchGoBt();
    ASSERT_TRUE(spinUntil([&] { return app->isConversionPaused(); }, 60000));
    EXPECT_EQ(plain.action.text(), "D_action_pause");
    // Paused: the output doesn't grow.
    const QString out = box.events() + "/" + box.eventsFiles().value(0);
    const qint64 size = QFileInfo(out).size();
    spinUntil([] { return false; }, 600);
    EXPECT_EQ(QFileInfo(out).size(), size);

    app->resume();
    EXPECT_EQ(plain.action.text(), actionBeforePause);
    EXPECT_FALSE(app->isConversionPaused());

    app->stop();
    ASSERT_TRUE(spinUntil([&] { return batchesEnded > before; }, 60000));
    EXPECT_EQ(statuses(), (QStringList{"puceFailure", "puce"}));
    EXPECT_TRUE(box.eventsFiles().isEmpty()) << box.eventsFiles().join(", ").toStdString();
    EXPECT_FALSE(plain.goBt.isOn());
    EXPECT_TRUE(plain.goBt.isEnabled());

    // The next Go starts again from the first row.
    plain.action.changed = nullptr;
    goAndWait();
    EXPECT_EQ(statuses(), (QStringList{"puceSuccess", "puceSuccess"}));
}

// A drop during a conversion pauses the running tool while the new sources are analysed and
// resumes it afterwards; a tool the user paused stays paused through such an analysis. Each
// change is told as a value; the rows dropped meanwhile are converted in the same batch.
TEST_F(controller, dropDuringConversionPausesOnlyARunningTool) {
    addSources({clip("long.ts", 25, 20.0)});
    const QString late = clip("late.ts");
    const QString later = clip("later.ts");
    QList<bool> told;
    app->hooks.conversionPaused = [&](bool paused) { told << paused; };
    bool userPaused = false;
    bool droppedWhileGoing = false;
    std::optional<bool> pausedForTheDrop;
    plain.action.changed = [&] {
        if (!userPaused && plain.action.text() == "long.ts") {
            userPaused = true;
            QTimer::singleShot(0, [&] {
                app->pause();
                app->draggedFiles({late});
            });
        } else if (!droppedWhileGoing && plain.action.text() == "late.ts") {
            droppedWhileGoing = true;
            QTimer::singleShot(0, [&] {
                app->draggedFiles({later});
                pausedForTheDrop = app->isConversionPaused();
            });
        }
    };
    const int before = batchesEnded;
    const int analysed = analysesEnded;
    app->iba_batchGoBt();
    ASSERT_TRUE(spinUntil([&] { return analysesEnded > analysed; }, 60000));
    EXPECT_TRUE(app->isToolRunning());
    EXPECT_TRUE(app->isConversionPaused());
    EXPECT_EQ(told, QList<bool>{true});
    app->resume();
    ASSERT_TRUE(spinUntil([&] { return batchesEnded > before; }, 120000));
    plain.action.changed = nullptr;
    EXPECT_EQ(pausedForTheDrop, std::optional<bool>(true));
    EXPECT_FALSE(app->isConversionPaused());
    EXPECT_EQ(told, (QList<bool>{true, false, true, false}));
    EXPECT_EQ(statuses(), (QStringList{"puceSuccess", "puceSuccess", "puceSuccess"}));
}

TEST_F(controller, stopDuringTrakmill) {
    choose(2, 0);
    addSources({clip("export.ts", 25, 4.0)});
    ASSERT_EQ(app->whichArrayController()->row(0).format, 2);
    const int before = batchesEnded;
    app->iba_batchGoBt();
    // trakmill runs once the master file sits next to the output.
    ASSERT_TRUE(spinUntil(
        [&] {
            for (const QString &name : box.eventsFiles()) {
                if (name.contains("_MASTER") && !plain.stopBt.isHidden()) {
                    return true;
                }
            }
            return false;
        },
        60000));
    // Stopped while paused: the termination resumes the run to end it.
    app->pause();
    EXPECT_TRUE(app->isConversionPaused());
    app->stop();
    ASSERT_TRUE(spinUntil([&] { return batchesEnded > before; }, 60000));
    EXPECT_EQ(statuses(), QStringList{"puceFailure"});
    spinUntil([] { return false; }, 300);
    EXPECT_TRUE(box.eventsFiles().isEmpty()) << box.eventsFiles().join(", ").toStdString();
}

// Remove-all while a row is being converted keeps only that row, numbered 1.
TEST_F(controller, removeAllKeepsTheRowBeingConverted) {
    addSources({clip("r1.ts"), clip("r2.ts"), clip("r3.ts", 25, 20.0), clip("r4.ts")});
    bool removed = false;
    plain.action.changed = [&] {
        if (!removed && plain.action.text() == "r3.ts") {
            removed = true;
            QTimer::singleShot(0, [&] { app->encBatchRemoveAll(false); });
        }
    };
    goAndWait();
    batchList *list = app->whichArrayController();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->row(0).name, "r3.ts");
}

// The analysis helpers: seek points and field-order letters.
TEST(analysisHelpers, seekPointsAndFieldOrder) {
    EXPECT_EQ(sourceAnalysis::thumbnailSeekPoint(45), "10");
    EXPECT_EQ(sourceAnalysis::thumbnailSeekPoint(5), "0");
    EXPECT_EQ(sourceAnalysis::thumbnailSeekPoint(61), "60");
    EXPECT_EQ(sourceAnalysis::thumbnailSeekPoint(120), "60");
    EXPECT_EQ(sourceAnalysis::thumbnailSeekPoint(121), "120");
    EXPECT_EQ(sourceAnalysis::thumbnailSeekPoint(QVariant()), "0");
    EXPECT_EQ(sourceAnalysis::fieldOrderLetter(QString("YUV4MPEG2 W640 H480 F25:1 It A1:1")), "t");
    EXPECT_EQ(sourceAnalysis::fieldOrderLetter(QString("YUV4MPEG2 W640 Ip")), "p");
    EXPECT_EQ(sourceAnalysis::fieldOrderLetter(QString("YUV4MPEG2 W640 H480")),
              "YUV4MPEG2 W640 H480");
    EXPECT_FALSE(sourceAnalysis::fieldOrderLetter(QString("YUV4MPEG2 I")));
    EXPECT_FALSE(sourceAnalysis::fieldOrderLetter(std::nullopt));
}

// Quitting during a run asks first; "cancel" (also the answer after the time-out) keeps the run,
// confirming ends it, deletes the job's partial files and empties the list.
TEST_F(controller, quitDuringConversion) {
    choose(2, 0);
    addSources({clip("quit.ts", 25, 4.0), clip("later.ts")});
    app->iba_batchGoBt();
    ASSERT_TRUE(spinUntil(
        [&] {
            for (const QString &name : box.eventsFiles()) {
                if (name.contains("_MASTER") && !plain.stopBt.isHidden()) {
                    return true;
                }
            }
            return false;
        },
        60000));
    EXPECT_FALSE(app->iba_menuQuit());
    EXPECT_TRUE(app->isBatchRunning());
    EXPECT_EQ(presenter.shown.last().buttons.size(), 2);
    EXPECT_DOUBLE_EQ(presenter.shown.last().timeoutSeconds, 20);

    presenter.answer = [](const alertPlan &) { return alertOutcome{1, false}; };
    EXPECT_TRUE(app->iba_menuQuit());
    EXPECT_TRUE(app->whichArrayController()->isEmpty());
    spinUntil([] { return false; }, 300);
    EXPECT_TRUE(box.eventsFiles().isEmpty()) << box.eventsFiles().join(", ").toStdString();
}

// The output is judged beside the event loop: a quit between the last tool and the verdict asks
// nothing (no tool runs), leaves no working file, and the verdict that comes later is dropped.
TEST_F(controller, quitWhileTheOutputIsJudgedLeavesNothing) {
    choose(0, 0);
    addSources({clip("judged.ts", 25, 2.0)});
    QStringList ended;
    app->hooks.jobOutcome = [&](const jobOutcomeValue &outcome) { ended << outcome.src; };
    app->iba_batchGoBt();
    QElapsedTimer timer;
    timer.start();
    // One pass of the loop at a time: the verdict is delivered by the loop, never between.
    while (!app->isJudgingOutput() && timer.elapsed() < 60000) {
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(app->isJudgingOutput());
    const int asked = presenter.shown.size();
    EXPECT_TRUE(app->iba_menuQuit());
    EXPECT_EQ(presenter.shown.size(), asked);
    EXPECT_FALSE(app->isJudgingOutput());
    spinUntil([] { return false; }, 500);
    EXPECT_TRUE(box.eventsFiles().isEmpty()) << box.eventsFiles().join(", ").toStdString();
    EXPECT_TRUE(ended.isEmpty()) << ended.join(", ").toStdString();
}

// The picture check: a real movie is readable, bytes that only look large are not and say why,
// and no verdict reaches a receiver that is gone.
TEST_F(controller, outputPictureCheckOffTheEventLoop) {
    const QString movie = box.root() + "/good.mov";
    ASSERT_TRUE(makeClip(movie, "320x180", 25, 1.0));
    const QString junk = box.root() + "/junk.mov";
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(300 * 1024, '\x47'));
    file.close();

    QObject receiver;
    std::optional<bool> good;
    std::optional<bool> bad;
    QString why;
    outputPictureCheckAsync(movie, &receiver,
                            [&](bool readable, const QString &) { good = readable; });
    outputPictureCheckAsync(junk, &receiver, [&](bool readable, const QString &said) {
        bad = readable;
        why = said;
    });
    ASSERT_TRUE(spinUntil([&] { return good && bad; }, 30000));
    EXPECT_TRUE(*good);
    EXPECT_FALSE(*bad);
    EXPECT_FALSE(why.isEmpty());

    bool reached = false;
    auto gone = std::make_unique<QObject>();
    outputPictureCheckAsync(movie, gone.get(), [&](bool, const QString &) { reached = true; });
    gone.reset();
    QThreadPool::globalInstance()->waitForDone();
    spinUntil([] { return false; }, 200);
    EXPECT_FALSE(reached);
}

// Play puts back exactly the action text shown before the pause; a second pause or a second
// resume changes nothing. The pause is also a value and a hook, for the fronts, which draw the
// control's pictures from it.
TEST_F(controller, pauseResumeKeepTheText) {
    QList<bool> told;
    app->hooks.conversionPaused = [&](bool paused) { told << paused; };
    plain.action.setText("l'été 100%.mts");
    app->pause();
    EXPECT_NE(plain.action.text(), "l'été 100%.mts");
    EXPECT_TRUE(app->isConversionPaused());
    app->pause();
    EXPECT_TRUE(app->isConversionPaused());
    app->resume();
    EXPECT_EQ(plain.action.text(), "l'été 100%.mts");
    EXPECT_FALSE(app->isConversionPaused());
    app->resume();
    EXPECT_EQ(plain.action.text(), "l'été 100%.mts");
    EXPECT_EQ(told, (QList<bool>{true, false}));
}

// The typed outcomes of real batches: a converted job with its output, a job whose ffmpeg fails
// (its words kept apart from the reason's), then the same rows again, where the existing output
// is kept (no failure); each batch's summary counts them once, and the failed job's Resume.log
// block ends with its outcome line.
TEST_F(controller, jobOutcomesAndBatchSummaries) {
    const QString resources = box.root() + "/resources";
    ASSERT_TRUE(makeResourceFolder(resources, {{"ffmpeg", "#!/bin/sh\n"
                                                          "case \" $* \" in\n"
                                                          "*\" -fdebug \"*) ;;\n"
                                                          "*bad.ts*) echo 'bad.ts: Disk quota "
                                                          "exceeded' >&2; exit 1 ;;\n"
                                                          "esac\n"
                                                          "exec /usr/bin/ffmpeg \"$@\"\n"}}));
    qputenv("FLUXARO_RESOURCE_DIR", resources.toUtf8());
    choose(0, 0);
    const QString good = clip("good.ts");
    const QString bad = clip("bad.ts");
    addSources({good, bad});
    ASSERT_EQ(app->whichArrayController()->count(), 2);
    QList<jobOutcomeValue> outcomes;
    QList<batchSummaryValue> summaries;
    app->hooks.jobOutcome = [&](const jobOutcomeValue &outcome) { outcomes << outcome; };
    app->hooks.batchSummary = [&](const batchSummaryValue &summary) { summaries << summary; };
    ASSERT_TRUE(QDir().mkpath(logFolderPathStr()));
    goAndWait();
    ASSERT_EQ(outcomes.size(), 2);
    EXPECT_EQ(outcomes[0].src, good);
    EXPECT_EQ(outcomes[0].kind, jobOutcomeKind::converted);
    EXPECT_TRUE(QFileInfo(outcomes[0].output).isFile()) << outcomes[0].output.toStdString();
    EXPECT_EQ(QFileInfo(outcomes[0].output).absolutePath(), box.events());
    EXPECT_TRUE(outcomes[0].words.isEmpty());
    EXPECT_EQ(outcomes[1].src, bad);
    EXPECT_EQ(outcomes[1].kind, jobOutcomeKind::failed);
    EXPECT_EQ(outcomes[1].failure, jobFailure::noMovie);
    EXPECT_EQ(outcomes[1].toolWords, "bad.ts: Disk quota exceeded");
    EXPECT_EQ(outcomes[1].logWords, "ffmpeg made no movie: bad.ts: Disk quota exceeded");
    EXPECT_FALSE(outcomes[1].words.isEmpty());
    EXPECT_TRUE(outcomes[1].output.isEmpty());
    ASSERT_EQ(summaries.size(), 1);
    EXPECT_FALSE(summaries[0].stopped);
    EXPECT_EQ(summaries[0].converted, 1);
    EXPECT_EQ(summaries[0].failed, 1);
    ASSERT_EQ(summaries[0].notConverted.size(), 1);
    EXPECT_EQ(summaries[0].notConverted[0].src, bad);
    QFile resume(logResumePathStr());
    ASSERT_TRUE(resume.open(QIODevice::ReadOnly));
    const QString log = QString::fromUtf8(resume.readAll());
    const qsizetype badBlock = log.lastIndexOf("source              : " + bad);
    ASSERT_GE(badBlock, 0) << log.toStdString();
    EXPECT_TRUE(log.mid(badBlock).endsWith(
        "outcome             : failed (ffmpeg made no movie: bad.ts: Disk quota exceeded)"))
        << log.mid(badBlock).toStdString();
    // The converted job's block has no outcome line.
    EXPECT_EQ(log.count("outcome             :"), 1) << log.toStdString();

    // Again, the sources listed anew (Go alone converts only the failed row): the replace
    // question goes unanswered, so the output is kept.
    app->encBatchRemoveAll(false);
    addSources({good, bad});
    outcomes.clear();
    summaries.clear();
    goAndWait();
    ASSERT_EQ(outcomes.size(), 2);
    EXPECT_EQ(outcomes[0].kind, jobOutcomeKind::kept);
    EXPECT_EQ(outcomes[0].failure, jobFailure::none);
    EXPECT_TRUE(QFileInfo(outcomes[0].output).isFile()) << outcomes[0].output.toStdString();
    EXPECT_EQ(outcomes[0].logWords, "kept the existing output");
    EXPECT_EQ(outcomes[1].kind, jobOutcomeKind::failed);
    ASSERT_EQ(summaries.size(), 1);
    EXPECT_EQ(summaries[0].converted, 0);
    EXPECT_EQ(summaries[0].kept, 1);
    EXPECT_EQ(summaries[0].failed, 1);

    // A converter that can't be started (gone after the analysis) is the job's reason, not
    // the missing movie that the next step then finds.
    app->encBatchRemoveAll(false);
    addSources({clip("unstarted.ts")});
    const QString empty = box.root() + "/noTools";
    ASSERT_TRUE(makeResourceFolder(empty, {}));
    qputenv("FLUXARO_RESOURCE_DIR", empty.toUtf8());
    outcomes.clear();
    goAndWait();
    ASSERT_EQ(outcomes.size(), 1);
    EXPECT_EQ(outcomes[0].kind, jobOutcomeKind::failed);
    EXPECT_EQ(outcomes[0].failure, jobFailure::toolCannotStart);
    EXPECT_EQ(outcomes[0].words, jobFailureWords(jobFailure::toolCannotStart));
    EXPECT_TRUE(outcomes[0].logWords.endsWith("ffmpeg can't be started"))
        << outcomes[0].logWords.toStdString();
}

// A stop: the job it ends is stopped, the row it never reached is not done, each told once
// with the batch's summary (stopped) once, though a stop between two jobs ends the batch twice;
// the stopped job's Resume.log block says so.
TEST_F(controller, stopOutcomes) {
    addSources({clip("long.ts", 25, 20.0), clip("next.ts")});
    QList<jobOutcomeValue> outcomes;
    QList<batchSummaryValue> summaries;
    app->hooks.jobOutcome = [&](const jobOutcomeValue &outcome) { outcomes << outcome; };
    app->hooks.batchSummary = [&](const batchSummaryValue &summary) { summaries << summary; };
    bool stopped = false;
    plain.action.changed = [&] {
        if (!stopped && plain.action.text() == "long.ts") {
            stopped = true;
            QTimer::singleShot(0, [&] { app->stop(); });
        }
    };
    ASSERT_TRUE(QDir().mkpath(logFolderPathStr()));
    goAndWait(60000);
    spinUntil([] { return false; }, 300);
    ASSERT_EQ(outcomes.size(), 2);
    EXPECT_EQ(QFileInfo(outcomes[0].src).fileName(), "long.ts");
    EXPECT_EQ(outcomes[0].kind, jobOutcomeKind::stopped);
    EXPECT_EQ(outcomes[0].failure, jobFailure::stopped);
    EXPECT_EQ(QFileInfo(outcomes[1].src).fileName(), "next.ts");
    EXPECT_EQ(outcomes[1].kind, jobOutcomeKind::notDone);
    ASSERT_EQ(summaries.size(), 1);
    EXPECT_TRUE(summaries[0].stopped);
    EXPECT_EQ(summaries[0].converted, 0);
    EXPECT_EQ(summaries[0].stoppedJobs, 1);
    EXPECT_EQ(summaries[0].notDone, 1);
    EXPECT_EQ(summaries[0].failed, 0);
    QFile resume(logResumePathStr());
    ASSERT_TRUE(resume.open(QIODevice::ReadOnly));
    const QString log = QString::fromUtf8(resume.readAll());
    EXPECT_TRUE(log.endsWith("outcome             : stopped")) << log.toStdString();
}

// Each refusal has its own code and the words of the log; an accepted source has none.
TEST_F(controller, refusedSourcesCarryTheirCodes) {
    const QString interlaced = box.root() + "/interlaced.ts";
    ASSERT_TRUE(makeClip(interlaced, "640x360", 50, 1.0,
                         {"-vf", "tinterlace=mode=interleave_top", "-flags", "+ildct+ilme",
                          "-x264-params", "tff=1"}));
    const QString text = box.root() + "/notes.ts";
    QFile note(text);
    ASSERT_TRUE(note.open(QIODevice::WriteOnly));
    note.write("not a movie at all\n");
    note.close();
    const QString missing = box.root() + "/missing.ts";
    const QString other = box.root() + "/other.txt";
    QFile::copy(text, other);
    const QString good = clip("good.ts");
    QMap<QString, analysisVerdictValue> verdicts;
    app->hooks.analysisVerdict = [&](const analysisVerdictValue &verdict) {
        verdicts.insert(QFileInfo(verdict.src).fileName(), verdict);
    };
    addSources({good, interlaced, text, missing});
    app->draggedFiles({other}); // refused at once, without an analysis
    ASSERT_EQ(verdicts.size(), 5);
    EXPECT_TRUE(verdicts["good.ts"].accepted);
    EXPECT_EQ(verdicts["good.ts"].refusal, sourceRefusal::none);
    const struct {
        const char *name;
        sourceRefusal refusal;
        const char *logWords;
    } cases[] = {
        {"interlaced.ts", sourceRefusal::interlaced, "interlaced ("},
        {"notes.ts", sourceRefusal::unreadable, "ffmpeg can't read it"},
        {"missing.ts", sourceRefusal::missing, "the file is missing"},
        {"other.txt", sourceRefusal::notAcceptedType, "not an accepted file type"},
    };
    for (const auto &c : cases) {
        const analysisVerdictValue verdict = verdicts.value(c.name);
        EXPECT_FALSE(verdict.accepted) << c.name;
        EXPECT_EQ(verdict.refusal, c.refusal) << c.name;
        EXPECT_TRUE(verdict.logWords.startsWith(c.logWords)) << verdict.logWords.toStdString();
        EXPECT_FALSE(verdict.words.isEmpty()) << c.name;
    }
}

// What a joined recording is expected to present comes from its playlist's IN and OUT times:
// pieces cut at any packet hold pictures that only the next piece completes, so read one by one
// they count fewer (71 of 75 here). A record whose pieces are not the playlist's keeps their sum.
TEST(joinedSourceFacts, playlistSpansOfEveryPiece) {
    sandbox box;
    const QString card = box.root() + "/card";
    const QString stream = makeSpannedCard(card, box.root() + "/whole.ts", 3, 3.0, 0,
                                           QStringLiteral("320x180"), -1, seamKind::packetCut);
    ASSERT_FALSE(stream.isEmpty());
    const QStringList pieces{stream + "/00001.MTS", stream + "/00002.MTS", stream + "/00003.MTS"};
    QVariantMap record{{"srcPathStr", pieces.first()}, {"joinPathsArray", pieces}};
    QString why;
    const std::optional<toolbox::MovieFacts> joined = jobSourceFacts(rowOfRecord(record), &why);
    ASSERT_TRUE(joined && joined->picture) << why.toStdString();
    EXPECT_EQ(joined->picture->pictures, 75);
    EXPECT_NEAR(joined->picture->seconds, 3.0, 0.001);
    ASSERT_FALSE(joined->sounds.empty());
    EXPECT_NEAR(joined->sounds.front().seconds, 3.0, 0.001);

    record["joinPathsArray"] = QStringList{pieces.at(0), pieces.at(2)};
    const std::optional<toolbox::MovieFacts> summed = jobSourceFacts(rowOfRecord(record), &why);
    ASSERT_TRUE(summed && summed->picture) << why.toStdString();
    EXPECT_LT(summed->picture->pictures, 75);
}
