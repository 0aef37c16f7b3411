// Laying out large maps: the whole read with its first refresh, a layout pass alone over a free-form map, and one
// over a map laid out as nested columns and lists.

#include "BenchSupport.h"
#include "layout/NestedNodeLayouters.h"
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

// Nested columns and lists: the central theme spreads its branches over two columns, each branch's children head
// lists, whose items head rows (strict-vertical) of lists again.
void BM_NestedLayoutPass(benchmark::State& state) {
    TMindMap map;
    map.LoadFromText(MakeDocument(static_cast<int>(state.range(0))), "bench.cvmx", true, 0);
    map.BeginUpdate();
    for (int i = 0; i < map.TopicCount(); ++i) {
        TMindMapNode& topic = *map.TopicAt(i);
        switch (topic.Level()) {
        case 0:
            SetLayoutMode(topic, nlmStrictHorizontal);
            break;
        case 2:
        case 4:
            SetLayoutMode(topic, nlmList);
            break;
        case 3:
            SetLayoutMode(topic, nlmStrictVertical);
            break;
        default:
            break;
        }
    }
    map.EndUpdate();
    map.RequestLayout();
    map.Refresh();
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
BENCHMARK(BM_NestedLayoutPass)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
