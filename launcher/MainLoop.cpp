#include "launcher/MainLoop.h"

#include "Common/Log.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "launcher/Frames.h"
#include "launcher/GameTurn.h"
#include "launcher/MainWindowHooks.h"
#include "ui/MainWindow.h"
#include "ui/ProcessClock.h"

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

// Shows the main window for the web and loader turns and runs its messages until it quits.
void RunMainWindowTurn(LauncherState& state) {
    if (!EnsureMainWindow(state)) {
        // Nothing could ever end a turn without a window: the launcher ends.
        state.quitState = 1;
        return;
    }
    HWND window = state.mainWindowRecord.window;
    const bool maximise = (state.windowFlags & LauncherState::_FLAG_MAXIMISE_AT_START) != 0 && !state.loadingSized;
    ShowWindow(window, maximise ? SW_SHOWMAXIMIZED : SW_SHOW);
    UpdateWindow(window);
    LogGameWindowShown();
    SetForegroundWindow(window);
    RunMessageLoop(window, nullptr, nullptr, true);
}

// The mode's turn: frames show the game frame; the web and loader turns the main window.
void RunTurn(LauncherState& state) {
    FrameWindow* gameFrame = state.frames[0];
    switch (state.mcType) {
    case 1:
        PrintLine(u"[MC] Show frame window, %d, %d", state.gameShown, state.refreshing);
        if (state.mainWindowRecord.window != nullptr)
            ShowWindow(state.mainWindowRecord.window, SW_HIDE);
        gameFrame->Show();
        // A layered frame is on screen once shown; a direct one paints in UpdateWindow.
        UpdateWindow(gameFrame->window);
        LogGameWindowShown();
        SetForegroundWindow(gameFrame->window);
        SetFocus(gameFrame->window);
        RunMessageLoop(gameFrame->window, nullptr, nullptr, true);
        break;
    case 2:
        RunLoaderTurn(state);
        RunGameTurn(state);
        break;
    default:
        PrintLine(u"[MC] Show web window");
        PrintLine(u"[MC] Show page at: %ls", state.gameURL.Text());
        // The game page is made here; until it paints, the client area shows the logo.
        state.mainWindowRecord.logoShown = 1;
        RunMainWindowTurn(state);
        break;
    }
}

// Whatever a turn made is gone before the next one starts.
void EndTurn(LauncherState& state) {
    EndGameTurn(state);
    state.gameStage = 0;
    state.gameShown = 0;
    state.loggedIn = 0;
    state.lastPageURL = u"";
    HideAllFrames(state);
}

} // namespace

void LogFirstPaint() {
    static bool sLogged = false;
    if (!sLogged) {
        sLogged = true;
        PrintLine(u"[MC] First paint %u ms after start", ProcessAgeMs());
    }
}

void LogGameWindowShown() {
    static bool sLogged = false;
    if (!sLogged) {
        sLogged = true;
        const unsigned age = ProcessAgeMs();
        LogFirstPaint();
        PrintLine(u"[MC] Game window shown %u ms after start", age);
    }
}

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
