// Compressed blocks: a 20-byte header followed by LZMA ("7z") or zlib ("Zip") data.
//
//   offset 0   8 bytes  magic F7 F4 E4 C8 CA D7 D5 C2
//   offset 8   8 bytes  codec area: LZMA = 5 property bytes + 3 zero bytes,
//                       zlib = D4 D4 C2 C3 E1 CE CB C2
//   offset 16  4 bytes  unpacked size, little-endian
//   offset 20  rest     LZMA stream without its own header, or a zlib stream
//
// Byte 15 chooses the codec: 0 is LZMA, anything else zlib. Failures are logged with "[FG]".
#pragma once

#include "Common/Base.h"
#include "Common/ByteBuffer.h"

namespace Volux {

constexpr _dword _BLOCK_HEADER_SIZE = 20;
constexpr int _LZMA_PROPS_SIZE = 5;
// UnpackBuffer allocates the unpacked size named by an untrusted header; larger resources
// must go through UnpackStream, which holds only fixed buffers. Far below the 2 GiB a file
// read can deliver, far above any single resource the engine keeps in memory.
constexpr _dword _MAX_UNPACKED_SIZE = 256u << 20;
// The decoder allocates the dictionary the properties name; the packer uses 16 MiB.
constexpr _dword _MAX_LZMA_DICTIONARY = 64u << 20;
// Input and output buffers of UnpackStream.
constexpr _dword _STREAM_CHUNK = 65536;

// True exactly when length > 19 and the bytes start with the magic.
bool IsCompressedBlock(const void* bytes, size_t length);

// Replaces the buffer's content by a compressed block of it; an already packed buffer is
// left as it is. On failure the buffer is unchanged.
bool PackBuffer(ByteBuffer& buffer, bool useLzma);
// Replaces a compressed block by its unpacked bytes; plain data is left as it is. Fails,
// leaving the buffer unchanged, unless exactly the promised number of bytes comes out.
bool UnpackBuffer(ByteBuffer& buffer);

// One-call codecs. destLength holds the capacity on entry and the produced length on return.
// Compress stores the 5 LZMA property bytes in propsOut (untouched for zlib).
bool Compress(void* dest, size_t& destLength, const void* src, size_t srcLength, _byte* propsOut, bool useLzma);
// Decompress succeeds only when the stream fits in destLength; it may produce fewer bytes.
bool Decompress(void* dest, size_t& destLength, const void* src, size_t srcLength, const _byte* props, bool useLzma);

// Stream callbacks: length holds the wanted (read) or offered (write) byte count on entry
// and the count transferred on return. False means failure; a read of 0 bytes ends the input.
using StreamReadFunc = bool (*)(void* readdata, void* buffer, _dword* length);
using StreamWriteFunc = bool (*)(void* writedata, const void* buffer, _dword* length);

// Unpacks one compressed block from the reader to the writer with 64 KiB buffers (plus the
// LZMA dictionary). True only when exactly the header's unpacked size was written; more
// data than promised, or input that ends early, is a failure.
bool UnpackStream(StreamReadFunc readfunc, void* readdata, StreamWriteFunc writefunc, void* writedata);

} // namespace Volux
