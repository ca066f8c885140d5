-- config.lua: the game's settings. It only sets globals; launcher.lua reads them and hands
-- them to the launcher through _launcher. A publisher changes this file for a new game and
-- leaves launcher.lua alone.

-- Which way the game runs:
--   0  the game page in the launcher's main window
--   1  pages inside the launcher's own frame windows
--   2  the native loader plug-in behind a loading screen
GAME_MODE = 0

-- Names. appName names the install folder (<profile>\volux\<appName>); fileName and
-- resName default to it and name the program copy, the shortcuts and the game archives.
APP_NAME = "starfall"
FILE_NAME = "starfall"
TITLE = "Starfall Online"

-- Where the game lives.
GAME_URL = "http://127.0.0.1:8080/play"
FRAME_PAGE_URL = "http://127.0.0.1:8080/lobby"
SERVER_LIST_URL = "http://127.0.0.1:8080/servers"
LOGOFF_URL = "http://127.0.0.1:8080/logoff"
EXIT_URL = "http://127.0.0.1:8080/bye"
HOME_URL = "http://127.0.0.1:8080/"
PAY_URL = "http://127.0.0.1:8080/pay"
-- A fixed chat page for the chat button; empty: the server information names it.
CHAT_URL = "http://127.0.0.1:8080/chat"
-- Newest build of the program and its digest, checked at every start.
UPGRADE_URL = "http://127.0.0.1:8080/microclient.exe"
UPGRADE_MD5_URL = "http://127.0.0.1:8080/microclient.md5"
-- Installer of the browser plug-in, fetched when a page needs it.
PLUGIN_URL = "http://127.0.0.1:8080/voluxsetup.exe"
-- Loader plug-in and the game parameters it starts with (mode 2).
LOADER_FILE = "volux3d.lod"
LOADER_PARAMETERS = { "server=127.0.0.1:9000", "lang=en" }
-- Pages that belong in frames, and pages that stay quiet (no window of their own).
FRAME_URLS = { "http://127.0.0.1:8080/lobby" }
QUIET_URLS = { "http://127.0.0.1:8080/ping" }
-- The page command that means "you were signed in elsewhere" calls this script function.
KICK_FUNCTION = "onKicked"

-- Main window.
WIDTH, HEIGHT = 1024, 700
MIN_WIDTH, MIN_HEIGHT = 800, 560
BORDER_WIDTH, BORDER_COLOR = 2, 0x3A2A18
TITLE_FONT, TITLE_COLOR = "Arial", 0xE8B978
MENU_TEXT_COLOR, MENU_HOVER_COLOR = 0xC6AA66, 0xFFFFFF
-- Menu rows: top offset, left margin, right margin, gap before each button.
MENU_MARGINS = { 6, 140, 160, 4 }
GAME_MARGINS = { 0, 0, 0, 0 }

-- Server information: address template, id keys, error key, the value meaning "ok", and the
-- signature template.
INFO_SERVER = { "http://127.0.0.1:8080/info?sid={%ls}&sign={sign}", "sid", "serverid", "error", "0", "{sid}{time}" }

-- Frames: slot = { x, y, width, height }.
FRAMES = {
    [1] = { 300, 200, 480, 300, "Change server" },
    [2] = { 300, 200, 480, 300, "Boss key" },
    [3] = { 300, 200, 480, 300, "Please confirm" },
    [4] = { 300, 200, 480, 300, "Plug-in needed" },
    [5] = { 300, 200, 480, 300, "Plug-in setup" },
    [6] = { 300, 200, 480, 300, "Preparing files" },
}
