// Memory archive: resources held in memory, filled by writes or from an export blob; and the
// zip archive, a memory archive filled once from a ZIP file.
//
// Export blob (LZMA compressed block of the concatenated records):
//   4 name length n (UTF-16 units, ignored on reading), 2(n + 1) name with its zero unit,
//   4 data length m, m data bytes.
#pragma once

#include "Common/Hash.h"
#include "Storage/DataArchive.h"

namespace Volux {

class MemArchive : public DataArchive {
public:
    // A non-empty source is the default extension: names with another extension get
    // "." + source appended before every lookup and store.
    MemArchive(CriticalSection* lock, const char16_t* name, const char16_t* source);
    ~MemArchive() override;

    // Reads an export blob (packed or not); a record that runs past the end fails the open.
    bool Open(const void* bytes, _dword length);

    int GetType() const override { return _ARCHIVE_MEMORY; }
    IDataStream* OpenStream(const char16_t* name) override;
    bool WriteResource(const char16_t* name, const void* bytes, _dword length, const Md5Digest& checksum) override;
    bool DeleteResource(const char16_t* name) override;
    bool GetResourceInfo(const char16_t* name, _dword& length, Md5Digest& checksum) override;
    bool HasResource(const char16_t* name) override;
    int Enumerate(EnumerateCallback callback, void* arg1, void* arg2) override;

protected:
    struct Entry {
        WString name;
        void* block = nullptr;  // shared block (AllocShared), null for an empty resource
        _dword length = 0;
        Md5Digest checksum;
    };

    // The name as stored: normalised, lower-cased, with the default extension.
    WString StoredName(const char16_t* name) const;
    IDataStream* MakeStream(const Entry& entry, const char16_t* streamName);
    void FreeEntries();

    Hash<WString, Entry> mEntries;
    bool mNamedByArchive = true;  // streams are named by mount name + resource name
};

class ZipArchive : public MemArchive {
public:
    // A non-empty source keeps only entries with that extension.
    ZipArchive(CriticalSection* lock, const char16_t* name, const char16_t* source);

    // Local file headers from the start up to the central directory: stored or deflated
    // entries, each checked against its CRC-32. Any fault fails the whole open.
    bool Open(const void* bytes, _dword length);
    bool OpenFile(const char16_t* path);

    int GetType() const override { return _ARCHIVE_ZIP; }
    // A zip archive exports nothing.
    bool Export(ByteBuffer& buffer) override {
        buffer.Reset();
        return true;
    }
};

} // namespace Volux
