#include "ui/MainWindow.h"

#include <windowsx.h>

#include <utility>

#include "Common/Log.h"
#include "Platform/WideText_win32.h"
#include "ui/GdiplusApi.h"
#include "ui/FrameLayout.h"
#include "ui/ResourceImage.h"
#include "ui/WindowRecord.h"

namespace Volux {

MainWindow::~MainWindow() { Destroy(); }

Gdiplus::Bitmap* MainWindow::Image(const WString& name) {
    if (name.IsEmpty() || !gdiplus.IsStarted())
        return nullptr;
    return SharedResourceImage(name.Text());
}

void MainWindow::SetLogo(const char16_t* name) {
    logo = NonNull(name);
    if (window != nullptr) {
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
    }
}

void MainWindow::SetTitleImages(const char16_t* left, const char16_t* middle, const char16_t* right) {
    titleLeft = NonNull(left);
    titleMiddle = NonNull(middle);
    titleRight = NonNull(right);
    if (window != nullptr) {
        // The caption height follows the left image.
        SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    }
}

void MainWindow::SetIcon(const char16_t* name) {
    icon = NonNull(name);
    if (window != nullptr)
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
}

bool MainWindow::Create(int x, int y, const char16_t* title, int clientWidth, int clientHeight, _dword flags) {
    if (window != nullptr)
        return true;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(nullptr, IDI_WINLOGO);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = _CLASS_NAME;
    RegisterClassExW(&windowClass);

    const MainWindowStyles styles = MainWindowStylesFor(flags, HasCustomTitleBar());
    resizable = styles.resizable ? 1 : 0;
    int width = ClampFrameExtent(clientWidth);
    int height = ClampFrameExtent(clientHeight);
    if (!styles.child) {
        RECT frame = {0, 0, width, height};
        if (!AdjustWindowRectEx(&frame, styles.style, FALSE, styles.extendedStyle)) {
            PrintLine(u"[MC] Main window size %d x %d cannot be adjusted", width, height);
            return false;
        }
        width = frame.right - frame.left;
        height = frame.bottom - frame.top;
    }
    HWND created = CreateWindowExW(styles.extendedStyle, _CLASS_NAME, WidePtr(NonNull(title)), styles.style,
                                   ClampFramePosition(x), ClampFramePosition(y), width, height, nullptr, nullptr,
                                   instance, this);
    if (created == nullptr) {
        PrintLine(u"[MC] Create main window fail, error %d", int(GetLastError()));
        return false;
    }
    window = created;
    BuildMenuBar();
    if ((flags & _FLAG_MAXIMISE_AT_START) == 0) {
        PrintLine(u"[MC] Move main window 0x%x at creation to %d, %d, %d, %d", unsigned(uintptr_t(window)), x, y,
                  clientWidth, clientHeight);
        MoveWindow(window, ClampFramePosition(x), ClampFramePosition(y), ClampFrameExtent(clientWidth),
                   ClampFrameExtent(clientHeight), TRUE);
        PrintLine(u"[MC] Move main window 0x%x at creation to %d, %d, %d, %d done", unsigned(uintptr_t(window)), x, y,
                  clientWidth, clientHeight);
    }
    if (creationHook != nullptr && !creationHook(*this))
        return false;
    return true;
}

void MainWindow::BuildMenuBar() {
    if (window == nullptr || menuCommands.Count() == 0)
        return;
    if (menu == nullptr)
        menu = CreateMenu();
    if (menu == nullptr)
        return;
    for (_dword i = 0; i < menuCommands.Count(); i++) {
        const MenuCommand& command = menuCommands[i];
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_ID | MIIM_FTYPE;
        item.wID = UINT(command.id);
        HBITMAP bitmap = command.extra[0] != 0
                             ? LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(command.extra[0]))
                             : nullptr;
        if (bitmap != nullptr) {
            item.fMask |= MIIM_BITMAP;
            item.hbmpItem = bitmap;
        } else {
            item.fMask |= MIIM_STRING;
            item.dwTypeData = const_cast<wchar_t*>(WidePtr(command.text.Text()));
        }
        if (command.extra[1] != 0)
            item.fType |= MFT_RIGHTJUSTIFY;
        InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &item);
    }
    SetMenu(window, menu);
}

void MainWindow::DestroyDecoration() {
    if (menu != nullptr) {
        if (window != nullptr && GetMenu(window) == menu)
            SetMenu(window, nullptr);
        DestroyMenu(menu);
        menu = nullptr;
    }
    menuCommands.Clear();
    for (Array<TitleBarButton>& row : rows)
        row.Clear();
    logo = u"";
    titleLeft = u"";
    titleMiddle = u"";
    titleRight = u"";
    icon = u"";
}

void MainWindow::Destroy() {
    DestroyDecoration();
    if (window != nullptr) {
        HWND destroyed = window;
        window = nullptr;
        DestroyWindow(destroyed);
    }
}

bool MainWindow::IsMaximised() const { return window != nullptr && IsZoomed(window); }

