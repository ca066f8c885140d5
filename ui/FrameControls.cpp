// The three standard controls a frame can hold: check box, drop-down list and hotkey box,
// children of the frame's window at their record's rectangle.
#include "ui/FrameWindow.h"

#include <commctrl.h>

#include <utility>

#include "Platform/WideText_win32.h"

namespace Volux {

namespace {

constexpr DWORD _CHECK_BOX_STYLE = WS_CHILD | WS_VISIBLE | BS_FLAT | BS_AUTOCHECKBOX;           // 0x50008003
constexpr DWORD _COMBO_BOX_STYLE = WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST;        // 0x50200003

HWND NewControl(DWORD extendedStyle, const wchar_t* className, const wchar_t* text, DWORD style, HWND parent,
                const FrameRect& r) {
    if (parent == nullptr)
        return nullptr;
    return CreateWindowExW(extendedStyle, className, text, style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                           parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

HFONT NewControlFont(const FrameFieldControl& control) {
    LOGFONTW font = {};
    font.lfHeight = control.fontHeight;
    const int length = control.fontFace.Length();
    for (int i = 0; i < length && i < LF_FACESIZE - 1; i++)
        font.lfFaceName[i] = wchar_t(control.fontFace.Text()[i]);
    return CreateFontIndirectW(&font);
}

void EnsureHotkeyClass() {
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_HOTKEY_CLASS};
    InitCommonControlsEx(&classes);
}

} // namespace

FrameCheckBox& FrameWindow::AddCheckBox(int id, const FrameRect& rect, bool checked) {
    FrameCheckBox box;
    box.id = id;
    box.rect = rect;
    box.checked = checked ? 1 : 0;
    box.parent = window;
    box.control = NewControl(0, L"Button", L"VOLUXCHECKBOX", _CHECK_BOX_STYLE, window, rect);
    if (box.control != nullptr)
        SendMessageW(box.control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    return checkBoxes.Append(std::move(box));
}

FrameComboBox& FrameWindow::AddComboBox(FrameFieldControl&& control) {
    control.parent = window;
    control.control = NewControl(0, L"ComboBox", L"VOLUXCOMBOBOX", _COMBO_BOX_STYLE, window, control.rect);
    if (control.control != nullptr) {
        control.font = NewControlFont(control);
        SendMessageW(control.control, WM_SETFONT, WPARAM(control.font), TRUE);
        SendMessageW(control.control, CB_SETITEMHEIGHT, WPARAM(-1), LPARAM(control.fontHeight));
        SendMessageW(control.control, CB_SETITEMHEIGHT, 0, LPARAM(control.fontHeight));
    }
    return comboBoxes.Append(std::move(control));
}

FrameHotkeyBox& FrameWindow::AddHotkeyBox(FrameFieldControl&& control, int hotkey) {
    EnsureHotkeyClass();
    control.parent = window;
    control.control = NewControl(WS_EX_CLIENTEDGE, HOTKEY_CLASSW, L"VOLUXHOTKEYBOX", WS_CHILD | WS_VISIBLE, window,
                                 control.rect);
    if (control.control != nullptr) {
        control.font = NewControlFont(control);
        SendMessageW(control.control, WM_SETFONT, WPARAM(control.font), TRUE);
        SendMessageW(control.control, HKM_SETHOTKEY, WPARAM(hotkey), 0);
    }
    return hotkeyBoxes.Append(std::move(control));
}

bool FrameWindow::SetCheck(bool checked) {
    for (_dword i = 0; i < checkBoxes.Count(); i++) {
        if (checkBoxes[i].id != 0)
            continue;
        checkBoxes[i].checked = checked ? 1 : 0;
        if (checkBoxes[i].control != nullptr)
            SendMessageW(checkBoxes[i].control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
        return true;
    }
    return false;
}

bool FrameWindow::SetHotkey(int hotkey) {
    for (_dword i = 0; i < hotkeyBoxes.Count(); i++) {
        if (hotkeyBoxes[i].id != 0)
            continue;
        if (hotkeyBoxes[i].control != nullptr)
            SendMessageW(hotkeyBoxes[i].control, HKM_SETHOTKEY, WPARAM(hotkey), 0);
        return true;
    }
    return false;
}

bool FrameWindow::IsChecked(int id) const {
    for (_dword i = 0; i < checkBoxes.Count(); i++) {
        if (checkBoxes[i].id == id && checkBoxes[i].control != nullptr)
            return SendMessageW(checkBoxes[i].control, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    return false;
}

int FrameWindow::Hotkey(int id) const {
    for (_dword i = 0; i < hotkeyBoxes.Count(); i++) {
        if (hotkeyBoxes[i].id == id && hotkeyBoxes[i].control != nullptr)
            return int(SendMessageW(hotkeyBoxes[i].control, HKM_GETHOTKEY, 0, 0));
    }
    return 0;
}

FrameComboBox* FrameWindow::FindComboBox(int id) {
    for (_dword i = 0; i < comboBoxes.Count(); i++) {
        if (comboBoxes[i].id == id)
            return &comboBoxes[i];
    }
    return nullptr;
}

} // namespace Volux
