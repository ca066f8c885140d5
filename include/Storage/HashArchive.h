// Hash archive: many resources in one ".qod" container file, found by the key of their name
// (the file stores no names), updated in place. Optionally a stack of two files: a read-only
// base file and a writable file whose entries override and hide the base file's.
//
// File layout (little-endian; all offsets absolute):
//
//   0   4  magic "PSH\0"            28  8  next item block position (0 = none)
//   4   4  token version, 1         36  4  item count of the first block
//   8   4  content version          40  72 x count items of the first block
//   12 16  reserved (zero)
//
//   further item blocks, appended at the end: 8 next position, 4 count, count x 72 items
//
//   item (72 bytes, each byte XORed with the low byte of (b0+b1+b2+b3 + 0xD3), b0..b3 the
//   bytes of index x 72, index counted within the item's own block):
//     0 magic ("USE\0" live, "DEL\0" deletion marker, "NOT\0" never used, 0 free region)
//     4 chunk offset (0 = no chunk)    8 chunk length (data length + 16)
//    12 data offset (chunk + 16)      16 data length     20 compressed (1 = block header)
//    24 8 reserved   32 scrambled   36 k0   40 k1   44 k2   48 origin (0 on disk)
//    52 reserved     56 16-byte checksum
//
//   chunk: "USE\0", chunk length, 8 zero bytes, then the data.
//
// Chunk offsets are 32-bit: nothing is ever placed past 4 GiB. A replace writes the new chunk
// and commits its item before the old chunk is freed, and every change to the free regions
// writes the freed item first, so a process killed at any point leaves each resource in its
// old or its new version; at worst some space is lost until the archive is compacted.
#pragma once

#include "Common/Array.h"
#include "Common/Hash.h"
#include "Storage/DataArchive.h"
#include "Storage/NameKey.h"

namespace Volux {

constexpr _dword _HASH_MAGIC = 0x00485350;      // "PSH\0"
constexpr _dword _CHUNK_USE_CODE = 0x00455355;  // "USE\0"
constexpr _dword _CHUNK_DEL_CODE = 0x004C4544;  // "DEL\0"
constexpr _dword _CHUNK_NOT_CODE = 0x00544F4E;  // "NOT\0"
constexpr _dword _HASH_HEADER_SIZE = 40;
constexpr _dword _ITEM_BLOCK_HEADER_SIZE = 12;
constexpr _dword _ITEM_SIZE = 72;
constexpr _dword _CHUNK_HEADER_SIZE = 16;
constexpr _byte _ITEM_KEY = 0xD3;
// Items an archive may hold over all its blocks; what a file declares beyond this, or beyond
// what its length can hold, is refused before anything is allocated.
constexpr _dword _MAX_ITEM_COUNT = 1u << 24;
// Chunks must end at or below this position.
constexpr _qword _MAX_CHUNK_END = 0xFFFFFFFFull;

struct HashItem {
    _dword magic = 0;          // mMagicCode
    _dword chunkOffset = 0;    // mChunkOffset; 0 = the slot holds no chunk
    _dword chunkLength = 0;    // mChunkLength
    _dword dataOffset = 0;
    _dword dataLength = 0;
    _dword compressed = 0;
    _dword reserved[2] = {0, 0};
    _dword scrambled = 0;
    _dword key[3] = {0, 0, 0};
    _dword origin = 0;         // 1 in memory for items of the read-only base file
    _dword reserved2 = 0;
    Md5Digest checksum;

    NameKey Key() const {
        NameKey k;
        k.word[0] = key[0];
        k.word[1] = key[1];
        k.word[2] = key[2];
        return k;
    }
    bool HasChunk() const { return chunkOffset != 0; }
    bool IsFreeRegion() const { return magic == 0 && chunkOffset != 0; }
};

// The scramble byte of the item at `index` within its block.
_byte ItemScrambleByte(_dword index);
void EncodeItem(const HashItem& item, _dword index, _byte out[_ITEM_SIZE]);
void DecodeItem(const _byte in[_ITEM_SIZE], _dword index, HashItem& item);

class HashArchive : public PackArchive {
public:
    HashArchive(CriticalSection* lock, const char16_t* name);
    ~HashArchive() override;

    // Creates (truncates) the writable file with itemCount "NOT" items.
    bool Create(const char16_t* path, _dword itemCount);
    // One file, or called twice for a stacked pair: the base file with writable false, then
    // the writable file. A writable file holding fewer than needCount items gets a new block
    // of needCount items.
    bool Open(const char16_t* path, bool writable, _dword needCount, _dword startOffset = 0, _dword reserved = 0);

