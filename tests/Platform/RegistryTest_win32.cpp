#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "Common/StringFormatter.h"
#include "Platform/Registry.h"
#include "Support/LogCapture.h"

using namespace Volux;
using VoluxTest::Narrow;

namespace {

// Every test works below a key of its own process and removes it whatever happened.
class RegistryTest : public testing::Test {
protected:
    void SetUp() override {
        mRoot = Format(u"Software\\VoluxTest-%u", unsigned(GetCurrentProcessId()));
        RegistryKey::DeleteTree(RegistryKey::_CURRENT_USER, mRoot);
    }
    void TearDown() override {
        EXPECT_TRUE(RegistryKey::DeleteTree(RegistryKey::_CURRENT_USER, mRoot));
        EXPECT_FALSE(RegistryKey::Exists(RegistryKey::_CURRENT_USER, RegistryKey::_READ, mRoot));
    }
    WString Below(const char16_t* relative) const { return Format(u"%ls\\%ls", mRoot.Text(), relative); }

    WString mRoot;
};

TEST_F(RegistryTest, CreateStoresTheKeyAndValuesReadBack) {
    EXPECT_FALSE(RegistryKey::Exists(RegistryKey::_CURRENT_USER, RegistryKey::_READ, mRoot));
    RegistryKey key(RegistryKey::_CURRENT_USER, RegistryKey::_READ_WRITE);
    ASSERT_TRUE(key.Create(mRoot));
    EXPECT_TRUE(key.IsOpened());
    // A second Create goes below the key the first one opened.
    ASSERT_TRUE(key.Create(u"Uninstall\\Game"));
    EXPECT_TRUE(RegistryKey::Exists(RegistryKey::_CURRENT_USER, RegistryKey::_READ, Below(u"Uninstall\\Game")));

    EXPECT_TRUE(key.SetText(u"DisplayName", u"\u6e38\u620f Launcher"));
    EXPECT_TRUE(key.SetText(u"URL Protocol", u""));
    EXPECT_TRUE(key.SetDword(u"NoModify", 1));
    WString text;
    ASSERT_TRUE(key.GetText(u"DisplayName", text));
    EXPECT_EQ(std::u16string(text.Text()), u"\u6e38\u620f Launcher");
    ASSERT_TRUE(key.GetText(u"URL Protocol", text));
    EXPECT_TRUE(text.IsEmpty());
    _dword number = 0;
    ASSERT_TRUE(key.GetDword(u"NoModify", number));
    EXPECT_EQ(number, 1u);

    // The text is stored with its terminator, as other programs expect.
    HKEY raw;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(Below(u"Uninstall\\Game").Text()), 0,
                            KEY_READ, &raw),
              ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(raw, L"DisplayName", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    RegCloseKey(raw);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(size, DWORD((11 + 1) * sizeof(char16_t)));
}

TEST_F(RegistryTest, TypesAndSizesAreChecked) {
    RegistryKey key(RegistryKey::_CURRENT_USER, RegistryKey::_READ_WRITE);
    ASSERT_TRUE(key.Create(mRoot));
    ASSERT_TRUE(key.SetDword(u"Number", 7));
    ASSERT_TRUE(key.SetText(u"Text", u"seven"));
    WString text = u"stale";
    EXPECT_FALSE(key.GetText(u"Number", text)) << "a number is no text";
    EXPECT_TRUE(text.IsEmpty());
    _dword number = 0;
    EXPECT_FALSE(key.GetDword(u"Text", number));
    EXPECT_FALSE(key.GetText(u"Missing", text));

    // Written by another program without its terminator, and with one inside.
    const char16_t raw[] = {u'a', u'b', u'c'};
    ASSERT_TRUE(key.SetValue(u"Unterminated", RegistryKey::_TEXT, raw, sizeof(raw)));
    ASSERT_TRUE(key.GetText(u"Unterminated", text));
    EXPECT_EQ(std::u16string(text.Text()), u"abc");
    const char16_t inner[] = {u'a', 0, u'b', 0};
    ASSERT_TRUE(key.SetValue(u"Inner", RegistryKey::_TEXT, inner, sizeof(inner)));
    ASSERT_TRUE(key.GetText(u"Inner", text));
    EXPECT_EQ(std::u16string(text.Text()), u"a");

    // A value above the ceiling is refused rather than read.
    std::u16string huge(RegistryKey::_MAX_VALUE_BYTES / 2 + 16, u'x');
    ASSERT_TRUE(key.SetText(u"Huge", huge.c_str()));
    EXPECT_FALSE(key.GetText(u"Huge", text));

    ASSERT_TRUE(key.DeleteValue(u"Text"));
    EXPECT_FALSE(key.GetText(u"Text", text));
    EXPECT_FALSE(key.DeleteValue(u"Text"));
}

TEST_F(RegistryTest, OpenOfAMissingKeyFailsAndKeepsThePlace) {
    RegistryKey key(RegistryKey::_CURRENT_USER, RegistryKey::_READ_WRITE);
    ASSERT_TRUE(key.Create(mRoot));
    EXPECT_FALSE(key.Open(u"Missing"));
    EXPECT_FALSE(RegistryKey::Exists(RegistryKey::_CURRENT_USER, RegistryKey::_READ, Below(u"Missing")));
    // Still at mRoot: a value lands there.
    ASSERT_TRUE(key.SetText(u"Here", u"yes"));
    RegistryKey reader(RegistryKey::_CURRENT_USER, RegistryKey::_READ);
    ASSERT_TRUE(reader.Open(mRoot));
    WString text;
    EXPECT_TRUE(reader.GetText(u"Here", text));
    // A read-only key refuses writes.
    EXPECT_FALSE(reader.SetText(u"Here", u"no"));
}

TEST_F(RegistryTest, DeleteTreeRemovesNestedKeys) {
    {
        RegistryKey key(RegistryKey::_CURRENT_USER, RegistryKey::_READ_WRITE);
        ASSERT_TRUE(key.Create(Below(u"a\\b\\c")));
        ASSERT_TRUE(key.SetText(u"", u"open"));
        RegistryKey sibling(RegistryKey::_CURRENT_USER, RegistryKey::_READ_WRITE);
        ASSERT_TRUE(sibling.Create(Below(u"a\\d")));
    }
    EXPECT_TRUE(RegistryKey::DeleteTree(RegistryKey::_CURRENT_USER, Below(u"a")));
    EXPECT_FALSE(RegistryKey::Exists(RegistryKey::_CURRENT_USER, RegistryKey::_READ, Below(u"a")));
    EXPECT_TRUE(RegistryKey::Exists(RegistryKey::_CURRENT_USER, RegistryKey::_READ, mRoot));
    EXPECT_TRUE(RegistryKey::DeleteTree(RegistryKey::_CURRENT_USER, Below(u"a"))) << "already gone counts as done";
    EXPECT_FALSE(RegistryKey::DeleteTree(RegistryKey::_CURRENT_USER, u"")) << "never the root";
}

} // namespace
