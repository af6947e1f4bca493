#include "cardOffers.h"

#include "desktop/notification.h"
#include "settings/localisation.h"

#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

cardOffers::cardOffers(QWidget *dropArea, std::function<void(const QString &)> importCard)
    : QObject(dropArea), importCard_(std::move(importCard)), notify_(desktopNotify) {
    button_ = new QPushButton(dropArea);
    button_->setObjectName(QStringLiteral("cardImportBt"));
    button_->setHidden(true);
    // In the drop area's bottom right corner, inside its frame and beside its centred picture
    // (which the strip of an open batch panel keeps too).
    auto *layout = new QVBoxLayout(dropArea);
    layout->setContentsMargins(12, 8, 12, 10);
    layout->addStretch(1);
    layout->addWidget(button_, 0, Qt::AlignRight | Qt::AlignBottom);
    connect(button_, &QPushButton::clicked, this, [this] {
        if (!offers_.empty() && importCard_) {
            importCard_(offers_.back().card.mountPoint);
        }
    });
}

void cardOffers::mounted(const cardMountedValue &value) {
    offers_.erase(std::remove_if(offers_.begin(), offers_.end(),
                                 [&](const cardMountedValue &offer) {
                                     return offer.objectPath == value.objectPath;
                                 }),
                  offers_.end());
    offers_.push_back(value);
    showLast();
    // A card plugged in while the window is open; those there before it opened are only offered.
    if (!value.atStart && notify_) {
        notify_(localizedStr(QStringLiteral("cardNoticedTitle")).arg(value.card.label),
                localizedStr(QStringLiteral("cardNoticedBody")));
    }
}

void cardOffers::gone(const cardGoneValue &value) {
    offers_.erase(std::remove_if(offers_.begin(), offers_.end(),
                                 [&](const cardMountedValue &offer) {
                                     return offer.objectPath == value.objectPath;
                                 }),
                  offers_.end());
    showLast();
}

void cardOffers::showLast() {
    if (offers_.empty()) {
        button_->setHidden(true);
        button_->setToolTip(QString());
        return;
    }
    const cameraCard &card = offers_.back().card;
    // A label is the card's own text: an ampersand in it is no shortcut.
    QString label = card.label;
    label.replace(QLatin1Char('&'), QStringLiteral("&&"));
    button_->setText(localizedStr(QStringLiteral("cardOfferBt")).arg(label));
    button_->setToolTip(card.mountPoint);
    button_->setHidden(false);
}

QString cardWatchMenuText(cardWatchState state) {
    switch (state) {
    case cardWatchState::noBus:
        return localizedStr(QStringLiteral("cardWatchOff"))
            .arg(localizedStr(QStringLiteral("cardWatchNoBus")));
    case cardWatchState::noUdisks:
        return localizedStr(QStringLiteral("cardWatchOff"))
            .arg(localizedStr(QStringLiteral("cardWatchNoUdisks")));
    case cardWatchState::starting:
    case cardWatchState::watching:
        break;
    }
    return {};
}
