// The engine record every service reaches through EngineContext::Get().
#include "Common/EngineContext.h"

namespace Volux {

EngineContext& EngineContext::Get() {
    // Made on first use so logging works from the first line of start-up, and never destroyed
    // so that threads still logging at exit find it.
    static EngineContext* context = new EngineContext();
    return *context;
}

} // namespace Volux
