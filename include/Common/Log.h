// The trace and error streams, the log files and the assertion report.
#pragma once

#include "Common/Base.h"

namespace Volux {

// Process-wide switches, all initially on.
extern bool logEnabled;
extern bool logTimestamp;
extern bool logNewline;

int PrintLine(const char16_t* format, ...);
int ReportError(const char16_t* format, ...);
// True when both streams reach the same place (same function and user value).
bool SameSinks();
// Logs with PrintLine and, unless both sinks are the same, with ReportError too.
void PrintBoth(const char16_t* format, ...);

// Opens "<dir>\<base>-<name>-[Trace].log" and "...[Error].log" and installs the file sink.
void OpenLogFiles(const char16_t* namePart, const char16_t* directory, const char16_t* baseName);

// Compile date of the build, as in "Aug 26 2016".
const char16_t* BuildDate();

} // namespace Volux
