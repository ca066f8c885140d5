#include "Storage/ChunkArchive.h"

#include "Common/Log.h"
#include "Storage/ResourceManager.h"

namespace Volux {

ChunkArchive::ChunkArchive(CriticalSection* lock, const char16_t* name) : PackArchive(lock, name, nullptr) {}

bool ChunkArchive::Open(const char16_t* path, bool writable, _dword startOffset, _dword reserved,
                        const ResourceList* manifest) {
    ArchiveLock hold(mLock);
    if (writable || !OpenPackFile(mFile, path, false, startOffset))
        return false;
    mStartOffset = startOffset;
    mReserved = reserved;
    mEntries.Clear();
    if (manifest != nullptr) {
        for (_dword i = 0; i < manifest->Count(); i++) {
            const ResourceListEntry& entry = manifest->Entry(i);
            if (entry.offset < 0 || entry.length < 0)
                continue;
            mEntries.Add(entry.name, entry.length, int(_dword(entry.offset) + startOffset), entry.checksum);
        }
    }
    return true;
}

IDataStream* ChunkArchive::OpenStream(const char16_t* name) {
    ArchiveLock hold(mLock);
    const ResourceListEntry* entry = mEntries.Find(NormalName(name));
    if (entry == nullptr)
        return nullptr;
    if (logMainThreadLoads && IsMainThread())
        PrintLine(u"[RM] Load resource in main thread : %ls", NonNull(name));
    return new PackStream(mLock, Path::JoinPath(mName, NormalName(name)), &mFile, _dword(entry->offset), entry->length,
                          entry->checksum, false);
}

bool ChunkArchive::GetResourceInfo(const char16_t* name, _dword& length, Md5Digest& checksum) {
    ArchiveLock hold(mLock);
    const ResourceListEntry* entry = mEntries.Find(NormalName(name));
    if (entry == nullptr)
        return false;
    length = _dword(entry->length);
    checksum = entry->checksum;
    return true;
}

bool ChunkArchive::HasResource(const char16_t* name) {
    ArchiveLock hold(mLock);
    return mEntries.Find(NormalName(name)) != nullptr;
}

int ChunkArchive::Enumerate(EnumerateCallback callback, void* arg1, void* arg2) {
    ArchiveLock hold(mLock);
    int count = 0;
    for (_dword i = 0; i < mEntries.Count(); i++) {
        if (callback != nullptr && !callback(mEntries.Entry(i).name, arg1, arg2))
            return -1;
        count++;
    }
    return count;
}

} // namespace Volux
