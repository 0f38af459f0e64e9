#include "platform/TextCodec.h"

#include <QFile>
#include <QList>

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace zek::platform {
namespace {

// One conversion with iconv; on a sequence that cannot be converted, emit
// `replacement` and skip `skipBytes` input bytes.
QByteArray convert(const char* to, const char* from, const QByteArray& input,
                   const QByteArray& replacement, size_t skipBytes) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    QByteArray out;
    out.reserve(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.constData());
    size_t inLeft = static_cast<size_t>(input.size());
    char buffer[4096];
    while (inLeft > 0) {
        char* o = buffer;
        size_t oLeft = sizeof buffer;
        size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buffer, static_cast<qsizetype>(o - buffer));
        if (r != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL (truncated sequence at the end): replace and go on.
        out.append(replacement);
        size_t skip = std::min(skipBytes, inLeft);
        in += skip;
        inLeft -= skip;
    }
    // Flush any shift state.
    char* o = buffer;
    size_t oLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &o, &oLeft);
    out.append(buffer, static_cast<qsizetype>(o - buffer));
    iconv_close(cd);
    return out;
}

}  // namespace

QByteArray encodeCp932(const QString& text) {
    // UTF-32 input lets an unmappable character be skipped as exactly 4 bytes.
    QByteArray utf32;
    const auto ucs4 = text.toUcs4();
    utf32.resize(static_cast<qsizetype>(ucs4.size() * 4));
    for (qsizetype i = 0; i < ucs4.size(); ++i) {
        const char32_t c = ucs4[i];
        utf32[i * 4 + 0] = static_cast<char>(c & 0xFF);
        utf32[i * 4 + 1] = static_cast<char>((c >> 8) & 0xFF);
        utf32[i * 4 + 2] = static_cast<char>((c >> 16) & 0xFF);
        utf32[i * 4 + 3] = static_cast<char>((c >> 24) & 0xFF);
    }
    return convert("CP932", "UTF-32LE", utf32, "?", 4);
}

QString decodeCp932(const QByteArray& bytes) {
    const QByteArray utf8 = convert("UTF-8", "CP932", bytes, "\xEF\xBF\xBD", 1);
    return QString::fromUtf8(utf8);
}

bool isValidUtf8(const char* data, qsizetype size) {
    const auto* s = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    while (i < size) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len;
        char32_t cp;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > size)
            return false;
        for (int k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        i += len;
    }
    return true;
}

QString decodeOutputLine(const QByteArray& bytes) {
    if (isValidUtf8(bytes.constData(), bytes.size()))
        return QString::fromUtf8(bytes);
    return decodeCp932(bytes);
}

std::optional<QString> exactFileName(const QByteArray& bytes) {
    QString text = QFile::decodeName(bytes);
    if (QFile::encodeName(text) != bytes)
        return std::nullopt;
    return text;
}

}  // namespace zek::platform
