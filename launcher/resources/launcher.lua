-- launcher.lua: turns the settings of config.lua into the launcher's windows, menus and
-- mode. Every call below goes to _launcher, the launcher's one script object; fields are set
-- by assignment, functions are called with ':'. Missing trailing arguments read as 0, false
-- or "", so calls may stop early.

local L = _launcher
local cmd = L.cmd

-- Names first: appName also fills fileName and resName while they are empty.
L.appName = APP_NAME
L.fileName = FILE_NAME
L.title = TITLE
L.width, L.height = WIDTH, HEIGHT
L.useCurrentPath = false
L.appSize = 900        -- free megabytes the install drive must offer
L.appTimeout = 3000    -- milliseconds to wait for the game parameters
L.urlProtocol = APP_NAME

-- Command-line switches the program is started with by itself and by its installer.
if string.find(cmd, "/delete", 1, true) then
    -- A finished upgrade removes the program it replaced.
    L:deleteFile(string.match(cmd, "/delete%s+(.+)$") or "")
elseif string.find(cmd, "/copy", 1, true) then
    -- An upgrade copies the new build over the old one.
    L:copyTo(string.match(cmd, "/copy%s+(.+)$") or "")
end
if string.find(cmd, "/uninstall", 1, true) then
    L:uninstallApp()
    L:abort()
    return
end
if string.find(cmd, "/setup", 1, true) or string.find(cmd, "/install", 1, true) then
    L:installApp()
end
if not string.find(cmd, "/noshortcut", 1, true) then
    L:createShortcut(TITLE, 0x1 + 0x2)  -- desktop, Quick Launch and taskbar pin
end

-- Demo convenience: "/mode=N" on the command line picks the mode without editing config.lua.
local mode = tonumber(string.match(cmd, "/mode=(%d)") or "") or GAME_MODE

-- Main window: border, title bar art, menus. The system row is sorted by its first argument.
L.borderWidth, L.borderColor = BORDER_WIDTH, BORDER_COLOR
L.titleFont, L.titleColor = TITLE_FONT, TITLE_COLOR
L:setMinSize(MIN_WIDTH, MIN_HEIGHT)
L:setBackgroundLogo("logo.png")
L:setCustomTitleBarBackground("title_left.png", "title_mid.png", "title_right.png")
L:setCustomTitleBarIcon("title_icon.png")
L:setCustomMenuBarMargins(MENU_MARGINS[1], MENU_MARGINS[2], MENU_MARGINS[3], MENU_MARGINS[4])
L:setCustomMenuTextColor(MENU_TEXT_COLOR, MENU_HOVER_COLOR)
-- Left row (first argument 0): the game, the home page, the shop and the boss key.
L:addCustomGameMenu(0, "Game", "menu1.png", "menu2.png", "menu3.png")
L:addCustomURLMenu(0, "Home", 100, HOME_URL, "menu1.png", "menu2.png", "menu3.png")
L:addCustomURLMenu(0, "Top up", 101, PAY_URL, "menu1.png", "menu2.png", "menu3.png")
L:addCustomBossMenu(0, "Boss key", "menu1.png", "menu2.png", "menu3.png")
-- Right row: filled in by the server information (user name, server list, chat).
L:addCustomUserMenu(1, "", "menu1.png", "menu2.png", "menu3.png", 0, "username", "logout")
L:addCustomDropDownMenu(1, "Servers", "menu1.png", "menu2.png", "menu3.png", "servers", "name", "id", "url")
if CHAT_URL and CHAT_URL ~= "" then
    -- A fixed chat page: the button is there from the start and opens the chat window.
    L:addCustomURLMenu(1, "Chat", 1010, CHAT_URL, "menu1.png", "menu2.png", "menu3.png")
else
    L:addCustomIMMenu(1, "Chat", "menu1.png", "menu2.png", "menu3.png", 0, "imurl", "imtitle")
end
L:addCustomRefreshMenu(1, "Refresh", "menu1.png", "menu2.png", "menu3.png")
-- System row, ordered right to left by the first argument.
L:addCustomCloseButton(1, "sys_close1.png", "sys_close2.png", "sys_close3.png")
L:addCustomMaxButton(2, "sys_max1.png", "sys_max2.png", "sys_max3.png")
L:addCustomRestoreButton(2, "sys_restore1.png", "sys_restore2.png", "sys_restore3.png")
L:addCustomMinButton(3, "sys_min1.png", "sys_min2.png", "sys_min3.png")
L:addCustomTrayButton(4, "sys_tray1.png", "sys_tray2.png", "sys_tray3.png")

