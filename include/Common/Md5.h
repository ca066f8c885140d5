// MD5 message digest (RFC 1321) and the two text forms the engine prints it in.
#pragma once

#include "Common/Base.h"
#include "Common/WString.h"

namespace Volux {

constexpr int _MD5_DIGEST_SIZE = 16;

// The 16 digest bytes in the order the algorithm outputs them: the state words A, B, C, D,
// each little-endian. All zero stands for "no digest" (a file that could not be read).
struct Md5Digest {
    _byte bytes[_MD5_DIGEST_SIZE] = {};

    // Word 0 is A, 3 is D.
    _dword Word(int index) const;
    bool IsZero() const;
    bool operator==(const Md5Digest& other) const;
    bool operator!=(const Md5Digest& other) const { return !(*this == other); }
};

// Incremental digest: Init, any number of Update calls, then Final. Final leaves the object
// ready for a new message.
class Md5 {
public:
    Md5() { Init(); }

    void Init();
    void Update(const void* data, size_t length);
    Md5Digest Final();

private:
    void Transform(const _byte* block);

    _dword mState[4];
    _qword mLength;      // bytes fed so far
    _byte mPending[64];  // start of an unfinished 64-byte block
};

Md5Digest ComputeMd5(const void* data, size_t length);

// The engine's checksum text: "%.8x" of the words D, C, B, A, so it is not the usual
// MD5 text (manifests, downloads and the self-upgrade compare this form).
WString ChecksumText(const Md5Digest& digest);
// The conventional form: the 16 bytes in order, two lower-case hex digits each.
WString HexText(const Md5Digest& digest);

} // namespace Volux
