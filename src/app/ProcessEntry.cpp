#include "app/ProcessEntry.h"

#include "app/CommandLine.h"
#include "app/SharedHandoffBlock.h"
#include "app/Untmain.h"
#include "platform/DesktopWindows.h"
#include "platform/FontConfigWarmup.h"
#include "platform/PrivateDir.h"
#include "platform/SharedBlockFile.h"
#include "platform/TerminationSignals.h"
#include "ui/Fonts.h"
#include "ui/ProgramIcon.h"
#include "ui/Untmsg.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>

#include <cstdio>
#include <exception>
#include <memory>
#include <unistd.h>

namespace zek::app {
namespace {

void complain(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

QByteArray currentDir() {
    char buf[4096];
    return ::getcwd(buf, sizeof buf) ? QByteArray(buf) : QByteArray();
}

bool firstArgumentIsMin(const QList<QByteArray>& args) {
    return !args.isEmpty() && args.front().toUpper() == "/MIN";
}

// The running instance: the GUI and its message loop.
int runGui(HandoffBlock& block) {
    int argc = 1;
    char arg0[] = "zek";
    char* argv[] = {arg0, nullptr};
    // A global (D-Bus) menu bar is looked for at the first menu bar and costs
    // a noticeable part of the start-up; ZEK's menu lives in its window.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    platform::FontConfigWarmup fonts;
    QApplication app(argc, argv);
    // The window ZEK was started from: asked through the GUI's own display
    // connection, as a second one can take long to open.
    if (block.hwndReturn() == 0)
        block.setHwndReturn(platform::activeWindow());
    QApplication::setApplicationName(QStringLiteral("ZEK"));
    QApplication::setDesktopFileName(QStringLiteral("zek"));
    fonts.finish();
    ui::installFontSubstitutions();
    // The Japanese UI face for menus and dialogs: a default font without
    // kana would send every caption through a slow search for a fallback.
    QApplication::setFont(ui::designFont(ui::kPGothicFont, 12));
    QApplication::setWindowIcon(ui::programIcon());
    try {
        platform::TerminationSignals signals;
        auto frmMain = std::make_unique<TfrmMain>(block, platform::programFolder());
        QObject::connect(&signals, &platform::TerminationSignals::terminationRequested, frmMain.get(),
                         [&frmMain](int) { frmMain->requestClose(); });
        ui::CreateMessageForm();
        if (frmMain->startMinimised())
            frmMain->showMinimized();
        else
            frmMain->show();
        QApplication::exec();
        frmMain.reset();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, kMainCaption, QString::fromLocal8Bit(e.what()));
    }
    return 0;
}

}  // namespace

int runProcess(int argc, char** argv) {
    QList<QByteArray> args;
    for (int i = 1; i < argc; ++i)
        args << QByteArray(argv[i]);

    const ParsedCommandLine parsed = parseCommandLine(args, currentDir());
    if (!parsed.error.isEmpty()) {
        complain(parsed.error);
        return 1;
    }

    // From the moment this process may become the running instance, a
    // termination request waits until the window can close and save.
    platform::TerminationSignals::holdUntilHandled();
    QString why;
    const QString dir = platform::userRuntimeDir(&why);
    if (dir.isEmpty()) {
        complain(QStringLiteral("zek: no private runtime folder: %1").arg(why));
        return 1;
    }
    auto file = platform::SharedBlockFile::open(dir, QString::fromLatin1(kHandoffBlockName),
                                                sizeof(SharedHandoffBlock), &why);
    if (!file) {
        complain(QStringLiteral("zek: cannot use the hand-off block: %1").arg(why));
        return 1;
    }
    HandoffBlock block(static_cast<SharedHandoffBlock*>(file->data()));

    if (file->role() == platform::SharedBlockFile::Role::Guest) {
        platform::TerminationSignals::releaseHeld();
        if (!parsed.request || firstArgumentIsMin(args))
            return 1;
        if (block.command() == 0 && !block.compileRequest()) {
            block.setHwndReturn(platform::activeWindow());
            writeRequest(block, *parsed.request);
        }
        return 1;
    }

    block.initialise(0);
    if (parsed.request) {
        if (parsed.request->minimize)
            block.setMinimizeRequest(true);
        else
            writeRequest(block, *parsed.request);
    }
    file->releaseGuard();
    return runGui(block);
}

}  // namespace zek::app
