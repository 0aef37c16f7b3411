#include "formats/NonNativeFilers.h"

#include "formats/Providers.h"
#include "formats/XMLFilers.h"
#include "layout/NestedNodeLayouters.h"
#include "platform/CVStrings.h"
#include "platform/ResourceLimits.h"
#include "styling/CVStyleManager.h"
#include "styling/CVStyles.h"

#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

// Imports a text as the document opener does: into a map that carries the import style sheet.
std::unique_ptr<TMindMap> Import(const std::string& text, TDocumentKind kind) {
    auto map = std::make_unique<TMindMap>();
    map->SetStyleSheet(StyleManager().FindSheet("system.natural-material-colors"));
    map->LoadFromText(text, "", true, kind);
    return map;
}

std::vector<TMindMapNode*> AllTopics(const TMindMap& map) {
    std::vector<TMindMapNode*> topics;
    for (TMindMapNode* theme : map.CentralThemes())
        theme->CollectBranch(topics);
    return topics;
}

// The tree as indented lines: text, then the note in braces and the check state.
std::string Tree(const TMindMap& map) {
    std::ostringstream out;
    for (const TMindMapNode* topic : AllTopics(map)) {
        out << std::string(static_cast<std::size_t>(topic->Level()) * 2, ' ') << ReplaceLineBreaks(topic->Text(), "|");
        if (topic->HasNote())
            out << " {" << ReplaceLineBreaks(topic->Note(), "|") << "}";
        if (topic->CheckboxMode() != cbmNone)
            out << (topic->Checked() ? " [x]" : " [ ]");
        out << "\n";
    }
    return out.str();
}

