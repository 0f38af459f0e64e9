#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the GUI thread, so the
// program can close its main window as through the close box and save.
#include <QObject>

class QSocketNotifier;

namespace zek::platform {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Holds the signals back until a TerminationSignals exists, so one that
    // arrives during start-up is handled once the window can close, instead
    // of killing the process before it has saved anything.
    static void holdUntilHandled();
    // Lets held signals act as usual again (a process that will not run the GUI).
    static void releaseHeld();

    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void readPending();
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace zek::platform
