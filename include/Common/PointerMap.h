// Map from addresses to addresses: open addressing with linear probing in a power-of-two
// table kept at most half full, removal by shifting the following run back (no
// tombstones). For look-ups on hot paths, where Hash's division and chain walk cost too
// much. The null key is not storable.
#pragma once

#include <cstdint>

#include "Common/Memory.h"

namespace Volux {

class PointerMap {
public:
    PointerMap() = default;
    PointerMap(const PointerMap&) = delete;
    PointerMap& operator=(const PointerMap&) = delete;
    ~PointerMap() { MemFree(mEntries); }

    _dword Count() const { return mCount; }

    void* Find(const void* key) const {
        if (mEntries == nullptr || key == nullptr)
            return nullptr;
        for (size_t i = Home(key);; i = (i + 1) & mMask) {
            const Entry& entry = mEntries[i];
            if (entry.key == key)
                return entry.value;
            if (entry.key == nullptr)
                return nullptr;
        }
    }

    // Adds or replaces; false (map unchanged) for the null key or when the table cannot grow.
    bool Insert(const void* key, void* value) {
        if (key == nullptr || !Reserve(mCount + 1))
            return false;
        size_t i = Home(key);
        while (mEntries[i].key != nullptr && mEntries[i].key != key)
            i = (i + 1) & mMask;
        if (mEntries[i].key == nullptr)
            mCount++;
        mEntries[i].key = key;
        mEntries[i].value = value;
        return true;
    }

    // Room for count entries without growing on the way; false when it cannot be made.
    bool Reserve(_dword count) {
        size_t capacity = mEntries != nullptr ? mMask + 1 : 0;
        if (size_t(count) * 2 <= capacity)
            return true;
        size_t grown = capacity != 0 ? capacity : 16;
        while (grown < size_t(count) * 2)
            grown *= 2;
        if (grown > _MAX_ALLOCATION / sizeof(Entry))
            return false;
        Entry* entries = static_cast<Entry*>(MemAlloc(grown * sizeof(Entry)));
        if (entries == nullptr)
            return false;
        for (size_t i = 0; i < grown; i++)
            entries[i] = Entry();
        Entry* old = mEntries;
        mEntries = entries;
        mMask = grown - 1;
        for (size_t i = 0; i < capacity; i++) {
            if (old[i].key == nullptr)
                continue;
            size_t at = Home(old[i].key);
            while (mEntries[at].key != nullptr)
                at = (at + 1) & mMask;
            mEntries[at] = old[i];
        }
        MemFree(old);
        return true;
    }

    // True when the key was there.
    bool Remove(const void* key) {
        if (mEntries == nullptr || key == nullptr)
            return false;
        size_t i = Home(key);
        while (mEntries[i].key != key) {
            if (mEntries[i].key == nullptr)
                return false;
            i = (i + 1) & mMask;
        }
        // Later entries of the run move into the hole unless that would put them before
        // their home position.
        size_t hole = i;
        for (size_t j = (hole + 1) & mMask; mEntries[j].key != nullptr; j = (j + 1) & mMask) {
            size_t home = Home(mEntries[j].key);
            bool stays = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
            if (!stays) {
                mEntries[hole] = mEntries[j];
                hole = j;
            }
        }
        mEntries[hole] = Entry();
        mCount--;
        return true;
    }

    // Calls visit(key, value) for every entry; the map must not change meanwhile.
    template <class F>
    void ForEach(F visit) const {
        if (mEntries == nullptr)
            return;
        for (size_t i = 0; i <= mMask; i++)
            if (mEntries[i].key != nullptr)
                visit(mEntries[i].key, mEntries[i].value);
    }

    void Clear() {
        MemFree(mEntries);
        mEntries = nullptr;
        mMask = 0;
        mCount = 0;
    }

private:
    struct Entry {
        const void* key = nullptr;
        void* value = nullptr;
    };

    size_t Home(const void* key) const {
        // Heap addresses share their low bits; the multiply spreads the rest.
        uint64_t bits = uint64_t(reinterpret_cast<uintptr_t>(key)) >> 3;
        return size_t((bits * 0x9E3779B97F4A7C15ull) >> 32) & mMask;
    }

    Entry* mEntries = nullptr;
    size_t mMask = 0;
    _dword mCount = 0;
};

} // namespace Volux
