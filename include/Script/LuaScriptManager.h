// The script manager over LuaJIT (the Lua 5.1 C API). One concern per source file:
// LuaScriptManager.cpp (states, loading, running, errors, globals, references),
// ScriptCall.cpp (native-call frames, arguments, results), ScriptBinding.cpp (classes,
// object tables and their lifetime), ScriptValues.cpp (script values <-> Variable),
// ConfigBlock.cpp ("LUC1" blocks) and ScriptProfiler.cpp (profiling, allocation counts).
#pragma once

#include "Common/Array.h"
#include "Common/Hash.h"
#include "Common/PointerMap.h"
#include "Common/Queue.h"
#include "Common/Stack.h"
#include "Script/IScriptManager.h"

namespace Volux {

// One function's costs since the last dump.
struct ProfileRecord {
    WString name;
    bool mCFunc = false;   // native function (measured by Begin/EndNativeProfile)
    WString source;        // script source, empty for native functions
    int line = -1;         // definition line, -1 for native functions
    int calls = 0;
    _qword start = 0;      // counter at the last entry
    _qword total = 0;      // counter ticks since the last dump
    const void* key = nullptr;  // the identity the record is filed under
};

struct AllocationEntry {
    _dword totalBytes = 0;
    _dword allocations = 0;
    WString position;      // "source:line:function"
};

// One script state and the registry references the host keeps in it.
struct ScriptStateRecord {
    lua_State* state = nullptr;
    int objectMap = 0;       // native pointer -> host slot of its table, weak values
    int strongMap = 0;       // native pointer -> object table, for objects no script holds yet
    int proxyMetatable = 0;  // metatable of class tables
    int owned = 0;           // the manager created the state and closes it
    int slotMetatable = 0;   // metatable of host slots: carries the collection hook
    int classLinks = 0;      // class table -> its linked table, weak keys
    int tracebackHandler = 0;  // the message handler of protected calls
    int guardEntry = 0;      // the function host operations run through (see GuardedCall)
    // Process-wide number of the state, never reused: what a Variable's owned function
    // reference names as its owner, so that it is only ever duplicated or released there.
    _dword serial = 0;
};

// One native call in progress. Return operations leave their values on the call's stack and
// the entry that opened the call ends it, so a call has exactly one result however many
// return operations it made. A call a script error unwound is dropped once a later call or
// the protected call around it finds it unwound (see VOLUX_ENTRY_POSITION).
struct ScriptCallFrame {
    ScriptObject* self = nullptr;
    int firstArg = 1;      // stack slot of argument 0 (2 when the object is at slot 1)
    bool profiled = false; // the generic thunk opened a native profile entry: ending the call closes it
    bool outerResultLeft = false;    // resultLeft of the enclosing call, restored when this one ends
    int returns = 0;       // return operations made so far
    int resultBase = 0;    // stack top below the values of the last return operation
    int results = 0;       // how many values the last return operation left above resultBase
    lua_State* state = nullptr;      // the thread the call runs on (a coroutine's included)
    const void* position = nullptr;  // the entry's VOLUX_ENTRY_POSITION()
    const void* classKey = nullptr;  // methods: the class they were registered under, else null
};

// The innermost entry in progress, for the frame its thunk opens with BeginCall.
struct ScriptEntryRecord {
    const void* position = nullptr;
    const void* classKey = nullptr;
};

struct ScriptArgText {
    char16_t* text = nullptr;
    _dword depth = 0;      // frame depth the text belongs to
    bool pooled = false;   // a buffer of textBuffers (else a separate allocation)
};

// A stack whose first N entries live in the object itself; deeper ones go to a Stack.
// Every native call pushes and pops a frame and usually a text: the container's growth
// checks and moves were a measurable part of each call. Top and Pop need a non-empty stack.
template <class T, int N>
class InlineStack {
public:
    _dword Length() const { return mCount; }
    _dword Count() const { return mCount; }
    void Push(const T& item) {
        if (mCount < _dword(N))
            mItems[mCount] = item;
        else
            mMore.Push(item);
        mCount++;
    }
    // Pushes a default item and returns it, to be filled in place: a frame built aside and
    // copied in cost a stalled wide load on every native call.
    T& PushDefault() {
        if (mCount < _dword(N)) {
            T& item = mItems[mCount++];
            item = T();
            return item;
        }
        mMore.Push(T());
        mCount++;
        return mMore.Top();
    }
    T& Top() { return mCount <= _dword(N) ? mItems[mCount - 1] : mMore.Top(); }
    bool Pop() {
        if (mCount == 0)
            return false;
        if (mCount > _dword(N))
            mMore.Pop();
        mCount--;
        return true;
    }

private:
    T mItems[N];
    _dword mCount = 0;
    Stack<T> mMore;
};

class LuaScriptManager : public IScriptManager {
public:
    static constexpr int _TEXT_BUFFER_CHARS = 1024;
    static constexpr int _UTF8_BUFFER_BYTES = 1024;
    static constexpr int _CHUNK_NAME_BYTES = 1024;

