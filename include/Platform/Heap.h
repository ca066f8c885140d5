// The process heap under the engine heap.
#pragma once

#include <cstddef>

namespace Volux {
namespace Heap {

void* Allocate(size_t size);
void Free(void* pointer);

} // namespace Heap
} // namespace Volux
