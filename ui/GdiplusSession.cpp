#include "ui/GdiplusSession.h"

#include "ui/GdiplusApi.h"

#include "Common/Log.h"

namespace Volux {

GdiplusSession::GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR started = 0;
    Gdiplus::Status status = Gdiplus::GdiplusStartup(&started, &input, nullptr);
    if (status != Gdiplus::Ok) {
        PrintLine(u"[MC] GDI+ start-up failed, status %d", int(status));
        return;
    }
    token = started;
}

GdiplusSession::~GdiplusSession() {
    if (token != 0)
        Gdiplus::GdiplusShutdown(token);
}

} // namespace Volux
