#include "dialogs/prefWindow.h"

#include "controller/rowAllowance.h"
#include "dialogs/images.h"
#include "frontApi/alerts.h"
#include "movie/QTCodecs.h"
#include "platform/constants.h"
#include "platform/log.h"
#include "platform/utilsFile.h"
#include "settings/appPrefs.h"
#include "settings/localisation.h"
#include "settings/prefs.h"
#include "ui_prefWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int pictureSide = 20;

// A picture by image name; the name is kept in the property "imageName" ("" when cleared).
void showImage(QLabel *label, const QString &name) {
    label->setProperty("imageName", name);
    if (name.isEmpty()) {
        label->clear();
        return;
    }
    label->setPixmap(
        imageNamed(name).pixmap(QSize(pictureSide, pictureSide), label->devicePixelRatioF()));
}

// A stored value, or nothing when absent or the empty text.
QVariant storedValue(const QString &key) {
    const QVariant value = prefRead2(key);
    if (!value.isValid() || (value.typeId() == QMetaType::QString && value.toString().isEmpty())) {
        return {};
    }
    return value;
}

// The four-letter codec type of a ProRes entry title ("... (imco:apch:appl)"), or nothing.
std::optional<QString> proresTypeOf(const QString &title) {
    const qsizetype start = title.indexOf(QLatin1String("imco:"));
    if (start < 0) {
        return std::nullopt;
    }
    const qsizetype end = title.indexOf(QLatin1String(":appl"), start + 5);
    if (end < 0) {
        return std::nullopt;
    }
    return title.mid(start + 5, end - start - 5);
}

// A segment's tooltip and accessible description: why it can't be chosen, or nothing.
void explainSegment(segmentedControl *control, int32_t segment, const QString &why) {
    if (QToolButton *button = control->segmentButton(segment)) {
        button->setToolTip(why.isEmpty() ? control->label(segment) : why);
        button->setAccessibleDescription(why);
    }
}

} // namespace

prefWindow::prefWindow(QWidget *mainWindow)
    : QDialog(mainWindow), ui_(std::make_unique<Ui::prefWindow>()), mainWindow_(mainWindow),
      surround_(nullptr), join_(nullptr) {
    ui_->setupUi(this);
    // The groups scroll when the screen is shorter than they are (a scale of 2 on a laptop);
    // the bottom row, with Close, stays in view below them.
    {
        QVBoxLayout *column = ui_->prefColumn;
        QLayoutItem *bottom = column->takeAt(column->count() - 1);
        auto *content = new QWidget;
        content->setObjectName(QStringLiteral("prefContent"));
        content->setLayout(column);
        scroll_ = new QScrollArea(this);
        scroll_->setObjectName(QStringLiteral("prefScroll"));
        scroll_->setWidget(content);
        scroll_->setWidgetResizable(true);
        scroll_->setFrameShape(QFrame::NoFrame);
        scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        auto *outer = new QVBoxLayout(this);
        outer->setContentsMargins(0, 0, column->contentsMargins().right(),
                                  column->contentsMargins().bottom());
        outer->addWidget(scroll_, 1);
        if (QLayout *row = bottom != nullptr ? bottom->layout() : nullptr; row != nullptr) {
            // Out of the column first: a layout with a parent is not taken by another.
            row->setParent(nullptr);
            row->setContentsMargins(column->contentsMargins().left(), 0, 0, 0);
            outer->addLayout(row);
        } else {
            delete bottom;
        }
    }
    colorThemeMark(this);
    surround_ = widgetButton(ui_->prefSurrondBt);
    join_ = widgetButton(ui_->prefJoinBt);
    setWindowModality(mainWindow != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    ui_->colorImgView->setProperty("imageName", QString());
    // Each group of exclusive choices is named by its label (the colours by their box).
    ui_->prefOutLabel->setBuddy(ui_->prefCheckMatrix);
    ui_->prefSpeedLabel->setBuddy(ui_->prefSpeed);

    connect(ui_->prefCheckMatrix, &segmentedControl::segmentClicked, this, [this] {
        iba_prefCaptions(ui_->prefCheckMatrix);
        Q_EMIT choicesChanged();
    });
    connect(ui_->prefSpeed, &segmentedControl::segmentClicked, this, [this] {
        iba_prefCaptions(ui_->prefSpeed);
        Q_EMIT choicesChanged();
    });
    for (QCheckBox *box : {ui_->prefSurrondBt, ui_->prefJoinBt}) {
        connect(box, &QCheckBox::toggled, this, [this] { Q_EMIT choicesChanged(); });
    }
    connect(ui_->colorSeg, &segmentedControl::segmentClicked, this, [this] { iba_setColor(); });
    connect(ui_->prefDefautDstBt, &QPushButton::clicked, this,
            [this] { iba_selectFolderBt(folderButton::prefWindow); });
    connect(ui_->prefCloseBt, &QPushButton::clicked, this, [this] { iba_menuPrefClose(); });
}

prefWindow::~prefWindow() = default;

segmentedControl *prefWindow::outputFormat() const {
    return ui_->prefCheckMatrix;
}

segmentedControl *prefWindow::frameRateMode() const {
    return ui_->prefSpeed;
}

segmentedControl *prefWindow::colour() const {
    return ui_->colorSeg;
}

void prefWindow::setThemeWindow(QWidget *window) {
    delete theme_;
    theme_ = window != nullptr ? new colorThemeKeeper(window) : nullptr;
}

QStringList proresChoicesInOrder(const QStringList &choices) {
    // From the lightest to the richest, as a person compares them.
    static const QStringList order{QStringLiteral("apco"), QStringLiteral("apcs"),
                                   QStringLiteral("apcn"), QStringLiteral("apch"),
                                   QStringLiteral("ap4h"), QStringLiteral("ap4x")};
    const auto rank = [](const QString &title) {
        const std::optional<QString> type = proresTypeOf(title);
        const qsizetype at = type ? order.indexOf(*type) : -1;
        return at < 0 ? order.size() : at;
    };
    QStringList sorted = choices;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&rank](const QString &a, const QString &b) { return rank(a) < rank(b); });
    return sorted;
}

