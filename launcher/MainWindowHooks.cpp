#include "launcher/MainWindowHooks.h"

#include "Common/Log.h"
#include "Platform/Shell.h"
#include "launcher/CommandTrust.h"
#include "launcher/ExitQuestion.h"
#include "launcher/MainWindowMessages.h"
#include "launcher/PageEvents.h"
#include "launcher/Popups.h"
#include "loader/LoaderHost.h"
#include "launcher/GameTurn.h"
#include "ui/FrameLayout.h"
#include "ui/FrameWindow.h"
#include "ui/MainWindow.h"

namespace Volux {

namespace {

// Shows a frame slot centred over the main window, or under a title-bar entry.
void ShowFrameAt(LauncherState& state, int slot, const RECT* under) {
    FrameWindow* frame = state.frames[slot];
    if (frame == nullptr || frame->window == nullptr)
        return;
    RECT frameRect;
    GetWindowRect(frame->window, &frameRect);
    const int w = frameRect.right - frameRect.left;
    const int h = frameRect.bottom - frameRect.top;
    int x = 0;
    int y = 0;
    if (under != nullptr) {
        x = under->right - w;
        y = under->bottom;
    }
    if ((x == 0 && y == 0) && state.mainWindow != nullptr && state.mainWindow->window != nullptr) {
        RECT mainRect;
        GetWindowRect(state.mainWindow->window, &mainRect);
        x = mainRect.left + (mainRect.right - mainRect.left - w) / 2;
        y = mainRect.top + (mainRect.bottom - mainRect.top - h) / 2;
    }
    SetWindowPos(frame->window, HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
    frame->Show();
    UpdateWindow(frame->window);
    SetFocus(frame->window);
}

void ToggleFrame(LauncherState& state, int slot, const RECT* under) {
    FrameWindow* frame = state.frames[slot];
    if (frame == nullptr || frame->window == nullptr)
        return;
    if (IsWindowVisible(frame->window)) {
        frame->Hide();
        return;
    }
    if (slot == 2) {
        frame->SetCheck(state.bossKeyEnabled != 0);
        frame->SetHotkey(state.bossHotkey != 0 ? state.bossHotkey : 512);
    }
    ShowFrameAt(state, slot, under);
}

} // namespace

bool EnsureMainWindow(LauncherState& state) {
    MainWindow& main = state.mainWindowRecord;
    state.mainWindow = &main;
    if (main.window != nullptr)
        return true;
    int width = state.width;
    int height = state.height;
    _dword flags = state.windowFlags;
    if (state.loadingWidth != 0 && state.loadingHeight != 0) {
        width = state.loadingWidth;
        height = state.loadingHeight;
        flags &= ~LauncherState::_FLAG_MAXIMISE_AT_START;
        state.loadingSized = 1;
    }
    // Script sizes are clamped first, so the centring cannot overflow.
    width = ClampFrameExtent(width);
    height = ClampFrameExtent(height);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    main.commandHandler = &OnMainCommand;
    main.messageHook = &OnMainMessage;
    if (!main.Create(x, y, state.title.Text(), width, height, flags)) {
        PrintBoth(u"[MC] Create main window fail");
        return false;
    }
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(Shell::_PROGRAM_ICON));
    if (icon != nullptr)
        SendMessageW(main.window, WM_SETICON, ICON_BIG, LPARAM(icon));
    if (!Shell::AddNotificationIcon(main.window, state.title))
        PrintLine(u"[MC] Tray icon could not be added");
    if (state.bossKeyEnabled != 0 && state.bossHotkey != 0 && !Shell::SetBossHotkey(main.window, _dword(state.bossHotkey)))
        PrintLine(u"[MC] Boss key 0x%x could not be registered", unsigned(state.bossHotkey));
    return true;
}

void DestroyMainWindow(LauncherState& state) {
    MainWindow& main = state.mainWindowRecord;
    if (main.window == nullptr)
        return;
    Shell::RemoveNotificationIcon(main.window);
    Shell::SetBossHotkey(main.window, 0);
    main.Destroy();
}

void OnMainCommand(int id, const char16_t* text, const char16_t* value) {
    LauncherState* state = LauncherState::Instance();
    if (state == nullptr)
        return;
    MainWindow& main = state->mainWindowRecord;
    switch (id) {
    case 0:
        // Only web addresses go to the shell.
        if (IsWebAddress(value)) {
            Shell::Open(value, nullptr);
        } else if (value != nullptr && value[0] != 0) {
            PrintLine(u"[MC] Menu address refused: %ls", value);
        }
        break;
    case 1000: {
        if (state->mcType == 2 && state->gameWindow != nullptr) {
            ShowWindow(state->gameWindow, SW_SHOW);
            UpdateWindow(state->gameWindow);
        }
        WebWindow* page = ShowPageById(state->pages, -1, main.window, nullptr, false, nullptr);
        if (page != nullptr && state->mcType == 2)
            ShowPage(*page, true);
        if (state->gameWindow != nullptr)
            SetFocus(state->gameWindow);
        break;
    }
    case 1001:
        Refresh(*state);
        break;
    case 1005:
        if (state->closeRegistered) {
            TheLoaderHost().Forward(WM_CLOSE, 0, 0);
            break;
        }
        PrintLine(u"[MC] Exit to %ls", state->exitURL.Text());
        if (AskExit(*state, main.window, state->exitURL.Text()))
            QuitMainLoop(*state);
        break;
    case 1006:
        if (main.window != nullptr && !IsZoomed(main.window))
            ShowWindow(main.window, SW_MAXIMIZE);
        break;
    case 1007:
        if (main.window != nullptr && IsZoomed(main.window))
            ShowWindow(main.window, SW_RESTORE);
        break;
    case 1008:
        for (int slot = 1; slot <= 3; slot++) {
            if (state->frames[slot] != nullptr)
                state->frames[slot]->Hide();
        }
        if (state->imPage != nullptr)
            HidePage(*state->imPage);
        if (main.window != nullptr)
            ShowWindow(main.window, SW_MINIMIZE);
        break;
    case 1009:
        ToggleBossKey(*state, false);
        break;
    case 1010:
        ToggleChatWindow(*state, value, state->vipMenuText, false);
        break;
    case 1012:
    case 1013: {
        RECT entry;
        if (main.ButtonScreenRect(1012, &entry))
            ToggleFrame(*state, 1, &entry);
        break;
    }
    case 1015:
        ToggleFrame(*state, 2, nullptr);
        break;
    default:
        // A URL entry: its page takes the main window's client area, the game steps back.
        if (state->mcType == 2 && state->gameWindow != nullptr) {
            ShowWindow(state->gameWindow, SW_HIDE);
            SetFocus(nullptr);
        }
        if (main.window != nullptr && ShowPageById(state->pages, id, main.window, value, true, nullptr) == nullptr)
            PrintLine(u"[MC] Menu %d: page %ls at %ls could not be shown", id, NonNull(text), NonNull(value));
        break;
    }
}

bool OnMainMessage(MainWindow&, UINT message, WPARAM wparam, LPARAM lparam) {
    LauncherState* state = LauncherState::Instance();
    if (state == nullptr)
        return false;
    return HandleMainMessage(*state, message, wparam, lparam);
}

} // namespace Volux
