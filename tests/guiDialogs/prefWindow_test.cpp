// The preferences sheet against the real store: filled from it, the controls that follow each
// other, the ProRes choice from the codec check, the folder choice, and written back on close
// (also by Escape) so that a new window shows the same choices; the colour themes (focus
// rings, check boxes, Qt's file dialogs left alone).
#include "dialogs/alertDialogs.h"
#include "dialogs/colorThemes.h"
#include "dialogs/prefWindow.h"
#include "platform/constants.h"
#include "settings/appPrefs.h"
#include "settings/prefs.h"
#include "testEnv.h"
#include "ui_prefWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QMainWindow>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

#include <gtest/gtest.h>

namespace {

const QStringList proresChoices{QStringLiteral("ProRes 4444   (imco:ap4h:appl)"),
                                QStringLiteral("ProRes 422 HQ   (imco:apch:appl)"),
                                QStringLiteral("ProRes 422 Proxy   (imco:apco:appl)"),
                                QStringLiteral("ProRes 422 LT   (imco:apcs:appl)")};

// A folder chooser that answers a fixed folder.
class folderPresenter : public alertPresenter {
public:
    alertOutcome present(const alertPlan &) override { return {}; }
    std::optional<QString> chooseFolder(const QString &title) override {
        askedTitle = title;
        return answer;
    }
    std::optional<QString> answer;
    QString askedTitle;
};

class PrefWindow : public ::testing::Test {
protected:
    void SetUp() override {
        const QString config = freshWorkDir(
            QStringLiteral("config-") +
            QString::fromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        qputenv("XDG_CONFIG_HOME", config.toUtf8());
        prefReload();
        appWriteAllPrefs();
        setAIC(0);
        setPRORES(1);
        main_.resize(500, 300);
        main_.show();
    }
    void TearDown() override {
        setAlertPresenter(nullptr);
        prefReload();
    }

    QMainWindow main_;
    plainTextField mainDst_;
};

} // namespace

TEST_F(PrefWindow, RoundTripThroughTheStore) {
    const QString dst = freshWorkDir(QStringLiteral("movies"));
    prefWrite(QStringLiteral("prefCheckMatrix"), 2);
    prefWrite(QStringLiteral("prefSpeed"), 1);
    prefWrite(QStringLiteral("prefSurrond"), 1);
    prefWrite(QStringLiteral("prefProres"), QStringLiteral("apcs"));
    prefWrite(QStringLiteral("prefColor"), 2);
    prefWrite(QStringLiteral("update"), 1);
    prefWrite(QStringLiteral("prefDefautDstPathStr"), dst);
    {
        prefWindow window(&main_);
        window.setMainDestinationField(&mainDst_);
        window.setThemeWindow(&main_);
        window.prefProresFill(proresChoices);
        window.prefFill();
        Ui::prefWindow *ui = window.form();
        EXPECT_EQ(window.outputFormat()->selectedSegment(), 2);
        EXPECT_EQ(window.frameRateMode()->selectedSegment(), 1);
        EXPECT_TRUE(ui->prefSurrondBt->isChecked());
        // No stored choice: the pieces of spanned recordings are joined.
        EXPECT_TRUE(ui->prefJoinBt->isChecked());
        EXPECT_TRUE(window.joinButton()->isOn());
        EXPECT_EQ(ui->prefProresPopup->currentText(), QStringLiteral("ProRes 422 LT"));
        EXPECT_EQ(window.proresItemTitle(), proresChoices[3]);
        EXPECT_EQ(window.colour()->selectedSegment(), 2);
        EXPECT_EQ(ui->colorImgView->property("imageName").toString(), QStringLiteral("color2"));
        EXPECT_EQ(main_.styleSheet(), colorThemeStyleSheet(2, QApplication::palette()));
        EXPECT_TRUE(ui->updatePrefBt->isChecked());
        EXPECT_EQ(ui->prefDefautDstPathStr->text(), dst);
        EXPECT_TRUE(ui->prefDefautDstPathStr->isReadOnly());
        EXPECT_EQ(mainDst_.text(), dst);

        // Change everything, then close with Escape: that writes too.
        window.iba_menuPref();
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(window.windowModality(), Qt::WindowModal);
        window.outputFormat()->segmentButton(0)->click();
        window.frameRateMode()->segmentButton(2)->click();
        ui->prefSurrondBt->setChecked(false);
        ui->prefJoinBt->setChecked(false);
        ui->prefProresPopup->setCurrentIndex(3); // the last: ProRes 4444
        window.colour()->segmentButton(3)->click();
        ui->updatePrefBt->setChecked(false);
        window.reject();
        EXPECT_FALSE(window.isVisible());
    }
    prefReload();
    EXPECT_EQ(prefRead2(QStringLiteral("prefCheckMatrix")), QVariant(0));
    EXPECT_EQ(prefRead2(QStringLiteral("prefSpeed")), QVariant(2));
    EXPECT_EQ(prefRead2(QStringLiteral("prefSurrond")), QVariant(0));
    EXPECT_EQ(prefRead2(QStringLiteral("prefJoinSpanned")), QVariant(0));
    EXPECT_EQ(prefRead(QStringLiteral("prefProres")), QStringLiteral("ap4h"));
    EXPECT_EQ(prefRead2(QStringLiteral("prefColor")), QVariant(3));
    EXPECT_EQ(prefRead2(QStringLiteral("update")), QVariant(0));
    EXPECT_EQ(prefRead(QStringLiteral("prefDefautDstPathStr")), dst);

    prefWindow again(&main_);
    again.prefProresFill(proresChoices);
    again.prefFill();
    EXPECT_EQ(again.outputFormat()->selectedSegment(), 0);
    EXPECT_EQ(again.frameRateMode()->selectedSegment(), 2);
    EXPECT_FALSE(again.form()->prefSurrondBt->isChecked());
    EXPECT_FALSE(again.form()->prefJoinBt->isChecked());
    EXPECT_FALSE(again.joinButton()->isOn());
    EXPECT_EQ(again.proresItemTitle(), proresChoices[0]);
    EXPECT_EQ(again.colour()->selectedSegment(), 3);
}

// The variants by their names, from the lightest to the richest whatever order the codec check
// gives; with nothing stored, or a type that is not installed, HQ is chosen (the export's own
// default), not whichever came last.
TEST_F(PrefWindow, ProResVariantsByNameInOrderWithHqChosen) {
    const QStringList apple{QStringLiteral("Apple ProRes 4444   (imco:ap4h:appl)"),
                            QStringLiteral("Apple ProRes 422 HQ   (imco:apch:appl)"),
                            QStringLiteral("Apple ProRes 422 Proxy   (imco:apco:appl)"),
                            QStringLiteral("Apple ProRes 422 LT   (imco:apcs:appl)")};
    for (const QString &stored : {QString(), QStringLiteral("apxx")}) {
        SCOPED_TRACE(stored.toStdString());
        prefWrite(QStringLiteral("prefProres"), stored);
        prefWindow window(&main_);
        window.prefProresFill(apple);
        window.prefFill();
        QStringList shown;
        for (int i = 0; i < window.form()->prefProresPopup->count(); ++i) {
            shown << window.form()->prefProresPopup->itemText(i);
        }
        EXPECT_EQ(shown, QStringList({"ProRes 422 Proxy", "ProRes 422 LT", "ProRes 422 HQ",
                                      "ProRes 4444"}));
        EXPECT_EQ(window.form()->prefProresPopup->currentText(), QStringLiteral("ProRes 422 HQ"));
        EXPECT_EQ(window.proresItemTitle(), apple[1]);
    }
    // A 422 encoder, should one be listed, takes its place between LT and HQ.
    EXPECT_EQ(
        proresChoicesInOrder(
            {apple[1], QStringLiteral("Apple ProRes 422   (imco:apcn:appl)"), apple[3]}),
        QStringList({apple[3], QStringLiteral("Apple ProRes 422   (imco:apcn:appl)"), apple[1]}));
}

TEST_F(PrefWindow, StoredFormatFollowsTheCodecsThatExist) {
    prefWrite(QStringLiteral("prefCheckMatrix"), 1);
    {
        prefWindow window(&main_);
        window.prefProresFill(proresChoices);
        window.prefFill();
        EXPECT_EQ(window.outputFormat()->selectedSegment(), 2);
        EXPECT_FALSE(window.outputFormat()->isSegmentEnabled(1));
        EXPECT_TRUE(window.outputFormat()->isSegmentEnabled(2));
        EXPECT_EQ(window.form()->aicImg->property("imageName").toString(),
                  QStringLiteral("iconImovieNo"));
        EXPECT_EQ(window.form()->codecAicNoStr->text(), QStringLiteral("not available"));
        EXPECT_TRUE(window.form()->codecPrNoStr->text().isEmpty());
        EXPECT_FALSE(window.form()->prefProresBox->isHidden());
    }
    setPRORES(0);
    prefWindow window(&main_);
    window.prefProresFill({});
    window.prefFill();
    EXPECT_EQ(window.outputFormat()->selectedSegment(), 0);
    EXPECT_FALSE(window.outputFormat()->isSegmentEnabled(2));
    EXPECT_EQ(window.form()->fcpImg->property("imageName").toString(), QStringLiteral("iconFcpNo"));
    EXPECT_EQ(window.form()->fpsHalfImg->property("imageName").toString(),
              QStringLiteral("fpsHalfNo"));
    // The designed entry is gone even without encoders.
    EXPECT_EQ(window.form()->prefProresPopup->count(), 0);
}

TEST_F(PrefWindow, RewrapTakesTheHalfRateAwayAndGivesTheSoundChoice) {
    prefWrite(QStringLiteral("prefCheckMatrix"), 2);
    prefWrite(QStringLiteral("prefSpeed"), 1);
    prefWindow window(&main_);
    window.prefProresFill(proresChoices);
    window.prefFill();
    Ui::prefWindow *ui = window.form();
    EXPECT_EQ(ui->prefSpeedCaptionsStr->text(), QStringLiteral("Half frame rate"));
    EXPECT_TRUE(ui->prefSurrondBox->isHidden());

    window.outputFormat()->segmentButton(0)->click();
    EXPECT_EQ(window.frameRateMode()->selectedSegment(), 0);
    EXPECT_FALSE(window.frameRateMode()->isSegmentEnabled(1));
    EXPECT_FALSE(ui->prefSurrondBox->isHidden());
    EXPECT_TRUE(ui->prefProresBox->isHidden());
    EXPECT_EQ(ui->prefHalfImg->property("imageName").toString(), QStringLiteral("fpsHalfNo"));
    EXPECT_EQ(ui->prefSpeedCaptionsStr->text(), QStringLiteral("Normal speed"));

    window.outputFormat()->segmentButton(2)->click();
    EXPECT_EQ(window.frameRateMode()->selectedSegment(), 0);
    EXPECT_TRUE(window.frameRateMode()->isSegmentEnabled(1));
    EXPECT_EQ(ui->prefHalfImg->property("imageName").toString(), QStringLiteral("fpsHalf"));
    EXPECT_FALSE(ui->prefProresBox->isHidden());

    // A stored half rate under a stored rewrap is not left selected on a disabled segment.
    prefWrite(QStringLiteral("prefCheckMatrix"), 0);
    prefWrite(QStringLiteral("prefSpeed"), 1);
    prefWindow rewrap(&main_);
    rewrap.prefFill();
    EXPECT_EQ(rewrap.frameRateMode()->selectedSegment(), 0);
}

TEST_F(PrefWindow, OneProResEntryKeepsItsBoxHidden) {
    prefWrite(QStringLiteral("prefCheckMatrix"), 2);
    prefWrite(QStringLiteral("prefProres"), QStringLiteral("apxx"));
    prefWindow window(&main_);
    window.prefProresFill({proresChoices[1]});
    window.prefFill();
    EXPECT_EQ(window.outputFormat()->selectedSegment(), 2);
    EXPECT_TRUE(window.form()->prefProresBox->isHidden());
    // No entry of the stored type: the HQ entry, here the only one.
    EXPECT_EQ(window.proresItemTitle(), proresChoices[1]);
}

TEST_F(PrefWindow, FolderChoiceFillsTheEmptyFieldAndIsStored) {
    folderPresenter presenter;
    setAlertPresenter(&presenter);
    prefWrite(QStringLiteral("prefDefautDstPathStr"), QString());
    prefWindow window(&main_);
    window.setMainDestinationField(&mainDst_);
    window.prefFill();
    EXPECT_TRUE(window.form()->prefDefautDstPathStr->text().isEmpty());

    const QString chosen = freshWorkDir(QStringLiteral("chosen"));
    presenter.answer = chosen;
    EXPECT_TRUE(window.iba_selectFolderBt(folderButton::mainWindow));
    EXPECT_EQ(presenter.askedTitle,
              QStringLiteral("Choose the folder where the converted movies go."));
    EXPECT_EQ(mainDst_.text(), chosen);
    EXPECT_EQ(window.form()->prefDefautDstPathStr->text(), chosen);
    EXPECT_EQ(prefRead(QStringLiteral("prefDefautDstPathStr")), chosen);

    // From the sheet's own button: its field changes, the main window's keeps its folder.
    const QString other = freshWorkDir(QStringLiteral("other"));
    presenter.answer = other;
    EXPECT_TRUE(window.iba_selectFolderBt(folderButton::prefWindow));
    EXPECT_EQ(window.form()->prefDefautDstPathStr->text(), other);
    EXPECT_EQ(mainDst_.text(), chosen);
    EXPECT_EQ(prefRead(QStringLiteral("prefDefautDstPathStr")), other);

    // Cancelled: nothing changes.
    presenter.answer.reset();
    EXPECT_FALSE(window.iba_selectFolderBt(folderButton::prefWindow));
    EXPECT_EQ(prefRead(QStringLiteral("prefDefautDstPathStr")), other);
}

TEST_F(PrefWindow, ClosingStoresTheSoundChoiceEvenWhenItWasAbsent) {
    prefDelete(QStringLiteral("prefSurrond"));
    prefWindow window(&main_);
    window.prefFill();
    window.iba_menuPref();
    window.iba_menuPref();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(prefRead2(QStringLiteral("prefSurrond")), QVariant(0));
}

TEST(ColorThemes, DesktopThemeFollowsThePalette) {
    QPalette light;
    light.setColor(QPalette::Window, QColor(240, 240, 240));
    light.setColor(QPalette::WindowText, QColor(20, 20, 20));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    EXPECT_FALSE(paletteIsDark(light));
    EXPECT_TRUE(paletteIsDark(dark));
    EXPECT_TRUE(colorThemeStyleSheet(0, light).contains(QStringLiteral("#f0f0f0")));
    EXPECT_TRUE(colorThemeStyleSheet(0, dark).contains(QStringLiteral("#1e1e1e")));
    EXPECT_FALSE(colorThemeUsesHudImages(0, light));
    EXPECT_TRUE(colorThemeUsesHudImages(0, dark));
    EXPECT_NE(colorThemeStyleSheet(1, dark), colorThemeStyleSheet(2, dark));
    EXPECT_EQ(colorThemeStyleSheet(1, dark), colorThemeStyleSheet(1, light));
    EXPECT_EQ(colorThemeImageName(9), QStringLiteral("color0"));

    // A window in the desktop theme changes with the desktop's palette.
    QWidget window;
    colorThemeKeeper keeper(&window);
    keeper.setTheme(0);
    const QPalette before = QApplication::palette();
    QApplication::setPalette(dark);
    QApplication::processEvents();
    EXPECT_EQ(window.styleSheet(), colorThemeStyleSheet(0, dark));
    keeper.setTheme(1);
    QApplication::setPalette(light);
    QApplication::processEvents();
    EXPECT_EQ(window.styleSheet(), colorThemeStyleSheet(1, light));
    QApplication::setPalette(before);
}

namespace {

QImage grabbed(QWidget *widget) {
    QApplication::processEvents();
    return widget->grab().toImage();
}

// A window in a theme, with a marked panel (the application's own widgets) holding two
// buttons and a check box, shown and active so that focus is real.
struct themedWindow {
    explicit themedWindow(int theme, const QPalette &desktop) {
        window.setStyleSheet(colorThemeStyleSheet(theme, desktop));
        auto *panel = new QWidget(&window);
        colorThemeMark(panel);
        auto *layout = new QVBoxLayout(panel);
        first = new QPushButton(QStringLiteral("Convert"), panel);
        second = new QPushButton(QStringLiteral("Remove"), panel);
        box = new QCheckBox(QStringLiteral("Keep multichannel sound"), panel);
        layout->addWidget(first);
        layout->addWidget(second);
        layout->addWidget(box);
        auto *outer = new QVBoxLayout(&window);
        outer->addWidget(panel);
        window.resize(320, 200);
        window.show();
        window.activateWindow();
        QApplication::setActiveWindow(&window);
        QApplication::processEvents();
    }
    QWidget window;
    QPushButton *first = nullptr;
    QPushButton *second = nullptr;
    QCheckBox *box = nullptr;
};

} // namespace

// Under every theme (the desktop's one light and dark) the keyboard's button shows a ring: the
// focused button is drawn differently from the same button without focus. The check box of a
// dark theme stands out from the window: its box differs clearly from the window's colour.
TEST(ColorThemes, FocusRingAndVisibleCheckBoxesInEveryTheme) {
    QPalette light;
    light.setColor(QPalette::Window, QColor(240, 240, 240));
    light.setColor(QPalette::WindowText, QColor(20, 20, 20));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    const QList<std::pair<int, QPalette>> themes{
        {0, light}, {0, dark}, {1, light}, {2, light}, {3, light}};
    for (const auto &[theme, desktop] : themes) {
        SCOPED_TRACE(theme);
        themedWindow w(theme, desktop);
        w.second->setFocus();
        ASSERT_TRUE(w.second->hasFocus());
        const QImage unfocused = grabbed(w.first);
        w.first->setFocus();
        ASSERT_TRUE(w.first->hasFocus());
        EXPECT_NE(grabbed(w.first), unfocused);

        if (colorThemeUsesHudImages(theme, desktop)) {
            // The indicator sits at the box's left; the window's colour is its background.
            const QImage box = grabbed(w.box);
            const int windowLightness = w.box->palette().color(QPalette::Window).lightness();
            int strongest = 0;
            for (int y = 0; y < box.height(); ++y) {
                for (int x = 0; x < std::min(box.width(), 24); ++x) {
                    strongest = std::max(
                        strongest, std::abs(QColor(box.pixel(x, y)).lightness() - windowLightness));
                }
            }
            EXPECT_GT(strongest, 60);
        }
    }
}

// The theme's sheet styles the application's own widgets only: a file dialog opened over a
// themed window looks exactly as over a plain one (its toolbar keeps its icons), while the
// window's own buttons take the theme.
TEST(ColorThemes, FileDialogsKeepTheirOwnLook) {
    const auto toolbar = [](QWidget *parent) {
        QFileDialog dialog(parent, QStringLiteral("Open"), QDir::homePath());
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.resize(600, 400);
        dialog.show();
        QApplication::processEvents();
        QImage picture;
        if (auto *back = dialog.findChild<QToolButton *>(QStringLiteral("backButton"))) {
            picture = grabbed(back);
        }
        return picture;
    };
    QWidget plain;
    plain.show();
    const QImage plainBack = toolbar(&plain);
    ASSERT_FALSE(plainBack.isNull());
    themedWindow themed(2, QApplication::palette());
    EXPECT_EQ(toolbar(&themed.window), plainBack);

    QWidget unmarked;
    auto *button = new QPushButton(QStringLiteral("Convert"), &unmarked);
    unmarked.show();
    button->resize(themed.second->size());
    EXPECT_NE(grabbed(button), grabbed(themed.second));
}