int MainWindow::CaptionTop() const {
    if (!IsMaximised())
        return borderWidth;
    TITLEBARINFO info = {};
    info.cbSize = sizeof(info);
    RECT bounds;
    if (GetTitleBarInfo(window, &info) && GetWindowRect(window, &bounds) && info.rcTitleBar.bottom > info.rcTitleBar.top)
        return info.rcTitleBar.top - bounds.top;
    return GetSystemMetrics(SM_CYFRAME);
}

bool MainWindow::ButtonScreenRect(int id, RECT* rect) const {
    if (rect == nullptr)
        return false;
    RECT bounds = {0, 0, 0, 0};
    if (window != nullptr)
        GetWindowRect(window, &bounds);
    for (int r = _ROW_LEFT; r <= _ROW_RIGHT; r++) {
        for (_dword i = 0; i < rows[r].Count(); i++) {
            const TitleBarButton& button = rows[r][i];
            if (button.id != id)
                continue;
            *rect = RECT{button.hitRect.left + bounds.left, button.hitRect.top + bounds.top,
                         button.hitRect.right + bounds.left, button.hitRect.bottom + bounds.top};
            return true;
        }
    }
    return false;
}

void MainWindow::Blink(int id, DWORD now) {
    blinkingButton = id;
    if (!HasCustomTitleBar() || rows[_ROW_RIGHT].Count() == 0 || id == 0)
        return;
    if (now - blinkSince < 500)
        return;
    blinkSince = now;
    blinkOff = !blinkOff;
    PaintTitleBar();
}

bool MainWindow::TrackButtons(UINT message, int x, int y) {
    const bool maximised = IsMaximised();
    const uint8_t bit = VisibleBit(maximised);
    bool taken = false;
    bool changed = false;
    for (int r : {int(_ROW_SYSTEM), int(_ROW_LEFT), int(_ROW_RIGHT)}) {
        bool hit = false;
        for (_dword i = 0; i < rows[r].Count(); i++) {
            TitleBarButton& button = rows[r][i];
            if (!hit && message != WM_NCMOUSELEAVE && StrictlyInside(button.hitRect, x, y)) {
                // After a hit the cursor counts as outside for the rest of the row.
                hit = true;
                if (message == WM_NCLBUTTONDOWN) {
                    if (commandHandler != nullptr)
                        commandHandler(button.id, u"", button.value.Text());
                    taken = true;
                } else if (message == WM_NCMOUSEMOVE && (button.state & 0x0F) == 0) {
                    button.state = _byte((button.state & 0xF0) | HoverLook(button.state));
                    changed = true;
                }
                continue;
            }
            if ((button.state & 0x0F) != 0) {
                button.state = _byte(button.state & 0xF0);
                if ((button.visibleIn & bit) != 0)
                    changed = true;
            }
        }
    }
    if (changed)
        PaintTitleBar();
    return taken;
}

LRESULT CALLBACK MainWindow::WindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    return RouteToRecord<MainWindow>(hwnd, message, wparam, lparam, &MainWindow::HandleMessage);
}

