// Shell services on Win32: ShellExecuteEx starts, shell links through IShellLinkW and
// IPersistFile, the Run value, Shell_NotifyIconW and the boss hotkey.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "Common/StringFormatter.h"
#include "Platform/Process.h"
#include "Platform/Registry.h"
#include "Platform/Shell.h"
#include "Platform/SystemInfo.h"
#include "Platform/WideText_win32.h"

namespace Volux {
namespace Shell {

namespace {
// The hotkey control's modifier bits (commctrl.h, which nothing else here needs).
constexpr _dword _HOTKEYF_SHIFT = 0x1;
constexpr _dword _HOTKEYF_CONTROL = 0x2;
constexpr _dword _HOTKEYF_ALT = 0x4;
constexpr int _BOSS_HOTKEY_ID = 0;

bool Execute(const char16_t* verb, const char16_t* file, const char16_t* parameters, int show, ULONG mask) {
    SHELLEXECUTEINFOW info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = mask;
    info.lpVerb = verb != nullptr ? WidePtr(verb) : nullptr;
    info.lpFile = WidePtr(NonNull(file));
    info.lpParameters = parameters != nullptr && parameters[0] != 0 ? WidePtr(parameters) : nullptr;
    info.nShow = show;
    if (!ShellExecuteExW(&info))
        return false;
    // The process handle is asked for but nobody waits on it; keeping it would leak it.
    if (info.hProcess != nullptr)
        CloseHandle(info.hProcess);
    return true;
}

// Releases a COM interface on every way out.
template <class T>
class ComHolder {
public:
    ComHolder() = default;
    ~ComHolder() {
        if (mPointer != nullptr)
            mPointer->Release();
    }
    ComHolder(const ComHolder&) = delete;
    ComHolder& operator=(const ComHolder&) = delete;
    T** Out() { return &mPointer; }
    T* operator->() const { return mPointer; }
    T* Get() const { return mPointer; }

private:
    T* mPointer = nullptr;
};

// COM for one operation; a thread already in another apartment keeps it and is not
// uninitialised by us.
class ComScope {
public:
    ComScope() : mResult(CoInitialize(nullptr)) {}
    ~ComScope() {
        if (SUCCEEDED(mResult))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT mResult;
};
} // namespace

const char16_t* ElevationVerb(_dword majorVersion) { return majorVersion >= 6 ? u"runas" : u"open"; }

bool StartElevated(const char16_t* file, const char16_t* parameters) {
    _dword major = 0, minor = 0;
    SystemInfo::SystemVersion(major, minor);
    return Execute(ElevationVerb(major), file, parameters, SW_HIDE, SEE_MASK_DEFAULT);
}

bool SplitCommand(const char16_t* commandText, WString& file, WString& parameters) {
    Array<WString> words;
    SplitWords(NonNull(commandText), words);
    file = WString();
    parameters = WString();
    if (words.Count() == 0)
        return false;
    file = Format(u"\"%ls\"", words[0].Text());
    for (_dword i = 1; i < words.Count(); i++)
        parameters += Format(u" %ls", Process::QuoteArgument(words[i]).Text());
    return true;
}

bool OpenWithArguments(const char16_t* commandText) {
    WString file, parameters;
    if (!SplitCommand(commandText, file, parameters))
        return false;
    return Execute(u"open", file, parameters, SW_SHOWNORMAL, SEE_MASK_NOCLOSEPROCESS);
}

bool Open(const char16_t* file, const char16_t* parameters) {
    return Execute(nullptr, file, parameters, SW_SHOWNORMAL, SEE_MASK_NOCLOSEPROCESS);
}

bool CreateShortcut(const char16_t* target, const char16_t* arguments, const char16_t* description,
                    const char16_t* workingDirectory, const char16_t* iconFile, const char16_t* shortcutPath) {
    ComScope com;
    ComHolder<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.Out()))))
        return false;
    link->SetPath(WidePtr(NonNull(target)));
    link->SetArguments(WidePtr(NonNull(arguments)));
    link->SetDescription(WidePtr(NonNull(description)));
    link->SetWorkingDirectory(WidePtr(NonNull(workingDirectory)));
    if (iconFile != nullptr && iconFile[0] != 0)
        link->SetIconLocation(WidePtr(iconFile), 0);
    ComHolder<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out()))))
        return false;
    return SUCCEEDED(file->Save(WidePtr(NonNull(shortcutPath)), TRUE));
}

WString AutoStartText(const char16_t* programPath, const char16_t* arguments) {
    return Format(u"\"%ls\" %ls", NonNull(programPath), NonNull(arguments));
}

bool SetAutoStart(const char16_t* programPath, const char16_t* arguments, const char16_t* valueName) {
    // Created when missing: a fresh profile need not have the Run key yet.
    RegistryKey key(RegistryKey::_CURRENT_USER, RegistryKey::_WRITE);
    if (!key.Create(u"Software\\Microsoft\\Windows\\CurrentVersion\\Run"))
        return false;
    return key.SetText(valueName, AutoStartText(programPath, arguments));
}

bool AddNotificationIcon(WindowHandle window, const char16_t* tip) {
    NOTIFYICONDATAW data;
    ZeroMemory(&data, sizeof(data));
    // The layout every system since Windows 2000 reads (936 bytes on 32-bit).
    data.cbSize = NOTIFYICONDATAW_V2_SIZE;
    data.hWnd = static_cast<HWND>(window);
    data.uID = _NOTIFY_ICON_ID;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = _NOTIFY_MESSAGE;
    data.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(_PROGRAM_ICON));
    if (data.hIcon == nullptr)
        data.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
    static_assert(sizeof(data.szTip) / sizeof(data.szTip[0]) == _MAX_TIP_CHARS + 1, "tip room");
    int length = Text::Length(NonNull(tip));
    Text::CopyText(reinterpret_cast<char16_t*>(data.szTip), NonNull(tip), length < _MAX_TIP_CHARS ? length : _MAX_TIP_CHARS);
    return Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

bool RemoveNotificationIcon(WindowHandle window) {
    NOTIFYICONDATAW data;
    ZeroMemory(&data, sizeof(data));
    data.cbSize = NOTIFYICONDATAW_V2_SIZE;
    data.hWnd = static_cast<HWND>(window);
    data.uID = _NOTIFY_ICON_ID;
    return Shell_NotifyIconW(NIM_DELETE, &data) != FALSE;
}

_dword HotkeyModifiers(_dword hotkeyFlags) {
    _dword modifiers = 0;
    if (hotkeyFlags & _HOTKEYF_SHIFT)
        modifiers |= MOD_SHIFT;
    if (hotkeyFlags & _HOTKEYF_CONTROL)
        modifiers |= MOD_CONTROL;
    if (hotkeyFlags & _HOTKEYF_ALT)
        modifiers |= MOD_ALT;
    return modifiers;
}

bool SetBossHotkey(WindowHandle window, _dword hotkey) {
    HWND handle = static_cast<HWND>(window);
    UnregisterHotKey(handle, _BOSS_HOTKEY_ID);
    if (hotkey == 0)
        return false;
    return RegisterHotKey(handle, _BOSS_HOTKEY_ID, HotkeyModifiers((hotkey >> 8) & 0xFF), hotkey & 0xFF) != FALSE;
}

} // namespace Shell
} // namespace Volux
