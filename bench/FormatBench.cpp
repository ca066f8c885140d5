// The engine's formatter against the C library's swprintf on the same formats, and the
// three name hashes (reference: swprintf).
#include <benchmark/benchmark.h>

#include <cwchar>

#include "Common/StringFormatter.h"
#include "Common/WString.h"

using namespace Volux;

namespace {
constexpr int _CHARS = 512;

const char16_t _NAME16[] = u"textures\\characters\\hero_armour_03.dds";
const wchar_t _NAME32[] = L"textures\\characters\\hero_armour_03.dds";

// Typical log lines: integers, hex, a text argument and a float.
void FormatLogLine_Engine(benchmark::State& state) {
    char16_t buffer[_CHARS];
    int i = 0;
    for (auto _ : state) {
        FormatBuffer(buffer, _CHARS, u"[RM] Load resource '%ls' (%d bytes, crc %.8x) in %.3f ms, slot %5u", _NAME16,
                     123456 + i, 0xDEADBEEFu + unsigned(i), 1.25, unsigned(i));
        benchmark::DoNotOptimize(buffer);
        i++;
    }
}
void FormatLogLine_Reference(benchmark::State& state) {
    wchar_t buffer[_CHARS];
    int i = 0;
    for (auto _ : state) {
        swprintf(buffer, _CHARS, L"[RM] Load resource '%ls' (%d bytes, crc %.8x) in %.3f ms, slot %5u", _NAME32,
                 123456 + i, 0xDEADBEEFu + unsigned(i), 1.25, unsigned(i));
        benchmark::DoNotOptimize(buffer);
        i++;
    }
}

void FormatIntegers_Engine(benchmark::State& state) {
    char16_t buffer[_CHARS];
    int i = 0;
    for (auto _ : state) {
        FormatBuffer(buffer, _CHARS, u"%d %u %x %08X %lld %-6d|", i, unsigned(i) * 7u, unsigned(i), unsigned(i) ^ 0x5555u,
                     (long long)i * 1000003LL, -i);
        benchmark::DoNotOptimize(buffer);
        i++;
    }
}
void FormatIntegers_Reference(benchmark::State& state) {
    wchar_t buffer[_CHARS];
    int i = 0;
    for (auto _ : state) {
        swprintf(buffer, _CHARS, L"%d %u %x %08X %lld %-6d|", i, unsigned(i) * 7u, unsigned(i), unsigned(i) ^ 0x5555u,
                 (long long)i * 1000003LL, -i);
        benchmark::DoNotOptimize(buffer);
        i++;
    }
}

void FormatTexts_Engine(benchmark::State& state) {
    char16_t buffer[_CHARS];
    for (auto _ : state) {
        FormatBuffer(buffer, _CHARS, u"%ls\\%ls-%ls%ls[Trace].log", _NAME16, u"program", u"mc1234", u"-");
        benchmark::DoNotOptimize(buffer);
    }
}
void FormatTexts_Reference(benchmark::State& state) {
    wchar_t buffer[_CHARS];
    for (auto _ : state) {
        swprintf(buffer, _CHARS, L"%ls\\%ls-%ls%ls[Trace].log", _NAME32, L"program", L"mc1234", L"-");
        benchmark::DoNotOptimize(buffer);
    }
}

void FormatFloats_Engine(benchmark::State& state) {
    char16_t buffer[_CHARS];
    double x = 0.5;
    for (auto _ : state) {
        FormatBuffer(buffer, _CHARS, u"%f %.2f %e %g", x, x * 3, x * 1e10, x / 7);
        benchmark::DoNotOptimize(buffer);
        x += 0.25;
    }
}
void FormatFloats_Reference(benchmark::State& state) {
    wchar_t buffer[_CHARS];
    double x = 0.5;
    for (auto _ : state) {
        swprintf(buffer, _CHARS, L"%f %.2f %e %g", x, x * 3, x * 1e10, x / 7);
        benchmark::DoNotOptimize(buffer);
        x += 0.25;
    }
}

void HashAName(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(Text::HashA(_NAME16));
}
void Hash31Name(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(Text::Hash31(_NAME16));
}
void HashLanesName(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(Text::HashLanes(_NAME16));
}
} // namespace

BENCHMARK(FormatLogLine_Engine);
BENCHMARK(FormatLogLine_Reference);
BENCHMARK(FormatIntegers_Engine);
BENCHMARK(FormatIntegers_Reference);
BENCHMARK(FormatTexts_Engine);
BENCHMARK(FormatTexts_Reference);
BENCHMARK(FormatFloats_Engine);
BENCHMARK(FormatFloats_Reference);
BENCHMARK(HashAName);
BENCHMARK(Hash31Name);
BENCHMARK(HashLanesName);
