#pragma once
// TfrmFirst: the first-run compiler choice.
#include <QDialog>
#include <QString>

#include <array>

class QLabel;
class QListWidget;
class QPushButton;

namespace zek::settings {

inline const QString kFirstCaption = QStringLiteral("MMLコンパイラ選択");

class TfrmFirst : public QDialog {
    Q_OBJECT
public:
    // `chosenCompiler` is the main window's: -1 until a compiler is chosen.
    TfrmFirst(QWidget* mainWindow, int& chosenCompiler, QString programFolder);

    static constexpr int kClientWidth = 392;
    static constexpr int kClientHeight = 81;

    QLabel* imgIcon;
    QListWidget* lstText;
    std::array<QPushButton*, 4> compilerButtons;  // btnSpice, btnMml2mid, btncSakura, btndSakura; tag = index
    QPushButton* btnSpice;
    QPushButton* btnMml2mid;
    QPushButton* btncSakura;
    QPushButton* btndSakura;
    QPushButton* btnReadme;

    void FormCreate();
    void btnCompilerClick(int tag);
    // Whether the dialog may close; asks when nothing was chosen yet.
    bool FormCloseQuery();
    void btnReadmeClick();

    // Esc and the close box: closes only once FormCloseQuery allows it.
    void reject() override;

private:
    int& chosenCompiler_;
    QString programFolder_;
};

}  // namespace zek::settings
