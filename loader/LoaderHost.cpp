#include "loader/LoaderHost.h"

#include <stdint.h>

#include "Common/Compression.h"
#include "Common/Log.h"
#include "Common/Md5.h"
#include "Common/StringFormatter.h"
#include "Platform/Environment.h"
#include "Platform/WideText_win32.h"
#include "Storage/WebTransfer.h"
#include "loader/LoaderCheck.h"
#include "loader/RevocationList.h"
#include "Platform/File.h"

namespace Volux {

namespace {

const char16_t* const _PLUGIN_VERSION = u"pluginver|0x00010006";

// The length of the prefix ("local:\" or "local://") of an address that names a local file;
// 0 for any other address.
int LocalPrefixLength(const WString& address) {
    if (address.StartsWith(u"local:\\"))
        return 7;
    if (address.StartsWith(u"local://"))
        return 8;
    return 0;
}

// "scheme://host[:port]/path": the start and length of host[:port].
bool FindAuthority(const WString& address, int& start, int& length) {
    const int scheme = address.FindText(u"://");
    if (scheme < 0)
        return false;
    start = scheme + 3;
    int end = start;
    while (end < address.Length() && address[end] != u'/' && address[end] != u'?' && address[end] != u'#')
        end++;
    length = end - start;
    return length > 0;
}

// The host name alone, without user information or port.
WString HostName(const WString& address) {
    int start = 0, length = 0;
    if (!FindAuthority(address, start, length))
        return WString();
    WString authority = address.Substring(start, length);
    const int at = authority.FindLastChar(u'@');
    if (at >= 0)
        authority = authority.Substring(at + 1);
    const int colon = authority.FindLastChar(u':');
    return colon >= 0 ? authority.Substring(0, colon) : authority;
}

// A mirror names a host, or a host and port; it takes the place of the address's own.
WString WithMirror(const WString& address, const WString& mirror) {
    int start = 0, length = 0;
    if (!FindAuthority(address, start, length))
        return address;
    const WString authority = address.Substring(start, length);
    const int colon = authority.FindLastChar(u':');
    WString replaced = mirror;
    if (mirror.FindChar(u':') < 0 && colon >= 0)
        replaced += authority.Substring(colon).Text();  // the address's port stays
    WString result = address.Substring(0, start);
    result += replaced.Text();
    result += address.Substring(start + length).Text();
    return result;
}

// "dir\name.ext" -> "dir\name-<id>.ext", for a second copy beside a locked one.
WString SecondName(const WString& path, _dword threadId) {
    const int dot = path.FindLastChar(u'.');
    const int slash = path.FindLastChar(u'\\') > path.FindLastChar(u'/') ? path.FindLastChar(u'\\') : path.FindLastChar(u'/');
    if (dot <= slash)
        return Format(u"%ls-%.8x", path.Text(), unsigned(threadId));
    return Format(u"%ls-%.8x.%ls", path.Substring(0, dot).Text(), unsigned(threadId), path.Substring(dot + 1).Text());
}

WString ModuleGuardName(HMODULE module) {
    return Format(u"[VoluxLoader-%llx]", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(module)));
}

// A compressed library file is replaced by its expanded form through a temporary file.
void ExpandInPlace(const WString& path) {
    ByteBuffer bytes;
    if (!FileSystem::IsFile(path) || !FileSystem::ReadFile(path, bytes) || !IsCompressedBlock(bytes.data, bytes.size))
        return;
    const WString temporary = Format(u"%ls.tmp", path.Text());
    if (!UnpackBuffer(bytes) || !FileSystem::WriteFile(temporary, bytes.data, bytes.size) ||
        !FileSystem::DeleteFile(path) || !FileSystem::MoveFile(temporary, path)) {
        PrintLine(u"[MC] Loader %ls cannot be expanded", path.Text());
        FileSystem::DeleteFile(temporary);
    }
}

} // namespace

WString WithPluginVersion(const WString& value) {
    WString result = value;
    result.TrimLeftChar(u'|');
    result.TrimRightChar(u'|');
    if (!result.IsEmpty())
        result.AppendChar(u'|');
    result += _PLUGIN_VERSION;
    return result;
}

LoaderHost::LoaderHost(const Deployment& values) : deployment(values) {}

LoaderHost::~LoaderHost() { Shutdown(); }

void LoaderHost::SetLoader(const char16_t* address, const char16_t* digest) {
    loaderAddress = address != nullptr ? address : u"";
    loaderAddress.Trim(u" \t");
    expectedDigest = digest != nullptr ? digest : u"";
}

