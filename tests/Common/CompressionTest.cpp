#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Common/ByteBuffer.h"
#include "Common/Compression.h"
#include "Support/LogCapture.h"

extern "C" {
#include "LzmaEnc.h"
}

using namespace Volux;
using VoluxTest::LogCapture;
using VoluxTest::Narrow;

namespace {

using Bytes = std::vector<_byte>;

// Text-like data that compresses well, or noise that does not.
Bytes MakeData(size_t length, bool compressible, unsigned seed = 1) {
    Bytes data(length);
    unsigned state = seed;
    for (size_t i = 0; i < length; i++) {
        state = state * 1103515245u + 12345u;
        data[i] = compressible ? _byte("the quick brown fox "[(i + (state >> 28)) % 20]) : _byte(state >> 16);
    }
    return data;
}

Bytes Pack(const Bytes& data, bool useLzma) {
    ByteBuffer buffer;
    EXPECT_TRUE(buffer.Attach(data.data(), _dword(data.size()), true));
    EXPECT_TRUE(PackBuffer(buffer, useLzma));
    return Bytes(buffer.data, buffer.data + buffer.size);
}

_dword UnpackedSizeOf(const Bytes& block) {
    return _dword(block[16]) | (_dword(block[17]) << 8) | (_dword(block[18]) << 16) | (_dword(block[19]) << 24);
}

void SetUnpackedSize(Bytes& block, _dword size) {
    for (int i = 0; i < 4; i++)
        block[16 + i] = _byte(size >> (8 * i));
}

// Reader over memory that hands out at most `chunk` bytes per call and can fail on a call.
struct MemoryReader {
    const Bytes* source;
    size_t position = 0;
    _dword chunk = 0xFFFFFFFFu;
    int failOnCall = -1;
    int calls = 0;

    static bool Read(void* self, void* buffer, _dword* length) {
        MemoryReader& r = *static_cast<MemoryReader*>(self);
        if (r.calls++ == r.failOnCall)
            return false;
        size_t left = r.source->size() - r.position;
        _dword count = *length < r.chunk ? *length : r.chunk;
        if (count > left)
            count = _dword(left);
        memcpy(buffer, r.source->data() + r.position, count);
        r.position += count;
        *length = count;
        return true;
    }
};

struct MemoryWriter {
    Bytes out;
    size_t failAfter = ~size_t(0);  // fail the write that would pass this many bytes

