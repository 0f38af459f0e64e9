#pragma once
// Values of a desktop entry file (freedesktop Desktop Entry format), free of
// Qt so that the shortcut library shares them.
#include <string>
#include <string_view>

namespace zek::platform {

// A string value: backslashes and control characters escaped, so nothing
// leaves the line.
inline std::string desktopStringValue(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

// One argument of an Exec value, escaped as a string value. It is quoted only
// when it holds a reserved character (the quoting rule: in double quotes,
// with ", `, $ and \ escaped): launchers that split Exec at blanks, such as
// xdg-open on a plain desktop, read an unquoted argument right. "%" is
// doubled, so it is never a field code.
inline std::string desktopExecArgument(std::string_view argument) {
    constexpr std::string_view reserved = " \t\n\r\"'\\><~|&;$*?#()`";
    const bool quote = argument.empty() || argument.find_first_of(reserved) != std::string_view::npos;
    std::string text = quote ? "\"" : "";
    for (char c : argument) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            text += '\\';
        if (c == '%')
            text += '%';
        text += c;
    }
    if (quote)
        text += '"';
    return desktopStringValue(text);
}

}  // namespace zek::platform
