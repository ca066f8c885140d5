// The resource manager: the engine's one entry point to resources. It mounts archives of
// every kind in order, resolves a name to the archive that holds it, opens, loads, writes,
// deletes, copies, moves and compares resources across archives, falls back to plain files
// when no archive is mounted, owns the one lock all its streams and archives share, and
// counts live streams so it can report leaks when it goes.
#pragma once

#include "Common/Array.h"
#include "Common/ByteBuffer.h"
#include "Common/Md5.h"
#include "Common/Stack.h"
#include "Common/WString.h"
#include "Platform/Thread.h"
#include "Storage/DataArchive.h"
#include "Storage/DataStream.h"
#include "Storage/ResourceList.h"

namespace Volux {

// The diagnostic switch: archives log "[RM] Load resource in main thread : %ls" when a
// resource is opened on the main thread. Off by default.
extern bool logMainThreadLoads;

// Called whenever OpenStream finds a resource.
using OpenHook = void (*)(const char16_t* name, IDataStream* stream);

class IResourceManager {
public:
    virtual ~IResourceManager() = default;                                                     // 0
    virtual void SetOpenHook(OpenHook hook) = 0;                                               // 1
    virtual IDataArchive* CreateDiskArchive(const char16_t* name, const char16_t* root) = 0;   // 2
    virtual IDataArchive* CreateHashArchive(const char16_t* name, const char16_t* writablePath,
                                            const char16_t* baseFilePath, _dword itemCount) = 0;  // 3
    virtual IDataArchive* CreateHashArchive(const char16_t* name, const char16_t* path, _dword itemCount) = 0;  // 4
    virtual IDataArchive* CreateMemArchive(const char16_t* name, const char16_t* source) = 0;  // 5
    virtual IDataArchive* Reserved() = 0;                                                      // 6
    virtual IDataArchive* OpenDiskArchive(const char16_t* name, const char16_t* root, const char16_t* readOnlySource,
                                          const ByteBuffer* manifestBuffer) = 0;               // 7
    virtual IDataArchive* OpenHashArchive(const char16_t* name, const char16_t* writablePath,
                                          const char16_t* baseFilePath, _dword needCount) = 0;  // 8
    virtual IDataArchive* OpenHashArchive(const char16_t* name, const char16_t* path, bool writable,
                                          _dword needCount, _dword startOffset, _dword reserved) = 0;  // 9
    virtual IDataArchive* OpenChunkArchive(const char16_t* name, const char16_t* path, bool writable,
                                           _dword startOffset, _dword reserved) = 0;           // 10
    virtual IDataArchive* OpenMemArchive(const char16_t* name, const char16_t* source, const void* bytes,
                                         _dword length) = 0;                                   // 11
    virtual IDataArchive* OpenZipArchive(const char16_t* name, const char16_t* source, const char16_t* path) = 0;  // 12
    virtual IDataArchive* OpenZipArchive(const char16_t* name, const char16_t* source, const void* bytes,
                                         _dword length) = 0;                                   // 13
    virtual _dword GetArchiveCount() const = 0;                                                // 14
    virtual IDataArchive* GetArchive(_dword index) const = 0;                                  // 15
    virtual IDataArchive* FindArchive(const char16_t* name) const = 0;                         // 16
    virtual bool CopyArchiveContents(IDataArchive* from, IDataArchive* to) = 0;                // 17
    virtual bool MoveArchiveContents(IDataArchive* from, IDataArchive* to) = 0;                // 18
    virtual bool UnmountArchive(IDataArchive*& archive) = 0;                                   // 19
    virtual void UnmountAll() = 0;                                                             // 20
    virtual IDataStream* CreateMemStream(const char16_t* name, const ByteBuffer& bytes, const Md5Digest& checksum) = 0;  // 21
    virtual IDataStream* NewMemStream(const char16_t* name, int length, const Md5Digest& checksum) = 0;  // 22
    virtual IDataStream* OpenStream(const char16_t* name) = 0;                                 // 23
    virtual IDataStream* AddRef(IDataStream* stream) = 0;                                      // 24
    virtual bool Release(IDataStream*& stream) = 0;                                            // 25
    virtual bool WriteResource(const char16_t* name, const ByteBuffer& bytes, const Md5Digest& checksum) = 0;  // 26
    virtual bool WriteResource(const char16_t* name, const void* bytes, _dword length, const Md5Digest& checksum) = 0;  // 27
    virtual bool WriteLooseResource(const char16_t* name, const ByteBuffer& bytes, const Md5Digest& checksum) = 0;  // 28
    virtual bool WriteLooseResource(const char16_t* name, const void* bytes, _dword length,
                                    const Md5Digest& checksum) = 0;                            // 29
    virtual bool DeleteResource(const char16_t* name) = 0;                                     // 30
    virtual bool GetResourceInfo(const char16_t* name, _dword& length, Md5Digest& checksum) = 0;  // 31
    virtual bool HasResource(const char16_t* name) = 0;                                        // 32
    virtual void ResetFailureTotal() = 0;                                                      // 33
    virtual int GetFailureTotal() const = 0;                                                   // 34
    virtual void SetKeyText(const char16_t* text) = 0;                                         // 35
    virtual WStringPtr GetKeyText() const = 0;                                                 // 36
    virtual void SetKeepPacked(bool keep) = 0;                                                 // 37
    virtual bool GetKeepPacked() const = 0;                                                    // 38
    virtual bool LoadResourceWithInfo(const char16_t* name, ByteBuffer& buffer, ByteBuffer& extra,
                                      bool decompress) = 0;                                    // 39
    virtual bool LoadResource(const char16_t* name, ByteBuffer& buffer, bool decompress) = 0;  // 40
    virtual bool CopyResource(const char16_t* from, const char16_t* to) = 0;                   // 41
    virtual bool MoveResource(const char16_t* from, const char16_t* to) = 0;                   // 42
    virtual bool CompareResources(const char16_t* a, const char16_t* b) = 0;                   // 43
    virtual _dword GetSearchPathCount() const = 0;                                             // 44
    virtual WStringPtr GetSearchPath(_dword index) const = 0;                                  // 45
    virtual void PushSearchPath(const char16_t* path) = 0;                                     // 46
    virtual void PopSearchPath(const char16_t* path) = 0;                                      // 47
    virtual void ClearSearchPaths() = 0;                                                       // 48
    virtual int EnumerateAll(EnumerateCallback callback, void* arg1, void* arg2) = 0;          // 49
};

class ResourceManager : public IResourceManager {
public:
    // Stores itself in the engine context; the destructor reports stream leaks and clears it.
    ResourceManager();
    ~ResourceManager() override;
    ResourceManager(const ResourceManager&) = delete;
    ResourceManager& operator=(const ResourceManager&) = delete;

