// Measuring the texts of a large map, as every load does: each topic's plain text in the font of its level.

#include "model/CVMindMaps.h"
#include "styling/CVStyleManager.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// A map of `count` topics, up to eight children each, with texts of one to six words; every twentieth text has a
// second line. The same count gives the same map.
std::unique_ptr<TMindMap> MakeMap(int count) {
    static const char* const words[] = {
        "budget",    "review",  "Q3",      "launch",  "marketing",  "team",     "hiring",   "roadmap",
        "customer",  "support", "release", "design",  "backlog",    "research", "planning", "sales",
        "Überblick", "données", "risk",    "metrics", "onboarding", "partner",  "API",      "draft",
    };
    std::mt19937 random(42);
    std::uniform_int_distribution<int> wordCount(1, 6);
    std::uniform_int_distribution<int> word(0, static_cast<int>(std::size(words)) - 1);
    auto map = std::make_unique<TMindMap>();
    std::vector<TMindMapNode*> topics;
    topics.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        // built as a reader builds maps: re-parenting a loaded topic rebuilds the list of central themes
        TMindMapNode* topic = map->NewTopic({0, 0}, true);
        if (i > 0)
            topic->SetParent(topics[static_cast<std::size_t>((i - 1) / 8)]);
        std::string text = std::to_string(i);
        for (int w = wordCount(random); w > 0; --w)
            text += std::string(" ") + words[word(random)];
        if (i % 20 == 0)
            text += "\rsecond line of notes";
        topic->SetText(text, tfPlain);
        topics.push_back(topic);
    }
    for (TMindMapNode* topic : topics)
        topic->FinishLoading();
    map->RebuildCentralThemes();
    return map;
}

struct TTopicText {
    int Level;
    TFontDescriptor Font;
    std::string Text;
};

std::vector<TTopicText> TopicTexts(TMindMap& map) {
    std::vector<TTopicText> texts;
    for (int i = 0; i < map.TopicCount(); ++i) {
        TMindMapNode* topic = map.TopicAt(i);
        texts.push_back({topic->Level(), topic->Style().FontDescriptor(), topic->PlainText()});
    }
    return texts;
}

double MeasureAll(TStyleManager& manager, const std::vector<TTopicText>& texts) {
    double total = 0;
    for (const TTopicText& text : texts)
        total += manager.MeasureElementText(manager.TopicDataForLevel(text.Level), text.Font, text.Text).Size.X;
    return total;
}

// A fresh manager every time: nothing measured before, as when a document is opened.
void BM_MeasureMapTexts(benchmark::State& state) {
    const auto map = MakeMap(static_cast<int>(state.range(0)));
    const std::vector<TTopicText> texts = TopicTexts(*map);
    for (auto _ : state) {
        state.PauseTiming();
        auto manager = std::make_unique<TStyleManager>("en_US.UTF-8");
        state.ResumeTiming();
        benchmark::DoNotOptimize(MeasureAll(*manager, texts));
        state.PauseTiming();
        manager.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

// The same texts again in unchanged fonts, as relayouts of an open document ask for them.
void BM_MeasureMapTextsAgain(benchmark::State& state) {
    const auto map = MakeMap(static_cast<int>(state.range(0)));
    const std::vector<TTopicText> texts = TopicTexts(*map);
    TStyleManager manager("en_US.UTF-8");
    MeasureAll(manager, texts);
    for (auto _ : state)
        benchmark::DoNotOptimize(MeasureAll(manager, texts));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

} // namespace

BENCHMARK(BM_MeasureMapTexts)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeasureMapTextsAgain)->Arg(100000)->Unit(benchmark::kMillisecond);
