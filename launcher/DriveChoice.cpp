#include "launcher/DriveChoice.h"

#include <windows.h>

#include "Platform/File.h"
#include "Platform/WideText_win32.h"

namespace Volux {

namespace {

bool SystemRootExists(void*, const char16_t* root) { return FileSystem::IsDirectory(root); }

bool SystemCreateRoot(void*, const char16_t* root) { return FileSystem::CreateDirectories(root); }

// RemoveDirectoryW refuses a folder that is not empty, so a root that filled up while it was
// measured is left alone.
bool SystemRemoveRoot(void*, const char16_t* root) { return RemoveDirectoryW(WidePtr(root)) != FALSE; }

_qword SystemFreeBytes(void*, const char16_t* root) { return FileSystem::FreeSpace(root); }

const DriveServices _SYSTEM_DRIVES = {nullptr, SystemRootExists, SystemCreateRoot, SystemRemoveRoot, SystemFreeBytes};

} // namespace

const DriveServices& SystemDrives() { return _SYSTEM_DRIVES; }

_qword FreeMegabytes(const DriveServices& drives, char16_t letter) {
    const char16_t root[] = {letter, u':', u'\\', 0};
    bool created = false;
    if (!drives.rootExists(drives.context, root)) {
        if (!drives.createRoot(drives.context, root))
            return 0;
        created = true;
    }
    _qword megabytes = drives.freeBytes(drives.context, root) / _BYTES_PER_MEGABYTE;
    if (created)
        drives.removeRoot(drives.context, root);
    return megabytes;
}

char16_t ChooseInstallDrive(const DriveServices& drives, int neededMegabytes) {
    // A negative need counts as none, so a drive that cannot be measured (0) never qualifies.
    _qword needed = neededMegabytes > 0 ? _qword(neededMegabytes) : 0;
    for (char16_t letter = u'c'; letter <= u'z'; letter++)
        if (FreeMegabytes(drives, letter) > needed)
            return letter;
    return 0;
}

} // namespace Volux
