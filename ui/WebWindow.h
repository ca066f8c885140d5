// A game or service page: a window of class "Volux3D Web Window" holding one embedded browser
// control. The window turns the control's events into private messages, keeps the small state
// machine (ready, pageDone, wantVisible) that decides when the page may be shown, and draws its
// own caption, border and close button for the popup kinds.
//
// Everything the launcher reads from or asks of a loaded page goes through `PageDocument`, so
// the page logic runs on a fake document in tests.
#pragma once

#include <windows.h>

#include "Common/Array.h"
#include "Common/WString.h"
#include "ui/PopupSettings.h"

namespace Gdiplus {
class Bitmap;
}

namespace Volux {

class BrowserHost;
struct WebWindow;

// Private messages of web windows and of the windows they report to.
constexpr UINT _WM_PAGE_NEW_MESSAGE = WM_USER + 200;  // 1224
constexpr UINT _WM_PAGE_TITLE = WM_USER + 201;        // 1225: wparam = text, lparam 1
constexpr UINT _WM_PAGE_LOG = WM_USER + 202;          // 1226: wparam = text
constexpr UINT _WM_PAGE_RESTORED = WM_USER + 203;     // 1227
constexpr UINT _WM_BEFORE_NAVIGATE = WM_USER + 250;   // 1274
constexpr UINT _WM_NAVIGATE_COMPLETE = WM_USER + 252; // 1276
constexpr UINT _WM_DOCUMENT_COMPLETE = WM_USER + 259; // 1283
constexpr UINT _WM_NAVIGATE_ERROR = WM_USER + 271;    // 1295
constexpr UINT _WM_PAGE_DONE = WM_USER + 290;         // 1314

// Longest page address and longest form-field buffer read from a page.
constexpr int _MAX_PAGE_LOCATION = 1024;
constexpr int _MAX_FORM_FIELDS = 8192;

// What the launcher reads from and asks of the loaded document. The browser host supplies the
// real one; tests install their own.
class PageDocument {
public:
    virtual ~PageDocument() = default;
    // 0 done, -1 no control, -5 no browser interface, -6 text allocation failed.
    virtual int Navigate(const char16_t* url) = 0;
    // The document reports READYSTATE_COMPLETE.
    virtual bool IsReady() = 0;
    // The page's address, at most _MAX_PAGE_LOCATION characters; empty when unavailable.
    virtual WString Location() = 0;
    // "name\nvalue\n" pairs of the form elements, at most _MAX_FORM_FIELDS characters.
    virtual WString FormFields() = 0;
    // Reloads the current document; false when there is none.
    virtual bool Reload() = 0;
};

using WebWindowHook = void (*)(WebWindow& page);

struct WebWindow {
    HWND window = nullptr;
    BrowserHost* host = nullptr;  // null when the control could not be made
    PageDocument* document = nullptr;  // the host's, or a test's; null without host
    int kind = 0;  // 0 child, 1 captioned owned, 2 popup over a frame, 3 free popup, 4 kept inside parent
    HWND parent = nullptr;
    BYTE hideOnClose = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    BYTE ready = 0;
    BYTE pageDone = 0;
    BYTE wantVisible = 1;
    BYTE showWhenDone = 0;
    WebWindowHook onBeforeNavigate = nullptr;
    WebWindowHook onNavigateComplete = nullptr;
    WebWindowHook onReady = nullptr;
    void* user = nullptr;  // for the launcher's hooks
    int borderWidth = 0;
    int captionColour = 0xA9D6DB;
    int captionTextColour = 0xFFFFFF;
    WString captionFont{u"幼圆"};
    WString titleSuffix;
    Gdiplus::Bitmap* captionImage = nullptr;
    int closeTop = 0;
    int closeRight = 0;
    Gdiplus::Bitmap* closeImage = nullptr;
    Gdiplus::Bitmap* closeHoverImage = nullptr;
    RECT closeRect = {};
    bool closeHover = false;
};

// Creates the window and the control in it (kinds above). Null only when the window itself
// cannot be made; a window whose control cannot be made has no host and no document.
WebWindow* CreateWebWindow(int kind, HWND parent, int x, int y, int width, int height);
// Frees the images, the host and the window, then the record. Null is ignored.
void DestroyWebWindow(WebWindow* page);
// The record of a web window, or null for any other window.
WebWindow* WebWindowOf(HWND window);

// 0 done; -1 without host or document; otherwise the document's answer.
int Navigate(WebWindow& page, const char16_t* url);
bool IsDocumentReady(WebWindow& page);
WString PageLocation(WebWindow& page);
// The form fields split into name/value pairs.
void PageFormFields(WebWindow& page, Array<WString>& names, Array<WString>& values);
// Option letters 's', 'a', 'm', 'c' of the host; other letters and a page without host are
// ignored.
void SetPageOption(WebWindow& page, char letter, int value);

// Logs the "Show" line, sets wantVisible and shows the window when the page is done, ready
// or forced.
void ShowPage(WebWindow& page, bool force);
// Logs the "Hide" line, clears wantVisible and hides the window.
void HidePage(WebWindow& page);

// Caption look of the popup kinds from the script's settings; images are loaded from the
// program's resources, the close images only when both load.
void ApplyPopupLook(WebWindow& page, const PopupSettings& look);

// Offers a WM_KEYDOWN to the control of the first web window among the message's window and
// its parents. True when the control translated it (the caller still dispatches it).
bool ForwardPageKey(const MSG& message);

// The page list: pages keyed by id; id -1 is the game page.
struct PageEntry {
    int id = 0;
    WebWindow* page = nullptr;
};

// Shows the page with this id and hides every other listed page. Without one and with
// `create`, makes a kind-0 page filling `parent`'s client area, navigates it to `url` when
// given, sets `onReady` and appends it. Returns the page shown, or null.
WebWindow* ShowPageById(Array<PageEntry>& pages, int id, HWND parent, const char16_t* url, bool create,
                        WebWindowHook onReady);
// Adds a page with id -1; a page already listed only gets id -1.
void AddGamePage(Array<PageEntry>& pages, WebWindow* page);
// The first page with id -1, or null.
WebWindow* FindGamePage(const Array<PageEntry>& pages);
// Moves every listed page to (0, 0, width, height) with repaint.
void SizePages(const Array<PageEntry>& pages, int width, int height);

} // namespace Volux
