// The alert windows as the core's alert functions show them: who answers (a click, or the
// time-out with the default button), what the default button shows while the time runs, the
// apply-to-all box, texts with "%" and markup, and sheets that return at once.
#include "dialogTestUtils.h"
#include "dialogs/alertDialogs.h"
#include "settings/localisation.h"
#include "testEnv.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class AlertDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        window_.resize(600, 400);
        window_.show();
        presenter_.setWindow(&window_);
        setAlertPresenter(&presenter_);
    }
    void TearDown() override { setAlertPresenter(nullptr); }

    QMainWindow window_;
    windowAlertPresenter presenter_;
};

} // namespace

TEST_F(AlertDialogs, TimedAlertAnswersItsDefaultButtonWhenNobodyClicks) {
    QString shownEarly;
    QString shownLate;
    Qt::WindowModality modality = Qt::NonModal;
    after(300, [&] {
        if (auto *dialog = visibleTopLevel<alertDialog>()) {
            shownEarly = dialog->planButton(0)->text();
            modality = dialog->windowModality();
        }
    });
    after(1300, [&] {
        if (auto *dialog = visibleTopLevel<alertDialog>()) {
            shownLate = dialog->planButton(0)->text();
        }
    });
    QElapsedTimer clock;
    clock.start();
    const QString answer =
        displayAlertDelayed(QStringLiteral("Quit?"), QStringLiteral("m"), QStringLiteral("Cancel"),
                            QStringLiteral("Quit"), std::nullopt, 0, 2);
    EXPECT_EQ(answer, QStringLiteral("Cancel"));
    EXPECT_GE(clock.elapsed(), 1900);
    EXPECT_LT(clock.elapsed(), 6000);
    // The seconds left are on the default button, counting down.
    EXPECT_EQ(shownEarly, QStringLiteral("Cancel (2)"));
    EXPECT_EQ(shownLate, QStringLiteral("Cancel (1)"));
    EXPECT_EQ(modality, Qt::WindowModal);
    EXPECT_EQ(visibleTopLevel<alertDialog>(), nullptr);
}

