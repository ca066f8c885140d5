// The shell services of the launcher: documents and programs opened through the shell,
// the elevated start, shortcuts, the auto-start value, the notification-area icon and the
// boss hotkey. Windows only; each returns whether it worked and nothing here logs.
#pragma once

#include "Common/Array.h"
#include "Common/Base.h"
#include "Common/WString.h"

namespace Volux {

// A window handle as the system gives it.
using WindowHandle = void*;

namespace Shell {

// The message the notification icon sends to its window (WM_USER + 66) and its id.
constexpr _dword _NOTIFY_MESSAGE = 1090;
constexpr _dword _NOTIFY_ICON_ID = 0;
// The program's icon resource.
constexpr int _PROGRAM_ICON = 101;
// Characters of tip text the notification icon holds.
constexpr int _MAX_TIP_CHARS = 127;

// Starts the file with the parameters, window hidden, asking for elevation ("runas") on
// systems of major version 6 and later, plainly ("open") before.
bool StartElevated(const char16_t* file, const char16_t* parameters);
const char16_t* ElevationVerb(_dword majorVersion);

// Splits a command text into words; the first is the file, every further word becomes a
// parameter in double quotation marks after a space. Then opened as Open does with "open".
bool OpenWithArguments(const char16_t* commandText);
// The file and parameter text OpenWithArguments passes; false when the text has no word.
bool SplitCommand(const char16_t* commandText, WString& file, WString& parameters);

// Opens the file with its default verb, shown normally.
bool Open(const char16_t* file, const char16_t* parameters);

// Writes a shell link. The icon location is set only when iconFile is not empty, so the
// link otherwise shows the target's own icon.
bool CreateShortcut(const char16_t* target, const char16_t* arguments, const char16_t* description,
                    const char16_t* workingDirectory, const char16_t* iconFile, const char16_t* shortcutPath);

// The current user's Run value: "\"<program>\" <arguments>".
bool SetAutoStart(const char16_t* programPath, const char16_t* arguments, const char16_t* valueName);
WString AutoStartText(const char16_t* programPath, const char16_t* arguments);

// The notification-area icon of the window, with the tip cut to _MAX_TIP_CHARS.
bool AddNotificationIcon(WindowHandle window, const char16_t* tip);
bool RemoveNotificationIcon(WindowHandle window);

// Unregisters hotkey id 0 of the window and, when the value is not 0, registers it again:
// virtual key in the low byte, hotkey-control modifier flags in the next byte. True only
// when a hotkey was registered (so false for 0).
bool SetBossHotkey(WindowHandle window, _dword hotkey);
// HOTKEYF_SHIFT (1), HOTKEYF_CONTROL (2), HOTKEYF_ALT (4) to MOD_SHIFT (4), MOD_CONTROL (2),
// MOD_ALT (1); other bits are dropped.
_dword HotkeyModifiers(_dword hotkeyFlags);

} // namespace Shell
} // namespace Volux
