#include "formats/V1MindMapReaders.h"

#include "TestSupport.h"
#include "platform/CVStrings.h"
#include "styling/CVStyleManager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char* kGuid = "{6F1D2C3B-0000-4000-8000-00000000000A}";

// A legacy diagram with the symbols and relations given; the root's attributes and the DOCTYPE can be changed.
std::string Diagram(const std::string& content, const std::string& diagramAttributes = "",
                    const std::string& doctype = "<!DOCTYPE orrinexdiagrams>",
                    const std::string& rootAttributes = R"(Format="sfDiagram")") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" + doctype + "\r\n<orrinexdiagrams " + rootAttributes +
           "><mindmapdiagram guid=\"" + kGuid + "\" " + diagramAttributes + ">" + content +
           "</mindmapdiagram></orrinexdiagrams>\r\n";
}

std::string Symbol(int id, int parent, const std::string& name, const std::string& more = "",
                   const std::string& children = "") {
    return Format(R"(<mindmapsymbol ShapeID="%d" _parent="%d" Name="%s" %s>%s</mindmapsymbol>)", id, parent,
                  name.c_str(), more.c_str(), children.c_str());
}

std::string Relation(int source, int target) {
    return Format(R"(<mindmaprelation SourceSymbol="%d" TargetSymbol="%d"/>)", source, target);
}

void Load(TMindMap& map, const std::string& text) {
    map.LoadFromText(text, "", true, 0);
}

TMindMapNode* TopicNamed(TMindMap& map, const std::string& text) {
    for (int i = 0; i < map.TopicCount(); ++i)
        if (map.TopicAt(i)->Text() == text)
            return map.TopicAt(i);
    return nullptr;
}

} // namespace

