#include "launcher/Popups.h"

#include "Common/Log.h"
#include "Platform/Shell.h"
#include "Platform/WideText_win32.h"
#include "launcher/CommandTrust.h"
#include "ui/FrameLayout.h"
#include "ui/FrameWindow.h"
#include "ui/MainWindow.h"

namespace Volux {

namespace {

bool IsShown(HWND window) { return window != nullptr && IsWindowVisible(window); }

void TakeInputBack(const LauncherState& state) {
    if (state.mainWindowRecord.window != nullptr)
        SetFocus(state.mainWindowRecord.window);
}

// A record whose window is gone (closed for real, or destroyed by its owner) shows nothing:
// it is freed so the next request makes the popup again.
void DropWindowless(WebWindow*& page) {
    if (page != nullptr && page->window == nullptr) {
        DestroyWebWindow(page);
        page = nullptr;
    }
}

} // namespace

PopupPlace ChatPopupPlace(int configuredX, int configuredY, int width, const RECT* button, int mainWindowRight,
                          int screenWidth) {
    PopupPlace place;
    if (configuredX != 0 || configuredY != 0) {
        place.x = configuredX;
        place.y = configuredY;
        return place;
    }
    if (button != nullptr && button->left >= 0 && button->bottom > 0) {
        place.y = button->bottom;
        place.x = button->left;
        if (mainWindowRight - 6 < button->left + width)
            place.x = mainWindowRight - width - 6;
        return place;
    }
    place.x = screenWidth - width - 30;
    place.y = 60;
    return place;
}

void ToggleChatWindow(LauncherState& state, const char16_t* address, const char16_t* title, bool recreate) {
    DropWindowless(state.imPage);
    if (recreate && state.imPage != nullptr) {
        DestroyWebWindow(state.imPage);
        state.imPage = nullptr;
    }
    const PopupSettings& look = state.chatPopup;
    const int width = ClampFrameExtent(look.width);
    const int height = ClampFrameExtent(look.height);
    MainWindow& main = state.mainWindowRecord;
    RECT button;
    const bool haveButton = main.window != nullptr && main.ButtonScreenRect(_CHAT_BUTTON, &button);
    RECT mainRect = {};
    if (main.window != nullptr)
        GetWindowRect(main.window, &mainRect);
    const PopupPlace place = ChatPopupPlace(look.x, look.y, width, haveButton ? &button : nullptr, mainRect.right,
                                            GetSystemMetrics(SM_CXSCREEN));
    if (WebWindow* chat = state.imPage) {
        if (IsShown(chat->window) && !IsIconic(chat->window)) {
            HidePage(*chat);
            return;
        }
        SetBlinkingButton(state, 0);
        if (chat->window != nullptr)
            MoveWindow(chat->window, place.x, place.y, width, height, TRUE);
        ShowPage(*chat, false);
        if (chat->window != nullptr) {
            ShowWindow(chat->window, SW_RESTORE);
            SetForegroundWindow(chat->window);
        }
        return;
    }
    if (address == nullptr || address[0] == 0)
        return;
    if (!IsWebAddress(address)) {
        PrintLine(u"[MC] Chat window address refused: %ls", address);
        return;
    }
    PrintLine(u"[MC] Open IM window: %ls, %ls, xy(%d, %d), wh(%d, %d)", address, NonNull(title), place.x, place.y,
              width, height);
    WebWindow* chat = CreateWebWindow(3, main.window, place.x, place.y, width, height);
    if (chat == nullptr) {
        PrintLine(u"[MC] Create IM window fail");
        return;
    }
    state.imPage = chat;
    ApplyPopupLook(*chat, look);
    SetPageOption(*chat, 'm', 0);
    SetPageOption(*chat, 's', 0);
    SetPageOption(*chat, 'c', 0);
    chat->hideOnClose = 1;
    if (chat->window != nullptr)
        SetWindowTextW(chat->window, WidePtr(NonNull(title)));
    Navigate(*chat, address);
    // It shows itself when its document completes.
    HidePage(*chat);
    TakeInputBack(state);
}

bool OpenVideoWindow(LauncherState& state, int x, int y, int width, int height, const char16_t* title,
                     const char16_t* address, bool scrollBars) {
    if (address == nullptr || address[0] == 0)
        return false;
    DropWindowless(state.videoPage);
    if (WebWindow* video = state.videoPage) {
        ShowPage(*video, true);
        if (video->window != nullptr) {
            ShowWindow(video->window, SW_RESTORE);
            SetForegroundWindow(video->window);
        }
        return true;
    }
    MainWindow& main = state.mainWindowRecord;
    WebWindow* video = CreateWebWindow(4, main.window, ClampFramePosition(x), ClampFramePosition(y),
                                       ClampFrameExtent(width), ClampFrameExtent(height));
    if (video == nullptr) {
        PrintLine(u"[MC] Create video window fail");
        return false;
    }
    state.videoPage = video;
    PopupSettings look = state.videoPopup;
    look.titleSuffix = u"";
    ApplyPopupLook(*video, look);
    SetPageOption(*video, 'm', 0);
    SetPageOption(*video, 's', scrollBars ? 1 : 0);
    SetPageOption(*video, 'c', 0);
    if (video->window != nullptr) {
        SetWindowTextW(video->window, WidePtr(NonNull(title)));
        SetWindowPos(video->window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    Navigate(*video, address);
    ShowPage(*video, true);
    TakeInputBack(state);
    return true;
}

void FollowMainWindow(LauncherState& state, bool activated) {
    WebWindow* video = state.videoPage;
    HWND main = state.mainWindowRecord.window;
    if (video == nullptr || video->window == nullptr || main == nullptr)
        return;
    RECT mainRect;
    GetWindowRect(main, &mainRect);
    SetWindowPos(video->window, activated ? HWND_TOPMOST : HWND_NOTOPMOST, mainRect.left + video->x,
                 mainRect.top + video->y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

void SetBlinkingButton(LauncherState& state, int id) {
    MainWindow& main = state.mainWindowRecord;
    main.Blink(id, GetTickCount());
    main.blinkingButton = id;
    // The normal look comes back at once when the blink ends in its dark half.
    if (main.window != nullptr)
        RedrawWindow(main.window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

void ToggleBossKey(LauncherState& state, bool tray) {
    FrameWindow* gameFrame = state.frames[0];
    if (gameFrame != nullptr && IsShown(gameFrame->window))
        return;
    HWND main = state.mainWindowRecord.window;
    if (IsShown(main)) {
        if (tray)
            Shell::RemoveNotificationIcon(main);
        ShowWindow(main, SW_HIDE);
        if (WebWindow* chat = state.imPage) {
            state.chatWasVisible = IsShown(chat->window) ? 1 : 0;
            HidePage(*chat);
        }
        if (state.videoPage != nullptr) {
            DestroyWebWindow(state.videoPage);
            state.videoPage = nullptr;
        }
        for (int slot = 1; slot < LauncherState::_FRAME_SLOTS; slot++) {
            if (state.frames[slot] != nullptr)
                state.frames[slot]->Hide();
        }
        return;
    }
    if (main == nullptr)
        return;
    if (tray && !Shell::AddNotificationIcon(main, state.title))
        PrintLine(u"[MC] Tray icon could not be added");
    ShowWindow(main, SW_SHOW);
    UpdateWindow(main);
    if (IsIconic(main))
        ShowWindow(main, SW_RESTORE);
    if (state.imPage != nullptr && state.chatWasVisible)
        ShowPage(*state.imPage, true);
    state.chatWasVisible = 0;
}

} // namespace Volux
