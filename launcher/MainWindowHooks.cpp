#include "launcher/MainWindowHooks.h"

#include <shellapi.h>

#include "Common/Log.h"
#include "Platform/WideText_win32.h"
#include "launcher/ExitQuestion.h"
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

bool IsWebAddress(const char16_t* text) {
    auto startsWith = [text](const char16_t* prefix) {
        for (int i = 0; prefix[i] != 0; i++) {
            char16_t c = text[i];
            if (c >= u'A' && c <= u'Z')
                c = char16_t(c - u'A' + u'a');
            if (c != prefix[i])
                return false;
        }
        return true;
    };
    return text != nullptr && (startsWith(u"http://") || startsWith(u"https://"));
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
    case 1000:
        PrintLine(u"[MC] Game menu: show the game page");
        break;
    case 1001:
        PrintLine(u"[MC] Refresh requested");
        break;
    case 1005:
        PrintLine(u"[MC] Exit to %ls", state->exitURL.Text());
        if (main.window != nullptr && AskExit(*state, main.window, state->exitURL.Text()))
            PostMessageW(main.window, WM_QUIT, 0, 0);
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
        if (main.window != nullptr)
            ShowWindow(main.window, SW_MINIMIZE);
        break;
    case 1009:
        PrintLine(u"[MC] Boss key toggle");
        break;
    case 1010:
        PrintLine(u"[MC] Open chat popup at %ls, %ls", value != nullptr ? value : u"", state->vipMenuText.Text());
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
        PrintLine(u"[MC] Menu %d: page %ls at %ls", id, text != nullptr ? text : u"", value != nullptr ? value : u"");
        break;
    }
}

bool OnMainMessage(MainWindow& window, UINT message, WPARAM, LPARAM) {
    LauncherState* state = LauncherState::Instance();
    if (state == nullptr)
        return false;
    if (message == WM_CLOSE) {
        // No means the window stays; yes lets the window's own handling end the turn.
        if (!AskExit(*state, window.window, state->exitURL.Text()))
            return true;
        state->quitState = state->quitState != 0 ? state->quitState : 1;
    }
    return false;
}

} // namespace Volux
