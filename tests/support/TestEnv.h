#pragma once
// Every test runs against its own HOME, XDG folders and temp folder, so no
// test touches the real user's files.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <map>
#include <optional>

namespace zek::test {

class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv();
    void set(const char* name, const QByteArray& value);
    void unset(const char* name);

private:
    std::map<QByteArray, std::optional<QByteArray>> saved_;
    void remember(const char* name);
};

// A fresh home with XDG_CONFIG_HOME, XDG_RUNTIME_DIR (0700), XDG_STATE_HOME,
// XDG_DATA_HOME, a temp folder and an empty program folder inside it.
class IsolatedHome {
public:
    IsolatedHome();
    QString root() const { return dir_.path(); }
    QString home() const { return dir_.path() + "/home"; }
    QString configHome() const { return dir_.path() + "/config"; }
    QString runtimeDir() const { return dir_.path() + "/runtime"; }
    QString stateHome() const { return dir_.path() + "/state"; }
    QString dataHome() const { return dir_.path() + "/data"; }
    QString tempDir() const { return dir_.path() + "/tmp"; }
    QString programDir() const { return dir_.path() + "/program"; }
    QString path(const QString& rel) const { return dir_.path() + "/" + rel; }
    ScopedEnv& env() { return env_; }

private:
    QTemporaryDir dir_;
    ScopedEnv env_;
};

// Lowers the open-file limit so that exactly `freeDescriptors` more files can
// be opened, to make a later step run out; the old limit comes back with
// restore() or at the end of the scope.
class DescriptorLimit {
public:
    explicit DescriptorLimit(int freeDescriptors);
    ~DescriptorLimit() { restore(); }
    bool ok() const { return ok_; }
    void restore();

private:
    struct { unsigned long cur, max; } saved_{};
    bool ok_ = false;
};

// True when the process is gone, or a zombie about to be collected: either
// way no longer running.
bool processGone(qint64 pid);

// Small file helpers for fixtures.
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
QString fixture(const QString& name);   // path inside tests/fixtures
// Polls `condition` (spinning the event loop) until it holds or time runs out.
template <class F>
bool waitFor(F condition, int timeoutMs);
// Waits until the file exists.
bool waitForFile(const QString& path, int timeoutMs = 20000);

}  // namespace zek::test

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

template <class F>
bool zek::test::waitFor(F condition, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}
