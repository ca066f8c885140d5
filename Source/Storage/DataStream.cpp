#include "Storage/DataStream.h"

#include <cstring>

#include "Common/Compression.h"
#include "Common/EngineContext.h"
#include "Common/Memory.h"
#include "Storage/ResourceManager.h"

namespace Volux {

namespace {

int sLiveStreams = 0;

// Maps each byte of the key text before the digest; any fixed table works as long as every
// build that reads the same scrambled data uses this one.
struct KeyTable {
    _byte value[128];
    constexpr KeyTable() : value() {
        for (int i = 0; i < 128; i++)
            value[i] = _byte((i * 0x9D + 0x5B) ^ (i >> 3));
    }
};
constexpr KeyTable _KEY_TABLE;

} // namespace

DataStream::DataStream(CriticalSection* lock, const char16_t* name, int length, const Md5Digest& checksum)
    : mLock(lock), mName(NonNull(name)), mLength(length), mChecksum(checksum) {
    sLiveStreams++;
}

DataStream::~DataStream() { sLiveStreams--; }

int DataStream::LiveCount() { return sLiveStreams; }

bool DataStream::IsCompressed() {
    _byte header[_BLOCK_HEADER_SIZE];
    if (mLength < int(_BLOCK_HEADER_SIZE) || !Read(header, _BLOCK_HEADER_SIZE, 0))
        return false;
    return IsCompressedBlock(header, sizeof(header));
}

bool DataStream::ReadAll(ByteBuffer& buffer, bool decompress) {
    if (mLength < 0 || !buffer.Resize(_dword(mLength)))
        return false;
    if (mLength > 0 && !Read(buffer.data, _dword(mLength), 0))
        return false;
    if (decompress && !UnpackBuffer(buffer))
        return false;
    return true;
}

bool DataStream::WriteAll(ByteBuffer& buffer, bool compress) {
    if (compress && !PackBuffer(buffer, false))
        return false;
    return Write(buffer.data, buffer.size, 0);
}

// ---- memory stream

MemStream::MemStream(CriticalSection* lock, const char16_t* name, const Md5Digest& checksum)
    : DataStream(lock, name, 0, checksum) {}

MemStream::MemStream(CriticalSection* lock, const char16_t* name, void* sharedBlock, int length,
                     const Md5Digest& checksum)
    : DataStream(lock, name, sharedBlock != nullptr ? length : 0, checksum) {
    if (sharedBlock != nullptr) {
        mBuffer = static_cast<_byte*>(AddRefShared(sharedBlock));
        mShared = true;
    }
}

MemStream::~MemStream() { FreeBuffer(); }

void MemStream::FreeBuffer() {
    if (mShared)
        ReleaseShared(mBuffer);
    else
        MemFree(mBuffer);
    mBuffer = nullptr;
    mShared = false;
}

bool MemStream::Allocate(int length) {
    FreeBuffer();
    mLength = 0;
    if (length <= 0)
        return length == 0;
    mBuffer = static_cast<_byte*>(MemAlloc(size_t(length)));
    if (mBuffer == nullptr)
        return false;
    memset(mBuffer, 0, size_t(length));
    mLength = length;
    return true;
}

bool MemStream::Read(void* buffer, _dword size, _dword offset) {
    StreamLock hold(mLock);
    if (mBuffer == nullptr || !InRange(size, offset))
        return false;
    if (size > 0)
        memcpy(buffer, mBuffer + offset, size);
    return true;
}

bool MemStream::Write(const void* buffer, _dword size, _dword offset) {
    StreamLock hold(mLock);
    if (mBuffer == nullptr) {
        if (size == 0 || size > _MAX_ALLOCATION)
            return false;
        mBuffer = static_cast<_byte*>(MemAlloc(size));
        if (mBuffer == nullptr)
            return false;
        mShared = false;
        mLength = int(size);
    }
    if (!InRange(size, offset))
        return false;
    if (size > 0)
        memcpy(mBuffer + offset, buffer, size);
    return true;
}

bool MemStream::WriteAll(ByteBuffer& buffer, bool compress) {
    if (compress && !PackBuffer(buffer, false))
        return false;
    StreamLock hold(mLock);
    FreeBuffer();
    mLength = 0;
    if (buffer.size == 0)
        return true;
    mBuffer = static_cast<_byte*>(MemAlloc(buffer.size));
    if (mBuffer == nullptr)
        return false;
    memcpy(mBuffer, buffer.data, buffer.size);
    mLength = int(buffer.size);
    return true;
}

// ---- disk stream

DiskStream::DiskStream(CriticalSection* lock, const char16_t* name, File* file)
    : DataStream(lock, name, 0, Md5Digest()), mFile(file) {
    _qword size = mFile != nullptr ? mFile->Size() : 0;
    mLength = size <= 0x7FFFFFFF ? int(size) : 0x7FFFFFFF;
}

DiskStream::~DiskStream() { delete mFile; }

bool DiskStream::Read(void* buffer, _dword size, _dword offset) {
    StreamLock hold(mLock);
    return mFile != nullptr && mFile->Seek(offset) && mFile->Read(buffer, size);
}

bool DiskStream::Write(const void* buffer, _dword size, _dword offset) {
    StreamLock hold(mLock);
    return mFile != nullptr && mFile->Seek(offset) && mFile->Write(buffer, size);
}

// ---- pack stream

PackStream::PackStream(CriticalSection* lock, const char16_t* name, File* file, _dword baseOffset, int length,
                       const Md5Digest& checksum, bool scrambled)
    : DataStream(lock, name, length, checksum), mFile(file), mBaseOffset(baseOffset), mScrambled(scrambled) {}

bool PackStream::Read(void* buffer, _dword size, _dword offset) {
    StreamLock hold(mLock);
    if (mFile == nullptr || !InRange(size, offset))
        return false;
    if (!mFile->Seek(_qword(mBaseOffset) + offset) || !mFile->Read(buffer, size))
        return false;
    if (mScrambled) {
        IResourceManager* manager = EngineContext::Get().resourceManager;
        if (manager != nullptr)
            DescrambleData(static_cast<_byte*>(buffer), size, offset, manager->GetKeyText());
    }
    return true;
}

bool PackStream::Write(const void* buffer, _dword size, _dword offset) {
    StreamLock hold(mLock);
    if (mFile == nullptr || !InRange(size, offset))
        return false;
    return mFile->Seek(_qword(mBaseOffset) + offset) && mFile->Write(buffer, size);
}

// ---- scrambling

void ScrambleKeyWords(const char16_t* keyText, _dword words[4]) {
    keyText = NonNull(keyText);
    int length = Text::Length(keyText);
    _byte mixed[16] = {};
    for (int i = 0; i < 16 && length > 0; i++) {
        _byte c = _byte(keyText[i % length]);
        mixed[i] = _byte(_KEY_TABLE.value[c & 0x7F] ^ c);
    }
    Md5Digest digest = ComputeMd5(mixed, sizeof(mixed));
    for (int i = 0; i < 4; i++)
        words[i] = digest.Word(i);
}

void DescrambleData(_byte* bytes, _dword size, _dword offset, const char16_t* keyText) {
    if (bytes == nullptr || NonNull(keyText)[0] == 0)
        return;
    _dword words[4];
    ScrambleKeyWords(keyText, words);
    for (_dword i = 0; i < size; i++) {
        _qword position = _qword(offset) + i;
        _dword inUnit = _dword(position % 8);
        if (inUnit >= 4)
            continue;
        _dword word = words[(position / 8) % 4];
        bytes[i] ^= _byte(word >> (8 * inUnit));
    }
}

} // namespace Volux
