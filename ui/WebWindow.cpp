#include "ui/WebWindow.h"

#include "ui/GdiplusApi.h"

#include <stdint.h>

#include "Common/Log.h"
#include "Platform/WideText_win32.h"
#include "ui/BrowserHost.h"
#include "ui/ResourceImage.h"
#include "ui/WebWindowPopup.h"
#include "ui/WindowRecord.h"
#include "Platform/File.h"

namespace Volux {

namespace {

constexpr wchar_t _CLASS_NAME[] = L"Volux3D Web Window";
// CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS.
constexpr UINT _CLASS_STYLE = 0x000B;
constexpr int _LAST_KIND = 4;

bool sOleStarted = false;

unsigned Hex(const void* pointer) { return unsigned(uintptr_t(pointer)); }

// WS_VISIBLE of the window itself: a child of a hidden parent still counts as shown.
bool IsShown(HWND window) { return (GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

void LogPageState(const WebWindow& page, const char16_t* verb, int force) {
    PrintLine(u"[MC] %ls page 0x%x in window 0x%x, pagedone %d, ready %d, force %d", verb, Hex(&page),
              Hex(page.window), int(page.pageDone), int(page.ready), force);
}

// A kind-2 page sits over a frame that keeps the keyboard; the others take it themselves.
void FocusAfterShow(WebWindow& page) {
    if (page.kind == 2 && page.parent != nullptr && IsWindowVisible(page.parent))
        SetFocus(page.parent);
}

LRESULT CALLBACK WebWindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

bool RegisterWebClass() {
    static bool registered = false;
    if (registered)
        return true;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = _CLASS_STYLE;
    windowClass.lpfnWndProc = WebWindowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hIcon = LoadIconW(nullptr, IDI_WINLOGO);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = _CLASS_NAME;
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        PrintLine(u"[MC] Web window class not registered, error %d", int(GetLastError()));
        return false;
    }
    registered = true;
    return true;
}

// The page's hooks may destroy the page; after one returns, the record is used only when the
// window still leads to it.
bool StillAlive(HWND hwnd, const WebWindow* page) { return WebWindowOf(hwnd) == page; }

LRESULT HandleWebMessage(WebWindow& page, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_SIZE:
        if (page.host != nullptr)
            page.host->Resize(LOWORD(lparam), HIWORD(lparam));
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
    case WM_MOUSEWHEEL:
        return 0;
    case WM_MOUSEACTIVATE:
        if (page.kind == 2 && page.parent != nullptr && IsWindowVisible(page.parent))
            SetFocus(page.parent);
        else
            SetFocus(hwnd);
        break;
    case _WM_BEFORE_NAVIGATE:
        // The first navigation of a window arrives before any document: nothing to reset.
        if (!page.ready)
            return 0;
        page.ready = 0;
        page.pageDone = 0;
        if (page.onBeforeNavigate != nullptr)
            page.onBeforeNavigate(page);
        return 0;
    case _WM_NAVIGATE_COMPLETE:
        if (page.onNavigateComplete != nullptr)
            page.onNavigateComplete(page);
        return 0;
    case _WM_DOCUMENT_COMPLETE: {
        if (!page.ready && page.onReady != nullptr && IsDocumentReady(page)) {
            page.onReady(page);
            if (!StillAlive(hwnd, &page))
                return 0;
        }
        page.ready = 1;
        if (page.wantVisible && !IsShown(hwnd)) {
            PrintLine(u"[MC] Page 0x%x ready in window 0x%x, doc ready %d", Hex(&page), Hex(hwnd),
                      int(IsDocumentReady(page)));
            ShowPage(page, false);
            FocusAfterShow(page);
        }
        return 0;
    }
    case _WM_NAVIGATE_ERROR:
        PrintLine(u"[MC] Page 0x%x visit error, pagedone %d, ready %d", Hex(&page), int(page.pageDone),
                  int(page.ready));
        return 0;
    case _WM_PAGE_DONE:
        if (!page.showWhenDone) {
            PrintLine(u"[MC] Start to load page, but not shown");
            return 0;
        }
        page.pageDone = 1;
        if (page.wantVisible && !IsShown(hwnd)) {
            PrintLine(u"[MC] Page 0x%x done in window 0x%x, show is %d", Hex(&page), Hex(hwnd),
                      int(page.wantVisible));
            ShowPage(page, false);
            FocusAfterShow(page);
        }
        return 0;
    default:
        break;
    }
    if (page.kind == 3 || page.kind == 4) {
        LRESULT result = 0;
        if (HandlePopupMessage(page, hwnd, message, wparam, lparam, result))
            return result;
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    // Closing a page closes what it sits in; the page itself stays.
    if (message == WM_CLOSE && page.parent != nullptr) {
        SendMessageW(page.parent, WM_CLOSE, wparam, lparam);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

// Popup captions paint while the window is being made, so the record knows its window from
// the system's own WM_NCCREATE on.
LRESULT CALLBACK WebWindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE && GetWindowLongPtrW(hwnd, GWLP_USERDATA) == 0 && lparam != 0) {
        if (auto* page = static_cast<WebWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams))
            page->window = hwnd;
    }
    return RouteToRecordWith<WebWindow>(hwnd, message, wparam, lparam, &HandleWebMessage);
}

void FocusInnermostChild(HWND window) {
    HWND target = window;
    for (HWND child = GetWindow(target, GW_CHILD); child != nullptr; child = GetWindow(child, GW_CHILD))
        target = child;
    SetFocus(target);
}

void DeleteImage(Gdiplus::Bitmap*& image) {
    delete image;
    image = nullptr;
}

} // namespace

WebWindow* CreateWebWindow(int kind, HWND parent, int x, int y, int width, int height) {
    if (kind < 0 || kind > _LAST_KIND) {
        PrintLine(u"[MC] Web window kind %d unknown", kind);
        return nullptr;
    }
    if (!sOleStarted) {
        sOleStarted = true;
        HRESULT result = OleInitialize(nullptr);
        if (FAILED(result))
            PrintLine(u"[MC] OleInitialize failed, 0x%x", unsigned(result));
    }
    if (!RegisterWebClass())
        return nullptr;

    DWORD style = 0;
    DWORD extendedStyle = 0;
    HWND owner = nullptr;
    int left = x;
    int top = y;
    RECT parentRect = {};
    bool offset = false;
    switch (kind) {
    case 0:
        style = WS_CHILD | WS_VISIBLE;
        owner = parent;
        break;
    case 1:
        style = WS_CAPTION | WS_THICKFRAME;
        extendedStyle = WS_EX_TOOLWINDOW;
        owner = parent;
        break;
    case 2:
        style = WS_POPUP | WS_VISIBLE;
        extendedStyle = WS_EX_TOOLWINDOW;
        offset = true;
        break;
    case 3:
        break;
    case 4:
        extendedStyle = WS_EX_TOOLWINDOW;
        offset = true;
        break;
    }
    if (offset && parent != nullptr && GetWindowRect(parent, &parentRect)) {
        left += parentRect.left;
        top += parentRect.top;
    }

    auto* page = new WebWindow;
    page->kind = kind;
    page->parent = parent;
    page->x = x;
    page->y = y;
    page->width = width;
    page->height = height;
    // Read by WM_NCCALCSIZE, which arrives while the window is being made.
    page->borderWidth = GetSystemMetrics(SM_CXDLGFRAME);
    // Every kind starts hidden: a page shows once its document is ready or done. Kinds 0 and 2
    // are visible windows by style, which they get when first shown; made visible now, a blank
    // control would cover the parent (and its logo) before anything has loaded.
    HWND window = CreateWindowExW(extendedStyle, _CLASS_NAME, L"", style & ~WS_VISIBLE, left, top, width, height, owner,
                                  nullptr, GetModuleHandleW(nullptr), page);
    if (window == nullptr) {
        PrintLine(u"[MC] Web window of kind %d not created, error %d", kind, int(GetLastError()));
        delete page;
        return nullptr;
    }
    page->window = window;
    page->host = BrowserHost::Create(window);
    page->document = page->host != nullptr ? page->host->Document() : nullptr;
    if (kind != 3) {
        LogPageState(*page, u"Show", 0);
        page->wantVisible = 1;
        if (page->pageDone || page->ready)
            ShowWindow(window, SW_SHOW);
    }
    page->closeRect = RECT{};
    return page;
}

void DestroyWebWindow(WebWindow* page) {
    if (page == nullptr)
        return;
    DeleteImage(page->captionImage);
    DeleteImage(page->closeImage);
    DeleteImage(page->closeHoverImage);
    BrowserHost* host = page->host;
    page->host = nullptr;
    page->document = nullptr;
    BrowserHost::Destroy(host);
    if (page->window != nullptr) {
        HWND window = page->window;
        page->window = nullptr;
        // The window forgets the record first, so nothing reaches it while it is destroyed.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
    delete page;
}

WebWindow* WebWindowOf(HWND window) {
    if (window == nullptr)
        return nullptr;
    wchar_t className[64];
    if (GetClassNameW(window, className, 64) == 0 || lstrcmpW(className, _CLASS_NAME) != 0)
        return nullptr;
    return reinterpret_cast<WebWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

int Navigate(WebWindow& page, const char16_t* url) {
    if (page.document == nullptr) {
        PrintLine(u"[MC] Page 0x%x has no browser to open %ls", Hex(&page), NonNull(url));
        return -1;
    }
    return page.document->Navigate(NonNull(url));
}

bool IsDocumentReady(WebWindow& page) { return page.document != nullptr && page.document->IsReady(); }

WString PageLocation(WebWindow& page) {
    if (page.document == nullptr)
        return WString();
    WString location = page.document->Location();
    if (location.Length() > _MAX_PAGE_LOCATION)
        location.Remove(_MAX_PAGE_LOCATION);
    return location;
}

void PageFormFields(WebWindow& page, Array<WString>& names, Array<WString>& values) {
    names.Clear();
    values.Clear();
    if (page.document == nullptr)
        return;
    WString fields = page.document->FormFields();
    if (fields.Length() > _MAX_FORM_FIELDS)
        fields.Remove(_MAX_FORM_FIELDS);
    // Lines alternate name and value; a name on the last line has an empty value.
    const char16_t* text = fields.Text();
    bool isName = true;
    while (*text != 0) {
        int length = Text::FindChar(text, u'\n');
        if (length < 0)
            length = Text::Length(text);
        WString line(text, length);
        if (isName) {
            names.Append(line);
            values.Append(WString());
        } else {
            values[values.Count() - 1] = line;
        }
        isName = !isName;
        text += length;
        if (*text == u'\n')
            text++;
    }
}

void SetPageOption(WebWindow& page, char letter, int value) {
    if (page.host != nullptr)
        page.host->SetOption(letter, value);
}

void ShowPage(WebWindow& page, bool force) {
    LogPageState(page, u"Show", force ? 1 : 0);
    page.wantVisible = 1;
    if (page.window != nullptr && (page.pageDone || page.ready || force))
        ShowWindow(page.window, SW_SHOW);
}

void HidePage(WebWindow& page) {
    LogPageState(page, u"Hide", 0);
    page.wantVisible = 0;
    if (page.window != nullptr)
        ShowWindow(page.window, SW_HIDE);
}

void ApplyPopupLook(WebWindow& page, const PopupSettings& look) {
    page.captionColour = look.captionColour;
    page.captionTextColour = look.captionTextColour;
    page.captionFont = look.captionFont;
    page.titleSuffix = look.titleSuffix;
    DeleteImage(page.captionImage);
    page.captionImage = LoadResourceImage(look.captionImage);
    DeleteImage(page.closeImage);
    DeleteImage(page.closeHoverImage);
    Gdiplus::Bitmap* closeImage = LoadResourceImage(look.closeImage);
    Gdiplus::Bitmap* closeHoverImage = LoadResourceImage(look.closeHoverImage);
    // A close button needs both looks; with one missing there is none.
    if (closeImage != nullptr && closeHoverImage != nullptr) {
        page.closeImage = closeImage;
        page.closeHoverImage = closeHoverImage;
    } else {
        delete closeImage;
        delete closeHoverImage;
    }
    page.closeTop = look.closeTop;
    page.closeRight = look.closeRight;
    if (page.window != nullptr)
        SetWindowPos(page.window, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

bool ForwardPageKey(const MSG& message) {
    if (message.message != WM_KEYDOWN)
        return false;
    for (HWND window = message.hwnd; window != nullptr; window = GetAncestor(window, GA_PARENT)) {
        WebWindow* page = WebWindowOf(window);
        if (page != nullptr)
            return page->host != nullptr && page->host->TranslateKey(message);
    }
    return false;
}

WebWindow* ShowPageById(Array<PageEntry>& pages, int id, HWND parent, const char16_t* url, bool create,
                        WebWindowHook onReady) {
    WebWindow* shown = nullptr;
    for (_dword i = 0; i < pages.Count(); i++) {
        WebWindow* page = pages[i].page;
        if (page == nullptr)
            continue;
        if (pages[i].id == id) {
            PrintLine(u"[MC] Show web page id %d", id);
            ShowPage(*page, false);
            if (shown == nullptr)
                shown = page;
            if (page->window != nullptr)
                FocusInnermostChild(page->window);
        } else {
            PrintLine(u"[MC] Hide web page id %d", pages[i].id);
            HidePage(*page);
        }
    }
    if (shown != nullptr || !create)
        return shown;
    RECT client = {};
    if (parent != nullptr)
        GetClientRect(parent, &client);
    WebWindow* page = CreateWebWindow(0, parent, 0, 0, client.right - client.left, client.bottom - client.top);
    if (page == nullptr)
        return nullptr;
    if (url != nullptr && url[0] != 0) {
        PrintLine(u"[MC] Show web page at: %ls", url);
        Navigate(*page, url);
    }
    page->onReady = onReady;
    SetFocus(page->window);
    PageEntry entry;
    entry.id = id;
    entry.page = page;
    pages.Append(entry);
    return page;
}

void AddGamePage(Array<PageEntry>& pages, WebWindow* page) {
    if (page == nullptr)
        return;
    for (_dword i = 0; i < pages.Count(); i++) {
        if (pages[i].page == page) {
            pages[i].id = -1;
            return;
        }
    }
    PageEntry entry;
    entry.id = -1;
    entry.page = page;
    pages.Append(entry);
}

WebWindow* FindGamePage(const Array<PageEntry>& pages) {
    for (_dword i = 0; i < pages.Count(); i++) {
        if (pages[i].id == -1)
            return pages[i].page;
    }
    return nullptr;
}

void SizePages(const Array<PageEntry>& pages, int width, int height) {
    if (width < 0)
        width = 0;
    if (height < 0)
        height = 0;
    for (_dword i = 0; i < pages.Count(); i++) {
        WebWindow* page = pages[i].page;
        if (page != nullptr && page->window != nullptr)
            MoveWindow(page->window, 0, 0, width, height, TRUE);
    }
}

} // namespace Volux
