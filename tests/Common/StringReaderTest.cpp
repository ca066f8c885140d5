#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Common/StringReader.h"

using namespace Volux;

namespace {
std::vector<std::u16string> Words(StringReader& reader, bool (StringReader::*read)(WString&)) {
    std::vector<std::u16string> out;
    WString word;
    while ((reader.*read)(word))
        out.emplace_back(word.Text());
    EXPECT_TRUE(word.IsEmpty());
    return out;
}
} // namespace

TEST(StringReader, DetectsEncodingAndMark) {
    struct {
        std::string bytes;
        int encoding;
        int bomLength;
    } cases[] = {
        {std::string("\xFF\xFE" "a\0", 4), StringReader::_UTF16, 2},
        {"\xEF\xBB\xBFx", StringReader::_UTF8, 3},
        {std::string("a\0b\0", 4), StringReader::_UTF16, 0},
        {"ab", StringReader::_ANSI, 0},
        {"a", StringReader::_ANSI, 0},
    };
    for (auto& c : cases) {
        StringReader reader;
        reader.Attach(c.bytes.data(), _dword(c.bytes.size()));
        reader.AtEnd();
        EXPECT_EQ(reader.encoding, c.encoding);
        EXPECT_EQ(reader.bomLength, c.bomLength);
    }
}

TEST(StringReader, Utf16WordsAfterMark) {
    const unsigned char bytes[] = {0xFF, 0xFE, 0x61, 0x00, 0x2C, 0x00, 0x62, 0x00};
    StringReader reader;
    reader.Attach(bytes, sizeof(bytes));
    EXPECT_EQ(Words(reader, &StringReader::ReadWord), (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_TRUE(reader.AtEnd());
}

TEST(StringReader, WordsLinesAndRest) {
    const char* text = "\xEF\xBB\xBF" "key = caf\xC3\xA9;x\r\nsecond line here\n\n  tail,";
    StringReader reader;
    reader.Attach(text, _dword(strlen(text)));
    reader.SetSeparators(u" =;,");
    WString out;
    EXPECT_TRUE(reader.ReadWordInLine(out));
    EXPECT_EQ(std::u16string(out.Text()), u"key");
    EXPECT_TRUE(reader.ReadWordInLine(out));
    EXPECT_EQ(std::u16string(out.Text()), u"caf\u00E9");
    EXPECT_TRUE(reader.ReadWordInLine(out));
    EXPECT_EQ(std::u16string(out.Text()), u"x");
    EXPECT_FALSE(reader.ReadWordInLine(out));  // line end is not crossed
    EXPECT_TRUE(reader.ReadLine(out));
    EXPECT_EQ(std::u16string(out.Text()), u"second line here");
    EXPECT_FALSE(reader.AtEnd());
    EXPECT_TRUE(reader.ReadRest(out));
    EXPECT_EQ(std::u16string(out.Text()), u"\n\n  tail,");
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_FALSE(reader.ReadRest(out));
}

TEST(StringReader, StopAtLineEndKeepsWordsOfTheNextLine) {
    const char* text = "a\n\nb";
    StringReader reader;
    reader.Attach(text, 4);
    reader.stopAtLineEnd = true;
    WString out;
    EXPECT_TRUE(reader.ReadWord(out));
    EXPECT_FALSE(reader.ReadWord(out));  // stops right after the first line feed
    EXPECT_TRUE(reader.ReadWord(out));
    EXPECT_EQ(std::u16string(out.Text()), u"b");
}

TEST(StringReader, OddTrailingByteOfUtf16IsIgnored) {
    const unsigned char bytes[] = {0xFF, 0xFE, 0x61, 0x00, 0x62};
    StringReader reader;
    reader.Attach(bytes, sizeof(bytes));
    WString out;
    EXPECT_TRUE(reader.ReadRest(out));
    EXPECT_EQ(std::u16string(out.Text()), u"a");
    EXPECT_TRUE(reader.AtEnd());
}

TEST(StringReader, EmptyInput) {
    StringReader reader;
    WString out;
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_FALSE(reader.ReadWord(out));
    EXPECT_FALSE(reader.ReadLine(out));
    EXPECT_FALSE(reader.ReadRest(out));
}
