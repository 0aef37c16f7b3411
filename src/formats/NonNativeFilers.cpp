#include "formats/NonNativeFilers.h"

#include "formats/Providers.h"
#include "formats/XMLFilers.h"
#include "layout/NestedNodeLayouters.h"
#include "platform/CVStrings.h"
#include "platform/ResourceLimits.h"
#include "styling/CVStyleManager.h"
#include "styling/CVStyles.h"
#include "text/TextWrappers.h"

#include <algorithm>

namespace {

std::string TrimRight(const std::string& s) {
    std::size_t end = s.size();
    while (end > 0 && static_cast<unsigned char>(s[end - 1]) <= 32)
        --end;
    return s.substr(0, end);
}

std::string TrimLeft(std::string_view s) {
    std::size_t start = 0;
    while (start < s.size() && static_cast<unsigned char>(s[start]) <= 32)
        ++start;
    return std::string(s.substr(start));
}

// Walks the lines of a text without copying them, as SplitLines cuts them: CR LF, CR and LF each end a line, and
// a break at the very end starts no further line. The next CR and LF are found with the library's searches and
// kept until passed, so that a walk over the whole text is linear.
class TLineCursor {
public:
    explicit TLineCursor(std::string_view text) : FText(text), FNextCR(text.find('\r')), FNextLF(text.find('\n')) {
        MoveTo(0);
    }

    bool AtEnd() const { return FStart >= FText.size(); }
    // Offset of the line's first character in the text.
    std::size_t Start() const { return FStart; }
    std::string_view Line() const { return FText.substr(FStart, FEnd - FStart); }
    // The TAB characters the line starts with.
    int Indent() const {
        std::size_t tabs = 0;
        while (FStart + tabs < FEnd && FText[FStart + tabs] == '\t')
            ++tabs;
        return static_cast<int>(std::min<std::size_t>(tabs, 1u << 30));
    }
    void Next() { MoveTo(FBreakEnd); }

private:
    void MoveTo(std::size_t start) {
        FStart = start;
        if (FNextCR < start)
            FNextCR = FText.find('\r', start);
        if (FNextLF < start)
            FNextLF = FText.find('\n', start);
        FEnd = std::min({FNextCR, FNextLF, FText.size()});
        FBreakEnd = FEnd == FText.size() ? FEnd : FEnd == FNextCR && FEnd + 1 == FNextLF ? FEnd + 2 : FEnd + 1;
    }