TMindMapNode* TopicByText(const TMindMap& map, const std::string& text) {
    for (int i = 0; i < map.TopicCount(); ++i)
        if (map.TopicAt(i)->Text() == text)
            return map.TopicAt(i);
    return nullptr;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Plain-text importer

TEST(TPlainTextImporter, LinesBecomeTopicsByTheirTabs) {
    struct TCase {
        const char* Name;
        const char* Text;
        const char* Tree;
    };
    const TCase cases[] = {
        {"note block at the topic's indent", "A\n\tB\n\t[\n\tthe note\n\t]\nC", "A\n  B {the note}\nC\n"},
        {"lines without tabs hang under one topic", "one\r\ntwo\rthree\n", "Imported Text\n  one\n  two\n  three\n"},
        {"a single line is the only topic", "single", "single\n"},
        {"a jump of several tabs gives the next level", "top\n\t\t\tdeep\n\tnext", "top\n  deep\n  next\n"},
        {"empty and blank lines are topics without text", "x\n\n \ny", "Imported Text\n  x\n  \n  \n  y\n"},
        {"a deeper '[' is a topic", "A\n\t[\n\t]", "A\n  [\n  ]\n"},
        {"a block meeting another indent is no block", "A\n[\n\tx\n]", "A\n[\n  x\n]\n"},
        {"a block that is never closed", "A\n[\nx", "Imported Text\n  A\n  [\n  x\n"},
        {"a '[' without a topic before it", "[\nx\n]", "Imported Text\n  [\n  x\n  ]\n"},
        {"note lines are trimmed and joined", "A\n  [  \n  l1  \n\n l2\n]\n\tB", "A {l1||l2}\n  B\n"},
        {"an empty block leaves no note", "A\n[\n]\n\tB", "A\n  B\n"},
        {"other control characters become spaces",
         "a\x01"
         "b\n\tc\td",
         "a b\n  c d\n"},
        {"the text at the tabs' depth is trimmed", "\t  indented  \n", "indented\n"},
        {"a tab jump back closes the deeper levels", "A\n\tB\n\t\tC\n\tD\nE\n\t\tF", "A\n  B\n    C\n  D\nE\n  F\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto map = Import(c.Text, dkText);
        EXPECT_TRUE(map->HasDocument());
        EXPECT_EQ(Tree(*map), c.Tree);
    }
}

namespace {

// The importer's rules as the document states them, with the backward search and the full look-ahead for every
// line: the reference the linear importer must agree with.
struct TReferenceTopic {
    std::string Text;
    std::string Note;
    int Parent = -1;
    int Level = 0;
};

std::vector<TReferenceTopic> ReferenceImport(const std::vector<std::string>& lines) {
    const auto indentOf = [](const std::string& line) {
        int tabs = 0;
        while (tabs < static_cast<int>(line.size()) && line[static_cast<std::size_t>(tabs)] == '\t')
            ++tabs;
        return tabs;
    };
    std::vector<TReferenceTopic> topics;
    int previous = -1;
    int previousIndent = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int indent = indentOf(lines[i]);
        const std::string trimmed = Trim(lines[i]);
        if (trimmed == "[" && previous >= 0 && indent == previousIndent) {
            std::size_t close = 0;
            for (std::size_t j = i + 1; j < lines.size(); ++j) {
                if (indentOf(lines[j]) != indent)
                    break;
                if (Trim(lines[j]) == "]") {
                    close = j;
                    break;
                }
            }
            if (close > 0) {
                std::string note;
                for (std::size_t k = i + 1; k < close; ++k)
                    note += (k > i + 1 ? "\r" : "") + Trim(lines[k]);
                topics[static_cast<std::size_t>(previous)].Note = Trim(note);
                i = close;
                continue;
            }
        }
        TReferenceTopic topic;
        topic.Text = trimmed;
        for (int k = static_cast<int>(topics.size()) - 1; k >= 0; --k)
            if (topics[static_cast<std::size_t>(k)].Level < indent) {
                topic.Parent = k;
                topic.Level = topics[static_cast<std::size_t>(k)].Level + 1;
                break;
            }
        topics.push_back(topic);
        previous = static_cast<int>(topics.size()) - 1;
        previousIndent = indent;
    }
    return topics;
}

} // namespace

TEST(TPlainTextImporter, AgreesWithTheBackwardSearchOnRandomOutlines) {
    std::mt19937 random(20240611);
    const std::vector<std::string> words = {"[", "]", "a", "b c", " [ ", "]  ", "note", ""};
    for (int round = 0; round < 60; ++round) {
        std::vector<std::string> lines;
        const int count = 1 + static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i)
            lines.push_back(std::string(random() % 4, '\t') + words[random() % words.size()]);
        std::string text;
        for (const std::string& line : lines)
            text += line + "\n";
        SCOPED_TRACE(text);
        const std::vector<TReferenceTopic> expected = ReferenceImport(lines);
        auto map = Import(text, dkText);
        // the created topics in creation order; an "Imported Text" topic may follow them
        const bool extraRoot = expected.size() > 1 && std::none_of(expected.begin(), expected.end(),
                                                                   [](const auto& t) { return t.Parent >= 0; });
        ASSERT_EQ(map->TopicCount(), static_cast<int>(expected.size()) + (extraRoot ? 1 : 0));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const TMindMapNode* topic = map->TopicAt(static_cast<int>(i));
            EXPECT_EQ(topic->Text(), expected[i].Text);
            EXPECT_EQ(topic->Note(), expected[i].Note);
            const TMindMapNode* parent = expected[i].Parent >= 0 ? map->TopicAt(expected[i].Parent) : nullptr;
            if (extraRoot)
                parent = map->TopicAt(static_cast<int>(expected.size()));
            EXPECT_EQ(topic->Parent(), parent) << "line topic " << i;
        }
    }
}

TEST(TPlainTextImporter, ManyUnclosedBlocksAndDeepJumpsStayOrdinaryLines) {
    // every "[" searches in vain for its "]": each becomes a topic; the look-ahead is not repeated
    std::string text = "A\n";
    for (int i = 0; i < 3000; ++i)
        text += "[\n";
    text += "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\tdeep\n";
    auto map = Import(text, dkText);
    ASSERT_EQ(map->TopicCount(), 3002); // "deep" has a parent, so no "Imported Text" topic is added
    EXPECT_EQ(map->CentralThemeCount(), 3001);
    EXPECT_EQ(map->TopicAt(3001)->Text(), "deep");
    EXPECT_EQ(map->TopicAt(3001)->Parent(), map->TopicAt(3000));
}

