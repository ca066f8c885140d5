// The argument list of the command-word message "_WM_INVOKE" (1086). The sender (the loader
// plug-in, or a control inside a page) builds it in its own memory and keeps it alive for the
// duration of its SendMessage; the launcher reads the values and writes the result:
//
//   CommandArguments { int count; CommandValue* values; CommandValue result; }
//   CommandValue     { _dword kind; union { const char16_t* text; int64_t integer; int32_t boolean; } }
//
// Kinds are the engine's value kinds: _KIND_TEXT (15) wide text, the integer kinds 4..11
// (the sender writes the whole 64-bit `integer`), _KIND_BOOL (2). Everything in the list is
// the sender's word: counts, kinds and texts are checked against ceilings before use.
#pragma once

#include <stdint.h>

#include "Common/Base.h"
#include "Common/Variable.h"
#include "Common/WString.h"

namespace Volux {

struct CommandValue {
    _dword kind = _KIND_NONE;
    union {
        const char16_t* text;
        int64_t integer;
        int32_t boolean;
    } value = {};
};

struct CommandArguments {
    int count = 0;
    CommandValue* values = nullptr;
    CommandValue result;  // the handler's answer: _KIND_BOOL, or untouched
};

// Ceilings for what a sender hands over: no command takes more than 7 values, and no page
// address or name is longer than a few hundred characters.
constexpr int _MAX_COMMAND_ARGUMENTS = 16;
constexpr int _MAX_COMMAND_TEXT = 2048;

// Number of values that can be read: 0 for a null list, -1 for a list that cannot be read (a
// negative count, a count above _MAX_COMMAND_ARGUMENTS, or values missing).
int CommandArgumentCount(const CommandArguments* list);

// Length of a terminated text, scanning at most ceiling + 1 characters; -1 when there is no
// terminator within the ceiling. A null text has length 0.
int BoundedTextLength(const char16_t* text, int ceiling);

// Text value at index into text: a text value is copied (null is empty); a value of another
// kind, or an index past the count, gives empty text. False only for a text longer than
// _MAX_COMMAND_TEXT (text is then empty): the caller refuses the command.
bool CommandText(const CommandArguments& list, int index, WString& text);
// Integer value at index: integer kinds by value (cut to 32 bits), a boolean as 0 / 1. A
// text, even one that spells a number, and anything else gives 0: numbers are never parsed
// out of page text.
int CommandInteger(const CommandArguments& list, int index);
// Boolean value at index; false when absent or of another kind.
bool CommandBoolean(const CommandArguments& list, int index);
// Sets the result to a boolean; a null list is ignored.
void SetCommandResult(CommandArguments* list, bool value);

} // namespace Volux
