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
// "--help" and "--version" as the first argument are answered on stdout by
// the process entry and reach no instance.
#include "app/SharedHandoffBlock.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace zek::app {

// What `zek --help` prints.
extern const char* const kUsage;

struct HandoffRequest {
    bool minimize = false;                 // /MIN
    std::optional<QByteArray> fnameSmc;    // set (an empty value clears the field)
    std::optional<QByteArray> fnameMid;
    std::uint32_t command = 0;
    bool compileRequest = false;
    bool playRequest = false;
};

// A file name the window cannot take as it is.
struct RefusedName {
    enum class Fault {
        TooLong,  // more than the block's 255 bytes
        NotUtf8,  // bytes a QString cannot carry (a Shift-JIS name, say)
    };
    Fault fault;
    QByteArray name;  // as the file system spells it
};

// Why a file name (as the file system spells it) cannot be taken, or nullopt
// when it can. `maxBytes` < 0: no length limit (a name that never passes
// through the block, such as a dropped file).
std::optional<RefusedName> checkFileName(const QByteArray& name, int maxBytes = kMaxPathBytes);

// The message box text for a refused name, with the name in it.
QString refusedNameMessage(const RefusedName& refused);

// The stderr line for a refused name: the running instance leaves it out
// and starts; a second instance hands nothing over.
QString refusedNameLine(const RefusedName& refused, bool runningInstance);

struct ParsedCommandLine {
    // nullopt: no arguments at all, or a refused file name.
    std::optional<HandoffRequest> request;
    // A file name the block cannot carry faithfully; the request that names
    // it is then left out whole, never cut or re-encoded into another path.
    std::optional<RefusedName> refused;
};

// Parses the arguments (without the program's own path). Relative file names
// are made absolute against `currentDir`, since the running instance that
// uses them may sit in another folder.
ParsedCommandLine parseCommandLine(const QList<QByteArray>& args, const QByteArray& currentDir);

// Writes the request into the block: the paths first, then the requests.
// The minimise switch is not written here (only the first instance uses it).
void writeRequest(HandoffBlock& block, const HandoffRequest& request);

}  // namespace zek::app
