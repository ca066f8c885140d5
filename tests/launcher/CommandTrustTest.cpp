#include <gtest/gtest.h>

#include "Support/ScratchFolder.h"
#include "launcher/CommandTrust.h"
#include "CommandValues.h"

namespace Volux {
namespace {

TEST(CommandTrustTest, SendersAndTheirAddresses) {
    LauncherState state;
    state.frameURLs.Append(WString(u"http://frame.example/"));
    state.frameURLs.Append(WString(u""));  // an empty entry matches nothing
    state.quietURLs.Append(WString(u"game.example/play"));
    state.quietURLs.Append(WString(u""));
    struct Case {
        int kind;
        const char16_t* address;
        bool gamePage;
        bool crossThread;
        bool trusted;
    } cases[] = {
        {_SENDER_PLUGIN, u"", false, false, true},
        {_SENDER_PLUGIN, u"", false, true, false},  // another thread: never
        {_SENDER_PAGE, u"http://elsewhere.example/", true, false, true},  // the game page itself
        {_SENDER_PAGE, u"http://frame.example/login", false, false, true},
        {_SENDER_PAGE, u"HTTP://FRAME.EXAMPLE/login", false, false, false},  // prefixes are case-sensitive
        {_SENDER_PAGE, u"http://cdn.game.example/play?id=1", false, false, true},
        {_SENDER_PAGE, u"http://ads.example/", false, false, false},
        {_SENDER_PAGE, u"", false, false, false},
        {_SENDER_PAGE, u"http://frame.example/", false, true, false},
        {_SENDER_UNKNOWN, u"http://frame.example/", false, false, false},
    };
    for (const Case& c : cases) {
        CommandSender sender;
        sender.kind = c.kind;
        sender.address = c.address;
        sender.gamePage = c.gamePage;
        sender.crossThread = c.crossThread;
        EXPECT_EQ(IsTrustedCommandSource(state, sender), c.trusted)
            << c.kind << " " << std::u16string(c.address).size() << " " << c.crossThread;
    }
}

TEST(CommandTrustTest, WordsThatActOnTheLauncher) {
    LauncherState state;
    state.kickFunction = u"kick";
    CommandValue closeClick[] = {Text(u"close"), Text(u"click")};
    CommandValue closeShow[] = {Text(u"close"), Text(u"show")};
    CommandValue otherClick[] = {Text(u"menu"), Text(u"click")};
    struct Case {
        const char16_t* word;
        CommandValue* values;
        int count;
        bool acting;
    } cases[] = {
        {u"kick", nullptr, 0, true},     {u"refresh", nullptr, 0, true},    {u"launch", nullptr, 0, true},
        {u"openvideo", nullptr, 0, true}, {u"qqpay", nullptr, 0, true},     {u"qqpay2", nullptr, 0, true},
        {u"button", closeClick, 2, true}, {u"button", closeShow, 2, false}, {u"button", otherClick, 2, false},
        {u"logindone", nullptr, 0, false}, {u"maxwin", nullptr, 0, false},  {u"Launch", nullptr, 0, false},
        {u"gameword", nullptr, 0, false},  {nullptr, nullptr, 0, false},  // empty word, kick command set
    };
    for (const Case& c : cases) {
        CommandArguments list;
        list.count = c.count;
        list.values = c.values;
        EXPECT_EQ(IsLauncherWord(state, c.word, c.values != nullptr ? &list : nullptr), c.acting)
            << (c.word != nullptr ? std::u16string(c.word).size() : 0);
    }
    state.kickFunction = u"";
    EXPECT_TRUE(IsLauncherWord(state, nullptr, nullptr));  // a null word is the empty kick command
}

TEST(CommandTrustTest, LaunchTargetsAreWebAddressesOrFoldersInsideTheInstallFolder) {
    VoluxTest::ScratchFolder root;
    ASSERT_TRUE(root.IsReady());
    const WString install = root.At(u"install");
    ASSERT_TRUE(FileSystem::CreateDirectories(root.At(u"install\\screenshots")));
    ASSERT_TRUE(FileSystem::CreateDirectories(root.At(u"outside")));
    ASSERT_TRUE(root.Put(u"install\\game.exe", "MZ"));
    const WString inside = root.At(u"install\\screenshots");
    const WString outside = root.At(u"outside");
    const WString climbing = install + u"\\..\\outside";
    const WString sibling = install + u"x";  // shares the install folder's text as a prefix
    ASSERT_TRUE(FileSystem::CreateDirectories(sibling));
    struct Case {
        const char16_t* target;
        int kind;
    } cases[] = {
        {u"http://game.example/help", _LAUNCH_WEB},
        {u"HTTPS://game.example/pay", _LAUNCH_WEB},
        {u"https://game.example/\" /c calc", _LAUNCH_REFUSED},  // quoted text
        {u"javascript:alert(1)", _LAUNCH_REFUSED},
        {u"file:///c:/windows/system32/calc.exe", _LAUNCH_REFUSED},
        {u"C:\\Windows", _LAUNCH_REFUSED},
        {u"C:\\Windows\\System32\\calc.exe", _LAUNCH_REFUSED},
        {u"screenshots", _LAUNCH_FOLDER},
        {u"screenshots\\", _LAUNCH_FOLDER},
        {inside.Text(), _LAUNCH_FOLDER},
        {install.Text(), _LAUNCH_FOLDER},
        {u"game.exe", _LAUNCH_REFUSED},  // a file, not a folder
        {u"missing", _LAUNCH_REFUSED},
        {u"..\\outside", _LAUNCH_REFUSED},
        {u"screenshots\\..\\..\\outside", _LAUNCH_REFUSED},
        {u"screenshots\\.. \\..\\outside", _LAUNCH_REFUSED},
        {climbing.Text(), _LAUNCH_REFUSED},
        {outside.Text(), _LAUNCH_REFUSED},
        {sibling.Text(), _LAUNCH_REFUSED},
        {u"\\\\server\\share", _LAUNCH_REFUSED},
        {u"\\\\?\\C:\\Windows", _LAUNCH_REFUSED},
        {u"\\Windows", _LAUNCH_REFUSED},
        {u"screenshots:stream", _LAUNCH_REFUSED},
        {u"\"screenshots\"", _LAUNCH_REFUSED},
        {u"", _LAUNCH_REFUSED},
    };
    for (const Case& c : cases) {
        WString resolved;
        const int kind = ClassifyLaunchTarget(c.target, install, resolved);
        EXPECT_EQ(kind, c.kind) << std::string(WString(c.target).Length(), '?') << " case "
                                << (&c - cases);
        EXPECT_EQ(resolved.IsEmpty(), kind == _LAUNCH_REFUSED);
    }
    WString resolved;
    EXPECT_EQ(ClassifyLaunchTarget(nullptr, install, resolved), _LAUNCH_REFUSED);
    EXPECT_EQ(ClassifyLaunchTarget(u"screenshots", u"", resolved), _LAUNCH_REFUSED);
    EXPECT_EQ(ClassifyLaunchTarget(u"screenshots", install, resolved), _LAUNCH_FOLDER);
    EXPECT_EQ(resolved, inside);
}

} // namespace
} // namespace Volux
