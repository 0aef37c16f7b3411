#pragma once

// Word wrapping of topic and free-text texts. Boxes are as wide as their longest line, so a narrower box is made
// by breaking the text's paragraphs into lines that fit a target width and storing the result as the element's
// text. Each word is measured once with its trailing spaces and once without; lines are built from those widths,
// so wrapping costs time in proportion to the length of the text, and a balanced wrap a small multiple of that.

#include "render/Float2D.h"
#include "text/WordScanners.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TMindMapNode;
class TMindMapText;
enum TTextFormat : std::uint8_t; // model/CVMindMaps.h

// Measures text in the font of one element, the way layout measures that element's text.
class ITextMeasurer {
public:
    virtual ~ITextMeasurer() = default;
    // Size in map units with line breaks honoured; the width includes the italic allowance of an italic font.
    virtual TFloatPoint MeasureText(std::string_view text) = 0;
    // Height of one line of the font (its line box).
    virtual double LineHeight() = 0;
};

// Words First..Last of a paragraph on one line; an empty line (Last < First) stands for the blank line before
// the paragraph.
struct TWrappedLine {
    int First = 0;
    int Last = -1;
    double Width = 0; // measured width of the words, trailing whitespace excluded

    bool Empty() const { return Last < First; }
};
using TWrappedLines = std::vector<TWrappedLine>;

// Greedy wrap of a measured paragraph: each line takes words while they fit the width, but always at least one,
// and the first line of a list item at least two (the bullet or number stays with its first word).
TWrappedLines WrapLines(const TTextParagraph& paragraph, double width);

// The greedy wrap; balanced, it then looks for the narrowest width (to within 5 pixels, in at most 20 halvings)
// that gives no more lines, so that the lines come out of even length. A balanced line never gets wider than the
// greedy target. searchRounds, when given, receives the number of halvings.
TWrappedLines WrapParagraphLines(const TTextParagraph& paragraph, double width, bool balanced,
                                 int* searchRounds = nullptr);

// The paragraph's text at that width: lines joined with CR LF, the blank line before it kept.
std::string WrapParagraph(const TTextParagraph& paragraph, double width, bool balanced);

// The word wrap of one element's text, for one wrapping operation.
class TElementWordWrapState {
public:
    TElementWordWrapState(const TElementWordWrapState&) = delete;
    TElementWordWrapState& operator=(const TElementWordWrapState&) = delete;
    virtual ~TElementWordWrapState();

    // Pixels: the widest paragraph on one line, at least MinWrapWidth.
    int NaturalWidth() const { return FNaturalWidth; }
    // Pixels: the height of one line; no wrap is narrower.
    int MinWrapWidth() const { return FMinWrapWidth; }
    bool Balanced() const { return FBalanced; }
    // Pixels, -1 when not wrapped; starts as the width of the element's text as it stands.
    int WrapWidth() const { return FWrapWidth; }
    const TTextParagraphs& Paragraphs() const { return FParagraphs; }

    // A negative width only unwraps the state, leaving the text alone. Otherwise the width (at least
    // MinWrapWidth) becomes WrapWidth when it is a new one and the element's text is wrapped to it. Answers true
    // when the element's text changed. Blank text is never touched.
    bool SetWrapWidth(int width, bool balanced);
    // The paragraphs at WrapWidth, joined with CR LF and trimmed; empty without paragraphs.
    std::string BuildWrappedText() const;

protected:
    explicit TElementWordWrapState(ITextMeasurer& measurer);

    // Builds and measures the paragraphs of the element's text. Derived constructors call it once the element is
    // bound: virtual calls do not reach a derived class from the base constructor.
    void AttachElement();

    virtual void SetElementText(const std::string& text) = 0;
    // Width of displayed text on one line (markup already removed).
    virtual double MeasureWidth(std::string_view text);
    // The element's source text, markup included.
    virtual std::string GetElementText() const = 0;
    virtual TTextFormat GetElementTextFormat() const = 0;

    ITextMeasurer& Measurer() const { return *FMeasurer; }

private:
    void MeasureParagraph(TTextParagraph& paragraph);

    ITextMeasurer* FMeasurer; // not owned
    TTextParagraphs FParagraphs;
    std::unordered_map<std::string, double> FWidthCache; // displayed word -> width
    int FNaturalWidth = 0;
    int FMinWrapWidth = 0;
    int FWrapWidth = -1;
    bool FBalanced = false;
};

// Wraps the text of a topic; the topic keeps its text format.
class TNodeWordWrapState : public TElementWordWrapState {
public:
    // The measurer measures in the topic's font.
    TNodeWordWrapState(TMindMapNode& topic, ITextMeasurer& measurer);

protected:
    void SetElementText(const std::string& text) override;
    std::string GetElementText() const override;
    TTextFormat GetElementTextFormat() const override;

private:
    TMindMapNode* FTopic; // not owned
};

// Wraps the text of a free text; the text keeps its format.
class TTextWordWrapState : public TElementWordWrapState {
public:
    // The measurer measures in the free text's font.
    TTextWordWrapState(TMindMapText& text, ITextMeasurer& measurer);

protected:
    void SetElementText(const std::string& text) override;
    std::string GetElementText() const override;
    TTextFormat GetElementTextFormat() const override;

private:
    TMindMapText* FText; // not owned
};

// Wraps a text that belongs to no element (imports, previews); the text is stored as elements store theirs, with
// CR line breaks.
class TStringWordWrapState : public TElementWordWrapState {
public:
    TStringWordWrapState(const std::string& text, TTextFormat format, ITextMeasurer& measurer);

    const std::string& Text() const { return FText; }

protected:
    void SetElementText(const std::string& text) override;
    std::string GetElementText() const override { return FText; }
    TTextFormat GetElementTextFormat() const override { return FFormat; }

private:
    std::string FText;
    TTextFormat FFormat;
};

// Wraps a text that is far wider than high into two or more balanced lines: a text 15 to 29 times wider than
// high to 0.6 of its width, 30 to 59 times to 0.4, 60 to 89 times to 0.3 and so on. Unless forced, only a
// single-line text more than 14 times wider than high is wrapped. Text without any break character is never
// wrapped. Answers true when the text changed.
bool AutoWrap(TMindMapNode& topic, ITextMeasurer& measurer, bool forced);
bool AutoWrap(TMindMapText& text, ITextMeasurer& measurer, bool forced);

// Applies the wrap width a topic was read with, once: a positive width wraps the text (not balanced) and the
// width is then forgotten. Answers true when the text changed.
bool ApplyStoredWrapWidth(TMindMapNode& topic, ITextMeasurer& measurer);
