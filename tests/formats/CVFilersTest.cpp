#include "formats/CVFilers.h"

#include "formats/NonNativeFilers.h"
#include "formats/XMLFilers.h"
#include "styling/CVStyleManager.h"
#include "styling/CVStyles.h"

#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Reads the document into a fresh map; errors are passed on.
std::unique_ptr<TMindMap> Load(const std::string& text) {
    auto map = std::make_unique<TMindMap>();
    map->LoadFromText(text, "", true, 0);
    return map;
}

TMindMapNode* TopicByText(TMindMap& map, const std::string& text) {
    for (int i = 0; i < map.TopicCount(); ++i)
        if (map.TopicAt(i)->Text() == text)
            return map.TopicAt(i);
    return nullptr;
}

} // namespace

TEST(TCvmxMindMapReader, RootDoctypeAndVersionDecideWhetherTheDocumentIsRead) {
    const std::string topic = R"(<topic id="0" text="A"/>)";
    struct TCase {
        std::string Text;
        bool Read;
    };
    const std::string noDoctype =
        R"(<corvella-mindmaps doc-version="1"><mindmap><topics>)" + topic + "</topics></mindmap></corvella-mindmaps>";
    const std::string touchWithoutDoctype = R"(<corvella-mindmaps doc-version="3" generator="CorvellaTouch">)"
                                            "<mindmap><topics>" +
                                            topic + "</topics></mindmap></corvella-mindmaps>";
    const TCase cases[] = {
        {NativeDocument(topic, "", R"(doc-version="1")"), true},
        {noDoctype, false},
        {touchWithoutDoctype, true},
        {"<!DOCTYPE corvella-mindmaps><other><mindmap><topics>" + topic + "</topics></mindmap></other>", false},
        {"<!DOCTYPE corvella-mindmaps><corvella-mindmaps/>", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        auto map = Load(c.Text);
        EXPECT_TRUE(map->HasDocument());
        EXPECT_EQ(map->ReadAborted(), !c.Read);
        EXPECT_EQ(map->TopicCount(), c.Read ? 1 : 0);
    }
}

TEST(TCvmxMindMapReader, OlderMacDocumentsAreScaled) {
    auto map = Load(NativeDocument(R"(<topic id="0" x="300" y="-30"/>)", R"(<scrollstate zoom="150" x="5" y="6"/>)",
                                   R"(doc-version="2" generator="CorvellaOSX")"));
    EXPECT_DOUBLE_EQ(map->TopicAt(0)->GetPosition().X, 400);
    EXPECT_DOUBLE_EQ(map->TopicAt(0)->GetPosition().Y, -40);
    EXPECT_FALSE(map->GetViewState().Valid); // the scroll state of other generators is not used
}

TEST(TCvmxMindMapReader, ScrollStateRoundsHalvesToEven) {
    auto map = Load(NativeDocument(R"(<topic id="0"/>)", R"(<scrollstate zoom="150" x="2.5" y="-3.5"/>)"));
    const TViewState state = map->GetViewState();
    EXPECT_TRUE(state.Valid);
    EXPECT_EQ(state.Zoom, 150);
    EXPECT_EQ(state.X, 2);
    EXPECT_EQ(state.Y, -4);
    auto invalid = Load(NativeDocument(R"(<topic id="0"/>)", R"(<scrollstate x="nan" y="1"/>)"));
    EXPECT_FALSE(invalid->GetViewState().Valid);
}

TEST(TCvmxMindMapReader, TopicTextIsUnescapedFromVersionTwoOn) {
    struct TCase {
        const char* Version;
        const char* Attribute;
        const char* Text;
    };
    const TCase cases[] = {
        {"3", R"(a\Nb)", "a\rb"},
        {"1", R"(a\Nb)", R"(a\Nb)"},
        {"3", R"(a\\b\)", R"(a\b\)"},
        {"3", R"(a\Lb\qc)", "a\nbqc"},
        {"3", "&amp;lt;tag&amp;gt;", "<tag>"}, // escaped once more than the XML needs
        {"3", "&amp;amp;lt;", "&lt;"},         // a literal "&lt;" of the user survives
        {"3", "&#x65e5;&#x672c;", "\xE6\x97\xA5\xE6\x9C\xAC"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Attribute);
        auto map = Load(NativeDocument(std::string(R"(<topic id="0" text=")") + c.Attribute + "\"/>", "",
                                       std::string("doc-version=\"") + c.Version + "\""));
        ASSERT_EQ(map->TopicCount(), 1);
        EXPECT_EQ(map->TopicAt(0)->Text(), c.Text);
    }
    EXPECT_EQ(EscapeTopicText("a\r\nb\nc\\"), R"(a\Nb\Nc\\)");
    EXPECT_EQ(UnescapeTopicText(EscapeTopicText("x\ry\\z")), "x\ry\\z");
}

TEST(TCvmxMindMapReader, CheckBoxesProgressAndDates) {
    auto map = Load(NativeDocument(R"(<topic id="0" text="root"/>)"
                                   R"(<topic id="1" parent="0" text="p" checkbox-mode="progress"/>)"
                                   R"(<topic id="2" parent="0" text="old" checkbox="True" checked="True"/>)"
                                   R"(<topic id="3" parent="0" text="q" checkbox-mode="progress" progress="150"/>)"
                                   R"(<topic id="4" parent="0" text="feb" date="31-02-2023"/>)"
                                   R"(<topic id="5" parent="0" text="nov" date="05-11-2023"/>)"
                                   R"(<topic id="6" parent="0" text="four" date="05-11-2023-1"/>)"));
    const TMindMapNode* p = TopicByText(*map, "p");
    EXPECT_EQ(p->CheckboxMode(), cbmProgress);
    EXPECT_EQ(p->Progress(), 0);
    const TMindMapNode* old = TopicByText(*map, "old");
    EXPECT_EQ(old->CheckboxMode(), cbmCheckbox);
    EXPECT_EQ(old->Progress(), 100);
    EXPECT_EQ(TopicByText(*map, "q")->Progress(), 100);
    EXPECT_FALSE(TopicByText(*map, "feb")->HasDate());
    EXPECT_FALSE(TopicByText(*map, "four")->HasDate());
    const TMindMapNode* nov = TopicByText(*map, "nov");
    ASSERT_TRUE(nov->HasDate());
    EXPECT_DOUBLE_EQ(nov->Date(), 45235); // days since 1899-12-30
    EXPECT_EQ(FormatDocumentDate(nov->Date()), "05-11-2023");
    EXPECT_FALSE(nov->DateText().empty());
}

TEST(TCvmxMindMapReader, OlderLayoutAttributesAreConverted) {
    struct TCase {
        const char* Attributes;
        TNestedLayoutMode Mode;
        TLayoutDirection Direction;
        TLayoutFlow Flow;
    };
    const TCase cases[] = {
        {R"(layout="list" layout-direction="top-rtl")", nlmList, ldTop, lfRtl},
        {R"(layout="list" layout-direction="left")", nlmList, ldAuto, lfRtl},
        {R"(layout="top-down")", nlmTopDown, ldAuto, lfAuto},
        {R"(layout="top-down" layout-direction="bottom-rtl")", nlmTopDown, ldAuto, lfRtl},
        {R"(layout="h-linear" layout-direction="right")", nlmHLinear, ldAlternating, lfAuto},
        {R"(layout="h-linear" layout-direction="bottom")", nlmHLinear, ldBottom, lfRtl},
        {R"(layout="strict-vertical" layout-direction="top")", nlmStrictVertical, ldTop, lfDefault},
        {R"(layout="matrix")", nlmMatrix, ldBottom, lfAuto},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Attributes);
        auto map = Load(NativeDocument(std::string(R"(<topic id="0" )") + c.Attributes + "/>"));
        const TLayoutOptions* options = map->TopicAt(0)->LayoutOptions();
        ASSERT_NE(options, nullptr);
        EXPECT_EQ(options->Mode, c.Mode);
        EXPECT_EQ(options->Direction, c.Direction);
        EXPECT_EQ(options->Flow, c.Flow);
    }
    auto free = Load(NativeDocument(R"(<topic id="0" layout="free" layout-direction="left"/>)"));
    EXPECT_EQ(free->TopicAt(0)->LayoutOptions(), nullptr);
    auto child = Load(NativeDocument(R"(<topic id="0"><layout mode="RADIAL" direction="auto-cw"/></topic>)"));
    ASSERT_NE(child->TopicAt(0)->LayoutOptions(), nullptr);
    EXPECT_EQ(child->TopicAt(0)->LayoutOptions()->Mode, nlmRadial);
    EXPECT_EQ(child->TopicAt(0)->LayoutOptions()->Direction, ldAutoCW);
}

