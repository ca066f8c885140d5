// ZIP reading: local file headers walked from the start, as a packer writes them.
//
//   local file header (30 bytes): 0 signature 50 4B 03 04, 4 version, 6 flags, 8 method
//   (0 stored, 8 deflate), 10 time, 12 date, 14 CRC-32, 18 packed size, 22 unpacked size,
//   26 name length, 28 extra length; then name, extra field and the packed data.
//   The walk ends at the first central directory header (50 4B 01 02).
#include "Storage/MemArchive.h"

#include <zlib.h>

#include <cstring>

#include "Common/Compression.h"
#include "Common/LittleEndian.h"
#include "Common/Memory.h"
#include "Common/StringEncoding.h"
#include "Platform/File.h"

namespace Volux {

namespace {

constexpr _dword _LOCAL_HEADER = 0x04034B50;
constexpr _dword _CENTRAL_HEADER = 0x02014B50;
constexpr _dword _LOCAL_HEADER_SIZE = 30;
// Deflate cannot expand data more than about 1032 times; a larger claim is a lie and is
// refused before the output is allocated.
constexpr _qword _MAX_DEFLATE_RATIO = 1032;

bool InflateRaw(const _byte* packed, _dword packedSize, _byte* out, _dword outSize) {
    z_stream stream = {};
    if (inflateInit2(&stream, -15) != Z_OK)
        return false;
    stream.next_in = const_cast<_byte*>(packed);
    stream.avail_in = packedSize;
    stream.next_out = out;
    stream.avail_out = outSize;
    int result = inflate(&stream, Z_FINISH);
    bool ok = result == Z_STREAM_END && stream.total_out == outSize;
    inflateEnd(&stream);
    return ok;
}

} // namespace

ZipArchive::ZipArchive(CriticalSection* lock, const char16_t* name, const char16_t* source)
    : MemArchive(lock, name, nullptr) {
    // The source filters entries here; it is not a default extension.
    mSource = NonNull(source);
    mNamedByArchive = false;
}

bool ZipArchive::OpenFile(const char16_t* path) {
    ByteBuffer bytes;
    if (!FileSystem::ReadFile(path, bytes))
        return false;
    return Open(bytes.data, bytes.size);
}

bool ZipArchive::Open(const void* data, _dword length) {
    const _byte* p = static_cast<const _byte*>(data);
    if (p == nullptr || length <= _LOCAL_HEADER_SIZE)
        return false;
    // The filter is applied by hand, so stores below must not add an extension.
    WString filter = mSource;
    mSource = u"";
    bool ok = true;
    _dword at = 0;
    while (ok && length - at >= _LOCAL_HEADER_SIZE) {
        const _byte* header = p + at;
        _dword signature = ReadU32LE(header);
        if (signature == _CENTRAL_HEADER)
            break;
        _word flags = ReadU16LE(header + 6), method = ReadU16LE(header + 8);
        if (signature != _LOCAL_HEADER || (flags & 0x80) != 0 || (method != 0 && method != 8)) {
            ok = false;
            break;
        }
        _dword crc = ReadU32LE(header + 14), packedSize = ReadU32LE(header + 18), size = ReadU32LE(header + 22);
        _dword nameLength = ReadU16LE(header + 26), extraLength = ReadU16LE(header + 28);
        _qword dataAt = _qword(at) + _LOCAL_HEADER_SIZE + nameLength + extraLength;
        if (dataAt > length || packedSize > length - dataAt) {
            ok = false;
            break;
        }
        // Names are 8-bit; the system code page reads them as the packer wrote them.
        const char* nameBytes = reinterpret_cast<const char*>(header + _LOCAL_HEADER_SIZE);
        WString name;
        if (nameLength > 0) {
            char16_t* wide = AnsiToWide(nullptr, 0, nameBytes, int(nameLength));
            name = NonNull(wide);
            MemFree(wide);
        }
        const _byte* packed = p + dataAt;
        at = _dword(dataAt + packedSize);

        bool folder = nameLength > 0 && (nameBytes[nameLength - 1] == '/' || nameBytes[nameLength - 1] == '\\');
        if (folder || (!filter.IsEmpty() && Path::FileExtension(name).Compare(filter, false) != 0))
            continue;
        if (method == 0 && packedSize != size) {
            ok = false;
            break;
        }
        if (size > _MAX_UNPACKED_SIZE || (method == 8 && _qword(size) > _qword(packedSize) * _MAX_DEFLATE_RATIO + 64)) {
            ok = false;
            break;
        }
        _byte* unpacked = nullptr;
        if (method == 8 && size > 0) {
            unpacked = static_cast<_byte*>(MemAlloc(size));
            if (unpacked == nullptr || !InflateRaw(packed, packedSize, unpacked, size)) {
                MemFree(unpacked);
                ok = false;
                break;
            }
        }
        const _byte* bytes = method == 8 ? unpacked : packed;
        _dword check = _dword(crc32(0L, Z_NULL, 0));
        if (size > 0)
            check = _dword(crc32(check, bytes, size));
        Md5Digest checksum;
        for (int i = 0; i < 4; i++)
            checksum.bytes[i] = _byte(check >> (8 * i));
        ok = check == crc && WriteResource(name, bytes, size, checksum);
        MemFree(unpacked);
    }
    mSource = filter;
    return ok;
}

} // namespace Volux
