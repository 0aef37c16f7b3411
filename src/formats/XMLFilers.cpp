#include "formats/XMLFilers.h"

#include "platform/Encodings.h"
#include "platform/ResourceLimits.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

// Character data loses its leading blanks up to and including the first line break (CR LF and LF CR count as
// one), and its trailing blanks back to and including the last one; blanks without a line break go entirely.
std::string TrimCharacterData(std::string_view s) {
    std::size_t first = 0;
    std::size_t last = s.size();
    while (first < last && IsBlank(s[first])) {
        const char c = s[first++];
        if (IsLineBreak(c)) {
            if (first < last && IsLineBreak(s[first]) && s[first] != c)
                ++first;
            break;
        }
    }
    while (last > first && IsBlank(s[last - 1])) {
        const char c = s[--last];
        if (IsLineBreak(c)) {
            if (last > first && IsLineBreak(s[last - 1]) && s[last - 1] != c)
                --last;
            break;
        }
    }
    return std::string(s.substr(first, last - first));
}

// "<?xml" followed by a blank or "?" (not "<?xml-stylesheet").
bool IsXmlDeclaration(std::string_view token) {
    if (token.size() < 6 || !StartsWithText(token, "<?xml"))
        return false;
    const auto c = static_cast<unsigned char>(token[5]);
    return (c >= 1 && c <= 32) || c == '?';
}

// Entering attribute names with "first pair wins": a linear search for ordinary tags, a hash map once a tag
// has many attributes, so that a huge tag still parses in linear time.
class TAttributeIndex {
public:
    int Enter(TXMLAttributes& attributes, std::string_view name) {
        if (FIndex.empty() && attributes.Count() < kLinearLimit)
            return attributes.Set(name, {});
        if (FIndex.empty())
            for (int i = 0; i < attributes.Count(); ++i)
                FIndex.emplace(LowerAscii(attributes.Name(i)), i);
        const auto [it, inserted] = FIndex.emplace(LowerAscii(name), attributes.Count());
        if (inserted)
            attributes.Add(name, {});
        else
            attributes.SetValue(it->second, {});
        return it->second;
    }

private:
    static constexpr int kLinearLimit = 16;
    std::unordered_map<std::string, int> FIndex;
};

// Appends the character of a reference starting at text[0] ("&") and returns its length, or returns 0 when the
// text starts no reference we decode.
std::size_t DecodeReference(std::string_view text, std::string& out) {
    struct TNamed {
        std::string_view Name;
        char Char;
    };
    static constexpr TNamed kNamed[] = {
        {"&amp;", '&'}, {"&gt;", '>'}, {"&lt;", '<'}, {"&apos;", '\''}, {"&quot;", '"'},
    };
    for (const TNamed& named : kNamed)
        if (StartsWithText(text, named.Name)) {
            out += named.Char;
            return named.Name.size();
        }
    if (text.size() < 4 || text[1] != '#')
        return 0;
    // Only a lower-case "x" makes the reference hexadecimal; "&#X41;" is no number and stays as written.
    const bool hex = text[2] == 'x';
    std::size_t i = hex ? 3 : 2;
    const std::size_t digitsStart = i;
    std::uint32_t value = 0;
    bool tooLarge = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            break;
        if (!tooLarge) {
            value = value * (hex ? 16u : 10u) + digit;
            tooLarge = value > 0x10FFFF;
        }
    }
    if (i == digitsStart || i >= text.size() || text[i] != ';')
        return 0;
    // NUL, surrogate halves and values beyond Unicode are no characters: such references stay as written.
    if (tooLarge || value == 0 || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    AppendUtf8(out, static_cast<char32_t>(value));
    return i + 1;
}

enum TByteOrderMark : std::uint8_t { bomNone, bomUtf8, bomUtf16LE, bomUtf16BE, bomUtf32LE, bomUtf32BE };

