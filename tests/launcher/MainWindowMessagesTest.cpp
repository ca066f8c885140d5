#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "Support/LogCapture.h"
#include "Support/ScratchFolder.h"
#include "launcher/BossKeyConfig.h"
#include "launcher/CommandArguments.h"
#include "launcher/Frames.h"
#include "launcher/LauncherScript.h"
#include "launcher/MainWindowHooks.h"
#include "launcher/MainWindowMessages.h"
#include "launcher/PostedMessageFilter.h"
#include "launcher/StartUp.h"
#include "ui/LoadingWindow.h"

namespace Volux {
namespace {

int sAsked = 0;
bool sAnswer = false;
bool Answer(HWND, const char16_t*, const char16_t*) {
    sAsked++;
    return sAnswer;
}

// The main window with a chat entry 1010 in its right row, over a scratch install folder.
class MainWindowMessagesTest : public testing::Test {
protected:
    void SetUp() override {
        sAsked = 0;
        sAnswer = false;
        SetConfirmFunction(&Answer);
        ASSERT_TRUE(folder.IsReady());
        previousFolder = FileSystem::CurrentDirectory();
        FileSystem::ChangeDirectory(folder.path);
        state.title = u"Game";
        state.width = 400;
        state.height = 300;
        TitleBarButton chat;
        chat.id = 1010;
        chat.text = u"VIP";
        chat.visibleIn = 1;
        state.mainWindowRecord.AddButton(_ROW_RIGHT, std::move(chat));
        ASSERT_TRUE(EnsureMainWindow(state));
        window = state.mainWindowRecord.window;
    }
    void TearDown() override {
        SetConfirmFunction(nullptr);
        ShutDown(state);
        QuitPosted();
        FileSystem::ChangeDirectory(previousFolder);
    }
    bool QuitPosted() {
        MSG message;
        return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    }
    // Frame slot 2 as the boss-key settings: a check box and a hotkey box, both id 0.
    FrameWindow* BossKeyFrame() {
        FrameWindow* frame = CreateFrame(state, 2, u"Boss key", 0, 0, 300, 200, 1);
        if (frame == nullptr)
            return nullptr;
        frame->AddCheckBox(0, MakeFrameRect(10, 10, 16, 16), false);
        FrameFieldControl hotkey;
        hotkey.rect = MakeFrameRect(10, 40, 120, 20);
        frame->AddHotkeyBox(std::move(hotkey), 0);
        return frame;
    }