    void SetOpenHook(OpenHook hook) override { mOpenHook = hook; }
    IDataArchive* CreateDiskArchive(const char16_t* name, const char16_t* root) override;
    IDataArchive* CreateHashArchive(const char16_t* name, const char16_t* writablePath, const char16_t* baseFilePath,
                                    _dword itemCount) override;
    IDataArchive* CreateHashArchive(const char16_t* name, const char16_t* path, _dword itemCount) override;
    IDataArchive* CreateMemArchive(const char16_t* name, const char16_t* source) override;
    IDataArchive* Reserved() override { return nullptr; }
    IDataArchive* OpenDiskArchive(const char16_t* name, const char16_t* root, const char16_t* readOnlySource,
                                  const ByteBuffer* manifestBuffer) override;
    IDataArchive* OpenHashArchive(const char16_t* name, const char16_t* writablePath, const char16_t* baseFilePath,
                                  _dword needCount) override;
    IDataArchive* OpenHashArchive(const char16_t* name, const char16_t* path, bool writable, _dword needCount,
                                  _dword startOffset, _dword reserved) override;
    IDataArchive* OpenChunkArchive(const char16_t* name, const char16_t* path, bool writable, _dword startOffset,
                                   _dword reserved) override;
    IDataArchive* OpenMemArchive(const char16_t* name, const char16_t* source, const void* bytes,
                                 _dword length) override;
    IDataArchive* OpenZipArchive(const char16_t* name, const char16_t* source, const char16_t* path) override;
    IDataArchive* OpenZipArchive(const char16_t* name, const char16_t* source, const void* bytes,
                                 _dword length) override;
    _dword GetArchiveCount() const override { return mArchives.Count(); }
    IDataArchive* GetArchive(_dword index) const override;
    IDataArchive* FindArchive(const char16_t* name) const override;
    bool CopyArchiveContents(IDataArchive* from, IDataArchive* to) override;
    bool MoveArchiveContents(IDataArchive* from, IDataArchive* to) override;
    bool UnmountArchive(IDataArchive*& archive) override;
    void UnmountAll() override;
    IDataStream* CreateMemStream(const char16_t* name, const ByteBuffer& bytes, const Md5Digest& checksum) override;
    IDataStream* NewMemStream(const char16_t* name, int length, const Md5Digest& checksum) override;
    IDataStream* OpenStream(const char16_t* name) override;
    IDataStream* AddRef(IDataStream* stream) override;
    bool Release(IDataStream*& stream) override;
    bool WriteResource(const char16_t* name, const ByteBuffer& bytes, const Md5Digest& checksum) override;
    bool WriteResource(const char16_t* name, const void* bytes, _dword length, const Md5Digest& checksum) override;
    bool WriteLooseResource(const char16_t* name, const ByteBuffer& bytes, const Md5Digest& checksum) override;
    bool WriteLooseResource(const char16_t* name, const void* bytes, _dword length,
                            const Md5Digest& checksum) override;
    bool DeleteResource(const char16_t* name) override;
    bool GetResourceInfo(const char16_t* name, _dword& length, Md5Digest& checksum) override;
    bool HasResource(const char16_t* name) override;
    void ResetFailureTotal() override;
    int GetFailureTotal() const override { return mFailureTotal; }
    void SetKeyText(const char16_t* text) override { mKeyText = NonNull(text); }
    WStringPtr GetKeyText() const override { return mKeyText; }
    void SetKeepPacked(bool keep) override { mKeepPacked = keep; }
    bool GetKeepPacked() const override { return mKeepPacked; }
    bool LoadResourceWithInfo(const char16_t* name, ByteBuffer& buffer, ByteBuffer& extra, bool decompress) override;
    bool LoadResource(const char16_t* name, ByteBuffer& buffer, bool decompress) override;
    bool CopyResource(const char16_t* from, const char16_t* to) override;
    bool MoveResource(const char16_t* from, const char16_t* to) override;
    bool CompareResources(const char16_t* a, const char16_t* b) override;
    _dword GetSearchPathCount() const override { return mSearchPaths.Count(); }
    WStringPtr GetSearchPath(_dword index) const override;
    void PushSearchPath(const char16_t* path) override;
    void PopSearchPath(const char16_t* path) override;
    void ClearSearchPaths() override { mSearchPaths.Clear(); }
    int EnumerateAll(EnumerateCallback callback, void* arg1, void* arg2) override;

