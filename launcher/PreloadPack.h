// A preload pack: game archives shipped in a folder beside the program (on a disc, in an
// installer) and copied into the install folder so the first start need not download them.
#pragma once

#include "Common/WString.h"

namespace Volux {

// From "<moduleFolder>\<packFolder>" into installFolder: "volux3d.lod", "<packName>.qob" and
// "<packName>.qoc" when the pack has them, then "<packName>.qod": copied when the install
// folder has none yet, else merged into the installed archive through the resource manager
// (false, logged, when either archive cannot be opened). A packName that is not a plain file
// name is refused. Otherwise true; a copy that fails is logged and does not change the result.
bool InstallPreloadPack(const char16_t* moduleFolder, const char16_t* installFolder, const char16_t* packFolder,
                        const char16_t* packName);

} // namespace Volux
