#pragma once
// An up-down control: two arrow buttons that step a whole-number position
// within a range and show it in the edit box beside them (the buddy).
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace zek::ui {

class UpDown : public QWidget {
    Q_OBJECT
public:
    // Sits at the right of `buddy`, as high as it.
    UpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent);

    int position() const { return position_; }
    // Clamped into the range; the buddy shows it.
    void setPosition(int position);
    QLineEdit* buddy() const { return buddy_; }
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

Q_SIGNALS:
    // A click on either arrow.
    void arrowClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void step(int delta);
    void takeTypedText();

    QLineEdit* buddy_;
    QToolButton* up_;
    QToolButton* down_;
    int minimum_;
    int maximum_;
    int position_;
};

}  // namespace zek::ui
