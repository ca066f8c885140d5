// _launcher functions for start-up, files and state: what the scripts ask of the launcher
// before any window is shown.
#include "Common/ByteBuffer.h"
#include "Common/Log.h"
#include "Common/StringReader.h"
#include "Platform/Environment.h"
#include "Platform/File.h"
#include "Platform/Registry.h"
#include "Platform/SystemInfo.h"
#include "Script/ScriptRegistration.h"
#include "launcher/InstallFolder.h"
#include "launcher/LauncherScript.h"
#include "launcher/LoaderFile.h"
#include "launcher/PreloadPack.h"
#include "launcher/ScriptFunctions.h"
#include "ui/FrameWindow.h"

namespace Volux {

namespace {

// An INI file read by getIniValue is a settings file, never this large.
constexpr _dword _MAX_INI_BYTES = 1u << 20;
// startLoader takes up to nine game parameters after the file.
constexpr int _MAX_LOADER_PARAMETERS = 9;

LauncherState* State() { return LauncherState::Instance(); }

WString Trimmed(const char16_t* text) {
    WString result(NonNull(text));
    result.Trim(u" ");
    return result;
}

// The value of key in [section] of an INI text; names compare without case, as the system's
// own INI reader does. Empty when absent.
WString FindIniValue(const WString& text, const char16_t* section, const char16_t* key) {
    StringReader reader;
    if (!reader.Attach(text.Text(), _dword(text.Length() * sizeof(char16_t)), false))
        return WString();
    WString line;
    bool inSection = false;
    const char16_t* blanks = u" \t\r\n";
    while (reader.ReadLine(line)) {
        line.Trim(blanks);
        if (line.IsEmpty() || line[0] == u';')
            continue;
        if (line[0] == u'[') {
            WString name(line.Text() + 1);
            name.TrimRightChar(u']');
            name.Trim(blanks);
            inSection = name.Compare(section, false) == 0;
            continue;
        }
        int equals = WStringPtr(line.Text()).FindText(u"=");
        if (!inSection || equals < 0)
            continue;
        WString name(line.Text(), equals);
        name.Trim(blanks);
        if (name.Compare(key, false) != 0)
            continue;
        WString value(line.Text() + equals + 1);
        value.Trim(blanks);
        return value;
    }
    return WString();
}

} // namespace

int ScriptAbort(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State())
        state->abortRequested = 1;
    return scripts.ReturnNothing();
}

int ScriptStartGame(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State()) {
        state->mcType = 0;
        SetIfStored(state->gameURL, StoredArgText(scripts, 0));
    }
    return scripts.ReturnNothing();
}

int ScriptSetLoader(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State())
        SetLoaderFile(*state, ArgText(scripts, 0), scripts.GetArgBool(1));
    return scripts.ReturnNothing();
}

int ScriptStartLoader(IScriptManager& scripts, ScriptObject*) {
    LauncherState* state = State();
    const char16_t* file = ArgText(scripts, 0);
    if (state == nullptr || file[0] == 0)
        return scripts.ReturnNothing();
    state->mcType = 2;
    StartLoaderFile(*state, file);
    state->loaderParameters.Clear();
    for (int i = 1; i <= _MAX_LOADER_PARAMETERS; i++) {
        const char16_t* parameter = ArgText(scripts, i);
        if (parameter[0] != 0)
            state->loaderParameters.Append(WString(parameter));
    }
    return scripts.ReturnNothing();
}

int ScriptSetMinSize(IScriptManager& scripts, ScriptObject*) {
    LauncherState* state = State();
    if (state != nullptr && state->mainWindow != nullptr) {
        state->mainWindow->minWidth = scripts.GetArgInt32(0);
        state->mainWindow->minHeight = scripts.GetArgInt32(1);
    }
    return scripts.ReturnNothing();
}

int ScriptSetLoadingSize(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State()) {
        state->loadingWidth = scripts.GetArgInt32(0);
        state->loadingHeight = scripts.GetArgInt32(1);
    }
    return scripts.ReturnNothing();
}

int ScriptSetEnvironment(IScriptManager& scripts, ScriptObject*) {
    const char16_t* name = ArgText(scripts, 0);
    // The system refuses names with '=' after the first character; an empty name is no name.
    if (name[0] == 0 || WStringPtr(name + 1).FindText(u"=") >= 0)
        PrintBoth(u"[MC] Set environment refused for name \"%ls\"", name);
    else if (!Environment::Set(name, ArgText(scripts, 1)))
        PrintBoth(u"[MC] Set environment %ls fail", name);
    return scripts.ReturnNothing();
}

int ScriptGetIniValue(IScriptManager& scripts, ScriptObject*) {
    const char16_t* file = ArgText(scripts, 0);
    if (file[0] == 0)
        return scripts.ReturnString(u"");
    WString path = Path::IsAbsolutePath(file) ? WString(file) : Path::JoinPath(FileSystem::CurrentDirectory(), file);
    // The size is checked before anything is read: a huge file costs nothing.
    File ini;
    ByteBuffer bytes;
    if (!ini.Open(path, File::_READ) || ini.Size() > _MAX_INI_BYTES || !ini.ReadAll(bytes))
        return scripts.ReturnString(u"");
    StringReader reader;
    WString text;
    if (!reader.Attach(bytes.data, _dword(bytes.size), false) || !reader.ReadRest(text))
        return scripts.ReturnString(u"");
    WString value = FindIniValue(text, ArgText(scripts, 1), ArgText(scripts, 2));
    return scripts.ReturnString(value.Text());
}

int ScriptCopyTo(IScriptManager& scripts, ScriptObject*) {
    const char16_t* path = StoredArgText(scripts, 0);
    if (LauncherState* state = State(); state != nullptr && path != nullptr) {
        state->fileOperation = 1;
        state->fileOperationPath = Trimmed(path);
    }
    return scripts.ReturnNothing();
}

