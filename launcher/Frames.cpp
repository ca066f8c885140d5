#include "launcher/Frames.h"

#include <new>

#include "Common/Log.h"
#include "launcher/ExitQuestion.h"
#include "launcher/LauncherScript.h"

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

bool OnFrameMessage(const FrameMessage& message) {
    LauncherState* state = LauncherState::Instance();
    if (state == nullptr || message.frame == nullptr)
        return false;
    switch (message.message) {
    case WM_CLOSE:
        if (message.frame->slot == 0) {
            // Closing the game frame ends the launcher; the window itself stays until shutdown
            // destroys it in order. The exit question comes in front of this with the prompts.
            state->quitState = 1;
            PostMessageW(message.frame->window, WM_QUIT, 0, 0);
            return true;
        }
        return false;
    default:
        return false;
    }
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
