#include "launcher/StartUp.h"

#include <windows.h>

#include "Common/Compression.h"
#include "Common/EngineContext.h"
#include "Common/Log.h"
#include "Common/StringEncoding.h"
#include "Common/StringFormatter.h"
#include "Common/Variable.h"
#include "Platform/Debugger.h"
#include "Platform/Shell.h"
#include "Platform/File.h"
#include "Script/LuaScriptManager.h"
#include "launcher/ArchiveSweep.h"
#include "launcher/BossKeyConfig.h"
#include "launcher/CopyWorker.h"
#include "launcher/Frames.h"
#include "launcher/GameTurn.h"
#include "launcher/MainWindowHooks.h"
#include "launcher/PageTurns.h"
#include "launcher/PostedMessageFilter.h"
#include "launcher/InstallFolder.h"
#include "launcher/LauncherScript.h"
#include "launcher/MainLoop.h"
#include "Platform/WideText_win32.h"

namespace Volux {

namespace {

WString ProfileFolder() { return FileSystem::SpecialFolderPath(FileSystem::_PROFILE); }

// The one-shot steps the install and upgrade services carry out; until they exist the
// request is logged so a run shows what the scripts asked for.
void RunInstallStep(LauncherState& state) {
    if (state.uninstallRequested)
        PrintLine(u"[MC] Uninstall requested; removal is done by the install service");
    if (state.installRequested)
        PrintLine(u"[MC] Install requested; the uninstall entry and shortcuts are made by the install service");
    if (!state.urlProtocol.IsEmpty())
        PrintLine(u"[MC] URL protocol %ls requested; registration is done by the install service",
                  state.urlProtocol.Text());
}

void RunFileOperation(LauncherState& state, bool autoUpgrade) {
    switch (state.fileOperation) {
    case 1:
        PrintLine(u"[MC] Copy to %ls requested; copies are made by the upgrade service",
                  state.fileOperationPath.Text());
        break;
    case 2:
        PrintLine(u"[MC] Delete %ls requested; deletion is done by the upgrade service",
                  state.fileOperationPath.Text());
        break;
    default:
        if (autoUpgrade && !state.upgradeURL.IsEmpty())
            PrintLine(u"[MC] Upgrade check against %ls requested; checks are made by the upgrade service",
                      state.upgradeURL.Text());
        break;
    }
}

struct CopyWait {
    CopyWorker* worker;
};

bool CopyNotFinished(_dword, void* user) { return !static_cast<CopyWait*>(user)->worker->IsFinished(); }

// The copy from a browser's virtualised store, with the progress frame of slot 6 on screen.
void RunCopyWorker(LauncherState& state, FrameWindow& progress) {
    CopyJob job;
    job.programPath = FileSystem::ProgramPath();
    job.programFolder = state.moduleFolder;
    job.installFolder = FileSystem::CurrentDirectory();
    job.profileFolder = ProfileFolder();
    job.resName = state.resName;
    job.fileName = state.fileName;
    CopyWorker worker;
    worker.Start(job);
    CopyWait wait{&worker};
    RunMessageLoop(progress.window, &CopyNotFinished, &wait, true);
}

// One trace line per record the scripts filled, so a run shows what they asked for.
void LogScriptSettings(const LauncherState& state) {
    PrintLine(u"[MC] Scripts done: mc type %d, title \"%ls\", app \"%ls\", file \"%ls\", res \"%ls\", "
              u"size %d x %d, loading size %d x %d, flags 0x%x",
              state.mcType, state.title.Text(), state.appName.Text(), state.fileName.Text(), state.resName.Text(),
              state.width, state.height, state.loadingWidth, state.loadingHeight, int(state.windowFlags));
    for (const FrameWindow* frame : state.frames) {
        if (frame == nullptr)
            continue;
        PrintLine(u"[MC] Frame %d: %d buttons, %d labels, %d progress bars, %d check boxes, %d combo boxes, "
                  u"%d hotkey boxes, background \"%ls\"",
                  frame->slot, int(frame->buttons.Count()), int(frame->labels.Count()),
                  int(frame->progressBars.Count()), int(frame->checkBoxes.Count()), int(frame->comboBoxes.Count()),
                  int(frame->hotkeyBoxes.Count()), frame->background.name.Text());
    }
    if (const MainWindow* main = state.mainWindow) {
        PrintLine(u"[MC] Main window: custom title bar %d, left row %d, right row %d, system row %d, "
                  u"menu items %d, minimum %d x %d, border %d 0x%06x",
                  main->HasCustomTitleBar() ? 1 : 0, int(main->rows[_ROW_LEFT].Count()),
                  int(main->rows[_ROW_RIGHT].Count()), int(main->rows[_ROW_SYSTEM].Count()),
                  int(main->menuCommands.Count()), main->minWidth, main->minHeight, main->borderWidth,
                  main->borderColour);
    }
    WString ids;
    for (_dword i = 0; i < state.commands.Count(); i++)
        ids += Format(i == 0 ? u"%d" : u" %d", state.commands[i].id);
    PrintLine(u"[MC] Commands: %ls", ids.Text());
    for (_dword i = 0; i < state.pageRequests.Count(); i++) {
        const PageRequest& page = state.pageRequests[i];
        PrintLine(u"[MC] Page on frame %d, kind %d: %ls", page.slot, page.kind, page.url.Text());
    }
}

} // namespace

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
        if (!SetEnvironmentVariableW(WidePtr(marker.name), WidePtr(value.Text()))) {
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
    InstallLoaderWindowHooks();
    return true;
}

bool LoadStartUpScript(void* module, const char16_t* name, ByteBuffer& script) {
    if (FileSystem::LoadResource(module, name, script))
        return true;
    WString path = Path::JoinPath(FileSystem::CurrentDirectory(), name);
    return FileSystem::IsFile(path) && FileSystem::ReadFile(path, script);
}

void RunStartUpScripts(IScriptManager& scripts, void* module) {
    struct Script {
        const char16_t* name;
        bool packed;  // may come as a compressed block
    };
    static const Script order[] = {{u"config.lua", false}, {u"launcher.lua", true}};
    for (const Script& entry : order) {
        ByteBuffer script;
        if (!LoadStartUpScript(module, entry.name, script))
            continue;
        if (entry.packed && !UnpackBuffer(script)) {
            PrintBoth(u"[MC] Unpack %ls fail", entry.name);
            continue;
        }
        PrintLine(u"[MC] Run %ls", entry.name);
        Variable ignored;
        scripts.RunBuffer(ignored, script, _RUN_DISCARD);
    }
}

IScriptManager* SetUpScriptHost() {
    IScriptManager* scripts = EngineContext::Get().scriptManager;
    if (scripts == nullptr) {
        scripts = new LuaScriptManager();
        if (scripts->GetState() == nullptr) {
            PrintBoth(u"[MC] Script manager has no state");
            delete scripts;
            return nullptr;
        }
        PrintLine(u"[KL] Lua ScriptManager Created");
    }
    RegisterLauncherClasses(*scripts);
    CreateLauncherObject(*scripts);
    RegisterLauncherGlobals(*scripts);
    scripts->StartHook();
    return scripts;
}

bool StartUp(LauncherState& state, const char* narrowCommandLine) {
    SetMainThread();
    InstallPostedMessageFilter();

    state.cmd = ConvertCommandLine(narrowCommandLine);
    WString programPath = FileSystem::ProgramPath();
    SplitProgramPath(programPath, state.exeName, state.moduleFolder);

    LocalConfig config = ReadLocalConfig(Path::JoinPath(UserDataFolder(), u"mc.cfg"));
    state.fileLogging = config.fileLogging;
    state.autoUpgrade = config.autoUpgrade;
    StartLogging(config);
    PrintLine(u"[MC] Command line: %ls", state.cmd.Text());

    state.mainWindow = &state.mainWindowRecord;
    IScriptManager* scripts = SetUpScriptHost();
    if (scripts == nullptr)
        return false;

    SetEnvironmentMarkers();
    if (!CreateGameFrame(state)) {
        PrintBoth(u"[MC] Create game frame fail");
        return false;
    }

    RunStartUpScripts(*scripts, nullptr);
    LogScriptSettings(state);

    FrameWindow* progress = state.frames[6];
    if (progress != nullptr) {
        progress->Show();
        // A layered frame is on screen once shown; a direct one paints in UpdateWindow.
        if (progress->window != nullptr) {
            UpdateWindow(progress->window);
            LogFirstPaint();
        }
        if (state.fileOperation == 1)
            progress->SetProgress(0.95f);
        else if (state.fileOperation == 2)
            progress->SetProgress(0.99f);
    }

    PrintLine(u"[MC] File path: %ls", programPath.Text());
    SetUpInstallFolder(ProfileFolder(), state.appName, state.moduleFolder, state.useCurrentPath != 0);
    PrintLine(u"[MC] Current working folder: %ls", FileSystem::CurrentDirectory().Text());

    RunInstallStep(state);
    if (state.abortRequested) {
        PrintLine(u"[MC] Abort requested by the scripts");
        return false;
    }

    SweepStaleArchives(FileSystem::CurrentDirectory(), state.resName);
    RunFileOperation(state, state.autoUpgrade);
    if (state.quitState != 0)
        return true;

    if (progress != nullptr && progress->window != nullptr)
        RunCopyWorker(state, *progress);
    BossKeyConfig bossKey = ReadBossKeyConfig(FileSystem::CurrentDirectory());
    state.bossHotkey = bossKey.hotkey;
    state.bossKeyEnabled = bossKey.enabled ? 1 : 0;

    if (state.mcType == 1) {
        FrameWindow* gameFrame = state.frames[0];
        HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(Shell::_PROGRAM_ICON));
        if (icon != nullptr)
            SendMessageW(gameFrame->window, WM_SETICON, ICON_BIG, LPARAM(icon));
        SetWindowTextW(gameFrame->window, WidePtr(state.title.Text()));
        OpenRequestedPages(state);
        if (!state.hallURL.IsEmpty())
            PrintLine(u"[MC] Start download hall from %ls", state.hallURL.Text());
    }
    if (progress != nullptr) {
        progress->SetProgress(1.0f);
        SleepEx(50, TRUE);
        DestroyFrame(state, 6);
    }
    return true;
}

void ShutDown(LauncherState& state) {
    PrintLine(u"[MC] Shutdown, quit state %d", state.quitState);
    // Pages go before the windows they live in.
    ReleasePages(state);
    DestroyMainWindow(state);
    // The game frame goes last: frames that scripts made are torn down first, so no window
    // outlives its record.
    for (int slot = 1; slot < LauncherState::_FRAME_SLOTS; slot++)
        DestroyFrame(state, slot);
    DestroyFrame(state, 0);
    RemoveFrameHooks();
    RemoveLoaderWindowHooks();
    RemovePostedMessageFilter();

    IScriptManager* scripts = EngineContext::Get().scriptManager;
    if (scripts != nullptr) {
        scripts->SpareHook();
        delete scripts;
    }
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
