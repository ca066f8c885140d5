// The host of one WebBrowser control inside a web window: the control's OLE object and the
// small COM objects the control talks to (client site, in-place site and frame, UI handler,
// command target, event sink, window.external). The web window owns one reference; the
// control holds its own while it runs, and the host's memory goes with the last of them.
#pragma once

#include <windows.h>

#include <ole2.h>

namespace Volux {

class PageDocument;
struct BrowserHostState;

class BrowserHost {
public:
    // Makes the control in the window's client area and activates it in place. Null, after
    // releasing whatever was made, when any step fails (no control, no in-place activation).
    static BrowserHost* Create(HWND window);
    // The host without a control: its interfaces answer as with one, the document is null.
    // For driving the host as a control would, and for windows whose control is supplied later.
    static BrowserHost* CreateWithoutControl(HWND window);
    // Disconnects and closes the control and drops the owner's reference. Null is ignored.
    static void Destroy(BrowserHost* host);

    // The page document over the control, null without a control.
    PageDocument* Document();
    // The control takes the window's new client size.
    void Resize(int width, int height);
    // Switches 's' scroll bars, 'a' active content, 'm' page messages, 'c' context menu
    // (each initially 1). Other letters are ignored.
    void SetOption(char letter, int value);
    int Option(char letter) const;
    // Offers a key message to the control's in-place active object; true when it took it.
    bool TranslateKey(const MSG& message);

    HWND Window() const;
    // Interfaces as the control sees them; each call adds a reference the caller releases.
    // Null for an interface the host does not have.
    IUnknown* QueryPart(REFIID iid);
    // The sink connected to the control's events, and the object pages reach as
    // window.external; the caller releases them.
    IDispatch* EventSink();
    IDispatch* External();
    // References held on the host's memory (for checking the counting).
    ULONG References() const;

private:
    BrowserHost() = default;
    ~BrowserHost() = default;
    friend struct BrowserHostState;
    BrowserHostState* mState = nullptr;
};

} // namespace Volux
