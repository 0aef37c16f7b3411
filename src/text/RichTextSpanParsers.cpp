#include "text/RichTextSpanParsers.h"

#include "platform/CVStrings.h"

#include <algorithm>
#include <array>
#include <limits>

namespace {

constexpr std::size_t NoStart = std::numeric_limits<std::size_t>::max();

TRichTextSpanKind EscapeKind(char32_t c) {
    switch (c) {
    case U'*':
        return rskBold;
    case U'/':
        return rskItalic;
    case U'_':
        return rskUnderline;
    case U'~':
        return rskStrikeOut;
    case U'^':
        return rskRaised;
    case U'`':
        return rskLowered;
    default:
        return rskNone;
    }
}

TRichTextStyles StyleOf(TRichTextSpanKind kind) {
    switch (kind) {
    case rskBold:
        return rtsBold;
    case rskItalic:
        return rtsItalic;
    case rskUnderline:
        return rtsUnderline;
    case rskStrikeOut:
        return rtsStrikeOut;
    case rskNone:
    case rskRaised:
    case rskLowered:
        break;
    }
    return 0;
}

// One end of a span.
struct TRichTextSpanToken {
    const TRichTextSpanNode* Node;
    bool Start;

    std::size_t Offset() const { return Start ? Node->Start : Node->End; }
};

} // namespace

TRichTextSpanParser::TRichTextSpanParser(std::string source, TRichTextStyles baseStyles)
    : FSource(std::move(source)), FBaseStyles(baseStyles) {
    const std::u32string chars = ToUtf32(FSource);
    const std::size_t count = chars.size();
    std::u32string output;
    output.reserve(count);
    std::array<std::size_t, rskLowered + 1> pending;
    pending.fill(NoStart);
    std::size_t segment = 0; // start of the source not yet copied
    for (std::size_t index = 0; index < count;) {
        if (chars[index] != U'\\' || index + 1 == count) {
            ++index;
            continue;
        }
        if (chars[index + 1] == U'\\') {
            // The second backslash starts the next segment and so stays in the output.
            output.append(chars, segment, index - segment);
            segment = index + 1;
            index += 2;
            continue;
        }
        const TRichTextSpanKind kind = EscapeKind(chars[index + 1]);
        if (kind == rskNone) {
            ++index;
            continue;
        }
        output.append(chars, segment, index - segment);
        segment = index + 2;
        index += 2;
        std::size_t& start = pending[kind];
        if (start == NoStart) {
            start = output.size();
        } else {
            if (start < output.size())
                FNodes.push_back({kind, start, output.size()});
            start = NoStart;
        }
    }
    output.append(chars, segment);
    FOutput = FromUtf32(output);
    FOutputLength = output.size();
}

std::vector<TRichTextRange> TRichTextSpanParser::FormattedRanges() const {
    std::vector<TRichTextSpanToken> tokens;
    tokens.reserve(FNodes.size() * 2);
    TRichTextStyles used = 0;
    for (const TRichTextSpanNode& node : FNodes) {
        tokens.push_back({&node, true});
        tokens.push_back({&node, false});
        used = static_cast<TRichTextStyles>(used | StyleOf(node.Kind));
    }
    // At one offset a span ends before the next begins; starts at one offset keep the order of their nodes.
    std::stable_sort(tokens.begin(), tokens.end(), [](const TRichTextSpanToken& a, const TRichTextSpanToken& b) {
        return a.Offset() != b.Offset() ? a.Offset() < b.Offset() : !a.Start && b.Start;
    });

    std::vector<TRichTextRange> ranges;
    TRichTextStyles styles = static_cast<TRichTextStyles>(FBaseStyles & ~used);
    // Raised and lowered spans may overlap: the later-opened one decides while it is open.
    std::array<bool, rtoLowered + 1> open{}; // by offset; rtoNone is never open
    TRichTextOffset latest = rtoNone;
    const auto currentOffset = [&] {
        if (open[latest])
            return latest;
        return open[rtoRaised] ? rtoRaised : open[rtoLowered] ? rtoLowered : rtoNone;
    };
    std::size_t formatted = 0;
    const auto formatUpTo = [&](std::size_t offset) {
        if (offset > formatted) {
            ranges.push_back({formatted, offset, styles, currentOffset()});
            formatted = offset;
        }
    };
    for (const TRichTextSpanToken& token : tokens) {
        formatUpTo(token.Offset());
        const TRichTextSpanKind kind = token.Node->Kind;
        if (kind == rskRaised || kind == rskLowered) {
            const TRichTextOffset offset = kind == rskRaised ? rtoRaised : rtoLowered;
            open[offset] = token.Start;
            if (token.Start)
                latest = offset;
        } else if (token.Start) {
            styles = static_cast<TRichTextStyles>(styles | StyleOf(kind));
        } else {
            styles = static_cast<TRichTextStyles>(styles & ~StyleOf(kind));
        }
    }
    formatUpTo(FOutputLength);
    return ranges;
}

TRichTextFormatting ParseAndConvert(const std::string& text, TRichTextStyles baseStyles) {
    const TRichTextSpanParser parser(text, baseStyles);
    return {parser.OutputText(), parser.FormattedRanges()};
}

std::string FilterRichText(const std::string& text) {
    if (text.empty())
        return text;
    return TRichTextSpanParser(text).OutputText();
}
