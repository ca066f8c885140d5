#include "launcher/GameTurn.h"

#include "Common/Log.h"
#include "Common/StringFormatter.h"
#include "launcher/DriveChoice.h"
#include "launcher/InstallFolder.h"
#include "launcher/MainLoop.h"
#include "launcher/MainWindowHooks.h"
#include "launcher/PageCommands.h"
#include "loader/LoaderHost.h"
#include "ui/FrameWindow.h"
#include "ui/LoadingWindow.h"
#include "ui/MainWindow.h"
#include "ui/ProcessClock.h"
#include "Platform/File.h"

namespace Volux {

namespace {

bool OnLoaderWindowCreate(HWND window) {
    LoaderHost& host = TheLoaderHost();
    if (host.Prepare(window))
        host.Start();
    return true;
}

bool OnLoaderWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == _WM_INVOKE) {
        if (LauncherState* state = LauncherState::Instance()) {
            CommandSender sender = SenderOfCommand(*state, window);
            // The host window's commands come from the plug-in (or the host itself), also while
            // it is being made and not yet recorded as the game window.
            sender.kind = _SENDER_PLUGIN;
            RunCommandWord(*state, sender, reinterpret_cast<const char16_t*>(wparam),
                           reinterpret_cast<CommandArguments*>(lparam));
        }
        return true;
    }
    return TheLoaderHost().Forward(message, wparam, lparam) != 0;
}

void OnLoaderWindowExit() { TheLoaderHost().Shutdown(); }

// The loader tick: starts the library once its download is ready, then drives it.
bool LoaderIdle(_dword, void*) {
    LoaderHost& host = TheLoaderHost();
    if (!host.IsLoaded() && !host.IsStopped() && host.PollDownload())
        host.Start();
    host.Tick();
    if (host.IsRendering())
        LogGameWindowShown();
    // A title-bar button marked by a page's new-message notice alternates its look.
    if (LauncherState* state = LauncherState::Instance()) {
        MainWindow& main = state->mainWindowRecord;
        if (main.window != nullptr && main.blinkingButton != 0)
            main.Blink(main.blinkingButton, GetTickCount());
    }
    return true;
}

// The value of the first parameter with the name, or empty.
WString ParameterValue(const Array<GameParameter>& parameters, const char16_t* name) {
    for (_dword i = 0; i < parameters.Count(); i++) {
        if (parameters[i].name == name)
            return parameters[i].value;
    }
    return WString();
}

} // namespace

LoaderHost& TheLoaderHost() {
    static LoaderHost sHost;
    return sHost;
}

void InstallLoaderWindowHooks() {
    LoadingWindowHooks hooks;
    hooks.onCreate = &OnLoaderWindowCreate;
    hooks.onMessage = &OnLoaderWindowMessage;
    hooks.onExit = &OnLoaderWindowExit;
    SetLoadingWindowHooks(&hooks);
}

void RemoveLoaderWindowHooks() {
    const LoadingWindowHooks* hooks = LoadingWindowHooksInstalled();
    if (hooks != nullptr && hooks->onExit != nullptr)
        hooks->onExit();
    SetLoadingWindowHooks(nullptr);
}

void SplitGameParameter(const WString& text, WString& name, WString& value) {
    const int equals = text.FindChar(u'=');
    if (equals < 0) {
        name = text;
        value = u"";
        return;
    }
    name = text.Substring(0, equals);
    value = text.Substring(equals + 1);
}

