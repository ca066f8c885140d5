#include <gtest/gtest.h>

#include <string>

#include "launcher/CommandArguments.h"
#include "CommandValues.h"

namespace Volux {
namespace {

TEST(CommandArgumentsTest, UnreadableListsAreTold) {
    CommandValue values[2] = {Integer(1), Integer(2)};
    struct Case {
        int count;
        CommandValue* values;
        int expected;
    } cases[] = {
        {0, nullptr, 0},
        {2, values, 2},
        {-1, values, -1},
        {_MAX_COMMAND_ARGUMENTS + 1, values, -1},
        {2, nullptr, -1},  // a count without values
    };
    EXPECT_EQ(CommandArgumentCount(nullptr), 0);
    for (const Case& c : cases) {
        CommandArguments list;
        list.count = c.count;
        list.values = c.values;
        EXPECT_EQ(CommandArgumentCount(&list), c.expected) << c.count;
    }
}

TEST(CommandArgumentsTest, ValuesReadByKindWithSafeDefaults) {
    std::u16string longText(_MAX_COMMAND_TEXT + 1, u'x');
    std::u16string longest(_MAX_COMMAND_TEXT, u'y');
    CommandValue values[] = {Text(u"address"), Text(nullptr), Integer(42),       Text(u"42"),
                             Boolean(true),     Integer(int64_t(1) << 40 | 7, _KIND_INT64),
                             Text(longText.c_str()), Text(longest.c_str())};
    CommandArguments list;
    list.count = 8;
    list.values = values;

    WString text;
    EXPECT_TRUE(CommandText(list, 0, text));
    EXPECT_EQ(text, u"address");
    EXPECT_TRUE(CommandText(list, 1, text));  // a null text is empty
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_TRUE(CommandText(list, 2, text));  // a number is no text
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_TRUE(CommandText(list, 99, text));  // past the count
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_FALSE(CommandText(list, 6, text));  // over the ceiling: refused
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_TRUE(CommandText(list, 7, text));  // at the ceiling: kept
    EXPECT_EQ(text.Length(), _MAX_COMMAND_TEXT);

    EXPECT_EQ(CommandInteger(list, 2), 42);
    EXPECT_EQ(CommandInteger(list, 3), 0);  // a number spelt as text is not parsed
    EXPECT_EQ(CommandInteger(list, 4), 1);
    EXPECT_EQ(CommandInteger(list, 5), 7);  // cut to 32 bits
    EXPECT_EQ(CommandInteger(list, -1), 0);

    EXPECT_TRUE(CommandBoolean(list, 4));
    EXPECT_FALSE(CommandBoolean(list, 2));  // an integer is no boolean
    EXPECT_FALSE(CommandBoolean(list, 8));

    SetCommandResult(&list, true);
    EXPECT_EQ(list.result.kind, _dword(_KIND_BOOL));
    EXPECT_EQ(list.result.value.boolean, 1);
    SetCommandResult(nullptr, true);
}

TEST(CommandArgumentsTest, BoundedLengthStopsAtTheCeiling) {
    const char16_t text[] = u"abcdef";
    EXPECT_EQ(BoundedTextLength(text, 6), 6);
    EXPECT_EQ(BoundedTextLength(text, 5), -1);
    EXPECT_EQ(BoundedTextLength(nullptr, 5), 0);
}

} // namespace
} // namespace Volux
