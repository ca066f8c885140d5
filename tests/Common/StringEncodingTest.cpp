#include <gtest/gtest.h>

#include <string>

#include "Common/Memory.h"
#include "Common/StringEncoding.h"
#include "Support/LogCapture.h"

using namespace Volux;

TEST(WideToUtf8, EncodesUnitsOneByOne) {
    struct {
        std::u16string in;
        std::string out;
    } cases[] = {
        {u"abc", "abc"},
        {u"\u00E9", "\xC3\xA9"},
        {u"\u4E2D", "\xE4\xB8\xAD"},
        {u"\u07FF\u0800", "\xDF\xBF\xE0\xA0\x80"},
        {std::u16string(1, char16_t(0xD83D)) + char16_t(0xDE00), "\xED\xA0\xBD\xED\xB8\x80"},  // surrogates alone
    };
    for (auto& c : cases) {
        int length = -1;
        char* out = WideToUtf8(nullptr, 0, c.in.c_str(), -1, &length);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(std::string(out), c.out);
        EXPECT_EQ(length, int(c.out.size()));
        MemFree(out);
    }
}

TEST(WideToUtf8, StopsBeforeAUnitThatDoesNotFit) {
    char buffer[8] = "#######";
    bool truncated = false;
    int length = 0;
    WideToUtf8(buffer, 4, u"abcd", -1, &length, &truncated);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_TRUE(truncated);
    EXPECT_EQ(length, 3);
    // A 3-byte unit that would reach the terminator's place is left out whole.
    WideToUtf8(buffer, 4, u"a\u4E2D", -1, &length, &truncated);
    EXPECT_STREQ(buffer, "a");
    EXPECT_TRUE(truncated);
    WideToUtf8(buffer, 8, u"abcdef", 2, &length, &truncated);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_FALSE(truncated);
}

TEST(Utf8ToWide, DecodesAndSkipsWhatItCannot) {
    struct {
        std::string in;
        std::u16string out;
    } cases[] = {
        {"abc", u"abc"},
        {"\xC3\xA9", u"\u00E9"},
        {"\xE4\xB8\xAD!", u"\u4E2D!"},
        // A 4-byte sequence: its lead byte and its continuation bytes produce nothing.
        {"a\xF0\x9F\x98\x80z", u"az"},
        {"\x80x\xBF", u"x"},
        {"ab\xE4\xB8", u"ab"},  // runs past the end: dropped
    };
    for (auto& c : cases) {
        int length = -1;
        char16_t* out = Utf8ToWide(nullptr, 0, c.in.c_str(), -1, &length);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(std::u16string(out), c.out) << c.in;
        EXPECT_EQ(length, int(c.out.size()));
        MemFree(out);
    }
}

TEST(Utf8ToWide, CountAndCapacityBound) {
    char16_t buffer[4] = {u'#', u'#', u'#', u'#'};
    bool truncated = false;
    int length = 0;
    Utf8ToWide(buffer, 3, "\xC3\xA9xyz", -1, &length, &truncated);
    EXPECT_EQ(std::u16string(buffer), u"\u00E9x");
    EXPECT_TRUE(truncated);
    EXPECT_EQ(buffer[3], u'#');
    // The source count cuts a sequence in half: the half is dropped.
    Utf8ToWide(buffer, 4, "a\xC3\xA9", 2, &length, &truncated);
    EXPECT_EQ(std::u16string(buffer), u"a");
    EXPECT_FALSE(truncated);
}

TEST(Encoding, NullSourceIsReportedAndYieldsEmptyText) {
    VoluxTest::LogCapture log;
    char16_t wide[4] = {u'#', 0};
    Utf8ToWide(wide, 4, nullptr);
    EXPECT_EQ(wide[0], 0);
    EXPECT_NE(log.error.find(u"Assertion Failed : str != _null"), std::u16string::npos);
    char narrow[4] = "##";
    WideToAnsi(narrow, 4, nullptr);
    EXPECT_EQ(narrow[0], 0);
}

TEST(AnsiConversion, AsciiRoundTripsAndCutsAtCapacity) {
    char16_t* wide = AnsiToWide(nullptr, 0, "Hello, world");
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::u16string(wide), u"Hello, world");
    char* back = WideToAnsi(nullptr, 0, wide);
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(back, "Hello, world");
    MemFree(wide);
    MemFree(back);

    char16_t small[6];
    int length = 0;
    AnsiToWide(small, 6, "abcdefgh", -1, &length);
    EXPECT_EQ(std::u16string(small), u"abcde");
    EXPECT_EQ(length, 5);
    char narrow[4];
    WideToAnsi(narrow, 4, u"abcdef", -1, &length);
    EXPECT_STREQ(narrow, "abc");
}

namespace {

// Room for the terminator only: nothing is converted and nothing is written past it.
TEST(AnsiConversion, CapacityOneHoldsOnlyTheTerminator) {
    char16_t wide[3] = {u'x', u'y', u'z'};
    int length = -1;
    AnsiToWide(wide, 1, "abc", -1, &length);
    EXPECT_EQ(wide[0], 0);
    EXPECT_EQ(wide[1], u'y');
    EXPECT_EQ(length, 0);
    char narrow[3] = {'x', 'y', 'z'};
    WideToAnsi(narrow, 1, u"abc", -1, &length);
    EXPECT_EQ(narrow[0], 0);
    EXPECT_EQ(narrow[1], 'y');
    EXPECT_EQ(length, 0);
}

} // namespace
