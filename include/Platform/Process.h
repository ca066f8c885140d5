// Starting other programs. Windows only; the caller never waits for them.
#pragma once

#include "Common/Base.h"
#include "Common/WString.h"

namespace Volux {
namespace Process {

// The longest command line or working directory, in bytes of the system ANSI code page.
constexpr int _MAX_ANSI_BYTES = 1024;

// Starts the command line (program and arguments as one text) without inheriting handles;
// an empty working directory keeps the caller's. False when the process was not created,
// including when either text does not fit _MAX_ANSI_BYTES.
bool Start(const char16_t* commandLine, const char16_t* workingDirectory);

// The argument in double quotes, written so that the receiving program's command-line
// parser (CommandLineToArgvW, the C runtime's) reads it back exactly: backslashes before a
// quote or before the closing quote are doubled and an embedded quote is escaped.
WString QuoteArgument(const char16_t* argument);

} // namespace Process
} // namespace Volux
