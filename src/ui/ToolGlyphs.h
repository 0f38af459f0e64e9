#pragma once
// The tool-bar glyphs (20 x 18), drawn by our own code.
#include <QIcon>

namespace zek::ui {

enum class ToolGlyph {
    Select = 0,   // open a source file
    Tag = 1,      // hand the output to the editor
    Compile = 2,  // run the compiler
    Play = 3,     // black right-pointing triangle
    Stop = 4,     // black square
};

QIcon toolGlyph(ToolGlyph glyph);

}  // namespace zek::ui
