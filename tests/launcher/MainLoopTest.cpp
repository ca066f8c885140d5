#include <gtest/gtest.h>

#include "launcher/MainLoop.h"
#include "launcher/StartUp.h"
#include "ui/FrameWindow.h"

namespace Volux {
namespace {

// If the loop ignored its end, this ends it with a quit state the tests never expect.
void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD) {
    if (LauncherState::Instance() != nullptr)
        LauncherState::Instance()->quitState = 99;
    PostQuitMessage(0);
}

TEST(MainLoopTest, ClosingTheGameFrameEndsTheLoop) {
    LauncherState state;
    ASSERT_TRUE(CreateGameFrame(state));
    HWND window = state.frames[0]->window;
    UINT_PTR watchdog = SetTimer(nullptr, 0, 10000, Watchdog);

    // Queued before the loop starts, it is handled inside the first turn.
    PostMessageW(window, WM_CLOSE, 0, 0);
    RunMainLoop(state);
    KillTimer(nullptr, watchdog);

    EXPECT_EQ(state.quitState, 1);
    // The turn hid every frame on its way out; the window stays for shutdown.
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(IsWindowVisible(window));
    ShutDown(state);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(state.frames[0], nullptr);
}

TEST(MainLoopTest, LoopWithoutGameFrameReturnsAtOnce) {
    LauncherState state;
    UINT_PTR watchdog = SetTimer(nullptr, 0, 10000, Watchdog);
    RunMainLoop(state);
    KillTimer(nullptr, watchdog);
    EXPECT_EQ(state.quitState, 0);
}

struct IdleCount {
    int passes = 0;
    int endAfter = 0;
};

bool CountIdle(_dword, void* user) {
    auto* count = static_cast<IdleCount*>(user);
    return ++count->passes < count->endAfter;
}

TEST(MainLoopTest, IdleHandlerEndsTheMessageLoopWithItsAnswer) {
    IdleCount count;
    count.endAfter = 3;
    EXPECT_FALSE(RunMessageLoop(nullptr, CountIdle, &count, true));
    EXPECT_EQ(count.passes, 3);
}

TEST(MainLoopTest, QuitMessageEndsTheMessageLoopBeforeAnyIdlePass) {
    IdleCount count;
    count.endAfter = 1000;
    PostQuitMessage(0);
    EXPECT_TRUE(RunMessageLoop(nullptr, CountIdle, &count, true));
    EXPECT_EQ(count.passes, 0);
}

} // namespace
} // namespace Volux
