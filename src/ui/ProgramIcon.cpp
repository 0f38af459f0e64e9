#include "ui/ProgramIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace zek::ui {

QPixmap programIconPixmap(int pixels) {
    QPixmap pm(pixels, pixels);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(pixels / 32.0, pixels / 32.0);
    // A page with staff lines ...
    p.setPen(QPen(QColor(40, 40, 90), 1.2));
    p.setBrush(QColor(250, 250, 240));
    p.drawRoundedRect(QRectF(3.5, 1.5, 25, 29), 2.5, 2.5);
    p.setPen(QPen(QColor(150, 150, 170), 0.8));
    for (int i = 0; i < 5; ++i)
        p.drawLine(QPointF(6, 8 + i * 3.5), QPointF(26, 8 + i * 3.5));
    // ... and a beamed pair of notes over it.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 40, 40));
    p.drawEllipse(QRectF(7, 20, 7, 5.5));
    p.drawEllipse(QRectF(17, 17, 7, 5.5));
    p.drawRect(QRectF(12.4, 6, 1.8, 17));
    p.drawRect(QRectF(22.4, 3, 1.8, 17));
    QPainterPath beam;
    beam.moveTo(12.4, 6);
    beam.lineTo(24.2, 3);
    beam.lineTo(24.2, 6.5);
    beam.lineTo(12.4, 9.5);
    beam.closeSubpath();
    p.drawPath(beam);
    return pm;
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(programIconPixmap(size));
    return icon;
}

}  // namespace zek::ui
