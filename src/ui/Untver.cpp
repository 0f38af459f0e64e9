#include "ui/Untver.h"

#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <algorithm>

#include "ui/Fonts.h"
#include "ui/Placement.h"
#include "ui/VersionLogo.h"

namespace zek::ui {

RoundedShape::RoundedShape(const QColor& fill, const QColor& outline, QWidget* parent)
    : QWidget(parent), fill_(fill), outline_(outline) {}

void RoundedShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(outline_, 1.0));
    painter.setBrush(fill_);
    // Corner radius an eighth of the shorter side; the outline stays inside.
    const qreal radius = std::min(width(), height()) / 8.0;
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

namespace {

QFont dialogFont(bool bold) {
    QFont font = designFont(kPGothicFont, 12);
    font.setBold(bold);
    return font;
}

QLabel* makeLabel(const QString& text, const QColor& colour, int left, int top, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(dialogFont(true));
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->move(left, top);
    label->adjustSize();
    return label;
}

}  // namespace

TfrmVer::TfrmVer(QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmVer"));
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setFont(dialogFont(false));
    setFixedSize(kClientWidth, kClientHeight);

    shpVer = new RoundedShape(Qt::black, Qt::black, this);
    shpVer->setGeometry(4, 4, 237, 57);

    imgTalmo = new VersionLogo(this);
    imgTalmo->move(8, 12);

    lblTitle = makeLabel(QStringLiteral("MMLコンパイラ支援ツール"), Qt::white, 88, 20, this);
    lblName = makeLabel(QStringLiteral("ZEK Version 1.58"), Qt::cyan, 112, 32, this);
    lblCopy = makeLabel(QStringLiteral("(C) 2026 ZEK developers"), Qt::green, 24, 44, this);

    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setFont(dialogFont(false));
    btnOk->setGeometry(84, 68, 80, 21);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &TfrmVer::btnOkClick);

    PlaceOverOwner(this, mainWindow);
}

void TfrmVer::btnOkClick() {
    accept();
}

void ShowVersionDialog(QWidget* mainWindow) {
    // On the heap: the main window may go away (and take its children)
    // while the dialog's event loop runs.
    QPointer<TfrmVer> dialog = new TfrmVer(mainWindow);
    dialog->exec();
    delete dialog.data();
}

}  // namespace zek::ui