    std::string_view FText;
    std::size_t FNextCR;
    std::size_t FNextLF;
    std::size_t FStart = 0;
    std::size_t FEnd = 0;
    std::size_t FBreakEnd = 0; // where the next line starts
};

std::string Translated(std::string_view key, std::string_view english) {
    return StyleManager().Translate(key, english);
}

// The check state an OPML outline states: 1 checked, 0 unchecked, -1 none; a "[x]" or "[ ]" prefix of the text
// counts only when no attribute speaks, and is then removed from the text.
int OpmlCheckState(const TXMLElement& element, std::string& text) {
    std::string checked = element.GetString("checked");
    if (checked.empty())
        checked = element.GetString("_checked");
    if (!checked.empty())
        return SameText(checked, "true") ? 1 : SameText(checked, "false") ? 0 : -1;
    if (const std::string status = element.GetString("_status"); !status.empty())
        return SameText(status, "checked") ? 1 : SameText(status, "unchecked") ? 0 : -1;
    if (text.size() < 3)
        return -1;
    const std::string_view prefix = std::string_view(text).substr(0, 3);
    const int state = SameText(prefix, "[x]") ? 1 : prefix == "[ ]" ? 0 : -1;
    if (state >= 0)
        text = TrimLeft(std::string_view(text).substr(3));
    return state;
}

// The lines of a character-data node of rich content: each trimmed, the non-empty ones joined by spaces.
std::string JoinTrimmedLines(const std::string& text) {
    std::string result;
    for (const std::string& line : SplitLines(text)) {
        const std::string trimmed = Trim(line);
        if (trimmed.empty())
            continue;
        if (!result.empty())
            result += ' ';
        result += trimmed;
    }
    return result;
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

bool IsHtmlBreakTag(std::string_view name) {
    static constexpr std::string_view kBreaks[] = {"br", "p",  "div", "li", "tr", "h1",    "h2",         "h3",
                                                   "h4", "h5", "h6",  "ul", "ol", "table", "blockquote", "pre"};
    return std::any_of(std::begin(kBreaks), std::end(kBreaks),
                       [&](std::string_view tag) { return SameText(tag, name); });
}

bool IsHtmlSkippedTag(std::string_view name) {
    return SameText(name, "head") || SameText(name, "style") || SameText(name, "script") || SameText(name, "title");
}

} // namespace

TImportOptions& ImportOptions() {
    static TImportOptions options;
    return options;
}

// ---------------------------------------------------------------------------------------------------------------
// Finishing an import

void FinishImport(TMindMap& map) {
    map.RebuildCentralThemes();
    if (TStyleSheet* sheet = map.StyleSheet())
        sheet->ApplyToMap(map);
    map.Refresh();
    if (ImportOptions().WrapImportedTopics) {
        for (int i = 0; i < map.TopicCount(); ++i) {
            TMindMapNode& topic = *map.TopicAt(i);
            TTopicTextMeasurer measurer(topic);
            AutoWrap(topic, measurer, false);
        }
        map.Refresh();
    }
    ImportArrangement(map);
    map.Refresh();
    const TLayoutOptions& options =
        ImportOptions().LayoutOptions.Mode > nlmFree ? ImportOptions().LayoutOptions : DefaultLayoutOptions(nlmParent);
    for (TMindMapNode* theme : map.CentralThemes())
        theme->SetLayoutOptions(&options);
    map.Refresh();
}

// ---------------------------------------------------------------------------------------------------------------
// XML importers

void THierarchicalImporter::CheckSize(const TXMLElement& root, std::string_view name) const {
    std::size_t count = 0;
    std::vector<std::pair<const TXMLElement*, int>> stack{{&root, 0}};
    while (!stack.empty()) {
        auto& [element, next] = stack.back();
        if (next >= element->ChildCount()) {
            stack.pop_back();
            continue;
        }
        const TXMLElement* child = element->Child(next++);
        if (child->Kind() != xekElement)
            continue;
        if (child->IsElementNamed(name) && ++count > kMaxTopics)
            RaiseTooManyTopics();
        stack.emplace_back(child, 0);
    }
}

void THierarchicalImporter::Read() {
    FFirst = Map().TopicCount();
    FParents.clear();
    ReadRoot(Document());
    std::vector<int> parentIndex(FParents.size(), -1);
    for (std::size_t i = 0; i < FParents.size(); ++i)
        if (FParents[i] >= 0)
            parentIndex[i] = FFirst + FParents[i];
    LinkParents(FFirst, parentIndex);
    FinishTopics(FFirst);
    FinishImport(Map());
}

int THierarchicalImporter::AddTopic(int parent) {
    if (FParents.size() >= kMaxTopics)
        RaiseTooManyTopics();
    NewTopic();
    FParents.push_back(parent);
    return static_cast<int>(FParents.size()) - 1;
}

TMindMapNode& THierarchicalImporter::ImportedTopic(int number) const {
    return *Map().TopicAt(FFirst + number);
}

void TOpmlImporter::ReadRoot(const TXMLDocument& document) {
    const TXMLElement* body = document.FindPath({"opml", "body"});
    if (!body)
        throw ECVException("Invalid opml document");
    CheckSize(*body, "outline");
    int outlines = 0;
    for (int i = 0; i < body->ChildCount(); ++i)
        outlines += body->Child(i)->IsElementNamed("outline") ? 1 : 0;
    int parent = -1;
    if (outlines > 1) {
        const TXMLElement* title = document.FindPath({"opml", "head", "title"});
        const std::string text = title ? title->GetText() : std::string();
        if (!text.empty()) {
            parent = AddTopic(-1);
            ImportedTopic(parent).SetText(NormalizeTopicText(text), tfPlain);
        }
    }
    // depth first in document order, with the open outlines on a stack of their own
    struct TFrame {
        const TXMLElement* Element;
        int Topic;
        int Next;
    };
    std::vector<TFrame> stack;
    for (int i = 0; i < body->ChildCount(); ++i) {
        const TXMLElement& outline = *body->Child(i);
        if (!outline.IsElementNamed("outline"))
            continue;
        stack.push_back({&outline, ReadOutline(outline, parent), 0});
        while (!stack.empty()) {
            TFrame& frame = stack.back();
            if (frame.Next >= frame.Element->ChildCount()) {
                stack.pop_back();
                continue;
            }
            const TXMLElement& child = *frame.Element->Child(frame.Next++);
            if (child.IsElementNamed("outline")) {
                const int topic = ReadOutline(child, frame.Topic);
                stack.push_back({&child, topic, 0});
            }
        }
    }
}

int TOpmlImporter::ReadOutline(const TXMLElement& element, int parent) {
    const int number = AddTopic(parent);
    TMindMapNode& topic = ImportedTopic(number);
    std::string text = element.GetString("text");
    const std::string asRead = text;
    topic.SetText(NormalizeTopicText(text), tfPlain);
    topic.SetNote(element.GetString("_note"), tfPlain);
    const int state = OpmlCheckState(element, text);
    if (state >= 0) {
        if (text != asRead)
            topic.SetText(NormalizeTopicText(text), tfPlain);
        topic.SetCheckboxMode(cbmCheckbox);
        topic.SetProgress(state == 1 ? 100 : 0);
    }
    return number;
}

void TFreeMindImporter::ReadRoot(const TXMLDocument& document) {
    const TXMLElement* root = document.FindChild("map");
    if (!root)
        throw ECVException("Invalid FreeMind document");
    CheckSize(*root, "node");
    struct TFrame {
        const TXMLElement* Element;
        int Topic;
        int Next;
    };
    std::vector<TFrame> stack;
    for (int i = 0; i < root->ChildCount(); ++i) {
        const TXMLElement& node = *root->Child(i);
        if (!node.IsElementNamed("node"))
            continue;
        stack.push_back({&node, ReadNode(node, -1), 0});
        while (!stack.empty()) {
            TFrame& frame = stack.back();
            if (frame.Next >= frame.Element->ChildCount()) {
                stack.pop_back();
                continue;
            }
            // rich content applies in document order, between the child topics
            const TXMLElement& child = *frame.Element->Child(frame.Next++);
            if (child.IsElementNamed("node")) {
                const int topic = ReadNode(child, frame.Topic);
                stack.push_back({&child, topic, 0});
            } else if (child.IsElementNamed("richcontent")) {
                ReadRichContent(child, ImportedTopic(frame.Topic));
            }
        }
    }
}

int TFreeMindImporter::ReadNode(const TXMLElement& element, int parent) {
    const int number = AddTopic(parent);
    TMindMapNode& topic = ImportedTopic(number);
    topic.SetText(NormalizeTopicText(FreeMindHtmlText(element.GetString("text"))), tfPlain);
    if (const std::string link = element.GetString("link"); !link.empty())
        topic.EnsureLink().SetUrl(link);
    return number;
}

void TFreeMindImporter::ReadRichContent(const TXMLElement& element, TMindMapNode& topic) {
    const std::string type = element.GetString("type");
    if (SameText(type, "NODE"))
        topic.SetText(NormalizeTopicText(CollectRichText(element, topic.PlainText())), tfPlain);
    else if (SameText(type, "NOTE"))
        topic.SetNote(CollectRichText(element, topic.NotePlainText()), tfPlain);
}

std::string CollectRichText(const TXMLElement& element, const std::string& startText) {
    const TXMLElement* body = element.FindPath({"html", "body"});
    if (!body)
        return startText;
    std::vector<std::string> lines = SplitLines(startText);
    // every character-data node gives one line, whatever element it stands in
    std::vector<std::pair<const TXMLElement*, int>> stack{{body, 0}};
    while (!stack.empty()) {
        auto& [node, next] = stack.back();
        if (next >= node->ChildCount()) {
            stack.pop_back();
            continue;
        }
        const TXMLElement* child = node->Child(next++);
        if (child->Kind() == xekElement) {
            stack.emplace_back(child, 0);
        } else if (child->Kind() == xekText) {
            std::string line = JoinTrimmedLines(DecodeEntities(child->Text()));
            if (!line.empty())
                lines.push_back(std::move(line));
        }
    }
    return Trim(JoinLines(lines));
}

std::string FreeMindHtmlText(const std::string& text) {
    const std::string trimmed = Trim(text);
    if (!StartsWithText(trimmed, "<html"))
        return text;
    // HTML need not be well-formed XML ("<br>" stands alone), so tags are skipped rather than parsed
    std::vector<std::string> lines;
    std::string line;
    std::string skipping; // the element whose content is not text (head, style, ...)
    const auto endLine = [&] {
        std::string decoded = Trim(DecodeEntities(ReplaceAll(line, "&nbsp;", " ")));
        if (!decoded.empty())
            lines.push_back(std::move(decoded));
        line.clear();
    };
    std::size_t i = 0;
    while (i < trimmed.size()) {
        const char c = trimmed[i];
        if (c != '<') {
            if (skipping.empty()) {
                // white space collapses as in HTML
                if (static_cast<unsigned char>(c) <= 32) {
                    if (!line.empty() && line.back() != ' ')
                        line += ' ';
                } else {
                    line += c;
                }
            }
            ++i;
            continue;
        }
        const std::size_t close = trimmed.find('>', i);
        if (close == std::string::npos)
            break;
        std::string_view tag = std::string_view(trimmed).substr(i + 1, close - i - 1);
        i = close + 1;
        const bool closing = !tag.empty() && tag.front() == '/';
        if (closing)
            tag.remove_prefix(1);
        const std::size_t nameEnd = tag.find_first_of(" \t\r\n/");
        const std::string_view name = tag.substr(0, nameEnd);
        if (!skipping.empty()) {
            if (closing && SameText(name, skipping))
                skipping.clear();
            continue;
        }
        if (!closing && IsHtmlSkippedTag(name) && (tag.empty() || tag.back() != '/')) {
            skipping = std::string(name);
            continue;
        }
        if (IsHtmlBreakTag(name))
            endLine();
    }
    endLine();
    return Trim(JoinLines(lines));
}

// ---------------------------------------------------------------------------------------------------------------
// Plain-text importer

TPlainTextImporter::TPlainTextImporter(TMindMap& map, const std::string& text)
    : TCVMindMapReaderBase(map), FText(text) {}

void TPlainTextImporter::Read() {
    const std::string_view text = FText;
    // First the shape: which lines become topics, under which parent, and which lines are notes. Only then are
    // the topics made, so that an outline too large to show is refused at once. Lines are walked, never split
    // into strings: a file of a few hundred megabytes of short lines would take many times its size.
    struct TLineTopic {
        std::string_view Line;
        int Parent;            // topic number, -1 for none
        bool HasNote = false;  // a "[" ... "]" block followed the line
        std::string_view Note; // the note's lines with their line breaks
    };
    std::vector<TLineTopic> topics;
    std::vector<int> openPath; // the last topic and its ancestors, by level
    int previousIndent = 0;
    std::size_t knownOpenUntil = 0; // a "[" on a line starting before this offset finds no "]"
    bool anyParent = false;
    for (TLineCursor line(text); !line.AtEnd(); line.Next()) {
        const int indent = line.Indent();
        if (!topics.empty() && indent == previousIndent && line.Start() >= knownOpenUntil && Trim(line.Line()) == "[") {
            // a note block runs to the first "]" at the same indent; another indent on the way ends the search
            TLineCursor close = line;
            close.Next();
            const std::size_t noteStart = close.Start();
            while (!close.AtEnd() && close.Indent() == indent && Trim(close.Line()) != "]")
                close.Next();
            if (!close.AtEnd() && close.Indent() == indent) {
                topics.back().HasNote = true;
                topics.back().Note = text.substr(noteStart, close.Start() - noteStart);
                line = close;
                continue;
            }
            // every "[" up to there at this indent would search the same lines in vain
            knownOpenUntil = close.AtEnd() ? text.size() : close.Start();
        }
        if (topics.size() >= kMaxTopics)
            RaiseTooManyTopics();
        // the parent is the nearest earlier topic whose level is below the indent: it lies on the open path
        if (static_cast<std::size_t>(indent) < openPath.size())
            openPath.resize(static_cast<std::size_t>(indent));
        const int parent = openPath.empty() ? -1 : openPath.back();
        anyParent = anyParent || parent >= 0;
        topics.push_back({line.Line(), parent, false, {}});
        openPath.push_back(static_cast<int>(topics.size()) - 1);
        previousIndent = indent;
    }

    // several top-level lines get one more topic above them
    if (topics.size() > 1 && !anyParent && topics.size() + 1 > kMaxTopics)
        RaiseTooManyTopics();

    TMindMap& map = Map();
    const int first = map.TopicCount();
    std::vector<int> parentIndex;
    parentIndex.reserve(topics.size() + 1);
    for (const TLineTopic& line : topics) {
        TMindMapNode* topic = NewTopic();
        topic->SetText(NormalizeTopicText(Trim(line.Line)), tfPlain);
        if (line.HasNote) {
            std::string note;
            for (TLineCursor noteLine(line.Note); !noteLine.AtEnd(); noteLine.Next()) {
                if (noteLine.Start() > 0)
                    note += '\r';
                note += Trim(noteLine.Line());
            }
            topic->SetNote(Trim(note), tfPlain);
        }
        parentIndex.push_back(line.Parent < 0 ? -1 : first + line.Parent);
    }
    if (topics.size() > 1 && !anyParent) {
        TMindMapNode* root = NewTopic();
        root->SetText(NormalizeTopicText(Translated("import_text_central_theme_title", "Imported Text")), tfPlain);
        const int rootIndex = first + static_cast<int>(topics.size());
        std::fill(parentIndex.begin(), parentIndex.end(), rootIndex);
        parentIndex.push_back(-1);
    }
    LinkParents(first, parentIndex);
    FinishTopics(first);
    FinishImport(map);
}

// ---------------------------------------------------------------------------------------------------------------
// Lines

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const std::string& line : lines)
        size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> CollectFreeTexts(const TMindMapNode& topic) {
    std::vector<std::string> texts;
    for (int i = 0; i < topic.ContainedCount(); ++i) {
        const TContainedElement* element = topic.ContainedAt(i);
        if (element->ElementKind() != ekText)
            continue;
        std::string text = Trim(static_cast<const TMindMapText*>(element)->PlainText());
        if (!text.empty())
            texts.push_back(std::move(text));
    }
    return texts;
}

