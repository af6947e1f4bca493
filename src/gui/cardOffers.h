// The camera cards offered for import while the window is open: a button on the drop area
// ("Import CARD_NAME") for the card mounted last, which opens the Import Card dialog with it, and
// a desktop notification when a card is plugged in. Nothing is imported without the person's
// click; a card's offer goes when it is unmounted (the one mounted before it, still there,
// takes its place). It learns of cards from the core's card watch, as typed values.
#pragma once

#include "desktop/cardWatch.h"

#include <QObject>

#include <functional>
#include <vector>

class QPushButton;
class QWidget;

class cardOffers : public QObject {
    Q_OBJECT
public:
    /// The button goes on `dropArea`; `importCard` opens the Import Card dialog with a card.
    cardOffers(QWidget *dropArea, std::function<void(const QString &card)> importCard);

    /// What shows the notification (desktopNotify unless replaced).
    using notifyFn = std::function<void(const QString &summary, const QString &body)>;
    void setNotifier(notifyFn notify) { notify_ = std::move(notify); }

    void mounted(const cardMountedValue &value);
    void gone(const cardGoneValue &value);

    [[nodiscard]] QPushButton *button() const { return button_; }
    /// The cards offered, the one on the button last.
    [[nodiscard]] const std::vector<cardMountedValue> &offers() const { return offers_; }

private:
    void showLast();

    QPushButton *button_ = nullptr;
    std::function<void(const QString &)> importCard_;
    notifyFn notify_;
    std::vector<cardMountedValue> offers_;
};

/// The File menu's line while cards are not noticed ("Cards are not noticed: ..."), or the empty
/// text while they are (or while the watch starts).
QString cardWatchMenuText(cardWatchState state);
