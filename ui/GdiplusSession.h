// One GDI+ start-up, shut down when the session ends. Every frame holds one for its life, so
// images and drawing work whatever else has started or stopped GDI+.
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
