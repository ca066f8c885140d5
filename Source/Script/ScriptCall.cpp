// The native-call protocol: call frames, argument readers with their numbering, the
// pooled argument texts and the return operations.
#include "Common/EngineContext.h"
#include "Common/Memory.h"
#include "Common/StringEncoding.h"
#include "Common/StringFormatter.h"
#include "Script/LuaScriptManager.h"
#include "ScriptHost.h"

namespace Volux {

void* LuaScriptManager::BeginCall(void* function) {
    callFrames.Push(ScriptCallFrame());
    if (function != nullptr)
        return function;
    return lua_touserdata(mLuaState, lua_upvalueindex(1));
}

ScriptObject* LuaScriptManager::FetchThis(bool peek) {
    ScriptObject* self = ToObject(1);
    if (!peek && callFrames.Length() > 0) {
        ScriptCallFrame& frame = callFrames.Top();
        frame.self = self;
        frame.firstArg = self != nullptr ? 2 : 1;
    }
    return self;
}

int LuaScriptManager::ArgSlot(int index) {
    _dword depth = callFrames.Length();
    if (depth == 0 || index < 0)
        return 0;
    int slot = index + callFrames.Top().firstArg;
    return slot <= lua_gettop(mLuaState) ? slot : 0;
}

int LuaScriptManager::GetArgCount() {
    if (callFrames.Length() == 0)
        return 0;
    int count = lua_gettop(mLuaState) - (callFrames.Top().firstArg - 1);
    return count > 0 ? count : 0;
}

bool LuaScriptManager::GetArgBool(int index) {
    int slot = ArgSlot(index);
    return slot != 0 && lua_toboolean(mLuaState, slot) != 0;
}

namespace {
// The common short ASCII text without the general decoder: copies up to the first NUL
// as Utf8ToWide does; false (buffer unspecified) when a byte needs the decoder.
inline bool WidenAscii(char16_t* buffer, const char* utf8, size_t length) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(utf8);
    size_t i = 0;
    for (; i < length; i++) {
        unsigned char b = bytes[i];
        if (b >= 0x80)
            return false;
        if (b == 0)
            break;
        buffer[i] = char16_t(b);
    }
    buffer[i] = 0;
    return true;
}

// Integer value of an argument (0 when absent); narrower widths truncate it.
inline int64_t ArgInteger(lua_State* state, int slot) {
    return slot != 0 ? NumberToInt64(lua_tonumber(state, slot)) : 0;
}
} // namespace

char16_t LuaScriptManager::GetArgWChar(int index) { return char16_t(ArgInteger(mLuaState, ArgSlot(index))); }
int8_t LuaScriptManager::GetArgInt8(int index) { return int8_t(ArgInteger(mLuaState, ArgSlot(index))); }
int16_t LuaScriptManager::GetArgInt16(int index) { return int16_t(ArgInteger(mLuaState, ArgSlot(index))); }
int32_t LuaScriptManager::GetArgInt32(int index) { return int32_t(ArgInteger(mLuaState, ArgSlot(index))); }
int64_t LuaScriptManager::GetArgInt64(int index) { return ArgInteger(mLuaState, ArgSlot(index)); }
uint8_t LuaScriptManager::GetArgUInt8(int index) { return uint8_t(ArgInteger(mLuaState, ArgSlot(index))); }
uint16_t LuaScriptManager::GetArgUInt16(int index) { return uint16_t(ArgInteger(mLuaState, ArgSlot(index))); }
uint32_t LuaScriptManager::GetArgUInt32(int index) { return uint32_t(ArgInteger(mLuaState, ArgSlot(index))); }

uint64_t LuaScriptManager::GetArgUInt64(int index) {
    int slot = ArgSlot(index);
    return slot != 0 ? NumberToUInt64(lua_tonumber(mLuaState, slot)) : 0;
}

float LuaScriptManager::GetArgFloat(int index) {
    int slot = ArgSlot(index);
    return slot != 0 ? float(lua_tonumber(mLuaState, slot)) : 0.0f;
}

double LuaScriptManager::GetArgDouble(int index) {
    int slot = ArgSlot(index);
    return slot != 0 ? lua_tonumber(mLuaState, slot) : 0.0;
}

inline char16_t* LuaScriptManager::TakeTextBuffer() {
    if (mSpareCount > 0)
        return mSpareBuffers[--mSpareCount];
    char16_t* buffer = nullptr;
    if (textBuffers.Count() > 0 && textBuffers.Pop(&buffer) && buffer != nullptr)
        return buffer;
    return static_cast<char16_t*>(MemAlloc(_TEXT_BUFFER_CHARS * sizeof(char16_t)));
}

inline void LuaScriptManager::GiveBackTextBuffer(char16_t* buffer) {
    if (mSpareCount < _SPARE_BUFFERS)
        mSpareBuffers[mSpareCount++] = buffer;
    else if (!textBuffers.Push(buffer))
        MemFree(buffer);
}

void LuaScriptManager::ReleaseArgTexts(_dword depth) {
    while (argTexts.Count() > 0) {
        ScriptArgText& last = argTexts.Top();
        if (last.depth < depth)
            break;
        if (last.pooled)
            GiveBackTextBuffer(last.text);
        else
            MemFree(last.text);
        argTexts.Pop();
    }
}

