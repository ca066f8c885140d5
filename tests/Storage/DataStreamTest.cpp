#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Storage/DataStream.h"
#include "Storage/ResourceManager.h"
#include "Support/LogCapture.h"
#include "Support/ScratchFolder.h"

using namespace Volux;

namespace {

TEST(MemStream, EmptyStreamRejectsEveryByte) {
    MemStream stream(nullptr, u"empty", Md5Digest());
    ASSERT_TRUE(stream.Allocate(0));
    _byte byte = 0;
    EXPECT_FALSE(stream.Read(&byte, 1, 0));
    EXPECT_EQ(stream.GetLength(), 0);
}

TEST(MemStream, FirstWriteSizesTheBufferAndNeverGrowsIt) {
    MemStream stream(nullptr, u"m", Md5Digest());
    const char data[] = "abcd";
    // Sized by the first write even when its offset makes it fail.
    EXPECT_FALSE(stream.Write(data, 4, 2));
    EXPECT_EQ(stream.GetLength(), 4);
    EXPECT_TRUE(stream.Write(data, 4, 0));
    EXPECT_FALSE(stream.Write(data, 1, 4));
    char out[4];
    EXPECT_TRUE(stream.Read(out, 4, 0));
    EXPECT_EQ(memcmp(out, data, 4), 0);
    // Offsets near the top of the range do not wrap.
    EXPECT_FALSE(stream.Read(out, 2, 0xFFFFFFFFu));
}

TEST(DataStream, NineteenBytesAreNeverCompressed) {
    MemStream stream(nullptr, u"m", Md5Digest());
    std::string bytes("\xF7\xF4\xE4\xC8\xCA\xD7\xD5\xC2", 8);
    bytes.resize(19, '\0');
    ASSERT_TRUE(stream.Write(bytes.data(), 19, 0));
    EXPECT_FALSE(stream.IsCompressed());
}

TEST(PackStream, ReadsUpToTheResourceEndOnly) {
    VoluxTest::ScratchFolder folder;
    ASSERT_TRUE(folder.Put(u"pack", "xxxxHELLOyyyy"));
    File file;
    ASSERT_TRUE(file.Open(folder.At(u"pack"), File::_READ));
    PackStream stream(nullptr, u"p", &file, 4, 5, Md5Digest(), false);
    char out[8] = {};
    EXPECT_TRUE(stream.Read(out, 3, 2));
    EXPECT_EQ(std::string(out, 3), "LLO");
    EXPECT_FALSE(stream.Read(out, 4, 2));
    EXPECT_FALSE(stream.Write("ab", 2, 4));
}

TEST(PackStream, DescramblingAltersTheFirstHalfOfEachUnit) {
    _dword words[4];
    ScrambleKeyWords(u"key", words);
    // A read starting at offset 5 of unit 0 covers bytes 5..7 (kept) and unit 1's first four
    // bytes (XORed with K1) and its last four (kept).
    _byte bytes[11] = {};
    DescrambleData(bytes, sizeof(bytes), 5, u"key");
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(bytes[i], 0) << i;
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(bytes[3 + i], _byte(words[1] >> (8 * i))) << i;
    for (int i = 7; i < 11; i++)
        EXPECT_EQ(bytes[i], 0) << i;
    // An empty key text changes nothing; the key repeats every four units.
    _byte plain[40] = {};
    DescrambleData(plain, sizeof(plain), 0, u"");
    EXPECT_EQ(plain[0], 0);
    DescrambleData(plain, sizeof(plain), 0, u"key");
    EXPECT_EQ(memcmp(plain, plain + 32, 4), 0);
    EXPECT_NE(words[0], words[1]);
}

} // namespace
