// Stack: an array used at its end.
#pragma once

#include "Common/Array.h"

namespace Volux {

template <class T>
class Stack : public Array<T> {
public:
    _dword Length() const { return this->mCount; }
    void Push(const T& item) { this->Append(item); }
    // Pops into out; false (reported) on an empty stack.
    bool Pop(T* out = nullptr) {
        _dword mLength = this->mCount;
        if (!VOLUX_CHECK(u"Common/Stack", mLength > 0))
            return false;
        if (out != nullptr)
            *out = std::move(this->mItems[mLength - 1]);
        this->Remove(mLength - 1);
        return true;
    }
    T& Top() {
        _dword mLength = this->mCount;
        if (!VOLUX_CHECK(u"Common/Stack", mLength > 0))
            return Array<T>::Fallback();
        return this->mItems[mLength - 1];
    }
};

} // namespace Volux
