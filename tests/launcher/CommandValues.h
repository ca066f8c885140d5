// Argument-list values for command-word tests, one builder per kind.
#pragma once

#include <cstdint>

#include "launcher/CommandArguments.h"

namespace Volux {
namespace {

inline CommandValue Text(const char16_t* text) {
    CommandValue value;
    value.kind = _KIND_TEXT;
    value.value.text = text;
    return value;
}

inline CommandValue Integer(int64_t number, _dword kind = _KIND_INT32) {
    CommandValue value;
    value.kind = kind;
    value.value.integer = number;
    return value;
}

inline CommandValue Boolean(bool on) {
    CommandValue value;
    value.kind = _KIND_BOOL;
    value.value.boolean = on ? 1 : 0;
    return value;
}

} // namespace
} // namespace Volux
