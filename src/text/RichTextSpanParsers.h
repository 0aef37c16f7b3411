#pragma once

// The backslash-escape markup ("rtf1") of topic, free-text and note texts: "\*" bold, "\/" italic, "\_" underline,
// "\~" strikeout, "\^" raised, "\`" lowered, each escape opening and the next one of its kind closing a span;
// "\\" is one backslash. The map shows the text without the escapes; the note panel shows the spans as formatting.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum TRichTextSpanKind : std::uint8_t {
    rskNone,
    rskBold,      // "\*"
    rskItalic,    // "\/"
    rskUnderline, // "\_"
    rskStrikeOut, // "\~"
    rskRaised,    // "\^"
    rskLowered,   // "\`"
};

// Character offsets into the parser's output text, start inclusive, end exclusive; never empty.
struct TRichTextSpanNode {
    TRichTextSpanKind Kind = rskNone;
    std::size_t Start = 0;
    std::size_t End = 0;
};

// Font style bits, the same as the map's font styles.
enum TRichTextStyle : std::uint8_t { rtsBold = 1, rtsItalic = 2, rtsUnderline = 4, rtsStrikeOut = 8 };
using TRichTextStyles = std::uint8_t; // a set of TRichTextStyle bits

enum TRichTextOffset : std::uint8_t { rtoNone, rtoRaised, rtoLowered };

// One stretch of uniformly formatted output text, in character offsets.
struct TRichTextRange {
    std::size_t Start = 0;
    std::size_t End = 0;
    TRichTextStyles Styles = 0;
    TRichTextOffset Offset = rtoNone;
};

class TRichTextSpanParser {
public:
    // baseStyles: the font styles of the text outside any span of a style the text uses.
    explicit TRichTextSpanParser(std::string source, TRichTextStyles baseStyles = 0);

    const std::string& Source() const { return FSource; }
    // The source without its escapes; unclosed escapes vanish too.
    const std::string& OutputText() const { return FOutput; }
    std::size_t OutputLength() const { return FOutputLength; } // in characters
    TRichTextStyles BaseStyles() const { return FBaseStyles; }
    // In the order their ends appear.
    const std::vector<TRichTextSpanNode>& Nodes() const { return FNodes; }

    // The output text cut into ranges that cover it without gaps, in order. Where the text uses a style (bold,
    // italic, underline, strikeout) that style holds only inside its spans, whatever the base styles say; other base
    // styles hold everywhere.
    std::vector<TRichTextRange> FormattedRanges() const;

private:
    std::string FSource;
    std::string FOutput;
    std::size_t FOutputLength = 0;
    TRichTextStyles FBaseStyles = 0;
    std::vector<TRichTextSpanNode> FNodes;
};

// What the note panel shows for a rich-text note: the text and its formatting.
struct TRichTextFormatting {
    std::string Text;
    std::vector<TRichTextRange> Ranges;
};

TRichTextFormatting ParseAndConvert(const std::string& text, TRichTextStyles baseStyles);

// How far raised or lowered text moves: a quarter of the font size, in the unit of the font size.
constexpr double RichTextRise(double fontSize) {
    return fontSize / 4;
}

// The text without its escapes.
std::string FilterRichText(const std::string& text);
