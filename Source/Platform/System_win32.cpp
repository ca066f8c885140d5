// Process heap, debugger output, the ANSI code page and the clocks on Win32.
#include <windows.h>

#include "Common/LocalTime.h"
#include "Platform/CodePage.h"
#include "Platform/Debugger.h"
#include "Platform/Heap.h"

namespace Volux {

namespace Heap {
void* Allocate(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }
void Free(void* pointer) { HeapFree(GetProcessHeap(), 0, pointer); }
} // namespace Heap


void DebugOutput(const char16_t* text) { OutputDebugStringW(reinterpret_cast<const wchar_t*>(text)); }

bool IsDebuggerAttached() { return IsDebuggerPresent() != FALSE; }

namespace CodePage {
int ToWide(char16_t* dst, int capacity, const char* src, int count) {
    if (dst == nullptr)
        return MultiByteToWideChar(CP_ACP, 0, src, count, nullptr, 0);
    int written = MultiByteToWideChar(CP_ACP, 0, src, count, reinterpret_cast<wchar_t*>(dst), capacity);
    if (written == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        // Keep what fits: convert into a full-size scratch block and cut.
        int need = MultiByteToWideChar(CP_ACP, 0, src, count, nullptr, 0);
        wchar_t* full = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, size_t(need) * sizeof(wchar_t)));
        if (full == nullptr)
            return 0;
        MultiByteToWideChar(CP_ACP, 0, src, count, full, need);
        written = need < capacity ? need : capacity;
        CopyMemory(dst, full, size_t(written) * sizeof(wchar_t));
        HeapFree(GetProcessHeap(), 0, full);
    }
    return written;
}

int FromWide(char* dst, int capacity, const char16_t* src, int count) {
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(src);
    if (dst == nullptr)
        return WideCharToMultiByte(CP_ACP, 0, wide, count, nullptr, 0, nullptr, nullptr);
    int written = WideCharToMultiByte(CP_ACP, 0, wide, count, dst, capacity, nullptr, nullptr);
    if (written == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        int need = WideCharToMultiByte(CP_ACP, 0, wide, count, nullptr, 0, nullptr, nullptr);
        char* full = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size_t(need)));
        if (full == nullptr)
            return 0;
        WideCharToMultiByte(CP_ACP, 0, wide, count, full, need, nullptr, nullptr);
        // A cut must not split a double-byte character.
        written = 0;
        while (written < need) {
            int step = IsDBCSLeadByte(BYTE(full[written])) ? 2 : 1;
            if (written + step > capacity)
                break;
            written += step;
        }
        CopyMemory(dst, full, size_t(written));
        HeapFree(GetProcessHeap(), 0, full);
    }
    return written;
}
} // namespace CodePage

LocalTime CurrentLocalTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LocalTime{now.wYear, now.wMonth, now.wDayOfWeek, now.wDay, now.wHour, now.wMinute, now.wSecond,
                     now.wMilliseconds};
}

_dword TickMilliseconds() { return GetTickCount(); }

} // namespace Volux
