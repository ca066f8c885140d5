#include "Storage/ResourceList.h"

#include <cstring>

#include "Common/LittleEndian.h"

namespace Volux {

namespace {

constexpr _dword _MAX_NAME_UNITS = 1023;
// The smallest record: name length, checksum, length, offset, package length.
constexpr _dword _MIN_RECORD = 4 + 16 + 4 + 4 + 4;

// Reads n UTF-16LE units; the caller has checked they are there.
WString ReadUnits(const _byte* p, _dword n) {
    WString text;
    for (_dword i = 0; i < n; i++) {
        char16_t c = char16_t(ReadU16LE(p + 2 * i));
        if (c == 0)
            break;
        text.AppendChar(c);
    }
    return text;
}

} // namespace

void ResourceList::Clear() {
    mEntries.Clear(true);
    mIndex.Clear();
    mVersion = 0;
}

void ResourceList::Add(const char16_t* name, int length, int offset, const Md5Digest& checksum) {
    ResourceListEntry entry;
    entry.name = NonNull(name);
    entry.key = ComputeNameKey(name);
    entry.length = length;
    entry.offset = offset;
    entry.checksum = checksum;
    _dword* at = mIndex.Find(entry.key);
    if (at != nullptr) {
        mEntries[*at] = entry;
        return;
    }
    mIndex.Insert(entry.key, mEntries.Count());
    mEntries.Append(entry);
}

bool ResourceList::Load(const _byte* bytes, _dword length) {
    Clear();
    if (bytes == nullptr || length < 12 || memcmp(bytes, "QOC1", 4) != 0)
        return false;
    _dword count = ReadU32LE(bytes + 4);
    mVersion = ReadU32LE(bytes + 8);
    _dword at = 12;
    // Each record takes at least _MIN_RECORD bytes, which bounds the loop whatever the count.
    for (_dword i = 0; i < count && length - at >= _MIN_RECORD; i++) {
        _dword n = ReadU32LE(bytes + at);
        if (n == 0)
            break;
        if (n > _MAX_NAME_UNITS)
            n = _MAX_NAME_UNITS;
        at += 4;
        if ((length - at) / 2 < n || length - at - 2 * n < _MIN_RECORD - 4)
            break;
        WString name = ReadUnits(bytes + at, n);
        at += 2 * n;
        Md5Digest checksum;
        memcpy(checksum.bytes, bytes + at, 16);
        int entryLength = int(ReadU32LE(bytes + at + 16));
        int offset = int(ReadU32LE(bytes + at + 20));
        _dword m = ReadU32LE(bytes + at + 24);
        at += 28;
        if (m > _MAX_NAME_UNITS)
            m = _MAX_NAME_UNITS;
        if ((length - at) / 2 < m)
            break;
        at += 2 * m;
        Add(name, entryLength, offset, checksum);
    }
    return true;
}

const ResourceListEntry* ResourceList::Find(const char16_t* name) const {
    const _dword* at = mIndex.Find(ComputeNameKey(name));
    return at != nullptr ? &mEntries[*at] : nullptr;
}

} // namespace Volux
