// Engine text is char16_t; Win32 takes wchar_t, the same 16-bit unit on Windows, so the
// platform files, the windows and the launcher cross between the two spellings with these casts only.
#pragma once

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 platform code needs a 16-bit wchar_t");

namespace Volux {

inline const wchar_t* WidePtr(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* WidePtr(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const char16_t* EnginePtr(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
inline char16_t* EnginePtr(wchar_t* text) { return reinterpret_cast<char16_t*>(text); }

} // namespace Volux
