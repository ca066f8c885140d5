// Whether the player may leave now: the question asked before the game frame or the main
// window closes.
#pragma once

#include <windows.h>

#include "launcher/LauncherState.h"

namespace Volux {

// Shows a frame slot centred over the main window (or the game frame) as a confirmation box
// with the text in its label 1; the box's buttons answer later.
void ShowConfirmationBox(LauncherState& state, int kind, const char16_t* text);

// True when the launcher may quit at once. Already quitting: yes; already asking: no. An
// exit address is opened instead of asking. With frame slot 3 the box asks and answers later
// (no for now); otherwise a Yes/No question with the exit prompt decides.
bool AskExit(LauncherState& state, HWND owner, const char16_t* exitURL);

} // namespace Volux
