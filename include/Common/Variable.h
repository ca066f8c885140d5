// The engine's tagged value: a named scalar, text, byte buffer, object pointer or script
// function reference, or a tree of named (dictionary) or indexed (array) children.
// It is the currency between native code and scripts.
#pragma once

#include "Common/Array.h"
#include "Common/WString.h"

namespace Volux {

// The kind lives in the low 8 bits of Variable::type.
enum VariableKind : _dword {
    _KIND_NONE = 0,
    _KIND_BOOL = 2,
    _KIND_CHAR16 = 3,
    _KIND_INT8 = 4,
    _KIND_INT16 = 5,
    _KIND_INT32 = 6,
    _KIND_INT64 = 7,
    _KIND_UINT8 = 8,
    _KIND_UINT16 = 9,
    _KIND_UINT32 = 10,
    _KIND_UINT64 = 11,
    _KIND_FLOAT = 12,
    _KIND_DOUBLE = 13,
    _KIND_BYTES = 14,
    _KIND_TEXT = 15,
    _KIND_OBJECT = 16,
    _KIND_FUNCTION = 17,
    _KIND_DICT = 128,
};
constexpr _dword _KIND_MASK = 0xFF;
// Marks an array whose elements have the kind in the low 8 bits.
constexpr _dword _ARRAY_FLAG = 0x100;

// Observer events.
constexpr int _VARIABLE_READ = 0;     // the variable is read for a copy
constexpr int _VARIABLE_CLEARED = 1;  // the variable is cleared or destroyed

class Variable;
using VariableObserver = void (*)(Variable* variable, int event);

// What a Variable does with a script function reference it owns (kind 17 set with
// AdoptFunction, or copied from one that owned its reference): a copy takes a reference of
// its own through duplicate, clearing or overwriting the value gives it back through release.
// A reference is only meaningful in the script state that issued it, which the owner number
// names (given to AdoptFunction, kept with the value): the hooks act in that state alone and
// do nothing once it is gone. The script host installs these; without them owned references
// are only forgotten.
struct VariableFunctionHooks {
    // A new reference to the same function, issued by the same owner; 0 when there is none.
    int32_t (*duplicate)(int32_t reference, uint32_t owner);
    void (*release)(int32_t reference, uint32_t owner);
};

// Scalars share the first 8 bytes; a setter zeroes all of them first, so a narrow kind
// reads back through the wider getters without stale high bytes.
union VariableValue {
    bool b;
    char16_t c16;
    int8_t i8;
    int16_t i16;
    int32_t i32;
    int64_t i64;
    uint8_t u8;
    uint16_t u16;
    uint32_t u32;
    uint64_t u64;
    float f32;
    double f64;
    char16_t* text;  // kind 15: owned NUL-terminated copy, null for empty text
    struct {
        _byte* data;    // kind 14: owned copy, null for length 0
        _dword length;  // after the pointer: the second half of the 8 bytes on 32-bit targets
    } bytes;
    void* object;     // kind 16
    int32_t function; // kind 17: the script engine's registry reference
};

class Variable {
public:
    // Kind 0 with an empty name.
    Variable();
    // Copies the name and zeroes value and key; an array gets its counter "#" (kind 10)
    // and, with dictionary elements, its element template.
    explicit Variable(const char16_t* name, _dword type = _KIND_NONE);
    // Deep copies; the source's observer is told with _VARIABLE_READ. The source may be
    // part of the target's own tree (root = root.Child(0)): it is copied before the target
    // lets its old contents go.
    Variable(const Variable& other);
    Variable& operator=(const Variable& other);
    // Takes everything over, observer included, without telling it: the value only moves
    // (as when an Array<Variable> grows). The source is left empty; it may be part of the
    // target's own tree, as for copies.
    Variable(Variable&& other) noexcept;
    Variable& operator=(Variable&& other) noexcept;
    // Tells the observer _VARIABLE_CLEARED.
    ~Variable();

    // The result of every failed look-up (kind 0). Callers never change it; the mutators
    // below refuse it.
    static Variable& Empty();
    bool IsShared() const { return this == &Empty(); }

    // Tells the observer _VARIABLE_CLEARED and forgets it; frees owned text or bytes,
    // empties the name, zeroes type, value and key; deletes counter, template and children.
    void Clear();

    _dword Kind() const { return type & _KIND_MASK; }
    bool IsArray() const { return (type & _ARRAY_FLAG) != 0; }
    bool IsDictionary() const { return !IsArray() && Kind() == _KIND_DICT; }
    bool IsNone() const { return type == _KIND_NONE; }

    // Kind 15 only (kind 0 becomes 15); empty text stores null. False when refused.
    bool SetText(const char16_t* text, int count = -1);
    // Kind 14 only (kind 0 becomes 14); length 0 stores null. False when refused.
    bool SetBytes(const void* data, _dword length);