    static bool Write(void* self, const void* buffer, _dword* length) {
        MemoryWriter& w = *static_cast<MemoryWriter*>(self);
        if (w.out.size() + *length > w.failAfter)
            return false;
        const _byte* bytes = static_cast<const _byte*>(buffer);
        w.out.insert(w.out.end(), bytes, bytes + *length);
        return true;
    }
};

bool UnpackThroughStream(const Bytes& block, Bytes& out, _dword chunk = 0xFFFFFFFFu) {
    MemoryReader reader{&block};
    reader.chunk = chunk;
    MemoryWriter writer;
    bool ok = UnpackStream(MemoryReader::Read, &reader, MemoryWriter::Write, &writer);
    out = writer.out;
    return ok;
}

// Unpacks with UnpackBuffer; on failure checks that the buffer kept the block.
bool UnpackThroughBuffer(const Bytes& block, Bytes& out) {
    ByteBuffer buffer;
    EXPECT_TRUE(buffer.Attach(block.data(), _dword(block.size()), true));
    bool ok = UnpackBuffer(buffer);
    out.assign(buffer.data, buffer.data + buffer.size);
    if (!ok) {
        EXPECT_EQ(out, block) << "a failed unpack must leave the buffer unchanged";
    }
    return ok;
}

const char* CodecName(bool useLzma) { return useLzma ? "lzma" : "zlib"; }

TEST(CompressionTest, HeaderTestNeedsMagicAndTwentyBytes) {
    Bytes block = Pack(MakeData(100, true), true);
    EXPECT_TRUE(IsCompressedBlock(block.data(), 20));
    EXPECT_FALSE(IsCompressedBlock(block.data(), 19));
    EXPECT_FALSE(IsCompressedBlock(nullptr, 100));
    block[7] ^= 1;
    EXPECT_FALSE(IsCompressedBlock(block.data(), block.size()));
}

// Stored blocks depend on these bytes: magic, codec area and the size field.
TEST(CompressionTest, PackWritesTheBlockHeader) {
    const _byte magic[8] = {0xF7, 0xF4, 0xE4, 0xC8, 0xCA, 0xD7, 0xD5, 0xC2};
    Bytes data = MakeData(1000, true);
    Bytes lzma = Pack(data, true);
    ASSERT_GT(lzma.size(), 20u);
    EXPECT_EQ(0, memcmp(lzma.data(), magic, 8));
    // lc 3, lp 0, pb 2 gives 0x5D; then the 16 MiB dictionary little-endian; three zeros.
    const _byte lzmaArea[8] = {0x5D, 0x00, 0x00, 0x00, 0x01, 0, 0, 0};
    EXPECT_EQ(0, memcmp(lzma.data() + 8, lzmaArea, 8));
    EXPECT_EQ(UnpackedSizeOf(lzma), 1000u);

    Bytes zlib = Pack(data, false);
    EXPECT_EQ(0, memcmp(zlib.data(), magic, 8));
    const _byte zlibArea[8] = {0xD4, 0xD4, 0xC2, 0xC3, 0xE1, 0xCE, 0xCB, 0xC2};
    EXPECT_EQ(0, memcmp(zlib.data() + 8, zlibArea, 8));
    EXPECT_EQ(UnpackedSizeOf(zlib), 1000u);
    EXPECT_EQ(zlib[20], 0x78) << "a zlib stream follows the header";
}

// Sizes around the 64 KiB stream chunk, empty data and noise that does not shrink (the
// capacity L + L/3 + 128 must hold it), through both unpack paths and small read chunks.
TEST(CompressionTest, RoundTripsThroughBufferAndStream) {
    struct Case {
        size_t length;
        bool compressible;
    };
    const Case cases[] = {{0, true}, {1, true}, {300, false}, {65536, true}, {65537, false}, {200000, true}};
    for (bool useLzma : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << CodecName(useLzma) << " length " << c.length);
            Bytes data = MakeData(c.length, c.compressible);
            Bytes block = Pack(data, useLzma);
            ASSERT_TRUE(IsCompressedBlock(block.data(), block.size()));
            Bytes out;
            EXPECT_TRUE(UnpackThroughBuffer(block, out));
            EXPECT_EQ(out, data);
            EXPECT_TRUE(UnpackThroughStream(block, out));
            EXPECT_EQ(out, data);
            EXPECT_TRUE(UnpackThroughStream(block, out, 7));
            EXPECT_EQ(out, data);
        }
    }
}

TEST(CompressionTest, PackAndUnpackMarkTheBufferProcessed) {
    Bytes data = MakeData(1000, true);
    ByteBuffer buffer;
    buffer.Attach(data.data(), _dword(data.size()), true);
    EXPECT_FALSE(buffer.processed);
    ASSERT_TRUE(PackBuffer(buffer, true));
    EXPECT_TRUE(buffer.processed);
    buffer.processed = false;
    ASSERT_TRUE(UnpackBuffer(buffer));
    EXPECT_TRUE(buffer.processed);
    EXPECT_EQ(Bytes(buffer.data, buffer.data + buffer.size), data);
}

TEST(CompressionTest, PackingAPackedBufferChangesNothing) {
    Bytes block = Pack(MakeData(5000, true), false);
    ByteBuffer buffer;
    ASSERT_TRUE(buffer.Attach(block.data(), _dword(block.size()), true));
    EXPECT_TRUE(PackBuffer(buffer, true));
    EXPECT_EQ(Bytes(buffer.data, buffer.data + buffer.size), block);
}

TEST(CompressionTest, PlainDataIsLeftAsItIs) {
    Bytes plain = MakeData(100, true);
    Bytes out;
    EXPECT_TRUE(UnpackThroughBuffer(plain, out));
    EXPECT_EQ(out, plain);
}

