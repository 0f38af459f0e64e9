// Usage: msg_screenshot <output folder> [milliseconds each window stays up]
// Shows each message kind and the version dialog over a stand-in main window
// and saves the whole screen for each, plus the icons enlarged.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "ui/Fonts.h"
#include "ui/MessageIcons.h"
#include "ui/Untmsg.h"
#include "ui/Untver.h"

using namespace zek::ui;

namespace {

QString outDir;
int holdMs = 600;

// Once a modal window is up and painted, save the screen and close it.
void shootNextModal(const QString& name) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, name] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        QTimer::singleShot(holdMs, [modal, name] {
            QGuiApplication::primaryScreen()->grabWindow(0).save(outDir + "/" + name + ".png");
            modal->close();
        });
    });
    timer->start(20);
}

void saveIcons() {
    const MessageIcon icons[] = {MessageIcon::Error, MessageIcon::Question, MessageIcon::Warning,
                                 MessageIcon::Information};
    QImage sheet(4 * 136, 136 + 40, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(0xf0, 0xf0, 0xf0));
    QPainter painter(&sheet);
    for (int i = 0; i < 4; ++i) {
        // 32 px drawn, then blown up 4x without smoothing to show the real pixels,
        // and the native 32 px version beneath it.
        const QImage small = RenderMessageIcon(icons[i], 32);
        painter.drawImage(QRect(i * 136 + 4, 4, 128, 128), small);
        painter.drawImage(QPoint(i * 136 + 52, 138), small);
    }
    painter.end();
    sheet.save(outDir + "/icons.png");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    installFontSubstitutions();
    outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    if (argc > 2)
        holdMs = QString::fromLocal8Bit(argv[2]).toInt();
    QDir().mkpath(outDir);
    saveIcons();

    QWidget mainWindow;
    mainWindow.setWindowTitle(QStringLiteral("ZEK - MMLコンパイラ支援ツール"));
    mainWindow.setGeometry(120, 120, 520, 320);
    mainWindow.show();
    CreateMessageForm();

    struct Scene {
        const char* name;
        int kind;
        QString text;
    };
    const Scene scenes[] = {
        {"question", 0x24, QStringLiteral("コンパイル結果をエディターに返しますか？")},
        {"error", 0x10, QStringLiteral("ファイル /home/user/曲/song.mml が見つかりません。\nもう一度確かめてください。")},
        {"warning", 0x30, QStringLiteral("プレイヤーを起動できません。\n設定を確かめてください。\n(playerの場所)")},
        {"warning_yesno", 0x34, QStringLiteral("一行目\n二行目\n三行目\n四行目\n五行目")},
        {"information", 0x40, QStringLiteral("情報: 一行のメッセージ")},
    };
    QTimer::singleShot(500, [&] {
        for (const Scene& scene : scenes) {
            shootNextModal(scene.name);
            ShowMessageBox(&mainWindow, scene.text, scene.kind, mainWindow.windowTitle());
        }
        shootNextModal("version");
        ShowVersionDialog(&mainWindow);
        // Near the right edge: the box is pushed left.
        mainWindow.move(QGuiApplication::primaryScreen()->geometry().width() - 200, 400);
        QTimer::singleShot(400, [&] {
            shootNextModal("right_edge");
            ShowMessageBox(&mainWindow, QStringLiteral("右端"), 0x30, mainWindow.windowTitle());
            app.quit();
        });
    });
    return app.exec();
}
