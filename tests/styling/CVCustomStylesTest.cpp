#include "styling/CVCustomStyles.h"

#include "TestSupport.h"
#include "formats/OXXMLDOM.h"
#include "formats/XMLFilers.h"
#include "render/MapImageExports.h"
#include "styling/CVStyleManager.h"
#include "styling/Patterns.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

namespace {

// A native document whose "mindmap" ends with the given "stylesheet" element.
std::string DocumentWithSheet(const std::string& topics, const std::string& stylesheet,
                              const std::string& key = "system.bright-palette") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!DOCTYPE corvella-mindmaps>\r\n"
           "<corvella-mindmaps doc-version=\"3\" generator=\"CorvellaWin32\"><mindmap><meta><style key=\"" +
           key + "\"/></meta><topics>" + topics + "</topics>" + stylesheet + "</mindmap></corvella-mindmaps>\r\n";
}

std::string Color(const char* name, int r, int g, int b) {
    return Format("<%s r=\"%d\" g=\"%d\" b=\"%d\"/>", name, r, g, b);
}

// A sheet with a background colour and a two-entry palette (branch-based unless levelBased).
std::string SimpleSheet(const std::string& key, int background, int fill1, int fill2, bool levelBased = false) {
    return "<stylesheet><general description=\"" + key + "\"" + (levelBased ? " levelbased=\"True\"" : "") + ">" +
           Color("bkgnd-color", background >> 16, (background >> 8) & 0xFF, background & 0xFF) +
           Color("font-color", 20, 20, 20) + "</general><palette><item>" +
           Color("fill-color", fill1 >> 16, (fill1 >> 8) & 0xFF, fill1 & 0xFF) + "</item><item>" +
           Color("fill-color", fill2 >> 16, (fill2 >> 8) & 0xFF, fill2 & 0xFF) + "</item></palette></stylesheet>";
}

constexpr const char* kTwoTopics = R"(<topic id="0" text="Root" x="0" y="0"/>)"
                                   R"(<topic id="1" parent="0" text="Branch" x="200" y="0"/>)";

const char* kFullSheet = R"(<stylesheet>
  <general description="Ocean look" timestamp="2021-03-07+09:05:00" levelbased="True"
           background-pattern=".SYSTEM.WOOD">
    <bkgnd-color r="230" g="240" b="250"/>
    <font-color r="10" g="20" b="30"/>
  </general>
  <style has-levels="True">
    <mindmap connection-style="baseline"><checkbox-color r="1" g="1" b="1"/></mindmap>
    <topics><levels>
      <level borderstyle="sbsEllipse" borderwidth="3.00"><fillcolor r="9" g="8" b="7"/></level>
      <level borderstyle="sbsRectangle"/>
      <level borderstyle="sbsNone"/>
    </levels></topics>
    <relations>
      <cross-links line-style="penDashedThin"/>
      <hierarchical-relations><levels><level line-style="penTapered"/><level line-style="penSolidThin"/></levels>
      </hierarchical-relations>
    </relations>
    <texts><textcolor r="0" g="128" b="0"/></texts>
  </style>
  <palette>
    <item><fill-color r="200" g="100" b="50"/></item>
    <item><fill-color r="1" g="2" b="3"/><stroke-color r="4" g="5" b="6"/></item>
    <item><stroke-color r="9" g="9" b="9"/></item>
    <other><fill-color r="7" g="7" b="7"/></other>
  </palette>
</stylesheet>)";

std::unique_ptr<TCustomStyleSheet> ReadSheetText(const std::string& xml) {
    TXMLDocument document;
    TXMLFiler::LoadFromString(xml, document);
    return ReadCustomSheet(*document.RootElement(), StyleManager());
}

} // namespace

