#include "text/WordScanners.h"

#include "platform/CVStrings.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr char32_t IdeographicSpace = 0x3000;

bool IsLineWhitespace(char32_t c) {
    return c <= 32 || c == 133 || c == 160;
}

// Spaces that a word takes along after its separator.
bool IsFollowingSpace(char32_t c) {
    return c == U' ' || c == IdeographicSpace;
}

bool IsWhitespaceOnly(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t c = NextCodePoint(text, pos);
        if (c > 32 && c != IdeographicSpace)
            return false;
    }
    return true;
}

// A width as a whole number of pixels; absurd sums stay within int.
int RoundWidth(double width) {
    if (!(width > 0))
        return 0;
    return static_cast<int>(RoundHalfEven(std::min(width, 1e9)));
}

} // namespace

TLineKind ClassifyLine(std::string_view line) {
    if (IsBlankText(line))
        return lkBlank;
    std::size_t pos = 0;
    const char32_t first = NextCodePoint(line, pos);
    if (first == U'*' || first == U'+' || first == U'-') {
        if (pos == line.size() || IsLineWhitespace(NextCodePoint(line, pos)))
            return lkBullet;
        return lkText;
    }
    pos = 0;
    while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9')
        ++pos;
    if (pos == 0 || pos == line.size() || line[pos] != '.')
        return lkText;
    ++pos;
    if (pos == line.size() || IsLineWhitespace(NextCodePoint(line, pos)))
        return lkNumbered;
    return lkText;
}

bool IsWordSeparator(char32_t c) {
    switch (c) {
    case U' ':
    case U',':
    case U'.':
    case U':':
    case U';':
    case 0x3000:
    case 0x3001:
    case 0x3002:
    case 0xFF01:
    case 0xFF0C:
    case 0xFF1A:
    case 0xFF1B:
    case 0xFF1F:
        return true;
    default:
        return false;
    }
}

bool IsWideBreakMark(char32_t c) {
    return IsWordSeparator(c) && c > 0x7F;
}

bool HasBreakCharacter(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t c = NextCodePoint(text, pos);
        if (c == U'\r' || c == U'\n' || IsWordSeparator(c))
            return true;
    }
    return false;
}

bool IsBlankText(std::string_view text) {
    // Bytes of longer UTF-8 sequences are all above 0x7F.
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= 32; });
}

std::string_view TrimTrailingWhitespace(std::string_view text) {
    static constexpr std::string_view ideographicSpace = "\u3000";
    for (;;) {
        if (!text.empty() && static_cast<unsigned char>(text.back()) <= 32)
            text.remove_suffix(1);
        else if (text.ends_with(ideographicSpace))
            text.remove_suffix(ideographicSpace.size());
        else
            return text;
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Words

TParagraphWordScanner::TParagraphWordScanner(std::string_view paragraphText) {
    std::string joined;
    joined.reserve(paragraphText.size());
    char32_t previous = 0;
    for (std::size_t pos = 0; pos < paragraphText.size();) {
        const char c = paragraphText[pos];
        if (c == '\r' || c == '\n') {
            pos += c == '\r' && pos + 1 < paragraphText.size() && paragraphText[pos + 1] == '\n' ? 2 : 1;
            if (!IsWideBreakMark(previous))
                joined += ' ';
            previous = U' ';
            continue;
        }
        const std::size_t start = pos;
        previous = NextCodePoint(paragraphText, pos);
        joined.append(paragraphText.substr(start, pos - start));
    }
    FText = Trim(joined);

    const std::string_view text = FText;
    std::size_t wordStart = 0;
    const auto addWord = [&](std::size_t end) {
        const std::string_view word = text.substr(wordStart, end - wordStart);
        if (IsWhitespaceOnly(word)) {
            // Keeps the words contiguous: stray whitespace joins the word before it (at the start it is dropped).
            if (!FWords.empty())
                FWords.back().Length += word.size();
        } else {
            FWords.push_back({wordStart, word.size()});
        }
        wordStart = end;
    };
    for (std::size_t pos = 0; pos < text.size();) {
        if (!IsWordSeparator(NextCodePoint(text, pos)))
            continue;
        for (std::size_t next = pos; next < text.size() && IsFollowingSpace(NextCodePoint(text, next));)
            pos = next;
        addWord(pos);
    }
    if (wordStart < text.size())
        addWord(text.size());
}

std::string_view TParagraphWordScanner::Word(int index) const {
    const TWordRange& range = FWords.at(static_cast<std::size_t>(index));
    return std::string_view(FText).substr(range.Start, range.Length);
}

std::string_view TParagraphWordScanner::WordsText(int first, int last) const {
    if (last < first)
        return {};
    const TWordRange& a = FWords.at(static_cast<std::size_t>(first));
    const TWordRange& b = FWords.at(static_cast<std::size_t>(last));
    return TrimTrailingWhitespace(std::string_view(FText).substr(a.Start, b.Start + b.Length - a.Start));
}

std::size_t TParagraphWordScanner::WordStart(int index) const {
    if (index == WordCount())
        return FText.size();
    return FWords.at(static_cast<std::size_t>(index)).Start;
}

// ---------------------------------------------------------------------------------------------------------------
// Paragraphs

TTextParagraph::TTextParagraph(std::string text, bool blankBefore, bool isListItem)
    : FText(std::move(text)), FWords(FText), FBlankBefore(blankBefore), FIsListItem(isListItem) {}

void TTextParagraph::SetWordWidths(const std::vector<double>& full, const std::vector<double>& trimmed) {
    const std::size_t count = static_cast<std::size_t>(WordCount());
    FWordWidths.assign(count, {0, 0});
    double natural = 0;
    double narrowest = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < count; ++i) {
        TWordWidth& width = FWordWidths[i];
        width.Full = i < full.size() ? full[i] : 0;
        width.Trimmed = i < trimmed.size() ? trimmed[i] : width.Full;
        natural += i + 1 == count ? width.Trimmed : width.Full;
        narrowest = std::min(narrowest, width.Trimmed);
    }
    FNaturalWidth = RoundWidth(natural);
    FNarrowestWidth = count == 0 ? 0 : RoundWidth(narrowest);
    FMeasured = true;
}

TTextParagraphs BuildParagraphs(std::string_view text) {
    TTextParagraphs paragraphs;
    std::vector<std::string_view> lines;
    bool blankBefore = false;
    bool isListItem = false;
    const auto close = [&] {
        if (lines.empty())
            return; // flags wait for the next paragraph
        std::string joined(lines.front());
        for (std::size_t i = 1; i < lines.size(); ++i) {
            joined += '\r';
            joined.append(lines[i]);
        }
        paragraphs.push_back(std::make_unique<TTextParagraph>(std::move(joined), blankBefore, isListItem));
        lines.clear();
        blankBefore = false;
        isListItem = false;
    };
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find_first_of("\r\n", start);
        const std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
        switch (ClassifyLine(line)) {
        case lkBlank:
            close();
            blankBefore = true;
            break;
        case lkText:
            lines.push_back(line);
            break;
        case lkBullet:
        case lkNumbered:
            close();
            lines.push_back(line);
            isListItem = true;
            break;
        }
        if (end == std::string_view::npos)
            break;
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    close();
    return paragraphs;
}
