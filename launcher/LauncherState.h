// The process-wide launcher record: settings that scripts reach, the frame slots, the page
// list, the prompts, and the values the main loop steers by. Every field holds its default
// from the moment the record is made, before any script runs.
#pragma once

#include <windows.h>

#include "Common/Array.h"
#include "Common/Singleton.h"
#include "Common/WString.h"
#include "ui/MainWindow.h"
#include "ui/PopupSettings.h"
#include "ui/WebWindow.h"

namespace Volux {

class FrameWindow;
class SetupDownload;

// A page a script asked for on a frame; the web window is made from it once pages exist.
struct PageRequest {
    int slot = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    WString url;
    int kind = 0;
    _byte force = 0;  // show before the page is done loading
};

// An entry of the command table behind menu items and title-bar buttons.
struct LauncherCommand {
    int id = 0;
    WString url;
    int value = -1;
};

// How server information is fetched, as setInfoServer gives it.
struct InfoServerSettings {
    WString urlTemplate;  // with "{%ls}" and "{sign}"
    WString idKey;
    WString altIdKey;
    WString errorKey;
    WString okValue;
    WString signTemplate;
};

// Keys of the server information that fill the user, drop-down and chat entries.
struct ServerInfoKeys {
    WString userKey;
    WString logoutKey;
    WString dropDownKeys[4];
    WString chatKeys[2];
};

class LauncherState : public Singleton<LauncherState> {
public:
    static constexpr int _FRAME_SLOTS = 7;

    // windowFlags bits.
    static constexpr _dword _FLAG_DEFAULT = 0x01;  // passed on to the main window
    static constexpr _dword _FLAG_SYSTEM_BUTTON = 0x10;
    static constexpr _dword _FLAG_MAX_BUTTON = 0x20;
    static constexpr _dword _FLAG_MIN_BUTTON = 0x40;
    static constexpr _dword _FLAG_NOT_RESIZABLE = 0x80;
    static constexpr _dword _FLAG_MAXIMISE_AT_START = 0x100;

    LauncherState() = default;

    // What the open confirmation asks for: 0 none, 1 quit, 2 clean the cache, 3 refresh.
    int pendingConfirmation = 0;
    WString title;  // title of the game frame and the main window
    WString appName;  // names the install folder
    WString fileName;
    WString resName;
    WString exeName;  // the running program's file name with extension, no folder
    WString cmd;      // the command line as wide text
    WString gameURL;  // given to startGame
    WString loaderFile;
    WString promptCaption{u"提示"};
    WString cleanCachePrompt{u"确定清理游戏缓存数据吗？"};
    WString exitPrompt{u"是否确定退出微端？"};
    WString vipMenuText{u"VIP专线"};  // custom menu entry 1010, restored every turn
    WString hotkeyTooSimplePrompt{u"设置的老板键太简单，请至少使用Ctrl，Alt或Shift中的一个键"};
    WString sameServerPrompt{u"当前服与要切换的服一致，继续将导致游戏界面刷新，请确认是否继续？"};
    _dword windowFlags = _FLAG_DEFAULT | _FLAG_SYSTEM_BUTTON | _FLAG_MAX_BUTTON | _FLAG_MIN_BUTTON;
    int width = 1200;  // main window size
    int height = 900;
    // When both are non-zero they replace width/height for the main window.
    int loadingWidth = 0;
    int loadingHeight = 0;
    int shortcutFlags = 0;
    _byte useCurrentPath = 0;  // 1 = keep data next to the program
    _byte abortRequested = 0;  // set by the script method abort
    int appSize = 900;         // free megabytes the install folder's drive must offer
    int appTimeout = 3000;     // milliseconds to wait for the game parameters
    // 0 = web game, 1 = pages in a frame window, 2 = native loader game.
    int mcType = 0;
    // 0 = none, 1 = copy the program, 2 = delete a file; the target is fileOperationPath.
    int fileOperation = 0;
    WString fileOperationPath;
    WString hallURL;
    WString hallName;
    WString firstPageURL;  // address of the last page added by addWebWindow
    WString passArgs;     // arguments of the program when it restarts itself
    WString urlProtocol;  // name of the URL protocol to register
    _byte appAutoStart = 0;     // start when the user logs on
    _byte enableScrollBar = 0;  // scroll bars in game pages
    FrameWindow* frames[_FRAME_SLOTS] = {};
    MainWindow* mainWindow = nullptr;  // points at mainWindowRecord from start-up on
    MainWindow mainWindowRecord;
    Array<PageEntry> pages;
    Array<PageRequest> pageRequests;

    // Recorded by the script functions for the services that act on them.
    Array<WString> loaderParameters;  // key=value texts given to startLoader after the file
    Array<WString> frameURLs;         // addresses of pages that belong in frames
    Array<WString> quietURLs;         // addresses whose pages stay quiet
    WString exitURL;                  // opened when the user quits
    WString logoffURL;                // opened on log-off
    WString kickFunction;             // script function called when the player is kicked
    WString upgradeURL;               // newest build of the program
    WString upgradeDigestURL;         // and its digest
    WString pluginURL;                // installer of the browser plug-in
    InfoServerSettings infoServer;
    ServerInfoKeys serverInfoKeys;
    int gameMargins[4] = {};          // left, top, right, bottom
    _byte installRequested = 0;       // installApp
    _byte uninstallRequested = 0;     // uninstallApp
    Array<WString> reportRequests;    // reportChannel addresses not sent yet
    WString platformClientArgument;   // createTencentClient
    Array<LauncherCommand> commands;  // menu and title-bar command table
    PopupSettings chatPopup;
    PopupSettings videoPopup;

    // Local switches and files.
    bool fileLogging = false;  // mc.cfg "mclog"
    bool autoUpgrade = true;   // mc.cfg without "noautoupgrade"
    int bossHotkey = 0;        // mcconfig.ini
    int bossKeyEnabled = 0;

    // Loop values, not visible to scripts.

    // 0 = keep running; 1 = quit normally; 2 = quit because frame 4, 5 or 6 closed or a file
    // operation restarted the program; 3 = the exit question is on screen. Non-zero ends the
    // main loop at the end of the turn.
    int quitState = 0;
    int gameStage = 0;  // 2 = the game runs; reset every turn
    HWND gameWindow = nullptr;  // the running native game's window, destroyed every turn
    WebWindow* gamePage = nullptr;
    WebWindow* imPage = nullptr;
    WebWindow* videoPage = nullptr;
    SetupDownload* setupDownload = nullptr;  // the one pending download, destroyed every turn
    WString moduleFolder;  // folder of the running program
    WString lastPageURL;   // emptied every turn
    int refreshing = 0;    // non-zero while a refresh is under way
    int gameShown = 0;
    int frameShown = 0;  // the frame turn has shown the game frame; cleared by the game turn
    int loggedIn = 0;
    int loadingSized = 0;  // the main window took the loading size
    // "button" "close" "reg" from the game: closing the main window goes to the game instead.
    int closeRegistered = 0;
    _dword paramTimerStart = 0;  // when the wait for game parameters began; 0 = not started

    // Server information: the list is filled from the server record, the log-out address too.
    Array<WString> serverNames;
    Array<WString> serverURLs;  // parallel to serverNames
    WString currentServerName;
    WString serverLogoutURL;

    // The boss key hid the launcher while the chat popup was on screen.
    int chatWasVisible = 0;
};

} // namespace Volux