const char16_t* LuaScriptManager::GetArgString(int index) {
    int slot = ArgSlot(index);
    if (slot == 0)
        return _EMPTY_TEXT;
    lua_State* state = mLuaState;
    int top = -1;  // set where values are pushed
    // The UTF-8 source first: a "__tostring" may raise an error, which must not find a
    // buffer taken and not yet recorded.
    const char* utf8 = nullptr;
    size_t length = 0;
    const void* address = nullptr;  // a table without a text of its own, or a function
    const char16_t* fixed = nullptr;
    int type = lua_type(state, slot);
    switch (type) {
        case LUA_TSTRING:
            utf8 = lua_tolstring(state, slot, &length);
            break;
        case LUA_TNUMBER:
            // Converted on a copy, so the argument itself stays a number.
            top = lua_gettop(state);
            lua_pushvalue(state, slot);
            utf8 = lua_tolstring(state, -1, &length);
            break;
        case LUA_TTABLE:
            top = lua_gettop(state);
            if (luaL_getmetafield(state, slot, "__tostring")) {
                lua_pushvalue(state, slot);
                lua_call(state, 1, 1);
                if (lua_type(state, -1) == LUA_TSTRING)
                    utf8 = lua_tolstring(state, -1, &length);
            }
            if (utf8 == nullptr) {
                ScriptObject* object = ToObject(slot);
                address = object != nullptr ? static_cast<const void*>(object) : lua_topointer(state, slot);
            }
            break;
        case LUA_TNIL:
            fixed = u"nil";
            break;
        case LUA_TBOOLEAN:
            fixed = lua_toboolean(state, slot) ? u"true" : u"false";
            break;
        case LUA_TFUNCTION:
            address = lua_topointer(state, slot);
            break;
        default:
            fixed = u"";
            break;
    }
    char16_t* buffer = TakeTextBuffer();
    if (buffer == nullptr) {
        if (top >= 0)
            lua_settop(state, top);
        return _EMPTY_TEXT;
    }
    buffer[0] = 0;
    char16_t* text = buffer;
    if (utf8 != nullptr) {
        if (length >= size_t(_TEXT_BUFFER_CHARS) || !WidenAscii(buffer, utf8, length)) {
            int count = length > size_t(_MAX_ALLOCATION / 4) ? int(_MAX_ALLOCATION / 4) : int(length);
            bool truncated = false;
            Utf8ToWide(buffer, _TEXT_BUFFER_CHARS, utf8, count, nullptr, &truncated);
            if (truncated) {
                char16_t* full = Utf8ToWide(nullptr, 0, utf8, count);
                if (full != nullptr)
                    text = full;
            }
        }
    } else if (fixed != nullptr) {
        Text::CopyText(buffer, fixed);
    } else {
        FormatBuffer(buffer, _TEXT_BUFFER_CHARS, type == LUA_TFUNCTION ? u"function: 0x%p" : u"table: 0x%p", address);
    }
    if (top >= 0)
        lua_settop(state, top);
    ScriptArgText record;
    record.depth = callFrames.Length();
    if (text != buffer) {
        // The pooled buffer was not needed after all.
        GiveBackTextBuffer(buffer);
        record.text = text;
        record.pooled = false;
    } else {
        record.text = buffer;
        record.pooled = true;
    }
    argTexts.Push(record);
    return record.text;
}

ScriptObject* LuaScriptManager::GetArgObject(int index) {
    int slot = ArgSlot(index);
    return slot != 0 ? ToObject(slot) : nullptr;
}

bool LuaScriptManager::GetArgValue(int index, Variable& result) {
    int slot = ArgSlot(index);
    if (slot == 0) {
        result.Clear();
        return false;
    }
    ReadValue(slot, result);
    return true;
}

void LuaScriptManager::RaiseCallError() {
    // Nothing with a destructor may be alive here: the error unwinds through this frame.
    char* utf8 = Utf8Of(callError);
    callError = u"";
    lua_pushstring(mLuaState, utf8 != nullptr ? utf8 : "");
    MemFree(utf8);
    lua_error(mLuaState);
}

bool LuaScriptManager::EndCall(ScriptObject** self) {
    _dword depth = callFrames.Length();
    if (argTexts.Count() > 0)
        ReleaseArgTexts(depth > 0 ? depth : 1);
    if (depth == 0)
        return false;
    ScriptCallFrame& frame = callFrames.Top();
    if (frame.profiled)
        LuaScriptManager::EndNativeProfile();
    if (self != nullptr)
        *self = frame.self;
    callFrames.Pop();
    if (!callError.IsEmpty())
        RaiseCallError();
    return true;
}

int LuaScriptManager::ReturnValue(const Variable& value) {
    if (!EndCall(nullptr))
        return 0;
    PushValue(value);
    return 1;
}

