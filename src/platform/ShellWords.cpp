#include "platform/ShellWords.h"

namespace zek::platform {
namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool escapableInDoubleQuotes(QChar c) {
    return c == u'$' || c == u'`' || c == u'"' || c == u'\\' || c == u'\n';
}

}  // namespace

QStringList splitShellWords(const QString& text) {
    QStringList words;
    QString word;
    bool inWord = false;  // a word has begun, even if it is still empty ("")
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (isBlank(c)) {
            if (inWord) {
                words.append(word);
                word.clear();
                inWord = false;
            }
            ++i;
        } else if (c == u'\'') {
            inWord = true;
            ++i;
            while (i < n && text[i] != u'\'')
                word.append(text[i++]);
            ++i;  // closing quote (or past the end)
        } else if (c == u'"') {
            inWord = true;
            ++i;
            while (i < n && text[i] != u'"') {
                if (text[i] == u'\\' && i + 1 < n && escapableInDoubleQuotes(text[i + 1])) {
                    if (text[i + 1] != u'\n')
                        word.append(text[i + 1]);
                    i += 2;
                } else {
                    word.append(text[i++]);
                }
            }
            ++i;
        } else if (c == u'\\') {
            if (i + 1 >= n) {
                inWord = true;
                word.append(c);
                ++i;
            } else if (text[i + 1] == u'\n') {
                i += 2;  // line continuation
            } else {
                inWord = true;
                word.append(text[i + 1]);
                i += 2;
            }
        } else {
            inWord = true;
            word.append(c);
            ++i;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

}  // namespace zek::platform
