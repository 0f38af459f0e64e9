#include "TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace zek::test {

ScopedEnv::~ScopedEnv() {
    for (auto& [name, value] : saved_) {
        if (value)
            ::setenv(name.constData(), value->constData(), 1);
        else
            ::unsetenv(name.constData());
    }
}

void ScopedEnv::remember(const char* name) {
    if (saved_.count(name))
        return;
    const char* old = std::getenv(name);
    saved_[name] = old ? std::optional<QByteArray>(QByteArray(old)) : std::nullopt;
}

void ScopedEnv::set(const char* name, const QByteArray& value) {
    remember(name);
    ::setenv(name, value.constData(), 1);
}

void ScopedEnv::unset(const char* name) {
    remember(name);
    ::unsetenv(name);
}

bool processGone(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    const char state = close >= 0 && close + 2 < text.size() ? text[close + 2] : '?';
    return state == 'Z' || state == 'X';
}

IsolatedHome::IsolatedHome() {
    for (const char* sub : {"home", "config", "runtime", "state", "data", "tmp", "program"})
        QDir().mkpath(dir_.path() + "/" + sub);
    ::chmod(QFile::encodeName(runtimeDir()).constData(), 0700);
    env_.set("HOME", QFile::encodeName(home()));
    env_.set("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    env_.set("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir()));
    env_.set("XDG_STATE_HOME", QFile::encodeName(stateHome()));
    env_.set("XDG_DATA_HOME", QFile::encodeName(dataHome()));
    env_.set("TMPDIR", QFile::encodeName(tempDir()));
    env_.unset("TEMP");
    env_.unset("TMP");
    env_.unset("XDG_CONFIG_DIRS");
    env_.set("XDG_DATA_DIRS", QFile::encodeName(dir_.path() + "/sysdata"));
}

DescriptorLimit::DescriptorLimit(int freeDescriptors) {
    rlimit saved{};
    if (::getrlimit(RLIMIT_NOFILE, &saved) != 0)
        return;
    saved_ = {saved.rlim_cur, saved.rlim_max};
    int limit = 3;
    for (int freeBelow = 0; freeBelow < freeDescriptors; ++limit)
        if (::fcntl(limit, F_GETFD) == -1)
            ++freeBelow;
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(limit);
    ok_ = ::setrlimit(RLIMIT_NOFILE, &tight) == 0;
}

void DescriptorLimit::restore() {
    if (!ok_)
        return;
    const rlimit saved{static_cast<rlim_t>(saved_.cur), static_cast<rlim_t>(saved_.max)};
    ::setrlimit(RLIMIT_NOFILE, &saved);
    ok_ = false;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool waitForFile(const QString& path, int timeoutMs) {
    return waitFor([&] { return QFileInfo::exists(path); }, timeoutMs);
}

QString fixture(const QString& name) {
    return QString::fromUtf8(ZEK_FIXTURES_DIR) + "/" + name;
}

}  // namespace zek::test
