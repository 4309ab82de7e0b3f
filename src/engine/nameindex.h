#pragma once

#include <QByteArrayView>
#include <QHashFunctions>
#include <QStringView>

#include <vector>

// Finds the first position in a list that holds a name, for the run and its preview, which look
// up tens of thousands of names at a time: a table sized once for the whole list, each slot with
// its name's hash, where a QHash would allocate for every name. nameAt(position) gives the name
// stored for a position; it must stay valid as long as the index is used.
template <typename NameAt>
class NameIndex
{
public:
    NameIndex(size_t count, NameAt nameAt) : m_nameAt(nameAt)
    {
        size_t size = 16;
        while (size < count * 2)
            size *= 2;
        m_slots.assign(size, Slot());
    }

    // The position stored under the name, -1 for none.
    template <typename Name>
    qint64 find(const Name &name) const
    {
        const size_t hash = hashOf(name);
        const size_t mask = m_slots.size() - 1;
        for (size_t slot = hash & mask; m_slots[slot].position >= 0; slot = (slot + 1) & mask) {
            const Slot &at = m_slots[slot];
            if (at.hash == hash && m_nameAt(size_t(at.position)) == name)
                return at.position;
        }
        return -1;
    }

    // Stores the position under its name unless the name has one already; at most count of them.
    void insert(size_t position)
    {
        const auto &name = m_nameAt(position);
        const size_t hash = hashOf(name);
        const size_t mask = m_slots.size() - 1;
        size_t slot = hash & mask;
        for (; m_slots[slot].position >= 0; slot = (slot + 1) & mask) {
            if (m_slots[slot].hash == hash && m_nameAt(size_t(m_slots[slot].position)) == name)
                return;
        }
        m_slots[slot] = {hash, qint64(position)};
    }

private:
    struct Slot {
        size_t hash = 0;
        qint64 position = -1; // -1 for a free slot
    };
    static size_t hashOf(QStringView name) { return qHash(name); }
    static size_t hashOf(QByteArrayView name) { return qHash(name); }

    NameAt m_nameAt;
    std::vector<Slot> m_slots;
};
