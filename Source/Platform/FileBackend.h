// The system calls under the file services, one set per platform file (File_win32.cpp,
// File_posix.cpp). Everything above them, in File.cpp, is the same on every platform.
// Paths arrive in the engine's form; a backend translates them only at the call.
#pragma once

#include <cstdint>

#include "Platform/File.h"

namespace Volux {
namespace FileBackend {

// Opens without any preparation; null on failure.
FileHandle OpenHandle(const char16_t* path, File::Mode mode);
// Moves n bytes, fewer only at the end of the file; count receives what moved even when
// the call fails.
bool ReadHandle(FileHandle handle, void* buffer, _dword n, _dword& count);
bool WriteHandle(FileHandle handle, const void* buffer, _dword n, _dword& count);

enum SeekBase { _SEEK_START, _SEEK_CURRENT, _SEEK_END };
bool SeekHandle(FileHandle handle, int64_t distance, SeekBase base, _qword& position);
bool HandleSize(FileHandle handle, _qword& size);
// Ends the file at the current position.
bool TruncateHandle(FileHandle handle);

// One directory level; fails when it exists or its parent does not.
bool MakeDirectory(const char16_t* path);
// Normal attributes first, then removal; fails for a directory that is not empty.
bool RemoveEmptyDirectory(const char16_t* path);
// Both overwrite an existing target file.
bool CopyExisting(const char16_t* from, const char16_t* to);
bool MoveExisting(const char16_t* from, const char16_t* to);
// Bytes available to the caller on the volume of an existing directory; 0 on failure.
_qword FreeSpaceOf(const char16_t* directory);
bool MakeCurrent(const char16_t* path);

// A symbolic link, junction or other reparse point; not followed.
bool IsLink(const char16_t* path);
// Removes the link itself, whatever it points at.
bool RemoveLink(const char16_t* path);
// The absolute form of an existing path, "." and ".." resolved; the path as it is on failure.
WString FullPath(const char16_t* path);

// Each entry of a directory except "." and "..", in the system's order. The callback may
// delete the entry it was given.
using EntryCallback = void (*)(const char16_t* name, bool isDirectory, void* state);
void ListEntries(const char16_t* directory, EntryCallback callback, void* state);

} // namespace FileBackend
} // namespace Volux
