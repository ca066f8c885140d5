#include <gtest/gtest.h>

#include "FakePage.h"
#include "launcher/Frames.h"
#include "launcher/MainWindowHooks.h"
#include "launcher/Popups.h"
#include "launcher/StartUp.h"

namespace Volux {
namespace {

TEST(ChatPopupPlaceTest, UnderTheButtonOrNearTheScreenEdge) {
    const RECT button = {500, 10, 560, 40};
    const RECT offLeft = {-20, 10, 40, 40};
    const RECT aboveScreen = {500, -40, 560, 0};
    const RECT nearRight = {900, 10, 960, 40};
    struct Case {
        int configuredX;
        int configuredY;
        const RECT* button;
        int mainRight;
        int x;
        int y;
    } cases[] = {
        {0, 0, &button, 1000, 500, 40},        // under the button
        {0, 0, &nearRight, 1000, 694, 40},     // would reach past the main window: 6 inside its edge
        {0, 0, &nearRight, 1206, 900, 40},     // exactly fits
        {0, 0, &offLeft, 1000, 1280 - 300 - 30, 60},   // button off the screen's left edge
        {0, 0, &aboveScreen, 1000, 1280 - 300 - 30, 60},  // button above the screen
        {0, 0, nullptr, 1000, 950, 60},        // no button: 30 from the right, 60 from the top
        {0, 5, nullptr, 1000, 0, 5},           // a configured place is kept
        {40, 0, &button, 1000, 40, 0},
    };
    for (const Case& c : cases) {
        const PopupPlace place = ChatPopupPlace(c.configuredX, c.configuredY, 300, c.button, c.mainRight, 1280);
        EXPECT_EQ(place.x, c.x) << (&c - cases);
        EXPECT_EQ(place.y, c.y) << (&c - cases);
    }
}

// The main window with a chat popup, a video popup and frames 1 and 2, all on screen.
class BossKeyTest : public testing::Test {
protected:
    void SetUp() override {
        state.title = u"Game";
        state.chatPopup.width = 300;
        state.chatPopup.height = 200;
        state.width = 400;
        state.height = 300;
        ASSERT_TRUE(CreateGameFrame(state));
        ASSERT_TRUE(EnsureMainWindow(state));
        main = state.mainWindowRecord.window;
        ASSERT_NE(CreateFrame(state, 1, u"", 0, 0, 100, 100, 1), nullptr);
        ASSERT_NE(CreateFrame(state, 2, u"", 0, 0, 100, 100, 1), nullptr);
        state.imPage = VoluxTest::MakeFakePage(nullptr, chatDocument, 3);
        state.videoPage = VoluxTest::MakeFakePage(main, videoDocument, 4);
        ASSERT_NE(state.imPage, nullptr);
        ASSERT_NE(state.videoPage, nullptr);
    }
    void TearDown() override { ShutDown(state); }

