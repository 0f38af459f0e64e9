#include "settings/RecentFiles.h"

#include "settings/AsciiCase.h"

namespace zek::settings {

void MoveRecentFileToFront(Settings& s, int k) {
    if (k < 0 || k >= kRecentFiles)
        return;
    const QString name = s.lastfile(k);
    for (int j = k; j >= 1; --j)
        s.lastfile(j) = s.lastfile(j - 1);
    s.lastfile(0) = name;
}

void AddRecentFile(Settings& s, const QString& name) {
    const QString key = asciiLower(name);
    int k = kRecentFiles - 1;
    for (int i = 0; i < kRecentFiles; ++i) {
        if (asciiLower(s.lastfile(i)) == key) {
            k = i;
            break;
        }
    }
    MoveRecentFileToFront(s, k);
    s.lastfile(0) = name;
}

int VisibleRecentFiles(const Settings& s) {
    int n = 0;
    while (n < kRecentFiles && !s.lastfile(n).isEmpty())
        ++n;
    return n;
}

}  // namespace zek::settings
