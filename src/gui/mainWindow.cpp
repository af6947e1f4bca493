#include "mainWindow.h"

#include "batchStop.h"
#include "batchWords.h"
#include "cardOffers.h"
#include "controller/batchProgress.h"
#include "controller/jobRecord.h"
#include "dialogs/accessibility.h"
#include "dialogs/autoLocalize.h"
#include "dialogs/colorThemes.h"
#include "ecran.h"
#include "frontApi/alerts.h"
#include "helpMenu.h"
#include "helpWindow.h"
#include "importCardDialog.h"
#include "platform/constants.h"
#include "platform/infoPlist.h"
#include "platform/log.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "ui_mainWindow.h"
#include "update/updateInstall.h"
#include "updateWidgets.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <algorithm>

namespace {

/// Takes the drags of local files on a widget as the drop area does (copy only, local paths
/// only) and hands their paths on.
class fileDropFilter : public QObject {
public:
    fileDropFilter(QObject *parent, std::function<void(const QStringList &)> dropped)
        : QObject(parent), dropped_(std::move(dropped)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDragMoveEvent *>(event);
            if (!dragNDropLocalPaths(drag->mimeData()) ||
                (drag->possibleActions() & Qt::CopyAction) == 0) {
                drag->ignore();
                return true;
            }
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
            return true;
        }
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            const std::optional<QStringList> paths = dragNDropLocalPaths(drop->mimeData());
            if (!paths) {
                drop->ignore();
                return true;
            }
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            dropped_(*paths);
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    std::function<void(const QStringList &)> dropped_;
};

} // namespace

fluxaroMainWindow::fluxaroMainWindow(QWidget *parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::mainWindow>()) {
    auto *central = new QWidget(this);
    ui_->setupUi(central);
    setCentralWidget(central);
    // The theme's style sheet is the window's own widgets' only (not Qt's file dialogs).
    colorThemeMark(central);
    colorThemeMark(menuBar());
    setObjectName(QStringLiteral("myWindow"));
    setWindowTitle(appNameStr());
    ui_->batchView->setHidden(true);
    ui_->dndImgView->setCaptionLabel(ui_->dndCaptionStr);
    ui_->dndImgView->setActionLabel(ui_->dragndropActionStr);
    ui_->dndImgView->setDelegate(this);
    wireControls();
    buildMenus();
    offers_ =
        new cardOffers(ui_->dndImgView, [this](const QString &card) { showImportCard(card); });
    cards_ = new cardWatch(infoPlistExtensions(), this);
    cards_->hooks.mounted = [this](const cardMountedValue &value) { offers_->mounted(value); };
    cards_->hooks.gone = [this](const cardGoneValue &value) { offers_->gone(value); };
    cards_->hooks.stateChanged = [this](cardWatchState state) { showCardWatchState(state); };
    resize(560, 360);
}

fluxaroMainWindow::~fluxaroMainWindow() {
    ui_->dndImgView->setDelegate(nullptr);
    ui_->encBatchTableView->setModel(nullptr);
    model_.reset();
    controller_.reset();
}

dragNDropView *fluxaroMainWindow::dropView() const {
    return ui_->dndImgView;
}

QWidget *fluxaroMainWindow::batchView() const {
    return ui_->batchView;
}

segmentedControl *fluxaroMainWindow::stopControl() const {
    return ui_->encStopBt;
}

QAction *fluxaroMainWindow::action(const QString &name) const {
    return findChild<QAction *>(name);
}

void fluxaroMainWindow::useHudImages(bool hud) {
    // The pause/play/stop segments keep their command (the image's name) in the theme's look.
    for (segmentedControl *control : {ui_->encStopBt, ui_->analysisStopBt}) {
        for (int32_t i = 0; i < control->segmentCount(); ++i) {
            QString image = control->imageName(i);
            if (image.endsWith(QLatin1String("Hud"))) {
                image.chop(3);
            }
            control->setImageName(i, hud ? image + QStringLiteral("Hud") : image);
        }
    }
}

