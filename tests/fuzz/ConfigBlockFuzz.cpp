// Feeds the input to the "LUC1" block reader as a file's bytes. Every block that reads
// must write back and read again to the same bytes, and expand into a script table.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <lua.hpp>

#include "Common/EngineContext.h"
#include "Script/ConfigBlock.h"

using namespace Volux;

namespace {
int Discard(const char16_t*, void*, bool) { return 1; }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static lua_State* sState = [] {
        EngineContext& context = EngineContext::Get();
        context.printSink = {&Discard, nullptr};
        context.errorSink = {&Discard, nullptr};
        return luaL_newstate();
    }();
    if (size > 0xFFFFFFF)
        return 0;
    _dword offset = 0;
    while (ConfigTree::StartsBlock(data + offset, _dword(size) - offset)) {
        _dword start = offset;
        WString name;
        ConfigTree* tree = ConfigTree::ReadBlock(data, _dword(size), offset, name);
        if (tree == nullptr)
            break;
        if (offset <= start || offset > size)
            abort();  // a block that read nothing or past the end
        ByteBuffer written;
        if (!tree->Write(written, name))
            abort();
        _dword again = 0;
        WString secondName;
        ConfigTree* reread = ConfigTree::ReadBlock(written.data, written.size, again, secondName);
        if (reread == nullptr || again != written.size || secondName != name)
            abort();
        ByteBuffer rewritten;
        if (!reread->Write(rewritten, secondName) || rewritten.size != written.size ||
            memcmp(rewritten.data, written.data, written.size) != 0)
            abort();
        int top = lua_gettop(sState);
        tree->PushTable(sState);
        lua_settop(sState, top);
        delete reread;
        delete tree;
    }
    return 0;
}
