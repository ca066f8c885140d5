// The main loop over the launcher's modes, and the message loop every mode runs in.
#pragma once

#include <windows.h>

#include "Common/Base.h"
#include "launcher/LauncherState.h"

namespace Volux {

// Called whenever no message is waiting, with the milliseconds since its previous call;
// false ends the loop.
using IdleHandler = bool (*)(_dword elapsedMilliseconds, void* user);

// Takes and dispatches messages until WM_QUIT or until the idle handler answers false. Between
// idle passes it sleeps (alertable) 200 ms while the window is minimised, 20 ms while it is not
// the foreground window, else 10 ms when fast, else 0 ms. Returns the idle handler's last answer
// (true without one).
bool RunMessageLoop(HWND window, IdleHandler idle, void* user, bool fast);

// Start-up speed as a player sees it. The first window of the run on screen, painted (the
// progress frame when the scripts made one, else the turn's window), logs "First paint"; the
// turn's own window logs "Game window shown". Each line is written once per run.
void LogFirstPaint();
void LogGameWindowShown();

// Runs turns until quitState is non-zero; each turn starts from the same state.
void RunMainLoop(LauncherState& state);

} // namespace Volux
