#include "text/RichTextSpanParsers.h"

#include "platform/CVStrings.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// "kind:start-end" for every node, space-separated.
std::string Describe(const std::vector<TRichTextSpanNode>& nodes) {
    std::string text;
    for (const TRichTextSpanNode& node : nodes)
        text += Format("%s%d:%zu-%zu", text.empty() ? "" : " ", static_cast<int>(node.Kind), node.Start, node.End);
    return text;
}

// "start-end:" with B, I, U, S for the styles and ^ or v for raised or lowered text, space-separated.
std::string Describe(const std::vector<TRichTextRange>& ranges) {
    std::string text;
    for (const TRichTextRange& range : ranges) {
        text += Format("%s%zu-%zu:", text.empty() ? "" : " ", range.Start, range.End);
        const std::pair<TRichTextStyle, char> letters[] = {
            {rtsBold, 'B'}, {rtsItalic, 'I'}, {rtsUnderline, 'U'}, {rtsStrikeOut, 'S'}};
        for (const auto& [style, letter] : letters)
            if (range.Styles & style)
                text += letter;
        if (range.Offset != rtoNone)
            text += range.Offset == rtoRaised ? '^' : 'v';
    }
    return text;
}

} // namespace

TEST(TRichTextSpanParser, EscapesBecomeSpansOverTheOutputText) {
    struct TCase {
        const char* Source;
        const char* Output;
        const char* Nodes;
    };
    const TCase cases[] = {
        {"", "", ""},
        {"a*b/c_d", "a*b/c_d", ""},
        {R"(a\*b\*c)", "abc", "1:1-2"},
        {R"(\/i\/\_u\_\~s\~\^r\^\`l\`)", "iusrl", "2:0-1 3:1-2 4:2-3 5:3-4 6:4-5"},
        // Two backslashes are one; the second does not escape what follows.
        {R"(a\\b)", R"(a\b)", ""},
        {R"(\\*a*)", R"(\*a*)", ""},
        {R"(\\\*b\*)", R"(\b)", "1:1-2"},
        // Other escapes are ordinary text.
        {R"(a\qb\ c)", R"(a\qb\ c)", ""},
        // Escapes at the very end.
        {R"(a\)", R"(a\)", ""},
        {R"(a\\)", R"(a\)", ""},
        {R"(\\\)", R"(\\)", ""},
        {R"(x\*y\)", R"(xy\)", ""},
        // Unclosed and empty spans vanish without effect.
        {R"(a\*)", "a", ""},
        {R"(\*x)", "x", ""},
        {R"(\*\*x)", "x", ""},
        {R"(\*\/\/x\*)", "x", "1:0-1"},
        // Spans of one kind follow each other; different kinds nest and overlap.
        {R"(\*a\*b\*c\*)", "abc", "1:0-1 1:2-3"},
        {R"(\*a\*\*b\*)", "ab", "1:0-1 1:1-2"},
        {R"(\*a\/b\*c\/)", "abc", "1:0-2 2:1-3"},
        {R"(\_\~in\~\_)", "in", "4:0-2 3:0-2"},
        // Offsets count characters, not bytes.
        {"\xC3\xA4\\*\xC3\xB6\xF0\x9F\x98\x80\\*\xC3\xBC", "\xC3\xA4\xC3\xB6\xF0\x9F\x98\x80\xC3\xBC", "1:1-3"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Source);
        const TRichTextSpanParser parser(c.Source);
        EXPECT_EQ(parser.OutputText(), c.Output);
        EXPECT_EQ(parser.OutputLength(), CodePointCount(c.Output));
        EXPECT_EQ(Describe(parser.Nodes()), c.Nodes);
        EXPECT_EQ(FilterRichText(c.Source), c.Output);
    }
}

TEST(TRichTextSpanParser, FormattedRangesCoverTheTextWithTheStylesOfItsSpans) {
    struct TCase {
        const char* Source;
        TRichTextStyles Base;
        const char* Ranges;
    };
    const TCase cases[] = {
        {"", rtsBold, ""},
        {"plain", rtsUnderline, "0-5:U"},
        {R"(a\*b\*c)", 0, "0-1: 1-2:B 2-3:"},
        // A style the text uses holds only inside its spans; other base styles hold everywhere.
        {R"(a\*b\*c)", rtsBold, "0-1: 1-2:B 2-3:"},
        {R"(a\*b\*c)", rtsItalic, "0-1:I 1-2:BI 2-3:I"},
        {R"(\*a\_b\*c\_)", rtsStrikeOut, "0-1:BS 1-2:BUS 2-3:US"},
        // Where one span ends and the next of its kind begins, the style goes on.
        {R"(\*a\*\*b\*)", 0, "0-1:B 1-2:B"},
        {R"(x\^2\^)", 0, "0-1: 1-2:^"},
        // Overlapping raised and lowered spans: the later-opened one decides while it is open.
        {R"(\^a\`b\^c\`d)", 0, "0-1:^ 1-2:v 2-3:v 3-4:"},
        {R"(\`a\^b\^c\`)", 0, "0-1:v 1-2:^ 2-3:v"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Source);
        const TRichTextFormatting formatting = ParseAndConvert(c.Source, c.Base);
        EXPECT_EQ(formatting.Text, FilterRichText(c.Source));
        EXPECT_EQ(Describe(formatting.Ranges), c.Ranges);
    }
}

