#include "ui/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace zek::ui {
namespace {

// A white eighth note on a dark blue tile, drawn on a 32-unit grid.
QPixmap render(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 60, 160));
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    p.setBrush(Qt::white);
    p.save();
    p.translate(12.5, 23.5);
    p.rotate(-20);
    p.drawEllipse(QRectF(-5.5, -4, 11, 8));
    p.restore();
    p.drawRect(QRectF(16.5, 5, 2.5, 18));
    QPainterPath flag;
    flag.moveTo(19, 5);
    flag.cubicTo(25, 8, 27, 12, 24, 17);
    flag.cubicTo(24.5, 13, 22, 11, 19, 10.5);
    flag.closeSubpath();
    p.drawPath(flag);
    return pm;
}

}  // namespace

QIcon applicationIcon() {
    static const QIcon icon = [] {
        QIcon i;
        for (int size : {16, 22, 24, 32, 48, 64})
            i.addPixmap(render(size));
        return i;
    }();
    return icon;
}

}  // namespace zek::ui
