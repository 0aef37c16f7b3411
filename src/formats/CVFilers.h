#pragma once

// Readers that turn a document text into a map, and the native document vocabulary they share with writers.

#include "formats/OXXMLDOM.h"
#include "model/CVMindMaps.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Raises ECVException "The document holds more than <kMaxTopics> topics".
[[noreturn]] void RaiseTooManyTopics();

// Base of every reader: runs inside the map's read (TMindMap::LoadFromText), which is in update mode.
class TCVMindMapReaderBase {
public:
    explicit TCVMindMapReaderBase(TMindMap& map) : FMap(&map) {}
    TCVMindMapReaderBase(const TCVMindMapReaderBase&) = delete;
    TCVMindMapReaderBase& operator=(const TCVMindMapReaderBase&) = delete;
    virtual ~TCVMindMapReaderBase() = default;

    virtual void Read() = 0;
    // True when the text held no map this reader understands and reading stopped without an error.
    bool Aborted() const { return FAborted; }

protected:
    TMindMap& Map() const { return *FMap; }
    void Abort() { FAborted = true; }

    // Refuses the topic past kMaxTopics; readers also count what they will make beforehand (CheckTopicCount), so
    // that a document too large is refused before its topics are built.
    TMindMapNode* NewTopic();
    // Refuses a list whose children of that name would make more than kMaxTopics topics.
    void CheckTopicCount(const TXMLElement& list, std::string_view name) const;
    TCrossLink* NewCrossLink(TMindMapNode* source, TMindMapNode* target);
    TNodeGroup* NewGroup(const std::vector<TMindMapNode*>& members);
    // Gives the topics read from index on their parents: parentIndex[i] is the index (into the map's topics)
    // of the parent of topic from + i, or -1. A reference that would close a cycle is treated as absent.
    void LinkParents(int from, const std::vector<int>& parentIndex);
    // Ends the loading state of the topics read from index on.
    void FinishTopics(int from);
    void RebuildCentralThemes() { FMap->RebuildCentralThemes(); }

private:
    TMindMap* FMap; // not owned
    bool FAborted = false;
};

// Reads nothing: an empty text gives an empty document.
class TNullMindMapReader : public TCVMindMapReaderBase {
public:
    using TCVMindMapReaderBase::TCVMindMapReaderBase;
    void Read() override {}
};

// A reader of an XML vocabulary; the text is parsed when the reader is made, so syntax errors surface then.
class TXMLMindMapReader : public TCVMindMapReaderBase {
public:
    TXMLMindMapReader(TMindMap& map, const std::string& text);

protected:
    TXMLDocument& Document() { return FDocument; }

private:
    TXMLDocument FDocument;
};

// Generators of native documents, as named in the "generator" attribute.
enum TCvmxGenerator : std::uint8_t {
    cgUnknown,
    cgOSX,
    cgOSXN,
    cgTouch,
    cgWin32,
    cgAndroid,
};

class TCvmxMindMapReader : public TXMLMindMapReader {
public:
    using TXMLMindMapReader::TXMLMindMapReader;
    void Read() override;

    TCvmxGenerator Generator() const { return FGenerator; }

private:
    struct TTopicRef {
        TMindMapNode* Topic;
        int Id;
    };

    void ReadMeta(const TXMLElement* meta);
    void ReadDocumentStyle(const TXMLElement& element);
    void ReadRelationParts(const TXMLElement& element, TMindMapRelation& relation);
    void ReadContained(const TXMLElement& list, TCompositeElement& owner);
    void ReadImage(const TXMLElement& element, TCompositeElement& owner);
    void ReadFreeText(const TXMLElement& element, TCompositeElement& owner);
    void ReadRelations(const TXMLElement* relations);
    void ReadGroups(const TXMLElement* groups);
    void ReadMapAttributes(const TXMLElement* element);
    // "" no pattern, "#key" a picture of the image store, otherwise a built-in pattern.
    void ReadBackgroundPattern(const std::string& name);
    void ReadTopics(const TXMLElement* topics);
    void ReadTopic(const TXMLElement& element, TMindMapNode& topic);
    void ReadLayout(const TXMLElement& element, TMindMapNode& topic);
    void ReadDecorations(const TXMLElement& element, TMindMapNode& topic);
    void ReadMainCentralTheme(const TXMLElement* meta);
    void ReadSelection(const TXMLElement* meta);
    TMindMapNode* TopicById(int id) const;
    std::string ReadText(const TXMLElement& element, std::string_view name) const;

