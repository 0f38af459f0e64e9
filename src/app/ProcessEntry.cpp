#include "app/ProcessEntry.h"

#include "app/CommandLine.h"
#include "app/SharedHandoffBlock.h"
#include "app/Untmain.h"
#include "platform/DesktopWindows.h"
#include "platform/DisplayEnvironment.h"
#include "platform/FontConfigWarmup.h"
#include "platform/PrivateDir.h"
#include "platform/ProcessKeeper.h"
#include "platform/SharedBlockFile.h"
#include "platform/TerminationSignals.h"
#include "ui/Fonts.h"
#include "ui/ProgramIcon.h"
#include "ui/Untmsg.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <unistd.h>

namespace zek::app {
namespace {

using platform::SharedBlockFile;

void print(std::FILE* to, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), to);
    std::fflush(to);
}

void complain(const QString& text) { print(stderr, text); }

QByteArray currentDir() {
    char buf[4096];
    return ::getcwd(buf, sizeof buf) ? QByteArray(buf) : QByteArray();
}

std::unique_ptr<SharedBlockFile> openBlock(const QString& dir) {
    QString why;
    auto file = SharedBlockFile::open(dir, QString::fromLatin1(kHandoffBlockName), sizeof(SharedHandoffBlock), &why);
    if (!file)
        complain(QStringLiteral("zek: cannot use the hand-off block: %1").arg(why));
    return file;
}

// While the GUI connects, Qt's fatal error (a display that cannot be opened)
// would abort the process; it ends with a reason and exit code 1 instead.
QtMessageHandler gQtHandler = nullptr;

void startupMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        gQtHandler(type, context, text);
        return;
    }
    complain(QStringLiteral("zek: needs a graphical desktop: cannot open the display \"%1\"")
                 .arg(qEnvironmentVariable("DISPLAY", qEnvironmentVariable("WAYLAND_DISPLAY"))));
    std::_Exit(1);
}

// The running instance: the GUI and its message loop. `notice`, when not
// empty, is shown in a message box once the window is up.
int runGui(SharedBlockFile& file, HandoffBlock& block, const QString& notice) {
    int argc = 1;
    char arg0[] = "zek";
    char* argv[] = {arg0, nullptr};
    // A global (D-Bus) menu bar is looked for at the first menu bar and costs
    // a noticeable part of the start-up; ZEK's menu lives in its window.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    platform::FontConfigWarmup fonts;
    gQtHandler = qInstallMessageHandler(startupMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(gQtHandler);
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
        // One instance per user holds even when a clean-up tool deletes the
        // block file: the name is made again at once, and should another
        // instance have taken it meanwhile, this one gives way to it.
        QTimer nameKeeper;
        QObject::connect(&nameKeeper, &QTimer::timeout, frmMain.get(), [&] {
            if (file.keepName() == SharedBlockFile::NameState::TakenByAnother) {
                nameKeeper.stop();
                frmMain->requestClose();
            }
        });
        nameKeeper.start(100);
        ui::CreateMessageForm();
        if (frmMain->startMinimised())
            frmMain->showMinimized();
        else
            frmMain->show();
        if (!notice.isEmpty()) {
            QTimer::singleShot(0, frmMain.get(), [&frmMain, notice] {
                ui::ShowMessageBox(frmMain.get(), notice, ui::kMbIconWarning, frmMain->windowTitle());
            });
        }
        QApplication::exec();
        frmMain.reset();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, kMainCaption, QString::fromLocal8Bit(e.what()));
    }
    return 0;
}

// This process runs as the instance: it owns the block and holds its guard.
int runInstance(SharedBlockFile& file, const ParsedCommandLine& parsed) {
    // From here a termination request waits until the window can close and save.
    platform::TerminationSignals::holdUntilHandled();
    const QString noDesktop = platform::missingDesktopReason();
    if (!noDesktop.isEmpty()) {
        complain(QStringLiteral("zek: needs a graphical desktop: %1").arg(noDesktop));
        return 1;
    }
    HandoffBlock block(static_cast<SharedHandoffBlock*>(file.data()));
    block.initialise(0);
    QString notice;
    if (parsed.refused) {
        complain(refusedNameLine(*parsed.refused, true));
        notice = refusedNameMessage(*parsed.refused);
    } else if (parsed.request) {
        if (parsed.request->minimize)
            block.setMinimizeRequest(true);
        else
            writeRequest(block, *parsed.request);
    }
    file.releaseGuard();
    return runGui(file, block, notice);
}

}  // namespace

int runProcess(int argc, char** argv) {
    QList<QByteArray> args;
    for (int i = 1; i < argc; ++i)
        args << QByteArray(argv[i]);
    if (!args.isEmpty() && (args.front() == "--help" || args.front() == "--version")) {
        print(stdout, args.front() == "--help" ? QString::fromUtf8(kUsage).chopped(1)
                                                : QStringLiteral("zek %1").arg(QStringLiteral(ZEK_VERSION)));
        return 0;
    }
    const ParsedCommandLine parsed = parseCommandLine(args, currentDir());

    QString why;
    const QString dir = platform::userRuntimeDir(&why);
    if (dir.isEmpty()) {
        complain(QStringLiteral("zek: no private runtime folder: %1").arg(why));
        return 1;
    }
    // The window to return to is asked of the X server with no lock held, so
    // a slow or stuck server holds up this start alone: a second instance
    // looks at the block, lets go, asks, and then takes the block again.
    // The compiler keeper is forked while the process is small and has one
    // thread, so the copy is cheap, and before the block is opened, so no
    // copy of it ever holds the block's lock (a ZEK killed at once would
    // otherwise leave its lock held until the copy has closed it).
    platform::startProcessKeeper();
    std::optional<platform::WindowId> foreground;
    for (;;) {
        auto file = openBlock(dir);
        if (!file)
            return 1;
        if (file->role() == SharedBlockFile::Role::Owner)
            return runInstance(*file, parsed);
        if (parsed.refused) {
            complain(refusedNameLine(*parsed.refused, false));
            return 1;
        }
        if (!parsed.request || parsed.request->minimize)
            return 1;
        HandoffBlock block(static_cast<SharedHandoffBlock*>(file->data()));
        if (block.command() != 0 || block.compileRequest())
            return 1;  // busy: the request is dropped
        if (!foreground) {
            file.reset();
            foreground = platform::activeWindow();
            continue;
        }
        block.setHwndReturn(*foreground);
        writeRequest(block, *parsed.request);
        return 1;
    }
}

}  // namespace zek::app