TEST(FirstStartTagName, SkipsDeclarationCommentsInstructionsAndTheDoctype) {
    struct TCase {
        const char* Text;
        const char* Name;
    };
    const TCase cases[] = {
        {"<a/>", "a"},
        {"\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<!-- <b> --><!DOCTYPE x [<!ENTITY e \"<c>\">]><?pi <d>?> <root "
         "a=\"1\">",
         "root"},
        {"<OrrinexDiagrams>", "OrrinexDiagrams"},
        {"<root\tattr=''>", "root"},
        {"no tags at all", ""},
        {"<!-- never closed <a>", ""},
        {"", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(FirstStartTagName(c.Text), c.Name);
    }
    EXPECT_TRUE(IsLegacyDiagramText(Diagram("")));
    EXPECT_TRUE(IsLegacyDiagramText("<ORRINEXDIAGRAMS/>"));
    EXPECT_FALSE(IsLegacyDiagramText(NativeDocument("")));
}

TEST(TV1MindMapReader, ReadsTheTreeTopicAttributesAndCrossLinks) {
    const std::string content =
        Symbol(10, -1, "Centre", R"(Location="100,200" IconName="ic8_48_ok")") +
        Symbol(11, 10, "First one two three four five six seven", R"(collapsed="True" PaletteInfo="2")",
               R"(<symbolname WordBreak="True" Extent="60,40"/>)") +
        Symbol(12, 10, "Second", R"(ColorInfo="2")", R"(<visualstyle Symbol="clRed" SymbolPen="$00FF8000"/>)") +
        Symbol(13, 11, "Deep", "", R"(<references><diagramref guid="{other}"/></references>)") +
        Symbol(14, 12, "Linked here", "",
               std::string(R"(<references><diagramref guid=")") + kGuid + R"("/></references>)") +
        Symbol(15, 12, "Linked flag", "",
               R"(<references><diagramref guid="{x}" LinkedToCurrentDiagram="True"/></references>)") +
        Relation(13, 14) + Relation(99, 13) + Relation(12, 12);
    TMindMap map;
    Load(map, Diagram(content, R"(ColorSchemeName="system.gray-scale")"));
    EXPECT_FALSE(map.ReadAborted());
    ASSERT_EQ(map.TopicCount(), 6);
    ASSERT_EQ(map.CentralThemeCount(), 1);
    TMindMapNode* centre = map.CentralThemeAt(0);
    EXPECT_EQ(centre->Text(), "Centre");
    EXPECT_EQ(map.MainCentralTheme(), centre);
    EXPECT_EQ(centre->GetPosition().X, 100);
    EXPECT_EQ(centre->GetPosition().Y, 200);
    ASSERT_NE(centre->Icon(), nullptr);
    EXPECT_EQ(centre->Icon()->Name(), "ic8_48_ok");
    EXPECT_EQ(map.StyleSheet(), StyleManager().FindSheet("system.gray-scale"));

    TMindMapNode* first = map.TopicAt(1);
    TMindMapNode* second = TopicNamed(map, "Second");
    TMindMapNode* deep = TopicNamed(map, "Deep");
    ASSERT_TRUE(first && second && deep);
    EXPECT_THAT(centre->Children(), testing::ElementsAre(first, second));
    EXPECT_EQ(deep->Parent(), first);
    EXPECT_TRUE(first->Collapsed());
    EXPECT_NE(first->Text().find('\r'), std::string::npos) << "the stored width wraps the text once it is read";
    EXPECT_EQ(first->PaletteIndex(), 2);
    EXPECT_EQ(second->PaletteIndex(), 3) << "a colour index counts from 1 where palettes count from 0";
    EXPECT_EQ(second->Style().FillColor(), RGBColor(255, 0, 0));
    EXPECT_EQ(second->Style().StrokeColor(), RGBColor(0, 0x80, 0xFF)) << "blue-green-red order";
    EXPECT_TRUE(second->Style().HasOverride(nsoFillColor | nsoStrokeColor));
    EXPECT_EQ(second->Style().TextColor(), clDefault);

    ASSERT_NE(deep->Link(), nullptr);
    EXPECT_EQ(deep->Link()->Kind(), lkDiagram);
    EXPECT_EQ(deep->Link()->Target(), "{other}");
    EXPECT_EQ(TopicNamed(map, "Linked here")->Link(), nullptr) << "a reference to the diagram itself is no link";
    EXPECT_EQ(TopicNamed(map, "Linked flag")->Link(), nullptr);

    ASSERT_EQ(map.RelationCount(), 1) << "cross links without two different ends are gone";
    EXPECT_EQ(map.RelationAt(0)->Source(), deep);
    EXPECT_EQ(map.RelationAt(0)->Target(), TopicNamed(map, "Linked here"));
}

TEST(TV1MindMapReader, PaletteIndexComesFromPaletteInfoOrColorInfo) {
    struct TCase {
        const char* Attributes;
        int Palette;
    };
    const TCase cases[] = {
        {R"(PaletteInfo="0" ColorInfo="2")", 3},
        {R"(PaletteInfo="-4")", 0},
        {R"(ColorInfo="0")", 0},
        {R"(ColorInfo="-3")", 0},
        {R"(PaletteInfo="5" ColorInfo="9")", 5},
        {"", 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Attributes);
        TMindMap map;
        // on a sub-branch, where the colour scheme keeps the index as read
        Load(map, Diagram(Symbol(1, -1, "root") + Symbol(2, 1, "branch", R"(PaletteInfo="1")") +
                          Symbol(3, 2, "t", c.Attributes)));
        ASSERT_EQ(map.TopicCount(), 3);
        EXPECT_EQ(map.TopicAt(2)->PaletteIndex(), c.Palette);
    }
}

TEST(TV1MindMapReader, TextsAreDecodedOnceMoreAndReadAsPlainText) {
    TMindMap map;
    Load(map, Diagram(Symbol(1, -1, "Salt &amp;amp; pepper &amp;lt;3 **not bold**")));
    ASSERT_EQ(map.TopicCount(), 1);
    EXPECT_EQ(map.TopicAt(0)->Text(), "Salt & pepper <3 **not bold**");
    EXPECT_EQ(map.TopicAt(0)->TextFormat(), tfPlain);
}

TEST(TV1MindMapReader, ParentReferencesThatCloseACycleAreDropped) {
    TMindMap map;
    Load(map, Diagram(Symbol(1, 3, "a") + Symbol(2, 1, "b") + Symbol(3, 2, "c") + Symbol(4, 4, "self") +
                      Symbol(5, 77, "orphan")));
    ASSERT_EQ(map.TopicCount(), 5);
    // every topic still reaches a central theme
    for (int i = 0; i < map.TopicCount(); ++i) {
        const TMindMapNode* topic = map.TopicAt(i);
        int steps = 0;
        while (topic->Parent() && steps <= map.TopicCount()) {
            topic = topic->Parent();
            ++steps;
        }
        EXPECT_LE(steps, 2) << map.TopicAt(i)->Text();
    }
    EXPECT_EQ(TopicNamed(map, "self")->Parent(), nullptr);
    EXPECT_EQ(TopicNamed(map, "orphan")->Parent(), nullptr);
    EXPECT_EQ(map.CentralThemeCount(), 3);
}

TEST(TV1MindMapReader, TextsThatAreNoDiagramAreNotRead) {
    struct TCase {
        const char* What;
        std::string Text;
    };
    const TCase cases[] = {
        {"no DOCTYPE", Diagram(Symbol(1, -1, "x"), "", "")},
        {"another DOCTYPE", Diagram(Symbol(1, -1, "x"), "", "<!DOCTYPE diagrams>")},
        {"another format", Diagram(Symbol(1, -1, "x"), "", "<!DOCTYPE orrinexdiagrams>", R"(Format="sfOrgChart")")},
        {"no format", Diagram(Symbol(1, -1, "x"), "", "<!DOCTYPE orrinexdiagrams>", "")},
        {"no mind map diagram", "<!DOCTYPE orrinexdiagrams><orrinexdiagrams Format=\"sfDiagram\"><orgdiagram/>"
                                "</orrinexdiagrams>"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TMindMap map;
        Load(map, c.Text);
        EXPECT_TRUE(map.ReadAborted());
        EXPECT_EQ(map.TopicCount(), 0);
    }
    TMindMap map;
    Load(map, Diagram(Symbol(1, -1, "x"), "", "<!DOCTYPE ORRINEXDIAGRAMS>", R"(Format="sfdiagram")"));
    EXPECT_FALSE(map.ReadAborted()) << "names and the format compare without regard to case";
    EXPECT_EQ(map.TopicCount(), 1);
}

TEST(TV1MindMapReader, MalformedNumbersAndColoursFailTheRead) {
    struct TCase {
        std::string Symbol;
        const char* Message;
    };
    const TCase cases[] = {
        {Symbol(1, -1, "x", R"(Location="12,abc")"), "'abc' is not a valid integer value"},
        {Symbol(1, -1, "x", R"(Location="1.5,2")"), "'1.5' is not a valid integer value"},
        {Symbol(1, -1, "x", "", R"(<symbolname Extent="wide,2"/>)"), "'wide' is not a valid integer value"},
        {Symbol(1, -1, "x", "", R"(<visualstyle Symbol="reddish" SymbolPen="clRed"/>)"),
         "'reddish' is not a valid integer value"},
        {Symbol(1, -1, "x", "", R"(<visualstyle Symbol="clRed" SymbolPen="$GG"/>)"),
         "'$GG' is not a valid integer value"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Symbol);
        TMindMap map;
        EXPECT_THAT([&] { Load(map, Diagram(c.Symbol + Symbol(2, 1, "y"))); },
                    testing::ThrowsMessage<ECVException>(testing::StrEq(c.Message)));
        EXPECT_EQ(map.TopicCount(), 0);
        EXPECT_FALSE(map.HasDocument());
    }
    // tolerated: no comma, a word break that is off, a style with one colour only
    TMindMap map;
    Load(map, Diagram(Symbol(1, -1, "x", R"(Location="17")",
                             R"(<symbolname WordBreak="False" Extent="bad"/><visualstyle Symbol="bad"/>)")));
    ASSERT_EQ(map.TopicCount(), 1);
    EXPECT_LE(map.TopicAt(0)->WrapWidth(), 0) << "no word break: no stored width";
    EXPECT_FALSE(map.TopicAt(0)->Style().HasOverride(nsoFillColor));
}

TEST(ParseDiagramColor, NamesAndNumbersInBlueGreenRedOrder) {
    struct TCase {
        const char* Text;
        TColor Color;
    };
    const TCase cases[] = {
        {"clBlack", RGBColor(0, 0, 0)},
        {"clRed", RGBColor(255, 0, 0)},
        {"CLNAVY", RGBColor(0, 0, 128)},
        {"clMoneyGreen", RGBColor(0xC0, 0xDC, 0xC0)},
        {"clNone", clNone},
        {"clDefault", clDefault},
        {"clWindow", clWhite},
        {"clBtnFace", RGBColor(240, 240, 240)},
        {"255", RGBColor(255, 0, 0)},
        {"$FF0000", RGBColor(0, 0, 255)},
        {"$00336699", RGBColor(0x99, 0x66, 0x33)},
        {"-16777201", RGBColor(240, 240, 240)},
        {"$FF00000F", RGBColor(240, 240, 240)},
        {" 65280 ", RGBColor(0, 255, 0)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(ParseDiagramColor(c.Text), c.Color);
    }
    for (const char* text : {"", "$", "red", "0x10", "$123456789", "99999999999", "1e3"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(ParseDiagramColor(text), ECVException);
    }
}

TEST(TV1MindMapReader, ZoomAndAnUnknownSchemeName) {
    TMindMap map;
    Load(map,
         Diagram(R"(<meta><options zoom="150"/></meta>)" + Symbol(1, -1, "x"), R"(ColorSchemeName="no such sheet")"));
    EXPECT_EQ(map.GetViewState().Zoom, 150);
    EXPECT_FALSE(map.GetViewState().Valid);
    EXPECT_EQ(map.StyleSheet(), &StyleManager().SheetAt(0)) << "an unknown name gives the first registered sheet";
}

// Damaged diagrams end in a clear error or a tolerant read, never in a crash or a cyclic tree.
TEST(TV1MindMapReader, DamagedDiagramsFailCleanly) {
    const std::string pieces[] = {"<mindmapsymbol ",
                                  "ShapeID=\"1\" ",
                                  "_parent=\"2\" ",
                                  "_parent=\"-1\" ",
                                  "ShapeID=\"2\" ",
                                  "Location=\"1,",
                                  "\"/>",
                                  "<visualstyle Symbol=\"$FF\" ",
                                  "SymbolPen=\"clRed\"/>",
                                  "</mindmapsymbol>",
                                  Relation(1, 2),
                                  "&amp;amp;",
                                  "<",
                                  ">"};
    const std::string seeds[] = {
        Diagram(Symbol(1, 2, "a", R"(Location="5,6")") + Symbol(2, 1, "b") + Symbol(3, 1, "c") + Relation(3, 2)),
        Diagram(Symbol(1, -1, "a", "", R"(<visualstyle Symbol="clRed" SymbolPen="$0000FF"/>)") + Relation(1, 1))};
    TRandomTexts texts({std::begin(pieces), std::end(pieces)}, {std::begin(seeds), std::end(seeds)}, 20250307);
    for (int round = 0; round < 600; ++round) {
        const std::string text = texts.Next();
        SCOPED_TRACE(testing::PrintToString(text));
        TMindMap map;
        try {
            map.LoadFromText(text, "", true, 0);
        } catch (const ECVException&) {
            EXPECT_EQ(map.TopicCount(), 0);
            continue;
        }
        for (int i = 0; i < map.TopicCount(); ++i) {
            const TMindMapNode* topic = map.TopicAt(i);
            int steps = 0;
            while (topic->Parent() && steps <= map.TopicCount()) {
                topic = topic->Parent();
                ++steps;
            }
            ASSERT_LE(steps, map.TopicCount()) << "the tree has a cycle";
        }
    }
}
