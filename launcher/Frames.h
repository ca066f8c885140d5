// The launcher's frame slots and the hooks it installs on every frame window.
#pragma once

#include "launcher/LauncherState.h"
#include "ui/FrameWindow.h"

namespace Volux {

// Makes the frame of an empty slot 0..6 and enters it there once its window exists; null for a
// bad or taken slot or a window that could not be made (the slot stays empty).
FrameWindow* CreateFrame(LauncherState& state, int slot, const char16_t* title, int x, int y, int width, int height,
                         int type);
// Destroys the frame of a slot and empties the slot; an empty or bad slot is ignored.
void DestroyFrame(LauncherState& state, int slot);
void HideAllFrames(LauncherState& state);

// The frame message hook: what closing a frame means to the launcher.
bool OnFrameMessage(const FrameMessage& message);
// The button handler: minimise (kind 1), the script's onClick (kind 2), and for close buttons
// (kind 0) by slot: 4 to 6 end the launcher, 1 to 3 hide, the game frame asks first.
void OnFrameButton(int kind, ScriptObject* button, FrameWindow* frame);
void InstallFrameHooks();
void RemoveFrameHooks();

} // namespace Volux