// ---------------------------------------------------------------------------------------------------------------
// Plain-text writer

std::string TPlainTextExporter::Write(bool selectedBranchesOnly) {
    FLines.clear();
    FSize = 0;
    const std::vector<TMindMapNode*> roots = Roots(selectedBranchesOnly);
    if (roots.empty())
        return {};
    int baseLevel = 0;
    if (selectedBranchesOnly) {
        baseLevel = roots.front()->Level();
        for (const TMindMapNode* root : roots)
            baseLevel = std::min(baseLevel, root->Level());
    }
    // depth first without recursion: maps can be very deep
    std::vector<std::pair<const TMindMapNode*, int>> stack;
    for (auto it = roots.rbegin(); it != roots.rend(); ++it)
        stack.emplace_back(*it, (*it)->Level() - baseLevel);
    while (!stack.empty()) {
        const auto [topic, depth] = stack.back();
        stack.pop_back();
        WriteTopic(*topic, depth);
        FSize += FLines.back().size();
        if (FSize > kMaxOutlineBytes)
            throw ECVException(
                Format("The outline is too large to write: it would be longer than %zu bytes", kMaxOutlineBytes));
        const std::vector<TMindMapNode*>& children = topic->Children();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.emplace_back(*it, depth + 1);
    }
    return JoinLines(FLines);
}

