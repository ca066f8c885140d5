#include <gtest/gtest.h>

#include <string>

#include "Regex/Regex.h"
#include "Support/LogCapture.h"

using namespace Volux;

namespace {
constexpr const char16_t* _ADDRESS = u"http://g.example/play?x=1&w=1200&h=900";

// The matched text, or "<none>".
std::u16string Match(const char16_t* pattern, const char16_t* text, int from = 0) {
    Regex regex;
    if (!regex.Compile(pattern))
        return u"<not compiled>";
    int start = -1;
    int end = -1;
    if (!regex.Search(text, &start, &end, from))
        return u"<none>";
    return std::u16string(text + start, size_t(end - start));
}
} // namespace

TEST(Regex, SearchFindsLeftmostGreedyMatch) {
    struct Case {
        const char16_t* pattern;
        const char16_t* text;
        const char16_t* match;
    };
    const Case cases[] = {
        {u"w=\\w+", _ADDRESS, u"w=1200"},
        {u"h=\\w+", _ADDRESS, u"h=900"},
        {u"x=\\w+", _ADDRESS, u"x=1"},
        {u"q=\\w+", _ADDRESS, u"<none>"},
        {u"w=\\w+", u"w=&w=5", u"w=5"},             // "w=" alone is no match
        {u"id=\\w+", u"id=a_1&id=b", u"id=a_1"},     // leftmost of several
        {u"a\\w+b", u"aXXbYYb", u"aXXbYYb"},         // greedy to the last b
        {u"a\\w+b", u"aXXbYY", u"aXXb"},             // gives back to find the b
        {u"a\\w+b", u"ab", u"<none>"},               // one or more
        {u"\\w\\w", u"-a-bc", u"bc"},
        {u"o+k", u"x ooook", u"ooook"},
        {u"a\\+b", u"a+b", u"a+b"},
        {u"", u"abc", u""},
        {u"W=\\w+", _ADDRESS, u"<none>"},            // case-sensitive
        {u"k=\\w+", u"k=\u00e9t\u00e9", u"<none>"},  // word characters are ASCII only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(VoluxTest::Narrow(c.pattern) + " on " + VoluxTest::Narrow(c.text));
        EXPECT_EQ(Match(c.pattern, c.text), c.match);
    }
}

TEST(Regex, SearchReportsPositionsFromAStart) {
    Regex regex;
    ASSERT_TRUE(regex.Compile(u"w=\\w+"));
    int start = 0;
    int end = 0;
    ASSERT_TRUE(regex.Search(_ADDRESS, &start, &end));
    EXPECT_EQ(start, 26);
    EXPECT_EQ(end, 32);
    EXPECT_FALSE(regex.Search(_ADDRESS, &start, &end, 27));
    EXPECT_EQ(Match(u"id=\\w+", u"id=a&id=b", 1), u"id=b");
    EXPECT_FALSE(regex.Search(nullptr, &start, &end));
}

TEST(Regex, UnsupportedPatternsFailToCompile) {
    VoluxTest::LogCapture log;
    const char16_t* patterns[] = {u"a.b", u"a*", u"(a)", u"[ab]", u"a|b", u"^a", u"a$", u"a?", u"+a", u"a++",
                                  u"\\d+", u"\\", u"a{2}"};
    for (const char16_t* pattern : patterns) {
        SCOPED_TRACE(VoluxTest::Narrow(pattern));
        Regex regex;
        EXPECT_FALSE(regex.Compile(pattern));
        int start = 0;
        int end = 0;
        EXPECT_FALSE(regex.Search(u"a.b aa (a) ab a?", &start, &end));
    }
    EXPECT_NE(log.trace.find(u"[FG] Regular expression \"a.b\" not compiled"), std::u16string::npos);
}
