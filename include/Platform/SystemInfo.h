// What the launcher reports about the machine: the system version and user-interface
// language as small codes, and the MAC address. Windows only. (The program's own path is
// FileSystem::ProgramPath.)
#pragma once

#include "Common/Base.h"
#include "Common/WString.h"

namespace Volux {
namespace SystemInfo {

// False when the system does not tell.
bool SystemVersion(_dword& major, _dword& minor);
// 5.0 -> 1, 5.1 -> 2, 5.2 -> 3, 6.0 -> 4, 6.1 -> 5, 6.2 -> 6, 6.3 -> 7, 10.x -> 8, else 0.
int VersionCode();
int VersionCodeOf(_dword major, _dword minor);

// The user-interface language code from its primary language (low 10 bits of the id).
int LanguageCode();
int LanguageCodeOf(_word languageId);

// "XX:XX:XX:XX:XX:XX" of the adapter that carries the first IPv4 address of the host name;
// empty when the name, the address or the adapters are not known, or no adapter matches.
WString MacAddress();

} // namespace SystemInfo
} // namespace Volux
