// The engine's printf-style formatter over UTF-16, so every platform prints alike.
// %ls takes a const char16_t*, %s an 8-bit text, %c and %lc a character; %d %i %u %x %X %o
// %p %f %e %g %% with flags, width, precision, '*' and the h, l, ll, z length modifiers.
// Output that does not fit is cut at the buffer end; formatting never fails.
#pragma once

#include <cstdarg>

#include "Common/Array.h"
#include "Common/WString.h"

namespace Volux {

constexpr int _FORMAT_BUFFER_CHARS = 8192;

WString Format(const char16_t* format, ...);
WStringPtr FormatBuffer(char16_t* buffer, int length, const char16_t* format, ...);
WStringPtr FormatBufferV(char16_t* buffer, int length, const char16_t* format, va_list arguments);
// Characters written (without terminator); the raw engine under the three calls above.
int FormatInto(char16_t* buffer, int length, const char16_t* format, va_list arguments);

// Words of a command line: double quotes group and are dropped; space and tab divide.
void SplitWords(const char16_t* text, Array<WString>& words);
// Fields divided by any character of separators, each trimmed with trimSet.
void Split(const char16_t* text, Array<WString>& words, const char16_t* separators, const char16_t* trimSet);

} // namespace Volux
