#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cmath>
#include <cwchar>
#include <string>

#include "Common/StringFormatter.h"
#include "Support/LogCapture.h"

using namespace Volux;

namespace {
std::u16string S(const WString& text) { return std::u16string(text.Text(), text.Length()); }

template <class... Args>
std::u16string Reference(const wchar_t* format, Args... args) {
    wchar_t buffer[1024];
    int n = swprintf(buffer, 1024, format, args...);
    std::u16string out;
    for (int i = 0; i < n; i++)
        out += char16_t(buffer[i]);
    return out;
}

WStringPtr FormatThroughList(char16_t* buffer, int length, const char16_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    WStringPtr result = FormatBufferV(buffer, length, format, arguments);
    va_end(arguments);
    return result;
}

} // namespace

// Each case formats the same values with the engine and with the C library's swprintf.
#define SAME_AS_SWPRINTF(fmt, ...) \
    EXPECT_EQ(S(Format(u"" fmt, __VA_ARGS__)), Reference(L"" fmt, __VA_ARGS__)) << "format: " << fmt

TEST(Format, IntegersMatchTheCLibrary) {
    SAME_AS_SWPRINTF("%d|%i|%u", 42, -42, 42u);
    SAME_AS_SWPRINTF("%d %d", INT_MIN, INT_MAX);
    SAME_AS_SWPRINTF("[%5d][%-5d][%05d][%+d][% d]", 42, 42, 42, 42, 42);
    SAME_AS_SWPRINTF("[%.3d][%8.3d][%-8.3d][%08.3d]", 7, -7, 7, 7);
    SAME_AS_SWPRINTF("[%.0d][%.0x][%5.0d]", 0, 0u, 0);
    SAME_AS_SWPRINTF("%x %X %o %#x %#X %#o %#o", 0xBEEFu, 0xBEEFu, 8u, 255u, 255u, 8u, 0u);
    SAME_AS_SWPRINTF("%.8x|%08X|%#010x", 0x1234u, 0xABCu, 0x1234u);
    SAME_AS_SWPRINTF("%hd %hu %hhd %hhu", 70000, 70000, 300, 300);
    SAME_AS_SWPRINTF("%ld %lu %lx", -5L, 5UL, 0xFFUL);
    SAME_AS_SWPRINTF("%lld %llu %llx", -9000000000LL, 18446744073709551615ULL, 0x123456789ABCDEFULL);
    // Around the digit-pair and 32-bit steps of the decimal conversion.
    SAME_AS_SWPRINTF("%u %u %u %u %u %u %u", 9u, 10u, 99u, 100u, 101u, 1000000000u, 4294967295u);
    SAME_AS_SWPRINTF("%llu %llu %lld %llo", 4294967296ULL, 10000000000ULL, -4294967296LL, 01777777777777777777777ULL);
    SAME_AS_SWPRINTF("%zu %zd", size_t(12345), ptrdiff_t(-12345));
    SAME_AS_SWPRINTF("[%*d][%-*d][%.*d][%*d]", 6, 1, 6, 2, 4, 3, -6, 4);
    SAME_AS_SWPRINTF("100%% %d%%", 5);
}

TEST(Format, FloatsMatchTheCLibrary) {
    SAME_AS_SWPRINTF("%f %f %f", 0.0, 3.14159, -2.5);
    SAME_AS_SWPRINTF("%.2f|%10.3f|%-10.1f|%010.2f|%+.1f", 1.005, 2.5, 3.25, -4.75, 5.0);
    SAME_AS_SWPRINTF("%e %E %.3e", 12345.678, 0.000123, 1e300);
    SAME_AS_SWPRINTF("%g %g %g %G %.3g", 0.0001, 1e-5, 123456789.0, 1e20, 3.14159);
    SAME_AS_SWPRINTF("%#g %#.0f %.0f %.0f", 1.0, 2.0, 0.5, 1.5);
    SAME_AS_SWPRINTF("%.10f %.15g", 1.0 / 3.0, 0.1);
    SAME_AS_SWPRINTF("%8.2e|%-12g|%.0e|%.0g|%g", -1.5, 2.25, 15.5, 0.0, 100000.0);
    SAME_AS_SWPRINTF("%f|%F|%e|%G|%08.2f|%+f|%f", HUGE_VAL, -HUGE_VAL, HUGE_VAL, HUGE_VAL, -HUGE_VAL, HUGE_VAL, NAN);
    SAME_AS_SWPRINTF("%.3f|%.150f", 1e300, 0.5);
}