TEST(SheetTimestamps, ReadDateAndTimeSeparatedByAPlusAndWriteThemBack) {
    const std::optional<double> stamp = ParseSheetTimestamp("2021-03-07+09:05:00");
    ASSERT_TRUE(stamp);
    // 7 March 2021 is day 44262 after 1899-12-30
    EXPECT_NEAR(*stamp, 44262 + (9 * 3600 + 5 * 60) / 86400.0, 1e-9);
    EXPECT_EQ(FormatSheetTimestamp(*stamp), "2021-03-07+09:05:00");
    EXPECT_EQ(FormatSheetTimestamp(44262 + 86399.6 / 86400), "2021-03-08+00:00:00") << "seconds round up to midnight";
    EXPECT_EQ(ParseSheetTimestamp(" 2021-3-7 + 9:5:0 "), stamp) << "blanks and single digits are fine";

    const char* invalid[] = {"2021-03-07",
                             "",
                             "+",
                             "2021-03+09:05:00",
                             "2021-03-07-01+09:05:00",
                             "2021-02-29+00:00:00",
                             "2021-03-07+24:00:00",
                             "2021-03-07+09:60:00",
                             "2021-03-07+09:05",
                             "2021-03-x+09:05:00",
                             "0-01-01+00:00:00",
                             "2021-13-01+00:00:00"};
    for (const char* text : invalid) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(ParseSheetTimestamp(text));
    }
    EXPECT_TRUE(ParseSheetTimestamp("2020-02-29+23:59:59")) << "a leap day";
}

TEST(ReadCustomSheet, ReadsSettingsLevelsAndPalette) {
    const std::unique_ptr<TCustomStyleSheet> sheet = ReadSheetText(kFullSheet);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->Key(), "Ocean look");
    EXPECT_EQ(sheet->GetDisplayName(), "Ocean look");
    EXPECT_TRUE(sheet->IsCustomSheet());
    EXPECT_EQ(FormatSheetTimestamp(sheet->Timestamp()), "2021-03-07+09:05:00");
    const TCustomColorScheme& scheme = sheet->Scheme();
    EXPECT_EQ(sheet->ColorScheme(), &scheme);
    EXPECT_TRUE(scheme.IsCustom());
    EXPECT_EQ(scheme.GetKey(), "#custom color scheme");
    EXPECT_TRUE(scheme.LevelBased());
    EXPECT_EQ(scheme.BackgroundColor(), RGBColor(230, 240, 250));
    EXPECT_EQ(sheet->BackgroundColor(), RGBColor(230, 240, 250));
    EXPECT_EQ(scheme.TextColor(), RGBColor(10, 20, 30));
    EXPECT_EQ(sheet->BackgroundPattern(), FindPattern(".system.wood")) << "pattern keys are found in any case";

    EXPECT_THAT(scheme.Fills(), testing::ElementsAre(RGBColor(200, 100, 50), RGBColor(1, 2, 3)))
        << "items without a fill are skipped";
    EXPECT_THAT(scheme.Strokes(), testing::ElementsAre(Darken(RGBColor(200, 100, 50)), RGBColor(4, 5, 6)));

    ASSERT_EQ(sheet->NodeStyle().LevelCount(), 3);
    EXPECT_EQ(sheet->NodeStyle().LevelStyle(0).BorderStyle(), sbsEllipse);
    EXPECT_EQ(sheet->NodeStyle().LevelStyle(0).FillColor(), RGBColor(9, 8, 7));
    EXPECT_EQ(sheet->NodeStyle().LevelStyle(1).BorderStyle(), sbsRectangle);
    EXPECT_EQ(sheet->NodeStyle().LevelStyle(5).BorderStyle(), sbsNone);
    ASSERT_EQ(sheet->RelationStyle().LevelCount(), 2);
    EXPECT_EQ(sheet->RelationStyle().LevelStyle(0).LineStyle(), penTapered);
    EXPECT_EQ(sheet->RelationStyle().LevelStyle(1).LineStyle(), penSolidThin);
    EXPECT_EQ(sheet->CrossLinkStyle().LineStyle(), penDashedThin);
    EXPECT_EQ(sheet->TextStyle().TextColor(), RGBColor(0, 128, 0)) << "the block's text colour wins over the sheet's";
    EXPECT_EQ(sheet->ConnectionStyle(), csBaseline);
    EXPECT_EQ(sheet->CheckboxColor(), RGBColor(1, 1, 1));
}