TEST(TCvmxMindMapReader, ParentsAreFoundByIdAndNeverFormACycle) {
    auto map = Load(NativeDocument(R"(<topic id="10" parent="-1" text="root"/>)"
                                   R"(<topic id="11" parent="10" text="child"/>)"
                                   R"(<topic id="12" parent="99" text="orphan"/>)"
                                   R"(<topic id="13" parent="13" text="self"/>)"
                                   R"(<topic id="14" parent="15" text="a"/>)"
                                   R"(<topic id="15" parent="16" text="b"/>)"
                                   R"(<topic id="16" parent="14" text="c"/>)"
                                   R"(<topic id="10" parent="11" text="duplicate id"/>)"));
    ASSERT_EQ(map->TopicCount(), 8);
    EXPECT_EQ(TopicByText(*map, "child")->Parent(), TopicByText(*map, "root"));
    EXPECT_EQ(TopicByText(*map, "orphan")->Parent(), nullptr);
    EXPECT_EQ(TopicByText(*map, "self")->Parent(), nullptr);
    EXPECT_EQ(TopicByText(*map, "duplicate id")->Parent(), TopicByText(*map, "child"));
    // the ring a -> b -> c -> a is broken at one place, and the rest hangs together
    int ringRoots = 0;
    for (const char* name : {"a", "b", "c"})
        ringRoots += TopicByText(*map, name)->Parent() == nullptr;
    EXPECT_EQ(ringRoots, 1);
    // every topic is reached exactly once from the central themes
    std::vector<TMindMapNode*> all;
    for (TMindMapNode* theme : map->CentralThemes())
        theme->CollectBranch(all);
    EXPECT_EQ(all.size(), 8u);
    EXPECT_EQ(map->CentralThemeCount(), 4);
}

