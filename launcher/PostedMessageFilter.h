// Messages whose parameters point into the sender's memory (the command word and its list,
// a page title, a platform-page record) are only ever sent, on the UI thread, by the plug-in
// and the pages. Posted, they could come from any program on the desktop with any number in
// them: the filter turns every posted one into WM_NULL before any window sees it, in the
// launcher's own loops and in the system's modal ones alike.
#pragma once

#include <windows.h>

namespace Volux {

// The messages the filter neutralises when they arrive through the queue.
bool IsPointerMessage(UINT message);

// A message hook on the calling thread; false (logged) when the system refuses it. Installing
// twice keeps one hook.
bool InstallPostedMessageFilter();
void RemovePostedMessageFilter();

} // namespace Volux