    LuaScriptManager();
    ~LuaScriptManager() override;
    LuaScriptManager(const LuaScriptManager&) = delete;
    LuaScriptManager& operator=(const LuaScriptManager&) = delete;

    void SetErrorCallback(ScriptErrorCallback callback) override { errorCallback = callback; }
    int CreateState(lua_State* state) override;
    bool SwitchState(int index) override;
    int GetScriptType() override { return 2; }
    lua_State* GetState() override { return mLuaState; }
    void StartHook() override {}
    void SpareHook() override {}
    lua_State* GetCurrentState() override { return mLuaState; }
    int LoadString(const char16_t* text) override;
    int LoadBuffer(const ByteBuffer& buffer) override;
    int LoadFile(const char16_t* path) override;
    bool RunString(Variable& result, const char16_t* text, const char16_t* chunkName, int mode) override;
    bool RunBuffer(Variable& result, const ByteBuffer& buffer, int mode) override;
    bool RunFile(Variable& result, const char16_t* path, int mode) override;
    bool SetGlobal(ScriptObject* object, const char* name, const Variable& value) override;
    bool SetGlobal(ScriptObject* object, const char16_t* name, const Variable& value) override;
    bool GetGlobal(Variable& result, ScriptObject* object, const char* name) override;
    bool GetGlobal(Variable& result, ScriptObject* object, const char16_t* name) override;
    bool BeginClass(const char16_t* className, ScriptThunk constructor) override;
    void EndClass() override;
    void RegisterFunction(const char16_t* name, void* function, ScriptThunk thunk, bool isStatic) override;
    void RegisterProperty(const char16_t* name, void* getter, ScriptThunk getThunk, void* setter,
                          ScriptThunk setThunk) override;
    void RegisterReadOnlyProperty(const char16_t* name, void* getter, ScriptThunk getThunk) override;
    void SetClassField(const char16_t* name, const Variable& value, bool isStatic) override;
    bool CreateGlobalObject(const char16_t* objectName, const char16_t* className) override;
    ScriptObject* BindObject(const char16_t* className, ScriptObject* object, bool withProxy) override;
    void FreeBinding(ScriptObject* object) override;
    void AttachChild(ScriptObject* object, ScriptObject* child) override;
    void HoldObject(ScriptObject* object) override;
    void DetachChild(ScriptObject* object, ScriptObject* child) override;
    void ReleaseObject(ScriptObject* object) override;
    void AddBindingRef(ScriptObject* object) override;
    void ReleaseBindingRef(ScriptObject* object) override;
    ScriptObject* FetchThis(bool peek) override;
    void* BeginCall(void* function) override;
    int ReservedSlot(int) override { return 0; }
    int MakeFunction(void* function, ScriptThunk thunk) override;
    intptr_t StoreArgFunction(ScriptObject* object, intptr_t key, int index) override;
    int RefArgFunction(int index) override;
    void ClearMember(ScriptObject* object, intptr_t& key) override;
    void ReleaseRef(int& ref) override;
    intptr_t MoveRefToMember(ScriptObject* object, intptr_t key, int& ref) override;
    int GetArgCount() override;
    bool GetArgBool(int index) override;
    char16_t GetArgWChar(int index) override;
    int8_t GetArgInt8(int index) override;
    int16_t GetArgInt16(int index) override;
    int32_t GetArgInt32(int index) override;
    int64_t GetArgInt64(int index) override;
    uint8_t GetArgUInt8(int index) override;
    uint16_t GetArgUInt16(int index) override;
    uint32_t GetArgUInt32(int index) override;
    uint64_t GetArgUInt64(int index) override;
    float GetArgFloat(int index) override;
    double GetArgDouble(int index) override;
    bool GetArgIntInRange(int index, int64_t low, int64_t high, int64_t* value) override;
    const char16_t* GetArgString(int index) override;
    ScriptObject* GetArgObject(int index) override;
    bool GetArgValue(int index, Variable& result) override;
    int ReturnValue(const Variable& value) override;
    int ReturnNothing() override;
    int ReturnNoResult() override;
    int ReturnBool(bool value) override;
    int ReturnWChar(char16_t value) override;
    int ReturnInt8(int8_t value) override;
    int ReturnInt16(int16_t value) override;
    int ReturnInt32(int32_t value) override;
    int ReturnInt64(int64_t value) override;
    int ReturnUInt8(uint8_t value) override;
    int ReturnUInt16(uint16_t value) override;
    int ReturnUInt32(uint32_t value) override;
    int ReturnUInt64(uint64_t value) override;
    int ReturnFloat(float value) override;
    int ReturnDouble(double value) override;
    int ReturnString(const char16_t* text) override;
    int ReturnObject(ScriptObject* object) override;
    void SetCallError(const char16_t* text) override { callError = text; }
    bool CallFunction(ScriptObject* object, intptr_t key, const Array<Variable>& arguments, Variable* result) override;
    bool CallFunction(ScriptObject* object, intptr_t key, const Variable& argument, Variable* result) override;
    bool CallFunction(ScriptObject* object, intptr_t key, Variable* result) override;
    void EnableProfiling(bool on) override;
    void DumpProfile() override;
    void SetProfileThreshold(int milliseconds) override { profileThreshold = milliseconds; }
    int GetProfileThreshold() override { return profileThreshold; }
    bool IsProfiling() override { return profiling; }
    void BeginNativeProfile(void* function) override;
    // True when the function has a native profile record (registered while profiling).
    bool HasNativeProfile(void* function) const { return profileTable.Find(function) != nullptr; }
    void EndNativeProfile() override;
    void TrackAllocations(int threshold) override;
    int CallErrorCallback(const char16_t* text) override { return errorCallback != nullptr ? errorCallback(text) : 0; }
    WStringPtr GetLastError() override { return lastError; }
    void CollectGarbage() override;
    bool SaveConfig(const ConfigTree* config, const char16_t* name, const char16_t* path) override;

