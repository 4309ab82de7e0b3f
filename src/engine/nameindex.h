#pragma once

#include <QByteArrayView>
#include <QRandomGenerator>
#include <QStringView>

#include <cstring>
#include <vector>

// The table behind NameIndex and NameSet: each slot holds a position in a list of names and part
// of that name's hash, in a table sized once for the whole list, where a QHash would allocate
// for every name. Slots are eight bytes and the table at most about three times the list, so
// that it stays in the processor's cache. nameAt(position) gives the name at a position. Lists
// have fewer than 2^32 - 1 positions.
class NameSlots
{
public:
    NameSlots() = default;
    explicit NameSlots(size_t count)
    {
        size_t size = 16;
        while (size < count + count / 2)
            size *= 2;
        m_slots.assign(size, Slot());
    }

    // The position stored under the name, -1 for none.
    template <typename Name, typename NameAt>
    qint64 find(const Name &name, const NameAt &nameAt) const
    {
        if (m_slots.empty())
            return -1;
        const quint64 hash = hashOf(name);
        const quint32 tag = quint32(hash >> 32);
        const size_t mask = m_slots.size() - 1;
        for (size_t slot = size_t(hash) & mask; m_slots[slot].position != free; slot = (slot + 1) & mask) {
            const Slot &at = m_slots[slot];
            if (at.tag == tag && nameAt(at.position) == name)
                return at.position;
        }
        return -1;
    }

    // The position already stored under the position's name, or -1 after storing it there.
    template <typename NameAt>
    qint64 findOrInsert(size_t position, const NameAt &nameAt)
    {
        const auto &name = nameAt(position);
        const quint64 hash = hashOf(name);
        const quint32 tag = quint32(hash >> 32);
        const size_t mask = m_slots.size() - 1;
        size_t slot = size_t(hash) & mask;
        for (; m_slots[slot].position != free; slot = (slot + 1) & mask) {
            if (m_slots[slot].tag == tag && nameAt(m_slots[slot].position) == name)
                return m_slots[slot].position;
        }
        m_slots[slot] = {tag, quint32(position)};
        return -1;
    }

private:
    static constexpr quint32 free = 0xFFFFFFFFu;
    struct Slot {
        quint32 tag = 0;       // the upper half of the name's hash
        quint32 position = free;
    };
    static quint64 hashOf(QStringView name) { return hashBytes(name.data(), size_t(name.size()) * sizeof(QChar)); }
    static quint64 hashOf(QByteArrayView name) { return hashBytes(name.data(), size_t(name.size())); }

    // A hash of eight bytes at a time, seeded per process: Qt's own hash for strings (SipHash
    // here) costs several times as much, and the index hashes every name of a large folder.
    // Names that collide cost time, never a wrong answer: every find compares the names.
    static quint64 hashBytes(const void *data, size_t size)
    {
        static const quint64 seed = QRandomGenerator::system()->generate64() | 1;
        const auto *bytes = static_cast<const uchar *>(data);
        quint64 hash = seed ^ (size * 0x9E3779B97F4A7C15ULL);
        for (; size >= 8; size -= 8, bytes += 8) {
            quint64 word;
            std::memcpy(&word, bytes, 8);
            hash = (hash ^ word) * 0xFF51AFD7ED558CCDULL;
            hash ^= hash >> 32;
        }
        quint64 tail = 0;
        std::memcpy(&tail, bytes, size);
        // The final mix of MurmurHash3, so that the low bits (the slot) and the high bits (the
        // tag) both depend on every byte.
        hash ^= tail;
        hash = (hash ^ (hash >> 33)) * 0xFF51AFD7ED558CCDULL;
        hash = (hash ^ (hash >> 33)) * 0xC4CEB9FE1A85EC53ULL;
        return hash ^ (hash >> 33);
    }

    std::vector<Slot> m_slots;
};

// Finds the first position in a list that holds a name, for the run and its preview, which look
// up tens of thousands of names at a time. nameAt(position) gives the name stored for a
// position; it must stay valid as long as the index is used.
template <typename NameAt>
class NameIndex
{
public:
    NameIndex(size_t count, NameAt nameAt) : m_slots(count), m_nameAt(nameAt) {}

    // The position stored under the name, -1 for none.
    template <typename Name>
    qint64 find(const Name &name) const { return m_slots.find(name, m_nameAt); }

    // Stores the position under its name unless the name has one already; at most count of them.
    void insert(size_t position) { m_slots.findOrInsert(position, m_nameAt); }

    // The position already stored under the position's name, or -1 after storing it there.
    qint64 findOrInsert(size_t position) { return m_slots.findOrInsert(position, m_nameAt); }

private:
    NameSlots m_slots;
    NameAt m_nameAt;
};

// A set of names made once and then only looked in, which owns its names, so that it can be
// moved and shared as a whole.
template <typename Name>
class NameSet
{
public:
    NameSet() = default;
    explicit NameSet(std::vector<Name> names) : m_names(std::move(names)), m_slots(m_names.size())
    {
        for (size_t i = 0; i < m_names.size(); ++i)
            m_slots.findOrInsert(i, nameAt());
    }

    template <typename Key>
    bool contains(const Key &name) const { return m_slots.find(name, nameAt()) >= 0; }
    size_t size() const { return m_names.size(); }
    // The same names, in any order (a folder's listing holds each name once).
    bool sameNames(const NameSet &other) const
    {
        if (size() != other.size())
            return false;
        for (const Name &name : m_names) {
            if (!other.contains(name))
                return false;
        }
        return true;
    }

private:
    auto nameAt() const
    {
        return [this](size_t at) -> const Name & { return m_names[at]; };
    }

    std::vector<Name> m_names;
    NameSlots m_slots;
};
