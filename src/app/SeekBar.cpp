#include "app/SeekBar.h"

#include "playback/Playback.h"

namespace zek::app {

using namespace zek::playback;

SeekBar::SeekBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
    // Moved only by the mouse: no focus for keys, no context menu whose
    // items would move it without an end of scroll.
    setFocusPolicy(Qt::NoFocus);
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
        int code = scTrack;
        switch (action) {
        case SliderSingleStepSub: code = scLineUp; break;
        case SliderSingleStepAdd: code = scLineDown; break;
        case SliderPageStepSub: code = scPageUp; break;
        case SliderPageStepAdd: code = scPageDown; break;
        case SliderToMinimum: code = scTop; break;
        case SliderToMaximum: code = scBottom; break;
        default: break;
        }
        scrolling_ = true;
        Q_EMIT scrolled(code);
    });
    // Holding the thumb is operating the bar, before any move: the tick must
    // not slide it away under the pointer.
    connect(this, &QAbstractSlider::sliderPressed, this, [this] {
        scrolling_ = true;
        Q_EMIT scrolled(scTrack);
    });
    connect(this, &QAbstractSlider::sliderReleased, this, [this] { Q_EMIT scrolled(scPosition); });
}

void SeekBar::endScroll() {
    if (!scrolling_)
        return;
    scrolling_ = false;
    Q_EMIT scrolled(scEndScroll);
}

void SeekBar::mouseReleaseEvent(QMouseEvent* event) {
    QScrollBar::mouseReleaseEvent(event);
    endScroll();
}

void SeekBar::wheelEvent(QWheelEvent* event) {
    QScrollBar::wheelEvent(event);
    endScroll();  // a wheel step is a whole scroll of its own
}

}  // namespace zek::app
