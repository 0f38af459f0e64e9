#include "ui/VersionLogo.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>

namespace zek::ui {
namespace {

void paintDisc(QPainter& p) {
    QRadialGradient fill(QPointF(12, 11), 17);
    fill.setColorAt(0.0, QColor(0x4a, 0xc8, 0xff));
    fill.setColorAt(0.7, QColor(0x12, 0x5a, 0xc0));
    fill.setColorAt(1.0, QColor(0x0a, 0x2c, 0x70));
    p.setPen(QPen(QColor(0x9e, 0xe8, 0xff), 1.0));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1.5, 1.5, 30, 30));
}

void paintNotes(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (const QPointF& head : {QPointF(11.0, 23.0), QPointF(21.0, 21.0)}) {
        p.save();
        p.translate(head);
        p.rotate(-22);
        p.drawEllipse(QRectF(-3.3, -2.3, 6.6, 4.6));
        p.restore();
    }
    p.setPen(QPen(Qt::white, 1.3, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(13.8, 22.0), QPointF(13.8, 9.5));
    p.drawLine(QPointF(23.8, 20.0), QPointF(23.8, 7.5));
    QPainterPath beam;
    beam.moveTo(13.1, 9.8);
    beam.lineTo(24.5, 7.8);
    beam.lineTo(24.5, 11.0);
    beam.lineTo(13.1, 13.0);
    beam.closeSubpath();
    p.setPen(Qt::NoPen);
    p.drawPath(beam);
}

void paintLetters(QPainter& p) {
    QFont font(QStringLiteral("Sans Serif"));
    font.setBold(true);
    font.setPixelSize(20);
    QPainterPath letters;
    letters.addText(0, 0, font, QStringLiteral("ZEK"));
    // Fit the letters into their box whatever font was found.
    const QRectF target(36, 8, 35, 17);
    const QRectF bounds = letters.boundingRect();
    if (bounds.isEmpty())
        return;
    QTransform fit;
    fit.translate(target.left(), target.top());
    fit.scale(target.width() / bounds.width(), target.height() / bounds.height());
    fit.translate(-bounds.left(), -bounds.top());
    letters = fit.map(letters);

    QLinearGradient fill(target.topLeft(), target.bottomLeft());
    fill.setColorAt(0.0, Qt::white);
    fill.setColorAt(1.0, QColor(0x7f, 0xe0, 0xff));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(letters);
    p.setPen(QPen(QColor(0x40, 0xb0, 0xff), 1.0));
    p.drawLine(QPointF(36, 28.5), QPointF(71, 28.5));
}

}  // namespace

void PaintVersionLogo(QPainter& painter, const QRectF& box) {
    if (box.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.topLeft());
    painter.scale(box.width() / VersionLogo::kWidth, box.height() / VersionLogo::kHeight);
    paintDisc(painter);
    paintNotes(painter);
    paintLetters(painter);
    painter.restore();
}

VersionLogo::VersionLogo(QWidget* parent) : QWidget(parent) {
    setFixedSize(kWidth, kHeight);
}

void VersionLogo::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintVersionLogo(painter, QRectF(rect()));
}

}  // namespace zek::ui
