// The game page and the events of every page the launcher makes: finding the game page among
// the addresses a page passes through, hiding pages that finished loading in the background,
// switching the game page to another address, and the refresh command.
#pragma once

#include "launcher/LauncherState.h"

namespace Volux {

// The address contains one of the quiet texts: the game itself is on the page.
bool IsGameAddress(const LauncherState& state, const char16_t* address);
// The address starts with one of the frame addresses: the page belongs in the frame window.
bool IsFrameAddress(const LauncherState& state, const char16_t* address);
// The game size an address carries as "w=<word>" and "h=<word>" (leftmost matches); false
// unless both read as non-zero numbers of at most 5 digits.
bool ReadGameSize(const char16_t* address, int& width, int& height);

// The launcher's page-event handlers and the browser options of game pages ('a', 'm', 'c'
// off, 's' from enableScrollBar).
void InstallPageEvents(const LauncherState& state, WebWindow& page);
// A kind-0 game page in parent at the place, with the handlers and options, listed with id -1.
// Null when the window cannot be made.
WebWindow* CreateGamePage(LauncherState& state, HWND parent, int x, int y, int width, int height);

// Page events (installed by InstallPageEvents).
void OnPageNavigateComplete(WebWindow& page);
void OnPageDocumentComplete(WebWindow& page);

// Points the game page (id -1) at the address. With restart the page is made anew at the same
// place first. An address starting with a frame address turns to the frame mode, any other to
// the web mode.
void SwitchLocation(LauncherState& state, const char16_t* address, bool restart);

// Posts WM_QUIT for the main window's loop (the thread's loop when there is no main window).
void QuitMainLoop(const LauncherState& state);
// Posts WM_QUIT for the game frame's loop.
void QuitFrameLoop(const LauncherState& state);

// Menu command 1001: a running loader game is re-initialised, told to refresh, or its page is
// loaded anew; without one the first visible page reloads. Nothing while a refresh is under way.
void Refresh(LauncherState& state);

} // namespace Volux
