// Native classes and the tables that stand for native objects: registration, binding,
// the object maps, instance read/write/text, the class-table write and the collection
// hook that ties a native object's life to its table.
#include "Common/EngineContext.h"
#include "Common/Log.h"
#include "Common/Memory.h"
#include "Common/StringFormatter.h"
#include "Script/LuaScriptManager.h"
#include "ScriptHost.h"

namespace Volux {

// How object tables work on the stock engine, which has no host slot, no linked table
// and no collection callback on tables:
// - Every object table gets a metatable of its own (the object metatable). It carries
//   the class's metamethods (copied from the instance metatable), "__metatable" = the
//   class table, the host slot at [1], the instance metatable at [2] and the proxy
//   table, if any, at [3]. pairs() over the object sees only what scripts stored in it.
// - The host slot is a full userdata referenced only from the object metatable, so it
//   becomes garbage together with the table. Its "__gc" is the collection hook: LuaJIT
//   2.1 runs no "__gc" on tables.
// - The slot's environment is its table. A finaliser's userdata is kept, with what it
//   references, until the finaliser has run, so the table's memory cannot be reused
//   before the hook has dropped the table from the manager's index. The index (table
//   address -> slot) is how a value is recognised as an object: a plain table, or a
//   table given an object's metatable, is never in it.
// - "__index" is a function doing the two-level linked look-up (proxy table, then
//   instance metatable, both upvalues of the function) before the property getters;
//   class tables find their linked table through a weak-keyed registry table.
// - The state's object map (weak values) maps each object to its slot, not its table: the
//   collector drops a userdata it is about to finalise from weak values at once, while the
//   table itself is kept for the finaliser. So a table found dead is never handed out or
//   held again, even before its hook has run: a push then gives the object a new table.
// - The slot's block is HostSlot (ScriptHost.h).

namespace {

constexpr const char16_t* _SOURCE = u"Script/ScriptBinding";
constexpr _dword _HOST_TAG = 0x00545053;  // "SPT"
// Keys of the catch-all accessor in an instance metatable.
char sCatchAllKeys[2];
// Key of the class's getter table in its instance metatable: getters by field name, as
// light userdata for ScriptCallback getters (called directly), else as the closure. It
// spares property reads the key computation and the closure call.
char sGetterTableKey;
// ScriptCallback getters are also stored under their field name in the instance
// metatable itself, where no instance function of that name is, so a property read
// takes one look-up. A light userdata found there is only called when it is one of
// these functions: scripts can store other light userdata in a class.
PointerMap sDirectGetters;

// Names starting with "__": the metamethods and "__metatable" an object metatable copies.
bool IsHostFieldName(const char* name) { return name[0] == '_' && name[1] == '_'; }

// Names that may carry a direct getter: not the metamethods an object metatable copies.
bool MayHoldDirectGetter(const char* name) { return !IsHostFieldName(name); }

// After the instance function under the name at keyIndex went, its direct getter (if
// the class has one) takes the place again.
void RestoreDirectGetter(lua_State* state, int instanceMeta, int keyIndex) {
    if (!MayHoldDirectGetter(lua_tostring(state, keyIndex)))
        return;
    lua_pushlightuserdata(state, &sGetterTableKey);
    lua_rawget(state, instanceMeta);
    if (lua_istable(state, -1)) {
        lua_pushvalue(state, keyIndex);
        lua_rawget(state, -2);
        if (lua_type(state, -1) == LUA_TLIGHTUSERDATA) {
            lua_pushvalue(state, keyIndex);
            lua_insert(state, -2);
            lua_rawset(state, instanceMeta);
        } else {
            lua_pop(state, 1);
        }
    }
    lua_pop(state, 1);
}

const char* const _COPIED_METAMETHODS[] = {"__index", "__newindex", "__tostring", "__metatable", "__call",
                                            "__eq",    "__lt",       "__le",       "__len",       "__concat",
                                            "__unm",   "__add",      "__sub",      "__mul",       "__div",
                                            "__mod",   "__pow"};

// The getter key of a property name (the interned text's address); the setter key
// sets the lowest bit, which no text address has. The top bit would collide with real
// addresses on 64-bit systems and on large-address-aware 32-bit ones.
inline intptr_t GetterKey(const char* internedName) { return reinterpret_cast<intptr_t>(internedName); }
inline intptr_t SetterKey(const char* internedName) { return reinterpret_cast<intptr_t>(internedName) | 1; }

constexpr int _META_SLOT = 1;
constexpr int _META_INSTANCE = 2;
constexpr int _META_PROXY = 3;

// Pushes the accessor of the field at keyIndex (getter or setter) from the instance
// metatable at mtIndex; returns 1 for a named accessor, 2 for the catch-all, 0 if none
// (nothing pushed).
int PushAccessor(lua_State* state, int mtIndex, int keyIndex, bool setter) {
    if (lua_type(state, keyIndex) == LUA_TSTRING) {
        const char* name = lua_tostring(state, keyIndex);
        PushLightKey(state, setter ? SetterKey(name) : GetterKey(name));
        lua_rawget(state, mtIndex);
        if (lua_isfunction(state, -1))
            return 1;
        lua_pop(state, 1);
    }
    lua_pushlightuserdata(state, &sCatchAllKeys[setter ? 1 : 0]);
    lua_rawget(state, mtIndex);
    if (lua_isfunction(state, -1))
        return 2;
    lua_pop(state, 1);
    return 0;
}

// Calls the accessor on top of the stack with the object (and, for the catch-all, the
// field name) and leaves its single result. Accessors of the engine's own thunks are
// called directly: the same protocol without a second trip through the script engine.
// entry is that of the metamethod the script engine called.
int CallGetter(lua_State* state, int kind, const ScriptEntryRecord& entry) {
    lua_CFunction thunk = lua_tocfunction(state, -1);
    if (thunk == &ScriptMethodThunk && lua_getupvalue(state, -1, 1) != nullptr) {
        void* function = lua_touserdata(state, -1);
        lua_settop(state, kind == 2 ? 2 : 1);  // the arguments exactly as a script call has them
        return CallScriptCallback(state, function, true, &entry) > 0 ? 1 : 0;
    }
    lua_pushvalue(state, 1);
    if (kind == 2)
        lua_pushvalue(state, 2);
    lua_call(state, kind, 1);
    return 1;
}

// The read after the proxy table: instance metatable, getters, catch-all getter. A script
// can call the metamethod itself with any table as the object: the getters check its class
// as methods do (the instance metatable is the class's key).
int ReadThroughClass(lua_State* state, const void* position) {
    ScriptEntryRecord entry;
    entry.position = position;
    entry.classKey = lua_topointer(state, lua_upvalueindex(2));
    lua_pushvalue(state, 2);
    lua_rawget(state, lua_upvalueindex(2));
    // Non-null for either kind of userdata; a full one's block is never a function.
    void* function = lua_touserdata(state, -1);
    if (function != nullptr && sDirectGetters.Find(function) != nullptr) {
        lua_settop(state, 1);
        return CallScriptCallback(state, function, true, &entry) > 0 ? 1 : 0;
    }
    if (!lua_isnil(state, -1))
        return 1;
    // The nil stays: results are taken from the top, and a direct getter call resets
    // the stack to the object anyway.
    lua_pushvalue(state, 2);
    lua_rawget(state, lua_upvalueindex(4));
    int type = lua_type(state, -1);
    if (type == LUA_TLIGHTUSERDATA && sDirectGetters.Find(lua_touserdata(state, -1)) != nullptr) {
        void* function = lua_touserdata(state, -1);
        lua_settop(state, 1);
        return CallScriptCallback(state, function, true, &entry) > 0 ? 1 : 0;
    }
    if (type == LUA_TFUNCTION)
        return CallGetter(state, 1, entry);
    lua_pop(state, 1);
    lua_pushlightuserdata(state, &sCatchAllKeys[0]);
    lua_rawget(state, lua_upvalueindex(2));
    if (!lua_isfunction(state, -1))
        return 0;
    return CallGetter(state, 2, entry);
}

int InstanceReadClass(lua_State* state) { return ReadThroughClass(state, VOLUX_ENTRY_POSITION()); }

constexpr const char* _REPLACED_ENTRY = "the host's registry entry was replaced";

// PushHostTable for code running under a protected call or as a metamethod: a replaced
// entry fails the operation with a script error.
void PushHostTableOrRaise(lua_State* state, int ref) {
    lua_rawgeti(state, LUA_REGISTRYINDEX, ref);
    if (!lua_istable(state, -1))
        luaL_error(state, _REPLACED_ENTRY);
}

// The script error of a field written on a value that is not an object of the class whose
// metamethod was called. Pushes the message and leaves nothing with a destructor alive.
void PushWrongWriteTarget(lua_State* state, LuaScriptManager* manager, const void* expected, const HostSlot* slot) {
    WString text = slot != nullptr ? manager->WrongClassText(expected, slot->classKey)
                                   : Format(u"Field written on a %ls value: expected an object of class %ls",
                                            WideOf(luaL_typename(state, 1)).Text(), manager->ClassNameOf(expected).Text());
    Utf8Copy utf8(text.Text());
    lua_pushlstring(state, utf8.Text(), utf8.Length());
}

// __index of object tables: (object, key). Upvalues: manager, instance metatable, the
// proxy table (objects with a proxy only) and the class's getter table.
int InstanceRead(lua_State* state) {
    if (lua_type(state, lua_upvalueindex(3)) == LUA_TTABLE) {
        lua_pushvalue(state, 2);
        lua_rawget(state, lua_upvalueindex(3));
        if (!lua_isnil(state, -1))
            return 1;
        lua_pop(state, 1);
    }
    return ReadThroughClass(state, VOLUX_ENTRY_POSITION());
}

// __newindex of object tables: (object, key, value); upvalues as for InstanceRead.
// The object must be one of this class: the metamethod can be called by hand with any
// value, and a raw write must not land in a number or in another class's object.
int InstanceWrite(lua_State* state) {
    const void* classKey = lua_topointer(state, lua_upvalueindex(2));
    LuaScriptManager* manager = ManagerOf(state);
    HostSlot* slot = manager->SlotAt(state, 1);
    if (slot == nullptr || slot->classKey != classKey) {
        PushWrongWriteTarget(state, manager, classKey, slot);
        return lua_error(state);
    }
    int kind = PushAccessor(state, lua_upvalueindex(2), 2, true);
    if (kind != 0) {
        lua_pushvalue(state, 1);
        if (kind == 2)
            lua_pushvalue(state, 2);
        lua_pushvalue(state, 3);
        lua_call(state, kind + 1, 1);
        if (!lua_isnil(state, -1))
            return 0;
        lua_pop(state, 1);
    }
    int target = lua_type(state, lua_upvalueindex(3)) == LUA_TTABLE ? lua_upvalueindex(3) : 1;
    lua_pushvalue(state, 2);
    lua_pushvalue(state, 3);
    lua_rawset(state, target);
    return 0;
}

// __tostring of object tables.
int InstanceText(lua_State* state) {
    lua_getfield(state, lua_upvalueindex(2), "tostring");
    if (lua_isfunction(state, -1)) {
        lua_pushvalue(state, 1);
        lua_call(state, 1, 1);
        return 1;
    }
    lua_pop(state, 1);
    ScriptObject* object = ManagerOf(state)->ToObject(state, 1);
    const void* address = object != nullptr ? static_cast<const void*>(object) : lua_topointer(state, 1);
    char text[64];
    char16_t wide[64];
    FormatBuffer(wide, 64, u"table: 0x%p", address);
    int i = 0;
    for (; wide[i] != 0 && i < 63; i++)
        text[i] = char(wide[i]);
    text[i] = 0;
    lua_pushstring(state, text);
    return 1;
}

// True when reads of the class's objects may need a getter (named or catch-all).
bool HasGetters(lua_State* state, int instanceMeta) {
    lua_pushlightuserdata(state, &sCatchAllKeys[0]);
    lua_rawget(state, instanceMeta);
    bool found = !lua_isnil(state, -1);
    lua_pop(state, 1);
    if (found)
        return true;
    lua_pushlightuserdata(state, &sGetterTableKey);
    lua_rawget(state, instanceMeta);
    if (lua_istable(state, -1)) {
        lua_pushnil(state);
        if (lua_next(state, -2) != 0) {
            lua_pop(state, 2);
            found = true;
        }
    }
    lua_pop(state, 1);
    return found;
}

} // namespace

bool PushHostTable(lua_State* state, int ref) {
    lua_rawgeti(state, LUA_REGISTRYINDEX, ref);
    if (lua_istable(state, -1))
        return true;
    lua_pop(state, 1);
    PrintBoth(u"[LS] Script objects are out of reach: %ls", WideOf(_REPLACED_ENTRY).Text());
    return false;
}

ScriptObject::~ScriptObject() {
    if (binding == nullptr)
        return;
    IScriptManager* scripts = EngineContext::Get().scriptManager;
    if (scripts != nullptr) {
        scripts->FreeBinding(this);
    } else {
        delete binding;
        binding = nullptr;
    }
}

// The class table's linked table: (class table, key) reads it; the instance
// metatable is not searched, as with the engine extension it replaces.
int ScriptHostClassRead(lua_State* state) {
    if (!lua_istable(state, 1))
        return luaL_error(state, "Class field read on a %s value: expected a class table", luaL_typename(state, 1));
    LuaScriptManager* manager = ManagerOf(state);
    PushHostTableOrRaise(state, manager->CurrentClassLinks(state));
    lua_pushvalue(state, 1);
    lua_rawget(state, -2);
    if (!lua_istable(state, -1))
        return 0;
    lua_pushvalue(state, 2);
    lua_rawget(state, -2);
    return 1;
}

// Assignments to absent fields of a class table go to the instance metatable (so
// scripts can add instance functions) and to the class's linked table. Names starting with
// "__" are the host's: the metamethods and "__metatable" every later object of the class
// copies. Those writes are refused (logged the first time).
int ScriptHostClassWrite(lua_State* state) {
    if (!lua_istable(state, 1))
        return luaL_error(state, "Class field written on a %s value: expected a class table", luaL_typename(state, 1));
    LuaScriptManager* manager = ManagerOf(state);
    PushHostTableOrRaise(state, manager->CurrentClassLinks(state));
    lua_pushvalue(state, 1);
    lua_rawget(state, -2);
    int link = lua_gettop(state);
    if (!lua_istable(state, link)) {
        lua_pushvalue(state, 2);
        lua_pushvalue(state, 3);
        lua_rawset(state, 1);
        return 0;
    }
    if (lua_type(state, 2) == LUA_TSTRING && IsHostFieldName(lua_tostring(state, 2))) {
        if (!manager->refusedClassWrite) {
            manager->refusedClassWrite = true;
            lua_pushlightuserdata(state, reinterpret_cast<void*>(intptr_t(1)));
            lua_rawget(state, link);
            PrintBoth(u"[LS] Class %ls keeps its field %ls: names starting with \"__\" are not for scripts to set",
                      manager->ClassNameOf(lua_topointer(state, -1)).Text(), WideOf(lua_tostring(state, 2)).Text());
        }
        return 0;
    }
    lua_pushlightuserdata(state, reinterpret_cast<void*>(intptr_t(1)));
    lua_rawget(state, link);
    if (lua_istable(state, -1)) {
        int instanceMeta = lua_gettop(state);
        lua_pushvalue(state, 2);
        lua_pushvalue(state, 3);
        lua_rawset(state, instanceMeta);
        if (lua_isnil(state, 3) && lua_type(state, 2) == LUA_TSTRING)
            RestoreDirectGetter(state, instanceMeta, 2);
    }
    lua_pop(state, 1);
    lua_pushvalue(state, 2);
    lua_pushvalue(state, 3);
    lua_rawset(state, link);
    return 0;
}

int ScriptHostSlotCollected(lua_State* state) {
    // Only the host makes userdata with this metatable, but a script holding the
    // metatable could give it to another userdata (of any size).
    HostSlot* slot = static_cast<HostSlot*>(lua_touserdata(state, 1));
    if (slot == nullptr || lua_objlen(state, 1) != sizeof(HostSlot) || slot->tag != _HOST_TAG)
        return 0;
    if (slot->manager == nullptr) {
        slot->tag = 0;
        return 0;
    }
    LuaScriptManager* manager = slot->manager;
    ScriptObject* object = slot->object;
    if (object != nullptr && !manager->IsClosing()) {
        // The collector has dropped the slot from the weak map already; an entry still
        // naming it (one set again since) must go all the same.
        if (PushHostTable(state, slot->objectMap)) {
            lua_pushlightuserdata(state, object);
            lua_rawget(state, -2);
            bool same = lua_touserdata(state, -1) == slot;
            lua_pop(state, 1);
            if (same) {
                lua_pushlightuserdata(state, object);
                lua_pushnil(state);
                lua_rawset(state, -3);
            }
            lua_pop(state, 1);
        }
    }
    // The destructors this runs act on the thread running the collection, which is alive:
    // the thread a failed native call left current may be a dead coroutine.
    manager->DropUnwoundFrames(VOLUX_ENTRY_POSITION());
    lua_State* caller = manager->mLuaState;
    manager->mLuaState = state;
    manager->ObjectTableCollected(slot);
    manager->mLuaState = caller;
    return 0;
}

int LuaScriptManager::CurrentClassLinks(lua_State* state) {
    for (const ScriptStateRecord& record : states)
        if (record.state == state)
            return record.classLinks;
    return CurrentRecord().classLinks;
}

void LuaScriptManager::ObjectTableCollected(HostSlot* slot) {
    ScriptObject* object = slot->object;
    mObjectTables.Remove(slot->table);
    slot->object = nullptr;
    slot->tag = 0;
    if (object == nullptr || object->binding == nullptr)
        return;
    ScriptBinding* binding = object->binding;
    binding->slot = nullptr;
    binding->strongHeld = false;
    // The references died with the table's state or were never taken.
    binding->refs.Clear();
    if (binding->holdCount > 0)
        return;  // held natively: the object outlives its table
    delete object;
}

bool LuaScriptManager::BeginClass(const char16_t* className, ScriptThunk constructor) {
    if (!VOLUX_CHECK(_SOURCE, mClassName == _null))
        return false;
    char* name = Utf8Of(className);
    if (name == nullptr)
        return false;
    const void* classKey = nullptr;
    auto begin = [&](lua_State* state) {
        // Checked before anything is made: a failure leaves no class behind.
        PushHostTableOrRaise(state, proxyMetatable);
        PushHostTableOrRaise(state, CurrentRecord().classLinks);
        lua_pop(state, 2);
        lua_newtable(state);
        int classTable = lua_gettop(state);
        if (constructor != nullptr) {
            PushNativeClosure(nullptr, constructor);
            lua_setfield(state, classTable, "new");
        }
        lua_pushvalue(state, classTable);
        lua_setglobal(state, name);

        luaL_newmetatable(state, name);
        int instanceMeta = lua_gettop(state);
        if (!lua_istable(state, instanceMeta))
            luaL_error(state, _REPLACED_ENTRY);
        lua_pushlightuserdata(state, &sGetterTableKey);
        lua_rawget(state, instanceMeta);
        if (!lua_istable(state, -1)) {
            lua_pop(state, 1);
            lua_newtable(state);
            lua_pushlightuserdata(state, &sGetterTableKey);
            lua_pushvalue(state, -2);
            lua_rawset(state, instanceMeta);
        }
        int getters = lua_gettop(state);
        // The class's closures have no proxy table (upvalue 3 is nil): no proxy check.
        const lua_CFunction metamethods[] = {&InstanceReadClass, &InstanceWrite, &InstanceText};
        const char* const names[] = {"__index", "__newindex", "__tostring"};
        for (int i = 0; i < 3; i++) {
            lua_pushlightuserdata(state, this);
            lua_pushvalue(state, instanceMeta);
            lua_pushnil(state);
            lua_pushvalue(state, getters);
            lua_pushcclosure(state, metamethods[i], 4);
            lua_setfield(state, instanceMeta, names[i]);
        }
        lua_pop(state, 1);

        PushHostTableOrRaise(state, proxyMetatable);
        lua_setmetatable(state, classTable);
        PushHostTableOrRaise(state, CurrentRecord().classLinks);
        lua_pushvalue(state, classTable);
        lua_newtable(state);
        lua_pushlightuserdata(state, reinterpret_cast<void*>(intptr_t(1)));
        lua_pushvalue(state, instanceMeta);
        lua_rawset(state, -3);
        lua_rawset(state, -3);
        lua_pop(state, 1);

        lua_pushvalue(state, classTable);
        lua_setfield(state, instanceMeta, "__metatable");
        classKey = lua_topointer(state, instanceMeta);
        return 1;  // the instance metatable stays until EndClass
    };
    bool begun = Guard(u"Registering a class", begin, 0, 1);
    MemFree(name);
    if (!begun)
        return false;
    WString* knownName = mClassNames.Insert(classKey);
    if (knownName != nullptr)
        *knownName = className;
    mClassNameText = className;
    mClassName = mClassNameText.Text();
    return true;
}

void LuaScriptManager::EndClass() {
    if (!VOLUX_CHECK(_SOURCE, mClassName != _null))
        return;
    if (VOLUX_CHECK(_SOURCE, lua_type( mLuaState, -1 ) == LUA_TTABLE))
        lua_pop(mLuaState, 1);
    mClassName = nullptr;
    mClassNameText = u"";
}

const void* LuaScriptManager::RegisteringClassKey() {
    return mClassName != nullptr && lua_type(mLuaState, -1) == LUA_TTABLE ? lua_topointer(mLuaState, -1) : nullptr;
}

void LuaScriptManager::RegisterFunction(const char16_t* name, void* function, ScriptThunk thunk, bool isStatic) {
    if (thunk == nullptr)
        return;
    bool global = mClassName == nullptr;
    if (!global && !VOLUX_CHECK(_SOURCE, lua_type( mLuaState, -1 ) == LUA_TTABLE))
        return;
    char* utf8 = Utf8Of(name);
    if (utf8 == nullptr)
        return;
    if (profiling)
        RegisterProfileName(function, global ? WString(NonNull(name)) : Format(u"%ls.%ls", mClassName, NonNull(name)));
    // A class's functions go to its instance metatable, carried in on top.
    auto add = [&](lua_State* state) {
        if (global) {
            PushNativeClosure(function, thunk);
            lua_setglobal(state, utf8);
            return 0;
        }
        const void* classKey = isStatic ? nullptr : RegisteringClassKey();
        if (isStatic)
            lua_getfield(state, -1, "__metatable");  // the class table
        else
            lua_pushvalue(state, -1);
        lua_pushstring(state, utf8);
        PushNativeClosure(function, thunk, classKey);
        lua_rawset(state, -3);
        return 0;
    };
    Guard(u"Registering a function", add, global ? 0 : 1);
    MemFree(utf8);
}

void LuaScriptManager::RegisterProperty(const char16_t* name, void* getter, ScriptThunk getThunk, void* setter,
                                        ScriptThunk setThunk) {
    if (!VOLUX_CHECK(_SOURCE, mClassName != _null))
        return;
    if (!VOLUX_CHECK(_SOURCE, lua_type( mLuaState, -1 ) == LUA_TTABLE))
        return;
    // The instance metatable is carried in: it is the body's whole stack.
    auto add = [&](lua_State* state) {
        int instanceMeta = lua_gettop(state);
        const void* classKey = lua_topointer(state, instanceMeta);
        intptr_t getKey = reinterpret_cast<intptr_t>(&sCatchAllKeys[0]);
        intptr_t setKey = reinterpret_cast<intptr_t>(&sCatchAllKeys[1]);
        if (!WStringPtr(name).IsEmpty()) {
            Utf8Copy utf8(name);
            lua_pushstring(state, utf8.Text());
            const char* interned = lua_tostring(state, -1);
            getKey = GetterKey(interned);
            setKey = SetterKey(interned);
            // The reference keeps the interned text, and so the keys, valid.
            luaL_ref(state, LUA_REGISTRYINDEX);
        }
        const char16_t* shown = NonNull(name);  // the catch-all shows as "Class.(get)"
        if (getThunk != nullptr) {
            if (profiling)
                RegisterProfileName(getter, Format(u"%ls.%ls(%ls)", mClassName, shown, u"get"));
            PushLightKey(state, getKey);
            PushNativeClosure(getter, getThunk, classKey);
            lua_rawset(state, instanceMeta);
            if (!WStringPtr(name).IsEmpty()) {
                lua_pushlightuserdata(state, &sGetterTableKey);
                lua_rawget(state, instanceMeta);
                if (lua_istable(state, -1)) {
                    lua_pushstring(state, Utf8Copy(name).Text());
                    int field = lua_gettop(state);
                    bool direct = getThunk == &ScriptMethodThunk && sDirectGetters.Insert(getter, getter);
                    if (direct)
                        lua_pushlightuserdata(state, getter);
                    else
                        PushNativeClosure(getter, getThunk, classKey);
                    lua_pushvalue(state, field);
                    lua_pushvalue(state, -2);
                    lua_rawset(state, field - 1);
                    if (direct && MayHoldDirectGetter(lua_tostring(state, field))) {
                        lua_pushvalue(state, field);
                        lua_rawget(state, instanceMeta);
                        bool taken = !lua_isnil(state, -1) && lua_type(state, -1) != LUA_TLIGHTUSERDATA;
                        lua_pop(state, 1);
                        if (!taken) {
                            lua_pushvalue(state, field);
                            lua_pushvalue(state, -2);
                            lua_rawset(state, instanceMeta);
                        }
                    }
                    lua_settop(state, field - 1);
                }
                lua_pop(state, 1);
            }
        }
        if (setThunk != nullptr) {
            if (profiling)
                RegisterProfileName(setter, Format(u"%ls.%ls(%ls)", mClassName, shown, u"set"));
            PushLightKey(state, setKey);
            PushNativeClosure(setter, setThunk, classKey);
            lua_rawset(state, instanceMeta);
        }
        return 0;
    };
    Guard(u"Registering a property", add, 1);
}

void LuaScriptManager::RegisterReadOnlyProperty(const char16_t* name, void* getter, ScriptThunk getThunk) {
    RegisterProperty(name, getter, getThunk, nullptr, nullptr);
}

void LuaScriptManager::SetClassField(const char16_t* name, const Variable& value, bool isStatic) {
    if (!VOLUX_CHECK(_SOURCE, mClassName != _null))
        return;
    if (!VOLUX_CHECK(_SOURCE, lua_type( mLuaState, -1 ) == LUA_TTABLE))
        return;
    char* utf8 = Utf8Of(name);
    if (utf8 == nullptr)
        return;
    auto set = [&](lua_State* state) {
        if (isStatic)
            lua_getfield(state, -1, "__metatable");
        else
            lua_pushvalue(state, -1);
        lua_pushstring(state, utf8);
        PushValue(value);
        bool cleared = !isStatic && lua_isnil(state, -1);
        lua_pushvalue(state, -2);
        lua_insert(state, -3);
        lua_rawset(state, -4);
        if (cleared)
            RestoreDirectGetter(state, lua_gettop(state) - 1, lua_gettop(state));
        return 0;
    };
    Guard(u"Setting a class field", set, 1);
    MemFree(utf8);
}

bool LuaScriptManager::CreateGlobalObject(const char16_t* objectName, const char16_t* className) {
    char* classUtf8 = Utf8Of(className);
    char* objectUtf8 = Utf8Of(objectName);
    bool ok = false;
    bool failed = false;  // the constructor's error, or the operation's, is logged already
    if (classUtf8 != nullptr && objectUtf8 != nullptr) {
        auto create = [&](lua_State* state) {
            lua_getglobal(state, classUtf8);
            if (!lua_istable(state, -1))
                return 0;
            lua_getfield(state, -1, "new");
            lua_remove(state, -2);
            if (!lua_isfunction(state, -1))
                return 0;
            int code = ProtectedCall(0);
            if (code != 0) {
                CaptureError(code);
                LogLastError();
                failed = true;
                return 0;
            }
            lua_setglobal(state, objectUtf8);
            ok = true;
            return 0;
        };
        if (!Guard(u"Creating a global object", create))
            failed = true;
        if (!ok && !failed)
            PrintBoth(u"[LS] Can't create global object %ls of class %ls", NonNull(objectName), NonNull(className));
    }
    MemFree(classUtf8);
    MemFree(objectUtf8);
    return ok;
}

ScriptObject* LuaScriptManager::BindObject(const char16_t* className, ScriptObject* object, bool withProxy) {
    if (object == nullptr || object->binding != nullptr)
        return object;
    char* utf8 = Utf8Of(className);
    if (utf8 == nullptr)
        return nullptr;
    if (!mObjectTables.Reserve(mObjectTables.Count() + 1) || !mBoundObjects.Reserve(mBoundObjects.Count() + 1)) {
        MemFree(utf8);
        PrintBoth(u"[LS] Can't bind object of class %ls: out of memory", NonNull(className));
        return nullptr;
    }
    bool known = true;
    HostSlot* slot = nullptr;
    auto bind = [&](lua_State* state) {
        // The tables binding writes to, checked before anything is made.
        PushHostTableOrRaise(state, objectMap);
        PushHostTableOrRaise(state, strongMap);
        PushHostTableOrRaise(state, CurrentRecord().slotMetatable);
        lua_pop(state, 3);
        luaL_getmetatable(state, utf8);
        int instanceMeta = lua_gettop(state);
        if (!lua_istable(state, instanceMeta)) {
            known = false;
            return 0;
        }
        lua_newtable(state);
        int table = lua_gettop(state);
        lua_newtable(state);
        int objectMeta = lua_gettop(state);
        for (const char* name : _COPIED_METAMETHODS) {
            lua_getfield(state, instanceMeta, name);
            if (lua_isnil(state, -1))
                lua_pop(state, 1);
            else
                lua_setfield(state, objectMeta, name);
        }
        lua_pushvalue(state, instanceMeta);
        lua_rawseti(state, objectMeta, _META_INSTANCE);
        if (!withProxy && !HasGetters(state, instanceMeta)) {
            // Nothing to compute on a read: the script engine finds the instance functions
            // in the instance metatable itself, without a native call per look-up.
            lua_pushvalue(state, instanceMeta);
            lua_setfield(state, objectMeta, "__index");
        }
        if (withProxy) {
            lua_newtable(state);
            int proxy = lua_gettop(state);
            const lua_CFunction accessors[] = {&InstanceRead, &InstanceWrite};
            const char* const names[] = {"__index", "__newindex"};
            for (int i = 0; i < 2; i++) {
                lua_pushlightuserdata(state, this);
                lua_pushvalue(state, instanceMeta);
                lua_pushvalue(state, proxy);
                lua_pushlightuserdata(state, &sGetterTableKey);
                lua_rawget(state, instanceMeta);
                lua_pushcclosure(state, accessors[i], 4);
                lua_setfield(state, objectMeta, names[i]);
            }
            lua_rawseti(state, objectMeta, _META_PROXY);
        }
        slot = static_cast<HostSlot*>(lua_newuserdata(state, sizeof(HostSlot)));
        int slotIndex = lua_gettop(state);
        slot->tag = _HOST_TAG;
        slot->objectMap = objectMap;
        slot->object = object;
        slot->manager = this;
        slot->table = lua_topointer(state, table);
        slot->classKey = lua_topointer(state, instanceMeta);
        PushHostTableOrRaise(state, CurrentRecord().slotMetatable);
        lua_setmetatable(state, slotIndex);
        lua_pushvalue(state, table);
        lua_setfenv(state, slotIndex);
        lua_pushvalue(state, slotIndex);
        lua_rawseti(state, objectMeta, _META_SLOT);
        lua_pushvalue(state, objectMeta);
        lua_setmetatable(state, table);

        const int maps[] = {objectMap, strongMap};
        const int values[] = {slotIndex, table};
        for (int i = 0; i < 2; i++) {
            PushHostTableOrRaise(state, maps[i]);
            lua_pushlightuserdata(state, object);
            lua_pushvalue(state, values[i]);
            lua_rawset(state, -3);
            lua_pop(state, 1);
        }
        return 0;
    };
    bool bound = Guard(u"Binding an object", bind);
    MemFree(utf8);
    if (!known) {
        PrintBoth(u"[LS] Can't bind object to unknown class %ls", NonNull(className));
        return nullptr;
    }
    if (!bound) {
        // A slot made before the failure must never reach the object: its hook finds no tag.
        if (slot != nullptr) {
            slot->object = nullptr;
            slot->tag = 0;
        }
        return nullptr;
    }
    ScriptBinding* binding = new ScriptBinding();
    binding->withProxy = withProxy;
    binding->state = MainState();
    binding->className = className;
    mObjectTables.Insert(slot->table, slot);  // room was reserved above
    mBoundObjects.Insert(object, object);
    binding->slot = slot;
    object->binding = binding;
    return object;
}

void LuaScriptManager::FreeBinding(ScriptObject* object) {
    if (object == nullptr || object->binding == nullptr)
        return;
    ScriptBinding* binding = object->binding;
    object->binding = nullptr;
    mBoundObjects.Remove(object);
    if (!mClosing && binding->slot != nullptr && binding->state != nullptr) {
        // The table outlives the object: it must never reach it again.
        binding->slot->object = nullptr;
        lua_State* state = binding->state;
        for (const ScriptStateRecord& record : states) {
            if (record.state != state)
                continue;
            const int maps[] = {record.objectMap, record.strongMap};
            for (int map : maps) {
                if (!PushHostTable(state, map))
                    continue;
                lua_pushlightuserdata(state, object);
                lua_pushnil(state);
                lua_rawset(state, -3);
                lua_pop(state, 1);
            }
            int ref = 0;
            while (binding->refs.Count() > 0 && binding->refs.Pop(&ref))
                luaL_unref(state, LUA_REGISTRYINDEX, ref);
        }
    }
    delete binding;
}

bool LuaScriptManager::PushObjectTable(ScriptObject* object) {
    if (object == nullptr || object->binding == nullptr)
        return false;
    lua_State* state = mLuaState;
    // A second round only after the object was given a new table.
    for (int round = 0; round < 2; round++) {
        ScriptBinding* binding = object->binding;
        if (binding->slot != nullptr) {
            if (!PushHostTable(state, objectMap))
                return false;
            lua_pushlightuserdata(state, object);
            lua_rawget(state, -2);
            if (lua_touserdata(state, -1) == binding->slot) {
                lua_getfenv(state, -1);  // the slot's environment is its table
                lua_replace(state, -3);
                lua_pop(state, 1);
                if (VOLUX_CHECK(_SOURCE, lua_type( state, -1 ) == LUA_TTABLE))
                    return true;
                lua_pop(state, 1);
                return false;
            }
            lua_pop(state, 2);
            if (!VOLUX_CHECK(_SOURCE, round == 0 && binding->state == MainState()))
                return false;  // bound in another state, or the new table is not where it was put
            // The collector found the table dead and its hook has not run yet: the table
            // must never reach anyone again. The hook then finds no object to delete.
            binding->slot->object = nullptr;
            mObjectTables.Remove(binding->slot->table);
            binding->slot = nullptr;
        }
        if (mClosing)
            return false;
        // Held natively while its table was collected, or found dead: give it a new table.
        WString className = binding->className;
        bool withProxy = binding->withProxy;
        int holdCount = binding->holdCount;
        delete binding;
        object->binding = nullptr;
        if (BindObject(className, object, withProxy) == nullptr || object->binding == nullptr) {
            mBoundObjects.Remove(object);
            return false;
        }
        object->binding->holdCount = holdCount;
    }
    return false;
}

void LuaScriptManager::PushObject(ScriptObject* object) {
    if (!PushObjectTable(object)) {
        lua_pushnil(mLuaState);
        return;
    }
    ScriptBinding* binding = object->binding;
    if (binding->strongHeld && PushHostTable(mLuaState, strongMap)) {
        lua_pushlightuserdata(mLuaState, object);
        lua_pushnil(mLuaState);
        lua_rawset(mLuaState, -3);
        lua_pop(mLuaState, 1);
        binding->strongHeld = false;
    }
}

HostSlot* LuaScriptManager::SlotAt(lua_State* state, int index) {
    if (lua_type(state, index) != LUA_TTABLE)
        return nullptr;
    return static_cast<HostSlot*>(mObjectTables.Find(lua_topointer(state, index)));
}

ScriptObject* LuaScriptManager::ToObject(lua_State* state, int index) {
    HostSlot* slot = SlotAt(state, index);
    return slot != nullptr ? slot->object : nullptr;
}

bool LuaScriptManager::IsBoundWithoutTable(const void* pointer) {
    // Only pointers the map holds are dereferenced. The caller found no live table for the
    // object in the current state's map: one bound in this state has lost it.
    const ScriptObject* object = static_cast<const ScriptObject*>(mBoundObjects.Find(pointer));
    if (object == nullptr || object->binding == nullptr)
        return false;
    return object->binding->slot == nullptr || object->binding->state == MainState();
}

void LuaScriptManager::ForgetObjectTables() {
    // Tables of states the manager did not create outlive it: their hooks must find
    // neither the manager nor the objects.
    mObjectTables.ForEach([](const void*, void* value) {
        HostSlot* slot = static_cast<HostSlot*>(value);
        slot->manager = nullptr;
        slot->object = nullptr;
    });
    mObjectTables.Clear();
    mBoundObjects.Clear();
}

void LuaScriptManager::AttachChild(ScriptObject* object, ScriptObject* child) {
    if (object == nullptr || child == nullptr || !PushObjectTable(object))
        return;
    lua_pushlightuserdata(mLuaState, child);
    PushObject(child);
    lua_rawset(mLuaState, -3);
    lua_pop(mLuaState, 1);
}

void LuaScriptManager::DetachChild(ScriptObject* object, ScriptObject* child) {
    if (object == nullptr || child == nullptr || !PushObjectTable(object))
        return;
    lua_pushlightuserdata(mLuaState, child);
    lua_pushnil(mLuaState);
    lua_rawset(mLuaState, -3);
    lua_pop(mLuaState, 1);
    PushObject(child);  // ends the child's strong hold
    lua_pop(mLuaState, 1);
}

void LuaScriptManager::HoldObject(ScriptObject* object) {
    if (object == nullptr || !PushObjectTable(object))
        return;
    int ref = luaL_ref(mLuaState, LUA_REGISTRYINDEX);
    if (!object->binding->refs.Push(ref))
        luaL_unref(mLuaState, LUA_REGISTRYINDEX, ref);
}

void LuaScriptManager::ReleaseObject(ScriptObject* object) {
    if (object == nullptr || object->binding == nullptr || object->binding->refs.Count() == 0)
        return;
    int ref = 0;
    if (object->binding->refs.Pop(&ref))
        luaL_unref(mLuaState, LUA_REGISTRYINDEX, ref);
}

void LuaScriptManager::AddBindingRef(ScriptObject* object) {
    if (object != nullptr && object->binding != nullptr)
        object->binding->holdCount++;
}

void LuaScriptManager::ReleaseBindingRef(ScriptObject* object) {
    if (object != nullptr && object->binding != nullptr && object->binding->holdCount > 0)
        object->binding->holdCount--;
}

} // namespace Volux