TEST(CompressionTest, ZeroSizeBlockUnpacksToNothingWithoutACodec) {
    Bytes block = Pack(MakeData(10, true), true);
    SetUnpackedSize(block, 0);
    for (size_t i = 20; i < block.size(); i++)
        block[i] = 0xEE;  // no codec would accept this
    Bytes out = {1};
    EXPECT_TRUE(UnpackThroughBuffer(block, out));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(UnpackThroughStream(block, out));
    EXPECT_TRUE(out.empty());
}

TEST(CompressionTest, ByteFifteenZeroMeansLzmaWhateverTheRest) {
    Bytes data = MakeData(3000, true);
    Bytes block = Pack(data, true);
    block[13] = 0x12;
    block[14] = 0x34;
    Bytes out;
    EXPECT_TRUE(UnpackThroughBuffer(block, out));
    EXPECT_EQ(out, data);
    // Any non-zero byte 15 selects zlib, which refuses LZMA data.
    LogCapture log;
    block[15] = 1;
    EXPECT_FALSE(UnpackThroughBuffer(block, out));
    EXPECT_NE(log.trace.find(u"[FG] Decompress(Zip) Error Code : "), std::u16string::npos) << Narrow(log.trace);
}

// A block of more than the dictionary's size makes the stream decoder wrap its dictionary.
TEST(CompressionTest, StreamDecodesBeyondASmallDictionary) {
    Bytes data = MakeData(300000, true, 7);
    CLzmaEncProps props;
    LzmaEncProps_Init(&props);
    props.dictSize = 4096;
    props.numThreads = 1;
    Bytes block(20 + data.size() + data.size() / 3 + 128);
    SizeT packed = block.size() - 20;
    SizeT propsSize = 5;
    ISzAlloc alloc = {[](void*, size_t size) { return malloc(size); }, [](void*, void* p) { free(p); }};
    ASSERT_EQ(SZ_OK, LzmaEncode(block.data() + 20, &packed, data.data(), data.size(), &props, block.data() + 8,
                                &propsSize, 0, nullptr, &alloc, &alloc));
    block.resize(20 + packed);
    const _byte magic[8] = {0xF7, 0xF4, 0xE4, 0xC8, 0xCA, 0xD7, 0xD5, 0xC2};
    memcpy(block.data(), magic, 8);
    SetUnpackedSize(block, _dword(data.size()));
    Bytes out;
    EXPECT_TRUE(UnpackThroughStream(block, out, 1000));
    EXPECT_EQ(out, data);
    EXPECT_TRUE(UnpackThroughBuffer(block, out));
    EXPECT_EQ(out, data);
}

// Blocks whose header or data lie: both paths fail, log with "[FG]" and never pass on more
// than the header promises.
TEST(CompressionTest, RejectsDamagedBlocks) {
    struct Damage {
        const char* name;
        void (*apply)(Bytes& block);
    };
    const Damage damages[] = {
        {"size one too large", [](Bytes& b) { SetUnpackedSize(b, UnpackedSizeOf(b) + 1); }},
        {"size one too small", [](Bytes& b) { SetUnpackedSize(b, UnpackedSizeOf(b) - 1); }},
        {"size far too small", [](Bytes& b) { SetUnpackedSize(b, 10); }},
        {"size above the ceiling", [](Bytes& b) { SetUnpackedSize(b, 0xFFFFFFF0u); }},
        {"truncated data", [](Bytes& b) { b.resize(20 + (b.size() - 20) / 2); }},
        {"last bytes cut", [](Bytes& b) { b.resize(b.size() - 6); }},
        {"no data at all", [](Bytes& b) { b.resize(20); }},
        {"corrupt data", [](Bytes& b) {
             for (size_t i = 24; i < b.size(); i += 3)
                 b[i] ^= 0x5A;
         }},
    };
    Bytes data = MakeData(150000, false, 3);
    for (bool useLzma : {true, false}) {
        Bytes good = Pack(data, useLzma);
        for (const Damage& d : damages) {
            SCOPED_TRACE(testing::Message() << CodecName(useLzma) << ": " << d.name);
            Bytes block = good;
            d.apply(block);
            _dword promised = UnpackedSizeOf(block);
            LogCapture log;
            Bytes out;
            EXPECT_FALSE(UnpackThroughBuffer(block, out));
            EXPECT_FALSE(UnpackThroughStream(block, out, 4096));
            EXPECT_LE(out.size(), promised);
            EXPECT_NE(log.trace.find(u"[FG] "), std::u16string::npos) << Narrow(log.trace);
        }
    }
}

