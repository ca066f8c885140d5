#include "Storage/DiskArchive.h"

#include "Common/Compression.h"
#include "Common/Log.h"
#include "Common/StringFormatter.h"
#include "Storage/ResourceManager.h"

namespace Volux {

namespace {

// The deleted list is names, one a line; a list larger than this is not the system's.
constexpr _dword _MAX_DELETED_LIST = 16u << 20;
// Pieces the deleted list is written in.
constexpr int _DELETED_PIECE = 102400;

struct WalkState {
    EnumerateCallback callback;
    void* arg1;
    void* arg2;
    int count;
    bool stopped;
    const DiskArchive* skipDeleted;
};

void WalkOne(const char16_t* relative, void* context, void*) {
    WalkState& state = *static_cast<WalkState*>(context);
    if (state.stopped)
        return;
    if (state.skipDeleted != nullptr && state.skipDeleted->IsDeleted(relative))
        return;
    if (state.callback != nullptr && !state.callback(relative, state.arg1, state.arg2)) {
        state.stopped = true;
        return;
    }
    state.count++;
}

WString Joined(const WString& folder, const char16_t* name) {
    if (folder.IsEmpty())
        return WString(name);
    return Format(u"%ls\\%ls", folder.Text(), name);
}

} // namespace

DiskArchive::DiskArchive(CriticalSection* lock, const char16_t* name, const char16_t* root,
                         const char16_t* readOnlySource)
    : DataArchive(lock, name, readOnlySource), mRoot(NonNull(root)), mReadOnly(NonNull(readOnlySource)),
      mDeleted(397) {
    Text::ReplaceChar(mRoot.text, u'/', u'\\');
    mRoot.TrimRight(u"\\");
}

bool DiskArchive::Create() {
    ArchiveLock hold(mLock);
    return mRoot.IsEmpty() || FileSystem::IsDirectory(mRoot) || FileSystem::CreateDirectories(mRoot);
}

bool DiskArchive::Open(const ByteBuffer* manifestBuffer) {
    ArchiveLock hold(mLock);
    mDirty = false;
    if (!mRoot.IsEmpty() && !FileSystem::IsDirectory(mRoot))
        return false;
    if (!mReadOnly.IsEmpty()) {
        if (ReadOnlyIsList()) {
            WString listPath = Format(u"%ls.asset", mReadOnly.Text() + 1);
            ByteBuffer list;
            if (!FileSystem::ReadFile(listPath, list) || !UnpackBuffer(list) || !mReadOnlyList.Load(list.data, list.size))
                return false;
            PrintLine(u"[RM] Load R/O resource list : %ls, %d", listPath.Text(), int(mReadOnlyList.Count()));
        } else if (!FileSystem::IsDirectory(mReadOnly)) {
            return false;
        }
        ByteBuffer deleted;
        WString deletedPath = Format(u"%ls/volux3d.deleted", mRoot.Text());
        File file;
        if (file.Open(deletedPath, File::_READ) && file.Size() <= _MAX_DELETED_LIST && file.ReadAll(deleted)) {
            WString line;
            for (_dword i = 0; i <= deleted.size; i++) {
                char c = i < deleted.size ? char(deleted.data[i]) : '\n';
                if (c == '\n' || c == '\r') {
                    if (!line.IsEmpty())
                        mDeleted.Insert(NormalName(line).ToLower(), true);
                    line = u"";
                } else if (c != 0) {
                    line.AppendChar(char16_t(_byte(c)));
                }
            }
        }
    }
    if (manifestBuffer != nullptr && manifestBuffer->size > 0) {
        ByteBuffer copy;
        if (!copy.Attach(manifestBuffer->data, manifestBuffer->size, true) || !UnpackBuffer(copy))
            return false;
        mManifest.Load(copy.data, copy.size);
        mVersion = mManifest.Version();
    }
    return true;
}

WString DiskArchive::MapName(const char16_t* name, const ResourceListEntry** entry) const {
    if (entry != nullptr)
        *entry = nullptr;
    if (NonNull(name)[0] == u'<') {
        const ResourceListEntry* found = mManifest.Find(name);
        if (found != nullptr) {
            if (entry != nullptr)
                *entry = found;
            return NormalName(found->name);
        }
    }
    return NormalName(name);
}

WString DiskArchive::UnderRoot(const char16_t* name) const { return Joined(mRoot, name); }
WString DiskArchive::UnderReadOnly(const char16_t* name) const { return Joined(mReadOnly, name); }

bool DiskArchive::IsDeleted(const char16_t* name) const {
    WString lower = NormalName(name);
    lower.ToLower();
    return mDeleted.Find(lower) != nullptr;
}

IDataStream* DiskArchive::OpenStream(const char16_t* name) {
    ArchiveLock hold(mLock);
    WString mapped = MapName(name);
    if (mapped.IsEmpty())
        return nullptr;
    File* file = new File();
    if (!file->Open(UnderRoot(mapped), File::_READ)) {
        bool fromReadOnly = !mReadOnly.IsEmpty() && !ReadOnlyIsList() && !IsDeleted(mapped) &&
                            file->Open(UnderReadOnly(mapped), File::_READ);
        if (!fromReadOnly) {
            delete file;
            return nullptr;
        }
    }
    return new DiskStream(mLock, Path::JoinPath(mName, mapped), file);
}

bool DiskArchive::WriteResource(const char16_t* name, const void* bytes, _dword length, const Md5Digest&) {
    ArchiveLock hold(mLock);
    WString mapped = MapName(name);
    if (mapped.IsEmpty())
        return false;
    return FileSystem::WriteFile(UnderRoot(mapped), bytes, length);
}

bool DiskArchive::SaveDeletedList() {
    File file;
    if (!file.Open(Format(u"%ls/volux3d.deleted", mRoot.Text()), File::_CREATE))
        return false;
    WString piece;
    bool ok = true;
    for (auto* node = mDeleted.First(); node != nullptr; node = Hash<WString, bool>::Next(node)) {
        if (!piece.IsEmpty())
            piece.AppendChar(u'\n');
        piece.Append(node->key);
        if (piece.Length() >= _DELETED_PIECE) {
            ok = file.WriteText(piece, 2) && ok;
            piece = u"";
        }
    }
    if (!piece.IsEmpty())
        ok = file.WriteText(piece, 2) && ok;
    return ok;
}

bool DiskArchive::DeleteResource(const char16_t* name) {
    ArchiveLock hold(mLock);
    WString mapped = MapName(name);
    if (mapped.IsEmpty())
        return false;
    WString rooted = UnderRoot(mapped);
    if (mReadOnly.IsEmpty() || FileSystem::IsFile(rooted))
        return FileSystem::DeleteFile(rooted);
    if (IsDeleted(mapped))
        return false;
    bool present = ReadOnlyIsList() ? mReadOnlyList.Find(mapped) != nullptr : FileSystem::IsFile(UnderReadOnly(mapped));
    if (!present)
        return false;
    WString lower = mapped;
    lower.ToLower();
    mDeleted.Insert(lower, true);
    SaveDeletedList();
    return true;
}

bool DiskArchive::HasResource(const char16_t* name) {
    ArchiveLock hold(mLock);
    WString mapped = MapName(name);
    if (mapped.IsEmpty())
        return false;
    if (FileSystem::IsFile(UnderRoot(mapped)))
        return true;
    if (mReadOnly.IsEmpty() || IsDeleted(mapped))
        return false;
    if (ReadOnlyIsList())
        return mReadOnlyList.Find(mapped) != nullptr;
    return FileSystem::IsFile(UnderReadOnly(mapped));
}

bool DiskArchive::GetResourceInfo(const char16_t* name, _dword& length, Md5Digest& checksum) {
    ArchiveLock hold(mLock);
    const ResourceListEntry* entry = nullptr;
    WString mapped = MapName(name, &entry);
    if (mapped.IsEmpty())
        return false;
    WString path = UnderRoot(mapped);
    if (!FileSystem::IsFile(path)) {
        if (mReadOnly.IsEmpty() || IsDeleted(mapped))
            return false;
        if (ReadOnlyIsList()) {
            const ResourceListEntry* listed = mReadOnlyList.Find(mapped);
            if (listed == nullptr)
                return false;
            if (!listed->checksum.IsZero()) {
                length = _dword(listed->length);
                checksum = listed->checksum;
                return true;
            }
            path = Joined(WString(mReadOnly.Text() + 1), mapped);
        } else {
            path = UnderReadOnly(mapped);
        }
    }
    ByteBuffer bytes;
    if (!FileSystem::ReadFile(path, bytes))
        return false;
    length = bytes.size;
    if (entry != nullptr && !entry->checksum.IsZero()) {
        checksum = entry->checksum;
        return true;
    }
    // The checksum of a resource is the digest of its packed form.
    if (!PackBuffer(bytes, true))
        return false;
    checksum = ComputeMd5(bytes.data, bytes.size);
    return true;
}

int DiskArchive::Enumerate(EnumerateCallback callback, void* arg1, void* arg2) {
    ArchiveLock hold(mLock);
    WalkState state{callback, arg1, arg2, 0, false, nullptr};
    if (!mRoot.IsEmpty())
        FileSystem::Walk(mRoot, true, &WalkOne, &state, nullptr);
    if (!mReadOnly.IsEmpty() && !state.stopped) {
        state.skipDeleted = this;
        if (ReadOnlyIsList()) {
            for (_dword i = 0; i < mReadOnlyList.Count() && !state.stopped; i++)
                WalkOne(mReadOnlyList.Entry(i).name, &state, nullptr);
        } else {
            FileSystem::Walk(mReadOnly, true, &WalkOne, &state, nullptr);
        }
    }
    return state.stopped ? -1 : state.count;
}

} // namespace Volux
