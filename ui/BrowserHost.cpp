#include "ui/BrowserHost.h"

#include "Common/Log.h"

namespace Volux {

// The control is not hosted yet: every window is a window without host.
BrowserHost* BrowserHost::Create(HWND window) {
    PrintLine(u"[MC] Browser control not available in window 0x%x", unsigned(uintptr_t(window)));
    return nullptr;
}

BrowserHost* BrowserHost::CreateWithoutControl(HWND) { return nullptr; }

void BrowserHost::Destroy(BrowserHost*) {}

PageDocument* BrowserHost::Document() { return nullptr; }

void BrowserHost::Resize(int, int) {}

void BrowserHost::SetOption(char, int) {}

int BrowserHost::Option(char) const { return 0; }

bool BrowserHost::TranslateKey(const MSG&) { return false; }

HWND BrowserHost::Window() const { return nullptr; }

IUnknown* BrowserHost::QueryPart(REFIID) { return nullptr; }

IDispatch* BrowserHost::EventSink() { return nullptr; }

IDispatch* BrowserHost::External() { return nullptr; }

ULONG BrowserHost::References() const { return 0; }

} // namespace Volux
