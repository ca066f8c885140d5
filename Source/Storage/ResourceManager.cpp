#include "Storage/ResourceManager.h"

#include <cstring>

#include "Common/Compression.h"
#include "Common/EngineContext.h"
#include "Common/Log.h"
#include "Common/StringFormatter.h"
#include "Storage/ChunkArchive.h"
#include "Storage/DiskArchive.h"
#include "Storage/HashArchive.h"
#include "Storage/MemArchive.h"

namespace Volux {

bool logMainThreadLoads = false;

namespace {

const char16_t _RULE[] = u"----------------------------------------------------------------------------";

bool CollectName(const char16_t* name, void* arg1, void*) {
    static_cast<Array<WString>*>(arg1)->Append(WString(name));
    return true;
}

bool HasFolderPart(const char16_t* name) { return Text::FindChar(name, u'\\') >= 0; }

} // namespace

ResourceManager::ResourceManager() {
    EngineContext& context = EngineContext::Get();
    if (context.resourceManager == nullptr)
        context.resourceManager = this;
}

ResourceManager::~ResourceManager() {
    int leaks = DataStream::LiveCount();
    if (leaks != 0) {
        PrintBoth(u"%ls", _RULE);
        PrintBoth(u"[RD] Caution! DataStream leaks : %d", leaks);
        PrintBoth(u"%ls", _RULE);
    } else {
        PrintLine(u"[RD] Congratulations! No data stream leaks!");
    }
    UnmountAll();
    EngineContext& context = EngineContext::Get();
    if (context.resourceManager == this)
        context.resourceManager = nullptr;
}

IResourceManager* GetResourceManager() {
    EngineContext& context = EngineContext::Get();
    if (context.resourceManager == nullptr) {
        new ResourceManager();
        PrintLine(u"[KL] ResourceManager Created");
    }
    return context.resourceManager;
}

bool MergeHashArchiveFile(IResourceManager& manager, const char16_t* from, const char16_t* to) {
    IDataArchive* pack = manager.OpenHashArchive(u"", from, false, 0, 0, 0);
    if (pack == nullptr)
        return false;
    IDataArchive* installed = manager.OpenHashArchive(u"", to, true, 0, 0, 0);
    bool ok = installed != nullptr;
    if (ok) {
        // Each copied resource may take a slot before its old version frees one.
        int count = pack->Enumerate(nullptr, nullptr, nullptr);
        ok = static_cast<HashArchive*>(installed)->ReserveSlots(_dword(count > 0 ? count : 0)) &&
             manager.CopyArchiveContents(pack, installed);
        manager.UnmountArchive(installed);
    }
    manager.UnmountArchive(pack);
    return ok;
}

// ---- mounting

IDataArchive* ResourceManager::Mount(IDataArchive* archive, bool opened) {
    if (!opened) {
        delete archive;
        return nullptr;
    }
    ScopedLock hold(mLock);
    mArchives.Append(archive);
    return archive;
}

IDataArchive* ResourceManager::CreateDiskArchive(const char16_t* name, const char16_t* root) {
    DiskArchive* archive = new DiskArchive(&mLock, name, root, nullptr);
    bool ok = archive->Create();
    if (ok)
        PrintLine(u"[RM] Create disk archive successful : %ls => %ls", NonNull(root), NonNull(name));
    else
        PrintBoth(u"[RM] Create disk archive failed : %ls => %ls", NonNull(root), NonNull(name));
    return Mount(archive, ok);
}

IDataArchive* ResourceManager::CreateHashArchive(const char16_t* name, const char16_t* writablePath,
                                                 const char16_t* baseFilePath, _dword itemCount) {
    HashArchive* archive = new HashArchive(&mLock, name);
    bool ok = archive->Open(baseFilePath, false, 0) && archive->Create(writablePath, itemCount);
    if (ok)
        PrintLine(u"[RM] Create hash archive successful : %ls, %ls, %ls", NonNull(writablePath), NonNull(baseFilePath),
                  NonNull(name));
    else
        PrintBoth(u"[RM] Create hash archive failed : %ls, %ls, %ls", NonNull(writablePath), NonNull(baseFilePath),
                  NonNull(name));
    return Mount(archive, ok);
}

IDataArchive* ResourceManager::CreateHashArchive(const char16_t* name, const char16_t* path, _dword itemCount) {
    HashArchive* archive = new HashArchive(&mLock, name);
    bool ok = archive->Create(path, itemCount);
    if (ok)
        PrintLine(u"[RM] Create hash archive successful : %ls => %ls", NonNull(path), NonNull(name));
    else
        PrintBoth(u"[RM] Create hash archive failed : %ls => %ls", NonNull(path), NonNull(name));
    return Mount(archive, ok);
}

IDataArchive* ResourceManager::CreateMemArchive(const char16_t* name, const char16_t* source) {
    MemArchive* archive = new MemArchive(&mLock, name, source);
    PrintLine(u"[RM] Create memory archive successful : %ls", NonNull(name));
    return Mount(archive, true);
}

IDataArchive* ResourceManager::OpenDiskArchive(const char16_t* name, const char16_t* root,
                                               const char16_t* readOnlySource, const ByteBuffer* manifestBuffer) {
    DiskArchive* archive = new DiskArchive(&mLock, name, root, readOnlySource);
    bool ok = archive->Open(manifestBuffer);
    if (ok)
        PrintLine(u"[RM] Open disk archive successful : %ls, %ls, %ls", NonNull(root), NonNull(readOnlySource),
                  NonNull(name));
    else
        PrintBoth(u"[RM] Open disk archive failed : %ls, %ls, %ls", NonNull(root), NonNull(readOnlySource),
                  NonNull(name));
    return Mount(archive, ok);
}

IDataArchive* ResourceManager::OpenHashArchive(const char16_t* name, const char16_t* writablePath,
                                               const char16_t* baseFilePath, _dword needCount) {
    HashArchive* archive = new HashArchive(&mLock, name);
    bool ok = archive->Open(baseFilePath, false, 0) && archive->Open(writablePath, true, needCount);
    if (ok)
        PrintLine(u"[RM] Open hash archive successful : %ls, %ls, %ls", NonNull(writablePath), NonNull(baseFilePath),
                  NonNull(name));
    else
        PrintBoth(u"[RM] Open hash archive failed : %ls, %ls, %ls", NonNull(writablePath), NonNull(baseFilePath),
                  NonNull(name));
    return Mount(archive, ok);
}

IDataArchive* ResourceManager::OpenHashArchive(const char16_t* name, const char16_t* path, bool writable,
                                               _dword needCount, _dword startOffset, _dword reserved) {
    HashArchive* archive = new HashArchive(&mLock, name);
    bool ok = archive->Open(path, writable, needCount, startOffset, reserved);
    if (ok)
        PrintLine(u"[RM] Open hash archive successful : %ls => %ls", NonNull(path), NonNull(name));
    else
        PrintBoth(u"[RM] Open hash archive failed : %ls => %ls", NonNull(path), NonNull(name));
    return Mount(archive, ok);
}

IDataArchive* ResourceManager::OpenChunkArchive(const char16_t* name, const char16_t* path, bool writable,
                                                _dword startOffset, _dword reserved) {
    ChunkArchive* archive = new ChunkArchive(&mLock, name);
    bool ok = archive->Open(path, writable, startOffset, reserved, mManifest);
    if (ok)
        PrintLine(u"[RM] Open chunk archive successful : %ls => %ls", NonNull(path), NonNull(name));
    else
        PrintBoth(u"[RM] Open chunk archive failed : %ls => %ls", NonNull(path), NonNull(name));
    return Mount(archive, ok);
}

IDataArchive* ResourceManager::OpenMemArchive(const char16_t* name, const char16_t* source, const void* bytes,
                                              _dword length) {
    MemArchive* archive = new MemArchive(&mLock, name, source);
    bool ok = archive->Open(bytes, length);
    if (ok)
        PrintLine(u"[RM] Open memory archive successful : %ls, %ls", NonNull(name), NonNull(source));
    else
        PrintBoth(u"[RM] Open memory archive failed : %ls, %ls", NonNull(name), NonNull(source));
    return Mount(archive, ok);
}

IDataArchive* ResourceManager::OpenZipArchive(const char16_t* name, const char16_t* source, const char16_t* path) {
    ZipArchive* archive = new ZipArchive(&mLock, name, source);
    return Mount(archive, archive->OpenFile(path));
}

IDataArchive* ResourceManager::OpenZipArchive(const char16_t* name, const char16_t* source, const void* bytes,
                                              _dword length) {
    ZipArchive* archive = new ZipArchive(&mLock, name, source);
    return Mount(archive, archive->Open(bytes, length));
}

IDataArchive* ResourceManager::GetArchive(_dword index) const {
    return index < mArchives.Count() ? mArchives[index] : nullptr;
}

IDataArchive* ResourceManager::FindArchive(const char16_t* name) const {
    if (NonNull(name)[0] == 0)
        return nullptr;
    for (IDataArchive* archive : mArchives)
        if (Text::Compare(archive->GetName(), name, false) == 0)
            return archive;
    return nullptr;
}

bool ResourceManager::UnmountArchive(IDataArchive*& archive) {
    ScopedLock hold(mLock);
    for (_dword i = 0; i < mArchives.Count(); i++) {
        if (mArchives[i] == archive) {
            mArchives.Remove(i);
            delete archive;
            archive = nullptr;
            return true;
        }
    }
    return false;
}

void ResourceManager::UnmountAll() {
    ScopedLock hold(mLock);
    for (IDataArchive* archive : mArchives)
        delete archive;
    mArchives.Clear();
}

// ---- streams

IDataStream* ResourceManager::CreateMemStream(const char16_t* name, const ByteBuffer& bytes, const Md5Digest& checksum) {
    MemStream* stream = new MemStream(&mLock, name, checksum);
    ByteBuffer copy;
    if (bytes.size > 0 && !copy.Attach(bytes.data, bytes.size, false)) {
        delete stream;
        return nullptr;
    }
    if (!stream->WriteAll(copy, false)) {
        delete stream;
        return nullptr;
    }
    return stream;
}

IDataStream* ResourceManager::NewMemStream(const char16_t* name, int length, const Md5Digest& checksum) {
    MemStream* stream = new MemStream(&mLock, name, checksum);
    if (!stream->Allocate(length)) {
        delete stream;
        return nullptr;
    }
    return stream;
}

IDataStream* ResourceManager::AddRef(IDataStream* stream) {
    if (stream != nullptr)
        static_cast<DataStream*>(stream)->IncreaseReference();
    return stream;
}

bool ResourceManager::Release(IDataStream*& stream) {
    if (stream == nullptr)
        return false;
    DataStream* object = static_cast<DataStream*>(stream);
    stream = nullptr;
    if (object->DecreaseReference() > 0)
        return false;
    delete object;
    return true;
}

// ---- lookup

bool ResourceManager::Apply(IDataArchive* archive, const char16_t* name, Request& request) {
    switch (request.operation) {
    case _OPEN:
        request.stream = archive->OpenStream(name);
        return request.stream != nullptr;
    case _WRITE:
    case _WRITE_LOOSE:
        // A write counts as done once an archive was asked, whatever it answered.
        archive->WriteResource(name, request.bytes, request.length, request.checksum);
        return true;
    case _DELETE:
        return archive->DeleteResource(name);
    case _EXISTS:
        return archive->HasResource(name);
    case _INFO:
        return archive->GetResourceInfo(name, request.infoLength, request.checksum);
    }
    return false;
}

bool ResourceManager::TryArchive(IDataArchive* archive, const char16_t* name, Request& request) {
    if (Apply(archive, name, request))
        return true;
    Operation op = request.operation;
    if ((op != _OPEN && op != _EXISTS && op != _INFO) || HasFolderPart(name))
        return false;
    WStringPtr mount = archive->GetName();
    for (_dword i = mSearchPaths.Count(); i-- > 0;) {
        WString joined = DataArchive::NormalName(Format(u"%ls\\%ls", mSearchPaths[i].path.Text(), name));
        const char16_t* tried = joined;
        if (!mount.IsEmpty()) {
            int length = mount.Length();
            bool inside = Text::Compare(WString(joined.Text(), length), mount, false) == 0 && joined[length] == u'\\';
            if (!inside)
                continue;
            tried = joined.Text() + length + 1;
        }
        if (Apply(archive, tried, request))
            return true;
    }
    return false;
}

bool ResourceManager::FindAndApply(const char16_t* name, Request& request) {
    ScopedLock hold(mLock);
    WString normal = DataArchive::NormalName(name);
    bool loose = request.operation == _WRITE_LOOSE;
    auto allowed = [loose](IDataArchive* archive) {
        return !loose || (archive->GetType() != _ARCHIVE_HASH && archive->GetType() != _ARCHIVE_CHUNK);
    };
    if (mArchives.Count() > 0 && !Path::IsAbsolutePath(normal)) {
        if (!loose) {
            WString extension = Path::FileExtension(normal);
            if (!extension.IsEmpty()) {
                for (IDataArchive* archive : mArchives)
                    if (Text::Compare(archive->GetName(), extension, false) == 0 && TryArchive(archive, normal, request))
                        return true;
                if (extension.Compare(u"info", false) == 0)
                    return false;
            }
        }
        for (_dword i = mArchives.Count(); i-- > 0;) {
            IDataArchive* archive = mArchives[i];
            if (archive->GetSource().IsEmpty() && !archive->GetName().IsEmpty() && allowed(archive) &&
                TryArchive(archive, normal, request))
                return true;
        }
        for (_dword i = mArchives.Count(); i-- > 0;) {
            IDataArchive* archive = mArchives[i];
            if (archive->GetSource().IsEmpty() && archive->GetName().IsEmpty() && allowed(archive) &&
                TryArchive(archive, normal, request))
                return true;
        }
        for (IDataArchive* archive : mArchives)
            if (archive->GetType() == _ARCHIVE_DISK)
                return false;
    }
    // Direct file access through a temporary disk archive without root.
    DiskArchive plain(&mLock, u"", u"", u"");
    return TryArchive(&plain, normal, request);
}

IDataStream* ResourceManager::OpenStream(const char16_t* name) {
    Request request{_OPEN, nullptr, 0, Md5Digest(), nullptr, 0};
    if (!FindAndApply(name, request))
        return nullptr;
    if (mOpenHook != nullptr)
        mOpenHook(name, request.stream);
    return request.stream;
}

bool ResourceManager::Write(const char16_t* name, const void* bytes, _dword length, const Md5Digest& checksum,
                            Operation operation) {
    Request request{operation, bytes, length, checksum, nullptr, 0};
    return FindAndApply(name, request);
}

bool ResourceManager::WriteResource(const char16_t* name, const ByteBuffer& bytes, const Md5Digest& checksum) {
    return Write(name, bytes.data, bytes.size, checksum, _WRITE);
}

bool ResourceManager::WriteResource(const char16_t* name, const void* bytes, _dword length, const Md5Digest& checksum) {
    return Write(name, bytes, length, checksum, _WRITE);
}

bool ResourceManager::WriteLooseResource(const char16_t* name, const ByteBuffer& bytes, const Md5Digest& checksum) {
    return Write(name, bytes.data, bytes.size, checksum, _WRITE_LOOSE);
}

bool ResourceManager::WriteLooseResource(const char16_t* name, const void* bytes, _dword length,
                                         const Md5Digest& checksum) {
    return Write(name, bytes, length, checksum, _WRITE_LOOSE);
}

bool ResourceManager::DeleteResource(const char16_t* name) {
    Request request{_DELETE, nullptr, 0, Md5Digest(), nullptr, 0};
    return FindAndApply(name, request);
}

bool ResourceManager::GetResourceInfo(const char16_t* name, _dword& length, Md5Digest& checksum) {
    Request request{_INFO, nullptr, 0, Md5Digest(), nullptr, 0};
    if (!FindAndApply(name, request))
        return false;
    length = request.infoLength;
    checksum = request.checksum;
    return true;
}

bool ResourceManager::HasResource(const char16_t* name) {
    Request request{_EXISTS, nullptr, 0, Md5Digest(), nullptr, 0};
    return FindAndApply(name, request);
}

// ---- loading

void ResourceManager::ResetFailureTotal() {
    if (mLoadStack.Length() == 0)
        mFailureTotal = 0;
}

void ResourceManager::LogLoadFailure(const char16_t* name, bool countFailure) {
    PrintBoth(u"[RM] Load resource failed : %ls", NonNull(name));
    for (_dword i = 0; i < mLoadStack.Length(); i++) {
        if (i == 0)
            PrintBoth(u"[RM] Load Stack : [0] %ls", mLoadStack[0].Text());
        else
            PrintBoth(u"[RM] +----------- [%d] %ls", int(i), mLoadStack[i].Text());
    }
    if (countFailure)
        mFailureTotal += int(mLoadStack.Length());
}

bool ResourceManager::LoadResource(const char16_t* name, ByteBuffer& buffer, bool decompress) {
    IDataStream* stream = OpenStream(name);
    if (stream == nullptr) {
        if (logLoadErrors)
            LogLoadFailure(name, true);
        return false;
    }
    buffer.name = stream->GetName();
    bool ok = stream->ReadAll(buffer, decompress);
    if (!ok)
        PrintBoth(u"[RM] Mapping resource failed : %ls", NonNull(name));
    Release(stream);
    return ok;
}

bool ResourceManager::LoadResourceWithInfo(const char16_t* name, ByteBuffer& buffer, ByteBuffer& extra,
                                           bool decompress) {
    IDataStream* stream = OpenStream(name);
    if (stream != nullptr) {
        buffer.name = stream->GetName();
        bool ok = stream->ReadAll(buffer, decompress);
        if (!ok)
            PrintBoth(u"[RM] Mapping resource failed : %ls", NonNull(name));
        Release(stream);
        return ok;
    }
    bool saved = logLoadErrors;
    logLoadErrors = false;
    bool found = LoadResource(Format(u"%ls.info", NonNull(name)), extra, true);
    logLoadErrors = saved;
    if (found) {
        extra.name = Path::FileTitle(extra.name);
        return true;
    }
    PrintBoth(u"[RM] Load resource failed : %ls", NonNull(name));
    for (_dword i = 0; i < mLoadStack.Length(); i++) {
        if (i == 0)
            PrintBoth(u"[RM] Load Stack : [0] %ls", mLoadStack[0].Text());
        else
            PrintBoth(u"[RM] +----------- [%d] %ls", int(i), mLoadStack[i].Text());
    }
    mFailureTotal += int(mLoadStack.Length());
    return false;
}

// ---- copy, move, compare

bool ResourceManager::CopyResource(const char16_t* from, const char16_t* to) {
    if (mArchives.Count() == 0)
        return FileSystem::CopyFile(from, to);
    IDataStream* stream = OpenStream(from);
    if (stream == nullptr)
        return false;
    ByteBuffer bytes;
    bool ok = stream->ReadAll(bytes, false) && WriteResource(to, bytes, stream->GetChecksum());
    Release(stream);
    return ok;
}

// The copy is written before the original is deleted, so a failure or a kill in between
// leaves the resource in at least one place.
bool ResourceManager::MoveResource(const char16_t* from, const char16_t* to) {
    if (mArchives.Count() == 0)
        return FileSystem::MoveFile(from, to);
    IDataStream* stream = OpenStream(from);
    if (stream == nullptr)
        return false;
    ByteBuffer bytes;
    bool ok = stream->ReadAll(bytes, false);
    Md5Digest checksum = stream->GetChecksum();
    Release(stream);
    if (!ok || !WriteResource(to, bytes, checksum))
        return false;
    DeleteResource(from);
    return true;
}

bool ResourceManager::CompareResources(const char16_t* a, const char16_t* b) {
    if (mArchives.Count() == 0)
        return FileSystem::SameContent(a, b);
    ByteBuffer first, second;
    bool savedLog = logLoadErrors;
    bool ok = LoadResource(a, first, true) && LoadResource(b, second, true);
    logLoadErrors = savedLog;
    return ok && first.size == second.size && (first.size == 0 || memcmp(first.data, second.data, first.size) == 0);
}

namespace {

// Copies or moves every resource of one archive into another. Folder to folder goes file by
// file; otherwise each resource is read (a chunk archive's unpacked) and written, and a move
// deletes it from the source only once the target holds it.
bool TransferContents(ResourceManager& manager, IDataArchive* from, IDataArchive* to, bool move) {
    Array<WString> names;
    if (from->Enumerate(&CollectName, &names, nullptr) < 0)
        return false;
    bool ok = true;
    for (const WString& name : names) {
        if (from->GetType() == _ARCHIVE_DISK && to->GetType() == _ARCHIVE_DISK) {
            const DiskArchive* source = static_cast<DiskArchive*>(from);
            const DiskArchive* target = static_cast<DiskArchive*>(to);
            bool (*fileTransfer)(const char16_t*, const char16_t*) = move ? &FileSystem::MoveFile : &FileSystem::CopyFile;
            ok = fileTransfer(Format(u"%ls\\%ls", source->GetRoot().Text(), name.Text()),
                              Format(u"%ls\\%ls", target->GetRoot().Text(), name.Text())) && ok;
            continue;
        }
        IDataStream* stream = from->OpenStream(name);
        if (stream == nullptr) {
            ok = false;
            continue;
        }
        ByteBuffer bytes;
        bool read = stream->GetBuffer() != nullptr ? bytes.Attach(stream->GetBuffer(), _dword(stream->GetLength()), true)
                                                   : stream->ReadAll(bytes, false);
        if (read && from->GetType() == _ARCHIVE_CHUNK)
            read = UnpackBuffer(bytes);
        const Md5Digest checksum = stream->GetChecksum();
        manager.Release(stream);
        const bool written = read && to->WriteResource(name, bytes.data, bytes.size, checksum);
        if (written && move)
            from->DeleteResource(name);
        ok = written && ok;
    }
    return ok;
}

} // namespace

bool ResourceManager::CopyArchiveContents(IDataArchive* from, IDataArchive* to) {
    if (from == nullptr || to == nullptr)
        return false;
    if (to->GetType() == _ARCHIVE_CHUNK)
        return true;
    return TransferContents(*this, from, to, false);
}

bool ResourceManager::MoveArchiveContents(IDataArchive* from, IDataArchive* to) {
    if (from == nullptr || to == nullptr)
        return false;
    return TransferContents(*this, from, to, true);
}

// ---- search paths and enumeration

WStringPtr ResourceManager::GetSearchPath(_dword index) const {
    return index < mSearchPaths.Count() ? WStringPtr(mSearchPaths[index].path) : WStringPtr();
}

void ResourceManager::PushSearchPath(const char16_t* path) {
    ScopedLock hold(mLock);
    for (SearchPath& entry : mSearchPaths) {
        if (entry.path.Compare(path, false) == 0) {
            entry.references++;
            return;
        }
    }
    SearchPath entry;
    entry.path = NonNull(path);
    entry.references = 1;
    mSearchPaths.Append(entry);
}

void ResourceManager::PopSearchPath(const char16_t* path) {
    ScopedLock hold(mLock);
    for (_dword i = 0; i < mSearchPaths.Count(); i++) {
        if (mSearchPaths[i].path.Compare(path, false) == 0) {
            if (--mSearchPaths[i].references <= 0)
                mSearchPaths.Remove(i);
            if (mSearchPaths.Count() == 0)
                mScratch[2].Reset();
            return;
        }
    }
}

int ResourceManager::EnumerateAll(EnumerateCallback callback, void* arg1, void* arg2) {
    ScopedLock hold(mLock);
    int total = 0;
    for (IDataArchive* archive : mArchives) {
        int count = archive->Enumerate(callback, arg1, arg2);
        if (count > 0)
            total += count;
    }
    return total;
}

} // namespace Volux
