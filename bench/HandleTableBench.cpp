// How long the handle table takes to find a path among n entries, and to find a handle's path:
// the figures should not grow with n.
#include <benchmark/benchmark.h>

#include <string>

#include "DorvelFileManager.h"

namespace {

void FillTable(CDorvelFileManager& table, int64_t entries) {
    for (int64_t i = 0; i < entries; ++i) table.Add("/share/films/episode" + std::to_string(i));
}

void BM_FindPath(benchmark::State& state) {
    CDorvelFileManager table;
    FillTable(table, state.range(0));
    // Paths off the recent list, spread over the whole table.
    int64_t i = 0;
    for (auto _ : state) {
        std::string path = "/share/films/episode" + std::to_string((i * 7919) % state.range(0));
        benchmark::DoNotOptimize(table.GetFileId(path));
        ++i;
    }
}
BENCHMARK(BM_FindPath)->Arg(10)->Arg(10000)->Arg(1000000);

void BM_PathOfHandle(benchmark::State& state) {
    CDorvelFileManager table;
    FillTable(table, state.range(0));
    uint8_t handle[64] = {};
    for (int b = 0; b < 4; ++b) handle[4 + b] = static_cast<uint8_t>(table.Stamp() >> (8 * b));
    uint32_t i = 0;
    for (auto _ : state) {
        uint32_t index = (i++ * 7919u) % static_cast<uint32_t>(state.range(0));
        for (int b = 0; b < 4; ++b) handle[b] = static_cast<uint8_t>(index >> (8 * b));
        benchmark::DoNotOptimize(table.GetPath(handle, 64));
    }
}
BENCHMARK(BM_PathOfHandle)->Arg(10)->Arg(10000)->Arg(1000000);

}  // namespace

BENCHMARK_MAIN();