int LuaScriptManager::ReturnNothing() {
    ScriptObject* self = nullptr;
    // The flag belongs to this call only: a later call must not return a stale value.
    bool left = resultLeft;
    resultLeft = false;
    if (!EndCall(&self))
        return 0;
    if (self != nullptr && PushObjectTable(self))
        return 1;
    // The run's result is already on top of this call's stack.
    return left ? 1 : 0;
}

#define VOLUX_RETURN(name, type, push) \
    int LuaScriptManager::name(type value) { \
        if (!EndCall(nullptr)) \
            return 0; \
        push; \
        return 1; \
    }

VOLUX_RETURN(ReturnBool, bool, lua_pushboolean(mLuaState, value ? 1 : 0))
VOLUX_RETURN(ReturnWChar, char16_t, lua_pushinteger(mLuaState, lua_Integer(uint16_t(value))))
VOLUX_RETURN(ReturnInt8, int8_t, lua_pushinteger(mLuaState, lua_Integer(value)))
VOLUX_RETURN(ReturnInt16, int16_t, lua_pushinteger(mLuaState, lua_Integer(value)))
VOLUX_RETURN(ReturnInt32, int32_t, lua_pushinteger(mLuaState, lua_Integer(value)))
VOLUX_RETURN(ReturnInt64, int64_t, lua_pushnumber(mLuaState, lua_Number(value)))
VOLUX_RETURN(ReturnUInt8, uint8_t, lua_pushinteger(mLuaState, lua_Integer(value)))
VOLUX_RETURN(ReturnUInt32, uint32_t, lua_pushnumber(mLuaState, lua_Number(value)))
VOLUX_RETURN(ReturnUInt64, uint64_t, lua_pushnumber(mLuaState, lua_Number(value)))
VOLUX_RETURN(ReturnFloat, float, lua_pushnumber(mLuaState, lua_Number(value)))
VOLUX_RETURN(ReturnDouble, double, lua_pushnumber(mLuaState, value))
#undef VOLUX_RETURN

int LuaScriptManager::ReturnUInt16(uint16_t value) { return ReturnWChar(char16_t(value)); }

int LuaScriptManager::ReturnString(const char16_t* text) {
    if (callFrames.Length() == 0) {
        ReleaseArgTexts(1);
        return 0;
    }
    // Converted before the call ends: the text is often one of the call's own argument
    // texts, which ending the call releases.
    if (utf8Buffer == nullptr)
        utf8Buffer = static_cast<char*>(MemAlloc(_UTF8_BUFFER_BYTES));
    int length = 0;
    bool truncated = true;
    if (utf8Buffer != nullptr)
        WideToUtf8(utf8Buffer, _UTF8_BUFFER_BYTES, NonNull(text), -1, &length, &truncated);
    char* full = nullptr;
    if (truncated)
        full = Utf8Of(text, &length);
    if (!callError.IsEmpty()) {
        MemFree(full);  // the call fails instead, and the error does not come back here
        full = nullptr;
    }
    EndCall(nullptr);
    if (!truncated) {
        lua_pushlstring(mLuaState, utf8Buffer, size_t(length));
        return 1;
    }
    lua_pushlstring(mLuaState, full != nullptr ? full : "", full != nullptr ? size_t(length) : 0);
    MemFree(full);
    return 1;
}

int LuaScriptManager::ReturnObject(ScriptObject* object) {
    if (!EndCall(nullptr))
        return 0;
    PushObject(object);
    return 1;
}

// The generic thunks of ScriptCallback functions.
int CallScriptCallback(lua_State* state, void* function, bool method) {
    IScriptManager* scripts = EngineContext::Get().scriptManager;
    if (scripts == nullptr)
        return 0;
    // The one implementation: its own steps are called without virtual dispatch.
    LuaScriptManager* manager = static_cast<LuaScriptManager*>(scripts);
    lua_State* caller = manager->mLuaState;
    manager->mLuaState = state;  // the calling thread, a coroutine's included
    // BeginCall and FetchThis in one step: the frame is pushed complete.
    ScriptCallback callback = reinterpret_cast<ScriptCallback>(
        function != nullptr ? function : lua_touserdata(state, lua_upvalueindex(1)));
    ScriptCallFrame frame;
    if (method) {
        frame.self = manager->ToObject(1);
        frame.firstArg = frame.self != nullptr ? 2 : 1;
    }
    manager->callFrames.Push(frame);
    ScriptObject* self = frame.self;
    int count = 0;
    if (callback == nullptr) {
        manager->SetCallError(u"Internal Error : function empty");
        count = manager->LuaScriptManager::ReturnNothing();
    } else {
        // Functions registered before profiling started have no record and are not
        // measured. The return operation closes the entry, before a call error can
        // unwind past this frame.
        if (manager->profiling && manager->HasNativeProfile(reinterpret_cast<void*>(callback))) {
            manager->LuaScriptManager::BeginNativeProfile(reinterpret_cast<void*>(callback));
            manager->callFrames.Top().profiled = true;
        }
        count = callback(*scripts, self);
    }
    manager->mLuaState = caller;
    return count;
}

int ScriptMethodThunk(lua_State* state) { return CallScriptCallback(state, nullptr, true); }
int ScriptFunctionThunk(lua_State* state) { return CallScriptCallback(state, nullptr, false); }

} // namespace Volux
