#include <gtest/gtest.h>

#include "launcher/Frames.h"
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

} // namespace
} // namespace Volux
