// MD5 after RFC 1321, written for speed on whole 64-byte blocks: large updates are hashed
// straight from the caller's memory, only partial blocks are copied.
#include "Common/Md5.h"

#include <cstring>

#include "Common/StringFormatter.h"

namespace Volux {

namespace {

inline _dword LoadLittle(const _byte* p) {
    // Byte assembly keeps the code independent of the host's byte order; compilers turn it
    // into one load on little-endian machines.
    return _dword(p[0]) | (_dword(p[1]) << 8) | (_dword(p[2]) << 16) | (_dword(p[3]) << 24);
}

inline void StoreLittle(_byte* p, _dword value) {
    p[0] = _byte(value);
    p[1] = _byte(value >> 8);
    p[2] = _byte(value >> 16);
    p[3] = _byte(value >> 24);
}

inline _dword RotateLeft(_dword x, int n) { return (x << n) | (x >> (32 - n)); }

} // namespace

_dword Md5Digest::Word(int index) const {
    if (index < 0 || index > 3)
        return 0;
    return LoadLittle(bytes + 4 * index);
}

bool Md5Digest::IsZero() const {
    for (_byte b : bytes)
        if (b != 0)
            return false;
    return true;
}

bool Md5Digest::operator==(const Md5Digest& other) const {
    return memcmp(bytes, other.bytes, sizeof(bytes)) == 0;
}

void Md5::Init() {
    mState[0] = 0x67452301;
    mState[1] = 0xefcdab89;
    mState[2] = 0x98badcfe;
    mState[3] = 0x10325476;
    mLength = 0;
}

// The four round functions; G and I are written in the forms that need fewest operations.
#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_G(x, y, z) ((y) ^ ((z) & ((x) ^ (y))))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define MD5_STEP(f, a, b, c, d, x, t, s) \
    a += f(b, c, d) + (x) + _dword(t);   \
    a = RotateLeft(a, s) + b;

void Md5::Transform(const _byte* block) {
    _dword x[16];
    for (int i = 0; i < 16; i++)
        x[i] = LoadLittle(block + 4 * i);
    _dword a = mState[0], b = mState[1], c = mState[2], d = mState[3];

    MD5_STEP(MD5_F, a, b, c, d, x[0], 0xd76aa478, 7)
    MD5_STEP(MD5_F, d, a, b, c, x[1], 0xe8c7b756, 12)
    MD5_STEP(MD5_F, c, d, a, b, x[2], 0x242070db, 17)
    MD5_STEP(MD5_F, b, c, d, a, x[3], 0xc1bdceee, 22)
    MD5_STEP(MD5_F, a, b, c, d, x[4], 0xf57c0faf, 7)
    MD5_STEP(MD5_F, d, a, b, c, x[5], 0x4787c62a, 12)
    MD5_STEP(MD5_F, c, d, a, b, x[6], 0xa8304613, 17)
    MD5_STEP(MD5_F, b, c, d, a, x[7], 0xfd469501, 22)
    MD5_STEP(MD5_F, a, b, c, d, x[8], 0x698098d8, 7)
    MD5_STEP(MD5_F, d, a, b, c, x[9], 0x8b44f7af, 12)
    MD5_STEP(MD5_F, c, d, a, b, x[10], 0xffff5bb1, 17)
    MD5_STEP(MD5_F, b, c, d, a, x[11], 0x895cd7be, 22)
    MD5_STEP(MD5_F, a, b, c, d, x[12], 0x6b901122, 7)
    MD5_STEP(MD5_F, d, a, b, c, x[13], 0xfd987193, 12)
    MD5_STEP(MD5_F, c, d, a, b, x[14], 0xa679438e, 17)
    MD5_STEP(MD5_F, b, c, d, a, x[15], 0x49b40821, 22)

    MD5_STEP(MD5_G, a, b, c, d, x[1], 0xf61e2562, 5)
    MD5_STEP(MD5_G, d, a, b, c, x[6], 0xc040b340, 9)
    MD5_STEP(MD5_G, c, d, a, b, x[11], 0x265e5a51, 14)
    MD5_STEP(MD5_G, b, c, d, a, x[0], 0xe9b6c7aa, 20)
    MD5_STEP(MD5_G, a, b, c, d, x[5], 0xd62f105d, 5)
    MD5_STEP(MD5_G, d, a, b, c, x[10], 0x02441453, 9)
    MD5_STEP(MD5_G, c, d, a, b, x[15], 0xd8a1e681, 14)
    MD5_STEP(MD5_G, b, c, d, a, x[4], 0xe7d3fbc8, 20)
    MD5_STEP(MD5_G, a, b, c, d, x[9], 0x21e1cde6, 5)
    MD5_STEP(MD5_G, d, a, b, c, x[14], 0xc33707d6, 9)
    MD5_STEP(MD5_G, c, d, a, b, x[3], 0xf4d50d87, 14)
    MD5_STEP(MD5_G, b, c, d, a, x[8], 0x455a14ed, 20)
    MD5_STEP(MD5_G, a, b, c, d, x[13], 0xa9e3e905, 5)
    MD5_STEP(MD5_G, d, a, b, c, x[2], 0xfcefa3f8, 9)
    MD5_STEP(MD5_G, c, d, a, b, x[7], 0x676f02d9, 14)
    MD5_STEP(MD5_G, b, c, d, a, x[12], 0x8d2a4c8a, 20)

    MD5_STEP(MD5_H, a, b, c, d, x[5], 0xfffa3942, 4)
    MD5_STEP(MD5_H, d, a, b, c, x[8], 0x8771f681, 11)
    MD5_STEP(MD5_H, c, d, a, b, x[11], 0x6d9d6122, 16)
    MD5_STEP(MD5_H, b, c, d, a, x[14], 0xfde5380c, 23)
    MD5_STEP(MD5_H, a, b, c, d, x[1], 0xa4beea44, 4)
    MD5_STEP(MD5_H, d, a, b, c, x[4], 0x4bdecfa9, 11)
    MD5_STEP(MD5_H, c, d, a, b, x[7], 0xf6bb4b60, 16)
    MD5_STEP(MD5_H, b, c, d, a, x[10], 0xbebfbc70, 23)
    MD5_STEP(MD5_H, a, b, c, d, x[13], 0x289b7ec6, 4)
    MD5_STEP(MD5_H, d, a, b, c, x[0], 0xeaa127fa, 11)
    MD5_STEP(MD5_H, c, d, a, b, x[3], 0xd4ef3085, 16)
    MD5_STEP(MD5_H, b, c, d, a, x[6], 0x04881d05, 23)
    MD5_STEP(MD5_H, a, b, c, d, x[9], 0xd9d4d039, 4)
    MD5_STEP(MD5_H, d, a, b, c, x[12], 0xe6db99e5, 11)
    MD5_STEP(MD5_H, c, d, a, b, x[15], 0x1fa27cf8, 16)
    MD5_STEP(MD5_H, b, c, d, a, x[2], 0xc4ac5665, 23)

    MD5_STEP(MD5_I, a, b, c, d, x[0], 0xf4292244, 6)
    MD5_STEP(MD5_I, d, a, b, c, x[7], 0x432aff97, 10)
    MD5_STEP(MD5_I, c, d, a, b, x[14], 0xab9423a7, 15)
    MD5_STEP(MD5_I, b, c, d, a, x[5], 0xfc93a039, 21)
    MD5_STEP(MD5_I, a, b, c, d, x[12], 0x655b59c3, 6)
    MD5_STEP(MD5_I, d, a, b, c, x[3], 0x8f0ccc92, 10)
    MD5_STEP(MD5_I, c, d, a, b, x[10], 0xffeff47d, 15)
    MD5_STEP(MD5_I, b, c, d, a, x[1], 0x85845dd1, 21)
    MD5_STEP(MD5_I, a, b, c, d, x[8], 0x6fa87e4f, 6)
    MD5_STEP(MD5_I, d, a, b, c, x[15], 0xfe2ce6e0, 10)
    MD5_STEP(MD5_I, c, d, a, b, x[6], 0xa3014314, 15)
    MD5_STEP(MD5_I, b, c, d, a, x[13], 0x4e0811a1, 21)
    MD5_STEP(MD5_I, a, b, c, d, x[4], 0xf7537e82, 6)
    MD5_STEP(MD5_I, d, a, b, c, x[11], 0xbd3af235, 10)
    MD5_STEP(MD5_I, c, d, a, b, x[2], 0x2ad7d2bb, 15)
    MD5_STEP(MD5_I, b, c, d, a, x[9], 0xeb86d391, 21)

    mState[0] += a;
    mState[1] += b;
    mState[2] += c;
    mState[3] += d;
}

#undef MD5_F
#undef MD5_G
#undef MD5_H
#undef MD5_I
#undef MD5_STEP

void Md5::Update(const void* data, size_t length) {
    if (data == nullptr || length == 0)
        return;
    const _byte* input = static_cast<const _byte*>(data);
    size_t used = size_t(mLength & 63);
    mLength += length;
    if (used != 0) {
        size_t take = 64 - used;
        if (length < take) {
            memcpy(mPending + used, input, length);
            return;
        }
        memcpy(mPending + used, input, take);
        Transform(mPending);
        input += take;
        length -= take;
    }
    for (; length >= 64; input += 64, length -= 64)
        Transform(input);
    if (length != 0)
        memcpy(mPending, input, length);
}

Md5Digest Md5::Final() {
    // Padding: one 0x80 byte, zeros up to 56 mod 64, then the bit count little-endian.
    _qword bitCount = mLength * 8;
    _byte padding[72] = {0x80};
    size_t used = size_t(mLength & 63);
    size_t padLength = used < 56 ? 56 - used : 120 - used;
    for (int i = 0; i < 8; i++)
        padding[padLength + i] = _byte(bitCount >> (8 * i));
    Update(padding, padLength + 8);

    Md5Digest digest;
    for (int i = 0; i < 4; i++)
        StoreLittle(digest.bytes + 4 * i, mState[i]);
    Init();
    return digest;
}

Md5Digest ComputeMd5(const void* data, size_t length) {
    Md5 md5;
    md5.Update(data, length);
    return md5.Final();
}

WString ChecksumText(const Md5Digest& digest) {
    return Format(u"%.8x%.8x%.8x%.8x", digest.Word(3), digest.Word(2), digest.Word(1), digest.Word(0));
}

WString HexText(const Md5Digest& digest) {
    static const char16_t _DIGITS[] = u"0123456789abcdef";
    char16_t text[2 * _MD5_DIGEST_SIZE + 1];
    for (int i = 0; i < _MD5_DIGEST_SIZE; i++) {
        text[2 * i] = _DIGITS[digest.bytes[i] >> 4];
        text[2 * i + 1] = _DIGITS[digest.bytes[i] & 15];
    }
    text[2 * _MD5_DIGEST_SIZE] = 0;
    return WString(text);
}

} // namespace Volux
