// File services that are the same on every platform, written over the system calls of
// FileBackend.h.
#include "Platform/File.h"

#include <cstring>

#include "Common/Compression.h"
#include "Common/Memory.h"
#include "Common/StringEncoding.h"
#include "Common/StringFormatter.h"
#include "Platform/FileBackend.h"

namespace Volux {

namespace {

const char16_t* const _SOURCE = u"Platform/File";
constexpr _dword _COMPARE_BLOCK = 65536;
// ReadAll fills the buffer with one read, whose length is a signed 32-bit count on Windows.
constexpr _qword _MAX_READ_ALL = 0x80000000u;

inline bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Ends of the prefixes that create directories makes one by one: every separator after the
// first character, except one right after a drive colon ("C:" cannot be created).
bool IsLevelEnd(const char16_t* path, int i) {
    return i > 0 && IsSeparator(path[i]) && path[i - 1] != u':';
}

void CreateParentDirectories(const char16_t* path) {
    int last = -1;
    for (int i = 0; path[i] != 0; i++)
        if (IsSeparator(path[i]))
            last = i;
    if (last > 0)
        FileSystem::CreateDirectories(WString(path, last));
}

WString TrimmedRoot(const char16_t* root) {
    WString trimmed(root);
    trimmed.TrimRight(u"\\/");
    return trimmed;
}

WString Join(const char16_t* directory, const char16_t* name) {
    return Format(u"%ls\\%ls", directory, name);
}

struct WalkState {
    WalkCallback callback;
    void* context;
    void* user;
    int count;
    // The level being listed: full path and path relative to the root (empty at the root).
    const char16_t* directory;
    const char16_t* relative;
};

void Report(WalkState& state, const char16_t* name) {
    if (state.relative[0] == 0) {
        state.callback(name, state.context, state.user);
    } else {
        WString relativeName = Join(state.relative, name);
        state.callback(relativeName, state.context, state.user);
    }
    state.count++;
}

void ReportFile(const char16_t* name, bool isDirectory, void* state) {
    if (!isDirectory)
        Report(*static_cast<WalkState*>(state), name);
}

void ReportDirectory(const char16_t* name, bool isDirectory, void* state) {
    if (isDirectory)
        Report(*static_cast<WalkState*>(state), name);
}

void WalkLevel(WalkState& state);

void Descend(const char16_t* name, bool isDirectory, void* opaque) {
    if (!isDirectory)
        return;
    WalkState& state = *static_cast<WalkState*>(opaque);
    const char16_t* directory = state.directory;
    const char16_t* relative = state.relative;
    WString fullPath = Join(directory, name);
    WString relativePath = relative[0] == 0 ? WString(name) : Join(relative, name);
    state.directory = fullPath;
    state.relative = relativePath;
    WalkLevel(state);
    state.directory = directory;
    state.relative = relative;
}

// A level's own files come first, then each subdirectory in the system's order.
void WalkLevel(WalkState& state) {
    FileBackend::ListEntries(state.directory, ReportFile, &state);
    FileBackend::ListEntries(state.directory, Descend, &state);
}

void DeleteEntry(const char16_t* name, void* directory, void*) {
    FileSystem::DeleteFile(Join(static_cast<const char16_t*>(directory), name));
}

void RemoveEntryTree(const char16_t* name, void* directory, void*) {
    FileSystem::RemoveDirectoryTree(Join(static_cast<const char16_t*>(directory), name));
}

bool SeekTo(FileHandle handle, _qword offset, FileBackend::SeekBase base) {
    _qword position = 0;
    return FileBackend::SeekHandle(handle, int64_t(offset), base, position);
}

// UnpackStream callbacks over file objects.
bool ReadFromFile(void* file, void* buffer, _dword* length) {
    return static_cast<File*>(file)->Read(buffer, *length, length);
}

bool WriteToFile(void* file, const void* buffer, _dword* length) {
    return static_cast<File*>(file)->Write(buffer, *length, length);
}

} // namespace

bool File::Open(const char16_t* path, Mode mode) {
    Close();
    path = NonNull(path);
    if (mode == _CREATE)
        CreateParentDirectories(path);
    // A read-only file could not be opened for writing; both writing modes lift it.
    if (mode == _CREATE || mode == _UPDATE)
        FileSystem::SetReadOnly(path, false);
    mHandle = FileBackend::OpenHandle(path, mode);
    return mHandle != nullptr;
}

void File::Close() {
    if (mHandle != nullptr)
        CloseHandle(mHandle);
    mHandle = nullptr;
}

FileHandle File::Detach() {
    FileHandle handle = mHandle;
    mHandle = nullptr;
    return handle;
}

_qword File::Size() const {
    _qword size = 0;
    if (mHandle == nullptr || !FileBackend::HandleSize(mHandle, size))
        return 0;
    return size;
}

_qword File::Tell() const {
    _qword position = 0;
    if (mHandle == nullptr || !FileBackend::SeekHandle(mHandle, 0, FileBackend::_SEEK_CURRENT, position))
        return 0;
    return position;
}

bool File::Seek(_qword offset, Origin origin) {
    if (mHandle == nullptr)
        return false;
    return SeekTo(mHandle, offset, origin == _FROM_END ? FileBackend::_SEEK_END : FileBackend::_SEEK_START);
}

bool File::SetSize(_qword size) {
    if (mHandle == nullptr)
        return false;
    _qword position = 0;
    if (!FileBackend::SeekHandle(mHandle, 0, FileBackend::_SEEK_CURRENT, position))
        return false;
    bool resized = SeekTo(mHandle, size, FileBackend::_SEEK_START) && FileBackend::TruncateHandle(mHandle);
    bool restored = SeekTo(mHandle, position, FileBackend::_SEEK_START);
    return resized && restored;
}

bool File::Read(void* buffer, _dword n, _dword* count) {
    if (count != nullptr)
        *count = 0;
    if (n == 0)
        return true;
    if (!VOLUX_CHECK(_SOURCE, buffer != _null))
        return false;
    if (mHandle == nullptr)
        return false;
    _dword done = 0;
    bool succeeded = FileBackend::ReadHandle(mHandle, buffer, n, done);
    if (count != nullptr) {
        *count = done;
        return succeeded;
    }
    return succeeded && done == n;
}

bool File::Write(const void* buffer, _dword n, _dword* count) {
    if (count != nullptr)
        *count = 0;
    if (n == 0)
        return mHandle != nullptr;
    if (!VOLUX_CHECK(_SOURCE, buffer != _null))
        return false;
    if (mHandle == nullptr)
        return false;
    _dword done = 0;
    bool succeeded = FileBackend::WriteHandle(mHandle, buffer, n, done);
    if (count != nullptr) {
        *count = done;
        return succeeded;
    }
    return succeeded && done == n;
}

bool File::ReadAll(ByteBuffer& bytes) {
    if (mHandle == nullptr)
        return false;
    _qword size = Size();
    if (size >= _MAX_READ_ALL)
        return false;
    if (!bytes.Allocate(_dword(size)))
        return false;
    return Read(bytes.data, bytes.size);
}

bool File::WriteText(const char16_t* text, int encoding) {
    text = NonNull(text);
    int length = Text::Length(text);
    if (length == 0)
        return true;
    if (encoding == 1)
        return Write(text, _dword(length) * _dword(sizeof(char16_t)));
    int bytes = 0;
    char* converted = encoding == 2 ? WideToUtf8(nullptr, 0, text, length, &bytes)
                                    : WideToAnsi(nullptr, 0, text, length, &bytes);
    if (converted == nullptr)
        return false;
    bool written = bytes == 0 || Write(converted, _dword(bytes));
    MemFree(converted);
    return written;
}

void File::WriteLine(FileHandle handle, const char16_t* text, bool newLine) {
    if (handle == nullptr)
        return;
    text = NonNull(text);
    _dword done = 0;
    _dword length = _dword(Text::Length(text));
    if (length > 0)
        FileBackend::WriteHandle(handle, text, length * _dword(sizeof(char16_t)), done);
    if (newLine)
        FileBackend::WriteHandle(handle, u"\r\n", 2 * _dword(sizeof(char16_t)), done);
}

namespace FileSystem {

bool CreateDirectories(const char16_t* path) {
    path = NonNull(path);
    int length = Text::Length(path);
    if (length == 0)
        return false;
    if (path[length - 1] == u':' || IsDirectory(path))
        return true;
    for (int i = 1; i < length; i++) {
        if (!IsLevelEnd(path, i))
            continue;
        WString prefix(path, i);
        if (!IsDirectory(prefix) && !FileBackend::MakeDirectory(prefix))
            return false;
    }
    return FileBackend::MakeDirectory(path);
}

bool CopyFile(const char16_t* from, const char16_t* to) {
    if (!IsFile(from))
        return false;
    to = NonNull(to);
    CreateParentDirectories(to);
    return FileBackend::CopyExisting(from, to);
}

bool MoveFile(const char16_t* from, const char16_t* to) {
    if (!IsFile(from))
        return false;
    to = NonNull(to);
    CreateParentDirectories(to);
    return FileBackend::MoveExisting(from, to);
}

bool SameContent(const char16_t* a, const char16_t* b) {
    File fileA;
    File fileB;
    if (!fileA.Open(a, File::_READ) || !fileB.Open(b, File::_READ))
        return false;
    if (fileA.Size() != fileB.Size())
        return false;
    _byte* blocks = static_cast<_byte*>(MemAlloc(2 * _COMPARE_BLOCK));
    if (blocks == nullptr)
        return false;
    _byte* blockA = blocks;
    _byte* blockB = blocks + _COMPARE_BLOCK;
    bool same = false;
    for (;;) {
        _dword readA = 0;
        _dword readB = 0;
        if (!fileA.Read(blockA, _COMPARE_BLOCK, &readA) || !fileB.Read(blockB, _COMPARE_BLOCK, &readB))
            break;
        if (readA != readB || memcmp(blockA, blockB, readA) != 0)
            break;
        if (readA == 0) {
            same = true;
            break;
        }
    }
    MemFree(blocks);
    return same;
}

bool WriteFile(const char16_t* path, const void* bytes, _dword n) {
    File file;
    if (!file.Open(path, File::_UPDATE) && !file.Open(path, File::_CREATE))
        return false;
    if (!file.SetSize(n))
        return false;
    return bytes == nullptr || file.Write(bytes, n);
}

bool ReadFile(const char16_t* path, ByteBuffer& buffer) {
    File file;
    if (!file.Open(path, File::_READ) || !file.ReadAll(buffer))
        return false;
    buffer.name = NonNull(path);
    return true;
}

int Walk(const char16_t* root, bool recursive, WalkCallback callback, void* context, void* user) {
    if (callback == nullptr)
        return 0;
    WString directory = TrimmedRoot(root);
    WalkState state = {callback, context, user, 0, directory, _EMPTY_TEXT};
    if (recursive)
        WalkLevel(state);
    else
        FileBackend::ListEntries(directory, ReportFile, &state);
    return state.count;
}

int ListDirectories(const char16_t* directory, WalkCallback callback, void* context, void* user) {
    if (callback == nullptr)
        return 0;
    WString trimmed = TrimmedRoot(directory);
    WalkState state = {callback, context, user, 0, trimmed, _EMPTY_TEXT};
    FileBackend::ListEntries(trimmed, ReportDirectory, &state);
    return state.count;
}

bool RemoveDirectoryTree(const char16_t* path) {
    path = NonNull(path);
    if (path[0] == 0)
        return false;
    // Trimmed first: "link\" would name what the link points at. An empty trimmed path
    // ("/") would list the root.
    WString directory = TrimmedRoot(path);
    if (directory.IsEmpty() || IsVolumeRoot(path))
        return false;
    // What a link points at lies outside the tree (uninstalling must not empty a folder a
    // junction in the install folder happens to lead to): the link alone goes.
    if (FileBackend::IsLink(directory))
        return FileBackend::RemoveLink(directory);
    if (!IsDirectory(path))
        return false;
    void* context = const_cast<char16_t*>(directory.Text());
    Walk(directory, false, DeleteEntry, context, nullptr);
    ListDirectories(directory, RemoveEntryTree, context, nullptr);
    return FileBackend::RemoveEmptyDirectory(path);
}

bool IsVolumeRoot(const char16_t* path) {
    path = NonNull(path);
    if (path[0] == 0)
        return false;
    WString full = FileBackend::FullPath(path);
    full.TrimRight(u"\\/");
    const char16_t* at = full.Text();
    int length = full.Length();
    if (length == 0)
        return true;  // "/" or "\"
    // "\\?\" and "\\.\" only change how the rest is parsed; "\\?\UNC\" is a share.
    bool share = IsSeparator(at[0]) && IsSeparator(at[1]);
    if (share && (at[2] == u'?' || at[2] == u'.') && IsSeparator(at[3])) {
        at += 4;
        length -= 4;
        share = length >= 4 && Text::StartsWith(at, u"UNC", false) && IsSeparator(at[3]);
        if (share) {
            at += 4;
            length -= 4;
        }
    }
    if (length == 2 && at[1] == u':')
        return true;
    if (!share)
        return false;
    // A share's root is its server and share name.
    int segments = 0;
    for (int i = 0; i < length; i++)
        if (!IsSeparator(at[i]) && (i == 0 || IsSeparator(at[i - 1])))
            segments++;
    return segments <= 2;
}

_qword FreeSpace(const char16_t* path) {
    path = NonNull(path);
    int length = Text::Length(path);
    if (length == 0)
        return 0;
    if (IsDirectory(path))
        return FileBackend::FreeSpaceOf(path);
    // The query needs an existing directory: make the missing levels, then remove exactly
    // those again, deepest first.
    int firstMissing = -1;
    for (int i = 1; i <= length && firstMissing < 0; i++) {
        if (i < length && !IsLevelEnd(path, i))
            continue;
        WString prefix(path, i);
        if (IsDirectory(prefix))
            continue;
        if (IsFile(prefix))
            return 0;
        firstMissing = i;
    }
    CreateDirectories(path);
    _qword space = FileBackend::FreeSpaceOf(path);
    for (int i = length; i >= firstMissing && firstMissing > 0; i--)
        if (i == length || IsLevelEnd(path, i))
            FileBackend::RemoveEmptyDirectory(WString(path, i));
    return space;
}

Md5Digest FileDigest(const char16_t* path) {
    File file;
    if (!file.Open(path, File::_READ))
        return Md5Digest();
    _byte* block = static_cast<_byte*>(MemAlloc(_COMPARE_BLOCK));
    if (block == nullptr)
        return Md5Digest();
    Md5 md5;
    bool readable = true;
    for (;;) {
        _dword count = 0;
        if (!file.Read(block, _COMPARE_BLOCK, &count)) {
            readable = false;
            break;
        }
        if (count == 0)
            break;
        md5.Update(block, count);
    }
    MemFree(block);
    return readable ? md5.Final() : Md5Digest();
}

bool IsCompressedFile(const char16_t* path) {
    File file;
    _byte header[_BLOCK_HEADER_SIZE];
    _dword count = 0;
    if (!file.Open(path, File::_READ) || !file.Read(header, _BLOCK_HEADER_SIZE, &count))
        return false;
    return IsCompressedBlock(header, count);
}

bool ExpandFileInPlace(const char16_t* path) {
    if (!IsCompressedFile(path))
        return true;
    path = NonNull(path);
    WString temporaryPath = Format(u"%ls.tmp", path);
    File packed;
    File expanded;
    if (!packed.Open(path, File::_UPDATE))
        return false;
    bool ok = expanded.Open(temporaryPath, File::_CREATE) && UnpackStream(ReadFromFile, &packed, WriteToFile, &expanded);
    packed.Close();
    expanded.Close();
    // Moving over the packed file replaces it in one step, so the content is never lost
    // between a delete and a rename that fails.
    if (ok && FileBackend::MoveExisting(temporaryPath, path))
        return true;
    DeleteFile(temporaryPath);
    return false;
}

WString ChangeDirectory(const char16_t* path) {
    WString previous = CurrentDirectory();
    CreateDirectories(path);
    FileBackend::MakeCurrent(NonNull(path));
    return previous;
}

} // namespace FileSystem

} // namespace Volux
