// The platform's local time and millisecond tick.
#pragma once

#include "Common/Base.h"

namespace Volux {

struct LocalTime {
    _word year;
    _word month;
    _word dayOfWeek;
    _word day;
    _word hour;
    _word minute;
    _word second;
    _word millisecond;
};

LocalTime CurrentLocalTime();
_dword TickMilliseconds();

} // namespace Volux