QString proresChoiceName(const QString &title) {
    // "Apple ProRes 422 HQ   (imco:apch:appl)": the name before the component's code, without
    // its maker.
    QString name = title;
    const qsizetype code = name.indexOf(QLatin1String("(imco:"));
    if (code > 0) {
        name = name.left(code);
    }
    name = name.trimmed();
    if (name.startsWith(QLatin1String("Apple "))) {
        name = name.mid(6);
    }
    return name.isEmpty() ? title : name;
}

void prefWindow::prefProresFill(const QStringList &choices) {
    QComboBox *popup = ui_->prefProresPopup;
    // Each entry shows the variant's name and keeps the codec check's whole text (with its
    // "imco:<type>:appl" code) as its data, which the store and the export choice read.
    for (const QString &choice : proresChoicesInOrder(choices)) {
        popup->addItem(proresChoiceName(choice), choice);
        popup->setCurrentIndex(popup->count() - 1);
    }
    if (popup->count() > 0) {
        popup->removeItem(0);
    }
    selectProresType(QString());
}

void prefWindow::selectProresType(const QString &type) {
    // The stored type; else (none stored, or not installed) ProRes 422 HQ, the export's own
    // default; else the last entry.
    QComboBox *popup = ui_->prefProresPopup;
    if (popup->count() == 0) {
        return;
    }
    int found = -1;
    for (const QString &wanted : {type, QStringLiteral("apch")}) {
        for (int i = 0; i < popup->count() && found < 0 && !wanted.isEmpty(); ++i) {
            if (proresEntryTitle(i).contains(QStringLiteral("imco:") + wanted +
                                             QStringLiteral(":appl"))) {
                found = i;
            }
        }
    }
    popup->setCurrentIndex(found >= 0 ? found : popup->count() - 1);
}

QString prefWindow::proresEntryTitle(int index) const {
    const QVariant data = ui_->prefProresPopup->itemData(index);
    return data.isValid() ? data.toString() : ui_->prefProresPopup->itemText(index);
}

void prefWindow::prefProresFillFromCodecCheck() {
    prefProresFill(codecsProresChoices());
}

