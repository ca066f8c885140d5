// The revocation list of banned loader builds, as downloaded: entries of a 16-byte MD5 digest,
// then (when at least 4 bytes remain) a little-endian count n of UTF-16 characters, then (when
// n > 0 and 2n bytes remain) the message shown for that build. Reading stops when fewer than
// 16 bytes remain. Portable: it only reads bytes.
#pragma once

#include <stddef.h>

#include "Common/Base.h"
#include "Common/Md5.h"
#include "Common/WString.h"

namespace Volux {

// Reads entries in order up to the first whose digest equals digest; true with its message
// (empty when the entry has none) when one does. Entries after the match are not read. A
// count larger than what remains gives no message and reading goes on after the count.
bool FindRevokedDigest(const _byte* list, size_t size, const Md5Digest& digest, WString& message);

} // namespace Volux
