#include "text/MarkDownParsers.h"

#include "model/CVMindMaps.h"
#include "platform/CVStrings.h"
#include "text/RichTextSpanParsers.h"

#include <algorithm>
#include <array>
#include <cassert>

namespace {

// Blanks around a delimiter: control characters, the space, no-break space and next line.
bool IsBlank(char32_t c) {
    return c <= 32 || c == 0xA0 || c == 0x85;
}

TMarkdownSpanKind KindAt(const std::u32string& chars, std::size_t index) {
    const bool doubled = index + 1 < chars.size() && chars[index + 1] == chars[index];
    switch (chars[index]) {
    case U'*':
        return mskAsterisk;
    case U'_':
        return mskUnderscore;
    case U'~':
        return doubled ? mskDoubleTilde : mskTilde;
    case U'^':
        return doubled ? mskDoubleCaret : mskNone;
    case U',':
        return doubled ? mskDoubleComma : mskNone;
    default:
        return mskNone;
    }
}

// One end of a span.
struct TMarkdownSpanToken {
    const TMarkdownSpanNode* Node;
    bool Opening;

    std::size_t Position() const { return Opening ? Node->Opening : Node->Closing; }
};

} // namespace

std::size_t MarkdownDelimiterLength(TMarkdownSpanKind kind) {
    switch (kind) {
    case mskAsterisk:
    case mskUnderscore:
    case mskTilde:
        return 1;
    case mskDoubleTilde:
    case mskDoubleCaret:
    case mskDoubleComma:
        return 2;
    case mskNone:
        break;
    }
    return 0;
}

TMarkdownSpanParser::TMarkdownSpanParser(std::string source) : FSource(std::move(source)), FChars(ToUtf32(FSource)) {
    // The pending opener of each kind as a 1-based position, 0 for none; a newer opener replaces an older one.
    std::array<std::size_t, mskDoubleComma + 1> pending{};
    const std::size_t count = FChars.size();
    for (std::size_t index = 0; index < count;) {
        const TMarkdownSpanKind kind = KindAt(FChars, index);
        if (kind == mskNone) {
            ++index;
            continue;
        }
        const std::size_t after = index + MarkdownDelimiterLength(kind);
        const bool blankBefore = index == 0 || IsBlank(FChars[index - 1]);
        const bool blankAfter = after >= count || IsBlank(FChars[after]);
        if (!blankBefore || !blankAfter) {
            std::size_t& opening = pending[kind];
            if (!blankBefore && opening != 0) {
                FNodes.push_back({kind, opening, index + 1});
                opening = 0;
            } else {
                opening = blankAfter ? 0 : index + 1;
            }
        }
        index = after;
    }
}

std::string TMarkdownSpanParser::BuildFilteredText() const {
    if (FNodes.empty())
        return FSource;
    std::vector<TMarkdownSpanToken> tokens;
    tokens.reserve(FNodes.size() * 2);
    for (const TMarkdownSpanNode& node : FNodes) {
        tokens.push_back({&node, true});
        tokens.push_back({&node, false});
    }
    // Delimiters never overlap, so every position belongs to one token.
    std::sort(tokens.begin(), tokens.end(),
              [](const TMarkdownSpanToken& a, const TMarkdownSpanToken& b) { return a.Position() < b.Position(); });
    std::u32string filtered;
    filtered.reserve(FChars.size());
    std::size_t from = 0; // 0-based index of the next character to copy
    for (const TMarkdownSpanToken& token : tokens) {
        const std::size_t index = token.Position() - 1;
        assert(index >= from);
        filtered.append(FChars, from, index - from);
        from = index + MarkdownDelimiterLength(token.Node->Kind);
    }
    filtered.append(FChars, from);
    return FromUtf32(filtered);
}

TMarkDownProperties& TMarkDownProperties::Instance() {
    static TMarkDownProperties instance;
    return instance;
}

void TMarkDownProperties::SetMarkDownFilteringEnabled(bool value) {
    if (value == FFilteringEnabled)
        return;
    FFilteringEnabled = value;
    if (FOnChange)
        FOnChange();
}

std::string FilterMarkdown(const std::string& text) {
    // Every delimiter is ASCII, and UTF-8 never uses ASCII bytes inside a longer sequence: a text without any of
    // these bytes has no span and needs no decoding.
    if (!TMarkDownProperties::Instance().MarkDownFilteringEnabled() || text.find_first_of("*_~^,") == std::string::npos)
        return text;
    return TMarkdownSpanParser(text).BuildFilteredText();
}

std::string PlainTextForFormat(const std::string& text, TTextFormat format) {
    switch (format) {
    case tfMarkdown:
        return FilterMarkdown(text);
    case tfRichText:
        return FilterRichText(text);
    case tfPlain:
        break;
    }
    return text;
}
