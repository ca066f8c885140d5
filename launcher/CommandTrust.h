// Who may tell the launcher what to do. Command words reach the main window from the loader
// plug-in, from controls inside pages, and from anything else on the desktop that can find the
// window; the words that act on the launcher (start programs, open payment windows, move the
// game page, close the launcher) are taken only from a sender the launcher can vouch for.
#pragma once

#include "Common/WString.h"
#include "launcher/CommandArguments.h"
#include "launcher/LauncherState.h"

namespace Volux {

enum CommandSenderKind {
    _SENDER_UNKNOWN = 0,  // no page holds the input and no plug-in runs
    _SENDER_PLUGIN = 1,   // the loader plug-in, in this process on the UI thread
    _SENDER_PAGE = 2,     // a page of this process (address and whether it is the game page)
};

struct CommandSender {
    int kind = _SENDER_UNKNOWN;
    WString address;        // a page's current address
    bool gamePage = false;  // the page is gamePage or the listed page with id -1
    // Sent from another thread or process: pointers in the message mean nothing here and are
    // never read.
    bool crossThread = false;
};

// A page address the launcher trusts: one starting (case-sensitive) with a frame address or
// containing a quiet text. Empty entries of either list match nothing.
bool IsTrustedPageAddress(const LauncherState& state, const char16_t* address);
// The sender may use the words that act on the launcher: never from another thread or
// process; always the plug-in; a page when it is the game page or its address is trusted.
bool IsTrustedCommandSource(const LauncherState& state, const CommandSender& sender);
// The word (with its arguments) acts on the launcher: the kick command, "refresh", "launch",
// "openvideo", "qqpay", "qqpay2", and "button" "close" with "click", "reg" or "hide".
bool IsLauncherWord(const LauncherState& state, const char16_t* word, const CommandArguments* arguments);

enum LaunchTargetKind {
    _LAUNCH_REFUSED = 0,
    _LAUNCH_WEB = 1,     // an http:// or https:// address
    _LAUNCH_FOLDER = 2,  // an existing folder inside the install folder
};
// What "launch" may hand to the shell. Web addresses (scheme without regard to case) are
// taken as they are; anything else must name an existing folder inside installFolder (or the
// folder itself), relative to it or absolute, with no ".." part, no quotation mark, no
// device or network path; resolved receives its full path. Everything else is refused.
int ClassifyLaunchTarget(const char16_t* target, const char16_t* installFolder, WString& resolved);
// A popup address: http:// or https:// only.
bool IsWebAddress(const char16_t* address);

} // namespace Volux
