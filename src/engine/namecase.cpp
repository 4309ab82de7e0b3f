#include "namecase.h"

#include <algorithm>
#include <cerrno>
#include <type_traits>
#include <vector>

#include "engine/platformseams.h"

#include <QDirIterator>
#include <QRandomGenerator>

namespace {

[[maybe_unused]] char16_t unit(char c) { return uchar(c); }
[[maybe_unused]] char16_t unit(QChar c) { return c.unicode(); }

bool isAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool hasAsciiLetter(const NativeName &name)
{
    return std::any_of(name.begin(), name.end(), [](auto c) { return isAsciiLetter(unit(c)); });
}

// A third spelling of to in other case, neither from nor to, or "" where its letters allow none.
NativeName thirdSpelling(const NativeName &from, const NativeName &to)
{
    using Unit = std::decay_t<decltype(to.at(0))>;
    for (const bool upper : {false, true}) {
        NativeName spelled = to;
        for (qsizetype i = 0; i < spelled.size(); ++i) {
            const char16_t c = unit(spelled.at(i));
            if (isAsciiLetter(c) && bool(c & 0x20) == upper)
                spelled[i] = Unit(c ^ 0x20);
        }
        if (spelled != from && spelled != to)
            return spelled;
    }
    return NativeName();
}

// A spelling of name in other case drawn at random, other than those given; "" where its ASCII
// letters allow none. A FUSE mount keeps what a spelling led to for a second or so, even after
// that file was renamed: a fixed spelling, looked up by the probe of a run just before, could
// lead to a file that has gone from the name since.
NativeName randomSpelling(const NativeName &name, const NativeName &other = {})
{
    using Unit = std::decay_t<decltype(name.at(0))>;
    std::vector<qsizetype> letters;
    for (qsizetype i = 0; i < name.size() && letters.size() < 62; ++i) {
        if (isAsciiLetter(unit(name.at(i))))
            letters.push_back(i);
    }
    const quint64 spellings = (quint64(1) << letters.size()) - 1; // all but the name itself
    if (spellings < (other.isEmpty() ? 1u : 2u))
        return NativeName();
    for (;;) {
        const quint64 flips = 1 + QRandomGenerator::global()->generate64() % spellings;
        NativeName spelled = name;
        for (size_t bit = 0; bit < letters.size(); ++bit) {
            if (flips & (quint64(1) << bit))
                spelled[letters[bit]] = Unit(unit(spelled.at(letters[bit])) ^ 0x20);
        }
        if (spelled != other)
            return spelled;
    }
}

} // namespace

bool sameFile(const Folder &folder, const FileFacts &a, const FileFacts &b)
{
    if (a.type != b.type)
        return false;
    if (folder.identityStable)
        return a.identity == b.identity;
    return a.size == b.size && a.modifyTime[0] == b.modifyTime[0] && a.modifyTime[1] == b.modifyTime[1];
}

QString foldedName(const QString &name)
{
    return name.toCaseFolded();
}

NativeName foldedNativeName(const NativeName &name)
{
#ifdef Q_OS_WIN
    return name.toCaseFolded();
#else
    // Bytes that are no UTF-8 fold in their ASCII letters only.
    const QString decoded = decodeNativeName(name);
    return decoded.contains(QChar::ReplacementCharacter) ? name.toLower() : encodeNativeName(decoded.toCaseFolded());
#endif
}

bool differInCaseAlone(const NativeName &a, const NativeName &b)
{
    if (a == b)
        return false;
    // Plain ASCII names, as most new names are, are compared without folding: this is asked of
    // every rename.
    const auto ascii = [](const NativeName &name) {
        return std::all_of(name.begin(), name.end(), [](auto c) { return unit(c) < 0x80; });
    };
    if (ascii(a) && ascii(b)) {
        const auto lower = [](auto c) { const char16_t u = unit(c); return isAsciiLetter(u) ? char16_t(u | 0x20) : u; };
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](auto x, auto y) { return lower(x) == lower(y); });
    }
    return foldedNativeName(a) == foldedNativeName(b);
}

