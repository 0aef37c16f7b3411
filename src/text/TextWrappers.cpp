#include "text/TextWrappers.h"

#include "model/CVMindMaps.h"
#include "platform/CVStrings.h"
#include "text/MarkDownParsers.h"
#include "text/RichTextSpanParsers.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double BalanceTolerance = 5;
constexpr int BalanceRounds = 20;
// Widths beyond this are nonsense from a measurer; they are cut here so that sums and roundings stay finite.
constexpr double MaxWidth = 1e7;

// A measured length as a finite, non-negative number: NaN counts as nothing, infinity as very long.
double SafeLength(double value) {
    if (std::isnan(value) || value <= 0)
        return 0;
    return std::min(value, MaxWidth);
}

int RoundPixels(double value) {
    return static_cast<int>(RoundHalfEven(std::clamp(value, -1e9, 1e9)));
}

// The displayed text of each word: rich-text escapes never cross a word boundary, so each word is filtered alone;
// Markdown spans do, so the delimiters are found in the whole paragraph and cut out of its words.
std::vector<std::string> DisplayedWords(const TParagraphWordScanner& words, TTextFormat format) {
    std::vector<std::string> result;
    const int count = words.WordCount();
    result.reserve(static_cast<std::size_t>(count));
    if (format == tfRichText) {
        for (int i = 0; i < count; ++i)
            result.push_back(FilterRichText(std::string(words.Word(i))));
        return result;
    }
    std::vector<bool> hidden; // by code point of the paragraph text
    if (format == tfMarkdown && FilterMarkdown(words.Text()) != words.Text()) {
        const TMarkdownSpanParser parser(words.Text());
        hidden.assign(CodePointCount(words.Text()), false);
        for (const TMarkdownSpanNode& node : parser.Nodes())
            for (std::size_t k = 0; k < MarkdownDelimiterLength(node.Kind); ++k) {
                hidden.at(node.Opening - 1 + k) = true;
                hidden.at(node.Closing - 1 + k) = true;
            }
    }
    if (hidden.empty()) {
        for (int i = 0; i < count; ++i)
            result.emplace_back(words.Word(i));
        return result;
    }
    const std::string_view text = words.Text();
    std::size_t pos = 0;
    std::size_t index = 0; // code point at pos
    for (int i = 0; i < count; ++i) {
        for (; pos < words.WordStart(i); ++index)
            NextCodePoint(text, pos);
        std::string shown;
        const std::size_t end = words.WordStart(i) + words.Word(i).size();
        while (pos < end) {
            const std::size_t start = pos;
            NextCodePoint(text, pos);
            if (!hidden[index++])
                shown.append(text.substr(start, pos - start));
        }
        result.push_back(std::move(shown));
    }
    return result;
}

// Widths and heights of a text as layout sees it: never below one line.
TFloatPoint ElementTextSize(const std::string& plainText, ITextMeasurer& measurer) {
    const double lineHeight = SafeLength(measurer.LineHeight());
    const TFloatPoint size = measurer.MeasureText(plainText);
    return {std::max(SafeLength(size.X), lineHeight), std::max(SafeLength(size.Y), lineHeight)};
}

