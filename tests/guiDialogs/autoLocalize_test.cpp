// The localisation walker over real widgets: which texts it replaces, in which order, the width
// rule for buttons in a layout (their minimum width) and placed by hand (resized by anchor,
// neighbours moved), the keep-frame tag, menus, and a whole Designer form.
#include "dialogs/autoLocalize.h"
#include "dialogs/prefWindow.h"
#include "dialogs/segmentedControl.h"
#include "settings/localisation.h"
#include "testEnv.h"
#include "ui_prefWindow.h"

#include <QAbstractFileIconProvider>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>

#include <gtest/gtest.h>

namespace {

class AutoLocalize : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(loadTranslations(QStringLiteral("en")));
        FVAutoLocalizeSetBundle(true);
        FVAutoLocalizeSetName(QStringLiteral("Localized"));
    }
};

int textWidth(const QWidget *widget, const QString &text) {
    return widget->fontMetrics().horizontalAdvance(text);
}

} // namespace

TEST_F(AutoLocalize, WidthRule) {
    EXPECT_EQ(autoLocalizeButtonWidth(120), 158);
    EXPECT_EQ(autoLocalizeButtonWidth(58), 96);
    EXPECT_EQ(autoLocalizeButtonWidth(0), 96);
}

TEST_F(AutoLocalize, TextsOfEachKindOfWidget) {
    QWidget root;
    auto *layout = new QVBoxLayout(&root);
    auto *label = new QLabel(QStringLiteral("@@D_Annuler"), &root);
    auto *unknown = new QLabel(QStringLiteral("@@D_no_such_key"), &root);
    auto *plain = new QLabel(QStringLiteral("plain"), &root);
    auto *box = new QGroupBox(QStringLiteral("@@prefDstBox"), &root);
    auto *combo = new QComboBox(&root);
    combo->addItems(
        {QStringLiteral("@@D_oui"), QStringLiteral("plain"), QStringLiteral("@@D_keep")});
    auto *edit = new QLineEdit(&root);
    edit->setPlaceholderText(QStringLiteral("@@prefDstPlaceholder"));
    auto *segments = new segmentedControl(&root);
    segments->setSegments({QStringLiteral("btPause"), QStringLiteral("btStop")}, {});
    auto *labelled = new segmentedControl(&root);
    labelled->setSegments({}, {QStringLiteral("@@prefSpeed0"), QStringLiteral("@@prefSpeed1")});
    for (QWidget *w : {static_cast<QWidget *>(label), static_cast<QWidget *>(unknown),
                       static_cast<QWidget *>(plain), static_cast<QWidget *>(box),
                       static_cast<QWidget *>(combo), static_cast<QWidget *>(edit),
                       static_cast<QWidget *>(segments), static_cast<QWidget *>(labelled)}) {
        layout->addWidget(w);
    }
    auto *model = new QStandardItemModel(0, 2, &root);
    model->setHorizontalHeaderLabels({QStringLiteral("@@D_replace"), QStringLiteral("src")});
    auto *table = new QTableView(&root);
    table->setModel(model);
    layout->addWidget(table);

    EXPECT_EQ(FVAutoLocalizeView(&root), 9);
    EXPECT_EQ(label->text(), QStringLiteral("Cancel"));
    // A key without a translation shows as itself.
    EXPECT_EQ(unknown->text(), QStringLiteral("D_no_such_key"));
    EXPECT_EQ(plain->text(), QStringLiteral("plain"));
    EXPECT_EQ(box->title(), QStringLiteral("Default destination folder"));
    EXPECT_EQ(combo->itemText(0), QStringLiteral("Yes"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("plain"));
    EXPECT_EQ(combo->itemText(2), QStringLiteral("Keep"));
    EXPECT_EQ(edit->placeholderText(), QStringLiteral("No folder chosen"));
    // Image segments with empty labels are left as they are.
    EXPECT_EQ(segments->label(0), QString());
    EXPECT_EQ(segments->imageName(1), QStringLiteral("btStop"));
    EXPECT_EQ(labelled->label(1), QStringLiteral("½ rate"));
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Replace"));
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("src"));
    // A second walk finds nothing left to do.
    EXPECT_EQ(FVAutoLocalizeView(&root), 0);
}

TEST_F(AutoLocalize, TabPagesBeforeTheirLabels) {
    QTabWidget tabs;
    auto *page = new QLabel(QStringLiteral("@@D_oui"));
    tabs.addTab(page, QStringLiteral("@@D_keep"));
    tabs.addTab(new QWidget, QStringLiteral("plain"));
    EXPECT_EQ(FVAutoLocalizeView(&tabs), 2);
    EXPECT_EQ(page->text(), QStringLiteral("Yes"));
    EXPECT_EQ(tabs.tabText(0), QStringLiteral("Keep"));
    EXPECT_EQ(tabs.tabText(1), QStringLiteral("plain"));
}

