#include "app/WindowGeometry.h"

namespace zek::app {

EditWidths editWidthsFor(int outerWidth, int designOuterWidth, int designSource, int designOption) {
    const double d = outerWidth - designOuterWidth;
    const double total = 2.0 * designSource + designOption;
    const int source = designSource + static_cast<int>(d / total * designSource);
    const int option = designOption + static_cast<int>(d / total * designOption);
    return {source, source, option};
}

int snapAxis(int position, int extent, int screenExtent) {
    if (-32 < position && position < 32)
        return 0;
    const int gap = screenExtent - (position + extent);
    if (-32 < gap && gap < 32)
        return screenExtent - extent;
    return position;
}

}  // namespace zek::app
