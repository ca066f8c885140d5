// Growable byte buffer.
#include "Common/ByteBuffer.h"

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
    if (!Resize(size + count))
        return false;
    if (bytes != nullptr)
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
