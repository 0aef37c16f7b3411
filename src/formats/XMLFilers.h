#pragma once

// The system's own XML layer: a lenient tokenizer, a tree builder, a serialiser and a small facade. No DTD
// processing and no namespaces; names are compared without regard to case.

#include "formats/OXXMLDOM.h"
#include "platform/CVStrings.h"
#include "platform/ResourceLimits.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Decodes the five named entities (any case) and numeric character references ("&#65;", "&#x41;") to UTF-8;
// anything else, an ampersand that starts no reference included, stays as written.
std::string DecodeEntities(std::string_view text);

// A syntax error: "Error <reason> in line <line> col <column>".
class EOXXMLException : public ECVException {
public:
    EOXXMLException(const std::string& reason, int line, int column);
    int Line() const { return FLine; }
    int Column() const { return FColumn; }

private:
    int FLine;
    int FColumn;
};

// Token kinds; the numbers are fixed (8 is unused: an ampersand always begins character data).
enum TXMLTokenKind : std::uint8_t {
    xtkEnd = 0,
    xtkStartTag = 1,
    xtkEmptyTag = 2,
    xtkEndTag = 3,
    xtkComment = 4,
    xtkInstruction = 5,
    xtkText = 6,
    xtkCData = 7,
    xtkDTD = 9,
};

// Splits a text into tokens. The text is not copied and must outlive the parser; a NUL character ends it.
class TXMLParser {
public:
    explicit TXMLParser(std::string_view text);

    // Skips characters 1..32 and reads the next token; raises EOXXMLException for a token it cannot finish, and
    // for character data, CDATA, an instruction or a DTD longer than kMaxXMLValueBytes.
    TXMLTokenKind NextToken();
    TXMLTokenKind TokenKind() const { return FKind; }
    // The raw token, delimiters included.
    std::string_view Token() const { return FText.substr(FTokenStart, FPos - FTokenStart); }
    // Character data and CDATA: the entity-decoded text (not trimmed); comment: its content; else the raw token.
    std::string TokenText() const;
    // Start tags, empty-element tags and instructions: returns the tag name and fills `attributes` (cleared
    // first). A repeated attribute keeps its first position and takes the later value. A name or value longer
    // than kMaxXMLValueBytes, or more than maxAttributes attributes, raise EOXXMLException before they are copied.
    std::string ParseTag(TXMLAttributes& attributes, std::size_t maxAttributes = kMaxXMLNodes) const;
    // End tags: the name after "</".
    std::string EndTagName() const;

    // Offset of the character after the current token (of the token's start while it cannot be finished).
    std::size_t Position() const { return FPos; }
    // Raises EOXXMLException with `reason` at the current position.
    [[noreturn]] void RaiseError(const std::string& reason) const;
    // Line and column (in code points), both from 1, of an offset; CR LF, CR and LF each end a line.
    void LineAndColumn(std::size_t offset, int& line, int& column) const;

private:
    std::string_view Content() const;

    std::string_view FText;
    std::size_t FPos = 0;
    std::size_t FTokenStart = 0;
    TXMLTokenKind FKind = xtkEnd;
};

// Builds a document from a text.
class TXMLReader {
public:
    explicit TXMLReader(TXMLDocument& document) : FDocument(document) {}
    // Clears the document and reads `text` into it. On a syntax error the partly built tree stays. Elements nested
    // deeper than kMaxXMLNesting and more than kMaxXMLNodes elements, attributes and texts are syntax errors that
    // name the limit.
    void Read(std::string_view text);

private:
    TXMLDocument& FDocument;
};

// Serialises elements: one line per tag, text, comment and CDATA piece, each ended by CR LF.
class TXMLWriter {
public:
    TXMLWriter(bool indent, bool preserveCase) : FIndent(indent), FPreserveCase(preserveCase) {}

    // Declaration and DOCTYPE lines (when the document asks for them), then the document's children.
    void WriteDocument(const TXMLDocument& document);
    // One node as if it stood at nesting depth `depth`.
    void WriteElement(const TXMLElement& element, int depth);
    const std::string& Text() const { return FOutput; }
    std::string TakeText() { return std::move(FOutput); }

    // Replaces " & ' < > by entities; in attribute values also characters 0..31 by "&#x%x;" references.
    static std::string Escape(std::string_view text, bool attributeValue);

private:
    void WriteNode(const TXMLElement& node, int depth, bool atDocumentLevel);
    void AppendIndent(int depth);
    void AppendName(std::string_view name, bool elementName);
    void AppendTag(const TXMLElement& element, int depth);
    void AppendEscaped(std::string_view text, bool attributeValue);
    void EndLine() { FOutput += "\r\n"; }

    bool FIndent;
    bool FPreserveCase;
    std::string FOutput;
};

class TXMLFiler {
public:
    TXMLFiler() = delete;

    // Clears the document and parses `text` into it.
    static void LoadFromString(std::string_view text, TXMLDocument& document);
    // Parses the program resource "/org/orrinex/corvella/<name>", decoded like a file; a missing resource raises
    // ECVException.
    static void LoadFromResource(const std::string& name, TXMLDocument& document);
    static std::string SaveToString(const TXMLDocument& document);
    // The writer options come from the document the element belongs to (indented, lower-cased without one).
    static std::string ElementToString(const TXMLElement& element, int depth);
};

// File bytes to text by their byte-order mark: UTF-8 and UTF-16 little-endian are decoded after the mark,
// UTF-16 big-endian and UTF-32 raise ECVException "Unsupported text encoding", bytes without a mark are read
// as the system code page (DecodeAnsi).
std::string DecodeFileBytes(std::string_view bytes);

// A file's text for the importer of a document kind: without a byte-order mark an OPML file (kind 7) whose
// declaration names UTF-8, and every FreeMind file (kind 8), is read as UTF-8. A file that cannot be read or is
// larger than kMaxDocumentFileBytes raises ECVException naming it.
std::string ReadTextFile(const std::string& path, int kind);

// True when the text starts with an XML declaration followed (after comments or a DOCTYPE) by an "opml" tag.
bool IsOpmlText(std::string_view text);
