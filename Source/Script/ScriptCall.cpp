// The native-call protocol: call frames, argument readers with their numbering, the
// pooled argument texts and the return operations.
#include "Common/EngineContext.h"
#include "Common/Log.h"
#include "Common/Memory.h"
#include "Common/StringEncoding.h"
#include "Common/StringFormatter.h"
#include "Script/LuaScriptManager.h"
#include "ScriptHost.h"

namespace Volux {

ScriptEntryRecord LuaScriptManager::EntryFor(const void* here) const {
    if (mEntry.position != nullptr && !IsUnwound(mEntry.position, here))
        return mEntry;
    ScriptEntryRecord own;
    own.position = here;
    return own;
}

void LuaScriptManager::EndFrames(_dword depth) {
    while (callFrames.Length() > depth) {
        resultLeft = callFrames.Top().outerResultLeft;
        callFrames.Pop();
    }
    if (argTexts.Count() > 0)
        ReleaseArgTexts(depth + 1);
}

void LuaScriptManager::DropUnwoundFrames(const void* here) {
    if (mEntry.position != nullptr && IsUnwound(mEntry.position, here))
        mEntry = ScriptEntryRecord();
    // Live calls enclose here, so their positions are above it; only the top can be checked
    // and every frame under a live one is live too.
    bool dropped = false;
    while (callFrames.Length() > 0 && IsUnwound(callFrames.Top().position, here)) {
        resultLeft = callFrames.Top().outerResultLeft;
        callFrames.Pop();
        dropped = true;
    }
    if (!dropped)
        return;
    _dword depth = callFrames.Length();
    if (argTexts.Count() > 0)
        ReleaseArgTexts(depth + 1);
    // What the dropped calls would have given back had they returned: the enclosing call's
    // thread, or the main thread outside calls. Never the thread of a dropped call, which
    // may be a coroutine its error ended.
    mLuaState = depth > 0 ? callFrames.Top().state : MainState();
}

_dword LuaScriptManager::EnterCall(lua_State* state, const void* position, const void* classKey) {
    bool outerResultLeft = resultLeft;
    resultLeft = false;
    ScriptCallFrame& frame = callFrames.PushDefault();
    frame.state = state;
    frame.position = position;
    frame.classKey = classKey;
    frame.outerResultLeft = outerResultLeft;
    return callFrames.Length();
}

ScriptCallFrame* LuaScriptManager::CurrentFrame(const void* here) {
    if (callFrames.Length() > 0 && IsUnwound(callFrames.Top().position, here))
        DropUnwoundFrames(here);
    return callFrames.Length() > 0 ? &callFrames.Top() : nullptr;
}

void* LuaScriptManager::BeginCall(void* function) {
    // The caller's stack pointer: above every return operation it makes later.
    const void* callerStack = __builtin_dwarf_cfa();
    DropUnwoundFrames(callerStack);
    // A thunk entered through the thread entry takes the entry's position and class; a
    // BeginCall nested in a running call belongs to that call's extent.
    ScriptEntryRecord entry = EntryFor(callerStack);
    EnterCall(mLuaState, entry.position, entry.classKey);
    if (function != nullptr)
        return function;
    return lua_touserdata(mLuaState, lua_upvalueindex(1));
}

WString LuaScriptManager::ClassNameOf(const void* classKey) const {
    const WString* name = mClassNames.Find(classKey);
    return name != nullptr ? *name : WString(u"?");
}

WString LuaScriptManager::WrongClassText(const void* expected, const void* found) {
    return Format(u"Method called on an object of class %ls: expected an object of class %ls", ClassNameOf(found).Text(),
                  ClassNameOf(expected).Text());
}

ScriptObject* LuaScriptManager::SelfOfCall(lua_State* state, bool record, bool* refused) {
    HostSlot* slot = SlotAt(state, 1);
    ScriptObject* self = slot != nullptr ? slot->object : nullptr;
    if (callFrames.Length() == 0)
        return self;
    ScriptCallFrame& frame = callFrames.Top();
    // Only a registered class counts: a thunk called by hand may see another upvalue there.
    bool foreign = self != nullptr && frame.classKey != nullptr && slot->classKey != frame.classKey &&
                   mClassNames.Find(frame.classKey) != nullptr;
    if (refused != nullptr)
        *refused = foreign;
    if (record) {
        // Arguments start after the object whatever its class.
        frame.firstArg = self != nullptr ? 2 : 1;
        frame.self = foreign ? nullptr : self;
        if (foreign && callError.IsEmpty())
            callError = WrongClassText(frame.classKey, slot->classKey);
    }
    return foreign ? nullptr : self;
}

ScriptObject* LuaScriptManager::FetchThis(bool peek) { return SelfOfCall(mLuaState, !peek); }

// The readers run inside the call whose arguments they read, below its entry: a call that
// failed inside a script call the reader made (a "__tostring" catching the error) is
// dropped, and the thread is the reading call's again.
int LuaScriptManager::ArgSlot(int index) {
    ScriptCallFrame* frame = CurrentFrame(__builtin_frame_address(0));
    if (frame == nullptr || index < 0)
        return 0;
    int slot = index + frame->firstArg;
    return slot <= lua_gettop(mLuaState) ? slot : 0;
}

int LuaScriptManager::GetArgCount() {
    ScriptCallFrame* frame = CurrentFrame(__builtin_frame_address(0));
    if (frame == nullptr)
        return 0;
    int count = lua_gettop(mLuaState) - (frame->firstArg - 1);
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

bool LuaScriptManager::GetArgIntInRange(int index, int64_t low, int64_t high, int64_t* value) {
    int slot = ArgSlot(index);
    if (slot == 0 || lua_type(mLuaState, slot) != LUA_TNUMBER)
        return false;
    double number = lua_tonumber(mLuaState, slot);
    // Inside the 64-bit range first (NaN fails both comparisons), so the conversion is
    // defined; a number with a fraction does not convert back to itself.
    if (!(number >= -9223372036854775808.0 && number < 9223372036854775808.0))
        return false;
    int64_t whole = int64_t(number);
    if (double(whole) != number || whole < low || whole > high)
        return false;
    if (value != nullptr)
        *value = whole;
    return true;
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
        case LUA_TTABLE: {
            top = lua_gettop(state);
            if (luaL_getmetafield(state, slot, "__tostring")) {
                lua_pushvalue(state, slot);
                lua_call(state, 1, 1);
                // The script may have caught a failed native call: its frame is still on
                // top and the thread may be the failed call's. Neither is this call's.
                ScriptCallFrame* frame = CurrentFrame(__builtin_frame_address(0));
                mLuaState = frame != nullptr ? frame->state : state;
                if (lua_type(state, -1) == LUA_TSTRING)
                    utf8 = lua_tolstring(state, -1, &length);
            }
            if (utf8 == nullptr) {
                ScriptObject* object = ToObject(slot);
                address = object != nullptr ? static_cast<const void*>(object) : lua_topointer(state, slot);
            }
            break;
        }
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

void LuaScriptManager::RaiseCallError(lua_State* state) {
    if (callError.IsEmpty())
        return;
    // Nothing with a destructor may be alive here: the error unwinds through this frame.
    char* utf8 = Utf8Of(callError);
    callError = u"";
    lua_pushstring(state, utf8 != nullptr ? utf8 : "");
    MemFree(utf8);
    lua_error(state);
}

int LuaScriptManager::FinishCall(_dword depth) {
    if (depth == 0 || callFrames.Length() < depth)
        return 0;
    if (callFrames.Length() > depth)
        EndFrames(depth);
    ScriptCallFrame& frame = callFrames.Top();
    int results = 0;
    if (frame.returns > 0 && frame.results > 0) {
        // The results are the values the last return operation left; anything pushed after
        // them is not, and a native that popped them returns what is left of them.
        int top = lua_gettop(frame.state);
        int end = frame.resultBase + frame.results;
        if (top > end)
            lua_settop(frame.state, end);
        results = top >= end ? frame.results : (top > frame.resultBase ? top - frame.resultBase : 0);
    }
    if (frame.profiled)
        LuaScriptManager::EndNativeProfile();
    resultLeft = frame.outerResultLeft;
    callFrames.Pop();
    if (argTexts.Count() > 0)
        ReleaseArgTexts(depth);
    return results;
}

ScriptCallFrame* LuaScriptManager::BeginResults(const void* here) {
    ScriptCallFrame* frame = CurrentFrame(here);
    if (frame == nullptr)
        return nullptr;
    mLuaState = frame->state;
    if (frame->returns > 0) {
        if (frame->returns == 1)
            PrintBoth(u"[LS] Native call made more than one return operation: the last one counts");
        lua_settop(frame->state, frame->resultBase);
    } else {
        frame->resultBase = lua_gettop(frame->state);
    }
    if (frame->returns < 2)
        frame->returns++;
    frame->results = 0;
    return frame;
}

namespace {
// The count a return operation gives back, recorded as the call's results. The frame is
// found again: pushing values can run collections whose hooks make native calls of their
// own, and frames past the inline ones live in storage that may move.
inline int Results(InlineStack<ScriptCallFrame, 32>& frames, int count) {
    if (frames.Length() > 0)
        frames.Top().results = count;
    return count;
}
} // namespace

int LuaScriptManager::ReturnValue(const Variable& value) {
    if (BeginResults(__builtin_frame_address(0)) == nullptr)
        return 0;
    PushValue(value);
    return Results(callFrames, 1);
}

int LuaScriptManager::ReturnNothing() {
    ScriptCallFrame* frame = BeginResults(__builtin_frame_address(0));
    if (frame == nullptr)
        return 0;
    // A run's left result belongs to this call only: a later call must not return it.
    bool left = resultLeft;
    resultLeft = false;
    ScriptObject* self = frame->self;
    if (self != nullptr && PushObjectTable(self))
        return Results(callFrames, 1);
    if (!left)
        return 0;
    // The run's result is already on top of this call's stack.
    callFrames.Top().resultBase--;
    return Results(callFrames, 1);
}

int LuaScriptManager::ReturnNoResult() {
    if (BeginResults(__builtin_frame_address(0)) == nullptr)
        return 0;
    resultLeft = false;
    return 0;
}

#define VOLUX_RETURN(name, type, push) \
    int LuaScriptManager::name(type value) { \
        if (BeginResults(__builtin_frame_address(0)) == nullptr) \
            return 0; \
        push; \
        return Results(callFrames, 1); \
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
VOLUX_RETURN(ReturnObject, ScriptObject*, PushObject(value))
#undef VOLUX_RETURN

int LuaScriptManager::ReturnUInt16(uint16_t value) { return ReturnWChar(char16_t(value)); }

int LuaScriptManager::ReturnString(const char16_t* text) {
    if (BeginResults(__builtin_frame_address(0)) == nullptr) {
        ReleaseArgTexts(1);
        return 0;
    }
    // The text is often one of the call's own argument texts: they live until the call ends.
    if (utf8Buffer == nullptr)
        utf8Buffer = static_cast<char*>(MemAlloc(_UTF8_BUFFER_BYTES));
    int length = 0;
    bool truncated = true;
    if (utf8Buffer != nullptr)
        WideToUtf8(utf8Buffer, _UTF8_BUFFER_BYTES, NonNull(text), -1, &length, &truncated);
    if (!truncated) {
        lua_pushlstring(mLuaState, utf8Buffer, size_t(length));
        return Results(callFrames, 1);
    }
    Utf8Copy full(text);
    lua_pushlstring(mLuaState, full.Text(), full.Length());
    return Results(callFrames, 1);
}

namespace {
// Ends a native call for the entry that opened it and hands on its results. The entry's
// caller thread and the enclosing entry come back first: a pending call error is raised
// last, and the raise does not return.
int LeaveCall(LuaScriptManager* manager, lua_State* state, _dword depth, lua_State* caller,
              const ScriptEntryRecord& outer) {
    int results = manager->FinishCall(depth);
    manager->mLuaState = caller;
    manager->mEntry = outer;
    manager->RaiseCallError(state);
    return results;
}
} // namespace

// How a native call unwinds. A script error raised while the callback runs (luaL_error, a
// failing "__tostring" under GetArgString, an unprotected lua_call) leaves this function
// without returning: LuaJIT's own unwinder runs C++ destructors on some targets
// (x64) and jumps over them on others (32-bit Windows), so nothing here depends on either.
// No local has a destructor; the frame pushed below stays on the manager's stack, and the
// next entry, return operation or protected call that finds it unwound drops it with its
// argument texts (VOLUX_ENTRY_POSITION), while a script's error handler still running on
// top of the failed call sees it. The current thread and entry are set afresh by every
// entry (the collection hook included), so a thread a failed call left current is never
// acted on. The call's own error is raised after everything is put back.
int CallScriptCallback(lua_State* state, void* function, bool method, const ScriptEntryRecord* given) {
    IScriptManager* scripts = EngineContext::Get().scriptManager;
    if (scripts == nullptr)
        return 0;
    // The one implementation: its own steps are called without virtual dispatch.
    LuaScriptManager* manager = static_cast<LuaScriptManager*>(scripts);
    // Without an entry of its own, the call takes the thread entry's (CallNativeCallback):
    // frames are then checked against this function's caller, as the entry's own frame may
    // be at the entry's position.
    const void* callerStack = __builtin_dwarf_cfa();
    ScriptEntryRecord entry = given != nullptr ? *given : manager->EntryFor(callerStack);
    if (!method)
        entry.classKey = nullptr;
    manager->DropUnwoundFrames(given != nullptr ? entry.position : callerStack);
    lua_State* caller = manager->mLuaState;
    ScriptEntryRecord outer = manager->mEntry;
    manager->mLuaState = state;  // the calling thread, a coroutine's included
    manager->mEntry = entry;
    // BeginCall and FetchThis in one step.
    _dword depth = manager->EnterCall(state, entry.position, entry.classKey);
    ScriptCallback callback = reinterpret_cast<ScriptCallback>(
        function != nullptr ? function : lua_touserdata(state, lua_upvalueindex(1)));
    bool refused = false;  // an object of another class: the call fails with that error
    ScriptObject* self = method ? manager->SelfOfCall(state, true, &refused) : nullptr;
    if (callback == nullptr) {
        manager->SetCallError(u"Internal Error : function empty");
    } else if (!refused) {
        // Functions registered before profiling started have no record and are not
        // measured. Ending the call closes the entry, before a call error can unwind.
        if (manager->profiling && manager->HasNativeProfile(reinterpret_cast<void*>(callback))) {
            manager->LuaScriptManager::BeginNativeProfile(reinterpret_cast<void*>(callback));
            manager->callFrames.Top().profiled = true;
        }
        // The count it gives back is that of its last return operation: the frame has it.
        callback(*scripts, self);
    }
    return LeaveCall(manager, state, depth, caller, outer);
}

int ScriptMethodThunk(lua_State* state) {
    ScriptEntryRecord entry;
    entry.position = VOLUX_ENTRY_POSITION();
    // Methods registered under a class carry its key as upvalue 2 (PushNativeClosure).
    entry.classKey = lua_touserdata(state, lua_upvalueindex(2));
    return CallScriptCallback(state, nullptr, true, &entry);
}

int ScriptFunctionThunk(lua_State* state) {
    ScriptEntryRecord entry;
    entry.position = VOLUX_ENTRY_POSITION();
    return CallScriptCallback(state, nullptr, false, &entry);
}

// Native calls act on the thread that made them: a call from a coroutine reads its
// arguments from, and returns onto, the coroutine's stack. Thunks of the engine's own do
// this themselves; any other thunk is entered through this closure, whose upvalue 1 is the
// function as the thunk expects (upvalue 2 the thunk, 3 the manager, 4 the class key of a
// method). A thunk of the protocol opens its frame with BeginCall, which takes the position
// and class recorded here; unwinding works as for CallScriptCallback.
int ScriptThreadEntry(lua_State* state) {
    ScriptEntryRecord entry;
    entry.position = VOLUX_ENTRY_POSITION();
    entry.classKey = lua_touserdata(state, lua_upvalueindex(4));
    ScriptThunk thunk = reinterpret_cast<ScriptThunk>(lua_touserdata(state, lua_upvalueindex(2)));
    LuaScriptManager* manager = static_cast<LuaScriptManager*>(lua_touserdata(state, lua_upvalueindex(3)));
    manager->DropUnwoundFrames(entry.position);
    lua_State* caller = manager->mLuaState;
    ScriptEntryRecord outer = manager->mEntry;
    _dword depth = manager->callFrames.Length();
    manager->mLuaState = state;
    manager->mEntry = entry;
    int count = thunk(state);
    // Calls the thunk's own script calls left unwound are not its frame.
    manager->DropUnwoundFrames(__builtin_frame_address(0));
    if (manager->callFrames.Length() > depth)
        return LeaveCall(manager, state, depth + 1, caller, outer);
    // A thunk outside the protocol returns what it pushed itself.
    manager->mLuaState = caller;
    manager->mEntry = outer;
    return count;
}

} // namespace Volux
