// Registry keys on Win32.
#include <windows.h>

#include "Common/Memory.h"
#include "Platform/Registry.h"
#include "Platform/WideText_win32.h"

namespace Volux {

namespace {
HKEY RootKey(RegistryKey::Root root) {
    switch (root) {
    case RegistryKey::_CLASSES_ROOT: return HKEY_CLASSES_ROOT;
    case RegistryKey::_LOCAL_MACHINE: return HKEY_LOCAL_MACHINE;
    default: return HKEY_CURRENT_USER;
    }
}

// RegDeleteTreeW is missing before Vista, so the tree is removed bottom-up here.
LONG DeleteKeyTree(HKEY parent, const wchar_t* subKey) {
    HKEY key;
    LONG result = RegOpenKeyExW(parent, subKey, 0, KEY_READ | KEY_WRITE, &key);
    if (result != ERROR_SUCCESS)
        return result;
    // Registry key names have at most 255 characters.
    wchar_t child[256];
    for (;;) {
        DWORD length = sizeof(child) / sizeof(child[0]);
        // Always the first child: the previous one is gone.
        if (RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (DeleteKeyTree(key, child) != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
    return RegDeleteKeyW(parent, subKey);
}
} // namespace

RegistryKey::RegistryKey(Root root, _dword access) : mRoot(root), mAccess(access), mKey(nullptr) {}

void* RegistryKey::Current() const { return mKey != nullptr ? mKey : static_cast<void*>(RootKey(mRoot)); }

bool RegistryKey::Exists(Root root, _dword access, const char16_t* subKey) {
    HKEY key;
    if (RegOpenKeyExW(RootKey(root), WidePtr(NonNull(subKey)), 0, access, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool RegistryKey::DeleteTree(Root root, const char16_t* subKey) {
    // An empty name would mean the root itself.
    if (subKey == nullptr || subKey[0] == 0)
        return false;
    LONG result = DeleteKeyTree(RootKey(root), WidePtr(subKey));
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool RegistryKey::Create(const char16_t* subKey) {
    HKEY key;
    if (RegCreateKeyExW(static_cast<HKEY>(Current()), WidePtr(NonNull(subKey)), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        mAccess, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    Close();
    mKey = key;
    return true;
}

bool RegistryKey::Open(const char16_t* subKey) {
    HKEY key;
    if (RegOpenKeyExW(static_cast<HKEY>(Current()), WidePtr(NonNull(subKey)), 0, mAccess, &key) != ERROR_SUCCESS)
        return false;
    Close();
    mKey = key;
    return true;
}

void RegistryKey::Close() {
    if (mKey != nullptr)
        RegCloseKey(static_cast<HKEY>(mKey));
    mKey = nullptr;
}

bool RegistryKey::SetValue(const char16_t* name, _dword type, const void* data, _dword size) {
    return RegSetValueExW(static_cast<HKEY>(Current()), WidePtr(NonNull(name)), 0, type,
                          static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool RegistryKey::SetText(const char16_t* name, const char16_t* text) {
    text = NonNull(text);
    return SetValue(name, REG_SZ, text, _dword(Text::Length(text) + 1) * sizeof(char16_t));
}

bool RegistryKey::SetDword(const char16_t* name, _dword value) {
    return SetValue(name, REG_DWORD, &value, sizeof(value));
}

bool RegistryKey::GetText(const char16_t* name, WString& text) {
    text = WString();
    HKEY key = static_cast<HKEY>(Current());
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, WidePtr(NonNull(name)), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || size > _MAX_VALUE_BYTES)
        return false;
    // One spare character: a stored text need not end with its terminator.
    char16_t* buffer = static_cast<char16_t*>(MemAlloc(size + sizeof(char16_t)));
    if (buffer == nullptr)
        return false;
    DWORD read = size;
    bool ok = RegQueryValueExW(key, WidePtr(NonNull(name)), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &read) ==
                  ERROR_SUCCESS &&
              read <= size;
    if (ok) {
        buffer[read / sizeof(char16_t)] = 0;
        text.Assign(buffer);
    }
    MemFree(buffer);
    return ok;
}

bool RegistryKey::GetDword(const char16_t* name, _dword& value) {
    DWORD type = 0, data = 0, size = sizeof(data);
    if (RegQueryValueExW(static_cast<HKEY>(Current()), WidePtr(NonNull(name)), nullptr, &type,
                         reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(data))
        return false;
    value = data;
    return true;
}

bool RegistryKey::DeleteValue(const char16_t* name) {
    return RegDeleteValueW(static_cast<HKEY>(Current()), WidePtr(NonNull(name))) == ERROR_SUCCESS;
}

} // namespace Volux