    // A new registry reference, in the state with the given serial, to the function ref
    // names there; 0 when it names none or the manager has no such state. What a Variable
    // copying an owned function reference takes.
    int DuplicateRef(int ref, _dword serial);
    // Releases ref in the state with the given serial; nothing when the manager has no such
    // state (its references went with it).
    void ReleaseRefOf(int ref, _dword serial);
    // The serial of the current state: the owner of the references it issues.
    _dword CurrentSerial() { return CurrentRecord().serial; }
    // The name a class was registered with, from its key (instance metatable); "?" if none.
    WString ClassNameOf(const void* classKey) const;
    // The script error text of a method called with an object of another class.
    WString WrongClassText(const void* expected, const void* found);

    // Host operations under a protected call. Working on a state can raise a script error
    // anywhere: a metamethod fails, an allocation's collection step runs a finaliser that
    // fails, memory runs out. Such an error must never leave the host, so every operation
    // callers reach from outside script calls runs its state work through these. body runs
    // on the current thread with a copy of the top `carried` values of the caller's stack as
    // its whole stack (the values stay where they are) and returns how many values it left on
    // top; the first `results` of them end up on the caller's stack. GuardedCall returns the
    // engine's code: on failure nothing is left and error (when given) receives the error's
    // text. A state must be current.
    using GuardBody = int (*)(lua_State* state, void* context);
    int GuardedCall(GuardBody body, void* context, int carried, int results, WString* error);
    // The same for a callable body(lua_State*) -> int.
    template <class Body>
    int GuardedCall(Body& body, int carried, int results, WString* error) {
        GuardBody call = [](lua_State* state, void* context) { return (*static_cast<Body*>(context))(state); };
        return GuardedCall(call, &body, carried, results, error);
    }
    // A guarded operation whose failure is logged as one "[LS] <what> failed: <error>" line;
    // false then.
    template <class Body>
    bool Guard(const char16_t* what, Body& body, int carried = 0, int results = 0) {
        WString error;
        return LogGuardFailure(what, GuardedCall(body, carried, results, &error), error);
    }

    // Value conversion (ScriptValues.cpp). PushValue pushes exactly one value; object is
    // the owner of a function stored under a light key (kind 17 without reference).
    void PushValue(const Variable& value, ScriptObject* object = nullptr);
    // Converts the value at index; a result of kind 0 takes its kind from the value.
    void ReadValue(int index, Variable& result);

