#include "ui/ToolGlyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace zek::ui {
namespace {

constexpr int kW = 20;
constexpr int kH = 18;

void drawSelect(QPainter& p) {
    // An open folder.
    p.setPen(QPen(QColor(120, 90, 20), 1));
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(QRectF(2.5, 4.5, 14, 10));
    p.setBrush(QColor(250, 225, 120));
    QPainterPath flap;
    flap.moveTo(4.5, 7.5);
    flap.lineTo(18.5, 7.5);
    flap.lineTo(16.5, 14.5);
    flap.lineTo(2.5, 14.5);
    flap.closeSubpath();
    p.drawPath(flap);
}

void drawTag(QPainter& p) {
    // A page with an arrow back to it.
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8.5, 1.5, 9, 14));
    p.setPen(QPen(QColor(150, 150, 150), 1));
    for (int y = 5; y <= 12; y += 3)
        p.drawLine(QPointF(10.5, y + 0.5), QPointF(15.5, y + 0.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 30, 30));
    QPainterPath arrow;
    arrow.moveTo(1, 9);
    arrow.lineTo(6, 4.5);
    arrow.lineTo(6, 7.5);
    arrow.lineTo(10, 7.5);
    arrow.lineTo(10, 10.5);
    arrow.lineTo(6, 10.5);
    arrow.lineTo(6, 13.5);
    arrow.closeSubpath();
    p.drawPath(arrow);
}

void drawCompile(QPainter& p) {
    // A page turning into a note: source in, music out.
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 2.5, 8, 12));
    p.setPen(QPen(QColor(150, 150, 150), 1));
    for (int y = 5; y <= 12; y += 3)
        p.drawLine(QPointF(3, y + 0.5), QPointF(8, y + 0.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 60, 160));
    p.drawEllipse(QRectF(11, 11, 5, 4));
    p.drawRect(QRectF(15, 3, 1.5, 10));
    QPainterPath flag;
    flag.moveTo(16.5, 3);
    flag.cubicTo(19.5, 5, 19.5, 7, 18, 9);
    flag.lineTo(16.5, 6.5);
    flag.closeSubpath();
    p.drawPath(flag);
}

void drawPlay(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    QPainterPath t;
    t.moveTo(6, 3);
    t.lineTo(15, 9);
    t.lineTo(6, 15);
    t.closeSubpath();
    p.drawPath(t);
}

void drawStop(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRect(QRectF(5, 4, 10, 10));
}

QPixmap render(ToolGlyph glyph, qreal scale) {
    QPixmap pm(QSize(kW, kH) * scale);
    pm.setDevicePixelRatio(scale);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (glyph) {
    case ToolGlyph::Select: drawSelect(p); break;
    case ToolGlyph::Tag: drawTag(p); break;
    case ToolGlyph::Compile: drawCompile(p); break;
    case ToolGlyph::Play: drawPlay(p); break;
    case ToolGlyph::Stop: drawStop(p); break;
    }
    return pm;
}

}  // namespace

QIcon toolGlyph(ToolGlyph glyph) {
    QIcon icon;
    icon.addPixmap(render(glyph, 1.0));
    icon.addPixmap(render(glyph, 2.0));
    return icon;
}

}  // namespace zek::ui
