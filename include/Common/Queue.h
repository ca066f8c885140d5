// Ring queue with capacity + 1 slots; growth copies the elements in order from the front,
// so afterwards mFront is 0 and mBack equals the count.
#pragma once

#include <new>
#include <utility>

#include "Common/Base.h"
#include "Common/Memory.h"

namespace Volux {

template <class T>
class Queue {
public:
    Queue() = default;
    Queue(const Queue&) = delete;
    Queue& operator=(const Queue&) = delete;
    ~Queue() {
        Clear();
        delete[] mItems;
    }

    _dword Count() const { return mCount; }
    _dword Capacity() const { return mCapacity; }
    bool IsIndexValid(_dword index) const { return mCount > 0 && index <= mCapacity; }

    bool Push(const T& item) {
        if (mCount == mCapacity) {
            // item may be one of this queue's elements, which the growth moves and frees.
            T aside(item);
            if (!Grow())
                return false;
            mItems[mBack] = std::move(aside);
        } else {
            mItems[mBack] = item;
        }
        mBack = (mBack + 1) % (mCapacity + 1);
        mCount++;
        return true;
    }

    bool Pop(T* out = nullptr) {
        if (!VOLUX_CHECK(u"Common/Queue", IsIndexValid( mFront )))
            return false;
        if (out != nullptr)
            *out = std::move(mItems[mFront]);
        mItems[mFront] = T();
        mFront = (mFront + 1) % (mCapacity + 1);
        mCount--;
        return true;
    }

    T& Front() {
        if (!VOLUX_CHECK(u"Common/Queue", IsIndexValid( mFront ))) {
            static T fallback;
            fallback = T();
            return fallback;
        }
        return mItems[mFront];
    }

    // The element i places behind the front (0 = front); i must be below Count().
    T& At(_dword i) { return mItems[(mFront + i) % (mCapacity + 1)]; }

    void Clear() {
        while (mCount > 0)
            Pop();
        mFront = mBack = 0;
    }

    _dword FrontIndex() const { return mFront; }
    _dword BackIndex() const { return mBack; }

private:
    bool Grow() {
        _dword newCapacity = mCapacity == 0 ? 16 : mCapacity * 2;
        T* items = new (std::nothrow) T[newCapacity + 1];
        if (items == nullptr)
            return false;
        for (_dword i = 0; i < mCount; i++)
            items[i] = std::move(At(i));
        delete[] mItems;
        mItems = items;
        mCapacity = newCapacity;
        mFront = 0;
        mBack = mCount;
        return true;
    }

    _dword mCapacity = 0;
    _dword mCount = 0;
    _dword mFront = 0;
    _dword mBack = 0;
    T* mItems = nullptr;
};

} // namespace Volux