    TCvmxGenerator FGenerator = cgWin32;
    int FDocVersion = 1;
    double FCoordinateFactor = 1.0;
    std::unordered_map<int, TMindMapNode*> FTopicsById; // first topic of each reader id
};

// Base of every writer: turns the map, or its selected branches, into a text.
class TCVMindMapWriterBase {
public:
    explicit TCVMindMapWriterBase(TMindMap& map) : FMap(&map) {}
    TCVMindMapWriterBase(const TCVMindMapWriterBase&) = delete;
    TCVMindMapWriterBase& operator=(const TCVMindMapWriterBase&) = delete;
    virtual ~TCVMindMapWriterBase() = default;

    virtual std::string Write(bool selectedBranchesOnly) = 0;

protected:
    TMindMap& Map() const { return *FMap; }
    // The selected branches when asked (and any are selected), otherwise every central theme in map order.
    std::vector<TMindMapNode*> Roots(bool selectedBranchesOnly) const;

private:
    TMindMap* FMap; // not owned
};

// Chooses the reader for a text of a document kind through the filer factory (formats/Providers.h): an empty
// text gives the null reader, kind 0 the native reader, the outline kinds their importers. Creating the reader
// parses the text.
std::unique_ptr<TCVMindMapReaderBase> CreateMindMapReader(TMindMap& map, const std::string& text, int kind);

// Style elements. Reading one replaces the style's overrides: what the element does not name is inherited, and an
// absent element (null) only clears them.
void ReadRelationStyle(const TXMLElement* element, TRelationStyle& style);
void ReadTopicStyle(const TXMLElement* element, TNodeStyle& style);
void ReadTextStyle(const TXMLElement* element, TTextStyle& style);
// Group styles keep the values an element does not name.
void ReadGroupStyle(const TXMLElement* element, TNodeGroupStyle& style);
// The styles of an embedded style sheet: map attributes (through the callback), topic and connection styles,
// per level when the block has levels, cross links and free texts. Answers the block's "has-levels".
bool ReadLeveledStyleBlock(const TXMLElement& block, TLeveledMindMapStyle& sheet,
                           const std::function<void(const TXMLElement&)>& readMapAttributes);

// An image source element ("type", "source", "scribble"); null when the type is unknown.
std::unique_ptr<TImageSource> ReadImageSource(const TXMLElement& element);

// Topic texts in attributes: line breaks are written as "\N" and backslashes doubled.
std::string EscapeTopicText(std::string_view text);
std::string UnescapeTopicText(std::string_view text);

// Colour elements: a child named after the property with "r", "g", "b", or "none"="True". Answers false when
// the colour is absent.
bool ReadColorElement(const TXMLElement& parent, std::string_view name, TColor& color);
void WriteColorElement(TXMLElement& parent, std::string_view name, TColor color);

// Dates as day-month-year ("05-11-2023"); days count from 1899-12-30.
bool ParseDocumentDate(std::string_view text, double& days);
std::string FormatDocumentDate(double days);

// Keyword tables of the native vocabulary; lookups ignore case.
std::string_view CheckboxModeName(TCheckboxMode mode);
bool TryCheckboxModeFromName(std::string_view name, TCheckboxMode& mode);
std::string_view AutoNumberingName(TAutoNumbering value);
bool TryAutoNumberingFromName(std::string_view name, TAutoNumbering& value);
std::string_view TextFormatName(TTextFormat format);
bool TryTextFormatFromName(std::string_view name, TTextFormat& format);
std::string_view ElementKindName(TElementKind kind);
bool TryElementKindFromName(std::string_view name, TElementKind& kind);
std::string_view ClipShapeName(TClipShape shape);
std::string_view ImageSourceKindName(TImageSourceKind kind);
