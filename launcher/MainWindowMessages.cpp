#include "launcher/MainWindowMessages.h"

#include <commctrl.h>

#include "Common/Log.h"
#include "Platform/Shell.h"
#include "launcher/BossKeyConfig.h"
#include "launcher/ExitQuestion.h"
#include "launcher/Frames.h"
#include "launcher/GameTurn.h"
#include "launcher/LauncherScript.h"
#include "launcher/PageCommands.h"
#include "launcher/PageEvents.h"
#include "launcher/Popups.h"
#include "loader/LoaderHost.h"
#include "ui/FrameWindow.h"
#include "ui/LoadingWindow.h"
#include "ui/MainWindow.h"
#include "Platform/File.h"

namespace Volux {

namespace {

bool IsSlot(WPARAM slot) { return slot < WPARAM(LauncherState::_FRAME_SLOTS); }

bool FromThisThread() { return (InSendMessageEx(nullptr) & (ISMEX_SEND | ISMEX_NOTIFY | ISMEX_CALLBACK)) == 0; }

void HideFrames(LauncherState& state, int first, int last) {
    for (int slot = first; slot <= last; slot++) {
        if (state.frames[slot] != nullptr)
            state.frames[slot]->Hide();
    }
}

void FocusGame(const LauncherState& state) {
    if (state.gameWindow != nullptr)
        SetFocus(state.gameWindow);
}

// The pages inside the main window take its client area; the game window the area within the
// script's margins.
void SizeContent(LauncherState& state, HWND main) {
    static bool sSizing = false;
    if (sSizing)
        return;
    sSizing = true;
    RECT client;
    GetClientRect(main, &client);
    Array<PageEntry> inside;
    for (_dword i = 0; i < state.pages.Count(); i++) {
        const PageEntry& entry = state.pages[i];
        if (entry.page != nullptr && entry.page->window != nullptr && GetParent(entry.page->window) == main)
            inside.Append(entry);
    }
    SizePages(inside, client.right, client.bottom);
    if (state.gameWindow != nullptr) {
        const int* m = state.gameMargins;
        MoveWindow(state.gameWindow, m[0], m[1], client.right - m[0] - m[2], client.bottom - m[1] - m[3], TRUE);
    }
    sSizing = false;
}

void CloseMainWindow(LauncherState& state, HWND main) {
    if (state.loadingSized)
        return;
    LoaderHost& host = TheLoaderHost();
    if (state.closeRegistered) {
        host.Forward(WM_CLOSE, 0, 0);
        return;
    }
    if (!AskExit(state, main, state.exitURL))
        return;
    host.Forward(WM_CLOSE, 0, 0);
    QuitMainLoop(state);
}

void PageTitle(LauncherState& state, WPARAM wparam) {
    if (!FromThisThread()) {
        PrintLine(u"[MC] Page title from another thread or process refused");
        return;
    }
    const auto* text = reinterpret_cast<const char16_t*>(wparam);
    const int length = BoundedTextLength(text, _MAX_MESSAGE_TEXT);
    if (length < 0) {
        PrintLine(u"[MC] Page title longer than %d characters refused", _MAX_MESSAGE_TEXT);
        return;
    }
    const WString title(NonNull(text), length);
    PrintLine(u"[MC] Got gs name: %ls", title.Text());
    MainWindow& main = state.mainWindowRecord;
    // Set directly: an empty title empties the entry too.
    if (TitleBarButton* chat = main.FindButton(_CHAT_BUTTON)) {
        chat->text = title;
        chat->visibleIn = 255;
    }
    if (main.window != nullptr)
        RedrawWindow(main.window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

void PlatformPage(WPARAM wparam) {
    const auto* record = reinterpret_cast<const PlatformPageRecord*>(wparam);
    if (record == nullptr)
        return;
    if (!FromThisThread()) {
        PrintLine(u"[MC] Platform page from another thread or process refused");
        return;
    }
    const int nameLength = BoundedTextLength(record->name, _MAX_MESSAGE_TEXT);
    const int addressLength = BoundedTextLength(record->address, _MAX_MESSAGE_TEXT);
    if (nameLength < 0 || addressLength < 0) {
        PrintLine(u"[MC] Platform page text longer than %d characters refused", _MAX_MESSAGE_TEXT);
        return;
    }
    const WString name(NonNull(record->name), nameLength);
    const WString address(NonNull(record->address), addressLength);
    PrintLine(u"[MC] Open QQ page: %d,%d,%ls,%ls", record->first, record->second, name.Text(), address.Text());
    // The platform bridge that opens these pages is not part of this build.
    if (record->first != 0 && record->second != 0)
        PrintLine(u"[MC] Platform bridge not available");
}

} // namespace

bool HotkeyHasModifier(int hotkey) { return ((hotkey >> 8) & (HOTKEYF_SHIFT | HOTKEYF_CONTROL | HOTKEYF_ALT)) != 0; }

void LogOff(LauncherState& state) {
    const WString address = !state.serverLogoutURL.IsEmpty() ? state.serverLogoutURL : state.logoffURL;
    if (address.IsEmpty())
        return;
    PrintLine(u"[MC] Logoff to %ls", address.Text());
    SwitchLocation(state, address, false);
    QuitMainLoop(state);
}

void ChooseServer(LauncherState& state, int slot) {
    if (slot < 0 || slot >= LauncherState::_FRAME_SLOTS || state.frames[slot] == nullptr)
        return;
    FrameWindow* frame = state.frames[slot];
    int index = -1;
    if (FrameComboBox* list = frame->FindComboBox(0)) {
        if (list->control != nullptr)
            index = int(SendMessageW(list->control, CB_GETCURSEL, 0, 0));
    }
    if (index < 0 || _dword(index) >= state.serverNames.Count() || _dword(index) >= state.serverURLs.Count())
        return;
    const WString name = state.serverNames[index];
    const WString address = state.serverURLs[index];
    PrintLine(u"[MC] Change server to %ls", name.Text());
    if (name == state.currentServerName) {
        if (state.frames[3] != nullptr) {
            ShowConfirmationBox(state, 3, state.sameServerPrompt);
            return;
        }
        if (!Confirm(state.mainWindowRecord.window, state.sameServerPrompt, state.title))
            return;
    }
    SwitchLocation(state, address, true);
    state.currentServerName = name;
    frame->SetLabelText(0, name);
    QuitMainLoop(state);
}

void AcceptBossKey(LauncherState& state, int slot) {
    if (slot < 0 || slot >= LauncherState::_FRAME_SLOTS || state.frames[slot] == nullptr)
        return;
    FrameWindow* frame = state.frames[slot];
    const int hotkey = frame->Hotkey(0);
    const bool enabled = frame->IsChecked(0);
    const bool modifier = HotkeyHasModifier(hotkey);
    if (!modifier && enabled) {
        if (state.frames[3] == nullptr)
            Confirm(frame->window, state.hotkeyTooSimplePrompt, state.promptCaption);
        else
            ShowConfirmationBox(state, 0, state.hotkeyTooSimplePrompt);
        return;
    }
    state.bossHotkey = modifier ? hotkey : 0;
    state.bossKeyEnabled = enabled ? 1 : 0;
    HWND main = state.mainWindowRecord.window;
    if (main != nullptr) {
        if (enabled)
            Shell::SetBossHotkey(main, _dword(state.bossHotkey));
        else
            UnregisterHotKey(main, 0);
    }
    BossKeyConfig config;
    config.hotkey = state.bossHotkey;
    config.enabled = enabled;
    WriteBossKeyConfig(FileSystem::CurrentDirectory(), config);
    frame->Hide();
}

bool HandleMainMessage(LauncherState& state, UINT message, WPARAM wparam, LPARAM lparam) {
    HWND main = state.mainWindowRecord.window;
    switch (message) {
    case WM_SIZE:
        if (main != nullptr)
            SizeContent(state, main);
        return true;
    case WM_ACTIVATE:
        FollowMainWindow(state, LOWORD(wparam) != WA_INACTIVE);
        return false;
    case WM_WINDOWPOSCHANGED:
        FollowMainWindow(state, GetActiveWindow() == main);
        return false;
    case WM_CLOSE:
        CloseMainWindow(state, main);
        return true;
    case WM_NCLBUTTONDOWN:
        HideFrames(state, 1, 3);
        return false;
    case WM_LBUTTONDOWN:
        HideFrames(state, 1, 3);
        FocusGame(state);
        return false;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        if (main != nullptr)
            SetFocus(main);
        return false;
    case WM_RBUTTONDOWN:
        FocusGame(state);
        return false;
    case WM_HOTKEY:
        ToggleBossKey(state, true);
        return true;
    case _WM_INVOKE:
        RunCommandWord(state, SenderOfCommand(state, main), reinterpret_cast<const char16_t*>(wparam),
                       reinterpret_cast<CommandArguments*>(lparam));
        return true;
    case Shell::_NOTIFY_MESSAGE:
        if (wparam == 0 && lparam == WM_LBUTTONDOWN)
            ToggleBossKey(state, false);
        return true;
    case _WM_EXIT_NOTICE:
        PrintLine(u"[MC] Notified to exit");
        state.quitState = 1;
        QuitMainLoop(state);
        return true;
    case _WM_SERVER_CHOSEN:
        if (IsSlot(wparam))
            ChooseServer(state, int(wparam));
        return true;
    case _WM_LOG_OFF:
        LogOff(state);
        return true;
    case _WM_BOSS_KEY_ACCEPTED:
        if (IsSlot(wparam))
            AcceptBossKey(state, int(wparam));
        return true;
    case _WM_CONFIRMED:
        if (IsSlot(wparam))
            AcceptConfirmation(state, int(wparam), main);
        return true;
    case _WM_FRAME_DISMISSED:
        if (IsSlot(wparam) && state.frames[wparam] != nullptr)
            state.frames[wparam]->Hide();
        return true;
    case _WM_PAGE_NEW_MESSAGE:
        PrintLine(u"[MC] Got new message");
        SetBlinkingButton(state, _CHAT_BUTTON);
        return true;
    case _WM_PAGE_TITLE:
        PageTitle(state, wparam);
        return true;
    case _WM_PAGE_RESTORED:
        PrintLine(u"[MC] Clear blur state");
        SetBlinkingButton(state, 0);
        return true;
    case _WM_PLATFORM_PAGE:
        PlatformPage(wparam);
        return true;
    default:
        // The game's own private messages; system messages stay with the window.
        if (message >= WM_USER && message < 0x8000)
            return TheLoaderHost().Forward(message, wparam, lparam) != 0;
        return false;
    }
}

} // namespace Volux
