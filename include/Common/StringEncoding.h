// Conversions between UTF-16, UTF-8 and the system ANSI code page.
// Each takes (destination or null, capacity, source, source count or -1, out-length, ...).
// A null destination allocates exactly enough engine-heap storage (one terminator
// included) that the caller frees with MemFree. A non-zero capacity always gets a terminator.
#pragma once

#include "Common/Base.h"

namespace Volux {

char16_t* AnsiToWide(char16_t* dst, int capacity, const char* src, int count = -1, int* outLength = nullptr);
char* WideToAnsi(char* dst, int capacity, const char16_t* src, int count = -1, int* outLength = nullptr);
char16_t* Utf8ToWide(char16_t* dst, int capacity, const char* src, int count = -1, int* outLength = nullptr,
                     bool* truncated = nullptr);
char* WideToUtf8(char* dst, int capacity, const char16_t* src, int count = -1, int* outLength = nullptr,
                 bool* truncated = nullptr);

} // namespace Volux
