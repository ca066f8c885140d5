// The script object through which config.lua and launcher.lua drive the launcher: the class
// _Launcher with its one global object _launcher, the button class _LauncherButton, and the
// global functions _info and print.
#pragma once

#include "Common/WString.h"
#include "Script/IScriptManager.h"
#include "launcher/LauncherState.h"

namespace Volux {

class VoluxLauncher : public ScriptObject {
public:
    static constexpr const char16_t* _SCRIPT_CLASS = u"_Launcher";
    static constexpr int _TYPE_ID = 30;
};

// A frame's user button as scripts see it; clicking the button calls onClick.
class VoluxLauncherButton : public ScriptObject {
public:
    static constexpr const char16_t* _SCRIPT_CLASS = u"_LauncherButton";
    static constexpr int _TYPE_ID = 31;

    ~VoluxLauncherButton() override;
    // Calls the script function set as onClick; false when none is set or it failed.
    bool Click();

    int onClick = 0;  // registry reference of the function, 0 = none
};

// Registers _Launcher and _LauncherButton with every field and function, in that order.
bool RegisterLauncherClasses(IScriptManager& scripts);
// The global object _launcher.
bool CreateLauncherObject(IScriptManager& scripts);
// _info and print: every argument as text, joined with ", ", as one trace line.
void RegisterLauncherGlobals(IScriptManager& scripts);

// What a question box answers; the launcher asks through this so tests can answer.
using ConfirmFunction = bool (*)(HWND owner, const char16_t* text, const char16_t* caption);
void SetConfirmFunction(ConfirmFunction confirm);
bool Confirm(HWND owner, const char16_t* text, const char16_t* caption);

} // namespace Volux
