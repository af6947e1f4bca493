// The preferences window, a sheet (window-modal dialog) over the main window, designed in
// prefWindow.ui with "@@key" texts. It holds the defaults of new rows (output format,
// frame-rate mode, multichannel sound, ProRes variant), the main window's colour theme, the
// default destination folder and the update check. Its controls are filled from the preferences
// store at start-up, follow one another as choices are made (captions, the half-rate segment,
// the ProRes and multichannel boxes) and are written back to the store when it closes, however
// it is closed.
#pragma once

#include "dialogs/colorThemes.h"
#include "dialogs/segmentedControl.h"
#include "dialogs/widgetControls.h"

#include <QDialog>
#include <QPointer>
#include <QScrollArea>

#include <memory>

namespace Ui {
class prefWindow;
}

/// The codec check's ProRes texts from the lightest variant to the richest (Proxy, LT, 422,
/// HQ, 4444, XQ), unknown ones last.
QStringList proresChoicesInOrder(const QStringList &choices);
/// The name a person reads for a ProRes text ("ProRes 422 HQ").
QString proresChoiceName(const QString &title);

/// Which destination button asked for a folder.
enum class folderButton { mainWindow, prefWindow };

class prefWindow : public QDialog {
    Q_OBJECT

public:
    explicit prefWindow(QWidget *mainWindow);
    ~prefWindow() override;
    prefWindow(const prefWindow &) = delete;
    prefWindow &operator=(const prefWindow &) = delete;

    /// The form's widgets, by the names of the form.
    Ui::prefWindow *form() const { return ui_.get(); }
    segmentedControl *outputFormat() const;
    segmentedControl *frameRateMode() const;
    segmentedControl *colour() const;
    /// The multichannel check box as the controller's uiButton.
    uiButton *surroundButton() { return &surround_; }
    /// The check box that joins the pieces of spanned recordings, as the controller's uiButton.
    uiButton *joinButton() { return &join_; }

    /// The main window's destination field (not owned; may be left unset).
    void setMainDestinationField(uiTextField *field) { mainDst_ = field; }
    /// The window whose style sheet follows the colour choice (the main window).
    void setThemeWindow(QWidget *window);
    colorThemeKeeper *themeKeeper() const { return theme_; }

    /// The ProRes choice from the codec check: each text becomes an entry (in the order of
    /// proresChoicesInOrder, shown by its name, the text kept as its data), then the entry the
    /// form was designed with is removed (also when no text is given); HQ is chosen.
    void prefProresFill(const QStringList &choices);
    /// The same with the texts of the start-up codec check (codecsProresChoices).
    void prefProresFillFromCodecCheck();
    /// The title of the chosen ProRes entry, or the empty text.
    QString proresItemTitle() const;

    /// Fills every control from the store, as start-up does.
    void prefFill();
    /// Captions and dependent controls after a change of `changed` (output format or frame-rate
    /// mode).
    void iba_prefCaptions(segmentedControl *changed);
    /// Stores the chosen colour, shows its image and applies its theme.
    void iba_setColor();
    /// Asks for a folder through the alert presenter's folder chooser and puts it in the
    /// fields; answers whether a folder was chosen.
    bool iba_selectFolderBt(folderButton sender);
    /// Writes the controls to the store and closes the sheet.
    void iba_menuPrefClose();
    /// The Preferences command: shows the sheet, or closes it (writing back) when it is shown.
    void iba_menuPref();

    /// Escape and the window's close button close it as the Close button does.
    void reject() override;

Q_SIGNALS:
    /// The controls were written to the store.
    void prefsWritten();
    /// A default of new rows changed (format, frame-rate mode, multichannel sound, joining),
    /// by the person or by the filling from the store.
    void choicesChanged();

private:
    /// Sizes the sheet to its groups, or to its screen's height when they are taller (they
    /// scroll then), before it shows.
    void fitToScreen();
    /// Moves the shown sheet inside its screen's free area.
    void keepInsideScreen();
    QScrollArea *scroll_ = nullptr;
    /// Chooses the ProRes entry of a codec type, else HQ, else the last entry.
    void selectProresType(const QString &type);
    /// The codec check's text behind a ProRes entry.
    QString proresEntryTitle(int index) const;

    std::unique_ptr<Ui::prefWindow> ui_;
    QPointer<QWidget> mainWindow_;
    uiTextField *mainDst_ = nullptr;
    widgetButton surround_;
    widgetButton join_;
    colorThemeKeeper *theme_ = nullptr;
    bool closing_ = false;
};