// The decoder would allocate whatever dictionary the properties name.
TEST(CompressionTest, RejectsAnOversizedLzmaDictionary) {
    Bytes block = Pack(MakeData(1000, true), true);
    block[12] = 0x08;  // 128 MiB
    LogCapture log;
    Bytes out;
    EXPECT_FALSE(UnpackThroughBuffer(block, out));
    EXPECT_FALSE(UnpackThroughStream(block, out));
    EXPECT_TRUE(out.empty());
    EXPECT_NE(log.trace.find(u"[FG] Decompress(7z) Dictionary 134217728 exceeds 67108864"), std::u16string::npos)
        << Narrow(log.trace);
    EXPECT_EQ(log.trace, log.error);
}

TEST(CompressionTest, StreamFailsWhenACallbackFails) {
    Bytes data = MakeData(300000, false, 5);
    for (bool useLzma : {true, false}) {
        SCOPED_TRACE(CodecName(useLzma));
        Bytes block = Pack(data, useLzma);
        LogCapture log;
        for (int failingCall : {0, 1, 3}) {
            MemoryReader reader{&block};
            reader.failOnCall = failingCall;
            MemoryWriter writer;
            EXPECT_FALSE(UnpackStream(MemoryReader::Read, &reader, MemoryWriter::Write, &writer)) << failingCall;
        }
        MemoryReader reader{&block};
        MemoryWriter writer;
        writer.failAfter = 100000;
        EXPECT_FALSE(UnpackStream(MemoryReader::Read, &reader, MemoryWriter::Write, &writer));
        EXPECT_LE(writer.out.size(), 100000u);
    }
}

TEST(CompressionTest, StreamRejectsShortHeaderPlainDataAndNullArguments) {
    LogCapture log;
    Bytes block = Pack(MakeData(100, true), false);
    Bytes out;
    EXPECT_FALSE(UnpackThroughStream(Bytes(block.begin(), block.begin() + 19), out));
    EXPECT_FALSE(UnpackThroughStream(MakeData(100, true), out));
    EXPECT_TRUE(out.empty());

    MemoryReader reader{&block};
    MemoryWriter writer;
    EXPECT_FALSE(UnpackStream(nullptr, &reader, MemoryWriter::Write, &writer));
    EXPECT_FALSE(UnpackStream(MemoryReader::Read, &reader, MemoryWriter::Write, nullptr));
    EXPECT_NE(log.error.find(u"Assertion Failed : readfunc != _null"), std::u16string::npos) << Narrow(log.error);
    EXPECT_NE(log.error.find(u"Assertion Failed : writedata != _null"), std::u16string::npos) << Narrow(log.error);
}

TEST(CompressionTest, CodecErrorsAreLoggedWithTheirCode) {
    Bytes data = MakeData(5000, false);
    _byte small[16];
    _byte props[5];
    LogCapture log;
    size_t length = sizeof(small);
    EXPECT_FALSE(Compress(small, length, data.data(), data.size(), props, false));
    EXPECT_NE(log.trace.find(u"[FG] Compress(Zip) Error Code : -5"), std::u16string::npos) << Narrow(log.trace);
    length = sizeof(small);
    EXPECT_FALSE(Compress(small, length, data.data(), data.size(), props, true));
    EXPECT_NE(log.trace.find(u"[FG] Compress(7z) Error Code : 7"), std::u16string::npos) << Narrow(log.trace);
}

} // namespace
