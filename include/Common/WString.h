// The engine's two string types and the raw-text functions they are built on.
// All engine text is UTF-16 held as char16_t; a null text is always read as the shared
// empty text, so no string pointer of the engine is ever null.
#pragma once

#include "Common/Base.h"

namespace Volux {

// One process-wide empty text (a single NUL).
extern const char16_t _EMPTY_TEXT[1];

inline const char16_t* NonNull(const char16_t* text) { return text != nullptr ? text : _EMPTY_TEXT; }
inline const char* NonNull(const char* text) { return text != nullptr ? text : ""; }

// Raw NUL-terminated UTF-16 text. 'A'..'Z' are the only characters folded without case.
namespace Text {
inline char16_t Fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }
inline char FoldByte(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

int Length(const char16_t* text);
int Length(const char* text);
int FindChar(const char16_t* text, char16_t ch, bool caseSensitive = true);
int FindLastChar(const char16_t* text, char16_t ch, bool caseSensitive = true);
int FindText(const char16_t* text, const char16_t* sub, bool caseSensitive = true);
bool StartsWith(const char16_t* text, const char16_t* prefix, bool caseSensitive = true);
int Compare(const char16_t* a, const char16_t* b, bool caseSensitive = true);
int Compare(const char* a, const char* b, bool caseSensitive = true);
inline bool Equals(const char16_t* a, const char16_t* b) { return Compare(a, b, true) == 0; }
inline bool Differs(const char16_t* a, const char16_t* b) { return !Equals(a, b); }
void ReplaceChar(char16_t* text, char16_t ch, char16_t with, bool caseSensitive = true);
// Lower-cases 'A'..'Z' in place; returns the text (the shared empty text for null).
const char16_t* ToLower(char16_t* text);
// count -1 copies through the NUL; dst must hold count + 1 characters.
char16_t* CopyText(char16_t* dst, const char16_t* src, int count = -1);
char16_t* AppendText(char16_t* dst, const char16_t* src, int count = -1);
char* CopyText(char* dst, const char* src, int count = -1);

_dword HashA(const char16_t* text);
_dword Hash31(const char16_t* text);
_dword HashLanes(const char16_t* text);
} // namespace Text

class WStringPtr {
public:
    WStringPtr() : text(_EMPTY_TEXT) {}
    WStringPtr(const char16_t* value) : text(NonNull(value)) {}

    operator const char16_t*() const { return text; }
    const char16_t* Text() const { return text; }
    int Length() const { return Text::Length(text); }
    bool IsEmpty() const { return text[0] == 0; }

    int FindChar(char16_t ch, bool caseSensitive = true) const { return Text::FindChar(text, ch, caseSensitive); }
    int FindLastChar(char16_t ch, bool caseSensitive = true) const { return Text::FindLastChar(text, ch, caseSensitive); }
    int FindText(WStringPtr sub, bool caseSensitive = true) const { return Text::FindText(text, sub, caseSensitive); }
    bool StartsWith(WStringPtr prefix, bool caseSensitive = true) const { return Text::StartsWith(text, prefix, caseSensitive); }
    int Compare(WStringPtr other, bool caseSensitive = true) const { return Text::Compare(text, other, caseSensitive); }
    _dword HashA() const { return Text::HashA(text); }
    _dword Hash31() const { return Text::Hash31(text); }
    _dword HashLanes() const { return Text::HashLanes(text); }

    const char16_t* text;
};

class WString {
public:
    WString() : text(const_cast<char16_t*>(_EMPTY_TEXT)), length(0), capacity(0) {}
    WString(const char16_t* value, int count = -1);
    WString(const WString& other);
    WString(WString&& other) noexcept;
    ~WString();
    WString& operator=(const WString& other);
    WString& operator=(WString&& other) noexcept;
    WString& operator=(const char16_t* value) { return Assign(value, -1); }

    operator const char16_t*() const { return text; }
    operator WStringPtr() const { return WStringPtr(text); }
    const char16_t* Text() const { return text; }
    int Length() const { return int(length); }
    bool IsEmpty() const { return length == 0; }
    char16_t operator[](int index) const { return (index >= 0 && _dword(index) < length) ? text[index] : 0; }