TEST(TCvmxMindMapReader, SelectionFallsBackToTheMainCentralTheme) {
    const std::string topics = R"(<topic id="0" text="first"/><topic id="1" text="second"/>)"
                               R"(<topic id="2" parent="1" text="leaf" guid="G2"/>)";
    auto map = Load(NativeDocument(topics, R"(<selection guid="nothing" id="-1"/>)"));
    EXPECT_EQ(map->SelectedTopic(), TopicByText(*map, "first"));
    EXPECT_EQ(map->MainCentralTheme(), TopicByText(*map, "first"));

    auto byGuid = Load(NativeDocument(topics, R"(<selection guid="G2"/><main-centraltheme id="1"/>)"));
    EXPECT_EQ(byGuid->SelectedTopic(), TopicByText(*byGuid, "leaf"));
    EXPECT_EQ(byGuid->MainCentralTheme(), TopicByText(*byGuid, "second"));

    auto relation = Load(NativeDocument(topics, R"(<selection type="parent-relation" id="2"/>)"));
    ASSERT_EQ(relation->SelectionKind(), ekParentRelation);
    EXPECT_EQ(&static_cast<TParentRelation*>(relation->SelectedElement())->Topic(), TopicByText(*relation, "leaf"));

    // a main central theme that is no central theme is refused
    auto notTheme = Load(NativeDocument(topics, R"(<main-centraltheme id="2"/>)"));
    EXPECT_EQ(notTheme->MainCentralTheme(), TopicByText(*notTheme, "first"));
}