    // The manifest that chunk archives take their entries from; not owned. Null: none.
    void SetManifest(const ResourceList* manifest) { mManifest = manifest; }
    const ResourceList* GetManifest() const { return mManifest; }
    // Names of the loads in progress, outermost first; shown when a load fails.
    void PushLoad(const char16_t* name) { mLoadStack.Push(WString(NonNull(name))); }
    void PopLoad() { mLoadStack.Pop(); }
    // Error logging of failed loads (switched off inside LoadResourceWithInfo's info attempt).
    bool logLoadErrors = true;
    CriticalSection& Lock() { return mLock; }

private:
    enum Operation { _OPEN = 1, _WRITE = 2, _WRITE_LOOSE = 3, _DELETE = 4, _EXISTS = 5, _INFO = 6 };
    struct Request {
        Operation operation;
        const void* bytes;
        _dword length;
        Md5Digest checksum;
        IDataStream* stream;  // result of _OPEN
        _dword infoLength;    // result of _INFO
    };
    struct SearchPath {
        WString path;
        int references = 0;
    };

    IDataArchive* Mount(IDataArchive* archive, bool opened);
    bool FindAndApply(const char16_t* name, Request& request);
    bool TryArchive(IDataArchive* archive, const char16_t* name, Request& request);
    bool Apply(IDataArchive* archive, const char16_t* name, Request& request);
    bool Write(const char16_t* name, const void* bytes, _dword length, const Md5Digest& checksum, Operation operation);
    void LogLoadFailure(const char16_t* name, bool countFailure);

    CriticalSection mLock;
    WString mKeyText;
    ScratchPool mScratch[3];
    OpenHook mOpenHook = nullptr;
    int mFailureTotal = 0;
    bool mKeepPacked = true;
    Array<IDataArchive*> mArchives;
    Array<SearchPath> mSearchPaths;
    Stack<WString> mLoadStack;
    const ResourceList* mManifest = nullptr;
};

// Merges every resource of the hash archive file `from` into the hash archive file `to`
// (made large enough first), mounting both for the time of the merge. False when either
// cannot be opened or a resource could not be copied.
bool MergeHashArchiveFile(IResourceManager& manager, const char16_t* from, const char16_t* to);

// The engine's resource manager, made on first use ("[KL] ResourceManager Created").
IResourceManager* GetResourceManager();

} // namespace Volux
