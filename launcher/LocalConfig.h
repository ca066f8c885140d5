// The local switch file mc.cfg in "<profile>\volux". The launcher never writes it; a user or an
// installer drops it there. Only two exact, case-sensitive words count: "mclog" turns on file
// logging and "noautoupgrade" turns off self-upgrade. Everything else in it is ignored.
#pragma once

#include "Common/WString.h"

namespace Volux {

struct LocalConfig {
    bool fileLogging = false;
    bool autoUpgrade = true;
};

// The per-user data folder "<profile>\volux": home of mc.cfg and of the log files.
WString UserDataFolder();
// Switches found in a text already decoded.
LocalConfig ParseLocalConfig(const char16_t* text);
// A switch file holds a few words; a larger one is not a switch file.
constexpr _dword _MAX_LOCAL_CONFIG_BYTES = 65536;

// A missing, unreadable or oversized file gives the defaults (no file logging, auto-upgrade
// on).
LocalConfig ReadLocalConfig(const char16_t* path);

} // namespace Volux
