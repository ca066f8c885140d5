// File services: a file object with explicit open modes, whole-file operations, copy, move,
// delete and compare, directory creation, walking and removal, free space, the current
// directory, special folders, temporary names and program resources.
// Paths follow Windows rules everywhere ('\' separates, '/' is accepted).
// Failures are false, an empty string or 0; nothing here logs.
#pragma once

#include "Common/Base.h"
#include "Common/ByteBuffer.h"
#include "Common/Md5.h"
#include "Common/WString.h"

// windows.h maps these names to its own W functions; the engine's must keep theirs.
#ifdef DeleteFile
#undef DeleteFile
#endif
#ifdef CopyFile
#undef CopyFile
#endif
#ifdef MoveFile
#undef MoveFile
#endif

namespace Volux {

// A raw system file handle as the log sinks hold it; null when there is none.
using FileHandle = void*;

class File {
public:
    enum Mode { _CREATE, _READ, _UPDATE };
    enum Origin { _FROM_START, _FROM_END };

    File() = default;
    ~File() { Close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // create: read+write, shared for reading, always a new file (parent folders are made and
    // a read-only attribute cleared first); read: shared for reading and writing, must exist;
    // update: read+write, shared for reading, must exist, read-only attribute cleared.
    bool Open(const char16_t* path, Mode mode);
    void Close();
    bool IsOpen() const { return mHandle != nullptr; }

    _qword Size() const;
    _qword Tell() const;
    // From the end the offset is added to the file size as a signed 64-bit value, so
    // _qword(-n) moves n bytes back from the end.
    bool Seek(_qword offset, Origin origin = _FROM_START);
    bool SetSize(_qword size);
    // With count the result is true whenever the system call succeeded; without it only when
    // all n bytes were transferred. n = 0 reads succeed even on a closed file.
    bool Read(void* buffer, _dword n, _dword* count = nullptr);
    bool Write(const void* buffer, _dword n, _dword* count = nullptr);
    // Fails for files of 2 GiB or more.
    bool ReadAll(ByteBuffer& buffer);
    // encoding 1 = UTF-16 units as they are, 2 = UTF-8, anything else = system ANSI code page.
    bool WriteText(const char16_t* text, int encoding);

    // Hands the handle over (the object is closed afterwards); the caller closes it.
    FileHandle Detach();
    FileHandle Handle() const { return mHandle; }

    // Writes the text's UTF-16 units and, with newLine, "\r\n"; a null handle is ignored.
    static void WriteLine(FileHandle handle, const char16_t* text, bool newLine);
    static void CloseHandle(FileHandle handle);

private:
    FileHandle mHandle = nullptr;
};

// Called with each entry name relative to the walked root; context and user are the caller's.
using WalkCallback = void (*)(const char16_t* relativeName, void* context, void* user);

namespace FileSystem {
bool IsFile(const char16_t* path);
bool IsDirectory(const char16_t* path);
bool CreateDirectories(const char16_t* path);
bool DeleteFile(const char16_t* path);
// The read-only attribute; on POSIX it is the absence of the owner's write permission.
bool IsReadOnly(const char16_t* path);
bool SetReadOnly(const char16_t* path, bool readOnly);
bool CopyFile(const char16_t* from, const char16_t* to);
bool MoveFile(const char16_t* from, const char16_t* to);
bool SameContent(const char16_t* a, const char16_t* b);
bool WriteFile(const char16_t* path, const void* bytes, _dword n);
bool ReadFile(const char16_t* path, ByteBuffer& buffer);
int Walk(const char16_t* root, bool recursive, WalkCallback callback, void* context, void* user);
int ListDirectories(const char16_t* directory, WalkCallback callback, void* context, void* user);
// Removes a folder and everything in it. A link inside (a junction, a directory symbolic
// link) is removed itself and never followed; a path that is itself a link removes only the
// link. A drive or share root, or "/", is refused.
bool RemoveDirectoryTree(const char16_t* path);
// True for the root of a drive or share ("C:\", "\\server\share") and for "/"; the path is
// made full first, so "C:\Windows\.." is a root too.
bool IsVolumeRoot(const char16_t* path);
_qword FreeSpace(const char16_t* path);
WString TemporaryName(const char16_t* directory, const char16_t* prefix);
WString CurrentDirectory();
// Creates the path's folders, makes it current and returns the previous current folder.
WString ChangeDirectory(const char16_t* path);

enum SpecialFolder {
    _DESKTOP = 0x10,
    _PROFILE = 0x28,
    _APP_DATA = 0x1A,
    _START_MENU = 0x0B,
    _LOCAL_APP_DATA = 0x1C,
};
// Empty where the platform has no such folder.
WString SpecialFolderPath(SpecialFolder folder);
WString TemporaryFolder();

// Full path of the running program.
WString ProgramPath();
// A resource of type "VOLUXRES" of the given module (null = the program itself).
bool LoadResource(void* module, const char16_t* name, ByteBuffer& buffer);

// MD5 of the file's bytes; 16 zero bytes when it cannot be opened or read.
Md5Digest FileDigest(const char16_t* path);
// True when the file's first 20 bytes form a compressed-block header.
bool IsCompressedFile(const char16_t* path);
// Replaces a compressed file by its unpacked content, through "<path>.tmp". A plain file
// needs nothing (true). On failure the file is kept as it was and no temporary file stays.
bool ExpandFileInPlace(const char16_t* path);
} // namespace FileSystem

} // namespace Volux
