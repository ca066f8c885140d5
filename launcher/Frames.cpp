#include "launcher/Frames.h"

#include <new>

#include "Common/Log.h"

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

void InstallFrameHooks() { FrameWindow::SetMessageHook(OnFrameMessage); }

void RemoveFrameHooks() { FrameWindow::SetMessageHook(nullptr); }

} // namespace Volux