TEST(ReadCustomSheet, DefaultsAndTheOlderSheetWideShapeAndLine) {
    std::unique_ptr<TCustomStyleSheet> sheet = ReadSheetText("<stylesheet/>");
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->Key(), "");
    EXPECT_EQ(sheet->Timestamp(), 0);
    EXPECT_FALSE(sheet->Scheme().LevelBased());
    EXPECT_EQ(sheet->BackgroundColor(), clWhite);
    EXPECT_EQ(sheet->Scheme().TextColor(), 0x00181818u);
    EXPECT_EQ(sheet->TextStyle().TextColor(), 0x00181818u);
    EXPECT_EQ(sheet->BackgroundPattern(), nullptr);
    EXPECT_EQ(sheet->NodeStyle().LevelStyle(0).BorderStyle(), sbsDropRoundRect);
    EXPECT_EQ(sheet->RelationStyle().LevelStyle(0).LineStyle(), penCable);
    EXPECT_TRUE(sheet->Scheme().Fills().empty());

    sheet = ReadSheetText(R"(<stylesheet><general description="old" borderstyle="sbsCircle" penstyle="penDouble"
                             timestamp="2021-03-07" background-pattern=".system.unknown"/></stylesheet>)");
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->NodeStyle().LevelStyle(0).BorderStyle(), sbsCircle);
    EXPECT_EQ(sheet->RelationStyle().LevelStyle(0).LineStyle(), penDouble);
    EXPECT_EQ(sheet->CrossLinkStyle().LineStyle(), penDashedDouble) << "cross links follow the connections";
    EXPECT_EQ(sheet->Timestamp(), 0) << "a date alone is no timestamp";
    EXPECT_EQ(sheet->BackgroundPattern(), nullptr);

    // the older attributes survive a style block that does not set the same things itself
    sheet = ReadSheetText(R"(<stylesheet><general borderstyle="sbsCircle" penstyle="penDouble" />
                             <style><topics borderstyle="sbsDiamond"/><relations><hierarchical-relations/></relations>
                             </style></stylesheet>)");
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->NodeStyle().LevelStyle(0).BorderStyle(), sbsDiamond);
    EXPECT_EQ(sheet->RelationStyle().LevelStyle(0).LineStyle(), penDouble);

    sheet = ReadSheetText(R"(<stylesheet><general borderstyle="circle" penstyle="double"/></stylesheet>)");
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->NodeStyle().LevelStyle(0).BorderStyle(), sbsDropRoundRect) << "not value names: ignored";
    EXPECT_EQ(sheet->RelationStyle().LevelStyle(0).LineStyle(), penCable);
}