void TPlainTextExporter::WriteBlock(const std::string& indent, const std::string& text, bool trimLines) {
    FLines.push_back(indent + "[");
    for (const std::string& line : SplitLines(text))
        FLines.push_back(indent + (trimLines ? TrimRight(line) : line));
    FLines.push_back(indent + "]");
}

void TPlainTextExporter::WriteTopic(const TMindMapNode& topic, int depth) {
    const std::string indent(static_cast<std::size_t>(std::max(depth, 0)), '\t');
    std::string title = Trim(topic.PlainText());
    if (title.empty())
        title = "unnamed topic";
    FLines.push_back(indent + ReplaceLineBreaks(title, " "));
    if (topic.HasNote())
        WriteBlock(indent, topic.NotePlainText(), true);
    std::string freeTexts;
    for (const std::string& text : CollectFreeTexts(topic)) {
        if (!freeTexts.empty())
            freeTexts += "\r\r"; // one empty line between two texts
        freeTexts += text;
    }
    if (!freeTexts.empty())
        WriteBlock(indent, freeTexts, false);
}

// ---------------------------------------------------------------------------------------------------------------
// XML outline writers

std::string THierarchicalExporter::Write(bool selectedBranchesOnly) {
    const std::vector<TMindMapNode*> roots = Roots(selectedBranchesOnly);
    if (Map().CentralThemeCount() == 0 || roots.empty())
        return {};
    TXMLDocument document;
    document.SetDocTypeName("");
    TXMLElement& container = WriteRoot(document);
    // depth first without recursion: maps can be very deep
    std::vector<std::pair<const TMindMapNode*, TXMLElement*>> stack;
    for (auto it = roots.rbegin(); it != roots.rend(); ++it)
        stack.emplace_back(*it, &container);
    while (!stack.empty()) {
        const auto [topic, parent] = stack.back();
        stack.pop_back();
        TXMLElement& element = WriteTopic(*parent, *topic);
        const std::vector<TMindMapNode*>& children = topic->Children();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.emplace_back(*it, &element);
    }
    if (FWholeDocument)
        return TXMLFiler::SaveToString(document);
    return TXMLFiler::ElementToString(*document.RootElement(), 0);
}

