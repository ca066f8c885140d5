#include "launcher/PageCommands.h"

#include <shellapi.h>

#include "Common/Log.h"
#include "Platform/WideText_win32.h"
#include "launcher/GameTurn.h"
#include "launcher/PageEvents.h"
#include "launcher/Popups.h"
#include "loader/LoaderHost.h"
#include "ui/LoadingWindow.h"
#include "ui/MainWindow.h"
#include "Platform/File.h"

namespace Volux {

namespace {

bool ShellLaunch(const char16_t* target, bool folder) {
    // The target is the shell's file, not a command line: nothing in it can add arguments.
    const HINSTANCE result =
        ShellExecuteW(nullptr, folder ? L"explore" : L"open", WidePtr(target), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

LaunchFunction sLaunch = nullptr;

void RunKick(LauncherState& state) {
    const WString& address = !state.exitURL.IsEmpty() ? state.exitURL : state.serverLogoutURL;
    if (address.IsEmpty())
        return;
    PrintLine(u"[MC] Logoff to %ls", address.Text());
    const WString target = address;  // the switch may replace the game page, not the address
    SwitchLocation(state, target, false);
    QuitMainLoop(state);
}

void RunButton(LauncherState& state, CommandArguments* arguments, int count) {
    if (count < 2) {
        PrintLine(u"[MC] Button param count error %d", count);
        SetCommandResult(arguments, false);
        return;
    }
    WString name;
    WString action;
    CommandText(*arguments, 0, name);
    CommandText(*arguments, 1, action);
    if (name != u"close")
        return;
    MainWindow& main = state.mainWindowRecord;
    if (action == u"hide" || action == u"show") {
        main.UpdateButton(1005, nullptr, nullptr, action == u"hide" ? 0 : 255);
        if (main.window != nullptr)
            RedrawWindow(main.window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
    } else if (action == u"reg") {
        state.closeRegistered = 1;
    } else if (action == u"unreg") {
        state.closeRegistered = 0;
    } else if (action == u"click") {
        state.quitState = 1;
        QuitMainLoop(state);
    }
}

void RunPopup(LauncherState& state, CommandArguments* arguments, int count) {
    if (count < 6) {
        PrintLine(u"[MC] Openvideo / QQpay param count error %d", count);
        SetCommandResult(arguments, false);
        return;
    }
    const int x = CommandInteger(*arguments, 0);
    const int y = CommandInteger(*arguments, 1);
    const int width = CommandInteger(*arguments, 2);
    const int height = CommandInteger(*arguments, 3);
    WString title;
    WString address;
    CommandText(*arguments, 4, title);
    CommandText(*arguments, 5, address);
    const bool scrollBars = CommandBoolean(*arguments, 6);
    PrintLine(u"[MC] Openvideo / QQpay: %d,%d,%d,%d,%ls,%ls,%d", x, y, width, height, title.Text(), address.Text(),
              scrollBars ? 1 : 0);
    if (!address.IsEmpty() && !IsWebAddress(address)) {
        PrintLine(u"[MC] Popup address refused: %ls", address.Text());
        SetCommandResult(arguments, false);
        return;
    }
    SetCommandResult(arguments, OpenVideoWindow(state, x, y, width, height, title, address, scrollBars));
}

void RunLaunch(CommandArguments* arguments, int count) {
    if (count < 1) {
        PrintLine(u"[MC] launch param count error %d", count);
        SetCommandResult(arguments, false);
        return;
    }
    WString target;
    CommandText(*arguments, 0, target);
    PrintLine(u"[MC] launch: %ls", target.Text());
    WString resolved;
    const int kind = ClassifyLaunchTarget(target, FileSystem::CurrentDirectory(), resolved);
    if (kind == _LAUNCH_REFUSED) {
        PrintLine(u"[MC] launch refused: %ls", target.Text());
        SetCommandResult(arguments, false);
        return;
    }
    const bool folder = kind == _LAUNCH_FOLDER;
    SetCommandResult(arguments, (sLaunch != nullptr ? sLaunch : &ShellLaunch)(resolved, folder));
}

// Every text of the list within its ceiling: a list with one too long is refused whole.
bool TextsWithinCeiling(const CommandArguments* arguments, int count) {
    WString text;
    for (int i = 0; i < count; i++) {
        if (!CommandText(*arguments, i, text))
            return false;
    }
    return true;
}

} // namespace

void SetLaunchFunction(LaunchFunction launch) { sLaunch = launch; }

void RunCommandWord(LauncherState& state, const CommandSender& sender, const char16_t* word,
                    CommandArguments* arguments) {
    if (sender.crossThread) {
        // Another thread's or process's pointers: neither the word nor the list is read.
        PrintLine(u"[MC] _WM_INVOKE from another thread or process refused");
        return;
    }
    if (BoundedTextLength(word, _MAX_COMMAND_TEXT) < 0) {
        PrintLine(u"[MC] _WM_INVOKE word longer than %d characters refused", _MAX_COMMAND_TEXT);
        return;
    }
    const char16_t* text = NonNull(word);
    PrintLine(u"[MC] _WM_INVOKE called, %ls", text);
    const int count = CommandArgumentCount(arguments);
    if (count < 0) {
        PrintLine(u"[MC] _WM_INVOKE %ls: argument list unreadable, refused", text);
        return;
    }
    if (!TextsWithinCeiling(arguments, count)) {
        PrintLine(u"[MC] _WM_INVOKE %ls: argument longer than %d characters refused", text, _MAX_COMMAND_TEXT);
        SetCommandResult(arguments, false);
        return;
    }
    if (IsLauncherWord(state, text, arguments) && !IsTrustedCommandSource(state, sender)) {
        PrintLine(u"[MC] _WM_INVOKE %ls refused from %ls", text,
                  sender.kind == _SENDER_PAGE ? sender.address.Text() : u"an unknown sender");
        SetCommandResult(arguments, false);
        return;
    }
    if (state.kickFunction == text) {
        RunKick(state);
        return;
    }
    if (Text::Equals(text, u"refresh")) {
        if (arguments == nullptr)
            return;
        WString address;
        CommandText(*arguments, 0, address);
        SwitchLocation(state, address, false);
        QuitMainLoop(state);
    } else if (Text::Equals(text, u"logindone")) {
        state.loggedIn = 1;
    } else if (Text::Equals(text, u"maxwin")) {
        state.loadingSized = 0;
        if (state.mainWindowRecord.window != nullptr)
            ShowWindow(state.mainWindowRecord.window, SW_SHOWMAXIMIZED);
    } else if (Text::Equals(text, u"button")) {
        RunButton(state, arguments, count);
    } else if (Text::Equals(text, u"openvideo") || Text::Equals(text, u"qqpay")) {
        RunPopup(state, arguments, count);
    } else if (Text::Equals(text, u"qqpay2")) {
        if (count < 1) {
            PrintLine(u"[MC] QQpay2 param count error %d", count);
            SetCommandResult(arguments, false);
            return;
        }
        WString address;
        CommandText(*arguments, 0, address);
        PrintLine(u"[MC] QQpay2: %ls", address.Text());
        // The platform bridge that opens payment pages is not part of this build.
        PrintLine(u"[MC] Platform bridge not available");
        SetCommandResult(arguments, false);
    } else if (Text::Equals(text, u"launch")) {
        RunLaunch(arguments, count);
    } else {
        TheLoaderHost().Forward(_WM_INVOKE, WPARAM(word), LPARAM(arguments));
    }
}

CommandSender SenderOfCommand(const LauncherState& state, HWND target) {
    CommandSender sender;
    sender.crossThread = (InSendMessageEx(nullptr) & (ISMEX_SEND | ISMEX_NOTIFY | ISMEX_CALLBACK)) != 0;
    if (target != nullptr && target == state.gameWindow) {
        sender.kind = _SENDER_PLUGIN;
        return sender;
    }
    for (HWND window = GetFocus(); window != nullptr; window = GetParent(window)) {
        if (WebWindow* page = WebWindowOf(window)) {
            sender.kind = _SENDER_PAGE;
            sender.address = PageLocation(*page);
            sender.gamePage = page == state.gamePage || page == FindGamePage(state.pages);
            return sender;
        }
    }
    if (TheLoaderHost().IsLoaded())
        sender.kind = _SENDER_PLUGIN;
    return sender;
}

} // namespace Volux
