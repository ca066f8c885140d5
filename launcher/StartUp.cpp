#include "launcher/StartUp.h"

#include <windows.h>

#include "Common/EngineContext.h"
#include "Common/Log.h"
#include "Common/StringEncoding.h"
#include "Common/StringFormatter.h"
#include "Platform/Debugger.h"
#include "Platform/File.h"
#include "launcher/Frames.h"
#include "launcher/MainLoop.h"
#include "launcher/Wide.h"

namespace Volux {

WString ConvertCommandLine(const char* narrowCommandLine) {
    char16_t buffer[_COMMAND_LINE_CHARS + 1];
    int length = 0;
    AnsiToWide(buffer, _COMMAND_LINE_CHARS + 1, NonNull(narrowCommandLine), -1, &length);
    return WString(buffer, length);
}

void SplitProgramPath(const char16_t* fullPath, WString& exeName, WString& moduleFolder) {
    exeName = Path::FileNameOf(fullPath).Text();
    moduleFolder = Path::DirectoryOf(fullPath, true);
}

void StartLogging(const LocalConfig& config) {
    // A debugger shows the lines already; files would only split them.
    if (!config.fileLogging || IsDebuggerAttached())
        return;
    WString namePart = Format(u"mc%d", int(GetCurrentProcessId()));
    WString folder = UserDataFolder();
    OpenLogFiles(namePart, folder, u"");
    PrintLine(u"[MC] Log files opened in %ls", folder.Text());
}

bool SetEnvironmentMarkers() {
    struct Marker {
        const char16_t* name;
        int value;
    };
    static const Marker markers[] = {{u"[MICRO-CLIENT]", 1}, {u"[VOLUX-3D]", 0}};
    bool allSet = true;
    for (const Marker& marker : markers) {
        WString value = Format(u"%.8x", marker.value);
        if (!SetEnvironmentVariableW(AsWide(marker.name), AsWide(value.Text()))) {
            PrintBoth(u"[MC] Set environment %ls fail, error %d", marker.name, int(GetLastError()));
            allSet = false;
        }
    }
    return allSet;
}

bool CreateGameFrame(LauncherState& state) {
    if (CreateFrame(state, 0, state.title, 0, 0, 800, 600, 0) == nullptr)
        return false;
    // The main window's and the loader window's hooks join these when those windows exist.
    InstallFrameHooks();
    return true;
}

bool StartUp(LauncherState& state, const char* narrowCommandLine) {
    SetMainThread();

    state.cmd = ConvertCommandLine(narrowCommandLine);
    WString programPath = FileSystem::ProgramPath();
    SplitProgramPath(programPath, state.exeName, state.moduleFolder);

    LocalConfig config = ReadLocalConfig(Path::JoinPath(UserDataFolder(), u"mc.cfg"));
    StartLogging(config);
    PrintLine(u"[MC] Command line: %ls", state.cmd.Text());

    SetEnvironmentMarkers();
    if (!CreateGameFrame(state)) {
        PrintBoth(u"[MC] Create game frame fail");
        return false;
    }

    PrintLine(u"[MC] File path: %ls", programPath.Text());
    return true;
}

void ShutDown(LauncherState& state) {
    PrintLine(u"[MC] Shutdown, quit state %d", state.quitState);
    DestroyFrame(state, 0);
    // Frames that scripts made are torn down with the game frame, so no window outlives its
    // record.
    for (int slot = 1; slot < LauncherState::_FRAME_SLOTS; slot++)
        DestroyFrame(state, slot);
    RemoveFrameHooks();
    PrintLine(u"[MC] Shutdown done");

    EngineContext& context = EngineContext::Get();
    if (context.closeSinks != nullptr)
        context.closeSinks();
}

int RunLauncher(LauncherState& state, const char* narrowCommandLine) {
    if (StartUp(state, narrowCommandLine))
        RunMainLoop(state);
    ShutDown(state);
    return 0;
}

} // namespace Volux
