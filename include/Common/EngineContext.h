// The process-wide engine record: the log sinks now, the engine services as they arrive.
#pragma once

#include "Common/Singleton.h"

namespace Volux {

// Writes text to a sink; the user value is the sink's own (a file handle for log files).
using SinkFunction = int (*)(const char16_t* text, void* user, bool lineBreak);
using CloseSinksFunction = void (*)();

struct Sink {
    SinkFunction function = nullptr;  // null = platform debugger output
    void* user = nullptr;
};

class IScriptManager;
class IResourceManager;

class EngineContext : public Singleton<EngineContext> {
public:
    Sink printSink;
    Sink errorSink;
    CloseSinksFunction closeSinks = nullptr;
    IResourceManager* resourceManager = nullptr;
    IScriptManager* scriptManager = nullptr;

    // The context every engine service uses; made on first use, never destroyed.
    static EngineContext& Get();
};

} // namespace Volux
