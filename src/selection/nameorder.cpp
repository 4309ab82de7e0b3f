// The list's name order. Asking the collator costs about a microsecond a name, as much as
// reading the folder; most names are printable ASCII, where the collator's order is simple
// enough to follow without it: one weight per character, learnt from the collator itself, and
// digit runs compared by their value, put into byte keys built once in one buffer. Every other
// name goes to the collator.
#include "selection/nameorder.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <mutex>
#include <numeric>

namespace {

// The collator compares at most this many digits as one number, then starts a new one.
constexpr qsizetype longestNumber = 254;

// The C locale would compare code points and ignore the numeric mode, so it falls back to
// German, the language of the program.
QCollator nameCollator()
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::German, QLocale::Germany);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// The collator's order of the printable ASCII characters: one weight each, equal for the
// characters it does not tell apart ("a", "A"); 0 for a character it ignores.
struct PlainOrder {
    bool usable = false;
    quint8 weight[128] = {};
};

bool isPlain(const QString &name, const PlainOrder &order)
{
    qsizetype digits = 0;
    for (const QChar ch : name) {
        const char16_t c = ch.unicode();
        if (c < 0x20 || c > 0x7E || order.weight[c] == 0)
            return false;
        digits = isDigit(c) ? digits + 1 : 0;
        if (digits > longestNumber)
            return false;
    }
    return true;
}

// A plain name's key: bytes that compare with memcmp as the collator compares the names. Each
// character is its weight; a digit run is the digits' weight, the count of its digits without
// leading zeros ("01" equals "1"; "0" and "00" are both zero), and those digits, so a longer
// number sorts after a shorter one and numbers of one length by their digits.
void appendPlainKey(const QString &name, const PlainOrder &order, std::string &keys)
{
    // At most three bytes a character (a one-digit number), written in place.
    const size_t start = keys.size();
    keys.resize(start + 3 * size_t(name.size()));
    char *to = keys.data() + start;
    const QChar *c = name.constData(), *const end = c + name.size();
    while (c < end) {
        if (!isDigit(c->unicode())) {
            *to++ = char(order.weight[(c++)->unicode()]);
            continue;
        }
        const QChar *first = c;
        while (c < end && isDigit(c->unicode()))
            ++c;
        while (c - first > 1 && first->unicode() == u'0')
            ++first;
        *to++ = char(order.weight[u'0']);
        *to++ = char(c - first);
        for (; first < c; ++first)
            *to++ = char(first->unicode());
    }
    keys.resize(size_t(to - keys.data()));
}

// Keys of many names in one buffer: where each starts and how long it is.
struct PlainKeys {
    std::string bytes;
    std::vector<std::pair<quint32, quint32>> spans;

    void add(const QString &name, const PlainOrder &order)
    {
        const size_t start = bytes.size();
        appendPlainKey(name, order, bytes);
        spans.emplace_back(quint32(start), quint32(bytes.size() - start));
    }
    int compare(size_t a, size_t b) const
    {
        const auto [startA, lengthA] = spans[a];
        const auto [startB, lengthB] = spans[b];
        const int result = std::memcmp(bytes.data() + startA, bytes.data() + startB, std::min(lengthA, lengthB));
        return result != 0 ? result : int(lengthA > lengthB) - int(lengthA < lengthB);
    }
};

// Names that hold what the keys rely on: every kind of character, case, leading zeros,
// numbers of different lengths, prefixes, and the hyphen and apostrophe that some collators
// skip.
const char *const plainSamples[] = {
    "Track 2.mp3", "Track 10.mp3", "track 1.mp3", "Track 01.mp3", "Track1.mp3", "Track_1.mp3", "Track-1.mp3",
    "a01", "a1", "a001b", "a1c", "a0", "a00", "a 2", "a  2", "a2 ", "a-b", "ab", "a'b", "a.b", "A.B", "a_b", "a~b",
    "10", "9", "0", "!", "#", "$", "%", "&", "(", ")", "+", ",", ";", "=", "@", "[", "]", "^", "`", "{", "}", "Zz",
    "zZ", "z", "Z9", "z10", "x.mp3", "x(1).mp3", "x (1).mp3", "x 1.mp3",
};

