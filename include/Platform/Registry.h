// Registry keys of the current user and the classes root. Windows only; nothing here logs.
#pragma once

#include "Common/Base.h"
#include "Common/WString.h"

namespace Volux {

class RegistryKey {
public:
    enum Root { _CURRENT_USER, _CLASSES_ROOT, _LOCAL_MACHINE };
    // The system's access masks.
    static constexpr _dword _READ = 0x20019;
    static constexpr _dword _WRITE = 0x20006;
    static constexpr _dword _READ_WRITE = _READ | _WRITE;
    // The system's value types.
    enum ValueType { _TEXT = 1, _DWORD = 4 };
    // Longest value read back; a longer one is refused rather than allocated.
    static constexpr _dword _MAX_VALUE_BYTES = 64 * 1024;

    // The object starts at the root; Create and Open move it to a sub-key.
    RegistryKey(Root root, _dword access);
    ~RegistryKey() { Close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // True when the sub-key opens with the access (it is closed again).
    static bool Exists(Root root, _dword access, const char16_t* subKey);
    // Removes the sub-key with everything below it; true when it is gone afterwards.
    static bool DeleteTree(Root root, const char16_t* subKey);

    // Creates (or opens) the sub-key below the object's key, non-volatile, and makes it the
    // object's key. False leaves the object where it was.
    bool Create(const char16_t* subKey);
    bool Open(const char16_t* subKey);
    // Back to the root.
    void Close();
    bool IsOpened() const { return mKey != nullptr; }

    bool SetValue(const char16_t* name, _dword type, const void* data, _dword size);
    // REG_SZ stored with its terminator.
    bool SetText(const char16_t* name, const char16_t* text);
    bool SetDword(const char16_t* name, _dword value);
    // False when absent, of another type or longer than _MAX_VALUE_BYTES.
    bool GetText(const char16_t* name, WString& text);
    bool GetDword(const char16_t* name, _dword& value);
    bool DeleteValue(const char16_t* name);

private:
    void* Current() const;

    Root mRoot;
    _dword mAccess;
    void* mKey;  // the opened sub-key, null while at the root
};

} // namespace Volux
