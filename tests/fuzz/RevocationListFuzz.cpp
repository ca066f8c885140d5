// Reads the input as a downloaded revocation list, looking for the digest given by its first
// 16 bytes (so matches happen) and for one that never matches; the reader must stay inside
// the bytes whatever the counts say.
#include <cstdint>
#include <cstring>
#include <vector>

#include "Common/Md5.h"
#include "loader/RevocationList.h"

using namespace Volux;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input's size, so any read past it is caught.
    std::vector<uint8_t> list(data, data + size);
    Md5Digest digest;
    if (size >= 16)
        memcpy(digest.bytes, data + (size / 2 >= 16 ? size / 2 - 16 : 0), 16);
    WString message;
    FindRevokedDigest(list.data(), list.size(), digest, message);
    Md5Digest none;
    memset(none.bytes, 0xA5, sizeof(none.bytes));
    FindRevokedDigest(list.data(), list.size(), none, message);
    return 0;
}
