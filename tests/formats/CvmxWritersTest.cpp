#include "formats/CvmxWriters.h"

#include "formats/XMLFilers.h"
#include "model/NodeIcons.h"
#include "platform/CVStrings.h"
#include "styling/CVCustomStyles.h"
#include "styling/CVStyleManager.h"
#include "styling/CVStyles.h"

#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace {

std::unique_ptr<TMindMap> Load(const std::string& text) {
    auto map = std::make_unique<TMindMap>();
    map->LoadFromText(text, "", true, 0);
    return map;
}

std::string WriteNative(TMindMap& map) {
    TCvmxMindMapWriter writer(map);
    return writer.Write(false);
}

std::string Fixed(double value) {
    return Format("%.2f", value);
}

std::string ColorOf(TColor color) {
    return ColorText(color);
}

std::string DescribeRelationStyle(const TRelationStyle& style) {
    const std::uint8_t bits = style.Overrides();
    std::ostringstream out;
    out << "rel-style{" << int(bits);
    if (bits & rsoLineStyle)
        out << " line=" << RelationLineStyleName(style.LineStyle());
    if (bits & rsoLineWidth)
        out << " width=" << Fixed(style.LineWidth());
    if (bits & rsoPathStyle)
        out << " path=" << RelationPathStyleName(style.PathStyle());
    if (bits & rsoSourceArrow)
        out << " src=" << ArrowStyleName(style.SourceArrow());
    if (bits & rsoTargetArrow)
        out << " dst=" << ArrowStyleName(style.TargetArrow());
    if (bits & rsoColor)
        out << " color=" << ColorOf(style.Color());
    out << "}";
    return out.str();
}

std::string DescribeTopicStyle(const TNodeStyle& style) {
    const std::uint32_t bits = style.Overrides();
    std::ostringstream out;
    out << "style{" << bits;
    if (bits & nsoAlignment)
        out << " align=" << StyleAlignmentName(style.Alignment());
    if (bits & nsoFont)
        out << " font=" << int(style.FontStyle()) << "/" << style.FontScale();
    if (bits & nsoFillColor)
        out << " fill=" << ColorOf(style.FillColor());
    if (bits & nsoStrokeColor)
        out << " stroke=" << ColorOf(style.StrokeColor());
    if (bits & nsoTextColor)
        out << " text=" << ColorOf(style.TextColor());
    if (bits & nsoBorderStyle)
        out << " border=" << NodeBorderStyleName(style.BorderStyle());
    if (bits & nsoBorderWidth)
        out << " bw=" << Fixed(style.BorderWidth());
    if (bits & nsoStrokeStyle)
        out << " ss=" << StrokeStyleName(style.StrokeStyle());
    if (bits & nsoMinWidth)
        out << " minw=" << Fixed(style.MinWidth());
    if (bits & nsoMinHeight)
        out << " minh=" << Fixed(style.MinHeight());
    out << "}";
    return out.str();
}

std::string DescribeTextStyle(const TTextStyle& style) {
    const std::uint32_t bits = style.Overrides();
    std::ostringstream out;
    out << "text-style{" << bits;
    if (bits & tsoTextColor)
        out << " text=" << ColorOf(style.TextColor());
    if (bits & tsoFillColor)
        out << " fill=" << ColorOf(style.FillColor());
    if (bits & tsoAlignment)
        out << " align=" << StyleAlignmentName(style.Alignment());
    if (bits & tsoCallout)
        out << " callout=" << CalloutStyleName(style.Callout());
    if (bits & tsoFont)
        out << " font=" << int(style.FontStyle()) << "/" << style.FontScale();
    out << "}";
    return out.str();
}

std::string DescribeSource(const TImageSource* source) {
    if (!source)
        return "";
    return Format(" source=%d:%s:%s", int(source->Kind), source->Source.c_str(), source->Scribble.c_str());
}

