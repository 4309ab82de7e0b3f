#include "cli/allowedcharacters.h"

#include <utility>
#include <vector>

AllowedCharacters readAllowedCharacters(const QString &text)
{
    AllowedCharacters result;
    // Each character with whether it was written with a backslash, so an escaped dash never
    // makes a range.
    std::vector<std::pair<QChar, bool>> read;
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (text[at] != u'\\') {
            read.push_back({text[at], false});
        } else if (at + 1 < text.size() && (text[at + 1] == u'-' || text[at + 1] == u'\\')) {
            read.push_back({text[++at], true});
        } else {
            result.bad = text.mid(at, 2);
            return result;
        }
    }
    for (qsizetype at = 0; at < qsizetype(read.size()); ++at) {
        const bool range = at + 2 < qsizetype(read.size()) && read[at + 1] == std::pair(QChar(u'-'), false);
        if (!range) {
            result.characters += read[at].first;
            continue;
        }
        const char16_t from = read[at].first.unicode();
        const char16_t to = read[at + 2].first.unicode();
        if (from > to) {
            result.bad = QString(read[at].first) + u'-' + read[at + 2].first;
            return result;
        }
        for (char16_t c = from; c <= to && c >= from; ++c)
            result.characters += QChar(c);
        at += 2;
    }
    return result;
}
