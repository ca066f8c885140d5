// Private helpers shared by the script host's source files.
#pragma once

#include <lua.hpp>

#include "Common/WString.h"

namespace Volux {

class LuaScriptManager;

// Wide text of a UTF-8 run, and the reverse, as owned strings (for messages and names).
WString WideOf(const char* utf8, size_t length);
WString WideOf(const char* utf8);
// A NUL-terminated UTF-8 copy; free with MemFree. Never null (empty on failure).
char* Utf8Of(const char16_t* text, int* length = nullptr);

// Pushes a light userdata key (a pointer-sized number used as a table key).
inline void PushLightKey(lua_State* state, intptr_t key) {
    lua_pushlightuserdata(state, reinterpret_cast<void*>(key));
}

// Saturating conversions of script numbers: out-of-range values and NaN would be
// undefined behaviour in a plain cast.
inline int64_t NumberToInt64(double value) {
    if (value != value)
        return 0;
    if (value >= 9223372036854775807.0)
        return INT64_MAX;
    if (value <= -9223372036854775808.0)
        return INT64_MIN;
    return int64_t(value);
}

inline uint64_t NumberToUInt64(double value) {
    if (value >= 18446744073709551615.0)
        return UINT64_MAX;
    if (value >= 9223372036854775808.0)
        return uint64_t(value);
    return uint64_t(NumberToInt64(value));
}

// Metamethods the states are made with (ScriptBinding.cpp); upvalue 1 is the manager.
int ScriptHostClassRead(lua_State* state);
int ScriptHostClassWrite(lua_State* state);
int ScriptHostSlotCollected(lua_State* state);

// The generic thunks' work for a ScriptCallback given directly.
int CallScriptCallback(lua_State* state, void* function, bool method);

// The manager an upvalue of the host's own metamethods names.
inline LuaScriptManager* ManagerOf(lua_State* state) {
    return static_cast<LuaScriptManager*>(lua_touserdata(state, lua_upvalueindex(1)));
}

} // namespace Volux
