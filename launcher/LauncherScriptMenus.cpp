// _launcher functions for the main window: its flags, images, title-bar rows, Windows menu
// bar and the two popups' settings. They fill the main-window record, which the window
// paints from; every entry also enters the launcher's command table.
#include <utility>

#include "Common/ByteBuffer.h"
#include "Common/Log.h"
#include "Platform/File.h"
#include "launcher/ScriptFunctions.h"

namespace Volux {

namespace {

LauncherState* State() { return LauncherState::Instance(); }

MainWindow* Main() {
    LauncherState* state = State();
    return state != nullptr ? state->mainWindow : nullptr;
}

// An image name counts when it is empty (no image) or names a resource the program carries.
bool ImageUsable(const char16_t* name) {
    ByteBuffer bytes;
    return name[0] == 0 || FileSystem::LoadResource(nullptr, name, bytes);
}
bool ImagePresent(const char16_t* name) { return name[0] != 0 && ImageUsable(name); }

// Replaces an image of the record when the resource is there.
void SetImage(WString& target, const char16_t* name) {
    if (ImagePresent(name))
        target = name;
}

void AddCommand(LauncherState& state, int id, const char16_t* url) {
    LauncherCommand command;
    command.id = id;
    command.url = NonNull(url);
    state.commands.Append(std::move(command));
}

void SetFlag(IScriptManager& scripts, _dword bit) {
    if (LauncherState* state = State()) {
        if (scripts.GetArgBool(0))
            state->windowFlags |= bit;
        else
            state->windowFlags &= ~bit;
    }
}

// Where the arguments of a custom menu entry are; -1 = the function has no such argument.
struct EntryLayout {
    int id;          // fixed command id, or -1 when the script gives it
    _byte visibleIn;
    int idArg;       // argument with the script's id
    int urlArg;
    int imagesArg;   // first of the three look images
    int extraArgs[3];
    int extraImageArgs[2];
};

// A custom entry of the left or right row: a (non-zero: the right row), text, then by
// layout. Nothing happens without the record or when a named image is missing.
void AddCustomEntry(IScriptManager& scripts, const EntryLayout& layout) {
    LauncherState* state = State();
    MainWindow* main = Main();
    if (state == nullptr || main == nullptr)
        return;
    TitleBarButton button;
    for (int look = 0; look < 3; look++) {
        const char16_t* image = ArgText(scripts, layout.imagesArg + look);
        if (!ImageUsable(image))
            return;
        button.images[look] = image;
    }
    for (int i = 0; i < 2; i++) {
        if (layout.extraImageArgs[i] < 0)
            continue;
        const char16_t* image = ArgText(scripts, layout.extraImageArgs[i]);
        if (!ImageUsable(image))
            return;
        button.extraImages[i] = image;
    }
    button.id = layout.id >= 0 ? layout.id : scripts.GetArgInt32(layout.idArg);
    button.text = ArgText(scripts, 1);
    if (layout.urlArg >= 0)
        button.value = ArgText(scripts, layout.urlArg);
    button.visibleIn = layout.visibleIn;
    for (int i = 0; i < 3; i++)
        button.extra[i] = layout.extraArgs[i] >= 0 ? scripts.GetArgInt32(layout.extraArgs[i]) : 0;
    AddCommand(*state, button.id, button.value);
    main->AddButton(scripts.GetArgInt32(0) != 0 ? _ROW_RIGHT : _ROW_LEFT, std::move(button));
}

// A system-row button: a (its order), three images, b. Added only when all three load.
void AddSystemButton(IScriptManager& scripts, int id, _byte visibleIn) {
    LauncherState* state = State();
    MainWindow* main = Main();
    if (state == nullptr || main == nullptr)
        return;
    TitleBarButton button;
    for (int look = 0; look < 3; look++) {
        const char16_t* image = ArgText(scripts, 1 + look);
        if (!ImagePresent(image))
            return;
        button.images[look] = image;
    }
    button.id = id;
    button.order = scripts.GetArgInt16(0);
    button.visibleIn = visibleIn;
    button.extra[0] = scripts.GetArgInt32(4);
    AddCommand(*state, id, u"");
    main->AddButton(_ROW_SYSTEM, std::move(button));
}

// An item of the Windows menu bar.
void AddMenuItem(int id, const char16_t* text, const char16_t* url, int extra0, int extra1) {
    LauncherState* state = State();
    MainWindow* main = Main();
    if (state == nullptr || main == nullptr)
        return;
    AddCommand(*state, id, url);
    main->AddMenuItem(id, text, url, extra0, extra1);
}

void SetPopupImages(IScriptManager& scripts, PopupSettings& popup) {
    const char16_t* up = ArgText(scripts, 0);
    const char16_t* hover = ArgText(scripts, 1);
    // Both looks or none: a close button without its hover look would flicker to nothing.
    if (ImagePresent(up) && ImagePresent(hover)) {
        popup.closeImage = up;
        popup.closeHoverImage = hover;
        popup.closeRight = scripts.GetArgInt32(2);
        popup.closeTop = scripts.GetArgInt32(3);
    }
}

} // namespace

int ScriptSetBackgroundLogo(IScriptManager& scripts, ScriptObject*) {
    if (MainWindow* main = Main())
        SetImage(main->logo, ArgText(scripts, 0));
    return scripts.ReturnNothing();
}

int ScriptSetCustomTitleBarBackground(IScriptManager& scripts, ScriptObject*) {
    if (MainWindow* main = Main()) {
        SetImage(main->titleLeft, ArgText(scripts, 0));
        SetImage(main->titleMiddle, ArgText(scripts, 1));
        SetImage(main->titleRight, ArgText(scripts, 2));
    }
    return scripts.ReturnNothing();
}

int ScriptSetCustomTitleBarIcon(IScriptManager& scripts, ScriptObject*) {
    if (MainWindow* main = Main())
        SetImage(main->icon, ArgText(scripts, 0));
    return scripts.ReturnNothing();
}

int ScriptSetCustomMenuBarMargins(IScriptManager& scripts, ScriptObject*) {
    if (MainWindow* main = Main()) {
        main->menuTop = scripts.GetArgInt32(0);
        main->menuLeft = scripts.GetArgInt32(1);
        main->menuRight = scripts.GetArgInt32(2);
        main->menuSpacing = scripts.GetArgInt32(3);
    }
    return scripts.ReturnNothing();
}

int ScriptSetCustomMenuTextColor(IScriptManager& scripts, ScriptObject*) {
    if (MainWindow* main = Main()) {
        main->menuTextColour = int(scripts.GetArgUInt32(0) & 0xFFFFFF);
        main->menuHoverColour = int(scripts.GetArgUInt32(1) & 0xFFFFFF);
    }
    return scripts.ReturnNothing();
}

int ScriptEnableMaxButton(IScriptManager& scripts, ScriptObject*) {
    SetFlag(scripts, LauncherState::_FLAG_MAX_BUTTON);
    return scripts.ReturnNothing();
}

int ScriptEnableMinButton(IScriptManager& scripts, ScriptObject*) {
    SetFlag(scripts, LauncherState::_FLAG_MIN_BUTTON);
    return scripts.ReturnNothing();
}

int ScriptEnableSystemButton(IScriptManager& scripts, ScriptObject*) {
    SetFlag(scripts, LauncherState::_FLAG_SYSTEM_BUTTON);
    return scripts.ReturnNothing();
}

int ScriptAddGameMenu(IScriptManager& scripts, ScriptObject*) {
    AddMenuItem(1000, ArgText(scripts, 0), u"", scripts.GetArgInt32(1), scripts.GetArgInt32(2));
    return scripts.ReturnNothing();
}

int ScriptAddRefreshMenu(IScriptManager& scripts, ScriptObject*) {
    AddMenuItem(1001, ArgText(scripts, 0), u"", scripts.GetArgInt32(1), scripts.GetArgInt32(2));
    return scripts.ReturnNothing();
}

int ScriptAddURLMenu(IScriptManager& scripts, ScriptObject*) {
    int id = scripts.GetArgInt32(0);
    // Ids from 1001 on belong to the launcher's own commands.
    if (id < 1001)
        AddMenuItem(id, ArgText(scripts, 1), ArgText(scripts, 2), scripts.GetArgInt32(3), scripts.GetArgInt32(4));
    return scripts.ReturnNothing();
}

// a, text, id, url, up, hover, down, b, c, extraImage
int ScriptAddCustomURLMenu(IScriptManager& scripts, ScriptObject*) {
    AddCustomEntry(scripts, EntryLayout{-1, 255, 2, 3, 4, {7, 8, -1}, {9, -1}});
    return scripts.ReturnNothing();
}

// a, text, up, hover, down, b, c
int ScriptAddCustomGameMenu(IScriptManager& scripts, ScriptObject*) {
    AddCustomEntry(scripts, EntryLayout{1000, 255, -1, -1, 2, {5, 6, -1}, {-1, -1}});
    return scripts.ReturnNothing();
}

// a, text, up, hover, down, b, userKey, logoutKey, c, extraImage
int ScriptAddCustomUserMenu(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State()) {
        if (state->mainWindow != nullptr) {
            SetIfStored(state->serverInfoKeys.userKey, StoredArgText(scripts, 6));
            SetIfStored(state->serverInfoKeys.logoutKey, StoredArgText(scripts, 7));
        }
    }
    AddCustomEntry(scripts, EntryLayout{1013, 0, -1, -1, 2, {5, 8, -1}, {9, -1}});
    return scripts.ReturnNothing();
}

