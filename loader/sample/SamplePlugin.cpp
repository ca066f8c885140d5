// The sample loader plug-in: the smallest library that honours the loader contract, and the
// example a game's own loader starts from. It draws a ball bouncing over a dark gradient, the
// game parameters it was given, the last input it saw and a frame counter, with plain GDI into
// the host window.
//
// The contract, as the micro-client drives it (all on its UI thread, C calling convention,
// UTF-16 strings, names exported undecorated - see sample_plugin.def):
//   _VoluxCreate(host, "", "", "", 1)   once, after loading; non-zero = created
//   _VoluxSetup(name, value)            once per game parameter, in order
//   _VoluxUpdate(host, elapsedMs)       on every idle pass; non-zero = a frame is ready
//   _VoluxRender(host)                  right after each non-zero _VoluxUpdate
//   _VoluxMessage(host, msg, wp, lp)    the host window's messages, once frames are rendered;
//                                       non-zero = handled
//   _VoluxDelete(host)                  before the library is unloaded
//   _VoluxProgress()                    looked up by the host, never called
//
// Nothing here allocates from the heap, so no C++ exception can reach the host through
// these C entry points; text that does not fit its buffer is cut short.
#include <windows.h>

#include <math.h>
#include <wchar.h>

namespace {

constexpr int _MAX_PARAMETERS = 24;
constexpr int _NAME_CHARS = 48;
constexpr int _VALUE_CHARS = 160;
// About sixty frames a second: the host ticks far more often than that when idle.
constexpr int _FRAME_MS = 16;
// A late tick (a dragged window, a debugger) moves the ball at most this far in time.
constexpr int _LONGEST_STEP_MS = 100;
constexpr int _BALL_RADIUS = 22;

struct GameParameter {
    wchar_t name[_NAME_CHARS];
    wchar_t value[_VALUE_CHARS];
};

struct Plugin {
    HWND host = nullptr;
    HFONT titleFont = nullptr;
    HFONT textFont = nullptr;

    GameParameter parameters[_MAX_PARAMETERS] = {};
    int parameterCount = 0;

    int sinceFrameMs = 0;       // time gathered towards the next frame
    unsigned framesRendered = 0;
    unsigned clockMs = 0;       // drives the ball's colour

    // The ball, in client pixels and pixels per second; placed on the first update, when the
    // window's size is known.
    bool ballPlaced = false;
    double ballX = 0, ballY = 0;
    double speedX = 180, speedY = 130;

