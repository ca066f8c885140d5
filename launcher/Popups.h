// The chat and video popups, the blinking title-bar button and the boss key.
#pragma once

#include "launcher/LauncherState.h"

namespace Volux {

// The chat button of the main window's title bar.
constexpr int _CHAT_BUTTON = 1010;

struct PopupPlace {
    int x = 0;
    int y = 0;
};

// Where the chat popup opens. A configured position (not both 0) is kept. Otherwise under the
// chat button when it has a screen rectangle with left >= 0 and bottom > 0, moved left to end
// 6 pixels inside the main window's right edge when it would reach past it; without a button,
// 30 pixels from the screen's right edge and 60 from its top.
PopupPlace ChatPopupPlace(int configuredX, int configuredY, int width, const RECT* button, int mainWindowRight,
                          int screenWidth);

// Hides a visible chat popup, shows a hidden one at its place (ending the blink), or opens it
// at the address. recreate first frees the one there is.
void ToggleChatWindow(LauncherState& state, const char16_t* address, const char16_t* title, bool recreate);
// Shows the video popup, or opens it inside the main window at (x, y) relative to its top-left
// corner. False for an empty address or a window that cannot be made.
bool OpenVideoWindow(LauncherState& state, int x, int y, int width, int height, const char16_t* title,
                     const char16_t* address, bool scrollBars);
// Keeps the video popup at its offset from the main window and above it while the main window
// is active (WM_WINDOWPOSCHANGED, WM_ACTIVATE).
void FollowMainWindow(LauncherState& state, bool activated);

// Marks a right-row title-bar button as blinking (0 ends the blink) and redraws the title bar.
void SetBlinkingButton(LauncherState& state, int id);

// Hides the whole launcher or shows it again; nothing while the game frame is visible. With
// the tray flag the tray icon goes and comes with it.
void ToggleBossKey(LauncherState& state, bool tray);

} // namespace Volux
