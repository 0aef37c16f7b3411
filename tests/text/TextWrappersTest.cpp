#include "text/TextWrappers.h"

#include "model/CVMindMaps.h"
#include "platform/CVStrings.h"
#include "text/MarkDownParsers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

// Every character is equally wide and every line equally high, so that widths can be worked out by hand.
class TFixedPitchMeasurer : public ITextMeasurer {
public:
    explicit TFixedPitchMeasurer(double charWidth = 7, double lineHeight = 16)
        : FCharWidth(charWidth), FLineHeight(lineHeight) {}

    TFloatPoint MeasureText(std::string_view text) override {
        ++FCalls;
        std::size_t widest = 0;
        std::size_t count = 0;
        int lines = 1;
        for (std::size_t pos = 0; pos < text.size();) {
            const char32_t c = NextCodePoint(text, pos);
            if (c == U'\n' && pos >= 2 && text[pos - 2] == '\r')
                continue;
            if (c == U'\r' || c == U'\n') {
                widest = std::max(widest, count);
                count = 0;
                ++lines;
            } else {
                ++count;
            }
        }
        return {static_cast<double>(std::max(widest, count)) * FCharWidth, lines * FLineHeight};
    }
    double LineHeight() override { return FLineHeight; }

    double Width(std::string_view line) const { return static_cast<double>(CodePointCount(line)) * FCharWidth; }
    int Calls() const { return FCalls; }

private:
    double FCharWidth;
    double FLineHeight;
    int FCalls = 0;
};

// Answers the same width for everything, whatever it is.
class TBrokenMeasurer : public ITextMeasurer {
public:
    TBrokenMeasurer(double width, double lineHeight) : FWidth(width), FLineHeight(lineHeight) {}
    TFloatPoint MeasureText(std::string_view) override { return {FWidth, FLineHeight}; }
    double LineHeight() override { return FLineHeight; }

private:
    double FWidth;
    double FLineHeight;
};

