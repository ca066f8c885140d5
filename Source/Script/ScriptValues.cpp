// Conversions between script values and Variable, both ways.
#include "Common/Log.h"
#include "Common/Memory.h"
#include "Common/StringEncoding.h"
#include "Common/StringFormatter.h"
#include "Script/LuaScriptManager.h"
#include "ScriptHost.h"

namespace Volux {

namespace {

// Deeper nesting than this is cut off.
constexpr int _MAX_VALUE_DEPTH = 64;
// A table shared many times over converts into a copy for every place it is met, which
// grows exponentially with the nesting (t = {t, t} forty times over is 2^40 values): past
// this many values a conversion stops.
constexpr int _MAX_VALUE_NODES = 100000;

bool IsNumericKind(_dword kind) { return kind >= _KIND_BOOL && kind <= _KIND_DOUBLE; }

// Text of a table key: strings as they are, numbers as the script prints them.
WString KeyText(lua_State* state, int index) {
    switch (lua_type(state, index)) {
        case LUA_TSTRING:
        case LUA_TNUMBER: {
            lua_pushvalue(state, index);
            size_t length = 0;
            const char* text = lua_tolstring(state, -1, &length);
            WString result = WideOf(text, length);
            lua_pop(state, 1);
            return result;
        }
        case LUA_TBOOLEAN:
            return WString(lua_toboolean(state, index) ? u"true" : u"false");
        default:
            return Format(u"%p", lua_topointer(state, index));
    }
}

// Gives the variable a new kind from scratch while it keeps its name and key.
void Reset(Variable& variable) {
    WString name = variable.name;
    double key = variable.key;
    bool hasKey = variable.hasKey;
    variable.Clear();
    variable.name = name;
    variable.key = key;
    variable.hasKey = hasKey;
}

// One conversion of a script value into a Variable. Tables on the path being converted
// are cut where they are met again (a table inside itself would never end); each kind of
// cut is logged once per conversion.
struct ValueReader {
    LuaScriptManager* manager;
    lua_State* state;
    const void* path[_MAX_VALUE_DEPTH] = {};  // the tables being converted, outermost first
    int nodes = 0;
    bool warnedDepth = false;
    bool warnedCycle = false;
    bool warnedSize = false;

    ValueReader(LuaScriptManager* owner, lua_State* thread) : manager(owner), state(thread) {}

    static void WarnOnce(bool& warned, const char16_t* text) {
        if (!warned)
            PrintBoth(u"%ls", text);
        warned = true;
    }

    // True once the conversion holds as many values as it may; asked only with another
    // value waiting.
    bool Full() {
        if (nodes < _MAX_VALUE_NODES)
            return false;
        WarnOnce(warnedSize, u"[LS] Table too large to convert: the values past the limit are left empty");
        return true;
    }

    void Read(int index, Variable& result, int depth) {
        if (Full()) {
            Reset(result);
            return;
        }
        nodes++;
        int type = lua_type(state, index);
        _dword kind = result.Kind();
        bool typed = !result.IsNone() && !result.IsArray() && kind != _KIND_DICT;
        switch (type) {
            case LUA_TBOOLEAN: {
                bool value = lua_toboolean(state, index) != 0;
                if (typed && IsNumericKind(kind) && kind != _KIND_BOOL) {
                    result.SetNumber(value ? 1.0 : 0.0);
                } else if (typed && kind == _KIND_TEXT) {
                    result.SetText(value ? u"true" : u"false");
                } else {
                    Reset(result);
                    result.SetBool(value);
                }
                return;
            }
            case LUA_TLIGHTUSERDATA:
                Reset(result);
                result.SetPointer(lua_touserdata(state, index));
                return;
            case LUA_TNUMBER:
            case LUA_TSTRING: {
                if (typed && IsNumericKind(kind)) {
                    result.SetNumber(lua_tonumber(state, index));
                    return;
                }
                if (type == LUA_TNUMBER && !(typed && kind == _KIND_TEXT)) {
                    Reset(result);
                    result.SetDouble(lua_tonumber(state, index));
                    return;
                }
                lua_pushvalue(state, index);
                size_t length = 0;
                const char* text = lua_tolstring(state, -1, &length);
                WString wide = WideOf(text, length);
                lua_pop(state, 1);
                Reset(result);
                result.SetText(wide);
                return;
            }
            case LUA_TTABLE:
                ReadTable(index, result, depth);
                return;
            case LUA_TFUNCTION:
                // The reference is the Variable's: released with its value, duplicated for
                // its copies, in this state only. Whoever keeps it longer takes it with
                // TakeFunction.
                Reset(result);
                lua_pushvalue(state, index);
                result.AdoptFunction(luaL_ref(state, LUA_REGISTRYINDEX), manager->CurrentSerial());
                return;
            default:
                if (typed && IsNumericKind(kind))
                    result.SetNumber(0.0);
                else if (typed && kind == _KIND_TEXT)
                    result.SetText(u"");
                else
                    Reset(result);
                return;
        }
    }