TEST(TCvmxMindMapReader, MetaAttributesNotesAndFlags) {
    auto map = Load(NativeDocument(
        R"(<topic id="0" text="root" hidden="True" palette="-1"><note>  Line one&#xD;&#xA;line two  </note></topic>)"
        R"(<topic id="1" parent="0" text="leaf" collapsed="True" hidden="yes" colorinfo="3" x="nan" y="inf"/>)",
        R"(<guid guid="bad/guid"/><title customized="True" text="My\Ntitle"/><auto-numbering style="Inside"/>)"
        R"(<auto-roll-up enabled="T"/><style key="k"><mindmap natural-paths="True" background-pattern="nil">)"
        R"(<backgroundcolor r="255" g="0" b="16"/><checkbox-color none="True"/></mindmap></style>)"));
    const TMindMapNode* root = TopicByText(*map, "root");
    const TMindMapNode* leaf = TopicByText(*map, "leaf");
    EXPECT_FALSE(root->Hidden()); // central themes are never hidden
    EXPECT_TRUE(leaf->Hidden());
    EXPECT_TRUE(leaf->Collapsed()); // a leaf read as collapsed keeps the flag
    EXPECT_EQ(leaf->PaletteIndex(), 3);
    EXPECT_EQ(leaf->GetPosition().X, 0);
    EXPECT_EQ(leaf->GetPosition().Y, 0);
    EXPECT_EQ(root->Note(), "Line one\rline two");
    EXPECT_EQ(root->NoteFormat(), tfPlain);
    EXPECT_EQ(map->Title(), "My title");
    EXPECT_EQ(map->AutoNumbering(), anInside);
    EXPECT_TRUE(map->AutoRollUp());
    EXPECT_EQ(map->Info().Guid.size(), 32u); // an invalid document guid is replaced
    EXPECT_EQ(map->Info().StorageName, map->Info().Guid);
    const TMindMapStyle& style = map->MapStyle();
    EXPECT_TRUE(style.IsOverridden(0));
    EXPECT_EQ(style.ConnectionStyle(), csBaseline);
    EXPECT_TRUE(style.HasOverride(msoBackgroundColor));
    EXPECT_EQ(style.BackgroundColor(), 0x1000FFu);
    EXPECT_TRUE(style.HasOverride(msoBackgroundPattern));
    EXPECT_EQ(map->BackgroundPatternName(), "");
    EXPECT_TRUE(style.HasOverride(msoCheckboxColor));
    EXPECT_EQ(style.CheckboxColor(), clNone);
    EXPECT_FALSE(style.HasOverride(msoNoteIndicatorColor));
}

TEST(TCvmxMindMapReader, OlderDocumentsKeepTopicColoursOnTheTopic) {
    auto map =
        Load(NativeDocument(R"(<topic id="0" colorinfo="-1"><fillcolor r="10" g="20" b="30"/>)"
                            R"(<strokecolor none="True"/></topic>)"
                            R"(<topic id="1" parent="0" palette="2"><fillcolor r="10" g="20" b="30"/></topic>)"));
    const TNodeStyle& old = map->TopicAt(0)->Style();
    EXPECT_EQ(old.FillColor(), RGBColor(10, 20, 30));
    EXPECT_EQ(old.StrokeColor(), clNone);
    EXPECT_TRUE(old.HasOverride(nsoFillColor | nsoStrokeColor));
    EXPECT_FALSE(map->TopicAt(1)->Style().HasOverride(nsoFillColor)); // only with the palette value -1
    EXPECT_EQ(map->TopicAt(1)->PaletteIndex(), 2);
}

TEST(TCvmxMindMapReader, NumbersReadTheSameUnderADecimalCommaLocale) {
    TGermanLocale german;
    ASSERT_TRUE(german.Active()) << "the de_DE.UTF-8 locale is missing";
    auto map = Load(NativeDocument(R"(<topic id="0" x="12.75" y="-0.5"/>)"));
    EXPECT_DOUBLE_EQ(map->TopicAt(0)->GetPosition().X, 12.75);
    EXPECT_DOUBLE_EQ(map->TopicAt(0)->GetPosition().Y, -0.5);
}

