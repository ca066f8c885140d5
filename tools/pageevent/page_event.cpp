// Raises one page event in every web window of the running launcher, as the embedded browser
// control does when a document finishes: Wine here has no HTML engine, so no page ever completes
// by itself. The event goes through the same window message the launcher's event sink sends.
//
//   page_event EVENT...   raises each event in turn in every web window, where EVENT is
//     navigate-complete    the control reached the page's address
//     document-complete    its document finished loading
//     page-done            the page reached its done event
//
// Exit code: 0 when at least one web window got the events, 1 when there was none, 2 on bad usage.
#include <windows.h>

#include <cwchar>

namespace {

constexpr const wchar_t* _WEB_CLASS = L"Volux3D Web Window";

struct Search {
    UINT message;
    int reached;
};

bool IsWebWindow(HWND window) {
    wchar_t name[64];
    return GetClassNameW(window, name, 64) > 0 && std::wcscmp(name, _WEB_CLASS) == 0;
}

BOOL CALLBACK VisitChild(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    if (IsWebWindow(window)) {
        SendMessageW(window, search->message, 0, 0);
        search->reached++;
    }
    return TRUE;
}

// Top-level web windows (popups) and those inside the launcher's other windows (pages).
BOOL CALLBACK VisitTop(HWND window, LPARAM data) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId())
        return TRUE;
    VisitChild(window, data);
    EnumChildWindows(window, VisitChild, data);
    return TRUE;
}

UINT EventMessage(const wchar_t* name) {
    if (std::wcscmp(name, L"navigate-complete") == 0)
        return WM_USER + 252;
    if (std::wcscmp(name, L"document-complete") == 0)
        return WM_USER + 259;
    if (std::wcscmp(name, L"page-done") == 0)
        return WM_USER + 290;
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; i++) {
        if (EventMessage(argv[i]) == 0)
            argc = 0;
    }
    if (argc < 2) {
        std::fwprintf(stderr, L"usage: page_event navigate-complete|document-complete|page-done...\n");
        return 2;
    }
    int reached = 0;
    for (int i = 1; i < argc; i++) {
        Search search = {EventMessage(argv[i]), 0};
        EnumWindows(VisitTop, reinterpret_cast<LPARAM>(&search));
        std::wprintf(L"page_event: %ls to %d web window(s)\n", argv[i], search.reached);
        reached = search.reached > reached ? search.reached : reached;
    }
    return reached > 0 ? 0 : 1;
}