TEST(Format, FixedPointRoundingMatchesTheCLibraryAcrossValues) {
    // Ties, near-ties and ordinary values at every small precision, both signs.
    const double values[] = {0.0,   -0.0,       0.5,         1.5,       2.5,      0.125,      0.375, 1.005,
                             2.675, 1e-7,       0.999999999, 123456.5,  1e11 + 0.5, 4503599627370497.0,
                             1e20,  3.14159265, 0.045,       1234.5678, 9.9999995};
    for (double base : values) {
        for (double value : {base, -base}) {
            for (int precision = 0; precision <= 10; precision++) {
                EXPECT_EQ(S(Format(u"%.*f", precision, value)), Reference(L"%.*f", precision, value))
                    << "value " << value << " precision " << precision;
            }
        }
    }
    for (int i = 0; i < 2000; i++) {
        double value = i * 0.0005 + i * 1e-9;
        EXPECT_EQ(S(Format(u"%.3f|%.1f|%f", value, value, value)), Reference(L"%.3f|%.1f|%f", value, value, value));
    }
}

TEST(Format, TextsMatchTheCLibrary) {
    EXPECT_EQ(S(Format(u"[%ls][%10ls][%-10ls][%.2ls]", u"abc", u"abc", u"abc", u"abc")),
              Reference(L"[%ls][%10ls][%-10ls][%.2ls]", L"abc", L"abc", L"abc", L"abc"));
}

TEST(Format, EngineTextArguments) {
    // %ls takes char16_t text, %s 8-bit text (UTF-8), %c and %lc a character.
    EXPECT_EQ(S(Format(u"%ls|%s|%c|%lc", u"\u4F60\u597D", "caf\xC3\xA9", 'x', 0x4E2D)), u"\u4F60\u597D|caf\u00E9|x|\u4E2D");
    EXPECT_EQ(S(Format(u"[%5s][%-4s][%.1s]", "ab", "cd", "\xC3\xA9z")), u"[   ab][cd  ][\u00E9]");
    EXPECT_EQ(S(Format(u"[%3c][%-3c]", 'a', 'b')), u"[  a][b  ]");
    EXPECT_EQ(S(Format(u"%ls %s", static_cast<const char16_t*>(nullptr), static_cast<const char*>(nullptr))),
              u"(null) (null)");
}

TEST(Format, PointersPrintFullWidthUpperHex) {
    void* p = reinterpret_cast<void*>(uintptr_t(0xAB12));
    std::u16string expected = sizeof(void*) == 8 ? u"000000000000AB12" : u"0000AB12";
    EXPECT_EQ(S(Format(u"%p", p)), expected);
}

TEST(Format, UnknownAndTrailingPercentAreKept) {
    EXPECT_EQ(S(Format(u"%q %d", 5)), u"%q 5");
    EXPECT_EQ(S(Format(u"end %")), u"end %");
    int target = 0;
    EXPECT_EQ(S(Format(u"a%nb", &target)), u"ab");
    EXPECT_EQ(target, 0);
}

TEST(FormatBuffer, CutsAtTheBufferEndAndNeverWritesPastIt) {
    char16_t buffer[8];
    for (char16_t& c : buffer)
        c = u'#';
    WStringPtr result = FormatBuffer(buffer, 6, u"%d-%ls", 12345, u"abcdef");
    EXPECT_EQ(std::u16string(result.text), u"12345");
    EXPECT_EQ(buffer[5], 0);
    EXPECT_EQ(buffer[6], u'#');
    for (char16_t& c : buffer)
        c = u'#';
    FormatBuffer(buffer, 1, u"anything");
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], u'#');
    FormatBuffer(buffer, 4, u"%1000d", 1);
    EXPECT_EQ(std::u16string(buffer), u"   ");
}

