#include <gtest/gtest.h>

#include <cstring>

#include "Common/ByteBuffer.h"
#include "Common/Memory.h"
#include "Support/LogCapture.h"

using namespace Volux;

TEST(Memory, ZeroAndOversizedRequestsReturnNullWithoutLogging) {
    VoluxTest::LogCapture log;
    EXPECT_EQ(MemAlloc(0), nullptr);
    EXPECT_EQ(AllocShared(0), nullptr);
    EXPECT_EQ(MemAlloc(size_t(0x7FFFFFFF)), nullptr);
    EXPECT_EQ(AllocShared(size_t(0x7FFFFFFF)), nullptr);
    EXPECT_TRUE(log.trace.empty());
    EXPECT_TRUE(log.error.empty());
    MemFree(nullptr);
}

TEST(Memory, SharedBufferHeaderAndCount) {
    unsigned char* p = static_cast<unsigned char*>(AllocSharedCopy("abc", 4));
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(reinterpret_cast<char*>(p), "abc");
    const unsigned char magic[4] = {0x42, 0x4C, 0x43, 0x4B};
    EXPECT_EQ(memcmp(p - 8, magic, 4), 0);
    _dword count;
    memcpy(&count, p - 4, 4);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(AddRefShared(p), p);
    EXPECT_FALSE(ReleaseShared(p));
    EXPECT_TRUE(ReleaseShared(p));
    EXPECT_EQ(AddRefShared(nullptr), nullptr);
    EXPECT_TRUE(ReleaseShared(nullptr));
}

TEST(Memory, DamagedHeaderIsReportedAndLeftAlone) {
    VoluxTest::LogCapture log;
    alignas(8) unsigned char fake[16] = {0};
    EXPECT_FALSE(ReleaseShared(fake + 8));
    EXPECT_NE(log.error.find(u"Assertion Failed : ( (_dword*) realbuffer )[0] == 0x4B434C42"), std::u16string::npos);
    log.Clear();
    const _dword header[2] = {0x4B434C42, 0};
    memcpy(fake, header, 8);
    AddRefShared(fake + 8);
    EXPECT_NE(log.error.find(u"Assertion Failed : ( (_dword*) realbuffer )[1] >= 1"), std::u16string::npos);
    _dword count;
    memcpy(&count, fake + 4, 4);
    EXPECT_EQ(count, 0u);
}

TEST(ByteBuffer, ResizeKeepsPrefixAndClampsCursor) {
    ByteBuffer buffer;
    ASSERT_TRUE(buffer.Attach("abcdef", 6, true));
    EXPECT_TRUE(buffer.owned);
    buffer.cursor = buffer.data + 5;
    ASSERT_TRUE(buffer.Resize(3));
    EXPECT_EQ(buffer.size, 3u);
    EXPECT_EQ(memcmp(buffer.data, "abc", 3), 0);
    EXPECT_EQ(buffer.Offset(), 3u);
    buffer.cursor = buffer.data + 1;
    ASSERT_TRUE(buffer.Append("XY", 2));
    EXPECT_EQ(memcmp(buffer.data, "abcXY", 5), 0);
    EXPECT_EQ(buffer.Offset(), 1u);
    _byte* before = buffer.data;
    EXPECT_TRUE(buffer.Append("Z", 0));
    EXPECT_EQ(buffer.data, before);
}

TEST(ByteBuffer, BorrowedBytesAreNotFreedAndResizeCopies) {
    char bytes[4] = {'w', 'x', 'y', 'z'};
    ByteBuffer buffer;
    buffer.Attach(bytes, 4, false);
    EXPECT_FALSE(buffer.owned);
    EXPECT_EQ(buffer.data, reinterpret_cast<_byte*>(bytes));
    buffer.Resize(6);
    EXPECT_TRUE(buffer.owned);
    EXPECT_NE(buffer.data, reinterpret_cast<_byte*>(bytes));
    EXPECT_EQ(memcmp(buffer.data, "wxyz", 4), 0);
    buffer.Reset();
    EXPECT_TRUE(buffer.owned);
    EXPECT_EQ(buffer.size, 0u);
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(buffer.cursor, nullptr);
}

// Appending a range of the buffer's own bytes: the growth frees the block the range lies in,
// so the bytes must be taken from where they are after the growth.
TEST(ByteBuffer, AppendOfItsOwnBytes) {
    struct Case {
        _dword size;
        _dword from;
        _dword count;
    } cases[] = {{64, 0, 64}, {64, 10, 20}, {1, 0, 1}, {4096, 4000, 96}};
    for (const Case& c : cases) {
        ByteBuffer buffer;
        ASSERT_TRUE(buffer.Allocate(c.size));
        for (_dword i = 0; i < c.size; i++)
            buffer.data[i] = _byte(i * 7 + 1);
        buffer.cursor = buffer.data + c.size / 2;
        ASSERT_TRUE(buffer.Append(buffer.data + c.from, c.count));
        ASSERT_EQ(buffer.size, c.size + c.count);
        EXPECT_EQ(buffer.Offset(), c.size / 2);
        for (_dword i = 0; i < c.count; i++)
            ASSERT_EQ(buffer.data[c.size + i], _byte((c.from + i) * 7 + 1)) << "case " << c.size << "/" << c.from;
    }
    // A borrowed block is not freed by the growth, but the same rule holds.
    _byte outside[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ByteBuffer borrowed;
    ASSERT_TRUE(borrowed.Attach(outside, 8, false));
    ASSERT_TRUE(borrowed.Append(borrowed.data + 2, 4));
    const _byte expected[12] = {1, 2, 3, 4, 5, 6, 7, 8, 3, 4, 5, 6};
    EXPECT_EQ(memcmp(borrowed.data, expected, 12), 0);
    EXPECT_TRUE(borrowed.owned);
}