TEST(TPlainTextImporter, TooManyTopicsFailCleanly) {
    std::string text;
    text.reserve((kMaxTopics + 1) * 2);
    for (std::size_t i = 0; i <= kMaxTopics; ++i)
        text += "x\n";
    TMindMap map;
    EXPECT_THAT([&] { map.LoadFromText(text, "", true, dkText); },
                testing::ThrowsMessage<ECVException>(testing::HasSubstr("The document holds more than 500000 topics")));
    EXPECT_FALSE(map.HasDocument());
    EXPECT_EQ(map.TopicCount(), 0);
}

// ---------------------------------------------------------------------------------------------------------------
// OPML importer

TEST(TOpmlImporter, TheHeadTitleHoldsSeveralTopLevelOutlines) {
    const std::string one = R"(<?xml version="1.0"?><opml version="2.0"><head><title>Head</title></head>)"
                            R"(<body><outline text="Only"><outline text="child"/></outline></body></opml>)";
    EXPECT_EQ(Tree(*Import(one, dkOpml)), "Only\n  child\n");
    const std::string two = R"(<opml><head><title>Head</title></head><body>)"
                            R"(<outline text="First" _note="line 1&#10;line 2"/><!-- skipped --><other/>)"
                            R"(<outline text="Second"/></body></opml>)";
    EXPECT_EQ(Tree(*Import(two, dkOpml)), "Head\n  First {line 1|line 2}\n  Second\n");
    const std::string untitled = R"(<opml><head><title></title></head><body><outline text="First"/>)"
                                 R"(<outline TEXT="Second"/></body></opml>)";
    auto map = Import(untitled, dkOpml);
    EXPECT_EQ(Tree(*map), "First\nSecond\n");
    // the trees are stacked from top to bottom, each with the import layout
    ASSERT_EQ(map->CentralThemeCount(), 2);
    EXPECT_GT(map->CentralThemeAt(1)->GetBounds().Top,
              map->CentralThemeAt(0)->GetBounds().Top + map->CentralThemeAt(0)->GetBounds().Height);
    for (const TMindMapNode* theme : map->CentralThemes()) {
        ASSERT_NE(theme->LayoutOptions(), nullptr);
        EXPECT_EQ(*theme->LayoutOptions(), TLayoutOptions::ForMode(nlmStrictHorizontal));
    }
    EXPECT_EQ(map->StyleSheet()->Key(), "system.natural-material-colors");
}