WString LoaderHost::DownloadAddress() const {
    WString address = loaderAddress;
    if (mirrorIndex >= 1 && _dword(mirrorIndex) <= mirrors.Count() && !mirrors[_dword(mirrorIndex - 1)].IsEmpty())
        address = WithMirror(loaderAddress, mirrors[_dword(mirrorIndex - 1)]);
    return Format(u"%ls?pv=%ls", address.Text(), _CLIENT_VERSION);
}

bool LoaderHost::Prepare(HWND host) {
    hostWindow = host;
    SendMessageW(host, _WM_INVOKE, WPARAM(L"pluginok"), 0);
    if (!deployment.statisticsEndpoint.IsEmpty())
        statistics.Send(StatisticsRequest(deployment.statisticsEndpoint, CurrentStatisticsFacts(applicationName)));
    topWindow = host != nullptr ? GetAncestor(host, GA_ROOT) : nullptr;
    screen.Load(animationResource);
    if (host != nullptr)
        timerSet = SetTimer(host, _LOADING_TIMER, _LOADING_TIMER_PERIOD, nullptr) != 0;

    if (loaderPath.IsEmpty())
        return false;
    if (const int prefix = LocalPrefixLength(loaderAddress)) {
        const WString local = loaderAddress.Substring(prefix);
        if (FileSystem::IsFile(local)) {
            downloadProgress = 1.0f;
            loaderPath = local;
            return true;
        }
    }
    ExpandInPlace(loaderPath);
    const Md5Digest digest = FileSystem::FileDigest(loaderPath);
    if (!digest.IsZero() && !expectedDigest.IsEmpty() && ChecksumText(digest).Compare(expectedDigest, false) == 0) {
        downloadProgress = 1.0f;
        Report(u"&pf=2");
        return true;
    }
    StartDownload();
    return false;
}

void LoaderHost::Report(const char16_t* suffix) {
    if (reportAddress.IsEmpty())
        return;
    WString address = reportAddress;
    address += suffix;
    statistics.Send(address);
}

void LoaderHost::EndDownload() {
    EndBackgroundFetch(download);
    download = nullptr;
    revocationFetch = false;
}

void LoaderHost::StartDownload() {
    if (loaderConnection == nullptr) {
        loaderConnection = CreateConnection(false);
        const WString host = HostName(loaderAddress);
        if (loaderConnection != nullptr && !host.IsEmpty())
            AddConnectionHeader(loaderConnection, Format(u"Host: %ls", host.Text()));
    }
    EndDownload();
    downloadBuffer.Reset();
    downloadProgress = 0.0f;
    WebRequest request;
    request.address = DownloadAddress();
    request.output = WebRequest::_BUFFER;
    request.buffer = &downloadBuffer;
    request.progress = &downloadProgress;
    request.connection = loaderConnection;
    PrintLine(u"[MC] Download loader from %ls", request.address.Text());
    download = FetchInBackground(request);
    polling = false;
    Report(u"&pf=0");
}

void LoaderHost::NextMirror() {
    mirrorIndex = (mirrorIndex + 1) % int(mirrors.Count() + 1);
    StartDownload();
    polling = true;
    firstPollTick = GetTickCount();
}

bool LoaderHost::PollDownload() {
    if (loaderPath.IsEmpty() || download == nullptr || revocationFetch || stopped)
        return false;
    const float progress = downloadProgress;
    if (progress == 0.0f) {
        const _dword now = GetTickCount();
        if (!polling) {
            polling = true;
            firstPollTick = now;
        } else if (now - firstPollTick > stallWindow) {
            PrintLine(u"[MC] Loader download made no progress, next mirror");
            NextMirror();
        }
        return false;
    }
    polling = false;
    if (progress != 1.0f)
        return false;
    // The worker is done with the buffer once it is ended.
    EndDownload();
    bool good = true;
    if (IsCompressedBlock(downloadBuffer.data, downloadBuffer.size))
        good = UnpackBuffer(downloadBuffer);
    const WString received = good ? ChecksumText(ComputeMd5(downloadBuffer.data, downloadBuffer.size)) : WString();
    if (!good || expectedDigest.IsEmpty() || received.Compare(expectedDigest, false) != 0) {
        PrintLine(u"[MC] Loader download has digest %ls, not %ls: next mirror", received.Text(), expectedDigest.Text());
        NextMirror();
        return false;
    }
    Report(u"&pf=1");
    if (FileSystem::IsFile(loaderPath) && !FileSystem::DeleteFile(loaderPath)) {
        loaderPath = SecondName(loaderPath, GetCurrentThreadId());
        deleteAtExit = 1;
    }
    if (!FileSystem::WriteFile(loaderPath, downloadBuffer.data, downloadBuffer.size)) {
        PrintLine(u"[MC] Failed to create loader file %ls", loaderPath.Text());
        return false;
    }
    downloadBuffer.Reset();
    return true;
}

