// Usage: settings_screenshot <output folder>
// Shows the first-run dialog and every tab of the settings dialog (for SPICE
// and MML2MID) over a stand-in main window and saves the screen for each.
// Run it with XDG_CONFIG_HOME pointing at a scratch folder: it writes a store.
#include "settings/SettingsStore.h"
#include "settings/Untfirst.h"
#include "settings/Untinit.h"
#include "ui/Fonts.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScreen>
#include <QTabWidget>
#include <QThread>
#include <QWidget>

using namespace zek;

namespace {

void settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

void shoot(const QString& path) { QGuiApplication::primaryScreen()->grabWindow(0).save(path); }

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ui::installFontSubstitutions();
    QApplication::setFont(ui::designFont(ui::kPGothicFont, 12));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);

    QWidget mainWindow;
    mainWindow.setWindowTitle(QStringLiteral("ZEK - MMLコンパイラ支援ツール"));
    mainWindow.setGeometry(100, 100, 513, 368);
    mainWindow.show();
    settle(300);

    int chosen = -1;
    {
        settings::TfrmFirst first(&mainWindow, chosen, QString());
        first.show();
        settle(400);
        shoot(out + "/first.png");
    }
    const settings::SettingsStore store{QString()};
    for (int kind : {0, 1}) {
        settings::Settings s;
        store.load(s);
        s.compiler = kind;
        s.execeditor = QStringLiteral("/usr/bin/mousepad");
        s.wave = kind;
        store.save(s);
        settings::TfrmInit dialog(&mainWindow, store);
        dialog.show();
        for (int tab = 0; tab < dialog.pctInit->count(); ++tab) {
            dialog.pctInit->setCurrentIndex(tab);
            settle(300);
            shoot(QStringLiteral("%1/init_kind%2_tab%3.png").arg(out).arg(kind).arg(tab + 1));
        }
    }
    return 0;
}