TByteOrderMark DetectByteOrderMark(std::string_view bytes) {
    const auto starts = [bytes](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    using namespace std::string_view_literals;
    if (starts("\xEF\xBB\xBF"sv))
        return bomUtf8;
    if (starts("\xFF\xFE\x00\x00"sv))
        return bomUtf32LE;
    if (starts("\xFF\xFE"sv))
        return bomUtf16LE;
    if (starts("\xFE\xFF"sv))
        return bomUtf16BE;
    if (starts("\x00\x00\xFE\xFF"sv))
        return bomUtf32BE;
    return bomNone;
}

// The whole file, refused past kMaxDocumentFileBytes before more is read; errors name the file by its path.
std::string ReadFileBytes(const std::string& path) {
    const auto raise = [&path](const char* reason) {
        throw ECVException(Format("Cannot read file \"%s\": %s", path.c_str(), reason));
    };
    const auto tooLarge =
        Format("the file is larger than %llu bytes", static_cast<unsigned long long>(kMaxDocumentFileBytes));
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        raise(g_strerror(errno));
    struct stat info {};
    if (fstat(fileno(file.get()), &info) == 0 && S_ISREG(info.st_mode)) {
        if (static_cast<std::uint64_t>(info.st_size) > kMaxDocumentFileBytes)
            raise(tooLarge.c_str());
    }
    std::string bytes;
    char buffer[65536];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        if (bytes.size() + count > kMaxDocumentFileBytes)
            raise(tooLarge.c_str());
        bytes.append(buffer, count);
    }
    if (std::ferror(file.get()))
        raise(g_strerror(errno));
    return bytes;
}

// The encoding named by the first processing instruction is UTF-8; an element or character data before any
// instruction ends the search.
bool DeclaresUtf8(std::string_view text) {
    try {
        TXMLParser parser(text);
        for (;;) {
            switch (parser.NextToken()) {
            case xtkInstruction: {
                TXMLAttributes attributes;
                parser.ParseTag(attributes);
                return SameText(attributes.Get("encoding"), "UTF-8");
            }
            case xtkComment:
            case xtkCData:
            case xtkDTD:
                break;
            default:
                return false;
            }
        }
    } catch (const EOXXMLException&) {
        return false; // the importer reports the syntax error when it parses the text
    }
}

constexpr int kOpmlDocument = 7;
constexpr int kFreeMindDocument = 8;

} // namespace

// EOXXMLException

EOXXMLException::EOXXMLException(const std::string& reason, int line, int column)
    : ECVException(Format("Error %s in line %d col %d", reason.c_str(), line, column)), FLine(line), FColumn(column) {}

// TXMLParser

TXMLParser::TXMLParser(std::string_view text) : FText(text.substr(0, text.find('\0'))) {}

