// Script states, loading and running script text, error capture and logging, globals,
// registry references and calls into script functions.
#include "Script/LuaScriptManager.h"

#include <cstdio>

#include "Common/EngineContext.h"
#include "Common/Log.h"
#include "Common/Memory.h"
#include "Common/StringEncoding.h"
#include "Platform/File.h"
#include "Storage/ResourceManager.h"
#include "Script/ConfigBlock.h"
#include "ScriptHost.h"

namespace Volux {

namespace {

constexpr const char16_t* _SOURCE = u"Script/LuaScriptManager";

// Message handler of every protected call: text errors gain the stack traceback.
int TracebackHandler(lua_State* state) {
    if (!lua_isstring(state, 1))  // also true for numbers
        return 1;
    lua_getglobal(state, "debug");
    if (!lua_istable(state, -1)) {
        lua_pop(state, 1);
        return 1;
    }
    lua_getfield(state, -1, "traceback");
    if (!lua_isfunction(state, -1)) {
        lua_pop(state, 2);
        return 1;
    }
    lua_pushvalue(state, 1);
    lua_pushinteger(state, 2);
    lua_call(state, 2, 1);
    return 1;
}

// (table, name) -> table[name] with metamethods, run under a protected call so that a
// failing getter becomes a script error instead of a panic.
int ReadFieldProtected(lua_State* state) {
    lua_gettable(state, 1);
    return 1;
}

const lua_CFunction _LIBRARIES[] = {luaopen_base, luaopen_table, luaopen_string, luaopen_math,
                                    luaopen_bit,  luaopen_debug, luaopen_jit};

} // namespace

WString WideOf(const char* utf8, size_t length) {
    if (utf8 == nullptr || length == 0)
        return WString();
    int count = length > size_t(_MAX_ALLOCATION / 4) ? int(_MAX_ALLOCATION / 4) : int(length);
    char16_t* wide = Utf8ToWide(nullptr, 0, utf8, count);
    if (wide == nullptr)
        return WString();
    WString result(wide);
    MemFree(wide);
    return result;
}

WString WideOf(const char* utf8) { return WideOf(utf8, utf8 != nullptr ? Text::Length(utf8) : 0); }

char* Utf8Of(const char16_t* text, int* length) {
    char* utf8 = WideToUtf8(nullptr, 0, NonNull(text), -1, length);
    if (utf8 == nullptr) {
        utf8 = static_cast<char*>(MemAlloc(1));
        if (utf8 != nullptr)
            utf8[0] = 0;
        if (length != nullptr)
            *length = 0;
    }
    return utf8;
}

namespace {
// Function references owned by Variables (values read from scripts) are registry references
// of one state, named by its serial. They are duplicated and released in that state only:
// one the engine's script manager does not have (gone with its manager, or another
// manager's) is left alone.
int32_t DuplicateFunctionRef(int32_t ref, _dword owner) {
    IScriptManager* scripts = EngineContext::Get().scriptManager;
    return scripts != nullptr ? static_cast<LuaScriptManager*>(scripts)->DuplicateRef(ref, owner) : 0;
}

void ReleaseFunctionRef(int32_t ref, _dword owner) {
    IScriptManager* scripts = EngineContext::Get().scriptManager;
    if (scripts != nullptr)
        static_cast<LuaScriptManager*>(scripts)->ReleaseRefOf(ref, owner);
}

const VariableFunctionHooks _FUNCTION_HOOKS = {&DuplicateFunctionRef, &ReleaseFunctionRef};

// The last serial given to a state, by any manager of the process; 0 names none.
_dword sLastSerial = 0;

// The operation GuardEntry is to run. Scripts can reach the entry through the registry:
// it only runs the record the host's call just handed it.
struct GuardRecord {
    LuaScriptManager::GuardBody body;
    void* context;
};
GuardRecord* sPendingGuard = nullptr;

int GuardEntry(lua_State* state) {
    GuardRecord* record = static_cast<GuardRecord*>(lua_touserdata(state, 1));
    if (record == nullptr || record != sPendingGuard)
        return luaL_error(state, "host entry called out of turn");
    sPendingGuard = nullptr;
    lua_remove(state, 1);  // the carried values are the body's stack
    return record->body(state, record->context);
}

int FullCollection(lua_State* state, void*) {
    lua_gc(state, LUA_GCCOLLECT, 0);
    return 0;
}

// How many attempts a full collection makes to get past failing finalisers.
constexpr int _COLLECTION_ATTEMPTS = 8;

struct StateSetUpRecord {
    LuaScriptManager* manager;
    ScriptStateRecord* record;
    bool openLibraries;
};
} // namespace

LuaScriptManager::LuaScriptManager() {
    EngineContext::Get().scriptManager = this;
    Variable::SetFunctionHooks(&_FUNCTION_HOOKS);
    SwitchState(CreateState(nullptr));
}

LuaScriptManager::~LuaScriptManager() {
    if (profiling)
        DumpProfile();
    StopObservers();
    ReleaseArgTexts(0);
    char16_t* buffer = nullptr;
    while (textBuffers.Count() > 0 && textBuffers.Pop(&buffer))
        MemFree(buffer);
    while (mSpareCount > 0)
        MemFree(mSpareBuffers[--mSpareCount]);
    MemFree(utf8Buffer);
    utf8Buffer = nullptr;
    // Closing runs the collection hook of every object table; bindings are then freed
    // without touching the state that is going away.
    mClosing = true;
    for (ScriptStateRecord& record : states) {
        if (record.owned != 0 && record.state != nullptr) {
            lua_sethook(record.state, nullptr, 0, 0);
            lua_close(record.state);
        }
        record.state = nullptr;
    }
    ForgetObjectTables();
    mLuaState = nullptr;
    for (ConfigTree* tree : configTrees)
        delete tree;
    configTrees.Clear(true);
    for (auto* node = profileTable.First(); node != nullptr; node = profileTable.Next(node))
        delete node->value;
    profileTable.Clear();
    if (EngineContext::Get().scriptManager == this) {
        EngineContext::Get().scriptManager = nullptr;
        // References Variables still own went with the states: they are only forgotten.
        Variable::SetFunctionHooks(nullptr);
    }
}

int LuaScriptManager::SetUpState(lua_State* state) {
    StateSetUpRecord* setUp = static_cast<StateSetUpRecord*>(lua_touserdata(state, 1));
    lua_pop(state, 1);
    LuaScriptManager* manager = setUp->manager;
    ScriptStateRecord& record = *setUp->record;
    if (setUp->openLibraries) {
        for (lua_CFunction open : _LIBRARIES) {
            lua_pushcfunction(state, open);
            lua_call(state, 0, 0);
        }
        // The interpreter alone: traces would make profiling and the hooks unreliable.
        lua_getglobal(state, "jit");
        lua_getfield(state, -1, "off");
        if (lua_pcall(state, 0, 0, 0) != 0)
            lua_pop(state, 1);
        lua_pop(state, 1);
    }

    // Object map with weak values.
    lua_newtable(state);
    lua_newtable(state);
    lua_pushstring(state, "v");
    lua_setfield(state, -2, "__mode");
    lua_setmetatable(state, -2);
    record.objectMap = luaL_ref(state, LUA_REGISTRYINDEX);

    lua_newtable(state);
    record.strongMap = luaL_ref(state, LUA_REGISTRYINDEX);

    // Class tables: linked look-up on read, the class-table write on assignment.
    lua_newtable(state);
    lua_pushlightuserdata(state, manager);
    lua_pushcclosure(state, &ScriptHostClassRead, 1);
    lua_setfield(state, -2, "__index");
    lua_pushlightuserdata(state, manager);
    lua_pushcclosure(state, &ScriptHostClassWrite, 1);
    lua_setfield(state, -2, "__newindex");
    // Hidden from getmetatable, and setmetatable cannot take it off a class table.
    lua_pushboolean(state, 0);
    lua_setfield(state, -2, "__metatable");
    record.proxyMetatable = luaL_ref(state, LUA_REGISTRYINDEX);

    // Host slots: their finaliser is the collection hook.
    lua_newtable(state);
    lua_pushlightuserdata(state, manager);
    lua_pushcclosure(state, &ScriptHostSlotCollected, 1);
    lua_setfield(state, -2, "__gc");
    lua_pushboolean(state, 0);
    lua_setfield(state, -2, "__metatable");
    record.slotMetatable = luaL_ref(state, LUA_REGISTRYINDEX);

    lua_newtable(state);
    lua_newtable(state);
    lua_pushstring(state, "k");
    lua_setfield(state, -2, "__mode");
    lua_setmetatable(state, -2);
    record.classLinks = luaL_ref(state, LUA_REGISTRYINDEX);

    // Made once: pushing a new function allocates, and with it may run a collection step
    // outside any protection.
    lua_pushcfunction(state, &TracebackHandler);
    record.tracebackHandler = luaL_ref(state, LUA_REGISTRYINDEX);
    lua_pushcfunction(state, &GuardEntry);
    record.guardEntry = luaL_ref(state, LUA_REGISTRYINDEX);
    return 0;
}

int LuaScriptManager::CreateState(lua_State* state) {
    int owned = 0;
    if (state == nullptr) {
        state = luaL_newstate();
        if (state == nullptr) {
            PrintBoth(u"[LS] Can't open new lua state");
            return -1;
        }
        owned = 1;
    }
    ScriptStateRecord record;
    record.state = state;
    record.owned = owned;
    // An adopted state may have run scripts already: their finalisers can fail here too.
    StateSetUpRecord setUp{this, &record, owned != 0};
    int code = lua_cpcall(state, &LuaScriptManager::SetUpState, &setUp);
    if (code != 0) {
        PrintBoth(u"[LS] Can't set up script state: %ls", ErrorText(state, -1).Text());
        lua_pop(state, 1);
        if (owned != 0)
            lua_close(state);
        return -1;
    }
    record.serial = ++sLastSerial;
    states.Append(record);
    return int(states.Count()) - 1;
}

bool LuaScriptManager::SwitchState(int index) {
    if (index < 0 || _dword(index) >= states.Count()) {
        PrintBoth(u"[LS] Failed to switch script state to invalid index %d", index);
        return false;
    }
    const ScriptStateRecord& record = states[_dword(index)];
    mCurrentState = _dword(index);
    mLuaState = record.state;
    objectMap = record.objectMap;
    strongMap = record.strongMap;
    proxyMetatable = record.proxyMetatable;
    return true;
}

ScriptStateRecord& LuaScriptManager::CurrentRecord() {
    // By index: inside a native call mLuaState may be one of the state's coroutines.
    return states[mCurrentState < states.Count() ? mCurrentState : 0];
}

bool LuaScriptManager::ReadScriptFile(const char16_t* path, ByteBuffer& buffer) {
    // Through the resource manager once one exists (archives, resource names); else from disk.
    IResourceManager* resources = EngineContext::Get().resourceManager;
    if (resources != nullptr)
        return resources->LoadResource(path, buffer, true);
    if (!FileSystem::ReadFile(path, buffer))
        return false;
    buffer.name = path;
    return true;
}

int LuaScriptManager::CallUnwinding(int nargs, int results, int handler) {
    lua_State* state = mLuaState;
    bool marked = profiling;
    if (marked)
        mProfStack.Push(nullptr);
    _dword depth = callFrames.Length();
    ScriptEntryRecord entry = mEntry;
    int code = lua_pcall(state, nargs, results, handler);
    // A native call that failed inside never reached its end (the error ended this call,
    // or a script's pcall or coroutine caught it and no later call dropped it): drop its
    // frames and texts so the next call reads its own arguments, and act on this thread
    // and entry again.
    EndFrames(depth);
    mLuaState = state;
    mEntry = entry;
    if (marked)
        CloseProfileEntriesToMarker();
    return code;
}

int LuaScriptManager::ProtectedCall(int nargs) {
    lua_State* state = mLuaState;
    int base = lua_gettop(state) - nargs;
    lua_rawgeti(state, LUA_REGISTRYINDEX, CurrentRecord().tracebackHandler);
    // A script can replace registry entries; then the errors go without their traceback.
    int handler = lua_tocfunction(state, -1) == &TracebackHandler ? base : 0;
    lua_insert(state, base);
    int code = CallUnwinding(nargs, 1, handler);
    lua_remove(state, base);
    if (code != 0)
        CollectProtected(_COLLECTION_ATTEMPTS);
    return code;
}

int LuaScriptManager::GuardedCall(GuardBody body, void* context, int carried, int results, WString* error) {
    lua_State* state = mLuaState;
    if (state == nullptr) {
        if (error != nullptr)
            *error = u"no script state";
        return LUA_ERRRUN;
    }
    int top = lua_gettop(state);
    if (carried < 0 || carried > top || !lua_checkstack(state, carried + results + 2)) {
        if (error != nullptr)
            *error = u"no room on the script stack";
        return LUA_ERRMEM;
    }
    lua_rawgeti(state, LUA_REGISTRYINDEX, CurrentRecord().guardEntry);
    if (lua_tocfunction(state, -1) != &GuardEntry) {
        lua_pop(state, 1);
        if (error != nullptr)
            *error = u"the host's registry entry was replaced";
        return LUA_ERRRUN;
    }
    GuardRecord record{body, context};
    lua_pushlightuserdata(state, &record);
    for (int i = carried; i > 0; i--)
        lua_pushvalue(state, top - i + 1);
    sPendingGuard = &record;
    int code = CallUnwinding(carried + 1, results, 0);
    sPendingGuard = nullptr;
    if (code != 0) {
        if (error != nullptr)
            *error = ErrorText(state, -1);
        lua_settop(state, top);
    }
    return code;
}

bool LuaScriptManager::LogGuardFailure(const char16_t* what, int code, const WString& error) {
    if (code == 0)
        return true;
    PrintBoth(u"[LS] %ls failed: %ls", NonNull(what), error.IsEmpty() ? u"an error value that is not text" : error.Text());
    return false;
}

bool LuaScriptManager::CollectProtected(int attempts) {
    if (mLuaState == nullptr)
        return false;
    for (int attempt = 0; attempt < attempts; attempt++) {
        WString error;
        if (GuardedCall(&FullCollection, nullptr, 0, 0, &error) == 0)
            return true;
        PrintBoth(u"[LS] Garbage collection stopped at a failing finaliser: %ls",
                  error.IsEmpty() ? u"an error value that is not text" : error.Text());
    }
    return false;
}

WString LuaScriptManager::ErrorText(lua_State* state, int index) {
    switch (lua_type(state, index)) {
        case LUA_TSTRING: {
            size_t length = 0;
            const char* text = lua_tolstring(state, index, &length);
            return WideOf(text, length);
        }
        case LUA_TNUMBER: {
            // The script engine's own number format.
            char text[64];
            snprintf(text, sizeof(text), "%.14g", lua_tonumber(state, index));
            return WideOf(text);
        }
        default:
            return WString();
    }
}

void LuaScriptManager::CaptureError(int code) {
    if (code == 0) {
        lastError = u"";
        return;
    }
    int type = lua_type(mLuaState, -1);
    lastError = ErrorText(mLuaState, -1);
    if (type == LUA_TSTRING || type == LUA_TNUMBER)
        CallErrorCallback(lastError);
    lua_pop(mLuaState, 1);
}

void LuaScriptManager::LogLastError() {
    if (lastError.IsEmpty())
        PrintBoth(u"[LS] Script failed with an error value that is not text");
    else
        PrintBoth(u"%ls", lastError.Text());
}

int LuaScriptManager::LoadChunk(const char* bytes, size_t length, const char* chunkName) {
    // The load protects its parsing; the collection step it takes afterwards it does not.
    int loadCode = 0;
    auto load = [&](lua_State* state) {
        loadCode = luaL_loadbuffer(state, bytes, length, chunkName);
        return 1;  // the chunk or the load's error value
    };
    WString error;
    int code = GuardedCall(load, 0, 1, &error);
    if (code != 0) {
        lastError = error;
        if (!lastError.IsEmpty())
            CallErrorCallback(lastError);
        return code;
    }
    if (loadCode != 0)
        CaptureError(loadCode);
    return loadCode;
}

int LuaScriptManager::LoadReference(const char* bytes, size_t length, const char* chunkName) {
    int code = LoadChunk(bytes, length, chunkName);
    if (code != 0) {
        LogLastError();
        return 0;
    }
    lastError = u"";
    if (!VOLUX_CHECK(_SOURCE, lua_type( mLuaState, -1 ) == LUA_TFUNCTION)) {
        lua_pop(mLuaState, 1);
        return 0;
    }
    return luaL_ref(mLuaState, LUA_REGISTRYINDEX);
}

int LuaScriptManager::LoadString(const char16_t* text) {
    int length = 0;
    char* utf8 = Utf8Of(text, &length);
    if (utf8 == nullptr)
        return 0;
    int ref = LoadReference(utf8, size_t(length), utf8);
    MemFree(utf8);
    return ref;
}

int LuaScriptManager::LoadBuffer(const ByteBuffer& buffer) {
    char chunkName[_CHUNK_NAME_BYTES];
    chunkName[0] = '@';
    WideToUtf8(chunkName + 1, _CHUNK_NAME_BYTES - 1, buffer.name);
    return LoadReference(reinterpret_cast<const char*>(buffer.data), buffer.size, chunkName);
}

int LuaScriptManager::LoadFile(const char16_t* path) {
    ByteBuffer buffer;
    if (!ReadScriptFile(path, buffer)) {
        PrintBoth(u"[LS] Can't read script file %ls", NonNull(path));
        return 0;
    }
    return LoadBuffer(buffer);
}

int LuaScriptManager::RunChunk(const char* bytes, size_t length, const char* chunkName, Variable& result, int mode) {
    int code = LoadChunk(bytes, length, chunkName);
    if (code == 0) {
        code = ProtectedCall(0);
        CaptureError(code);
    }
    if (code != 0) {
        LogLastError();
        result.Clear();
        return code;
    }
    if (mode == _RUN_DISCARD) {
        lua_pop(mLuaState, 1);
        result.Clear();
    } else if (mode == _RUN_CONVERT) {
        auto read = [&](lua_State*) {
            ReadValue(1, result);  // the result, carried
            return 0;
        };
        if (!Guard(u"Converting a script result", read, 1))
            result.Clear();
        lua_pop(mLuaState, 1);
    } else if (CurrentFrame(__builtin_frame_address(0)) != nullptr) {
        // Handed on by this native call's ReturnNothing; outside calls the result is simply
        // the caller's, on top of its stack.
        resultLeft = true;
    }
    return 0;
}

bool LuaScriptManager::RunString(Variable& result, const char16_t* text, const char16_t* chunkName, int mode) {
    char name[_CHUNK_NAME_BYTES];
    name[0] = '@';
    WideToUtf8(name + 1, _CHUNK_NAME_BYTES - 1, NonNull(chunkName));
    int length = 0;
    char* utf8 = Utf8Of(text, &length);
    if (utf8 == nullptr) {
        result.Clear();
        return false;
    }
    int code = RunChunk(utf8, size_t(length), name, result, mode);
    MemFree(utf8);
    return code == 0;
}

bool LuaScriptManager::RunBuffer(Variable& result, const ByteBuffer& buffer, int mode) {
    if (buffer.size >= 4 && buffer.data != nullptr && ConfigTree::StartsBlock(buffer.data, buffer.size)) {
        result.Clear();
        return RunConfigBlocks(buffer);
    }
    char name[_CHUNK_NAME_BYTES];
    name[0] = '@';
    WideToUtf8(name + 1, _CHUNK_NAME_BYTES - 1, buffer.name);
    int code = RunChunk(reinterpret_cast<const char*>(buffer.data), buffer.size, name, result, mode);
    // Inside a native call the failure fails that call too. Outside one there is no call
    // to fail, and a stored text would fail some unrelated later call.
    if (code != 0 && callFrames.Length() > 0)
        callError = lastError;
    return code == 0;
}

bool LuaScriptManager::RunFile(Variable& result, const char16_t* path, int mode) {
    ByteBuffer buffer;
    if (!ReadScriptFile(path, buffer)) {
        PrintBoth(u"[LS] Can't read script file %ls", NonNull(path));
        result.Clear();
        return false;
    }
    return RunBuffer(result, buffer, mode);
}

bool LuaScriptManager::SetGlobal(ScriptObject* object, const char* name, const Variable& value) {
    bool found = true;
    auto set = [&](lua_State* state) {
        if (object != nullptr) {
            if (!PushObjectTable(object)) {
                found = false;
                return 0;
            }
        } else {
            lua_pushvalue(state, LUA_GLOBALSINDEX);
        }
        lua_pushstring(state, NonNull(name));
        PushValue(value, object);
        lua_rawset(state, -3);
        return 0;
    };
    return Guard(u"Setting a global", set) && found;
}

bool LuaScriptManager::SetGlobal(ScriptObject* object, const char16_t* name, const Variable& value) {
    char utf8[1024];
    WideToUtf8(utf8, sizeof(utf8), NonNull(name));
    return SetGlobal(object, utf8, value);
}

bool LuaScriptManager::GetGlobal(Variable& result, ScriptObject* object, const char* name) {
    bool read = false;
    auto get = [&](lua_State* state) {
        lua_pushcfunction(state, &ReadFieldProtected);
        if (object != nullptr) {
            if (!PushObjectTable(object))
                return 0;
        } else {
            lua_pushvalue(state, LUA_GLOBALSINDEX);
        }
        lua_pushstring(state, NonNull(name));
        // A failing getter is a script error of its own, with its traceback.
        int code = ProtectedCall(2);
        if (code != 0) {
            // Only a failed read replaces lastError: it belongs to the last load or run.
            CaptureError(code);
            LogLastError();
            return 0;
        }
        ReadValue(-1, result);
        read = true;
        return 0;
    };
    if (!Guard(u"Reading a global", get) || !read) {
        result.Clear();
        return false;
    }
    return true;
}

bool LuaScriptManager::GetGlobal(Variable& result, ScriptObject* object, const char16_t* name) {
    char utf8[1024];
    WideToUtf8(utf8, sizeof(utf8), NonNull(name));
    return GetGlobal(result, object, utf8);
}

void LuaScriptManager::PushNativeClosure(void* function, ScriptThunk thunk, const void* classKey) {
    lua_pushlightuserdata(mLuaState, function);
    if (thunk == &ScriptMethodThunk || thunk == &ScriptFunctionThunk) {
        if (classKey == nullptr) {
            lua_pushcclosure(mLuaState, thunk, 1);
            return;
        }
        lua_pushlightuserdata(mLuaState, const_cast<void*>(classKey));
        lua_pushcclosure(mLuaState, thunk, 2);
        return;
    }
    lua_pushlightuserdata(mLuaState, reinterpret_cast<void*>(thunk));
    lua_pushlightuserdata(mLuaState, this);
    if (classKey != nullptr)
        lua_pushlightuserdata(mLuaState, const_cast<void*>(classKey));
    else
        lua_pushnil(mLuaState);
    lua_pushcclosure(mLuaState, &ScriptThreadEntry, 4);
}

int LuaScriptManager::MakeFunction(void* function, ScriptThunk thunk) {
    if (thunk == nullptr)
        return 0;
    if (profiling)
        RegisterProfileName(function, mClassName != nullptr ? WString(mClassName) + u".__call" : WString(u"__call"));
    int ref = 0;
    auto make = [&](lua_State* state) {
        PushNativeClosure(function, thunk);
        ref = luaL_ref(state, LUA_REGISTRYINDEX);
        return 0;
    };
    return Guard(u"Making a native function", make) ? ref : 0;
}

intptr_t LuaScriptManager::StoreArgFunction(ScriptObject* object, intptr_t key, int index) {
    int slot = ArgSlot(index);
    if (object == nullptr || key == 0 || slot == 0 || !lua_isfunction(mLuaState, slot))
        return 0;
    if (!PushObjectTable(object))
        return 0;
    PushLightKey(mLuaState, key);
    lua_pushvalue(mLuaState, slot);
    lua_rawset(mLuaState, -3);
    lua_pop(mLuaState, 1);
    return key;
}

int LuaScriptManager::RefArgFunction(int index) {
    int slot = ArgSlot(index);
    if (slot == 0 || !lua_isfunction(mLuaState, slot))
        return 0;
    lua_pushvalue(mLuaState, slot);
    return luaL_ref(mLuaState, LUA_REGISTRYINDEX);
}

void LuaScriptManager::ClearMember(ScriptObject* object, intptr_t& key) {
    if (object != nullptr && key != 0 && PushObjectTable(object)) {
        PushLightKey(mLuaState, key);
        lua_pushnil(mLuaState);
        lua_rawset(mLuaState, -3);
        lua_pop(mLuaState, 1);
    }
    key = 0;
}

void LuaScriptManager::ReleaseRef(int& ref) {
    if (ref != 0 && ref != LUA_REFNIL && ref != LUA_NOREF && mLuaState != nullptr)
        luaL_unref(mLuaState, LUA_REGISTRYINDEX, ref);
    ref = 0;
}

lua_State* LuaScriptManager::StateOfSerial(_dword serial) {
    if (serial == 0)
        return nullptr;
    for (const ScriptStateRecord& record : states)
        if (record.serial == serial)
            return record.state;
    return nullptr;
}

int LuaScriptManager::DuplicateRef(int ref, _dword serial) {
    lua_State* state = StateOfSerial(serial);
    if (ref <= 0 || state == nullptr)
        return 0;
    lua_rawgeti(state, LUA_REGISTRYINDEX, ref);
    if (!lua_isfunction(state, -1)) {
        lua_pop(state, 1);
        return 0;
    }
    return luaL_ref(state, LUA_REGISTRYINDEX);
}

void LuaScriptManager::ReleaseRefOf(int ref, _dword serial) {
    lua_State* state = StateOfSerial(serial);
    if (ref > 0 && state != nullptr)
        luaL_unref(state, LUA_REGISTRYINDEX, ref);
}

intptr_t LuaScriptManager::MoveRefToMember(ScriptObject* object, intptr_t key, int& ref) {
    if (object != nullptr && key != 0 && ref > 0 && PushObjectTable(object)) {
        PushLightKey(mLuaState, key);
        lua_rawgeti(mLuaState, LUA_REGISTRYINDEX, ref);
        lua_rawset(mLuaState, -3);
        lua_pop(mLuaState, 1);
    }
    ReleaseRef(ref);
    return key;
}

void LuaScriptManager::PushMember(ScriptObject* object, intptr_t key) {
    if (object != nullptr) {
        if (!PushObjectTable(object)) {
            lua_pushnil(mLuaState);
            return;
        }
        PushLightKey(mLuaState, key);
        lua_rawget(mLuaState, -2);
        lua_remove(mLuaState, -2);
    } else {
        lua_rawgeti(mLuaState, LUA_REGISTRYINDEX, int(key));
    }
}

bool LuaScriptManager::CallPushedFunction(int nargs, Variable* result) {
    int code = ProtectedCall(nargs);
    CaptureError(code);
    if (code != 0) {
        LogLastError();
        if (result != nullptr)
            result->Clear();
        return false;
    }
    if (result != nullptr)
        ReadValue(-1, *result);
    lua_pop(mLuaState, 1);
    return true;
}

bool LuaScriptManager::CallMember(ScriptObject* object, intptr_t key, const Variable* arguments, int count,
                                  Variable* result) {
    if (key == 0)
        return false;
    bool ok = false;
    // The arguments and the result are converted inside the protection, the call has its own.
    auto call = [&](lua_State* state) {
        PushMember(object, key);
        if (!lua_isfunction(state, -1) || !lua_checkstack(state, count + 8))
            return 0;
        for (int i = 0; i < count; i++)
            PushValue(arguments[i], object);
        ok = CallPushedFunction(count, result);
        return 0;
    };
    if (!Guard(u"Calling a script function", call)) {
        if (result != nullptr)
            result->Clear();
        return false;
    }
    return ok;
}

bool LuaScriptManager::CallFunction(ScriptObject* object, intptr_t key, const Array<Variable>& arguments,
                                    Variable* result) {
    return CallMember(object, key, arguments.begin(), int(arguments.Count()), result);
}

bool LuaScriptManager::CallFunction(ScriptObject* object, intptr_t key, const Variable& argument, Variable* result) {
    return CallMember(object, key, &argument, 1, result);
}

bool LuaScriptManager::CallFunction(ScriptObject* object, intptr_t key, Variable* result) {
    return CallMember(object, key, nullptr, 0, result);
}

void LuaScriptManager::CollectGarbage() { CollectProtected(_COLLECTION_ATTEMPTS); }

} // namespace Volux
