// Checking and rebuilding a hash archive file as a whole, for the content tool: every chunk
// against its header and checksum, the item table against the chunks (overlaps, regions past
// the end, space no item accounts for), and a rewrite without lost space.
#pragma once

#include "Common/Array.h"
#include "Common/WString.h"

namespace Volux {

struct ArchiveCheckReport {
    _dword items = 0;        // slots over all blocks
    _dword blocks = 0;
    _dword resources = 0;    // live items
    _dword markers = 0;      // deletion markers
    _dword freeRegions = 0;
    _qword freeBytes = 0;    // in free regions, reusable
    _qword lostBytes = 0;    // covered by no item, block or header: only a rebuild recovers it
    _qword fileLength = 0;
    Array<WString> problems; // one readable line each; empty for a sound archive
};

// False when the file cannot be read as a hash archive at all (the reason is in problems).
bool CheckHashArchive(const char16_t* path, ArchiveCheckReport& report);
// Writes a new archive at `to` holding every resource and deletion marker of `from`, with
// the same version and key words and no lost space; `spare` extra empty slots.
bool CompactHashArchive(const char16_t* from, const char16_t* to, _dword spare);

} // namespace Volux
