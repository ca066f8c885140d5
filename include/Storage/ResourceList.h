// A list of resources in the binary manifest form: what a chunk file holds and where, or
// which resources a read-only resource list names. Only what the archives need is read here.
//
//   0  4  magic "QOC1"          entry record: 4 name length n (UTF-16 units; 0 ends the
//   4  4  entry count                         list; above 1023 taken as 1023), 2n name,
//   8  4  version                             16 checksum, 4 length, 4 offset (-1 = not in
//  12     entry records                       the chunk file), 4 package length m, 2m package
#pragma once

#include "Common/Array.h"
#include "Common/ByteBuffer.h"
#include "Common/Hash.h"
#include "Common/Md5.h"
#include "Common/WString.h"
#include "Storage/NameKey.h"

namespace Volux {

struct ResourceListEntry {
    WString name;
    NameKey key;
    int length = 0;
    int offset = -1;
    Md5Digest checksum;
};

class ResourceList {
public:
    ResourceList() : mIndex(397) {}
    ResourceList(const ResourceList&) = delete;
    ResourceList& operator=(const ResourceList&) = delete;

    // Reads the binary form; a short or malformed buffer yields the entries before the fault.
    // False when the magic is wrong.
    bool Load(const _byte* bytes, _dword length);
    void Add(const char16_t* name, int length, int offset, const Md5Digest& checksum);
    void Clear();

    _dword Count() const { return mEntries.Count(); }
    const ResourceListEntry& Entry(_dword i) const { return mEntries[i]; }
    // By name or by key text; null when absent.
    const ResourceListEntry* Find(const char16_t* name) const;
    _dword Version() const { return mVersion; }

private:
    Array<ResourceListEntry> mEntries;
    Hash<NameKey, _dword> mIndex;  // key -> entry index
    _dword mVersion = 0;
};

} // namespace Volux