void fluxaroMainWindow::wireControls() {
    // Pause (Resume while paused) and Stop are commands, each named by what it does now: a
    // screen reader and the tooltip say "Resume" once the pause segment shows play.
    for (segmentedControl *control : {ui_->encStopBt, ui_->analysisStopBt}) {
        control->setKind(segmentKind::command);
        connect(control, &segmentedControl::segmentImageChanged, this,
                [control](int segment, const QString &image) {
                    control->setSegmentName(segment, runCommandName(image));
                });
    }
    ui_->encStopBt->setSegments({QStringLiteral("btPause"), QStringLiteral("btStop")}, {});
    ui_->analysisStopBt->setSegments({QStringLiteral("btStop")}, {});
    for (segmentedControl *control : {ui_->encStopBt, ui_->analysisStopBt}) {
        control->setImageSize(QSize(18, 18));
        control->setHidden(true);
    }
    ui_->analysisStopBt->setSegmentName(0, localizedStr(QStringLiteral("btStopAnalysis")));

    goBt_ = std::make_unique<widgetButton>(ui_->batchEncGoBt);
    // The progress bar shows while a batch runs (the Go button is on), and its place stays kept
    // so that the row doesn't jump: an empty bar on an idle window reads as work stuck at 0 %.
    {
        QSizePolicy kept = ui_->encTaskProgress->sizePolicy();
        kept.setRetainSizeWhenHidden(true);
        ui_->encTaskProgress->setSizePolicy(kept);
        ui_->encTaskProgress->setVisible(false);
        goBt_->onChanged = [this](bool on) { ui_->encTaskProgress->setVisible(on); };
    }
    // The bar is the batch's, with its text naming the clip and its phase (showBatchProgress).
    ui_->encTaskProgress->setRange(0, batchBarSteps);
    ui_->encTaskProgress->setTextVisible(true);
    analysisWheel_ = std::make_unique<widgetSpinner>(ui_->analysisWheelProgInd);
    percent_ = std::make_unique<widgetTextField>(ui_->encProgressPercentStr);
    action_ = std::make_unique<widgetTextField>(ui_->encProgressActionStr);
    destination_ = std::make_unique<widgetTextField>(ui_->encDstPathStr);
    analysisCaption_ = std::make_unique<widgetTextField>(ui_->analysisCaptionStr);

    // The preferences sheet holds the defaults of new rows; the controller is given them as a
    // value whenever they change (giveChoices).
    prefs_ = new prefWindow(this);
    prefs_->setMainDestinationField(destination_.get());
    prefs_->setThemeWindow(this);
    connect(prefs_->themeKeeper(), &colorThemeKeeper::themeApplied, this,
            [this](int, bool hud) { useHudImages(hud); });

    // The update sheet (the help window is made when first asked for: it loads the media
    // framework).
    updateSheet_ = new updateSheetDialog(this);
    updateSheet_->onCheckingChanged = [this](bool checking) { showUpdateChecking(checking); };
    updateSheet_->onAppInstalled = [this](const appReplacement &replacement) {
        // The new copy starts once this process has ended; quitting asks as usual while a
        // conversion runs.
        QProcess::startDetached(
            QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"),
             updateRestartCommandStr(replacement, QCoreApplication::applicationPid())});
        iba_menuQuit();
    };

    appControls c;
    c.batchEncGoBt = goBt_.get();
    c.encStopBt = ui_->encStopBt;
    c.encTaskProgress = &toolProgress_;
    c.encProgressPercentStr = percent_.get();
    c.encProgressActionStr = action_.get();
    c.dropArea = ui_->dndImgView;
    c.analysisWheelProgInd = analysisWheel_.get();
    c.analysisCaptionStr = analysisCaption_.get();
    c.analysisStopBt = ui_->analysisStopBt;
    c.batchDrawer = &drawer_;
    controller_ = std::make_unique<appController>(c);
    connect(prefs_, &prefWindow::choicesChanged, this, [this] { giveChoices(); });
    connect(ui_->encDstPathStr, &QLineEdit::textChanged, this, [this] { giveChoices(); });
    controller_->hooks.destinationChosen = [this](const QString &folder) {
        destination_->setText(folder);
    };
    giveChoices();

    model_ = std::make_unique<batchTableModel>(controller_->whichArrayController());
    QTableView *table = ui_->encBatchTableView;
    table->setModel(model_.get());
    auto *segments = new batchSegmentDelegate(table);
    // Every cell's delegate: the segment cells, and the clear focus frame of the others.
    table->setItemDelegate(segments);
    table->setItemDelegateForColumn(batchTableModel::colOut, segments);
    table->setItemDelegateForColumn(batchTableModel::colFps, segments);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab goes on to the buttons below; the arrows move inside the table.
    table->setTabKeyNavigation(false);
    table->installEventFilter(segments);
    // Files dropped on the table are taken as on the drop area.
    table->viewport()->setAcceptDrops(true);
    table->viewport()->installEventFilter(new fileDropFilter(
        table, [this](const QStringList &paths) { controller_->dragNDropPerformDrag(paths); }));
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(batchTableModel::thumbnailHeight + 10);
    table->setIconSize(
        QSize(batchTableModel::thumbnailHeight * 16 / 9, batchTableModel::thumbnailHeight));
    QHeaderView *header = table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    // The clip's name takes what the other columns leave, and never less than a readable
    // width: on a narrow window the table scrolls sideways instead (fitClipColumn).
    header->setSectionResizeMode(batchTableModel::colSource, QHeaderView::Interactive);
    // A reason can be long: the status cell shows its start (its tooltip says it all) and the
    // clip's name keeps its room.
    header->setSectionResizeMode(batchTableModel::colStatus, QHeaderView::Interactive);
    header->resizeSection(batchTableModel::colStatus, statusColumnWidth);
    header->setMinimumSectionSize(28);
    for (int column : {int(batchTableModel::colOut), int(batchTableModel::colFps)}) {
        header->setSectionResizeMode(column, QHeaderView::Fixed);
        header->resizeSection(column, batchSegmentDelegate::cellWidth);
    }
    connect(header, &QHeaderView::sectionResized, this, [this](int section) {
        if (section != batchTableModel::colSource) {
            fitClipColumn();
        }
    });
    table->viewport()->installEventFilter(this);
    segments->segmentClicked = [this](int row, int column, int segment) {
        batchList *list = controller_->whichArrayController();
        // A row being converted keeps the choices it was started with.
        if (controller_->isBatchRunning() &&
            row == controller_->encBatchInprogressRowIdentification()) {
            return;
        }
        if (column == batchTableModel::colOut) {
            list->setFormat(row, segment);
        } else {
            list->setRateMode(row, segment);
        }
        list->setSelectedIndex(row);
        controller_->iba_outSpeedCell();
    };
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { syncSelection(); });
    // A selected row that ends converted offers Convert Again.
    connect(model_.get(), &QAbstractItemModel::dataChanged, this, [this] { syncSelection(); });

    controller_->hooks.thumbnailMade = [this](const QString &, const QString &) {
        model_->refreshAll();
    };
    controller_->hooks.proresItemTitle = [this] { return prefs_->proresItemTitle(); };
    // A tool that can't be started is heard as well as said.
    controller_->hooks.beep = [] { QApplication::beep(); };
    controller_->hooks.batchProgress = [this](const batchProgressValue &value) {
        showBatchProgress(value);
    };
    controller_->hooks.jobOutcome = [this](const jobOutcomeValue &outcome) {
        model_->setOutcome(outcome);
    };
    controller_->hooks.analysisVerdict = [this](const analysisVerdictValue &verdict) {
        showVerdict(verdict);
    };
    controller_->hooks.batchSummary = [](const batchSummaryValue &summary) {
        showBatchSummary(summary);
    };
    controller_->hooks.summaryShown = true;
    // The pause segment shows play while the run is paused (by the person, or for the analysis
    // of a drop), in the look the theme gives it.
    controller_->hooks.conversionPaused = [this](bool paused) {
        ui_->encStopBt->setImageName(0, runToggleImage(paused, ui_->encStopBt->imageName(0)));
        if (controller_->isBatchRunning()) {
            showBatchProgress(lastProgress_);
        }
    };

    connect(ui_->batchEncGoBt, &QPushButton::clicked, this,
            [this] { controller_->iba_batchGoBt(); });
    connect(ui_->batchEncRemoveBt, &QPushButton::clicked, this, [this] { removeSelectedRow(); });
    connect(ui_->batchEncRemoveAllBt, &QPushButton::clicked, this, [this] { removeAllRows(); });
    connect(ui_->encDstBt, &QPushButton::clicked, this, [this] { chooseDestination(); });
    connect(ui_->encDstRevealBt, &QPushButton::clicked, this,
            [this] { controller_->iba_OpenFolder(appController::revealSender::batchView); });
    connect(ui_->encStopBt, &segmentedControl::segmentClicked, this, [this](int segment) {
        ui_->encStopBt->setSelectedSegment(-1);
        if (segment == 0) {
            if (controller_->isConversionPaused()) {
                controller_->resume();
            } else {
                controller_->pause();
            }
        } else if (segment == 1 && confirmStop()) {
            // Stop ends work that may have run for an hour: it asks first.
            controller_->stop();
        }
        // The title says at once what was asked ("paused", "stops after this clip").
        if (controller_->isBatchRunning()) {
            showBatchProgress(lastProgress_);
        }
    });
    connect(ui_->analysisStopBt, &segmentedControl::segmentClicked, this, [this](int) {
        ui_->analysisStopBt->setSelectedSegment(-1);
        controller_->iba_analysisStopBt();
    });
}

