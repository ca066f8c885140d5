// "install.inf" in "<profile>\volux\<appName>": the full path of the chosen install folder as
// UTF-16LE units, with no byte-order mark and no terminator, nothing else:
//
//   'C' 00 ':' 00 '\' 00 'G' 00 'a' 00 'm' 00 'e' 00 's' 00 ...
//
// The file is only trusted as far as it names an existing folder; anything else in it makes
// it count as missing.
#pragma once

#include "Common/Base.h"
#include "Common/WString.h"

namespace Volux {

constexpr const char16_t* _INSTALL_INF = u"install.inf";
// Far beyond the longest folder path the system accepts, so a longer file is not a path.
constexpr _dword _MAX_INSTALL_INF_BYTES = 4096;

// "<profile>\volux\<appName>", or "<profile>\volux" for an empty name.
WString DefaultInstallFolder(const char16_t* profileFolder, const char16_t* appName);
// "install.inf" inside DefaultInstallFolder.
WString InstallInfPath(const char16_t* profileFolder, const char16_t* appName);

// The absolute path of an existing folder named by the file; empty when the file is missing,
// empty, larger than _MAX_INSTALL_INF_BYTES, of odd size, not UTF-16LE text, holds a NUL, or
// names something that is not an existing folder.
WString ReadInstallInf(const char16_t* path);
// Replaces the file with the folder's path; false (logged) on failure.
bool WriteInstallInf(const char16_t* path, const char16_t* folder);

} // namespace Volux
