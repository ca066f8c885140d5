// Process heap, debugger output, the ANSI code page and the clocks on POSIX.
// The "ANSI code page" is the process locale's charset, converted with iconv; debugger output
// is standard error.
#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <time.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Common/LocalTime.h"
#include "Common/StringEncoding.h"
#include "Platform/CodePage.h"
#include "Platform/Debugger.h"
#include "Platform/Heap.h"

namespace Volux {

namespace Heap {
void* Allocate(size_t size) { return malloc(size); }
void Free(void* pointer) { free(pointer); }
} // namespace Heap


void DebugOutput(const char16_t* text) {
    char* narrow = WideToUtf8(nullptr, 0, text, -1);
    if (narrow == nullptr)
        return;
    fputs(narrow, stderr);
    Heap::Free(narrow);
}

bool IsDebuggerAttached() {
    FILE* status = fopen("/proc/self/status", "r");
    if (status == nullptr)
        return false;
    char line[256];
    bool attached = false;
    while (fgets(line, sizeof(line), status) != nullptr)
        if (strncmp(line, "TracerPid:", 10) == 0) {
            attached = atoi(line + 10) != 0;
            break;
        }
    fclose(status);
    return attached;
}

namespace CodePage {
namespace {
// The charset of the locale the process was started with (LANG/LC_ALL), "C" falling back to
// ASCII-compatible UTF-8 so that no byte is lost.
const char* Charset() {
    static char charset[64];
    if (charset[0] == 0) {
        locale_t locale = newlocale(LC_CTYPE_MASK, "", (locale_t)0);
        const char* name = locale != (locale_t)0 ? nl_langinfo_l(CODESET, locale) : "UTF-8";
        if (name == nullptr || name[0] == 0 || strcmp(name, "ANSI_X3.4-1968") == 0)
            name = "UTF-8";
        snprintf(charset, sizeof(charset), "%s", name);
        if (locale != (locale_t)0)
            freelocale(locale);
    }
    return charset;
}

// Converts in chunks so that "how much is needed" and "what fits" share one loop; an
// invalid input byte is replaced by '?' (as the Win32 converter substitutes a default).
int Convert(const char* to, const char* from, const char* input, size_t inputBytes, char* output, size_t outputBytes,
            size_t unit) {
    iconv_t cd = iconv_open(to, from);
    if (cd == (iconv_t)-1)
        return 0;
    char scratch[256];
    size_t total = 0;
    char* in = const_cast<char*>(input);
    size_t inLeft = inputBytes;
    bool stopped = false;
    while (inLeft > 0 && !stopped) {
        char* out = output != nullptr ? output + total : scratch;
        size_t room = output != nullptr ? outputBytes - total : sizeof(scratch);
        size_t outLeft = room;
        size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
        size_t produced = room - outLeft;
        total += produced;
        if (result != (size_t)-1)
            break;
        if (errno == E2BIG) {
            if (output != nullptr)
                stopped = true;
        } else if (errno == EILSEQ || errno == EINVAL) {
            // One bad unit: skip it and emit a '?' where there is room.
            size_t skip = unit == 2 && strcmp(from, "UTF-16LE") == 0 ? 2 : 1;
            in += skip < inLeft ? skip : inLeft;
            inLeft -= skip < inLeft ? skip : inLeft;
            size_t outUnit = strcmp(to, "UTF-16LE") == 0 ? 2 : 1;
            if (output == nullptr || total + outUnit <= outputBytes) {
                if (output != nullptr) {
                    output[total] = '?';
                    if (outUnit == 2)
                        output[total + 1] = 0;
                }
                total += outUnit;
            } else {
                stopped = true;
            }
        } else {
            break;
        }
    }
    iconv_close(cd);
    return int(total / (strcmp(to, "UTF-16LE") == 0 ? 2 : 1));
}
} // namespace

int ToWide(char16_t* dst, int capacity, const char* src, int count) {
    return Convert("UTF-16LE", Charset(), src, size_t(count), reinterpret_cast<char*>(dst), size_t(capacity) * 2, 1);
}

int FromWide(char* dst, int capacity, const char16_t* src, int count) {
    return Convert(Charset(), "UTF-16LE", reinterpret_cast<const char*>(src), size_t(count) * 2, dst, size_t(capacity),
                   2);
}
} // namespace CodePage

LocalTime CurrentLocalTime() {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm local;
    localtime_r(&now.tv_sec, &local);
    return LocalTime{_word(local.tm_year + 1900), _word(local.tm_mon + 1), _word(local.tm_wday), _word(local.tm_mday),
                     _word(local.tm_hour),        _word(local.tm_min),     _word(local.tm_sec),
                     _word(now.tv_nsec / 1000000)};
}

_dword TickMilliseconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return _dword(_qword(now.tv_sec) * 1000 + _qword(now.tv_nsec / 1000000));
}

} // namespace Volux
