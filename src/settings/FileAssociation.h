#pragma once
// The association writer: opening a source file from the desktop starts ZEK,
// the editor, or both, through the user's MIME database, a desktop entry and
// the default application in mimeapps.list.
#include "settings/SettingsStore.h"
#include "settings/ShellHost.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace zek::settings {

// What a compiler kind registers.
struct AssociationKind {
    QString extension;    // ".smc"
    QString typeName;     // "SMCfile"
    QString description;  // "SPICE ｿｰｽﾌｧｲﾙ"
};
const AssociationKind& associationKind(int compilerKind);

// Our own MIME type for an extension no type claims: "application/x-smcfile".
QString ownMimeType(const AssociationKind& kind);

// The switch of an association choice (0 ZEK, 1 editor, 2 both) as program
// arguments before the file; nothing for any other choice (none selected).
std::optional<QStringList> associationArguments(int choice);

// btnFextClick. `choice` is the selected index of cbxFext (-1 when none) and
// `choiceText` its text. After a Yes: stores `fext` in the settings store,
// then registers the extension's type and, for a choice of 0..2, makes ZEK's
// open command its default application.
void WriteAssociation(int compilerKind, int choice, const QString& choiceText, const QString& programPath,
                      const SettingsStore& store, ShellHost& host);

}  // namespace zek::settings
