// The base of every native object that scripts can see, and its binding record.
#pragma once

#include "Common/Base.h"
#include "Common/Queue.h"
#include "Common/WString.h"

struct lua_State;

namespace Volux {

struct HostSlot;

// Made by BindObject, freed by FreeBinding (the object's destructor calls it).
struct ScriptBinding {
    bool strongHeld = true;   // the table is still held by the strong object map
    bool withProxy = false;   // bound with a per-object proxy table
    int holdCount = 0;        // native holds: above zero the object survives its table
    Queue<int> refs;          // registry references from HoldObject, oldest first
    // Not part of the script-visible contract: what lets the host find and unlink the
    // table again. slot is null once the table has been collected.
    HostSlot* slot = nullptr;
    lua_State* state = nullptr;
    WString className;        // to give a held object a new table after its table went
};

class ScriptObject {
public:
    ScriptObject() = default;
    ScriptObject(const ScriptObject&) = delete;
    ScriptObject& operator=(const ScriptObject&) = delete;
    // Frees the binding through the engine's script manager, so a table that outlives
    // the object never reaches it again.
    virtual ~ScriptObject();

    ScriptBinding* binding = nullptr;
};

} // namespace Volux
