// Environment variables on POSIX: the names and values are kept in UTF-8.
#include <cstdlib>

#include "Common/Memory.h"
#include "Common/StringEncoding.h"
#include "Platform/Environment.h"
#include "Platform/EnvironmentName.h"

namespace Volux {
namespace Environment {

namespace {
// UTF-8 copy of an engine text, freed on scope exit.
class Utf8Text {
public:
    explicit Utf8Text(const char16_t* text) : mText(text != nullptr ? WideToUtf8(nullptr, 0, text) : nullptr) {}
    ~Utf8Text() { MemFree(mText); }
    Utf8Text(const Utf8Text&) = delete;
    Utf8Text& operator=(const Utf8Text&) = delete;
    const char* Get() const { return mText; }

private:
    char* mText;
};

} // namespace

bool Set(const char16_t* name, const char16_t* value) {
    if (!IsValidName(name))
        return false;
    Utf8Text narrowName(name);
    if (narrowName.Get() == nullptr)
        return false;
    if (value == nullptr)
        return unsetenv(narrowName.Get()) == 0;
    Utf8Text narrowValue(value);
    return narrowValue.Get() != nullptr && setenv(narrowName.Get(), narrowValue.Get(), 1) == 0;
}

bool Remove(const char16_t* name) { return Set(name, nullptr); }

bool Get(const char16_t* name, WString& value) {
    value = WString();
    if (!IsValidName(name))
        return false;
    Utf8Text narrowName(name);
    const char* found = narrowName.Get() != nullptr ? getenv(narrowName.Get()) : nullptr;
    if (found == nullptr)
        return false;
    char16_t* wide = Utf8ToWide(nullptr, 0, found);
    if (wide == nullptr)
        return false;
    int length = Text::Length(wide);
    if (length > _MAX_VALUE_CHARS) {
        length = _MAX_VALUE_CHARS;
        // Never keep half of a surrogate pair.
        if ((wide[length - 1] & 0xFC00) == 0xD800)
            length--;
    }
    value.Assign(wide, length);
    MemFree(wide);
    return true;
}

} // namespace Environment
} // namespace Volux
