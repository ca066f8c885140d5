// Opens the input as a hash archive file (read-only, then writable), reads every resource it
// lists, writes, replaces and deletes a few to drive the free-region code over whatever the
// file claimed, and runs the whole-file check.
#include <unistd.h>

#include <cstdint>
#include <string>

#include "Common/EngineContext.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Storage/HashArchive.h"
#include "Storage/HashArchiveCheck.h"

using namespace Volux;

namespace {

int Quiet(const char16_t*, void*, bool) { return 1; }

bool ReadOne(const char16_t* key, void* arg1, void*) {
    HashArchive& archive = *static_cast<HashArchive*>(arg1);
    IDataStream* stream = archive.OpenStream(key);
    if (stream != nullptr) {
        ByteBuffer bytes;
        stream->ReadAll(bytes, false);
        stream->IsCompressed();
        delete stream;
    }
    return true;
}

const WString& ScratchPath() {
    static WString path = Format(u"%ls\\hashfuzz-%d.qod", FileSystem::TemporaryFolder().Text(), int(getpid()));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EngineContext::Get().printSink = {&Quiet, nullptr};
    EngineContext::Get().errorSink = {&Quiet, nullptr};
    const WString& path = ScratchPath();
    if (!FileSystem::WriteFile(path, data, _dword(size)))
        return 0;
    CriticalSection lock;
    {
        HashArchive archive(&lock, u"");
        if (archive.Open(path, false, 0))
            archive.Enumerate(&ReadOne, &archive, nullptr);
    }
    {
        HashArchive archive(&lock, u"");
        if (archive.Open(path, true, 4)) {
            archive.Enumerate(&ReadOne, &archive, nullptr);
            std::string small(40, 's'), large(300, 'l');
            archive.WriteResource(u"fuzz\\a", small.data(), _dword(small.size()), Md5Digest());
            archive.WriteResource(u"fuzz\\b", large.data(), _dword(large.size()), Md5Digest());
            archive.WriteResource(u"fuzz\\a", large.data(), _dword(large.size()), Md5Digest());
            archive.DeleteResource(u"fuzz\\b");
            archive.DeleteResource(u"fuzz\\a");
        }
    }
    ArchiveCheckReport report;
    CheckHashArchive(path, report);
    return 0;
}