std::string DescribeContained(const TCompositeElement& owner) {
    std::ostringstream out;
    for (int i = 0; i < owner.ContainedCount(); ++i) {
        const TContainedElement* element = owner.ContainedAt(i);
        out << "\n      ";
        if (element->ElementKind() == ekImage) {
            const auto& image = static_cast<const TMindMapImage&>(*element);
            out << "image guid=" << image.StoredGuid() << " name=" << image.Name() << " thumb=" << image.Thumbnail()
                << " at=" << Fixed(image.Offset().X) << "," << Fixed(image.Offset().Y) << " scale=" << image.Scale()
                << " locked=" << image.PositionLocked() << " clip=" << int(image.Clip()) << " link=" << image.Link()
                << DescribeSource(image.Source());
        } else {
            const auto& text = static_cast<const TMindMapText&>(*element);
            out << "text guid=" << text.StoredGuid() << " [" << text.Text() << "] fmt=" << int(text.TextFormat())
                << " at=" << Fixed(text.Offset().X) << "," << Fixed(text.Offset().Y) << " nested=" << text.Nested()
                << " " << DescribeTextStyle(text.Style());
        }
    }
    return out.str();
}

std::string DescribeRelation(const TMindMapRelation& relation) {
    std::ostringstream out;
    out << "guid=" << relation.StoredGuid() << " " << DescribeRelationStyle(relation.Style());
    if (relation.HasHandle())
        out << " handle=" << Fixed(relation.Path().HandleOffset.X) << "," << Fixed(relation.Path().HandleOffset.Y);
    out << DescribeContained(relation);
    return out.str();
}

std::string DescribeTopic(const TMindMapNode& topic) {
    std::ostringstream out;
    out << std::string(static_cast<std::size_t>(topic.Level()) * 2, ' ') << "[" << topic.Text() << "]"
        << " fmt=" << int(topic.TextFormat()) << " guid=" << topic.StoredGuid()
        << " at=" << Fixed(topic.GetPosition().X) << "," << Fixed(topic.GetPosition().Y);
    if (topic.HasNote())
        out << " note=[" << topic.Note() << "]/" << int(topic.NoteFormat());
    if (const TLayoutOptions* options = topic.LayoutOptions())
        out << " layout=" << LayoutModeName(options->Mode) << "/" << LayoutDirectionName(options->Direction) << "/"
            << LayoutFlowName(options->Flow);
    out << " " << DescribeTopicStyle(topic.Style()) << " palette=" << topic.PaletteIndex();
    if (const TNodeHullStyle* hull = topic.Hull())
        out << " hull=" << hull->HasFill << ColorOf(hull->FillColor);
    out << " flags=" << topic.Collapsed() << topic.OutlineCollapsed() << topic.Hidden();
    out << " check=" << int(topic.CheckboxMode()) << "/" << topic.Progress();
    if (topic.HasDate())
        out << " date=" << topic.Date();
    if (const TDiagramLink* link = topic.Link())
        out << " link=" << int(link->Kind()) << ":" << link->Target() << ":" << link->Element() << ":" << link->Native()
            << ":" << link->Bookmark() << ":" << link->Thumbnail();
    if (!topic.VoiceMemo().empty())
        out << " memo=" << topic.VoiceMemo();
    if (const TNodeIcon* icon = topic.Icon())
        out << " icon=" << icon->Name() << "/" << icon->Scale();
    if (const TEmbeddedImage* image = topic.EmbeddedImage())
        out << " embedded=" << image->Name() << "/" << image->Scale() << "/" << int(image->Clip()) << "/" << image->Link
            << DescribeSource(image->Source.get());
    out << "\n    parent-relation " << DescribeRelation(topic.ParentRelation());
    out << DescribeContained(topic);
    return out.str();
}