// a, text, up, hover, down, key1, key2, key3, key4
int ScriptAddCustomDropDownMenu(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State()) {
        if (state->mainWindow != nullptr) {
            for (int i = 0; i < 4; i++)
                SetIfStored(state->serverInfoKeys.dropDownKeys[i], StoredArgText(scripts, 5 + i));
        }
    }
    AddCustomEntry(scripts, EntryLayout{1012, 0, -1, -1, 2, {-1, -1, -1}, {-1, -1}});
    return scripts.ReturnNothing();
}

// a, text, up, hover, down, b, key1, key2, c, extraImage, extraImage2
int ScriptAddCustomIMMenu(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State()) {
        if (state->mainWindow != nullptr) {
            SetIfStored(state->serverInfoKeys.chatKeys[0], StoredArgText(scripts, 6));
            SetIfStored(state->serverInfoKeys.chatKeys[1], StoredArgText(scripts, 7));
        }
    }
    AddCustomEntry(scripts, EntryLayout{1010, 0, -1, -1, 2, {5, 8, -1}, {9, 10}});
    return scripts.ReturnNothing();
}

// a, text, up, hover, down, b, c, extraImage
int ScriptAddCustomBossMenu(IScriptManager& scripts, ScriptObject*) {
    AddCustomEntry(scripts, EntryLayout{1015, 255, -1, -1, 2, {5, 6, -1}, {7, -1}});
    return scripts.ReturnNothing();
}

