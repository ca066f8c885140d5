#include "ui/GdiplusSession.h"

#include "ui/GdiplusApi.h"

#include "Common/Log.h"
#include "ui/ResourceImage.h"

namespace Volux {

namespace {

// Sessions share one GDI+ start-up: the first starts it, the last shuts it down. Starting and
// stopping the library with every frame would cost a full shutdown each time a frame goes
// (seconds on some systems). All windows live on the UI thread, so no lock is needed.
ULONG_PTR sToken = 0;
int sSessions = 0;

} // namespace

GdiplusSession::GdiplusSession() {
    if (sSessions == 0) {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR started = 0;
        Gdiplus::Status status = Gdiplus::GdiplusStartup(&started, &input, nullptr);
        if (status != Gdiplus::Ok) {
            PrintLine(u"[MC] GDI+ start-up failed, status %d", int(status));
            return;
        }
        sToken = started;
    }
    sSessions++;
    token = sToken;
}

GdiplusSession::~GdiplusSession() {
    if (token == 0)
        return;
    if (--sSessions == 0) {
        ReleaseSharedImages();
        Gdiplus::GdiplusShutdown(sToken);
        sToken = 0;
    }
}

} // namespace Volux