TXMLTokenKind TXMLParser::NextToken() {
    while (FPos < FText.size() && IsBlank(FText[FPos]))
        ++FPos;
    FTokenStart = FPos;
    if (FPos >= FText.size()) {
        FKind = xtkEnd;
        return FKind;
    }
    const std::string_view rest = FText.substr(FPos);
    const auto endAfter = [&](std::string_view terminator, std::size_t from, const char* reason) {
        const std::size_t found = FText.find(terminator, FPos + from);
        if (found == std::string_view::npos)
            RaiseError(reason);
        return found + terminator.size();
    };
    std::size_t end = 0;
    if (rest.front() != '<') {
        // Character data, an ampersand at its start included: references are decoded wherever they stand.
        end = FText.find('<', FPos);
        if (end == std::string_view::npos)
            end = FText.size();
        FKind = xtkText;
    } else if (rest.starts_with("<!--")) {
        end = endAfter("-->", 4, "Unterminated element");
        FKind = xtkComment;
    } else if (rest.starts_with("<![CDATA[")) {
        end = endAfter("]]>", 9, "Unterminated element");
        FKind = xtkCData;
    } else if (rest.starts_with("<!DOCTYPE")) {
        const std::size_t stop = FText.find_first_of(">[", FPos + 9);
        if (stop == std::string_view::npos)
            RaiseError("Unterminated DTD");
        if (FText[stop] == '[') {
            const std::size_t close = FText.find("]>", stop + 1);
            if (close == std::string_view::npos)
                RaiseError("Unterminated internal DTD");
            end = close + 2;
        } else {
            end = stop + 1;
        }
        FKind = xtkDTD;
    } else if (rest.starts_with("<!")) {
        RaiseError("Unexpected entity");
    } else if (rest.starts_with("<?")) {
        end = endAfter("?>", 2, "Unterminated element");
        FKind = xtkInstruction;
    } else {
        // Only double quotes hide a ">": one inside a single-quoted value ends the tag. Quotes and brackets are
        // found with the library's searches, a quote only before the next ">", and that ">" is looked for again
        // only once it has been passed: a huge tag is scanned quickly, and every byte once.
        std::size_t i = FPos + 1;
        std::size_t bracket = FText.find('>', i);
        for (;;) {
            if (bracket == std::string_view::npos)
                RaiseError("Unterminated element");
            const std::size_t quote = FText.substr(0, bracket).find('"', i);
            if (quote == std::string_view::npos)
                break;
            const std::size_t closing = FText.find('"', quote + 1);
            if (closing == std::string_view::npos)
                RaiseError("Unterminated element");
            i = closing + 1;
            if (bracket < i)
                bracket = FText.find('>', i);
        }
        end = bracket + 1;
        const std::string_view token = FText.substr(FPos, end - FPos);
        if (token[token.size() - 2] == '/')
            FKind = xtkEmptyTag;
        else if (token[1] == '/')
            FKind = xtkEndTag;
        else
            FKind = xtkStartTag;
    }
    FPos = end;
    // Whatever the tree keeps of a token is limited, so that a huge one is refused before it is copied (the
    // values and names inside tags are checked when the tag is parsed).
    const char* what = FKind == xtkText || FKind == xtkCData ? "Text"
                       : FKind == xtkInstruction             ? "Instruction"
                       : FKind == xtkDTD                     ? "DTD"
                                                             : nullptr;
    const std::size_t kept = FKind == xtkCData ? Content().size() : end - FTokenStart;
    if (what && kept > kMaxXMLValueBytes)
        RaiseError(Format("%s longer than %zu bytes", what, kMaxXMLValueBytes));
    return FKind;
}

std::string_view TXMLParser::Content() const {
    std::size_t prefix = 0;
    std::size_t suffix = 0;
    switch (FKind) {
    case xtkStartTag:
        prefix = 1, suffix = 1;
        break;
    case xtkEmptyTag:
        prefix = 1, suffix = 2;
        break;
    case xtkEndTag:
        prefix = 2, suffix = 1;
        break;
    case xtkComment:
        prefix = 4, suffix = 3;
        break;
    case xtkInstruction:
        prefix = 2, suffix = 2;
        break;
    case xtkCData:
        prefix = 9, suffix = 3;
        break;
    case xtkDTD:
        prefix = 9, suffix = 2;
        break;
    default:
        break;
    }
    const std::string_view token = Token();
    if (prefix + suffix > token.size())
        return {};
    return token.substr(prefix, token.size() - prefix - suffix);
}

std::string TXMLParser::TokenText() const {
    switch (FKind) {
    case xtkText:
        return DecodeEntities(Token());
    case xtkCData:
        return DecodeEntities(Content());
    case xtkComment:
        return std::string(Content());
    default:
        return std::string(Token());
    }
}

