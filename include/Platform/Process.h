// Starting other programs. Windows only; the caller never waits for them.
#pragma once

#include "Common/Base.h"

namespace Volux {
namespace Process {

// The longest command line or working directory, in bytes of the system ANSI code page.
constexpr int _MAX_ANSI_BYTES = 1024;

// Starts the command line (program and arguments as one text) without inheriting handles;
// an empty working directory keeps the caller's. False when the process was not created,
// including when either text does not fit _MAX_ANSI_BYTES.
bool Start(const char16_t* commandLine, const char16_t* workingDirectory);

} // namespace Process
} // namespace Volux