TEST(TCvmxMindMapReader, SyntaxErrorsLeaveAnEmptyMapWithoutDocument) {
    TMindMap map;
    map.LoadFromText(NativeDocument(R"(<topic id="0" text="keep"/>)"), "", true, 0);
    ASSERT_EQ(map.TopicCount(), 1);
    EXPECT_THAT([&] { map.LoadFromText("<a>\n  <b>\n</a>", "x.cvmx", true, 0); },
                testing::ThrowsMessage<EOXXMLException>(testing::StartsWith("Error Element start b")));
    EXPECT_EQ(map.TopicCount(), 0);
    EXPECT_FALSE(map.HasDocument());
    EXPECT_EQ(map.Info().StorageName, "");
}

TEST(TCvmxMindMapReader, AnEmptyTextIsAnEmptyDocument) {
    auto map = Load("");
    EXPECT_TRUE(map->HasDocument());
    EXPECT_FALSE(map->ReadAborted());
    EXPECT_EQ(map->TopicCount(), 0);
    EXPECT_EQ(map->DocumentTitle(), "Empty Mind Map");
}

TEST(TCvmxMindMapReader, AHundredThousandTopicChainReadsWithoutRecursion) {
    constexpr int kDepth = 100000;
    std::string topics;
    topics.reserve(kDepth * 40);
    for (int i = 0; i < kDepth; ++i)
        topics += "<topic id=\"" + std::to_string(i) + "\" parent=\"" + std::to_string(i - 1) + "\" text=\"t" +
                  std::to_string(i) + "\"/>";
    auto map = Load(NativeDocument(topics, R"(<auto-numbering style="inside"/>)"));
    ASSERT_EQ(map->TopicCount(), kDepth);
    EXPECT_EQ(map->CentralThemeCount(), 1);
    EXPECT_EQ(map->TopicAt(kDepth - 1)->Level(), kDepth - 1);
    EXPECT_EQ(map->TopicAt(3)->NumberLabel(), "1.1.1");
    // the outline of such a map would be quadratic in size and is refused rather than written
    TPlainTextExporter exporter(*map);
    EXPECT_THROW(exporter.Write(false), ECVException);
    map->Clear(); // frees the chain without recursion
    EXPECT_EQ(map->TopicCount(), 0);
}

TEST(TCvmxMindMapReader, CrossLinksNeedTwoDifferentKnownEnds) {
    const std::string topics = R"(<topic id="0" text="a"/><topic id="1" parent="0" text="b"/>)";
    const std::string relations = R"(<relation source="0" target="1" guid="L1" asHierarchy="True">)"
                                  R"(<style line-style="PENTAPERED" line-width="0" path-style="ortho"/>)"
                                  R"(<path><custom-point x="30" y="-12.5"/></path>)"
                                  R"(<children><text y="5"><note>on the line</note></text></children></relation>)"
                                  R"(<relation source="0" target="7"/><relation source="1" target="1"/>)"
                                  R"(<relation source="1" target="0"><style line-width="1.5"/></relation>)";
    const std::string text = NativeDocument(topics, "", R"(doc-version="3" generator="CorvellaOSX")");
    const std::string withRelations = text.substr(0, text.find("</mindmap>")) + "<relations>" + relations +
                                      "</relations>" + text.substr(text.find("</mindmap>"));
    auto map = Load(withRelations);
    ASSERT_EQ(map->RelationCount(), 2);
    const TCrossLink* link = map->RelationAt(0);
    EXPECT_EQ(link->StoredGuid(), "L1");
    EXPECT_TRUE(link->AsHierarchy());
    EXPECT_EQ(link->Style().LineStyle(), penTapered);
    EXPECT_FALSE(link->Style().Overrides() & rsoLineWidth); // a width of 0 stays inherited
    EXPECT_EQ(link->Style().PathStyle(), rpsOrtho);
    EXPECT_TRUE(link->HasHandle());
    EXPECT_EQ(link->Path().HandleOffset, (TFloatPoint{30, -12.5})); // handles are not scaled
    ASSERT_EQ(link->ContainedCount(), 1);
    EXPECT_DOUBLE_EQ(link->ContainedAt(0)->Offset().Y, 5 * 4.0 / 3.0);
    EXPECT_FLOAT_EQ(map->RelationAt(1)->Style().LineWidth(), 1.5f);
}