    int GetType() const override { return _ARCHIVE_HASH; }
    // Also writes the version into the writable file at once.
    void SetVersion(_dword version) override;
    IDataStream* OpenStream(const char16_t* name) override;
    bool WriteResource(const char16_t* name, const void* bytes, _dword length, const Md5Digest& checksum) override;
    bool DeleteResource(const char16_t* name) override;
    bool GetResourceInfo(const char16_t* name, _dword& length, Md5Digest& checksum) override;
    bool HasResource(const char16_t* name) override;
    // Names are the keys' text form ("<" and 32 hex digits).
    int Enumerate(EnumerateCallback callback, void* arg1, void* arg2) override;

    // Appends a block when fewer than count slots are empty, so count writes cannot run out.
    bool ReserveSlots(_dword count);
    // Writes with an explicit scrambled flag, for tools that copy items as stored.
    bool WriteRaw(const char16_t* name, const void* bytes, _dword length, const Md5Digest& checksum,
                  bool scrambled);
    // A "DEL" item for the name, as a stacked pair's writable file keeps them.
    bool WriteDeletionMarker(const char16_t* name, const Md5Digest& checksum);
    // The first live item of the name (base or writable); false when absent.
    bool FindItem(const char16_t* name, HashItem& item);

    // Inspection for tools and tests.
    _dword ItemCount() const { return mItems.Count(); }
    const HashItem& Item(_dword index) const { return mItems[index]; }
    _dword FreeRegionCount() const { return mFree.Count(); }
    const HashItem& FreeRegion(_dword i) const { return mItems[mFree[i]]; }
    _dword BlockCount() const { return mBlocks.Count(); }
    _dword SlotCursor() const { return mCursor; }
    _qword FileLength() const { return mFileLength; }
    // Items dropped at open because they pointed outside the file or overlapped.
    _dword DamagedItemCount() const { return mDamaged; }

private:
    struct Block {
        _dword count;
        _dword first;      // index of its first item in mItems
        _qword position;   // file position of its first item
    };
    struct Allocation {
        _dword index;
        _dword chunkOffset;  // 0: the chunk goes at the end of the file
        bool fromRegion;     // the slot was a free region taken whole
    };
    static constexpr _dword _NONE = 0xFFFFFFFFu;
    static constexpr _dword _BASE_REF = 0x80000000u;

    bool LoadItems(File& file, const char16_t* path, bool base, _qword fileLength, Array<Block>& blocks,
                   _dword plannedCount);
    bool AppendBlock(const char16_t* path, _dword count);
    void ClassifyItem(_dword ref, bool base, _qword fileLength, _dword indexInBlock);
    void SettleOpenedFreeRegions(const char16_t* path);
    void DropOverlappingRegions();
    void FreeDuplicateEntries();

    HashItem& ItemOf(_dword ref) { return (ref & _BASE_REF) ? mBaseItems[ref & ~_BASE_REF] : mItems[ref]; }
    _dword& NextOf(_dword ref) { return (ref & _BASE_REF) ? mBaseNext[ref & ~_BASE_REF] : mNext[ref]; }
    _dword FirstRef(const NameKey& key) const;
    void MapAppend(const NameKey& key, _dword ref);
    void MapPrepend(const NameKey& key, _dword ref);
    void MapRemove(const NameKey& key, _dword ref);
    void GrowMap(_dword entries);

    bool ItemPosition(_dword index, _qword& position, _dword& inBlock) const;
    bool WriteItem(_dword index);
    Allocation AllocateSlot(_dword chunkLength);
    bool HasEmptySlot();
    bool GrowForReplace(const char16_t* name);
    bool InsertFreeRegion(_dword index, bool opening, Array<_dword>& affected);
    bool FreeChunk(_dword index);
    bool WriteEntry(const NameKey& key, const char16_t* name, const void* bytes, _dword length,
                    const Md5Digest& checksum, _dword magic, bool scrambled, _dword& index);
    bool RemoveEntries(const NameKey& key, const char16_t* name, _dword keepRef);

    WString mPath;
    WString mBasePath;
    _dword mCursor = 0;          // rotating slot cursor
    Array<HashItem> mItems;      // the writable file's items, all blocks in order
    Array<HashItem> mBaseItems;  // the base file's items
    Array<_dword> mNext;         // per writable item: next ref with the same key, or _NONE
    Array<_dword> mBaseNext;
    Array<_dword> mFree;         // writable item indices of free regions, ascending by offset
    Array<Block> mBlocks;        // the writable file's blocks
    Hash<NameKey, _dword>* mMap; // key -> first ref (bit 31 marks base items)
    _qword mFileLength = 0;      // of the writable file
    _dword mDamaged = 0;
};

} // namespace Volux
