#pragma once
#include <QDialog>
#include <QWidget>

class QLabel;
class QPushButton;

namespace zek::ui {

class VersionLogo;

// A filled rectangle with rounded corners, its outline drawn inside.
class RoundedShape : public QWidget {
public:
    RoundedShape(const QColor& fill, const QColor& outline, QWidget* parent = nullptr);
    QColor fill() const { return fill_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_;
    QColor outline_;
};

// The version dialog; placed over the main window when it is constructed.
class TfrmVer : public QDialog {
    Q_OBJECT
public:
    explicit TfrmVer(QWidget* mainWindow);

    static constexpr int kClientWidth = 246;
    static constexpr int kClientHeight = 93;

    RoundedShape* shpVer;
    VersionLogo* imgTalmo;
    QLabel* lblTitle;
    QLabel* lblName;
    QLabel* lblCopy;
    QPushButton* btnOk;

    void btnOkClick();
};

// The Help menu's version command: creates the dialog over the main window,
// shows it modally and destroys it when it closes.
void ShowVersionDialog(QWidget* mainWindow);

}  // namespace zek::ui
