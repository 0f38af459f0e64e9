#pragma once
#include <QDialog>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <vector>

#include "ui/MessageIcons.h"

class QPushButton;
class QTextLayout;

namespace zek::ui {

// Message kinds and results in the system's message-box numbering.
// Icon in the high nibble, buttons in the low nibble.
inline constexpr int kMbOk = 0x00;
inline constexpr int kMbYesNo = 0x04;
inline constexpr int kMbIconError = 0x10;
inline constexpr int kMbIconQuestion = 0x20;
inline constexpr int kMbIconWarning = 0x30;
inline constexpr int kMbIconInformation = 0x40;

inline constexpr int kIdOk = 1;
inline constexpr int kIdClosed = 2;  // the title bar's close box; callers treat it like No
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

MessageIcon IconForKind(int kind);
bool HasYesNoButtons(int kind);

// A word-wrapping label whose lines sit on a fixed pitch, so its height is
// lines x pitch whatever the installed font's own line height. A line break
// in the text always starts a new line; text is shown literally (no
// mnemonics). Changing the text or the width keeps the width and sets the
// height.
class PitchedLabel : public QWidget {
public:
    explicit PitchedLabel(int pitch, QWidget* parent = nullptr);
    ~PitchedLabel() override;

    void setText(const QString& text);
    QString text() const { return text_; }
    int pitch() const { return pitch_; }
    int lineCount() const;
    QStringList lines() const;          // the text of each laid-out line
    int textHeight() const { return lineCount() * pitch_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Line {
        int paragraph;
        int index;
    };
    void relayout();

    int pitch_;
    QString text_;
    std::vector<std::unique_ptr<QTextLayout>> paragraphs_;
    std::vector<Line> lines_;
    int laidOutWidth_ = -1;
};

// The one modal message form of the program.
class TfrmMsg : public QDialog {
    Q_OBJECT
public:
    explicit TfrmMsg(QWidget* parent = nullptr);

    // Shows the box modally over `owner` (a nested event loop: timers keep
    // running) and returns 1 OK, 6 Yes, 7 No or 2 closed.
    int ShowMessageBox(QWidget* owner, const QString& text, int kind, const QString& title);

    // Everything ShowMessageBox does short of showing: icon, buttons, text,
    // caption, fonts, size and place.
    void Prepare(QWidget* owner, const QString& text, int kind, const QString& title);

    bool isShowingMessage() const { return showing_; }

    // Design geometry of the client area.
    static constexpr int kClientWidth = 301;
    static constexpr int kClientHeight = 88;
    static constexpr int kLabelLeft = 52;
    static constexpr int kLabelTop = 24;
    static constexpr int kLabelWidth = 241;
    static constexpr int kLabelHeight = 12;
    static constexpr int kButtonTop = 56;

    MessageIconView* imgMsg01;
    MessageIconView* imgMsg02;
    MessageIconView* imgMsg03;
    MessageIconView* imgMsg04;
    PitchedLabel* lblMsg;
    QPushButton* btnYes;
    QPushButton* btnNo;
    QPushButton* btnOk;

    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showIcon(MessageIcon icon);
    void showButtons(bool yesNo);
    void applyFonts();
    void layoutText(const QWidget* owner);
    void setTransientOwner(const QWidget* owner);

    QPushButton* cancelButton_ = nullptr;
    QString designFontName_;
    bool showing_ = false;
};

// Creates the shared form (the main window calls this right after it is
// built); later calls return the same form.
TfrmMsg* CreateMessageForm();
// The shared form, created on first use.
TfrmMsg* frmMsg();

// Shows a message box; when the shared form is already showing a message
// (a question asked from a timer while a box is open) a second form of the
// same kind shows this one, so no message is lost.
int ShowMessageBox(QWidget* owner, const QString& text, int kind, const QString& title);

// True while any message box is on screen.
bool MessageFormVisible();

// The main window's warnings about the editor, the compiler and the player:
// a warning box (kind 0x30), dropped (returns 0, nothing shown or queued)
// while another message box is on screen, so an automatic action never
// stacks a second box.
int ShowDroppableWarning(QWidget* owner, const QString& text, const QString& title);

// The application's standard error display: an error that ended an operation
// (an error box, kind 0x10, titled with the owner window's caption).
void ShowApplicationError(QWidget* owner, const QString& text);

}  // namespace zek::ui
