#include "ui/Placement.h"

#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QWidget>

namespace zek::ui {
namespace {

QMargins frameMargins(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

QRect primaryScreenRect() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

}  // namespace

QPoint CenteredOnOwner(const QRect& owner, const QSize& form, const QRect& screen) {
    // C++ integer division truncates toward zero, as the rule asks.
    int left = owner.left() + (owner.width() - form.width()) / 2;
    int top = owner.top() + (owner.height() - form.height()) / 2;
    if (left < screen.left())
        left = screen.left();
    if (left + form.width() > screen.left() + screen.width())
        left = screen.left() + screen.width() - form.width();
    if (top < screen.top())
        top = screen.top();
    if (top + form.height() > screen.top() + screen.height())
        top = screen.top() + screen.height() - form.height();
    return {left, top};
}

QSize OuterSize(const QWidget* form, const QWidget* reference) {
    QMargins margins = frameMargins(form);
    if (margins.isNull() && reference)
        margins = frameMargins(reference->window());
    return form->size().grownBy(margins);
}

void PlaceOverOwner(QWidget* form, const QWidget* owner) {
    const QRect screen = primaryScreenRect();
    const QWidget* ownerWindow = owner ? owner->window() : nullptr;
    const QRect ownerRect = ownerWindow ? ownerWindow->frameGeometry() : screen;
    // For a top-level widget, move() sets the position of its frame.
    form->move(CenteredOnOwner(ownerRect, OuterSize(form, ownerWindow), screen));
}

}  // namespace zek::ui
