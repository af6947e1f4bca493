// File > Import Card... offscreen: the dialog the menu opens, its Import button only with a card
// and an archive, a real card folder imported into two archives on the worker thread with the
// verdict shown, and a refused import said as not safe, in English and in French.
#include "cardImport/archiveCheck.h"
#include "controller/startup.h"
#include "frontApi/alerts.h"
#include "importCardDialog.h"
#include "mainWindow.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "scriptedPresenter.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "windowFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

class importCard : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        useThrowawayHome(dir.path());
        QDir().mkpath(logFolderPathStr()); // as the start-up makes it
        card = dir.path() + QStringLiteral("/SD_CARD");
        writeTestFile(card + QStringLiteral("/DCIM/100MEDIA/MOV_0001.MP4"),
                      QByteArray(300000, 'a'));
        writeTestFile(card + QStringLiteral("/DCIM/100MEDIA/MOV_0002.MP4"),
                      QByteArray(200000, 'b'));
        writeTestFile(card + QStringLiteral("/.hidden"), "h");
    }
    // Runs the dialog's import to its end (the worker's result comes through the event loop).
    bool importToEnd(importCardDialog &dialog) {
        QSignalSpy ended(&dialog, &importCardDialog::importEnded);
        dialog.startImport();
        // The events by hand: an earlier test of the program may have asked its loop to quit.
        QElapsedTimer clock;
        clock.start();
        while (ended.isEmpty() && clock.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
        return !ended.isEmpty() && !dialog.running();
    }
    QTemporaryDir dir;
    QString card;
};

} // namespace

TEST_F(importCard, theMenuOpensOneDialogAndImportWaitsForACardAndAnArchive) {
    scriptedPresenter presenter;
    setAlertPresenter(&presenter);
    setTMPFOLDER(dir.path() + "/tmp/");
    setOPENPERM(true);
    {
        fluxaroMainWindow window;
        window.startupWindowSteps();
        QAction *menu = window.action("menuImportCard");
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->text(), localizedStr("menuImportCard"));
        menu->trigger();
        menu->trigger();
        const QList<importCardDialog *> dialogs = window.findChildren<importCardDialog *>();
        ASSERT_EQ(dialogs.size(), 1) << "the menu shows the one dialog again";
        importCardDialog *dialog = dialogs.first();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_FALSE(dialog->importButton()->isEnabled());
        dialog->setCard(card);
        EXPECT_FALSE(dialog->importButton()->isEnabled()) << "no archive yet";
        dialog->setArchives(dir.path() + QStringLiteral("/archive"));
        EXPECT_TRUE(dialog->importButton()->isEnabled());
    }
    setAlertPresenter(nullptr);
}

TEST_F(importCard, aCardImportedIntoTwoArchivesIsSaidSafeToFormatWithItsCopies) {
    importCardDialog dialog;
    dialog.setCard(card);
    const QString first = dir.path() + QStringLiteral("/one");
    const QString second = dir.path() + QStringLiteral("/two");
    dialog.setArchives(first, second);
    ASSERT_TRUE(importToEnd(dialog));
    ASSERT_TRUE(dialog.result());
    EXPECT_TRUE(dialog.result()->safeToFormat);
    const QString folder = QString::fromStdString(dialog.result()->folderName);
    EXPECT_TRUE(folder.endsWith(QStringLiteral(" SD_CARD"))) << folder.toStdString();
    EXPECT_EQ(dialog.verdictText(),
              localizedStr("importCardSafe")
                  .arg(3)
                  .arg(first + QLatin1Char('/') + folder + QStringLiteral(", ") + second +
                       QLatin1Char('/') + folder));
    EXPECT_TRUE(dialog.verdictText().startsWith(QStringLiteral("Safe to format")));
    for (const QString &archive : {first, second}) {
        EXPECT_TRUE(
            checkArchive(QFile::encodeName(archive + QLatin1Char('/') + folder).toStdString())
                .holds());
    }
    EXPECT_TRUE(dialog.importButton()->isEnabled()) << "ready for the next card";
    // The window's verdict goes into Resume.log as the terminal's does.
    QFile resume(logResumePathStr());
    ASSERT_TRUE(resume.open(QIODevice::ReadOnly)) << resume.fileName().toStdString();
    const QByteArray logged = resume.readAll();
    EXPECT_TRUE(logged.contains("Safe to format: 3 files")) << logged.right(600).constData();
}

TEST_F(importCard, aRefusedImportIsNotSafeToFormatInEitherLanguage) {
    loadTranslations(QStringLiteral("fr"));
    importCardDialog dialog;
    dialog.setCard(card);
    dialog.setArchives(card + QStringLiteral("/backup")); // on the card itself
    ASSERT_TRUE(importToEnd(dialog));
    EXPECT_FALSE(dialog.result()->safeToFormat);
    EXPECT_EQ(dialog.result()->refusal, importRefusal::archiveInsideCard);
    EXPECT_EQ(dialog.verdictText(), localizedStr("importCardNotSafe"));
    EXPECT_TRUE(dialog.verdictText().startsWith(QStringLiteral("Ne formatez pas")))
        << dialog.verdictText().toStdString();
    EXPECT_FALSE(QDir(card + QStringLiteral("/backup")).exists());
    loadTranslations(QStringLiteral("en"));
}

TEST_F(importCard, closingTheDialogStopsTheImportWithoutWaitingAndNothingHalfWritten) {
    // Big enough that the close comes while it reads.
    for (int i = 0; i < 40; ++i) {
        writeTestFile(card + QStringLiteral("/DCIM/100MEDIA/BIG_%1.MP4").arg(i),
                      QByteArray(2 * 1024 * 1024, static_cast<char>(i)));
    }
    importCardDialog dialog;
    dialog.setCard(card);
    dialog.setArchives(dir.path() + QStringLiteral("/archive"));
    QSignalSpy ended(&dialog, &importCardDialog::importEnded);
    dialog.show();
    dialog.startImport();
    ASSERT_TRUE(dialog.running());
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    QElapsedTimer clock;
    clock.start();
    while (ended.isEmpty() && clock.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    ASSERT_FALSE(ended.isEmpty());
    ASSERT_TRUE(dialog.result());
    if (dialog.result()->stop == importStop::none) {
        GTEST_SKIP() << "the import ended before the close";
    }
    EXPECT_EQ(dialog.result()->stop, importStop::stopped);
    EXPECT_FALSE(dialog.result()->safeToFormat);
    const QString copy = dir.path() + QStringLiteral("/archive/") +
                         QString::fromStdString(dialog.result()->folderName);
    const archiveCheckResult check = checkArchive(QFile::encodeName(copy).toStdString());
    if (dialog.result()->archives[0].verified == 0) {
        // Stopped within the first file: nothing under a final name, so no manifest either.
        EXPECT_EQ(check.problem, mhlProblem::noManifest);
        EXPECT_TRUE(check.findings.empty()) << check.findings.front().path;
    } else {
        EXPECT_TRUE(check.holds()) << "what is in the copy is what its manifest lists";
    }
}