// Everything a document stores, in a stable order: what must survive writing and reading again.
std::string Describe(TMindMap& map) {
    std::ostringstream out;
    out << "title=" << map.Title() << " doc-title=" << map.DocumentTitle() << " guid=" << map.Info().Guid
        << " sheet=" << (map.StyleSheet() ? map.StyleSheet()->Key() : "") << " numbering=" << int(map.AutoNumbering())
        << " rollup=" << map.AutoRollUp();
    const TViewState state = map.GetViewState();
    out << " view=" << state.Zoom << "/" << state.Valid << "/" << state.X << "/" << state.Y;
    const TMindMapStyle& style = map.MapStyle();
    out << "\nmap-style " << int(style.Overrides()) << " " << int(style.ConnectionStyle()) << " "
        << ColorOf(style.BackgroundColor()) << " pattern=" << map.BackgroundPatternName() << " "
        << ColorOf(style.CheckboxColor()) << " " << ColorOf(style.NoteIndicatorColor()) << " "
        << DescribeTopicStyle(style.NodeStyle()) << " " << DescribeRelationStyle(style.CrossLinkStyle()) << " "
        << DescribeRelationStyle(style.RelationStyle()) << " " << DescribeTextStyle(style.TextStyle());
    out << "\nmain=" << (map.MainCentralTheme() ? map.MainCentralTheme()->Text() : "");
    std::vector<TMindMapNode*> topics;
    for (TMindMapNode* theme : map.CentralThemes())
        theme->CollectBranch(topics);
    for (const TMindMapNode* topic : topics)
        out << "\n" << DescribeTopic(*topic);
    for (int i = 0; i < map.RelationCount(); ++i) {
        const TCrossLink& link = *map.RelationAt(i);
        out << "\nlink " << link.Source()->Text() << " -> " << link.Target()->Text()
            << " hierarchy=" << link.AsHierarchy() << " " << DescribeRelation(link);
    }
    for (int i = 0; i < map.GroupCount(); ++i) {
        const TNodeGroup& group = *map.GroupAt(i);
        out << "\ngroup guid=" << group.StoredGuid();
        for (int k = 0; k < group.MemberCount(); ++k)
            out << " " << group.MemberAt(k)->Text();
        const TNodeGroupStyle& groupStyle = group.Style();
        out << " " << int(groupStyle.BorderStyle()) << "/" << Fixed(groupStyle.BorderWidth()) << "/"
            << int(groupStyle.StrokeStyle()) << "/" << ColorOf(groupStyle.FillColor()) << "/"
            << ColorOf(groupStyle.StrokeColor()) << "/" << groupStyle.Padding();
    }
    return out.str();
}

// A document that uses every part of the vocabulary.
const std::string kRichTopics =
    R"(<topic id="10" parent="-1" guid="g-root" x="10.126" y="-20.5" text="Root &amp;amp;lt;b&amp;amp;gt; \\ path\Nsecond" textfmt="plain">)"
    R"(<layout mode="free" direction="manual" flow="default"/>)"
    R"(<style align="left" borderstyle="sbsEllipse" borderwidth="3.5" strokestyle="dash-m" min-width="120" min-height="40">)"
    R"(<font bold="True" italic="True" scale="1.25"/><fillcolor r="10" g="20" b="30"/><textcolor none="True"/></style>)"
    R"(<hull visible="True"><fillcolor r="200" g="210" b="220"/></hull>)"
    R"(<note textfmt="rtf1">{\rtf1 a &lt;note&gt; &amp;amp; more}</note></topic>)"
    R"(<topic id="11" parent="10" x="200" y="-60.25" palette="3" text="Child *one*" icon="flag-red" collapsed="True" outline-collapsed="True">)"
    R"(<parent-relation guid="g-pr"><style line-style="penTapered" line-width="2.5" color=""><color r="1" g="2" b="3"/></style>)"
    R"(<path><custom-point x="5.5" y="-7.25"/></path>)"
    R"(<children><text guid="g-prtext" x="3" y="4"><note>on the line</note></text></children></parent-relation>)"
    R"(<embedded-image name="pic1" scale="1.875" clip="circle" link="https://example.org/pic"><source type="drawing" source="d1" scribble="s1"/></embedded-image>)"
    R"(<link cloudmapref="/maps/a.cvmx" element="e1" native="n1" bookmark="b1"/>)"
    R"(<voice-memo link="memo.m4a"/>)"
    R"(<children><image guid="g-img" name="pic2" thumbnail="thumb2" x="-12.5" y="7" scale="2.5" position-locked="True" clip="ellipse">)"
    R"(<link urllink="https://example.org/img"/><source type="cache" source="c1"/></image>)"
    R"(<text x="1" y="-50" nested="True"><note textfmt="plain">free&#xD;two lines</note>)"
    R"(<style align="right" callout="tapered"><textcolor r="9" g="8" b="7"/><font underline="True"/></style></text></children></topic>)"
    R"(<topic id="12" parent="11" x="300" y="-80" text="grand" checkbox-mode="progress" progress="40" date="05-11-2023">)"
    R"(<link phone-contact="+49 30 1234" thumbnail="face"/></topic>)"
    R"(<topic id="13" parent="11" x="300" y="-40" text="done" checkbox="True" checked="True"><link diagramref="other.cvmx" element="el"/></topic>)"
    R"(<topic id="14" parent="10" x="200" y="60" text="list" checkbox-mode="roll-up-progress">)"
    R"(<layout mode="list" direction="top" flow="rtl"/><link clouddocref="/docs/x.pdf" native="nat" bookmark="bm"/></topic>)"
    R"(<topic id="15" parent="14" x="0" y="0" text="a" checkbox-mode="checkbox" progress="100"><link email-contact="a@example.org"/></topic>)"
    R"(<topic id="16" parent="14" x="0" y="0" text="b" checkbox-mode="checkbox" hidden="True"><link urllink="https://example.org/b"/></topic>)"
    R"(<topic id="20" parent="-1" guid="g-second" x="-400.75" y="300" text="Second theme" icon="#custom" icon-scale="1.5"/>)";

