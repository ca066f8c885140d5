// The boss-key file "mcconfig.ini" in the install folder. Despite its name it is no INI text
// but exactly 8 bytes:
//
//   offset 0  4 bytes  hotkey code, little-endian (virtual key in the low byte, modifier flags
//                      in the next, as the system hotkey control reports it); 0 = not set
//   offset 4  4 bytes  enabled, little-endian: 0 = off, anything else = on (written as 0 or 1)
#pragma once

#include "Common/Base.h"
#include "Common/WString.h"

namespace Volux {

constexpr const char16_t* _BOSS_KEY_FILE = u"mcconfig.ini";
constexpr _dword _BOSS_KEY_FILE_SIZE = 8;

struct BossKeyConfig {
    int hotkey = 0;
    bool enabled = false;
};

// Both values when at least 8 bytes can be read from "<folder>\mcconfig.ini"; otherwise both
// defaults, as for a missing file. Bytes past the eighth are ignored.
BossKeyConfig ReadBossKeyConfig(const char16_t* folder);
// Deletes any file of that name and writes the 8 bytes anew; false (logged) on failure.
bool WriteBossKeyConfig(const char16_t* folder, const BossKeyConfig& config);

} // namespace Volux
