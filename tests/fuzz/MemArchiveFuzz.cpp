// Opens the input as a memory-archive export blob (packed or plain) and reads every record.
#include <cstdint>

#include "Common/EngineContext.h"
#include "Storage/MemArchive.h"

using namespace Volux;

namespace {
int Quiet(const char16_t*, void*, bool) { return 1; }

bool ReadOne(const char16_t* name, void* arg1, void*) {
    IDataStream* stream = static_cast<MemArchive*>(arg1)->OpenStream(name);
    if (stream != nullptr) {
        ByteBuffer bytes;
        stream->ReadAll(bytes, false);
        delete stream;
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EngineContext::Get().printSink = {&Quiet, nullptr};
    EngineContext::Get().errorSink = {&Quiet, nullptr};
    MemArchive archive(nullptr, u"", u"");
    if (archive.Open(data, _dword(size)))
        archive.Enumerate(&ReadOne, &archive, nullptr);
    return 0;
}