const std::string kRichMeta =
    R"(<guid guid="0123456789ABCDEF0123456789ABCDEF"/><title customized="True" text="My \\ title"/>)"
    R"(<style key="system.natural-material-colors"><mindmap connection-style="baseline" background-pattern="dots">)"
    R"(<backgroundcolor r="250" g="240" b="230"/><checkbox-color r="1" g="128" b="2"/><note-indicator-color none="True"/></mindmap>)"
    R"(<topics borderstyle="sbsRectangle"><strokecolor r="5" g="6" b="7"/></topics>)"
    R"(<relations><cross-links line-style="penDashedThin" target-arrow="filledArrow"/><hierarchical-relations path-style="ortho"/></relations>)"
    R"(<texts><fillcolor r="99" g="98" b="97"/></texts></style>)"
    R"(<auto-numbering style="below"/><auto-roll-up enabled="True"/><scrollstate zoom="150" x="12" y="-34"/>)"
    R"(<main-centraltheme id="20"/>)";

std::string RichDocument() {
    const std::string relations =
        R"(<relations><relation guid="g-link" source="12" target="20" asHierarchy="True">)"
        R"(<style source-arrow="openCircle"/><path><custom-point x="40" y="-30.5"/></path>)"
        R"(<children><image name="pic3" x="1" y="2"/><text guid="g-linktext" x="0" y="0"><note>label</note></text></children>)"
        R"(</relation><relation source="13" target="15"/></relations>)"
        R"(<node-groups><node-group guid="g-group"><style borderstyle="cloud" borderwidth="2.5" strokestyle="dash-s" padding="10">)"
        R"(<fillcolor r="11" g="12" b="13"/><strokecolor none="True"/></style><topics><topic id="12"/><topic id="13"/></topics></node-group>)"
        R"(<node-group><topics><topic id="20"/></topics></node-group></node-groups>)";
    std::string document = NativeDocument(kRichTopics, kRichMeta);
    document.insert(document.rfind("</mindmap>"), relations);
    return document;
}

const TXMLElement* TopicsOf(const TXMLDocument& document) {
    return document.FindPath({"corvella-mindmaps", "mindmap", "topics"});
}

} // namespace

TEST(TCvmxMindMapWriter, ReadingTheWrittenTextGivesTheSameMap) {
    auto original = Load(RichDocument());
    ASSERT_EQ(original->TopicCount(), 8);
    const std::string written = WriteNative(*original);
    auto copy = Load(written);
    EXPECT_EQ(Describe(*copy), Describe(*original));
    // and the text is stable: writing the copy gives the same text again
    EXPECT_EQ(WriteNative(*copy), written);
}

