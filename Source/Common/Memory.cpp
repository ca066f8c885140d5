// The engine heap over the process heap, and shared buffers with an 8-byte header.
#include "Common/Memory.h"

#include <cstdlib>
#include <cstring>

#include "Common/Log.h"
#include "Platform/Heap.h"

namespace Volux {

namespace {
constexpr const char16_t* _SOURCE = u"Common/Memory";

struct SharedHeader {
    _dword magic;
    _dword count;
};
static_assert(sizeof(SharedHeader) == 8, "shared buffer header is 8 bytes");

// Checks the header the way the report texts read; false when the buffer must be left alone.
bool CheckHeader(void* realbuffer) {
    if (!VOLUX_CHECK(_SOURCE, ( (_dword*) realbuffer )[0] == 0x4B434C42))
        return false;
    if (!VOLUX_CHECK(_SOURCE, ( (_dword*) realbuffer )[1] >= 1))
        return false;
    return true;
}
} // namespace

void* MemAlloc(size_t size) {
    if (size == 0 || size > _MAX_ALLOCATION)
        return nullptr;
    void* pointer = Heap::Allocate(size);
    if (pointer == nullptr) {
        PrintBoth(u"[KL] Out of memory");
        VOLUX_CHECK(_SOURCE, pointer != _null);
    }
    return pointer;
}

void MemFree(void* pointer) {
    if (pointer != nullptr)
        Heap::Free(pointer);
}

void* AllocShared(size_t size) {
    if (size == 0 || size > _MAX_ALLOCATION)
        return nullptr;
    SharedHeader* header = static_cast<SharedHeader*>(malloc(size + sizeof(SharedHeader)));
    if (header == nullptr) {
        PrintBoth(u"[KL] Out of memory");
        return nullptr;
    }
    header->magic = _SHARED_MAGIC;
    header->count = 1;
    return header + 1;
}

void* AllocSharedCopy(const void* data, size_t size) {
    void* pointer = AllocShared(size);
    if (pointer != nullptr && data != nullptr)
        memcpy(pointer, data, size);
    return pointer;
}

void* AddRefShared(void* pointer) {
    if (pointer == nullptr)
        return nullptr;
    SharedHeader* header = static_cast<SharedHeader*>(pointer) - 1;
    // A damaged header is reported and the buffer left alone.
    if (CheckHeader(header))
        header->count++;
    return pointer;
}

bool ReleaseShared(void* pointer) {
    if (pointer == nullptr)
        return true;
    SharedHeader* header = static_cast<SharedHeader*>(pointer) - 1;
    if (!CheckHeader(header))
        return false;
    if (--header->count > 0)
        return false;
    free(header);
    return true;
}

} // namespace Volux
