// A preload pack: game archives shipped in a folder beside the program (on a disc, in an
// installer) and copied into the install folder so the first start need not download them.
#pragma once

#include "Common/WString.h"

namespace Volux {

// From "<moduleFolder>\<packFolder>" into installFolder: "volux3d.lod", "<packName>.qob" and
// "<packName>.qoc" when the pack has them, then "<packName>.qod" when the install folder has
// none yet. A pack archive that would have to be merged into an installed one is refused
// (false, logged): merging needs the resource manager, and refusing loses nothing already
// stored. A packName that is not a plain file name is refused too. Otherwise true; a copy that
// fails is logged and does not change the result.
bool InstallPreloadPack(const char16_t* moduleFolder, const char16_t* installFolder, const char16_t* packFolder,
                        const char16_t* packName);

} // namespace Volux
