// Chunk archive: the downloadable chunk file, laid out by the manifest. Read-only; it serves
// whatever bytes the file holds at each entry's place and records nothing about which parts
// are present.
#pragma once

#include "Storage/DataArchive.h"
#include "Storage/ResourceList.h"

namespace Volux {

class ChunkArchive : public PackArchive {
public:
    ChunkArchive(CriticalSection* lock, const char16_t* name);

    // Read-only: a writable open fails. Every manifest entry with an offset becomes an entry.
    bool Open(const char16_t* path, bool writable, _dword startOffset, _dword reserved, const ResourceList* manifest);

    int GetType() const override { return _ARCHIVE_CHUNK; }
    IDataStream* OpenStream(const char16_t* name) override;
    bool WriteResource(const char16_t*, const void*, _dword, const Md5Digest&) override { return false; }
    bool DeleteResource(const char16_t*) override { return false; }
    bool GetResourceInfo(const char16_t* name, _dword& length, Md5Digest& checksum) override;
    bool HasResource(const char16_t* name) override;
    int Enumerate(EnumerateCallback callback, void* arg1, void* arg2) override;

private:
    ResourceList mEntries;  // offsets already include the start offset
};

} // namespace Volux
