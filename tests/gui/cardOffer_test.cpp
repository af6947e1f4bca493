// Camera cards offered on the window's drop area, offscreen: the button appears for a mounted
// card and names it, nothing opens until it is clicked, a click opens the Import Card dialog with
// that card (and imports it as File > Import Card... would), the offer goes with the card (the
// one mounted before it coming back), and the File menu says when cards are not noticed, in
// English and in French.
#include "cardOffers.h"
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
#include <QTest>

#include <gtest/gtest.h>

namespace {

cardMountedValue mountedCard(const QString &object, const QString &mountPoint, const QString &label,
                             bool atStart) {
    cardMountedValue value;
    value.objectPath = object;
    value.card.mountPoint = mountPoint;
    value.card.label = label;
    value.card.layout = cameraLayout::dcimMovies;
    value.atStart = atStart;
    return value;
}

class cardOffer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        useThrowawayHome(dir.path());
        QDir().mkpath(logFolderPathStr());
        setAlertPresenter(&presenter);
        setTMPFOLDER(dir.path() + "/tmp/");
        setOPENPERM(true);
    }
    void TearDown() override {
        setAlertPresenter(nullptr);
        loadTranslations(QStringLiteral("en"));
    }
    scriptedPresenter presenter;
    QTemporaryDir dir;
};

} // namespace

TEST_F(cardOffer, theButtonOffersTheLastCardAndOpensTheImportOnlyWhenClicked) {
    const QString first = dir.path() + QStringLiteral("/media/CANON_HF");
    const QString second = dir.path() + QStringLiteral("/media/EOS");
    writeTestFile(second + QStringLiteral("/DCIM/100CANON/MVI_0001.MOV"), QByteArray(300000, 'm'));
    fluxaroMainWindow window;
    window.startupWindowSteps();
    window.resize(560, 360);
    window.show();
    QStringList notes;
    window.offers()->setNotifier([&notes](const QString &summary, const QString &body) {
        notes << summary + QStringLiteral(" / ") + body;
    });
    QPushButton *button = window.offers()->button();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->parentWidget(), window.dropView()) << "the button is on the drop area";
    EXPECT_FALSE(button->isVisible());

    window.offers()->mounted(mountedCard("/b/sdb1", first, "CANON_HF", true));
    EXPECT_TRUE(button->isVisible());
    EXPECT_EQ(button->text(), QStringLiteral("Import CANON_HF"));
    EXPECT_TRUE(notes.isEmpty()) << "a card there before the window opened is only offered";
    // An ampersand in a card's name is shown, not taken for a shortcut.
    window.offers()->mounted(mountedCard("/b/sdc1", second, "EOS & CO", false));
    EXPECT_EQ(button->text(), QStringLiteral("Import EOS && CO"));
    EXPECT_EQ(button->toolTip(), second);
    EXPECT_EQ(notes, QStringList{QStringLiteral("Camera card EOS & CO / To copy it to your "
                                                "archives, click Import on the Fluxaro window.")});
    EXPECT_TRUE(window.dropView()->rect().contains(button->geometry()))
        << "the button lies inside the drop area";
    EXPECT_EQ(window.findChild<importCardDialog *>(), nullptr) << "nothing without a click";

    QTest::mouseClick(button, Qt::LeftButton);
    auto *dialog = window.findChild<importCardDialog *>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->card(), second);

    // The card offered imports as any card: copied and verified.
    dialog->setArchives(dir.path() + QStringLiteral("/archive"));
    QSignalSpy ended(dialog, &importCardDialog::importEnded);
    dialog->startImport();
    QElapsedTimer clock;
    clock.start();
    while (ended.isEmpty() && clock.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    ASSERT_FALSE(ended.isEmpty());
    EXPECT_TRUE(dialog->result() && dialog->result()->safeToFormat);

    // The offer goes with its card; the one still mounted is offered again.
    window.offers()->gone({"/b/sdc1", second});
    EXPECT_TRUE(button->isVisible());
    EXPECT_EQ(button->text(), QStringLiteral("Import CANON_HF"));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(dialog->card(), first);
    EXPECT_EQ(window.findChildren<importCardDialog *>().size(), 1);
    window.offers()->gone({"/b/sdb1", first});
    EXPECT_FALSE(button->isVisible());
    EXPECT_TRUE(window.offers()->offers().empty());
    // A card gone that was never offered changes nothing.
    window.offers()->gone({"/b/sdd1", dir.path()});
    EXPECT_FALSE(button->isVisible());
}

