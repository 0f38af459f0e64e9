#include "settings/Untfirst.h"

#include "compile/CompilerTable.h"
#include "compile/ShellOpen.h"
#include "ui/Fonts.h"
#include "ui/Placement.h"
#include "ui/ProgramIcon.h"
#include "ui/Untmsg.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace zek::settings {
namespace {

const QString kAskDefault =
    QStringLiteral("コンパイラを選択していません。\nデフォルトでSPICEが設定されます。\nよろしいですか？");

constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonTop = 52;
constexpr int kLineHeight = 13;

}  // namespace

TfrmFirst::TfrmFirst(QWidget* mainWindow, int& chosenCompiler, QString programFolder)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                              Qt::MSWindowsFixedSizeDialogHint),
      chosenCompiler_(chosenCompiler), programFolder_(std::move(programFolder)) {
    setObjectName(QStringLiteral("frmFirst"));
    setWindowTitle(kFirstCaption);
    setFont(ui::designFont(ui::kPGothicFont, 12));
    setFixedSize(kClientWidth, kClientHeight);

    imgIcon = new QLabel(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setGeometry(8, 8, 32, 32);
    imgIcon->setPixmap(ui::programIconPixmap(32));

    lstText = new QListWidget(this);
    lstText->setObjectName(QStringLiteral("lstText"));
    lstText->setGeometry(48, 8, 337, 41);
    lstText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (const QString& line : {QStringLiteral("この度は ZEK を、ご利用頂き誠に有り難うございます。"),
                                QStringLiteral("使用されるMMLコンパイラを選択して下さい。"),
                                QStringLiteral("※後から変更する事も可能です。")}) {
        auto* item = new QListWidgetItem(line, lstText);
        item->setSizeHint(QSize(0, kLineHeight));
    }

    const char* names[] = {"btnSpice", "btnMml2mid", "btncSakura", "btndSakura"};
    for (int tag = 0; tag < compile::kCompilerKindCount; ++tag) {
        const QString name = compile::compilerKindInfo(tag).name;
        auto* b = new QPushButton(name, this);
        b->setObjectName(QString::fromLatin1(names[tag]));
        b->setToolTip(name);
        b->setGeometry(4 + tag * 77, kButtonTop, kButtonWidth, kButtonHeight);
        connect(b, &QPushButton::clicked, this, [this, tag] { btnCompilerClick(tag); });
        compilerButtons[static_cast<size_t>(tag)] = b;
    }
    btnSpice = compilerButtons[0];
    btnMml2mid = compilerButtons[1];
    btncSakura = compilerButtons[2];
    btndSakura = compilerButtons[3];
    btnReadme = new QPushButton(QStringLiteral("README"), this);
    btnReadme->setObjectName(QStringLiteral("btnReadme"));
    btnReadme->setGeometry(4 + 4 * 77, kButtonTop, kButtonWidth, kButtonHeight);
    connect(btnReadme, &QPushButton::clicked, this, &TfrmFirst::btnReadmeClick);

    FormCreate();
}

void TfrmFirst::FormCreate() {
    ui::PlaceOverOwner(this, parentWidget());
    chosenCompiler_ = -1;
}

void TfrmFirst::btnCompilerClick(int tag) {
    const QString hint = compilerButtons[static_cast<size_t>(tag)]->toolTip();
    const QString question = QStringLiteral("コンパイラを ") + hint + QStringLiteral(" に設定します。\nよろしいですか？");
    if (ui::ShowMessageBox(this, question, ui::kMbIconQuestion | ui::kMbYesNo, windowTitle()) != ui::kIdYes)
        return;
    chosenCompiler_ = tag;
    accept();
}

bool TfrmFirst::FormCloseQuery() {
    if (chosenCompiler_ != -1)
        return true;
    if (ui::ShowMessageBox(this, kAskDefault, ui::kMbIconQuestion | ui::kMbYesNo, windowTitle()) != ui::kIdYes)
        return false;
    chosenCompiler_ = 0;
    return true;
}

void TfrmFirst::btnReadmeClick() {
    compile::ShellOpen(programFolder_ + QStringLiteral("/README.TXT"), QString());
}

// Esc and the close box (through QDialog's close handling) both land here.
void TfrmFirst::reject() {
    if (FormCloseQuery())
        QDialog::reject();
}

}  // namespace zek::settings