std::string TXMLParser::ParseTag(TXMLAttributes& attributes, std::size_t maxAttributes) const {
    attributes.Clear();
    const std::string_view s = Content();
    std::string name;
    bool haveName = false;
    int pending = -1; // the attribute waiting for its value
    TAttributeIndex index;
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (IsBlank(c)) {
            ++i;
        } else if (c == '"' || c == '\'') {
            if (pending < 0)
                RaiseError("Illegal attribute value definition");
            const std::size_t close = s.find(c, i + 1);
            if (close == std::string_view::npos)
                RaiseError("Unterminated value string");
            if (close - i - 1 > kMaxXMLValueBytes)
                RaiseError(Format("Attribute value longer than %zu bytes", kMaxXMLValueBytes));
            attributes.SetValue(pending, DecodeEntities(s.substr(i + 1, close - i - 1)));
            pending = -1;
            i = close + 1;
        } else if (c == '=') {
            if (pending < 0)
                RaiseError("Illegal attribute value definition");
            ++i;
        } else {
            // A name runs to a blank, "=" or the end of the tag.
            const std::size_t start = i;
            while (i < s.size() && !IsBlank(s[i]) && s[i] != '=')
                ++i;
            const std::string_view item = s.substr(start, i - start);
            if (item.size() > kMaxXMLValueBytes)
                RaiseError(Format("Name longer than %zu bytes", kMaxXMLValueBytes));
            if (!haveName) {
                name = item;
                haveName = true;
            } else {
                if (static_cast<std::size_t>(attributes.Count()) >= maxAttributes)
                    RaiseError(Format("Document holds more than %zu elements, attributes and texts", kMaxXMLNodes));
                pending = index.Enter(attributes, item);
            }
        }
    }
    return name;
}

std::string TXMLParser::EndTagName() const {
    const std::string_view s = Content();
    std::size_t i = 0;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    const std::size_t start = i;
    while (i < s.size() && !IsBlank(s[i]))
        ++i;
    return std::string(s.substr(start, i - start));
}

void TXMLParser::LineAndColumn(std::size_t offset, int& line, int& column) const {
    offset = std::min(offset, FText.size());
    const std::string_view text = FText.substr(0, offset);
    // An error may stand at the end of a huge document: line breaks are found with the library's searches, and
    // the code points of the last line are counted eight bytes at a time.
    line = 1;
    std::size_t lineStart = 0;
    std::size_t cr = text.find('\r');
    std::size_t lf = text.find('\n');
    while (cr != std::string_view::npos || lf != std::string_view::npos) {
        const std::size_t at = std::min(cr, lf);
        std::size_t next = at + 1;
        if (at == cr && next == lf)
            ++next; // CR LF ends one line
        ++line;
        lineStart = next;
        if (cr != std::string_view::npos && cr < next)
            cr = text.find('\r', next);
        if (lf != std::string_view::npos && lf < next)
            lf = text.find('\n', next);
    }
    // continuation bytes (10xxxxxx) belong to the code point before them
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    std::size_t count = 0;
    std::size_t i = lineStart;
    for (; offset - i >= 8; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, sizeof word);
        count += 8 - static_cast<std::size_t>(std::popcount(word & ~(word << 1) & kHighBits));
    }
    for (; i < offset; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            ++count;
    column = static_cast<int>(std::min<std::size_t>(count + 1, INT_MAX));
}

void TXMLParser::RaiseError(const std::string& reason) const {
    int line = 0;
    int column = 0;
    LineAndColumn(FPos, line, column);
    throw EOXXMLException(reason, line, column);
}

