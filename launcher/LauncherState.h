// The process-wide launcher record: settings that scripts reach, the frame slots, the page
// list, the prompts, and the values the main loop steers by. Every field holds its default
// from the moment the record is made, before any script runs.
#pragma once

#include <windows.h>

#include "Common/Array.h"
#include "Common/Singleton.h"
#include "Common/WString.h"

namespace Volux {

class FrameWindow;
class MainWindow;
class WebWindow;
class SetupDownload;

// One entry of the page list; id -1 is the game page.
struct PageEntry {
    int id = 0;
    WebWindow* page = nullptr;
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
    FrameWindow* frames[_FRAME_SLOTS] = {};
    MainWindow* mainWindow = nullptr;
    Array<PageEntry> pages;

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
};

} // namespace Volux
