#pragma once

// Foreign outline formats: the OPML, FreeMind and plain-text importers, and the plain-text, OPML, FreeMind and
// HTML outline writers.

#include "formats/CVFilers.h"
#include "layout/LayoutOpts.h"

#include <cstddef>
#include <string>
#include <vector>

class TFilerFactory;

// What the editor options say about imports: long single-line topics are wrapped, and every central theme gets
// the import layout (strict horizontal unless set otherwise).
struct TImportOptions {
    bool WrapImportedTopics = true;
    TLayoutOptions LayoutOptions = TLayoutOptions::ForMode(nlmStrictHorizontal);
};
TImportOptions& ImportOptions();

// The last steps of every import, on the imported map: central themes, the map's style sheet, automatic wrapping
// of long topics, the import arrangement (stacked strict-horizontal trees) and the import layout options.
void FinishImport(TMindMap& map);

// Registers the importers (OPML, FreeMind, plain text) and the exporters (those three and the HTML outline).
void RegisterOutlineFilers(TFilerFactory& factory);

// Base of the XML importers: the text is parsed when the importer is made, so a syntax error surfaces then.
// Topics are created in document order and linked to their parents once, at the end; nesting is walked with an
// explicit stack, so deep outlines cannot exhaust the call stack.
class THierarchicalImporter : public TXMLMindMapReader {
public:
    using TXMLMindMapReader::TXMLMindMapReader;
    void Read() override;

protected:
    virtual void ReadRoot(const TXMLDocument& document) = 0;
    // A new topic under the imported topic with that number (-1: a central theme); answers its number.
    int AddTopic(int parent);
    TMindMapNode& ImportedTopic(int number) const;
    // Refuses a document with more elements of that name below the root than kMaxTopics.
    void CheckSize(const TXMLElement& root, std::string_view name) const;

private:
    int FFirst = 0;
    std::vector<int> FParents; // import numbers, -1 for none
};

// OPML: each "outline" a topic with its "text" and "_note"; check boxes from "checked", "_checked", "_status" or
// a "[x]" / "[ ]" prefix. Several top-level outlines hang under the head's title when it has one.
class TOpmlImporter : public THierarchicalImporter {
public:
    using THierarchicalImporter::THierarchicalImporter;

protected:
    void ReadRoot(const TXMLDocument& document) override;

private:
    int ReadOutline(const TXMLElement& element, int parent);
};

// FreeMind: each "node" a topic with its "TEXT" and "LINK"; rich content of type NODE and NOTE adds its
// paragraphs to the text and the note.
class TFreeMindImporter : public THierarchicalImporter {
public:
    using THierarchicalImporter::THierarchicalImporter;

protected:
    void ReadRoot(const TXMLDocument& document) override;

private:
    int ReadNode(const TXMLElement& element, int parent);
    void ReadRichContent(const TXMLElement& element, TMindMapNode& topic);
};

// Every character-data node below the rich content's "html"/"body" as one more line after the start text;
// without a body the start text.
std::string CollectRichText(const TXMLElement& element, const std::string& startText);
// The text of a FreeMind text attribute that holds HTML ("<html>..."): its text, one line per paragraph or line
// break, with the markup dropped; other texts are answered unchanged.
std::string FreeMindHtmlText(const std::string& text);

// TAB-indented lines: a line's TABs give its depth, a "[" ... "]" block at the previous topic's indent its note.
// Several top-level lines hang under one "Imported Text" topic. Reading is linear in the size of the text.
class TPlainTextImporter : public TCVMindMapReaderBase {
public:
    TPlainTextImporter(TMindMap& map, const std::string& text);
    void Read() override;

private:
    std::string FText;
};

// The free texts of a topic as plain texts, trimmed, without the empty ones, in contained order.
std::vector<std::string> CollectFreeTexts(const TMindMapNode& topic);

// Writes topics as TAB-indented lines; notes and free texts follow their topic in "[" ... "]" blocks at the
// topic's own indent, which the plain-text importer reads back as the topic's note.
class TPlainTextExporter : public TCVMindMapWriterBase {
public:
    using TCVMindMapWriterBase::TCVMindMapWriterBase;
    std::string Write(bool selectedBranchesOnly) override;

private:
    void WriteTopic(const TMindMapNode& topic, int depth);
    void WriteBlock(const std::string& indent, const std::string& text, bool trimLines);

    std::vector<std::string> FLines;
    std::size_t FSize = 0;
};

// Base of the XML outline writers: a root made by WriteRoot, then one element per topic under its parent's.
class THierarchicalExporter : public TCVMindMapWriterBase {
public:
    THierarchicalExporter(TMindMap& map, bool wholeDocument)
        : TCVMindMapWriterBase(map), FWholeDocument(wholeDocument) {}
    std::string Write(bool selectedBranchesOnly) override;

protected:
    // Makes the root and answers the element the topics go under.
    virtual TXMLElement& WriteRoot(TXMLDocument& document) = 0;
    // Writes one topic under the parent's element and answers the topic's element.
    virtual TXMLElement& WriteTopic(TXMLElement& parent, const TMindMapNode& topic) = 0;

private:
    bool FWholeDocument; // the serialised document, or only its root element
};

class TOpmlExporter : public THierarchicalExporter {
public:
    explicit TOpmlExporter(TMindMap& map) : THierarchicalExporter(map, true) {}

protected:
    TXMLElement& WriteRoot(TXMLDocument& document) override;
    TXMLElement& WriteTopic(TXMLElement& parent, const TMindMapNode& topic) override;
};

class TFreeMindExporter : public THierarchicalExporter {
public:
    explicit TFreeMindExporter(TMindMap& map) : THierarchicalExporter(map, false) {}

protected:
    TXMLElement& WriteRoot(TXMLDocument& document) override;
    TXMLElement& WriteTopic(TXMLElement& parent, const TMindMapNode& topic) override;
};

// An HTML page with the topics as nested ordered lists, with their links, notes and free texts.
class THtmlOutlineExporter : public TCVMindMapWriterBase {
public:
    explicit THtmlOutlineExporter(TMindMap& map);
    std::string Write(bool selectedBranchesOnly) override;

private:
    std::string FLinkLabel; // "Link: " in the user's language
};

// Splits a text into lines: CR LF, CR and LF each end a line; a break at the very end starts no further line.
std::vector<std::string> SplitLines(const std::string& text);
// Joins lines, each followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);
