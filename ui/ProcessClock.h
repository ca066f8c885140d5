// Milliseconds since the calling process was created, for first-paint measurements.
#pragma once

#include <windows.h>

namespace Volux {

inline unsigned ProcessAgeMs() {
    FILETIME creation, exitTime, kernel, user, now;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exitTime, &kernel, &user))
        return 0;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER a, b;
    a.LowPart = creation.dwLowDateTime;
    a.HighPart = creation.dwHighDateTime;
    b.LowPart = now.dwLowDateTime;
    b.HighPart = now.dwHighDateTime;
    return b.QuadPart > a.QuadPart ? unsigned((b.QuadPart - a.QuadPart) / 10000u) : 0u;
}

} // namespace Volux
