#include "app/CommandLine.h"

#include "platform/TextCodec.h"

namespace zek::app {

const char* const kUsage =
    "Usage:\n"
    "  zek source [midi]            compile the source (into midi)\n"
    "  zek /PLAY [source [midi]]    (compile, then) start the player\n"
    "  zek /E [file]                open the file in the editor\n"
    "  zek /A [file]                make the file the current source and edit it\n"
    "  zek /MIN                     start minimised (first start only)\n"
    "  zek --help | --version       print the usage or the version\n"
    "\n"
    "One zek runs per user: a second one hands its command line to the running\n"
    "one and exits with 1; the running one exits with 0.\n";

namespace {

QByteArray upperAscii(QByteArray s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

QByteArray absolute(const QByteArray& path, const QByteArray& currentDir) {
    if (path.isEmpty() || path.startsWith('/') || currentDir.isEmpty())
        return path;
    return currentDir.endsWith('/') ? currentDir + path : currentDir + '/' + path;
}

// The name for a message: undecodable bytes show as U+FFFD.
QString shown(const QByteArray& name) { return QString::fromLocal8Bit(name); }

}  // namespace

std::optional<RefusedName> checkFileName(const QByteArray& name, int maxBytes) {
    if (maxBytes >= 0 && name.size() > maxBytes)
        return RefusedName{RefusedName::Fault::TooLong, name};
    if (!platform::exactFileName(name))
        return RefusedName{RefusedName::Fault::NotUtf8, name};
    return std::nullopt;
}

QString refusedNameMessage(const RefusedName& refused) {
    const QString why = refused.fault == RefusedName::Fault::TooLong
                            ? QStringLiteral("ﾌｧｲﾙ名が%1ﾊﾞｲﾄを超えるため、開きませんでした。").arg(kMaxPathBytes)
                            : QStringLiteral("ﾌｧｲﾙ名の文字ｺｰﾄﾞがUTF-8ではないため、開きませんでした。"
                                             "ﾌｧｲﾙ名をUTF-8に直してください。");
    return why + u'\n' + shown(refused.name);
}

QString refusedNameLine(const RefusedName& refused, bool runningInstance) {
    const QString why = refused.fault == RefusedName::Fault::TooLong
                            ? QStringLiteral("file name longer than %1 bytes").arg(kMaxPathBytes)
                            : QStringLiteral("file name is not valid UTF-8 (rename it to UTF-8)");
    const QString what = runningInstance ? QStringLiteral("left out") : QStringLiteral("nothing handed over");
    return QStringLiteral("zek: %1, %2: %3").arg(why, what, shown(refused.name));
}

ParsedCommandLine parseCommandLine(const QList<QByteArray>& args, const QByteArray& currentDir) {
    ParsedCommandLine out;
    if (args.isEmpty())
        return out;
    HandoffRequest r;
    const QByteArray first = upperAscii(args[0]);
    auto arg = [&](int i) { return i < args.size() ? absolute(args[i], currentDir) : QByteArray(); };
    if (first == "/MIN") {
        r.minimize = true;
    } else if (first == "/E" || first == "/A") {
        r.fnameSmc = arg(1);
        r.fnameMid = QByteArray();
        r.command = first == "/E" ? 1 : 2;
    } else if (first == "/PLAY") {
        if (args.size() >= 2) {
            r.fnameSmc = arg(1);
            r.fnameMid = arg(2);
            r.compileRequest = true;
        }
        r.playRequest = true;
    } else {
        r.fnameSmc = arg(0);
        r.fnameMid = arg(1);
        r.compileRequest = true;
    }
    for (const auto* path : {&r.fnameSmc, &r.fnameMid}) {
        if (*path && (out.refused = checkFileName(**path)))
            return out;
    }
    out.request = r;
    return out;
}

void writeRequest(HandoffBlock& block, const HandoffRequest& r) {
    if (r.fnameSmc)
        block.setFnameSmc(*r.fnameSmc);
    if (r.fnameMid)
        block.setFnameMid(*r.fnameMid);
    if (r.command != 0)
        block.setCommand(r.command);
    if (r.compileRequest)
        block.setCompileRequest(true);
    if (r.playRequest)
        block.setPlayRequest(true);
}

}  // namespace zek::app
