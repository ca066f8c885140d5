#include "Storage/HashArchive.h"

#include <algorithm>
#include <cstring>

#include "Common/Compression.h"
#include "Common/LittleEndian.h"
#include "Common/Log.h"
#include "Storage/ResourceManager.h"

namespace Volux {

namespace {

void PutU32(_byte* p, _dword value) {
    p[0] = _byte(value);
    p[1] = _byte(value >> 8);
    p[2] = _byte(value >> 16);
    p[3] = _byte(value >> 24);
}

void PutU64(_byte* p, _qword value) {
    PutU32(p, _dword(value));
    PutU32(p + 4, _dword(value >> 32));
}

_qword ReadU64LE(const _byte* p) { return _qword(ReadU32LE(p)) | (_qword(ReadU32LE(p + 4)) << 32); }

// The engine's check, reported with the text the archive has always used for it.
bool Check(bool condition, const char16_t* text) {
    if (!condition)
        ReportAssertion(text, u"Storage/HashArchive", __LINE__);
    return condition;
}

// Items are read and written this many at a time, so a large block never needs one large
// buffer.
constexpr _dword _ITEMS_PER_PASS = 4096;

} // namespace

_byte ItemScrambleByte(_dword index) {
    _dword position = index * _ITEM_SIZE;
    return _byte((position & 0xFF) + ((position >> 8) & 0xFF) + ((position >> 16) & 0xFF) + (position >> 24) +
                 _ITEM_KEY);
}

void EncodeItem(const HashItem& item, _dword index, _byte out[_ITEM_SIZE]) {
    PutU32(out + 0, item.magic);
    PutU32(out + 4, item.chunkOffset);
    PutU32(out + 8, item.chunkLength);
    PutU32(out + 12, item.dataOffset);
    PutU32(out + 16, item.dataLength);
    PutU32(out + 20, item.compressed);
    PutU32(out + 24, item.reserved[0]);
    PutU32(out + 28, item.reserved[1]);
    PutU32(out + 32, item.scrambled);
    PutU32(out + 36, item.key[0]);
    PutU32(out + 40, item.key[1]);
    PutU32(out + 44, item.key[2]);
    PutU32(out + 48, 0);  // origin is only meaningful in memory
    PutU32(out + 52, item.reserved2);
    memcpy(out + 56, item.checksum.bytes, 16);
    _byte scramble = ItemScrambleByte(index);
    for (_dword i = 0; i < _ITEM_SIZE; i++)
        out[i] ^= scramble;
}

void DecodeItem(const _byte in[_ITEM_SIZE], _dword index, HashItem& item) {
    _byte plain[_ITEM_SIZE];
    _byte scramble = ItemScrambleByte(index);
    for (_dword i = 0; i < _ITEM_SIZE; i++)
        plain[i] = in[i] ^ scramble;
    item.magic = ReadU32LE(plain + 0);
    item.chunkOffset = ReadU32LE(plain + 4);
    item.chunkLength = ReadU32LE(plain + 8);
    item.dataOffset = ReadU32LE(plain + 12);
    item.dataLength = ReadU32LE(plain + 16);
    item.compressed = ReadU32LE(plain + 20);
    item.reserved[0] = ReadU32LE(plain + 24);
    item.reserved[1] = ReadU32LE(plain + 28);
    item.scrambled = ReadU32LE(plain + 32);
    item.key[0] = ReadU32LE(plain + 36);
    item.key[1] = ReadU32LE(plain + 40);
    item.key[2] = ReadU32LE(plain + 44);
    item.origin = ReadU32LE(plain + 48);
    item.reserved2 = ReadU32LE(plain + 52);
    memcpy(item.checksum.bytes, plain + 56, 16);
}

HashArchive::HashArchive(CriticalSection* lock, const char16_t* name)
    : PackArchive(lock, name, nullptr), mMap(new Hash<NameKey, _dword>(397)) {}

HashArchive::~HashArchive() { delete mMap; }

// ---- name map: key -> chain of refs through mNext / mBaseNext

_dword HashArchive::FirstRef(const NameKey& key) const {
    const _dword* head = mMap->Find(key);
    return head != nullptr ? *head : _NONE;
}

void HashArchive::MapAppend(const NameKey& key, _dword ref) {
    NextOf(ref) = _NONE;
    _dword* head = mMap->Find(key);
    if (head == nullptr) {
        head = mMap->Insert(key);
        if (head != nullptr)
            *head = ref;
        return;
    }
    _dword at = *head;
    while (NextOf(at) != _NONE)
        at = NextOf(at);
    NextOf(at) = ref;
}

void HashArchive::MapPrepend(const NameKey& key, _dword ref) {
    _dword* head = mMap->Find(key);
    if (head == nullptr) {
        MapAppend(key, ref);
        return;
    }
    NextOf(ref) = *head;
    *head = ref;
}

void HashArchive::MapRemove(const NameKey& key, _dword ref) {
    _dword* head = mMap->Find(key);
    if (head == nullptr)
        return;
    if (*head == ref) {
        *head = NextOf(ref);
        if (*head == _NONE)
            mMap->Remove(key);
        return;
    }
    for (_dword at = *head; at != _NONE; at = NextOf(at)) {
        if (NextOf(at) == ref) {
            NextOf(at) = NextOf(ref);
            return;
        }
    }
}

// The map's bucket count is fixed per table: a larger archive moves its keys, in their
// insertion order, into a table with one bucket per possible entry.
void HashArchive::GrowMap(_dword entries) {
    if (entries <= mMap->Divisor())
        return;
    Hash<NameKey, _dword>* larger = new Hash<NameKey, _dword>(entries | 1);
    for (auto* node = mMap->First(); node != nullptr; node = Hash<NameKey, _dword>::Next(node))
        larger->Insert(node->key, node->value);
    delete mMap;
    mMap = larger;
}

// ---- create and open

bool HashArchive::Create(const char16_t* path, _dword itemCount) {
    ArchiveLock hold(mLock);
    if (itemCount > _MAX_ITEM_COUNT) {
        PrintBoth(u"[RM] Item count %u is above the limit of %u: %ls", itemCount, _MAX_ITEM_COUNT, NonNull(path));
        return false;
    }
    if (!mFile.Open(path, File::_CREATE)) {
        PrintBoth(u"[RM] Open hash archive file failed: %ls", NonNull(path));
        return false;
    }
    mPath = NonNull(path);
    mWritable = true;
    _byte header[_HASH_HEADER_SIZE] = {};
    PutU32(header + 0, _HASH_MAGIC);
    PutU32(header + 4, 1);
    PutU32(header + 8, mVersion);
    PutU32(header + 36, itemCount);
    if (!mFile.Write(header, sizeof(header)))
        return false;
    mItems.Clear(true);
    mNext.Clear(true);
    mBlocks.Clear(true);
    mFree.Clear(true);
    mBlocks.Append(Block{itemCount, 0, _HASH_HEADER_SIZE});
    HashItem unused;
    unused.magic = _CHUNK_NOT_CODE;
    Array<_byte> pass;
    for (_dword done = 0; done < itemCount;) {
        _dword n = std::min(itemCount - done, _ITEMS_PER_PASS);
        _byte bytes[_ITEM_SIZE];
        pass.Clear();
        for (_dword i = 0; i < n; i++) {
            EncodeItem(unused, done + i, bytes);
            for (_byte b : bytes)
                pass.Append(b);
            mItems.Append(unused);
            mNext.Append(_NONE);
        }
        if (!mFile.Write(pass.begin(), n * _ITEM_SIZE))
            return false;
        done += n;
    }
    mFileLength = mFile.Size();
    GrowMap(itemCount + mBaseItems.Count());
    return true;
}

bool HashArchive::Open(const char16_t* path, bool writable, _dword needCount, _dword startOffset, _dword reserved) {
    ArchiveLock hold(mLock);
    path = NonNull(path);
    File& file = writable ? mFile : mBaseFile;
    file.Close();
    if (!OpenPackFile(file, path, writable, startOffset)) {
        PrintBoth(u"[RM] Open hash archive file failed: %ls", path);
        return false;
    }
    if (writable) {
        mWritable = true;
        mStartOffset = startOffset;
        mReserved = reserved;
        mPath = path;
    } else {
        mBasePath = path;
    }
    _qword fileLength = file.Size();

    _byte token[8];
    if (!file.Read(token, 8)) {
        PrintBoth(u"[RM] Can't read file token: %ls", path);
        return false;
    }
    _dword magic = ReadU32LE(token), tokenVersion = ReadU32LE(token + 4);
    if (magic != _HASH_MAGIC || tokenVersion != 1) {
        PrintBoth(u"[RM] Magic error: %ls 0x%x 0x%x", path, magic, tokenVersion);
        return false;
    }
    _byte field[16];
    if (!file.Read(field, 4)) {
        PrintBoth(u"[RM] Read version failed: %ls", path);
        return false;
    }
    mVersion = ReadU32LE(field);
    if (!file.Read(field, 16)) {
        PrintBoth(u"[RM] Read reserved failed: %ls", path);
        return false;
    }
    if (!file.Read(field, 8)) {
        PrintBoth(u"[RM] Read next item offset failed: %ls", path);
        return false;
    }
    _qword next = ReadU64LE(field);
    if (!file.Read(field, 4)) {
        PrintBoth(u"[RM] Read max file item count failed: %ls", path);
        return false;
    }
    _dword count = ReadU32LE(field);

    // Every declared count must fit in the file before anything is allocated, and every
    // further block must start after the previous one's items: blocks are only ever
    // appended, so a chain that goes back (or loops) is damage.
    Array<Block> blocks;
    _qword firstItems = _qword(startOffset) + _HASH_HEADER_SIZE;
    _qword total = 0;
    _qword position = firstItems;
    for (;;) {
        if (position > fileLength || _qword(count) > (fileLength - position) / _ITEM_SIZE ||
            total + count > _MAX_ITEM_COUNT) {
            PrintBoth(u"[RM] Item block of %u items at 0x%llx does not fit in %ls", count, position, path);
            return false;
        }
        blocks.Append(Block{count, _dword(total), position});
        total += count;
        if (next == 0)
            break;
        _qword itemsEnd = position + _qword(count) * _ITEM_SIZE;
        if (next < itemsEnd || next > fileLength || fileLength - next < _ITEM_BLOCK_HEADER_SIZE) {
            PrintBoth(u"[RM] Item block chain broken at 0x%llx: %ls", next, path);
            return false;
        }
        _byte blockHeader[_ITEM_BLOCK_HEADER_SIZE];
        if (!file.Seek(next) || !file.Read(blockHeader, sizeof(blockHeader)))
            break;  // an unreadable block ends the chain
        position = next + _ITEM_BLOCK_HEADER_SIZE;
        next = ReadU64LE(blockHeader);
        count = ReadU32LE(blockHeader + 8);
    }

    _dword planned = 0;
    if (writable && total < needCount) {
        PrintLine(u"[RM] Expand qod, need %d, current %d", int(needCount), int(total));
        if (total + needCount > _MAX_ITEM_COUNT) {
            PrintBoth(u"[RM] Item count %llu is above the limit of %u: %ls", total + needCount, _MAX_ITEM_COUNT,
                      path);
            return false;
        }
        planned = needCount;
    }
    if (!LoadItems(file, path, !writable, fileLength, blocks, planned))
        return false;
    if (!writable)
        return true;

    mFileLength = fileLength;
    mBlocks.Clear();
    for (const Block& block : blocks)
        mBlocks.Append(block);
    if (planned > 0 && !AppendBlock(path, planned))
        return false;
    SettleOpenedFreeRegions(path);
    FreeDuplicateEntries();
    return true;
}

bool HashArchive::LoadItems(File& file, const char16_t* path, bool base, _qword fileLength, Array<Block>& blocks,
                            _dword plannedCount) {
    Array<HashItem>& items = base ? mBaseItems : mItems;
    Array<_dword>& next = base ? mBaseNext : mNext;
    // A stacked pair opened again starts from nothing.
    mDamaged = 0;
    items.Clear(true);
    next.Clear(true);
    if (!base) {
        mFree.Clear(true);
        mCursor = 0;
    }
    _dword total = 0;
    for (const Block& block : blocks)
        total += block.count;
    GrowMap(total + plannedCount + (base ? mItems.Count() : mBaseItems.Count()));

    Array<_byte> pass;
    HashItem empty;
    for (const Block& block : blocks) {
        bool readable = file.Seek(block.position);
        for (_dword done = 0; done < block.count;) {
            _dword n = std::min(block.count - done, _ITEMS_PER_PASS);
            pass.Clear();
            for (_dword i = 0; i < n * _ITEM_SIZE; i++)
                pass.Append(0);
            // A failed read leaves the rest of the block as empty slots.
            readable = readable && file.Read(pass.begin(), n * _ITEM_SIZE);
            for (_dword i = 0; i < n; i++) {
                HashItem item;
                if (readable)
                    DecodeItem(pass.begin() + i * _ITEM_SIZE, done + i, item);
                items.Append(readable ? item : empty);
                next.Append(_NONE);
                ClassifyItem(_dword(items.Count() - 1) | (base ? _BASE_REF : 0), base, fileLength, done + i);
            }
            done += n;
        }
    }
    if (!base)
        DropOverlappingRegions();
    if (mDamaged > 0)
        PrintBoth(u"[RM] %u damaged items ignored in %ls", mDamaged, NonNull(path));
    return true;
}

void HashArchive::ClassifyItem(_dword ref, bool base, _qword fileLength, _dword indexInBlock) {
    HashItem& item = ItemOf(ref);
    item.origin = base ? 1 : 0;
    if (!item.HasChunk())
        return;
    // Whatever the item claims must lie in the file; a damaged item is forgotten in memory
    // (for the writable file its slot may be reused, which rewrites it).
    bool chunkInside = item.chunkOffset >= _HASH_HEADER_SIZE && item.chunkLength >= _CHUNK_HEADER_SIZE &&
                       _qword(item.chunkOffset) + item.chunkLength <= fileLength;
    if (item.magic == _CHUNK_USE_CODE) {
        bool dataInside = item.dataLength <= 0x7FFFFFFF && _qword(item.dataOffset) + item.dataLength <= fileLength &&
                          item.dataOffset >= _HASH_HEADER_SIZE;
        if (!chunkInside || !dataInside) {
            mDamaged++;
            item = HashItem();
            item.origin = base ? 1 : 0;
            return;
        }
        MapAppend(item.Key(), ref);
    } else if (item.magic == _CHUNK_DEL_CODE) {
        _dword first = FirstRef(item.Key());
        if (first != _NONE)
            MapRemove(item.Key(), first);
    } else if (item.magic != 0) {
        PrintLine(u"[RM] Invalid magic code 0x%x, offset 0x%x", item.magic, indexInBlock * _ITEM_SIZE);
    } else if (!base) {
        if (!chunkInside) {
            mDamaged++;
            item = HashItem();
            return;
        }
        // Merged in memory only for now; SettleOpenedFreeRegions writes the result.
        mFree.Append(ref);
    }
}

// Free regions that overlap each other or a live chunk are forgotten: handing such space
// out again would overwrite data. Only damaged files have them.
void HashArchive::DropOverlappingRegions() {
    Array<_dword> order;
    for (_dword i = 0; i < mItems.Count(); i++)
        if (mItems[i].HasChunk())
            order.Append(i);
    std::sort(order.begin(), order.end(), [this](_dword a, _dword b) {
        const HashItem& x = mItems[a];
        const HashItem& y = mItems[b];
        if (x.chunkOffset != y.chunkOffset)
            return x.chunkOffset < y.chunkOffset;
        return x.magic > y.magic;  // live items before free regions at the same offset
    });
    _qword end = 0;
    _dword owner = _NONE;
    for (_dword k = 0; k < order.Count(); k++) {
        HashItem& item = mItems[order[k]];
        _qword itemEnd = _qword(item.chunkOffset) + item.chunkLength;
        if (item.chunkOffset < end) {
            // Overlap: drop whichever of the two is a free region.
            if (item.IsFreeRegion()) {
                item = HashItem();
                mDamaged++;
                continue;
            }
            if (owner != _NONE && mItems[owner].IsFreeRegion()) {
                mItems[owner] = HashItem();
                mDamaged++;
            }
        }
        if (itemEnd > end) {
            end = itemEnd;
            owner = order[k];
        }
    }
    Array<_dword> regions;
    for (_dword k = 0; k < order.Count(); k++)
        if (mItems[order[k]].IsFreeRegion())
            regions.Append(order[k]);
    mFree.Clear();
    for (_dword index : regions)
        mFree.Append(index);
}

// Adjacent regions are merged as Free would merge them, and the result is written at once:
// a merged item left on disk as it was would overlap its neighbour's grown region after the
// next allocation from it.
void HashArchive::SettleOpenedFreeRegions(const char16_t* path) {
    Array<_dword> regions;
    for (_dword index : mFree)
        regions.Append(index);
    mFree.Clear();
    Array<_dword> affected;
    for (_dword index : regions)
        InsertFreeRegion(index, true, affected);
    for (_dword index : affected)
        if (!WriteItem(index))
            PrintLine(u"[RM] Write file item fail in hash archive: %ls", NonNull(path));
}

// A replace killed after its new item was committed leaves two live items of one name in
// the writable file; the lookup has always yielded the first, so the later ones are freed.
void HashArchive::FreeDuplicateEntries() {
    Array<_dword> extra;
    for (auto* node = mMap->First(); node != nullptr; node = Hash<NameKey, _dword>::Next(node)) {
        bool seenWritable = false;
        for (_dword ref = node->value; ref != _NONE; ref = NextOf(ref)) {
            if (ref & _BASE_REF)
                continue;
            if (seenWritable)
                extra.Append(ref);
            seenWritable = true;
        }
    }
    for (_dword ref : extra) {
        MapRemove(mItems[ref].Key(), ref);
        FreeChunk(ref);
    }
}

bool HashArchive::AppendBlock(const char16_t* path, _dword count) {
    _qword position = mFile.Size();
    _byte header[_ITEM_BLOCK_HEADER_SIZE] = {};
    PutU32(header + 8, count);
    if (!mFile.Seek(position) || !mFile.Write(header, sizeof(header))) {
        PrintBoth(u"[RM] Write item block failed: %ls", path);
        return false;
    }
    HashItem unused;
    unused.magic = _CHUNK_NOT_CODE;
    Array<_byte> pass;
    _dword first = mItems.Count();
    for (_dword done = 0; done < count;) {
        _dword n = std::min(count - done, _ITEMS_PER_PASS);
        pass.Clear();
        _byte bytes[_ITEM_SIZE];
        for (_dword i = 0; i < n; i++) {
            EncodeItem(unused, done + i, bytes);
            for (_byte b : bytes)
                pass.Append(b);
        }
        if (!mFile.Write(pass.begin(), n * _ITEM_SIZE)) {
            PrintBoth(u"[RM] Write item block failed: %ls", path);
            return false;
        }
        done += n;
    }
    // Linked only once the block is complete, so a kill before this leaves the chain whole.
    _byte link[8];
    PutU64(link, position);
    const Block& last = mBlocks[mBlocks.Count() - 1];
    if (!mFile.Seek(last.position - _ITEM_BLOCK_HEADER_SIZE) || !mFile.Write(link, 8)) {
        PrintBoth(u"[RM] Write item block failed: %ls", path);
        return false;
    }
    for (_dword i = 0; i < count; i++) {
        mItems.Append(unused);
        mNext.Append(_NONE);
    }
    mBlocks.Append(Block{count, first, position + _ITEM_BLOCK_HEADER_SIZE});
    mFileLength = mFile.Size();
    return true;
}

bool HashArchive::ReserveSlots(_dword count) {
    ArchiveLock hold(mLock);
    if (!mWritable || mBlocks.Count() == 0)
        return false;
    _dword empty = 0;
    for (const HashItem& item : mItems)
        empty += item.chunkOffset == 0 ? 1 : 0;
    if (empty >= count)
        return true;
    _dword missing = count - empty;
    if (mItems.Count() + missing > _MAX_ITEM_COUNT)
        return false;
    PrintLine(u"[RM] Expand qod, need %d, current %d", int(count), int(empty));
    return AppendBlock(mPath, missing);
}

// Moves the cursor to the next empty slot, as AllocateSlot would look for it.
bool HashArchive::HasEmptySlot() {
    _dword total = mItems.Count();
    for (_dword t = 0; t < total; t++) {
        if (mCursor >= total)
            mCursor = 0;
        if (mItems[mCursor].chunkOffset == 0)
            return true;
        mCursor = (mCursor + 1) % total;
    }
    return false;
}

// A sixteenth more items, at least 16, so a run of replaces in a full table appends few
// blocks.
bool HashArchive::GrowForReplace(const char16_t* name) {
    if (!mWritable || mBlocks.Count() == 0)
        return false;
    _dword count = std::max<_dword>(16, mItems.Count() / 16);
    if (mItems.Count() + count > _MAX_ITEM_COUNT) {
        PrintLine(u"[RM] Free item not found: %ls", NonNull(name));
        return false;
    }
    PrintLine(u"[RM] Expand qod, need %d, current %d", int(mItems.Count() + count), int(mItems.Count()));
    return AppendBlock(mPath, count);
}

// ---- items in the file

bool HashArchive::ItemPosition(_dword index, _qword& position, _dword& inBlock) const {
    if (!Check(mBlocks.Count() != 0, u"mItemOffsets.Length( ) != 0"))
        return false;
    _dword i = 0;
    for (; i < mBlocks.Count(); i++) {
        const Block& block = mBlocks[i];
        if (index >= block.first && index - block.first < block.count)
            break;
    }
    if (!Check(mBlocks.Count() != i, u"mItemOffsets.Length( ) != i"))
        return false;
    inBlock = index - mBlocks[i].first;
    position = mBlocks[i].position + _qword(inBlock) * _ITEM_SIZE;
    return true;
}

bool HashArchive::WriteItem(_dword index) {
    _qword position;
    _dword inBlock;
    if (!ItemPosition(index, position, inBlock))
        return false;
    _byte bytes[_ITEM_SIZE];
    EncodeItem(mItems[index], inBlock, bytes);
    return mFile.Seek(position) && mFile.Write(bytes, _ITEM_SIZE);
}

// ---- allocation

HashArchive::Allocation HashArchive::AllocateSlot(_dword chunkLength) {
    Allocation none{_NONE, 0, false};
    // First fit over the regions in ascending offset order; the smallest region passed over
    // is remembered for the leaks path.
    _dword fit = _NONE, small = _NONE;
    for (_dword k = 0; k < mFree.Count(); k++) {
        const HashItem& region = mItems[mFree[k]];
        if (region.chunkLength >= chunkLength) {
            fit = k;
            break;
        }
        if (small == _NONE || region.chunkLength < mItems[mFree[small]].chunkLength)
            small = k;
    }
    if (fit != _NONE && mItems[mFree[fit]].chunkLength == chunkLength) {
        _dword index = mFree[fit];
        mFree.Remove(fit);
        return Allocation{index, mItems[index].chunkOffset, true};
    }
    if (mItems.Count() == 0)
        return none;

    // An empty slot is found before a region is split, so a split never loses its space
    // for want of a slot to describe the new chunk.
    _dword total = mItems.Count();
    _dword slot = _NONE;
    for (_dword t = 0; t < total; t++) {
        if (mCursor >= total)
            mCursor = 0;
        if (mItems[mCursor].chunkOffset == 0) {
            slot = mCursor;
            break;
        }
        mCursor = (mCursor + 1) % total;
    }
    if (slot != _NONE) {
        Check(mItems[slot].magic != _CHUNK_USE_CODE, u"freeitem->mMagicCode != _CHUNK_USE_CODE");
        if (fit == _NONE)
            return Allocation{slot, 0, false};
        HashItem& region = mItems[mFree[fit]];
        HashItem before = region;
        _dword offset = region.chunkOffset;
        region.chunkOffset += chunkLength;
        region.chunkLength -= chunkLength;
        if (!WriteItem(mFree[fit])) {
            region = before;
            return Allocation{slot, 0, false};
        }
        return Allocation{slot, offset, false};
    }
    if (small == _NONE)
        return none;
    // No slot left: the smallest region's item describes the new chunk, which goes at the
    // end of the file; the region's space is lost until the archive is rebuilt.
    _dword index = mFree[small];
    const HashItem& region = mItems[index];
    PrintBoth(u"[RM] Qod leaks at %d - %d, new item at %d - %d", int(region.chunkOffset), int(region.chunkLength),
              int(mFileLength), int(chunkLength));
    mFree.Remove(small);
    return Allocation{index, 0, false};
}

// Inserts the region item into the ordered list, merging with the neighbours. Affected
// items are listed in the order they must reach the file: the freed item first, then an
// absorbed neighbour, then the grown region, so a kill between two writes can lose space
// but never leave a free region over live data.
bool HashArchive::InsertFreeRegion(_dword index, bool opening, Array<_dword>& affected) {
    HashItem& item = mItems[index];
    _dword o = item.chunkOffset;
    _qword end = _qword(o) + item.chunkLength;
    // First region starting after o.
    _dword lo = 0, hi = mFree.Count();
    while (lo < hi) {
        _dword mid = (lo + hi) / 2;
        if (mItems[mFree[mid]].chunkOffset <= o)
            lo = mid + 1;
        else
            hi = mid;
    }
    _dword pos = lo;
    HashItem* prev = pos > 0 ? &mItems[mFree[pos - 1]] : nullptr;
    HashItem* next = pos < mFree.Count() ? &mItems[mFree[pos]] : nullptr;
    _qword prevEnd = prev != nullptr ? _qword(prev->chunkOffset) + prev->chunkLength : 0;
    if ((prev != nullptr && prevEnd > o) || (next != nullptr && next->chunkOffset < end)) {
        // Overlapping space is never handed out twice; the item is forgotten.
        item = HashItem();
        affected.Append(index);
        if (!opening)
            PrintBoth(u"[RM] Free region at 0x%x overlaps another and is dropped: %ls", o, mPath.Text());
        return false;
    }
    if (prev != nullptr && prevEnd == o) {
        _dword prevIndex = mFree[pos - 1];
        prev->chunkLength += item.chunkLength;
        item = HashItem();
        affected.Append(index);
        if (next != nullptr && next->chunkOffset == _qword(prev->chunkOffset) + prev->chunkLength) {
            _dword nextIndex = mFree[pos];
            prev->chunkLength += next->chunkLength;
            *next = HashItem();
            mFree.Remove(pos);
            affected.Append(nextIndex);
        }
        affected.Append(prevIndex);
        return true;
    }
    if (next != nullptr && next->chunkOffset == end) {
        next->chunkOffset = o;
        next->chunkLength += item.chunkLength;
        item = HashItem();
        affected.Append(index);
        affected.Append(mFree[pos]);
        return true;
    }
    mFree.Insert(pos, index);
    affected.Append(index);
    return true;
}

// Frees a writable item's chunk and writes every affected item; the file is cut when the
// last region ends at its end.
bool HashArchive::FreeChunk(_dword index) {
    HashItem& item = mItems[index];
    _dword offset = item.chunkOffset, length = item.chunkLength;
    item = HashItem();
    item.chunkOffset = offset;
    item.chunkLength = length;
    Array<_dword> affected;
    InsertFreeRegion(index, false, affected);
    _qword cutAt = 0;
    if (Check(mFree.Count() > 0, u"mFreeItems.Length( ) > 0")) {
        _dword lastIndex = mFree[mFree.Count() - 1];
        HashItem& last = mItems[lastIndex];
        _qword lastEnd = _qword(last.chunkOffset) + last.chunkLength;
        Check(lastEnd <= mFileLength, u"lastitem->mChunkOffset + lastitem->mChunkLength <= filelength");
        if (lastEnd == mFileLength) {
            cutAt = last.chunkOffset;
            last = HashItem();
            mFree.Remove(mFree.Count() - 1);
            affected.Append(lastIndex);
        }
    }
    bool ok = true;
    for (_dword k = 0; k < affected.Count(); k++)
        ok = WriteItem(affected[k]) && ok;
    if (cutAt != 0 && ok) {
        if (mFile.SetSize(cutAt))
            mFileLength = cutAt;
        else
            ok = false;
    }
    return ok;
}

// ---- writing and deleting

// Writes the chunk and then its item; only a committed item makes the chunk reachable.
bool HashArchive::WriteEntry(const NameKey& key, const char16_t* name, const void* bytes, _dword length,
                             const Md5Digest& checksum, _dword magic, bool scrambled, _dword& index) {
    if (length > _MAX_CHUNK_END - _CHUNK_HEADER_SIZE) {
        PrintBoth(u"[RM] Resource of %u bytes is too large for %ls: %ls", length, mPath.Text(), name);
        return false;
    }
    _dword chunkLength = length + _CHUNK_HEADER_SIZE;
    Allocation slot = AllocateSlot(chunkLength);
    if (slot.index == _NONE) {
        PrintLine(u"[RM] Free item not found: %ls", name);
        return false;
    }
    _dword offset = slot.chunkOffset;
    if (offset == 0) {
        if (mFileLength + chunkLength > _MAX_CHUNK_END) {
            PrintBoth(u"[RM] Archive %ls would pass 4 GiB, resource not written: %ls", mPath.Text(), name);
            if (mItems[slot.index].IsFreeRegion()) {
                Array<_dword> unused;
                InsertFreeRegion(slot.index, true, unused);
            }
            return false;
        }
        offset = _dword(mFileLength);
    }

    HashItem item;
    item.magic = magic;
    item.chunkOffset = offset;
    item.chunkLength = chunkLength;
    item.dataOffset = offset + _CHUNK_HEADER_SIZE;
    item.dataLength = length;
    item.compressed = IsCompressedBlock(bytes, length) ? 1 : 0;
    item.scrambled = scrambled ? 1 : 0;
    item.key[0] = key.word[0];
    item.key[1] = key.word[1];
    item.key[2] = key.word[2];
    item.checksum = checksum;

    _byte header[_CHUNK_HEADER_SIZE] = {};
    PutU32(header, _CHUNK_USE_CODE);
    PutU32(header + 4, chunkLength);
    bool ok = true;
    if (!mFile.Seek(offset) || !mFile.Write(header, sizeof(header))) {
        PrintLine(u"[RM] Writing chunk header failed: %ls", name);
        ok = false;
    } else if (length > 0 && !mFile.Write(bytes, length)) {
        PrintLine(u"[RM] Writing resource failed: %ls", name);
        ok = false;
    }
    if (offset == _dword(mFileLength) || _qword(offset) + chunkLength > mFileLength)
        mFileLength = mFile.Size();
    if (ok) {
        HashItem previous = mItems[slot.index];
        mItems[slot.index] = item;
        if (!WriteItem(slot.index)) {
            PrintLine(u"[RM] Write file item fail in hash archive: %ls", name);
            mItems[slot.index] = previous;
            ok = false;
        }
    }
    if (!ok) {
        // A region taken whole is still a region on disk; anything else is lost space.
        if (slot.fromRegion) {
            Array<_dword> unused;
            InsertFreeRegion(slot.index, true, unused);
        } else if (mItems[slot.index].IsFreeRegion()) {
            mItems[slot.index] = HashItem();
        }
        return false;
    }
    index = slot.index;
    return true;
}

// Removes every entry of the key but keepRef: base entries are hidden by a deletion marker,
// writable ones freed.
bool HashArchive::RemoveEntries(const NameKey& key, const char16_t* name, _dword keepRef) {
    bool ok = true;
    for (;;) {
        _dword ref = FirstRef(key);
        while (ref != _NONE && ref == keepRef)
            ref = NextOf(ref);
        if (ref == _NONE)
            return ok;
        MapRemove(key, ref);
        if (ref & _BASE_REF) {
            Md5Digest checksum = ItemOf(ref).checksum;
            _dword marker;
            ok = WriteEntry(key, name, nullptr, 0, checksum, _CHUNK_DEL_CODE, false, marker) && ok;
        } else {
            ok = FreeChunk(ref) && ok;
        }
    }
}

bool HashArchive::WriteRaw(const char16_t* name, const void* bytes, _dword length, const Md5Digest& checksum,
                           bool scrambled) {
    ArchiveLock hold(mLock);
    NameKey key = ComputeNameKey(name);
    // The old version is freed only after the new one is committed, so a replace needs an
    // empty slot even where deleting first would have made one: a full table grows.
    if (FirstRef(key) != _NONE && !HasEmptySlot() && !GrowForReplace(name))
        return false;
    _dword index;
    if (!WriteEntry(key, NonNull(name), bytes, length, checksum, _CHUNK_USE_CODE, scrambled, index))
        return false;
    // The old version goes only now that the new one is in the file.
    if (!RemoveEntries(key, NonNull(name), index))
        PrintLine(u"[RM] Old version not removed: %ls", NonNull(name));
    MapPrepend(key, index);
    return true;
}

bool HashArchive::WriteDeletionMarker(const char16_t* name, const Md5Digest& checksum) {
    ArchiveLock hold(mLock);
    _dword index;
    return WriteEntry(ComputeNameKey(name), NonNull(name), nullptr, 0, checksum, _CHUNK_DEL_CODE, false, index);
}

bool HashArchive::WriteResource(const char16_t* name, const void* bytes, _dword length, const Md5Digest& checksum) {
    return WriteRaw(name, bytes, length, checksum, false);
}

bool HashArchive::DeleteResource(const char16_t* name) {
    ArchiveLock hold(mLock);
    NameKey key = ComputeNameKey(name);
    if (FirstRef(key) == _NONE)
        return false;
    return RemoveEntries(key, NonNull(name), _NONE);
}

// ---- reading

bool HashArchive::FindItem(const char16_t* name, HashItem& item) {
    ArchiveLock hold(mLock);
    _dword ref = FirstRef(ComputeNameKey(name));
    if (ref == _NONE)
        return false;
    item = ItemOf(ref);
    return true;
}

IDataStream* HashArchive::OpenStream(const char16_t* name) {
    ArchiveLock hold(mLock);
    _dword ref = FirstRef(ComputeNameKey(name));
    if (ref == _NONE)
        return nullptr;
    if (logMainThreadLoads && IsMainThread())
        PrintLine(u"[RM] Load resource in main thread : %ls", NonNull(name));
    const HashItem& item = ItemOf(ref);
    File* file = (ref & _BASE_REF) ? &mBaseFile : &mFile;
    return new PackStream(mLock, Path::JoinPath(mName, NormalName(name)), file, item.dataOffset,
                          int(item.dataLength), item.checksum, item.scrambled != 0);
}

bool HashArchive::GetResourceInfo(const char16_t* name, _dword& length, Md5Digest& checksum) {
    HashItem item;
    if (!FindItem(name, item))
        return false;
    length = item.dataLength;
    checksum = item.checksum;
    return true;
}

bool HashArchive::HasResource(const char16_t* name) {
    ArchiveLock hold(mLock);
    return FirstRef(ComputeNameKey(name)) != _NONE;
}

int HashArchive::Enumerate(EnumerateCallback callback, void* arg1, void* arg2) {
    ArchiveLock hold(mLock);
    int count = 0;
    for (auto* node = mMap->First(); node != nullptr; node = Hash<NameKey, _dword>::Next(node)) {
        for (_dword ref = node->value; ref != _NONE; ref = NextOf(ref)) {
            if (callback != nullptr && !callback(NameKeyText(node->key), arg1, arg2))
                return -1;
            count++;
        }
    }
    return count;
}

void HashArchive::SetVersion(_dword version) {
    ArchiveLock hold(mLock);
    mVersion = version;
    if (!mFile.IsOpen() || !mWritable)
        return;
    _qword saved = mFile.Tell();
    _byte bytes[4];
    PutU32(bytes, version);
    if (!mFile.Seek(_qword(mStartOffset) + 8) || !mFile.Write(bytes, 4))
        PrintLine(u"[RM] Write version failed: %ls", mPath.Text());
    mFile.Seek(saved);
}

} // namespace Volux