// Counts how often the wrapped text is stored.
class TCountingWrapState : public TStringWordWrapState {
public:
    using TStringWordWrapState::TStringWordWrapState;
    int Stores = 0;

protected:
    void SetElementText(const std::string& text) override {
        ++Stores;
        TStringWordWrapState::SetElementText(text);
    }
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    const std::string normalized = NormalizeTopicText(text);
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = normalized.find('\r', start);
        lines.push_back(normalized.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
}

// Every word of every paragraph, without trailing whitespace, in order.
std::vector<std::string> AllWords(const std::string& text) {
    std::vector<std::string> words;
    for (const auto& paragraph : BuildParagraphs(text))
        for (int i = 0; i < paragraph->WordCount(); ++i)
            words.emplace_back(TrimTrailingWhitespace(paragraph->Words().Word(i)));
    return words;
}

std::string Wrap(const std::string& text, int width, bool balanced, TTextFormat format = tfPlain) {
    TFixedPitchMeasurer measurer;
    TStringWordWrapState state(text, format, measurer);
    state.SetWrapWidth(width, balanced);
    return state.Text();
}

// The wrap kept every word whole and in order, and every line fits unless it is one word, or the marker and first
// word of a list item.
void ExpectSoundWrap(const std::string& source, const std::string& wrapped, double width) {
    const TFixedPitchMeasurer measurer;
    EXPECT_EQ(AllWords(wrapped), AllWords(source));
    for (const std::string& line : Lines(wrapped)) {
        const int words = TParagraphWordScanner(line).WordCount();
        const bool mayOverflow = words == 1 || (words == 2 && ClassifyLine(line) != lkText);
        if (!mayOverflow) {
            EXPECT_LE(measurer.Width(line), width) << "line: " << line;
        }
    }
}

// A paragraph measured by the fixed-pitch measurer.
std::unique_ptr<TTextParagraph> MeasuredParagraph(const std::string& text, bool blankBefore = false,
                                                  bool isListItem = false) {
    auto paragraph = std::make_unique<TTextParagraph>(text, blankBefore, isListItem);
    const TFixedPitchMeasurer measurer;
    std::vector<double> full;
    std::vector<double> trimmed;
    for (int i = 0; i < paragraph->WordCount(); ++i) {
        full.push_back(measurer.Width(paragraph->Words().Word(i)));
        trimmed.push_back(measurer.Width(TrimTrailingWhitespace(paragraph->Words().Word(i))));
    }
    paragraph->SetWordWidths(full, trimmed);
    return paragraph;
}

std::string LineText(const TTextParagraph& paragraph, const TWrappedLine& line) {
    return std::string(paragraph.Words().WordsText(line.First, line.Last));
}

// Text of exactly `length` characters made of three-letter words.
std::string WordsOfLength(std::size_t length) {
    std::string text;
    while (text.size() < length)
        text += "abc ";
    text.resize(length);
    if (text.back() == ' ')
        text.back() = 'x';
    return text;
}

std::string LongParagraph(int words) {
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

const char* const SampleTexts[] = {
    "The quick brown fox jumps over the lazy dog",
    "alpha, beta; gamma: delta. epsilon zeta",
    "- a bullet item that runs on for quite a few words",
    "12. numbered item with several words in it",
    "supercalifragilisticexpialidocious is a word, so is antidisestablishmentarianism",
    "Gr\u00fc\u00dfe aus K\u00f6ln, M\u00fcnchen und Z\u00fcrich: sch\u00f6ne St\u00e4dte.",
    "\u4e2d\u6587\u6587\u672c\uff0c\u6ca1\u6709\u7a7a\u683c\u3002\u4f46\u662f\u6709\u6807\u70b9\u7b26\u53f7\uff1a"
    "\u8fd9\u91cc\uff1b\u8fd8\u6709\u8fd9\u91cc\uff01",
    "first paragraph line\rcontinues here\r\rsecond paragraph after a blank\r- item one\r- item two",
    "a b c d e f g h i j k l m n o p",
    "1.5 litres of milk, -5 degrees outside",
};

const int SampleWidths[] = {1, 16, 30, 50, 70, 100, 140, 200, 400, 2000};

class TWrapWithMarkdownFiltering : public testing::Test {
protected:
    void SetUp() override { TMarkDownProperties::Instance().SetMarkDownFilteringEnabled(true); }
    void TearDown() override { TMarkDownProperties::Instance().SetMarkDownFilteringEnabled(false); }
};

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Lines

TEST(WrapLines, EveryLineFitsAndTakesEveryWordThatFits) {
    for (const char* text : SampleTexts) {
        for (const auto& paragraph : BuildParagraphs(text)) {
            const auto measured =
                MeasuredParagraph(paragraph->Text(), paragraph->BlankBefore(), paragraph->IsListItem());
            for (int width : SampleWidths) {
                SCOPED_TRACE(paragraph->Text() + " at " + std::to_string(width));
                const TWrappedLines lines = WrapLines(*measured, width);
                int next = 0;
                for (std::size_t k = 0; k < lines.size(); ++k) {
                    const TWrappedLine& line = lines[k];
                    if (line.Empty()) {
                        EXPECT_EQ(k, 0U) << "only the blank line before comes empty";
                        continue;
                    }
                    ASSERT_EQ(line.First, next) << "no word skipped";
                    ASSERT_GE(line.Last, line.First);
                    next = line.Last + 1;
                    const TFixedPitchMeasurer measurer;
                    const std::string shown = LineText(*measured, line);
                    EXPECT_EQ(line.Width, measurer.Width(shown)) << shown;
                    const bool forced =
                        line.First == line.Last || (measured->IsListItem() && line.First == 0 && line.Last == 1);
                    if (!forced) {
                        EXPECT_LE(line.Width, width) << shown;
                    }
                    if (next < measured->WordCount()) {
                        const std::string longer = LineText(*measured, {line.First, next});
                        EXPECT_GT(measurer.Width(longer), width) << "the next word would have fit: " << longer;
                    }
                }
                EXPECT_EQ(next, measured->WordCount());
                EXPECT_EQ(!lines.empty() && lines.front().Empty(), measured->BlankBefore());
            }
        }
    }
}

TEST(WrapLines, AWordWiderThanTheTargetGetsALineOfItsOwn) {
    const auto paragraph = MeasuredParagraph("a supercalifragilisticexpialidocious b c");
    const TWrappedLines lines = WrapLines(*paragraph, 30);
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(LineText(*paragraph, lines[0]), "a");
    EXPECT_EQ(LineText(*paragraph, lines[1]), "supercalifragilisticexpialidocious");
    EXPECT_EQ(LineText(*paragraph, lines[2]), "b c");
}

TEST(WrapLines, AListItemKeepsItsMarkerWithTheFirstWord) {
    struct TCase {
        const char* Text;
        const char* FirstLine;
    };
    const TCase cases[] = {
        {"- alpha beta", "- alpha"},
        {"* alpha beta", "* alpha"},
        {"12. item one", "12. item"},
        {"- supercalifragilisticexpialidocious beta", "- supercalifragilisticexpialidocious"},
        {"-", "-"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        const auto paragraph = MeasuredParagraph(c.Text, false, true);
        const TWrappedLines lines = WrapLines(*paragraph, 1);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(LineText(*paragraph, lines[0]), c.FirstLine);
        // the text, not only a flag set by hand, makes the paragraph a list item
        const TTextParagraphs built = BuildParagraphs(c.Text);
        ASSERT_EQ(built.size(), 1U);
        EXPECT_TRUE(built[0]->IsListItem());
    }
}

TEST(WrapLines, OnlyTheFirstLineOfAListItemTakesTwoWords) {
    const auto paragraph = MeasuredParagraph("- alpha beta gamma", false, true);
    const TWrappedLines lines = WrapLines(*paragraph, 1);
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(LineText(*paragraph, lines[1]), "beta");
    EXPECT_EQ(LineText(*paragraph, lines[2]), "gamma");
    const auto plain = MeasuredParagraph("- alpha beta gamma");
    EXPECT_EQ(WrapLines(*plain, 1).size(), 4U) << "a text paragraph breaks after the dash like anywhere else";
}

TEST(WrapParagraphLines, BalancingNeverAddsLinesNorGoesBeyondTheTarget) {
    for (const char* text : SampleTexts) {
        for (const auto& source : BuildParagraphs(text)) {
            const auto paragraph = MeasuredParagraph(source->Text(), source->BlankBefore(), source->IsListItem());
            for (int width : SampleWidths) {
                SCOPED_TRACE(source->Text() + " at " + std::to_string(width));
                const TWrappedLines greedy = WrapLines(*paragraph, width);
                int rounds = -1;
                const TWrappedLines balanced = WrapParagraphLines(*paragraph, width, true, &rounds);
                EXPECT_EQ(balanced.size(), greedy.size());
                EXPECT_LE(rounds, 20);
                for (const TWrappedLine& line : balanced) {
                    if (!line.Empty() && line.First != line.Last && !(paragraph->IsListItem() && line.First == 0)) {
                        EXPECT_LE(line.Width, width) << LineText(*paragraph, line);
                    }
                }
            }
        }
    }
}

TEST(WrapParagraphLines, BalancingEvensOutTheLines) {
    // Greedy at 140 (20 characters): "abc abc abc abc abc" and "abc abc abc a".
    const auto paragraph = MeasuredParagraph(WordsOfLength(33));
    const TWrappedLines greedy = WrapLines(*paragraph, 140);
    const TWrappedLines balanced = WrapParagraphLines(*paragraph, 140, true);
    ASSERT_EQ(greedy.size(), 2U);
    ASSERT_EQ(balanced.size(), 2U);
    const auto spread = [](const TWrappedLines& lines) { return std::abs(lines[0].Width - lines[1].Width); };
    EXPECT_LT(spread(balanced), spread(greedy));
    EXPECT_LE(spread(balanced), 14); // two characters
}

TEST(WrapParagraphLines, BalancingBesideAWordWiderThanTheTargetKeepsTheOtherLinesWithinIt) {
    // Greedy at 70: "long", "p q" (69), "t r" (38). Below 69 the words need four lines; a search that started from
    // the long line (1000) would therefore settle at 72 and keep "p q t", 72 wide.
    TTextParagraph paragraph("long p q t r", false, false);
    const std::vector<double> widths = {1000, 35, 34, 3, 35};
    paragraph.SetWordWidths(widths, widths);
    const TWrappedLines lines = WrapParagraphLines(paragraph, 70, true);
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(LineText(paragraph, lines[0]), "long");
    for (std::size_t k = 1; k < lines.size(); ++k) {
        EXPECT_LE(lines[k].Width, 70) << LineText(paragraph, lines[k]);
    }
}

TEST(WrapParagraphLines, SearchStopsWithinFivePixelsOrAfterTwentyHalvings) {
    struct TCase {
        const char* Name;
        std::vector<double> Widths;
        double Target;
        int Rounds;
    };
    const TCase cases[] = {
        // lines of 4e6 and 4e6 + 1: the interval is 1 from the start
        {"even lines", {4e6, 4e6, 1}, 5e6, 0},
        // lines of 6e6 and 1: halving 6e6 down to 5 takes more than 20 rounds
        {"very uneven lines", {6e6, 1}, 6e6, 20},
        // lines 49 and 7, target 49: the interval goes 42, 21, 11, 5
        {"a few rounds", {49, 7}, 49, 3},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::string text;
        for (std::size_t i = 0; i < c.Widths.size(); ++i)
            text += i ? " w" : "w";
        TTextParagraph paragraph(text, false, false);
        paragraph.SetWordWidths(c.Widths, c.Widths);
        int rounds = -1;
        const TWrappedLines greedy = WrapLines(paragraph, c.Target);
        const TWrappedLines lines = WrapParagraphLines(paragraph, c.Target, true, &rounds);
        EXPECT_EQ(rounds, c.Rounds);
        EXPECT_EQ(lines.size(), greedy.size());
    }
}

TEST(WrapParagraph, ParagraphsOfOneWordOrNoneAreNotBalanced) {
    EXPECT_EQ(WrapParagraph(*MeasuredParagraph(""), 10, true), "");
    EXPECT_EQ(WrapParagraph(*MeasuredParagraph("word"), 10, true), "word");
    EXPECT_EQ(WrapParagraph(*MeasuredParagraph("word", true), 10, true), "\rword");
    EXPECT_EQ(WrapParagraph(*MeasuredParagraph("two words", true), 10, false), "\r\ntwo\r\nwords");
}

// ---------------------------------------------------------------------------------------------------------------
// Wrap states

TEST(TStringWordWrapState, BreaksOnlyBetweenWordsAndEveryLineFits) {
    for (const char* text : SampleTexts) {
        for (int width : SampleWidths) {
            for (bool balanced : {false, true}) {
                SCOPED_TRACE(std::string(text) + " at " + std::to_string(width) + (balanced ? " balanced" : ""));
                ExpectSoundWrap(text, Wrap(text, width, balanced), std::max(width, 16));
            }
        }
    }
}

TEST(TStringWordWrapState, KeepsParagraphsBlankLinesAndListItemsApart) {
    struct TCase {
        const char* Text;
        int Width;
        const char* Wrapped;
    };
    const TCase cases[] = {
        {"alpha beta gamma", 80, "alpha beta\rgamma"},
        {"alpha beta\rgamma delta", 1000, "alpha beta gamma delta"}, // lines of a paragraph flow together
        {"alpha beta\r\rgamma delta", 50, "alpha\rbeta\r\rgamma\rdelta"},
        {"alpha beta\r\r\r\rgamma delta", 1000, "alpha beta\r\rgamma delta"}, // several blank lines give one
        {"alpha beta\r\rgamma", 50, "alpha\rbeta\r\rgamma"},                  // one word keeps its blank line too
        {"\r\ralpha beta", 50, "alpha\rbeta"},                                // but not at the start
        {"intro text\r- one two\r- three", 50, "intro\rtext\r- one\rtwo\r- three"},
        {"intro\r\r- one two", 50, "intro\r\r- one\rtwo"},
        {"item list\r12. one two", 60, "item\rlist\r12. one\rtwo"},
        {"costs\r1.5 litres", 1000, "costs 1.5 litres"},
        {"it is\r-5 degrees", 1000, "it is -5 degrees"},
        {"  padded words  ", 60, "padded\rwords"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(Wrap(c.Text, c.Width, false), c.Wrapped);
    }
}

TEST(TStringWordWrapState, LeavesEmptyAndBlankTextAlone) {
    for (const char* text : {"", " ", "\r\r", " \r\n\t "}) {
        SCOPED_TRACE(testing::PrintToString(text));
        TFixedPitchMeasurer measurer;
        TCountingWrapState state(text, tfPlain, measurer);
        EXPECT_TRUE(state.Paragraphs().empty());
        EXPECT_FALSE(state.SetWrapWidth(50, true));
        EXPECT_EQ(state.Stores, 0);
        EXPECT_EQ(state.Text(), NormalizeTopicText(text));
        EXPECT_EQ(state.BuildWrappedText(), "");
        EXPECT_EQ(state.NaturalWidth(), 16);
    }
}

TEST(TStringWordWrapState, LeavesALongWordWithoutSeparatorsAlone) {
    for (bool balanced : {false, true}) {
        TFixedPitchMeasurer measurer;
        TCountingWrapState state("supercalifragilisticexpialidocious", tfPlain, measurer);
        EXPECT_FALSE(state.SetWrapWidth(50, balanced));
        EXPECT_EQ(state.Stores, 0);
        EXPECT_EQ(state.Text(), "supercalifragilisticexpialidocious");
    }
}

TEST(TStringWordWrapState, TargetsBelowTheLineHeightAreRaisedToIt) {
    TFixedPitchMeasurer measurer(5, 20);
    TStringWordWrapState state("a b c d", tfPlain, measurer);
    EXPECT_EQ(state.MinWrapWidth(), 20);
    state.SetWrapWidth(3, false);
    EXPECT_EQ(state.WrapWidth(), 20);
    EXPECT_EQ(state.Text(), "a b\rc d"); // "a b" is 15 wide; at 3 every word would take a line
}

TEST(TStringWordWrapState, StartsAtTheTextWidthAndANegativeWidthOnlyUnwraps) {
    TFixedPitchMeasurer measurer;
    TCountingWrapState state("alpha beta\rgamma", tfPlain, measurer);
    EXPECT_EQ(state.WrapWidth(), 70); // "alpha beta"
    EXPECT_FALSE(state.SetWrapWidth(70, false));
    EXPECT_EQ(state.Stores, 0);
    EXPECT_FALSE(state.SetWrapWidth(-5, false));
    EXPECT_EQ(state.WrapWidth(), -1);
    EXPECT_EQ(state.Stores, 0);
    EXPECT_EQ(state.Text(), "alpha beta\rgamma");
    EXPECT_EQ(state.BuildWrappedText(), "alpha beta gamma");
}

TEST(TStringWordWrapState, RewrappingIntoTheSameLinesStoresNothing) {
    TFixedPitchMeasurer measurer;
    TCountingWrapState first("one two three four five six", tfPlain, measurer);
    EXPECT_TRUE(first.SetWrapWidth(100, false));
    EXPECT_EQ(first.Stores, 1);
    ASSERT_EQ(first.Text(), "one two three\rfour five six");
    TCountingWrapState again(first.Text(), tfPlain, measurer);
    EXPECT_FALSE(again.SetWrapWidth(100, false));
    EXPECT_EQ(again.Stores, 0);
    EXPECT_FALSE(again.SetWrapWidth(100, false)) << "the same width again";
    EXPECT_TRUE(again.SetWrapWidth(40, false));
    EXPECT_EQ(again.Stores, 1);
}

TEST(TStringWordWrapState, NaturalWidthIsTheWidestParagraphOnOneLine) {
    TFixedPitchMeasurer measurer;
    TStringWordWrapState state("ab cd\ref\r\rghijklmn", tfPlain, measurer);
    ASSERT_EQ(state.Paragraphs().size(), 2U);
    EXPECT_EQ(state.Paragraphs()[0]->NaturalWidth(), 56); // "ab cd ef"
    EXPECT_EQ(state.Paragraphs()[0]->NarrowestWidth(), 14);
    EXPECT_EQ(state.Paragraphs()[1]->NaturalWidth(), 56);
    EXPECT_EQ(state.NaturalWidth(), 56);
    TStringWordWrapState tiny("a", tfPlain, measurer);
    EXPECT_EQ(tiny.NaturalWidth(), 16) << "never below one line height";
}

TEST(TStringWordWrapState, RichTextEscapesTakeNoWidthAndStayInTheText) {
    // Shown as "aaaa bbbb cccc": 98 wide; the source is 22 characters.
    const std::string text = "\\*aaaa\\* \\/bbbb\\/ cccc";
    TFixedPitchMeasurer measurer;
    TStringWordWrapState rich(text, tfRichText, measurer);
    EXPECT_EQ(rich.NaturalWidth(), 98);
    EXPECT_EQ(Wrap(text, 70, false, tfRichText), "\\*aaaa\\* \\/bbbb\\/\rcccc");
    EXPECT_EQ(Wrap(text, 70, false, tfPlain), "\\*aaaa\\*\r\\/bbbb\\/\rcccc");
}

TEST_F(TWrapWithMarkdownFiltering, MarkdownDelimitersTakeNoWidthWhileFilteringIsOn) {
    struct TCase {
        const char* Text;
        int Shown; // characters
    };
    const TCase cases[] = {
        {"*aaaa* bbbb", 9},          {"*aaaa bbbb*", 9}, // a span across words
        {"H,,2,,O here", 8},                             // a delimiter that is also a word separator
        {"~~gone~~ and _this_", 13}, {"* not a span", 12}, {"2 * 3 * 4", 9},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        TFixedPitchMeasurer measurer;
        TStringWordWrapState state(c.Text, tfMarkdown, measurer);
        EXPECT_EQ(state.NaturalWidth(), 7 * c.Shown);
        EXPECT_EQ(CodePointCount(FilterMarkdown(c.Text)), static_cast<std::size_t>(c.Shown));
    }
}

TEST(TStringWordWrapState, MarkdownDelimitersCountWhileFilteringIsOff) {
    TFixedPitchMeasurer measurer;
    TStringWordWrapState state("*aaaa bbbb*", tfMarkdown, measurer);
    EXPECT_EQ(state.NaturalWidth(), 77);
}

TEST(TStringWordWrapState, MeasuresCharactersNotBytes) {
    // 30 characters, 35 bytes: "Gr\u00fc\u00dfe aus K\u00f6ln" is 14 characters (98) on the first line.
    const std::string text = "Gr\u00fc\u00dfe aus K\u00f6ln und M\u00fcnchen";
    EXPECT_EQ(Wrap(text, 100, false), "Gr\u00fc\u00dfe aus K\u00f6ln\rund M\u00fcnchen");
    const std::string chinese = "\u4e2d\u6587\u3002\u6ca1\u6709\u7a7a\u683c\uff0c\u6709\u6807\u70b9";
    EXPECT_EQ(Wrap(chinese, 50, false), "\u4e2d\u6587\u3002\r\u6ca1\u6709\u7a7a\u683c\uff0c\r\u6709\u6807\u70b9");
}

TEST(TStringWordWrapState, ChineseLinesJoinWithoutSpacesAfterTheirMarks) {
    const std::string text = "\u4e2d\u6587\u3002\r\u6ca1\u6709\uff0c\r\u6709\u6807";
    EXPECT_EQ(Wrap(text, 1000, false), "\u4e2d\u6587\u3002\u6ca1\u6709\uff0c\u6709\u6807");
    EXPECT_EQ(Wrap("\u4e2d\u6587\r\u6ca1\u6709", 1000, false), "\u4e2d\u6587 \u6ca1\u6709");
}

TEST(TStringWordWrapState, AVeryLongParagraphMeasuresEachWordAtMostTwice) {
    const std::string text = LongParagraph(2000);
    for (bool balanced : {false, true}) {
        SCOPED_TRACE(balanced ? "balanced" : "greedy");
        TFixedPitchMeasurer measurer;
        TStringWordWrapState state(text, tfPlain, measurer);
        const int afterBuilding = measurer.Calls();
        EXPECT_LE(afterBuilding, 2 * 2000 + 2);
        state.SetWrapWidth(300, balanced);
        EXPECT_EQ(measurer.Calls(), afterBuilding) << "wrapping works from the measured widths";
        ExpectSoundWrap(text, state.Text(), 300);
        EXPECT_GT(Lines(state.Text()).size(), 100U);
    }
}

TEST(TStringWordWrapState, SurvivesMeasurersThatAnswerNonsense) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct TCase {
        const char* Name;
        double Width;
        double LineHeight;
    };
    const TCase cases[] = {
        {"NaN", nan, nan},
        {"infinite", inf, inf},
        {"negative", -50, -16},
        {"infinite words", inf, 16},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TBrokenMeasurer measurer(c.Width, c.LineHeight);
        TStringWordWrapState state("alpha beta gamma, delta", tfPlain, measurer);
        EXPECT_GE(state.NaturalWidth(), 0);
        EXPECT_GE(state.MinWrapWidth(), 0);
        for (bool balanced : {false, true})
            state.SetWrapWidth(balanced ? 40 : 60, balanced);
        EXPECT_EQ(AllWords(state.Text()), AllWords("alpha beta gamma, delta"));
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Topics and free texts

TEST(AutoWrap, WrapsSingleLineTopicsMoreThanFourteenTimesWiderThanHigh) {
    struct TCase {
        std::size_t Length; // characters of 7, lines of 16
        bool Wraps;
        int Target;
        std::size_t Lines;
    };
    const TCase cases[] = {
        {32, false, 0, 1},   // 224 wide: exactly 14 times
        {33, true, 139, 2},  // 231: 0.6 of it
        {67, true, 281, 2},  // 469: 29.3 times
        {68, true, 190, 3},  // 476: 29.75 times rounds to 30, 0.4 of it
        {140, true, 294, 4}, // 980: 61.25 times, 0.3 of it
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Length);
        TMindMap map;
        TMindMapNode* topic = map.NewTopic({0, 0}, false);
        const std::string text = WordsOfLength(c.Length);
        topic->SetText(text, tfMarkdown);
        TFixedPitchMeasurer measurer;
        EXPECT_EQ(AutoWrap(*topic, measurer, false), c.Wraps);
        EXPECT_EQ(topic->TextFormat(), tfMarkdown);
        EXPECT_EQ(Lines(topic->Text()).size(), c.Lines);
        if (c.Wraps) {
            ExpectSoundWrap(text, topic->Text(), c.Target);
        } else {
            EXPECT_EQ(topic->Text(), text);
        }
    }
}

TEST(AutoWrap, LeavesBlankUnbreakableAndMultiLineTopicsAlone) {
    const std::string wide = WordsOfLength(100);
    const char* const texts[] = {"", "   ", "supercalifragilisticexpialidociousandevenlongerstillmorethanfourteen"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        TMindMap map;
        TMindMapNode* topic = map.NewTopic({0, 0}, false);
        topic->SetText(text, tfPlain);
        TFixedPitchMeasurer measurer;
        EXPECT_FALSE(AutoWrap(*topic, measurer, false));
        EXPECT_FALSE(AutoWrap(*topic, measurer, true));
        EXPECT_EQ(topic->Text(), text);
    }
    TMindMap map;
    TMindMapNode* topic = map.NewTopic({0, 0}, false);
    topic->SetText(wide + "\rshort", tfPlain);
    TFixedPitchMeasurer measurer;
    EXPECT_FALSE(AutoWrap(*topic, measurer, false)) << "explicit line breaks are respected";
    EXPECT_EQ(topic->Text(), wide + "\rshort");
}

TEST(AutoWrap, ForcedWrapsFromTheWidestParagraphEvenAcrossLineBreaks) {
    TMindMap map;
    TMindMapNode* topic = map.NewTopic({0, 0}, false);
    // Natural width 700 (100 characters), 43.75 line heights: n = 3, target 280.
    const std::string text = WordsOfLength(100) + "\r\rshort";
    topic->SetText(text, tfPlain);
    TFixedPitchMeasurer measurer;
    EXPECT_TRUE(AutoWrap(*topic, measurer, true));
    ExpectSoundWrap(text, topic->Text(), 280);
    const std::vector<std::string> lines = Lines(topic->Text());
    ASSERT_GE(lines.size(), 5U);
    EXPECT_EQ(lines[lines.size() - 2], "") << "the blank line stays";
    EXPECT_EQ(lines.back(), "short");
    // Even a short single-line text is wrapped when forced: 14 characters at 1.2 / 2 of 98.
    topic->SetText("alpha beta gam", tfPlain);
    EXPECT_TRUE(AutoWrap(*topic, measurer, true));
    EXPECT_EQ(topic->Text(), "alpha\rbeta gam");
}

TEST(AutoWrap, WrapsFreeTextsLikeTopics) {
    TMindMap map;
    TMindMapNode* topic = map.NewTopic({0, 0}, false);
    const std::string text = WordsOfLength(33);
    TMindMapText* label = topic->AddText(text, tfRichText);
    TFixedPitchMeasurer measurer;
    EXPECT_TRUE(AutoWrap(*label, measurer, false));
    EXPECT_EQ(label->TextFormat(), tfRichText);
    EXPECT_EQ(Lines(label->Text()).size(), 2U);
    ExpectSoundWrap(text, label->Text(), 139);
    TMindMapText* narrow = topic->AddText(WordsOfLength(32), tfPlain);
    EXPECT_FALSE(AutoWrap(*narrow, measurer, false));
}

TEST(ApplyStoredWrapWidth, WrapsOnceNotBalancedAndForgetsTheWidth) {
    TMindMap map;
    TMindMapNode* topic = map.NewTopic({0, 0}, true);
    topic->SetText("one two three four five six", tfMarkdown);
    topic->SetWrapWidth(100);
    topic->FinishLoading();
    TFixedPitchMeasurer measurer;
    EXPECT_TRUE(ApplyStoredWrapWidth(*topic, measurer));
    EXPECT_EQ(topic->Text(), "one two three\rfour five six");
    EXPECT_EQ(topic->WrapWidth(), -1);
    EXPECT_FALSE(ApplyStoredWrapWidth(*topic, measurer));
}

TEST(ApplyStoredWrapWidth, StoresCarriageReturnsEvenWhileTheTopicIsLoading) {
    TMindMap map;
    TMindMapNode* topic = map.NewTopic({0, 0}, true);
    topic->SetText("one two three four five six", tfMarkdown);
    topic->SetWrapWidth(50);
    TFixedPitchMeasurer measurer;
    EXPECT_TRUE(ApplyStoredWrapWidth(*topic, measurer));
    EXPECT_EQ(topic->Text(), "one two\rthree\rfour\rfive\rsix");
}

TEST(ApplyStoredWrapWidth, TextStoredWrappedAtItsWidthStaysAsItIs) {
    struct TCase {
        const char* Text;
        int Width;
    };
    const TCase cases[] = {
        {"one two three\rfour five six", 100},
        {"one two three\rfour five six", 91}, // "one two three" is exactly 91
        {"alpha\r\rbeta gamma", 100},
        {"- item one\r- item two", 100},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        TMindMap map;
        TMindMapNode* topic = map.NewTopic({0, 0}, false);
        topic->SetText(c.Text, tfPlain);
        topic->SetWrapWidth(c.Width);
        TFixedPitchMeasurer measurer;
        EXPECT_FALSE(ApplyStoredWrapWidth(*topic, measurer));
        EXPECT_EQ(topic->Text(), c.Text);
        EXPECT_EQ(topic->WrapWidth(), -1);
    }
}