    void ReadTable(int index, Variable& result, int depth) {
        ScriptObject* object = manager->ToObject(index);
        if (object != nullptr) {
            Reset(result);
            result.SetPointer(object);
            return;
        }
        WString name = result.name;
        double key = result.key;
        bool hasKey = result.hasKey;
        if (depth >= _MAX_VALUE_DEPTH || !lua_checkstack(state, 4)) {
            WarnOnce(warnedDepth, u"[LS] Table nested too deeply to convert");
            Reset(result);
            return;
        }
        const void* address = lua_topointer(state, index);
        for (int i = 0; i < depth; i++) {
            if (path[i] == address) {
                WarnOnce(warnedCycle, u"[LS] Table contains itself: the inner occurrences are left empty");
                Reset(result);
                return;
            }
        }
        path[depth] = address;
        size_t length = lua_objlen(state, index);
        size_t entries = 0;
        lua_pushnil(state);
        while (lua_next(state, index) != 0) {
            entries++;
            lua_pop(state, 1);
        }
        if (length >= 1 && entries == length) {
            result.Clear();
            result = Variable(name, _ARRAY_FLAG);
            for (size_t i = 1; i <= length && !Full(); i++) {
                Variable& child = result.AddChild(Format(u"[%d]", int(i - 1)), _KIND_NONE);
                if (child.IsShared())
                    break;
                lua_rawgeti(state, index, int(i));
                Read(lua_gettop(state), child, depth + 1);
                lua_pop(state, 1);
            }
        } else {
            result.Clear();
            result = Variable(name, _KIND_DICT);
            lua_pushnil(state);
            while (lua_next(state, index) != 0) {
                if (Full()) {
                    lua_pop(state, 2);
                    break;
                }
                int valueIndex = lua_gettop(state);
                Variable& child = result.AddChild(KeyText(state, valueIndex - 1), _KIND_NONE);
                if (!child.IsShared()) {
                    if (lua_type(state, valueIndex - 1) == LUA_TNUMBER) {
                        child.key = lua_tonumber(state, valueIndex - 1);
                        child.hasKey = true;
                    }
                    Read(valueIndex, child, depth + 1);
                }
                lua_pop(state, 1);
            }
        }
        result.key = key;
        result.hasKey = hasKey;
    }
};

} // namespace

void LuaScriptManager::ReadValue(int index, Variable& result) {
    if (result.IsShared())
        return;
    if (index < 0 && index > LUA_REGISTRYINDEX)
        index = lua_gettop(mLuaState) + index + 1;
    ValueReader reader(this, mLuaState);
    reader.Read(index, result, 0);
}

namespace {

void PushText(lua_State* state, const char16_t* text) {
    Utf8Copy utf8(text);
    lua_pushlstring(state, utf8.Text(), utf8.Length());
}

} // namespace

void LuaScriptManager::PushValue(const Variable& value, ScriptObject* object) {
    PushValueAt(value, object, 0);
}

void LuaScriptManager::PushValueAt(const Variable& value, ScriptObject* object, int depth) {
    lua_State* state = mLuaState;
    if (depth >= _MAX_VALUE_DEPTH || !lua_checkstack(state, 4)) {
        lua_pushnil(state);
        return;
    }
    if (value.IsArray()) {
        lua_createtable(state, value.ChildCount(), 0);
        for (int i = 0; i < value.ChildCount(); i++) {
            PushValueAt(value.Child(i), object, depth + 1);
            lua_rawseti(state, -2, i + 1);
        }
        return;
    }
    switch (value.Kind()) {
        case _KIND_BOOL:
            lua_pushboolean(state, value.AsInt64() != 0);
            return;
        case _KIND_CHAR16:
        case _KIND_INT8:
        case _KIND_INT16:
        case _KIND_INT32:
        case _KIND_UINT8:
        case _KIND_UINT16:
            lua_pushinteger(state, lua_Integer(value.AsInt32()));
            return;
        case _KIND_INT64:
            lua_pushnumber(state, lua_Number(value.AsInt64()));
            return;
        case _KIND_UINT32:
            lua_pushnumber(state, lua_Number(uint32_t(value.AsUInt64())));
            return;
        case _KIND_UINT64:
            lua_pushnumber(state, lua_Number(value.AsUInt64()));
            return;
        case _KIND_FLOAT:
            lua_pushnumber(state, lua_Number(value.value.f32));
            return;
        case _KIND_DOUBLE:
            lua_pushnumber(state, value.AsDouble());
            return;
        case _KIND_BYTES:
            lua_pushlstring(state, reinterpret_cast<const char*>(value.AsBytes() != nullptr ? value.AsBytes()
                                                                                            : reinterpret_cast<const _byte*>("")),
                            value.BytesLength());
            return;
        case _KIND_TEXT:
            PushText(state, value.AsText());
            return;
        case _KIND_OBJECT: {
            // Only a pointer the object map knows is an object; any other pointer goes
            // to scripts as light userdata and is never dereferenced.
            void* pointer = value.AsPointer();
            bool known = false;
            if (pointer != nullptr && PushHostTable(state, objectMap)) {
                lua_pushlightuserdata(state, pointer);
                lua_rawget(state, -2);
                known = lua_type(state, -1) == LUA_TUSERDATA || IsBoundWithoutTable(pointer);
                lua_pop(state, 2);
            }
            if (pointer == nullptr)
                lua_pushnil(state);
            else if (known)
                PushObject(static_cast<ScriptObject*>(pointer));
            else
                lua_pushlightuserdata(state, pointer);
            return;
        }
        case _KIND_FUNCTION: {
            int ref = value.AsFunction();
            if (value.OwnsFunction() && value.functionOwner != CurrentSerial()) {
                // Another state's reference: the number means nothing here.
                lua_pushnil(state);
            } else if (ref > 0) {
                lua_rawgeti(state, LUA_REGISTRYINDEX, ref);
            } else if (object != nullptr && value.hasKey && PushObjectTable(object)) {
                // The function an object keeps under a light key (the Variable's key).
                PushLightKey(state, intptr_t(NumberToInt64(value.key)));
                lua_rawget(state, -2);
                lua_remove(state, -2);
            } else {
                lua_pushnil(state);
            }
            return;
        }
        case _KIND_DICT: {
            lua_createtable(state, 0, value.ChildCount());
            for (int i = 0; i < value.ChildCount(); i++) {
                const Variable& child = value.Child(i);
                if (child.hasKey)
                    lua_pushnumber(state, child.key);
                else
                    PushText(state, child.name);
                PushValueAt(child, object, depth + 1);
                lua_rawset(state, -3);
            }
            return;
        }
        default:
            lua_pushnil(state);
            return;
    }
}

} // namespace Volux
