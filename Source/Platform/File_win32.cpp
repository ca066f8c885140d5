// File services over the Win32 file API.
// windows.h comes first so that File.h can take back the names it maps (DeleteFile...).
#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <cwchar>

#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Platform/FileBackend.h"
#include "Platform/WideText_win32.h"

namespace Volux {

namespace {

// Longest current directory and program path the services return, in characters.
constexpr DWORD _PATH_CHARS = 1024;

struct OpenMode {
    DWORD access;
    DWORD share;
    DWORD disposition;
};

// Indexed by File::Mode: create, read, update.
const OpenMode _OPEN_MODES[] = {
    {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS},
    {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING},
    {GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING},
};

const DWORD _SEEK_METHODS[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};

inline const wchar_t* Wide(const char16_t* path) { return WidePtr(NonNull(path)); }

DWORD Attributes(const char16_t* path) { return GetFileAttributesW(Wide(path)); }

// The attributes SetFileAttributesW accepts; FILE_ATTRIBUTE_NORMAL only stands alone.
constexpr DWORD _SETTABLE_ATTRIBUTES = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                       FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM |
                                       FILE_ATTRIBUTE_TEMPORARY;

} // namespace

namespace FileBackend {

FileHandle OpenHandle(const char16_t* path, File::Mode mode) {
    const OpenMode& how = _OPEN_MODES[mode];
    HANDLE handle = CreateFileW(Wide(path), how.access, how.share, nullptr, how.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle != INVALID_HANDLE_VALUE ? handle : nullptr;
}

bool ReadHandle(FileHandle handle, void* buffer, _dword n, _dword& count) {
    DWORD done = 0;
    BOOL succeeded = ::ReadFile(handle, buffer, n, &done, nullptr);
    count = done;
    return succeeded != FALSE;
}

bool WriteHandle(FileHandle handle, const void* buffer, _dword n, _dword& count) {
    count = 0;
    // Raw handles from the log sinks may carry the system's invalid value.
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    BOOL succeeded = ::WriteFile(handle, buffer, n, &done, nullptr);
    count = done;
    return succeeded != FALSE;
}

bool SeekHandle(FileHandle handle, int64_t distance, SeekBase base, _qword& position) {
    LARGE_INTEGER move;
    move.QuadPart = distance;
    LARGE_INTEGER reached;
    reached.QuadPart = 0;
    if (!SetFilePointerEx(handle, move, &reached, _SEEK_METHODS[base]))
        return false;
    position = _qword(reached.QuadPart);
    return true;
}

bool HandleSize(FileHandle handle, _qword& size) {
    LARGE_INTEGER value;
    if (!GetFileSizeEx(handle, &value))
        return false;
    size = _qword(value.QuadPart);
    return true;
}

bool TruncateHandle(FileHandle handle) { return SetEndOfFile(handle) != FALSE; }

bool MakeDirectory(const char16_t* path) { return CreateDirectoryW(Wide(path), nullptr) != FALSE; }

bool RemoveEmptyDirectory(const char16_t* path) {
    SetFileAttributesW(Wide(path), FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_DIRECTORY);
    return RemoveDirectoryW(Wide(path)) != FALSE;
}

bool CopyExisting(const char16_t* from, const char16_t* to) {
    return CopyFileW(Wide(from), Wide(to), FALSE) != FALSE;
}

bool MoveExisting(const char16_t* from, const char16_t* to) {
    return MoveFileExW(Wide(from), Wide(to), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

_qword FreeSpaceOf(const char16_t* directory) {
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(Wide(directory), &available, nullptr, nullptr))
        return 0;
    return available.QuadPart;
}

bool MakeCurrent(const char16_t* path) { return SetCurrentDirectoryW(Wide(path)) != FALSE; }

bool IsLink(const char16_t* path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool RemoveLink(const char16_t* path) {
    // A junction or directory link is removed as a directory, which removes only the link;
    // no attributes are reset first, as that would reach through to the target.
    DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    // WINE: a Unix symbolic link shows as a reparse point, but removing it reaches through to
    // the target (an empty target folder goes, a full one refuses), so the link stays and the
    // removal fails; nothing behind it is listed or deleted. Goes when Wine removes links.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return RemoveDirectoryW(Wide(path)) != FALSE;
    return ::DeleteFileW(Wide(path)) != FALSE;
}

WString FullPath(const char16_t* path) {
    wchar_t full[MAX_PATH * 2];
    DWORD length = GetFullPathNameW(Wide(path), DWORD(sizeof(full) / sizeof(full[0])), full, nullptr);
    if (length == 0 || length >= sizeof(full) / sizeof(full[0]))
        return WString(path);
    return WString(EnginePtr(full), int(length));
}

void ListEntries(const char16_t* directory, EntryCallback callback, void* state) {
    WString pattern = Format(u"%ls\\*.*", NonNull(directory));
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(WidePtr(pattern.Text()), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const wchar_t* name = entry.cFileName;
        if (wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0)
            continue;
        callback(EnginePtr(name), (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, state);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

} // namespace FileBackend

void File::CloseHandle(FileHandle handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle);
}

namespace FileSystem {

bool IsFile(const char16_t* path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsDirectory(const char16_t* path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool DeleteFile(const char16_t* path) {
    SetFileAttributesW(Wide(path), FILE_ATTRIBUTE_NORMAL);
    return ::DeleteFileW(Wide(path)) != FALSE;
}

bool IsReadOnly(const char16_t* path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool SetReadOnly(const char16_t* path, bool readOnly) {
    DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (((attributes & FILE_ATTRIBUTE_READONLY) != 0) == readOnly)
        return true;
    DWORD wanted = attributes & _SETTABLE_ATTRIBUTES;
    wanted = readOnly ? wanted | FILE_ATTRIBUTE_READONLY : wanted & ~DWORD(FILE_ATTRIBUTE_READONLY);
    return SetFileAttributesW(Wide(path), wanted != 0 ? wanted : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

WString TemporaryName(const char16_t* directory, const char16_t* prefix) {
    wchar_t name[MAX_PATH];
    if (GetTempFileNameW(Wide(directory), Wide(prefix), 0, name) == 0)
        return WString();
    return WString(EnginePtr(name));
}

WString CurrentDirectory() {
    wchar_t path[_PATH_CHARS];
    DWORD length = GetCurrentDirectoryW(_PATH_CHARS, path);
    if (length == 0 || length >= _PATH_CHARS)
        return WString();
    return WString(EnginePtr(path), int(length));
}

WString SpecialFolderPath(SpecialFolder folder) {
    wchar_t path[MAX_PATH];
    if (!SHGetSpecialFolderPathW(nullptr, path, int(folder), FALSE))
        return WString();
    return WString(EnginePtr(path));
}

WString TemporaryFolder() {
    wchar_t path[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, path);
    if (length == 0 || length > MAX_PATH)
        return WString();
    if (path[length - 1] == L'\\')
        length--;
    return WString(EnginePtr(path), int(length));
}

WString ProgramPath() {
    wchar_t path[_PATH_CHARS];
    DWORD length = GetModuleFileNameW(nullptr, path, _PATH_CHARS);
    // A full buffer means the path was cut.
    if (length == 0 || length >= _PATH_CHARS)
        return WString();
    return WString(EnginePtr(path), int(length));
}

bool LoadResource(void* module, const char16_t* name, ByteBuffer& buffer) {
    name = NonNull(name);
    if (name[0] == 0)
        return false;
    HMODULE owner = static_cast<HMODULE>(module);
    HRSRC found = FindResourceW(owner, WidePtr(name), L"VOLUXRES");
    if (found == nullptr)
        return false;
    DWORD size = SizeofResource(owner, found);
    if (size == 0)
        return false;
    HGLOBAL loaded = ::LoadResource(owner, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr || !buffer.Allocate(size))
        return false;
    memcpy(buffer.data, bytes, size);
    return true;
}

} // namespace FileSystem

} // namespace Volux
