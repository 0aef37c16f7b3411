#pragma once

// Paragraphs and words of topic and free-text texts, as word wrapping sees them. A paragraph is a run of text lines
// that ends at a blank line or where a bullet or numbered list item begins; a word is the text up to and including
// a break character and the spaces after it. Lines are broken only between words: never inside a word, so also
// never between ideographs that no punctuation separates.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum TLineKind : std::uint8_t {
    lkText,
    lkBlank,    // every character is a control character or a space
    lkBullet,   // "*", "+" or "-" alone or before whitespace
    lkNumbered, // digits and "." alone or before whitespace
};

// What a line of text is, for paragraph building. The line holds no line break.
TLineKind ClassifyLine(std::string_view line);

// Characters after which a line may break: space, ",", ".", ":", ";" and the ideographic space, comma, full stop,
// and the full-width "!", ",", ":", ";" and "?".
bool IsWordSeparator(char32_t c);
// Ideographic punctuation that joins the next line without a space, since it carries its own spacing.
bool IsWideBreakMark(char32_t c);
// True when the text has a line break or a word separator: somewhere a line could break.
bool HasBreakCharacter(std::string_view text);
// True when the text has only control characters and spaces (or nothing).
bool IsBlankText(std::string_view text);
// The text without trailing whitespace: characters up to U+0020 and the ideographic space.
std::string_view TrimTrailingWhitespace(std::string_view text);

// The words of one paragraph, in order. Their concatenation is the paragraph's text with its line breaks joined
// (a break becomes one space, none after wide break marks) and trimmed.
class TParagraphWordScanner {
public:
    explicit TParagraphWordScanner(std::string_view paragraphText);

    // The paragraph's lines joined and trimmed.
    const std::string& Text() const { return FText; }
    int WordCount() const { return static_cast<int>(FWords.size()); }
    // With its separator and the spaces after it.
    std::string_view Word(int index) const;
    // Words first..last (inclusive) as they stand in the text, trailing whitespace removed; empty when last <
    // first.
    std::string_view WordsText(int first, int last) const;
    // Byte offset of a word in Text(); WordCount() gives the end of the text.
    std::size_t WordStart(int index) const;

private:
    struct TWordRange {
        std::size_t Start;
        std::size_t Length;
    };

    std::string FText;
    std::vector<TWordRange> FWords;
};

class TTextParagraph {
public:
    // text: the paragraph's lines, joined with CR.
    TTextParagraph(std::string text, bool blankBefore, bool isListItem);

    const std::string& Text() const { return FText; }
    // The paragraph follows one or more blank lines.
    bool BlankBefore() const { return FBlankBefore; }
    // The paragraph begins with a bullet or a number, which stays with its first word.
    bool IsListItem() const { return FIsListItem; }
    const TParagraphWordScanner& Words() const { return FWords; }
    int WordCount() const { return FWords.WordCount(); }

    // Widths in pixels, set when the paragraph is measured: the whole paragraph on one line, and its narrowest
    // word.
    int NaturalWidth() const { return FNaturalWidth; }
    int NarrowestWidth() const { return FNarrowestWidth; }
    // Measured width of a word with its trailing spaces, and without them.
    double WordWidth(int index) const { return FWordWidths.at(static_cast<std::size_t>(index)).Full; }
    double TrimmedWordWidth(int index) const { return FWordWidths.at(static_cast<std::size_t>(index)).Trimmed; }
    bool Measured() const { return FMeasured; }
    // One pair of widths per word; also computes the natural and narrowest widths.
    void SetWordWidths(const std::vector<double>& full, const std::vector<double>& trimmed);

private:
    struct TWordWidth {
        double Full;
        double Trimmed;
    };

    std::string FText;
    TParagraphWordScanner FWords;
    std::vector<TWordWidth> FWordWidths;
    int FNaturalWidth = 0;
    int FNarrowestWidth = 0;
    bool FBlankBefore;
    bool FIsListItem;
    bool FMeasured = false;
};

using TTextParagraphs = std::vector<std::unique_ptr<TTextParagraph>>;

// Splits a text at CR, LF and CR LF and groups its lines into paragraphs. Blank lines only separate: they give
// the next paragraph its BlankBefore (several in a row count once, and a list item after them keeps it).
TTextParagraphs BuildParagraphs(std::string_view text);
