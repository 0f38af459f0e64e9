#include "app/CommandLine.h"

namespace zek::app {
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

}  // namespace

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
        if (*path && (*path)->size() > kMaxPathBytes) {
            out.error = QStringLiteral("zek: file name longer than %1 bytes, nothing handed over: %2")
                            .arg(kMaxPathBytes)
                            .arg(QString::fromLocal8Bit(**path));
            return out;
        }
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
