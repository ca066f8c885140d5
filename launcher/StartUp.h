// Start-up and shutdown of the launcher, as free functions over LauncherState, in the order
// they run.
#pragma once

#include "Common/ByteBuffer.h"
#include "Common/WString.h"
#include "launcher/LauncherState.h"
#include "launcher/LocalConfig.h"
// After windows.h (through LauncherState.h): it takes back windows.h's LoadString macro.
#include "Script/IScriptManager.h"

namespace Volux {

// The command line keeps at most this many characters.
constexpr int _COMMAND_LINE_CHARS = 1024;

// The narrow command line as wide text through the system code page, cut to
// _COMMAND_LINE_CHARS characters.
WString ConvertCommandLine(const char* narrowCommandLine);
// The program's file name with extension and its folder (no trailing separator).
void SplitProgramPath(const char16_t* fullPath, WString& exeName, WString& moduleFolder);
// File logging into UserDataFolder() when mc.cfg asks for it and no debugger listens.
void StartLogging(const LocalConfig& config);
// "[MICRO-CLIENT]" = 1 and "[VOLUX-3D]" = 0 as eight hex digits, for child processes and the
// loader plug-in to find. False (logged) when the system refuses.
bool SetEnvironmentMarkers();
// The game frame in slot 0: 800 x 600 at (0, 0), titled with title, with the frame hooks.
bool CreateGameFrame(LauncherState& state);

// A start-up script: the "VOLUXRES" resource of that name in module (null = the program) if
// there is one, else the file of that name in the current folder. False when neither exists.
bool LoadStartUpScript(void* module, const char16_t* name, ByteBuffer& script);
// Runs config.lua, then launcher.lua through the block decoder; a missing one is skipped.
void RunStartUpScripts(IScriptManager& scripts, void* module);
// The script manager with _Launcher, _LauncherButton, _launcher, _info and print; made when
// the engine has none. Null when it cannot be made (logged).
IScriptManager* SetUpScriptHost();

// Everything up to the main loop; false when the launcher cannot go on (already logged).
bool StartUp(LauncherState& state, const char* narrowCommandLine);
// Tears down what start-up and the loop left, in order, and closes the log files last.
void ShutDown(LauncherState& state);
// Start-up, main loop, shutdown; the process exit code.
int RunLauncher(LauncherState& state, const char* narrowCommandLine);

} // namespace Volux