QString prefWindow::proresItemTitle() const {
    const QComboBox *popup = ui_->prefProresPopup;
    return popup->count() > 0 ? proresEntryTitle(popup->currentIndex()) : QString();
}

void prefWindow::prefFill() {
    segmentedControl *out = ui_->prefCheckMatrix;
    // 1. Output format and the codecs that are missing.
    const QVariant storedOut = storedValue(QStringLiteral("prefCheckMatrix"));
    const bool aic = getAIC() != 0;
    const bool prores = getPRORES() != 0;
    // The formats a new row may have, by the rule the batch's rows follow.
    const rowAllowanceValue allowance =
        rowAllowance({outRewrap, fpsNormal, std::nullopt, aic, prores});
    for (const int32_t format : {int32_t(outAic), int32_t(outProres)}) {
        const bool allowed = allowance.formatAllowed(format);
        out->setSegmentEnabled(format, allowed);
        explainSegment(out, format,
                       allowed
                           ? QString()
                           : localizedStr(QStringLiteral("segNoEncoder")).arg(out->label(format)));
    }
    showImage(ui_->prefAicImg, aic ? QStringLiteral("iconImovie") : QString());
    showImage(ui_->aicImg, aic ? QString() : QStringLiteral("iconImovieNo"));
    ui_->codecAicNoStr->setText(aic ? QString() : localizedStr(QStringLiteral("codecNo")));
    showImage(ui_->prefFcpImg, prores ? QStringLiteral("iconFcp") : QString());
    showImage(ui_->fcpImg, prores ? QString() : QStringLiteral("iconFcpNo"));
    ui_->codecPrNoStr->setText(prores ? QString() : localizedStr(QStringLiteral("codecNo")));
    showImage(ui_->fpsHalfImg, !aic && !prores ? QStringLiteral("fpsHalfNo") : QString());
    // Each codec's picture names its codec: the row reads "AIC not available", then ProRes on
    // its own, apart.
    for (QLabel *picture : {ui_->prefAicImg, ui_->aicImg}) {
        picture->setToolTip(out->label(1));
    }
    for (QLabel *picture : {ui_->prefFcpImg, ui_->fcpImg}) {
        picture->setToolTip(out->label(2));
    }

    // 2. The stored format, corrected to what can be made (the headless front takes it alike).
    const appStoredChoice storedFormat = appStoredOutputFormat(storedOut, aic, prores);
    const int32_t outInt = storedFormat.value;
    if (storedFormat.corrected) {
        logStr(QStringLiteral("prefCheckMatrix     :-/ stored '%1' is no output format: %2")
                   .arg(storedOut.toString())
                   .arg(outInt));
    }
    out->setSelectedSegment(outInt);
    logStr(QStringLiteral("out default         = %1 (%2)").arg(outInt).arg(out->label(outInt)));

    // 3. ProRes variant: the entry of the stored codec type, else HQ.
    const QVariant storedProres = storedValue(QStringLiteral("prefProres"));
    selectProresType(storedProres.isValid() ? storedProres.toString() : QString());

    // 4. Multichannel sound.
    const QVariant surround = storedValue(QStringLiteral("prefSurrond"));
    ui_->prefSurrondBt->setChecked(surround.isValid() && surround.toInt() != 0);

    // Spanned recordings: joined unless turned off.
    const QVariant join = storedValue(QStringLiteral("prefJoinSpanned"));
    ui_->prefJoinBt->setChecked(!join.isValid() || join.toInt() != 0);

    // 5. Frame-rate mode (the captions of the format come after it, so that a rewrap default
    // can take the half-rate segment away from the stored mode).
    const QVariant storedSpeed = storedValue(QStringLiteral("prefSpeed"));
    const appStoredChoice storedMode = appStoredFrameRateMode(storedSpeed);
    const int32_t speedInt = storedMode.value;
    if (storedMode.corrected) {
        logStr(QStringLiteral("prefSpeed           :-/ stored '%1' is no frame-rate mode: %2")
                   .arg(storedSpeed.toString())
                   .arg(speedInt));
    }
    ui_->prefSpeed->setSelectedSegment(speedInt);
    logStr(QStringLiteral("fps default         = %1 (%2)")
               .arg(speedInt)
               .arg(ui_->prefSpeed->label(speedInt)));
    iba_prefCaptions(out);
    iba_prefCaptions(ui_->prefSpeed);

    // 6. Colour.
    const QVariant storedColor = storedValue(QStringLiteral("prefColor"));
    const int32_t colorInt = storedColor.isValid() ? storedColor.toInt() : 0;
    ui_->colorSeg->setSelectedSegment(colorInt);
    showImage(ui_->colorImgView, colorInt > 0 ? ui_->colorSeg->imageName(colorInt) : QString());
    if (theme_ != nullptr) {
        theme_->setTheme(colorInt);
    }

    // 7. Destination, when it exists.
    const QVariant dst = storedValue(QStringLiteral("prefDefautDstPathStr"));
    if (dst.isValid() && testPresenceCocoa(dst.toString())) {
        ui_->prefDefautDstPathStr->setText(dst.toString());
        if (mainDst_ != nullptr) {
            mainDst_->setText(dst.toString());
        }
    }
    ui_->prefDefautDstPathStr->setReadOnly(true);

    // 8. Update check.
    ui_->updatePrefBt->setChecked(prefRead(QStringLiteral("update")) == QLatin1String("1"));
    logStr(QStringLiteral("PREFERENCES         - fin"));
    Q_EMIT choicesChanged();
}