void fluxaroMainWindow::giveChoices() {
    if (!controller_) {
        return;
    }
    batchChoices choices;
    choices.destination = ui_->encDstPathStr->text();
    choices.format = std::max(0, prefs_->outputFormat()->selectedSegment());
    choices.rate = std::max(0, prefs_->frameRateMode()->selectedSegment());
    choices.surround = prefs_->surroundButton()->isOn();
    choices.join = prefs_->joinButton()->isOn();
    controller_->setChoices(choices);
}

bool fluxaroMainWindow::confirmStop() {
    QString clip;
    if (controller_->isJobConverting()) {
        const batchList *list = controller_->whichArrayController();
        clip = list->row(controller_->encBatchInprogressRowIdentification()).name;
    }
    const batchStopQuestion question = batchStopQuestionFor(clip, controller_->stopsAfterJob());
    alertPresenter *presenter = getAlertPresenter();
    // Without a presenter nobody can be asked: the button's own meaning stands.
    const batchStopChoice choice =
        presenter == nullptr ? batchStopChoice::stopNow
                             : batchStopChoiceOf(question, presenter->present(question.plan));
    logStr(QStringLiteral("stop asked          : %1")
               .arg(choice == batchStopChoice::stopNow         ? QStringLiteral("now")
                    : choice == batchStopChoice::afterThisClip ? QStringLiteral("after the clip")
                                                               : QStringLiteral("go on")));
    switch (choice) {
    case batchStopChoice::stopNow:
        return true;
    case batchStopChoice::afterThisClip:
        controller_->encStopAfterJob();
        return false;
    case batchStopChoice::keepGoing:
        return false;
    }
    return false;
}

int fluxaroMainWindow::clipColumnMinimumWidth() const {
    return ui_->encBatchTableView->fontMetrics().horizontalAdvance(QStringLiteral("00000000.MTS")) +
           16;
}

