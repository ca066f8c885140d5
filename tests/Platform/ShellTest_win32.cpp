#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Platform/Registry.h"
#include "Platform/Shell.h"
#include "Support/LogCapture.h"

using namespace Volux;
using VoluxTest::Narrow;

namespace {

const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
std::u16string U(const wchar_t* text) { return std::u16string(reinterpret_cast<const char16_t*>(text)); }

TEST(ShellTest, HotkeyControlModifiersBecomeHotkeyModifiers) {
    struct Case {
        _dword flags;
        _dword modifiers;
    };
    const Case cases[] = {
        {0, 0},
        {1, MOD_SHIFT},
        {2, MOD_CONTROL},
        {4, MOD_ALT},
        {3, MOD_CONTROL | MOD_SHIFT},  // 6
        {7, MOD_ALT | MOD_CONTROL | MOD_SHIFT},
        {8, 0},  // HOTKEYF_EXT has no counterpart
    };
    for (const Case& c : cases)
        EXPECT_EQ(Shell::HotkeyModifiers(c.flags), c.modifiers) << "flags " << c.flags;
    EXPECT_EQ(Shell::HotkeyModifiers(3), 6u);
}

TEST(ShellTest, ElevationAsksForRunasFromVersionSix) {
    EXPECT_EQ(std::u16string(Shell::ElevationVerb(5)), u"open");
    EXPECT_EQ(std::u16string(Shell::ElevationVerb(6)), u"runas");
    EXPECT_EQ(std::u16string(Shell::ElevationVerb(10)), u"runas");
}

TEST(ShellTest, CommandTextSplitsIntoQuotedFileAndParameters) {
    struct Case {
        const char16_t* command;
        bool ok;
        const char16_t* file;
        const char16_t* parameters;
    };
    const Case cases[] = {
        {u"notepad.exe", true, u"\"notepad.exe\"", u""},
        {u"\"C:\\Program Files\\a.exe\" -x \"two words\"", true, u"\"C:\\Program Files\\a.exe\"",
         u" \"-x\" \"two words\""},
        {u"  a\tb  ", true, u"\"a\"", u" \"b\""},
        // A trailing backslash must not escape the closing quote.
        {u"app.exe C:\\dir\\ \"D:\\two words\\\\\"", true, u"\"app.exe\"", u" \"C:\\dir\\\\\" \"D:\\two words\\\\\\\\\""},
        {u"   ", false, u"", u""},
        {u"", false, u"", u""},
    };
    for (const Case& c : cases) {
        WString file = u"stale", parameters = u"stale";
        EXPECT_EQ(Shell::SplitCommand(c.command, file, parameters), c.ok) << Narrow(c.command);
        EXPECT_EQ(std::u16string(file.Text()), c.file) << Narrow(c.command);
        EXPECT_EQ(std::u16string(parameters.Text()), c.parameters) << Narrow(c.command);
    }
    EXPECT_FALSE(Shell::OpenWithArguments(u"  "));
}

TEST(ShellTest, AutoStartWritesTheQuotedProgramIntoTheRunKey) {
    EXPECT_EQ(std::u16string(Shell::AutoStartText(u"C:\\Game\\mc.exe", u"")), u"\"C:\\Game\\mc.exe\" ");
    EXPECT_EQ(std::u16string(Shell::AutoStartText(u"C:\\Game\\mc.exe", u"-s")), u"\"C:\\Game\\mc.exe\" -s");

    WString name = Format(u"VoluxTest-%u", unsigned(GetCurrentProcessId()));
    ASSERT_TRUE(Shell::SetAutoStart(u"C:\\Game Folder\\mc.exe", u"/quiet", name));
    RegistryKey run(RegistryKey::_CURRENT_USER, RegistryKey::_READ_WRITE);
    ASSERT_TRUE(run.Open(u"Software\\Microsoft\\Windows\\CurrentVersion\\Run"));
    WString text;
    EXPECT_TRUE(run.GetText(name, text));
    EXPECT_EQ(std::u16string(text.Text()), u"\"C:\\Game Folder\\mc.exe\" /quiet");
    EXPECT_TRUE(run.DeleteValue(name));
}

// A temporary folder for the links of one test, removed afterwards.
class ShortcutTest : public testing::Test {
protected:
    void SetUp() override {
        mFolder = FileSystem::TemporaryName(FileSystem::TemporaryFolder(), u"vsh");
        ASSERT_TRUE(FileSystem::DeleteFile(mFolder));
        ASSERT_TRUE(FileSystem::CreateDirectories(mFolder));
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    }
    void TearDown() override {
        CoUninitialize();
        EXPECT_TRUE(FileSystem::RemoveDirectoryTree(mFolder));
    }