void prefWindow::iba_prefCaptions(segmentedControl *changed) {
    if (changed == ui_->prefSpeed) {
        const QString key =
            QStringLiteral("prefSpeedCaption%1").arg(ui_->prefSpeed->selectedSegment());
        ui_->prefSpeedCaptionsStr->setText(localizedStr(key));
        return;
    }
    if (changed != ui_->prefCheckMatrix) {
        return;
    }
    const int32_t outInt = ui_->prefCheckMatrix->selectedSegment();
    logDebug(QStringLiteral("[prefCheckMatrix selectedSegment] = %1").arg(outInt));
    const QString key = QStringLiteral("prefCaption%1").arg(outInt);
    ui_->prefCaptionsStr->setText(localizedStr(key));
    // Half rate by the rule of the batch's rows, for a source not known yet: it needs an export.
    const rowAllowanceValue allowance = rowAllowance(
        {outInt, ui_->prefSpeed->selectedSegment(), std::nullopt, getAIC() != 0, getPRORES() != 0});
    const bool half = allowance.rateAllowed(fpsHalf);
    showImage(ui_->prefHalfImg, half ? QStringLiteral("fpsHalf") : QStringLiteral("fpsHalfNo"));
    if (!half && ui_->prefSpeed->selectedSegment() == fpsHalf) {
        ui_->prefSpeed->setSelectedSegment(allowance.rate);
        iba_prefCaptions(ui_->prefSpeed);
    }
    ui_->prefSpeed->setSegmentEnabled(fpsHalf, half);
    explainSegment(ui_->prefSpeed, fpsHalf,
                   half ? QString()
                        : localizedStr(QStringLiteral("segRewrapKeeps"))
                              .arg(ui_->prefSpeed->label(fpsHalf), ui_->prefCheckMatrix->label(0)));
    // Multichannel sound is a rewrap's: an export writes the sound its settings say.
    ui_->prefSurrondBox->setVisible(outInt == outRewrap);
    ui_->prefProresBox->setVisible(outInt == 2 && ui_->prefProresPopup->count() >= 2);
}

void prefWindow::iba_setColor() {
    const int32_t colorInt = ui_->colorSeg->selectedSegment();
    if (colorInt < 0) {
        return;
    }
    prefWrite(QStringLiteral("prefColor"), colorInt);
    showImage(ui_->colorImgView, ui_->colorSeg->imageName(colorInt));
    if (theme_ != nullptr) {
        theme_->setTheme(colorInt);
    }
}