std::string DecodeEntities(std::string_view text) {
    std::size_t amp = text.find('&');
    if (amp == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (amp != std::string_view::npos) {
        out.append(text.substr(pos, amp - pos));
        const std::size_t length = DecodeReference(text.substr(amp), out);
        if (length > 0) {
            pos = amp + length;
        } else {
            out += '&';
            pos = amp + 1;
        }
        amp = text.find('&', pos);
    }
    out.append(text.substr(pos));
    return out;
}

// TXMLReader

void TXMLReader::Read(std::string_view text) {
    FDocument.Clear();
    TXMLParser parser(text);
    TXMLElement* current = &FDocument;
    int depth = 0;
    // elements, attributes and texts of the tree: each costs about a hundred bytes, whatever few bytes it took
    std::size_t nodes = 0;
    const auto countNode = [&](std::size_t count) {
        nodes += count;
        if (nodes > kMaxXMLNodes)
            parser.RaiseError(Format("Document holds more than %zu elements, attributes and texts", kMaxXMLNodes));
    };
    for (;;) {
        switch (parser.NextToken()) {
        case xtkEnd:
            if (current != &FDocument)
                parser.RaiseError("Unexpected end of document");
            return;
        case xtkStartTag:
        case xtkEmptyTag: {
            if (depth >= kMaxXMLNesting)
                parser.RaiseError(Format("Elements nested deeper than %d levels", kMaxXMLNesting));
            countNode(1);
            TXMLElement* element = current->AddChild({});
            element->SetName(parser.ParseTag(element->Attributes(), kMaxXMLNodes - nodes));
            countNode(static_cast<std::size_t>(element->Attributes().Count()));
            if (parser.TokenKind() == xtkStartTag) {
                current = element;
                ++depth;
            }
            break;
        }
        case xtkEndTag: {
            if (current == &FDocument)
                parser.RaiseError("Illegal element end");
            const std::string name = parser.EndTagName();
            if (!SameText(name, current->Name()))
                parser.RaiseError(
                    Format("Element start %s does not match element end %s", current->Name().c_str(), name.c_str()));
            current = current->Parent();
            --depth;
            break;
        }
        case xtkComment:
            break;
        case xtkInstruction: {
            // Instructions belong to the document wherever they stand.
            countNode(1);
            auto node = std::make_unique<TXMLElement>(xekInstruction, "Instruction");
            TXMLElement* instruction = node.get();
            instruction->SetText(std::string(parser.Token()));
            FDocument.AppendChild(std::move(node));
            if (IsXmlDeclaration(parser.Token())) {
                parser.ParseTag(instruction->Attributes());
                instruction->SetName("xml");
                if (const std::string version = instruction->GetString("version"); !version.empty())
                    FDocument.SetVersion(version);
                if (const std::string standalone = instruction->GetString("standalone"); !standalone.empty())
                    FDocument.SetStandalone(standalone);
                if (const std::string encoding = instruction->GetString("encoding"); !encoding.empty())
                    FDocument.SetEncoding(encoding);
            }
            break;
        }
        case xtkText:
        case xtkCData:
            countNode(1);
            current->AddText(TrimCharacterData(parser.TokenText()));
            break;
        case xtkDTD: {
            countNode(1);
            auto node = std::make_unique<TXMLElement>(xekDTD, "DTD");
            const std::string_view token = parser.Token();
            node->SetText(std::string(token));
            std::string_view name = token.substr(9);
            const std::size_t bracket = name.find('[');
            name = bracket == std::string_view::npos ? name.substr(0, name.size() - 1) : name.substr(0, bracket);
            std::string trimmed = Trim(name);
            std::size_t end = 0;
            while (end < trimmed.size() && !IsBlank(trimmed[end]))
                ++end;
            trimmed.resize(end);
            node->Attributes().Add(trimmed, {});
            FDocument.SetName(std::move(trimmed));
            FDocument.AppendChild(std::move(node));
            break;
        }
        }
    }
}

// TXMLWriter

std::string TXMLWriter::Escape(std::string_view text, bool attributeValue) {
    TXMLWriter writer(false, false);
    writer.AppendEscaped(text, attributeValue);
    return writer.TakeText();
}

void TXMLWriter::AppendEscaped(std::string_view text, bool attributeValue) {
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char* entity = nullptr;
        switch (c) {
        case '"':
            entity = "&quot;";
            break;
        case '&':
            entity = "&amp;";
            break;
        case '\'':
            entity = "&apos;";
            break;
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        default:
            if (!attributeValue || static_cast<unsigned char>(c) >= 32)
                continue;
            break;
        }
        FOutput.append(text.substr(plain, i - plain));
        if (entity)
            FOutput += entity;
        else
            FOutput += Format("&#x%x;", static_cast<unsigned>(static_cast<unsigned char>(c)));
        plain = i + 1;
    }
    FOutput.append(text.substr(plain));
}

