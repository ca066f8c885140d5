#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "Support/DirectoryLink.h"

namespace VoluxTest {

namespace {

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

bool IsReparsePoint(const wchar_t* path) {
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The mount-point layout of REPARSE_DATA_BUFFER, which mingw's headers leave to the DDK.
struct MountPointData {
    DWORD tag;
    WORD dataLength;
    WORD reserved;
    WORD substituteOffset;
    WORD substituteLength;
    WORD printOffset;
    WORD printLength;
    wchar_t names[1];
};

// A junction needs no privilege, unlike a symbolic link.
bool MakeJunction(const wchar_t* link, const wchar_t* target) {
    wchar_t full[MAX_PATH];
    if (GetFullPathNameW(target, MAX_PATH, full, nullptr) == 0)
        return false;
    std::wstring substitute = std::wstring(L"\\??\\") + full;
    std::wstring print = full;
    if (!CreateDirectoryW(link, nullptr))
        return false;
    HANDLE handle = CreateFileW(link, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    bool made = false;
    if (handle != INVALID_HANDLE_VALUE) {
        union {
            MountPointData data;
            BYTE bytes[2048];
        } buffer;
        memset(&buffer, 0, sizeof(buffer));
        WORD substituteBytes = WORD(substitute.size() * sizeof(wchar_t));
        WORD printBytes = WORD(print.size() * sizeof(wchar_t));
        buffer.data.tag = IO_REPARSE_TAG_MOUNT_POINT;
        buffer.data.substituteLength = substituteBytes;
        buffer.data.printOffset = WORD(substituteBytes + sizeof(wchar_t));
        buffer.data.printLength = printBytes;
        memcpy(buffer.data.names, substitute.c_str(), substituteBytes);
        memcpy(reinterpret_cast<BYTE*>(buffer.data.names) + buffer.data.printOffset, print.c_str(), printBytes);
        buffer.data.dataLength = WORD(4 * sizeof(WORD) + substituteBytes + printBytes + 2 * sizeof(wchar_t));
        DWORD returned = 0;
        made = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, &buffer, DWORD(8 + buffer.data.dataLength), nullptr, 0,
                               &returned, nullptr) != FALSE;
        CloseHandle(handle);
    }
    if (!made)
        RemoveDirectoryW(link);
    return made && IsReparsePoint(link);
}

using UnixName = char* (*)(const wchar_t*);

// Wine's own export; null on Windows.
UnixName UnixNameFunction() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel != nullptr ? reinterpret_cast<UnixName>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")))
                             : nullptr;
}

std::wstring UnixPath(const std::wstring& path) {
    UnixName unixName = UnixNameFunction();
    char* name = unixName != nullptr ? unixName(path.c_str()) : nullptr;
    std::wstring result;
    for (const char* c = name; c != nullptr && *c != 0; c++)
        result += wchar_t(static_cast<unsigned char>(*c));
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Runs a host program with the arguments and waits up to ten seconds for done() to hold:
// WINE: the handle of a host process does not tell when it ends.
template <class Done>
bool RunHost(const wchar_t* program, std::wstring command, Done done) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 200 && !done(); i++)
        Sleep(50);
    return done();
}

// WINE: neither CreateSymbolicLinkW (a stub that makes nothing) nor FSCTL_SET_REPARSE_POINT
// (not supported) makes a link in Wine 8, but Wine shows a Unix symbolic link as a reparse
// point and starts host programs, so ln makes one. Goes when Wine makes junctions itself.
bool MakeHostLink(const wchar_t* link, const wchar_t* target) {
    if (UnixNameFunction() == nullptr)
        return false;
    // The link does not exist yet: its folder is converted and the name appended.
    std::wstring linkPath = link;
    size_t slash = linkPath.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return false;
    std::wstring unixTarget = UnixPath(target);
    std::wstring unixFolder = UnixPath(linkPath.substr(0, slash));
    if (unixTarget.empty() || unixFolder.empty())
        return false;
    std::wstring command = L"/bin/ln -s \"" + unixTarget + L"\" \"" + unixFolder + L"/" + linkPath.substr(slash + 1) + L"\"";
    return RunHost(L"Z:\\bin\\ln", command, [link] { return IsReparsePoint(link); });
}

} // namespace

bool MakeDirectoryLink(const char16_t* link, const char16_t* target) {
    const DWORD _DIRECTORY_LINK = 0x1;   // SYMBOLIC_LINK_FLAG_DIRECTORY
    const DWORD _UNPRIVILEGED = 0x2;     // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    if (CreateSymbolicLinkW(Wide(link), Wide(target), _DIRECTORY_LINK | _UNPRIVILEGED) && IsReparsePoint(Wide(link)))
        return true;
    return MakeJunction(Wide(link), Wide(target)) || MakeHostLink(Wide(link), Wide(target));
}

bool EngineRemovesLinks() {
    // WINE: see RemoveLink in File_win32.cpp.
    return UnixNameFunction() == nullptr;
}

void RemoveDirectoryLink(const char16_t* link) {
    if (UnixNameFunction() == nullptr) {
        RemoveDirectoryW(Wide(link));
        return;
    }
    std::wstring command = L"/bin/rm -f \"" + UnixPath(Wide(link)) + L"\"";
    RunHost(L"Z:\\bin\\rm", command, [link] { return GetFileAttributesW(Wide(link)) == INVALID_FILE_ATTRIBUTES; });
}

} // namespace VoluxTest