    struct Link {
        std::u16string path, arguments, description, directory, icon;
        int iconIndex = -1;
    };
    // Reads a link back through the shell's own interfaces.
    bool ReadLink(const char16_t* linkPath, Link& link) {
        IShellLinkW* shellLink = nullptr;
        if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    reinterpret_cast<void**>(&shellLink))))
            return false;
        IPersistFile* file = nullptr;
        bool ok = SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                  SUCCEEDED(file->Load(W(linkPath), STGM_READ));
        if (ok) {
            wchar_t buffer[MAX_PATH * 2];
            buffer[0] = 0;
            shellLink->GetPath(buffer, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
            link.path = U(buffer);
            buffer[0] = 0;
            shellLink->GetArguments(buffer, MAX_PATH * 2);
            link.arguments = U(buffer);
            buffer[0] = 0;
            shellLink->GetDescription(buffer, MAX_PATH * 2);
            link.description = U(buffer);
            buffer[0] = 0;
            shellLink->GetWorkingDirectory(buffer, MAX_PATH * 2);
            link.directory = U(buffer);
            buffer[0] = 0;
            int index = -1;
            shellLink->GetIconLocation(buffer, MAX_PATH * 2, &index);
            link.icon = U(buffer);
            link.iconIndex = index;
        }
        if (file != nullptr)
            file->Release();
        shellLink->Release();
        return ok;
    }

    WString mFolder;
};

TEST_F(ShortcutTest, ShortcutKeepsTargetArgumentsDescriptionFolderAndIcon) {
    // The target must exist for the shell to keep its path as given.
    WString target = Format(u"%ls\\game.exe", mFolder.Text());
    ASSERT_TRUE(FileSystem::WriteFile(target, "MZ", 2));
    WString icon = Format(u"%ls\\icon.ico", mFolder.Text());
    ASSERT_TRUE(FileSystem::WriteFile(icon, "\0\0\1\0", 4));
    WString linkPath = Format(u"%ls\\Game.lnk", mFolder.Text());

    ASSERT_TRUE(Shell::CreateShortcut(target, u"/setup -s", u"The game", mFolder, icon, linkPath));
    ASSERT_TRUE(FileSystem::IsFile(linkPath));
    Link link;
    ASSERT_TRUE(ReadLink(linkPath, link));
    EXPECT_EQ(link.path, std::u16string(target.Text())) << Narrow(link.path);
    EXPECT_EQ(link.arguments, u"/setup -s");
    EXPECT_EQ(link.description, u"The game");
    EXPECT_EQ(link.directory, std::u16string(mFolder.Text()));
    EXPECT_EQ(link.icon, std::u16string(icon.Text()));
    EXPECT_EQ(link.iconIndex, 0);
}

TEST_F(ShortcutTest, ShortcutWithoutIconFileSetsNoIconLocation) {
    WString target = Format(u"%ls\\game.exe", mFolder.Text());
    ASSERT_TRUE(FileSystem::WriteFile(target, "MZ", 2));
    WString linkPath = Format(u"%ls\\Plain.lnk", mFolder.Text());
    ASSERT_TRUE(Shell::CreateShortcut(target, u"", u"", mFolder, u"", linkPath));
    Link link;
    ASSERT_TRUE(ReadLink(linkPath, link));
    EXPECT_EQ(link.path, std::u16string(target.Text()));
    EXPECT_TRUE(link.icon.empty()) << Narrow(link.icon);
}

TEST_F(ShortcutTest, ShortcutIntoAMissingFolderFails) {
    WString linkPath = Format(u"%ls\\missing\\Game.lnk", mFolder.Text());
    EXPECT_FALSE(Shell::CreateShortcut(u"C:\\windows\\notepad.exe", u"", u"", u"", u"", linkPath));
    EXPECT_FALSE(FileSystem::IsFile(linkPath));
}

// A plain hidden top-level window for the services that need one.
class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VoluxShellTestWindow";
        RegisterClassW(&windowClass);
        mWindow = CreateWindowExW(0, L"VoluxShellTestWindow", L"Volux shell test", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                  100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(mWindow, nullptr);
    }
    void TearDown() override {
        if (mWindow != nullptr)
            DestroyWindow(mWindow);
        UnregisterClassW(L"VoluxShellTestWindow", GetModuleHandleW(nullptr));
    }
    HWND mWindow = nullptr;
};

TEST_F(WindowTest, BossHotkeyRegistersIdZeroAndZeroOnlyRemovesIt) {
    // Ctrl+Shift+F11: unlikely to be taken by anything else on the display.
    const _dword hotkey = (3u << 8) | VK_F11;
    ASSERT_TRUE(Shell::SetBossHotkey(mWindow, hotkey));
    // Setting it again replaces the registration instead of failing on the old one.
    ASSERT_TRUE(Shell::SetBossHotkey(mWindow, hotkey));
    EXPECT_FALSE(Shell::SetBossHotkey(mWindow, 0));
    EXPECT_FALSE(UnregisterHotKey(mWindow, 0)) << "value 0 leaves nothing registered";

    ASSERT_TRUE(Shell::SetBossHotkey(mWindow, hotkey));
    EXPECT_TRUE(UnregisterHotKey(mWindow, 0));
}

TEST_F(WindowTest, NotificationIconAddsAndRemovesWithALongTip) {
    std::u16string tip(300, u'x');
    // WINE: without a system tray on the virtual display the shell may refuse the icon; the
    // removal must then fail too, and nothing else is checked.
    if (!Shell::AddNotificationIcon(mWindow, tip.c_str())) {
        EXPECT_FALSE(Shell::RemoveNotificationIcon(mWindow));
        GTEST_SKIP() << "no notification area";
    }
    EXPECT_TRUE(Shell::RemoveNotificationIcon(mWindow));
    EXPECT_FALSE(Shell::RemoveNotificationIcon(mWindow)) << "already removed";
}

} // namespace
