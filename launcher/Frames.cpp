#include "launcher/Frames.h"

#include <new>

#include "Common/Log.h"
#include "launcher/ExitQuestion.h"
#include "launcher/LauncherScript.h"
#include "launcher/PageEvents.h"

namespace Volux {

namespace {

bool IsSlot(int slot) { return slot >= 0 && slot < LauncherState::_FRAME_SLOTS; }

} // namespace

FrameWindow* CreateFrame(LauncherState& state, int slot, const char16_t* title, int x, int y, int width, int height,
                         int type) {
    if (!IsSlot(slot) || state.frames[slot] != nullptr)
        return nullptr;
    auto* frame = new (std::nothrow) FrameWindow(slot);
    if (frame == nullptr)
        return nullptr;
    if (!frame->Create(title, x, y, width, height, type)) {
        PrintBoth(u"[MC] Create frame window %d fail, error %d", slot, int(GetLastError()));
        delete frame;
        return nullptr;
    }
    state.frames[slot] = frame;
    return frame;
}

void DestroyFrame(LauncherState& state, int slot) {
    if (!IsSlot(slot) || state.frames[slot] == nullptr)
        return;
    FrameWindow* frame = state.frames[slot];
    // The slot empties first so no hook finds a frame that is going away.
    state.frames[slot] = nullptr;
    delete frame;
}

void HideAllFrames(LauncherState& state) {
    for (FrameWindow* frame : state.frames) {
        if (frame != nullptr)
            frame->Hide();
    }
}

namespace {

void QuitGameFrameLoop(const LauncherState& state) {
    PostMessageW(state.frames[0] != nullptr ? state.frames[0]->window : nullptr, WM_QUIT, 0, 0);
}

// The plug-in installer is not part of this build: the request ends the frame's loop unless a
// frame that explains what to do is there.
void SetUpPlugin(LauncherState& state) {
    if (state.frames[4] != nullptr)
        state.frames[4]->Hide();
    PrintLine(u"[MC] Plug-in setup not available");
    if (state.frames[5] != nullptr)
        state.frames[5]->Show();
    else
        QuitGameFrameLoop(state);
}

} // namespace

bool OnFrameMessage(const FrameMessage& message) {
    LauncherState* state = LauncherState::Instance();
    if (state == nullptr || message.frame == nullptr)
        return false;
    FrameWindow* frame = message.frame;
    switch (message.message) {
    case WM_CLOSE:
        if (frame->slot == 0) {
            // The window itself stays until shutdown destroys it in order. The player is asked
            // about the frame on screen; a hidden one was closed by the program, not the player.
            if (frame->window != nullptr && !IsWindowVisible(frame->window)) {
                state->quitState = state->quitState != 0 ? state->quitState : 1;
                QuitGameFrameLoop(*state);
            } else if (AskExit(*state, frame->window, u"")) {
                QuitGameFrameLoop(*state);
            }
        } else if (frame->slot >= 4) {
            QuitGameFrameLoop(*state);
            state->quitState = 2;
        } else {
            frame->Hide();
        }
        return true;
    case 1127:  // confirmation accepted, wparam = the confirming slot
        if (message.wparam < WPARAM(LauncherState::_FRAME_SLOTS))
            AcceptConfirmation(*state, int(message.wparam), state->frames[0] != nullptr ? state->frames[0]->window : nullptr);
        return true;
    case 1129:  // plug-in setup
        SetUpPlugin(*state);
        return true;
    default: {
        // A game frame on screen never has the main window beside it.
        HWND main = state->mainWindowRecord.window;
        FrameWindow* gameFrame = state->frames[0];
        if (main != nullptr && IsWindowVisible(main) && gameFrame != nullptr && gameFrame->window != nullptr &&
            IsWindowVisible(gameFrame->window) && state->frameShown) {
            PrintLine(u"[MC] !!!!!!Mainwindow 0x%x shown when frame 0x%x shown, hide main msg 0x%x(0x%x,0x%x)",
                      unsigned(UINT_PTR(main)), unsigned(UINT_PTR(gameFrame->window)), unsigned(message.message),
                      unsigned(message.wparam), unsigned(message.lparam));
            ShowWindow(main, SW_HIDE);
        }
        return false;
    }
    }
}

void AcceptConfirmation(LauncherState& state, int slot, HWND quitTarget) {
    if (slot < 0 || slot >= LauncherState::_FRAME_SLOTS)
        return;
    if (state.frames[slot] != nullptr)
        state.frames[slot]->Hide();
    switch (state.pendingConfirmation) {
    case 1:
        state.quitState = 1;
        PostMessageW(quitTarget, WM_QUIT, 0, 0);
        break;
    case 2:
        PrintLine(u"[MC] Clean cache confirmed; cache cleaning is not part of this build");
        break;
    case 3:
        Refresh(state);
        break;
    default:
        break;
    }
    state.pendingConfirmation = 0;
}

void ShowFrameDialog(LauncherState& state, int slot, int x, int y, bool toggle, const char16_t* caption,
                     const char16_t* text, int kind) {
    if (!IsSlot(slot) || state.frames[slot] == nullptr || state.frames[slot]->window == nullptr)
        return;
    FrameWindow* frame = state.frames[slot];
    if (IsWindowVisible(frame->window) && !toggle) {
        frame->Hide();
        return;
    }
    RECT frameRect;
    GetWindowRect(frame->window, &frameRect);
    const int w = frameRect.right - frameRect.left;
    const int h = frameRect.bottom - frameRect.top;
    if (x == 0 && y == 0) {
        HWND over = state.mainWindowRecord.window;
        RECT overRect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        if (over != nullptr)
            GetWindowRect(over, &overRect);
        x = overRect.left + (overRect.right - overRect.left - w) / 2;
        y = overRect.top + (overRect.bottom - overRect.top - h) / 2;
    }
    SetWindowPos(frame->window, HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    if (slot == 3) {
        if (state.pendingConfirmation != kind)
            frame->Hide();
        state.pendingConfirmation = kind;
        frame->SetLabelText(0, NonNull(caption));
        frame->SetLabelText(1, NonNull(text));
    } else if (slot == 2) {
        frame->SetCheck(state.bossKeyEnabled != 0);
        frame->SetHotkey(state.bossHotkey != 0 ? state.bossHotkey : 512);
    }
    frame->Show();
    UpdateWindow(frame->window);
    SetFocus(frame->window);
}

void OnFrameButton(int kind, ScriptObject* button, FrameWindow* frame) {
    LauncherState* state = LauncherState::Instance();
    if (frame == nullptr)
        return;
    switch (kind) {
    case 1:
        if (frame->window != nullptr)
            ShowWindow(frame->window, SW_SHOWMINIMIZED);
        break;
    case 2:
        if (button != nullptr)
            static_cast<VoluxLauncherButton*>(button)->Click();
        break;
    case 0:
        if (state == nullptr)
            break;
        if (frame->slot >= 4) {
            // The plug-in and progress windows end the launcher.
            state->quitState = 2;
            if (state->frames[0] != nullptr && state->frames[0]->window != nullptr)
                PostMessageW(state->frames[0]->window, WM_QUIT, 0, 0);
        } else if (frame->slot >= 1) {
            frame->Hide();
        } else if (AskExit(*state, frame->window, state->exitURL.Text()) && frame->window != nullptr) {
            SendMessageW(frame->window, WM_CLOSE, 0, 0);
        }
        break;
    default:
        break;
    }
}

void InstallFrameHooks() {
    FrameWindow::SetMessageHook(OnFrameMessage);
    FrameWindow::SetButtonHandler(OnFrameButton);
}

void RemoveFrameHooks() {
    FrameWindow::SetMessageHook(nullptr);
    FrameWindow::SetButtonHandler(nullptr);
}

} // namespace Volux