TEST_F(AutoLocalize, ButtonInALayoutGetsTheWidthAsItsMinimum) {
    QWidget row;
    auto *layout = new QHBoxLayout(&row);
    auto *longButton = new QPushButton(QStringLiteral("@@prefUpdate"), &row);
    auto *shortButton = new QPushButton(QStringLiteral("@@D_ok"), &row);
    auto *kept = new QPushButton(QStringLiteral("@@prefUpdate"), &row);
    kept->setProperty("tag", autoLocalizeKeepFrameTag);
    layout->addWidget(longButton);
    layout->addWidget(shortButton);
    layout->addWidget(kept);
    FVAutoLocalizeView(&row);
    const QString text = QStringLiteral("Check for a new version at start-up");
    EXPECT_EQ(longButton->text(), text);
    EXPECT_EQ(longButton->minimumWidth(), textWidth(longButton, text) + 38);
    EXPECT_EQ(shortButton->minimumWidth(), 96);
    EXPECT_EQ(kept->text(), text);
    EXPECT_EQ(kept->minimumWidth(), 0);
    row.show();
    EXPECT_GE(longButton->width(), textWidth(longButton, text) + 38);
}

TEST_F(AutoLocalize, RightAnchoredButtonGrowsLeftAndPushesItsRowLeft) {
    QWidget panel;
    panel.resize(700, 200);
    auto *button = new QPushButton(QStringLiteral("@@prefChooseFolder"), &panel);
    button->setGeometry(600, 150, 60, 30);
    button->setProperty("anchor", QStringLiteral("right"));
    auto *leftNeighbour = new QLabel(QStringLiteral("left"), &panel);
    leftNeighbour->setGeometry(400, 155, 120, 20);
    auto *otherRow = new QLabel(QStringLiteral("above"), &panel);
    otherRow->setGeometry(400, 20, 120, 20);
    auto *rightSide = new QLabel(QStringLiteral("right"), &panel);
    rightSide->setGeometry(670, 150, 20, 30);
    auto *keptNeighbour = new QLabel(QStringLiteral("kept"), &panel);
    keptNeighbour->setGeometry(300, 150, 50, 30);
    keptNeighbour->setProperty("tag", autoLocalizeKeepFrameTag);

    FVAutoLocalizeView(&panel);
    const int width = autoLocalizeButtonWidth(textWidth(button, QStringLiteral("Choose…")));
    const int growth = width - 60;
    EXPECT_EQ(button->geometry(), QRect(660 - width, 150, width, 30));
    // The right edge stays; the neighbour on the same row to the left moves by the growth.
    EXPECT_EQ(leftNeighbour->geometry(), QRect(400 - growth, 155, 120, 20));
    EXPECT_EQ(otherRow->geometry(), QRect(400, 20, 120, 20));
    EXPECT_EQ(rightSide->geometry(), QRect(670, 150, 20, 30));
    EXPECT_EQ(keptNeighbour->geometry(), QRect(300, 150, 50, 30));
}

TEST_F(AutoLocalize, LeftAnchoredButtonGrowsRightAndPushesItsRowRight) {
    QWidget panel;
    panel.resize(700, 200);
    auto *button = new QPushButton(QStringLiteral("@@prefUpdate"), &panel);
    button->setGeometry(20, 40, 100, 30);
    auto *rightNeighbour = new QLineEdit(&panel);
    rightNeighbour->setGeometry(130, 45, 200, 22);
    auto *leftSide = new QLabel(QStringLiteral("x"), &panel);
    leftSide->setGeometry(2, 40, 10, 30);
    auto *fixed = new QPushButton(QStringLiteral("@@prefUpdate"), &panel);
    fixed->setGeometry(20, 120, 100, 30);
    fixed->setProperty("anchor", QStringLiteral("none"));

    FVAutoLocalizeView(&panel);
    const int width = textWidth(button, QStringLiteral("Check for a new version at start-up")) + 38;
    EXPECT_EQ(button->geometry(), QRect(20, 40, width, 30));
    EXPECT_EQ(rightNeighbour->geometry(), QRect(130 + width - 100, 45, 200, 22));
    EXPECT_EQ(leftSide->geometry(), QRect(2, 40, 10, 30));
    // Neither margin flexible: the title changes, the frame does not.
    EXPECT_EQ(fixed->text(), QStringLiteral("Check for a new version at start-up"));
    EXPECT_EQ(fixed->geometry(), QRect(20, 120, 100, 30));
}

TEST_F(AutoLocalize, NeighbourPastTheLeftmostPlaceIsNarrowedInstead) {
    QWidget panel;
    panel.resize(400, 100);
    auto *button = new QPushButton(&panel);
    button->setGeometry(200, 10, 150, 30);
    auto *near = new QLabel(&panel);
    near->setGeometry(160, 10, 30, 30);
    auto *far = new QLabel(&panel);
    far->setGeometry(170, 15, 20, 20);
    // The leftmost neighbour starts at 150 (the button's width) at the most: moving 40 left
    // would put the first at 120, so it stays at 150 and loses 30 of its width.
    autoLocalizeMoveNeighbours(button, 40);
    EXPECT_EQ(near->geometry(), QRect(150, 10, 0, 30));
    EXPECT_EQ(far->geometry(), QRect(150, 15, 0, 20));
}

