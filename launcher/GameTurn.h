// The loader game's turns: the loader turn gathers where the library comes from and what the
// game is given; the game turn puts the loader host window into the main window and runs the
// main window's messages with the loader tick as the idle handler.
#pragma once

#include "launcher/LauncherState.h"

namespace Gdiplus {
class Bitmap;
}

namespace Volux {

class LoaderHost;

// The process's one loader host.
LoaderHost& TheLoaderHost();

// The loader host window's hooks (creation prepares the loader, messages go to the plug-in,
// exit shuts the host down); installed at start-up beside the frame hooks.
void InstallLoaderWindowHooks();
void RemoveLoaderWindowHooks();

// Splits a startLoader text into a game parameter: "key=value" at its first "="; a text
// without "=" is kept whole as the name.
void SplitGameParameter(const WString& text, WString& name, WString& value);

// Loader turn: install folder, library address ("local:\" + loaderFile, or a remote library
// named by the "liburl" and "libmd5" parameters when there is no local one), game parameters.
void RunLoaderTurn(LauncherState& state);
// Game turn: the main window with the loader host window inside its margins, until the
// window's messages end.
void RunGameTurn(LauncherState& state);
// End of a turn: the host window goes and the plug-in is unloaded.
void EndGameTurn(LauncherState& state);

} // namespace Volux
