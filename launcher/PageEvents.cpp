#include "launcher/PageEvents.h"

#include "Common/Log.h"
#include "launcher/GameTurn.h"
#include "loader/LoaderHost.h"
#include "ui/FrameWindow.h"
#include "ui/MainWindow.h"

namespace Volux {

namespace {

LauncherState* State() { return LauncherState::Instance(); }

bool IsWordChar(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}

// The number after the leftmost "<key>=" that is followed by a word; 0 when there is none or
// the word is not a number of at most 5 digits.
int ReadSizeWord(const char16_t* address, char16_t key) {
    for (int i = 0; address[i] != 0; i++) {
        if (address[i] != key || address[i + 1] != u'=' || !IsWordChar(address[i + 2]))
            continue;
        int value = 0;
        int digits = 0;
        for (int k = i + 2; IsWordChar(address[k]); k++) {
            if (address[k] < u'0' || address[k] > u'9' || ++digits > 5)
                return 0;
            value = value * 10 + (address[k] - u'0');
        }
        return value;
    }
    return 0;
}

bool MainWindowShown(const LauncherState& state) {
    return state.mainWindowRecord.window != nullptr && IsWindowVisible(state.mainWindowRecord.window);
}

} // namespace

bool IsGameAddress(const LauncherState& state, const char16_t* address) {
    for (_dword i = 0; i < state.quietURLs.Count(); i++) {
        if (!state.quietURLs[i].IsEmpty() && Text::FindText(NonNull(address), state.quietURLs[i], true) >= 0)
            return true;
    }
    return false;
}

bool IsFrameAddress(const LauncherState& state, const char16_t* address) {
    for (_dword i = 0; i < state.frameURLs.Count(); i++) {
        if (!state.frameURLs[i].IsEmpty() && Text::StartsWith(NonNull(address), state.frameURLs[i], true))
            return true;
    }
    return false;
}

bool ReadGameSize(const char16_t* address, int& width, int& height) {
    width = ReadSizeWord(NonNull(address), u'w');
    height = width != 0 ? ReadSizeWord(NonNull(address), u'h') : 0;
    return width != 0 && height != 0;
}

void InstallPageEvents(const LauncherState& state, WebWindow& page) {
    page.onNavigateComplete = &OnPageNavigateComplete;
    page.onReady = &OnPageDocumentComplete;
    SetPageOption(page, 'a', 0);
    SetPageOption(page, 'm', 0);
    SetPageOption(page, 'c', 0);
    SetPageOption(page, 's', state.enableScrollBar != 0 ? 1 : 0);
}

WebWindow* CreateGamePage(LauncherState& state, HWND parent, int x, int y, int width, int height) {
    WebWindow* page = CreateWebWindow(0, parent, x, y, width, height);
    if (page == nullptr) {
        PrintLine(u"[MC] Create game page fail");
        return nullptr;
    }
    InstallPageEvents(state, *page);
    AddGamePage(state.pages, page);
    return page;
}

void OnPageNavigateComplete(WebWindow& page) {
    LauncherState* state = State();
    if (state == nullptr)
        return;
    FrameWindow* gameFrame = state->frames[0];
    if (gameFrame != nullptr && gameFrame->attachedWindow != nullptr && gameFrame->window != nullptr &&
        IsWindowVisible(gameFrame->window)) {
        gameFrame->followAttached = 1;
        gameFrame->PlaceAttached();
    }
    const WString address = PageLocation(page);
    if (address.IsEmpty())
        return;
    PrintLine(u"[MC] Preload page at: %ls", address.Text());
    const bool game = IsGameAddress(*state, address);
    if (!game && !state->gameShown)
        ShowPage(page, false);
    if (address == state->lastPageURL)
        return;
    if (game && state->gameStage != 2) {
        PrintLine(u"[MC] Found game url, %ls", address.Text());
        state->gameStage = 1;
        int width = 0;
        int height = 0;
        if (ReadGameSize(address, width, height)) {
            state->loadingWidth = width;
            state->loadingHeight = height;
        }
    }
    state->lastPageURL = address;
    // In the frame mode the game leaves the frame for the main window: the frame's loop ends
    // and the game turn takes the page. A frame address stays in the frame, quiet text or not.
    if (state->mcType == 1 && !MainWindowShown(*state) && !IsFrameAddress(*state, address) && !state->gameShown &&
        game) {
        state->gamePage = &page;
        HidePage(page);
        state->gameShown = 1;
        QuitFrameLoop(*state);
    }
}

void OnPageDocumentComplete(WebWindow& page) {
    LauncherState* state = State();
    if (state == nullptr)
        return;
    // Pages other than the game page load in the background and stay hidden. The listed game
    // page (id -1) counts as the game page too: it is the one page each mode shows.
    if (&page == state->gamePage || &page == FindGamePage(state->pages))
        return;
    const WString address = PageLocation(page);
    PrintLine(u"[MC] Onload called: %ls", address.Text());
    HidePage(page);
}

void SwitchLocation(LauncherState& state, const char16_t* address, bool restart) {
    const char16_t* target = NonNull(address);
    PrintLine(u"[MC] Switch location to: %ls, restart %d", target, restart ? 1 : 0);
    state.paramTimerStart = 0;
    WebWindow* page = FindGamePage(state.pages);
    if (page == nullptr)
        return;
    if (restart) {
        HWND parent = page->window != nullptr ? GetParent(page->window) : nullptr;
        // A page floating over a layered game frame has no parent window: its successor goes
        // into the window it was made for, and the frame takes it again at the end of the turn.
        if (parent == nullptr)
            parent = page->parent;
        FrameWindow* gameFrame = state.frames[0];
        if (gameFrame != nullptr && page->window != nullptr && gameFrame->attachedWindow == page->window)
            gameFrame->attachedWindow = nullptr;
        RECT place = {page->x, page->y, page->x + page->width, page->y + page->height};
        if (page->window != nullptr) {
            GetWindowRect(page->window, &place);
            if (parent != nullptr)
                MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
        }
        for (_dword i = 0; i < state.pages.Count(); i++) {
            if (state.pages[i].page == page) {
                state.pages.Remove(i);
                break;
            }
        }
        DestroyWebWindow(page);
        state.gamePage = nullptr;
        page = CreateGamePage(state, parent, place.left, place.top, place.right - place.left, place.bottom - place.top);
        if (page == nullptr)
            return;
    }
    Navigate(*page, target);
    if (IsFrameAddress(state, target)) {
        state.mcType = 1;
        PrintLine(u"[MC] Switching to frame url %ls", target);
        state.gameStage = 0;
        state.refreshing = 0;
    } else {
        state.mcType = 0;
    }
}

void QuitMainLoop(const LauncherState& state) { PostMessageW(state.mainWindowRecord.window, WM_QUIT, 0, 0); }

void QuitFrameLoop(const LauncherState& state) {
    PostMessageW(state.frames[0] != nullptr ? state.frames[0]->window : nullptr, WM_QUIT, 0, 0);
}

void Refresh(LauncherState& state) {
    LoaderHost& host = TheLoaderHost();
    if (state.gameWindow == nullptr || !IsWindowVisible(state.gameWindow) || !host.IsLoaded()) {
        for (_dword i = 0; i < state.pages.Count(); i++) {
            WebWindow* page = state.pages[i].page;
            if (page != nullptr && page->window != nullptr && IsWindowVisible(page->window)) {
                if (page->document == nullptr || !page->document->Reload())
                    PrintLine(u"[MC] Reload page fail");
                break;
            }
        }
        return;
    }
    if (state.refreshing != 0)
        return;
    state.refreshing++;
    if (state.mcType == 2) {
        PrintLine(u"[MC] Refresh, re-initializing");
        host.Unload();
        RunLoaderTurn(state);
        if (host.Prepare(state.gameWindow))
            host.Start();
    } else if (state.loggedIn) {
        PrintLine(u"[MC] Send msg to game, %d, %d, %d", 1091, 1, 0);
        host.Forward(1091, 1, 0);
    } else {
        WebWindow* page = FindGamePage(state.pages);
        const WString address = page != nullptr ? PageLocation(*page) : WString();
        PrintLine(u"[MC] Refresh %ls", address.Text());
        SwitchLocation(state, address, true);
        QuitMainLoop(state);
    }
}

} // namespace Volux
