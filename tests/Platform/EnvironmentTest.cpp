#include <gtest/gtest.h>

#include "Common/StringFormatter.h"
#include "Platform/Environment.h"
#include "Platform/Thread.h"
#include "Support/LogCapture.h"

using namespace Volux;
using VoluxTest::Narrow;

namespace {

// Each test uses variable names of its own process and removes them again.
class EnvironmentTest : public testing::Test {
protected:
    void TearDown() override {
        for (const WString& name : mNames)
            Environment::Remove(name);
    }
    WString Name(const char16_t* part) {
        WString name = Format(u"[VoluxTest-%ls-%u]", part, CurrentThreadId());
        mNames.Append(name);
        return name;
    }
    Array<WString> mNames;
};

TEST_F(EnvironmentTest, SetGetAndRemoveRoundTripIncludingNonAsciiText) {
    WString name = Name(u"text");
    WString value;
    EXPECT_FALSE(Environment::Get(name, value));
    const char16_t* text = u"C:\\Spiele\\\u6e38\u620f \U0001F3AE";
    ASSERT_TRUE(Environment::Set(name, text));
    ASSERT_TRUE(Environment::Get(name, value));
    EXPECT_EQ(std::u16string(value.Text()), std::u16string(text)) << Narrow(value.Text());
    ASSERT_TRUE(Environment::Set(name, u"00000001"));
    ASSERT_TRUE(Environment::Get(name, value));
    EXPECT_EQ(std::u16string(value.Text()), u"00000001");
    ASSERT_TRUE(Environment::Remove(name));
    EXPECT_FALSE(Environment::Get(name, value));
    EXPECT_TRUE(value.IsEmpty());
}

TEST_F(EnvironmentTest, EmptyValueStillExists) {
    WString name = Name(u"empty");
    ASSERT_TRUE(Environment::Set(name, u""));
    WString value = u"stale";
    EXPECT_TRUE(Environment::Get(name, value));
    EXPECT_TRUE(value.IsEmpty());
}

TEST_F(EnvironmentTest, LongValueIsCutToTheLimit) {
    WString name = Name(u"long");
    WString text;
    for (int i = 0; i < Environment::_MAX_VALUE_CHARS + 500; i++)
        text.AppendChar(char16_t(u'a' + i % 26));
    ASSERT_TRUE(Environment::Set(name, text));
    WString value;
    ASSERT_TRUE(Environment::Get(name, value));
    EXPECT_EQ(value.Length(), Environment::_MAX_VALUE_CHARS);
    EXPECT_EQ(std::u16string(value.Text()), std::u16string(text.Text(), Environment::_MAX_VALUE_CHARS));
}

TEST_F(EnvironmentTest, IntegersAreDecimalTextAndReadBackClamped) {
    WString name = Name(u"integer");
    int value = -1;
    EXPECT_FALSE(Environment::GetInteger(name, value));
    ASSERT_TRUE(Environment::SetInteger(name, -42));
    WString text;
    ASSERT_TRUE(Environment::Get(name, text));
    EXPECT_EQ(std::u16string(text.Text()), u"-42");

    struct Case {
        const char16_t* text;
        int expected;
    };
    const Case cases[] = {
        {u"17", 17},
        {u"  +8x", 8},
        {u"-2147483648", -2147483647 - 1},
        {u"2147483647", 2147483647},
        {u"99999999999999999999", 2147483647},
        {u"-99999999999999999999", -2147483647 - 1},
        {u"abc", 0},
        {u"", 0},
        {u"00000001", 1},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Environment::Set(name, c.text));
        EXPECT_TRUE(Environment::GetInteger(name, value)) << Narrow(c.text);
        EXPECT_EQ(value, c.expected) << Narrow(c.text);
    }
}

TEST_F(EnvironmentTest, InvalidNamesAreRefused) {
    WString value;
    for (const char16_t* name : {u"", u"A=B"}) {
        EXPECT_FALSE(Environment::Set(name, u"x")) << Narrow(name);
        EXPECT_FALSE(Environment::Get(name, value)) << Narrow(name);
    }
    EXPECT_FALSE(Environment::Set(nullptr, u"x"));
}

} // namespace