TXMLElement& TOpmlExporter::WriteRoot(TXMLDocument& document) {
    TXMLElement* opml = document.AddChild("opml");
    opml->SetString("version", "1.0");
    opml->AddChild("head")->AddChild("title")->AddText(Map().DocumentTitle());
    return *opml->AddChild("body");
}

TXMLElement& TOpmlExporter::WriteTopic(TXMLElement& parent, const TMindMapNode& topic) {
    TXMLElement* outline = parent.AddChild("outline");
    outline->AddIfNotEmpty("text", ReplaceLineBreaks(topic.PlainText(), " "));
    // notes keep their lines: attribute values carry line breaks as character references
    if (topic.HasNote())
        outline->AddIfNotEmpty("_note", ReplaceLineBreaks(topic.NotePlainText(), "\n"));
    return *outline;
}

TXMLElement& TFreeMindExporter::WriteRoot(TXMLDocument& document) {
    TXMLElement* map = document.AddChild("map");
    map->SetString("version", "0.9.0");
    return *map;
}

TXMLElement& TFreeMindExporter::WriteTopic(TXMLElement& parent, const TMindMapNode& topic) {
    TXMLElement* node = parent.AddChild("node");
    node->AddIfNotEmpty("TEXT", ReplaceLineBreaks(topic.PlainText(), " "));
    if (topic.HasNote()) {
        TXMLElement* content = node->AddChild("richcontent");
        content->SetString("TYPE", "NOTE");
        TXMLElement* html = content->AddChild("html");
        html->AddChild("head");
        // one paragraph a line: the importer joins the lines of one paragraph
        TXMLElement* body = html->AddChild("body");
        for (const std::string& line : SplitLines(topic.NotePlainText()))
            body->AddChild("p")->AddText(line);
    }
    return *node;
}

