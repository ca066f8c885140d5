// Feeds arbitrary bytes to UnpackStream in uneven read chunks (the first input byte picks
// the chunk length); the output must never exceed the promised size, and a success must
// deliver exactly that size.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Common/Compression.h"
#include "Common/Log.h"

using namespace Volux;

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t position;
    _dword chunk;
};

bool Read(void* self, void* buffer, _dword* length) {
    Reader& r = *static_cast<Reader*>(self);
    size_t count = *length < r.chunk ? *length : r.chunk;
    if (count > r.size - r.position)
        count = r.size - r.position;
    if (count != 0)
        memcpy(buffer, r.data + r.position, count);
    r.position += count;
    *length = _dword(count);
    return true;
}

struct Writer {
    _qword total;
    _qword limit;
};

bool Write(void* self, const void* buffer, _dword* length) {
    Writer& w = *static_cast<Writer*>(self);
    // Touch the bytes so that the sanitizer sees reads of uninitialised or freed memory.
    volatile _byte sink = *length != 0 ? static_cast<const _byte*>(buffer)[*length - 1] : 0;
    (void)sink;
    w.total += *length;
    if (w.total > w.limit)
        abort();
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = (logEnabled = false, true);
    (void)quiet;
    if (size < 1)
        return 0;
    _dword chunk = _dword(data[0]) * 257 + 1;
    Reader reader = {data + 1, size - 1, 0, chunk};
    _qword promised = 0;
    if (size - 1 >= _BLOCK_HEADER_SIZE)
        promised = _qword(data[17]) | (_qword(data[18]) << 8) | (_qword(data[19]) << 16) | (_qword(data[20]) << 24);
    Writer writer = {0, promised};
    if (UnpackStream(Read, &reader, Write, &writer) && writer.total != promised)
        abort();
    return 0;
}
