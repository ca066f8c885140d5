// Packing and unpacking of compressed blocks (layout in Common/Compression.h) with the
// LZMA SDK and zlib. Every header field is untrusted: sizes are checked against the ceilings
// of the header before anything is allocated, and a block must deliver exactly the size it
// promises.
#include "Common/Compression.h"

#include <cstring>

#include "Common/Log.h"
#include "Common/Memory.h"

extern "C" {
#include "LzmaDec.h"
#include "LzmaEnc.h"
}
#include <zlib.h>

namespace Volux {

namespace {

const char16_t* const _SOURCE = u"Common/Compression";
const _byte _MAGIC[8] = {0xF7, 0xF4, 0xE4, 0xC8, 0xCA, 0xD7, 0xD5, 0xC2};
const _byte _ZLIB_CODEC_AREA[8] = {0xD4, 0xD4, 0xC2, 0xC3, 0xE1, 0xCE, 0xCB, 0xC2};
constexpr int _CODEC_BYTE = 15;
constexpr int _SIZE_OFFSET = 16;

// Packer settings; stored blocks carry the resulting property bytes, so they must not change.
constexpr int _LZMA_LEVEL = 9;
constexpr _dword _LZMA_DICTIONARY = 0x1000000;

void* LzmaAlloc(void*, size_t size) { return MemAlloc(size); }
void LzmaFree(void*, void* address) { MemFree(address); }
ISzAlloc _LZMA_ALLOCATOR = {LzmaAlloc, LzmaFree};

voidpf ZlibAlloc(voidpf, uInt items, uInt size) {
    // zlib sizes are small structure counts; the product cannot overflow size_t here.
    return MemAlloc(size_t(items) * size);
}
void ZlibFree(voidpf, voidpf address) { MemFree(address); }

_dword LoadLittle(const _byte* p) {
    return _dword(p[0]) | (_dword(p[1]) << 8) | (_dword(p[2]) << 16) | (_dword(p[3]) << 24);
}

void StoreLittle(_byte* p, _dword value) {
    for (int i = 0; i < 4; i++)
        p[i] = _byte(value >> (8 * i));
}

bool IsLzmaHeader(const _byte* header) { return header[_CODEC_BYTE] == 0; }

// Refuses properties whose dictionary the decoder should not be asked to allocate.
bool CheckLzmaProps(const _byte* props) {
    _dword dictionary = LoadLittle(props + 1);
    if (dictionary > _MAX_LZMA_DICTIONARY) {
        PrintBoth(u"[FG] Decompress(7z) Dictionary %u exceeds %u", dictionary, _MAX_LZMA_DICTIONARY);
        return false;
    }
    return true;
}

// Repeats reads until length bytes arrived; false on a failed read or an early end.
bool ReadFully(StreamReadFunc readfunc, void* readdata, _byte* buffer, _dword length) {
    while (length > 0) {
        _dword count = length;
        if (!readfunc(readdata, buffer, &count) || count == 0 || count > length)
            return false;
        buffer += count;
        length -= count;
    }
    return true;
}

bool WriteFully(StreamWriteFunc writefunc, void* writedata, const _byte* buffer, _dword length) {
    if (length == 0)
        return true;
    _dword count = length;
    if (!writefunc(writedata, buffer, &count) || count != length) {
        PrintBoth(u"[FG] UnpackStream Write Error");
        return false;
    }
    return true;
}

// The stream decoders share this shape: read chunks of input until the codec is done or the
// input ends, never passing on more than `remaining` bytes.
struct StreamJob {
    StreamReadFunc readfunc;
    void* readdata;
    StreamWriteFunc writefunc;
    void* writedata;
    _dword remaining;  // bytes the header still promises
    _byte* input;      // _STREAM_CHUNK bytes
};

// Reads the next input chunk; -1 on a failed read, else the count (0 = end of input).
long long ReadChunk(StreamJob& job) {
    _dword count = _STREAM_CHUNK;
    if (!job.readfunc(job.readdata, job.input, &count) || count > _STREAM_CHUNK) {
        PrintBoth(u"[FG] UnpackStream Read Error");
        return -1;
    }
    return count;
}

bool FinishedShort(const char16_t* codec, _dword remaining) {
    PrintBoth(u"[FG] UnpackStream(%ls) Input ended %u bytes short", codec, remaining);
    return false;
}

// The dictionary doubles as the output buffer: each step decodes at most one chunk into it
// and passes that range on, so no second copy is made.
bool UnpackLzmaStream(StreamJob& job, const _byte* props) {
    if (!CheckLzmaProps(props))
        return false;
    CLzmaDec decoder;
    LzmaDec_Construct(&decoder);
    SRes result = LzmaDec_AllocateProbs(&decoder, props, _LZMA_PROPS_SIZE, &_LZMA_ALLOCATOR);
    if (result != SZ_OK) {
        PrintBoth(u"[FG] Decompress(7z) Error Code : %d", int(result));
        return false;
    }
    // A block smaller than its dictionary never reaches back further than its own start, so
    // a dictionary of the block's size suffices (no wrap happens before the last byte).
    _dword dictionary = decoder.prop.dicSize;
    if (dictionary > job.remaining)
        dictionary = job.remaining;
    if (dictionary < _STREAM_CHUNK)
        dictionary = _STREAM_CHUNK;
    decoder.dic = static_cast<Byte*>(MemAlloc(dictionary));
    decoder.dicBufSize = dictionary;
    if (decoder.dic == nullptr) {
        LzmaDec_FreeProbs(&decoder, &_LZMA_ALLOCATOR);
        return false;
    }
    LzmaDec_Init(&decoder);

    bool ok = false;
    bool done = false;
    while (!done) {
        long long inSize = ReadChunk(job);
        if (inSize < 0)
            break;
        if (inSize == 0) {
            // Every promised byte was passed on; only trailing flush bytes may be missing.
            ok = job.remaining == 0 || FinishedShort(u"7z", job.remaining);
            break;
        }
        size_t inPos = 0;
        bool failed = false;
        for (;;) {
            if (decoder.dicPos == decoder.dicBufSize)
                decoder.dicPos = 0;
            size_t start = decoder.dicPos;
            size_t step = decoder.dicBufSize - start;
            if (step > _STREAM_CHUNK)
                step = _STREAM_CHUNK;
            // At the promised end the decoder must confirm the stream ends there, so a
            // stream that goes on is an error rather than silently cut.
            ELzmaFinishMode finish = LZMA_FINISH_ANY;
            if (job.remaining <= step) {
                step = job.remaining;
                finish = LZMA_FINISH_END;
            }
            SizeT inLength = SizeT(inSize) - inPos;
            ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
            result = LzmaDec_DecodeToDic(&decoder, start + step, job.input + inPos, &inLength, finish, &status);
            inPos += inLength;
            size_t produced = decoder.dicPos - start;
            job.remaining -= _dword(produced);
            if (!WriteFully(job.writefunc, job.writedata, decoder.dic + start, _dword(produced))) {
                failed = true;
                break;
            }
            if (result != SZ_OK) {
                PrintBoth(u"[FG] Decompress(7z) Error Code : %d", int(result));
                failed = true;
                break;
            }
            if (status == LZMA_STATUS_FINISHED_WITH_MARK || status == LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK) {
                if (job.remaining == 0) {
                    ok = true;
                    done = true;
                    break;
                }
                if (status == LZMA_STATUS_FINISHED_WITH_MARK) {
                    FinishedShort(u"7z", job.remaining);
                    failed = true;
                    break;
                }
            }
            if (status == LZMA_STATUS_NEEDS_MORE_INPUT)
                break;
            if (produced == 0 && inLength == 0) {
                if (size_t(inSize) == inPos)
                    break;
                // Skipping the unread input would corrupt the output silently.
                PrintBoth(u"[FG] Decompress(7z) Decoder made no progress");
                failed = true;
                break;
            }
        }
        if (failed)
            break;
    }
    MemFree(decoder.dic);
    decoder.dic = nullptr;
    LzmaDec_FreeProbs(&decoder, &_LZMA_ALLOCATOR);
    return ok;
}

bool UnpackZlibStream(StreamJob& job) {
    _byte* output = static_cast<_byte*>(MemAlloc(_STREAM_CHUNK));
    if (output == nullptr)
        return false;
    z_stream stream;
    memset(&stream, 0, sizeof(stream));
    stream.zalloc = ZlibAlloc;
    stream.zfree = ZlibFree;
    int code = inflateInit(&stream);
    if (code != Z_OK) {
        PrintBoth(u"[FG] Decompress(Zip) Error Code : %d", code);
        MemFree(output);
        return false;
    }
    bool ended = false;
    bool failed = false;
    while (!ended && !failed) {
        long long inSize = ReadChunk(job);
        if (inSize <= 0) {
            failed = inSize < 0;
            break;
        }
        stream.next_in = job.input;
        stream.avail_in = uInt(inSize);
        do {
            stream.next_out = output;
            stream.avail_out = _STREAM_CHUNK;
            code = inflate(&stream, Z_NO_FLUSH);
            if (code != Z_OK && code != Z_STREAM_END && code != Z_BUF_ERROR) {
                PrintBoth(u"[FG] Decompress(Zip) Error Code : %d", code);
                failed = true;
                break;
            }
            _dword produced = _STREAM_CHUNK - stream.avail_out;
            if (produced > job.remaining) {
                PrintBoth(u"[FG] UnpackStream(Zip) More data than the promised size");
                failed = true;
                break;
            }
            job.remaining -= produced;
            if (!WriteFully(job.writefunc, job.writedata, output, produced)) {
                failed = true;
                break;
            }
            ended = code == Z_STREAM_END;
        } while (!ended && stream.avail_out == 0);
    }
    inflateEnd(&stream);
    MemFree(output);
    if (failed)
        return false;
    // The stream's own end (with its checksum) must arrive, and with it every promised byte.
    if (!ended || job.remaining != 0)
        return FinishedShort(u"Zip", job.remaining);
    return true;
}

} // namespace

bool IsCompressedBlock(const void* bytes, size_t length) {
    return bytes != nullptr && length > 19 && memcmp(bytes, _MAGIC, sizeof(_MAGIC)) == 0;
}

bool Compress(void* dest, size_t& destLength, const void* src, size_t srcLength, _byte* propsOut, bool useLzma) {
    if (useLzma) {
        CLzmaEncProps props;
        LzmaEncProps_Init(&props);
        props.level = _LZMA_LEVEL;
        props.dictSize = _LZMA_DICTIONARY;
        props.lc = 3;
        props.lp = 0;
        props.pb = 2;
        props.fb = 32;
        props.numThreads = 1;
        SizeT outLength = destLength;
        SizeT propsSize = _LZMA_PROPS_SIZE;
        _byte encodedProps[_LZMA_PROPS_SIZE] = {};
        SRes result = LzmaEncode(static_cast<Byte*>(dest), &outLength, static_cast<const Byte*>(src), srcLength,
                                 &props, encodedProps, &propsSize, 0, nullptr, &_LZMA_ALLOCATOR, &_LZMA_ALLOCATOR);
        if (result != SZ_OK) {
            PrintBoth(u"[FG] Compress(7z) Error Code : %d", int(result));
            return false;
        }
        if (propsOut != nullptr)
            memcpy(propsOut, encodedProps, _LZMA_PROPS_SIZE);
        destLength = outLength;
        return true;
    }
    // zlib counts in uLong, which is 32 bits on Windows.
    if (srcLength > 0xFFFFFFFFu || destLength > 0xFFFFFFFFu) {
        PrintBoth(u"[FG] Compress(Zip) Error Code : %d", Z_BUF_ERROR);
        return false;
    }
    uLongf outLength = uLongf(destLength);
    int code = compress(static_cast<Bytef*>(dest), &outLength, static_cast<const Bytef*>(src), uLong(srcLength));
    if (code != Z_OK) {
        PrintBoth(u"[FG] Compress(Zip) Error Code : %d", code);
        return false;
    }
    destLength = outLength;
    return true;
}

bool Decompress(void* dest, size_t& destLength, const void* src, size_t srcLength, const _byte* props, bool useLzma) {
    if (useLzma) {
        if (props == nullptr || !CheckLzmaProps(props))
            return false;
        SizeT outLength = destLength;
        SizeT inLength = srcLength;
        ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
        // LZMA_FINISH_END: a stream that continues past the capacity is an error, not a cut.
        SRes result = LzmaDecode(static_cast<Byte*>(dest), &outLength, static_cast<const Byte*>(src), &inLength,
                                 props, _LZMA_PROPS_SIZE, LZMA_FINISH_END, &status, &_LZMA_ALLOCATOR);
        // A full output that lacks only the range coder's flush bytes is complete data.
        if (result == SZ_ERROR_INPUT_EOF && outLength == destLength)
            result = SZ_OK;
        if (result != SZ_OK) {
            PrintBoth(u"[FG] Decompress(7z) Error Code : %d", int(result));
            return false;
        }
        destLength = outLength;
        return true;
    }
    if (srcLength > 0xFFFFFFFFu || destLength > 0xFFFFFFFFu) {
        PrintBoth(u"[FG] Decompress(Zip) Error Code : %d", Z_BUF_ERROR);
        return false;
    }
    uLongf outLength = uLongf(destLength);
    int code = uncompress(static_cast<Bytef*>(dest), &outLength, static_cast<const Bytef*>(src), uLong(srcLength));
    if (code != Z_OK) {
        PrintBoth(u"[FG] Decompress(Zip) Error Code : %d", code);
        return false;
    }
    destLength = outLength;
    return true;
}

bool PackBuffer(ByteBuffer& buffer, bool useLzma) {
    if (IsCompressedBlock(buffer.data, buffer.size))
        return true;
    size_t length = buffer.size;
    size_t capacity = length + length / 3 + 128;
    _byte* block = static_cast<_byte*>(MemAlloc(_BLOCK_HEADER_SIZE + capacity));
    if (block == nullptr)
        return false;
    _byte props[_LZMA_PROPS_SIZE] = {};
    size_t packed = capacity;
    if (!Compress(block + _BLOCK_HEADER_SIZE, packed, buffer.data, length, props, useLzma)) {
        MemFree(block);
        return false;
    }
    memcpy(block, _MAGIC, sizeof(_MAGIC));
    if (useLzma) {
        memcpy(block + 8, props, _LZMA_PROPS_SIZE);
        memset(block + 8 + _LZMA_PROPS_SIZE, 0, 3);
    } else {
        memcpy(block + 8, _ZLIB_CODEC_AREA, sizeof(_ZLIB_CODEC_AREA));
    }
    StoreLittle(block + _SIZE_OFFSET, _dword(length));
    buffer.Reset();
    buffer.data = block;
    buffer.size = _dword(_BLOCK_HEADER_SIZE + packed);
    buffer.cursor = block;
    buffer.processed = true;
    return true;
}

bool UnpackBuffer(ByteBuffer& buffer) {
    if (!IsCompressedBlock(buffer.data, buffer.size))
        return true;
    const _byte* header = buffer.data;
    _dword unpackedSize = LoadLittle(header + _SIZE_OFFSET);
    if (unpackedSize == 0) {
        buffer.Reset();
        buffer.processed = true;
        return true;
    }
    // A header that promises bytes but carries no data is damaged, not empty.
    if (buffer.size <= _BLOCK_HEADER_SIZE) {
        PrintBoth(u"[FG] UnpackBuffer Block of %u bytes has no data", buffer.size);
        return false;
    }
    if (unpackedSize > _MAX_UNPACKED_SIZE) {
        PrintBoth(u"[FG] UnpackBuffer Unpacked size %u exceeds %u", unpackedSize, _MAX_UNPACKED_SIZE);
        return false;
    }
    bool lzma = IsLzmaHeader(header);
    if (lzma && !CheckLzmaProps(header + 8))
        return false;
    _byte* output = static_cast<_byte*>(MemAlloc(unpackedSize));
    if (output == nullptr)
        return false;
    size_t produced = unpackedSize;
    if (!Decompress(output, produced, header + _BLOCK_HEADER_SIZE, buffer.size - _BLOCK_HEADER_SIZE, header + 8, lzma)) {
        MemFree(output);
        return false;
    }
    if (produced != unpackedSize) {
        PrintBoth(u"[FG] UnpackBuffer Unpacked %u of %u bytes", _dword(produced), unpackedSize);
        MemFree(output);
        return false;
    }
    buffer.Reset();
    buffer.data = output;
    buffer.size = unpackedSize;
    buffer.cursor = output;
    buffer.processed = true;
    return true;
}

bool UnpackStream(StreamReadFunc readfunc, void* readdata, StreamWriteFunc writefunc, void* writedata) {
    if (!VOLUX_CHECK(_SOURCE, readfunc != _null) || !VOLUX_CHECK(_SOURCE, readdata != _null) ||
        !VOLUX_CHECK(_SOURCE, writefunc != _null) || !VOLUX_CHECK(_SOURCE, writedata != _null))
        return false;
    _byte header[_BLOCK_HEADER_SIZE];
    if (!ReadFully(readfunc, readdata, header, _BLOCK_HEADER_SIZE)) {
        PrintBoth(u"[FG] UnpackStream Header Read Error");
        return false;
    }
    if (!IsCompressedBlock(header, _BLOCK_HEADER_SIZE)) {
        PrintBoth(u"[FG] UnpackStream Not a compressed block");
        return false;
    }
    // As in UnpackBuffer, an empty block needs no codec.
    _dword unpackedSize = LoadLittle(header + _SIZE_OFFSET);
    if (unpackedSize == 0)
        return true;
    _byte* input = static_cast<_byte*>(MemAlloc(_STREAM_CHUNK));
    if (input == nullptr)
        return false;
    StreamJob job = {readfunc, readdata, writefunc, writedata, unpackedSize, input};
    bool ok = IsLzmaHeader(header) ? UnpackLzmaStream(job, header + 8) : UnpackZlibStream(job);
    MemFree(input);
    return ok;
}

} // namespace Volux