bool LoaderHost::Load() {
    // By full path only, and what it imports from its own folder and the system's.
    wchar_t full[MAX_PATH * 2];
    const DWORD length = GetFullPathNameW(WidePtr(loaderPath.Text()), DWORD(MAX_PATH * 2), full, nullptr);
    if (length == 0 || length >= DWORD(MAX_PATH * 2)) {
        PrintLine(u"[MC] Loader path %ls cannot be resolved", loaderPath.Text());
        return false;
    }
    module = LoadLibraryExW(full, nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER)  // systems without those flags
        module = LoadLibraryExW(full, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        PrintLine(u"[MC] Loader %ls cannot be loaded (%u)", loaderPath.Text(), unsigned(GetLastError()));
        return false;
    }
    const WString guard = ModuleGuardName(module);
    WString value;
    if (Environment::Get(guard, value) && !value.IsEmpty()) {
        PrintLine(u"[MC] Loader %ls is loaded already", loaderPath.Text());
        // Someone else runs this library: only our own reference goes.
        FreeLibrary(module);
        module = nullptr;
        return false;
    }
    Environment::Set(guard, loaderPath);
    Resolve(create, "_VoluxCreate");
    Resolve(destroy, "_VoluxDelete");
    Resolve(setup, "_VoluxSetup");
    Resolve(update, "_VoluxUpdate");
    Resolve(render, "_VoluxRender");
    Resolve(messageEntry, "_VoluxMessage");
    Resolve(progressEntry, "_VoluxProgress");
    if (create == nullptr || destroy == nullptr || setup == nullptr || update == nullptr || render == nullptr ||
        messageEntry == nullptr) {
        PrintLine(u"[MC] Loader %ls lacks an entry point", loaderPath.Text());
        Unload();
        return false;
    }
    return true;
}

bool LoaderHost::Start() {
    // A library that refused creation stays loaded but is never driven.
    if (module != nullptr)
        return created;
    if (stopped || loaderPath.IsEmpty())
        return false;
    // Where a start's time goes, for the log: check, load, create, set-up.
    const _dword began = GetTickCount();
    if (!CheckLoaderFile(loaderPath, deployment, message))
        return false;
    const _dword checked = GetTickCount();
    if (!Load())
        return false;
    const _dword loaded = GetTickCount();
    lastTick = loaded;
    ticked = true;
    const int result = create(hostWindow, L"", L"", L"", 1);
    const _dword madeAt = GetTickCount();
    if (result == 0) {
        PrintLine(u"[MC] Loader %ls refused to start", loaderPath.Text());
        return false;
    }
    created = true;
    int marker = 0;
    const bool ruleApplies = !Environment::GetInteger(u"[MICRO-CLIENT]", marker) || marker == 0;
    bool ruleApplied = false;
    for (_dword i = 0; i < gameParameters.Count(); i++) {
        const GameParameter& parameter = gameParameters[i];
        if (parameter.name.IsEmpty())
            break;
        if (ruleApplies && !ruleApplied && parameter.name == u"foaparam") {
            ruleApplied = true;
            setup(WidePtr(parameter.name.Text()), WidePtr(WithPluginVersion(parameter.value).Text()));
            continue;
        }
        setup(WidePtr(parameter.name.Text()), WidePtr(parameter.value.Text()));
    }
    PrintLine(u"[MC] Loader %ls started with %d game parameters: check %u ms, load %u ms, create %u ms, "
              u"set-up %u ms",
              loaderPath.Text(), int(gameParameters.Count()), unsigned(checked - began), unsigned(loaded - checked),
              unsigned(madeAt - loaded), unsigned(GetTickCount() - madeAt));
    StartRevocationFetch();
    return true;
}

void LoaderHost::StartRevocationFetch() {
    EndDownload();
    downloadBuffer.Reset();
    revocationProgress = 0.0f;
    if (deployment.revocationAddress.IsEmpty())
        return;
    WebRequest request;
    request.address = deployment.revocationAddress;
    request.output = WebRequest::_BUFFER;
    request.buffer = &downloadBuffer;
    request.progress = &revocationProgress;
    download = FetchInBackground(request);
    revocationFetch = download != nullptr;
}

