// Tagged values and value trees.
#include "Common/Variable.h"

#include <cstring>
#include <new>
#include <utility>

#include "Common/StringFormatter.h"

namespace Volux {

namespace {
constexpr const char16_t* _SOURCE = u"Common/Variable";
constexpr const char16_t _COUNTER_NAME[] = u"#";
// Resize ceiling: a script or config asking for more elements than this is refused
// before anything is allocated.
constexpr int _MAX_ELEMENTS = 1 << 24;

// One segment of a path: [start, start + length); rest is what follows, with the '.'
// between segments already dropped.
struct Segment {
    const char16_t* start;
    int length;
    const char16_t* rest;
};

inline bool IsBreak(char16_t c) { return c == u'.' || c == u'[' || c == u'#'; }

Segment SplitSegment(const char16_t* path) {
    int i = 1;  // a break as first character belongs to the segment
    while (path[i] != 0 && !IsBreak(path[i]))
        i++;
    Segment segment{path, i, path + i};
    if (*segment.rest == u'.')
        segment.rest++;
    return segment;
}

// "[n]" exactly, n decimal and below 2^31; -1 for anything else. Digits are accumulated
// with a bound, so a long run of digits cannot wrap into a valid index.
int ParseIndex(const Segment& segment) {
    if (segment.length < 3 || segment.start[0] != u'[' || segment.start[segment.length - 1] != u']')
        return -1;
    long long index = 0;
    for (int i = 1; i < segment.length - 1; i++) {
        char16_t c = segment.start[i];
        if (c < u'0' || c > u'9')
            return -1;
        index = index * 10 + (c - u'0');
        if (index > 0x7FFFFFFF)
            return -1;
    }
    return int(index);
}

bool SegmentIs(const Segment& segment, const WString& text) {
    return int(text.length) == segment.length &&
           memcmp(segment.start, text.text, sizeof(char16_t) * size_t(segment.length)) == 0;
}

Variable* FindNamed(const Array<Variable*>& children, const Segment& segment) {
    for (Variable* child : children) {
        if (SegmentIs(segment, child->name))
            return child;
    }
    return nullptr;
}

Variable* NewVariable(const char16_t* name, _dword type) {
    void* memory = MemAlloc(sizeof(Variable));
    return memory != nullptr ? new (memory) Variable(name, type) : nullptr;
}

Variable* NewCopy(const Variable& other) {
    void* memory = MemAlloc(sizeof(Variable));
    return memory != nullptr ? new (memory) Variable(other) : nullptr;
}

VariableFunctionHooks sFunctionHooks = {nullptr, nullptr};

void DeleteVariable(Variable* variable) {
    if (variable != nullptr) {
        variable->~Variable();
        MemFree(variable);
    }
}
} // namespace

Variable::Variable()
    : type(_KIND_NONE), key(0.0), hasKey(false), ownsFunction(false), functionOwner(0), mTemplate(nullptr),
      counter(nullptr), observer(nullptr) {
    value.u64 = 0;
}

Variable::Variable(const char16_t* newName, _dword newType)
    : name(newName), type(newType), key(0.0), hasKey(false), ownsFunction(false), functionOwner(0),
      mTemplate(nullptr), counter(nullptr), observer(nullptr) {
    value.u64 = 0;
    if (IsArray()) {
        counter = NewVariable(_COUNTER_NAME, _KIND_UINT32);
        if (Kind() == _KIND_DICT)
            mTemplate = NewVariable(u"", _KIND_DICT);
    }
}

Variable::Variable(const Variable& other) : Variable() { CopyFrom(other); }

Variable& Variable::operator=(const Variable& other) {
    if (this == &other || RefuseShared())
        return *this;
    // Copied aside first: other may be one of the children Clear deletes.
    Variable copy;
    copy.CopyFrom(other);
    Clear();
    TakeFrom(copy);
    return *this;
}

void Variable::CopyFrom(const Variable& other) {
    if (other.observer != nullptr)
        other.observer(const_cast<Variable*>(&other), _VARIABLE_READ);
    name = other.name;
    type = other.type;
    value = other.value;
    key = other.key;
    hasKey = other.hasKey;
    observer = other.observer;
    // Owned storage is never shared: a failed copy leaves the value empty.
    if (Kind() == _KIND_TEXT && !IsArray()) {
        value.text = nullptr;
        SetText(other.value.text);
    } else if (Kind() == _KIND_BYTES && !IsArray()) {
        value.u64 = 0;
        SetBytes(other.value.bytes.data, other.value.bytes.length);
    } else if (Kind() == _KIND_FUNCTION && !IsArray() && other.ownsFunction) {
        // Both must be able to release: the copy gets a reference of its own, from the
        // state that issued the original.
        value.u64 = 0;
        if (sFunctionHooks.duplicate != nullptr)
            value.function = sFunctionHooks.duplicate(other.value.function, other.functionOwner);
        ownsFunction = value.function > 0;
        functionOwner = ownsFunction ? other.functionOwner : 0;
    }
    if (other.counter != nullptr)
        counter = NewCopy(*other.counter);
    if (other.mTemplate != nullptr)
        mTemplate = NewCopy(*other.mTemplate);
    for (const Variable* child : other.children) {
        Variable* copy = NewCopy(*child);
        if (copy != nullptr)
            children.Append(copy);
    }
}

Variable::Variable(Variable&& other) noexcept : Variable() { TakeFrom(other); }

Variable& Variable::operator=(Variable&& other) noexcept {
    if (this == &other || RefuseShared())
        return *this;
    // Taken aside first: other may be one of the children Clear deletes.
    Variable taken;
    taken.TakeFrom(other);
    Clear();
    TakeFrom(taken);
    return *this;
}

void Variable::TakeFrom(Variable& other) {
    if (other.IsShared())
        return;  // the shared empty variable holds nothing to take and must stay as it is
    name = std::move(other.name);
    type = other.type;
    value = other.value;
    key = other.key;
    hasKey = other.hasKey;
    ownsFunction = other.ownsFunction;
    functionOwner = other.functionOwner;
    mTemplate = other.mTemplate;
    counter = other.counter;
    // Array has no move assignment: the pointers are copied and the source forgets them.
    children = other.children;
    other.children.Clear(true);
    observer = other.observer;
    other.name = u"";
    other.type = _KIND_NONE;
    other.value.bytes.data = nullptr;
    other.value.bytes.length = 0;
    other.value.u64 = 0;
    other.key = 0.0;
    other.hasKey = false;
    other.ownsFunction = false;
    other.functionOwner = 0;
    other.mTemplate = nullptr;
    other.counter = nullptr;
    other.observer = nullptr;
}

Variable::~Variable() { Clear(); }

Variable& Variable::Empty() {
    static Variable empty;
    return empty;
}

bool Variable::RefuseShared() const { return !VOLUX_CHECK(_SOURCE, this != &Empty()); }

void Variable::FreeOwned() {
    if (ownsFunction) {
        ownsFunction = false;
        if (!IsArray() && Kind() == _KIND_FUNCTION && value.function > 0 && sFunctionHooks.release != nullptr)
            sFunctionHooks.release(value.function, functionOwner);
    }
    functionOwner = 0;
    if (!IsArray() && Kind() == _KIND_TEXT)
        MemFree(value.text);
    else if (!IsArray() && Kind() == _KIND_BYTES)
        MemFree(value.bytes.data);
    value.u64 = 0;
    // On 64-bit targets the bytes record is wider than the 8 scalar bytes.
    value.bytes.data = nullptr;
    value.bytes.length = 0;
}

void Variable::Clear() {
    if (observer != nullptr) {
        VariableObserver told = observer;
        observer = nullptr;
        told(this, _VARIABLE_CLEARED);
    }
    FreeOwned();
    name = u"";
    type = _KIND_NONE;
    key = 0.0;
    hasKey = false;
    DeleteVariable(counter);
    counter = nullptr;
    DeleteVariable(mTemplate);
    mTemplate = nullptr;
    for (Variable* child : children)
        DeleteVariable(child);
    children.Clear(true);
}

bool Variable::SetText(const char16_t* text, int count) {
    if (RefuseShared())
        return false;
    if (type == _KIND_NONE)
        type = _KIND_TEXT;
    if (!VOLUX_CHECK(_SOURCE, type == _KIND_TEXT))
        return false;
    int length = count < 0 ? Text::Length(NonNull(text)) : count;
    char16_t* copy = nullptr;
    if (length > 0) {
        copy = static_cast<char16_t*>(MemAlloc(sizeof(char16_t) * (size_t(length) + 1)));
        if (copy == nullptr)
            return false;
        memcpy(copy, text, sizeof(char16_t) * size_t(length));
        copy[length] = 0;
    }
    FreeOwned();
    value.text = copy;
    return true;
}

bool Variable::SetBytes(const void* data, _dword length) {
    if (RefuseShared())
        return false;
    if (type == _KIND_NONE)
        type = _KIND_BYTES;
    if (!VOLUX_CHECK(_SOURCE, type == _KIND_BYTES))
        return false;
    _byte* copy = nullptr;
    if (length > 0 && data != nullptr) {
        copy = static_cast<_byte*>(MemAlloc(length));
        if (copy == nullptr)
            return false;
        memcpy(copy, data, length);
    }
    FreeOwned();
    value.bytes.data = copy;
    value.bytes.length = copy != nullptr ? length : 0;
    return true;
}

bool Variable::SetScalar(_dword kind, const VariableValue& v) {
    if (RefuseShared())
        return false;
    if (!VOLUX_CHECK(_SOURCE, !IsArray() && Kind() != _KIND_DICT))
        return false;
    FreeOwned();
    type = kind;
    value = v;
    return true;
}

// Integers are widened to all 8 bytes (signed kinds sign-extended), so the raw-value
// getters read a narrow signed value back with its sign.
#define VOLUX_SCALAR_SETTER(Name, Type, Kind, Field, Widened) \
    bool Variable::Name(Type v) {                    \
        VariableValue raw;                           \
        raw.bytes.data = nullptr;                    \
        raw.bytes.length = 0;                        \
        raw.u64 = 0;                                 \
        raw.Field = Widened(v);                      \
        return SetScalar(Kind, raw);                 \
    }
VOLUX_SCALAR_SETTER(SetBool, bool, _KIND_BOOL, u64, uint64_t)
VOLUX_SCALAR_SETTER(SetChar16, char16_t, _KIND_CHAR16, u64, uint64_t)
VOLUX_SCALAR_SETTER(SetInt8, int8_t, _KIND_INT8, i64, int64_t)
VOLUX_SCALAR_SETTER(SetInt16, int16_t, _KIND_INT16, i64, int64_t)
VOLUX_SCALAR_SETTER(SetInt32, int32_t, _KIND_INT32, i64, int64_t)
VOLUX_SCALAR_SETTER(SetInt64, int64_t, _KIND_INT64, i64, int64_t)
VOLUX_SCALAR_SETTER(SetUInt8, uint8_t, _KIND_UINT8, u64, uint64_t)
VOLUX_SCALAR_SETTER(SetUInt16, uint16_t, _KIND_UINT16, u64, uint64_t)
VOLUX_SCALAR_SETTER(SetUInt32, uint32_t, _KIND_UINT32, u64, uint64_t)
VOLUX_SCALAR_SETTER(SetUInt64, uint64_t, _KIND_UINT64, u64, uint64_t)
VOLUX_SCALAR_SETTER(SetFloat, float, _KIND_FLOAT, f32, float)
VOLUX_SCALAR_SETTER(SetDouble, double, _KIND_DOUBLE, f64, double)
VOLUX_SCALAR_SETTER(SetPointer, void*, _KIND_OBJECT, object, static_cast<void*>)
VOLUX_SCALAR_SETTER(SetFunction, int32_t, _KIND_FUNCTION, i64, int64_t)
#undef VOLUX_SCALAR_SETTER

bool Variable::AdoptFunction(int32_t reference, uint32_t owner) {
    if (!SetFunction(reference))
        return false;
    ownsFunction = reference > 0;
    functionOwner = ownsFunction ? owner : 0;
    return true;
}

int32_t Variable::TakeFunction() {
    if (IsArray() || Kind() != _KIND_FUNCTION)
        return 0;
    ownsFunction = false;
    return value.function;
}

void Variable::SetFunctionHooks(const VariableFunctionHooks* hooks) {
    sFunctionHooks = hooks != nullptr ? *hooks : VariableFunctionHooks{nullptr, nullptr};
}

bool Variable::SetNumber(double v) {
    // Truncation goes through a 64-bit integer; values outside its range (and NaN) would
    // be undefined behaviour, so they saturate.
    int64_t whole = 0;
    if (v != v)
        whole = 0;
    else if (v >= 9223372036854775807.0)
        whole = INT64_MAX;
    else if (v <= -9223372036854775808.0)
        whole = INT64_MIN;
    else
        whole = int64_t(v);
    switch (IsArray() ? _KIND_DICT : Kind()) {
    case _KIND_NONE:
    case _KIND_DOUBLE: return SetDouble(v);
    case _KIND_FLOAT: return SetFloat(float(v));
    case _KIND_BOOL: return SetBool(v != 0.0);
    case _KIND_CHAR16: return SetChar16(char16_t(uint64_t(whole)));
    case _KIND_INT8: return SetInt8(int8_t(uint64_t(whole)));
    case _KIND_INT16: return SetInt16(int16_t(uint64_t(whole)));
    case _KIND_INT32: return SetInt32(int32_t(uint64_t(whole)));
    case _KIND_INT64: return SetInt64(whole);
    case _KIND_UINT8: return SetUInt8(uint8_t(uint64_t(whole)));
    case _KIND_UINT16: return SetUInt16(uint16_t(uint64_t(whole)));
    case _KIND_UINT32: return SetUInt32(uint32_t(uint64_t(whole)));
    case _KIND_UINT64: return SetUInt64(v >= 18446744073709551615.0 ? UINT64_MAX : v > 0.0 ? uint64_t(v) : uint64_t(whole));
    default: return false;
    }
}

namespace {
// double/float to a 32-bit signed integer the way a C cast would for in-range values;
// out-of-range values saturate instead of being undefined.
int32_t ToInt32(double v) {
    if (v != v)
        return 0;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return int32_t(v);
}

int64_t ToInt64(double v) {
    if (v != v)
        return 0;
    if (v >= 9223372036854775807.0)
        return INT64_MAX;
    if (v <= -9223372036854775808.0)
        return INT64_MIN;
    return int64_t(v);
}

bool HasNoNumber(_dword kind) { return kind == _KIND_TEXT || kind == _KIND_OBJECT || kind == _KIND_DICT; }
} // namespace

int32_t Variable::AsInt32() const {
    _dword kind = Kind();
    if (HasNoNumber(kind))
        return 0;
    if (kind == _KIND_FLOAT)
        return ToInt32(value.f32);
    if (kind == _KIND_DOUBLE)
        return ToInt32(value.f64);
    return int32_t(uint32_t(value.u64));
}

int64_t Variable::AsInt64() const {
    _dword kind = Kind();
    if (HasNoNumber(kind))
        return 0;
    if (kind == _KIND_FLOAT || kind == _KIND_DOUBLE)
        return AsInt32();
    return value.i64;
}

uint64_t Variable::AsUInt64() const {
    _dword kind = Kind();
    if (HasNoNumber(kind))
        return 0;
    if (kind == _KIND_FLOAT)
        return uint32_t(uint64_t(ToInt64(value.f32)));
    if (kind == _KIND_DOUBLE)
        return uint32_t(uint64_t(ToInt64(value.f64)));
    return value.u64;
}

double Variable::AsDouble() const {
    _dword kind = Kind();
    if (HasNoNumber(kind))
        return 0.0;
    if (kind == _KIND_FLOAT)
        return value.f32;
    if (kind == _KIND_DOUBLE)
        return value.f64;
    return double(int32_t(uint32_t(value.u64)));
}

WStringPtr Variable::AsText() const { return type == _KIND_TEXT ? WStringPtr(value.text) : WStringPtr(); }
const _byte* Variable::AsBytes() const { return type == _KIND_BYTES ? value.bytes.data : nullptr; }
_dword Variable::BytesLength() const { return type == _KIND_BYTES ? value.bytes.length : 0; }
void* Variable::AsPointer() const { return type == _KIND_OBJECT ? value.object : nullptr; }
int32_t Variable::AsFunction() const { return type == _KIND_FUNCTION ? value.function : 0; }

const Variable& Variable::Find(const char16_t* path) const { return const_cast<Variable*>(this)->Find(path); }

Variable& Variable::Find(const char16_t* path) {
    Variable* current = this;
    path = NonNull(path);
    while (*path != 0) {
        Segment segment = SplitSegment(path);
        Variable* next = nullptr;
        if (current->IsArray() && segment.start[0] == u'[') {
            int index = ParseIndex(segment);
            if (index >= 0 && index < current->ChildCount())
                next = current->children[_dword(index)];
        }
        if (next == nullptr)
            next = FindNamed(current->children, segment);
        if (next == nullptr && current->mTemplate != nullptr)
            next = FindNamed(current->mTemplate->children, segment);
        if (next == nullptr && current->counter != nullptr && SegmentIs(segment, current->counter->name))
            next = current->counter;
        if (next == nullptr)
            return Empty();
        current = next;
        path = segment.rest;
    }
    return *current;
}

Variable& Variable::CreatePath(const char16_t* path, _dword newType) {
    if (RefuseShared())
        return Empty();
    path = NonNull(path);
    if (*path == 0)
        return *this;
    Segment segment = SplitSegment(path);
    bool last = *segment.rest == 0;
    Variable& subvar = *this;
    WString segmentName(segment.start, segment.length);

    if (subvar.IsArray()) {
        if (segment.start[0] == u'[') {
            int index = ParseIndex(segment);
            if (!VOLUX_CHECK(_SOURCE, IsIndexValid( index )))
                return Empty();
            return subvar.children[_dword(index)]->CreatePath(segment.rest, newType);
        }
        if (last && subvar.counter != nullptr && SegmentIs(segment, subvar.counter->name))
            return *subvar.counter;
        // A field below the elements: the template carries the structure, and the
        // existing elements (copies of it) receive the same field.
        if (!VOLUX_CHECK(_SOURCE, subvar.mTemplate != _null))
            return Empty();
        Variable& created = subvar.mTemplate->CreatePath(path, newType);
        if (created.IsShared())
            return created;
        for (Variable* element : subvar.children)
            element->CreatePath(path, newType);
        return created;
    }

    Variable* child = FindNamed(subvar.children, segment);
    if (child == nullptr) {
        if (subvar.type == _KIND_NONE)
            subvar.type = _KIND_DICT;
        if (!VOLUX_CHECK(_SOURCE, subvar.type == _KIND_DICT))
            return Empty();
        Variable& added = subvar.AddChild(segmentName, last ? newType : _dword(_KIND_DICT));
        if (added.IsShared())
            return added;
        child = &added;
    }
    return last ? *child : child->CreatePath(segment.rest, newType);
}

void Variable::UpdateCounter() {
    if (counter != nullptr && (counter->type == _KIND_INT32 || counter->type == _KIND_UINT32))
        counter->value.u32 = children.Count();
}

bool Variable::Resize(int count) {
    if (RefuseShared() || count <= 0)
        return false;
    if (!VOLUX_CHECK(_SOURCE, IsArray()))
        return false;
    if (!VOLUX_CHECK(_SOURCE, count <= _MAX_ELEMENTS - ChildCount()))
        return false;
    for (int i = 0; i < count; i++) {
        WString elementName = Format(u"[%d]", ChildCount());
        Variable* element = nullptr;
        if (mTemplate != nullptr) {
            element = NewCopy(*mTemplate);
            if (element != nullptr)
                element->name = elementName;
        } else {
            element = NewVariable(elementName, Kind());
        }
        if (element == nullptr)
            return false;
        children.Append(element);
        UpdateCounter();
    }
    return true;
}

Variable& Variable::Child(int index) {
    if (!VOLUX_CHECK(_SOURCE, IsIndexValid( index )))
        return Empty();
    return *children[_dword(index)];
}

const Variable& Variable::Child(int index) const { return const_cast<Variable*>(this)->Child(index); }

Variable& Variable::AddChild(const char16_t* childName, _dword childType) {
    if (RefuseShared())
        return Empty();
    Variable* child = NewVariable(childName, childType);
    if (child == nullptr)
        return Empty();
    _dword before = children.Count();
    children.Append(child);
    if (children.Count() == before) {
        DeleteVariable(child);
        return Empty();
    }
    UpdateCounter();
    return *child;
}

Variable* Variable::FindChild(const char16_t* childName) const {
    childName = NonNull(childName);
    for (Variable* child : children) {
        if (Text::Equals(child->name, childName))
            return child;
    }
    return nullptr;
}

} // namespace Volux
