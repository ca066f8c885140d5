// A growable byte buffer with a read cursor; it may borrow the caller's bytes.
#pragma once

#include "Common/Base.h"
#include "Common/WString.h"

namespace Volux {

class ByteBuffer {
public:
    ByteBuffer() = default;
    ~ByteBuffer() { Reset(); }
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    // Frees owned data; afterwards owned, empty, no data.
    void Reset();
    bool Allocate(_dword newSize);
    // Keeps the first min(old, new) bytes; the cursor keeps its offset, clamped to the end.
    bool Resize(_dword newSize);
    bool Append(const void* bytes, _dword count);
    bool Attach(const void* bytes, _dword newSize, bool copy);

    _dword Offset() const { return data != nullptr ? _dword(cursor - data) : 0; }
    _dword Remaining() const { return size - Offset(); }

    bool owned = true;
    _dword size = 0;
    _byte* data = nullptr;
    _byte* cursor = nullptr;
    // Set once the content has been packed into or unpacked from a compressed block.
    bool processed = false;
    // Path the bytes were read from, when they came from a file.
    WString name;
};

} // namespace Volux
