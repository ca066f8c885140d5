// The disk archive's lists: the input is read as a resource list (binary manifest form) and
// as a deleted list, through a disk archive opened over a scratch folder.
#include <unistd.h>

#include <cstdint>

#include "Common/EngineContext.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Storage/DiskArchive.h"

using namespace Volux;

namespace {
int Quiet(const char16_t*, void*, bool) { return 1; }

const WString& Folder() {
    static WString folder = Format(u"%ls\\diskfuzz-%d", FileSystem::TemporaryFolder().Text(), int(getpid()));
    return folder;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EngineContext::Get().printSink = {&Quiet, nullptr};
    EngineContext::Get().errorSink = {&Quiet, nullptr};
    const WString& folder = Folder();
    WString root = Format(u"%ls\\root", folder.Text());
    FileSystem::CreateDirectories(root);
    if (!FileSystem::WriteFile(Format(u"%ls\\list.asset", folder.Text()), data, _dword(size)) ||
        !FileSystem::WriteFile(Format(u"%ls/volux3d.deleted", root.Text()), data, _dword(size)))
        return 0;
    DiskArchive archive(nullptr, u"", root, Format(u">%ls\\list", folder.Text()));
    if (archive.Open(nullptr)) {
        archive.Enumerate(nullptr, nullptr, nullptr);
        archive.HasResource(u"a\\b.txt");
    }
    ByteBuffer manifest;
    manifest.Attach(data, _dword(size), false);
    DiskArchive owned(nullptr, u"", root, u"");
    owned.Open(&manifest);
    return 0;
}
