#include "launcher/LoaderFile.h"

#include "Common/ByteBuffer.h"
#include "Common/Compression.h"
#include "Common/Log.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "launcher/InstallFolder.h"

namespace Volux {

namespace {

// Writes the resource named file to target; false when there is no such resource or the
// write failed (logged).
bool WriteLoaderResource(const char16_t* file, const char16_t* target, bool unpack) {
    ByteBuffer bytes;
    if (!FileSystem::LoadResource(nullptr, file, bytes))
        return false;
    if (unpack && !UnpackBuffer(bytes)) {
        PrintBoth(u"[MC] Failed to create loader file %ls", target);
        return false;
    }
    if (!FileSystem::WriteFile(target, bytes.data, _dword(bytes.size))) {
        PrintBoth(u"[MC] Failed to create loader file %ls", target);
        return false;
    }
    return true;
}

WString InstallFolderOf(const LauncherState& state) {
    return PlainInstallFolder(FileSystem::SpecialFolderPath(FileSystem::_PROFILE), state.appName,
                              state.useCurrentPath != 0);
}

} // namespace

WString LoaderTargetPath(const char16_t* installFolder, const char16_t* file, bool inDataFolder) {
    // Only the name counts, whichever separator the script used: a script cannot place the
    // library outside the install folder.
    const char16_t* name = NonNull(file);
    for (const char16_t* at = name; *at != 0; at++) {
        if (*at == u'\\' || *at == u'/' || *at == u':')
            name = at + 1;
    }
    if (name[0] == 0 || Text::Equals(name, u".") || Text::Equals(name, u".."))
        return WString();
    if (inDataFolder)
        return Format(u"%ls\\data\\%ls", NonNull(installFolder), name);
    return Format(u"%ls\\%ls", NonNull(installFolder), name);
}

void SetLoaderFile(LauncherState& state, const char16_t* file, bool force) {
    if (file == nullptr || file[0] == 0)
        return;
    bool inData = state.useCurrentPath != 0;
    WString target = LoaderTargetPath(InstallFolderOf(state), file, inData);
    if (target.IsEmpty())
        return;
    if (inData)
        FileSystem::CreateDirectories(Path::DirectoryOf(target, true));
    if (!force && FileSystem::IsFile(target))
        return;
    if (WriteLoaderResource(file, target, true) && force)
        state.loaderFile = target;
}

void StartLoaderFile(LauncherState& state, const char16_t* file) {
    if (file == nullptr || file[0] == 0)
        return;
    WString target = LoaderTargetPath(InstallFolderOf(state), file, false);
    if (target.IsEmpty())
        return;
    WriteLoaderResource(file, target, false);
    state.loaderFile = target;
}

} // namespace Volux
