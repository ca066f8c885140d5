// The system ANSI code page converter. Both return the units the full conversion needs
// (without terminator) when dst is null, else the units written (at most capacity).
#pragma once

namespace Volux {
namespace CodePage {

int ToWide(char16_t* dst, int capacity, const char* src, int count);
int FromWide(char* dst, int capacity, const char16_t* src, int count);

} // namespace CodePage
} // namespace Volux