void TXMLWriter::AppendIndent(int depth) {
    if (FIndent && depth > 0)
        FOutput.append(static_cast<std::size_t>(depth), '\t');
}

// The tag's opening "<name attributes" (without its closing bracket).
void TXMLWriter::AppendName(std::string_view name, bool elementName) {
    // The reader takes any run of characters for a name, quotes and ">" too, but a tag's end is found by pairing
    // the double quotes before the first ">" outside them: written as they are, such names end the tag or hide
    // its end. They are written with "_" in those places. An element name that is empty, starts as a comment,
    // instruction or end tag or ends in "/" (its tags would read as an empty-element tag) would not read back as
    // that element; "_" takes the place of the character at fault.
    const std::size_t start = FOutput.size();
    FOutput += FPreserveCase || !elementName ? std::string(name) : LowerAscii(name);
    std::replace_if(FOutput.begin() + static_cast<std::ptrdiff_t>(start), FOutput.end(),
                    [](char c) { return c == '"' || c == '>'; }, '_');
    if (elementName && FOutput.size() == start)
        FOutput += '_';
    else if (elementName && (FOutput[start] == '!' || FOutput[start] == '?' || FOutput[start] == '/'))
        FOutput[start] = '_';
    if (elementName && FOutput.back() == '/')
        FOutput.back() = '_';
}

void TXMLWriter::AppendTag(const TXMLElement& element, int depth) {
    AppendIndent(depth);
    FOutput += '<';
    AppendName(element.Name(), true);
    const TXMLAttributes& attributes = element.Attributes();
    for (int i = 0; i < attributes.Count(); ++i) {
        FOutput += ' ';
        AppendName(attributes.Name(i), false);
        FOutput += "=\"";
        AppendEscaped(attributes.Value(i), true);
        FOutput += '"';
    }
}

void TXMLWriter::WriteDocument(const TXMLDocument& document) {
    if (document.WriteDeclaration()) {
        // the values are escaped as attribute values are: a read declaration may hold quotes
        FOutput += "<?xml version=\"" + Escape(document.Version(), true) + "\"";
        if (!document.Encoding().empty())
            FOutput += " encoding=\"" + Escape(document.Encoding(), true) + "\"";
        if (!document.Standalone().empty())
            FOutput += " standalone=\"" + Escape(document.Standalone(), true) + "\"";
        FOutput += "?>";
        EndLine();
        if (!document.Name().empty()) {
            FOutput += "<!DOCTYPE " + document.Name() + ">";
            EndLine();
        }
    }
    for (int i = 0; i < document.ChildCount(); ++i)
        WriteNode(*document.Child(i), 0, true);
}

void TXMLWriter::WriteElement(const TXMLElement& element, int depth) {
    if (element.Kind() == xekDocument) {
        for (int i = 0; i < element.ChildCount(); ++i)
            WriteNode(*element.Child(i), depth, true);
    } else {
        WriteNode(element, depth, false);
    }
}

// Elements are written with an explicit stack: a tree may be deeper than the call stack allows.
void TXMLWriter::WriteNode(const TXMLElement& node, int depth, bool atDocumentLevel) {
    struct TFrame {
        const TXMLElement* Element;
        int Next;
        int Depth;
    };
    std::vector<TFrame> open;
    const auto write = [&](const TXMLElement& element, int level, bool documentLevel) {
        switch (element.Kind()) {
        case xekElement:
            AppendTag(element, level);
            if (element.ChildCount() == 0 && element.Text().empty()) {
                FOutput += "/>";
                EndLine();
            } else {
                FOutput += '>';
                EndLine();
                open.push_back({&element, 0, level});
            }
            break;
        case xekComment:
            FOutput += element.Text();
            EndLine();
            break;
        case xekText:
            AppendEscaped(element.Text(), false);
            EndLine();
            break;
        case xekCData:
            if (documentLevel)
                break;
            FOutput += "<![CDATA[";
            EndLine();
            AppendEscaped(element.Text(), false);
            EndLine();
            FOutput += "]]>";
            EndLine();
            break;
        default:
            break; // instructions and the DTD come from the document's own fields
        }
    };
    write(node, depth, atDocumentLevel);
    while (!open.empty()) {
        const TFrame frame = open.back();
        if (frame.Next < frame.Element->ChildCount()) {
            ++open.back().Next;
            write(*frame.Element->Child(frame.Next), frame.Depth + 1, false);
        } else {
            open.pop_back();
            AppendIndent(frame.Depth);
            FOutput += "</";
            AppendName(frame.Element->Name(), true);
            FOutput += '>';
            EndLine();
        }
    }
}

