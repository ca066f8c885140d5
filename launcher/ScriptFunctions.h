// The native functions of _launcher, one ScriptCallback each, grouped by what they act on.
// The argument rules are the same for all: a missing trailing argument reads as 0, false or
// ""; a slot above 6 or an empty slot makes a frame function do nothing.
#pragma once

#include "Common/WString.h"
#include "Script/IScriptManager.h"
#include "launcher/LauncherState.h"

namespace Volux {

// Texts longer than this are refused with a log line: read as "" by ArgText, so the call acts
// as if no text was given, and as null by StoredArgText, so a kept setting stays as it was.
constexpr int _MAX_SCRIPT_TEXT = 8192;

// A text argument under the ceiling.
const char16_t* ArgText(IScriptManager& scripts, int index);
// The same for texts the launcher keeps: null when refused, so the caller keeps what it had.
const char16_t* StoredArgText(IScriptManager& scripts, int index);
// Stores text unless it was refused (null).
inline void SetIfStored(WString& target, const char16_t* text) {
    if (text != nullptr)
        target = text;
}

// A frame slot argument: 0..6, or -1 for anything else (fractions, NaN, out of range, not a
// number).
int SlotArg(IScriptManager& scripts, int index);

#define VOLUX_SCRIPT_FUNCTION(name) int name(IScriptManager& scripts, ScriptObject* self)

// Start-up, files and state (LauncherScriptGame.cpp).
VOLUX_SCRIPT_FUNCTION(ScriptAbort);
VOLUX_SCRIPT_FUNCTION(ScriptStartGame);
VOLUX_SCRIPT_FUNCTION(ScriptSetLoader);
VOLUX_SCRIPT_FUNCTION(ScriptStartLoader);
VOLUX_SCRIPT_FUNCTION(ScriptSetMinSize);
VOLUX_SCRIPT_FUNCTION(ScriptSetLoadingSize);
VOLUX_SCRIPT_FUNCTION(ScriptSetEnvironment);
VOLUX_SCRIPT_FUNCTION(ScriptGetIniValue);
VOLUX_SCRIPT_FUNCTION(ScriptCopyTo);
VOLUX_SCRIPT_FUNCTION(ScriptDeleteFile);
VOLUX_SCRIPT_FUNCTION(ScriptCheckMC);
VOLUX_SCRIPT_FUNCTION(ScriptDownload);
VOLUX_SCRIPT_FUNCTION(ScriptInstallPreloadPack);
VOLUX_SCRIPT_FUNCTION(ScriptCleanCache);
VOLUX_SCRIPT_FUNCTION(ScriptCreateShortcut);
VOLUX_SCRIPT_FUNCTION(ScriptInstallApp);
VOLUX_SCRIPT_FUNCTION(ScriptUninstallApp);
VOLUX_SCRIPT_FUNCTION(ScriptGetMACAddress);
VOLUX_SCRIPT_FUNCTION(ScriptReportChannel);
VOLUX_SCRIPT_FUNCTION(ScriptCreateTencentClient);
VOLUX_SCRIPT_FUNCTION(ScriptSetInfoServer);
VOLUX_SCRIPT_FUNCTION(ScriptSetupPlugin);

// Navigation, prompts and messages (LauncherScriptPages.cpp).
VOLUX_SCRIPT_FUNCTION(ScriptBrowse);
VOLUX_SCRIPT_FUNCTION(ScriptGotoURL);
VOLUX_SCRIPT_FUNCTION(ScriptSendMsg);
VOLUX_SCRIPT_FUNCTION(ScriptSetCleanCachePrompt);
VOLUX_SCRIPT_FUNCTION(ScriptSetPrompts);
VOLUX_SCRIPT_FUNCTION(ScriptSetFrameURLs);
VOLUX_SCRIPT_FUNCTION(ScriptSetQuietURLs);
VOLUX_SCRIPT_FUNCTION(ScriptSetExitURL);
VOLUX_SCRIPT_FUNCTION(ScriptSetLogoffURL);
VOLUX_SCRIPT_FUNCTION(ScriptSetKickFunc);
VOLUX_SCRIPT_FUNCTION(ScriptSetGameMargins);

// Frame windows and their controls (LauncherScriptFrames.cpp).
VOLUX_SCRIPT_FUNCTION(ScriptNewFrameWin);
VOLUX_SCRIPT_FUNCTION(ScriptResize);
VOLUX_SCRIPT_FUNCTION(ScriptSetBackground);
VOLUX_SCRIPT_FUNCTION(ScriptSetupRegion);
VOLUX_SCRIPT_FUNCTION(ScriptAddCloseButton);
VOLUX_SCRIPT_FUNCTION(ScriptAddMinimizeButton);
VOLUX_SCRIPT_FUNCTION(ScriptAddUserButton);
VOLUX_SCRIPT_FUNCTION(ScriptAddLabel);
VOLUX_SCRIPT_FUNCTION(ScriptAddProgressBar);
VOLUX_SCRIPT_FUNCTION(ScriptAddCheckBox);
VOLUX_SCRIPT_FUNCTION(ScriptAddComboBox);
VOLUX_SCRIPT_FUNCTION(ScriptAddHotkeyBox);
VOLUX_SCRIPT_FUNCTION(ScriptAddWebWindow);

// Main window, menus and popups (LauncherScriptMenus.cpp).
VOLUX_SCRIPT_FUNCTION(ScriptSetBackgroundLogo);
VOLUX_SCRIPT_FUNCTION(ScriptSetCustomTitleBarBackground);
VOLUX_SCRIPT_FUNCTION(ScriptSetCustomTitleBarIcon);
VOLUX_SCRIPT_FUNCTION(ScriptSetCustomMenuBarMargins);
VOLUX_SCRIPT_FUNCTION(ScriptSetCustomMenuTextColor);
VOLUX_SCRIPT_FUNCTION(ScriptEnableMaxButton);
VOLUX_SCRIPT_FUNCTION(ScriptEnableMinButton);
VOLUX_SCRIPT_FUNCTION(ScriptEnableSystemButton);
VOLUX_SCRIPT_FUNCTION(ScriptAddGameMenu);
VOLUX_SCRIPT_FUNCTION(ScriptAddURLMenu);
VOLUX_SCRIPT_FUNCTION(ScriptAddRefreshMenu);
VOLUX_SCRIPT_FUNCTION(ScriptAddCustomURLMenu);
VOLUX_SCRIPT_FUNCTION(ScriptAddCustomGameMenu);
VOLUX_SCRIPT_FUNCTION(ScriptAddCustomUserMenu);
VOLUX_SCRIPT_FUNCTION(ScriptAddCustomDropDownMenu);
VOLUX_SCRIPT_FUNCTION(ScriptAddCustomIMMenu);
VOLUX_SCRIPT_FUNCTION(ScriptAddCustomBossMenu);
VOLUX_SCRIPT_FUNCTION(ScriptAddCustomRefreshMenu);
VOLUX_SCRIPT_FUNCTION(ScriptAddCustomCloseButton);
VOLUX_SCRIPT_FUNCTION(ScriptAddCustomMaxButton);
VOLUX_SCRIPT_FUNCTION(ScriptAddCustomRestoreButton);
VOLUX_SCRIPT_FUNCTION(ScriptAddCustomMinButton);
VOLUX_SCRIPT_FUNCTION(ScriptAddCustomTrayButton);
VOLUX_SCRIPT_FUNCTION(ScriptSetIMParams);
VOLUX_SCRIPT_FUNCTION(ScriptSetIMTitleBg);
VOLUX_SCRIPT_FUNCTION(ScriptSetIMCloseButton);
VOLUX_SCRIPT_FUNCTION(ScriptSetVideoParams);
VOLUX_SCRIPT_FUNCTION(ScriptSetVideoTitleBg);
VOLUX_SCRIPT_FUNCTION(ScriptSetVideoCloseButton);

#undef VOLUX_SCRIPT_FUNCTION

} // namespace Volux