TEST(WriteCustomSheet, WritesWhatReadingGivesBack) {
    const std::unique_ptr<TCustomStyleSheet> original = ReadSheetText(kFullSheet);
    ASSERT_TRUE(original);
    TXMLDocument document;
    TXMLElement* element = document.AddChild("stylesheet");
    WriteCustomSheet(*original, *element);

    const TXMLElement* general = element->FindChild("general");
    ASSERT_NE(general, nullptr);
    EXPECT_EQ(general->GetString("description"), "Ocean look");
    EXPECT_EQ(general->GetString("timestamp"), "2021-03-07+09:05:00");
    EXPECT_EQ(general->GetString("background-pattern"), ".system.wood");
    EXPECT_FALSE(general->HasAttribute("borderstyle"));
    EXPECT_FALSE(general->HasAttribute("penstyle"));
    EXPECT_EQ(element->Child(0)->Name(), "general");
    EXPECT_EQ(element->Child(1)->Name(), "style");
    EXPECT_EQ(element->Child(2)->Name(), "palette");

    const std::unique_ptr<TCustomStyleSheet> copy = ReadCustomSheet(*element, StyleManager());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->Key(), original->Key());
    EXPECT_DOUBLE_EQ(copy->Timestamp(), original->Timestamp());
    EXPECT_EQ(copy->Scheme().LevelBased(), true);
    EXPECT_EQ(copy->Scheme().BackgroundColor(), original->Scheme().BackgroundColor());
    EXPECT_EQ(copy->Scheme().TextColor(), original->Scheme().TextColor());
    EXPECT_EQ(copy->BackgroundPattern(), original->BackgroundPattern());
    EXPECT_EQ(copy->Scheme().Fills(), original->Scheme().Fills());
    EXPECT_EQ(copy->Scheme().Strokes(), original->Scheme().Strokes());
    ASSERT_EQ(copy->NodeStyle().LevelCount(), 3);
    for (int level = 0; level < 3; ++level) {
        EXPECT_EQ(copy->NodeStyle().LevelStyle(level).BorderStyle(),
                  original->NodeStyle().LevelStyle(level).BorderStyle());
        EXPECT_EQ(copy->NodeStyle().LevelStyle(level).FillColor(), original->NodeStyle().LevelStyle(level).FillColor());
    }
    EXPECT_EQ(copy->RelationStyle().LevelStyle(1).LineStyle(), penSolidThin);
    EXPECT_EQ(copy->CrossLinkStyle().LineStyle(), penDashedThin);
    EXPECT_EQ(copy->TextStyle().TextColor(), RGBColor(0, 128, 0));
    EXPECT_EQ(copy->ConnectionStyle(), csBaseline);
    EXPECT_EQ(copy->CheckboxColor(), RGBColor(1, 1, 1));

    // no timestamp, not level-based, no pattern: none of them is written
    const std::unique_ptr<TCustomStyleSheet> plain =
        ReadSheetText(R"(<stylesheet><general description="p"/></stylesheet>)");
    TXMLElement* plainElement = document.AddChild("stylesheet");
    WriteCustomSheet(*plain, *plainElement);
    const TXMLElement* plainGeneral = plainElement->FindChild("general");
    ASSERT_NE(plainGeneral, nullptr);
    EXPECT_FALSE(plainGeneral->HasAttribute("timestamp"));
    EXPECT_FALSE(plainGeneral->HasAttribute("levelbased"));
    EXPECT_FALSE(plainGeneral->HasAttribute("background-pattern"));

    TXMLElement* builtIn = document.AddChild("stylesheet");
    WriteCustomSheet(*StyleManager().DefaultSheet(), *builtIn);
    EXPECT_EQ(builtIn->ChildCount(), 0) << "built-in sheets are never written";
}

TEST(UseEmbeddedSheet, RegistersOnlyUnknownKeysAndTheMapKeepsTheRest) {
    TStyleManager manager;
    SetUpBuiltInStyles(manager);
    const int builtIns = manager.SheetCount();
    const auto sheetWithKey = [&](const std::string& key) {
        auto sheet = std::make_unique<TCustomStyleSheet>(manager);
        sheet->SetKey(key);
        return sheet;
    };
    TMindMap first;
    TStyleSheet& registered = UseEmbeddedSheet(first, sheetWithKey("Shared look"), manager);
    EXPECT_EQ(manager.SheetCount(), builtIns + 1);
    EXPECT_EQ(manager.FindSheet("shared LOOK"), &registered);
    EXPECT_EQ(first.StyleSheet(), &registered);

    TMindMap second;
    TStyleSheet& own = UseEmbeddedSheet(second, sheetWithKey("Shared look"), manager);
    EXPECT_NE(&own, &registered);
    EXPECT_EQ(second.StyleSheet(), &own);
    EXPECT_EQ(manager.SheetCount(), builtIns + 1) << "the registry keeps the first sheet of a key";

    TMindMap third;
    TStyleSheet& builtInKey = UseEmbeddedSheet(third, sheetWithKey("system.bright-palette"), manager);
    EXPECT_TRUE(builtInKey.IsCustomSheet()) << "a document never takes a built-in sheet for its own";
    TStyleSheet& unnamed = UseEmbeddedSheet(third, sheetWithKey(""), manager);
    EXPECT_EQ(third.StyleSheet(), &unnamed);
    EXPECT_EQ(manager.SheetCount(), builtIns + 1) << "sheets without key are not registered";

    // the map lets its own sheet go when it takes another one
    third.SetStyleSheet(manager.DefaultSheet());
    EXPECT_EQ(third.StyleSheet(), manager.DefaultSheet());
}

