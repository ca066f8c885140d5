// The launcher's side of the main window: creating it for a turn with its icon, menus, tray
// icon and boss hotkey, the commands of its menus and title-bar buttons, and taking it down.
#pragma once

#include "launcher/LauncherState.h"

namespace Volux {

// Creates the main window when there is none: the loading size or the window size, centred on
// the primary screen, styled from the window flags. False (one log line) when it cannot be made.
bool EnsureMainWindow(LauncherState& state);
// Tray icon and hotkey removed, window destroyed.
void DestroyMainWindow(LauncherState& state);

// The command handler of menu items and title-bar buttons.
void OnMainCommand(int id, const char16_t* text, const char16_t* value);
// The message handler: closing asks first.
bool OnMainMessage(MainWindow& window, UINT message, WPARAM wparam, LPARAM lparam);

} // namespace Volux