-- Popups: the chat window under its menu button, the video/payment window in the game.
L:setIMParams(0, 0, 320, 480, 0x3A2A18, 0xE8B978, "Arial", " - Chat")
L:setIMTitleBg("im_title.png")
L:setIMCloseButton("im_close1.png", "im_close2.png", 6, 4)
L:setVideoParams(0x3A2A18, 0xE8B978, "Arial")
L:setVideoTitleBg("im_title.png")
L:setVideoCloseButton("im_close1.png", "im_close2.png", 6, 4)

-- Prompts the launcher shows.
L:setPrompts("Quit " .. TITLE .. "?", "VIP line", "Please use Ctrl, Alt or Shift in the boss key.",
             "You are on this server already. Reload the game?")
L:setCleanCachePrompt(TITLE, "Remove the game's cached data?")

-- Frames 1 to 6: server change, boss key, confirmation, two plug-in windows, file copy.
for slot = 1, 6 do
    local f = FRAMES[slot]
    L:newFrameWin(slot, f[5], f[1], f[2], f[3], f[4], 0)
    L:setBackground("frame_bg.png", slot)
    L:addCloseButton(f[3] - 34, 10, 24, 24, "close1.png", "close2.png", "close3.png", slot)
    L:addLabel(0, 20, 14, f[3] - 60, 24, f[5], "Arial", 0xE8B978, 18, 0, slot)
end
L:addComboBox(1, 40, 80, 400, 200, "Arial", 0, 16, 0, 1)        -- the server list
L:addCheckBox(1, 40, 80, 20, 20, 2)                              -- boss key on/off
L:addHotkeyBox(2, 70, 78, 200, 24, "Arial", 0, 16, 0, 2)         -- the boss key itself
local ok = L:addUserButton(120, 220, 120, 32, "button1.png", "button2.png", "button3.png", 1, 3)
local cancel = L:addUserButton(260, 220, 120, 32, "button1.png", "button2.png", "button3.png", 1, 3)
if ok then ok.onClick = function() _info("confirmed") end end
if cancel then cancel.onClick = function() _info("cancelled") end end
L:addProgressBar(0, 60, 200, 360, 14, "Arial", 0xFFFFFF, 12, 1, "bar_full.png", "bar_empty.png", 6)

-- The game itself.
L:setKickFunc(KICK_FUNCTION)
L:setQuietURLs(QUIET_URLS[1])
L:setFrameURLs(FRAME_URLS[1])
L:setExitURL(EXIT_URL)
L:setLogoffURL(LOGOFF_URL)
L:setupPlugin(PLUGIN_URL)
L:checkMC(UPGRADE_URL, UPGRADE_MD5_URL)
L:setInfoServer(INFO_SERVER[1], INFO_SERVER[2], INFO_SERVER[3], INFO_SERVER[4], INFO_SERVER[5], INFO_SERVER[6])
L:setGameMargins(GAME_MARGINS[1], GAME_MARGINS[2], GAME_MARGINS[3], GAME_MARGINS[4])
if mode == 1 then
    -- The game frame dressed for the frame mode: art, window buttons, a title, Play and progress.
    L:setBackground("frame_bg.png", 0)
    L:addMinimizeButton(730, 12, 24, 24, "min1.png", "min2.png", "min3.png", 0)
    L:addCloseButton(762, 12, 24, 24, "close1.png", "close2.png", "close3.png", 0)
    L:addLabel(1, 28, 18, 600, 30, TITLE, "Arial", 0xE8B978, 22, 0, 0)
    local play = L:addUserButton(340, 500, 120, 32, "button1.png", "button2.png", "button3.png", 1, 0)
    if play then play.onClick = function() _info("play clicked") end end
    L:addLabel(2, 340, 505, 120, 24, "Play", "Arial", 0xF4E2B8, 17, 1, 0)  -- the button's caption
    L:addProgressBar(1, 200, 560, 400, 14, "Arial", 0xFFFFFF, 12, 1, "bar_full.png", "bar_empty.png", 0)
    -- The lobby page between the title and the Play button. A layered frame shows no child
    -- windows, so the page is kind 2: a window of its own kept over the frame at this offset.
    L:addWebWindow(20, 60, 760, 420, FRAME_PAGE_URL, 2, false, 0)
elseif mode == 2 then
    L:setLoadingSize(WIDTH, HEIGHT)
    local parameters = {}
    for _, parameter in ipairs(LOADER_PARAMETERS) do parameters[#parameters + 1] = parameter end
    -- Demo convenience: "/param=key=value" on the command line adds a game parameter (up to
    -- nine in all), e.g. liburl and libmd5 to fetch the library from a server.
    for parameter in string.gmatch(cmd, "/param=(%S+)") do parameters[#parameters + 1] = parameter end
    L:startLoader(LOADER_FILE, unpack(parameters, 1, math.min(#parameters, 9)))
else
    L:startGame(GAME_URL)
end

function onKicked()
    _info("signed in elsewhere")
end

_info("launcher.lua done", "mode", mode, L.title, L.width .. "x" .. L.height)
