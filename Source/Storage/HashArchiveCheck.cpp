#include "Storage/HashArchiveCheck.h"

#include <algorithm>
#include <cstring>

#include "Common/LittleEndian.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Storage/HashArchive.h"

namespace Volux {

namespace {

struct Span {
    _qword start;
    _qword end;
    _dword item;  // _NONE_ITEM for the header and block tables
};
constexpr _dword _NONE_ITEM = 0xFFFFFFFFu;

// Every item of the file as stored, with the spans the header and tables take.
bool ReadTable(File& file, const char16_t* path, Array<HashItem>& items, Array<Span>& spans, _dword& version,
               ArchiveCheckReport& report) {
    _qword length = file.Size();
    report.fileLength = length;
    _byte header[_HASH_HEADER_SIZE];
    if (length < _HASH_HEADER_SIZE || !file.Read(header, sizeof(header))) {
        report.problems.Append(Format(u"%ls: too short for a hash archive", path));
        return false;
    }
    if (ReadU32LE(header) != _HASH_MAGIC || ReadU32LE(header + 4) != 1) {
        report.problems.Append(Format(u"%ls: not a hash archive (magic 0x%x, token version 0x%x)", path,
                                      ReadU32LE(header), ReadU32LE(header + 4)));
        return false;
    }
    version = ReadU32LE(header + 8);
    _qword next = _qword(ReadU32LE(header + 28)) | (_qword(ReadU32LE(header + 32)) << 32);
    _dword count = ReadU32LE(header + 36);
    _qword position = _HASH_HEADER_SIZE;
    spans.Append(Span{0, _HASH_HEADER_SIZE, _NONE_ITEM});
    for (;;) {
        if (position > length || count > (length - position) / _ITEM_SIZE ||
            items.Count() + _qword(count) > _MAX_ITEM_COUNT) {
            report.problems.Append(Format(u"item block at 0x%llx: %u items do not fit in the file", position, count));
            return false;
        }
        report.blocks++;
        spans.Append(Span{position, position + _qword(count) * _ITEM_SIZE, _NONE_ITEM});
        Array<_byte> bytes;
        _byte item[_ITEM_SIZE];
        if (!file.Seek(position)) {
            report.problems.Append(Format(u"item block at 0x%llx cannot be read", position));
            return false;
        }
        for (_dword i = 0; i < count; i++) {
            if (!file.Read(item, _ITEM_SIZE)) {
                report.problems.Append(Format(u"item block at 0x%llx cannot be read", position));
                return false;
            }
            HashItem decoded;
            DecodeItem(item, i, decoded);
            items.Append(decoded);
        }
        if (next == 0)
            break;
        _qword itemsEnd = position + _qword(count) * _ITEM_SIZE;
        _byte blockHeader[_ITEM_BLOCK_HEADER_SIZE];
        if (next < itemsEnd || next > length || length - next < _ITEM_BLOCK_HEADER_SIZE || !file.Seek(next) ||
            !file.Read(blockHeader, sizeof(blockHeader))) {
            report.problems.Append(Format(u"item block chain broken at 0x%llx", next));
            return false;
        }
        spans.Append(Span{next, next + _ITEM_BLOCK_HEADER_SIZE, _NONE_ITEM});
        position = next + _ITEM_BLOCK_HEADER_SIZE;
        next = _qword(ReadU32LE(blockHeader)) | (_qword(ReadU32LE(blockHeader + 4)) << 32);
        count = ReadU32LE(blockHeader + 8);
    }
    report.items = items.Count();
    return true;
}

WString KeyOf(const HashItem& item) { return NameKeyText(item.Key()); }

} // namespace

bool CheckHashArchive(const char16_t* path, ArchiveCheckReport& report) {
    report = ArchiveCheckReport();
    File file;
    if (!file.Open(path, File::_READ)) {
        report.problems.Append(Format(u"%ls cannot be opened", NonNull(path)));
        return false;
    }
    Array<HashItem> items;
    Array<Span> spans;
    _dword version = 0;
    if (!ReadTable(file, NonNull(path), items, spans, version, report))
        return false;
    _qword length = report.fileLength;
    Array<_byte> data;
    for (_dword i = 0; i < items.Count(); i++) {
        const HashItem& item = items[i];
        if (!item.HasChunk())
            continue;
        _qword end = _qword(item.chunkOffset) + item.chunkLength;
        if (item.magic == _CHUNK_USE_CODE)
            report.resources++;
        else if (item.magic == _CHUNK_DEL_CODE)
            report.markers++;
        else if (item.magic == 0) {
            report.freeRegions++;
            report.freeBytes += item.chunkLength;
        } else {
            report.problems.Append(Format(u"item %u: unknown magic 0x%x", i, item.magic));
            continue;
        }
        if (end > length || item.chunkLength < (item.magic == 0 ? 1u : _CHUNK_HEADER_SIZE)) {
            report.problems.Append(Format(u"item %u (%ls): chunk 0x%x + %u passes the end of the file (%llu bytes)", i,
                                          KeyOf(item).Text(), item.chunkOffset, item.chunkLength, length));
            continue;
        }
        spans.Append(Span{item.chunkOffset, end, i});
        if (item.magic == 0)
            continue;
        _byte chunkHeader[_CHUNK_HEADER_SIZE];
        if (!file.Seek(item.chunkOffset) || !file.Read(chunkHeader, sizeof(chunkHeader)) ||
            ReadU32LE(chunkHeader) != _CHUNK_USE_CODE || ReadU32LE(chunkHeader + 4) != item.chunkLength) {
            report.problems.Append(Format(u"item %u (%ls): no chunk header at 0x%x", i, KeyOf(item).Text(),
                                          item.chunkOffset));
            continue;
        }
        if (item.dataLength + _CHUNK_HEADER_SIZE != item.chunkLength || item.dataOffset != item.chunkOffset + 16) {
            report.problems.Append(Format(u"item %u (%ls): data 0x%x + %u does not match its chunk", i,
                                          KeyOf(item).Text(), item.dataOffset, item.dataLength));
            continue;
        }
        if (item.magic != _CHUNK_USE_CODE || item.checksum.IsZero())
            continue;
        // The checksum is of the bytes as stored; scrambled data is checked as it lies.
        Md5 digest;
        _byte piece[65536];
        _dword left = item.dataLength;
        bool read = file.Seek(item.dataOffset);
        while (read && left > 0) {
            _dword n = std::min<_dword>(left, sizeof(piece));
            read = file.Read(piece, n);
            digest.Update(piece, n);
            left -= n;
        }
        if (!read)
            report.problems.Append(Format(u"item %u (%ls): data cannot be read", i, KeyOf(item).Text()));
        else if (digest.Final() != item.checksum)
            report.problems.Append(Format(u"item %u (%ls): checksum mismatch", i, KeyOf(item).Text()));
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    _qword covered = 0;
    _dword owner = _NONE_ITEM;
    for (const Span& span : spans) {
        if (span.start < covered) {
            report.problems.Append(Format(u"%ls overlaps %ls at 0x%llx",
                                          span.item == _NONE_ITEM ? u"item table" : Format(u"item %u", span.item).Text(),
                                          owner == _NONE_ITEM ? u"the item table" : Format(u"item %u", owner).Text(),
                                          span.start));
        } else {
            report.lostBytes += span.start - covered;
        }
        if (span.end > covered) {
            covered = span.end;
            owner = span.item;
        }
    }
    if (length > covered)
        report.lostBytes += length - covered;
    return true;
}

bool CompactHashArchive(const char16_t* from, const char16_t* to, _dword spare) {
    ArchiveCheckReport report;
    File file;
    if (!file.Open(from, File::_READ))
        return false;
    Array<HashItem> items;
    Array<Span> spans;
    _dword version = 0;
    if (!ReadTable(file, NonNull(from), items, spans, version, report))
        return false;
    _dword kept = 0;
    for (const HashItem& item : items)
        kept += (item.HasChunk() && (item.magic == _CHUNK_USE_CODE || item.magic == _CHUNK_DEL_CODE)) ? 1 : 0;
    CriticalSection lock;
    HashArchive out(&lock, u"");
    if (_qword(kept) + spare > _MAX_ITEM_COUNT || !out.Create(to, kept + spare))
        return false;
    out.SetVersion(version);
    Array<_byte> data;
    for (const HashItem& item : items) {
        if (!item.HasChunk() || _qword(item.dataOffset) + item.dataLength > report.fileLength)
            continue;
        WString key = KeyOf(item);
        if (item.magic == _CHUNK_DEL_CODE) {
            if (!out.WriteDeletionMarker(key, item.checksum))
                return false;
        } else if (item.magic == _CHUNK_USE_CODE) {
            data.Clear();
            for (_dword k = 0; k < item.dataLength; k++)
                data.Append(0);
            if (!file.Seek(item.dataOffset) || (item.dataLength > 0 && !file.Read(data.begin(), item.dataLength)))
                return false;
            if (!out.WriteRaw(key, data.begin(), item.dataLength, item.checksum, item.scrambled != 0))
                return false;
        }
    }
    return true;
}

} // namespace Volux
