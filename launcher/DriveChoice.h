// The choice of a drive with room for the game: c: first, then d: to z:, the first whose free
// megabytes are strictly more than needed. The drives are reached through one table of
// services, so the choice can be run over a made-up set of drives.
#pragma once

#include "Common/Base.h"

namespace Volux {

// Each service takes a drive root such as "d:\". context is the table's own.
struct DriveServices {
    void* context;
    bool (*rootExists)(void* context, const char16_t* root);
    bool (*createRoot)(void* context, const char16_t* root);
    // Removes the root only when it is empty.
    bool (*removeRoot)(void* context, const char16_t* root);
    // Bytes available to the calling user; 0 when unknown.
    _qword (*freeBytes)(void* context, const char16_t* root);
};

// The machine's drives through the file services.
const DriveServices& SystemDrives();

constexpr _qword _BYTES_PER_MEGABYTE = 1048576;

// Free whole megabytes on the drive; a root that does not exist is created to be measured and
// removed again, and one that cannot be created has none.
_qword FreeMegabytes(const DriveServices& drives, char16_t letter);

// 'c' when drive c: has more than neededMegabytes free, else the first of 'd'..'z' that has,
// else 0.
char16_t ChooseInstallDrive(const DriveServices& drives, int neededMegabytes);

} // namespace Volux