TEST(TOpmlImporter, CheckBoxesFromAttributesOrATextPrefix) {
    struct TCase {
        const char* Attributes;
        const char* Tree;
    };
    const TCase cases[] = {
        {R"(text="[X] done")", "done [x]\n"},
        {R"(text="[x]   done")", "done [x]\n"},
        {R"(text="[ ] open")", "open [ ]\n"},
        {R"(text="[x]")", " [x]\n"},
        {R"(text="[-] other")", "[-] other\n"},
        {R"(text="[x] kept" checked="TRUE")", "[x] kept [x]\n"},
        {R"(text="[x] kept" checked="false")", "[x] kept [ ]\n"},
        {R"(text="[x] kept" checked="maybe")", "[x] kept\n"},
        {R"(text="[x] kept" checked="" _checked="true")", "[x] kept [x]\n"},
        {R"(text="a" _status="Checked")", "a [x]\n"},
        {R"(text="a" _status="unchecked")", "a [ ]\n"},
        {R"(text="[x] a" _status="done")", "[x] a\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Attributes);
        auto map = Import(std::string("<opml><body><outline ") + c.Attributes + "/></body></opml>", dkOpml);
        EXPECT_EQ(Tree(*map), c.Tree);
        const TMindMapNode* topic = map->TopicAt(0);
        if (topic->CheckboxMode() != cbmNone) {
            EXPECT_EQ(topic->CheckboxMode(), cbmCheckbox);
            EXPECT_EQ(topic->Progress(), topic->Checked() ? 100 : 0);
        }
    }
}

TEST(TOpmlImporter, BrokenDocumentsFailWithTheirMessage) {
    struct TCase {
        const char* Text;
        const char* Message;
    };
    const TCase cases[] = {
        {"<opml><head/></opml>", "Invalid opml document"},
        {"Not found.", "Invalid opml document"},
        {"<opml><body><outline text=\"a\"></body></opml>", "Error Element start outline does not match"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        TMindMap map;
        EXPECT_THAT([&] { map.LoadFromText(c.Text, "", true, dkOpml); },
                    testing::ThrowsMessage<ECVException>(testing::StartsWith(c.Message)));
        EXPECT_FALSE(map.HasDocument());
    }
}

TEST(TOpmlImporter, DeepOutlinesAreReadWithoutRecursion) {
    constexpr int depth = 900;
    std::string text = "<opml><body>";
    for (int i = 0; i < depth; ++i)
        text += "<outline text=\"" + std::to_string(i) + "\">";
    text += "<outline text=\"sibling-less leaf\"/>";
    for (int i = 0; i < depth; ++i)
        text += "</outline><outline text=\"after " + std::to_string(depth - 1 - i) + "\"/>";
    text += "</body></opml>";
    auto map = Import(text, dkOpml);
    ASSERT_EQ(map->TopicCount(), 2 * depth + 1);
    const TMindMapNode* leaf = TopicByText(*map, "sibling-less leaf");
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(leaf->Level(), depth);
    const TMindMapNode* after = TopicByText(*map, "after 5");
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->Parent(), TopicByText(*map, "4"));
    EXPECT_EQ(after->IndexInParent(), 1);
}

// ---------------------------------------------------------------------------------------------------------------
// FreeMind importer

TEST(TFreeMindImporter, NodesRichContentAndLinks) {
    const std::string text =
        R"(<map version="0.9.0"><!-- c --><node TEXT="Root" LINK="https://example.org/">)"
        R"(<richcontent TYPE="NODE"><html><head><title>no</title></head><body><p>  first   paragraph  </p>)"
        R"(<p>second<br/>line &amp;amp; more</p></body></html></richcontent>)"
        R"(<node TEXT="child"><richcontent TYPE="NOTE"><html><body><p>a note</p></body></html></richcontent>)"
        R"(<richcontent type="note"><html><head/></html></richcontent>)"
        R"(<richcontent TYPE="DETAILS"><html><body><p>ignored</p></body></html></richcontent></node>)"
        R"(<attribute NAME="x" VALUE="y"/><node text="second child"/></node>)"
        R"(<node TEXT="&lt;html&gt;&lt;head&gt;&lt;style&gt;p {}&lt;/style&gt;&lt;/head&gt;&lt;body&gt;)"
        R"(&lt;p&gt;Old &amp;amp; styled&lt;br&gt;text&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;"/></map>)";
    auto map = Import(text, dkFreeMind);
    EXPECT_EQ(Tree(*map), "Root|first   paragraph|second|line & more\n"
                          "  child {a note}\n"
                          "  second child\n"
                          "Old & styled|text\n");
    const TMindMapNode* root = map->CentralThemeAt(0);
    ASSERT_NE(root->Link(), nullptr);
    EXPECT_EQ(root->Link()->Kind(), lkUrl);
    EXPECT_EQ(root->Link()->Target(), "https://example.org/");
    EXPECT_EQ(root->TextFormat(), tfPlain);
}