int listsSpelling(const Folder &folder, const NativeName &name, bool *listed)
{
    *listed = false;
    return listNames(folder, [&](const ListedName &entry) { *listed = *listed || entry.name == name; });
}

bool namesIgnoreCase(const Folder &folder, const NativeName &name)
{
    if (platformSeams().ignoreCase)
        return true;
    // Two other spellings, so that a hard link in other case is not taken for the file itself.
    const NativeName variant = randomSpelling(name);
    const NativeName third = variant.isEmpty() ? NativeName() : randomSpelling(name, variant);
    FileFacts facts;
    FileFacts other;
    return !third.isEmpty() && statAt(folder, name, false, &facts) == 0 && statAt(folder, variant, false, &other) == 0
        && sameFile(folder, facts, other) && statAt(folder, third, false, &other) == 0 && sameFile(folder, facts, other);
}

bool ignoresCaseByNames(const Folder &folder, const std::vector<NativeName> &names)
{
    for (const NativeName &name : names) {
        if (hasAsciiLetter(name))
            return namesIgnoreCase(folder, name);
    }
    return false;
}

bool folderIgnoresCase(const Folder &folder)
{
    // The first names suffice: a large folder is not read to its end for them.
    QDirIterator entries(decodeNativeName(folder.path), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (int looked = 0; looked < 64 && entries.hasNext(); ++looked) {
        entries.next();
        const QString name = entries.fileName();
        if (!name.contains(QChar::ReplacementCharacter) && hasAsciiLetter(encodeNativeName(name)))
            return namesIgnoreCase(folder, encodeNativeName(name));
    }
    return false;
}

namespace {

// Whether a rename to to, a spelling in other case alone, changed the stored name: the first
// such rename in the folder is checked in its listing, and the answer holds for the later ones.
// Where the name kept its old case, the file was not renamed.
bool caseChanged(Folder &folder, const NativeName &to)
{
    if (folder.caseRenames == Folder::CaseRenames::Unknown) {
        bool changed = false;
        if (listsSpelling(folder, to, &changed) != 0)
            return true;
        folder.caseRenames = changed ? Folder::CaseRenames::Change : Folder::CaseRenames::Kept;
    }
    return folder.caseRenames == Folder::CaseRenames::Change;
}

} // namespace

int renameInFolder(Folder &folder, const NativeName &from, const NativeName &to)
{
    const int error = renameNoReplaceAt(folder, from, folder, to);
    const bool caseAlone = differInCaseAlone(from, to);
    // Wine reports the no-replace rename to other case alone done, yet keeps the old case.
    if (error == 0 && caseAlone)
        return caseChanged(folder, to) ? 0 : EEXIST;
    if (error != EEXIST || !caseAlone)
        return error;
    // The new spelling must lead to the file itself, and so must a third one: a file system that
    // tells case apart holds a second file (or hard link) under the new spelling, but hardly a
    // third under that one too. Where no third spelling exists, the folder's listing must show
    // no entry of the new one.
    FileFacts facts;
    FileFacts there;
    if (statAt(folder, from, false, &facts) != 0 || statAt(folder, to, false, &there) != 0
        || !sameFile(folder, facts, there))
        return error;
    if (const NativeName third = thirdSpelling(from, to); !third.isEmpty()) {
        if (statAt(folder, third, false, &there) != 0 || !sameFile(folder, facts, there))
            return error;
    } else {
        bool listed = false;
        if (listsSpelling(folder, to, &listed) != 0 || listed)
            return error;
    }
    if (folder.caseRenames == Folder::CaseRenames::Kept)
        return error;
    const int renamed = renameCaseAt(folder, from, to);
    if (renamed != 0)
        return renamed;
    return caseChanged(folder, to) ? 0 : error;
}
