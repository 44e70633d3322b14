// LZ encode and decode of 4 MB of the show's pictures.
#include "data/builtin.h"
#include "data/pack.h"
#include "lz_encode.h"

#include <benchmark/benchmark.h>

#include <string>

// The show's own pictures, masks, maps and textures from the built-in pack,
// repeated up to 4 MB.
static const Buffer& picture_data() {
    static Buffer data;
    if (data.empty()) {
        const Blob pack = builtin_pack();
        for (const PackDirEntry& e : pack_directory(pack.data, pack.size)) {
            const std::string name = e.name;
            if (name.size() < 4 || name.compare(name.size() - 4, 4, ".raw") != 0) continue;
            if (!pack_entry_in_bounds(e, pack.size)) continue;
            std::optional<Buffer> item = unpack_block(pack.data + e.offset, e.stored_size);
            if (item) data.insert(data.end(), item->begin(), item->end());
        }
        if (data.empty()) data.assign(1, 0);
        while (data.size() < 4u << 20) data.insert(data.end(), data.begin(), data.end());
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
