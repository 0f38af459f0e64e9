#include "platform/XdgAssociation.h"

#include "platform/DesktopEntryText.h"
#include "platform/XdgPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QSet>

namespace zek::platform {
namespace {

QStringList mimeFolders() {
    QStringList folders{dataHome() + "/mime"};
    for (const QString& d : dataDirs())
        folders << d + "/mime";
    return folders;
}

bool writeWhole(const QString& path, const QByteArray& bytes) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString xmlEscaped(const QString& text) { return text.toHtmlEscaped(); }

// Runs a database tool where installed; its output is of no use here.
void runTool(const QString& name, const QString& folder) {
    const QString program = findProgram(name);
    if (program.isEmpty() || !QFileInfo(folder).isDir())
        return;
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.start(program, {folder});
    if (!tool.waitForFinished(60000)) {
        tool.kill();
        tool.waitForFinished(5000);
    }
}

}  // namespace

QString mimeTypeForExtension(const QString& extension) {
    const QString glob = "*" + extension;
    QString best;
    int bestWeight = -1;
    QSet<QString> noGlobs;  // types whose globs a more important folder dropped
    for (const QString& folder : mimeFolders()) {
        QFile file(folder + "/globs2");
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        QSet<QString> dropsHere;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            // weight:type:glob[:flags]
            const QStringList parts = line.split(':');
            if (parts.size() < 3)
                continue;
            const QString& type = parts[1];
            if (parts[2] == QLatin1String("__NOGLOBS__")) {
                dropsHere.insert(type);
                continue;
            }
            if (noGlobs.contains(type))
                continue;
            const bool caseSensitive = parts.size() > 3 && parts[3].split(',').contains(QLatin1String("cs"));
            if (parts[2].compare(glob, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive) != 0)
                continue;
            const int weight = parts[0].toInt();
            if (weight > bestWeight) {
                bestWeight = weight;
                best = type;
            }
        }
        noGlobs.unite(dropsHere);
    }
    return best;
}

QString mimePackagePath(const QString& mimeType) {
    return dataHome() + "/mime/packages/zek-" + QString(mimeType).replace('/', '-') + ".xml";
}

bool registerMimeType(const QString& mimeType, const QString& extension, const QString& description) {
    const QString path = mimePackagePath(mimeType);
    if (QFileInfo(path).isFile())
        return true;
    const QString xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"" + xmlEscaped(mimeType) + "\">\n"
        "    <comment>" + xmlEscaped(description) + "</comment>\n"
        "    <sub-class-of type=\"text/plain\"/>\n"
        "    <glob pattern=\"*" + xmlEscaped(extension) + "\"/>\n"
        "  </mime-type>\n"
        "</mime-info>\n";
    return writeWhole(path, xml.toUtf8());
}

QString openEntryId(const QString& mimeType) {
    QString id = mimeType;
    id.replace('/', '-').replace('+', '-');
    return "zek-" + id + ".desktop";
}

bool writeOpenEntry(const QString& desktopId, const QString& program, const QStringList& arguments,
                    const QString& mimeType, const QString& comment) {
    std::string exec = desktopExecArgument(QFile::encodeName(program).toStdString());
    for (const QString& a : arguments)
        exec += " " + desktopExecArgument(a.toStdString());
    // %f: one file per start; the running instance takes the others over.
    exec += " %f";
    QByteArray text = "[Desktop Entry]\nType=Application\nVersion=1.0\nName=ZEK\n";
    text += "Comment=" + QByteArray::fromStdString(desktopStringValue(comment.toStdString())) + "\n";
    text += "Exec=" + QByteArray::fromStdString(exec) + "\n";
    text += "MimeType=" + mimeType.toUtf8() + ";\n";
    // Only an opener of files, not an entry of the applications menu.
    text += "NoDisplay=true\nTerminal=false\n";
    return writeWhole(dataHome() + "/applications/" + desktopId, text);
}

QByteArray withDefaultApplication(const QByteArray& mimeapps, const QString& mimeType, const QString& desktopId) {
    const QByteArray group = "[Default Applications]";
    const QByteArray key = mimeType.toUtf8();
    const QByteArray entry = key + "=" + desktopId.toUtf8() + ";";
    QList<QByteArray> lines = mimeapps.split('\n');
    // split() leaves one empty piece after a final line feed.
    const bool endsWithBreak = mimeapps.endsWith('\n');
    if (endsWithBreak)
        lines.removeLast();
    auto content = [](const QByteArray& line) { return line.endsWith('\r') ? line.chopped(1) : line; };
    qsizetype groupAt = -1;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (content(lines[i]).trimmed() == group) {
            groupAt = i;
            break;
        }
    if (groupAt < 0) {
        QByteArray out = mimeapps;
        if (!out.isEmpty() && !out.endsWith('\n'))
            out += '\n';
        return out + group + "\n" + entry + "\n";
    }
    qsizetype lastInGroup = groupAt;
    for (qsizetype i = groupAt + 1; i < lines.size(); ++i) {
        const QByteArray line = content(lines[i]).trimmed();
        if (line.startsWith('['))
            break;
        const qsizetype eq = line.indexOf('=');
        if (eq > 0 && line.left(eq).trimmed() == key) {
            lines[i] = lines[i].endsWith('\r') ? entry + '\r' : entry;
            QByteArray out = lines.join('\n');
            return endsWithBreak ? out + '\n' : out;
        }
        if (!line.isEmpty())
            lastInGroup = i;
    }
    lines.insert(lastInGroup + 1, entry);
    QByteArray out = lines.join('\n');
    return endsWithBreak || lastInGroup + 1 == lines.size() - 1 ? out + '\n' : out;
}

bool setDefaultApplication(const QString& mimeType, const QString& desktopId) {
    QString path = configHome() + "/mimeapps.list";
    // A list kept elsewhere and linked here (dotfiles) is edited where it lies.
    if (const QFileInfo link(path); link.isSymLink() && !link.canonicalFilePath().isEmpty())
        path = link.canonicalFilePath();
    QByteArray old;
    if (QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;  // never replace a file we could not read
        old = file.readAll();
    }
    return writeWhole(path, withDefaultApplication(old, mimeType, desktopId));
}

void updateMimeDatabase() { runTool(QStringLiteral("update-mime-database"), dataHome() + "/mime"); }

void updateDesktopDatabase() { runTool(QStringLiteral("update-desktop-database"), dataHome() + "/applications"); }

}  // namespace zek::platform
