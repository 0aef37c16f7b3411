// Outline imports and the native writer: each must take time in proportion to its input, also for the inputs
// that a naive backward search or look-ahead turns quadratic.

#include "BenchSupport.h"
#include "formats/CvmxWriters.h"
#include "formats/Providers.h"
#include "model/CVMindMaps.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// A TAB outline of count lines, by shape: 0 a balanced outline, 1 a short branch followed by lines that all open a
// note block that never closes (they become topics below the main branch), 2 top-level lines each followed by a
// deep jump.
std::string MakeOutline(int count, int shape) {
    std::string text;
    if (shape == 1)
        text = "A\n\tB\n\t\tC\n";
    for (int i = 0; i < count; ++i) {
        switch (shape) {
        case 0:
            text += std::string(static_cast<std::size_t>(i % 7), '\t') + "topic " + std::to_string(i) + "\n";
            break;
        case 1:
            text += "\t\t[\n";
            break;
        default:
            text += i % 2 == 0 ? "top\n" : std::string(40, '\t') + "deep\n";
            break;
        }
    }
    return text;
}

void BM_ImportTextOutline(benchmark::State& state) {
    const std::string text = MakeOutline(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        TMindMap map;
        map.LoadFromText(text, "", true, dkText);
        benchmark::DoNotOptimize(map.TopicCount());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_ImportOpml(benchmark::State& state) {
    std::string text = "<opml><body>";
    for (int i = 0; i < state.range(0); ++i)
        text += "<outline text=\"topic " + std::to_string(i) + "\"><outline text=\"[x] child\" _note=\"n\"/></outline>";
    text += "</body></opml>";
    for (auto _ : state) {
        TMindMap map;
        map.LoadFromText(text, "", true, dkOpml);
        benchmark::DoNotOptimize(map.TopicCount());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0) * 2);
}

void BM_WriteNative(benchmark::State& state) {
    TMindMap map;
    map.LoadFromText(MakeDocument(static_cast<int>(state.range(0))), "bench.cvmx", true, 0);
    for (auto _ : state) {
        TCvmxMindMapWriter writer(map);
        benchmark::DoNotOptimize(writer.Write(false).size());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

} // namespace

BENCHMARK(BM_ImportTextOutline)->ArgsProduct({{1000, 4000, 16000}, {0, 1, 2}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportOpml)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteNative)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
