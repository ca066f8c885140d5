// File services over POSIX, behaving like the Win32 ones wherever the system allows: there
// are no share modes, the read-only attribute is the absence of write permission, programs
// carry no resources and the only special folder is the temporary one.

// 64-bit offsets on 32-bit systems too; must precede every system header.
#define _FILE_OFFSET_BITS 64

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Common/Memory.h"
#include "Common/StringEncoding.h"
#include "Platform/File.h"
#include "Platform/FileBackend.h"

namespace Volux {

namespace {

constexpr _dword _COPY_BLOCK = 65536;

// The one place the native build reads an engine path. Engine paths keep Windows rules, so
// every '\' becomes '/', and a path that starts with '\' or '/' is absolute: it names the
// root of the single POSIX tree, which is also how the paths handed back below (written
// with '\') find their way home. A drive prefix such as "C:" means nothing here and stays
// an ordinary name relative to the current directory. A name holding a real '\' cannot
// be reached, the price of one path syntax for the whole engine.
char* ToNative(const char16_t* path) {
    char* native = WideToUtf8(nullptr, 0, NonNull(path), -1);
    if (native != nullptr)
        for (char* c = native; *c != 0; c++)
            if (*c == '\\')
                *c = '/';
    return native;
}

// A system path for the length of one call.
class NativePath {
public:
    explicit NativePath(const char16_t* path) : mText(ToNative(path)) {}
    ~NativePath() { MemFree(mText); }
    NativePath(const NativePath&) = delete;
    NativePath& operator=(const NativePath&) = delete;

