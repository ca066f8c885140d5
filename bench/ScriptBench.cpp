// Native calls from scripts through the host against plain lua_CFunctions doing the same
// work with the raw C API: a method with two integers and a text, and a property read.
#include <benchmark/benchmark.h>

#include <cstring>

#include <lua.hpp>

#include "Common/EngineContext.h"
#include "Common/StringEncoding.h"
#include "Script/LuaScriptManager.h"

using namespace Volux;

namespace {

constexpr int _CALLS = 10000000;

class Counter : public ScriptObject {
public:
    int value = 1;
    char16_t lastText[64] = {};
};

Counter sCounter;

// Engine side: methods in the convenient form; their thunk does BeginCall and FetchThis.
int AddMethod(IScriptManager& scripts, ScriptObject* self) {
    int a = scripts.GetArgInt32(0);
    int b = scripts.GetArgInt32(1);
    const char16_t* text = scripts.GetArgString(2);
    int value = self != nullptr ? static_cast<Counter*>(self)->value : 0;
    return scripts.ReturnInt32(a + b + value + (text[0] != 0 ? 1 : 0));
}

int ValueGetter(IScriptManager& scripts, ScriptObject* self) {
    return scripts.ReturnInt32(self != nullptr ? static_cast<Counter*>(self)->value : 0);
}

// Reference side: a full userdata holding the object pointer, methods and the getter
// reached through the usual metatable idioms.
const char* const _REFERENCE_TYPE = "CounterRef";

Counter* CheckCounter(lua_State* state) {
    return *static_cast<Counter**>(luaL_checkudata(state, 1, _REFERENCE_TYPE));
}

int ReferenceAdd(lua_State* state) {
    Counter* self = CheckCounter(state);
    int a = int(lua_tointeger(state, 2));
    int b = int(lua_tointeger(state, 3));
    size_t length = 0;
    const char* utf8 = lua_tolstring(state, 4, &length);
    char16_t text[1024];
    Utf8ToWide(text, 1024, utf8 != nullptr ? utf8 : "", int(length));
    lua_pushinteger(state, a + b + self->value + (text[0] != 0 ? 1 : 0));
    return 1;
}

int ReferenceIndex(lua_State* state) {
    Counter* self = CheckCounter(state);
    const char* key = lua_tostring(state, 2);
    if (key != nullptr && strcmp(key, "value") == 0) {
        lua_pushinteger(state, self->value);
        return 1;
    }
    lua_getmetatable(state, 1);
    lua_getfield(state, -1, "methods");
    lua_pushvalue(state, 2);
    lua_rawget(state, -2);
    return 1;
}

void RunLoop(benchmark::State& loop, lua_State* state, const char* script) {
    if (luaL_loadstring(state, script) != 0) {
        loop.SkipWithError(lua_tostring(state, -1));
        return;
    }
    int ref = luaL_ref(state, LUA_REGISTRYINDEX);
    for (auto _ : loop) {
        lua_rawgeti(state, LUA_REGISTRYINDEX, ref);
        lua_pushinteger(state, _CALLS);
        if (lua_pcall(state, 1, 1, 0) != 0) {
            loop.SkipWithError(lua_tostring(state, -1));
            return;
        }
        benchmark::DoNotOptimize(lua_tointeger(state, -1));
        lua_pop(state, 1);
    }
    loop.SetItemsProcessed(loop.iterations() * _CALLS);
}

const char* const _CALL_LOOP = "local n = ... local o = object local s = 0 for i = 1, n do s = s + o:add(i, 2, 'x') end return s";
const char* const _READ_LOOP = "local n = ... local o = object local s = 0 for i = 1, n do s = s + o.value end return s";

// withProperties: the object's class has the getter (the property benchmark), else only
// the method, as the reference's "__index" differs the same way.
void EngineState(LuaScriptManager& scripts, bool withProperties) {
    scripts.BeginClass(u"Counter", nullptr);
    RegisterMethod(scripts, u"add", &AddMethod);
    if (withProperties)
        RegisterAccessors(scripts, u"value", &ValueGetter, nullptr);
    scripts.EndClass();
    scripts.BindObject(u"Counter", &sCounter, false);
    scripts.AddBindingRef(&sCounter);  // a static object: never deleted by a collection
    scripts.PushObject(&sCounter);
    lua_setglobal(scripts.GetState(), "object");
}

// withProperties: "__index" is the function serving properties (then methods); without,
// the methods table itself, the cheapest method look-up there is.
lua_State* ReferenceState(bool withProperties) {
    lua_State* state = luaL_newstate();
    luaL_openlibs(state);
    luaJIT_setmode(state, 0, LUAJIT_MODE_ENGINE | LUAJIT_MODE_OFF);
    luaL_newmetatable(state, _REFERENCE_TYPE);
    lua_newtable(state);
    lua_pushcfunction(state, &ReferenceAdd);
    lua_setfield(state, -2, "add");
    lua_pushvalue(state, -1);
    lua_setfield(state, -3, "methods");
    if (withProperties) {
        lua_pop(state, 1);
        lua_pushcfunction(state, &ReferenceIndex);
    }
    lua_setfield(state, -2, "__index");
    lua_pop(state, 1);
    Counter** box = static_cast<Counter**>(lua_newuserdata(state, sizeof(Counter*)));
    *box = &sCounter;
    luaL_getmetatable(state, _REFERENCE_TYPE);
    lua_setmetatable(state, -2);
    lua_setglobal(state, "object");
    return state;
}

void NativeCall_Engine(benchmark::State& loop) {
    LuaScriptManager scripts;
    EngineState(scripts, false);
    RunLoop(loop, scripts.GetState(), _CALL_LOOP);
    scripts.ReleaseBindingRef(&sCounter);
    scripts.FreeBinding(&sCounter);
}

void NativeCall_Reference(benchmark::State& loop) {
    lua_State* state = ReferenceState(false);
    RunLoop(loop, state, _CALL_LOOP);
    lua_close(state);
}

void PropertyRead_Engine(benchmark::State& loop) {
    LuaScriptManager scripts;
    EngineState(scripts, true);
    RunLoop(loop, scripts.GetState(), _READ_LOOP);
    scripts.ReleaseBindingRef(&sCounter);
    scripts.FreeBinding(&sCounter);
}

void PropertyRead_Reference(benchmark::State& loop) {
    lua_State* state = ReferenceState(true);
    RunLoop(loop, state, _READ_LOOP);
    lua_close(state);
}

} // namespace

BENCHMARK(NativeCall_Engine)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(NativeCall_Reference)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PropertyRead_Engine)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PropertyRead_Reference)->Unit(benchmark::kMillisecond)->Iterations(1);