template <class TState, class TElement> bool AutoWrapElement(TElement& element, ITextMeasurer& measurer, bool forced) {
    const std::string& text = element.Text();
    if (IsBlankText(text) || !HasBreakCharacter(text))
        return false;
    const TFloatPoint size = ElementTextSize(element.PlainText(), measurer);
    if (!(size.Y > 0))
        return false;
    double ratio = size.X / size.Y;
    if (!forced && (ratio <= 14 || text.find_first_of("\r\n") != std::string::npos))
        return false; // explicit line breaks are the author's
    TState state(element, measurer);
    double base = size.X;
    if (forced) {
        base = state.NaturalWidth();
        ratio = base / std::max(SafeLength(measurer.LineHeight()), 6.0);
    }
    const std::int64_t lines = RoundHalfEven(std::min(ratio, 1e9)) / 30 + 2;
    const int target = RoundPixels(1.2 / static_cast<double>(lines) * base);
    return state.SetWrapWidth(target, true);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Lines

TWrappedLines WrapLines(const TTextParagraph& paragraph, double width) {
    TWrappedLines lines;
    if (paragraph.BlankBefore())
        lines.push_back({});
    const int count = paragraph.WordCount();
    for (int first = 0; first < count;) {
        // The words before the last one on the line count with their trailing spaces, the last one without.
        double run = paragraph.WordWidth(first);
        TWrappedLine line{first, first, paragraph.TrimmedWordWidth(first)};
        const int mustTake = first == 0 && paragraph.IsListItem() ? 1 : first;
        for (int i = first + 1; i < count; ++i) {
            const double lineWidth = run + paragraph.TrimmedWordWidth(i);
            if (lineWidth > width && i > mustTake)
                break;
            line.Last = i;
            line.Width = lineWidth;
            run += paragraph.WordWidth(i);
        }
        lines.push_back(line);
        first = line.Last + 1;
    }
    return lines;
}

TWrappedLines WrapParagraphLines(const TTextParagraph& paragraph, double width, bool balanced, int* searchRounds) {
    TWrappedLines lines = WrapLines(paragraph, width);
    int rounds = 0;
    const int wordLines = static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [](const TWrappedLine& line) { return !line.Empty(); }));
    if (balanced && wordLines > 1) {
        double narrowest = std::numeric_limits<double>::infinity();
        double widest = 0;
        for (const TWrappedLine& line : lines)
            if (!line.Empty()) {
                narrowest = std::min(narrowest, line.Width);
                widest = std::max(widest, line.Width);
            }
        // A word wider than the target makes the widest line wider than the target. A search starting there could
        // settle above the target and pack the other lines wider than it, so the search stays at or below it.
        double lo = std::min(width, narrowest);
        double hi = std::min(widest, width);
        const std::size_t lineCount = lines.size();
        while (hi - lo > BalanceTolerance && rounds < BalanceRounds) {
            ++rounds;
            const double mid = static_cast<double>(RoundHalfEven((lo + hi) / 2));
            TWrappedLines trial = WrapLines(paragraph, mid);
            if (trial.size() > lineCount) {
                lo = mid;
            } else {
                lines = std::move(trial);
                hi = mid;
            }
        }
    }
    if (searchRounds)
        *searchRounds = rounds;
    return lines;
}

std::string WrapParagraph(const TTextParagraph& paragraph, double width, bool balanced) {
    const TParagraphWordScanner& words = paragraph.Words();
    if (words.WordCount() == 0)
        return {};
    if (words.WordCount() == 1)
        return (paragraph.BlankBefore() ? "\r" : "") + std::string(words.WordsText(0, 0));
    std::string text;
    bool firstLine = true;
    for (const TWrappedLine& line : WrapParagraphLines(paragraph, width, balanced)) {
        if (!firstLine)
            text += "\r\n";
        firstLine = false;
        text.append(words.WordsText(line.First, line.Last));
    }
    text.resize(TrimTrailingWhitespace(text).size());
    return text;
}

// ---------------------------------------------------------------------------------------------------------------
// Wrap states

TElementWordWrapState::TElementWordWrapState(ITextMeasurer& measurer) : FMeasurer(&measurer) {}

TElementWordWrapState::~TElementWordWrapState() = default;

void TElementWordWrapState::AttachElement() {
    const std::string text = GetElementText();
    FMinWrapWidth = RoundPixels(SafeLength(FMeasurer->LineHeight()));
    FWrapWidth = RoundPixels(ElementTextSize(PlainTextForFormat(text, GetElementTextFormat()), *FMeasurer).X);
    FParagraphs = BuildParagraphs(text);
    FNaturalWidth = FMinWrapWidth;
    for (const auto& paragraph : FParagraphs) {
        MeasureParagraph(*paragraph);
        FNaturalWidth = std::max(FNaturalWidth, paragraph->NaturalWidth());
    }
}

double TElementWordWrapState::MeasureWidth(std::string_view text) {
    return FMeasurer->MeasureText(text).X;
}

