#pragma once
// The vocabulary of the four compiler kinds, in one table.
#include "settings/DialogRules.h"

#include <QString>
#include <QStringList>

namespace zek::compile {

struct CompilerKindInfo {
    QString name;                  // "SPICE"
    QString menuCaption;           // the compiler menu item
    QString pathButtonCaption;     // settings dialog: the compiler-path button
    QStringList extensions;        // accepted source extensions, upper case with the dot
    QString openTitle;             // title of the source open dialog
    QString defaultMask;           // "*.SMC;*.DSM"
    QString wrongExtension;        // memo line for a source of another kind
    QString openFilter;            // "description|patterns"
    QString pathDialogTitle;       // settings dialog: picking the compiler's path
    QString pathDialogFilter;
    bool inProcess;                // a library called in ZEK's own process; takes no options
    settings::OptionGroup optionGroup;  // the option check boxes of the settings dialog
    bool includeVariable;          // runs with SMC_INCLUDE (the dialog shows its box)
};

inline constexpr int kCompilerKindCount = 4;

// The entry of a kind; an out-of-range kind gets the first entry.
const CompilerKindInfo& compilerKindInfo(int kind);


}  // namespace zek::compile