TEST(TCvmxMindMapWriter, TextsComeBackExactlyAsTheUserWroteThem) {
    const char* const texts[] = {
        "a &lt; b",      "x & y",    "&amp;",           "&#65;&#x42;", "<tag attr=\"v\">", "back\\slash\\N",
        "line\rbreak",   "\\",       "it's \"quoted\"", "trailing \\", "日本語 テキスト",  "&",
        "&&lt;&gt;;&#;", "tab less", "50% of \\\\ two",
    };
    TTestMap test;
    TMindMapNode* root = test.Add();
    std::vector<TMindMapNode*> topics;
    for (const char* text : texts) {
        TMindMapNode* topic = test.Add(root);
        topic->SetText(text, tfPlain);
        topic->SetNote(std::string("note ") + text, tfPlain);
        topics.push_back(topic);
    }
    test.Map.SetTitle("title & \\ &lt;");
    auto copy = Load(WriteNative(test.Map));
    ASSERT_EQ(copy->TopicCount(), static_cast<int>(topics.size()) + 1);
    for (std::size_t i = 0; i < topics.size(); ++i) {
        SCOPED_TRACE(texts[i]);
        const TMindMapNode* read = copy->CentralThemeAt(0)->ChildAt(static_cast<int>(i));
        EXPECT_EQ(read->Text(), topics[i]->Text());
        EXPECT_EQ(read->Note(), topics[i]->Note());
    }
    EXPECT_EQ(copy->Title(), "title & \\ &lt;");
}

TEST(TCvmxMindMapWriter, TopicIdsFollowTheBranchesDepthFirst) {
    // in file order: a child of A, the theme B, the theme A, another child of A
    TMindMap other;
    auto map = Load(NativeDocument(R"(<topic id="7" parent="9" text="a1"/><topic id="8" text="B"/>)"
                                   R"(<topic id="9" text="A"/><topic id="5" parent="9" text="a2"/>)",
                                   R"(<main-centraltheme id="9"/>)"));
    TCvmxMindMapWriter writer(*map);
    TXMLDocument document;
    TXMLFiler::LoadFromString(writer.Write(false), document);
    const TXMLElement* topics = TopicsOf(document);
    ASSERT_NE(topics, nullptr);
    std::vector<std::string> rows;
    for (int i = 0; i < topics->ChildCount(); ++i) {
        const TXMLElement& topic = *topics->Child(i);
        rows.push_back(
            Format("%d %d %s", topic.GetInt("id", -9), topic.GetInt("parent", -9), topic.GetString("text").c_str()));
    }
    EXPECT_THAT(rows, testing::ElementsAre("0 -1 B", "1 -1 A", "2 1 a1", "3 1 a2"));
    EXPECT_EQ(document.FindPath({"corvella-mindmaps", "mindmap", "meta", "main-centraltheme"})->GetInt("id", -1), 1);
    ASSERT_EQ(writer.WrittenTopics().size(), 4u);
    EXPECT_EQ(writer.TopicId(map->CentralThemeAt(1)), 1);
    EXPECT_EQ(writer.TopicId(other.NewTopic({0, 0}, false)), -1);
}

TEST(TCvmxMindMapWriter, DocumentFrameAndNumbers) {
    TGermanLocale locale;
    auto map = Load(NativeDocument(R"(<topic id="0" x="10.126" y="-0.005" text="A"/>)"
                                   R"(<topic id="1" parent="0" x="1e3" y="2.5" text="B"/><topic id="2" text="C"/>)"));
    const std::string text = WriteNative(*map);
    EXPECT_THAT(text, testing::StartsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                          "<!DOCTYPE corvella-mindmaps>\r\n"
                                          "<corvella-mindmaps generator=\"CorvellaWin32\" gen-version=\""));
    EXPECT_THAT(text, testing::HasSubstr("doc-version=\"3\">\r\n<mindmap>\r\n<meta>\r\n"));
    EXPECT_THAT(text, testing::HasSubstr(R"(x="10.13" y="-0.01")"));
    EXPECT_THAT(text, testing::HasSubstr(R"(x="1000.00" y="2.50")"));
    EXPECT_THAT(text, testing::Not(testing::HasSubstr("\t")));
    auto copy = Load(text);
    EXPECT_DOUBLE_EQ(copy->TopicAt(0)->GetPosition().X, 10.13);
}

