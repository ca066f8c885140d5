#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include "CommandValues.h"
#include "FakePage.h"
#include "Support/LogCapture.h"
#include "launcher/LauncherScript.h"
#include "launcher/MainWindowHooks.h"
#include "launcher/PageCommands.h"
#include "launcher/StartUp.h"
#include "ui/LoadingWindow.h"

namespace Volux {
namespace {

int sAsked = 0;
bool AnswerNo(HWND, const char16_t*, const char16_t*) {
    sAsked++;
    return false;
}

std::vector<std::u16string> sLaunched;
bool RecordLaunch(const char16_t* target, bool folder) {
    sLaunched.push_back(std::u16string(folder ? u"folder:" : u"web:") + target);
    return true;
}

// A launcher record with its main window (a close button in the system row); the command
// seams answer instead of the shell and the question box.
class PageCommandsTest : public testing::Test {
public:
    void SetUp() override {
        sAsked = 0;
        sLaunched.clear();
        SetConfirmFunction(&AnswerNo);
        SetLaunchFunction(&RecordLaunch);
        state.title = u"Game";
        state.width = 400;
        state.height = 300;
        TitleBarButton close;
        close.id = 1005;
        close.visibleIn = 255;
        state.mainWindowRecord.AddButton(_ROW_SYSTEM, std::move(close));
        ASSERT_TRUE(EnsureMainWindow(state));
        window = state.mainWindowRecord.window;
        plugin.kind = _SENDER_PLUGIN;
    }
    void TearDown() override {
        SetConfirmFunction(nullptr);
        SetLaunchFunction(nullptr);
        ShutDown(state);
        QuitPosted();
    }
    bool QuitPosted() {
        MSG message;
        return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    }
    // Runs the word with the values (a list only when values is not null); returns the result
    // value: 1 true, 0 false, -1 untouched.
    int Run(const char16_t* word, std::vector<CommandValue>* values, const CommandSender& sender) {
        CommandArguments list;
        if (values != nullptr) {
            list.count = int(values->size());
            list.values = values->data();
        }
        RunCommandWord(state, sender, word, values != nullptr ? &list : nullptr);
        return list.result.kind == _KIND_BOOL ? list.result.value.boolean : -1;
    }