void LoaderHost::CheckRevocation() {
    if (!revocationFetch || revocationProgress != 1.0f || stopped)
        return;
    revocationProgress = 0.0f;
    EndDownload();  // read once per completed download
    if (downloadBuffer.size < _dword(_MD5_DIGEST_SIZE))
        return;
    const Md5Digest digest = FileSystem::FileDigest(loaderPath);
    WString text;
    if (digest.IsZero() || !FindRevokedDigest(downloadBuffer.data, downloadBuffer.size, digest, text))
        return;
    PrintLine(u"[MC] Loader %ls is revoked", loaderPath.Text());
    if (text.IsEmpty()) {
        text = u"Illegle loader, contact ";
        text += deployment.supportAddress.Text();
    }
    message = text;
    stopped = 1;
    Unload();
    if (hostWindow != nullptr)
        timerSet = SetTimer(hostWindow, _LOADING_TIMER, _LOADING_TIMER_PERIOD, nullptr) != 0;
}

void LoaderHost::TrackInput() {
    HWND focus = GetFocus();
    if (focus == hostWindow) {
        if (hasInput != 1) {
            hasInput = 1;
            Forward(WM_ACTIVATE, 1, 0);
        }
        return;
    }
    if (focus != nullptr && IsChild(focus, hostWindow))
        return;
    if (hasInput) {
        hasInput = 0;
        Forward(WM_ACTIVATE, 0, 0);
    }
    // In the background the game needs fewer frames.
    SleepEx(topWindow != nullptr && IsIconic(topWindow) ? 100 : 10, TRUE);
}

void LoaderHost::Tick() {
    const _dword now = GetTickCount();
    const _dword elapsed = ticked ? now - lastTick : 0;
    lastTick = now;
    ticked = true;
    statistics.Pump();
    if (update != nullptr && created && !stopped) {
        TrackInput();
        if (update(hostWindow, int(elapsed)) != 0) {
            if (!rendering) {
                rendering = 1;
                if (hostWindow != nullptr)
                    KillTimer(hostWindow, _LOADING_TIMER);
                timerSet = false;
                PrintLine(u"[MC] Loader renders its first frame");
            }
            render(hostWindow);
        }
    }
    CheckRevocation();
    if (!rendering || stopped)
        PaintScreen(elapsed);
}

void LoaderHost::PaintScreen(_dword elapsed) {
    if (hostWindow == nullptr)
        return;
    screen.Advance(elapsed);
    const bool showMessage = (module == nullptr && downloadProgress == 1.0f) || stopped;
    screen.Paint(hostWindow, downloadProgress, showMessage, message);
}

int LoaderHost::Forward(UINT windowMessage, WPARAM wparam, LPARAM lparam) {
    if (!rendering || stopped || messageEntry == nullptr)
        return 0;
    return messageEntry(hostWindow, windowMessage, wparam, lparam);
}

void LoaderHost::Unload() {
    if (module == nullptr)
        return;
    if (destroy != nullptr)
        destroy(hostWindow);
    HMODULE unloaded = module;
    module = nullptr;
    created = false;
    create = nullptr;
    destroy = nullptr;
    setup = nullptr;
    update = nullptr;
    render = nullptr;
    messageEntry = nullptr;
    progressEntry = nullptr;
    Environment::Remove(ModuleGuardName(unloaded));
    FreeLibrary(unloaded);
}

void LoaderHost::Shutdown() {
    Unload();
    screen.Release();
    EndDownload();
    if (loaderConnection != nullptr) {
        DestroyConnection(loaderConnection);
        loaderConnection = nullptr;
    }
    statistics.Close();
    if (hostWindow != nullptr && timerSet && IsWindow(hostWindow))
        KillTimer(hostWindow, _LOADING_TIMER);
    if (deleteAtExit) {
        SetFileAttributesW(WidePtr(loaderPath.Text()), FILE_ATTRIBUTE_NORMAL);
        FileSystem::DeleteFile(loaderPath);
    }
    hostWindow = nullptr;
    topWindow = nullptr;
    loaderAddress = u"";
    expectedDigest = u"";
    loaderPath = u"";
    reportAddress = u"";
    mirrors.Clear();
    gameParameters.Clear();
    lastTick = 0;
    ticked = false;
    rendering = 0;
    stopped = 0;
    hasInput = 0;
    timerSet = false;
    downloadProgress = 0.0f;
    revocationProgress = 0.0f;
    downloadBuffer.Reset();
    mirrorIndex = 0;
    firstPollTick = 0;
    polling = false;
    deleteAtExit = 0;
    message = u"";
}

} // namespace Volux
