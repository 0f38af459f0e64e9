#pragma once
#include <QRectF>
#include <QWidget>

class QPainter;

namespace zek::ui {

// Our emblem for the version dialog: a beamed note pair in a blue disc and
// the letters "ZEK", drawn for a black background.
void PaintVersionLogo(QPainter& painter, const QRectF& box);

// The picture control of the version dialog, sized to the logo (73 x 33).
class VersionLogo : public QWidget {
public:
    static constexpr int kWidth = 73;
    static constexpr int kHeight = 33;
    explicit VersionLogo(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace zek::ui
