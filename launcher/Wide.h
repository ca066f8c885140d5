// Engine text is char16_t; the Win32 API takes wchar_t, which is the same 16-bit unit on
// Windows. These casts are the one place the two spellings meet.
#pragma once

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the launcher is Windows-only: wchar_t must be UTF-16");

namespace Volux {

inline const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* AsWide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const char16_t* AsText(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
inline char16_t* AsText(wchar_t* text) { return reinterpret_cast<char16_t*>(text); }

} // namespace Volux
