// Stream decoding of compressed blocks: the engine's UnpackStream against liblzma's raw LZMA1
// decoder and a plain zlib inflate loop, on the same 64 MiB of generated text packed once.
// Both sides read 64 KiB of input and hand out 64 KiB pieces of output to a sink.
#include <benchmark/benchmark.h>

#include <lzma.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "Common/ByteBuffer.h"
#include "Common/Compression.h"

using namespace Volux;

namespace {

constexpr size_t _DATA_SIZE = size_t(64) << 20;
constexpr size_t _CHUNK = 65536;

// Log-like lines: sentences from a fixed pool with a changing number, so the data has both
// long matches and literals, as resources and scripts do.
std::vector<_byte> MakeText() {
    std::vector<std::vector<char>> pool;
    unsigned state = 12345;
    auto next = [&state]() { return state = state * 1103515245u + 12345u, state >> 16; };
    static const char* const words[] = {"texture", "load", "frame", "script", "window", "render", "queue",
                                        "buffer", "player", "level", "sound", "archive", "cache", "entry",
                                        "value", "table"};
    for (int s = 0; s < 512; s++) {
        std::vector<char> sentence;
        int count = 4 + int(next() % 10);
        for (int w = 0; w < count; w++) {
            const char* word = words[next() % 16];
            sentence.insert(sentence.end(), word, word + strlen(word));
            sentence.push_back(w + 1 == count ? '.' : ' ');
        }
        pool.push_back(sentence);
    }
    std::vector<_byte> text;
    text.reserve(_DATA_SIZE);
    char number[16];
    for (unsigned line = 0; text.size() < _DATA_SIZE; line++) {
        int length = snprintf(number, sizeof(number), "%u ", line * 7 + next() % 5);
        text.insert(text.end(), number, number + length);
        const std::vector<char>& sentence = pool[next() % pool.size()];
        text.insert(text.end(), sentence.begin(), sentence.end());
        text.push_back('\n');
    }
    text.resize(_DATA_SIZE);
    return text;
}

const std::vector<_byte>& Packed(bool useLzma) {
    static std::vector<_byte> blocks[2];
    std::vector<_byte>& block = blocks[useLzma ? 1 : 0];
    if (block.empty()) {
        std::vector<_byte> text = MakeText();
        ByteBuffer buffer;
        buffer.Attach(text.data(), _dword(text.size()), false);
        if (PackBuffer(buffer, useLzma))
            block.assign(buffer.data, buffer.data + buffer.size);
    }
    return block;
}

struct MemoryInput {
    const _byte* data;
    size_t size;
    size_t position;
};

bool ReadMemory(void* self, void* buffer, _dword* length) {
    MemoryInput& in = *static_cast<MemoryInput*>(self);
    size_t count = in.size - in.position < *length ? in.size - in.position : *length;
    memcpy(buffer, in.data + in.position, count);
    in.position += count;
    *length = _dword(count);
    return true;
}

// The sink looks at each piece, as a writer to a file would read it.
bool Consume(void* self, const void* buffer, _dword* length) {
    size_t& total = *static_cast<size_t*>(self);
    benchmark::DoNotOptimize(static_cast<const _byte*>(buffer)[*length - 1]);
    total += *length;
    return true;
}

void RunEngine(benchmark::State& state, bool useLzma) {
    const std::vector<_byte>& block = Packed(useLzma);
    if (block.empty()) {
        state.SkipWithError("packing failed");
        return;
    }
    for (auto _ : state) {
        MemoryInput input = {block.data(), block.size(), 0};
        size_t total = 0;
        if (!UnpackStream(ReadMemory, &input, Consume, &total) || total != _DATA_SIZE) {
            state.SkipWithError("UnpackStream failed");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(_DATA_SIZE));
}

void LzmaDecode_Engine(benchmark::State& state) { RunEngine(state, true); }
void ZlibDecode_Engine(benchmark::State& state) { RunEngine(state, false); }

// liblzma on the data after the block header, from the same property bytes. The stream has no
// end mark, so decoding stops once the promised size has come out.
void LzmaDecode_Reference(benchmark::State& state) {
    const std::vector<_byte>& block = Packed(true);
    std::vector<_byte> input(_CHUNK);
    std::vector<_byte> output(_CHUNK);
    for (auto _ : state) {
        lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
        if (lzma_properties_decode(&filters[0], nullptr, block.data() + 8, 5) != LZMA_OK) {
            state.SkipWithError("lzma_properties_decode failed");
            return;
        }
        lzma_stream stream = LZMA_STREAM_INIT;
        if (lzma_raw_decoder(&stream, filters) != LZMA_OK) {
            state.SkipWithError("lzma_raw_decoder failed");
            return;
        }
        size_t position = _BLOCK_HEADER_SIZE;
        size_t total = 0;
        while (total < _DATA_SIZE) {
            if (stream.avail_in == 0 && position < block.size()) {
                size_t count = block.size() - position < _CHUNK ? block.size() - position : _CHUNK;
                memcpy(input.data(), block.data() + position, count);
                position += count;
                stream.next_in = input.data();
                stream.avail_in = count;
            }
            stream.next_out = output.data();
            stream.avail_out = _CHUNK;
            lzma_ret result = lzma_code(&stream, LZMA_RUN);
            _dword produced = _dword(_CHUNK - stream.avail_out);
            if (produced != 0)
                Consume(&total, output.data(), &produced);
            if (result != LZMA_OK && result != LZMA_STREAM_END)
                break;
        }
        lzma_end(&stream);
        free(filters[0].options);
        if (total != _DATA_SIZE) {
            state.SkipWithError("liblzma decoding failed");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(_DATA_SIZE));
}

void ZlibDecode_Reference(benchmark::State& state) {
    const std::vector<_byte>& block = Packed(false);
    std::vector<_byte> input(_CHUNK);
    std::vector<_byte> output(_CHUNK);
    for (auto _ : state) {
        z_stream stream;
        memset(&stream, 0, sizeof(stream));
        inflateInit(&stream);
        size_t position = _BLOCK_HEADER_SIZE;
        size_t total = 0;
        int result = Z_OK;
        while (result != Z_STREAM_END && position < block.size()) {
            size_t count = block.size() - position < _CHUNK ? block.size() - position : _CHUNK;
            memcpy(input.data(), block.data() + position, count);
            position += count;
            stream.next_in = input.data();
            stream.avail_in = uInt(count);
            do {
                stream.next_out = output.data();
                stream.avail_out = _CHUNK;
                result = inflate(&stream, Z_NO_FLUSH);
                _dword produced = _dword(_CHUNK - stream.avail_out);
                if (produced != 0)
                    Consume(&total, output.data(), &produced);
            } while (result == Z_OK && stream.avail_out == 0);
            if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
                break;
        }
        inflateEnd(&stream);
        if (total != _DATA_SIZE) {
            state.SkipWithError("inflate failed");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(_DATA_SIZE));
}

} // namespace

BENCHMARK(LzmaDecode_Engine)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(LzmaDecode_Reference)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ZlibDecode_Engine)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ZlibDecode_Reference)->Unit(benchmark::kMillisecond)->MinTime(2.0);