TEST(TRichTextSpanParser, RaisedTextMovesByAQuarterOfTheFontSize) {
    const TRichTextFormatting formatting = ParseAndConvert(R"(E = mc\^2\^)", 0);
    ASSERT_EQ(formatting.Text, "E = mc2");
    ASSERT_EQ(formatting.Ranges.size(), 2u);
    EXPECT_EQ(formatting.Ranges[1].Offset, rtoRaised);
    EXPECT_EQ(formatting.Ranges[1].Start, 6u);
    EXPECT_DOUBLE_EQ(RichTextRise(12), 3);
}

TEST(TRichTextSpanParser, AnyTextParsesAndSpansLieWithinIt) {
    // Backslashes and escapes weigh more than other pieces, so that most texts hold spans.
    const std::string pieces[] = {"\\",   "\\",   R"(\*)",    R"(\`)",    "*",
                                  "/",    "_",    "~",        "^",        "`",
                                  "q",    " ",    "ab",       "\xC3\xA4", "\xF0\x9F\x98\x80",
                                  "\xFF", "\xC3", "\xE2\x82", "\0"s};
    const std::string seeds[] = {R"(a\*b\*c)", R"(\*a\/b\*c\/)", R"(\\\*b\*)", R"(\^a\`b\^c\`)", R"(x\*y\)"};
    TRandomTexts texts({std::begin(pieces), std::end(pieces)}, {std::begin(seeds), std::end(seeds)}, 97531);
    for (int round = 0; round < 4000; ++round) {
        const std::string source = texts.Next();
        const auto base = static_cast<TRichTextStyles>(texts.Pick(16));
        SCOPED_TRACE(testing::PrintToString(source));
        const TRichTextSpanParser parser(source, base);
        const std::size_t length = parser.OutputLength();
        ASSERT_TRUE(IsValidUtf8(parser.OutputText()));
        ASSERT_EQ(CodePointCount(parser.OutputText()), length);
        EXPECT_LE(length, ToUtf32(source).size());
        if (source.find('\\') == std::string::npos) {
            EXPECT_EQ(parser.OutputText(), SanitizeUtf8(source));
        }

        std::vector<const TRichTextSpanNode*> lastOfKind(rskLowered + 1, nullptr);
        for (const TRichTextSpanNode& node : parser.Nodes()) {
            ASSERT_GE(node.Kind, rskBold);
            ASSERT_LE(node.Kind, rskLowered);
            ASSERT_LT(node.Start, node.End);
            ASSERT_LE(node.End, length);
            if (const TRichTextSpanNode* previous = lastOfKind[node.Kind]) {
                EXPECT_LE(previous->End, node.Start) << "spans of one kind overlap";
            }
            lastOfKind[node.Kind] = &node;
        }

        // Ranges cover the text in order, and each has the styles of the spans it lies in.
        const auto inside = [&](TRichTextSpanKind kind, const TRichTextRange& range) {
            for (const TRichTextSpanNode& node : parser.Nodes())
                if (node.Kind == kind && node.Start <= range.Start && range.End <= node.End)
                    return true;
            return false;
        };
        std::size_t covered = 0;
        for (const TRichTextRange& range : parser.FormattedRanges()) {
            ASSERT_EQ(range.Start, covered);
            ASSERT_LT(range.Start, range.End);
            covered = range.End;
            const std::pair<TRichTextSpanKind, TRichTextStyle> styles[] = {
                {rskBold, rtsBold}, {rskItalic, rtsItalic}, {rskUnderline, rtsUnderline}, {rskStrikeOut, rtsStrikeOut}};
            for (const auto& [kind, style] : styles) {
                const bool used = lastOfKind[kind] != nullptr;
                EXPECT_EQ((range.Styles & style) != 0, used ? inside(kind, range) : (base & style) != 0);
            }
            const bool raised = inside(rskRaised, range);
            const bool lowered = inside(rskLowered, range);
            if (raised && lowered) {
                EXPECT_NE(range.Offset, rtoNone);
            } else {
                EXPECT_EQ(range.Offset, raised ? rtoRaised : lowered ? rtoLowered : rtoNone);
            }
        }
        EXPECT_EQ(covered, length);
    }
}

TEST(TRichTextSpanParser, LongTextsWithManySpansParseWhole) {
    struct TCase {
        const char* Piece;
        const char* OutputPiece;
        std::size_t NodesPerPiece;
    };
    // Spans, backslash pairs, escapes that open and close nothing, and escapes of no kind.
    const TCase cases[] = {
        {"\\*a\\* \\/\xC3\xA4\\/ ", "a \xC3\xA4 ", 2}, {R"(\\)", R"(\)", 0}, {R"(\^)", "", 0}, {R"(\q)", R"(\q)", 0}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Piece);
        std::string source;
        std::string expected;
        std::size_t pieces = 0;
        for (; source.size() < 200000; ++pieces) {
            source += c.Piece;
            expected += c.OutputPiece;
        }
        const TRichTextSpanParser parser(source, rtsItalic);
        const std::vector<TRichTextRange> ranges = parser.FormattedRanges();
        EXPECT_TRUE(parser.OutputText() == expected);
        EXPECT_EQ(parser.Nodes().size(), c.NodesPerPiece * pieces);
        EXPECT_EQ(ranges.empty() ? 0 : ranges.back().End, parser.OutputLength());
    }
}
