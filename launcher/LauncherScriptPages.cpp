// _launcher functions for navigation, prompts and messages.
#include "Common/Log.h"
#include "Platform/Environment.h"
#include "Platform/File.h"
#include "Platform/Process.h"
#include "Platform/Shell.h"
#include "Script/ScriptRegistration.h"
#include "launcher/ScriptFunctions.h"
#include "ui/FrameWindow.h"

namespace Volux {

namespace {

LauncherState* State() { return LauncherState::Instance(); }

// Appends each given text of the call's first four arguments.
void AppendGiven(IScriptManager& scripts, Array<WString>& list) {
    for (int i = 0; i < 4; i++) {
        const char16_t* text = ArgText(scripts, i);
        if (text[0] != 0)
            list.Append(WString(text));
    }
}

void SetIfGiven(WString& target, const char16_t* text) {
    if (text[0] != 0)
        target = text;
}

// Inside a browser process the engine must not hand the address back to that browser:
// a new process of the program opens it, without the marker that says "inside a browser".
bool RunsInsideBrowser() {
    WString program = Path::LowerPath(FileSystem::ProgramPath());
    WStringPtr name = Path::FileNameOf(program);
    return Text::Equals(name.Text(), u"360se.exe") || Text::Equals(name.Text(), u"iexplore.exe");
}

} // namespace

int ScriptBrowse(IScriptManager& scripts, ScriptObject*) {
    const char16_t* url = ArgText(scripts, 0);
    if (url[0] == 0)
        return scripts.ReturnNothing();
    if (RunsInsideBrowser()) {
        WString marker;
        bool hadMarker = Environment::Get(u"[VOLUX-3D]", marker);
        if (hadMarker)
            Environment::Remove(u"[VOLUX-3D]");
        // Quoted, so the address stays one argument; a quote inside could end it early.
        WString commandLine = WString(u"\"") + FileSystem::ProgramPath() + u"\" \"" + url + u"\"";
        if (WStringPtr(url).FindText(u"\"") >= 0)
            PrintBoth(u"[MC] Browse refused for an address with a quotation mark");
        else if (!Process::Start(commandLine, nullptr))
            PrintBoth(u"[MC] Browse %ls in a new process fail", url);
        if (hadMarker)
            Environment::Set(u"[VOLUX-3D]", marker);
    } else if (!Shell::Open(url, nullptr)) {
        PrintBoth(u"[MC] Browse %ls fail", url);
    }
    return scripts.ReturnNothing();
}

int ScriptGotoURL(IScriptManager& scripts, ScriptObject*) {
    LauncherState* state = State();
    const char16_t* url = ArgText(scripts, 0);
    // Navigation needs the game page (id -1), which exists once pages can be made.
    if (state != nullptr && url[0] != 0) {
        bool found = false;
        for (_dword i = 0; i < state->pages.Count(); i++)
            found = found || state->pages[i].id == -1;
        if (found)
            PrintLine(u"[MC] Go to %ls asked; page navigation is not available", url);
    }
    return scripts.ReturnNothing();
}

// Messages a script may send: those whose parameters are plain numbers. Window messages with
// pointers (creation, text, destruction...) and the launcher's own messages that carry texts
// or records would hand a script's number to code that reads memory through it.
static bool IsScriptSendable(UINT message) {
    constexpr UINT _INVOKE = 1086;       // command word and argument list
    constexpr UINT _PAGE_TITLE = 1225;   // text
    constexpr UINT _PLATFORM_PAGE = 1281;  // record
    if (message == WM_CLOSE || message == WM_COMMAND || message == WM_SYSCOMMAND)
        return true;
    if (message >= WM_USER && message < 0xC000)
        return message != _INVOKE && message != _PAGE_TITLE && message != _PLATFORM_PAGE;
    return false;
}

int ScriptSendMsg(IScriptManager& scripts, ScriptObject*) {
    LauncherState* state = State();
    if (state == nullptr)
        return scripts.ReturnNothing();
    UINT message = scripts.GetArgUInt32(0);
    if (!IsScriptSendable(message)) {
        PrintLine(u"[MC] Script message 0x%x refused", unsigned(message));
        return scripts.ReturnNothing();
    }
    WPARAM wparam = WPARAM(scripts.GetArgUInt16(1));
    LPARAM lparam = LPARAM(scripts.GetArgInt32(2));
    HWND target = nullptr;
    if (state->mainWindow != nullptr && state->mainWindow->window != nullptr && IsWindowVisible(state->mainWindow->window))
        target = state->mainWindow->window;
    else if (state->frames[0] != nullptr)
        target = state->frames[0]->window;
    if (target != nullptr)
        SendMessageW(target, message, wparam, lparam);
    return scripts.ReturnNothing();
}

int ScriptSetCleanCachePrompt(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State()) {
        SetIfStored(state->promptCaption, StoredArgText(scripts, 0));
        SetIfStored(state->cleanCachePrompt, StoredArgText(scripts, 1));
    }
    return scripts.ReturnNothing();
}

int ScriptSetPrompts(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State()) {
        SetIfGiven(state->exitPrompt, ArgText(scripts, 0));
        SetIfGiven(state->vipMenuText, ArgText(scripts, 1));
        SetIfGiven(state->hotkeyTooSimplePrompt, ArgText(scripts, 2));
        SetIfGiven(state->sameServerPrompt, ArgText(scripts, 3));
    }
    return scripts.ReturnNothing();
}

int ScriptSetFrameURLs(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State())
        AppendGiven(scripts, state->frameURLs);
    return scripts.ReturnNothing();
}

int ScriptSetQuietURLs(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State())
        AppendGiven(scripts, state->quietURLs);
    return scripts.ReturnNothing();
}

int ScriptSetExitURL(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State())
        SetIfGiven(state->exitURL, ArgText(scripts, 0));
    return scripts.ReturnNothing();
}

int ScriptSetLogoffURL(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State())
        SetIfGiven(state->logoffURL, ArgText(scripts, 0));
    return scripts.ReturnNothing();
}

int ScriptSetKickFunc(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State())
        SetIfGiven(state->kickFunction, ArgText(scripts, 0));
    return scripts.ReturnNothing();
}

int ScriptSetGameMargins(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State()) {
        for (int i = 0; i < 4; i++)
            state->gameMargins[i] = scripts.GetArgInt32(i);
    }
    return scripts.ReturnNothing();
}

} // namespace Volux
