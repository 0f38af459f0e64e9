#include "compile/FolderTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

namespace zek::compile {
namespace {

struct Pattern {
    QString folder;
    QString mask;
};

Pattern split(const QString& pattern) {
    const int slash = pattern.lastIndexOf('/');
    if (slash < 0)
        return {QStringLiteral("."), pattern};
    return {pattern.left(slash).isEmpty() ? QStringLiteral("/") : pattern.left(slash), pattern.mid(slash + 1)};
}

bool matches(const QString& mask, const QString& name) {
    if (mask == QLatin1String("*.*") || mask == QLatin1String("*"))
        return true;
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(mask));
    return re.match(name).hasMatch();
}

struct Entry {
    QString name;
    QString path;
    struct stat st;
};

// The folder's entries that match the mask, hidden ones left out; lstat, so
// a symbolic link is seen as itself.
QList<Entry> list(const Pattern& p) {
    QList<Entry> out;
    const QStringList names =
        QDir(p.folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (name.startsWith('.') || !matches(p.mask, name))
            continue;
        Entry e{name, p.folder + "/" + name, {}};
        if (::lstat(QFile::encodeName(e.path).constData(), &e.st) != 0)
            continue;
        out << e;
    }
    return out;
}

QString canonical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }

bool isInside(const QString& path, const QString& folder) {
    return !path.isEmpty() && !folder.isEmpty() && (path == folder || path.startsWith(folder + "/"));
}

void copyTree(const Pattern& source, const QString& targetFolder, TreeWriter& writer) {
    for (const Entry& e : list(source)) {
        const QString target = targetFolder + "/" + e.name;
        if (S_ISDIR(e.st.st_mode)) {
            const QString from = canonical(e.path);
            // Never walk into the target's own tree (a target inside the source).
            if (isInside(canonical(targetFolder), from))
                continue;
            if (!writer.makeFolder(target))
                continue;
            if (canonical(target) == from)
                continue;
            copyTree({e.path, source.mask}, target, writer);
        } else if (S_ISREG(e.st.st_mode)) {
            if (canonical(target) == canonical(e.path))
                continue;  // the same file: copying would destroy it
            writer.copyFile(e.path, target);
        }
    }
}

void deleteTree(const Pattern& p) {
    for (const Entry& e : list(p)) {
        const QByteArray path = QFile::encodeName(e.path);
        if (S_ISDIR(e.st.st_mode)) {
            deleteTree({e.path, p.mask});
            ::rmdir(path.constData());
        } else if (S_ISLNK(e.st.st_mode) || (e.st.st_mode & S_IWUSR)) {
            ::unlink(path.constData());
        }
    }
}

}  // namespace

bool CopyFileReplacing(const QString& from, const QString& to) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    char buf[65536];
    for (;;) {
        const qint64 n = in.read(buf, sizeof buf);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (out.write(buf, n) != n)
            return false;
    }
    if (!out.commit())
        return false;
    QFile::setPermissions(to, in.permissions());
    return true;
}

bool TreeWriter::makeFolder(const QString& path) { return QDir().mkpath(path); }

bool TreeWriter::copyFile(const QString& from, const QString& to) { return CopyFileReplacing(from, to); }

void CopyFolderTree(const QString& sourcePattern, const QString& targetPattern, TreeWriter& writer) {
    const Pattern source = split(sourcePattern);
    const Pattern target = split(targetPattern);
    const QString from = canonical(source.folder);
    if (from.isEmpty() || canonical(target.folder) == from)
        return;
    copyTree(source, target.folder, writer);
}

void CopyFolderTree(const QString& sourcePattern, const QString& targetPattern) {
    TreeWriter plain;
    CopyFolderTree(sourcePattern, targetPattern, plain);
}

void DeleteFolderTree(const QString& pattern) { deleteTree(split(pattern)); }

}  // namespace zek::compile