TEST(TCvmxMindMapReader, ImagesTextsAndTopicStylesAreRead) {
    auto map = Load(NativeDocument(
        R"(<topic id="0" text="root"><style borderstyle="SBSELLIPSE" borderwidth="x"><fillcolor r="1" g="1" b="1"/>)"
        R"(<font bold="True" scale="1.5"/></style>)"
        R"(<children><image name="shown" scale="2" clip="square" position-locked="True" guid="I1">)"
        R"(<link urllink="images://key"/></image><text x="3"><note textfmt="rtf1">a \*bold\* word</note>)"
        R"(<style callout="tapered"/></text></children></topic>)"
        R"(<topic id="1" parent="0" text="\\*rich\\* text" textfmt="rtf1"><style><fillcolor r="9" g="9" b="9"/></style>)"
        R"(<images><image name="old"/></images></topic>)"));
    const TMindMapNode* root = map->TopicAt(0);
    const TNodeStyle& style = root->Style();
    EXPECT_EQ(style.BorderStyle(), sbsEllipse);
    EXPECT_DOUBLE_EQ(style.BorderWidth(), 1); // present but no number
    EXPECT_EQ(style.FontStyle(), fsBold);
    EXPECT_FLOAT_EQ(style.FontScale(), 1.5f);
    ASSERT_EQ(root->ContainedCount(), 2);
    const auto* image = static_cast<const TMindMapImage*>(root->ContainedAt(0));
    EXPECT_EQ(image->Name(), "key"); // the older form kept the key in the link
    EXPECT_EQ(image->Thumbnail(), "shown");
    EXPECT_EQ(image->Link(), "");
    EXPECT_EQ(image->Clip(), clsSquare);
    EXPECT_TRUE(image->PositionLocked());
    EXPECT_EQ(image->StoredGuid(), "I1");
    const auto* label = static_cast<const TMindMapText*>(root->ContainedAt(1));
    EXPECT_EQ(label->Offset(), (TFloatPoint{3, -50})); // without "y" a text sits 50 units above
    EXPECT_EQ(label->PlainText(), "a bold word");
    EXPECT_EQ(label->Style().Callout(), cstTapered);
    // a style element replaces every override the topic had
    const TMindMapNode* child = map->TopicAt(1);
    EXPECT_TRUE(child->Style().HasOverride(nsoFillColor));
    EXPECT_EQ(child->Style().Overrides(), static_cast<std::uint32_t>(nsoFillColor));
    EXPECT_EQ(child->PlainText(), "rich text");
    ASSERT_EQ(child->ContainedCount(), 1); // the older image list, read when there are no children
    EXPECT_EQ(static_cast<const TMindMapImage*>(child->ContainedAt(0))->Name(), "old");
}

