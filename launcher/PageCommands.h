// The command channel "_WM_INVOKE" (1086): a command word and an argument list from the loader
// plug-in or a page, and what each word does to the launcher.
#pragma once

#include "launcher/CommandArguments.h"
#include "launcher/CommandTrust.h"
#include "launcher/LauncherState.h"

namespace Volux {

// Opens the "launch" target through the shell: the target is the file the shell opens, never
// part of a command line. Tests install their own; null restores the shell.
using LaunchFunction = bool (*)(const char16_t* target, bool folder);
void SetLaunchFunction(LaunchFunction launch);

// Runs one command word. The word (null = empty) and the list (null = none) are read only for
// a sender on this thread, and only within their ceilings; words that act on the launcher are
// refused for a sender IsTrustedCommandSource does not vouch for. Unknown words go to the
// loader plug-in's message entry. Every refusal writes one "[MC]" line.
void RunCommandWord(LauncherState& state, const CommandSender& sender, const char16_t* word,
                    CommandArguments* arguments);

// Who sent a command to the window: the loader host window's messages come from the plug-in;
// the main window's from the page that holds the keyboard input, else from a running
// plug-in, else from nobody known. crossThread from InSendMessageEx.
CommandSender SenderOfCommand(const LauncherState& state, HWND target);

} // namespace Volux
