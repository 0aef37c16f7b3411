#include "text/MarkDownParsers.h"

#include "model/CVMindMaps.h"
#include "platform/CVStrings.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// "kind:opening-closing" for every node, space-separated.
std::string Describe(const std::vector<TMarkdownSpanNode>& nodes) {
    std::string text;
    for (const TMarkdownSpanNode& node : nodes)
        text +=
            Format("%s%d:%zu-%zu", text.empty() ? "" : " ", static_cast<int>(node.Kind), node.Opening, node.Closing);
    return text;
}

// Switches filtering on for one test and leaves the process-wide options as every test expects them.
class TMarkdownFilteringOn : public testing::Test {
protected:
    void SetUp() override { TMarkDownProperties::Instance().SetMarkDownFilteringEnabled(true); }
    void TearDown() override {
        TMarkDownProperties::Instance().SetOnChange(nullptr);
        TMarkDownProperties::Instance().SetMarkDownFilteringEnabled(false);
    }
};

} // namespace

TEST(TMarkdownSpanParser, PairsDelimitersThatTouchTextAndDropThemFromTheFilteredText) {
    struct TCase {
        const char* Source;
        const char* Filtered;
        const char* Nodes;
    };
    const TCase cases[] = {
        {"", "", ""},
        {"*bold*", "bold", "1:1-6"},
        {"_it_ and ~s~", "it and s", "2:1-4 3:10-12"},
        {"~~gone~~", "gone", "4:1-7"},
        {"~x~", "x", "3:1-3"},
        {"^^up^^", "up", "5:1-5"},
        {",,down,,", "down", "6:1-7"},
        // Single carets and commas are ordinary text.
        {"x^y", "x^y", ""},
        {"1,5", "1,5", ""},
        {"a,b,c", "a,b,c", ""},
        // Blanks on both sides make a delimiter text.
        {"a * b", "a * b", ""},
        {"a * b*", "a * b*", ""},
        // Touching text on both sides: the first opens, the second closes.
        {"2*3*4", "234", "1:2-4"},
        // Runs of delimiters pair up one by one.
        {"**x**", "x", "1:1-2 1:4-5"},
        {"~~~x~~~", "x", "4:1-5 3:3-7"},
        // A closer must touch text on its left, an opener on its right.
        {"* x*", "* x*", ""},
        {"*x *", "*x *", ""},
        {"x* y*", "x* y*", ""},
        // Unbalanced delimiters stay.
        {"*open", "*open", ""},
        {"close*", "close*", ""},
        {"*a* *b", "a *b", "1:1-3"},
        // Spans of one kind never nest: a newer opener replaces an older one.
        {"*a *b* c*", "*a b c*", "1:4-6"},
        // Spans of different kinds nest and overlap.
        {"*_both_*", "both", "2:2-7 1:1-8"},
        {"*a_b*c_", "abc", "1:1-5 2:3-7"},
        {"~~a ^^b~~ c^^", "a b c", "4:1-8 5:5-12"},
        // Line breaks, no-break spaces and next-line characters are blanks; other spaces are not.
        {"*a\r*", "*a\r*", ""},
        {"*a\xC2\xA0*", "*a\xC2\xA0*", ""},
        {"*a\xC2\x85*", "*a\xC2\x85*", ""},
        {"*a\xE2\x80\x83*", "a\xE2\x80\x83", "1:1-4"},
        // Positions count characters, not bytes.
        {"\xC3\xA4\xC3\xB6 *gr\xC3\xBCn* \xC3\xBC", "\xC3\xA4\xC3\xB6 gr\xC3\xBCn \xC3\xBC", "1:4-9"},
        {"\xF0\x9F\x98\x80*x*", "\xF0\x9F\x98\x80x", "1:2-4"},
        {"\xE6\x97\xA5~~\xE6\x9C\xAC~~", "\xE6\x97\xA5\xE6\x9C\xAC", "4:2-5"},
        // A delimiter cut by the end of the text.
        {"a~", "a~", ""},
        {"a^", "a^", ""},
        {"a,", "a,", ""},
        {"x~~", "x~~", ""},
        {"^^x^", "^^x^", ""},
        {",,x,", ",,x,", ""},
        {"*x~", "*x~", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Source);
        const TMarkdownSpanParser parser(c.Source);
        EXPECT_EQ(Describe(parser.Nodes()), c.Nodes);
        EXPECT_EQ(parser.BuildFilteredText(), c.Filtered);
    }
}

TEST(TMarkdownSpanParser, TextWithoutSpansIsKeptByteForByte) {
    // Even bytes that are not UTF-8 come back untouched when nothing is filtered.
    const std::string source = "a \xFF* b\xC3";
    const TMarkdownSpanParser parser(source);
    EXPECT_TRUE(parser.Nodes().empty());
    EXPECT_EQ(parser.BuildFilteredText(), source);
}

TEST_F(TMarkdownFilteringOn, FilterMarkdownFollowsTheProcessWideSwitch) {
    EXPECT_EQ(FilterMarkdown("*bold* and ~~gone~~"), "bold and gone");
    EXPECT_EQ(FilterMarkdown(""), "");
    EXPECT_EQ(FilterMarkdown("no markup at all"), "no markup at all");
    TMarkDownProperties::Instance().SetMarkDownFilteringEnabled(false);
    EXPECT_EQ(FilterMarkdown("*bold* and ~~gone~~"), "*bold* and ~~gone~~");
}

