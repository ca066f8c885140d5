// The integer forms of the environment variables, over the platform's text forms.
#include "Common/StringFormatter.h"
#include "Platform/Environment.h"
#include "Platform/EnvironmentName.h"

namespace Volux {
namespace Environment {

bool IsValidName(const char16_t* name) {
    if (name == nullptr || name[0] == 0)
        return false;
    for (const char16_t* at = name; *at != 0; at++)
        if (*at == u'=')
            return false;
    return true;
}

bool SetInteger(const char16_t* name, int value) { return Set(name, Format(u"%d", value)); }

bool GetInteger(const char16_t* name, int& value) {
    value = 0;
    WString text;
    if (!Get(name, text))
        return false;
    const char16_t* at = text.Text();
    while (*at == u' ' || *at == u'\t')
        at++;
    bool negative = *at == u'-';
    if (*at == u'-' || *at == u'+')
        at++;
    // Held to the int range while reading, so a long digit run cannot overflow.
    long long magnitude = 0;
    for (; *at >= u'0' && *at <= u'9'; at++) {
        magnitude = magnitude * 10 + (*at - u'0');
        if (magnitude > 2147483648LL)
            magnitude = 2147483648LL;
    }
    long long result = negative ? -magnitude : magnitude;
    value = result > 2147483647LL ? 2147483647 : int(result);
    return true;
}

} // namespace Environment
} // namespace Volux
