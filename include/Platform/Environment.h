// Variables of the process environment, also seen by the programs it starts.
// Names and values are UTF-16 here (UTF-8 in the POSIX environment).
#pragma once

#include "Common/Base.h"
#include "Common/WString.h"

namespace Volux {
namespace Environment {

// The longest value Get returns; the rest of a longer one is cut.
constexpr int _MAX_VALUE_CHARS = 1024;

// A null value removes the variable.
bool Set(const char16_t* name, const char16_t* value);
// The value as decimal text.
bool SetInteger(const char16_t* name, int value);
bool Remove(const char16_t* name);
// False (and an empty value) when the variable is absent.
bool Get(const char16_t* name, WString& value);
// Leading blanks, an optional sign and decimal digits, read up to the first other character
// and held to the int range; false when absent.
bool GetInteger(const char16_t* name, int& value);

} // namespace Environment
} // namespace Volux
