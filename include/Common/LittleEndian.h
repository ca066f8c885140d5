// Little-endian fields of files and resources, read byte by byte so alignment and the host's
// byte order never matter.
#pragma once

#include "Common/Base.h"

namespace Volux {

inline _word ReadU16LE(const _byte* p) { return _word(p[0] | p[1] << 8); }
inline _dword ReadU32LE(const _byte* p) {
    return _dword(p[0]) | _dword(p[1]) << 8 | _dword(p[2]) << 16 | _dword(p[3]) << 24;
}

} // namespace Volux