// Star widths and precisions near INT_MAX ask for more output than any buffer holds; the
// count of characters asked for must never wrap around into the buffer's index.
TEST(FormatBuffer, HugeStarWidthsAndPrecisionsAreCut) {
    struct Case {
        const char16_t* format;
        int first;
        int second;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"ab%*d", INT_MAX, 7, u"ab     "},
        {u"ab%-*d|", INT_MAX, 7, u"ab7    "},
        {u"ab%*d%*d", INT_MAX, 7, u"ab     "},
        {u"ab%+.*d", INT_MAX, 7, u"ab+0000"},
        {u"ab%-*d%d", INT_MIN, 7, u"ab71"},
        {u"%0*d", INT_MAX - 1, -7, u"-000000"},
        {u"%*.*d", INT_MAX, INT_MAX, u"0000000"},
    };
    for (const Case& c : cases) {
        // The buffer sits between two guards that must stay untouched.
        char16_t area[40];
        for (char16_t& x : area)
            x = u'#';
        char16_t* buffer = area + 16;
        WStringPtr result = FormatBuffer(buffer, 8, c.format, c.first, c.second, 1, 2);
        EXPECT_EQ(std::u16string(result.text), c.expected) << "format: " << VoluxTest::Narrow(c.format);
        for (int i = 0; i < 16; i++)
            EXPECT_EQ(area[i], u'#') << "format: " << VoluxTest::Narrow(c.format) << " wrote before the buffer";
        for (int i = 24; i < 40; i++)
            EXPECT_EQ(area[i], u'#') << "format: " << VoluxTest::Narrow(c.format) << " wrote past the buffer";
    }
    // Texts and floats are padded the same way.
    char16_t area[24];
    for (char16_t& x : area)
        x = u'#';
    FormatBuffer(area + 8, 8, u"%*ls%*s%*f", INT_MAX, u"x", INT_MAX, "y", INT_MAX, 1.5);
    EXPECT_EQ(std::u16string(area + 8), u"       ");
    for (int i : {0, 7, 16, 23})
        EXPECT_EQ(area[i], u'#');
    WString text = Format(u"%s%*s", "abc", INT_MAX, "z");
    EXPECT_EQ(text.Length(), 8191);
    EXPECT_EQ(text.Text()[0], u'a');
}

// A negative length leaves no room at all: nothing is written, not even the terminator.
TEST(FormatBuffer, NegativeLengthWritesNothing) {
    VoluxTest::LogCapture log;
    char16_t area[16];
    for (char16_t& x : area)
        x = u'#';
    FormatBuffer(area + 8, -3, u"%d", 5);
    FormatThroughList(area + 8, -1, u"%d", 5);
    for (char16_t x : area)
        EXPECT_EQ(x, u'#');
    EXPECT_NE(log.error.find(u"Assertion Failed : buffer != _null && length != 0 && format != _null\r\n"),
              std::u16string::npos);
}

TEST(Format, LongOutputIsCutTo8191Characters) {
    std::u16string big(9000, u'z');
    WString result = Format(u"%ls", big.c_str());
    EXPECT_EQ(result.Length(), 8191);
}

TEST(FormatBuffer, BadArgumentsAreReported) {
    VoluxTest::LogCapture log;
    char16_t buffer[4] = {u'x', u'x', u'x', 0};
    FormatBuffer(buffer, 0, u"x");
    EXPECT_NE(log.error.find(u"Assertion Failed : buffer != _null && length != 0 && format != _null\r\n"),
              std::u16string::npos);
    EXPECT_EQ(buffer[0], u'x');
    log.Clear();
    FormatBuffer(nullptr, 4, u"x");
    EXPECT_NE(log.error.find(u"Common/StringFormatter:"), std::u16string::npos);
    log.Clear();
    WString empty = Format(nullptr);
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_NE(log.error.find(u"Assertion Failed : format != _null\r\n"), std::u16string::npos);
}

TEST(SplitWords, QuotesGroupAndAreDropped) {
    Array<WString> words;
    SplitWords(u"a \"b c\"  d\t", words);
    ASSERT_EQ(words.Count(), 3u);
    EXPECT_EQ(S(words[0]), u"a");
    EXPECT_EQ(S(words[1]), u"b c");
    EXPECT_EQ(S(words[2]), u"d");
    Array<WString> none;
    SplitWords(u"   ", none);
    EXPECT_EQ(none.Count(), 0u);
}

TEST(Split, FieldsAndEmptyFields) {
    struct {
        const char16_t* text;
        std::initializer_list<const char16_t*> fields;
    } cases[] = {
        {u"", {u""}},
        {u"a,,b", {u"a", u"", u"b"}},
        {u"a,b,", {u"a", u"b", u""}},
        {u" a , b ", {u"a", u"b"}},
        {u"a,  ,b,  ", {u"a", u"", u"b"}},  // an inner blank field stays, a last one does not
        {u",a", {u"", u"a"}},
        {u"x;y|z", {u"x", u"y", u"z"}},
    };
    for (auto& c : cases) {
        Array<WString> words;
        Split(c.text, words, u",;|", u" ");
        ASSERT_EQ(words.Count(), _dword(c.fields.size())) << VoluxTest::Narrow(c.text);
        _dword i = 0;
        for (const char16_t* field : c.fields)
            EXPECT_EQ(S(words[i++]), std::u16string(field)) << VoluxTest::Narrow(c.text);
    }
}

TEST(Split, EmptySeparatorSetIsReported) {
    VoluxTest::LogCapture log;
    Array<WString> words;
    Split(u"a,b", words, u"", u"");
    EXPECT_EQ(words.Count(), 0u);
    EXPECT_NE(log.error.find(u"Assertion Failed : division != L\"\"\r\n"), std::u16string::npos);
}