PlainOrder learnPlainOrder(const QCollator &collator)
{
    PlainOrder order;
#ifdef Q_OS_WIN
    // Windows' collation is not ICU's; there every name goes to the collator.
    Q_UNUSED(collator);
#else
    // Only languages whose collation changes nothing for ASCII (no letter pairs sorted as one).
    const QLocale::Language language = collator.locale().language();
    if (language != QLocale::German && language != QLocale::English)
        return order;
    const auto text = [](char16_t c) { return QString(QChar(c)); };
    std::vector<char16_t> chars;
    for (char16_t c = 0x20; c <= 0x7E; ++c) {
        if (collator.compare(text(c), QString()) != 0)
            chars.push_back(c);
    }
    std::stable_sort(chars.begin(), chars.end(),
                     [&](char16_t a, char16_t b) { return collator.compare(text(a), text(b)) < 0; });
    int weight = 0;
    for (size_t i = 0; i < chars.size(); ++i) {
        if (i == 0 || collator.compare(text(chars[i - 1]), text(chars[i])) != 0)
            ++weight;
        if (weight > 255)
            return order;
        order.weight[chars[i]] = quint8(weight);
    }
    // The digits must stand together, and each number is given the first digit's weight.
    for (char16_t c = 0x20; c <= 0x7E; ++c) {
        const int w = order.weight[c];
        if (isDigit(c) ? w == 0 : w >= order.weight[u'0'] && w <= order.weight[u'9'])
            return order;
    }
    for (char16_t c = u'1'; c <= u'9'; ++c)
        order.weight[c] = order.weight[u'0'];
    // The rules above must give the collator's own answer on every pair of samples; where they
    // do not (another collation library, another version), the collator orders every name.
    PlainKeys keys;
    for (const char *sample : plainSamples) {
        if (!isPlain(QString::fromLatin1(sample), order))
            return PlainOrder();
        keys.add(QString::fromLatin1(sample), order);
    }
    for (size_t a = 0; a < std::size(plainSamples); ++a) {
        for (size_t b = 0; b < std::size(plainSamples); ++b) {
            const int expected = collator.compare(QString::fromLatin1(plainSamples[a]), QString::fromLatin1(plainSamples[b]));
            const int got = keys.compare(a, b);
            if ((expected < 0) != (got < 0) || (expected > 0) != (got > 0))
                return PlainOrder();
        }
    }
    order.usable = true;
#endif
    return order;
}

// Learnt once per language: the first listing pays a few hundred of the collator's comparisons.
PlainOrder plainOrder(const QCollator &collator)
{
    static std::mutex mutex;
    static QString learntFor;
    static PlainOrder learnt;
    const std::lock_guard<std::mutex> lock(mutex);
    const QString name = collator.locale().name();
    if (name != learntFor) {
        learnt = learnPlainOrder(collator);
        learntFor = name;
    }
    return learnt;
}

// Sort keys turn the many comparisons of a large folder into byte comparisons.
void sortByKeys(const std::vector<FolderFile> &files, const QCollator &collator, std::vector<size_t> &order)
{
    std::vector<QCollatorSortKey> keys;
    keys.reserve(order.size());
    for (size_t index : order)
        keys.push_back(collator.sortKey(files[index].name));
    std::vector<size_t> byKey(order.size());
    std::iota(byKey.begin(), byKey.end(), size_t(0));
    std::sort(byKey.begin(), byKey.end(), [&](size_t a, size_t b) {
        const int result = keys[a].compare(keys[b]);
        return result != 0 ? result < 0 : files[order[a]].nativeName < files[order[b]].nativeName;
    });
    for (size_t &index : byKey)
        index = order[index];
    order = std::move(byKey);
}

} // namespace

std::vector<size_t> nameOrder(const std::vector<FolderFile> &files)
{
    const QCollator collator = nameCollator();
    const PlainOrder plain = plainOrder(collator);
    std::vector<size_t> simple;
    std::vector<size_t> other;
    simple.reserve(files.size());
    for (size_t i = 0; i < files.size(); ++i)
        (plain.usable && isPlain(files[i].name, plain) ? simple : other).push_back(i);

    std::vector<size_t> order;
    // Each other name finds its place among the plain ones in a binary search with the
    // collator; with many of them, sort keys for all are quicker.
    size_t searchSteps = 1;
    while ((size_t(1) << searchSteps) <= simple.size())
        ++searchSteps;
    if (simple.empty() || other.size() * searchSteps > files.size()) {
        order.resize(files.size());
        std::iota(order.begin(), order.end(), size_t(0));
        sortByKeys(files, collator, order);
    } else {
        // The keys are built once, into one buffer, and indexed by the place in simple.
        PlainKeys keys;
        keys.spans.reserve(simple.size());
        for (size_t index : simple)
            keys.add(files[index].name, plain);
        std::vector<quint32> byKey(simple.size());
        std::iota(byKey.begin(), byKey.end(), quint32(0));
        std::sort(byKey.begin(), byKey.end(), [&](quint32 a, quint32 b) {
            const int result = keys.compare(a, b);
            return result != 0 ? result < 0 : files[simple[a]].nativeName < files[simple[b]].nativeName;
        });
        std::vector<size_t> sortedSimple(simple.size());
        std::transform(byKey.begin(), byKey.end(), sortedSimple.begin(), [&](quint32 at) { return simple[at]; });
        simple = std::move(sortedSimple);
        sortByKeys(files, collator, other);
        const auto before = [&](size_t a, size_t b) {
            const int result = collator.compare(files[a].name, files[b].name);
            return result != 0 ? result < 0 : files[a].nativeName < files[b].nativeName;
        };
        order.reserve(files.size());
        auto from = simple.cbegin();
        for (size_t index : other) {
            const auto to = std::lower_bound(from, simple.cend(), index, before);
            order.insert(order.end(), from, to);
            order.push_back(index);
            from = to;
        }
        order.insert(order.end(), from, simple.cend());
    }
    return order;
}