int ScriptAddCustomRefreshMenu(IScriptManager& scripts, ScriptObject*) {
    AddCustomEntry(scripts, EntryLayout{1001, 255, -1, -1, 2, {5, 6, -1}, {7, -1}});
    return scripts.ReturnNothing();
}

// The system row: 255 shown in both states, 254 hidden while maximised, 253 only then.
int ScriptAddCustomCloseButton(IScriptManager& scripts, ScriptObject*) {
    AddSystemButton(scripts, 1005, 255);
    return scripts.ReturnNothing();
}

int ScriptAddCustomMaxButton(IScriptManager& scripts, ScriptObject*) {
    AddSystemButton(scripts, 1006, 254);
    return scripts.ReturnNothing();
}

int ScriptAddCustomRestoreButton(IScriptManager& scripts, ScriptObject*) {
    AddSystemButton(scripts, 1007, 253);
    return scripts.ReturnNothing();
}

int ScriptAddCustomMinButton(IScriptManager& scripts, ScriptObject*) {
    AddSystemButton(scripts, 1008, 255);
    return scripts.ReturnNothing();
}

int ScriptAddCustomTrayButton(IScriptManager& scripts, ScriptObject*) {
    AddSystemButton(scripts, 1009, 255);
    return scripts.ReturnNothing();
}

// x, y, width, height, caption colour, caption text colour, caption font, title suffix
int ScriptSetIMParams(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State()) {
        PopupSettings& chat = state->chatPopup;
        chat.x = scripts.GetArgInt32(0);
        chat.y = scripts.GetArgInt32(1);
        chat.width = scripts.GetArgInt32(2) > 0 ? scripts.GetArgInt32(2) : 0;
        chat.height = scripts.GetArgInt32(3) > 0 ? scripts.GetArgInt32(3) : 0;
        chat.captionColour = int(scripts.GetArgUInt32(4) & 0xFFFFFF);
        chat.captionTextColour = int(scripts.GetArgUInt32(5) & 0xFFFFFF);
        SetIfStored(chat.captionFont, StoredArgText(scripts, 6));
        SetIfStored(chat.titleSuffix, StoredArgText(scripts, 7));
    }
    return scripts.ReturnNothing();
}

int ScriptSetIMTitleBg(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State())
        SetImage(state->chatPopup.captionImage, ArgText(scripts, 0));
    return scripts.ReturnNothing();
}

int ScriptSetIMCloseButton(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State())
        SetPopupImages(scripts, state->chatPopup);
    return scripts.ReturnNothing();
}

// caption colour, caption text colour, caption font
int ScriptSetVideoParams(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State()) {
        PopupSettings& video = state->videoPopup;
        video.captionColour = int(scripts.GetArgUInt32(0) & 0xFFFFFF);
        video.captionTextColour = int(scripts.GetArgUInt32(1) & 0xFFFFFF);
        SetIfStored(video.captionFont, StoredArgText(scripts, 2));
    }
    return scripts.ReturnNothing();
}

int ScriptSetVideoTitleBg(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State())
        SetImage(state->videoPopup.captionImage, ArgText(scripts, 0));
    return scripts.ReturnNothing();
}

int ScriptSetVideoCloseButton(IScriptManager& scripts, ScriptObject*) {
    if (LauncherState* state = State())
        SetPopupImages(scripts, state->videoPopup);
    return scripts.ReturnNothing();
}

} // namespace Volux
