// Private helpers shared by the script host's source files.
#pragma once

#include <lua.hpp>

#include <cstdint>

#include "Common/Memory.h"
#include "Common/WString.h"
#include "Script/ScriptObject.h"

namespace Volux {

class LuaScriptManager;
struct ScriptEntryRecord;

// Wide text of a UTF-8 run, and the reverse, as owned strings (for messages and names).
WString WideOf(const char* utf8, size_t length);
WString WideOf(const char* utf8);
// A NUL-terminated UTF-8 copy; free with MemFree. Never null (empty on failure).
char* Utf8Of(const char16_t* text, int* length = nullptr);

// A UTF-8 copy for a scope whose script calls may raise: freed on the way out, a script
// error's unwinding included (on the targets whose unwinder runs destructors).
class Utf8Copy {
public:
    explicit Utf8Copy(const char16_t* text) : mText(Utf8Of(text, &mLength)) {}
    ~Utf8Copy() { MemFree(mText); }
    Utf8Copy(const Utf8Copy&) = delete;
    Utf8Copy& operator=(const Utf8Copy&) = delete;
    // Never null: empty when the copy failed.
    const char* Text() const { return mText != nullptr ? mText : ""; }
    size_t Length() const { return mText != nullptr ? size_t(mLength) : 0; }

private:
    int mLength = 0;
    char* mText;
};

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

// Where a native call sits on the C stack: the stack pointer the script engine had when it
// called the host function (that function's canonical frame address). Every host function
// the engine calls from one level of its own gets the same position, and a call nested
// inside another (through lua_call, a protected call or a coroutine resume; LuaJIT runs
// coroutines on the C stack of their resumer) gets a strictly lower one. A recorded call
// whose position is at or below the position of a later call, or at or below the frame of
// code running now, has therefore been unwound. Only meaningful in the function the engine
// called itself.
#define VOLUX_ENTRY_POSITION() static_cast<const void*>(__builtin_dwarf_cfa())

// True when a call recorded at position has been unwound by the time code at here runs.
inline bool IsUnwound(const void* position, const void* here) {
    return reinterpret_cast<uintptr_t>(position) <= reinterpret_cast<uintptr_t>(here);
}

// The block of the full userdata that ties an object table to its native object (see
// ScriptBinding.cpp).
struct HostSlot {
    _dword tag;                 // _HOST_TAG for a live slot
    int objectMap;              // registry reference of the state's object map
    ScriptObject* object;       // null once the object was deleted, let go or given a new table
    LuaScriptManager* manager;  // null once the manager is gone
    const void* table;          // the object table's address: its key in the index
    const void* classKey;       // the object's class (its instance metatable's address)
};

// Pushes the host's table under the registry reference ref and returns true. Scripts reach
// the registry (debug.getregistry) and can replace the entry: false then, nothing pushed,
// and one "[LS]" line.
bool PushHostTable(lua_State* state, int ref);

// Metamethods the states are made with (ScriptBinding.cpp); upvalue 1 is the manager.
int ScriptHostClassRead(lua_State* state);
int ScriptHostClassWrite(lua_State* state);
int ScriptHostSlotCollected(lua_State* state);

// The generic thunks' work for a ScriptCallback given directly. entry holds the caller's
// VOLUX_ENTRY_POSITION() and, for methods, the class they were registered under; null for a
// caller entered through the thread entry (CallNativeCallback), which recorded them.
int CallScriptCallback(lua_State* state, void* function, bool method, const ScriptEntryRecord* entry);

// The entry of native functions with thunks of their own (see PushNativeClosure).
int ScriptThreadEntry(lua_State* state);

// The manager an upvalue of the host's own metamethods names.
inline LuaScriptManager* ManagerOf(lua_State* state) {
    return static_cast<LuaScriptManager*>(lua_touserdata(state, lua_upvalueindex(1)));
}

} // namespace Volux