TEST_F(AlertDialogs, AClickAnswersTheButtonsTitleBeforeTheTimeOut) {
    after(200, [] {
        if (auto *dialog = visibleTopLevel<alertDialog>()) {
            dialog->planButton(1)->click();
        }
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(displayAlertDelayed(QStringLiteral("t"), QStringLiteral("m"),
                                  QStringLiteral("Cancel"), QStringLiteral("Quit"),
                                  QStringLiteral("Later"), 0, 20),
              QStringLiteral("Quit"));
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(AlertDialogs, AnUntimedAlertWaitsForAClick) {
    bool stillOpen = false;
    QString shown;
    after(1600, [&] {
        auto *dialog = visibleTopLevel<alertDialog>();
        stillOpen = dialog != nullptr;
        if (dialog != nullptr) {
            shown = dialog->planButton(0)->text();
            dialog->planButton(0)->click();
        }
    });
    // One second or less: no time limit; an empty default title is the platform's "OK".
    EXPECT_EQ(displayAlertDelayed(QStringLiteral("t"), QStringLiteral("m"), QString(), std::nullopt,
                                  std::nullopt, 0, 1),
              QStringLiteral("OK"));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(shown, QStringLiteral("OK"));
}

TEST_F(AlertDialogs, ApplyToAllBoxComesBackWithTheAnswer) {
    QString boxTitle;
    after(200, [&] {
        if (auto *dialog = visibleTopLevel<alertDialog>()) {
            boxTitle = dialog->checkBox()->text();
            dialog->checkBox()->setChecked(true);
            dialog->planButton(1)->click();
        }
    });
    const auto [answer, checked] = displayAlertDelayedCheckbox(
        QStringLiteral("Replace?"), QStringLiteral("m"), QStringLiteral("Keep"),
        QStringLiteral("Replace"), std::nullopt, 0, 20, QStringLiteral("Apply to all"));
    EXPECT_EQ(answer, QStringLiteral("Replace"));
    EXPECT_EQ(checked, 1);
    EXPECT_EQ(boxTitle, QStringLiteral("Apply to all"));

    // Ticked and left alone: the default button's title, and the box as it was left.
    after(200, [] {
        if (auto *dialog = visibleTopLevel<alertDialog>()) {
            dialog->checkBox()->setChecked(true);
        }
    });
    const auto timedOut = displayAlertDelayedCheckbox(
        QStringLiteral("Replace?"), QStringLiteral("m"), QStringLiteral("Keep"),
        QStringLiteral("Replace"), std::nullopt, 0, 2, QString());
    EXPECT_EQ(timedOut.first, QStringLiteral("Keep"));
    EXPECT_EQ(timedOut.second, 1);
}

TEST_F(AlertDialogs, CheckBoxAlertWithoutSecondsCountsTenAndNamesItsBox) {
    int32_t left = -1;
    QString boxTitle;
    after(200, [&] {
        if (auto *dialog = visibleTopLevel<alertDialog>()) {
            left = dialog->secondsLeft();
            boxTitle = dialog->checkBox()->text();
            dialog->planButton(0)->click();
        }
    });
    const auto outcome =
        displayAlertDelayedCheckbox(QStringLiteral("t"), QStringLiteral("m"), std::nullopt,
                                    std::nullopt, std::nullopt, 0, 0, QString());
    EXPECT_EQ(left, 10);
    EXPECT_EQ(boxTitle, QStringLiteral("Do not show this message again"));
    EXPECT_EQ(outcome.first, QStringLiteral("button 1"));
    EXPECT_EQ(outcome.second, 0);
}

TEST_F(AlertDialogs, TextsAreShownAsTheyAre) {
    const QString title = QStringLiteral("100% done & <b>bold</b>");
    const QString message = QStringLiteral("%@ then %d and %1 <i>x</i>");
    QString shownTitle;
    QString shownMessage;
    QString shownButton;
    bool plain = false;
    after(200, [&] {
        if (auto *dialog = visibleTopLevel<alertDialog>()) {
            auto *t = dialog->findChild<QLabel *>(QStringLiteral("alertTitle"));
            auto *m = dialog->findChild<QLabel *>(QStringLiteral("alertMessage"));
            shownTitle = t->text();
            shownMessage = m->text();
            plain = t->textFormat() == Qt::PlainText && m->textFormat() == Qt::PlainText;
            shownButton = dialog->planButton(0)->text();
            dialog->planButton(0)->click();
        }
    });
    displayAlertDelayed(title, message, QStringLiteral("A & B 50%"), std::nullopt, std::nullopt,
                        alertStyleCritical, 0);
    EXPECT_EQ(shownTitle, title);
    EXPECT_EQ(shownMessage, message);
    EXPECT_TRUE(plain);
    // A lone "&" is doubled so that it shows instead of marking a shortcut.
    EXPECT_EQ(shownButton, QStringLiteral("A && B 50%"));
}

TEST_F(AlertDialogs, SheetReturnsAtOnceAndStaysOnTheWindow) {
    QElapsedTimer clock;
    clock.start();
    displayAlertSheet(QStringLiteral("Stopped"), QStringLiteral("The conversion was stopped."));
    EXPECT_LT(clock.elapsed(), 1000);
    auto *sheet = visibleTopLevel<alertDialog>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->parentWidget(), &window_);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    sheet->planButton(0)->click();
    QApplication::processEvents();
    EXPECT_EQ(visibleTopLevel<alertDialog>(), nullptr);
}

TEST_F(AlertDialogs, EscapeAnswersOnlyAnAlertWithoutAChoice) {
    alertPlan single;
    single.buttons = QStringList{QString()};
    alertDialog one(single, &window_);
    one.show();
    one.reject();
    EXPECT_EQ(one.outcome().button, 0);
    EXPECT_FALSE(one.isVisible());

    alertPlan choice;
    choice.buttons = QStringList{QStringLiteral("Cancel"), QStringLiteral("Quit")};
    alertDialog two(choice, &window_);
    two.show();
    two.reject();
    EXPECT_TRUE(two.isVisible());
    EXPECT_EQ(two.outcome().button, -1);
}

// A question with a Cancel button (the localized "D_Annuler", wherever it stands) is answered
// Cancel by the Escape key; a question without one still waits. Its sign is the question mark;
// an alert that warns shows the warning sign, a critical one the critical sign.
TEST_F(AlertDialogs, EscapeAnswersCancelAndEachAlertShowsItsSign) {
    const QString cancel = localizedStr(QStringLiteral("D_Annuler"));
    const alertPlan quit = displayAlertDelayedPlan(
        QStringLiteral("Quit?"), QString(), QStringLiteral("Quit"), cancel, std::nullopt, 0, 0);
    EXPECT_EQ(quit.cancelButton, 1);
    EXPECT_EQ(alertIconName(quit), QStringLiteral("alertQuestion"));
    alertDialog asking(quit, &window_);
    asking.show();
    QTest::keyClick(&asking, Qt::Key_Escape);
    EXPECT_EQ(asking.outcome().button, 1);
    EXPECT_FALSE(asking.isVisible());
    EXPECT_EQ(displayAlertDelayedAnswer(quit, asking.outcome()), cancel);

    const alertPlan keep =
        displayAlertDelayedCheckboxPlan(QStringLiteral("Exists"), QString(), QStringLiteral("Keep"),
                                        QStringLiteral("Replace"), std::nullopt, 0, 10, QString());
    EXPECT_EQ(keep.cancelButton, -1);

    alertPlan refused;
    refused.buttons = QStringList{QString()};
    refused.warning = true;
    EXPECT_EQ(alertIconName(refused), QStringLiteral("alertWarning"));
    refused.critical = true;
    EXPECT_EQ(alertIconName(refused), QStringLiteral("alertCritical"));
    refused.critical = refused.warning = false;
    EXPECT_EQ(alertIconName(refused), QStringLiteral("alertNote"));
}

TEST_F(AlertDialogs, OpenPanelTakesFilesFoldersOrBoth) {
    const QString dir = freshWorkDir(QStringLiteral("panel"));
    ASSERT_TRUE(writeBytes(dir + QStringLiteral("/a.MTS"), "x"));
    QDir().mkpath(dir + QStringLiteral("/card"));

    // The folder button answers the folder shown, and says so.
    QString named;
    after(300, [&] {
        if (auto *panel = visibleTopLevel<QFileDialog>()) {
            panel->setDirectory(dir + QStringLiteral("/card"));
            if (auto *button = panel->findChild<QPushButton *>(QStringLiteral("folderButton"))) {
                named = button->text();
                button->click();
            }
        }
    });
    std::optional<QStringList> folders = selectFilesFolders(QStringLiteral("Open"), {"mts"});
    ASSERT_TRUE(folders.has_value());
    EXPECT_EQ(*folders, QStringList{dir + QStringLiteral("/card")});
    EXPECT_EQ(named, localizedStr(QStringLiteral("D_panelOpenFolder")));

    // The panel's own Open answers the files selected (once the folder has been read).
    after(300, [&] {
        if (auto *panel = visibleTopLevel<QFileDialog>()) {
            panel->setDirectory(dir);
        }
    });
    after(1500, [&] {
        if (auto *panel = visibleTopLevel<QFileDialog>()) {
            // As a person types the name into the panel's name field.
            if (auto *name = panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))) {
                name->setText(QStringLiteral("a.MTS"));
            }
            QMetaObject::invokeMethod(panel, "accept");
        }
    });
    after(8000, [] {
        if (auto *panel = visibleTopLevel<QFileDialog>()) {
            panel->reject(); // the accept did not take: fail instead of waiting forever
        }
    });
    std::optional<QStringList> files = selectFilesFolders(std::nullopt, {"mts"});
    ASSERT_TRUE(files.has_value());
    EXPECT_EQ(*files, QStringList{dir + QStringLiteral("/a.MTS")});
    QApplication::processEvents();

    // A folder and a file selected together: Open takes both (it no longer enters the folder
    // and drops the file), and so does the folder button.
    for (const bool byFolderButton : {false, true}) {
        named.clear();
        after(300, [&] {
            if (auto *panel = visibleTopLevel<QFileDialog>()) {
                panel->setDirectory(dir);
            }
        });
        after(1500, [&] {
            if (auto *panel = visibleTopLevel<QFileDialog>()) {
                if (auto *name = panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))) {
                    name->setText(QStringLiteral("\"card\" \"a.MTS\""));
                }
                if (byFolderButton) {
                    if (auto *button =
                            panel->findChild<QPushButton *>(QStringLiteral("folderButton"))) {
                        // It answers the selection, and no longer says "this folder".
                        named = button->text();
                        button->click();
                    }
                } else {
                    QMetaObject::invokeMethod(panel, "accept");
                }
            }
        });
        after(8000, [] {
            if (auto *panel = visibleTopLevel<QFileDialog>()) {
                panel->reject();
            }
        });
        std::optional<QStringList> both = selectFilesFolders(std::nullopt, {"mts"});
        ASSERT_TRUE(both.has_value()) << byFolderButton;
        if (byFolderButton) {
            EXPECT_EQ(named, localizedStr(QStringLiteral("D_panelOpenSelection")));
        }
        EXPECT_EQ(*both,
                  QStringList({dir + QStringLiteral("/card"), dir + QStringLiteral("/a.MTS")}))
            << both->join(", ").toStdString();
        QApplication::processEvents();
    }

    // Cancelled: nothing.
    after(300, [] {
        if (auto *panel = visibleTopLevel<QFileDialog>()) {
            panel->reject();
        }
    });
    EXPECT_FALSE(selectFilesFolders(std::nullopt, {"mts"}).has_value());
}