    WString& Assign(const char16_t* value, int count = -1);
    WString& Insert(int position, const char16_t* value, int count = -1);
    WString& InsertChar(int position, char16_t ch);
    WString& Append(const char16_t* value) { return Insert(int(length), value, -1); }
    WString& AppendChar(char16_t ch) { return InsertChar(int(length), ch); }
    WString& Remove(int start, int count = -1);
    WString Substring(int start, int count = -1) const;
    WString& TrimLeft(const char16_t* set, bool caseSensitive = true);
    WString& TrimRight(const char16_t* set, bool caseSensitive = true);
    WString& TrimLeftChar(char16_t ch, bool caseSensitive = true);
    WString& TrimRightChar(char16_t ch, bool caseSensitive = true);
    WString& Trim(const char16_t* set) { TrimLeft(set, true); return TrimRight(set, true); }
    WString& ReplaceAll(const char16_t* from, const char16_t* to, bool caseSensitive = true);
    WString& ToLower();

    int FindChar(char16_t ch, bool caseSensitive = true) const { return Text::FindChar(text, ch, caseSensitive); }
    int FindLastChar(char16_t ch, bool caseSensitive = true) const { return Text::FindLastChar(text, ch, caseSensitive); }
    int FindText(const char16_t* sub, bool caseSensitive = true) const { return Text::FindText(text, sub, caseSensitive); }
    bool StartsWith(const char16_t* prefix, bool caseSensitive = true) const { return Text::StartsWith(text, prefix, caseSensitive); }
    int Compare(const char16_t* other, bool caseSensitive = true) const { return Text::Compare(text, other, caseSensitive); }
    bool operator==(const char16_t* other) const { return Text::Equals(text, other); }
    bool operator!=(const char16_t* other) const { return Text::Differs(text, other); }
    bool operator==(const WString& other) const { return Text::Equals(text, other.text); }
    bool operator!=(const WString& other) const { return Text::Differs(text, other.text); }

    WString& operator+=(const char16_t* value) { return Append(value); }

    char16_t* text;   // always NUL-terminated; the shared empty text when empty
    _dword length;    // characters before the terminator
    _dword capacity;  // characters owned including the terminator; 0 = not owned

private:
    void Release();
    // Storage for n characters plus terminator: from the scratch pool when one is installed
    // on the main thread, else the engine heap. Sets capacity accordingly.
    char16_t* Obtain(int n, _dword& newCapacity);
};

WString operator+(const WString& a, const char16_t* b);
WString operator+(const char16_t* a, const WString& b);
WString operator+(const WString& a, const WString& b);

// Fast storage for short-lived strings, installed by its owner around one operation.
class ScratchPool {
public:
    static constexpr int _BLOCK_COUNT = 64;
    static constexpr int _BLOCK_CHARS = 1024;

    ScratchPool();
    ~ScratchPool();
    ScratchPool(const ScratchPool&) = delete;
    ScratchPool& operator=(const ScratchPool&) = delete;

    // Null when the pool is exhausted.
    char16_t* Take(int count);
    // Rewinds so the blocks are reused by the next operation.
    void Reset() { block = 0; offset = 0; }

    static void Install(ScratchPool* pool);
    static ScratchPool* Current();

    char16_t* blocks[_BLOCK_COUNT];
    int block;
    int offset;
};

// Records the calling thread as the engine's main thread (done once at start-up).
void SetMainThread();
bool IsMainThread();

// Path functions. '\' is the separator; '/' is accepted and converted.
namespace Path {
bool IsAbsolutePath(const char16_t* text);
bool ContainsSeparator(const char16_t* text);
// In place; returns the text after a leading ".\".
char16_t* TrimPath(char16_t* text);
// In place; returns the start of the result.
char16_t* NormalizePath(char16_t* text);
WString JoinPath(const char16_t* directory, const char16_t* name);
WString LowerPath(const char16_t* path);
WString FileTitle(const char16_t* path);
WString FileExtension(const char16_t* path);
WString DirectoryOf(const char16_t* path, bool last);
WStringPtr FileNameOf(const char16_t* path);
WString NameOf(const char16_t* path, bool keepDirectory, bool keepExtension);
// Buffer-bound variants: never copy more than size - 1 characters.
char16_t* FileTitle(char16_t* buffer, int size, const char16_t* path);
char16_t* FileExtension(char16_t* buffer, int size, const char16_t* path);
char16_t* DirectoryOf(char16_t* buffer, int size, const char16_t* path, bool last);
} // namespace Path

} // namespace Volux
