// Dynamic libraries on Win32.
#include <windows.h>

#include "Common/WString.h"
#include "Platform/File.h"
#include "Platform/Library.h"
#include "Platform/WideText_win32.h"

namespace Volux {

namespace {
// Restores the current folder however Load leaves.
class CurrentFolderScope {
public:
    CurrentFolderScope() : mSaved(FileSystem::CurrentDirectory()) {}
    ~CurrentFolderScope() { FileSystem::ChangeDirectory(mSaved); }
    CurrentFolderScope(const CurrentFolderScope&) = delete;
    CurrentFolderScope& operator=(const CurrentFolderScope&) = delete;

private:
    WString mSaved;
};
} // namespace

bool Library::Load(const char16_t* path) {
    Unload();
    path = NonNull(path);
    if (path[0] == 0)
        return false;
    if (!Path::ContainsSeparator(path)) {
        mModule = LoadLibraryW(WidePtr(path));
        return mModule != nullptr;
    }
    // The full path is taken before the current folder moves, so a relative path still names
    // the same file.
    wchar_t full[MAX_PATH * 4];
    DWORD length = GetFullPathNameW(WidePtr(path), sizeof(full) / sizeof(full[0]), full, nullptr);
    if (length == 0 || length >= sizeof(full) / sizeof(full[0]))
        return false;
    WString folder = Path::DirectoryOf(EnginePtr(full), true);
    if (folder.Length() == 2 && folder[1] == u':')
        folder.AppendChar(u'\\');  // "C:" alone would mean that drive's current folder
    if (folder.IsEmpty() || !FileSystem::IsDirectory(folder))
        return false;
    CurrentFolderScope restore;
    FileSystem::ChangeDirectory(folder);
    // Loaded by its full path: the name alone would let a library of the same name in the
    // program's or the system's folder be taken instead of this one.
    mModule = LoadLibraryW(full);
    return mModule != nullptr;
}

void* Library::FindEntry(const char* name) const {
    if (mModule == nullptr || name == nullptr)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(mModule), name));
}

void Library::Unload() {
    if (mModule != nullptr)
        FreeLibrary(static_cast<HMODULE>(mModule));
    mModule = nullptr;
}

} // namespace Volux