TEST_F(AlertDialogs, FolderChooserStartsInTheVideosFolder) {
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    ASSERT_TRUE(QDir().mkpath(videos));
    QString shownFolder;
    QString shownTitle;
    after(300, [&] {
        if (auto *panel = visibleTopLevel<QFileDialog>()) {
            shownFolder = panel->directory().absolutePath();
            shownTitle = panel->windowTitle();
            panel->reject();
        }
    });
    EXPECT_FALSE(presenter_.chooseFolder(QStringLiteral("Destination")).has_value());
    EXPECT_EQ(shownFolder, QDir(videos).absolutePath());
    EXPECT_EQ(shownTitle, QStringLiteral("Destination"));
}

// The panel's answer for a selection: every existing item once, folders and files alike, and
// the shown folder only when nothing is selected.
TEST_F(AlertDialogs, OpenPanelAnswerOfASelection) {
    const QString dir = freshWorkDir(QStringLiteral("chosen"));
    ASSERT_TRUE(writeBytes(dir + QStringLiteral("/a.MTS"), "x"));
    QDir().mkpath(dir + QStringLiteral("/card"));
    EXPECT_EQ(filesFoldersChosen({dir + "/card/", dir + "/a.MTS", dir + "/card"}, dir),
              QStringList({dir + "/card", dir + "/a.MTS"}));
    EXPECT_EQ(filesFoldersChosen({}, dir + "/card"), QStringList{dir + "/card"});
    EXPECT_EQ(filesFoldersChosen({dir + "/gone.MTS"}, dir), QStringList{dir});
    EXPECT_TRUE(filesFoldersChosen({}, QString()).isEmpty());
}
