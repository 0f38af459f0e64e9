#pragma once
// Loads and saves the settings record in the per-user store
// (organisation "Talmo", application "ZEK").
#include "settings/Settings.h"

#include <QString>

namespace zek::settings {

class SettingsStore {
public:
    // programFolder: ZEK's program folder, where the bundled compiler lives.
    explicit SettingsStore(QString programFolder);

    // Defaults, then the paths outside programs recorded, then the stored
    // values. True when a stored window position exists (not a first run).
    // A store that cannot be parsed is renamed aside and loads as absent.
    bool load(Settings& settings) const;

    // Writes every persistent value; a store that cannot be written is left
    // as it was, without a message.
    void save(const Settings& settings) const;

    QString filePath() const;

private:
    void applyOutsideLookups(Settings& settings) const;
    void applyBundledCompiler(Settings& settings) const;

    QString programFolder_;
};

// File names of the bundled compiler inside the program folder.
inline const QString kBundledCompiler = QStringLiteral("zekmml");
inline const QString kBundledCompilerLibrary = QStringLiteral("libzekmml.so");

}  // namespace zek::settings
