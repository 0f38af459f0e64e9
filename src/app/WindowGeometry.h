#pragma once
// The main window's size arithmetic, kept apart from the widgets so the
// rules can be checked exactly.

namespace zek::app {

struct EditWidths {
    int source;
    int midi;
    int option;
};

// The three tool-bar boxes share extra outer width in proportion to their
// design widths (designSource for both name boxes, designOption for the
// option box); the division is done in floating point and cut toward zero.
EditWidths editWidthsFor(int outerWidth, int designOuterWidth, int designSource, int designOption);

// Edge snapping along one axis: a window edge within 31 pixels of a screen
// edge (on either side) moves onto it. Returns the new position.
int snapAxis(int position, int extent, int screenExtent);

}  // namespace zek::app