bool prefWindow::iba_selectFolderBt(folderButton sender) {
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (!videos.isEmpty() && !testPresenceCocoa(videos)) {
        mkdirCocoa(videos);
    }
    alertPresenter *presenter = getAlertPresenter();
    if (presenter == nullptr) {
        return false;
    }
    const std::optional<QString> chosen =
        presenter->chooseFolder(localizedStr(QStringLiteral("D_go_dossier_destination3")));
    ui_->prefDefautDstBt->setDown(false);
    if (!chosen || chosen->isEmpty()) {
        return false;
    }
    logDebug(QStringLiteral("a_selectFolderBt NSOKButton   : %1").arg(*chosen));
    QLineEdit *own = ui_->prefDefautDstPathStr;
    if (sender == folderButton::mainWindow) {
        if (mainDst_ != nullptr) {
            mainDst_->setText(*chosen);
        }
        if (own->text().isEmpty()) {
            own->setText(*chosen);
        }
    } else {
        own->setText(*chosen);
        if (mainDst_ != nullptr && mainDst_->text().isEmpty()) {
            mainDst_->setText(*chosen);
        }
    }
    prefWrite(QStringLiteral("prefDefautDstPathStr"), own->text());
    return true;
}

void prefWindow::iba_menuPrefClose() {
    prefWrite(QStringLiteral("prefDefautDstPathStr"), ui_->prefDefautDstPathStr->text());
    prefWrite(QStringLiteral("prefCheckMatrix"), ui_->prefCheckMatrix->selectedSegment());
    prefWrite(QStringLiteral("prefColor"), ui_->colorSeg->selectedSegment());
    prefWrite(QStringLiteral("prefSurrond"), ui_->prefSurrondBt->isChecked() ? 1 : 0);
    prefWrite(QStringLiteral("prefJoinSpanned"), ui_->prefJoinBt->isChecked() ? 1 : 0);
    prefWrite(QStringLiteral("prefSpeed"), ui_->prefSpeed->selectedSegment());
    if (ui_->prefProresPopup->count() > 0) {
        if (const auto type = proresTypeOf(proresItemTitle())) {
            prefWrite(QStringLiteral("prefProres"), *type);
        }
    }
    prefWrite(QStringLiteral("update"), ui_->updatePrefBt->isChecked() ? 1 : 0);
    if (isVisible() && !closing_) {
        closing_ = true;
        done(QDialog::Accepted);
        closing_ = false;
    }
    prefSynchronize();
    Q_EMIT prefsWritten();
}

void prefWindow::iba_menuPref() {
    if (mainWindow_ != nullptr && mainWindow_->isMinimized()) {
        mainWindow_->showNormal();
    }
    if (isVisible()) {
        iba_menuPrefClose();
        return;
    }
    fitToScreen();
    open();
    keepInsideScreen();
}

void prefWindow::fitToScreen() {
    // As tall as the groups when the screen has the room, else the screen's height (the groups
    // then scroll); as wide as they are, with room for the scroll bar.
    const QScreen *screen = mainWindow_ != nullptr && mainWindow_->screen() != nullptr
                                ? mainWindow_->screen()
                                : QGuiApplication::primaryScreen();
    QWidget *content = scroll_->widget();
    content->adjustSize();
    const QSize wanted = content->sizeHint();
    const int chrome = layout()->totalMinimumSize().height() - scroll_->minimumSizeHint().height();
    // A usual title bar and border when the frame is not known yet.
    const int frame = 32 + 4;
    const int room =
        screen != nullptr ? screen->availableGeometry().height() - frame - chrome : wanted.height();
    scroll_->setMinimumWidth(wanted.width() + scroll_->verticalScrollBar()->sizeHint().width());
    scroll_->setMinimumHeight(std::max(80, std::min(wanted.height(), room)));
    scroll_->setMaximumHeight(std::max(80, room));
    adjustSize();
}

void prefWindow::keepInsideScreen() {
    const QScreen *where = screen();
    if (where == nullptr) {
        return;
    }
    const QRect area = where->availableGeometry();
    const QRect frame = frameGeometry();
    QPoint at = frame.topLeft();
    at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - frame.width())));
    at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - frame.height())));
    if (at != frame.topLeft()) {
        move(at + (pos() - frame.topLeft()));
    }
}

void prefWindow::reject() {
    if (!closing_) {
        iba_menuPrefClose();
    }
}
