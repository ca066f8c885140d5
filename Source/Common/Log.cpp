// The trace and error streams: debugger output until log files are opened, then two
// UTF-16LE files with a byte-order mark. Messages are built on the stack; no heap is used.
#include "Common/Log.h"

#include <cstdarg>

#include "Common/EngineContext.h"
#include "Common/LocalTime.h"
#include "Common/StringFormatter.h"
#include "Platform/Debugger.h"
#include "Platform/File.h"

namespace Volux {

bool logEnabled = true;
bool logTimestamp = true;
bool logNewline = true;

namespace {
constexpr int _PREFIX_CHARS = 1024;
constexpr int _PATH_CHARS = 1024;

int Emit(const Sink& sink, const char16_t* format, va_list arguments) {
    if (!logEnabled)
        return 0;
    char16_t message[_FORMAT_BUFFER_CHARS];
    FormatBufferV(message, _FORMAT_BUFFER_CHARS, format, arguments);
    char16_t prefix[_PREFIX_CHARS];
    if (logTimestamp) {
        LocalTime now = CurrentLocalTime();
        FormatBuffer(prefix, _PREFIX_CHARS, u"%.4d/%.2d/%.2d-%.2d:%.2d:%.2d ", now.year, now.month, now.day, now.hour,
                     now.minute, now.second);
    }
    if (sink.function != nullptr) {
        if (logTimestamp)
            sink.function(prefix, sink.user, false);
        return sink.function(message, sink.user, logNewline);
    }
    if (logTimestamp)
        DebugOutput(prefix);
    DebugOutput(message);
    if (logNewline)
        DebugOutput(u"\r\n");
    return logNewline ? 1 : 0;
}

int FileSink(const char16_t* text, void* user, bool lineBreak) {
    File::WriteLine(user, text, lineBreak);
    return 1;
}

void CloseLogFiles() {
    EngineContext& context = EngineContext::Get();
    if (context.printSink.function == FileSink) {
        File::CloseHandle(context.printSink.user);
        context.printSink.user = nullptr;
    }
    if (context.errorSink.function == FileSink) {
        File::CloseHandle(context.errorSink.user);
        context.errorSink.user = nullptr;
    }
}

// Creates one log file and installs it as the sink; a file that cannot be made leaves the sink.
void OpenOne(Sink& sink, const char16_t* path) {
    if (sink.function == FileSink && sink.user != nullptr) {
        File::CloseHandle(sink.user);
        sink.user = nullptr;
    }
    File file;
    if (!file.Open(path, File::_CREATE))
        return;
    static const _byte _BOM[2] = {0xFF, 0xFE};
    file.Write(_BOM, 2);
    sink.function = FileSink;
    sink.user = file.Detach();
}
} // namespace

int PrintLine(const char16_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int result = Emit(EngineContext::Get().printSink, format, arguments);
    va_end(arguments);
    return result;
}

int ReportError(const char16_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int result = Emit(EngineContext::Get().errorSink, format, arguments);
    va_end(arguments);
    return result;
}

bool SameSinks() {
    const EngineContext& context = EngineContext::Get();
    return context.printSink.function == context.errorSink.function && context.printSink.user == context.errorSink.user;
}

void PrintBoth(const char16_t* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list copy;
    va_copy(copy, arguments);
    EngineContext& context = EngineContext::Get();
    Emit(context.printSink, format, arguments);
    if (!SameSinks())
        Emit(context.errorSink, format, copy);
    va_end(copy);
    va_end(arguments);
}

void OpenLogFiles(const char16_t* namePart, const char16_t* directory, const char16_t* baseName) {
    namePart = NonNull(namePart);
    WString folder(directory);
    if (folder.IsEmpty())
        folder = FileSystem::CurrentDirectory();
    WString base(baseName);
    if (base.IsEmpty())
        base = Path::NameOf(FileSystem::ProgramPath(), false, false);
    const char16_t* dash = namePart[0] != 0 ? u"-" : u"";
    char16_t tracePath[_PATH_CHARS];
    char16_t errorPath[_PATH_CHARS];
    FormatBuffer(tracePath, _PATH_CHARS, u"%ls\\%ls-%ls%ls[Trace].log", folder.Text(), base.Text(), namePart, dash);
    FormatBuffer(errorPath, _PATH_CHARS, u"%ls\\%ls-%ls%ls[Error].log", folder.Text(), base.Text(), namePart, dash);
    EngineContext& context = EngineContext::Get();
    OpenOne(context.printSink, tracePath);
    OpenOne(context.errorSink, errorPath);
    context.closeSinks = CloseLogFiles;
}

const char16_t* BuildDate() {
    // __DATE__ is "Mmm dd yyyy" with a space-padded day, as the report shows it.
    static char16_t date[sizeof(__DATE__)];
    if (date[0] == 0)
        for (size_t i = 0; i < sizeof(__DATE__); i++)
            date[i] = char16_t(__DATE__[i]);
    return date;
}

void ReportAssertion(const char16_t* condition, const char16_t* sourceFile, int line) {
    WString report = Format(u"Build Date : %ls\r\nAssertion Failed : %ls\r\n%ls:%d", BuildDate(), NonNull(condition),
                            NonNull(sourceFile), line);
    ReportError(u"%ls", report.Text());
}

} // namespace Volux
