// The loader plug-in host: obtains the loader library (a local file, or a download walked over
// the mirrors until its digest matches), checks it, loads it by full path, creates and sets it
// up with the game's parameters, and drives it from the message pump's idle passes inside the
// host window, with the loading screen over the window until its first frame. After the start
// it fetches the revocation list and stops a revoked library.
#pragma once

#include <windows.h>

#include "Common/Array.h"
#include "Common/ByteBuffer.h"
#include "Common/WString.h"
#include "loader/Deployment.h"
#include "loader/StatisticsPing.h"
#include "ui/LoadingWindow.h"

namespace Volux {

struct WebConnection;
struct WebBackgroundFetch;

struct GameParameter {
    WString name;
    WString value;
};

// The "foaparam" rule: when the plug-in is not told it runs in the micro-client, it learns
// the host's version from this parameter. Applied to the first "foaparam" only.
WString WithPluginVersion(const WString& value);

class LoaderHost {
public:
    // The client version the host reports to servers and plug-ins.
    static constexpr const char16_t* _CLIENT_VERSION = u"10006";
    static constexpr _dword _STALL_WINDOW_MS = 5000;

    explicit LoaderHost(const Deployment& deployment = BuiltDeployment());
    ~LoaderHost();
    LoaderHost(const LoaderHost&) = delete;
    LoaderHost& operator=(const LoaderHost&) = delete;

    // Inputs, set before Prepare.
    void SetLoader(const char16_t* address, const char16_t* digest);
    void SetLoaderPath(const char16_t* path) { loaderPath = path != nullptr ? path : u""; }
    void SetMirrors(const Array<WString>& list) { mirrors = list; }
    void SetReportAddress(const char16_t* address) { reportAddress = address != nullptr ? address : u""; }
    void SetGameParameters(const Array<GameParameter>& parameters) { gameParameters = parameters; }
    void SetApplicationName(const char16_t* name) { applicationName = name != nullptr ? name : u""; }
    // How long a download may stay at 0 before the next mirror is tried.
    void SetStallWindow(_dword milliseconds) { stallWindow = milliseconds; }
    // The loading animation's resource name ("IDR_LOADING" by default).
    void SetAnimationResource(const char16_t* name) { animationResource = name != nullptr ? name : u""; }

    // True when a checked-out library file is ready to load now.
    bool Prepare(HWND host);
    // True once a downloaded library was verified and written.
    bool PollDownload();
    // Checks, loads, creates and sets up the plug-in; true when it runs.
    bool Start();
    // One idle pass: statistics, keyboard focus, the plug-in's frame, the revocation check
    // and the loading screen. Elapsed time is measured here from the previous tick.
    void Tick();
    // The plug-in's answer to a host window message; 0 without calling it before its first
    // rendered frame, after a stop, or without a message entry.
    int Forward(UINT message, WPARAM wparam, LPARAM lparam);
    void Unload();
    void Shutdown();

    bool IsLoaded() const { return module != nullptr; }
    bool IsRendering() const { return rendering != 0; }
    bool IsStopped() const { return stopped != 0; }
    bool HasDownload() const { return download != nullptr; }
    float DownloadProgress() const { return downloadProgress; }
    int MirrorIndex() const { return mirrorIndex; }
    const WString& Message() const { return message; }
    const WString& LoaderPath() const { return loaderPath; }
    const WString& LoaderAddress() const { return loaderAddress; }
    HWND HostWindow() const { return hostWindow; }
    LoadingScreen& Screen() { return screen; }
    // What the host would fetch for the current mirror (for the log and tests).
    WString DownloadAddress() const;

private:
    using CreateEntry = int(__cdecl*)(HWND, const wchar_t*, const wchar_t*, const wchar_t*, int);
    using DeleteEntry = void(__cdecl*)(HWND);
    using SetupEntry = void(__cdecl*)(const wchar_t*, const wchar_t*);
    using UpdateEntry = int(__cdecl*)(HWND, int);
    using RenderEntry = void(__cdecl*)(HWND);
    using MessageEntry = int(__cdecl*)(HWND, unsigned, WPARAM, LPARAM);
    using ProgressEntry = void(__cdecl*)();

    // The module's export of that name, or null.
    template <typename Entry>
    void Resolve(Entry& entry, const char* name) {
        entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
    void StartDownload();
    void NextMirror();
    void EndDownload();
    void Report(const char16_t* suffix);
    bool Load();
    void StartRevocationFetch();
    void CheckRevocation();
    void TrackInput();
    void PaintScreen(_dword elapsed);

    Deployment deployment;
    HWND hostWindow = nullptr;
    HWND topWindow = nullptr;
    WString loaderAddress;
    WString expectedDigest;
    WString loaderPath;
    WString reportAddress;
    WString applicationName;
    WString animationResource = u"IDR_LOADING";
    Array<WString> mirrors;
    Array<GameParameter> gameParameters;

    HMODULE module = nullptr;
    CreateEntry create = nullptr;
    DeleteEntry destroy = nullptr;
    SetupEntry setup = nullptr;
    UpdateEntry update = nullptr;
    RenderEntry render = nullptr;
    MessageEntry messageEntry = nullptr;
    ProgressEntry progressEntry = nullptr;
    bool created = false;  // _VoluxCreate accepted: only then is the plug-in driven

    _dword lastTick = 0;
    bool ticked = false;
    BYTE rendering = 0;
    BYTE stopped = 0;
    int hasInput = 0;
    bool timerSet = false;

    volatile float downloadProgress = 0.0f;
    volatile float revocationProgress = 0.0f;
    WebBackgroundFetch* download = nullptr;
    bool revocationFetch = false;  // the running download is the revocation list
    ByteBuffer downloadBuffer;
    WebConnection* loaderConnection = nullptr;
    int mirrorIndex = 0;
    _dword firstPollTick = 0;
    bool polling = false;
    _dword stallWindow = _STALL_WINDOW_MS;
    BYTE deleteAtExit = 0;
    WString message;

    StatisticsClient statistics;
    LoadingScreen screen;
};

} // namespace Volux