namespace {

// The lines of a text as text nodes, with an empty "br" between two lines.
void AddLines(TXMLElement& element, const std::string& text) {
    const std::vector<std::string> lines = SplitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            element.AddChild("br");
        element.AddText(lines[i]);
    }
}

} // namespace

THtmlOutlineExporter::THtmlOutlineExporter(TMindMap& map)
    : TCVMindMapWriterBase(map), FLinkLabel(Trim(Translated("html_outline_link", "Link:")) + " ") {}

std::string THtmlOutlineExporter::Write(bool selectedBranchesOnly) {
    const std::vector<TMindMapNode*> roots = Roots(selectedBranchesOnly);
    if (roots.empty())
        return {};
    TXMLDocument document;
    document.SetDocTypeName("");
    document.SetWriteDeclaration(false);
    document.SetIndent(false);
    TXMLElement* html = document.AddChild("html");
    html->AddChild("head")->AddChild("title")->AddText(ReplaceLineBreaks(Map().DocumentTitle(), " "));
    TXMLElement* list = html->AddChild("body")->AddChild("ol");
    // depth first without recursion; each topic's item goes into the list its parent made
    std::vector<std::pair<const TMindMapNode*, TXMLElement*>> stack;
    for (auto it = roots.rbegin(); it != roots.rend(); ++it)
        stack.emplace_back(*it, list);
    while (!stack.empty()) {
        const auto [topic, parentList] = stack.back();
        stack.pop_back();
        TXMLElement* item = parentList->AddChild("li");
        AddLines(*item, topic->PlainText());
        if (const TDiagramLink* link = topic->Link(); link && link->Kind() == lkUrl && !link->Target().empty()) {
            item->AddChild("br");
            item->AddText(FLinkLabel);
            TXMLElement* anchor = item->AddChild("a");
            anchor->SetString("href", link->Target());
            anchor->AddText(link->Target());
        }
        if (topic->HasNote())
            AddLines(*item->AddChild("p"), topic->NotePlainText());
        for (const std::string& text : CollectFreeTexts(*topic))
            AddLines(*item->AddChild("p"), text);
        const std::vector<TMindMapNode*>& children = topic->Children();
        if (children.empty())
            continue;
        TXMLElement* childList = item->AddChild("ol");
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.emplace_back(*it, childList);
    }
    return TXMLFiler::SaveToString(document);
}