    // Object tables (ScriptBinding.cpp). PushObject pushes the table (nil for null) and
    // ends its strong hold; a held object whose table was collected gets a new one.
    void PushObject(ScriptObject* object);
    // Pushes the object's table without ending its strong hold; false (nothing pushed)
    // for a null or unbound object.
    bool PushObjectTable(ScriptObject* object);
    // The object of the table at index when it carries a host slot, else null; the state
    // is the current one unless given.
    ScriptObject* ToObject(int index) { return ToObject(mLuaState, index); }
    ScriptObject* ToObject(lua_State* state, int index);
    // The host slot of the table at index, or null.
    HostSlot* SlotAt(lua_State* state, int index);
    // True for an object bound by this manager in the current state whose table is gone or
    // found dead by the collector: pushing it gives it a new table.
    bool IsBoundWithoutTable(const void* pointer);
    // Registry reference of the class-link table of the given state.
    int CurrentClassLinks(lua_State* state);
    // Called by the collection hook with the collected table's slot.
    void ObjectTableCollected(HostSlot* slot);
    // States are being closed: the hooks only let their objects go.
    bool IsClosing() const { return mClosing; }

    // Native-call frames (ScriptCall.cpp). EnterCall pushes the frame of a call entered at
    // position on the given thread (unwound frames dropped before) and returns the new depth; FinishCall ends the frame at that depth (and any a nested
    // BeginCall left above it) and gives the count of its results, which are on top of the
    // call's stack. A call error is then still pending: see RaiseCallError.
    _dword EnterCall(lua_State* state, const void* position, const void* classKey);
    int FinishCall(_dword depth);
    // Drops the frames of calls unwound by the time code at here runs; the current thread
    // becomes that of the innermost call left, or the main thread.
    void DropUnwoundFrames(const void* here);
    // Raises callError (if any) on the thread as a script error; does not return then.
    // Nothing with a destructor may be alive in the caller: the error unwinds through it.
    void RaiseCallError(lua_State* state);
    // The object at stack slot 1 of the current call, or null. A method registered under a
    // class refuses objects of another class: null, and (when record is set) the call
    // fails with a script error naming the class. record sets the frame's self and first
    // argument (FetchThis without peek).
    ScriptObject* SelfOfCall(lua_State* state, bool record, bool* refused = nullptr);
    // The position and class for a call its entry did not give: those of the innermost
    // entry when it encloses here, else here and no class.
    ScriptEntryRecord EntryFor(const void* here) const;
    ScriptEntryRecord mEntry;  // the innermost entry in progress

    // The protected call of every run and call: nargs arguments above the function,
    // one result left on success, the error value on failure. Returns the engine's code.
    int ProtectedCall(int nargs);
    // Error capture: lastError and the error callback after a load or call.
    void CaptureError(int code);
    // Logs lastError once on each stream.
    void LogLastError();
    // The text of an error value without converting it on the stack (a number's conversion
    // allocates, and with it may run a collection step): empty for values of other types.
    static WString ErrorText(lua_State* state, int index);

    // Script profiling hooks (ScriptProfiler.cpp).
    void OnHook(lua_State* state, void* debugRecord);
    void OnAllocation(size_t oldSize, size_t newSize);
    void CloseProfileEntriesToMarker();
    void CloseProfileEntry(bool cfunc);
    void UpdateHook();
    // Restores the allocator and forgets the hook without printing (destruction).
    void StopObservers();
    void* OriginalAlloc() const { return mOriginalAlloc; }
    void* OriginalAllocUser() const { return mOriginalAllocUser; }

    // The tree a config host value stands for, or null: light userdata from scripts is
    // never trusted as a pointer.
    const ConfigTree* FindConfigTree(const void* host) const;

    // The bytes of a file: the seam a resource manager will take over.
    static bool ReadScriptFile(const char16_t* path, ByteBuffer& buffer);
    // Argument text buffers ready for reuse (queue and spares).
    _dword PooledTextBuffers() const { return textBuffers.Count() + _dword(mSpareCount); }

    // Reads "LUC1" blocks (ConfigBlock.cpp); false when the buffer had none or a block failed.
    bool RunConfigBlocks(const ByteBuffer& buffer);

    // A full collection under a protected call. A failing finaliser stops a collection where
    // it is; the attempts that follow go on with the finalisers still due. Each failure is
    // logged as one "[LS]" line. False when the last attempt failed too.
    bool CollectProtected(int attempts);

