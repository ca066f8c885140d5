// The local game server for network tests (tools/gameserver/game_server.py).
//
// The server runs on the Linux side for the whole test program: CTest starts the test
// program through "game_server.py --run", which puts VOLUX_GAME_SERVER=127.0.0.1:<port>
// (and the TLS and black-hole ports) into its environment. Wine passes that environment on,
// so the Windows build reaches the same server over loopback. Started by hand, a test program
// needs the same wrapper:
//     python3 tools/gameserver/game_server.py --run -- build/native/tests/engine_tests
// Without it the network tests skip and say so.
#pragma once

#include <cstdlib>
#include <string>

#include "Common/ByteBuffer.h"
#include "Common/StringEncoding.h"
#include "Common/WString.h"
#include "Platform/Thread.h"
#include "Storage/WebTransfer.h"

namespace VoluxTest {

inline std::string ServerVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// "127.0.0.1:<port>", or empty when the tests run without the server.
inline std::string GameServerHost() { return ServerVariable("VOLUX_GAME_SERVER"); }

#define REQUIRE_GAME_SERVER()                                                                       \
    if (VoluxTest::GameServerHost().empty())                                                        \
    GTEST_SKIP() << "no game server: run through python3 tools/gameserver/game_server.py --run -- " \
                    "<test program> (CTest does)"

inline Volux::WString WideOf(const std::string& text) {
    std::u16string wide(text.begin(), text.end());
    return Volux::WString(wide.c_str());
}

// "http://127.0.0.1:<port><path>"; host replaces the address (a mirror such as 127.0.0.2).
inline Volux::WString ServerUrl(const std::string& path, const std::string& host = "") {
    std::string base = GameServerHost();
    if (!host.empty())
        base = host + base.substr(base.find(':'));
    return WideOf("http://" + base + path);
}

inline std::string ServerPort(const char* which) {
    return ServerVariable(std::string("VOLUX_GAME_SERVER_").append(which).c_str());
}

// Byte i of every /gen/<size> body.
inline Volux::_byte PatternByte(int64_t i) {
    int64_t k = i % 65521;
    return Volux::_byte((k * k + 7 * k + 3) & 0xFF);
}

inline std::string Pattern(int64_t first, int64_t count) {
    std::string bytes(size_t(count), '\0');
    for (int64_t i = 0; i < count; i++)
        bytes[size_t(i)] = char(PatternByte(first + i));
    return bytes;
}

inline std::string Bytes(const Volux::ByteBuffer& buffer) {
    return buffer.data != nullptr ? std::string(reinterpret_cast<const char*>(buffer.data), buffer.size) : std::string();
}

// Runs a synchronous Fetch on a thread of its own: the test's main thread may be recorded as
// the UI thread, where a synchronous Fetch is refused.
inline bool FetchOffThread(Volux::WebRequest& request) {
    struct Job {
        Volux::WebRequest* request;
        bool result;
    } job{&request, false};
    Volux::Thread thread;
    if (!thread.Create(
            [](void* parameter) -> Volux::_dword {
                Job* j = static_cast<Job*>(parameter);
                j->result = Volux::Fetch(*j->request);
                return 0;
            },
            &job, false))
        return false;
    thread.Wait(Volux::_WAIT_FOREVER);
    return job.result;
}

// The server's request log so far.
inline std::string ServerLog() {
    Volux::ByteBuffer buffer;
    Volux::WebRequest request;
    request.address = ServerUrl("/log");
    request.output = Volux::WebRequest::_BUFFER;
    request.buffer = &buffer;
    FetchOffThread(request);
    return Bytes(buffer);
}

// The log lines that contain the text.
inline std::string LogLinesWith(const std::string& log, const std::string& text) {
    std::string out;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos)
            end = log.size();
        std::string line = log.substr(start, end - start);
        if (line.find(text) != std::string::npos)
            out += line + "\n";
        start = end + 1;
    }
    return out;
}

} // namespace VoluxTest
