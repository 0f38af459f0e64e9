#include "mml/TextScan.h"

#include <cstring>

#include <iconv.h>

namespace zek::mml {

namespace {

bool isSjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool isSjisTrail(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

}  // namespace

bool isValidUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        // ASCII runs are the common case: test eight bytes at a time.
        while (i + 8 <= n) {
            uint64_t word;
            std::memcpy(&word, s + i, 8);
            if (word & 0x8080808080808080ull) break;
            i += 8;
        }
        if (i >= n) break;
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        uint32_t min;
        uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2, min = 0x80, cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3, min = 0x800, cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i < len) return false;
        for (size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

Encoding detectEncoding(std::string_view text, bool notShiftJis) {
    if (isValidUtf8(text)) return Encoding::Utf8;
    return notShiftJis ? Encoding::SingleByte : Encoding::ShiftJis;
}

size_t charLength(std::string_view text, size_t pos, Encoding encoding) {
    const size_t left = text.size() - pos;
    const auto c = static_cast<unsigned char>(text[pos]);
    size_t len = 1;
    switch (encoding) {
    case Encoding::Utf8:
        len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        break;
    case Encoding::ShiftJis:
        if (isSjisLead(c) && left >= 2 && isSjisTrail(static_cast<unsigned char>(text[pos + 1]))) len = 2;
        break;
    case Encoding::SingleByte:
        break;
    }
    return len < left ? len : left;
}

std::optional<Character> decodeCharacter(std::string_view text, size_t pos, Encoding encoding) {
    const size_t len = charLength(text, pos, encoding);
    const std::string_view bytes = text.substr(pos, len);
    if (encoding == Encoding::Utf8 && len > 1 && isValidUtf8(bytes)) {
        const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
        uint32_t cp = s[0] & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
        for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (s[k] & 0x3F);
        return Character{std::string(bytes), cp};
    }
    // Shift-JIS: a double-byte character, or a half-width katakana byte.
    if (encoding != Encoding::ShiftJis || static_cast<unsigned char>(bytes[0]) < 0x80) return std::nullopt;
    const iconv_t cd = iconv_open("UTF-32LE", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    char in[2] = {bytes[0], len == 2 ? bytes[1] : '\0'};
    unsigned char out[8] = {};
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = len;
    size_t outLeft = sizeof out;
    const size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1) || inLeft != 0 || sizeof out - outLeft != 4) return std::nullopt;
    const uint32_t cp = out[0] | (out[1] << 8) | (out[2] << 16) | (uint32_t(out[3]) << 24);
    std::string utf8;
    if (cp < 0x800) {
        utf8 += char(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
        utf8 += char(0xE0 | (cp >> 12));
        utf8 += char(0x80 | ((cp >> 6) & 0x3F));
    } else {
        utf8 += char(0xF0 | (cp >> 18));
        utf8 += char(0x80 | ((cp >> 12) & 0x3F));
        utf8 += char(0x80 | ((cp >> 6) & 0x3F));
    }
    utf8 += char(0x80 | (cp & 0x3F));
    return Character{utf8, cp};
}

size_t wideBlankLength(std::string_view text, size_t pos, Encoding encoding) {
    const std::string_view rest = text.substr(pos);
    if (encoding == Encoding::Utf8 && rest.substr(0, 3) == "\xE3\x80\x80") return 3;
    if (encoding == Encoding::ShiftJis && rest.substr(0, 2) == "\x81\x40") return 2;
    return 0;
}

size_t skipLineComment(std::string_view text, size_t pos) {
    const size_t nl = text.find('\n', pos);
    return nl == std::string_view::npos ? text.size() : nl;
}

size_t skipBlockComment(std::string_view text, size_t pos) {
    const size_t end = text.find("*/", pos + 2);
    return end == std::string_view::npos ? end : end + 2;
}

StringScan scanString(std::string_view text, size_t pos, Encoding encoding) {
    size_t i = pos + 1;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') return {i + 1, true};
        if (c == '\n' || c == '\r') return {i, false};
        if (c == '\\' && i + 1 < text.size() && text[i + 1] != '\n' && text[i + 1] != '\r') {
            i += 1 + charLength(text, i + 1, encoding);
            continue;
        }
        i += charLength(text, i, encoding);
    }
    return {i, false};
}

std::string unescapeString(std::string_view inner, Encoding encoding) {
    std::string out;
    out.reserve(inner.size());
    size_t i = 0;
    while (i < inner.size()) {
        if (inner[i] == '\\' && i + 1 < inner.size() && (inner[i + 1] == '"' || inner[i + 1] == '\\')) {
            out += inner[i + 1];
            i += 2;
            continue;
        }
        const size_t len = charLength(inner, i, encoding);
        out.append(inner.substr(i, len));
        i += len;
    }
    return out;
}

size_t findLoopEnd(std::string_view text, size_t from, Encoding encoding) {
    size_t depth = 0;
    size_t i = from;
    while (i < text.size()) {
        const char c = text[i];
        switch (c) {
        case '[':
            ++depth;
            ++i;
            break;
        case ']':
            if (depth == 0) return i;
            --depth;
            ++i;
            break;
        case '"':
            i = scanString(text, i, encoding).end;
            break;
        case ';':
            i = skipLineComment(text, i);
            break;
        case '/':
            if (i + 1 < text.size() && text[i + 1] == '/') {
                i = skipLineComment(text, i);
            } else if (i + 1 < text.size() && text[i + 1] == '*') {
                i = skipBlockComment(text, i);
                if (i == std::string_view::npos) return i;
            } else {
                ++i;
            }
            break;
        default:
            i += charLength(text, i, encoding);
            break;
        }
    }
    return std::string_view::npos;
}

}  // namespace zek::mml
