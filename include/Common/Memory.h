// The engine heap and reference-counted shared buffers.
#pragma once

#include "Common/Base.h"

namespace Volux {

constexpr size_t _MAX_ALLOCATION = 0x7FFFFFFE;

// Null for size 0 or above _MAX_ALLOCATION; an allocation failure is logged "[KL] Out of memory".
void* MemAlloc(size_t size);
void MemFree(void* pointer);

// Shared buffer: the pointer is 8 bytes into a block whose header holds the magic
// 0x4B434C42 and a plain (not atomic) reference count.
constexpr _dword _SHARED_MAGIC = 0x4B434C42;
void* AllocShared(size_t size);
void* AllocSharedCopy(const void* data, size_t size);
void* AddRefShared(void* pointer);
// True when the last reference went and the block was freed (and for null).
bool ReleaseShared(void* pointer);

} // namespace Volux
