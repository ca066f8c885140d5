// Field descriptors, the constructor thunk and the optional-text rule.
#include "Script/ScriptRegistration.h"

#include <new>

#include "Common/Log.h"
#include "Script/LuaScriptManager.h"
#include "ScriptHost.h"

namespace Volux {

namespace {

// The descriptor of the accessor being called: the closure's only upvalue points at the
// manager's copy (a full userdata anchored in the registry, which never moves).
const ScriptField& CurrentField(IScriptManager& scripts) {
    return *static_cast<const ScriptField*>(lua_touserdata(scripts.GetCurrentState(), lua_upvalueindex(1)));
}

int FieldGetCallback(IScriptManager& scripts, ScriptObject* self) {
    const ScriptField& field = CurrentField(scripts);
    return field.get(scripts, self, field);
}

int FieldSetCallback(IScriptManager& scripts, ScriptObject* self) {
    const ScriptField& field = CurrentField(scripts);
    field.set(scripts, self, field);
    // The object itself: the write is complete and nothing is stored in the table.
    return scripts.ReturnNothing();
}

int FieldGetThunk(lua_State* state) { return CallNativeCallback(state, &FieldGetCallback, true); }
int FieldSetThunk(lua_State* state) { return CallNativeCallback(state, &FieldSetCallback, true); }

template <class T>
T& ValueOf(const ScriptField& field) {
    return *static_cast<T*>(field.context);
}

int GetInt32(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    return scripts.ReturnInt32(ValueOf<int32_t>(field));
}
void SetInt32(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    ValueOf<int32_t>(field) = scripts.GetArgInt32(0);
}
int GetUInt32(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    return scripts.ReturnUInt32(ValueOf<uint32_t>(field));
}
void SetUInt32(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    ValueOf<uint32_t>(field) = scripts.GetArgUInt32(0);
}
int GetBool(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    return scripts.ReturnBool(ValueOf<bool>(field));
}
void SetBool(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    ValueOf<bool>(field) = scripts.GetArgBool(0);
}
int GetByteFlag(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    return scripts.ReturnBool(ValueOf<_byte>(field) != 0);
}
void SetByteFlag(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    ValueOf<_byte>(field) = scripts.GetArgBool(0) ? 1 : 0;
}
int GetText(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    return scripts.ReturnString(ValueOf<WString>(field).Text());
}
void SetText(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    ValueOf<WString>(field) = scripts.GetArgString(0);
}
void SetFilteredText(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    const char16_t* text = scripts.GetArgString(0);
    if (IsGivenText(text))
        ValueOf<WString>(field) = text;
}
// A flag bit's field keeps the bit in extra; the inverted form shows a set bit as false.
bool BitSet(const ScriptField& field) { return (ValueOf<uint32_t>(field) & uint32_t(field.extra)) != 0; }
void WriteBit(const ScriptField& field, bool set) {
    if (set)
        ValueOf<uint32_t>(field) |= uint32_t(field.extra);
    else
        ValueOf<uint32_t>(field) &= ~uint32_t(field.extra);
}
int GetFlagBit(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    return scripts.ReturnBool(BitSet(field));
}
void SetFlagBit(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    WriteBit(field, scripts.GetArgBool(0));
}
int GetInvertedFlagBit(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    return scripts.ReturnBool(!BitSet(field));
}
void SetInvertedFlagBit(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    WriteBit(field, !scripts.GetArgBool(0));
}

} // namespace

int CallNativeCallback(lua_State* state, ScriptCallback callback, bool method) {
    return CallScriptCallback(state, reinterpret_cast<void*>(callback), method, nullptr);
}

bool IsGivenText(const char16_t* text) {
    return text != nullptr && text[0] != 0 && !Text::Equals(text, u"nil");
}

bool RegisterField(IScriptManager& scripts, const char16_t* name, const ScriptField& field) {
    if (field.get == nullptr) {
        PrintBoth(u"[LS] Field %ls has no getter", NonNull(name));
        return false;
    }
    if (scripts.GetState() == nullptr)
        return false;
    // The copy lives with the state: anchored in the registry until the state closes.
    ScriptField* copy = nullptr;
    auto keep = [&](lua_State* state) {
        ScriptField* made = new (lua_newuserdata(state, sizeof(ScriptField))) ScriptField(field);
        luaL_ref(state, LUA_REGISTRYINDEX);
        copy = made;
        return 0;
    };
    // The engine's one implementation of the interface.
    if (!static_cast<LuaScriptManager&>(scripts).Guard(u"Keeping a field descriptor", keep))
        return false;
    if (field.set == nullptr)
        scripts.RegisterReadOnlyProperty(name, copy, &FieldGetThunk);
    else
        scripts.RegisterProperty(name, copy, &FieldGetThunk, copy, &FieldSetThunk);
    return true;
}

#define VOLUX_TYPED_FIELD(name, type, getter, setter) \
    ScriptField name(type* value, bool readOnly) { \
        ScriptField field; \
        field.get = &getter; \
        field.set = readOnly ? nullptr : &setter; \
        field.context = value; \
        return field; \
    }

VOLUX_TYPED_FIELD(Int32Field, int32_t, GetInt32, SetInt32)
VOLUX_TYPED_FIELD(UInt32Field, uint32_t, GetUInt32, SetUInt32)
VOLUX_TYPED_FIELD(BoolField, bool, GetBool, SetBool)
VOLUX_TYPED_FIELD(ByteFlagField, _byte, GetByteFlag, SetByteFlag)
VOLUX_TYPED_FIELD(TextField, WString, GetText, SetText)
#undef VOLUX_TYPED_FIELD

ScriptField FilteredTextField(WString* value) {
    ScriptField field = TextField(value);
    field.set = &SetFilteredText;
    return field;
}

ScriptField FlagBitField(uint32_t* word, uint32_t bit, bool inverted) {
    ScriptField field;
    field.get = inverted ? &GetInvertedFlagBit : &GetFlagBit;
    field.set = inverted ? &SetInvertedFlagBit : &SetFlagBit;
    field.context = word;
    field.extra = intptr_t(bit);
    return field;
}

} // namespace Volux