void TElementWordWrapState::MeasureParagraph(TTextParagraph& paragraph) {
    const std::vector<std::string> shown = DisplayedWords(paragraph.Words(), GetElementTextFormat());
    std::vector<double> full;
    std::vector<double> trimmed;
    full.reserve(shown.size());
    trimmed.reserve(shown.size());
    // Real text repeats its words, and measuring is the costly part.
    const auto measure = [this](std::string_view text) {
        if (text.empty())
            return 0.0;
        auto [entry, added] = FWidthCache.try_emplace(std::string(text), 0.0);
        if (added)
            entry->second = SafeLength(MeasureWidth(text));
        return entry->second;
    };
    for (const std::string& word : shown) {
        const std::string_view bare = TrimTrailingWhitespace(word);
        full.push_back(measure(word));
        trimmed.push_back(bare.size() == word.size() ? full.back() : measure(bare));
    }
    paragraph.SetWordWidths(full, trimmed);
}

bool TElementWordWrapState::SetWrapWidth(int width, bool balanced) {
    FBalanced = balanced;
    if (width < 0) {
        FWrapWidth = -1;
        return false;
    }
    width = std::max(width, FMinWrapWidth);
    if (width == FWrapWidth)
        return false;
    FWrapWidth = width;
    if (FParagraphs.empty())
        return false;
    const std::string text = BuildWrappedText();
    // Elements store CR line breaks: a wrap into the lines the text already has is no change.
    if (NormalizeTopicText(text) == GetElementText())
        return false;
    SetElementText(text);
    return true;
}

std::string TElementWordWrapState::BuildWrappedText() const {
    // Not wrapped: every paragraph on one line.
    const double width = FWrapWidth < 0 ? std::numeric_limits<double>::infinity() : FWrapWidth;
    std::string text;
    for (const auto& paragraph : FParagraphs) {
        const std::string wrapped = WrapParagraph(*paragraph, width, FBalanced);
        if (wrapped.empty())
            continue;
        if (!text.empty())
            text += "\r\n";
        text += wrapped;
    }
    return Trim(text);
}

TNodeWordWrapState::TNodeWordWrapState(TMindMapNode& topic, ITextMeasurer& measurer)
    : TElementWordWrapState(measurer), FTopic(&topic) {
    AttachElement();
}

void TNodeWordWrapState::SetElementText(const std::string& text) {
    // A topic that is still being read takes its text as given.
    FTopic->SetText(NormalizeTopicText(text), FTopic->TextFormat());
}

std::string TNodeWordWrapState::GetElementText() const {
    return FTopic->Text();
}

TTextFormat TNodeWordWrapState::GetElementTextFormat() const {
    return FTopic->TextFormat();
}

TTextWordWrapState::TTextWordWrapState(TMindMapText& text, ITextMeasurer& measurer)
    : TElementWordWrapState(measurer), FText(&text) {
    AttachElement();
}

void TTextWordWrapState::SetElementText(const std::string& text) {
    FText->SetText(text, FText->TextFormat());
}

std::string TTextWordWrapState::GetElementText() const {
    return FText->Text();
}

TTextFormat TTextWordWrapState::GetElementTextFormat() const {
    return FText->TextFormat();
}

TStringWordWrapState::TStringWordWrapState(const std::string& text, TTextFormat format, ITextMeasurer& measurer)
    : TElementWordWrapState(measurer), FText(NormalizeTopicText(text)), FFormat(format) {
    AttachElement();
}

void TStringWordWrapState::SetElementText(const std::string& text) {
    FText = NormalizeTopicText(text);
}

// ---------------------------------------------------------------------------------------------------------------
// Wrapping elements

bool AutoWrap(TMindMapNode& topic, ITextMeasurer& measurer, bool forced) {
    return AutoWrapElement<TNodeWordWrapState>(topic, measurer, forced);
}

bool AutoWrap(TMindMapText& text, ITextMeasurer& measurer, bool forced) {
    return AutoWrapElement<TTextWordWrapState>(text, measurer, forced);
}

bool ApplyStoredWrapWidth(TMindMapNode& topic, ITextMeasurer& measurer) {
    const int width = topic.WrapWidth();
    if (width <= 0)
        return false;
    topic.SetWrapWidth(-1);
    TNodeWordWrapState state(topic, measurer);
    return state.SetWrapWidth(width, false);
}
