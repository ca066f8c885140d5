// Comfortable registration over the script manager's slots: fields described by a small
// descriptor instead of one native function per accessor, a constructor for native classes
// that only need a default-constructed object, and the filter for optional text arguments.
//
//     static ScriptField IntField(int32_t* value);
//     RegisterField(scripts, u"width", IntField(&settings.width));
//
// The manager keeps a copy of each descriptor for as long as its script state lives, so a
// descriptor may be a temporary. What a descriptor points at (its context) must outlive the
// state, or the class's getters and setters must not be reached after it is gone.
#pragma once

#include "Common/WString.h"
#include "Script/IScriptManager.h"

namespace Volux {

struct ScriptField;

// A getter ends with exactly one return operation and gives back its count; a setter reads
// the new value as argument 0 and returns nothing (the field is then taken as written).
using ScriptFieldGetter = int (*)(IScriptManager& scripts, ScriptObject* self, const ScriptField& field);
using ScriptFieldSetter = void (*)(IScriptManager& scripts, ScriptObject* self, const ScriptField& field);

struct ScriptField {
    ScriptFieldGetter get = nullptr;
    ScriptFieldSetter set = nullptr;  // null: read-only
    void* context = nullptr;          // what the accessors work on: a value's address, a record
    intptr_t extra = 0;               // a second word for the accessors: a flag bit, a mask
};

// Registers the descriptor as a property of the class being registered (RegisterProperty,
// or RegisterReadOnlyProperty without a setter). False when the descriptor has no getter or
// the manager could not keep its copy (logged).
bool RegisterField(IScriptManager& scripts, const char16_t* name, const ScriptField& field);

// Typed member descriptors: a value at an address, read and written as the script sees it.
ScriptField Int32Field(int32_t* value, bool readOnly = false);
ScriptField UInt32Field(uint32_t* value, bool readOnly = false);
ScriptField BoolField(bool* value, bool readOnly = false);
ScriptField ByteFlagField(_byte* value, bool readOnly = false);  // a script boolean kept as 0/1
ScriptField TextField(WString* value, bool readOnly = false);
// A text that empty texts and "nil" leave unchanged (see IsGivenText).
ScriptField FilteredTextField(WString* value);
// One bit of a flag word shown as a boolean; inverted: the bit set means false.
ScriptField FlagBitField(uint32_t* word, uint32_t bit, bool inverted);

// The rule for optional text arguments: a script that passes nothing, "" or nil (whose text
// is "nil") has not given a value, and the stored one stays.
bool IsGivenText(const char16_t* text);

// The thunk of native functions given as ScriptCallback, for callers that build closures
// themselves: the calling thread (a coroutine's included), the call frame and the profile
// entry are handled as for registered functions.
int CallNativeCallback(lua_State* state, ScriptCallback callback, bool method);

// Constructor ("new") of a class whose objects are a default-constructed T bound to a new
// table: BeginScriptClass<T>(scripts, name) begins the class with it. T names its script
// class in a static member _SCRIPT_CLASS.
template <class T>
int NewScriptObject(IScriptManager& scripts, ScriptObject*) {
    T* object = new T();
    if (scripts.BindObject(T::_SCRIPT_CLASS, object, false) == nullptr) {
        delete object;
        return scripts.ReturnNothing();
    }
    return scripts.ReturnObject(object);
}
template <class T>
int NewScriptObjectThunk(lua_State* state) {
    return CallNativeCallback(state, &NewScriptObject<T>, false);
}
template <class T>
bool BeginScriptClass(IScriptManager& scripts) {
    return scripts.BeginClass(T::_SCRIPT_CLASS, &NewScriptObjectThunk<T>);
}

} // namespace Volux