TEST(TCvmxMindMapWriter, MapsWithoutTopicsOrSelection) {
    TMindMap empty;
    empty.LoadFromText("", "", true, 0);
    TXMLDocument document;
    TXMLFiler::LoadFromString(WriteNative(empty), document);
    const TXMLElement* topics = TopicsOf(document);
    ASSERT_NE(topics, nullptr);
    EXPECT_EQ(topics->ChildCount(), 0);
    const TXMLElement* meta = document.FindPath({"corvella-mindmaps", "mindmap", "meta"});
    ASSERT_NE(meta, nullptr);
    EXPECT_EQ(meta->FindChild("main-centraltheme"), nullptr);
    EXPECT_EQ(meta->FindChild("selection"), nullptr);

    auto map = Load(NativeDocument(R"(<topic id="0" text="A"/>)"));
    map->Select(nullptr);
    TXMLFiler::LoadFromString(WriteNative(*map), document);
    meta = document.FindPath({"corvella-mindmaps", "mindmap", "meta"});
    EXPECT_EQ(meta->FindChild("selection"), nullptr);
    EXPECT_NE(meta->FindChild("main-centraltheme"), nullptr);
}

TEST(TCvmxMindMapWriter, ElementsWhoseTopicsAreNotWrittenAreLeftOut) {
    TMindMap other; // outlives the map that refers to its topic
    TMindMapNode* stranger = other.NewTopic({0, 0}, false);
    auto map = Load(RichDocument());
    ASSERT_NE(map->NewCrossLink(map->TopicAt(0), stranger), nullptr);
    ASSERT_NE(map->NewGroup({stranger}), nullptr);
    const std::string text = WriteNative(*map);
    // the link to a topic that is not written and the group without written members are left out
    auto copy = Load(text);
    EXPECT_EQ(copy->RelationCount(), 2);
    EXPECT_EQ(copy->GroupCount(), 2);
}

TEST(TCvmxSelectionParcelWriter, TheSelectionIsFoundAgainAfterReading) {
    struct TCase {
        const char* Name;
        std::function<TMindMapElement*(TMindMap&)> Pick;
        TElementKind Kind;
    };
    const auto topic = [](TMindMap& map, const char* text) -> TMindMapNode* {
        for (int i = 0; i < map.TopicCount(); ++i)
            if (map.TopicAt(i)->Text() == text)
                return map.TopicAt(i);
        return nullptr;
    };
    const TCase cases[] = {
        {"topic without guid", [&](TMindMap& m) { return topic(m, "grand"); }, ekTopic},
        {"topic with guid", [&](TMindMap& m) { return topic(m, "Second theme"); }, ekTopic},
        {"text on a parent connection",
         [&](TMindMap& m) { return topic(m, "Child *one*")->ParentRelation().ContainedAt(0); }, ekText},
        {"image on a cross link", [](TMindMap& m) { return m.RelationAt(0)->ContainedAt(0); }, ekImage},
        {"image of a topic", [&](TMindMap& m) { return topic(m, "Child *one*")->ContainedAt(0); }, ekImage},
        {"text of a topic", [&](TMindMap& m) { return topic(m, "Child *one*")->ContainedAt(1); }, ekText},
        {"cross link without guid", [](TMindMap& m) { return m.RelationAt(1); }, ekCrossLink},
        {"parent connection", [&](TMindMap& m) { return &topic(m, "done")->ParentRelation(); }, ekParentRelation},
        {"group", [](TMindMap& m) { return m.GroupAt(0); }, ekGroup},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto map = Load(RichDocument());
        TMindMapElement* chosen = c.Pick(*map);
        ASSERT_NE(chosen, nullptr);
        ASSERT_EQ(chosen->ElementKind(), c.Kind);
        map->Select(chosen);
        auto copy = Load(WriteNative(*map));
        TMindMapElement* selected = copy->SelectedElement();
        ASSERT_NE(selected, nullptr);
        EXPECT_EQ(selected, c.Pick(*copy));
    }
}