    bool active = false;        // as last told through WM_ACTIVATE
    wchar_t lastKey[64] = L"none yet";
    POINT mouse = {-1, -1};
    POINT click = {-1, -1};
};

Plugin gPlugin;

void CopyText(wchar_t* target, int capacity, const wchar_t* source) {
    if (source == nullptr) {
        source = L"";
    }
    int n = 0;
    for (; n < capacity - 1 && source[n] != 0; ++n) {
        target[n] = source[n];
    }
    target[n] = 0;
}

void ResetPlugin() {
    if (gPlugin.titleFont != nullptr) {
        DeleteObject(gPlugin.titleFont);
    }
    if (gPlugin.textFont != nullptr) {
        DeleteObject(gPlugin.textFont);
    }
    gPlugin = Plugin();
}

HFONT MakeFont(int pixels, int weight) {
    return CreateFontW(-pixels, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial");
}

COLORREF Mix(COLORREF a, COLORREF b, int part, int whole) {
    auto channel = [&](int shift) {
        int from = (a >> shift) & 0xFF, to = (b >> shift) & 0xFF;
        return (from + (to - from) * part / whole) << shift;
    };
    return COLORREF(channel(0) | channel(8) | channel(16));
}

// Moves the ball by one time step and bounces it off the client edges.
void MoveBall(const RECT& client, int stepMs) {
    double width = client.right, height = client.bottom;
    if (!gPlugin.ballPlaced) {
        gPlugin.ballX = width / 3;
        gPlugin.ballY = height / 2;
        gPlugin.ballPlaced = true;
    }
    gPlugin.ballX += gPlugin.speedX * stepMs / 1000.0;
    gPlugin.ballY += gPlugin.speedY * stepMs / 1000.0;
    if (gPlugin.ballX < _BALL_RADIUS || gPlugin.ballX > width - _BALL_RADIUS) {
        gPlugin.speedX = gPlugin.ballX < _BALL_RADIUS ? fabs(gPlugin.speedX) : -fabs(gPlugin.speedX);
    }
    if (gPlugin.ballY < _BALL_RADIUS || gPlugin.ballY > height - _BALL_RADIUS) {
        gPlugin.speedY = gPlugin.ballY < _BALL_RADIUS ? fabs(gPlugin.speedY) : -fabs(gPlugin.speedY);
    }
}

void DrawTextLine(HDC dc, int x, int y, const wchar_t* text) {
    TextOutW(dc, x, y, text, int(wcslen(text)));
}

void DrawScene(HDC dc, const RECT& client) {
    // The background: a vertical gradient in bands of the DC brush, so a frame creates no brush.
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
    const int band = 4;
    for (int y = 0; y < client.bottom; y += band) {
        SetDCBrushColor(dc, Mix(RGB(0x1C, 0x26, 0x40), RGB(0x06, 0x08, 0x10), y, client.bottom > 0 ? client.bottom : 1));
        PatBlt(dc, 0, y, client.right, band, PATCOPY);
    }

    // The ball, its colour drifting round the wheel over six seconds.
    double phase = (gPlugin.clockMs % 6000) / 6000.0 * 6.2831853;
    COLORREF ball = RGB(int(150 + 100 * sin(phase)), int(150 + 100 * sin(phase + 2.094)), int(150 + 100 * sin(phase + 4.189)));
    SetDCBrushColor(dc, ball);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    int bx = int(gPlugin.ballX), by = int(gPlugin.ballY);
    Ellipse(dc, bx - _BALL_RADIUS, by - _BALL_RADIUS, bx + _BALL_RADIUS, by + _BALL_RADIUS);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);

    // The text.
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dc, gPlugin.titleFont);
    SetTextColor(dc, RGB(0xF0, 0xE6, 0xC8));
    DrawTextLine(dc, 20, 16, L"Sample game");

    SelectObject(dc, gPlugin.textFont);
    SetTextColor(dc, RGB(0xD8, 0xDC, 0xE8));
    wchar_t line[256];
    int y = 60;
    const int lineHeight = 20;
    swprintf(line, 256, L"Frame %u", gPlugin.framesRendered);
    DrawTextLine(dc, 20, y, line);
    y += lineHeight;
    DrawTextLine(dc, 20, y, gPlugin.active ? L"Window active" : L"Window inactive");
    y += lineHeight;
    swprintf(line, 256, L"Last key: %ls", gPlugin.lastKey);
    DrawTextLine(dc, 20, y, line);
    y += lineHeight;
    swprintf(line, 256, L"Mouse: %ld, %ld   last click: %ld, %ld", gPlugin.mouse.x, gPlugin.mouse.y, gPlugin.click.x,
             gPlugin.click.y);
    DrawTextLine(dc, 20, y, line);
    y += lineHeight * 3 / 2;

    swprintf(line, 256, L"Game parameters (%d):", gPlugin.parameterCount);
    DrawTextLine(dc, 20, y, line);
    y += lineHeight;
    SetTextColor(dc, RGB(0xA8, 0xB4, 0xCC));
    for (int i = 0; i < gPlugin.parameterCount && y < client.bottom; ++i, y += lineHeight) {
        swprintf(line, 256, L"%ls = %ls", gPlugin.parameters[i].name, gPlugin.parameters[i].value);
        DrawTextLine(dc, 32, y, line);
    }
    SelectObject(dc, oldFont);
}

} // namespace

