#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the GUI thread, so the
// program can close its main window as through the close box and save.
#include <QObject>

class QSocketNotifier;

namespace zek::platform {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void readPending();
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace zek::platform
