// One 256 MiB fetch from the local game server into a file: the transfer layer against the
// curl command-line program on the same address. Needs the server around the run
// (scripts/bench-net.sh starts it); without it both benchmarks skip.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Common/Memory.h"
#include "Common/StringEncoding.h"
#include "Common/WString.h"
#include "Platform/File.h"
#include "Storage/WebTransfer.h"

extern char** environ;

using namespace Volux;

namespace {

constexpr int64_t _BODY_BYTES = int64_t(256) << 20;

std::string Address() {
    const char* host = std::getenv("VOLUX_GAME_SERVER");
    return host != nullptr ? "http://" + std::string(host) + "/gen/" + std::to_string(_BODY_BYTES) : "";
}

std::string TargetPath() { return "/tmp/volux-bench-fetch-" + std::to_string(getpid()) + ".bin"; }

WString Wide(const std::string& text) {
    char16_t* wide = Utf8ToWide(nullptr, 0, text.c_str());
    WString result(wide);
    MemFree(wide);
    return result;
}

bool RunCurl(const std::string& address, const std::string& path) {
    const char* argv[] = {"curl", "-s", "-f", "-o", path.c_str(), address.c_str(), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void WebFetch_Engine(benchmark::State& state) {
    std::string address = Address();
    if (address.empty()) {
        state.SkipWithError("no game server: run scripts/bench-net.sh");
        return;
    }
    std::string path = TargetPath();
    for (auto _ : state) {
        WebRequest request;
        request.address = Wide(address);
        request.output = WebRequest::_FILE;
        request.filePath = Wide(path);
        if (!Fetch(request) || request.received != _BODY_BYTES) {
            state.SkipWithError("fetch failed");
            break;
        }
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(int64_t(state.iterations()) * _BODY_BYTES);
}

void WebFetch_Reference(benchmark::State& state) {
    std::string address = Address();
    if (address.empty()) {
        state.SkipWithError("no game server: run scripts/bench-net.sh");
        return;
    }
    std::string path = TargetPath();
    for (auto _ : state) {
        if (!RunCurl(address, path)) {
            state.SkipWithError("curl failed");
            break;
        }
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(int64_t(state.iterations()) * _BODY_BYTES);
}

} // namespace

// Real time: the work is in the server and the kernel as much as in this process.
BENCHMARK(WebFetch_Engine)->Iterations(1)->Repetitions(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(WebFetch_Reference)->Iterations(1)->Repetitions(5)->UseRealTime()->Unit(benchmark::kMillisecond);
