#include "ui/MessageIcons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRadialGradient>

namespace zek::ui {
namespace {

const QColor kMarkBlue(0x1f, 0x5f, 0xbf);

void paintError(QPainter& p) {
    QRadialGradient fill(QPointF(12, 10), 20);
    fill.setColorAt(0.0, QColor(0xff, 0x7a, 0x6a));
    fill.setColorAt(0.55, QColor(0xe0, 0x2a, 0x24));
    fill.setColorAt(1.0, QColor(0xb0, 0x10, 0x16));
    p.setPen(QPen(QColor(0x86, 0x0c, 0x10), 1.0));
    p.setBrush(fill);
    p.drawEllipse(QPointF(16, 16), 14.5, 14.5);

    p.setPen(QPen(Qt::white, 3.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11, 11), QPointF(21, 21));
    p.drawLine(QPointF(21, 11), QPointF(11, 21));
}

void paintWarning(QPainter& p) {
    QPainterPath triangle;
    triangle.moveTo(16, 2.5);
    triangle.lineTo(30.5, 28.5);
    triangle.lineTo(1.5, 28.5);
    triangle.closeSubpath();
    QLinearGradient fill(QPointF(16, 2), QPointF(16, 29));
    fill.setColorAt(0.0, QColor(0xff, 0xea, 0x70));
    fill.setColorAt(1.0, QColor(0xf2, 0xb4, 0x00));
    p.setPen(QPen(QColor(0x9a, 0x6e, 0x00), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(triangle);

    const QColor mark(0x14, 0x14, 0x14);
    QPainterPath bar;
    bar.moveTo(14.3, 10.5);
    bar.lineTo(17.7, 10.5);
    bar.lineTo(16.9, 21.0);
    bar.lineTo(15.1, 21.0);
    bar.closeSubpath();
    p.setPen(QPen(mark, 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(mark);
    p.drawPath(bar);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(16, 24.6), 1.8, 1.8);
}

// A white speech bubble with its tail at the lower left.
void paintBubble(QPainter& p) {
    QPainterPath body;
    body.addEllipse(QRectF(1.5, 1.5, 29, 23));
    QPainterPath tail;
    tail.moveTo(8.5, 20.5);
    tail.lineTo(4.5, 30.0);
    tail.lineTo(15.5, 23.0);
    tail.closeSubpath();
    const QPainterPath bubble = body.united(tail);
    QLinearGradient fill(QPointF(16, 1), QPointF(16, 30));
    fill.setColorAt(0.0, Qt::white);
    fill.setColorAt(1.0, QColor(0xd6, 0xe2, 0xf2));
    p.setPen(QPen(QColor(0x46, 0x66, 0x90), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(bubble);
}

void paintQuestion(QPainter& p) {
    paintBubble(p);
    QPainterPath hook;
    const QRectF arc(11.8, 4.6, 8.4, 8.4);
    hook.arcMoveTo(arc, 160);
    hook.arcTo(arc, 160, -215);
    hook.quadTo(QPointF(16, 12.6), QPointF(16, 15.6));
    p.setPen(QPen(kMarkBlue, 2.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(kMarkBlue);
    p.drawEllipse(QPointF(16, 19.4), 1.7, 1.7);
}

void paintInformation(QPainter& p) {
    paintBubble(p);
    p.setPen(Qt::NoPen);
    p.setBrush(kMarkBlue);
    p.drawEllipse(QPointF(16, 6.9), 1.9, 1.9);
    p.drawRoundedRect(QRectF(14.4, 10.0, 3.2, 10.2), 0.8, 0.8);
    // Small foot and cap so it reads as a letter, not a bar.
    p.drawRoundedRect(QRectF(13.0, 18.8, 6.0, 1.6), 0.6, 0.6);
    p.drawRoundedRect(QRectF(13.2, 10.0, 2.4, 1.4), 0.5, 0.5);
}

}  // namespace

void PaintMessageIcon(QPainter& painter, const QRectF& box, MessageIcon icon) {
    if (icon == MessageIcon::None || box.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.topLeft());
    painter.scale(box.width() / 32.0, box.height() / 32.0);
    switch (icon) {
    case MessageIcon::Error: paintError(painter); break;
    case MessageIcon::Question: paintQuestion(painter); break;
    case MessageIcon::Warning: paintWarning(painter); break;
    case MessageIcon::Information: paintInformation(painter); break;
    case MessageIcon::None: break;
    }
    painter.restore();
}

QImage RenderMessageIcon(MessageIcon icon, int pixels) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    PaintMessageIcon(painter, QRectF(0, 0, pixels, pixels), icon);
    return image;
}

MessageIconView::MessageIconView(MessageIcon icon, QWidget* parent) : QWidget(parent), icon_(icon) {
    setFixedSize(32, 32);
}

void MessageIconView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintMessageIcon(painter, QRectF(rect()), icon_);
}

}  // namespace zek::ui