TEST(TCvmxMindMapReader, GroupsAndDocumentStyles) {
    const std::string text = NativeDocument(
        R"(<topic id="0"/><topic id="1" parent="0"/>)",
        R"(<style key="k"><topics><font italic="True"/><fillcolor r="5" g="5" b="5"/></topics>)"
        R"(<relations><hierarchical-relations line-style="penDouble"/></relations><texts><font bold="True"/></texts>)"
        R"(</style>)");
    const std::string groups = R"(<node-groups><node-group><style borderstyle="cloud" padding="99"/>)"
                               R"(<topics><topic id="1"/><topic id="5"/></topics></node-group>)"
                               R"(<node-group guid="G"><topics><topic id="8"/></topics></node-group></node-groups>)";
    auto map = Load(text.substr(0, text.find("</mindmap>")) + groups + text.substr(text.find("</mindmap>")));
    ASSERT_EQ(map->GroupCount(), 1); // a group without any known member is dropped
    const TNodeGroup* group = map->GroupAt(0);
    EXPECT_EQ(group->MemberCount(), 1);
    EXPECT_EQ(group->StoredGuid().size(), 22u); // made while reading
    EXPECT_FALSE(map->Modified());
    EXPECT_EQ(group->Style().BorderStyle(), gbsCloud);
    EXPECT_EQ(group->Style().Padding(), 20);
    const TMindMapStyle& style = map->MapStyle();
    EXPECT_TRUE(style.NodeStyle().HasOverride(nsoFillColor));
    EXPECT_FALSE(style.NodeStyle().HasOverride(nsoFont)); // fonts never come from the document
    EXPECT_FALSE(style.TextStyle().HasOverride(tsoFont));
    EXPECT_EQ(map->TopicAt(1)->ParentRelation().Style().LineStyle(), penDouble);
}

TEST(TCvmxMindMapReader, LeveledStyleBlocks) {
    TXMLDocument document;
    TXMLFiler::LoadFromString(
        R"(<block has-levels="True"><mindmap connection-style="left-right"/><topics><levels>)"
        R"(<level borderstyle="sbsCircle"/><level borderstyle="sbsRectangle"><font bold="True"/></level></levels>)"
        R"(</topics><relations><cross-links line-style="penDashedThin"/><hierarchical-relations line-style="penDouble"/>)"
        R"(</relations></block>)",
        document);
    TLeveledMindMapStyle sheet;
    int attributes = 0;
    EXPECT_TRUE(ReadLeveledStyleBlock(*document.RootElement(), sheet, [&](const TXMLElement&) { ++attributes; }));
    EXPECT_EQ(attributes, 1);
    ASSERT_EQ(sheet.NodeStyle().LevelCount(), 2);
    EXPECT_EQ(sheet.NodeStyle().LevelStyle(0).BorderStyle(), sbsCircle);
    EXPECT_EQ(sheet.NodeStyle().LevelStyle(1).FontStyle(), fsBold); // leveled blocks keep their fonts
    EXPECT_EQ(sheet.CrossLinkStyle().LineStyle(), penDashedThin);
    EXPECT_EQ(sheet.RelationStyle().LevelStyle(0).LineStyle(), penDouble);
}

TEST(TCvmxMindMapReader, TheDocumentsSheetAppliesItselfAndStoredWrapWidthsAreApplied) {
    const std::string longText = "one two three four five six seven eight nine ten eleven twelve";
    auto map = Load(
        NativeDocument(R"(<topic id="0" text="root"/><topic id="1" parent="0" wrap="80" text=")" + longText + R"("/>)",
                       R"(<style key="SYSTEM.GRAY-SCALE"/>)"));
    ASSERT_NE(map->StyleSheet(), nullptr);
    EXPECT_EQ(map->StyleSheet()->Key(), "system.gray-scale");
    // the sheet's level styles reach the topics through the document's copy
    EXPECT_EQ(map->TopicAt(1)->Style().BorderStyle(), map->StyleSheet()->NodeStyle().LevelStyle(1).BorderStyle());
    const TMindMapNode* wrapped = map->TopicAt(1);
    EXPECT_EQ(wrapped->WrapWidth(), -1); // applied once
    EXPECT_NE(wrapped->Text().find('\r'), std::string::npos);
    std::string joined = wrapped->Text();
    std::replace(joined.begin(), joined.end(), '\r', ' ');
    EXPECT_EQ(joined, longText); // only line breaks were added

    auto unknown = Load(NativeDocument(R"(<topic id="0"/>)", R"(<style key="no.such.sheet"/>)"));
    EXPECT_EQ(unknown->StyleSheet(), StyleManager().DefaultSheet());
    auto none = Load(NativeDocument(R"(<topic id="0"/>)"));
    EXPECT_EQ(none->StyleSheet(), StyleManager().DefaultSheet());
}
