#include "ui/MainWindow.h"

#include <utility>

namespace Volux {

void MainWindow::AddButton(TitleBarRow row, TitleBarButton&& button) {
    Array<TitleBarButton>& target = rows[row];
    if (row != _ROW_SYSTEM) {
        target.Append(std::move(button));
        return;
    }
    // Insertion keeps the row sorted; equal orders keep the order of the calls.
    _dword at = 0;
    while (at < target.Count() && target[at].order <= button.order)
        at++;
    target.Insert(at, button);
}

void MainWindow::AddMenuItem(int id, const char16_t* text, const char16_t* value, int extra0, int extra1) {
    MenuCommand command;
    command.id = id;
    command.text = NonNull(text);
    command.value = NonNull(value);
    command.extra[0] = extra0;
    command.extra[1] = extra1;
    menuCommands.Append(std::move(command));
}

TitleBarButton* MainWindow::FindButton(int id) {
    for (Array<TitleBarButton>& row : rows) {
        for (_dword i = 0; i < row.Count(); i++) {
            if (row[i].id == id)
                return &row[i];
        }
    }
    return nullptr;
}

bool MainWindow::UpdateButton(int id, const char16_t* text, const char16_t* value, _byte visibleIn) {
    TitleBarButton* button = FindButton(id);
    if (button == nullptr)
        return false;
    if (text != nullptr && text[0] != 0)
        button->text = text;
    if (value != nullptr && value[0] != 0)
        button->value = value;
    button->visibleIn = visibleIn;
    return true;
}

} // namespace Volux
