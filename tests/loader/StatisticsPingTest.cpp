#include <gtest/gtest.h>

#include <string>

#include "Platform/Environment.h"
#include "loader/StatisticsPing.h"

namespace Volux {
namespace {

std::string Narrow(const WString& text) {
    std::string result;
    for (int i = 0; i < text.Length(); i++)
        result.push_back(text[i] < 128 ? char(text[i]) : '?');
    return result;
}

TEST(StatisticsPing, RequestTextForAFixedClockAndMachine) {
    StatisticsFacts facts;
    facts.applicationName = u"My Game-2";
    facts.microClient = true;
    facts.time.year = 2015;
    facts.time.month = 3;
    facts.time.day = 1;
    facts.time.hour = 9;
    facts.time.minute = 5;
    facts.time.second = 7;
    facts.versionCode = 8;
    facts.languageCode = 2;
    facts.macAddress = u"00:11:22:AA:BB:CC";
    EXPECT_EQ(Narrow(StatisticsRequest(u"http://stats.example/", facts)),
              "http://stats.example/s?g=My_Game_2&p=m&v=10006&l=d&t=20150301090507&z=0&m=0&o=8&y=2"
              "&d=00:11:22:AA:BB:CC");
}

TEST(StatisticsPing, NamesAreFilteredAndCut) {
    const struct {
        const char16_t* name;
        const char16_t* sent;
    } cases[] = {
        {u"", u""},
        {u"abcXYZ019", u"abcXYZ019"},
        {u"a.b/c d\u00e9", u"a_b_c_d_"},
        {u"0123456789012345678901234567890123456789012345678901234567890123456789",
         u"012345678901234567890123456789012345678901234567890123456789012"},
    };
    for (const auto& c : cases) {
        StatisticsFacts facts;
        facts.applicationName = c.name;
        Environment::Remove(u"[MICRO-CLIENT]");
        const std::string request = Narrow(StatisticsRequest(u"", facts));
        EXPECT_EQ(request.substr(0, request.find("&p=")), "s?g=" + Narrow(WString(c.sent)));
    }
}

TEST(StatisticsPing, ClientKindFollowsTheMarker) {
    const struct {
        const char16_t* value;  // null = absent
        bool set;
    } cases[] = {{nullptr, false}, {u"00000001", true}, {u"00000000", false}, {u"a", true}, {u"0x", false},
                 {u"", false}};
    for (const auto& c : cases) {
        if (c.value == nullptr)
            Environment::Remove(u"[MICRO-CLIENT]");
        else
            Environment::Set(u"[MICRO-CLIENT]", c.value);
        EXPECT_EQ(MicroClientMarkerSet(), c.set) << (c.value != nullptr ? "set" : "absent");
    }
    Environment::Remove(u"[MICRO-CLIENT]");
}

} // namespace
} // namespace Volux
