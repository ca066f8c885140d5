// The one interface every archive kind implements, so the resource manager can search them
// alike, and the base classes that hold what the kinds share.
#pragma once

#include "Common/Base.h"
#include "Common/ByteBuffer.h"
#include "Common/Hash.h"
#include "Common/Md5.h"
#include "Common/WString.h"
#include "Platform/File.h"
#include "Platform/Thread.h"
#include "Storage/DataStream.h"

namespace Volux {

// Kind codes of GetType.
enum ArchiveType {
    _ARCHIVE_DISK = 0,
    _ARCHIVE_MEMORY = 1,
    _ARCHIVE_HASH = 2,
    _ARCHIVE_CHUNK = 3,
    _ARCHIVE_ZIP = 5,
};

// Called with each resource name; false stops the walk.
using EnumerateCallback = bool (*)(const char16_t* name, void* arg1, void* arg2);

class IDataArchive {
public:
    virtual int GetType() const = 0;                                                          // 0
    virtual WStringPtr GetName() const = 0;                                                   // 1
    virtual WStringPtr GetSource() const = 0;                                                 // 2
    virtual _dword GetVersion() const = 0;                                                    // 3
    virtual void SetVersion(_dword version) = 0;                                              // 4
    virtual bool IsDirty() const = 0;                                                         // 5
    virtual IDataStream* OpenStream(const char16_t* name) = 0;                                // 6
    virtual bool WriteResource(const char16_t* name, const void* bytes, _dword length,
                               const Md5Digest& checksum) = 0;                                // 7
    virtual bool DeleteResource(const char16_t* name) = 0;                                    // 8
    virtual bool GetResourceInfo(const char16_t* name, _dword& length, Md5Digest& checksum) = 0;  // 9
    virtual bool HasResource(const char16_t* name) = 0;                                       // 10
    // The number of resources walked; -1 when the callback stopped the walk; a null callback
    // only counts.
    virtual int Enumerate(EnumerateCallback callback, void* arg1, void* arg2) = 0;            // 11
    virtual bool Export(ByteBuffer& buffer) = 0;                                              // 12
    virtual ~IDataArchive() = default;                                                        // 13
};

class DataArchive : public IDataArchive {
public:
    // The mount name loses trailing "\", "/" and spaces, "/" becomes "\" and "." is empty.
    DataArchive(CriticalSection* lock, const char16_t* name, const char16_t* source);
    DataArchive(const DataArchive&) = delete;
    DataArchive& operator=(const DataArchive&) = delete;

    WStringPtr GetName() const override { return mName; }
    WStringPtr GetSource() const override { return mSource; }
    _dword GetVersion() const override { return mVersion; }
    void SetVersion(_dword version) override { mVersion = version; }
    bool IsDirty() const override { return mDirty; }
    // Loads every enumerated resource through the resource manager (unpacked) and appends
    // its record; the whole is packed with LZMA unless empty.
    bool Export(ByteBuffer& buffer) override;

    // The name as every operation sees it: normalised as a path.
    static WString NormalName(const char16_t* name);

protected:
    CriticalSection* mLock;
    WString mName;
    WString mSource;
    _dword mVersion = 0;
    bool mDirty = false;
};

// Hash and chunk archives: one or two container files.
class PackArchive : public DataArchive {
public:
    using DataArchive::DataArchive;

protected:
    // Read-write when writable (falling back to read-only), else read-only; then moves to
    // the start offset when it is not 0.
    static bool OpenPackFile(File& file, const char16_t* path, bool writable, _dword startOffset);

    File mFile;          // the writable file (or the only one)
    File mBaseFile;      // the read-only base file of a stacked pair
    bool mWritable = false;
    _dword mStartOffset = 0;
    _dword mReserved = 0;
};

// Archive-side lock holder; a null lock is no lock.
using ArchiveLock = StreamLock;

} // namespace Volux
