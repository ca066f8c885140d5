#include "launcher/ExitQuestion.h"

#include "Common/Log.h"
#include "launcher/LauncherScript.h"
#include "launcher/PageEvents.h"
#include "ui/FrameWindow.h"
#include "ui/MainWindow.h"

namespace Volux {

void ShowConfirmationBox(LauncherState& state, int kind, const char16_t* text) {
    FrameWindow* box = state.frames[3];
    if (box == nullptr || box->window == nullptr)
        return;
    if (state.pendingConfirmation != kind)
        box->Hide();
    state.pendingConfirmation = kind;
    box->SetLabelText(0, u"");
    box->SetLabelText(1, text);
    // Centred over the main window when there is one, else over the game frame.
    HWND over = state.mainWindow != nullptr && state.mainWindow->window != nullptr ? state.mainWindow->window
                : state.frames[0] != nullptr                                       ? state.frames[0]->window
                                                                                   : nullptr;
    RECT boxRect;
    GetWindowRect(box->window, &boxRect);
    RECT overRect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (over != nullptr)
        GetWindowRect(over, &overRect);
    const int w = boxRect.right - boxRect.left;
    const int h = boxRect.bottom - boxRect.top;
    SetWindowPos(box->window, HWND_TOP, overRect.left + (overRect.right - overRect.left - w) / 2,
                 overRect.top + (overRect.bottom - overRect.top - h) / 2, 0, 0, SWP_NOSIZE);
    box->Show();
    UpdateWindow(box->window);
    SetFocus(box->window);
}

bool AskExit(LauncherState& state, HWND owner, const char16_t* exitURL) {
    if (state.quitState == 1 || state.quitState == 2)
        return true;
    if (state.quitState == 3)
        return false;
    if (exitURL != nullptr && exitURL[0] != 0) {
        SwitchLocation(state, exitURL, false);
        return true;
    }
    if (state.frames[3] != nullptr) {
        ShowConfirmationBox(state, 1, state.exitPrompt.Text());
        return false;
    }
    // The game frame stands for the page it carries as a window of its own.
    FrameWindow* gameFrame = state.frames[0];
    if (gameFrame != nullptr && owner == gameFrame->window && gameFrame->attachedWindow != nullptr)
        owner = gameFrame->attachedWindow;
    state.quitState = 3;
    // A question that cannot be shown lets the player go.
    if (Confirm(owner, state.exitPrompt.Text(), state.title.Text())) {
        state.quitState = 1;
        return true;
    }
    state.quitState = 0;
    return false;
}

} // namespace Volux
