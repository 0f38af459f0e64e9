#pragma once
// The ten most recently compiled sources, lastfile0 the newest. Entries
// compare without regard to the case of ASCII letters; other letters
// (full-width, Greek, Cyrillic) keep their case, so "Ａ.mml" and "ａ.mml" are
// two entries.
#include "settings/Settings.h"

namespace zek::settings {

// Puts the name at the head: an entry equal to it moves there (taking the
// new letter case); otherwise every entry moves down and the tenth falls off.
void AddRecentFile(Settings& settings, const QString& name);

// Moves entry k to the head (choosing it from the menu).
void MoveRecentFileToFront(Settings& settings, int k);

// Entries shown in the menu: those before the first empty one.
int VisibleRecentFiles(const Settings& settings);

}  // namespace zek::settings
