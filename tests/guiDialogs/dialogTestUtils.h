// Helpers for driving modal dialogs from tests: a check that runs once the event loop of a
// dialog's exec() is turning.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

/// The first visible top-level widget of type T, or null.
template <typename T> T *visibleTopLevel() {
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *found = qobject_cast<T *>(widget); found != nullptr && found->isVisible()) {
            return found;
        }
    }
    return nullptr;
}

/// Runs `step` after `ms` milliseconds of the event loop.
inline void after(int ms, std::function<void()> step) {
    QTimer::singleShot(ms, qApp, std::move(step));
}
