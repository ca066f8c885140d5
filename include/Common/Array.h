// Growable array of values. Capacity doubles from 16; elements move when storage grows.
#pragma once

#include <new>
#include <utility>

#include "Common/Base.h"
#include "Common/Memory.h"

namespace Volux {

template <class T>
class Array {
public:
    Array() = default;
    Array(const Array& other) { *this = other; }
    Array(Array&& other) noexcept : mCapacity(other.mCapacity), mCount(other.mCount), mItems(other.mItems) {
        other.mCapacity = other.mCount = 0;
        other.mItems = nullptr;
    }
    ~Array() { Clear(true); }
    Array& operator=(const Array& other) {
        if (this != &other) {
            Clear();
            for (_dword i = 0; i < other.mCount; i++)
                Append(other.mItems[i]);
        }
        return *this;
    }

    _dword Count() const { return mCount; }
    _dword Capacity() const { return mCapacity; }
    bool IsIndexValid(_dword index) const { return index < mCount; }

    T& Append(const T& item) {
        T copy(item);  // item may live in this array's storage
        return Append(std::move(copy));
    }
    T& Append(T&& item) {
        if (mCount < mCapacity)
            return *new (&mItems[mCount++]) T(std::move(item));
        // item may be one of this array's elements, which the growth moves and frees.
        T aside(std::move(item));
        if (!GrowOne())
            return Fallback();
        return *new (&mItems[mCount++]) T(std::move(aside));
    }

    // An index past the end appends.
    bool Insert(_dword index, const T& item) {
        if (index > mCount)
            index = mCount;
        T copy(item);
        if (!GrowOne())
            return false;
        new (&mItems[mCount]) T();
        mCount++;
        for (_dword i = mCount - 1; i > index; i--)
            mItems[i] = std::move(mItems[i - 1]);
        mItems[index] = std::move(copy);
        return true;
    }

    bool Remove(_dword index) {
        if (!VOLUX_CHECK(u"Common/Array", IsIndexValid( index )))
            return false;
        for (_dword i = index; i + 1 < mCount; i++)
            mItems[i] = std::move(mItems[i + 1]);
        mItems[--mCount].~T();
        return true;
    }

    // An invalid index is reported and yields a default element kept for that purpose.
    T& operator[](_dword index) {
        if (!VOLUX_CHECK(u"Common/Array", IsIndexValid( index )))
            return Fallback();
        return mItems[index];
    }
    const T& operator[](_dword index) const { return const_cast<Array&>(*this)[index]; }

    void Clear(bool freeStorage = false) {
        for (_dword i = 0; i < mCount; i++)
            mItems[i].~T();
        mCount = 0;
        if (freeStorage) {
            MemFree(mItems);
            mItems = nullptr;
            mCapacity = 0;
        }
    }

    T* begin() { return mItems; }
    T* end() { return mItems + mCount; }
    const T* begin() const { return mItems; }
    const T* end() const { return mItems + mCount; }

protected:
    // Ensures room for one more element; false (already logged) when memory ran out.
    bool GrowOne() {
        if (mCount < mCapacity)
            return true;
        _dword newCapacity = mCapacity == 0 ? 16 : mCapacity * 2;
        T* items = static_cast<T*>(MemAlloc(sizeof(T) * size_t(newCapacity)));
        if (items == nullptr)
            return false;
        for (_dword i = 0; i < mCount; i++) {
            new (&items[i]) T(std::move(mItems[i]));
            mItems[i].~T();
        }
        MemFree(mItems);
        mItems = items;
        mCapacity = newCapacity;
        return true;
    }

    // What a failed access returns: a fresh default element, never the array's storage.
    static T& Fallback() {
        static T fallback;
        fallback = T();
        return fallback;
    }

    _dword mCapacity = 0;
    _dword mCount = 0;
    T* mItems = nullptr;
};

} // namespace Volux
