// Growable byte buffer.
#include "Common/ByteBuffer.h"

#include <cstdint>
#include <cstring>

#include "Common/Memory.h"

namespace Volux {

void ByteBuffer::Reset() {
    if (owned)
        MemFree(data);
    owned = true;
    size = 0;
    data = nullptr;
    cursor = nullptr;
    processed = false;
}

bool ByteBuffer::Allocate(_dword newSize) {
    Reset();
    if (newSize == 0)
        return true;
    data = static_cast<_byte*>(MemAlloc(newSize));
    if (data == nullptr)
        return false;
    size = newSize;
    cursor = data;
    return true;
}

bool ByteBuffer::Resize(_dword newSize) {
    if (newSize == size)
        return true;
    _dword offset = Offset();
    _byte* block = newSize != 0 ? static_cast<_byte*>(MemAlloc(newSize)) : nullptr;
    if (newSize != 0 && block == nullptr)
        return false;
    if (data != nullptr && block != nullptr)
        memcpy(block, data, newSize < size ? newSize : size);
    if (owned)
        MemFree(data);
    owned = true;
    data = block;
    size = newSize;
    cursor = data != nullptr ? data + (offset < newSize ? offset : newSize) : nullptr;
    return true;
}

bool ByteBuffer::Append(const void* bytes, _dword count) {
    if (count == 0)
        return true;
    if (size > 0xFFFFFFFFu - count)
        return false;
    _dword oldSize = size;
    // The bytes may be this buffer's own, which the growth frees: they are found again by
    // their offset afterwards.
    uintptr_t from = reinterpret_cast<uintptr_t>(bytes);
    uintptr_t start = reinterpret_cast<uintptr_t>(data);
    bool own = bytes != nullptr && data != nullptr && from >= start && from < start + size;
    _dword ownOffset = own ? _dword(from - start) : 0;
    if (!Resize(size + count))
        return false;
    if (own)
        memmove(data + oldSize, data + ownOffset, count);
    else if (bytes != nullptr)
        memcpy(data + oldSize, bytes, count);
    else
        memset(data + oldSize, 0, count);
    return true;
}

bool ByteBuffer::Attach(const void* bytes, _dword newSize, bool copy) {
    Reset();
    if (!copy) {
        owned = false;
        data = static_cast<_byte*>(const_cast<void*>(bytes));
        size = bytes != nullptr ? newSize : 0;
        cursor = data;
        return true;
    }
    if (!Allocate(bytes != nullptr ? newSize : 0))
        return false;
    if (size != 0)
        memcpy(data, bytes, size);
    return true;
}

} // namespace Volux
