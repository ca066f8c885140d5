#include "loader/RevocationList.h"

#include <string.h>

#include "Common/LittleEndian.h"

namespace Volux {

namespace {

// Longer messages are cut: a loading screen shows a line or two.
constexpr _dword _MAX_MESSAGE_CHARS = 1024;

} // namespace

bool FindRevokedDigest(const _byte* list, size_t size, const Md5Digest& digest, WString& message) {
    message = u"";
    if (list == nullptr)
        return false;
    size_t offset = 0;
    while (size - offset >= size_t(_MD5_DIGEST_SIZE)) {
        const bool match = memcmp(list + offset, digest.bytes, _MD5_DIGEST_SIZE) == 0;
        offset += _MD5_DIGEST_SIZE;
        _dword count = 0;
        if (size - offset >= 4) {
            count = ReadU32LE(list + offset);
            offset += 4;
        }
        // The count is untrusted: the text is taken only when all of it is there.
        const bool hasText = count > 0 && (size - offset) / 2 >= size_t(count);
        if (match) {
            if (hasText) {
                const _dword shown = count < _MAX_MESSAGE_CHARS ? count : _MAX_MESSAGE_CHARS;
                char16_t text[_MAX_MESSAGE_CHARS + 1];
                for (_dword i = 0; i < shown; i++)
                    text[i] = char16_t(ReadU16LE(list + offset + 2 * size_t(i)));
                text[shown] = 0;
                message = WString(text, int(shown));
            }
            return true;
        }
        if (hasText)
            offset += 2 * size_t(count);
    }
    return false;
}

} // namespace Volux
