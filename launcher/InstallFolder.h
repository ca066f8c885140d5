// Where the game's files go. Three ways to find the install folder, for three moments:
// the plain one for scripts and cache cleaning, the start-up one that also knows the hidden
// "data" folder beside the program, and the one that first looks for a drive with room.
// All three keep to "<profile>\volux" for what they write themselves (install.inf).
#pragma once

#include "Common/WString.h"
#include "launcher/DriveChoice.h"

namespace Volux {

// A name the launcher may put after a folder of its own: no separator, no drive colon, and not
// made of dots and spaces alone (which includes empty, "." and ".."). Script-set names (application, resource, file) must be one before
// they become part of a path that is written.
bool IsPlainName(const char16_t* name);

// With useCurrentPath the current folder; otherwise the folder install.inf names, or
// "<profile>\volux\<appName>" when it names none. A name that is not plain counts as empty.
WString PlainInstallFolder(const char16_t* profileFolder, const char16_t* appName, bool useCurrentPath);

// The install folder at start-up, made current; returns the current folder as the system
// reports it. With useCurrentPath it is "<moduleFolder>\data", created and hidden. Otherwise,
// when no install.inf exists yet but the data folder does, install.inf is written to name the
// data folder and it is used; else the plain resolution, created if needed.
WString SetUpInstallFolder(const char16_t* profileFolder, const char16_t* appName, const char16_t* moduleFolder,
                           bool useCurrentPath);

// The install folder for a game that needs neededMegabytes: the folder install.inf names if
// it exists; else "<profile>\volux\<appName>" when c: has room, else "<d>:\volux\<appName>" on
// the first of d: to z: that has, else the profile default again. A newly chosen folder is
// written into install.inf. An empty application name (or one that is not plain, logged)
// gives the current folder without a choice. The caller creates the folder and makes it
// current.
WString ChooseInstallFolder(const char16_t* profileFolder, const char16_t* appName, int neededMegabytes,
                            const DriveServices& drives);

} // namespace Volux
