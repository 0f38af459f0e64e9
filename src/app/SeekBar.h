#pragma once
// scbPlay: a horizontal scroll bar that reports its events as the player
// reads them: every movement by line, page, thumb or end with its scroll
// code, and the end of the scroll (scEndScroll) once the user lets go.
#include <QScrollBar>

namespace zek::app {

class SeekBar : public QScrollBar {
    Q_OBJECT
public:
    explicit SeekBar(QWidget* parent = nullptr);

Q_SIGNALS:
    void scrolled(int code);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void endScroll();
    bool scrolling_ = false;
};

}  // namespace zek::app
