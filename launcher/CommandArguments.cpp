#include "launcher/CommandArguments.h"

namespace Volux {

namespace {

const CommandValue* ValueAt(const CommandArguments& list, int index) {
    if (index < 0 || index >= CommandArgumentCount(&list))
        return nullptr;
    return &list.values[index];
}

bool IsIntegerKind(_dword kind) { return kind >= _KIND_INT8 && kind <= _KIND_UINT64; }

} // namespace

int CommandArgumentCount(const CommandArguments* list) {
    if (list == nullptr)
        return 0;
    if (list->count < 0 || list->count > _MAX_COMMAND_ARGUMENTS)
        return -1;
    if (list->count > 0 && list->values == nullptr)
        return -1;
    return list->count;
}

int BoundedTextLength(const char16_t* text, int ceiling) {
    if (text == nullptr)
        return 0;
    for (int i = 0; i <= ceiling; i++) {
        if (text[i] == 0)
            return i;
    }
    return -1;
}

bool CommandText(const CommandArguments& list, int index, WString& text) {
    text = u"";
    const CommandValue* value = ValueAt(list, index);
    if (value == nullptr || value->kind != _KIND_TEXT)
        return true;
    const int length = BoundedTextLength(value->value.text, _MAX_COMMAND_TEXT);
    if (length < 0)
        return false;
    text.Assign(value->value.text != nullptr ? value->value.text : u"", length);
    return true;
}

int CommandInteger(const CommandArguments& list, int index) {
    const CommandValue* value = ValueAt(list, index);
    if (value == nullptr)
        return 0;
    if (IsIntegerKind(value->kind))
        return int(int32_t(uint32_t(uint64_t(value->value.integer))));
    if (value->kind == _KIND_BOOL)
        return value->value.boolean != 0 ? 1 : 0;
    return 0;
}

bool CommandBoolean(const CommandArguments& list, int index) {
    const CommandValue* value = ValueAt(list, index);
    return value != nullptr && value->kind == _KIND_BOOL && value->value.boolean != 0;
}

void SetCommandResult(CommandArguments* list, bool value) {
    if (list == nullptr)
        return;
    list->result.kind = _KIND_BOOL;
    list->result.value.integer = 0;
    list->result.value.boolean = value ? 1 : 0;
}

} // namespace Volux
