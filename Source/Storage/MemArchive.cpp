#include "Storage/MemArchive.h"

#include <cstring>

#include "Common/Compression.h"
#include "Common/LittleEndian.h"
#include "Common/Memory.h"

namespace Volux {

MemArchive::MemArchive(CriticalSection* lock, const char16_t* name, const char16_t* source)
    : DataArchive(lock, name, source), mEntries(397) {}

MemArchive::~MemArchive() { FreeEntries(); }

void MemArchive::FreeEntries() {
    for (auto* node = mEntries.First(); node != nullptr; node = Hash<WString, Entry>::Next(node))
        ReleaseShared(node->value.block);
    mEntries.Clear();
}

WString MemArchive::StoredName(const char16_t* name) const {
    WString stored = NormalName(name);
    stored.ToLower();
    if (!mSource.IsEmpty()) {
        WString extension = Path::FileExtension(stored);
        if (extension.Compare(mSource, false) != 0) {
            stored.AppendChar(u'.');
            stored.Append(mSource);
            stored.ToLower();
        }
    }
    return stored;
}

IDataStream* MemArchive::MakeStream(const Entry& entry, const char16_t* streamName) {
    return new MemStream(mLock, streamName, entry.block, int(entry.length), entry.checksum);
}

IDataStream* MemArchive::OpenStream(const char16_t* name) {
    ArchiveLock hold(mLock);
    WString stored = StoredName(name);
    Entry* entry = mEntries.Find(stored);
    if (entry == nullptr)
        return nullptr;
    return MakeStream(*entry, mNamedByArchive ? Path::JoinPath(mName, entry->name) : entry->name);
}

bool MemArchive::WriteResource(const char16_t* name, const void* bytes, _dword length, const Md5Digest& checksum) {
    ArchiveLock hold(mLock);
    WString stored = StoredName(name);
    void* block = nullptr;
    if (length > 0) {
        block = AllocSharedCopy(bytes, length);
        if (block == nullptr)
            return false;
    }
    Entry* entry = mEntries.Insert(stored);
    if (entry == nullptr) {
        ReleaseShared(block);
        return false;
    }
    // Streams already open keep the old block through their own reference.
    ReleaseShared(entry->block);
    entry->name = stored;
    entry->block = block;
    entry->length = length;
    entry->checksum = checksum;
    return true;
}

bool MemArchive::DeleteResource(const char16_t* name) {
    ArchiveLock hold(mLock);
    WString stored = StoredName(name);
    Entry* entry = mEntries.Find(stored);
    if (entry == nullptr)
        return false;
    ReleaseShared(entry->block);
    return mEntries.Remove(stored);
}

bool MemArchive::GetResourceInfo(const char16_t* name, _dword& length, Md5Digest& checksum) {
    ArchiveLock hold(mLock);
    Entry* entry = mEntries.Find(StoredName(name));
    if (entry == nullptr)
        return false;
    length = entry->length;
    checksum = entry->checksum;
    return true;
}

bool MemArchive::HasResource(const char16_t* name) {
    ArchiveLock hold(mLock);
    return mEntries.Find(StoredName(name)) != nullptr;
}

int MemArchive::Enumerate(EnumerateCallback callback, void* arg1, void* arg2) {
    ArchiveLock hold(mLock);
    int count = 0;
    for (auto* node = mEntries.First(); node != nullptr; node = Hash<WString, Entry>::Next(node)) {
        if (callback != nullptr && !callback(node->value.name, arg1, arg2))
            return -1;
        count++;
    }
    return count;
}

bool MemArchive::Open(const void* bytes, _dword length) {
    ByteBuffer blob;
    if (length > 0 && !blob.Attach(bytes, length, true))
        return false;
    if (!UnpackBuffer(blob))
        return false;
    const _byte* p = blob.data;
    _dword size = blob.size, at = 0;
    while (at < size) {
        if (size - at < 4)
            return false;
        at += 4;  // the name length is not trusted; the name ends at its zero unit
        WString name;
        for (;;) {
            if (size - at < 2)
                return false;
            char16_t c = char16_t(ReadU16LE(p + at));
            at += 2;
            if (c == 0)
                break;
            name.AppendChar(c);
        }
        if (size - at < 4)
            return false;
        _dword dataLength = ReadU32LE(p + at);
        at += 4;
        if (dataLength > size - at)
            return false;
        if (!WriteResource(name, p + at, dataLength, Md5Digest()))
            return false;
        at += dataLength;
    }
    return true;
}

} // namespace Volux