void fluxaroMainWindow::fitClipColumn() {
    QTableView *table = ui_->encBatchTableView;
    QHeaderView *header = table->horizontalHeader();
    int others = 0;
    for (int column = 0; column < header->count(); ++column) {
        if (column != batchTableModel::colSource && !header->isSectionHidden(column)) {
            others += header->sectionSize(column);
        }
    }
    const int width = std::max(clipColumnMinimumWidth(), table->viewport()->width() - others);
    if (header->sectionSize(batchTableModel::colSource) != width) {
        header->resizeSection(batchTableModel::colSource, width);
    }
}

bool fluxaroMainWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == ui_->encBatchTableView->viewport() && event->type() == QEvent::Resize) {
        fitClipColumn();
    }
    return QMainWindow::eventFilter(watched, event);
}

void fluxaroMainWindow::syncSelection() {
    const QModelIndexList rows = ui_->encBatchTableView->selectionModel()->selectedRows();
    // A refused source's row is not one of the batch's.
    batchList *list = controller_->whichArrayController();
    const int selected =
        rows.isEmpty() || model_->isRefusedRow(rows.first().row()) ? -1 : rows.first().row();
    list->setSelectedIndex(selected);
    if (QAction *again = action(QStringLiteral("menuConvertAgain")); again != nullptr) {
        again->setEnabled(selected >= 0 && list->row(selected).state == rowState::converted);
    }
    if (QAction *undo = action(QStringLiteral("menuUndoRemove")); undo != nullptr) {
        undo->setEnabled(controller_->canUndoRemove());
    }
}

void fluxaroMainWindow::convertSelectedAgain() {
    syncSelection();
    if (controller_->encBatchConvertAgain()) {
        syncSelection();
    }
}

void fluxaroMainWindow::removeSelectedRow() {
    const QModelIndexList rows = ui_->encBatchTableView->selectionModel()->selectedRows();
    if (!rows.isEmpty() && model_->isRefusedRow(rows.first().row())) {
        model_->removeRefused(rows.first().row());
        return;
    }
    syncSelection();
    controller_->encBatchRemove(true);
    syncSelection();
}

void fluxaroMainWindow::removeAllRows() {
    controller_->encBatchRemoveAll(true);
    syncSelection();
    if (controller_->whichArrayController()->isEmpty()) {
        model_->clearRefused();
    }
}

void fluxaroMainWindow::showVerdict(const analysisVerdictValue &verdict) {
    if (verdict.accepted) {
        model_->removeRefusedSource(verdict.src);
        return;
    }
    // A drop that adds nothing says why in its alert; the sources refused beside those taken,
    // and by their analysis, get a row that says why.
    if (!controller_->isAnalysing() || verdict.refusal == sourceRefusal::analysisStopped) {
        return;
    }
    model_->addRefused(verdict);
    openDrawer();
}

void fluxaroMainWindow::showBatchSummary(const batchSummaryValue &summary) {
    const QString title = localizedStr(summary.stopped ? QStringLiteral("D_action_stop")
                                                       : QStringLiteral("D_fin_GUI"));
    const QString words = batchSummaryWords(summary);
    if (summary.failed > 0 || summary.skipped > 0 || summary.stopped) {
        displayAlertSheetWarning(title, words);
    } else {
        displayAlertSheet(title, words);
    }
}

namespace {

// Import and Convert: the copy goes into the batch as a drop does; once its analysis has ended
// (a spanned recording's pieces joined), the batch goes as Convert would, the hook the window had
// put back first.
void convertImportedCopy(fluxaroMainWindow *window, const QString &copyFolder) {
    appController *controller = window->controller();
    const std::function<void()> previous = controller->hooks.analysisEnded;
    controller->hooks.analysisEnded = [window, controller, previous] {
        if (previous) {
            previous();
        }
        QTimer::singleShot(0, window, [controller, previous] {
            controller->hooks.analysisEnded = previous;
            if (!controller->isBatchRunning()) {
                controller->iba_batchGoBt();
            }
        });
    };
    controller->draggedFiles({copyFolder});
}

} // namespace

