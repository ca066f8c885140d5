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

// The frame message hook: closing by slot (the game frame asks first, 4 to 6 end the
// launcher, others hide), confirmations, the plug-in setup request, and the rule that the
// main window never shows beside a shown game frame.
bool OnFrameMessage(const FrameMessage& message);
// A confirmation frame's yes: the slot hides, then what pendingConfirmation asked for is done
// (1 quit, posted to quitTarget; 2 clean the cache; 3 refresh) and nothing is pending.
void AcceptConfirmation(LauncherState& state, int slot, HWND quitTarget);
// Shows a frame slot as a dialog at (x, y), or centred over the main window for (0, 0), and
// gives it the input. A visible frame without toggle is hidden instead. Slot 3 (confirmation)
// takes kind as pendingConfirmation and caption and text into its labels 0 and 1; slot 2
// (boss key) shows the stored key, or Ctrl alone (512) when none. Nothing for an empty slot.
void ShowFrameDialog(LauncherState& state, int slot, int x, int y, bool toggle, const char16_t* caption,
                     const char16_t* text, int kind);
// The button handler: minimise (kind 1), the script's onClick (kind 2), and for close buttons
// (kind 0) by slot: 4 to 6 end the launcher, 1 to 3 hide, the game frame asks first.
void OnFrameButton(int kind, ScriptObject* button, FrameWindow* frame);
void InstallFrameHooks();
void RemoveFrameHooks();

} // namespace Volux