// Two documents whose embedded sheets share a key are each drawn with their own colours.
TEST(EmbeddedSheets, DocumentsSharingASheetKeyKeepTheirOwnColours) {
    const std::string key = "test.shared-key-look";
    TMindMap red, blue;
    red.LoadFromText(DocumentWithSheet(kTwoTopics, SimpleSheet(key, 0xFFEEEE, 0xCC0000, 0xFF8080)), "", true, 0);
    blue.LoadFromText(DocumentWithSheet(kTwoTopics, SimpleSheet(key, 0xEEEEFF, 0x0000CC, 0x8080FF)), "", true, 0);
    ASSERT_NE(red.StyleSheet(), nullptr);
    ASSERT_NE(blue.StyleSheet(), nullptr);
    EXPECT_NE(red.StyleSheet(), blue.StyleSheet());
    EXPECT_EQ(StyleManager().FindSheet(key), red.StyleSheet()) << "the first sheet of the key is registered";

    EXPECT_EQ(red.TopicAt(0)->ResolvedFill, RGBColor(0xCC, 0, 0));
    EXPECT_EQ(red.TopicAt(1)->ResolvedFill, RGBColor(0xFF, 0x80, 0x80));
    EXPECT_EQ(blue.TopicAt(0)->ResolvedFill, RGBColor(0, 0, 0xCC));
    EXPECT_EQ(blue.TopicAt(1)->ResolvedFill, RGBColor(0x80, 0x80, 0xFF));

    const TPicture redPicture = RenderMapBitmap(red, false);
    const TPicture bluePicture = RenderMapBitmap(blue, false);
    const auto corner = [](const TPicture& picture) {
        cairo_surface_flush(picture.Surface());
        return *reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(picture.Surface())) & 0xFFFFFF;
    };
    EXPECT_EQ(corner(redPicture), 0xFFEEEEu);
    EXPECT_EQ(corner(bluePicture), 0xEEEEFFu);

    // reading the blue document again into the red map gives the blue look, and the red sheet stays registered
    TStyleSheet* registered = red.StyleSheet();
    red.LoadFromText(DocumentWithSheet(kTwoTopics, SimpleSheet(key, 0xEEEEFF, 0x0000CC, 0x8080FF)), "", true, 0);
    EXPECT_EQ(red.TopicAt(0)->ResolvedFill, RGBColor(0, 0, 0xCC));
    EXPECT_EQ(StyleManager().FindSheet(key), registered);
}

TEST(EmbeddedSheets, AnEmbeddedSheetNamedLikeABuiltInOneIsTheDocumentsOwn) {
    TMindMap map;
    map.LoadFromText(DocumentWithSheet(kTwoTopics, SimpleSheet("system.bright-palette", 0x203040, 0x112233, 0x445566),
                                       "system.gray-scale"),
                     "", true, 0);
    ASSERT_NE(map.StyleSheet(), nullptr);
    EXPECT_TRUE(map.StyleSheet()->IsCustomSheet());
    EXPECT_EQ(map.TopicAt(0)->ResolvedFill, RGBColor(0x11, 0x22, 0x33));
    EXPECT_EQ(map.SheetStyle().BackgroundColor(), RGBColor(0x20, 0x30, 0x40));
    EXPECT_FALSE(StyleManager().FindSheet("system.bright-palette")->IsCustomSheet());

    // a document without embedded sheet read into the same map gets its registered sheet again
    map.LoadFromText(NativeDocument(kTwoTopics, R"(<style key="system.gray-scale"/>)"), "", true, 0);
    EXPECT_EQ(map.StyleSheet(), StyleManager().FindSheet("system.gray-scale"));
}