// One dialog for the window, kept while it lives (an import runs on in it when it is hidden
// behind the window).
void fluxaroMainWindow::showImportCard(const QString &card) {
    auto *dialog = findChild<importCardDialog *>();
    if (dialog == nullptr) {
        dialog = new importCardDialog(this);
        dialog->setObjectName(QStringLiteral("importCardDialog"));
        QObject::connect(dialog, &importCardDialog::convertCopy, this,
                         [this](const QString &copy) { convertImportedCopy(this, copy); });
    }
    if (!card.isEmpty() && !dialog->running()) {
        dialog->setCard(card);
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void fluxaroMainWindow::showCardWatchState(cardWatchState state) {
    QAction *line = action(QStringLiteral("menuCardWatchOff"));
    const QString text = cardWatchMenuText(state);
    line->setText(text);
    line->setVisible(!text.isEmpty());
}

void fluxaroMainWindow::buildMenus() {
    auto add = [this](QMenu *menu, const char *name, const QString &key,
                      const QKeySequence &shortcut, auto &&slot) {
        auto *a = new QAction(localizedStr(key), this);
        a->setObjectName(QString::fromLatin1(name));
        if (!shortcut.isEmpty()) {
            a->setShortcut(shortcut);
        }
        connect(a, &QAction::triggered, this, slot);
        menu->addAction(a);
        return a;
    };
    QMenu *file = menuBar()->addMenu(localizedStr(QStringLiteral("menuFile")));
    add(file, "menuOpen", QStringLiteral("menuOpen"), QKeySequence(Qt::CTRL | Qt::Key_O),
        [this] { controller_->iba_menuOpen(); });
    add(file, "menuOpenFolder", QStringLiteral("menuOpenFolder"),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), [this] { openFolderCommand(); });
    add(file, "menuImportCard", QStringLiteral("menuImportCard"),
        QKeySequence(Qt::CTRL | Qt::Key_I), [this] { showImportCard(); });
    // Said only while camera cards are not noticed; nothing to choose.
    QAction *watchOff =
        add(file, "menuCardWatchOff", QStringLiteral("cardWatchOff"), QKeySequence(), [] {});
    watchOff->setEnabled(false);
    watchOff->setVisible(false);
    file->addSeparator();
    add(file, "menuPref", QStringLiteral("menuPref"), QKeySequence(Qt::CTRL | Qt::Key_Comma),
        [this] { prefs_->iba_menuPref(); });
    file->addSeparator();
    QAction *quit = add(file, "menuQuit", QStringLiteral("menuQuit"),
                        QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { iba_menuQuit(); });
    quit->setMenuRole(QAction::QuitRole);

    QMenu *batch = menuBar()->addMenu(localizedStr(QStringLiteral("menuBatch")));
    QAction *go = add(batch, "menuGo", QStringLiteral("menuGo"),
                      QKeySequence(Qt::CTRL | Qt::Key_Return), [this] {
                          if (ui_->batchEncGoBt->isEnabled()) {
                              controller_->iba_batchGoBt();
                          }
                      });
    go->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    QAction *remove = add(batch, "menuRemove", QStringLiteral("menuRemove"), QKeySequence::Delete,
                          [this] { removeSelectedRow(); });
    // Delete belongs to the table: a text field keeps its own Delete key.
    remove->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    ui_->encBatchTableView->addAction(remove);
    add(batch, "menuRemoveAll", QStringLiteral("menuRemoveAll"), QKeySequence(),
        [this] { removeAllRows(); });
    QAction *undo = add(batch, "menuUndoRemove", QStringLiteral("menuUndoRemove"),
                        QKeySequence(QKeySequence::Undo), [this] {
                            if (controller_->encBatchUndoRemove()) {
                                model_->refreshAll();
                            }
                            syncSelection();
                        });
    undo->setEnabled(false);
    QAction *again = add(batch, "menuConvertAgain", QStringLiteral("menuConvertAgain"),
                         QKeySequence(), [this] { convertSelectedAgain(); });
    again->setEnabled(false);
    // The table's own menu: what applies to the row under the pointer.
    QTableView *table = ui_->encBatchTableView;
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table, &QWidget::customContextMenuRequested, this,
            [this, table, again, remove](const QPoint &at) {
                const QModelIndex index = table->indexAt(at);
                if (!index.isValid()) {
                    return;
                }
                table->selectRow(index.row());
                QMenu menu(table);
                menu.addAction(again);
                menu.addAction(remove);
                menu.exec(table->viewport()->mapToGlobal(at));
            });
    batch->addSeparator();
    QAction *drawer = add(batch, "menuDrawer", QStringLiteral("menuDrawer"),
                          QKeySequence(Qt::CTRL | Qt::Key_B), [this] { iba_drawerToggle(); });
    (void)drawer;
    add(batch, "menuReveal", QStringLiteral("menuReveal"), QKeySequence(Qt::CTRL | Qt::Key_R),
        [this] { controller_->iba_OpenFolder(appController::revealSender::batchView); });

    QMenu *help = menuBar()->addMenu(localizedStr(QStringLiteral("menuHelpTitle")));
    add(help, "menuHelp", QStringLiteral("menuHelp"), QKeySequence::HelpContents,
        [this] { iba_menuHelp(); });
    add(help, "menuCheckUpdates", QStringLiteral("menuCheckUpdates"), QKeySequence(),
        [this] { iba_checkForUpdates(); });
    help->addSeparator();
    add(help, "menuSite", QStringLiteral("menuSite"), QKeySequence(),
        [this] { iba_openUrl(this); });
    add(help, "menuBugreport", QStringLiteral("menuBugreport"), QKeySequence(),
        [this] { iba_mail(this, true, ui_->appVersionStr->text()); });
    add(help, "menuContact", QStringLiteral("menuContact"), QKeySequence(),
        [this] { iba_mail(this, false, ui_->appVersionStr->text()); });
    help->addSeparator();
    QAction *debug = add(help, "menuDebug", QStringLiteral("menuDebug1"), QKeySequence(),
                         [this] { iba_menuDebugToggle(); });
    debug->setCheckable(true);
    debug->setChecked(getDEBUG());
    debug->setText(
        localizedStr(getDEBUG() ? QStringLiteral("menuDebug0") : QStringLiteral("menuDebug1")));
    add(help, "menuLogsFolder", QStringLiteral("menuLogsFolder"), QKeySequence(),
        [this] { openLogsFolder(); });
    add(help, "menuLogdetails", QStringLiteral("menuLogdetails"), QKeySequence(),
        [] { QDesktopServices::openUrl(QUrl::fromLocalFile(logDetailsPathStr())); });
    add(help, "menuLogresume", QStringLiteral("menuLogresume"), QKeySequence(),
        [] { QDesktopServices::openUrl(QUrl::fromLocalFile(logResumePathStr())); });
}

