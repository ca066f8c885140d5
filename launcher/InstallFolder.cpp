#include "launcher/InstallFolder.h"

#include <windows.h>

#include "Common/Log.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "launcher/InstallInf.h"
#include "Platform/WideText_win32.h"

namespace Volux {

namespace {

// The name as it may be used in a path; a name that could leave the folder is dropped.
const char16_t* UsableAppName(const char16_t* appName) {
    appName = NonNull(appName);
    if (appName[0] == 0 || IsPlainName(appName))
        return appName;
    PrintBoth(u"[MC] Application name %ls is not a folder name, ignored", appName);
    return _EMPTY_TEXT;
}

// Hidden so the player does not stumble over the game's data beside the program.
void HideFolder(const char16_t* folder) {
    DWORD attributes = GetFileAttributesW(WidePtr(folder));
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_HIDDEN) != 0)
        return;
    if (!SetFileAttributesW(WidePtr(folder), attributes | FILE_ATTRIBUTE_HIDDEN))
        PrintBoth(u"[MC] Hide folder %ls fail, error %d", folder, int(GetLastError()));
}

WString MakeCurrent(const char16_t* folder) {
    if (!FileSystem::CreateDirectories(folder))
        PrintBoth(u"[MC] Create install folder %ls fail", folder);
    FileSystem::ChangeDirectory(folder);
    return FileSystem::CurrentDirectory();
}

} // namespace

bool IsPlainName(const char16_t* name) {
    // The system drops trailing dots and spaces from a path element, so "..." or ". ." would
    // name the parent or the folder itself.
    bool onlyDots = true;
    for (const char16_t* at = NonNull(name); *at != 0; at++) {
        if (*at == u'\\' || *at == u'/' || *at == u':')
            return false;
        if (*at != u'.' && *at != u' ')
            onlyDots = false;
    }
    return !onlyDots;
}

WString PlainInstallFolder(const char16_t* profileFolder, const char16_t* appName, bool useCurrentPath) {
    if (useCurrentPath)
        return FileSystem::CurrentDirectory();
    appName = UsableAppName(appName);
    WString named = ReadInstallInf(InstallInfPath(profileFolder, appName));
    return named.IsEmpty() ? DefaultInstallFolder(profileFolder, appName) : named;
}

WString SetUpInstallFolder(const char16_t* profileFolder, const char16_t* appName, const char16_t* moduleFolder,
                           bool useCurrentPath) {
    WString dataFolder = Format(u"%ls\\data", NonNull(moduleFolder));
    if (useCurrentPath) {
        FileSystem::CreateDirectories(dataFolder);
        HideFolder(dataFolder);
        return MakeCurrent(dataFolder);
    }
    appName = UsableAppName(appName);
    WString infPath = InstallInfPath(profileFolder, appName);
    // A data folder beside the program is adopted once, on the first start that finds no
    // install.inf; afterwards install.inf decides.
    if (!FileSystem::IsFile(infPath) && FileSystem::IsDirectory(dataFolder)) {
        WriteInstallInf(infPath, dataFolder);
        return MakeCurrent(dataFolder);
    }
    return MakeCurrent(PlainInstallFolder(profileFolder, appName, false));
}

WString ChooseInstallFolder(const char16_t* profileFolder, const char16_t* appName, int neededMegabytes,
                            const DriveServices& drives) {
    appName = UsableAppName(appName);
    if (appName[0] == 0)
        return FileSystem::CurrentDirectory();
    WString infPath = InstallInfPath(profileFolder, appName);
    WString named = ReadInstallInf(infPath);
    if (!named.IsEmpty())
        return named;
    WString folder;
    char16_t letter = ChooseInstallDrive(drives, neededMegabytes);
    if (letter == 0 || letter == u'c')
        folder = DefaultInstallFolder(profileFolder, appName);
    else
        folder = Format(u"%lc:\\volux\\%ls", letter, appName);
    WriteInstallInf(infPath, folder);
    return folder;
}

} // namespace Volux
