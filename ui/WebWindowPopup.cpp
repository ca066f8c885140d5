#include "ui/WebWindowPopup.h"

#include "ui/GdiplusApi.h"

#include <stdint.h>

#include "Common/Log.h"
#include "Platform/WideText_win32.h"
#include "ui/PopupGeometry.h"
#include "ui/WebWindow.h"
#include "Platform/File.h"

namespace Volux {

namespace {

// Longest title or log text taken from a page's notice.
constexpr int _MAX_NOTICE_TEXT = 1024;

COLORREF ToColorRef(int rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// The notice's text: wparam points at engine text or is null; cut to the ceiling.
WString NoticeText(WPARAM wparam) {
    const char16_t* text = reinterpret_cast<const char16_t*>(wparam);
    if (text == nullptr)
        return WString();
    int length = 0;
    while (length < _MAX_NOTICE_TEXT && text[length] != 0)
        length++;
    return WString(text, length);
}

int TitleBarHeight(HWND hwnd, bool* hasCaption) {
    TITLEBARINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetTitleBarInfo(hwnd, &info)) {
        if (hasCaption != nullptr)
            *hasCaption = false;
        return 0;
    }
    if (hasCaption != nullptr)
        *hasCaption = info.rcTitleBar.top != info.rcTitleBar.bottom;
    return info.rcTitleBar.bottom - info.rcTitleBar.top;
}

// The cursor in window coordinates (the frame's top-left corner is 0, 0).
POINT WindowPoint(HWND hwnd, POINT screen) {
    RECT window = {};
    GetWindowRect(hwnd, &window);
    return POINT{screen.x - window.left, screen.y - window.top};
}

POINT MessagePoint(LPARAM lparam) {
    return POINT{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
}

void UpdateHover(WebWindow& page, HWND hwnd, POINT screen) {
    POINT at = WindowPoint(hwnd, screen);
    bool hover = StrictlyInside(page.closeRect, at.x, at.y);
    if (hover != page.closeHover) {
        page.closeHover = hover;
        PaintPopupCaption(page);
    }
}

// A notice's text pointer is only good in this thread: the page's external object sends it
// from here. Sent from another thread or process, it is not read.
bool NoticeFromThisThread() {
    if ((InSendMessageEx(nullptr) & (ISMEX_SEND | ISMEX_NOTIFY | ISMEX_CALLBACK)) == 0)
        return true;
    PrintLine(u"[MC] Page notice from another thread or process refused");
    return false;
}

LRESULT HidePopup(WebWindow& page, WPARAM wparam, LPARAM lparam) {
    HidePage(page);
    if (page.parent != nullptr)
        SendMessageW(page.parent, _WM_PAGE_RESTORED, wparam, lparam);
    return 0;
}

} // namespace

void PaintPopupCaption(WebWindow& page) {
    HWND hwnd = page.window;
    if (hwnd == nullptr)
        return;
    RECT window = {};
    GetWindowRect(hwnd, &window);
    const int w = window.right - window.left;
    const int h = window.bottom - window.top;
    const int b = page.borderWidth;
    const int imageHeight = page.captionImage != nullptr ? int(page.captionImage->GetHeight()) : -1;
    Gdiplus::Bitmap* close = page.closeHover ? page.closeHoverImage : page.closeImage;
    const int closeWidth = close != nullptr ? int(close->GetWidth()) : 0;
    const int closeHeight = close != nullptr ? int(close->GetHeight()) : 0;
    const CaptionLayout layout = LayoutCaption(w, h, b, imageHeight, TitleBarHeight(hwnd, nullptr), closeWidth,
                                               closeHeight, page.closeTop, page.closeRight);

    HDC dc = GetWindowDC(hwnd);
    if (dc == nullptr)
        return;
    HBRUSH brush = CreateSolidBrush(ToColorRef(page.captionColour));
    for (const RECT& strip : layout.strips)
        FillRect(dc, &strip, brush);
    DeleteObject(brush);

    if (page.captionImage != nullptr || close != nullptr) {
        Gdiplus::Graphics graphics(dc);
        if (page.captionImage != nullptr)
            graphics.DrawImage(page.captionImage, b, b, w - 2 * b, imageHeight);
        if (close != nullptr)
            graphics.DrawImage(close, layout.close.left, layout.close.top, closeWidth, closeHeight);
    }
    page.closeRect = layout.close;

    HFONT font = nullptr;
    HGDIOBJ previousFont = nullptr;
    if (!page.captionFont.IsEmpty()) {
        LOGFONTW face = {};
        lstrcpynW(face.lfFaceName, WidePtr(page.captionFont.Text()), LF_FACESIZE);
        font = CreateFontIndirectW(&face);
        if (font != nullptr)
            previousFont = SelectObject(dc, font);
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ToColorRef(page.captionTextColour));
    wchar_t title[_MAX_NOTICE_TEXT + 1];
    int length = GetWindowTextW(hwnd, title, _MAX_NOTICE_TEXT + 1);
    RECT text = layout.text;
    DrawTextW(dc, title, length, &text, 0);
    if (font != nullptr) {
        SelectObject(dc, previousFont);
        DeleteObject(font);
    }
    ReleaseDC(hwnd, dc);
}

bool HandlePopupMessage(WebWindow& page, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    result = 0;
    switch (message) {
    case WM_CLOSE:
        if (!page.hideOnClose)
            return false;
        result = HidePopup(page, wparam, lparam);
        return true;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wparam) != hwnd)
            return false;
        SendMessageW(hwnd, WM_CANCELMODE, 0, 0);
        return true;
    case WM_NCRBUTTONDOWN:
        // No system menu on the caption.
        SendMessageW(hwnd, WM_CANCELMODE, 0, 0);
        return true;
    case WM_NCCALCSIZE: {
        if (!wparam || lparam == 0)
            return false;
        auto* sizes = reinterpret_cast<NCCALCSIZE_PARAMS*>(lparam);
        bool hasCaption = false;
        const int captionHeight = TitleBarHeight(hwnd, &hasCaption);
        const int imageHeight = page.captionImage != nullptr ? int(page.captionImage->GetHeight()) : 0;
        sizes->rgrc[0] = AdjustPopupClient(sizes->rgrc[0], GetSystemMetrics(SM_CXDLGFRAME),
                                           GetSystemMetrics(SM_CYDLGFRAME), page.borderWidth, hasCaption, imageHeight,
                                           captionHeight);
        return false;
    }
    case WM_NCPAINT:
        PaintPopupCaption(page);
        return true;
    case WM_NCACTIVATE:
        PaintPopupCaption(page);
        result = 1;
        return true;
    case WM_NCHITTEST: {
        LRESULT hit = DefWindowProcW(hwnd, message, wparam, lparam);
        if (hit == HTMINBUTTON || hit == HTMAXBUTTON || hit == HTCLOSE)
            hit = HTCAPTION;
        result = hit;
        return true;
    }
    case WM_NCMOUSEMOVE: {
        // Ask for WM_NCMOUSELEAVE, so the hover look goes when the cursor leaves the window.
        TRACKMOUSEEVENT track = {};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_LEAVE | TME_NONCLIENT;
        track.hwndTrack = hwnd;
        TrackMouseEvent(&track);
        UpdateHover(page, hwnd, MessagePoint(lparam));
        return false;
    }
    case WM_NCMOUSELEAVE: {
        POINT cursor = {};
        GetCursorPos(&cursor);
        UpdateHover(page, hwnd, cursor);
        return false;
    }
    case WM_NCLBUTTONDOWN: {
        POINT at = WindowPoint(hwnd, MessagePoint(lparam));
        if (!StrictlyInside(page.closeRect, at.x, at.y))
            return false;
        if (page.hideOnClose)
            result = HidePopup(page, wparam, lparam);
        else
            SendMessageW(hwnd, WM_CLOSE, 0, 0);
        return true;
    }
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == SC_RESTORE) {
            PrintLine(u"webpage restored, clear blur");
            if (page.parent != nullptr)
                SendMessageW(page.parent, _WM_PAGE_RESTORED, SC_RESTORE, 0);
        }
        return false;
    case _WM_PAGE_NEW_MESSAGE:
        if (GetForegroundWindow() == hwnd && IsWindowVisible(hwnd)) {
            PrintLine(u"webpage got new msg, but window foreground");
        } else {
            PrintLine(u"webpage got new msg");
            if (page.parent != nullptr)
                SendMessageW(page.parent, _WM_PAGE_NEW_MESSAGE, wparam, lparam);
        }
        if (!IsWindowVisible(hwnd))
            ShowWindow(hwnd, SW_SHOWMINIMIZED);
        FlashWindow(hwnd, TRUE);
        return true;
    case _WM_PAGE_TITLE: {
        if (!NoticeFromThisThread())
            return true;
        WString title = NoticeText(wparam);
        title.Append(page.titleSuffix.Length() > _MAX_NOTICE_TEXT ? page.titleSuffix.Substring(0, _MAX_NOTICE_TEXT)
                                                                   : page.titleSuffix);
        SetWindowTextW(hwnd, WidePtr(title.Text()));
        if (page.parent != nullptr)
            SendMessageW(page.parent, _WM_PAGE_TITLE, wparam, lparam);
        PaintPopupCaption(page);
        return true;
    }
    case _WM_PAGE_LOG:
        if (!NoticeFromThisThread())
            return true;
        PrintLine(u"[MC] WEB 0x%x LOG: %ls", unsigned(uintptr_t(page.host)), NoticeText(wparam).Text());
        return true;
    case WM_WINDOWPOSCHANGING: {
        if (page.kind != 4 || page.parent == nullptr || lparam == 0)
            return false;
        auto* position = reinterpret_cast<WINDOWPOS*>(lparam);
        if (position->flags & SWP_NOMOVE)
            return false;
        int width = position->cx;
        int height = position->cy;
        if (position->flags & SWP_NOSIZE) {
            RECT current = {};
            GetWindowRect(hwnd, &current);
            width = current.right - current.left;
            height = current.bottom - current.top;
        }
        RECT parent = {};
        if (!GetWindowRect(page.parent, &parent))
            return false;
        POINT kept = ClampInsideParent(position->x, position->y, width, height, parent, IsZoomed(page.parent) != 0);
        position->x = kept.x;
        position->y = kept.y;
        return false;
    }
    case WM_WINDOWPOSCHANGED: {
        if (page.kind != 4 || page.parent == nullptr || IsIconic(page.parent))
            return false;
        RECT own = {};
        RECT parent = {};
        if (GetWindowRect(hwnd, &own) && GetWindowRect(page.parent, &parent)) {
            page.x = own.left - parent.left;
            page.y = own.top - parent.top;
        }
        return false;
    }
    default:
        return false;
    }
}

} // namespace Volux
