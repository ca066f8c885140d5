// Pages for launcher tests: a real web window whose document is a fake that records what it
// was asked and reports the address the test gives it.
#pragma once

#include <windows.h>

#include "ui/WebWindow.h"

namespace VoluxTest {

class FakeDocument : public Volux::PageDocument {
public:
    int Navigate(const char16_t* url) override {
        navigations++;
        location = url != nullptr ? url : u"";
        return 0;
    }
    bool IsReady() override { return ready; }
    Volux::WString Location() override { return location; }
    Volux::WString FormFields() override { return Volux::WString(); }
    bool Reload() override {
        reloads++;
        return true;
    }

    Volux::WString location;
    bool ready = false;
    int navigations = 0;
    int reloads = 0;
};

// A kind-0 page in parent with the fake document; destroy it with DestroyWebWindow (the fake
// is the caller's).
inline Volux::WebWindow* MakeFakePage(HWND parent, FakeDocument& document, int kind = 0) {
    Volux::WebWindow* page = Volux::CreateWebWindow(kind, parent, 0, 0, 200, 150);
    if (page != nullptr)
        page->document = &document;
    return page;
}

} // namespace VoluxTest
