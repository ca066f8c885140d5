#include <gtest/gtest.h>

#include <string>

#include "Platform/SystemInfo.h"
#include "Support/LogCapture.h"

using namespace Volux;
using VoluxTest::Narrow;

namespace {

TEST(SystemInfoTest, VersionCodesFollowTheTable) {
    struct Case {
        _dword major, minor;
        int code;
    };
    const Case cases[] = {
        {5, 0, 1}, {5, 1, 2}, {5, 2, 3}, {6, 0, 4}, {6, 1, 5}, {6, 2, 6}, {6, 3, 7},
        {10, 0, 8}, {10, 1, 8}, {4, 0, 0}, {5, 3, 0}, {6, 4, 0}, {7, 0, 0}, {11, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SystemInfo::VersionCodeOf(c.major, c.minor), c.code) << c.major << "." << c.minor;

    _dword major = 0, minor = 0;
    ASSERT_TRUE(SystemInfo::SystemVersion(major, minor));
    EXPECT_EQ(SystemInfo::VersionCode(), SystemInfo::VersionCodeOf(major, minor));
}

TEST(SystemInfoTest, LanguageCodesFollowThePrimaryLanguage) {
    struct Case {
        _word languageId;
        int code;
    };
    const Case cases[] = {
        {2052, 2},    // Chinese (PRC)
        {1028, 3},    // Chinese (Taiwan)
        {3076, 3},    // Chinese (Hong Kong)
        {1033, 1},    // English (US)
        {2057, 1},    // English (UK)
        {1036, 12},   // French
        {1041, 4},    // Japanese
        {1042, 5},    // Korean
        {1046, 7},    // Portuguese (Brazil)
        {1049, 11},   // Russian
        {1054, 8},    // Thai
        {1055, 9},    // Turkish
        {1066, 10},   // Vietnamese
        {1086, 6},    // Malay
        {1031, 0},    // German
        {0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SystemInfo::LanguageCodeOf(c.languageId), c.code) << c.languageId;
    int code = SystemInfo::LanguageCode();
    EXPECT_GE(code, 0);
    EXPECT_LE(code, 12);
}

bool IsHexDigit(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'); }

TEST(SystemInfoTest, MacAddressIsSixUpperCaseHexPairsOrEmpty) {
    // WINE: the host name may resolve to an address no emulated adapter carries; the result
    // is then empty, which is the documented answer.
    WString mac = SystemInfo::MacAddress();
    if (mac.IsEmpty())
        return;
    std::u16string text(mac.Text());
    ASSERT_EQ(text.size(), 17u) << Narrow(text);
    for (size_t i = 0; i < text.size(); i++) {
        if (i % 3 == 2)
            EXPECT_EQ(text[i], u':') << Narrow(text);
        else
            EXPECT_TRUE(IsHexDigit(text[i])) << Narrow(text);
    }
}

} // namespace
