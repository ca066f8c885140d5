// Environment variables on Win32.
#include <windows.h>

#include "Common/Memory.h"
#include "Platform/Environment.h"
#include "Platform/EnvironmentName.h"
#include "Platform/WideText_win32.h"

namespace Volux {
namespace Environment {

bool Set(const char16_t* name, const char16_t* value) {
    if (!IsValidName(name))
        return false;
    return SetEnvironmentVariableW(WidePtr(name), value != nullptr ? WidePtr(value) : nullptr) != FALSE;
}

bool Remove(const char16_t* name) { return Set(name, nullptr); }

bool Get(const char16_t* name, WString& value) {
    value = WString();
    if (!IsValidName(name))
        return false;
    wchar_t buffer[_MAX_VALUE_CHARS + 1];
    SetLastError(ERROR_SUCCESS);
    DWORD length = GetEnvironmentVariableW(WidePtr(name), buffer, _MAX_VALUE_CHARS + 1);
    if (length == 0)
        return GetLastError() != ERROR_ENVVAR_NOT_FOUND;  // an empty value still exists
    if (length <= _MAX_VALUE_CHARS) {
        value.Assign(EnginePtr(buffer), int(length));
        return true;
    }
    // Too long for the buffer (the contents are then undefined): read whole, keep the start.
    wchar_t* whole = static_cast<wchar_t*>(MemAlloc(size_t(length) * sizeof(wchar_t)));
    if (whole == nullptr)
        return false;
    DWORD read = GetEnvironmentVariableW(WidePtr(name), whole, length);
    bool ok = read > 0 && read < length;
    if (ok) {
        int keep = int(read) < _MAX_VALUE_CHARS ? int(read) : _MAX_VALUE_CHARS;
        // Never keep half of a surrogate pair.
        if ((whole[keep - 1] & 0xFC00) == 0xD800)
            keep--;
        value.Assign(EnginePtr(whole), keep);
    }
    MemFree(whole);
    return ok;
}

} // namespace Environment
} // namespace Volux