void RunLoaderTurn(LauncherState& state) {
    if (!EnsureMainWindow(state)) {
        state.quitState = 1;
        return;
    }
    ShowWindow(state.mainWindowRecord.window, SW_SHOW);
    LoaderHost& host = TheLoaderHost();
    host.Unload();

    WString folder;
    if (state.useCurrentPath || state.appName.IsEmpty()) {
        folder = FileSystem::CurrentDirectory();
    } else {
        folder = ChooseInstallFolder(FileSystem::SpecialFolderPath(FileSystem::_PROFILE), state.appName,
                                     state.appSize, SystemDrives());
        FileSystem::ChangeDirectory(folder);
        folder = FileSystem::CurrentDirectory();
    }
    host.SetLoaderPath(Format(u"%ls\\volux3d.lod", folder.Text()));
    host.SetApplicationName(state.appName);

    Array<GameParameter> parameters;
    Array<WString> mirrors;
    WString report;
    for (_dword i = 0; i < state.loaderParameters.Count(); i++) {
        GameParameter parameter;
        SplitGameParameter(state.loaderParameters[i], parameter.name, parameter.value);
        if (parameter.name == u"tickurl")
            report = parameter.value;
        if (parameter.name == u"cdnip") {
            WString rest = parameter.value;
            for (;;) {
                const int bar = rest.FindChar(u'|');
                mirrors.Append(bar < 0 ? rest : rest.Substring(0, bar));
                if (bar < 0)
                    break;
                rest = rest.Substring(bar + 1);
            }
        }
        parameters.Append(std::move(parameter));
    }
    host.SetMirrors(mirrors);
    host.SetReportAddress(report);
    host.SetGameParameters(parameters);

    // A library the scripts wrote is used as it is; without one, a game that names a remote
    // library and its digest among its parameters fetches it, as a game page would.
    const WString remote = ParameterValue(parameters, u"liburl");
    const WString digest = ParameterValue(parameters, u"libmd5");
    if (!FileSystem::IsFile(state.loaderFile) && !remote.IsEmpty() && !digest.IsEmpty()) {
        PrintLine(u"[MC] Use remote loader: %ls, %ls", remote.Text(), digest.Text());
        host.SetLoader(remote, digest);
    } else {
        host.SetLoader(Format(u"local:\\%ls", state.loaderFile.Text()), u"");
    }
    PrintLine(u"[MC] Show loader game: install folder %ls, loader %ls, library %ls, %d game parameters",
              folder.Text(), host.LoaderAddress().Text(), host.LoaderPath().Text(), int(parameters.Count()));
}

void RunGameTurn(LauncherState& state) {
    PrintLine(u"[MC] Show game window, game stage %d, mc type %d", state.gameStage, state.mcType);
    if (state.gameStage != 2 && state.mcType != 2)
        return;
    if (!EnsureMainWindow(state)) {
        PrintLine(u"[MC] Create main window fail");
        return;
    }
    state.gameShown = 0;
    state.frameShown = 0;
    if (state.frames[0] != nullptr)
        state.frames[0]->Hide();
    HWND main = state.mainWindowRecord.window;
    const bool maximise = (state.windowFlags & LauncherState::_FLAG_MAXIMISE_AT_START) != 0 && !state.loadingSized;
    ShowWindow(main, maximise ? SW_SHOWMAXIMIZED : SW_SHOW);
    UpdateWindow(main);
    if (WebWindow* page = state.gamePage) {
        // The game page found in the frame moves into the main window's client area.
        if (page->window != nullptr) {
            RECT client;
            GetClientRect(main, &client);
            if (FrameWindow* gameFrame = state.frames[0]; gameFrame != nullptr && gameFrame->attachedWindow == page->window)
                gameFrame->attachedWindow = nullptr;
            SetWindowLongPtrW(page->window, GWL_STYLE, WS_CHILD | WS_VISIBLE);
            SetWindowLongPtrW(page->window, GWL_EXSTYLE, 0);
            SetParent(page->window, main);
            MoveWindow(page->window, 0, 0, client.right, client.bottom, TRUE);
        }
        ShowPage(*page, true);
    }
    LogFirstPaint();
    PrintLine(u"[MC] Main window up %u ms after start", ProcessAgeMs());

    LoaderHost& host = TheLoaderHost();
    if (state.gameWindow != nullptr) {
        if (host.Prepare(state.gameWindow))
            host.Start();
    } else {
        RECT client;
        GetClientRect(main, &client);
        const int* m = state.gameMargins;
        HWND created = nullptr;
        CreateLoadingWindow(main, m[0], m[1], client.right - m[0] - m[2], client.bottom - m[1] - m[3], u"", created);
        state.gameWindow = created;
    }
    if (state.gameWindow != nullptr) {
        ShowWindow(state.gameWindow, SW_SHOW);
        SetFocus(state.gameWindow);
    }
    SetForegroundWindow(main);
    state.refreshing = 0;
    // The game turn's loop alone runs without the fast setting: the plug-in sets the pace.
    RunMessageLoop(main, &LoaderIdle, nullptr, false);
}

void EndGameTurn(LauncherState& state) {
    if (state.gameWindow != nullptr) {
        TheLoaderHost().Shutdown();
        DestroyWindow(state.gameWindow);
        state.gameWindow = nullptr;
    }
    TheLoaderHost().Unload();
}

} // namespace Volux
