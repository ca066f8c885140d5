// GDI+ kept started while a session lives. Every frame and the main window hold one, so images
// and drawing work for as long as they exist; sessions share one start-up.
#pragma once

#include <stdint.h>

namespace Volux {

class GdiplusSession {
public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

    bool IsStarted() const { return token != 0; }

private:
    uintptr_t token = 0;
};

} // namespace Volux