TEST(TMarkDownProperties, FilteringIsOffUntilSwitchedOn) {
    EXPECT_FALSE(TMarkDownProperties::Instance().MarkDownFilteringEnabled());
    EXPECT_EQ(FilterMarkdown("*bold*"), "*bold*");
}

TEST_F(TMarkdownFilteringOn, TheChangeCallbackHearsEveryChangeOnce) {
    TMarkDownProperties& properties = TMarkDownProperties::Instance();
    std::vector<bool> heard;
    properties.SetOnChange([&] { heard.push_back(properties.MarkDownFilteringEnabled()); });
    properties.SetMarkDownFilteringEnabled(true);
    properties.SetMarkDownFilteringEnabled(false);
    properties.SetMarkDownFilteringEnabled(false);
    properties.SetMarkDownFilteringEnabled(true);
    EXPECT_EQ(heard, (std::vector<bool>{false, true}));
}

TEST_F(TMarkdownFilteringOn, PlainTextForFormatUsesTheParserOfTheFormat) {
    const std::string text = "*a* \\/b\\/ c\\\\d";
    EXPECT_EQ(PlainTextForFormat(text, tfMarkdown), "a \\/b\\/ c\\\\d");
    EXPECT_EQ(PlainTextForFormat(text, tfRichText), "*a* b c\\d");
    EXPECT_EQ(PlainTextForFormat(text, tfPlain), text);
    TMarkDownProperties::Instance().SetMarkDownFilteringEnabled(false);
    EXPECT_EQ(PlainTextForFormat(text, tfMarkdown), text);
}

TEST(TMarkdownSpanParser, AnyTextParsesAndSpansLieWithinIt) {
    const std::string pieces[] = {"*",    "_",    "~",        "^",        ",",        "\\",       " ",
                                  "\r",   "a",    "bc",       "\xC3\xA4", "\xC2\xA0", "\xC2\x85", "\xF0\x9F\x98\x80",
                                  "\xFF", "\xC3", "\xE2\x82", "\0"s};
    const std::u32string delimiters[] = {U"", U"*", U"_", U"~", U"~~", U"^^", U",,"};
    const std::string seeds[] = {"*bold*", "~~~x~~~", "*_both_*", "^^up^^ ,,down,,", "2*3*4", "\xC3\xA4*\xC3\xB6*"};
    TRandomTexts texts({std::begin(pieces), std::end(pieces)}, {std::begin(seeds), std::end(seeds)}, 20240611);
    for (int round = 0; round < 4000; ++round) {
        const std::string source = texts.Next();
        SCOPED_TRACE(testing::PrintToString(source));
        const std::u32string chars = ToUtf32(source);
        const TMarkdownSpanParser parser(source);
        const std::string filtered = parser.BuildFilteredText();

        std::size_t removed = 0;
        std::vector<bool> taken(chars.size() + 2, false);
        for (const TMarkdownSpanNode& node : parser.Nodes()) {
            const std::size_t length = MarkdownDelimiterLength(node.Kind);
            ASSERT_GE(length, 1u);
            ASSERT_GE(node.Opening, 1u);
            ASSERT_LT(node.Opening, node.Closing);
            ASSERT_LE(node.Closing + length - 1, chars.size());
            for (const std::size_t position : {node.Opening, node.Closing}) {
                for (std::size_t i = position; i < position + length; ++i) {
                    ASSERT_FALSE(taken[i]) << "delimiters overlap at " << i;
                    taken[i] = true;
                }
                EXPECT_TRUE(chars.compare(position - 1, length, delimiters[node.Kind]) == 0) << position;
                if (node.Kind == mskTilde && position < chars.size()) {
                    EXPECT_NE(chars[position], U'~');
                }
            }
            // An opener touches text on its right, a closer on its left.
            for (const char32_t touched : {chars[node.Opening - 1 + length], chars[node.Closing - 2]}) {
                EXPECT_GT(touched, U' ');
                EXPECT_NE(touched, U'\u00A0');
                EXPECT_NE(touched, U'\u0085');
            }
            removed += 2 * length;
        }
        if (parser.Nodes().empty()) {
            EXPECT_EQ(filtered, source);
        } else {
            EXPECT_TRUE(IsValidUtf8(filtered));
            EXPECT_EQ(CodePointCount(filtered), chars.size() - removed);
        }
    }
}

TEST(TMarkdownSpanParser, LongTextsWithManySpansParseWhole) {
    struct TCase {
        const char* Piece;
        const char* FilteredPiece;
    };
    // Many spans, many openers that never close, and one long run of delimiters.
    const TCase cases[] = {{"*a_b_* ~c~ ^^d^^ ,,\xC3\xA4,, ", "ab c d \xC3\xA4 "}, {"*x ", "*x "}, {"**", ""}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Piece);
        std::string source;
        std::string expected;
        while (source.size() < 200000) {
            source += c.Piece;
            expected += c.FilteredPiece;
        }
        const std::string filtered = TMarkdownSpanParser(source).BuildFilteredText();
        EXPECT_EQ(filtered.size(), expected.size());
        EXPECT_TRUE(filtered == expected);
    }
}