    LauncherState state;
    HWND window = nullptr;
    CommandSender plugin;
};

TEST_F(PageCommandsTest, WordsFromThePlugIn) {
    struct Case {
        const char16_t* word;
        std::vector<CommandValue> values;
        bool withList;
        int result;
        const char16_t* logLine;
        std::function<void(PageCommandsTest&)> check;
    };
    std::vector<Case> cases = {
        {u"logindone", {}, false, -1, u"[MC] _WM_INVOKE called, logindone",
         [](PageCommandsTest& t) { EXPECT_EQ(t.state.loggedIn, 1); }},
        {u"maxwin", {}, false, -1, nullptr,
         [](PageCommandsTest& t) {
             EXPECT_EQ(t.state.loadingSized, 0);
             EXPECT_TRUE(IsZoomed(t.window));
         }},
        {u"button", {Text(u"close")}, true, 0, u"[MC] Button param count error 1",
         [](PageCommandsTest& t) { EXPECT_EQ(t.state.closeRegistered, 0); }},
        {u"button", {Text(u"close"), Text(u"reg")}, true, -1, nullptr,
         [](PageCommandsTest& t) { EXPECT_EQ(t.state.closeRegistered, 1); }},
        {u"button", {Text(u"close"), Text(u"hide")}, true, -1, nullptr,
         [](PageCommandsTest& t) { EXPECT_EQ(t.state.mainWindowRecord.FindButton(1005)->visibleIn, 0); }},
        {u"button", {Text(u"other"), Text(u"click")}, true, -1, nullptr,
         [](PageCommandsTest& t) {
             EXPECT_EQ(t.state.quitState, 0);
             EXPECT_FALSE(t.QuitPosted());
         }},
        {u"button", {Text(u"close"), Text(u"click")}, true, -1, nullptr,
         [](PageCommandsTest& t) {
             EXPECT_EQ(t.state.quitState, 1);
             EXPECT_TRUE(t.QuitPosted());
         }},
        {u"openvideo", {Integer(1), Integer(2), Integer(3), Integer(4), Text(u"t")}, true, 0,
         u"[MC] Openvideo / QQpay param count error 5", [](PageCommandsTest& t) { EXPECT_EQ(t.state.videoPage, nullptr); }},
        {u"qqpay", {Integer(10), Integer(20), Text(u"300"), Integer(200), Text(u"Pay"), Text(u"javascript:alert(1)")},
         true, 0, u"[MC] Openvideo / QQpay: 10,20,0,200,Pay,javascript:alert(1),0",
         [](PageCommandsTest& t) { EXPECT_EQ(t.state.videoPage, nullptr); }},
        {u"openvideo",
         {Integer(10), Integer(20), Integer(300), Integer(200), Text(u"Video"), Text(u"http://video.example/"),
          Boolean(true)},
         true, 1, u"[MC] Openvideo / QQpay: 10,20,300,200,Video,http://video.example/,1",
         [](PageCommandsTest& t) {
             ASSERT_NE(t.state.videoPage, nullptr);
             EXPECT_EQ(t.state.videoPage->kind, 4);
         }},
        {u"qqpay2", {}, true, 0, u"[MC] QQpay2 param count error 0", nullptr},
        {u"qqpay2", {Text(u"http://pay.example/")}, true, 0, u"[MC] QQpay2: http://pay.example/", nullptr},
        {u"launch", {}, true, 0, u"[MC] launch param count error 0",
         [](PageCommandsTest&) { EXPECT_TRUE(sLaunched.empty()); }},
        {u"launch", {Text(u"https://help.example/")}, true, 1, u"[MC] launch: https://help.example/",
         [](PageCommandsTest&) {
             ASSERT_EQ(sLaunched.size(), 1u);
             EXPECT_EQ(sLaunched[0], u"web:https://help.example/");
         }},
        {u"launch", {Text(u"C:\\Windows")}, true, 0, u"[MC] launch refused: C:\\Windows",
         [](PageCommandsTest&) { EXPECT_TRUE(sLaunched.empty()); }},
        {u"launch", {Integer(5)}, true, 0, u"[MC] launch refused: ",
         [](PageCommandsTest&) { EXPECT_TRUE(sLaunched.empty()); }},
        {u"refresh", {}, false, -1, nullptr, [](PageCommandsTest& t) { EXPECT_FALSE(t.QuitPosted()); }},
        {u"refresh", {Text(u"http://game.example/again")}, true, -1,
         u"[MC] Switch location to: http://game.example/again, restart 0",
         [](PageCommandsTest& t) { EXPECT_TRUE(t.QuitPosted()); }},
        {u"gameword", {Integer(1)}, true, -1, u"[MC] _WM_INVOKE called, gameword",
         [](PageCommandsTest& t) {
             EXPECT_EQ(t.state.quitState, 0);
             EXPECT_FALSE(t.QuitPosted());
         }},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases.data()));
        state.quitState = 0;
        state.loggedIn = 0;
        state.loadingSized = 1;
        state.closeRegistered = 0;
        sLaunched.clear();
        VoluxTest::LogCapture log;
        EXPECT_EQ(Run(c.word, c.withList ? &c.values : nullptr, plugin), c.result);
        if (c.logLine != nullptr) {
            EXPECT_NE(log.trace.find(c.logLine), std::u16string::npos);
        }
        if (c.check)
            c.check(*this);
        if (state.videoPage != nullptr) {
            DestroyWebWindow(state.videoPage);
            state.videoPage = nullptr;
        }
    }
}

TEST_F(PageCommandsTest, KickCommandSwitchesToTheExitAddressAndEndsTheLoop) {
    // A null word is the empty word, and the empty kick command matches it.
    state.exitURL = u"http://game.example/bye";
    VoluxTest::LogCapture log;
    EXPECT_EQ(Run(nullptr, nullptr, plugin), -1);
    EXPECT_NE(log.trace.find(u"[MC] Logoff to http://game.example/bye"), std::u16string::npos);
    EXPECT_TRUE(QuitPosted());

    // Without an exit address the server's log-out address is taken; a named kick command
    // needs its name.
    state.exitURL = u"";
    state.serverLogoutURL = u"http://server.example/out";
    state.kickFunction = u"kicked";
    log.Clear();
    Run(u"", nullptr, plugin);
    EXPECT_FALSE(QuitPosted());
    Run(u"kicked", nullptr, plugin);
    EXPECT_NE(log.trace.find(u"[MC] Logoff to http://server.example/out"), std::u16string::npos);
    EXPECT_TRUE(QuitPosted());

    // Nothing to go to: nothing happens.
    state.serverLogoutURL = u"";
    Run(u"kicked", nullptr, plugin);
    EXPECT_FALSE(QuitPosted());
}

