#pragma once
#include <QImage>
#include <QRectF>
#include <QWidget>

class QPainter;

namespace zek::ui {

enum class MessageIcon { None, Error, Question, Warning, Information };

// Draws the icon into `box` (designed on a 32 x 32 grid, scaled to the box).
// Vector drawing, so it stays sharp at every device pixel ratio.
void PaintMessageIcon(QPainter& painter, const QRectF& box, MessageIcon icon);

// The icon on a transparent square image of `pixels` x `pixels`.
QImage RenderMessageIcon(MessageIcon icon, int pixels);

// A fixed 32 x 32 picture control showing one icon.
class MessageIconView : public QWidget {
public:
    explicit MessageIconView(MessageIcon icon, QWidget* parent = nullptr);
    MessageIcon icon() const { return icon_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MessageIcon icon_;
};

}  // namespace zek::ui
