#include <gtest/gtest.h>

#include "launcher/Frames.h"
#include "launcher/MainWindowHooks.h"
#include "launcher/StartUp.h"
#include "Platform/WideText_win32.h"

namespace Volux {
namespace {

// A launcher record whose frames and hooks are gone again after each test.
class FramesTest : public testing::Test {
protected:
    void TearDown() override { ShutDown(state); }

    LauncherState state;
};

TEST_F(FramesTest, GameFrameIsAHiddenPopupInSlot0WithTheTitle) {
    state.title = u"Frame title";
    ASSERT_TRUE(CreateGameFrame(state));
    FrameWindow* frame = state.frames[0];
    ASSERT_NE(frame, nullptr);
    HWND window = frame->window;
    ASSERT_TRUE(IsWindow(window));

    RECT rect = {};
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right - rect.left, 800);
    EXPECT_EQ(rect.bottom - rect.top, 600);

    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    EXPECT_STREQ(text, L"Frame title");
    GetClassNameW(window, text, 64);
    EXPECT_STREQ(text, L"Volux Frame Window");

    // Frames are shown by the main loop, never by their creation.
    EXPECT_FALSE(IsWindowVisible(window));
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX), LONG_PTR(WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT_EQ(style & WS_CAPTION, 0);
    EXPECT_EQ(reinterpret_cast<FrameWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA)), frame);
}

TEST_F(FramesTest, TakenOrUnknownSlotsAreRefused) {
    ASSERT_NE(CreateFrame(state, 3, u"", 0, 0, 100, 100, 0), nullptr);
    FrameWindow* first = state.frames[3];
    EXPECT_EQ(CreateFrame(state, 3, u"", 0, 0, 100, 100, 0), nullptr);
    EXPECT_EQ(state.frames[3], first);
    EXPECT_EQ(CreateFrame(state, 7, u"", 0, 0, 100, 100, 0), nullptr);
    EXPECT_EQ(CreateFrame(state, -1, u"", 0, 0, 100, 100, 0), nullptr);
    DestroyFrame(state, 7);  // ignored, like every operation on a bad slot
}

TEST_F(FramesTest, DestroyingEmptiesTheSlotAndRemovesTheWindow) {
    ASSERT_TRUE(CreateGameFrame(state));
    HWND window = state.frames[0]->window;
    DestroyFrame(state, 0);
    EXPECT_EQ(state.frames[0], nullptr);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(FramesTest, WindowDestroyedBehindTheFramesBackLeavesNoStaleHandle) {
    ASSERT_TRUE(CreateGameFrame(state));
    FrameWindow* frame = state.frames[0];
    DestroyWindow(frame->window);
    EXPECT_EQ(frame->window, nullptr);
}

TEST_F(FramesTest, ClosingTheGameFrameAsksToQuitAndKeepsTheWindow) {
    ASSERT_TRUE(CreateGameFrame(state));
    HWND window = state.frames[0]->window;
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(state.quitState, 1);
    // Shutdown destroys it in order; closing must not have done so already.
    EXPECT_TRUE(IsWindow(window));
    MSG message = {};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(FramesTest, ClosingAnotherFrameLeavesTheLauncherRunning) {
    ASSERT_NE(CreateFrame(state, 2, u"", 0, 0, 100, 100, 2), nullptr);
    InstallFrameHooks();
    SendMessageW(state.frames[2]->window, WM_CLOSE, 0, 0);
    EXPECT_EQ(state.quitState, 0);
    MSG message = {};
    // The frame's own handling posts a quit for its message loop; drop it for the next test.
    PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

TEST_F(FramesTest, ClosingAFrameBySlot) {
    ASSERT_TRUE(CreateGameFrame(state));
    ASSERT_NE(CreateFrame(state, 1, u"", 0, 0, 100, 100, 2), nullptr);
    ASSERT_NE(CreateFrame(state, 5, u"", 0, 0, 100, 100, 2), nullptr);
    state.frames[1]->Show();
    SendMessageW(state.frames[1]->window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(state.frames[1]->window));
    EXPECT_EQ(state.quitState, 0);
    MSG message = {};
    EXPECT_FALSE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

    SendMessageW(state.frames[5]->window, WM_CLOSE, 0, 0);
    EXPECT_EQ(state.quitState, 2);
    EXPECT_TRUE(IsWindow(state.frames[5]->window));
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(FramesTest, ConfirmationsDoWhatWasAsked) {
    ASSERT_TRUE(CreateGameFrame(state));
    ASSERT_NE(CreateFrame(state, 3, u"", 0, 0, 100, 100, 2), nullptr);
    struct Case {
        int pending;
        int quitState;
        bool quitPosted;
    } cases[] = {{0, 0, false}, {1, 1, true}, {2, 0, false}, {3, 0, false}};
    for (const Case& c : cases) {
        state.quitState = 0;
        state.pendingConfirmation = c.pending;
        state.frames[3]->Show();
        SendMessageW(state.frames[0]->window, 1127, 3, 0);
        EXPECT_FALSE(IsWindowVisible(state.frames[3]->window)) << c.pending;
        EXPECT_EQ(state.pendingConfirmation, 0) << c.pending;
        EXPECT_EQ(state.quitState, c.quitState) << c.pending;
        MSG message = {};
        EXPECT_EQ(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE, c.quitPosted) << c.pending;
    }
}

TEST_F(FramesTest, TheMainWindowNeverShowsBesideAShownGameFrame) {
    ASSERT_TRUE(CreateGameFrame(state));
    ASSERT_TRUE(EnsureMainWindow(state));
    HWND main = state.mainWindowRecord.window;
    ShowWindow(main, SW_SHOW);
    state.frames[0]->Show();
    SendMessageW(state.frames[0]->window, WM_NULL, 0, 0);
    EXPECT_TRUE(IsWindowVisible(main));  // the frame turn has not shown the frame yet
    state.frameShown = 1;
    SendMessageW(state.frames[0]->window, WM_NULL, 0, 0);
    EXPECT_FALSE(IsWindowVisible(main));
}

TEST_F(FramesTest, FrameDialogsShowTheirSettings) {
    ASSERT_NE(CreateFrame(state, 3, u"", 0, 0, 100, 100, 2), nullptr);
    for (int id : {0, 1}) {
        FrameLabel label;
        label.id = id;
        state.frames[3]->AddLabel(std::move(label));
    }
    ShowFrameDialog(state, 3, 40, 50, true, u"Caption", u"Question?", 2);
    FrameWindow* box = state.frames[3];
    EXPECT_TRUE(IsWindowVisible(box->window));
    EXPECT_EQ(state.pendingConfirmation, 2);
    EXPECT_EQ(box->labels[0].text, u"Caption");
    EXPECT_EQ(box->labels[1].text, u"Question?");
    RECT place;
    GetWindowRect(box->window, &place);
    EXPECT_EQ(place.left, 40);
    EXPECT_EQ(place.top, 50);
    // Visible without toggle: hidden instead.
    ShowFrameDialog(state, 3, 0, 0, false, u"", u"", 2);
    EXPECT_FALSE(IsWindowVisible(box->window));
    ShowFrameDialog(state, 6, 0, 0, true, u"", u"", 0);  // an empty slot: nothing
}

} // namespace
} // namespace Volux