int ScriptDeleteFile(IScriptManager& scripts, ScriptObject*) {
    const char16_t* path = StoredArgText(scripts, 0);
    if (LauncherState* state = State(); state != nullptr && path != nullptr) {
        state->fileOperation = 2;
        state->fileOperationPath = Trimmed(path);
    }
    return scripts.ReturnNothing();
}

int ScriptCheckMC(IScriptManager& scripts, ScriptObject*) {
    LauncherState* state = State();
    const char16_t* url = ArgText(scripts, 0);
    const char16_t* digestUrl = ArgText(scripts, 1);
    if (state != nullptr && IsGivenText(url) && IsGivenText(digestUrl)) {
        state->upgradeURL = url;
        state->upgradeDigestURL = digestUrl;
    }
    return scripts.ReturnNothing();
}

int ScriptDownload(IScriptManager& scripts, ScriptObject*) {
    LauncherState* state = State();
    const char16_t* url = ArgText(scripts, 0);
    if (state == nullptr || !IsGivenText(url))
        return scripts.ReturnNothing();
    // A program that registered its key is installed already: nothing to fetch.
    const char16_t* registryKey = ArgText(scripts, 2);
    if (!RegistryKey::Exists(RegistryKey::_CURRENT_USER, RegistryKey::_READ, registryKey)) {
        state->hallURL = url;
        SetIfStored(state->hallName, StoredArgText(scripts, 1));
    }
    return scripts.ReturnNothing();
}

int ScriptInstallPreloadPack(IScriptManager& scripts, ScriptObject*) {
    LauncherState* state = State();
    if (state == nullptr)
        return scripts.ReturnBool(false);
    WString installFolder = PlainInstallFolder(FileSystem::SpecialFolderPath(FileSystem::_PROFILE), state->appName,
                                               state->useCurrentPath != 0);
    bool done = InstallPreloadPack(state->moduleFolder, installFolder, ArgText(scripts, 0), ArgText(scripts, 1));
    return scripts.ReturnBool(done);
}

int ScriptCleanCache(IScriptManager& scripts, ScriptObject*) {
    LauncherState* state = State();
    if (state == nullptr)
        return scripts.ReturnNothing();
    if (FrameWindow* box = state->frames[3]) {
        // The box's own buttons answer; the prompt goes into its first label.
        if (box->labels.Count() > 0)
            box->labels[0].text = state->cleanCachePrompt;
        box->Show();
        state->pendingConfirmation = 2;
        return scripts.ReturnNothing();
    }
    if (state->pendingConfirmation == 2)
        return scripts.ReturnNothing();
    state->pendingConfirmation = 2;
    FrameWindow* gameFrame = state->frames[0];
    HWND owner = gameFrame == nullptr ? nullptr
                 : gameFrame->attachedWindow != nullptr ? gameFrame->attachedWindow
                                                        : gameFrame->window;
    if (Confirm(owner, state->cleanCachePrompt, state->promptCaption))
        PrintLine(u"[MC] Clean cache asked; cache cleaning comes with the install service");
    state->pendingConfirmation = 0;
    return scripts.ReturnNothing();
}

int ScriptCreateShortcut(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State()) {
        int flags = scripts.GetArgInt32(1);
        state->shortcutFlags = flags != 0 ? flags : 1;
    }
    return scripts.ReturnNothing();
}

int ScriptInstallApp(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State())
        state->installRequested = 1;
    return scripts.ReturnNothing();
}

int ScriptUninstallApp(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State())
        state->uninstallRequested = 1;
    return scripts.ReturnNothing();
}

int ScriptGetMACAddress(IScriptManager& scripts, ScriptObject*) {
    WString address = SystemInfo::MacAddress();
    return scripts.ReturnString(address.Text());
}

int ScriptReportChannel(IScriptManager& scripts, ScriptObject*) {
    LauncherState* state = State();
    const char16_t* url = ArgText(scripts, 0);
    if (state != nullptr && IsGivenText(url)) {
        state->reportRequests.Append(WString(url));
        PrintLine(u"[MC] Report channel %ls recorded; it is sent once transfers exist", url);
    }
    return scripts.ReturnNothing();
}

int ScriptCreateTencentClient(IScriptManager& scripts, ScriptObject*) {
    LauncherState* state = State();
    if (state == nullptr)
        return scripts.ReturnBool(false);
    SetIfStored(state->platformClientArgument, StoredArgText(scripts, 0));
    PrintLine(u"[MC] Game-platform client asked for with \"%ls\"; the bridge is not available",
              state->platformClientArgument.Text());
    return scripts.ReturnBool(false);
}

int ScriptSetInfoServer(IScriptManager& scripts, ScriptObject*) {
    LauncherState* state = State();
    const char16_t* urlTemplate = ArgText(scripts, 0);
    if (state == nullptr || !IsGivenText(urlTemplate))
        return scripts.ReturnNothing();
    InfoServerSettings& server = state->infoServer;
    server.urlTemplate = urlTemplate;
    server.idKey = ArgText(scripts, 1);
    server.altIdKey = ArgText(scripts, 2);
    server.errorKey = ArgText(scripts, 3);
    server.okValue = ArgText(scripts, 4);
    server.signTemplate = ArgText(scripts, 5);
    return scripts.ReturnNothing();
}

int ScriptSetupPlugin(IScriptManager& scripts, ScriptObject*) {
    LauncherState* state = State();
    const char16_t* url = ArgText(scripts, 0);
    if (state != nullptr && IsGivenText(url))
        state->pluginURL = url;
    return scripts.ReturnNothing();
}

} // namespace Volux