extern "C" {

// The host passes its window, three strings and an integer whose meaning is ours to define;
// this sample needs none of them but the window.
int __cdecl _VoluxCreate(HWND host, const wchar_t*, const wchar_t*, const wchar_t*, int) {
    ResetPlugin();
    if (!IsWindow(host)) {
        return 0;
    }
    gPlugin.host = host;
    gPlugin.titleFont = MakeFont(28, FW_BOLD);
    gPlugin.textFont = MakeFont(15, FW_NORMAL);
    return 1;
}

void __cdecl _VoluxDelete(HWND) {
    ResetPlugin();
}

// Parameters come one by one after creation; a name given again replaces its value.
void __cdecl _VoluxSetup(const wchar_t* name, const wchar_t* value) {
    if (name == nullptr || name[0] == 0) {
        return;
    }
    int slot = 0;
    while (slot < gPlugin.parameterCount && wcsncmp(gPlugin.parameters[slot].name, name, _NAME_CHARS - 1) != 0) {
        ++slot;
    }
    if (slot == _MAX_PARAMETERS) {
        return;
    }
    if (slot == gPlugin.parameterCount) {
        ++gPlugin.parameterCount;
        CopyText(gPlugin.parameters[slot].name, _NAME_CHARS, name);
    }
    CopyText(gPlugin.parameters[slot].value, _VALUE_CHARS, value);
}

int __cdecl _VoluxUpdate(HWND host, int elapsedMs) {
    if (host != gPlugin.host) {
        return 0;
    }
    if (elapsedMs < 0) {
        elapsedMs = 0;
    }
    int stepMs = elapsedMs < _LONGEST_STEP_MS ? elapsedMs : _LONGEST_STEP_MS;
    RECT client;
    GetClientRect(host, &client);
    MoveBall(client, stepMs);
    gPlugin.clockMs += unsigned(stepMs);
    gPlugin.sinceFrameMs += stepMs;
    // The first frame is ready at once, so the host's loading screen gives way immediately.
    if (gPlugin.framesRendered > 0 && gPlugin.sinceFrameMs < _FRAME_MS) {
        return 0;
    }
    gPlugin.sinceFrameMs = 0;
    return 1;
}

// Drawn into a memory bitmap and copied in one BitBlt, so the window never shows half a frame.
void __cdecl _VoluxRender(HWND host) {
    if (host != gPlugin.host) {
        return;
    }
    RECT client;
    GetClientRect(host, &client);
    if (client.right <= 0 || client.bottom <= 0) {
        return;  // minimised or not laid out yet
    }
    HDC windowDc = GetDC(host);
    if (windowDc == nullptr) {
        return;
    }
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, client.right, client.bottom);
    if (memoryDc != nullptr && bitmap != nullptr) {
        HGDIOBJ oldBitmap = SelectObject(memoryDc, bitmap);
        ++gPlugin.framesRendered;
        DrawScene(memoryDc, client);
        BitBlt(windowDc, 0, 0, client.right, client.bottom, memoryDc, 0, 0, SRCCOPY);
        SelectObject(memoryDc, oldBitmap);
    }
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
    }
    if (memoryDc != nullptr) {
        DeleteDC(memoryDc);
    }
    ReleaseDC(host, windowDc);
}

int __cdecl _VoluxMessage(HWND host, unsigned message, WPARAM wparam, LPARAM lparam) {
    if (host != gPlugin.host) {
        return 0;
    }
    switch (message) {
    case WM_ACTIVATE:
        gPlugin.active = LOWORD(wparam) != WA_INACTIVE;
        return 1;
    case WM_KEYDOWN: {
        wchar_t name[32];
        if (GetKeyNameTextW(LONG(lparam), name, 32) <= 0) {
            CopyText(name, 32, L"?");
        }
        swprintf(gPlugin.lastKey, 64, L"%ls (virtual key 0x%02X)", name, unsigned(wparam));
        return 1;
    }
    case WM_CHAR:
        // Printable characters replace the key name with the character typed.
        if (wparam >= 0x20) {
            swprintf(gPlugin.lastKey, 64, L"'%lc' (character 0x%04X)", wchar_t(wparam), unsigned(wparam));
        }
        return 1;
    case WM_MOUSEMOVE:
        gPlugin.mouse = {short(LOWORD(lparam)), short(HIWORD(lparam))};
        return 1;
    case WM_LBUTTONDOWN:
        // A click also places the ball under the pointer.
        gPlugin.click = gPlugin.mouse = {short(LOWORD(lparam)), short(HIWORD(lparam))};
        gPlugin.ballX = gPlugin.click.x;
        gPlugin.ballY = gPlugin.click.y;
        gPlugin.ballPlaced = true;
        return 1;
    default:
        return 0;
    }
}

// Looked up by the host but never called; exported so the library carries the full set.
void __cdecl _VoluxProgress(void) {
}

} // extern "C"
