#pragma once
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace zek::ui {

// Where a dialog of outer size `form` goes over a window whose outer
// rectangle is `owner`: centred (halves truncate toward zero), then pulled
// onto `screen`, left/top edge first and right/bottom edge second, so a form
// larger than the screen ends flush with the screen's right or bottom edge.
QPoint CenteredOnOwner(const QRect& owner, const QSize& form, const QRect& screen);

// The outer (frame) size `form` will have on screen. Before its first showing
// the window manager has not told us the frame yet, so the decoration of
// `reference` (normally the owner) stands in for it.
QSize OuterSize(const QWidget* form, const QWidget* reference);

// Moves the top-level `form` over `owner`'s window with CenteredOnOwner,
// clamped to the primary screen. Without an owner the screen itself is the
// owner.
void PlaceOverOwner(QWidget* form, const QWidget* owner);

}  // namespace zek::ui
