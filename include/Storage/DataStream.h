// Data streams: the handle through which the bytes of one resource are read and written,
// whichever archive holds it. Memory streams own a buffer, disk streams an open file, pack
// streams a byte range of an archive file they borrow. Streams are reference counted through
// the resource manager (AddRef/Release) and every live one is counted, so the manager can
// report leaks when it goes.
#pragma once

#include "Common/Base.h"
#include "Common/ByteBuffer.h"
#include "Common/Md5.h"
#include "Common/WString.h"
#include "Platform/File.h"
#include "Platform/Thread.h"

namespace Volux {

class ReferencedObject {
public:
    int ReferenceCount() const { return mReferenceCount; }
    int IncreaseReference() { return ++mReferenceCount; }
    // Never below zero.
    int DecreaseReference() { return mReferenceCount > 0 ? --mReferenceCount : 0; }

protected:
    int mReferenceCount = 1;
};

class IDataStream {
public:
    virtual void SetName(const char16_t* name) = 0;                                 // 0
    virtual WStringPtr GetName() const = 0;                                         // 1
    virtual const _byte* GetBuffer() const = 0;                                     // 2
    virtual int GetLength() const = 0;                                              // 3
    virtual const Md5Digest& GetChecksum() const = 0;                               // 4
    virtual bool Read(void* buffer, _dword size, _dword offset) = 0;                // 5
    virtual bool Write(const void* buffer, _dword size, _dword offset) = 0;         // 6
    virtual bool IsCompressed() = 0;                                                // 7
    virtual bool ReadAll(ByteBuffer& buffer, bool decompress) = 0;                  // 8
    virtual bool WriteAll(ByteBuffer& buffer, bool compress) = 0;                   // 9
    virtual ~IDataStream() = default;                                               // 10
};

class DataStream : public IDataStream, public ReferencedObject {
public:
    DataStream(CriticalSection* lock, const char16_t* name, int length, const Md5Digest& checksum);
    ~DataStream() override;
    DataStream(const DataStream&) = delete;
    DataStream& operator=(const DataStream&) = delete;

    void SetName(const char16_t* name) override { mName = NonNull(name); }
    WStringPtr GetName() const override { return mName; }
    const _byte* GetBuffer() const override { return nullptr; }
    int GetLength() const override { return mLength; }
    const Md5Digest& GetChecksum() const override { return mChecksum; }
    bool IsCompressed() override;
    bool ReadAll(ByteBuffer& buffer, bool decompress) override;
    // Disk and pack streams: optional zlib packing, then one Write of the whole buffer.
    bool WriteAll(ByteBuffer& buffer, bool compress) override;

    // Streams alive in this process; changed at construction and destruction only.
    static int LiveCount();

protected:
    // True when [offset, offset + size) lies inside the resource, without overflow.
    bool InRange(_dword size, _dword offset) const {
        return mLength >= 0 && _qword(offset) + size <= _qword(_dword(mLength));
    }

    CriticalSection* mLock;  // shared with the manager and its archives; null = unlocked
    WString mName;
    int mLength;
    Md5Digest mChecksum;
};

// Holds a stream's shared lock for one scope; a null lock is no lock.
class StreamLock {
public:
    explicit StreamLock(CriticalSection* lock) : mLock(lock) {
        if (mLock != nullptr)
            mLock->Enter();
    }
    ~StreamLock() {
        if (mLock != nullptr)
            mLock->Leave();
    }
    StreamLock(const StreamLock&) = delete;
    StreamLock& operator=(const StreamLock&) = delete;

private:
    CriticalSection* mLock;
};

class MemStream : public DataStream {
public:
    MemStream(CriticalSection* lock, const char16_t* name, const Md5Digest& checksum);
    // Shares a block from AllocShared (one more reference is taken) instead of owning a copy.
    MemStream(CriticalSection* lock, const char16_t* name, void* sharedBlock, int length, const Md5Digest& checksum);
    ~MemStream() override;

    // Allocates (and clears) a buffer of length bytes; false when it cannot.
    bool Allocate(int length);
    const _byte* GetBuffer() const override { return mBuffer; }
    bool Read(void* buffer, _dword size, _dword offset) override;
    // The first write to a stream without buffer sizes it; a memory stream never grows.
    bool Write(const void* buffer, _dword size, _dword offset) override;
    bool WriteAll(ByteBuffer& buffer, bool compress) override;

private:
    void FreeBuffer();

    _byte* mBuffer = nullptr;
    bool mShared = false;  // mBuffer is a shared block (ReleaseShared), else MemAlloc'd
};

class DiskStream : public DataStream {
public:
    // Takes over an open file; its length is the file's size when it fits 2 GiB.
    DiskStream(CriticalSection* lock, const char16_t* name, File* file);
    ~DiskStream() override;

    bool Read(void* buffer, _dword size, _dword offset) override;
    bool Write(const void* buffer, _dword size, _dword offset) override;

private:
    File* mFile;
};

class PackStream : public DataStream {
public:
    // The file stays the archive's; the stream must not outlive the archive.
    PackStream(CriticalSection* lock, const char16_t* name, File* file, _dword baseOffset, int length,
               const Md5Digest& checksum, bool scrambled);

    bool Read(void* buffer, _dword size, _dword offset) override;
    // Never scrambles what it writes.
    bool Write(const void* buffer, _dword size, _dword offset) override;

private:
    File* mFile;
    _dword mBaseOffset;
    bool mScrambled;
};

// Descrambling of pack data read at `offset` of a resource: in every 8-byte unit n counted
// from the resource's start, the first four bytes are XORed with key word n mod 4 (derived
// from the key text); the other four stay as stored. An empty key text changes nothing.
void DescrambleData(_byte* bytes, _dword size, _dword offset, const char16_t* keyText);
// The four key words derived from a key text (the MD5 of 16 table-mapped text bytes).
void ScrambleKeyWords(const char16_t* keyText, _dword words[4]);

} // namespace Volux
