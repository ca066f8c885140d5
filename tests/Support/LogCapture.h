// Captures both log streams into strings for the lifetime of the object, without timestamps.
#pragma once

#include <cstdio>
#include <string>

#include "Common/EngineContext.h"
#include "Common/Log.h"

namespace VoluxTest {

class LogCapture {
public:
    LogCapture() {
        Volux::EngineContext& context = Volux::EngineContext::Get();
        mSavedPrint = context.printSink;
        mSavedError = context.errorSink;
        mSavedTimestamp = Volux::logTimestamp;
        context.printSink = {&LogCapture::Write, &trace};
        context.errorSink = {&LogCapture::Write, &error};
        Volux::logTimestamp = false;
    }
    ~LogCapture() {
        Volux::EngineContext& context = Volux::EngineContext::Get();
        context.printSink = mSavedPrint;
        context.errorSink = mSavedError;
        Volux::logTimestamp = mSavedTimestamp;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void Clear() {
        trace.clear();
        error.clear();
    }

    std::u16string trace;
    std::u16string error;

private:
    static int Write(const char16_t* text, void* user, bool lineBreak) {
        std::u16string* out = static_cast<std::u16string*>(user);
        out->append(text);
        if (lineBreak)
            out->append(u"\n");
        return 1;
    }

    Volux::Sink mSavedPrint;
    Volux::Sink mSavedError;
    bool mSavedTimestamp;
};

// Readable failure messages for UTF-16 text.
inline std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out += char(c);
        } else {
            char buffer[12];
            snprintf(buffer, sizeof(buffer), "\\u%04X", unsigned(c));
            out += buffer;
        }
    }
    return out;
}

} // namespace VoluxTest