TEST_F(PageCommandsTest, AnUntrustedPageMayNotActOnTheLauncher) {
    state.frameURLs.Append(WString(u"http://frame.example/"));
    CommandSender page;
    page.kind = _SENDER_PAGE;
    page.address = u"http://ads.example/banner";
    std::vector<CommandValue> target = {Text(u"https://help.example/")};
    std::vector<CommandValue> closeClick = {Text(u"close"), Text(u"click")};
    VoluxTest::LogCapture log;
    EXPECT_EQ(Run(u"launch", &target, page), 0);
    EXPECT_TRUE(sLaunched.empty());
    EXPECT_NE(log.trace.find(u"[MC] _WM_INVOKE launch refused from http://ads.example/banner"), std::u16string::npos);
    EXPECT_EQ(Run(u"button", &closeClick, page), 0);
    EXPECT_EQ(state.quitState, 0);
    Run(u"", nullptr, page);  // the kick command
    EXPECT_FALSE(QuitPosted());
    // Words that only report stay open to every page.
    Run(u"logindone", nullptr, page);
    EXPECT_EQ(state.loggedIn, 1);

    page.address = u"http://frame.example/lobby";
    EXPECT_EQ(Run(u"launch", &target, page), 1);
    EXPECT_EQ(sLaunched.size(), 1u);
}

TEST_F(PageCommandsTest, OverlongTextsAndUnreadableListsChangeNothing) {
    std::u16string longText(_MAX_COMMAND_TEXT + 1, u'a');
    std::vector<CommandValue> values = {Text(u"close"), Text(longText.c_str())};
    VoluxTest::LogCapture log;
    EXPECT_EQ(Run(u"button", &values, plugin), 0);
    EXPECT_EQ(state.closeRegistered, 0);
    EXPECT_NE(log.trace.find(u"argument longer than 2048 characters refused"), std::u16string::npos);

    CommandArguments broken;
    broken.count = 3;  // no values behind the count
    RunCommandWord(state, plugin, u"logindone", &broken);
    EXPECT_EQ(state.loggedIn, 0);
    broken.count = -4;
    RunCommandWord(state, plugin, u"logindone", &broken);
    EXPECT_EQ(state.loggedIn, 0);

    RunCommandWord(state, plugin, longText.c_str(), nullptr);
    EXPECT_NE(log.trace.find(u"[MC] _WM_INVOKE word longer than 2048 characters refused"), std::u16string::npos);
}

TEST_F(PageCommandsTest, RegisteredCloseGoesToTheGameInsteadOfAsking) {
    std::vector<CommandValue> reg = {Text(u"close"), Text(u"reg")};
    Run(u"button", &reg, plugin);
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(sAsked, 0);
    EXPECT_EQ(state.quitState, 0);
    EXPECT_FALSE(QuitPosted());
    EXPECT_TRUE(IsWindow(window));

    std::vector<CommandValue> unreg = {Text(u"close"), Text(u"unreg")};
    Run(u"button", &unreg, plugin);
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(sAsked, 1);
}

struct CrossThreadSend {
    HWND window;
    WPARAM word;
    LPARAM list;
};

DWORD WINAPI SendFromAnotherThread(void* parameter) {
    auto* send = static_cast<CrossThreadSend*>(parameter);
    SendMessageW(send->window, _WM_INVOKE, send->word, send->list);
    return 0;
}

TEST_F(PageCommandsTest, CommandsFromAnotherThreadAreRefusedUnread) {
    // Pointers that would fault if read: the handler must not touch them.
    CrossThreadSend send = {window, WPARAM(0x10), LPARAM(0x20)};
    VoluxTest::LogCapture log;
    HANDLE thread = CreateThread(nullptr, 0, &SendFromAnotherThread, &send, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    // The sent message is handled while this thread takes its messages.
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 5000, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    }
    CloseHandle(thread);
    EXPECT_NE(log.trace.find(u"[MC] _WM_INVOKE from another thread or process refused"), std::u16string::npos);
    EXPECT_EQ(log.trace.find(u"_WM_INVOKE called"), std::u16string::npos);
}

TEST_F(PageCommandsTest, TheSenderIsThePageHoldingTheInput) {
    VoluxTest::FakeDocument document;
    document.location = u"http://frame.example/lobby";
    WebWindow* page = VoluxTest::MakeFakePage(window, document);
    ASSERT_NE(page, nullptr);
    SetFocus(page->window);
    CommandSender sender = SenderOfCommand(state, window);
    EXPECT_EQ(sender.kind, _SENDER_PAGE);
    EXPECT_EQ(sender.address, u"http://frame.example/lobby");
    EXPECT_FALSE(sender.gamePage);
    EXPECT_FALSE(sender.crossThread);
    AddGamePage(state.pages, page);
    EXPECT_TRUE(SenderOfCommand(state, window).gamePage);

    SetFocus(window);
    EXPECT_EQ(SenderOfCommand(state, window).kind, _SENDER_UNKNOWN);
}

} // namespace
} // namespace Volux