void fluxaroMainWindow::nameControls() {
    // Names for what has no words of its own, in the window's language.
    ui_->encStopBt->setAccessibleName(localizedStr(QStringLiteral("a11yRunControls")));
    ui_->analysisStopBt->setAccessibleName(localizedStr(QStringLiteral("a11yAnalysisControls")));
    ui_->encTaskProgress->setAccessibleName(localizedStr(QStringLiteral("a11yBatchProgress")));
    ui_->analysisWheelProgInd->setAccessibleName(
        localizedStr(QStringLiteral("a11yAnalysisProgress")));
    ui_->encDstLabel->setBuddy(ui_->encDstPathStr);
    ui_->encDstPathStr->setAccessibleName(accessibleNameOfLabel(ui_->encDstLabel->text()));
    ui_->encBatchTableView->setAccessibleName(localizedStr(QStringLiteral("a11yBatchTable")));
    for (int32_t segment = 0; segment < ui_->encStopBt->segmentCount(); ++segment) {
        ui_->encStopBt->setSegmentName(segment, runCommandName(ui_->encStopBt->imageName(segment)));
    }
    ui_->analysisStopBt->setSegmentName(0, localizedStr(QStringLiteral("btStopAnalysis")));
}

void fluxaroMainWindow::startupWindowSteps() {
    // Idle drop area.
    ui_->dndImgView->setImageName(QStringLiteral("dndSd"));
    ui_->dndImgView->setCaptionHidden(false);
    ui_->dndImgView->setActionTextHidden(true);
    analysisWheel_->setAnimating(false);
    logStr(QStringLiteral("dnd                 - post"));
    FVAutoLocalizeSetBundle(true);
    FVAutoLocalizeSetName(QStringLiteral("Localized"));
    FVAutoLocalizeWindow(this);
    FVAutoLocalizeWindow(prefs_);
    logStr(QStringLiteral("localisations       - post"));
    ui_->appVersionFloatStr->setText(infoPlistStr(QStringLiteral("CFBundleShortVersionString")));
    ui_->appVersionStr->setText(localizedStr(QStringLiteral("VERSION")));
    // The conversion's fields start cleared, Go disabled, both stop buttons hidden.
    goBt_->setEnabled(false);
    action_->setText(QString());
    percent_->setText(QString());
    ui_->encStopBt->setHidden(true);
    ui_->analysisStopBt->setHidden(true);
    ui_->analysisCaptionStr->clear();
    ui_->encTaskProgress->setValue(0);
    ui_->encTaskProgress->setFormat(QString());
    FVAutoLocalizeMenuBar(menuBar());
    nameControls();
    prefs_->prefProresFillFromCodecCheck();
    prefs_->prefFill();
}

void fluxaroMainWindow::dragNDropPerformDrag(dragNDropView *view, const QStringList &paths) {
    (void)view;
    controller_->dragNDropPerformDrag(paths);
}

bool windowDrawer::isOpen() const {
    return window_->isDrawerOpen();
}

void windowDrawer::open() {
    window_->openDrawer();
}

void windowDrawer::close() {
    window_->closeDrawer();
}

bool fluxaroMainWindow::isDrawerOpen() const {
    return !ui_->batchView->isHidden();
}

bool fluxaroMainWindow::clientMayMoveWindows() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

void fluxaroMainWindow::placeForDrawer() {
    if (!clientMayMoveWindows() || !isVisible()) {
        return;
    }
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.isEmpty()) {
        return;
    }
    const double firstHeight = screens.first()->geometry().height();
    QList<QRectF> rects;
    for (QScreen *screen : screens) {
        rects << ecranFlip(screen->availableGeometry(), firstHeight);
    }
    const QRectF frame = ecranFlip(frameGeometry(), firstHeight);
    // The desktop's panels are outside the available areas already: no menu bar to allow for.
    const std::optional<QRectF> placed =
        ecranFrame(frame, QStringLiteral("b"), drawerHeight, rects, 0);
    if (placed && *placed != frame) {
        move(ecranFlip(*placed, firstHeight).topLeft().toPoint());
    }
}

QSize fluxaroMainWindow::largestClientSize() const {
    const QScreen *where = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (where == nullptr) {
        return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    }
    // The frame the window manager adds: known once shown, else a usual title bar and border.
    QSize frame = frameGeometry().size() - size();
    if (!isVisible() || frame.isEmpty()) {
        frame = QSize(2 * 4, 32 + 4);
    }
    return where->availableGeometry().size() - frame;
}