// The same card mounted again elsewhere is one offer, at its new place, in French too.
TEST_F(cardOffer, aCardRemountedIsOfferedOnce) {
    fluxaroMainWindow window;
    window.startupWindowSteps();
    loadTranslations(QStringLiteral("fr"));
    QStringList notes;
    window.offers()->setNotifier(
        [&notes](const QString &summary, const QString &) { notes << summary; });
    window.offers()->mounted(mountedCard("/b/sdb1", "/media/a/CARD", "CARD", true));
    window.offers()->mounted(mountedCard("/b/sdb1", "/media/b/CARD", "CARD", false));
    EXPECT_EQ(notes, QStringList{QStringLiteral("Carte d'appareil CARD")});
    EXPECT_EQ(window.offers()->button()->text(), QStringLiteral("Importer CARD"));
    ASSERT_EQ(window.offers()->offers().size(), 1U);
    EXPECT_EQ(window.offers()->offers().front().card.mountPoint, QStringLiteral("/media/b/CARD"));
}

TEST_F(cardOffer, theMenuSaysWhenCardsAreNotNoticed) {
    fluxaroMainWindow window;
    window.startupWindowSteps();
    QAction *line = window.action("menuCardWatchOff");
    ASSERT_NE(line, nullptr);
    EXPECT_FALSE(line->isVisible()) << "said only once the watch knows";
    window.showCardWatchState(cardWatchState::noUdisks);
    EXPECT_TRUE(line->isVisible());
    EXPECT_FALSE(line->isEnabled());
    EXPECT_EQ(line->text(), QStringLiteral("Cards are not noticed: UDisks2 is not running"));
    window.showCardWatchState(cardWatchState::watching);
    EXPECT_FALSE(line->isVisible());

    loadTranslations(QStringLiteral("fr"));
    window.showCardWatchState(cardWatchState::noBus);
    EXPECT_EQ(line->text(),
              QStringLiteral("Les cartes ne sont pas remarquées : pas de bus système"));
    window.showCardWatchState(cardWatchState::noUdisks);
    EXPECT_EQ(line->text(),
              QStringLiteral("Les cartes ne sont pas remarquées : UDisks2 n'est pas lancé"));
}

// The window's own watch, on a system bus that is not there: the menu says so and the window
// goes on (the Import Card menu still opens its dialog). The D-Bus library reads the bus
// addresses once a process, so the address given here counts only when nothing in this process
// asked for a bus before; the default one is absent where the tests run as well.
TEST_F(cardOffer, withoutASystemBusTheWindowSaysSoAndWorks) {
    qputenv("DBUS_SYSTEM_BUS_ADDRESS",
            (QStringLiteral("unix:path=") + dir.path() + QStringLiteral("/no-bus")).toUtf8());
    fluxaroMainWindow window;
    window.startupWindowSteps();
    window.cards()->start();
    if (window.cards()->state() != cardWatchState::noBus) {
        GTEST_SKIP() << "this process reaches a system bus";
    }
    QAction *line = window.action("menuCardWatchOff");
    EXPECT_TRUE(line->isVisible());
    EXPECT_EQ(line->text(), QStringLiteral("Cards are not noticed: no system bus"));
    window.action("menuImportCard")->trigger();
    EXPECT_NE(window.findChild<importCardDialog *>(), nullptr);
    EXPECT_FALSE(window.offers()->button()->isVisible());
}