// ---------------------------------------------------------------------------------------------------------------
// Registration

void RegisterOutlineFilers(TFilerFactory& factory) {
    factory.RegisterReader(dkOpml, [](TMindMap& map, const std::string& text) {
        return std::unique_ptr<TCVMindMapReaderBase>(std::make_unique<TOpmlImporter>(map, text));
    });
    factory.RegisterReader(dkFreeMind, [](TMindMap& map, const std::string& text) {
        return std::unique_ptr<TCVMindMapReaderBase>(std::make_unique<TFreeMindImporter>(map, text));
    });
    factory.RegisterReader(dkText, [](TMindMap& map, const std::string& text) {
        return std::unique_ptr<TCVMindMapReaderBase>(std::make_unique<TPlainTextImporter>(map, text));
    });
    factory.RegisterWriter(dkOpml, [](TMindMap& map) {
        return std::unique_ptr<TCVMindMapWriterBase>(std::make_unique<TOpmlExporter>(map));
    });
    factory.RegisterWriter(dkFreeMind, [](TMindMap& map) {
        return std::unique_ptr<TCVMindMapWriterBase>(std::make_unique<TFreeMindExporter>(map));
    });
    factory.RegisterWriter(dkText, [](TMindMap& map) {
        return std::unique_ptr<TCVMindMapWriterBase>(std::make_unique<TPlainTextExporter>(map));
    });
    factory.RegisterWriter(dkHtml, [](TMindMap& map) {
        return std::unique_ptr<TCVMindMapWriterBase>(std::make_unique<THtmlOutlineExporter>(map));
    });
}
