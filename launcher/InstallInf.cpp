#include "launcher/InstallInf.h"

#include "Common/ByteBuffer.h"
#include "Common/Log.h"
#include "Common/StringFormatter.h"
#include "Common/StringReader.h"
#include "Platform/File.h"

namespace Volux {

WString DefaultInstallFolder(const char16_t* profileFolder, const char16_t* appName) {
    appName = NonNull(appName);
    if (appName[0] == 0)
        return Format(u"%ls\\volux", NonNull(profileFolder));
    return Format(u"%ls\\volux\\%ls", NonNull(profileFolder), appName);
}

WString InstallInfPath(const char16_t* profileFolder, const char16_t* appName) {
    return Format(u"%ls\\%ls", DefaultInstallFolder(profileFolder, appName).Text(), _INSTALL_INF);
}

WString ReadInstallInf(const char16_t* path) {
    File file;
    if (!file.Open(path, File::_READ))
        return WString();
    // Checked before anything is allocated: the file is anyone's to write.
    _qword size = file.Size();
    if (size == 0 || size > _MAX_INSTALL_INF_BYTES || size % 2 != 0)
        return WString();
    ByteBuffer bytes;
    if (!bytes.Allocate(_dword(size)) || !file.Read(bytes.data, _dword(size)))
        return WString();
    StringReader reader;
    WString folder;
    if (!reader.Attach(bytes.data, bytes.size, false) || !reader.ReadRest(folder))
        return WString();
    // A string ends at its first NUL, so a text shorter than the file held a NUL: the path
    // would end early for every system call, and the file is not one we wrote.
    if (reader.encoding != StringReader::_UTF16 || folder.Length() * 2 + reader.bomLength != int(size))
        return WString();
    if (!Path::IsAbsolutePath(folder) || !FileSystem::IsDirectory(folder))
        return WString();
    return folder;
}

bool WriteInstallInf(const char16_t* path, const char16_t* folder) {
    File file;
    if (!file.Open(path, File::_CREATE) || !file.WriteText(folder, 1)) {
        PrintBoth(u"[MC] Write install folder %ls into %ls fail", NonNull(folder), NonNull(path));
        return false;
    }
    return true;
}

} // namespace Volux
