#pragma once

// The light delimiter markup ("md1") of topic, free-text and note texts, and the plain text every format yields:
// the map measures, paints and searches that plain text, never styled runs.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

enum TTextFormat : std::uint8_t; // model/CVMindMaps.h

enum TMarkdownSpanKind : std::uint8_t {
    mskNone,
    mskAsterisk,    // "*"
    mskUnderscore,  // "_"
    mskTilde,       // "~" not followed by another "~"
    mskDoubleTilde, // "~~"
    mskDoubleCaret, // "^^"
    mskDoubleComma, // ",,"
};

// Characters in the delimiter of a kind: 1 or 2 (0 for mskNone).
std::size_t MarkdownDelimiterLength(TMarkdownSpanKind kind);

struct TMarkdownSpanNode {
    TMarkdownSpanKind Kind = mskNone;
    // 1-based character positions of the first character of the opening and of the closing delimiter.
    std::size_t Opening = 0;
    std::size_t Closing = 0;
};

// Finds the spans of a text. A closer must touch text on its left and an opener text on its right; spans of one
// kind never nest, spans of different kinds may overlap; unmatched delimiters are ordinary text.
class TMarkdownSpanParser {
public:
    explicit TMarkdownSpanParser(std::string source);

    const std::string& Source() const { return FSource; }
    // In the order their closers appear.
    const std::vector<TMarkdownSpanNode>& Nodes() const { return FNodes; }
    // The source without the delimiters of its spans; the source itself when it has none.
    std::string BuildFilteredText() const;

private:
    std::string FSource;
    std::u32string FChars; // the source decoded, so that positions count characters
    std::vector<TMarkdownSpanNode> FNodes;
};

// The Markdown options. Filtering is one process-wide switch, off until the user's settings turn it on.
class TMarkDownProperties {
public:
    // Where the settings keep the options, and the value name of the switch.
    static constexpr const char* SectionName = "MarkDown";
    static constexpr const char* FilteringEnabledName = "MarkDownFilteringEnabled";

    static TMarkDownProperties& Instance();
    TMarkDownProperties(const TMarkDownProperties&) = delete;
    TMarkDownProperties& operator=(const TMarkDownProperties&) = delete;

    bool MarkDownFilteringEnabled() const { return FFilteringEnabled; }
    // Calls the change callback when the value actually changes.
    void SetMarkDownFilteringEnabled(bool value);
    void SetOnChange(std::function<void()> handler) { FOnChange = std::move(handler); }

private:
    TMarkDownProperties() = default;

    bool FFilteringEnabled = false;
    std::function<void()> FOnChange;
};

// The text as displayed: without span delimiters when filtering is on, otherwise unchanged.
std::string FilterMarkdown(const std::string& text);

// The plain text of a text in a format: Markdown filtered as above, rich text without its escapes, plain text as it
// is.
std::string PlainTextForFormat(const std::string& text, TTextFormat format);