TEST(TCvmxSelectionParcelWriter, ParcelOfATextOnAParentConnection) {
    auto map = Load(RichDocument());
    TMindMapNode* child = map->TopicAt(1);
    ASSERT_EQ(child->Text(), "Child *one*");
    map->Select(child->ParentRelation().ContainedAt(0));
    TCvmxMindMapWriter writer(*map);
    TXMLDocument document;
    TXMLFiler::LoadFromString(writer.Write(false), document);
    const TXMLElement* selection = document.FindPath({"corvella-mindmaps", "mindmap", "meta", "selection"});
    ASSERT_NE(selection, nullptr);
    EXPECT_EQ(selection->GetString("guid"), "g-prtext");
    EXPECT_EQ(selection->GetString("type"), "text");
    EXPECT_EQ(selection->GetString("container-type"), "parent-relation");
    EXPECT_EQ(selection->GetInt("child-index", -1), 0);
    EXPECT_EQ(selection->GetInt("image", -1), 0);
    EXPECT_EQ(selection->GetInt("id", -1), writer.TopicId(child));
    EXPECT_FALSE(selection->HasAttribute("source"));

    // an element without guid gets one only in a modified map
    map->Select(map->RelationAt(1));
    TSelectionParcel parcel = TCvmxSelectionParcelWriter(writer).Fill(*map);
    EXPECT_EQ(parcel.Type, ekCrossLink);
    EXPECT_TRUE(parcel.Guid.empty());
    EXPECT_EQ(parcel.Source, writer.TopicId(map->RelationAt(1)->Source()));
    EXPECT_EQ(parcel.Id, writer.TopicId(map->RelationAt(1)->Target()));
    map->SetModified(true);
    parcel = TCvmxSelectionParcelWriter(writer).Fill(*map);
    EXPECT_EQ(parcel.Guid.size(), 22u);
    EXPECT_EQ(parcel.Guid, map->RelationAt(1)->StoredGuid());
}

TEST(NativeArchives, TheWrittenArchiveOpensWithItsPictures) {
    auto map = Load(RichDocument());
    const std::string text = WriteNative(*map);
    const std::string png = MakePng(3, 2);
    const std::string bytes = BuildNativeArchive(text, {{"pic1", png}, {"pic2", png}});
    const TNativeDocumentFile file = ReadNativeDocumentBytes(bytes);
    EXPECT_TRUE(file.IsArchive);
    EXPECT_EQ(file.DocumentText, text);
    ASSERT_EQ(file.Images.size(), 2u);
    EXPECT_EQ(file.Images[0].Key, "pic1");
    EXPECT_EQ(file.Images[1].Bytes, png);

    TTempDir dir;
    const std::string path = (dir.Path() / "out.cvmx").string();
    WriteNativeArchive(path, text, {});
    EXPECT_EQ(ReadNativeDocumentFile(path).DocumentText, text);
    EXPECT_THAT([&] { WriteNativeArchive((dir.Path() / "missing" / "out.cvmx").string(), text, {}); },
                testing::ThrowsMessage<ECVException>(testing::StartsWith("Cannot write out.cvmx")));
}

