#include "launcher/MainLoop.h"

#include "Common/Log.h"
#include "launcher/Frames.h"

namespace Volux {

namespace {

DWORD IdleSleep(HWND window, bool fast) {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (window != nullptr && GetWindowPlacement(window, &placement) && placement.showCmd == SW_SHOWMINIMIZED)
        return 200;
    if (GetForegroundWindow() != window)
        return 20;
    return fast ? 10 : 0;
}

// The frame turn: the game frame is the mode's window until the main window and the web and
// loader turns exist, so every mode shows it for now.
void RunTurn(LauncherState& state) {
    FrameWindow* gameFrame = state.frames[0];
    PrintLine(u"[MC] Main loop turn, mc type %d", state.mcType);
    gameFrame->Show();
    SetForegroundWindow(gameFrame->window);
    SetFocus(gameFrame->window);
    RunMessageLoop(gameFrame->window, nullptr, nullptr, true);
}

// Whatever a turn made is gone before the next one starts.
void EndTurn(LauncherState& state) {
    state.gameStage = 0;
    state.lastPageURL = u"";
    HideAllFrames(state);
}

} // namespace

bool RunMessageLoop(HWND window, IdleHandler idle, void* user, bool fast) {
    bool result = true;
    DWORD previous = GetTickCount();
    MSG message = {};
    for (;;) {
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                break;
            TranslateMessage(&message);
            DispatchMessageW(&message);
            continue;
        }
        DWORD now = GetTickCount();
        if (idle != nullptr) {
            // Unsigned difference: correct across the tick counter's wrap.
            result = idle(_dword(now - previous), user);
            if (!result)
                break;
        }
        previous = now;
        SleepEx(IdleSleep(window, fast), TRUE);
    }
    return result;
}

void RunMainLoop(LauncherState& state) {
    while (state.quitState == 0) {
        // Without the game frame no turn could ever end.
        if (state.frames[0] == nullptr || state.frames[0]->window == nullptr) {
            PrintBoth(u"[MC] No game frame, main loop ends");
            break;
        }
        RunTurn(state);
        EndTurn(state);
    }
    PrintLine(u"[MC] Main loop ends, quit state %d", state.quitState);
}

} // namespace Volux
