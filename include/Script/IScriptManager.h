// The engine's script host: states, loading and running scripts, native classes,
// functions and properties, the native-call protocol, value conversion and profiling.
// Virtual operations keep their slot order; slots 6, 7 and 36 have no behaviour.
//
// A native function is called through a thunk (a lua_CFunction) that keeps the native
// function pointer as upvalue 1 (a method also its class after it). A thunk does, in this order: BeginCall, FetchThis
// (methods), BeginNativeProfile, argument reads, the native call, EndNativeProfile and
// exactly one return operation, whose count it returns. The values the call hands back
// are those of its last return operation (more than one is logged); a call that makes
// none hands back nothing, and ReturnNoResult hands back nothing at all (not the object
// of a method, not a run's left result). Argument indexes count from 0 and never include
// the object the call was made on. A method registered under a class refuses an object of
// another class: the call fails with a script error.
#pragma once

#include "Common/Array.h"
#include "Common/ByteBuffer.h"
#include "Common/Variable.h"
#include "Common/WString.h"
#include "Script/ScriptObject.h"

// windows.h maps this name to its own W function; the manager keeps its own.
#ifdef LoadString
#undef LoadString
#endif

struct lua_State;

namespace Volux {

using ScriptThunk = int (*)(lua_State* state);
// Receives each script error text; its result is what CallErrorCallback returns.
using ScriptErrorCallback = int (*)(const char16_t* text);

class ConfigTree;

// Result modes of the run operations.
enum ScriptRunMode {
    _RUN_DISCARD = 0,  // the result is dropped
    _RUN_CONVERT = 1,  // the result is converted into the Variable
    _RUN_LEAVE = 2,    // the result stays on the script stack (ReturnNothing hands it on)
};

class IScriptManager {
public:
    virtual ~IScriptManager() = default;                                            // 0
    virtual void SetErrorCallback(ScriptErrorCallback callback) = 0;                // 1
    virtual int CreateState(lua_State* state) = 0;                                  // 2
    virtual bool SwitchState(int index) = 0;                                        // 3
    virtual int GetScriptType() = 0;                                                // 4
    virtual lua_State* GetState() = 0;                                              // 5
    virtual void StartHook() = 0;                                                   // 6
    virtual void SpareHook() = 0;                                                   // 7
    virtual lua_State* GetCurrentState() = 0;                                       // 8
    virtual int LoadString(const char16_t* text) = 0;                               // 9
    virtual int LoadBuffer(const ByteBuffer& buffer) = 0;                           // 10
    virtual int LoadFile(const char16_t* path) = 0;                                 // 11
    virtual bool RunString(Variable& result, const char16_t* text, const char16_t* chunkName, int mode) = 0; // 12
    virtual bool RunBuffer(Variable& result, const ByteBuffer& buffer, int mode) = 0;                       // 13
    virtual bool RunFile(Variable& result, const char16_t* path, int mode) = 0;                             // 14
    virtual bool SetGlobal(ScriptObject* object, const char* name, const Variable& value) = 0;              // 15
    virtual bool SetGlobal(ScriptObject* object, const char16_t* name, const Variable& value) = 0;          // 16
    virtual bool GetGlobal(Variable& result, ScriptObject* object, const char* name) = 0;                   // 17
    virtual bool GetGlobal(Variable& result, ScriptObject* object, const char16_t* name) = 0;               // 18
    virtual bool BeginClass(const char16_t* className, ScriptThunk constructor) = 0;                        // 19
    virtual void EndClass() = 0;                                                                            // 20
    virtual void RegisterFunction(const char16_t* name, void* function, ScriptThunk thunk, bool isStatic) = 0; // 21
    virtual void RegisterProperty(const char16_t* name, void* getter, ScriptThunk getThunk, void* setter,
                                  ScriptThunk setThunk) = 0;                                                // 22
    virtual void RegisterReadOnlyProperty(const char16_t* name, void* getter, ScriptThunk getThunk) = 0;    // 23
    virtual void SetClassField(const char16_t* name, const Variable& value, bool isStatic) = 0;             // 24
    virtual bool CreateGlobalObject(const char16_t* objectName, const char16_t* className) = 0;            // 25
    virtual ScriptObject* BindObject(const char16_t* className, ScriptObject* object, bool withProxy) = 0;  // 26
    virtual void FreeBinding(ScriptObject* object) = 0;                                                     // 27
    virtual void AttachChild(ScriptObject* object, ScriptObject* child) = 0;                                // 28
    virtual void HoldObject(ScriptObject* object) = 0;                                                      // 29
    virtual void DetachChild(ScriptObject* object, ScriptObject* child) = 0;                                // 30
    virtual void ReleaseObject(ScriptObject* object) = 0;                                                   // 31
    virtual void AddBindingRef(ScriptObject* object) = 0;                                                   // 32
    virtual void ReleaseBindingRef(ScriptObject* object) = 0;                                               // 33
    virtual ScriptObject* FetchThis(bool peek) = 0;                                                         // 34
    virtual void* BeginCall(void* function) = 0;                                                            // 35
    virtual int ReservedSlot(int value) = 0;                                                                // 36
    virtual int MakeFunction(void* function, ScriptThunk thunk) = 0;                                        // 37
    virtual intptr_t StoreArgFunction(ScriptObject* object, intptr_t key, int index) = 0;                   // 38
    virtual int RefArgFunction(int index) = 0;                                                              // 39
    virtual void ClearMember(ScriptObject* object, intptr_t& key) = 0;                                      // 40
    virtual void ReleaseRef(int& ref) = 0;                                                                  // 41
    virtual intptr_t MoveRefToMember(ScriptObject* object, intptr_t key, int& ref) = 0;                     // 42
    virtual int GetArgCount() = 0;                                                                          // 43
    virtual bool GetArgBool(int index) = 0;                                                                 // 44
    virtual char16_t GetArgWChar(int index) = 0;                                                            // 45
    virtual int8_t GetArgInt8(int index) = 0;                                                               // 46
    virtual int16_t GetArgInt16(int index) = 0;                                                             // 47
    virtual int32_t GetArgInt32(int index) = 0;                                                             // 48
    virtual int64_t GetArgInt64(int index) = 0;                                                             // 49
    virtual uint8_t GetArgUInt8(int index) = 0;                                                             // 50
    virtual uint16_t GetArgUInt16(int index) = 0;                                                           // 51
    virtual uint32_t GetArgUInt32(int index) = 0;                                                           // 52
    virtual uint64_t GetArgUInt64(int index) = 0;                                                           // 53
    virtual float GetArgFloat(int index) = 0;                                                               // 54
    virtual double GetArgDouble(int index) = 0;                                                             // 55
    virtual const char16_t* GetArgString(int index) = 0;                                                    // 56
    virtual ScriptObject* GetArgObject(int index) = 0;                                                      // 57
    virtual bool GetArgValue(int index, Variable& result) = 0;                                              // 58
    virtual int ReturnValue(const Variable& value) = 0;                                                     // 59
    virtual int ReturnNothing() = 0;                                                                        // 60
    virtual int ReturnBool(bool value) = 0;                                                                 // 61
    virtual int ReturnWChar(char16_t value) = 0;                                                            // 62
    virtual int ReturnInt8(int8_t value) = 0;                                                               // 63
    virtual int ReturnInt16(int16_t value) = 0;                                                             // 64
    virtual int ReturnInt32(int32_t value) = 0;                                                             // 65
    virtual int ReturnInt64(int64_t value) = 0;                                                             // 66
    virtual int ReturnUInt8(uint8_t value) = 0;                                                             // 67
    virtual int ReturnUInt16(uint16_t value) = 0;                                                           // 68
    virtual int ReturnUInt32(uint32_t value) = 0;                                                           // 69
    virtual int ReturnUInt64(uint64_t value) = 0;                                                           // 70
    virtual int ReturnFloat(float value) = 0;                                                               // 71
    virtual int ReturnDouble(double value) = 0;                                                             // 72
    virtual int ReturnString(const char16_t* text) = 0;                                                     // 73
    virtual int ReturnObject(ScriptObject* object) = 0;                                                     // 74
    virtual void SetCallError(const char16_t* text) = 0;                                                    // 75
    virtual bool CallFunction(ScriptObject* object, intptr_t key, const Array<Variable>& arguments,
                              Variable* result) = 0;                                                        // 76
    virtual bool CallFunction(ScriptObject* object, intptr_t key, const Variable& argument, Variable* result) = 0; // 77
    virtual bool CallFunction(ScriptObject* object, intptr_t key, Variable* result) = 0;                    // 78
    virtual void EnableProfiling(bool on) = 0;                                                              // 79
    virtual void DumpProfile() = 0;                                                                         // 80
    virtual void SetProfileThreshold(int milliseconds) = 0;                                                 // 81
    virtual int GetProfileThreshold() = 0;                                                                  // 82
    virtual bool IsProfiling() = 0;                                                                         // 83
    virtual void BeginNativeProfile(void* function) = 0;                                                    // 84
    virtual void EndNativeProfile() = 0;                                                                    // 85
    virtual void TrackAllocations(int threshold) = 0;                                                       // 86
    virtual int CallErrorCallback(const char16_t* text) = 0;                                                // 87
    virtual WStringPtr GetLastError() = 0;                                                                  // 88
    virtual void CollectGarbage() = 0;                                                                      // 89
    virtual bool SaveConfig(const ConfigTree* config, const char16_t* name, const char16_t* path) = 0;      // 90
    virtual int ReturnNoResult() = 0;                                                                       // 91
    // An integer argument checked against [low, high]: false (value untouched) for an
    // absent argument, one that is not a number (numeric text included), NaN, a number with
    // a fraction or one outside the range; else the number is stored in value (when given).
    // The GetArgInt and GetArgUInt readers convert any argument instead.
    virtual bool GetArgIntInRange(int index, int64_t low, int64_t high, int64_t* value) = 0;               // 92
};

// Native functions in the convenient form: read arguments from the manager, end with one
// return operation and give back its count. self is null for static and global functions.
using ScriptCallback = int (*)(IScriptManager& scripts, ScriptObject* self);

// Thunks for ScriptCallback functions, following the thunk order above; a missing
// function fails the script call with "Internal Error : function empty".
int ScriptMethodThunk(lua_State* state);
int ScriptFunctionThunk(lua_State* state);

// Registration helpers over the slots for ScriptCallback functions. A class's
// properties are registered before its first object is bound: objects of a class
// without properties look their functions up without a native call.
inline void RegisterMethod(IScriptManager& scripts, const char16_t* name, ScriptCallback callback) {
    scripts.RegisterFunction(name, reinterpret_cast<void*>(callback), &ScriptMethodThunk, false);
}
inline void RegisterStatic(IScriptManager& scripts, const char16_t* name, ScriptCallback callback) {
    scripts.RegisterFunction(name, reinterpret_cast<void*>(callback), &ScriptFunctionThunk, true);
}
// Getter and setter are methods; a null setter makes the property read-only.
inline void RegisterAccessors(IScriptManager& scripts, const char16_t* name, ScriptCallback getter,
                              ScriptCallback setter) {
    if (setter == nullptr)
        scripts.RegisterReadOnlyProperty(name, reinterpret_cast<void*>(getter), &ScriptMethodThunk);
    else
        scripts.RegisterProperty(name, reinterpret_cast<void*>(getter), &ScriptMethodThunk,
                                 reinterpret_cast<void*>(setter), &ScriptMethodThunk);
}

} // namespace Volux