    VoluxTest::ScratchFolder folder;
    WString previousFolder;
    LauncherState state;
    HWND window = nullptr;
};

TEST_F(MainWindowMessagesTest, ALoadingSizedWindowIgnoresClosingUntilMaxwin) {
    state.loadingSized = 1;
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(sAsked, 0);
    EXPECT_FALSE(QuitPosted());
    EXPECT_TRUE(IsWindow(window));

    CommandArguments none;
    SetFocus(nullptr);
    SendMessageW(window, _WM_INVOKE, WPARAM(u"maxwin"), LPARAM(&none));
    EXPECT_EQ(state.loadingSized, 0);
    sAnswer = true;
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(sAsked, 1);
    EXPECT_EQ(state.quitState, 1);
    EXPECT_TRUE(QuitPosted());
}

TEST_F(MainWindowMessagesTest, PrivateMessagesAndTheirEffects) {
    VoluxTest::LogCapture log;
    SendMessageW(window, _WM_PAGE_NEW_MESSAGE, 0, 0);
    EXPECT_EQ(state.mainWindowRecord.blinkingButton, 1010);
    SendMessageW(window, _WM_PAGE_TITLE, WPARAM(u"Server 7"), 1);
    TitleBarButton* chat = state.mainWindowRecord.FindButton(1010);
    ASSERT_NE(chat, nullptr);
    EXPECT_EQ(chat->text, u"Server 7");
    EXPECT_EQ(chat->visibleIn, 255);
    SendMessageW(window, _WM_PAGE_TITLE, 0, 1);  // null is the empty title
    EXPECT_TRUE(chat->text.IsEmpty());
    SendMessageW(window, _WM_PAGE_RESTORED, 0, 0);
    EXPECT_EQ(state.mainWindowRecord.blinkingButton, 0);
    EXPECT_NE(log.trace.find(u"[MC] Got new message"), std::u16string::npos);
    EXPECT_NE(log.trace.find(u"[MC] Got gs name: Server 7"), std::u16string::npos);
    EXPECT_NE(log.trace.find(u"[MC] Clear blur state"), std::u16string::npos);

    // A title without an end within the ceiling is refused, not read on.
    std::u16string longTitle(_MAX_MESSAGE_TEXT + 1, u't');
    SendMessageW(window, _WM_PAGE_TITLE, WPARAM(longTitle.c_str()), 1);
    EXPECT_TRUE(chat->text.IsEmpty());

    PlatformPageRecord record;
    record.first = 1;
    record.second = 2;
    record.name = u"pay";
    record.address = u"http://platform.example/";
    SendMessageW(window, _WM_PLATFORM_PAGE, WPARAM(&record), 0);
    SendMessageW(window, _WM_PLATFORM_PAGE, 0, 0);  // no record: nothing
    EXPECT_NE(log.trace.find(u"[MC] Open QQ page: 1,2,pay,http://platform.example/"), std::u16string::npos);

    ASSERT_NE(CreateFrame(state, 1, u"", 0, 0, 100, 100, 1), nullptr);
    state.frames[1]->Show();
    SendMessageW(window, _WM_FRAME_DISMISSED, 9, 0);  // no such slot
    EXPECT_TRUE(IsWindowVisible(state.frames[1]->window));
    SendMessageW(window, _WM_FRAME_DISMISSED, 1, 0);
    EXPECT_FALSE(IsWindowVisible(state.frames[1]->window));
    state.frames[1]->Show();
    SendMessageW(window, WM_NCLBUTTONDOWN, HTNOWHERE, 0);
    EXPECT_FALSE(IsWindowVisible(state.frames[1]->window));

    SendMessageW(window, _WM_EXIT_NOTICE, 0, 0);
    EXPECT_EQ(state.quitState, 1);
    EXPECT_TRUE(QuitPosted());
    EXPECT_NE(log.trace.find(u"[MC] Notified to exit"), std::u16string::npos);
}

TEST_F(MainWindowMessagesTest, LogOffTakesTheServerAddressFirst) {
    struct Case {
        const char16_t* server;
        const char16_t* script;
        const char16_t* line;  // null: nothing happens
    } cases[] = {
        {u"http://server.example/out", u"http://script.example/out", u"[MC] Logoff to http://server.example/out"},
        {u"", u"http://script.example/out", u"[MC] Logoff to http://script.example/out"},
        {u"", u"", nullptr},
    };
    for (const Case& c : cases) {
        state.serverLogoutURL = c.server;
        state.logoffURL = c.script;
        VoluxTest::LogCapture log;
        SendMessageW(window, _WM_LOG_OFF, 0, 0);
        EXPECT_EQ(QuitPosted(), c.line != nullptr);
        if (c.line != nullptr) {
            EXPECT_NE(log.trace.find(c.line), std::u16string::npos);
        }
    }
}

TEST_F(MainWindowMessagesTest, BossKeyAcceptedNeedsAModifierWhenOn) {
    FrameWindow* frame = BossKeyFrame();
    ASSERT_NE(frame, nullptr);
    struct Case {
        int hotkey;  // as the hotkey box reports it
        bool enabled;
        bool refused;
        int stored;
    } cases[] = {
        {'B', true, true, 0},                              // no modifier: refused
        {(HOTKEYF_CONTROL << 8) | 'B', true, false, (HOTKEYF_CONTROL << 8) | 'B'},
        {(HOTKEYF_ALT << 8) | 'Q', false, false, (HOTKEYF_ALT << 8) | 'Q'},
        {'B', false, false, 0},                            // off: kept as not set
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        sAsked = 0;
        state.bossHotkey = 0x1234;
        state.bossKeyEnabled = 7;
        frame->Show();
        frame->SetCheck(c.enabled);
        frame->SetHotkey(c.hotkey);
        SendMessageW(window, _WM_BOSS_KEY_ACCEPTED, 2, 0);
        if (c.refused) {
            EXPECT_EQ(sAsked, 1);  // the prompt, in a box while there is no slot 3
            EXPECT_EQ(state.bossHotkey, 0x1234);
            EXPECT_TRUE(IsWindowVisible(frame->window));
            continue;
        }
        EXPECT_EQ(sAsked, 0);
        EXPECT_EQ(state.bossHotkey, c.stored);
        EXPECT_EQ(state.bossKeyEnabled, c.enabled ? 1 : 0);
        EXPECT_FALSE(IsWindowVisible(frame->window));
        BossKeyConfig written = ReadBossKeyConfig(folder.path);
        EXPECT_EQ(written.hotkey, c.stored);
        EXPECT_EQ(written.enabled, c.enabled);
    }
}

TEST_F(MainWindowMessagesTest, ServerChosenSwitchesOrAsksForTheSameServer) {
    FrameWindow* frame = CreateFrame(state, 1, u"Servers", 0, 0, 300, 200, 1);
    ASSERT_NE(frame, nullptr);
    FrameFieldControl list;
    list.rect = MakeFrameRect(10, 10, 200, 100);
    frame->AddComboBox(std::move(list));
    FrameLabel label;
    frame->AddLabel(std::move(label));
    HWND combo = frame->FindComboBox(0)->control;
    ASSERT_NE(combo, nullptr);
    SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(L"One"));
    SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(L"Two"));
    SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(L"Three"));
    state.serverNames.Append(WString(u"One"));
    state.serverNames.Append(WString(u"Two"));
    state.serverURLs.Append(WString(u"http://one.example/"));
    state.serverURLs.Append(WString(u"http://two.example/"));
    state.currentServerName = u"One";

    SendMessageW(combo, CB_SETCURSEL, 2, 0);  // beyond the server list
    SendMessageW(window, _WM_SERVER_CHOSEN, 1, 0);
    EXPECT_FALSE(QuitPosted());

    SendMessageW(combo, CB_SETCURSEL, 0, 0);  // the same server: asked, and no
    SendMessageW(window, _WM_SERVER_CHOSEN, 1, 0);
    EXPECT_EQ(sAsked, 1);
    EXPECT_FALSE(QuitPosted());

    VoluxTest::LogCapture log;
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    SendMessageW(window, _WM_SERVER_CHOSEN, 1, 0);
    EXPECT_EQ(sAsked, 1);
    EXPECT_EQ(state.currentServerName, u"Two");
    EXPECT_EQ(frame->labels[0].text, u"Two");
    EXPECT_TRUE(QuitPosted());
    EXPECT_NE(log.trace.find(u"[MC] Change server to Two"), std::u16string::npos);
    EXPECT_NE(log.trace.find(u"[MC] Switch location to: http://two.example/, restart 1"), std::u16string::npos);
}

TEST_F(MainWindowMessagesTest, PostedPointerMessagesNeverReachAWindow) {
    ASSERT_TRUE(InstallPostedMessageFilter());
    VoluxTest::LogCapture log;
    // A pointer no window of this process could read: the filter must stop it first.
    PostMessageW(window, _WM_INVOKE, WPARAM(0x10), LPARAM(0x20));
    PostMessageW(window, _WM_PAGE_TITLE, WPARAM(0x10), 1);
    PostMessageW(window, _WM_PAGE_NEW_MESSAGE, 0, 0);  // no pointer: delivered
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
    RemovePostedMessageFilter();
    EXPECT_NE(log.trace.find(u"[MC] Posted message 1086 refused"), std::u16string::npos);
    EXPECT_NE(log.trace.find(u"[MC] Posted message 1225 refused"), std::u16string::npos);
    EXPECT_EQ(log.trace.find(u"_WM_INVOKE called"), std::u16string::npos);
    EXPECT_EQ(state.mainWindowRecord.blinkingButton, 1010);
}

} // namespace
} // namespace Volux
