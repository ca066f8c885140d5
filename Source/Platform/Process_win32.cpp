// Starting programs on Win32 through the ANSI entry point, as the launcher's helpers expect
// ANSI command lines.
#include <windows.h>

#include "Common/StringEncoding.h"
#include "Common/WString.h"
#include "Platform/CodePage.h"
#include "Platform/Process.h"

namespace Volux {
namespace Process {

namespace {
// Converts into the buffer; false when the text does not fit whole. A cut command line could
// start a different program or pass different arguments, so it is never used.
bool ToAnsi(char (&buffer)[_MAX_ANSI_BYTES], const char16_t* text) {
    text = NonNull(text);
    int units = Text::Length(text);
    if (units > 0 && CodePage::FromWide(nullptr, 0, text, units) >= _MAX_ANSI_BYTES)
        return false;
    WideToAnsi(buffer, _MAX_ANSI_BYTES, text, units);
    return true;
}
} // namespace

WString QuoteArgument(const char16_t* argument) {
    argument = NonNull(argument);
    WString quoted(u"\"");
    for (const char16_t* at = argument;; at++) {
        // Backslashes are literal unless a quote follows them: then each pair reads as one
        // backslash and an odd one escapes the quote. So before an embedded quote they are
        // doubled plus one, before the closing quote doubled.
        int backslashes = 0;
        while (*at == u'\\') {
            backslashes++;
            at++;
        }
        if (*at == 0) {
            for (int i = 0; i < backslashes * 2; i++)
                quoted.AppendChar(u'\\');
            break;
        }
        if (*at == u'"') {
            for (int i = 0; i < backslashes * 2 + 1; i++)
                quoted.AppendChar(u'\\');
        } else {
            for (int i = 0; i < backslashes; i++)
                quoted.AppendChar(u'\\');
        }
        quoted.AppendChar(*at);
    }
    quoted.AppendChar(u'"');
    return quoted;
}

bool Start(const char16_t* commandLine, const char16_t* workingDirectory) {
    char command[_MAX_ANSI_BYTES];
    char directory[_MAX_ANSI_BYTES];
    if (!ToAnsi(command, commandLine) || !ToAnsi(directory, workingDirectory) || command[0] == 0)
        return false;
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_FORCEOFFFEEDBACK;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, nullptr,
                        directory[0] != 0 ? directory : nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace Process
} // namespace Volux