    // An empty text when the conversion failed, which every system call refuses.
    const char* Text() const { return mText != nullptr ? mText : ""; }
    char* Writable() { return mText; }

private:
    char* mText;
};

// Paths the system gives back are written with the engine's separator.
WString FromNative(const char* native, int count = -1) {
    int length = 0;
    char16_t* wide = Utf8ToWide(nullptr, 0, native, count, &length);
    if (wide == nullptr)
        return WString();
    Text::ReplaceChar(wide, u'/', u'\\');
    WString path(wide, length);
    MemFree(wide);
    return path;
}

// Descriptor 0 is valid, so a handle carries the descriptor plus one and null stays
// "no file" (the failed descriptor -1 maps to it).
inline FileHandle ToHandle(int descriptor) { return reinterpret_cast<FileHandle>(intptr_t(descriptor) + 1); }
inline int ToDescriptor(FileHandle handle) { return int(reinterpret_cast<intptr_t>(handle) - 1); }

int OpenRetrying(const char* path, int flags, mode_t permissions = 0) {
    int descriptor;
    do
        descriptor = open(path, flags | O_CLOEXEC, permissions);
    while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

bool StatPath(const char16_t* path, struct stat& status) {
    NativePath native(path);
    return stat(native.Text(), &status) == 0;
}

// Transfers up to n bytes, continuing after short transfers as ReadFile and WriteFile do
// for disk files; count holds what moved.
template <typename Byte, typename Transfer>
bool TransferAll(Transfer transfer, Byte* bytes, _dword n, _dword& count) {
    count = 0;
    while (count < n) {
        ssize_t moved = transfer(bytes + count, size_t(n - count));
        if (moved < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (moved == 0)
            break;
        count += _dword(moved);
    }
    return true;
}

bool CopyContent(int from, int to) {
    _byte* block = static_cast<_byte*>(MemAlloc(_COPY_BLOCK));
    if (block == nullptr)
        return false;
    bool copied = false;
    for (;;) {
        _dword got = 0;
        if (!TransferAll([from](_byte* p, size_t n) { return read(from, p, n); }, block, _COPY_BLOCK, got))
            break;
        if (got == 0) {
            copied = true;
            break;
        }
        _dword put = 0;
        const _byte* written = block;
        if (!TransferAll([to](const _byte* p, size_t n) { return write(to, p, n); }, written, got, put) || put != got)
            break;
    }
    MemFree(block);
    return copied;
}

} // namespace

namespace FileBackend {

FileHandle OpenHandle(const char16_t* path, File::Mode mode) {
    // Indexed by File::Mode: create, read, update.
    static const int _FLAGS[] = {O_RDWR | O_CREAT | O_TRUNC, O_RDONLY, O_RDWR};
    NativePath native(path);
    int descriptor = OpenRetrying(native.Text(), _FLAGS[mode], 0666);
    if (descriptor < 0)
        return nullptr;
    // CreateFileW never opens a directory as a file; open() does for reading.
    struct stat status;
    if (fstat(descriptor, &status) != 0 || S_ISDIR(status.st_mode)) {
        close(descriptor);
        return nullptr;
    }
    return ToHandle(descriptor);
}

bool ReadHandle(FileHandle handle, void* buffer, _dword n, _dword& count) {
    int descriptor = ToDescriptor(handle);
    return TransferAll([descriptor](_byte* p, size_t size) { return read(descriptor, p, size); },
                       static_cast<_byte*>(buffer), n, count);
}

bool WriteHandle(FileHandle handle, const void* buffer, _dword n, _dword& count) {
    int descriptor = ToDescriptor(handle);
    if (!TransferAll([descriptor](const _byte* p, size_t size) { return write(descriptor, p, size); },
                     static_cast<const _byte*>(buffer), n, count))
        return false;
    // A device that takes nothing is an error for a writer, not an end of file.
    return count == n;
}

bool SeekHandle(FileHandle handle, int64_t distance, SeekBase base, _qword& position) {
    static const int _WHENCE[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    off_t reached = lseek(ToDescriptor(handle), off_t(distance), _WHENCE[base]);
    if (reached < 0)
        return false;
    position = _qword(reached);
    return true;
}

bool HandleSize(FileHandle handle, _qword& size) {
    struct stat status;
    if (fstat(ToDescriptor(handle), &status) != 0)
        return false;
    size = _qword(status.st_size);
    return true;
}

bool TruncateHandle(FileHandle handle) {
    int descriptor = ToDescriptor(handle);
    off_t position = lseek(descriptor, 0, SEEK_CUR);
    return position >= 0 && ftruncate(descriptor, position) == 0;
}

bool MakeDirectory(const char16_t* path) {
    NativePath native(path);
    return mkdir(native.Text(), 0777) == 0;
}

bool RemoveEmptyDirectory(const char16_t* path) {
    // Nothing to clear first: removal depends on the parent's permissions, not the folder's.
    NativePath native(path);
    return rmdir(native.Text()) == 0;
}

bool CopyExisting(const char16_t* from, const char16_t* to) {
    NativePath source(from);
    NativePath target(to);
    int input = OpenRetrying(source.Text(), O_RDONLY);
    if (input < 0)
        return false;
    struct stat sourceStatus;
    struct stat targetStatus;
    bool copied = false;
    int output = -1;
    if (fstat(input, &sourceStatus) == 0 && !S_ISDIR(sourceStatus.st_mode))
        output = OpenRetrying(target.Text(), O_WRONLY | O_CREAT, sourceStatus.st_mode & 0777);
    // Truncating only after the check keeps a copy onto itself from emptying the source.
    if (output >= 0 && fstat(output, &targetStatus) == 0 &&
        (targetStatus.st_dev != sourceStatus.st_dev || targetStatus.st_ino != sourceStatus.st_ino)) {
        copied = ftruncate(output, 0) == 0 && CopyContent(input, output);
        // CopyFileW carries the attributes over, read-only included.
        if (copied)
            fchmod(output, sourceStatus.st_mode & 07777);
        else
            unlink(target.Text());
    }
    if (output >= 0)
        close(output);
    close(input);
    return copied;
}

bool MoveExisting(const char16_t* from, const char16_t* to) {
    NativePath source(from);
    NativePath target(to);
    return rename(source.Text(), target.Text()) == 0;
}

_qword FreeSpaceOf(const char16_t* directory) {
    NativePath native(directory);
    struct stat status;
    struct statvfs volume;
    // GetDiskFreeSpaceExW takes only directories; statvfs would take any path.
    if (stat(native.Text(), &status) != 0 || !S_ISDIR(status.st_mode) || statvfs(native.Text(), &volume) != 0)
        return 0;
    return _qword(volume.f_bavail) * _qword(volume.f_frsize);
}

bool MakeCurrent(const char16_t* path) {
    NativePath native(path);
    return chdir(native.Text()) == 0;
}

bool IsLink(const char16_t* path) {
    NativePath native(path);
    struct stat status;
    return lstat(native.Text(), &status) == 0 && S_ISLNK(status.st_mode);
}

bool RemoveLink(const char16_t* path) {
    NativePath native(path);
    return unlink(native.Text()) == 0;
}

WString FullPath(const char16_t* path) {
    NativePath native(path);
    char* full = realpath(native.Text(), nullptr);
    if (full == nullptr)
        return WString(path);
    WString result = FromNative(full);
    free(full);
    return result;
}

void ListEntries(const char16_t* directory, EntryCallback callback, void* state) {
    // As with the Win32 pattern "%ls\*.*", an empty directory stands for the root.
    WString withSeparator(directory);
    withSeparator.AppendChar(u'\\');
    NativePath native(withSeparator);
    DIR* listing = opendir(native.Text());
    if (listing == nullptr)
        return;
    while (const dirent* entry = readdir(listing)) {
        const char* name = entry->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
            continue;
        // A symbolic link counts as a file, so walking or removing a tree never leaves it.
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat status;
            isDirectory = fstatat(dirfd(listing), name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode);
        }
        WString engineName = FromNative(name);
        callback(engineName, isDirectory, state);
    }
    closedir(listing);
}

} // namespace FileBackend

void File::CloseHandle(FileHandle handle) {
    if (handle != nullptr)
        close(ToDescriptor(handle));
}

namespace FileSystem {

bool IsFile(const char16_t* path) {
    struct stat status;
    return StatPath(path, status) && !S_ISDIR(status.st_mode);
}

bool IsDirectory(const char16_t* path) {
    struct stat status;
    return StatPath(path, status) && S_ISDIR(status.st_mode);
}

bool DeleteFile(const char16_t* path) {
    // Unlinking ignores the file's own permissions, so there is no attribute to reset.
    NativePath native(path);
    return unlink(native.Text()) == 0;
}

bool IsReadOnly(const char16_t* path) {
    struct stat status;
    return StatPath(path, status) && (status.st_mode & 0222) == 0;
}

bool SetReadOnly(const char16_t* path, bool readOnly) {
    struct stat status;
    if (!StatPath(path, status))
        return false;
    mode_t permissions = status.st_mode & 07777;
    mode_t wanted = readOnly ? permissions & ~mode_t(0222) : permissions | S_IWUSR;
    if (wanted == permissions)
        return true;
    NativePath native(path);
    return chmod(native.Text(), wanted) == 0;
}

WString TemporaryName(const char16_t* directory, const char16_t* prefix) {
    // As GetTempFileNameW: the folder, up to three characters of the prefix, a unique part
    // and ".tmp"; the file is created so that the name stays taken.
    static const char16_t _UNIQUE[] = u"XXXXXX.tmp";
    constexpr int _UNIQUE_CHARS = 6;
    constexpr int _SUFFIX_CHARS = 4;
    WString name(directory);
    if (!name.IsEmpty() && name[name.Length() - 1] != u'\\' && name[name.Length() - 1] != u'/')
        name.AppendChar(u'\\');
    int prefixChars = Text::Length(NonNull(prefix));
    name.Append(WString(NonNull(prefix), prefixChars < 3 ? prefixChars : 3));
    name.Append(_UNIQUE);
    NativePath native(name);
    char* pattern = native.Writable();
    if (pattern == nullptr)
        return WString();
    int descriptor = mkstemps(pattern, _SUFFIX_CHARS);
    if (descriptor < 0)
        return WString();
    close(descriptor);
    // The unique characters are ASCII; the rest keeps the caller's spelling.
    int patternLength = int(strlen(pattern));
    int start = name.Length() - _UNIQUE_CHARS - _SUFFIX_CHARS;
    for (int i = 0; i < _UNIQUE_CHARS; i++)
        name.text[start + i] = char16_t(pattern[patternLength - _UNIQUE_CHARS - _SUFFIX_CHARS + i]);
    return name;
}

WString CurrentDirectory() {
    char path[PATH_MAX];
    if (getcwd(path, sizeof(path)) == nullptr)
        return WString();
    return FromNative(path);
}

WString SpecialFolderPath(SpecialFolder) { return WString(); }

WString TemporaryFolder() {
    const char* folder = getenv("TMPDIR");
    if (folder == nullptr || folder[0] == 0)
        folder = "/tmp";
    int length = int(strlen(folder));
    // GetTempPathW's trailing separator is dropped; the root keeps its only character.
    if (length > 1 && folder[length - 1] == '/')
        length--;
    return FromNative(folder, length);
}

WString ProgramPath() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof(path));
    // A full buffer means the path was cut.
    if (length <= 0 || size_t(length) >= sizeof(path))
        return WString();
    return FromNative(path, int(length));
}

bool LoadResource(void*, const char16_t*, ByteBuffer&) { return false; }

} // namespace FileSystem

} // namespace Volux
