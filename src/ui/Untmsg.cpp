#include "ui/Untmsg.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTextLayout>
#include <QTextOption>
#include <QWindow>
#include <algorithm>

#include "ui/Fonts.h"
#include "ui/Placement.h"

namespace zek::ui {

MessageIcon IconForKind(int kind) {
    switch (kind & 0xF0) {
    case kMbIconError: return MessageIcon::Error;
    case kMbIconQuestion: return MessageIcon::Question;
    case kMbIconWarning: return MessageIcon::Warning;
    case kMbIconInformation: return MessageIcon::Information;
    default: return MessageIcon::None;
    }
}

bool HasYesNoButtons(int kind) {
    // Any other button nibble gets OK, so a box can always be answered.
    return (kind & 0x0F) == kMbYesNo;
}

// ---------------------------------------------------------------------------

PitchedLabel::PitchedLabel(int pitch, QWidget* parent) : QWidget(parent), pitch_(pitch) {
    resize(width(), pitch_);
}

PitchedLabel::~PitchedLabel() = default;

void PitchedLabel::setText(const QString& text) {
    text_ = text;
    relayout();
}

int PitchedLabel::lineCount() const {
    return std::max<int>(1, static_cast<int>(lines_.size()));
}

QStringList PitchedLabel::lines() const {
    QStringList result;
    for (const Line& line : lines_) {
        if (line.index < 0) {
            result << QString();
            continue;
        }
        const QTextLayout& layout = *paragraphs_[line.paragraph];
        const QTextLine textLine = layout.lineAt(line.index);
        result << layout.text().mid(textLine.textStart(), textLine.textLength());
    }
    return result;
}

void PitchedLabel::relayout() {
    paragraphs_.clear();
    lines_.clear();
    laidOutWidth_ = width();

    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const QStringList paragraphs = text_.split(lineBreak);
    for (const QString& paragraph : paragraphs) {
        auto layout = std::make_unique<QTextLayout>(paragraph, font());
        layout->setTextOption(option);
        layout->beginLayout();
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine())
            line.setLineWidth(laidOutWidth_);
        layout->endLayout();
        const int paragraphIndex = static_cast<int>(paragraphs_.size());
        for (int i = 0; i < layout->lineCount(); ++i)
            lines_.push_back({paragraphIndex, i});
        if (layout->lineCount() == 0)  // an empty paragraph still takes its line
            lines_.push_back({paragraphIndex, -1});
        paragraphs_.push_back(std::move(layout));
    }
    resize(laidOutWidth_, textHeight());
    update();
}

void PitchedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.index < 0)
            continue;
        const QTextLine textLine = paragraphs_[line.paragraph]->lineAt(line.index);
        // Centre the font's own line box on the fixed pitch.
        const qreal top = static_cast<qreal>(i) * pitch_ + (pitch_ - textLine.height()) / 2;
        textLine.draw(&painter, QPointF(0, top - textLine.y()));
    }
}

void PitchedLabel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (width() != laidOutWidth_)
        relayout();
}

void PitchedLabel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        relayout();
}

// ---------------------------------------------------------------------------

namespace {

constexpr int kButtonWidth = 89;
constexpr int kButtonHeight = 21;
// The design leaves this much room between a four-line text and the buttons.
constexpr int kTextToButtons = 2;

MessageIconView* makeIcon(MessageIcon icon, QWidget* parent) {
    auto* view = new MessageIconView(icon, parent);
    view->move(8, 16);
    view->hide();
    return view;
}

QPushButton* makeButton(const QString& caption, int left, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(left, TfrmMsg::kButtonTop, kButtonWidth, kButtonHeight);
    button->setAutoDefault(true);
    button->hide();
    return button;
}

int activeBoxes = 0;

class ActiveBox {
public:
    explicit ActiveBox(bool& flag) : flag_(flag) {
        flag_ = true;
        ++activeBoxes;
    }
    ~ActiveBox() {
        flag_ = false;
        --activeBoxes;
    }
    ActiveBox(const ActiveBox&) = delete;
    ActiveBox& operator=(const ActiveBox&) = delete;

private:
    bool& flag_;
};

}  // namespace

TfrmMsg::TfrmMsg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      designFontName_(kPGothicFont) {
    setObjectName(QStringLiteral("frmMsg"));
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);

    imgMsg01 = makeIcon(MessageIcon::Error, this);
    imgMsg02 = makeIcon(MessageIcon::Question, this);
    imgMsg03 = makeIcon(MessageIcon::Warning, this);
    imgMsg04 = makeIcon(MessageIcon::Information, this);

    lblMsg = new PitchedLabel(kLabelHeight, this);
    lblMsg->setGeometry(kLabelLeft, kLabelTop, kLabelWidth, kLabelHeight);

    btnYes = makeButton(QStringLiteral("はい(&Y)"), 56, this);
    btnNo = makeButton(QStringLiteral("いいえ(&N)"), 152, this);
    btnOk = makeButton(QStringLiteral("OK"), 104, this);
    connect(btnYes, &QPushButton::clicked, this, [this] { done(kIdYes); });
    connect(btnNo, &QPushButton::clicked, this, [this] { done(kIdNo); });
    connect(btnOk, &QPushButton::clicked, this, [this] { done(kIdOk); });

    applyFonts();
}

