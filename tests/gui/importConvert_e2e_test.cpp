// Import and Convert through the window: a generated camcorder card imported by the dialog into
// an archive, then its verified copy analysed and converted by the window's batch with the real
// tools, every output dated by the card's playlist copied with it.
#include "batchTableModel.h"
#include "e2eMedia.h"
#include "frontApi/alerts.h"
#include "importCardDialog.h"
#include "mainWindow.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "scriptedPresenter.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "testEnv.h"

#include <QAction>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace e2e;

TEST(importConvertE2e, theCopyOfTheCardIsConvertedWithItsDates) {
    sandbox box;
    qputenv("XDG_CONFIG_HOME", (box.root() + "/config").toUtf8());
    qputenv("XDG_STATE_HOME", (box.root() + "/state").toUtf8());
    qputenv("FLUXARO_RESOURCE_DIR", FLUXARO_RESOURCE_DIR);
    prefReload();
    loadTranslations(QStringLiteral("en"));
    setTMPFOLDER(box.root() + "/tmp/");
    setOPENPERM(true);
    scriptedPresenter presenter;
    setAlertPresenter(&presenter);
    prefWrite(QStringLiteral("prefDefautDstPathStr"), box.dest());
    QDir().mkpath(logFolderPathStr()); // as the start-up makes it
    {
        fluxaroMainWindow window;
        window.startupWindowSteps();
        int batchesEnded = 0;
        window.controller()->hooks.revealFolder = [](const QString &) {};
        window.controller()->hooks.batchEnded = [&] { ++batchesEnded; };
        window.show();

        const QString card = box.root() + "/CANON_HF";
        makeCard(card, {{"320x180", 25}, {"320x180", 25}}, 1);
        window.action("menuImportCard")->trigger();
        auto *dialog = window.findChild<importCardDialog *>();
        ASSERT_NE(dialog, nullptr);
        const QString archive = box.root() + "/archive";
        dialog->setCard(card);
        dialog->setArchives(archive);
        ASSERT_TRUE(dialog->importConvertButton()->isEnabled());
        QTest::mouseClick(dialog->importConvertButton(), Qt::LeftButton);
        ASSERT_TRUE(spinUntil([&] { return batchesEnded > 0; }, 300000));
        ASSERT_TRUE(dialog->result());
        EXPECT_TRUE(dialog->result()->safeToFormat);
        const QString copy = archive + QStringLiteral("/2024-05-18 CANON_HF");
        batchList *list = window.controller()->whichArrayController();
        ASSERT_EQ(list->count(), 2);
        for (int row = 0; row < list->count(); ++row) {
            EXPECT_EQ(batchRowStateImage(list->row(row).state), "puceSuccess") << "row " << row;
        }
        // Named by the playlist's dates (makeCard's 10:15:30 and 10:20:05).
        EXPECT_EQ(box.eventsFiles(), (QStringList{"clip-2024-05-18 10;15;30-00001.mov",
                                                  "clip-2024-05-18 10;20;05-00002.mov"}));
        // The batch read the copy: Resume.log names its sources there.
        QFile resume(logResumePathStr());
        ASSERT_TRUE(resume.open(QIODevice::ReadOnly));
        const QByteArray logged = resume.readAll();
        EXPECT_TRUE(logged.contains(QFile::encodeName(copy + "/PRIVATE/AVCHD/BDMV/STREAM/00001")))
            << logged.right(1500).constData();
    }
    setAlertPresenter(nullptr);
    prefReload();
}
