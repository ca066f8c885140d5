#include "launcher/MainWindowHooks.h"

#include <shellapi.h>

#include "Common/Log.h"
#include "Platform/WideText_win32.h"
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

constexpr int _TIP_CHARS = 127;  // what NOTIFYICONDATA's tip holds besides its terminator

void FillTrayData(NOTIFYICONDATAW& data, HWND window) {
    data = {};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = 0;
}

void AddTrayIcon(LauncherState& state, HWND window) {
    NOTIFYICONDATAW data;
    FillTrayData(data, window);
    data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = _TRAY_MESSAGE;
    data.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(_PROGRAM_ICON));
    const int length = state.title.Length();
    for (int i = 0; i < length && i < _TIP_CHARS; i++)
        data.szTip[i] = wchar_t(state.title.Text()[i]);
    if (!Shell_NotifyIconW(NIM_ADD, &data))
        PrintLine(u"[MC] Tray icon could not be added");
}

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
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(_PROGRAM_ICON));
    if (icon != nullptr)
        SendMessageW(main.window, WM_SETICON, ICON_BIG, LPARAM(icon));
    AddTrayIcon(state, main.window);
    if (state.bossKeyEnabled != 0 && state.bossHotkey != 0) {
        // The hotkey control's code: virtual key in the low byte, HOTKEYF_ flags above it.
        const UINT key = UINT(state.bossHotkey & 0xFF);
        const UINT hotkeyFlags = UINT((state.bossHotkey >> 8) & 0xFF);
        UINT modifiers = 0;
        if (hotkeyFlags & 0x1)  // HOTKEYF_SHIFT
            modifiers |= MOD_SHIFT;
        if (hotkeyFlags & 0x2)  // HOTKEYF_CONTROL
            modifiers |= MOD_CONTROL;
        if (hotkeyFlags & 0x4)  // HOTKEYF_ALT
            modifiers |= MOD_ALT;
        if (!RegisterHotKey(main.window, 0, modifiers, key))
            PrintLine(u"[MC] Boss key 0x%x could not be registered", unsigned(state.bossHotkey));
    }
    return true;
}

void DestroyMainWindow(LauncherState& state) {
    MainWindow& main = state.mainWindowRecord;
    if (main.window == nullptr)
        return;
    NOTIFYICONDATAW data;
    FillTrayData(data, main.window);
    Shell_NotifyIconW(NIM_DELETE, &data);
    UnregisterHotKey(main.window, 0);
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
            ShellExecuteW(nullptr, L"open", WidePtr(value), nullptr, nullptr, SW_SHOWNORMAL);
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