    ScriptErrorCallback errorCallback = nullptr;
    Array<ConfigTree*> configTrees;
    Array<ScriptStateRecord> states;
    lua_State* mLuaState = nullptr;
    bool profiling = false;
    int profileThreshold = -1;
    Hash<const void*, ProfileRecord*> profileTable{397};
    Stack<ProfileRecord*> mProfStack;
    int allocThreshold = -1;
    Hash<WString, AllocationEntry> allocationTable{397};
    InlineStack<ScriptCallFrame, 32> callFrames;
    InlineStack<ScriptArgText, 16> argTexts;
    Queue<char16_t*> textBuffers;
    char* utf8Buffer = nullptr;
    const char16_t* mClassName = nullptr;
    int objectMap = 0;
    int strongMap = 0;
    int proxyMetatable = 0;
    WString lastError;
    WString callError;
    // The innermost native call's run (_RUN_LEAVE) left its result on the call's stack, for
    // ReturnNothing to hand on. Each call has its own: false outside calls.
    bool resultLeft = false;
    // A script tried to change a class's "__" field: logged the first time only.
    bool refusedClassWrite = false;

private:
    // Loads a chunk under a protected call: 0 with the chunk on top, or the error's code
    // with nothing left and its text in lastError (the error callback told), not logged.
    int LoadChunk(const char* bytes, size_t length, const char* chunkName);
    // pcall of what is on top with the native-call bookkeeping every protected call needs:
    // calls a failed call left behind are dropped, the thread and entry come back.
    int CallUnwinding(int nargs, int results, int handler);
    // Logs a failed guarded operation; true when code is 0.
    static bool LogGuardFailure(const char16_t* what, int code, const WString& error);
    // The state set-up run under lua_cpcall: libraries (when opened here) and the host's
    // registry entries.
    static int SetUpState(lua_State* state);
    // The script state with the given serial, or null.
    lua_State* StateOfSerial(_dword serial);

    // A registry reference to the loaded chunk, or 0 with the error captured and logged.
    int LoadReference(const char* bytes, size_t length, const char* chunkName);
    // The current state's record (a copy's source) for the hidden references.
    ScriptStateRecord& CurrentRecord();
    // Pops the frames above depth and releases their argument texts.
    void EndFrames(_dword depth);
    // The frame of the call running at here (unwound ones dropped first), or null.
    ScriptCallFrame* CurrentFrame(const void* here);
    // Starts the results of the call running at here: values of an earlier return operation
    // of the same call are dropped (the last one counts, logged once). Null outside calls.
    ScriptCallFrame* BeginResults(const void* here);
    // Stack slot of argument index, 0 when outside a call or beyond the last argument.
    int ArgSlot(int index);
    int RunChunk(const char* bytes, size_t length, const char* chunkName, Variable& result, int mode);
    void PushMember(ScriptObject* object, intptr_t key);
    bool CallPushedFunction(int nargs, Variable* result);
    // Calls the function stored under key on the object's table with count arguments.
    bool CallMember(ScriptObject* object, intptr_t key, const Variable* arguments, int count, Variable* result);
    void RegisterProfileName(void* function, const WString& name);
    // classKey: the class a method is registered under (its calls check self), else null.
    void PushNativeClosure(void* function, ScriptThunk thunk, const void* classKey = nullptr);
    // The class being registered (its instance metatable is on top), or null.
    const void* RegisteringClassKey();
    void PushValueAt(const Variable& value, ScriptObject* object, int depth);
    void ReleaseArgTexts(_dword depth);

    // The buffers most recently given back, reused first: the queue's index arithmetic
    // was a measurable part of every native call with a text argument.
    static constexpr int _SPARE_BUFFERS = 4;
    char16_t* mSpareBuffers[_SPARE_BUFFERS] = {};
    int mSpareCount = 0;
    char16_t* TakeTextBuffer();
    void GiveBackTextBuffer(char16_t* buffer);

    _dword mCurrentState = 0;      // index in states of the state SwitchState chose
    // The chosen state's main thread: what outlives a native call (mLuaState may be the
    // calling coroutine then).
    lua_State* MainState() { return states.Count() > 0 ? CurrentRecord().state : mLuaState; }

    // Object tables by address -> their host slots (ScriptBinding.cpp).
    PointerMap mObjectTables;
    // Objects with a binding of this manager, whether or not their table is alive.
    PointerMap mBoundObjects;
    void ForgetObjectTables();

    WString mClassNameText;        // storage behind mClassName
    Hash<const void*, WString> mClassNames{31};  // class key (instance metatable) -> class name
    bool mClosing = false;         // states are being closed: bindings are not unlinked
    // Allocation observer chain (ScriptProfiler.cpp).
    void* mOriginalAlloc = nullptr;
    void* mOriginalAllocUser = nullptr;
    lua_State* mAllocState = nullptr;
    char mAllocSource[256] = {};
    char mAllocName[128] = {};
    int mAllocLine = 0;
    bool mInAllocation = false;

};

} // namespace Volux
