#include "launcher/MainLoop.h"

#include "Common/Log.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "launcher/Frames.h"
#include "launcher/GameTurn.h"
#include "launcher/MainWindowHooks.h"
#include "launcher/PageTurns.h"
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

// The mode's turn: frames show the game frame; the web and loader turns the main window.
void RunTurn(LauncherState& state) {
    switch (state.mcType) {
    case 1:
        RunFrameTurn(state);
        break;
    case 2:
        RunLoaderTurn(state);
        RunGameTurn(state);
        break;
    default:
        RunWebTurn(state);
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
    EndPageTurn(state);
    HideAllFrames(state);
    if (state.mcType == 1 && state.mainWindowRecord.window != nullptr)
        ShowWindow(state.mainWindowRecord.window, SW_HIDE);
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
            // The page's browser sees its keys first (tab, accelerators); the message is
            // dispatched as usual either way.
            if (message.message == WM_KEYDOWN)
                ForwardPageKey(message);
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
