#include "ui/FrameWindow.h"

#include "ui/GdiplusApi.h"

#include <string.h>

#include <utility>

#include "Common/EngineContext.h"
#include "Common/Log.h"
#include "Platform/WideText_win32.h"
#include "Script/IScriptManager.h"
#include "ui/FramePainter.h"
#include "ui/ImageScale.h"
#include "ui/OffscreenBitmap.h"
#include "ui/ResourceImage.h"
#include "ui/WindowRecord.h"
#include "Platform/File.h"

namespace Volux {

namespace {

FrameMessageHook sMessageHook = nullptr;
FrameButtonHandler sButtonHandler = nullptr;

// CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS.
constexpr UINT _CLASS_STYLE = 0x000B;

POINT ClientCursor(HWND hwnd) {
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    ScreenToClient(hwnd, &cursor);
    return cursor;
}

} // namespace

FrameWindow::FrameWindow(int slot) : slot(slot) {}

FrameWindow::~FrameWindow() { Destroy(); }

void FrameWindow::SetMessageHook(FrameMessageHook hook) { sMessageHook = hook; }

FrameMessageHook FrameWindow::MessageHook() { return sMessageHook; }

void FrameWindow::SetButtonHandler(FrameButtonHandler handler) { sButtonHandler = handler; }

FrameButtonHandler FrameWindow::ButtonHandler() { return sButtonHandler; }

bool FrameWindow::Create(const char16_t* title, int x, int y, int newWidth, int newHeight, int type) {
    if (window != nullptr)
        return true;
    HINSTANCE instance = GetModuleHandleW(nullptr);

    // Registered on every creation; the failure for an already registered class is harmless.
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = _CLASS_STYLE;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(nullptr, IDI_WINLOGO);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = _CLASS_NAME;
    RegisterClassExW(&windowClass);

    const FrameStyles styles = FrameStylesForType(type);
    paintMode = type;
    width = ClampFrameExtent(newWidth);
    height = ClampFrameExtent(newHeight);
    // Without WS_VISIBLE: the launcher shows frames when their turn comes.
    HWND created = CreateWindowExW(styles.extendedStyle, _CLASS_NAME, WidePtr(title != nullptr ? title : u""),
                                   styles.style, ClampFramePosition(x), ClampFramePosition(y), width, height, nullptr,
                                   nullptr, instance, this);
    window = created;
    return created != nullptr;
}

void FrameWindow::ReleaseImages() {
    scaledBackground = std::vector<uint32_t>();
    scaledFrom = nullptr;
    delete composition;
    composition = nullptr;
    // The images themselves are shared with other windows and outlive the frame.
    background.image = nullptr;
}

void FrameWindow::Destroy() {
    ReleaseImages();
    // The user buttons' script objects were held for their clicks; the frame lets them go.
    IScriptManager* scripts = EngineContext::Get().scriptManager;
    for (_dword i = 0; i < buttons.Count(); i++) {
        if (buttons[i].button != nullptr && scripts != nullptr)
            scripts->ReleaseObject(buttons[i].button);
    }
    buttons.Clear();
    for (_dword i = 0; i < comboBoxes.Count(); i++) {
        if (comboBoxes[i].font != nullptr)
            DeleteObject(comboBoxes[i].font);
    }
    comboBoxes.Clear();
    labels.Clear();
    for (_dword i = 0; i < hotkeyBoxes.Count(); i++) {
        if (hotkeyBoxes[i].font != nullptr)
            DeleteObject(hotkeyBoxes[i].font);
    }
    hotkeyBoxes.Clear();
    checkBoxes.Clear();
    progressBars.Clear();
    if (window != nullptr) {
        HWND destroyed = window;
        window = nullptr;
        DestroyWindow(destroyed);
    }
}

void FrameWindow::Show() {
    if (window == nullptr)
        return;
    // A layered frame gets its look before it appears, not a moment after.
    if (paintMode == 0 && !IsWindowVisible(window))
        PushLayered();
    ShowWindow(window, SW_SHOW);
}

void FrameWindow::LookChanged() {
    if (window == nullptr)
        return;
    if (paintMode == 0)
        RefreshLayered();
    else
        InvalidateRect(window, nullptr, FALSE);
}

void FrameWindow::RefreshLayered() {
    // Hidden frames compose when they are shown: building a frame costs no compositions.
    if (window != nullptr && IsWindowVisible(window))
        PushLayered();
    else
        layeredStale = true;
}

void FrameWindow::Hide() {
    if (window != nullptr)
        ShowWindow(window, SW_HIDE);
}

void FrameWindow::Resize(int x, int y, int newWidth, int newHeight) {
    if (window != nullptr) {
        MoveWindow(window, ClampFramePosition(x), ClampFramePosition(y), ClampFrameExtent(newWidth),
                   ClampFrameExtent(newHeight), TRUE);
        if (paintMode == 0)
            RefreshLayered();
    }
}

FrameImage FrameWindow::DecodeNamedImage(const char16_t* name) {
    FrameImage result;
    result.name = name != nullptr ? name : u"";
    result.image = SharedResourceImage(name);
    return result;
}

bool FrameWindow::SetBackground(const char16_t* name) {
    FrameImage decoded = DecodeNamedImage(name);
    if (decoded.image == nullptr)
        return false;
    background = std::move(decoded);
    if (window != nullptr) {
        if (paintMode == 0) {
            RefreshLayered();
        } else {
            InvalidateRect(window, nullptr, TRUE);
            UpdateWindow(window);
        }
    }
    return true;
}

bool FrameWindow::SetupRegion(const char16_t* name) {
    ByteBuffer bytes;
    if (name == nullptr || !FileSystem::LoadResource(nullptr, name, bytes) || bytes.size == 0)
        return false;
    if (!IsRegionData(bytes.data, bytes.size)) {
        PrintLine(u"[MC] Region resource %ls is not region data, %d bytes", name, int(bytes.size));
        return false;
    }
    HRGN created = ExtCreateRegion(nullptr, DWORD(bytes.size), reinterpret_cast<const RGNDATA*>(bytes.data));
    if (created == nullptr) {
        PrintLine(u"[MC] Region resource %ls refused by the system", name);
        return false;
    }
    region = name;
    paintMode = 1;
    if (window == nullptr) {
        DeleteObject(created);
        return true;
    }
    // A layered window shows no region: painting turns direct.
    LONG_PTR extended = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if ((extended & WS_EX_LAYERED) != 0)
        SetWindowLongPtrW(window, GWL_EXSTYLE, extended & ~LONG_PTR(WS_EX_LAYERED));
    // From here the region belongs to the window.
    if (SetWindowRgn(window, created, TRUE) == 0)
        DeleteObject(created);
    InvalidateRect(window, nullptr, TRUE);
    return true;
}

FrameButton& FrameWindow::AddButton(int kind, ScriptObject* object, const FrameRect& rect, const char16_t* up,
                                    const char16_t* hover, const char16_t* down, int handCursor) {
    FrameButton button;
    button.kind = kind;
    button.button = object;
    button.rect = rect;
    button.imageUp = DecodeNamedImage(up);
    button.imageHover = DecodeNamedImage(hover);
    button.imageDown = DecodeNamedImage(down);
    button.handCursor = handCursor;
    FrameButton& added = buttons.Append(std::move(button));
    LookChanged();
    return added;
}

FrameLabel& FrameWindow::AddLabel(FrameLabel&& label) {
    if (label.alignment < 0 || label.alignment > 2)
        label.alignment = 0;
    FrameLabel& added = labels.Append(std::move(label));
    LookChanged();
    return added;
}

FrameProgressBar& FrameWindow::AddProgressBar(int id, const FrameRect& rect, const char16_t* fontFace, int colour,
                                              int fontSize, int alignment, const char16_t* filled,
                                              const char16_t* empty) {
    FrameProgressBar bar;
    bar.id = id;
    bar.rect = rect;
    bar.fontFace = fontFace != nullptr ? fontFace : u"";
    bar.colour = colour;
    bar.fontSize = fontSize;
    bar.alignment = alignment;
    bar.filledImage = DecodeNamedImage(filled);
    bar.emptyImage = DecodeNamedImage(empty);
    FrameProgressBar& added = progressBars.Append(std::move(bar));
    LookChanged();
    return added;
}

bool FrameWindow::SetProgress(float progress) {
    for (_dword i = 0; i < progressBars.Count(); i++) {
        if (progressBars[i].id != 0)
            continue;
        progressBars[i].progress = progress;
        if (window != nullptr) {
            if (paintMode == 0) {
                RefreshLayered();
            } else {
                const FrameRect& rect = progressBars[i].rect;
                RECT area = {rect.left, rect.top, rect.right, rect.bottom};
                InvalidateRect(window, &area, FALSE);
                UpdateWindow(window);
            }
        }
        return true;
    }
    return false;
}

bool FrameWindow::SetLabelText(int id, const char16_t* text) {
    for (_dword i = 0; i < labels.Count(); i++) {
        if (labels[i].id != id)
            continue;
        labels[i].text = text != nullptr ? text : u"";
        if (window != nullptr) {
            if (paintMode == 0) {
                RefreshLayered();
            } else {
                InvalidateRect(window, nullptr, FALSE);
            }
        }
        return true;
    }
    return false;
}

const uint32_t* FrameWindow::BackgroundPixels(int targetWidth, int targetHeight) {
    if (background.image == nullptr)
        return nullptr;
    if (scaledFrom == background.image && scaledWidth == targetWidth && scaledHeight == targetHeight)
        return scaledBackground.data();
    scaledBackground.clear();
    scaledFrom = nullptr;
    Gdiplus::Bitmap* image = background.image;
    Gdiplus::Rect all(0, 0, INT(image->GetWidth()), INT(image->GetHeight()));
    Gdiplus::BitmapData data;
    if (image->LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
        return nullptr;
    if (data.Stride < all.Width * 4) {
        image->UnlockBits(&data);
        return nullptr;
    }
    scaledBackground.resize(size_t(targetWidth) * size_t(targetHeight));
    // Locked rows of 32-bit pixels are 4-byte aligned: the stride is a whole number of pixels.
    StretchPixels(static_cast<const uint32_t*>(data.Scan0), all.Width, all.Height, size_t(data.Stride) / 4u,
                  scaledBackground.data(), targetWidth, targetHeight);
    image->UnlockBits(&data);
    scaledFrom = background.image;
    scaledWidth = targetWidth;
    scaledHeight = targetHeight;
    return scaledBackground.data();
}

OffscreenBitmap* FrameWindow::CompositionBuffer(int targetWidth, int targetHeight) {
    if (composition == nullptr || composition->Width() != targetWidth || composition->Height() != targetHeight) {
        delete composition;
        composition = new OffscreenBitmap(targetWidth, targetHeight);
    }
    return composition->IsValid() ? composition : nullptr;
}

bool FrameWindow::Compose(OffscreenBitmap& target) {
    const int w = target.Width();
    const int h = target.Height();
    uint32_t* pixels = target.Bits();
    if (pixels == nullptr || !gdiplus.IsStarted())
        return false;
    GdiFlush();
    // The background is copied, not drawn: a plain copy of premultiplied pixels is what a
    // source-copy draw would do, at a fraction of the cost.
    const size_t bytes = size_t(w) * size_t(h) * 4u;
    if (const uint32_t* scaled = BackgroundPixels(w, h))
        memcpy(pixels, scaled, bytes);
    else
        memset(pixels, 0, bytes);
    // The elements are drawn straight into the buffer's memory, not through its device context.
    Gdiplus::Bitmap canvas(w, h, w * 4, PixelFormat32bppPARGB, reinterpret_cast<BYTE*>(pixels));
    if (canvas.GetLastStatus() != Gdiplus::Ok)
        return false;
    Gdiplus::Graphics graphics(&canvas);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
    graphics.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
    DrawFrameElements(graphics, *this);
    return true;
}

void FrameWindow::PushLayered() {
    if (window == nullptr)
        return;
    layeredStale = false;
    RECT bounds;
    GetWindowRect(window, &bounds);
    const int w = bounds.right - bounds.left;
    const int h = bounds.bottom - bounds.top;
    OffscreenBitmap* buffer = CompositionBuffer(w, h);
    if (buffer == nullptr || !Compose(*buffer))
        return;
    LONG_PTR extended = GetWindowLongPtrW(window, GWL_EXSTYLE);
    if ((extended & WS_EX_LAYERED) == 0)
        SetWindowLongPtrW(window, GWL_EXSTYLE, extended | WS_EX_LAYERED);
    POINT destination = {bounds.left, bounds.top};
    SIZE size = {w, h};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    HDC screen = GetDC(nullptr);
    UpdateLayeredWindow(window, screen, &destination, &size, buffer->Dc(), &source, 0, &blend, ULW_ALPHA);
    ReleaseDC(nullptr, screen);
}

void FrameWindow::PaintDirect(HWND hwnd) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    if (dc == nullptr)
        return;
    RECT bounds;
    GetWindowRect(hwnd, &bounds);
    const int w = bounds.right - bounds.left;
    const int h = bounds.bottom - bounds.top;
    // Composed off-screen and copied in one go: no flicker, and the same look as layered.
    OffscreenBitmap* buffer = CompositionBuffer(w, h);
    if (buffer != nullptr && Compose(*buffer)) {
        BitBlt(dc, paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right - paint.rcPaint.left,
               paint.rcPaint.bottom - paint.rcPaint.top, buffer->Dc(), paint.rcPaint.left, paint.rcPaint.top, SRCCOPY);
    }
    EndPaint(hwnd, &paint);
}

void FrameWindow::RedrawButton(_dword index) {
    if (window == nullptr)
        return;
    if (paintMode == 0) {
        PushLayered();
        return;
    }
    const FrameRect& r = buttons[index].rect;
    RECT area = {r.left, r.top, r.right, r.bottom};
    InvalidateRect(window, &area, FALSE);
    UpdateWindow(window);
}

void FrameWindow::PlaceAttached() {
    if (attachedWindow == nullptr || window == nullptr)
        return;
    RECT bounds;
    GetWindowRect(window, &bounds);
    SetWindowPos(attachedWindow, nullptr, bounds.left + attachedX, bounds.top + attachedY, attachedWidth,
                 attachedHeight, SWP_NOZORDER | SWP_NOSENDCHANGING | SWP_NOACTIVATE);
}

void FrameWindow::TrackButtons(UINT message, POINT cursor) {
    bool recomposed = false;
    for (_dword i = 0; i < buttons.Count(); i++) {
        FrameButton& button = buttons[i];
        const bool inside = StrictlyContains(button.rect, cursor.x, cursor.y);
        int state = button.state;
        if (message == WM_NCHITTEST)
            state = inside ? 1 : 0;
        else if (inside)
            state = message == WM_LBUTTONDOWN ? 2 : 1;
        if (state != button.state) {
            button.state = state;
            // A layered frame recomposes once for all changes of one message.
            if (paintMode != 0)
                RedrawButton(i);
            else
                recomposed = true;
        }
        if (inside && message == WM_LBUTTONUP && sButtonHandler != nullptr) {
            // The handler may destroy the frame: nothing of it is touched afterwards.
            HWND self = window;
            sButtonHandler(button.kind, button.button, this);
            if (!IsWindow(self))
                return;
            if (i >= buttons.Count())
                break;
        }
    }
    if (recomposed)
        PushLayered();
}

LRESULT CALLBACK FrameWindow::WindowProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    return RouteToRecord<FrameWindow>(hwnd, message, wparam, lparam, &FrameWindow::HandleMessage);
}