void fluxaroMainWindow::keepOnScreen() {
    const QScreen *where = screen();
    if (where == nullptr || !isVisible()) {
        return;
    }
    relayoutNow();
    const QRect area = where->availableGeometry();
    const QSize largest = largestClientSize();
    if (width() > largest.width() || height() > largest.height()) {
        resize(std::min(width(), largest.width()), std::min(height(), largest.height()));
    }
    if (!clientMayMoveWindows()) {
        return;
    }
    const QRect frame = frameGeometry();
    QPoint at = frame.topLeft();
    at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - frame.width())));
    at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - frame.height())));
    if (at != frame.topLeft()) {
        move(at);
    }
}

void fluxaroMainWindow::setDropCaptionsWrapped(bool wrapped) {
    // A wrapped label gives its layout a height for each width, and Qt's layouts then keep the
    // drop panel at that height: it could not shrink for the table. On one line (cut when too
    // long, not widening the window) the drop panel gives up its height first.
    for (QLabel *caption : {ui_->dndCaptionStr, ui_->dragndropActionStr}) {
        caption->setWordWrap(wrapped);
        caption->setSizePolicy(wrapped ? QSizePolicy::Preferred : QSizePolicy::Ignored,
                               QSizePolicy::Preferred);
    }
}

void fluxaroMainWindow::openDrawer() {
    if (isDrawerOpen()) {
        return;
    }
    placeForDrawer();
    // The table takes the room. The drop area gives up its height first, down to a strip that
    // still takes a drop; the table keeps two rows in view and scrolls the others. All of it
    // before the panel shows: a layout that saw the panel beside the wrapped captions would
    // keep their height as the window's minimum, taller than a small screen.
    ui_->mainLayout->setStretch(0, 0);
    ui_->mainLayout->setStretch(1, 1);
    ui_->dndImgView->setMinimumHeight(dropStripHeight);
    ui_->dndImgView->setMaximumHeight(150);
    setDropCaptionsWrapped(false);
    QTableView *table = ui_->encBatchTableView;
    table->setMinimumHeight(table->horizontalHeader()->sizeHint().height() +
                            2 * table->verticalHeader()->defaultSectionSize() +
                            2 * table->frameWidth());
    ui_->batchView->setHidden(false);
    relayoutNow();
    const QSize largest = largestClientSize();
    resize(std::min(std::max(width(), 900), largest.width()),
           std::min(height() + drawerHeight, largest.height()));
    keepOnScreen();
}

void fluxaroMainWindow::closeDrawer() {
    if (!isDrawerOpen()) {
        return;
    }
    const int panel = ui_->batchView->height();
    ui_->batchView->setHidden(true);
    ui_->mainLayout->setStretch(0, 1);
    ui_->dndImgView->setMaximumHeight(QWIDGETSIZE_MAX);
    ui_->dndImgView->setMinimumHeight(150);
    setDropCaptionsWrapped(true);
    relayoutNow();
    resize(width(), std::max(minimumSizeHint().height(), height() - panel));
    keepOnScreen();
}

void fluxaroMainWindow::relayoutNow() {
    // The layouts take their changes at once, not at the next turn of the event loop, so the
    // sizes read next (the window's minimum above all) are the new ones.
    if (centralWidget() != nullptr && centralWidget()->layout() != nullptr) {
        centralWidget()->layout()->invalidate();
        centralWidget()->layout()->activate();
    }
    if (layout() != nullptr) {
        layout()->invalidate();
        layout()->activate();
    }
}

void fluxaroMainWindow::iba_drawerToggle() {
    if (isDrawerOpen()) {
        closeDrawer();
    } else {
        openDrawer();
    }
}

void fluxaroMainWindow::iba_menuDebugToggle() {
    QAction *debug = action(QStringLiteral("menuDebug"));
    const bool on = !getDEBUG();
    setDEBUG(on);
    if (debug != nullptr) {
        debug->setChecked(on);
        debug->setText(
            localizedStr(on ? QStringLiteral("menuDebug0") : QStringLiteral("menuDebug1")));
    }
    logStr(QStringLiteral("menuDebug           : %1").arg(on ? 1 : 0));
}

void fluxaroMainWindow::openFolderCommand() {
    logStr(QStringLiteral("(drag'n'drop) menu open…"));
    alertPresenter *presenter = getAlertPresenter();
    if (!getOPENPERM() || presenter == nullptr) {
        return;
    }
    const std::optional<QString> folder =
        presenter->chooseFolder(localizedStr(QStringLiteral("selectFileStr")));
    if (folder && !folder->isEmpty()) {
        controller_->draggedFiles({*folder});
    }
}

void fluxaroMainWindow::openLogsFolder() {
    QDir().mkpath(logFolderPathStr());
    QDesktopServices::openUrl(QUrl::fromLocalFile(logFolderPathStr()));
}

void fluxaroMainWindow::chooseDestination() {
    prefs_->iba_selectFolderBt(folderButton::mainWindow);
}

void fluxaroMainWindow::applicationDidFinishLaunching() {
    logStr(QStringLiteral("updatePrefBt        ? %1").arg(prefRead(QStringLiteral("update"))));
    updateSheet_->checkForUpdates(false);
    cards_->start();
}