    LauncherState state;
    HWND main = nullptr;
    VoluxTest::FakeDocument chatDocument;
    VoluxTest::FakeDocument videoDocument;
};

TEST_F(BossKeyTest, HidesEverythingAndBringsBackWhatWasOnScreen) {
    struct Case {
        bool chat;
        bool frames;
        bool tray;
    } cases[] = {{true, true, true}, {false, true, false}, {true, false, false}, {false, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        if (state.videoPage == nullptr)
            state.videoPage = VoluxTest::MakeFakePage(main, videoDocument, 4);
        ShowWindow(main, SW_SHOW);
        ShowWindow(state.imPage->window, c.chat ? SW_SHOW : SW_HIDE);
        ShowWindow(state.videoPage->window, SW_SHOW);
        for (int slot = 1; slot <= 2; slot++) {
            if (c.frames)
                state.frames[slot]->Show();
            else
                state.frames[slot]->Hide();
        }

        ToggleBossKey(state, c.tray);
        EXPECT_FALSE(IsWindowVisible(main));
        EXPECT_FALSE(IsWindowVisible(state.imPage->window));
        EXPECT_EQ(state.videoPage, nullptr);  // the video popup is gone, not hidden
        EXPECT_FALSE(IsWindowVisible(state.frames[1]->window));
        EXPECT_FALSE(IsWindowVisible(state.frames[2]->window));

        ToggleBossKey(state, c.tray);
        EXPECT_TRUE(IsWindowVisible(main));
        EXPECT_EQ(IsWindowVisible(state.imPage->window) != FALSE, c.chat);
        EXPECT_EQ(state.videoPage, nullptr);
        EXPECT_FALSE(IsWindowVisible(state.frames[1]->window));  // frames stay hidden
    }
}

TEST_F(BossKeyTest, NothingWhileTheGameFrameIsOnScreen) {
    ShowWindow(main, SW_SHOW);
    state.frames[0]->Show();
    ToggleBossKey(state, true);
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_NE(state.videoPage, nullptr);

    // With the main window hidden as well, showing is refused too.
    ShowWindow(main, SW_HIDE);
    ToggleBossKey(state, false);
    EXPECT_FALSE(IsWindowVisible(main));
}

TEST_F(BossKeyTest, ChatToggleHidesAVisiblePopupAndShowsAHiddenOneEndingTheBlink) {
    ShowWindow(main, SW_SHOW);
    ShowWindow(state.imPage->window, SW_SHOW);
    ToggleChatWindow(state, u"http://chat.example/", u"Chat", false);
    EXPECT_FALSE(IsWindowVisible(state.imPage->window));

    SetBlinkingButton(state, _CHAT_BUTTON);
    EXPECT_EQ(state.mainWindowRecord.blinkingButton, _CHAT_BUTTON);
    state.imPage->ready = 1;
    ToggleChatWindow(state, u"http://chat.example/", u"Chat", false);
    EXPECT_TRUE(IsWindowVisible(state.imPage->window));
    EXPECT_EQ(state.mainWindowRecord.blinkingButton, 0);
    RECT place;
    GetWindowRect(state.imPage->window, &place);
    // No chat button: 30 pixels from the screen's right edge, 60 from the top.
    EXPECT_EQ(place.top, 60);
    EXPECT_EQ(place.right, GetSystemMetrics(SM_CXSCREEN) - 30);
}

TEST_F(BossKeyTest, VideoPopupOpensOnceAndOnlyForWebAddresses) {
    DestroyWebWindow(state.videoPage);
    state.videoPage = nullptr;
    EXPECT_FALSE(OpenVideoWindow(state, 10, 10, 200, 100, u"Video", u"", false));
    EXPECT_EQ(state.videoPage, nullptr);
    ASSERT_TRUE(OpenVideoWindow(state, 10, 10, 200, 100, u"Video", u"http://video.example/", false));
    WebWindow* first = state.videoPage;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->kind, 4);
    EXPECT_TRUE(OpenVideoWindow(state, 50, 50, 200, 100, u"Video", u"http://video.example/2", false));
    EXPECT_EQ(state.videoPage, first);  // shown again, not made again
}

// A popup's window can go without the launcher's knowing: the video popup closes for real, and
// anything may destroy a window. The next request makes a new one instead of showing nothing.
TEST_F(BossKeyTest, PopupsWhoseWindowIsGoneAreMadeAgain) {
    ShowWindow(main, SW_SHOW);
    SendMessageW(state.videoPage->window, WM_CLOSE, 0, 0);
    ASSERT_EQ(state.videoPage->window, nullptr);
    EXPECT_TRUE(OpenVideoWindow(state, 10, 10, 200, 100, u"Video", u"http://video.example/", false));
    ASSERT_NE(state.videoPage, nullptr);
    ASSERT_NE(state.videoPage->window, nullptr);
    EXPECT_TRUE(IsWindowVisible(state.videoPage->window));

    DestroyWindow(state.imPage->window);
    ASSERT_EQ(state.imPage->window, nullptr);
    ToggleChatWindow(state, u"http://chat.example/", u"Chat", false);
    ASSERT_NE(state.imPage, nullptr);
    ASSERT_NE(state.imPage->window, nullptr);
    EXPECT_EQ(state.imPage->kind, 3);
}

} // namespace
} // namespace Volux
