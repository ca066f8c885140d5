// Raw text functions, the owning string and the scratch pool.
#include "Common/WString.h"

#include <utility>

#include "Common/Memory.h"
#include "Platform/Thread.h"

namespace Volux {

const char16_t _EMPTY_TEXT[1] = {0};

namespace {
ScratchPool* sCurrentPool = nullptr;
_dword sMainThread = 0;
bool sMainThreadSet = false;

inline bool SameChar(char16_t a, char16_t b, bool caseSensitive) {
    return caseSensitive ? a == b : Text::Fold(a) == Text::Fold(b);
}
} // namespace

void SetMainThread() {
    sMainThread = CurrentThreadId();
    sMainThreadSet = true;
}

bool IsMainThread() { return sMainThreadSet && CurrentThreadId() == sMainThread; }

namespace Text {

int Length(const char16_t* text) {
    if (text == nullptr)
        return 0;
    const char16_t* at = text;
    while (*at != 0)
        at++;
    return int(at - text);
}

int Length(const char* text) {
    if (text == nullptr)
        return 0;
    const char* at = text;
    while (*at != 0)
        at++;
    return int(at - text);
}

int FindChar(const char16_t* text, char16_t ch, bool caseSensitive) {
    if (ch == 0)
        return -1;
    text = NonNull(text);
    for (int i = 0; text[i] != 0; i++)
        if (SameChar(text[i], ch, caseSensitive))
            return i;
    return -1;
}

int FindLastChar(const char16_t* text, char16_t ch, bool caseSensitive) {
    text = NonNull(text);
    int found = -1;
    for (int i = 0; text[i] != 0; i++)
        if (SameChar(text[i], ch, caseSensitive))
            found = i;
    return found;
}

int FindText(const char16_t* text, const char16_t* sub, bool caseSensitive) {
    text = NonNull(text);
    sub = NonNull(sub);
    if (sub[0] == 0)
        return -1;
    for (int i = 0; text[i] != 0; i++) {
        int j = 0;
        while (sub[j] != 0 && text[i + j] != 0 && SameChar(text[i + j], sub[j], caseSensitive))
            j++;
        if (sub[j] == 0)
            return i;
        if (text[i + j] == 0)
            return -1;
    }
    return -1;
}

bool StartsWith(const char16_t* text, const char16_t* prefix, bool caseSensitive) {
    text = NonNull(text);
    prefix = NonNull(prefix);
    if (prefix[0] == 0)
        return false;
    for (int i = 0; prefix[i] != 0; i++)
        if (text[i] == 0 || !SameChar(text[i], prefix[i], caseSensitive))
            return false;
    return true;
}

int Compare(const char16_t* a, const char16_t* b, bool caseSensitive) {
    a = NonNull(a);
    b = NonNull(b);
    for (;; a++, b++) {
        char16_t x = caseSensitive ? *a : Fold(*a);
        char16_t y = caseSensitive ? *b : Fold(*b);
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
}

int Compare(const char* a, const char* b, bool caseSensitive) {
    a = NonNull(a);
    b = NonNull(b);
    for (;; a++, b++) {
        unsigned char x = (unsigned char)(caseSensitive ? *a : FoldByte(*a));
        unsigned char y = (unsigned char)(caseSensitive ? *b : FoldByte(*b));
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
}

void ReplaceChar(char16_t* text, char16_t ch, char16_t with, bool caseSensitive) {
    if (text == nullptr)
        return;
    for (; *text != 0; text++)
        if (SameChar(*text, ch, caseSensitive))
            *text = with;
}

const char16_t* ToLower(char16_t* text) {
    if (text == nullptr)
        return _EMPTY_TEXT;
    for (char16_t* at = text; *at != 0; at++)
        *at = Fold(*at);
    return text;
}

char16_t* CopyText(char16_t* dst, const char16_t* src, int count) {
    if (dst == nullptr)
        return dst;
    src = NonNull(src);
    int i = 0;
    if (count < 0) {
        for (; src[i] != 0; i++)
            dst[i] = src[i];
    } else {
        for (; i < count; i++)
            dst[i] = src[i];
    }
    dst[i] = 0;
    return dst;
}

char16_t* AppendText(char16_t* dst, const char16_t* src, int count) {
    if (dst == nullptr)
        return dst;
    CopyText(dst + Length(dst), src, count);
    return dst;
}

char* CopyText(char* dst, const char* src, int count) {
    if (dst == nullptr)
        return dst;
    src = NonNull(src);
    int i = 0;
    if (count < 0) {
        for (; src[i] != 0; i++)
            dst[i] = src[i];
    } else {
        for (; i < count; i++)
            dst[i] = src[i];
    }
    dst[i] = 0;
    return dst;
}

namespace {
inline _dword FoldUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? _dword(c - 32) : _dword(c); }
} // namespace

_dword HashA(const char16_t* text) {
    text = NonNull(text);
    _dword seed1 = 0x7FED7FED, seed2 = 0xEEEEEEEE;
    for (; *text != 0; text++) {
        _dword c = FoldUpper(*text);
        seed1 = c ^ (seed1 + seed2);
        seed2 = c + seed1 + seed2 * 33 + 3;
    }
    return seed1;
}

_dword Hash31(const char16_t* text) {
    text = NonNull(text);
    _dword h = 0;
    for (; *text != 0; text++)
        h = h * 31 + FoldUpper(*text);
    return h;
}

_dword HashLanes(const char16_t* text) {
    text = NonNull(text);
    _dword lanes[4] = {0, 0, 0, 0};
    for (int i = 0; text[i] != 0; i++)
        lanes[i & 3] += FoldUpper(text[i]) & 0xFF;
    // Lanes are OR-ed unmasked: a sum above 255 spills into the next lane's bits.
    return lanes[0] | lanes[1] << 8 | lanes[2] << 16 | lanes[3] << 24;
}

} // namespace Text

// ---------------------------------------------------------------------------------------------
// WString

WString::WString(const char16_t* value, int count) : WString() { Assign(value, count); }

WString::WString(const WString& other) : WString() { Assign(other.text, int(other.length)); }

WString::WString(WString&& other) noexcept : text(other.text), length(other.length), capacity(other.capacity) {
    other.text = const_cast<char16_t*>(_EMPTY_TEXT);
    other.length = 0;
    other.capacity = 0;
}

WString::~WString() { Release(); }

WString& WString::operator=(const WString& other) {
    if (this != &other)
        Assign(other.text, int(other.length));
    return *this;
}

WString& WString::operator=(WString&& other) noexcept {
    if (this != &other) {
        Release();
        text = other.text;
        length = other.length;
        capacity = other.capacity;
        other.text = const_cast<char16_t*>(_EMPTY_TEXT);
        other.length = 0;
        other.capacity = 0;
    }
    return *this;
}

void WString::Release() {
    if (capacity != 0)
        MemFree(text);
    text = const_cast<char16_t*>(_EMPTY_TEXT);
    length = 0;
    capacity = 0;
}

char16_t* WString::Obtain(int n, _dword& newCapacity) {
    ScratchPool* pool = ScratchPool::Current();
    if (pool != nullptr && n + 1 <= ScratchPool::_BLOCK_CHARS && IsMainThread()) {
        char16_t* storage = pool->Take(n + 1);
        if (storage != nullptr) {
            newCapacity = 0;
            return storage;
        }
    }
    newCapacity = _dword(n + 1);
    return static_cast<char16_t*>(MemAlloc(size_t(n + 1) * sizeof(char16_t)));
}

WString& WString::Assign(const char16_t* value, int count) {
    value = NonNull(value);
    if (count < 0)
        count = Text::Length(value);
    if (count == 0) {
        Release();
        return *this;
    }
    // Assigning part of our own text: copy it out first.
    if (value >= text && value < text + length + 1 && capacity != 0) {
        WString copy(value, count);
        return *this = std::move(copy);
    }
    // Scratch storage has capacity 0, so its unknown size is never reused: new storage is taken.
    if (capacity < _dword(count) + 1) {
        _dword newCapacity = 0;
        char16_t* storage = Obtain(count, newCapacity);
        if (storage == nullptr) {
            Release();
            return *this;
        }
        Release();
        text = storage;
        capacity = newCapacity;
    }
    for (int i = 0; i < count; i++)
        text[i] = value[i];
    text[count] = 0;
    length = _dword(Text::Length(text));
    return *this;
}

WString& WString::Insert(int position, const char16_t* value, int count) {
    value = NonNull(value);
    if (position < 0 || _dword(position) > length)
        return *this;
    if (count < 0)
        count = Text::Length(value);
    if (count == 0)
        return *this;
    // Inserting part of our own text: copy it out first.
    if (value >= text && value <= text + length) {
        WString copy(value, count);
        return Insert(position, copy.text, int(copy.length));
    }
    _dword newLength = length + _dword(count);
    if (capacity < newLength + 1) {
        _dword newCapacity = 0;
        char16_t* storage = Obtain(int(newLength), newCapacity);
        if (storage == nullptr)
            return *this;
        for (int i = 0; i < position; i++)
            storage[i] = text[i];
        for (_dword i = _dword(position); i < length; i++)
            storage[i + _dword(count)] = text[i];
        if (capacity != 0)
            MemFree(text);
        text = storage;
        capacity = newCapacity;
    } else {
        for (_dword i = length; i > _dword(position); i--)
            text[i - 1 + _dword(count)] = text[i - 1];
    }
    for (int i = 0; i < count; i++)
        text[position + i] = value[i];
    length = newLength;
    text[length] = 0;
    return *this;
}

WString& WString::InsertChar(int position, char16_t ch) {
    char16_t one[2] = {ch, 0};
    if (ch == 0)
        return *this;
    return Insert(position, one, 1);
}

WString& WString::Remove(int start, int count) {
    if (start < 0 || _dword(start) >= length)
        return *this;
    if (count < 0 || _dword(count) > length - _dword(start))
        count = int(length) - start;
    if (count == 0)
        return *this;
    if (_dword(count) == length) {
        Release();
        return *this;
    }
    for (_dword i = _dword(start + count); i <= length; i++)
        text[i - _dword(count)] = text[i];
    length -= _dword(count);
    return *this;
}

WString WString::Substring(int start, int count) const {
    if (start < 0 || _dword(start) >= length)
        return WString();
    if (count < 0 || _dword(count) > length - _dword(start))
        count = int(length) - start;
    return WString(text + start, count);
}

namespace {
bool InSet(const char16_t* set, char16_t c, bool caseSensitive) {
    for (; *set != 0; set++)
        if (SameChar(*set, c, caseSensitive))
            return true;
    return false;
}
} // namespace

WString& WString::TrimLeft(const char16_t* set, bool caseSensitive) {
    set = NonNull(set);
    int n = 0;
    while (_dword(n) < length && InSet(set, text[n], caseSensitive))
        n++;
    return Remove(0, n);
}

WString& WString::TrimRight(const char16_t* set, bool caseSensitive) {
    set = NonNull(set);
    int n = 0;
    while (_dword(n) < length && InSet(set, text[length - 1 - _dword(n)], caseSensitive))
        n++;
    return Remove(int(length) - n, n);
}

WString& WString::TrimLeftChar(char16_t ch, bool caseSensitive) {
    char16_t set[2] = {ch, 0};
    return TrimLeft(set, caseSensitive);
}

WString& WString::TrimRightChar(char16_t ch, bool caseSensitive) {
    char16_t set[2] = {ch, 0};
    return TrimRight(set, caseSensitive);
}

WString& WString::ReplaceAll(const char16_t* from, const char16_t* to, bool caseSensitive) {
    from = NonNull(from);
    to = NonNull(to);
    int fromLength = Text::Length(from);
    int toLength = Text::Length(to);
    if (fromLength == 0)
        return *this;
    // Copies guard against from or to pointing into this string.
    WString fromCopy(from), toCopy(to);
    int offset = 0;
    while (_dword(offset) < length) {
        int found = Text::FindText(text + offset, fromCopy.text, caseSensitive);
        if (found < 0)
            break;
        int at = offset + found;
        Remove(at, fromLength);
        Insert(at, toCopy.text, toLength);
        offset = at + toLength;
    }
    return *this;
}

WString& WString::ToLower() {
    if (length != 0)
        for (_dword i = 0; i < length; i++)
            text[i] = Text::Fold(text[i]);
    return *this;
}

WString operator+(const WString& a, const char16_t* b) {
    WString result(a);
    result.Append(b);
    return result;
}

WString operator+(const char16_t* a, const WString& b) {
    WString result(a);
    result.Append(b.text);
    return result;
}

WString operator+(const WString& a, const WString& b) {
    WString result(a);
    result.Append(b.text);
    return result;
}

// ---------------------------------------------------------------------------------------------
// ScratchPool

ScratchPool::ScratchPool() : block(0), offset(0) {
    for (char16_t*& b : blocks)
        b = nullptr;
}

ScratchPool::~ScratchPool() {
    if (sCurrentPool == this)
        sCurrentPool = nullptr;
    for (char16_t* b : blocks)
        MemFree(b);
}

char16_t* ScratchPool::Take(int count) {
    if (count <= 0 || count > _BLOCK_CHARS || block >= _BLOCK_COUNT)
        return nullptr;
    if (offset + count > _BLOCK_CHARS) {
        block++;
        offset = 0;
        if (block >= _BLOCK_COUNT)
            return nullptr;
    }
    if (blocks[block] == nullptr) {
        blocks[block] = static_cast<char16_t*>(MemAlloc(_BLOCK_CHARS * sizeof(char16_t)));
        if (blocks[block] == nullptr)
            return nullptr;
    }
    char16_t* result = blocks[block] + offset;
    offset += count;
    return result;
}

void ScratchPool::Install(ScratchPool* pool) { sCurrentPool = pool; }

ScratchPool* ScratchPool::Current() { return sCurrentPool; }

} // namespace Volux
