// Word wrapping one long paragraph, with a measurer that costs next to nothing, so that the figure is the
// wrapper's own work.

#include "model/CVMindMaps.h"
#include "platform/CVStrings.h"
#include "text/TextWrappers.h"

#include <benchmark/benchmark.h>

#include <iterator>
#include <string>

namespace {

class TFixedPitchMeasurer : public ITextMeasurer {
public:
    TFloatPoint MeasureText(std::string_view text) override {
        return {7.0 * static_cast<double>(CodePointCount(text)), 16};
    }
    double LineHeight() override { return 16; }
};

std::string Paragraph(int words) {
    static const char* const vocabulary[] = {"a",        "map",    "topic", "wraps,", "its", "text",     "into",
                                             "balanced", "lines;", "every", "word",   "is",  "measured", "once."};
    std::string text;
    for (int i = 0; i < words; ++i) {
        if (i)
            text += ' ';
        // a number makes every word different, so that no measurement is saved by repetition
        text += std::to_string(i) + vocabulary[static_cast<std::size_t>(i * 7 + i / 3) % std::size(vocabulary)];
    }
    return text;
}

// Measuring the words and wrapping them to 300 pixels; the argument is the number of words, then 1 for balanced.
void BM_WrapParagraph(benchmark::State& state) {
    const std::string text = Paragraph(static_cast<int>(state.range(0)));
    const bool balanced = state.range(1) != 0;
    TFixedPitchMeasurer measurer;
    for (auto _ : state) {
        TStringWordWrapState wrap(text, tfPlain, measurer);
        wrap.SetWrapWidth(300, balanced);
        benchmark::DoNotOptimize(wrap.Text().size());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

} // namespace

BENCHMARK(BM_WrapParagraph)->Args({2000, 0})->Args({2000, 1})->Args({20000, 1})->Unit(benchmark::kMicrosecond);
