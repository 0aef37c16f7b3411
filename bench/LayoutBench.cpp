// Laying out large free-form maps: the whole read with its first refresh, and a layout pass alone.

#include "BenchSupport.h"
#include "model/CVMindMaps.h"

#include <benchmark/benchmark.h>

namespace {

void BM_LoadAndRefresh(benchmark::State& state) {
    const std::string text = MakeDocument(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TMindMap map;
        map.LoadFromText(text, "bench.cvmx", true, 0);
        benchmark::DoNotOptimize(map.GetContentBounds(true));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_LayoutPass(benchmark::State& state) {
    TMindMap map;
    map.LoadFromText(MakeDocument(static_cast<int>(state.range(0))), "bench.cvmx", true, 0);
    for (auto _ : state) {
        map.RequestLayout();
        map.Refresh();
        benchmark::DoNotOptimize(map.CentralThemeAt(0)->BranchSize);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

} // namespace

BENCHMARK(BM_LoadAndRefresh)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayoutPass)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
