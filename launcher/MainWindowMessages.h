// What the launcher does with the main window's messages: sizing the pages and the game
// window, closing, the mouse, the boss key and tray icon, and the private messages of pages,
// popups and frames.
#pragma once

#include "launcher/LauncherState.h"

namespace Volux {

// Private messages of the main window besides the command channel and the page messages.
constexpr UINT _WM_GAME_REFRESH = WM_USER + 67;        // 1091, sent to the game
constexpr UINT _WM_EXIT_NOTICE = WM_USER + 68;         // 1092
constexpr UINT _WM_SERVER_CHOSEN = WM_USER + 100;      // 1124: frame slot / control id
constexpr UINT _WM_LOG_OFF = WM_USER + 101;            // 1125
constexpr UINT _WM_BOSS_KEY_ACCEPTED = WM_USER + 102;  // 1126: frame slot
constexpr UINT _WM_CONFIRMED = WM_USER + 103;          // 1127: frame slot
constexpr UINT _WM_FRAME_DISMISSED = WM_USER + 104;    // 1128: frame slot
constexpr UINT _WM_PLUGIN_SETUP = WM_USER + 105;       // 1129
constexpr UINT _WM_PLATFORM_PAGE = WM_USER + 257;      // 1281: PlatformPageRecord*

// The record of message 1281, in the sender's memory.
struct PlatformPageRecord {
    int first = 0;
    int second = 0;
    const char16_t* name = nullptr;
    const char16_t* address = nullptr;
};

// The page texts of messages 1225 and 1281 are read up to this many characters.
constexpr int _MAX_MESSAGE_TEXT = 1024;

// The main window's message handler; true when the message was consumed.
bool HandleMainMessage(LauncherState& state, UINT message, WPARAM wparam, LPARAM lparam);

// 1124 from frame slot: switches to the server picked in the slot's drop-down list.
void ChooseServer(LauncherState& state, int slot);
// 1126 from frame slot: stores and registers the boss key the slot's boxes show, or refuses a
// key without Ctrl, Alt or Shift.
void AcceptBossKey(LauncherState& state, int slot);
// Log off: the server's log-out address, else the script's; the game page goes there.
void LogOff(LauncherState& state);

// A hotkey-control code has Ctrl, Alt or Shift.
bool HotkeyHasModifier(int hotkey);

} // namespace Volux
