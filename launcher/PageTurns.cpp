#include "launcher/PageTurns.h"

#include "Common/Log.h"
#include "launcher/MainLoop.h"
#include "launcher/MainWindowHooks.h"
#include "launcher/PageEvents.h"
#include "ui/FrameWindow.h"
#include "ui/MainWindow.h"

namespace Volux {

namespace {

bool IsShown(HWND window) { return window != nullptr && IsWindowVisible(window); }

void DestroyPopup(WebWindow*& page) {
    if (page != nullptr) {
        DestroyWebWindow(page);
        page = nullptr;
    }
}

void SetEntryText(MainWindow& main, int id, const char16_t* text) {
    if (TitleBarButton* button = main.FindButton(id))
        button->text = text;
}

} // namespace

void RunWebTurn(LauncherState& state) {
    PrintLine(u"[MC] Show web window");
    if (!EnsureMainWindow(state)) {
        // Nothing could ever end a turn without a window: the launcher ends.
        state.quitState = 1;
        return;
    }
    HWND main = state.mainWindowRecord.window;
    if (FindGamePage(state.pages) == nullptr) {
        // Until the page paints, the client area shows the logo.
        state.mainWindowRecord.logoShown = 1;
        RECT client;
        GetClientRect(main, &client);
        if (WebWindow* page = CreateGamePage(state, main, 0, 0, client.right, client.bottom)) {
            PrintLine(u"[MC] Show page at: %ls", state.gameURL.Text());
            Navigate(*page, state.gameURL);
        }
    }
    const bool maximise = (state.windowFlags & LauncherState::_FLAG_MAXIMISE_AT_START) != 0 && !state.loadingSized;
    ShowWindow(main, maximise ? SW_SHOWMAXIMIZED : SW_SHOW);
    if (WebWindow* page = FindGamePage(state.pages)) {
        if (IsIconic(main))
            ShowWindow(main, SW_RESTORE);
        RECT client;
        GetClientRect(main, &client);
        if (page->window != nullptr)
            MoveWindow(page->window, 0, 0, client.right, client.bottom, TRUE);
        ShowPage(*page, false);
    }
    UpdateWindow(main);
    LogGameWindowShown();
    SetForegroundWindow(main);
    RunMessageLoop(main, nullptr, nullptr, true);
}

void RunFrameTurn(LauncherState& state) {
    PrintLine(u"[MC] Show frame window, %d, %d", state.gameShown, state.refreshing);
    FrameWindow* gameFrame = state.frames[0];
    if (!state.gameShown) {
        gameFrame->Show();
        state.frameShown = 1;
        if (state.mainWindowRecord.window != nullptr)
            ShowWindow(state.mainWindowRecord.window, SW_HIDE);
        if (state.gamePage != nullptr && state.gamePage->kind != 2)
            AttachToGameFrame(*state.gamePage, *gameFrame);
        if (state.gamePage != nullptr)
            ShowPage(*state.gamePage, false);
        // A layered frame is on screen once shown; a direct one paints in UpdateWindow.
        UpdateWindow(gameFrame->window);
        LogGameWindowShown();
        SetForegroundWindow(gameFrame->window);
        SetFocus(gameFrame->window);
        if (!state.refreshing)
            RunMessageLoop(gameFrame->window, nullptr, nullptr, true);
        if (!state.gameShown && !state.refreshing) {
            PrintLine(u"[MC] Show frame window return, %d, %d", 0, 0);
            return;
        }
    }
    if (!EnsureMainWindow(state)) {
        state.quitState = 1;
        return;
    }
    const bool pageAway = state.gamePage == nullptr || !IsShown(state.gamePage->window);
    if (pageAway && (state.gameShown || state.refreshing)) {
        PrintLine(u"[MC] No game window, continue loop main window.");
        RunMessageLoop(state.mainWindowRecord.window, nullptr, nullptr, true);
    }
}

void AttachToGameFrame(WebWindow& page, FrameWindow& frame) {
    HWND window = page.window;
    if (window == nullptr || frame.window == nullptr)
        return;
    if (!frame.region.IsEmpty()) {
        // The region cuts the frame's shape: the page lives inside it.
        SetWindowLongPtrW(window, GWL_STYLE, WS_CHILD | WS_VISIBLE);
        SetWindowLongPtrW(window, GWL_EXSTYLE, 0);
        SetParent(window, frame.window);
        if (frame.attachedWindow == window)
            frame.attachedWindow = nullptr;
    } else {
        // A layered frame cannot hold children: the page floats over it.
        SetParent(window, nullptr);
        SetWindowLongPtrW(window, GWL_STYLE, LONG_PTR(WS_POPUP | WS_VISIBLE));
        SetWindowLongPtrW(window, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
        frame.attachedWindow = window;
    }
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOACTIVATE);
}

void EndPageTurn(LauncherState& state) {
    DestroyPopup(state.imPage);
    DestroyPopup(state.videoPage);
    state.chatWasVisible = 0;
    FrameWindow* gameFrame = state.frames[0];
    WebWindow* page = FindGamePage(state.pages);
    if (state.mcType == 1 && page != nullptr && gameFrame != nullptr) {
        HidePage(*page);
        AttachToGameFrame(*page, *gameFrame);
    }
    MainWindow& main = state.mainWindowRecord;
    SetEntryText(main, 1010, state.vipMenuText);
    SetEntryText(main, 1013, u"");
    SetEntryText(main, 1012, u"");
    SetEntryText(main, 1011, u"");
}

void OpenRequestedPages(LauncherState& state) {
    for (_dword i = 0; i < state.pageRequests.Count(); i++) {
        const PageRequest& request = state.pageRequests[i];
        FrameWindow* frame = request.slot >= 0 && request.slot < LauncherState::_FRAME_SLOTS ? state.frames[request.slot]
                                                                                            : nullptr;
        if (frame == nullptr || frame->window == nullptr)
            continue;
        WebWindow* page = CreateWebWindow(request.kind, frame->window, request.x, request.y, request.width,
                                          request.height);
        if (page == nullptr) {
            PrintLine(u"[MC] Create page on frame %d fail", request.slot);
            continue;
        }
        if (request.kind == 2)
            frame->attachedWindow = page->window;
        InstallPageEvents(state, *page);
        HidePage(*page);
        page->showWhenDone = request.force;
        AddGamePage(state.pages, page);
        if (page != FindGamePage(state.pages))
            Navigate(*page, request.url);
    }
    if (WebWindow* page = FindGamePage(state.pages)) {
        PrintLine(u"[MC] Open %ls in the game page", state.firstPageURL.Text());
        Navigate(*page, state.firstPageURL);
    }
}

void ReleasePages(LauncherState& state) {
    bool listed = false;
    for (_dword i = 0; i < state.pages.Count(); i++)
        listed = listed || state.pages[i].page == state.gamePage;
    if (!listed && state.gamePage != nullptr)
        DestroyWebWindow(state.gamePage);
    state.gamePage = nullptr;
    for (_dword i = 0; i < state.pages.Count(); i++)
        DestroyWebWindow(state.pages[i].page);
    state.pages.Clear();
    DestroyPopup(state.imPage);
    DestroyPopup(state.videoPage);
}

} // namespace Volux
