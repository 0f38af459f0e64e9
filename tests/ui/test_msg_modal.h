#pragma once
// Drives modal windows from inside their own event loop.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "ui/Fonts.h"

namespace zek::test {

inline void ensureDialogFonts() {
    static const bool installed = (ui::installFontSubstitutions(), true);
    (void)installed;
}

// Runs `action` as soon as `ready()` holds, polled from the event loop (so
// from inside the modal loop that the test starts next). If it never holds,
// the test fails and any modal window is closed, so a test cannot hang.
inline void whenReady(std::function<bool()> ready, std::function<void()> action, int timeoutMs = 5000) {
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, ready, action, timeoutMs] {
        if (ready()) {
            timer->stop();
            timer->deleteLater();
            action();
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "the modal window never showed";
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        }
    });
    timer->start(5);
}

// `action` runs once `widget()` returns a visible, active modal window.
inline void whenModalShows(std::function<QWidget*()> widget, std::function<void(QWidget*)> action) {
    whenReady(
        [widget] {
            QWidget* w = widget();
            return w && w->isVisible() && QApplication::activeModalWidget() == w;
        },
        [widget, action] { action(widget()); });
}

}  // namespace zek::test