TEST_F(AutoLocalize, MenusAndWindowTitle) {
    QMenuBar bar;
    QMenu *file = bar.addMenu(QStringLiteral("@@menuFile"));
    file->addAction(QStringLiteral("@@menuQuit"));
    file->addSeparator();
    QMenu *sub = file->addMenu(QStringLiteral("@@menuHelp"));
    sub->addAction(QStringLiteral("@@menuBugreport"));
    QAction *plain = file->addAction(QStringLiteral("plain"));
    const int replaced = FVAutoLocalizeMenuBar(&bar);
    EXPECT_EQ(file->actions().at(0)->text(), localizedStr(QStringLiteral("menuQuit")));
    EXPECT_EQ(sub->title(), localizedStr(QStringLiteral("menuHelp")));
    EXPECT_EQ(sub->actions().at(0)->text(), localizedStr(QStringLiteral("menuBugreport")));
    EXPECT_EQ(plain->text(), QStringLiteral("plain"));
    EXPECT_EQ(replaced, 4);

    QWidget window;
    window.setWindowTitle(QStringLiteral("@@prefTitle"));
    EXPECT_EQ(FVAutoLocalizeWindow(&window), 1);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Fluxaro Preferences"));
}

// The preferences form is designed with keys only: in French, nothing of it is left as a key
// and no text is left in English.
TEST_F(AutoLocalize, DesignerFormInFrench) {
    ASSERT_TRUE(loadTranslations(QStringLiteral("fr")));
    prefWindow window(nullptr);
    EXPECT_GT(FVAutoLocalizeWindow(&window), 20);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Préférences de Fluxaro"));
    for (const QLabel *label : window.findChildren<QLabel *>()) {
        EXPECT_FALSE(label->text().startsWith(QLatin1String("@@")))
            << label->objectName().toStdString();
    }
    for (const QAbstractButton *button : window.findChildren<QAbstractButton *>()) {
        EXPECT_FALSE(button->text().startsWith(QLatin1String("@@")))
            << button->objectName().toStdString();
    }
    for (const QGroupBox *box : window.findChildren<QGroupBox *>()) {
        EXPECT_FALSE(box->title().startsWith(QLatin1String("@@")))
            << box->objectName().toStdString();
    }
    EXPECT_EQ(window.form()->prefCloseBt->text(), QStringLiteral("Fermer"));
    EXPECT_EQ(window.form()->prefCloseBt->minimumWidth(), 96);
    EXPECT_EQ(window.outputFormat()->label(0), QStringLiteral("Tel quel"));
    EXPECT_EQ(window.form()->prefProresPopup->itemText(0), QStringLiteral("Aucun encodeur ProRes"));
    ASSERT_TRUE(loadTranslations(QStringLiteral("en")));
}

// With the French table, Qt's own dialogs speak French too: every text and tooltip of the open
// panel (labels, buttons, the toolbar's tooltips, the file type filter) differs from its
// English form, and the standard Cancel button reads "Annuler".
TEST_F(AutoLocalize, QtsOwnDialogsInFrench) {
    const auto texts = [] {
        QStringList seen;
        QFileDialog dialog(nullptr, QString(), QDir::homePath());
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setNameFilter(localizedStr(QStringLiteral("D_panelMovies")) +
                             QStringLiteral(" (*.mts)"));
        for (const QWidget *widget : dialog.findChildren<QWidget *>()) {
            if (const auto *label = qobject_cast<const QLabel *>(widget)) {
                seen << label->text();
            } else if (const auto *button = qobject_cast<const QAbstractButton *>(widget)) {
                seen << button->text() << button->toolTip();
            } else if (const auto *combo = qobject_cast<const QComboBox *>(widget);
                       combo != nullptr && combo->objectName() == QLatin1String("fileTypeCombo")) {
                seen << combo->currentText();
            }
        }
        seen.removeAll(QString());
        return seen;
    };
    EXPECT_FALSE(loadQtTranslations(QStringLiteral("en")));
    const QStringList english = texts();
    ASSERT_TRUE(loadTranslations(QStringLiteral("fr")));
    ASSERT_TRUE(loadQtTranslations(localizedStr(QStringLiteral("D_Langue"))));
    const QStringList french = texts();
    ASSERT_EQ(english.size(), french.size());
    for (qsizetype i = 0; i < english.size(); ++i) {
        EXPECT_NE(english[i], french[i]) << english[i].toStdString();
    }
    // The kind of a folder in the panel's list (a text Debian's Qt translation lacks).
    EXPECT_EQ(QAbstractFileIconProvider().type(QFileInfo(QDir::homePath())),
              QStringLiteral("Dossier"));
    EXPECT_TRUE(french.contains(QStringLiteral("Annuler")) ||
                french.contains(QStringLiteral("&Annuler")))
        << french.join(QStringLiteral(" | ")).toStdString();
    loadQtTranslations(QStringLiteral("en"));
    loadTranslations(QStringLiteral("en"));
}
