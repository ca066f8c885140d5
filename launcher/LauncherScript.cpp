#include "launcher/LauncherScript.h"

#include "Common/EngineContext.h"
#include "Common/Log.h"
#include "Common/Variable.h"
#include "Script/ScriptRegistration.h"
#include "launcher/ScriptFunctions.h"
#include "Platform/WideText_win32.h"

namespace Volux {

namespace {

ConfirmFunction sConfirm = nullptr;

LauncherState* State() { return LauncherState::Instance(); }

int ReturnEmpty(IScriptManager& scripts) { return scripts.ReturnString(u""); }

// Fields that do more than keep a value.

int GetExeName(IScriptManager& scripts, ScriptObject*, const ScriptField&) {
    LauncherState* state = State();
    return state != nullptr ? scripts.ReturnString(state->exeName.Text()) : ReturnEmpty(scripts);
}
int GetCmd(IScriptManager& scripts, ScriptObject*, const ScriptField&) {
    LauncherState* state = State();
    return state != nullptr ? scripts.ReturnString(state->cmd.Text()) : ReturnEmpty(scripts);
}
int GetScreenWidth(IScriptManager& scripts, ScriptObject*, const ScriptField&) {
    return scripts.ReturnInt32(GetSystemMetrics(SM_CXSCREEN));
}
int GetScreenHeight(IScriptManager& scripts, ScriptObject*, const ScriptField&) {
    return scripts.ReturnInt32(GetSystemMetrics(SM_CYSCREEN));
}
int GetTick(IScriptManager& scripts, ScriptObject*, const ScriptField&) {
    return scripts.ReturnDouble(double(GetTickCount()));
}

// appName fills fileName and resName while they are empty; fileName fills resName.
void SetAppName(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    LauncherState* state = State();
    const char16_t* text = ArgText(scripts, 0);
    if (state == nullptr || !IsGivenText(text))
        return;
    *static_cast<WString*>(field.context) = text;
    if (field.context == &state->appName && state->fileName.IsEmpty())
        state->fileName = text;
    if (state->resName.IsEmpty())
        state->resName = text;
}
void SetFilteredName(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    const char16_t* text = ArgText(scripts, 0);
    if (IsGivenText(text))
        *static_cast<WString*>(field.context) = text;
}
void SetPlainText(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    if (const char16_t* text = StoredArgText(scripts, 0))
        *static_cast<WString*>(field.context) = text;
}

// The main window's fields read empty and ignore writes while there is no main window.
MainWindow* Main() {
    LauncherState* state = State();
    return state != nullptr ? state->mainWindow : nullptr;
}
int GetTitleFont(IScriptManager& scripts, ScriptObject*, const ScriptField&) {
    MainWindow* main = Main();
    return main != nullptr ? scripts.ReturnString(main->titleFontFace.Text()) : ReturnEmpty(scripts);
}
void SetTitleFont(IScriptManager& scripts, ScriptObject*, const ScriptField&) {
    MainWindow* main = Main();
    if (main != nullptr)
        SetIfStored(main->titleFontFace, StoredArgText(scripts, 0));
}
int GetTitleColor(IScriptManager& scripts, ScriptObject*, const ScriptField&) {
    MainWindow* main = Main();
    return scripts.ReturnUInt32(main != nullptr ? uint32_t(main->titleTextColour) : 0);
}
void SetTitleColor(IScriptManager& scripts, ScriptObject*, const ScriptField&) {
    MainWindow* main = Main();
    if (main != nullptr)
        main->titleTextColour = int(scripts.GetArgUInt32(0));
}
int GetBorderWidth(IScriptManager& scripts, ScriptObject*, const ScriptField&) {
    MainWindow* main = Main();
    return scripts.ReturnInt32(main != nullptr ? main->borderWidth : 0);
}
void SetBorderWidth(IScriptManager& scripts, ScriptObject*, const ScriptField&) {
    MainWindow* main = Main();
    if (main != nullptr)
        main->borderWidth = scripts.GetArgInt32(0);
}
int GetBorderColor(IScriptManager& scripts, ScriptObject*, const ScriptField&) {
    MainWindow* main = Main();
    return scripts.ReturnInt32(main != nullptr ? main->borderColour : 0);
}
void SetBorderColor(IScriptManager& scripts, ScriptObject*, const ScriptField&) {
    MainWindow* main = Main();
    if (main != nullptr)
        main->borderColour = int(scripts.GetArgUInt32(0) & 0xFFFFFF);  // a colour: 0xRRGGBB
}

ScriptField Accessor(ScriptFieldGetter get, ScriptFieldSetter set, void* context = nullptr) {
    ScriptField field;
    field.get = get;
    field.set = set;
    field.context = context;
    return field;
}

void RegisterLauncherFields(IScriptManager& scripts, LauncherState& state) {
    ScriptField appName = TextField(&state.appName);
    appName.set = &SetAppName;
    ScriptField fileName = TextField(&state.fileName);
    fileName.set = &SetAppName;
    ScriptField resName = TextField(&state.resName);
    resName.set = &SetFilteredName;
    ScriptField title = TextField(&state.title);
    title.set = &SetPlainText;
    ScriptField passArgs = TextField(&state.passArgs);
    passArgs.set = &SetPlainText;
    ScriptField urlProtocol = TextField(&state.urlProtocol);
    urlProtocol.set = &SetPlainText;

    struct Entry {
        const char16_t* name;
        ScriptField field;
    };
    const Entry fields[] = {
        {u"exeName", Accessor(&GetExeName, nullptr)},
        {u"cmd", Accessor(&GetCmd, nullptr)},
        {u"screenWidth", Accessor(&GetScreenWidth, nullptr)},
        {u"screenHeight", Accessor(&GetScreenHeight, nullptr)},
        {u"tick", Accessor(&GetTick, nullptr)},
        {u"appName", appName},
        {u"fileName", fileName},
        {u"resName", resName},
        {u"title", title},
        {u"titleFont", Accessor(&GetTitleFont, &SetTitleFont)},
        {u"titleColor", Accessor(&GetTitleColor, &SetTitleColor)},
        {u"borderWidth", Accessor(&GetBorderWidth, &SetBorderWidth)},
        {u"borderColor", Accessor(&GetBorderColor, &SetBorderColor)},
        {u"resizable", FlagBitField(&state.windowFlags, LauncherState::_FLAG_NOT_RESIZABLE, true)},
        {u"width", Int32Field(&state.width)},
        {u"height", Int32Field(&state.height)},
        {u"maximAtStart", FlagBitField(&state.windowFlags, LauncherState::_FLAG_MAXIMISE_AT_START, false)},
        {u"useCurrentPath", ByteFlagField(&state.useCurrentPath)},
        {u"appSize", Int32Field(&state.appSize)},
        {u"appTimeout", Int32Field(&state.appTimeout)},
        {u"appAutoStart", ByteFlagField(&state.appAutoStart)},
        {u"passArgs", passArgs},
        {u"enableScrollBar", ByteFlagField(&state.enableScrollBar)},
        {u"urlProtocol", urlProtocol},
    };
    for (const Entry& entry : fields)
        RegisterField(scripts, entry.name, entry.field);
}

void RegisterLauncherFunctions(IScriptManager& scripts) {
    struct Entry {
        const char16_t* name;
        ScriptCallback function;
    };
    // The order scripts and tools enumerating the class see.
    static const Entry functions[] = {
        {u"abort", &ScriptAbort},
        {u"startGame", &ScriptStartGame},
        {u"setLoader", &ScriptSetLoader},
        {u"startLoader", &ScriptStartLoader},
        {u"setMinSize", &ScriptSetMinSize},
        {u"setLoadingSize", &ScriptSetLoadingSize},
        {u"newFrameWin", &ScriptNewFrameWin},
        {u"resize", &ScriptResize},
        {u"setBackground", &ScriptSetBackground},
        {u"setBackgroundLogo", &ScriptSetBackgroundLogo},
        {u"setCustomTitleBarBackground", &ScriptSetCustomTitleBarBackground},
        {u"setCustomTitleBarIcon", &ScriptSetCustomTitleBarIcon},
        {u"setCustomMenuBarMargins", &ScriptSetCustomMenuBarMargins},
        {u"setCustomMenuTextColor", &ScriptSetCustomMenuTextColor},
        {u"setupRegion", &ScriptSetupRegion},
        {u"createShortcut", &ScriptCreateShortcut},
        {u"browse", &ScriptBrowse},
        {u"cleanCache", &ScriptCleanCache},
        {u"sendMsg", &ScriptSendMsg},
        {u"setCleanCachePrompt", &ScriptSetCleanCachePrompt},
        {u"setPrompts", &ScriptSetPrompts},
        {u"getIniValue", &ScriptGetIniValue},
        {u"createTencentClient", &ScriptCreateTencentClient},
        {u"installPreloadPack", &ScriptInstallPreloadPack},
        {u"enableMaxButton", &ScriptEnableMaxButton},
        {u"enableMinButton", &ScriptEnableMinButton},
        {u"enableSystemButton", &ScriptEnableSystemButton},
        {u"addCloseButton", &ScriptAddCloseButton},
        {u"addMinimizeButton", &ScriptAddMinimizeButton},
        {u"addComboBox", &ScriptAddComboBox},
        {u"addLabel", &ScriptAddLabel},
        {u"addCheckBox", &ScriptAddCheckBox},
        {u"addHotkeyBox", &ScriptAddHotkeyBox},
        {u"addProgressBar", &ScriptAddProgressBar},
        {u"addUserButton", &ScriptAddUserButton},
        {u"addWebWindow", &ScriptAddWebWindow},
        {u"addGameMenu", &ScriptAddGameMenu},
        {u"addURLMenu", &ScriptAddURLMenu},
        {u"addRefreshMenu", &ScriptAddRefreshMenu},
        {u"addCustomURLMenu", &ScriptAddCustomURLMenu},
        {u"addCustomGameMenu", &ScriptAddCustomGameMenu},
        {u"addCustomUserMenu", &ScriptAddCustomUserMenu},
        {u"addCustomDropDownMenu", &ScriptAddCustomDropDownMenu},
        {u"addCustomIMMenu", &ScriptAddCustomIMMenu},
        {u"addCustomBossMenu", &ScriptAddCustomBossMenu},
        {u"addCustomRefreshMenu", &ScriptAddCustomRefreshMenu},
        {u"addCustomCloseButton", &ScriptAddCustomCloseButton},
        {u"addCustomMaxButton", &ScriptAddCustomMaxButton},
        {u"addCustomRestoreButton", &ScriptAddCustomRestoreButton},
        {u"addCustomMinButton", &ScriptAddCustomMinButton},
        {u"addCustomTrayButton", &ScriptAddCustomTrayButton},
        {u"setEnvironment", &ScriptSetEnvironment},
        {u"setFrameURLs", &ScriptSetFrameURLs},
        {u"setExitURL", &ScriptSetExitURL},
        {u"setLogoffURL", &ScriptSetLogoffURL},
        {u"setKickFunc", &ScriptSetKickFunc},
        {u"setQuietURLs", &ScriptSetQuietURLs},
        {u"setupPlugin", &ScriptSetupPlugin},
        {u"setIMParams", &ScriptSetIMParams},
        {u"setIMTitleBg", &ScriptSetIMTitleBg},
        {u"setIMCloseButton", &ScriptSetIMCloseButton},
        {u"setVideoParams", &ScriptSetVideoParams},
        {u"setVideoTitleBg", &ScriptSetVideoTitleBg},
        {u"setVideoCloseButton", &ScriptSetVideoCloseButton},
        {u"setInfoServer", &ScriptSetInfoServer},
        {u"checkMC", &ScriptCheckMC},
        {u"copyTo", &ScriptCopyTo},
        {u"deleteFile", &ScriptDeleteFile},
        {u"getMACAddress", &ScriptGetMACAddress},
        {u"reportChannel", &ScriptReportChannel},
        {u"download", &ScriptDownload},
        {u"setGameMargins", &ScriptSetGameMargins},
        {u"installApp", &ScriptInstallApp},
        {u"uninstallApp", &ScriptUninstallApp},
        {u"gotoURL", &ScriptGotoURL},
    };
    for (const Entry& entry : functions)
        RegisterMethod(scripts, entry.name, entry.function);
}

// typeid and typestr, on the class table and on every object.
void SetTypeFields(IScriptManager& scripts, int typeId, const char16_t* typeName) {
    Variable id;
    id.SetInt32(typeId);
    Variable name;
    name.SetText(typeName);
    for (bool isStatic : {true, false}) {
        scripts.SetClassField(u"typeid", id, isStatic);
        scripts.SetClassField(u"typestr", name, isStatic);
    }
}

// onClick: a function replaces (and releases) the one before; reading gives 0.
int GetOnClick(IScriptManager& scripts, ScriptObject*, const ScriptField&) { return scripts.ReturnInt32(0); }
void SetOnClick(IScriptManager& scripts, ScriptObject* self, const ScriptField&) {
    auto* button = static_cast<VoluxLauncherButton*>(self);
    if (button == nullptr)
        return;
    int function = scripts.RefArgFunction(0);
    scripts.ReleaseRef(button->onClick);
    button->onClick = function;
}

int JoinedTrace(IScriptManager& scripts, ScriptObject*) {
    WString line;
    int count = scripts.GetArgCount();
    for (int i = 0; i < count; i++) {
        if (i > 0)
            line += u", ";
        line += scripts.GetArgString(i);
    }
    PrintLine(u"%ls", line.Text());
    return scripts.ReturnNothing();
}

bool AskWithMessageBox(HWND owner, const char16_t* text, const char16_t* caption) {
    // A box that cannot be shown (0) does not hold the player back.
    return MessageBoxW(owner, WidePtr(NonNull(text)), WidePtr(NonNull(caption)), MB_YESNO | MB_ICONQUESTION) != IDNO;
}

} // namespace

const char16_t* StoredArgText(IScriptManager& scripts, int index) {
    const char16_t* text = scripts.GetArgString(index);
    if (Text::Length(text) > _MAX_SCRIPT_TEXT) {
        PrintBoth(u"[MC] Script text argument %d longer than %d characters ignored", index + 1, _MAX_SCRIPT_TEXT);
        return nullptr;
    }
    return text;
}

const char16_t* ArgText(IScriptManager& scripts, int index) { return NonNull(StoredArgText(scripts, index)); }

int SlotArg(IScriptManager& scripts, int index) {
    // A whole number in range: an unsigned read would wrap 2^32 + 3 to slot 3, and a text
    // would read as slot 0.
    int64_t slot = -1;
    return scripts.GetArgIntInRange(index, 0, LauncherState::_FRAME_SLOTS - 1, &slot) ? int(slot) : -1;
}

VoluxLauncherButton::~VoluxLauncherButton() {
    IScriptManager* scripts = EngineContext::Get().scriptManager;
    if (scripts != nullptr)
        scripts->ReleaseRef(onClick);
}

bool VoluxLauncherButton::Click() {
    IScriptManager* scripts = EngineContext::Get().scriptManager;
    if (scripts == nullptr || onClick == 0)
        return false;
    return scripts->CallFunction(nullptr, onClick, nullptr);
}

bool RegisterLauncherClasses(IScriptManager& scripts) {
    LauncherState* state = State();
    if (state == nullptr) {
        PrintBoth(u"[MC] No launcher state to register the script classes on");
        return false;
    }
    if (!BeginScriptClass<VoluxLauncher>(scripts))
        return false;
    SetTypeFields(scripts, VoluxLauncher::_TYPE_ID, VoluxLauncher::_SCRIPT_CLASS);
    RegisterLauncherFields(scripts, *state);
    RegisterLauncherFunctions(scripts);
    scripts.EndClass();

    if (!BeginScriptClass<VoluxLauncherButton>(scripts))
        return false;
    SetTypeFields(scripts, VoluxLauncherButton::_TYPE_ID, VoluxLauncherButton::_SCRIPT_CLASS);
    RegisterField(scripts, u"onClick", Accessor(&GetOnClick, &SetOnClick));
    scripts.EndClass();
    return true;
}

bool CreateLauncherObject(IScriptManager& scripts) {
    return scripts.CreateGlobalObject(u"_launcher", VoluxLauncher::_SCRIPT_CLASS);
}

void RegisterLauncherGlobals(IScriptManager& scripts) {
    for (const char16_t* name : {u"_info", u"print"})
        scripts.RegisterFunction(name, reinterpret_cast<void*>(&JoinedTrace), &ScriptFunctionThunk, false);
}

void SetConfirmFunction(ConfirmFunction confirm) { sConfirm = confirm; }

bool Confirm(HWND owner, const char16_t* text, const char16_t* caption) {
    return (sConfirm != nullptr ? sConfirm : &AskWithMessageBox)(owner, text, caption);
}

} // namespace Volux
