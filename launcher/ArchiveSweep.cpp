#include "launcher/ArchiveSweep.h"

#include "Common/Log.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"

namespace Volux {

namespace {

struct Sweep {
    const char16_t* folder;
    const char16_t* resName;
    int deleted;
};

void SweepFile(const char16_t* name, void* context, void*) {
    Sweep& sweep = *static_cast<Sweep*>(context);
    if (!IsStaleArchive(name, sweep.resName))
        return;
    WString path = Format(u"%ls\\%ls", sweep.folder, name);
    FileSystem::SetReadOnly(path, false);
    if (FileSystem::DeleteFile(path))
        sweep.deleted++;
    else
        PrintBoth(u"[MC] Delete stale archive %ls fail", path.Text());
}

} // namespace

bool IsStaleArchive(const char16_t* fileName, const char16_t* resName) {
    WStringPtr name(fileName);
    WStringPtr prefix(resName);
    // Without a resource name every archive would match; there is nothing to tell old from new.
    if (prefix.IsEmpty() || !name.StartsWith(prefix, false))
        return false;
    int dot = name.FindLastChar(u'.');
    if (dot < 0)
        return false;
    WStringPtr extension(name.Text() + dot + 1);
    if (extension.FindText(u"qod", false) < 0)
        return false;
    bool current = extension.Length() == 3 && dot <= prefix.Length();
    return !current;
}

int SweepStaleArchives(const char16_t* folder, const char16_t* resName) {
    WString root(folder);
    root.TrimRight(u"\\/");
    Sweep sweep = {root.Text(), NonNull(resName), 0};
    FileSystem::Walk(root, false, SweepFile, &sweep, nullptr);
    return sweep.deleted;
}

} // namespace Volux