LRESULT FrameWindow::HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    // The handle is stored only once CreateWindowEx has returned and cleared before the window
    // is destroyed, so the hook sees only frames that the launcher knows.
    if (window == nullptr)
        return DefWindowProcW(hwnd, message, wparam, lparam);
    if (sMessageHook != nullptr && sMessageHook(FrameMessage{message, wparam, lparam, this}))
        return 0;
    // Hit tests use where the cursor is now, not where the message says it was.
    const POINT cursor = ClientCursor(hwnd);

    switch (message) {
    case WM_CLOSE:
        PostQuitMessage(0);
        break;
    case WM_NCPAINT:
        // No frame or caption is drawn.
        return 0;
    case WM_ERASEBKGND:
        // Painting covers the whole window; erasing first would only flicker.
        return 1;
    case WM_PAINT:
        if (paintMode == 0) {
            PushLayered();
            ValidateRect(hwnd, nullptr);
        } else {
            PaintDirect(hwnd);
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        TrackButtons(message, cursor);
        if (!IsWindow(hwnd))
            return 0;
        break;
    case WM_NCHITTEST: {
        TrackButtons(message, cursor);
        for (_dword i = 0; i < buttons.Count(); i++) {
            if (StrictlyContains(buttons[i].rect, cursor.x, cursor.y))
                return HTCLIENT;
        }
        // Every point that is not a button drags the window.
        return HTCAPTION;
    }
    case WM_SHOWWINDOW:
        if (wparam != 0 && paintMode == 0 && layeredStale)
            PushLayered();
        break;
    case WM_MOVE:
    case WM_MOUSEACTIVATE:
        if (followAttached == 1)
            PlaceAttached();
        break;
    case WM_ACTIVATE:
        if (wparam != 0 && followAttached == 1)
            PlaceAttached();
        break;
    case WM_SETCURSOR:
        for (_dword i = 0; i < buttons.Count(); i++) {
            if (StrictlyContains(buttons[i].rect, cursor.x, cursor.y)) {
                SetCursor(LoadCursorW(nullptr, buttons[i].handCursor != 0 ? IDC_HAND : IDC_ARROW));
                return 1;
            }
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

} // namespace Volux
