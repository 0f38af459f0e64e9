#pragma once
// The command-line grammar: what a start of ZEK asks the running instance to do.
//
//   /MIN [anything]        start minimised (first instance only)
//   /E [file]              open file in the editor
//   /A [file]              make file the current source and open it in the editor
//   /PLAY                  start the player
//   /PLAY source [midi]    compile source (into midi) and start the player
//   source [midi]          compile source (into midi)
//
// Switches match in any letter case; arguments beyond those are ignored.
#include "app/SharedHandoffBlock.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace zek::app {

struct HandoffRequest {
    bool minimize = false;                 // /MIN
    std::optional<QByteArray> fnameSmc;    // set (an empty value clears the field)
    std::optional<QByteArray> fnameMid;
    std::uint32_t command = 0;
    bool compileRequest = false;
    bool playRequest = false;
};

struct ParsedCommandLine {
    std::optional<HandoffRequest> request;  // nullopt: no arguments at all
    QString error;                          // not empty: refuse the whole command line
};

// Parses the arguments (without the program's own path). Relative file names
// are made absolute against `currentDir`, since the running instance that
// uses them may sit in another folder. A file name longer than 255 bytes is
// refused whole rather than cut into another path.
ParsedCommandLine parseCommandLine(const QList<QByteArray>& args, const QByteArray& currentDir);

// Writes the request into the block: the paths first, then the requests.
// The minimise switch is not written here (only the first instance uses it).
void writeRequest(HandoffBlock& block, const HandoffRequest& request);

}  // namespace zek::app
