#include "Storage/DataArchive.h"

#include <cstring>

#include "Common/Compression.h"
#include "Storage/ResourceManager.h"

namespace Volux {

namespace {

struct ExportWalk {
    ByteBuffer* out;
    bool failed;
};

void AppendU32(ByteBuffer& out, _dword value, bool& failed) {
    _byte bytes[4] = {_byte(value), _byte(value >> 8), _byte(value >> 16), _byte(value >> 24)};
    if (!out.Append(bytes, 4))
        failed = true;
}

bool ExportOne(const char16_t* name, void* arg1, void*) {
    ExportWalk& walk = *static_cast<ExportWalk*>(arg1);
    IResourceManager* manager = GetResourceManager();
    ByteBuffer data;
    if (manager == nullptr || !manager->LoadResource(name, data, true) || data.size == 0)
        return true;
    int length = Text::Length(name);
    AppendU32(*walk.out, _dword(length), walk.failed);
    for (int i = 0; i <= length; i++) {
        _byte unit[2] = {_byte(name[i]), _byte(name[i] >> 8)};
        if (!walk.out->Append(unit, 2))
            walk.failed = true;
    }
    AppendU32(*walk.out, data.size, walk.failed);
    if (!walk.out->Append(data.data, data.size))
        walk.failed = true;
    return !walk.failed;
}

} // namespace

DataArchive::DataArchive(CriticalSection* lock, const char16_t* name, const char16_t* source)
    : mLock(lock), mName(NonNull(name)), mSource(NonNull(source)) {
    Text::ReplaceChar(mName.text, u'/', u'\\');
    mName.TrimRight(u"\\ ");
    if (mName == u".")
        mName = u"";
}

WString DataArchive::NormalName(const char16_t* name) {
    WString result(NonNull(name));
    if (result.length == 0)
        return result;
    char16_t* start = Path::NormalizePath(result.text);
    result.length = _dword(Text::Length(result.text));
    if (start != result.text)
        return WString(start);
    return result;
}

bool DataArchive::Export(ByteBuffer& buffer) {
    buffer.Reset();
    ExportWalk walk{&buffer, false};
    if (Enumerate(&ExportOne, &walk, nullptr) < 0 || walk.failed)
        return false;
    if (buffer.size == 0)
        return true;
    return PackBuffer(buffer, true);
}

bool PackArchive::OpenPackFile(File& file, const char16_t* path, bool writable, _dword startOffset) {
    bool opened = writable && file.Open(path, File::_UPDATE);
    if (!opened)
        opened = file.Open(path, File::_READ);
    if (!opened)
        return false;
    return startOffset == 0 || file.Seek(startOffset);
}

} // namespace Volux
