// Feeds arbitrary bytes to UnpackBuffer; a result must never exceed the promised size and a
// failure must leave the buffer as it was.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Common/ByteBuffer.h"
#include "Common/Compression.h"
#include "Common/Log.h"

using namespace Volux;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = (logEnabled = false, true);
    (void)quiet;
    if (size > 0xFFFFFFFFu)
        return 0;
    ByteBuffer buffer;
    if (!buffer.Attach(data, _dword(size), true))
        return 0;
    bool compressed = IsCompressedBlock(data, size);
    _dword promised = compressed ? _dword(data[16]) | (_dword(data[17]) << 8) | (_dword(data[18]) << 16) |
                                       (_dword(data[19]) << 24)
                                 : 0;
    if (UnpackBuffer(buffer)) {
        if (compressed && buffer.size != promised)
            abort();
        if (!compressed && (buffer.size != size || (size != 0 && memcmp(buffer.data, data, size) != 0)))
            abort();
    } else if (buffer.size != size || memcmp(buffer.data, data, size) != 0) {
        abort();
    }
    return 0;
}
