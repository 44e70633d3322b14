// LZ encode and decode of 4 MB of picture-like data.
#include "data/pack.h"
#include "lz_encode.h"

#include <benchmark/benchmark.h>

#include <cmath>

// Twenty-one 320 x 200 RGB pictures of gradients, bands and a little grain.
static const Buffer& picture_data() {
    static Buffer data;
    if (data.empty()) {
        uint32_t seed = 1;
        while (data.size() < 4u << 20) {
            const size_t picture = data.size() / 192000;
            for (int y = 0; y < 200; y++)
                for (int x = 0; x < 320; x++) {
                    seed = seed * 1103515245u + 12345u;
                    const int grain = (seed >> 29) == 0 ? 1 : 0;
                    data.push_back(uint8_t(y + picture * 9 + grain));
                    data.push_back(uint8_t((x / 6) * 4));
                    data.push_back(uint8_t(128 + 100 * std::sin((x + y) * 0.02)));
                }
        }
        data.resize(4u << 20);
    }
    return data;
}

static void BM_lz_encode(benchmark::State& state) {
    const Buffer& data = picture_data();
    size_t packed = 0;
    for (auto _ : state) {
        Buffer block = lz_pack_block(data.data(), data.size());
        packed = block.size();
        benchmark::DoNotOptimize(block.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * data.size()));
    state.counters["ratio"] = double(packed) / double(data.size());
}
BENCHMARK(BM_lz_encode)->Unit(benchmark::kMillisecond);

static void BM_lz_decode(benchmark::State& state) {
    const Buffer& data = picture_data();
    const Buffer block = lz_pack_block(data.data(), data.size());
    for (auto _ : state) {
        std::optional<Buffer> out = unpack_block(block.data(), block.size());
        benchmark::DoNotOptimize(out->data());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * data.size()));
}
BENCHMARK(BM_lz_decode)->Unit(benchmark::kMillisecond);
