// Intrusive doubly linked list: each element derives from LinkNode and carries its links.
#pragma once

#include "Common/Base.h"

namespace Volux {

template <class T>
struct LinkNode {
    T* mPrev = nullptr;
    T* mNext = nullptr;
};

template <class T>
class Link {
public:
    T* Head() const { return mHead; }
    T* Tail() const { return mTail; }
    _dword Count() const { return mCount; }

    void Append(T* node) { InsertAfter(mTail, node); }

    // A null position inserts at the head.
    void InsertBefore(T* position, T* node) {
        if (!VOLUX_CHECK(u"Common/Link", node != _null))
            return;
        if (position == nullptr) {
            InsertAfter(nullptr, node);
            return;
        }
        node->mNext = position;
        node->mPrev = position->mPrev;
        if (position->mPrev != nullptr)
            position->mPrev->mNext = node;
        else
            mHead = node;
        position->mPrev = node;
        mCount++;
    }

    // A null position inserts at the tail when the list is empty or at the head otherwise;
    // Append passes the tail, so a null position only ever means "the list is empty".
    void InsertAfter(T* position, T* node) {
        if (!VOLUX_CHECK(u"Common/Link", node != _null))
            return;
        node->mPrev = position;
        node->mNext = position != nullptr ? position->mNext : mHead;
        if (node->mNext != nullptr)
            node->mNext->mPrev = node;
        else
            mTail = node;
        if (position != nullptr)
            position->mNext = node;
        else
            mHead = node;
        mCount++;
    }

    void Remove(T* node) {
        if (!VOLUX_CHECK(u"Common/Link", node != _null))
            return;
        if (node->mPrev != nullptr)
            node->mPrev->mNext = node->mNext;
        else
            mHead = node->mNext;
        if (node->mNext != nullptr)
            node->mNext->mPrev = node->mPrev;
        else
            mTail = node->mPrev;
        node->mPrev = node->mNext = nullptr;
        mCount--;
    }

    void Reset() {
        mHead = mTail = nullptr;
        mCount = 0;
    }

private:
    T* mHead = nullptr;
    T* mTail = nullptr;
    _dword mCount = 0;
};

} // namespace Volux