void TfrmMsg::applyFonts() {
    const QFont font = designFont(designFontName_, 12);
    setFont(font);
    lblMsg->setFont(font);
    btnYes->setFont(font);
    btnNo->setFont(font);
    btnOk->setFont(font);
}

void TfrmMsg::showIcon(MessageIcon icon) {
    for (MessageIconView* view : {imgMsg01, imgMsg02, imgMsg03, imgMsg04})
        view->setVisible(view->icon() == icon);
}

void TfrmMsg::showButtons(bool yesNo) {
    btnYes->setVisible(yesNo);
    btnNo->setVisible(yesNo);
    btnOk->setVisible(!yesNo);
    QPushButton* defaultButton = yesNo ? btnYes : btnOk;
    cancelButton_ = yesNo ? btnNo : btnOk;
    defaultButton->setDefault(true);
    defaultButton->setFocus();
}

void TfrmMsg::layoutText(const QWidget* owner) {
    lblMsg->setGeometry(kLabelLeft, kLabelTop, kLabelWidth, kLabelHeight);
    const int textHeight = lblMsg->textHeight();
    // The label stays centred on its design line; a text too tall for that
    // starts at the client's top edge.
    const int top = std::max(0, kLabelTop - (textHeight - kLabelHeight) / 2);
    // Up to four lines fit above the buttons. A taller text moves the buttons
    // down and grows the form (up to the screen's height) rather than running
    // under the buttons or off the form.
    int extra = std::max(0, top + textHeight + kTextToButtons - kButtonTop);
    if (extra > 0) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const int frameHeight = OuterSize(this, owner).height() - height();
        const int room = screen ? screen->availableGeometry().height() - frameHeight - kClientHeight : 0;
        extra = std::min(extra, std::max(0, room));
    }
    const int buttonTop = kButtonTop + extra;
    lblMsg->setGeometry(kLabelLeft, top, kLabelWidth, std::min(textHeight, buttonTop - kTextToButtons - top));
    setFixedSize(kClientWidth, kClientHeight + extra);
    for (QPushButton* button : {btnYes, btnNo, btnOk})
        button->move(button->x(), buttonTop);
}

void TfrmMsg::setTransientOwner(const QWidget* owner) {
    // Keeps the box above the window that asks. A hidden or minimised owner
    // (ZEK in the tray) would take the box out of sight with it, so then the
    // box stands alone.
    const QWidget* ownerWindow = owner ? owner->window() : nullptr;
    if (ownerWindow == this || (ownerWindow && (!ownerWindow->isVisible() || ownerWindow->isMinimized())))
        ownerWindow = nullptr;
    QWindow* ownerHandle = ownerWindow ? ownerWindow->windowHandle() : nullptr;
    winId();
    if (QWindow* handle = windowHandle())
        handle->setTransientParent(ownerHandle);
}

void TfrmMsg::Prepare(QWidget* owner, const QString& text, int kind, const QString& title) {
    setResult(0);
    showIcon(IconForKind(kind));
    showButtons(HasYesNoButtons(kind));
    applyFonts();
    lblMsg->setText(text);
    setWindowTitle(title);
    layoutText(owner);
    PlaceOverOwner(this, owner);
    setTransientOwner(owner);
}

int TfrmMsg::ShowMessageBox(QWidget* owner, const QString& text, int kind, const QString& title) {
    Prepare(owner, text, kind, title);
    ActiveBox active(showing_);
    return exec();
}

void TfrmMsg::reject() {
    // Reached from the title bar's close box; Esc presses the cancel button.
    done(kIdClosed);
}

void TfrmMsg::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel) && cancelButton_ && cancelButton_->isVisible()) {
        cancelButton_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---------------------------------------------------------------------------

namespace {

QPointer<TfrmMsg> sharedForm;

void destroySharedForm() {
    delete sharedForm.data();
}

}  // namespace

TfrmMsg* CreateMessageForm() {
    if (!sharedForm) {
        static bool cleanupRegistered = false;
        if (!cleanupRegistered) {
            // Runs while the application object still exists.
            qAddPostRoutine(destroySharedForm);
            cleanupRegistered = true;
        }
        sharedForm = new TfrmMsg;
    }
    return sharedForm;
}

TfrmMsg* frmMsg() {
    return CreateMessageForm();
}

int ShowMessageBox(QWidget* owner, const QString& text, int kind, const QString& title) {
    TfrmMsg* form = frmMsg();
    if (!form->isShowingMessage())
        return form->ShowMessageBox(owner, text, kind, title);
    TfrmMsg nested;
    return nested.ShowMessageBox(owner, text, kind, title);
}

bool MessageFormVisible() {
    return activeBoxes > 0 || (sharedForm && sharedForm->isVisible());
}

int ShowDroppableWarning(QWidget* owner, const QString& text, const QString& title) {
    if (MessageFormVisible())
        return 0;
    return ShowMessageBox(owner, text, kMbIconWarning | kMbOk, title);
}

void ShowApplicationError(QWidget* owner, const QString& text) {
    ShowMessageBox(owner, text, kMbIconError | kMbOk, owner ? owner->window()->windowTitle() : QString());
}

}  // namespace zek::ui
