#include "ui/UpDown.h"

#include <QIntValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

namespace zek::ui {
namespace {

constexpr int kWidth = 16;

QToolButton* arrowButton(QWidget* parent, Qt::ArrowType arrow) {
    auto* b = new QToolButton(parent);
    b->setArrowType(arrow);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRepeat(true);
    return b;
}

}  // namespace

UpDown::UpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent)
    : QWidget(parent), buddy_(buddy), minimum_(minimum), maximum_(maximum), position_(minimum) {
    up_ = arrowButton(this, Qt::UpArrow);
    down_ = arrowButton(this, Qt::DownArrow);
    connect(up_, &QToolButton::clicked, this, [this] { step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
    // Digits only; a number beyond the range is taken as the nearest end.
    buddy_->setValidator(new QIntValidator(0, 99999, buddy_));
    connect(buddy_, &QLineEdit::textEdited, this, &UpDown::takeTypedText);
    connect(buddy_, &QLineEdit::editingFinished, this, [this] { setPosition(position_); });
    buddy_->installEventFilter(this);
    setGeometry(buddy_->geometry().right() + 1, buddy_->y(), kWidth, buddy_->height());
    setPosition(minimum);
}

void UpDown::setPosition(int position) {
    position_ = std::clamp(position, minimum_, maximum_);
    const QString text = QString::number(position_);
    if (buddy_->text() != text)
        buddy_->setText(text);
}

void UpDown::step(int delta) {
    takeTypedText();
    setPosition(position_ + delta);
    Q_EMIT arrowClicked();
}

void UpDown::takeTypedText() {
    bool ok = false;
    const int typed = buddy_->text().toInt(&ok);
    if (ok)
        position_ = std::clamp(typed, minimum_, maximum_);
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
    // The arrow keys in the edit box step as the arrow buttons do.
    if (watched == buddy_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            takeTypedText();
            setPosition(position_ + (key == Qt::Key_Up ? 1 : -1));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDown::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

}  // namespace zek::ui