LRESULT MainWindow::HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    const bool custom = HasCustomTitleBar();
    switch (message) {
    case WM_SIZE:
        if (wparam == SIZE_MAXIMIZED && custom && resizable && IsWindowVisible(hwnd)) {
            // The frame goes outside the work area: only the custom caption shows.
            RECT work;
            MONITORINFO info = {};
            info.cbSize = sizeof(info);
            if (GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info))
                work = info.rcWork;
            else
                SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
            const int fx = GetSystemMetrics(SM_CXFRAME);
            const int fy = GetSystemMetrics(SM_CYFRAME);
            SetWindowPos(hwnd, nullptr, work.left - fx, work.top - fy, work.right - work.left + 2 * fx,
                         work.bottom - work.top + 2 * fy, SWP_NOSENDCHANGING | SWP_NOZORDER);
        }
        break;
    case WM_PAINT:
        if (!logo.IsEmpty() && logoShown) {
            PaintLogo(hwnd);
            return 0;
        }
        break;
    case WM_GETMINMAXINFO:
        if (minWidth > 0 && minHeight > 0 && !fixedGameSize) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
            info->ptMinTrackSize.x = minWidth;
            info->ptMinTrackSize.y = minHeight;
            return 0;
        }
        break;
    case WM_CONTEXTMENU:
    case WM_NCRBUTTONDOWN:
        if (custom) {
            SendMessageW(hwnd, WM_CANCELMODE, 0, 0);
            return 1;
        }
        break;
    case WM_NCCALCSIZE:
        if (custom && wparam != 0) {
            // The system's client rectangle (under its caption and frame) is what the custom
            // caption reshapes.
            auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lparam);
            LRESULT result = DefWindowProcW(hwnd, message, wparam, lparam);
            const LayoutRect proposed = {params->rgrc[0].left, params->rgrc[0].top, params->rgrc[0].right,
                                         params->rgrc[0].bottom};
            TITLEBARINFO info = {};
            info.cbSize = sizeof(info);
            const int frameY = GetSystemMetrics(resizable ? SM_CYFRAME : SM_CYDLGFRAME);
            const int frameX = GetSystemMetrics(resizable ? SM_CXFRAME : SM_CXDLGFRAME);
            if (GetTitleBarInfo(hwnd, &info) && info.rcTitleBar.bottom > info.rcTitleBar.top) {
                captionOffset = CaptionOffset(borderWidth, fixedGameSize ? 0 : TitleBarHeight(0),
                                              info.rcTitleBar.top, info.rcTitleBar.bottom, frameY);
            }
            const LayoutRect client =
                CustomClientRect(proposed, IsZoomed(hwnd) != FALSE, CaptionMetrics{frameX, frameY, borderWidth, captionOffset});
            params->rgrc[0] = RECT{client.left, client.top, client.right, client.bottom};
            (void)result;
            return 0;
        }
        break;
    case WM_NCHITTEST:
        if (custom)
            return CustomCaptionHit(int(DefWindowProcW(hwnd, message, wparam, lparam)));
        break;
    case WM_NCPAINT:
    case WM_NCACTIVATE:
        if (custom) {
            if (message == WM_NCACTIVATE && wparam == 0)
                return 1;
            // The system paints the Windows menu bar (and its own caption, which the title bar
            // then covers); without a menu bar nothing of its frame is needed.
            if (message == WM_NCPAINT && menu != nullptr)
                DefWindowProcW(hwnd, message, wparam, lparam);
            PaintTitleBar();
            return message == WM_NCACTIVATE ? 1 : 0;
        }
        break;
    case WM_NCMOUSEMOVE:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONUP:
    case WM_NCMOUSELEAVE:
        if (custom && !fixedGameSize) {
            RECT bounds;
            GetWindowRect(hwnd, &bounds);
            POINT cursor = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
            if (message == WM_NCMOUSELEAVE)
                trackingLeave = false;
            if (message == WM_NCMOUSEMOVE && !trackingLeave) {
                TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE | TME_NONCLIENT, hwnd, 0};
                trackingLeave = TrackMouseEvent(&track) != FALSE;
            }
            if (TrackButtons(message, cursor.x - bounds.left, cursor.y - bounds.top))
                return 0;
        }
        break;
    case WM_NCLBUTTONDBLCLK:
        if (custom) {
            RECT bounds;
            GetWindowRect(hwnd, &bounds);
            if (DoubleClickMaximises(GET_Y_LPARAM(lparam), bounds.top, CaptionTop(), menuTop, IsZoomed(hwnd) != FALSE))
                ShowWindow(hwnd, SW_SHOWMAXIMIZED);
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return 0;
    case WM_COMMAND:
        for (_dword i = 0; i < menuCommands.Count(); i++) {
            if (WPARAM(menuCommands[i].id) == LOWORD(wparam) && commandHandler != nullptr) {
                commandHandler(menuCommands[i].id, menuCommands[i].text.Text(), menuCommands[i].value.Text());
                break;
            }
        }
        break;
    default:
        break;
    }
    // The launcher's handler sees every message; WM_SETCURSOR only over the client area.
    const bool offered = message != WM_SETCURSOR || (HWND(wparam) == hwnd && LOWORD(lparam) == HTCLIENT);
    if (offered && messageHook != nullptr && messageHook(*this, message, wparam, lparam))
        return 0;
    if (message == WM_CLOSE) {
        DestroyDecoration();
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}


void MainWindow::AddButton(TitleBarRow row, TitleBarButton&& button) {
    Array<TitleBarButton>& target = rows[row];
    if (row != _ROW_SYSTEM) {
        target.Append(std::move(button));
        return;
    }
    // Insertion keeps the row sorted; equal orders keep the order of the calls.
    _dword at = 0;
    while (at < target.Count() && target[at].order <= button.order)
        at++;
    target.Insert(at, button);
}

void MainWindow::AddMenuItem(int id, const char16_t* text, const char16_t* value, int extra0, int extra1) {
    MenuCommand command;
    command.id = id;
    command.text = NonNull(text);
    command.value = NonNull(value);
    command.extra[0] = extra0;
    command.extra[1] = extra1;
    menuCommands.Append(std::move(command));
}

TitleBarButton* MainWindow::FindButton(int id) {
    for (Array<TitleBarButton>& row : rows) {
        for (_dword i = 0; i < row.Count(); i++) {
            if (row[i].id == id)
                return &row[i];
        }
    }
    return nullptr;
}

bool MainWindow::UpdateButton(int id, const char16_t* text, const char16_t* value, _byte visibleIn) {
    TitleBarButton* button = FindButton(id);
    if (button == nullptr)
        return false;
    if (text != nullptr && text[0] != 0)
        button->text = text;
    if (value != nullptr && value[0] != 0)
        button->value = value;
    button->visibleIn = visibleIn;
    return true;
}

} // namespace Volux
