// Basic types and the engine's check macro, included by every engine header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Volux {

using _byte = uint8_t;
using _word = uint16_t;
using _dword = uint32_t;
using _qword = uint64_t;

// Check texts of the engine write null and false this way; the names exist so that
// a stringised condition reads exactly like the reported text.
constexpr std::nullptr_t _null = nullptr;
constexpr bool _false = false;
constexpr bool _true = true;

// Writes the three-line assertion report to the error stream and returns.
void ReportAssertion(const char16_t* condition, const char16_t* sourceFile, int line);

} // namespace Volux

// Evaluates to the condition's truth; when it fails the report names the condition as
// written, the engine source name given and the line. Execution always continues, so
// callers follow a failed check with a safe return.
#define VOLUX_CHECK(source, condition) \
    ((condition) ? true : (::Volux::ReportAssertion(u"" #condition, source, __LINE__), false))
