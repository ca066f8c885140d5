// The platform debugger: where log lines go before log files are opened.
#pragma once

namespace Volux {

void DebugOutput(const char16_t* text);
bool IsDebuggerAttached();

} // namespace Volux
