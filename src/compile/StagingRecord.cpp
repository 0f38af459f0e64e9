#include "compile/StagingRecord.h"

#include "platform/FileOps.h"
#include "platform/XdgPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace zek::compile {
namespace {

// One journal line: "F <identity or -> <path>" or "D - <path>", the path
// percent-encoded so that any file name fits on one line.
QByteArray line(const QString& path, bool folder, const QByteArray& identity) {
    return QByteArray(folder ? "D " : "F ") + (identity.isEmpty() ? QByteArray("-") : identity) + ' ' +
           QFile::encodeName(path).toPercentEncoding("/") + '\n';
}

QString normal(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

bool somethingAt(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

}  // namespace

QString StagingRecord::defaultFile() { return platform::stateHome() + QStringLiteral("/zek/staged"); }

StagingRecord::StagingRecord(QString file) : file_(std::move(file)) { load(); }

void StagingRecord::load() {
    QFile in(file_);
    if (!in.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray& text : in.readAll().split('\n')) {
        // A line cut short by a crash has no path part and is skipped.
        const QList<QByteArray> parts = text.split(' ');
        if (parts.size() != 3 || (parts[0] != "F" && parts[0] != "D") || parts[2].isEmpty())
            continue;
        const QString path = QFile::decodeName(QByteArray::fromPercentEncoding(parts[2]));
        entries_[path] = Entry{parts[0] == "D", parts[1] == "-" ? QByteArray() : parts[1]};
    }
}

bool StagingRecord::record(const QString& path, const Entry& entry) {
    if (!QDir().mkpath(QFileInfo(file_).absolutePath()))
        return false;
    QFile out(file_);
    if (!out.open(QIODevice::Append | QIODevice::Unbuffered))
        return false;
    const QByteArray text = line(path, entry.folder, entry.identity);
    if (out.write(text) != text.size())
        return false;
    entries_[path] = entry;
    return true;
}

bool StagingRecord::owns(const QString& path) const {
    const auto it = entries_.find(normal(path));
    if (it == entries_.end())
        return false;
    if (it->second.folder)
        return QFileInfo(path).isDir() && !QFileInfo(path).isSymLink();
    const QByteArray identity = platform::fileIdentity(path);
    // A file recorded but not known as written (a crash came between) is
    // ours whatever it holds: nothing was there when it was recorded.
    return !identity.isEmpty() && (it->second.identity.isEmpty() || it->second.identity == identity);
}

bool StagingRecord::makeFolder(const QString& path) {
    const QString folder = normal(path);
    if (somethingAt(folder))
        return QFileInfo(folder).isDir();
    return record(folder, Entry{true, {}}) && QDir().mkdir(folder);
}

bool StagingRecord::copyFile(const QString& from, const QString& to) {
    const QString target = normal(to);
    if (somethingAt(target) && !owns(target))
        return false;
    if (!record(target, Entry{false, {}}) || !CopyFileReplacing(from, target))
        return false;
    return record(target, Entry{false, platform::fileIdentity(target)});
}

void StagingRecord::removeAll() {
    std::map<QString, Entry> left;
    for (const auto& [path, entry] : entries_) {
        if (entry.folder || !owns(path))
            continue;
        if (QFileInfo(path).permissions() & QFileDevice::WriteOwner)
            platform::removeFile(path);
        if (owns(path))
            left[path] = entry;
    }
    // Reverse order visits a folder's sub-folders before the folder itself.
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (!it->second.folder || !owns(it->first))
            continue;
        QDir().rmdir(it->first);  // only when empty
        if (owns(it->first))
            left[it->first] = it->second;
    }
    entries_ = left;
    if (entries_.empty()) {
        QFile::remove(file_);
        return;
    }
    QSaveFile out(file_);
    if (!out.open(QIODevice::WriteOnly))
        return;
    for (const auto& [path, entry] : entries_)
        out.write(line(path, entry.folder, entry.identity));
    out.commit();
}

}  // namespace zek::compile
