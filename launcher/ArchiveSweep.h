// Archives left behind by earlier builds: the game's current archive is "<resName>.qod"; any
// other file of the install folder that starts with resName and has "qod" in its extension
// (both without regard to case) is an old or half-written one and is deleted at start-up.
#pragma once

#include "Common/WString.h"

namespace Volux {

// fileName has no folder. "game.qod" and "GAME.QOD" are kept for resName "game"; "game.qodx",
// "game2.qod" and "GAME-old.QOD" are stale. An empty resName makes nothing stale.
bool IsStaleArchive(const char16_t* fileName, const char16_t* resName);

// Deletes the stale archives directly inside folder (not in its subfolders), read-only ones
// included; returns how many were deleted. A file that cannot be deleted is logged and kept.
int SweepStaleArchives(const char16_t* folder, const char16_t* resName);

} // namespace Volux