TEST(WriteLeveledStyleBlock, ReadsBackAsTheSameSheet) {
    struct TCase {
        const char* Name;
        const char* Block;
    };
    const TCase cases[] = {
        {"levels",
         R"(<block has-levels="True"><topics><levels>)"
         R"(<level borderstyle="sbsCircle" align="center"><fillcolor r="1" g="2" b="3"/></level>)"
         R"(<level borderstyle="sbsRectangle" min-width="80"><font bold="True" scale="1.5"/></level>)"
         R"(<level strokestyle="dash-l"/></levels></topics>)"
         R"(<relations><cross-links line-style="penDashedThin" target-arrow="singleArrow"/>)"
         R"(<hierarchical-relations><levels><level line-style="penTapered" line-width="6"/>)"
         R"(<level path-style="straight"><color none="True"/></level></levels></hierarchical-relations>)"
         R"(</relations><texts callout="line"><font italic="True"/><textcolor r="4" g="5" b="6"/></texts></block>)"},
        {"one level", R"(<block><topics borderstyle="sbsNone" borderwidth="2"/>)"
                      R"(<relations><hierarchical-relations line-style="penDouble"/></relations></block>)"},
        {"nothing set", R"(<block/>)"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TXMLDocument source;
        TXMLFiler::LoadFromString(c.Block, source);
        TLeveledMindMapStyle sheet;
        ReadLeveledStyleBlock(*source.RootElement(), sheet, [](const TXMLElement&) {});

        TXMLDocument written;
        TXMLElement* block = written.AddChild("stylesheet");
        int mapAttributes = 0;
        WriteLeveledStyleBlock(*block, sheet, [&](TXMLElement& element) {
            ++mapAttributes;
            element.AddChild("mindmap")->SetString("connection-style", "baseline");
        });
        EXPECT_EQ(mapAttributes, 1);
        TXMLDocument reread;
        TXMLFiler::LoadFromString(TXMLFiler::SaveToString(written), reread);
        TLeveledMindMapStyle copy;
        std::string connection;
        EXPECT_TRUE(ReadLeveledStyleBlock(*reread.RootElement(), copy, [&](const TXMLElement& attributes) {
            connection = attributes.GetString("connection-style");
        }));
        EXPECT_EQ(connection, "baseline");
        ASSERT_EQ(copy.NodeStyle().LevelCount(), sheet.NodeStyle().LevelCount());
        for (int i = 0; i < sheet.NodeStyle().LevelCount(); ++i)
            EXPECT_EQ(DescribeTopicStyle(copy.NodeStyle().LevelStyle(i)),
                      DescribeTopicStyle(sheet.NodeStyle().LevelStyle(i)));
        ASSERT_EQ(copy.RelationStyle().LevelCount(), sheet.RelationStyle().LevelCount());
        for (int i = 0; i < sheet.RelationStyle().LevelCount(); ++i)
            EXPECT_EQ(DescribeRelationStyle(copy.RelationStyle().LevelStyle(i)),
                      DescribeRelationStyle(sheet.RelationStyle().LevelStyle(i)));
        EXPECT_EQ(DescribeRelationStyle(copy.CrossLinkStyle()), DescribeRelationStyle(sheet.CrossLinkStyle()));
        EXPECT_EQ(DescribeTextStyle(copy.TextStyle()), DescribeTextStyle(sheet.TextStyle()));
    }
}

TEST(TCvmxMindMapWriter, ACustomSheetTravelsWithTheDocument) {
    TCustomStyleSheet custom(StyleManager());
    custom.SetKey("my.own.sheet");
    custom.NodeStyle().LevelStyle(0).SetBorderStyle(sbsCloud);
    custom.NodeStyle().LevelStyle(0).SetOverride(nsoBorderStyle, true);
    auto map = Load(NativeDocument(R"(<topic id="0" text="A"/>)"));
    TXMLDocument document;
    TXMLFiler::LoadFromString(WriteNative(*map), document);
    EXPECT_EQ(document.FindPath({"corvella-mindmaps", "mindmap", "stylesheet"}), nullptr);

    map->SetStyleSheet(&custom);
    TXMLFiler::LoadFromString(WriteNative(*map), document);
    const TXMLElement* mindmap = document.FindPath({"corvella-mindmaps", "mindmap"});
    ASSERT_NE(mindmap, nullptr);
    // the sheet comes last, after the topics, relations and groups
    ASSERT_EQ(mindmap->ChildCount(), 5);
    EXPECT_TRUE(mindmap->Child(4)->IsElementNamed("stylesheet"));
    EXPECT_EQ(mindmap->Child(4)->FindPath({"general"})->GetString("description"), "my.own.sheet");
    EXPECT_EQ(mindmap->Child(4)->FindPath({"style", "topics"})->GetString("borderstyle"), "sbsCloud");
    EXPECT_EQ(document.FindPath({"corvella-mindmaps", "mindmap", "meta", "style"})->GetString("key"), "my.own.sheet");
    map->SetStyleSheet(nullptr);
}