// TXMLFiler

void TXMLFiler::LoadFromString(std::string_view text, TXMLDocument& document) {
    TXMLReader(document).Read(text);
}

void TXMLFiler::LoadFromResource(const std::string& name, TXMLDocument& document) {
    const std::string path = "/org/orrinex/corvella/" + name;
    GError* error = nullptr;
    GBytes* bytes = g_resources_lookup_data(path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, &error);
    if (!bytes) {
        g_clear_error(&error);
        throw ECVException(Format("Resource %s not found", name.c_str()));
    }
    const std::unique_ptr<GBytes, void (*)(GBytes*)> guard(bytes, &g_bytes_unref);
    gsize size = 0;
    const void* data = g_bytes_get_data(bytes, &size);
    const std::string text = DecodeFileBytes(std::string_view(static_cast<const char*>(data), size));
    LoadFromString(text, document);
}

std::string TXMLFiler::SaveToString(const TXMLDocument& document) {
    TXMLWriter writer(document.Indent(), document.PreserveCase());
    writer.WriteDocument(document);
    return writer.TakeText();
}

std::string TXMLFiler::ElementToString(const TXMLElement& element, int depth) {
    const TXMLElement* top = &element;
    while (top->Parent())
        top = top->Parent();
    const auto* document = dynamic_cast<const TXMLDocument*>(top);
    TXMLWriter writer(document ? document->Indent() : true, document ? document->PreserveCase() : false);
    writer.WriteElement(element, depth);
    return writer.TakeText();
}

// Decoding files

std::string DecodeFileBytes(std::string_view bytes) {
    switch (DetectByteOrderMark(bytes)) {
    case bomUtf8:
        return SanitizeUtf8(bytes.substr(3));
    case bomUtf16LE:
        return DecodeUtf16LE(bytes.substr(2));
    case bomUtf16BE:
    case bomUtf32LE:
    case bomUtf32BE:
        throw ECVException("Unsupported text encoding");
    case bomNone:
        break;
    }
    return DecodeAnsi(bytes);
}

std::string ReadTextFile(const std::string& path, int kind) {
    const std::string bytes = ReadFileBytes(path);
    if (DetectByteOrderMark(bytes) != bomNone)
        return DecodeFileBytes(bytes);
    if (kind == kFreeMindDocument)
        return SanitizeUtf8(bytes);
    std::string text = DecodeAnsi(bytes);
    if (kind == kOpmlDocument && DeclaresUtf8(text))
        return SanitizeUtf8(bytes);
    return text;
}

bool IsOpmlText(std::string_view text) {
    try {
        TXMLParser parser(text);
        bool declared = false;
        for (;;) {
            switch (parser.NextToken()) {
            case xtkInstruction:
                if (!IsXmlDeclaration(parser.Token()))
                    return false;
                declared = true;
                break;
            case xtkComment:
            case xtkDTD:
                break;
            case xtkStartTag:
            case xtkEmptyTag: {
                TXMLAttributes attributes;
                return declared && SameText(parser.ParseTag(attributes), "opml");
            }
            default:
                return false;
            }
        }
    } catch (const std::exception&) {
        return false;
    }
}