    // Scalar setters give the variable the setter's kind (freeing owned text or bytes).
    // Integers fill all 8 bytes of value, signed kinds sign-extended.
    // Arrays and dictionaries refuse them (false) so their children stay consistent.
    bool SetBool(bool v);
    bool SetChar16(char16_t v);
    bool SetInt8(int8_t v);
    bool SetInt16(int16_t v);
    bool SetInt32(int32_t v);
    bool SetInt64(int64_t v);
    bool SetUInt8(uint8_t v);
    bool SetUInt16(uint16_t v);
    bool SetUInt32(uint32_t v);
    bool SetUInt64(uint64_t v);
    bool SetFloat(float v);
    bool SetDouble(double v);
    bool SetPointer(void* object);      // kind 16
    // Kind 17 with a reference the caller keeps owning (the variable never releases it).
    bool SetFunction(int32_t reference);
    // Kind 17 with a reference the variable owns from now on, issued by the script state
    // owner names: released when the value is cleared or replaced, duplicated for copies
    // (see VariableFunctionHooks).
    bool AdoptFunction(int32_t reference, uint32_t owner);
    // Kind 17: hands the reference over to the caller, who releases it (in the state that
    // issued it, functionOwner); the variable keeps the number but no longer owns it. 0 for
    // other kinds.
    int32_t TakeFunction();
    bool OwnsFunction() const { return ownsFunction; }
    // Installs the hooks for owned function references (null: none). One set per process.
    static void SetFunctionHooks(const VariableFunctionHooks* hooks);
    // Stores a number in the variable's present kind (integers by truncation, boolean as
    // non-zero, float, double); kind 0 becomes double. False for the non-numeric kinds.
    bool SetNumber(double v);

    // Getters by kind: 0 for kinds 15, 16 and 128. Float and double: AsDouble is the
    // number, AsInt32/AsInt64 go through a 32-bit signed integer, AsUInt64 keeps the low
    // 32 bits of a 64-bit conversion. Every other kind reads the raw value: AsInt32 the low
    // 32 bits, AsInt64/AsUInt64 all 64, AsDouble the low 32 bits as a signed integer.
    int32_t AsInt32() const;
    int64_t AsInt64() const;
    uint64_t AsUInt64() const;
    double AsDouble() const;
    bool AsBool() const { return AsInt64() != 0 || AsDouble() != 0.0; }
    // Kind 15: the text; any other kind the shared empty text.
    WStringPtr AsText() const;
    // Kind 14: the bytes (null when empty) and their length; 0 / null for other kinds.
    const _byte* AsBytes() const;
    _dword BytesLength() const;
    void* AsPointer() const;
    int32_t AsFunction() const;

    // Path look-up: segments end before a '.', '[' or '#' that is not their first
    // character; '.' between segments is dropped. "[n]" is the element n of an array;
    // names compare case-sensitively, then the template's fields, then "#" the counter.
    // Anything not found (including an index that is negative, out of range or does not
    // fit) yields the shared empty variable. An empty path yields this variable.
    Variable& Find(const char16_t* path);
    const Variable& Find(const char16_t* path) const;

    // Finds the path or creates it: missing parents become dictionaries, the last segment
    // is appended with the requested type. Below an array the template gives the
    // structure: a field is created in the template and in every existing element. An
    // array without template is reported ("subvar.mTemplate != _null") and nothing is
    // created. Returns the shared empty variable when nothing could be found or created.
    Variable& CreatePath(const char16_t* path, _dword type);

    // Arrays only; count <= 0 does nothing. Appends count elements named "[i]", copies of
    // the template or new variables of the element kind, and keeps the counter current.
    bool Resize(int count);

    // The child at index, or the shared empty variable ("IsIndexValid( index )" reported).
    Variable& Child(int index);
    const Variable& Child(int index) const;
    int ChildCount() const { return int(children.Count()); }
    // Appends a named child and returns it (the shared empty variable when refused). On an
    // array the counter follows the number of children.
    Variable& AddChild(const char16_t* childName, _dword childType);
    // The first direct child with this name, or null.
    Variable* FindChild(const char16_t* childName) const;

    WString name;          // under the parent; "[%d]" for array elements; "#" for the counter
    _dword type;           // kind in the low 8 bits, _ARRAY_FLAG for arrays
    VariableValue value;   // the scalar, or owned text / bytes
    double key;            // numeric key of the entry when it came from a script table
    bool hasKey;
    bool ownsFunction;     // kind 17: the reference is released with the value
    uint32_t functionOwner;  // kind 17 set by AdoptFunction: the state that issued it, else 0
    Variable* mTemplate;   // arrays of dictionaries: the element template (empty name)
    Variable* counter;     // arrays: the child "#" (kind 10) holding the element count
    Array<Variable*> children;  // owned
    VariableObserver observer;  // may be null

private:
    void FreeOwned();
    // Deep copy of other into this empty variable.
    void CopyFrom(const Variable& other);
    // Takes other's contents over into this empty variable; other is left empty.
    void TakeFrom(Variable& other);
    bool SetScalar(_dword kind, const VariableValue& v);
    void UpdateCounter();
    bool RefuseShared() const;
    bool IsIndexValid(int index) const { return index >= 0 && index < ChildCount(); }
};

} // namespace Volux