TEST(EmbeddedSheets, AnyStylesheetElementIsTheDocumentsOwnAndWithoutOneTheKeyDecides) {
    TMindMap map;
    map.LoadFromText(DocumentWithSheet(kTwoTopics, "<stylesheet>text only</stylesheet>", "system.gray-scale"), "", true,
                     0);
    ASSERT_NE(map.StyleSheet(), nullptr);
    // an element without any settings still makes a (plain) sheet: the document said it has its own look
    EXPECT_TRUE(map.StyleSheet()->IsCustomSheet());
    map.LoadFromText(DocumentWithSheet(kTwoTopics, "", "system.gray-scale"), "", true, 0);
    EXPECT_EQ(map.StyleSheet(), StyleManager().FindSheet("system.gray-scale"));
}

TEST(EmbeddedSheets, ADocumentWithItsOwnLookRendersInItsColours) {
    const std::string topics = R"(<topic id="0" text="Own look" x="0" y="0"/>)"
                               R"(<topic id="1" parent="0" text="Level one" x="200" y="-60"/>)"
                               R"(<topic id="2" parent="0" text="Also one" x="200" y="60"/>)"
                               R"(<topic id="3" parent="1" text="Level two" x="380" y="-60"/>)";
    const std::string sheet = R"(<stylesheet><general description="test.golden-look" levelbased="True">)" +
                              Color("bkgnd-color", 32, 40, 56) + Color("font-color", 240, 240, 240) +
                              R"(</general><style has-levels="True"><topics><levels>)"
                              R"(<level borderstyle="sbsEllipse"/><level borderstyle="sbsRectangle"/>)"
                              R"(<level borderstyle="sbsRoundRect"/></levels></topics><relations>)"
                              R"(<hierarchical-relations line-style="penSolidThick"/></relations></style><palette>)"
                              "<item>" +
                              Color("fill-color", 255, 193, 7) + Color("stroke-color", 255, 255, 255) +
                              "</item><item>" + Color("fill-color", 0, 150, 136) + "</item><item>" +
                              Color("fill-color", 233, 30, 99) + "</item></palette></stylesheet>";
    TMindMap map;
    map.LoadFromText(DocumentWithSheet(topics, sheet), "", true, 0);
    const TPicture picture = RenderMapBitmap(map, false);
    ExpectMatchesGolden(picture.Surface(), "embedded_sheet");
}

TEST(EmbeddedSheets, TheSheetsPatternIsTheBackgroundAndItsMeanDecidesColours) {
    const std::string topics = R"(<topic id="0" text="On wood" x="0" y="0"/>)"
                               R"(<topic id="1" parent="0" text="Branch" x="220" y="-50"/>)"
                               R"(<topic id="2" parent="0" text="Another" x="220" y="50"/>)";
    const std::string sheet =
        R"(<stylesheet><general description="test.wood-look" background-pattern=".system.wood">)" +
        Color("bkgnd-color", 255, 255, 255) + "</general><palette><item>" + Color("fill-color", 121, 85, 72) +
        "</item><item>" + Color("fill-color", 255, 248, 225) + "</item></palette></stylesheet>";
    TMindMap map;
    map.LoadFromText(DocumentWithSheet(topics, sheet), "", true, 0);
    EXPECT_EQ(map.MapStyle().BackgroundPattern(), FindPattern(".system.wood"));
    EXPECT_TRUE(map.MapStyle().HasPatternBackground());
    EXPECT_EQ(map.MapStyle().EffectiveBackgroundColor(), RGBColor(244, 210, 157));
    const TPicture picture = RenderMapBitmap(map, false);
    ExpectMatchesGolden(picture.Surface(), "embedded_sheet_pattern");
}

TEST(TCustomStyleSheet, DeletesOnlyAStorageFileItHas) {
    TCustomStyleSheet sheet(StyleManager());
    EXPECT_TRUE(sheet.DeleteStorage()) << "sheets read from documents have nothing to delete";
    TTempDir folder;
    const std::string path = folder.Write("look.cvstyle", "<stylesheet/>");
    sheet.SetStoragePath(path);
    EXPECT_TRUE(sheet.DeleteStorage());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(sheet.DeleteStorage()) << "a file that is gone already";
    sheet.Rebuild();
    EXPECT_EQ(sheet.GetDisplayName(), "") << "rebuilding changes nothing";
}
