// _launcher functions that build frame windows and their controls. Each takes the slot as
// its last argument; a slot above 6 or an empty slot makes the call do nothing.
#include <utility>

#include "Common/EngineContext.h"
#include "Common/Log.h"
#include "launcher/Frames.h"
#include "launcher/LauncherScript.h"
#include "launcher/ScriptFunctions.h"

namespace Volux {

namespace {

// The frame of the slot given as argument index, or null.
FrameWindow* FrameArg(IScriptManager& scripts, int index) {
    LauncherState* state = LauncherState::Instance();
    const int slot = SlotArg(scripts, index);
    if (state == nullptr || slot < 0)
        return nullptr;
    return state->frames[slot];
}

// A negative size from a script is taken as none, a huge one as the largest a window takes.
int SizeArg(IScriptManager& scripts, int index) { return ClampFrameExtent(scripts.GetArgInt32(index)); }

// x, y, width, height from four arguments starting at index.
FrameRect RectArg(IScriptManager& scripts, int index) {
    return MakeFrameRect(scripts.GetArgInt32(index), scripts.GetArgInt32(index + 1), scripts.GetArgInt32(index + 2),
                         scripts.GetArgInt32(index + 3));
}

// Close and minimise buttons: x, y, width, height, three images, slot.
void AddPlainButton(IScriptManager& scripts, int kind) {
    FrameWindow* frame = FrameArg(scripts, 7);
    if (frame == nullptr)
        return;
    frame->AddButton(kind, nullptr, RectArg(scripts, 0), ArgText(scripts, 4), ArgText(scripts, 5), ArgText(scripts, 6),
                     0);
}

// Combo and hotkey boxes: id, x, y, width, height, font face, value1, font height, value2, slot.
// Null for a bad or empty slot.
FrameWindow* FieldControlArgs(IScriptManager& scripts, FrameFieldControl& control) {
    FrameWindow* frame = FrameArg(scripts, 9);
    if (frame == nullptr)
        return nullptr;
    control.id = scripts.GetArgInt32(0);
    control.rect = RectArg(scripts, 1);
    control.fontFace = ArgText(scripts, 5);
    control.value1 = scripts.GetArgInt32(6);
    control.fontHeight = scripts.GetArgInt32(7);
    control.value2 = scripts.GetArgInt32(8);
    return frame;
}

} // namespace

int ScriptNewFrameWin(IScriptManager& scripts, ScriptObject*) {
    LauncherState* state = LauncherState::Instance();
    const int slot = SlotArg(scripts, 0);
    if (state != nullptr && slot >= 0 && state->frames[slot] == nullptr) {
        CreateFrame(*state, slot, ArgText(scripts, 1), scripts.GetArgInt32(2), scripts.GetArgInt32(3),
                    SizeArg(scripts, 4), SizeArg(scripts, 5), scripts.GetArgInt32(6));
    }
    return scripts.ReturnNothing();
}

int ScriptResize(IScriptManager& scripts, ScriptObject*) {
    FrameWindow* frame = FrameArg(scripts, 4);
    if (frame != nullptr)
        frame->Resize(scripts.GetArgInt32(0), scripts.GetArgInt32(1), SizeArg(scripts, 2), SizeArg(scripts, 3));
    return scripts.ReturnNothing();
}

int ScriptSetBackground(IScriptManager& scripts, ScriptObject*) {
    FrameWindow* frame = FrameArg(scripts, 1);
    // A resource that cannot be decoded keeps the background there was.
    if (frame != nullptr)
        frame->SetBackground(ArgText(scripts, 0));
    return scripts.ReturnNothing();
}

int ScriptSetupRegion(IScriptManager& scripts, ScriptObject*) {
    FrameWindow* frame = FrameArg(scripts, 1);
    if (frame != nullptr)
        frame->SetupRegion(ArgText(scripts, 0));
    return scripts.ReturnNothing();
}

int ScriptAddCloseButton(IScriptManager& scripts, ScriptObject*) {
    AddPlainButton(scripts, 0);
    return scripts.ReturnNothing();
}

int ScriptAddMinimizeButton(IScriptManager& scripts, ScriptObject*) {
    AddPlainButton(scripts, 1);
    return scripts.ReturnNothing();
}

int ScriptAddUserButton(IScriptManager& scripts, ScriptObject*) {
    FrameWindow* frame = FrameArg(scripts, 8);
    if (frame == nullptr)
        return scripts.ReturnNoResult();
    auto* object = new VoluxLauncherButton();
    if (scripts.BindObject(VoluxLauncherButton::_SCRIPT_CLASS, object, false) == nullptr) {
        delete object;
        return scripts.ReturnNoResult();
    }
    // The frame keeps the object alive for its clicks, whatever the script does with it.
    scripts.HoldObject(object);
    frame->AddButton(2, object, RectArg(scripts, 0), ArgText(scripts, 4), ArgText(scripts, 5), ArgText(scripts, 6),
                     scripts.GetArgInt32(7));
    return scripts.ReturnObject(object);
}

int ScriptAddLabel(IScriptManager& scripts, ScriptObject*) {
    FrameWindow* frame = FrameArg(scripts, 10);
    if (frame == nullptr)
        return scripts.ReturnNothing();
    FrameLabel label;
    label.id = scripts.GetArgInt32(0);
    label.rect = RectArg(scripts, 1);
    label.text = ArgText(scripts, 5);
    label.fontFace = ArgText(scripts, 6);
    label.colour = scripts.GetArgInt32(7);
    label.fontHeight = scripts.GetArgInt32(8);
    label.alignment = scripts.GetArgInt32(9);
    frame->AddLabel(std::move(label));
    return scripts.ReturnNothing();
}

int ScriptAddProgressBar(IScriptManager& scripts, ScriptObject*) {
    FrameWindow* frame = FrameArg(scripts, 11);
    if (frame == nullptr)
        return scripts.ReturnNothing();
    frame->AddProgressBar(scripts.GetArgInt32(0), RectArg(scripts, 1), ArgText(scripts, 5), scripts.GetArgInt32(6),
                          scripts.GetArgInt32(7), scripts.GetArgInt32(8), ArgText(scripts, 9), ArgText(scripts, 10));
    return scripts.ReturnNothing();
}

int ScriptAddCheckBox(IScriptManager& scripts, ScriptObject*) {
    FrameWindow* frame = FrameArg(scripts, 5);
    if (frame == nullptr)
        return scripts.ReturnNothing();
    // The box starts as the stored boss-key setting.
    LauncherState* state = LauncherState::Instance();
    frame->AddCheckBox(scripts.GetArgInt32(0), RectArg(scripts, 1), state != nullptr && state->bossKeyEnabled != 0);
    return scripts.ReturnNothing();
}

int ScriptAddComboBox(IScriptManager& scripts, ScriptObject*) {
    FrameFieldControl control;
    if (FrameWindow* frame = FieldControlArgs(scripts, control))
        frame->AddComboBox(std::move(control));
    return scripts.ReturnNothing();
}

int ScriptAddHotkeyBox(IScriptManager& scripts, ScriptObject*) {
    FrameFieldControl control;
    if (FrameWindow* frame = FieldControlArgs(scripts, control)) {
        // The box starts with the stored boss hotkey.
        LauncherState* state = LauncherState::Instance();
        frame->AddHotkeyBox(std::move(control), state != nullptr ? state->bossHotkey : 0);
    }
    return scripts.ReturnNothing();
}

int ScriptAddWebWindow(IScriptManager& scripts, ScriptObject*) {
    LauncherState* state = LauncherState::Instance();
    FrameWindow* frame = FrameArg(scripts, 7);
    if (state == nullptr || frame == nullptr)
        return scripts.ReturnNothing();
    PageRequest page;
    page.slot = frame->slot;
    page.x = scripts.GetArgInt32(0);
    page.y = scripts.GetArgInt32(1);
    page.width = SizeArg(scripts, 2);
    page.height = SizeArg(scripts, 3);
    page.url = ArgText(scripts, 4);
    page.kind = scripts.GetArgInt32(5);
    page.force = scripts.GetArgBool(6) ? 1 : 0;
    state->mcType = 1;
    if (page.kind == 2) {
        if (page.x != 0 || page.y != 0) {
            frame->attachedX = page.x;
            frame->attachedY = page.y;
        }
        if (page.width != 0 || page.height != 0) {
            frame->attachedWidth = page.width;
            frame->attachedHeight = page.height;
        }
    }
    frame->followAttached = 0;
    PrintLine(u"[MC] Add page at: %ls", page.url.Text());
    state->firstPageURL = page.url;
    state->pageRequests.Append(std::move(page));
    return scripts.ReturnNothing();
}

} // namespace Volux