void fluxaroMainWindow::iba_menuHelp() {
    if (help_ == nullptr) {
        help_ = new helpWindow(this);
    }
    help_->iba_menuHelp();
}

void fluxaroMainWindow::showUpdateChecking(bool checking) {
    // The menu item says the check runs (and can't be asked twice); so does the version row.
    if (QAction *check = action(QStringLiteral("menuCheckUpdates")); check != nullptr) {
        check->setEnabled(!checking);
        check->setText(localizedStr(checking ? QStringLiteral("menuCheckingUpdates")
                                             : QStringLiteral("menuCheckUpdates")));
    }
    const QString version = infoPlistStr(QStringLiteral("CFBundleShortVersionString"));
    ui_->appVersionFloatStr->setText(
        checking ? localizedStr(QStringLiteral("versionChecking")).arg(version) : version);
}

void fluxaroMainWindow::iba_checkForUpdates() {
    updateSheet_->checkForUpdates(true);
}

void fluxaroMainWindow::quitWithoutAsking(const QString &why) {
    if (quitting_) {
        return;
    }
    logStr(QStringLiteral("quit                : %1").arg(why));
    controller_->iba_menuQuit(false);
    quitting_ = true;
    if (help_ != nullptr && help_->isVisible()) {
        help_->iba_menuHelp();
    }
    QWidget::close();
    QCoreApplication::exit(0);
}

void fluxaroMainWindow::iba_menuQuit() {
    if (quitAsked_) {
        return;
    }
    if (sessionEnding_) {
        quitWithoutAsking(QStringLiteral("the session ends"));
        return;
    }
    quitAsked_ = true;
    const bool mayQuit = controller_->iba_menuQuit();
    quitAsked_ = false;
    if (!mayQuit) {
        return;
    }
    quitting_ = true;
    // The help movie stops with the window (the Help command hides a shown help window).
    if (help_ != nullptr && help_->isVisible()) {
        help_->iba_menuHelp();
    }
    QWidget::close();
    QCoreApplication::exit(0);
}

void fluxaroMainWindow::showBatchProgress(const batchProgressValue &given) {
    // A copy: the title is said again from it when the run controls change (paused, stops).
    const batchProgressValue value = given;
    lastProgress_ = value;
    if (value.phase == batchPhase::finished || value.phase == batchPhase::stopped) {
        setWindowTitle(appNameStr());
        ui_->encTaskProgress->setToolTip(QString());
        ui_->encTaskProgress->setFormat(QString());
        ui_->encTaskProgress->setAccessibleDescription(QString());
        return;
    }
    ui_->encTaskProgress->setValue(static_cast<int>(value.fraction * batchBarSteps));
    const int32_t out = value.position > 0 ? value.format : 0;
    // The variant's name without its codec tags ("Apple ProRes 422 HQ   (imco:apch:appl)").
    const QString prores = prefs_->proresItemTitle().section(QLatin1Char('('), 0, 0).trimmed();
    ui_->encTaskProgress->setFormat(batchProgressBarText(value, out, prores));
    // The bar's words for a screen reader too (its value alone is a bare percentage).
    ui_->encTaskProgress->setAccessibleDescription(ui_->encTaskProgress->text());
    static const QStringList phaseKeys = {
        QStringLiteral("D_phase_analysing"), QStringLiteral("D_phase_converting"),
        QStringLiteral("D_phase_exporting"), QStringLiteral("D_phase_checking")};
    const QString phase = localizedStr(phaseKeys.value(static_cast<int>(value.phase)));
    QString text = QStringLiteral("%1 % · ").arg(static_cast<int>(value.fraction * 100.0));
    if (value.position > 0) {
        text +=
            QStringLiteral("%1/%2 ").arg(value.position).arg(std::max(value.total, value.position));
    }
    text += phase;
    // What the person asked is said where the batch's state is read: paused, stopping.
    if (controller_->isConversionPaused()) {
        text += QStringLiteral(" · ") + localizedStr(QStringLiteral("D_phase_paused"));
    }
    if (controller_->stopsAfterJob()) {
        text += QStringLiteral(" · ") + localizedStr(QStringLiteral("D_phase_stopAfter"));
    }
    if (value.secondsLeft >= 0) {
        text +=
            QStringLiteral(" · ") +
            localizedStr(QStringLiteral("D_phase_left")).arg(batchDurationStr(value.secondsLeft));
    }
    setWindowTitle(QStringLiteral("%1 — %2").arg(text, appNameStr()));
    ui_->encTaskProgress->setToolTip(text);
}

void fluxaroMainWindow::closeEvent(QCloseEvent *event) {
    if (quitting_) {
        event->accept();
        return;
    }
    // Closing the window is quitting, with the same question while a conversion runs; when
    // the session ends, without the question.
    logStr(QStringLiteral("applicationShouldTerminateAfterLastWindowClosed ?"));
    event->ignore();
    if (sessionEnding_) {
        quitWithoutAsking(QStringLiteral("the session ends"));
        return;
    }
    QTimer::singleShot(0, this, [this] { iba_menuQuit(); });
}
