// Reading large native documents: the XML parse alone and the whole read into a map.

#include "BenchSupport.h"
#include "formats/XMLFilers.h"
#include "model/CVMindMaps.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void BM_ParseXml(benchmark::State& state) {
    const std::string text = MakeDocument(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TXMLDocument document;
        TXMLFiler::LoadFromString(text, document);
        benchmark::DoNotOptimize(document.ChildCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

void BM_LoadMap(benchmark::State& state) {
    const std::string text = MakeDocument(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TMindMap map;
        map.LoadFromText(text, "bench.cvmx", true, 0);
        benchmark::DoNotOptimize(map.TopicCount());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

// Inputs that a careless tokenizer handles in quadratic time.
std::string Pathological(int which) {
    const auto repeat = [](std::string_view piece, int count) {
        std::string text;
        text.reserve(piece.size() * static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            text += piece;
        return text;
    };
    switch (which) {
    case 0:
        return "<a>" + std::string(5'000'000, 'x') + "</a>";
    case 1:
        return "<a>" + repeat("&#&#x&amp", 500'000) + "</a>";
    case 2:
        return "<a t=\"" + repeat("&#1234567890", 400'000) + "\"/>";
    case 3: {
        std::string text = "<a";
        for (int i = 0; text.size() < 3'000'000; ++i)
            text += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
        return text + "/>";
    }
    case 4:
        return "<a>" + repeat("<b/>", 500'000) + "</a>";
    default:
        return "<a>" + std::string(5'000'000, '\n') + "</b>"; // the error names a line far down
    }
}

void BM_ParsePathologicalXml(benchmark::State& state) {
    const std::string text = Pathological(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TXMLDocument document;
        try {
            TXMLFiler::LoadFromString(text, document);
        } catch (const EOXXMLException&) {
        }
        benchmark::DoNotOptimize(document.ChildCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

} // namespace

BENCHMARK(BM_ParsePathologicalXml)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseXml)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMap)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
