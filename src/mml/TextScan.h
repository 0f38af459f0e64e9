#pragma once
// Byte-level scanning shared by the parser and the loop-end search, so both
// agree on what is a comment, a quoted text and one character.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zek::mml {

// How multi-byte text in a file is split into characters. Only quoted texts
// and stray non-ASCII characters care: a Shift-JIS second byte may be '\\',
// '[' or a letter and must not be read as one.
enum class Encoding { Utf8, ShiftJis, SingleByte };

bool isValidUtf8(std::string_view text);
// Valid UTF-8 is UTF-8; anything else is Shift-JIS unless told otherwise.
Encoding detectEncoding(std::string_view text, bool notShiftJis);

size_t charLength(std::string_view text, size_t pos, Encoding encoding);

// One non-ASCII character of the source, for messages: as UTF-8 and by its
// code point. nullopt when the bytes at pos are no whole character of the
// file's encoding (a stray byte, or a single-byte encoding).
struct Character {
    std::string utf8;
    uint32_t codePoint = 0;
};
std::optional<Character> decodeCharacter(std::string_view text, size_t pos, Encoding encoding);

// The length of an ideographic space (U+3000; E3 80 80 in UTF-8, 81 40 in
// Shift-JIS) at pos, else 0. Japanese users type it by accident; it
// separates like a blank.
size_t wideBlankLength(std::string_view text, size_t pos, Encoding encoding);

// From a comment's first byte to its line's '\n' (or the end).
size_t skipLineComment(std::string_view text, size_t pos);
// From "/*" to just past "*/"; npos when it is never closed.
size_t skipBlockComment(std::string_view text, size_t pos);

struct StringScan {
    size_t end;    // just past the closing quote, or where the line ends
    bool closed;
};
// pos is at the opening '"'; a text ends at its line's end at the latest.
StringScan scanString(std::string_view text, size_t pos, Encoding encoding);
// The bytes between the quotes with \" and \\ resolved.
std::string unescapeString(std::string_view inner, Encoding encoding);

// The ']' that closes the loop whose body continues at `from`; npos if none.
size_t findLoopEnd(std::string_view text, size_t from, Encoding encoding);

}  // namespace zek::mml
