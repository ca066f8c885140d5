// The loader host window: a plain child of the game window that the loader plug-in renders
// into, with the loading screen painted over it until the plug-in's first frame. The launcher
// reaches in through three hooks: creation, messages and exit.
#pragma once

#include <windows.h>

#include "ui/GdiplusSession.h"

namespace Gdiplus {
class Bitmap;
class Font;
}

namespace Volux {

struct LoadingWindowHooks {
    // Right after creation; false makes the creation fail (the window itself stays).
    bool (*onCreate)(HWND window) = nullptr;
    // Every message of the window; true = handled.
    bool (*onMessage)(HWND window, UINT message, WPARAM wparam, LPARAM lparam) = nullptr;
    // At shutdown.
    void (*onExit)() = nullptr;
};

// The hooks are copied; null removes them (the procedure is then the default one).
void SetLoadingWindowHooks(const LoadingWindowHooks* hooks);
const LoadingWindowHooks* LoadingWindowHooksInstalled();

// Creates the host window as a visible child of parent at the given place, then calls
// onCreate. The window handle is stored in window even when onCreate refuses; the result is
// true when the window exists and onCreate (if any) agreed.
bool CreateLoadingWindow(HWND parent, int x, int y, int width, int height, const char16_t* title, HWND& window);

// The command-word message: pages, the plug-in and the host itself send it to the host window.
constexpr UINT _WM_INVOKE = WM_USER + 62;

// Timer id 1 on the host window wakes the message pump while the loading screen shows.
constexpr UINT_PTR _LOADING_TIMER = 1;
constexpr UINT _LOADING_TIMER_PERIOD = 100;

// What the loading screen shows: a dark fill, an animation in the middle, the progress over it
// as a whole percentage and, when loading failed, a message below it.
class LoadingScreen {
public:
    static constexpr int _FRAMES = 24;  // frames the animation cycles through
    static constexpr int _FRAME_MS = 83;  // a frame lasts longer than this

    LoadingScreen() = default;
    ~LoadingScreen();
    LoadingScreen(const LoadingScreen&) = delete;
    LoadingScreen& operator=(const LoadingScreen&) = delete;

    // Starts GDI+, decodes the animation resource and makes the two fonts. A missing
    // animation leaves the screen dark.
    void Load(const char16_t* animationResource);
    void Release();
    bool HasAnimation() const { return frameCount > 0; }
    int Frame() const { return frame; }

    // Advances the animation by the elapsed milliseconds: at most one frame per call.
    void Advance(unsigned elapsed);
    // Paints into the window's client area. showMessage draws message under the animation.
    void Paint(HWND window, float progress, bool showMessage, const char16_t* message);
    // The same into a device context of the given size (for tests and Paint).
    void Draw(HDC target, int width, int height, float progress, bool showMessage, const char16_t* message);

private:
    GdiplusSession* gdiplus = nullptr;
    Gdiplus::Bitmap* frames[_FRAMES] = {};
    int frameCount = 0;
    int frame = 0;
    unsigned clock = 0;
    Gdiplus::Font* figureFont = nullptr;
    Gdiplus::Font* messageFont = nullptr;
};

} // namespace Volux
