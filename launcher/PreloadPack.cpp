#include "launcher/PreloadPack.h"

#include "Common/Log.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Storage/ResourceManager.h"
#include "launcher/InstallFolder.h"

namespace Volux {

namespace {

// Copies "<pack>\<name>" to "<install>\<name>" when the pack has it.
void CopyFromPack(const char16_t* pack, const char16_t* install, const char16_t* name) {
    WString from = Format(u"%ls\\%ls", pack, name);
    if (!FileSystem::IsFile(from))
        return;
    WString to = Format(u"%ls\\%ls", install, name);
    if (!FileSystem::CopyFile(from, to))
        PrintBoth(u"[MC] Copy preload file %ls to %ls fail", from.Text(), to.Text());
}

} // namespace

bool InstallPreloadPack(const char16_t* moduleFolder, const char16_t* installFolder, const char16_t* packFolder,
                        const char16_t* packName) {
    if (!IsPlainName(packName)) {
        PrintBoth(u"[MC] Preload pack name %ls is not a file name", NonNull(packName));
        return false;
    }
    WString pack = Format(u"%ls\\%ls", NonNull(moduleFolder), NonNull(packFolder));
    const char16_t* install = NonNull(installFolder);
    CopyFromPack(pack, install, u"volux3d.lod");
    CopyFromPack(pack, install, Format(u"%ls.qob", packName));
    CopyFromPack(pack, install, Format(u"%ls.qoc", packName));

    WString archive = Format(u"%ls.qod", packName);
    WString installed = Format(u"%ls\\%ls", install, archive.Text());
    if (!FileSystem::IsFile(Format(u"%ls\\%ls", pack.Text(), archive.Text())))
        return true;
    if (!FileSystem::IsFile(installed)) {
        CopyFromPack(pack, install, archive);
        return true;
    }
    WString packed = Format(u"%ls\\%ls", pack.Text(), archive.Text());
    if (MergeHashArchiveFile(*GetResourceManager(), packed, installed))
        return true;
    PrintBoth(u"[MC] Preload pack %ls not merged into %ls", packed.Text(), installed.Text());
    return false;
}

} // namespace Volux