TEST(TFreeMindImporter, BrokenDocumentsFailWithTheirMessage) {
    TMindMap map;
    EXPECT_THAT([&] { map.LoadFromText("<opml><body/></opml>", "", true, dkFreeMind); },
                testing::ThrowsMessage<ECVException>(testing::StrEq("Invalid FreeMind document")));
    // nesting beyond what the XML layer reads is refused before any topic is made
    std::string deep = "<map>";
    for (int i = 0; i < 100000; ++i)
        deep += "<node>";
    EXPECT_THAT([&] { map.LoadFromText(deep, "", true, dkFreeMind); },
                testing::ThrowsMessage<EOXXMLException>(testing::HasSubstr("nested deeper than 1000 levels")));
    EXPECT_FALSE(map.HasDocument());
    // more nodes than an import may show are refused before any topic is made
    std::string wide = "<map>";
    for (std::size_t i = 0; i <= kMaxTopics; ++i)
        wide += "<node/>";
    wide += "</map>";
    EXPECT_THAT([&] { map.LoadFromText(wide, "", true, dkFreeMind); },
                testing::ThrowsMessage<ECVException>(testing::HasSubstr("The document holds more than 500000 topics")));
    EXPECT_EQ(map.TopicCount(), 0);
}

TEST(FreeMindHtmlText, TextsOfOldStyleHtmlAttributes) {
    struct TCase {
        const char* Text;
        const char* Plain;
    };
    const TCase cases[] = {
        {"plain <b>text</b>", "plain <b>text</b>"},
        {"<html><body><p>a</p><p>b  c</p></body></html>", "a\r\nb c"},
        {"  <HTML>\n<head>\n<title>t</title>\n</head>\n<body>x&nbsp;y<br>z &lt;tag&gt;</body></html>",
         "x y\r\nz <tag>"},
        {"<html><body><p>unterminated", "unterminated"},
        {"<html><body></body></html>", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(FreeMindHtmlText(c.Text), c.Plain);
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Finishing imports

TEST(FinishImport, OnlyLongSingleLineTopicsAreWrapped) {
    const std::string longLine = "Lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor "
                                 "incididunt ut labore et dolore magna aliqua ut enim ad minim veniam quis nostrud";
    const std::string text = "<opml><body><outline text=\"" + longLine + "\"><outline text=\"short one\"/>" +
                             "<outline text=\"" + longLine + "&#10;" + longLine + "\"/></outline></body></opml>";
    auto map = Import(text, dkOpml);
    ASSERT_EQ(map->TopicCount(), 3);
    const std::string wrapped = map->TopicAt(0)->Text();
    EXPECT_NE(wrapped.find('\r'), std::string::npos);
    EXPECT_EQ(ReplaceLineBreaks(wrapped, " "), longLine);
    EXPECT_EQ(map->TopicAt(1)->Text(), "short one");
    EXPECT_EQ(map->TopicAt(2)->Text(), longLine + "\r" + longLine);

    ImportOptions().WrapImportedTopics = false;
    auto unwrapped = Import(text, dkOpml);
    ImportOptions().WrapImportedTopics = true;
    EXPECT_EQ(unwrapped->TopicAt(0)->Text(), longLine);
}

// ---------------------------------------------------------------------------------------------------------------
// Writers

TEST(TPlainTextExporter, WritesTopicsNotesAndFreeTextsAsAnIndentedOutline) {
    TMindMap map;
    map.LoadFromText(NativeDocument(R"(<topic id="0" text="Root\Nsecond line"><note textfmt="rtf1">)"
                                    R"(\*Bold\* note   &#xD;&#xA;  next line</note></topic>)"
                                    R"(<topic id="1" parent="0" text="  "><children>)"
                                    R"(<text><note>first</note></text><image name="skipped"/>)"
                                    R"(<text><note>   </note></text><text><note>two&#xD;lines</note></text>)"
                                    R"(</children></topic>)"
                                    R"(<topic id="2" parent="1" text="leaf" collapsed="True" hidden="True"/>)"
                                    R"(<topic id="3" text="second theme"/>)"),
                     "", true, 0);
    TPlainTextExporter exporter(map);
    EXPECT_EQ(exporter.Write(false), "Root second line\r\n"
                                     "[\r\n"
                                     "Bold note\r\n"
                                     "  next line\r\n"
                                     "]\r\n"
                                     "\tunnamed topic\r\n"
                                     "\t[\r\n"
                                     "\tfirst\r\n"
                                     "\t\r\n"
                                     "\ttwo\r\n"
                                     "\tlines\r\n"
                                     "\t]\r\n"
                                     "\t\tleaf\r\n"
                                     "second theme\r\n");
    // read back: free texts become the note, the nameless topic is named
    auto copy = Import(exporter.Write(false), dkText);
    EXPECT_EQ(Tree(*copy), "Root second line {Bold note|next line}\n"
                           "  unnamed topic {first||two|lines}\n"
                           "    leaf\n"
                           "second theme\n");
}

TEST(TPlainTextExporter, SelectedBranchesStartAtTheShallowestSelectedLevel) {
    TMindMap map;
    map.LoadFromText(NativeDocument(R"(<topic id="0" text="root"/><topic id="1" parent="0" text="a"/>)"
                                    R"(<topic id="2" parent="1" text="a1"/><topic id="3" parent="0" text="b"/>)"),
                     "", true, 0);
    map.Select(map.TopicAt(3));
    map.ToggleSelection(map.TopicAt(2), false);
    TPlainTextExporter exporter(map);
    EXPECT_EQ(exporter.Write(true), "b\r\n\ta1\r\n");
    map.Select(map.TopicAt(2));
    EXPECT_EQ(exporter.Write(true), "a1\r\n");
    map.Select(nullptr);
    EXPECT_EQ(exporter.Write(true), "");

    TMindMap nameless;
    nameless.LoadFromText(NativeDocument(R"(<topic id="0"/>)"), "", true, 0);
    EXPECT_EQ(SaveToText(nameless, dkText, false), "unnamed topic\r\n");
}

TEST(TPlainTextExporter, LinesSplitAtEveryKindOfBreak) {
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd\n"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("\n\n"), (std::vector<std::string>{"", ""}));
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(JoinLines({"a", ""}), "a\r\n\r\n");
}

namespace {

const std::string kSmallMap =
    NativeDocument(R"(<topic id="0" text="Root &amp;amp; more"><note>root note&#xD;second</note></topic>)"
                   R"(<topic id="1" parent="0" text="a\Nb"><link urllink="https://example.org/?a=1&amp;b=2"/>)"
                   R"(<children><text><note>free</note></text></children></topic>)"
                   R"(<topic id="2" parent="1" text=""/><topic id="3" parent="0" text="c"/>)",
                   R"(<title customized="True" text="The title"/>)");

} // namespace

TEST(TOpmlExporter, WritesTheOutlineAndReadsBack) {
    TMindMap map;
    map.LoadFromText(kSmallMap, "", true, 0);
    const std::string text = SaveToText(map, dkOpml, false);
    EXPECT_EQ(text, "<?xml version=\"1.0\"?>\r\n"
                    "<opml version=\"1.0\">\r\n"
                    "\t<head>\r\n"
                    "\t\t<title>\r\n"
                    "The title\r\n"
                    "\t\t</title>\r\n"
                    "\t</head>\r\n"
                    "\t<body>\r\n"
                    "\t\t<outline text=\"Root &amp; more\" _note=\"root note&#xa;second\">\r\n"
                    "\t\t\t<outline text=\"a b\">\r\n"
                    "\t\t\t\t<outline/>\r\n"
                    "\t\t\t</outline>\r\n"
                    "\t\t\t<outline text=\"c\"/>\r\n"
                    "\t\t</outline>\r\n"
                    "\t</body>\r\n"
                    "</opml>\r\n");
    EXPECT_EQ(Tree(*Import(text, dkOpml)), "Root & more {root note|second}\n  a b\n    \n  c\n");
    TMindMap empty;
    EXPECT_EQ(SaveToText(empty, dkOpml, false), "");
}

TEST(TFreeMindExporter, WritesTheRootElementAndReadsBack) {
    TMindMap map;
    map.LoadFromText(kSmallMap, "", true, 0);
    const std::string text = SaveToText(map, dkFreeMind, false);
    EXPECT_EQ(text, "<map version=\"0.9.0\">\r\n"
                    "\t<node TEXT=\"Root &amp; more\">\r\n"
                    "\t\t<richcontent TYPE=\"NOTE\">\r\n"
                    "\t\t\t<html>\r\n"
                    "\t\t\t\t<head/>\r\n"
                    "\t\t\t\t<body>\r\n"
                    "\t\t\t\t\t<p>\r\n"
                    "root note\r\n"
                    "\t\t\t\t\t</p>\r\n"
                    "\t\t\t\t\t<p>\r\n"
                    "second\r\n"
                    "\t\t\t\t\t</p>\r\n"
                    "\t\t\t\t</body>\r\n"
                    "\t\t\t</html>\r\n"
                    "\t\t</richcontent>\r\n"
                    "\t\t<node TEXT=\"a b\">\r\n"
                    "\t\t\t<node/>\r\n"
                    "\t\t</node>\r\n"
                    "\t\t<node TEXT=\"c\"/>\r\n"
                    "\t</node>\r\n"
                    "</map>\r\n");
    EXPECT_EQ(Tree(*Import(text, dkFreeMind)), "Root & more {root note|second}\n  a b\n    \n  c\n");
}

TEST(THtmlOutlineExporter, WritesNestedListsWithLinksNotesAndTexts) {
    TMindMap map;
    map.LoadFromText(kSmallMap, "", true, 0);
    EXPECT_EQ(SaveToText(map, dkHtml, false), "<html>\r\n<head>\r\n<title>\r\nThe title\r\n</title>\r\n</head>\r\n"
                                              "<body>\r\n<ol>\r\n<li>\r\nRoot &amp; more\r\n"
                                              "<p>\r\nroot note\r\n<br/>\r\nsecond\r\n</p>\r\n<ol>\r\n"
                                              "<li>\r\na\r\n<br/>\r\nb\r\n<br/>\r\nLink: \r\n"
                                              "<a href=\"https://example.org/?a=1&amp;b=2\">\r\n"
                                              "https://example.org/?a=1&amp;b=2\r\n</a>\r\n"
                                              "<p>\r\nfree\r\n</p>\r\n<ol>\r\n<li/>\r\n</ol>\r\n</li>\r\n"
                                              "<li>\r\nc\r\n</li>\r\n</ol>\r\n</li>\r\n</ol>\r\n</body>\r\n"
                                              "</html>\r\n");
    map.Select(nullptr);
    EXPECT_EQ(SaveToText(map, dkHtml, true), "");
}

TEST(THierarchicalExporter, DeepMapsAreWrittenWithoutRecursion) {
    constexpr int depth = 3000;
    std::string topics;
    for (int i = 0; i < depth; ++i)
        topics += Format(R"(<topic id="%d" parent="%d" text="t%d"/>)", i, i - 1, i);
    TMindMap map;
    map.LoadFromText(NativeDocument(topics), "", true, 0);
    const auto count = [](const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    };
    const std::string opml = SaveToText(map, dkOpml, false);
    EXPECT_EQ(count(opml, "<outline "), static_cast<std::size_t>(depth));
    EXPECT_EQ(count(opml, "</outline>"), static_cast<std::size_t>(depth - 1));
    const std::string html = SaveToText(map, dkHtml, false);
    EXPECT_EQ(count(html, "<li>"), static_cast<std::size_t>(depth));
    EXPECT_EQ(count(SaveToText(map, dkFreeMind, false), "<node "), static_cast<std::size_t>(depth));
    const std::string outline = SaveToText(map, dkText, false);
    EXPECT_EQ(count(outline, "\r\n"), static_cast<std::size_t>(depth));
    EXPECT_THAT(outline, testing::EndsWith(std::string(depth - 1, '\t') + "t2999\r\n"));
}
