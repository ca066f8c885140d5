// Thread identity.
#pragma once

#include "Common/Base.h"

namespace Volux {

_dword CurrentThreadId();

} // namespace Volux
