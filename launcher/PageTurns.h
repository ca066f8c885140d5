// The pages' share of the main loop: the web turn and the frame turn, what the end of a turn
// takes back, the pages the scripts asked for at start-up, and releasing every page at the end.
#pragma once

#include "launcher/LauncherState.h"

namespace Volux {

class FrameWindow;

// Web mode: the main window with the game page (id -1, made on first use and sent to the game
// address), shown and sized, until its loop ends.
void RunWebTurn(LauncherState& state);
// Frame mode: the game frame with its page until the game leaves it (or a refresh runs), then
// the main window's loop while the game page is away or hidden.
void RunFrameTurn(LauncherState& state);
// Puts a page back into the game frame: a child of a frame with a region, else a top-level
// tool window kept over the frame as its attached window.
void AttachToGameFrame(WebWindow& page, FrameWindow& frame);
// End of a turn: the popups go, the frame mode's game page returns to the frame, the custom
// entries 1010 to 1013 get their turn-start texts back.
void EndPageTurn(LauncherState& state);
// Start-up in the frame mode: the pages addWebWindow recorded become web windows on their
// frames (listed with id -1) and the game page opens firstPageURL.
void OpenRequestedPages(LauncherState& state);
// Shutdown: gamePage, every listed page and both popups are destroyed.
void ReleasePages(LauncherState& state);

} // namespace Volux
