// The program's entry point. Plain WinMain keeps the narrow command line the launcher converts
// itself (and needs no -municode with mingw).
#include <windows.h>

#include "launcher/LauncherState.h"
#include "launcher/StartUp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // GetCommandLineA keeps the program's own path, which the WinMain argument drops.
    Volux::LauncherState state;
    return Volux::RunLauncher(state, GetCommandLineA());
}
