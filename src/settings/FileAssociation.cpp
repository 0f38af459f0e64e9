#include "settings/FileAssociation.h"

#include "platform/XdgAssociation.h"

#include <algorithm>
#include <array>

namespace zek::settings {
namespace {

const std::array<AssociationKind, kCompilerKinds> kKinds{{
    {QStringLiteral(".smc"), QStringLiteral("SMCfile"), QStringLiteral("SPICE ｿｰｽﾌｧｲﾙ")},
    {QStringLiteral(".mml"), QStringLiteral("MMLfile"), QStringLiteral("MML2MID ｿｰｽﾌｧｲﾙ")},
    {QStringLiteral(".mml"), QStringLiteral("MMLfile"), QStringLiteral("cSakura ｿｰｽﾌｧｲﾙ")},
    {QStringLiteral(".mml"), QStringLiteral("MMLfile"), QStringLiteral("dSakura ｿｰｽﾌｧｲﾙ")},
}};

const QString kOpenEntryComment = QStringLiteral("MMLコンパイラ支援ツール");

}  // namespace

const AssociationKind& associationKind(int compilerKind) {
    return kKinds[static_cast<size_t>(std::clamp(compilerKind, 0, kCompilerKinds - 1))];
}

QString ownMimeType(const AssociationKind& kind) { return "application/x-" + kind.typeName.toLower(); }

std::optional<QStringList> associationArguments(int choice) {
    switch (choice) {
    case 0: return QStringList{};
    case 1: return QStringList{QStringLiteral("/E")};
    case 2: return QStringList{QStringLiteral("/A")};
    default: return std::nullopt;
    }
}

void WriteAssociation(int compilerKind, int choice, const QString& choiceText, const QString& programPath,
                      const SettingsStore& store, ShellHost& host) {
    const AssociationKind& kind = associationKind(compilerKind);
    if (!host.confirm(QStringLiteral("ｿｰｽﾌｧｲﾙ ") + kind.extension + QStringLiteral(" を「") + choiceText +
                      QStringLiteral("」と関連付けます。\nよろしいですか？")))
        return;

    // The choice is stored first, whatever becomes of the writes.
    const std::optional<QStringList> arguments = associationArguments(choice);
    Settings fresh;
    store.load(fresh);
    fresh.fext = arguments ? choice : -1;
    store.save(fresh);

    // A type the database already gives the extension is kept, with its own
    // description; otherwise ours is registered (once: a later kind that
    // shares the extension keeps the first one's description).
    QString mimeType = platform::mimeTypeForExtension(kind.extension);
    if (mimeType.isEmpty()) {
        mimeType = ownMimeType(kind);
        platform::registerMimeType(mimeType, kind.extension, kind.description);
        platform::updateMimeDatabase();
    }
    // Every step runs whatever became of the ones before it.
    if (arguments) {
        const QString id = platform::openEntryId(mimeType);
        platform::writeOpenEntry(id, programPath, *arguments, mimeType, kOpenEntryComment);
        platform::setDefaultApplication(mimeType, id);
        platform::updateDesktopDatabase();
    }
}

}  // namespace zek::settings
