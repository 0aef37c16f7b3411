#include "styling/MindMapStyling.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr TColor kRed = 0x000000FF;
constexpr TColor kGreen = 0x0000FF00;
constexpr TColor kBlue = 0x00FF0000;
constexpr TColor kGray = 0x00808080;

// A map's chain: the document's copy of its sheet, the document's own overrides on top of it.
struct TMapStyles {
    TLeveledMindMapStyle Sheet;
    TMindMapStyle Document{&Sheet};
};

// Counts the change reports of a style.
struct TChangeCounter {
    int Count = 0;
    explicit TChangeCounter(TElementStyle& style) {
        style.SetOnChange([this](TElementStyle&) { ++Count; });
    }
};

std::string Upper(const char* s) {
    std::string result(s);
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return result;
}

// The pattern class is opaque to styles: they keep its address and let its owner's deleter free it. A stand-in
// object with the average colour and a free counter is enough here.
struct TFakePattern {
    TColor Average;
    int* FreedCount;
};

TBackgroundPattern* AsPattern(TFakePattern* fake) {
    return reinterpret_cast<TBackgroundPattern*>(fake);
}

TOwnedPattern OwnedFake(TColor average, int& freedCount) {
    return TOwnedPattern(AsPattern(new TFakePattern{average, &freedCount}), [](TBackgroundPattern* pattern) {
        auto* fake = reinterpret_cast<TFakePattern*>(pattern);
        ++*fake->FreedCount;
        delete fake;
    });
}

TColor FakeAverage(const TBackgroundPattern& pattern) {
    return reinterpret_cast<const TFakePattern*>(&pattern)->Average;
}

} // namespace

TEST(MindMapStylingKeywords, EveryValueRoundTripsThroughItsNameInAnyCase) {
    struct TTable {
        const char* Enum;
        int Count;
        std::function<const char*(int)> Name;
        std::function<bool(std::string_view, int&)> FromName;
    };
    const TTable tables[] = {
        {"TNodeBorderStyle", sbsNone + 1, [](int i) { return NodeBorderStyleName(static_cast<TNodeBorderStyle>(i)); },
         [](std::string_view n, int& v) {
             TNodeBorderStyle e{};
             const bool ok = TryNodeBorderStyleFromName(n, e);
             v = e;
             return ok;
         }},
        {"TRelationLineStyle", penAutoTapered + 1,
         [](int i) { return RelationLineStyleName(static_cast<TRelationLineStyle>(i)); },
         [](std::string_view n, int& v) {
             TRelationLineStyle e{};
             const bool ok = TryRelationLineStyleFromName(n, e);
             v = e;
             return ok;
         }},
        {"TRelationPathStyle", rpsStraight + 1,
         [](int i) { return RelationPathStyleName(static_cast<TRelationPathStyle>(i)); },
         [](std::string_view n, int& v) {
             TRelationPathStyle e{};
             const bool ok = TryRelationPathStyleFromName(n, e);
             v = e;
             return ok;
         }},
        {"TArrowStyle", arsFilledDiamond + 1, [](int i) { return ArrowStyleName(static_cast<TArrowStyle>(i)); },
         [](std::string_view n, int& v) {
             TArrowStyle e{};
             const bool ok = TryArrowStyleFromName(n, e);
             v = e;
             return ok;
         }},
        {"TStyleAlignment", salRight + 1, [](int i) { return StyleAlignmentName(static_cast<TStyleAlignment>(i)); },
         [](std::string_view n, int& v) {
             TStyleAlignment e{};
             const bool ok = TryStyleAlignmentFromName(n, e);
             v = e;
             return ok;
         }},
        {"TCalloutStyle", cstLine + 1, [](int i) { return CalloutStyleName(static_cast<TCalloutStyle>(i)); },
         [](std::string_view n, int& v) {
             TCalloutStyle e{};
             const bool ok = TryCalloutStyleFromName(n, e);
             v = e;
             return ok;
         }},
        {"TStrokeStyle", stsDashL + 1, [](int i) { return StrokeStyleName(static_cast<TStrokeStyle>(i)); },
         [](std::string_view n, int& v) {
             TStrokeStyle e{};
             const bool ok = TryStrokeStyleFromName(n, e);
             v = e;
             return ok;
         }},
        {"TGroupBorderStyle", gbsCloudHull + 1,
         [](int i) { return GroupBorderStyleName(static_cast<TGroupBorderStyle>(i)); },
         [](std::string_view n, int& v) {
             TGroupBorderStyle e{};
             const bool ok = TryGroupBorderStyleFromName(n, e);
             v = e;
             return ok;
         }},
    };
    for (const TTable& t : tables) {
        SCOPED_TRACE(t.Enum);
        std::vector<std::string> seen;
        for (int i = 0; i < t.Count; ++i) {
            const std::string name = t.Name(i);
            SCOPED_TRACE(name);
            ASSERT_FALSE(name.empty());
            for (const std::string& spelling : {name, Upper(name.c_str())}) {
                int value = -1;
                EXPECT_TRUE(t.FromName(spelling, value));
                EXPECT_EQ(value, i);
            }
            EXPECT_THAT(seen, testing::Not(testing::Contains(name)));
            seen.push_back(name);
        }
        EXPECT_STREQ(t.Name(t.Count), "") << "a value outside the enumeration has no name";
    }
}

TEST(MindMapStylingKeywords, DocumentSpellingsMapToTheirValues) {
    TNodeBorderStyle border = sbsRoundRect;
    EXPECT_TRUE(TryNodeBorderStyleFromName("SbsEllipse", border));
    EXPECT_EQ(border, sbsEllipse);
    TRelationLineStyle line = penCable;
    EXPECT_TRUE(TryRelationLineStyleFromName("penTapered", line));
    EXPECT_EQ(line, penTapered);
    TArrowStyle arrow = arsNone;
    EXPECT_TRUE(TryArrowStyleFromName("FILLEDDIAMOND", arrow));
    EXPECT_EQ(arrow, arsFilledDiamond);
    TStrokeStyle stroke = stsSolid;
    EXPECT_TRUE(TryStrokeStyleFromName("dash-m", stroke));
    EXPECT_EQ(stroke, stsDashM);
    TGroupBorderStyle group = gbsRoundRect;
    EXPECT_TRUE(TryGroupBorderStyleFromName("cloud-hull", group));
    EXPECT_EQ(group, gbsCloudHull);
    EXPECT_STREQ(CalloutStyleName(cstTapered), "tapered");
    EXPECT_STREQ(StyleAlignmentName(salCenter), "center");
    EXPECT_STREQ(RelationPathStyleName(rpsOrtho), "ortho");
}

TEST(MindMapStylingKeywords, UnknownNamesLeaveTheCallersDefault) {
    for (const char* name : {"", "sbsEllipse ", " sbsEllipse", "Ellipse", "sbsEllipses", "3"}) {
        SCOPED_TRACE(name);
        TNodeBorderStyle border = sbsCloud;
        EXPECT_FALSE(TryNodeBorderStyleFromName(name, border));
        EXPECT_EQ(border, sbsCloud);
    }
    TStrokeStyle stroke = stsDashL;
    EXPECT_FALSE(TryStrokeStyleFromName("dash", stroke));
    EXPECT_EQ(stroke, stsDashL);
}

TEST(MindMapStylingDefaults, LineWidthsByLineStyle) {
    const std::pair<TRelationLineStyle, float> cases[] = {
        {penCable, 3.0f},        {penSolidThick, 3.0f}, {penWideCable, 3.0f}, {penDouble, 4.5f},
        {penDashedDouble, 4.5f}, {penSolidThin, 1.7f},  {penTapered, 1.7f},   {penReverseTapered, 1.7f},
        {penAutoTapered, 1.7f},  {penDashedThin, 2.2f},
    };
    for (const auto& [lineStyle, width] : cases) {
        SCOPED_TRACE(RelationLineStyleName(lineStyle));
        EXPECT_FLOAT_EQ(DefaultLineWidth(lineStyle), width);
        // A parentless style without a width of its own answers the default of its line style.
        TRelationStyle style;
        style.SetLineStyle(lineStyle);
        EXPECT_FLOAT_EQ(style.LineWidth(), width);
        style.SetLineWidth(0.5f);
        EXPECT_FLOAT_EQ(style.LineWidth(), width) << "a width without its override bit does not count";
        style.SetOverride(rsoLineWidth, true);
        EXPECT_FLOAT_EQ(style.LineWidth(), 0.5f);
    }
}

TEST(MindMapStylingDefaults, CrossLinksDeriveTheirLineAndArrowFromTheConnectionLine) {
    const struct {
        TRelationLineStyle Connection;
        TRelationLineStyle CrossLink;
        TArrowStyle Arrow;
    } cases[] = {
        {penCable, penWideCable, arsSingleArrow},          {penSolidThick, penWideCable, arsSingleArrow},
        {penDouble, penDashedDouble, arsOpenArrow},        {penSolidThin, penDashedThin, arsSingleArrow},
        {penWideCable, penWideCable, arsSingleArrow},      {penDashedDouble, penDashedDouble, arsOpenArrow},
        {penDashedThin, penDashedThin, arsSingleArrow},    {penTapered, penWideCable, arsSingleArrow},
        {penReverseTapered, penWideCable, arsSingleArrow}, {penAutoTapered, penWideCable, arsSingleArrow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(RelationLineStyleName(c.Connection));
        TRelationStyle crossLink;
        crossLink.SetTargetArrow(arsInhibit);
        ApplyDerivedCrossLinkStyle(crossLink, c.Connection, false);
        EXPECT_EQ(crossLink.LineStyle(), c.CrossLink);
        EXPECT_EQ(crossLink.TargetArrow(), arsInhibit) << "without arrow the arrow stays";
        ApplyDerivedCrossLinkStyle(crossLink, c.Connection, true);
        EXPECT_EQ(crossLink.TargetArrow(), c.Arrow);
        EXPECT_EQ(crossLink.Overrides(), 0) << "deriving sets values, never bits";
    }
}

TEST(MindMapStylingDefaults, PaletteColoursFillOnlyWhatTheChainLeftOpen) {
    EXPECT_EQ(ColorOrPalette(clDefault, kRed), kRed);
    EXPECT_EQ(ColorOrPalette(kBlue, kRed), kBlue);
    EXPECT_EQ(ColorOrPalette(clNone, kRed), clNone) << "no fill stays no fill";
}

TEST(TNodeStyle, ResolvesThroughDocumentToTheSheetEntryOfTheTopicsLevel) {
    TMapStyles map;
    TLeveledNodeStyle& sheet = map.Sheet.NodeStyle();
    sheet.SetLevelCount(3);
    const TColor entryFill[] = {kRed, kGreen, kBlue};
    const TNodeBorderStyle entryBorder[] = {sbsEllipse, sbsRectangle, sbsNone};
    for (int i = 0; i < 3; ++i) {
        sheet.LevelStyle(i).SetFillColor(entryFill[i]);
        sheet.LevelStyle(i).SetBorderStyle(entryBorder[i]);
    }
    TNodeStyle topic(&map.Document.NodeStyle());
    const struct {
        int Level;
        int Entry;
    } cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 2}, {7, 2}, {-4, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Level);
        topic.SetLevel(c.Level);
        EXPECT_EQ(topic.Level(), std::max(c.Level, 0));
        EXPECT_EQ(topic.FillColor(), entryFill[c.Entry]);
        EXPECT_EQ(topic.BorderStyle(), entryBorder[c.Entry]);
        EXPECT_EQ(topic.TextColor(), clDefault) << "the scheme decides what nothing sets";
    }

    // The document's node style asks the sheet with the topic's level, not its own (0).
    topic.SetLevel(2);
    map.Document.NodeStyle().SetStrokeColor(kGray);
    EXPECT_EQ(topic.StrokeColor(), clDefault) << "a value without its bit is not an override";
    map.Document.NodeStyle().SetOverride(nsoStrokeColor, true);
    EXPECT_EQ(topic.StrokeColor(), kGray);
    EXPECT_EQ(topic.FillColor(), kBlue);

    // A document fill overrides every topic that does not set its own.
    map.Document.NodeStyle().SetFillColor(kGray);
    map.Document.NodeStyle().SetOverride(nsoFillColor, true);
    EXPECT_EQ(topic.FillColor(), kGray);
    topic.SetFillColor(kGreen);
    topic.SetOverride(nsoFillColor, true);
    EXPECT_EQ(topic.FillColor(), kGreen);
    topic.SetOverride(nsoFillColor, false);
    EXPECT_EQ(topic.FillColor(), kGray);
}

TEST(TNodeStyle, AOneLevelSheetMakesAllTopicsAlike) {
    TMapStyles map;
    map.Sheet.NodeStyle().LevelStyle(0).SetBorderStyle(sbsHalfRound);
    map.Sheet.NodeStyle().LevelStyle(0).SetStrokeStyle(stsDashS);
    for (int level : {0, 1, 2, 9}) {
        SCOPED_TRACE(level);
        TNodeStyle topic(&map.Document.NodeStyle());
        topic.SetLevel(level);
        EXPECT_EQ(topic.BorderStyle(), sbsHalfRound);
        EXPECT_EQ(topic.StrokeStyle(), stsDashS);
    }
}

TEST(TNodeStyle, FontScaleAndFontStyleShareOneOverrideBit) {
    TMapStyles map;
    TNodeStyle& entry = map.Sheet.NodeStyle().LevelStyle(0);
    entry.SetFontScale(2.0f);
    entry.SetFontStyle(fsItalic);
    TNodeStyle topic(&map.Document.NodeStyle());
    topic.SetFontScale(1.5f);
    topic.SetFontStyle(fsBold | fsUnderline);
    EXPECT_FLOAT_EQ(topic.FontScale(), 2.0f);
    EXPECT_EQ(topic.FontStyle(), fsItalic);
    EXPECT_FALSE(topic.FontDescriptor().FontOverridden);

    topic.SetOverride(nsoFont, true);
    EXPECT_FLOAT_EQ(topic.FontScale(), 1.5f);
    EXPECT_EQ(topic.FontStyle(), fsBold | fsUnderline);
    const TFontDescriptor font = topic.FontDescriptor();
    EXPECT_TRUE(font.FontOverridden);
    EXPECT_FLOAT_EQ(font.Size, 15.0f);
    EXPECT_EQ(font.FontStyle, fsBold | fsUnderline);
}

TEST(TNodeStyle, HasOverrideLooksUpTheChainAtTheTopicsLevel) {
    TMapStyles map;
    map.Sheet.NodeStyle().SetLevelCount(2);
    map.Sheet.NodeStyle().LevelStyle(1).SetOverride(nsoBorderWidth, true);
    TNodeStyle topic(&map.Document.NodeStyle());
    const struct {
        int Level;
        bool Expected;
    } cases[] = {{0, false}, {1, true}, {5, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Level);
        topic.SetLevel(c.Level);
        EXPECT_EQ(topic.HasOverride(nsoBorderWidth), c.Expected);
        EXPECT_EQ(topic.HasOverride(nsoBorderWidth | nsoFillColor), c.Expected) << "any of the bits";
        EXPECT_FALSE(topic.HasOverride(nsoFillColor));
    }
    map.Document.NodeStyle().SetOverride(nsoFillColor, true);
    topic.SetLevel(0);
    EXPECT_TRUE(topic.HasOverride(nsoFillColor));
    EXPECT_EQ(topic.Overrides(), 0u);
}

TEST(TNodeStyle, BorderWidthFallsBackByLevelAndEffectiveWidthByTextStyleData) {
    TMapStyles map;
    map.Sheet.NodeStyle().SetLevelCount(3);
    TNodeStyle topic(&map.Document.NodeStyle());
    const struct {
        int Level;
        double Width;
    } cases[] = {{0, 2.5}, {1, 1.5}, {2, 1.0}, {6, 1.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Level);
        topic.SetLevel(c.Level);
        EXPECT_DOUBLE_EQ(topic.BorderWidth(), c.Width) << "the entry's default for its own level";
        EXPECT_DOUBLE_EQ(topic.EffectiveBorderWidth(0.75), 0.75) << "no width anywhere: the text style data's";
    }
    // A one-level sheet answers by its only entry's level, whatever the topic's level.
    TMapStyles oneLevel;
    TNodeStyle deep(&oneLevel.Document.NodeStyle());
    deep.SetLevel(4);
    EXPECT_DOUBLE_EQ(deep.BorderWidth(), 2.5);

    map.Sheet.NodeStyle().LevelStyle(2).SetBorderWidth(0.25);
    map.Sheet.NodeStyle().LevelStyle(2).SetOverride(nsoBorderWidth, true);
    topic.SetLevel(3);
    EXPECT_DOUBLE_EQ(topic.EffectiveBorderWidth(1.0), 0.25);
    topic.SetLevel(1);
    EXPECT_DOUBLE_EQ(topic.EffectiveBorderWidth(1.5), 1.5);
}

TEST(TNodeStyle, MinimumSizesAreNeverInherited) {
    TMapStyles map;
    map.Document.NodeStyle().SetMinWidth(120);
    map.Document.NodeStyle().SetMinHeight(40);
    map.Document.NodeStyle().SetOverride(nsoMinWidth | nsoMinHeight, true);
    EXPECT_DOUBLE_EQ(map.Document.NodeStyle().MinWidth(), 120);
    TNodeStyle topic(&map.Document.NodeStyle());
    EXPECT_DOUBLE_EQ(topic.MinWidth(), 0);
    EXPECT_DOUBLE_EQ(topic.MinHeight(), 0);
    topic.SetMinWidth(80);
    EXPECT_DOUBLE_EQ(topic.MinWidth(), 0) << "its own value counts only with its bit";
    topic.SetOverride(nsoMinWidth, true);
    EXPECT_DOUBLE_EQ(topic.MinWidth(), 80);
    EXPECT_DOUBLE_EQ(topic.MinHeight(), 0);
}

TEST(TNodeStyle, ValuesAreClampedOrIgnored) {
    constexpr float inf = std::numeric_limits<float>::infinity();
    const struct {
        float Set;
        float Stored;
        float Points;
    } scales[] = {
        {10.0f, 5.0f, 50.0f}, {5.0f, 5.0f, 50.0f},  {0.1f, 0.2f, 2.0f}, {0.2f, 0.2f, 2.0f}, {1.25f, 1.25f, 12.0f},
        {0.75f, 0.75f, 8.0f}, {0.25f, 0.25f, 2.0f}, {inf, 5.0f, 50.0f}, {-inf, 0.2f, 2.0f}, {-3.0f, 0.2f, 2.0f},
    };
    for (const auto& c : scales) {
        SCOPED_TRACE(c.Set);
        TNodeStyle style;
        style.SetFontScale(c.Set);
        EXPECT_FLOAT_EQ(style.FontScale(), c.Stored);
        EXPECT_FLOAT_EQ(style.FontDescriptor().Size, c.Points) << "points round half to even";
        TTextStyle text;
        text.SetFontScale(c.Set);
        EXPECT_FLOAT_EQ(text.FontScale(), c.Stored);
    }

    TNodeStyle style;
    style.SetFontScale(2.0f);
    style.SetBorderWidth(3.0);
    style.SetOverride(nsoBorderWidth | nsoMinWidth, true);
    style.SetMinWidth(50);
    TChangeCounter changes(style);
    style.SetFontScale(std::nanf(""));
    style.SetBorderWidth(std::nan(""));
    style.SetBorderWidth(std::numeric_limits<double>::infinity());
    style.SetMinWidth(std::nan(""));
    EXPECT_EQ(changes.Count, 0) << "non-finite numbers are ignored";
    EXPECT_FLOAT_EQ(style.FontScale(), 2.0f);
    EXPECT_DOUBLE_EQ(style.BorderWidth(), 3.0);
    EXPECT_DOUBLE_EQ(style.MinWidth(), 50);
    style.SetBorderWidth(-2.0);
    EXPECT_DOUBLE_EQ(style.BorderWidth(), 0.0);
    style.SetBorderStyle(static_cast<TNodeBorderStyle>(200));
    EXPECT_EQ(style.BorderStyle(), sbsDropRoundRect) << "values outside the enumeration are ignored";
}

TEST(TNodeStyle, AssignCopiesBitsAndResolvedValuesOfTheSameClassOnly) {
    TMapStyles map;
    map.Sheet.NodeStyle().SetLevelCount(2);
    TNodeStyle& entry = map.Sheet.NodeStyle().LevelStyle(1);
    entry.SetFillColor(kGreen);
    entry.SetBorderStyle(sbsCloud);
    entry.SetFontScale(1.5f);
    TNodeStyle source(&map.Document.NodeStyle());
    source.SetLevel(1);
    source.SetTextColor(kRed);
    source.SetMinWidth(30);
    source.SetOverride(nsoTextColor | nsoMinWidth, true);

    TNodeStyle copy;
    TChangeCounter changes(copy);
    copy.SetLevel(0); // its level is its own and stays
    copy.Assign(source);
    EXPECT_EQ(changes.Count, 1);
    EXPECT_EQ(copy.Overrides(), nsoTextColor | nsoMinWidth);
    EXPECT_EQ(copy.Level(), 0);
    // Inherited values became plain values of the parentless copy.
    EXPECT_EQ(copy.FillColor(), kGreen);
    EXPECT_EQ(copy.BorderStyle(), sbsCloud);
    EXPECT_FLOAT_EQ(copy.FontScale(), 1.5f);
    EXPECT_EQ(copy.TextColor(), kRed);
    EXPECT_DOUBLE_EQ(copy.MinWidth(), 30);

    TNodeStyle untouched;
    TChangeCounter untouchedChanges(untouched);
    untouched.Assign(map.Sheet.NodeStyle());
    EXPECT_EQ(untouchedChanges.Count, 0);
    EXPECT_EQ(untouched.FillColor(), clDefault);

    copy.Assign(copy);
    EXPECT_EQ(copy.FillColor(), kGreen);
}

TEST(TNodeStyle, ResetRestoresResetValuesAndKeepsTheLevel) {
    TMapStyles map;
    TNodeStyle style(&map.Document.NodeStyle());
    style.SetLevel(3);
    style.SetAlignment(salRight);
    style.SetBorderStyle(sbsCircle);
    style.SetBorderWidth(4);
    style.SetFillColor(kRed);
    style.SetFontScale(3);
    style.SetFontStyle(fsBold);
    style.SetStrokeColor(kBlue);
    style.SetStrokeStyle(stsDashL);
    style.SetTextColor(kGreen);
    style.SetMinWidth(10);
    style.SetMinHeight(10);
    style.SetOverride(0x7FF, true);
    EXPECT_TRUE(style.IsCustomized());
    TChangeCounter changes(style);
    style.Reset();
    EXPECT_EQ(changes.Count, 1);
    EXPECT_FALSE(style.IsCustomized());
    EXPECT_EQ(style.Level(), 3);
    style.SetOverride(0x7FF, true); // show the own fields
    EXPECT_EQ(style.Alignment(), salAuto);
    EXPECT_EQ(style.BorderStyle(), sbsDropRoundRect);
    EXPECT_DOUBLE_EQ(style.BorderWidth(), 0);
    EXPECT_EQ(style.FillColor(), clDefault);
    EXPECT_FLOAT_EQ(style.FontScale(), 1.0f);
    EXPECT_EQ(style.FontStyle(), 0);
    EXPECT_EQ(style.StrokeColor(), clDefault);
    EXPECT_EQ(style.StrokeStyle(), stsSolid);
    EXPECT_EQ(style.TextColor(), clDefault);
    EXPECT_DOUBLE_EQ(style.MinWidth(), 0);
    EXPECT_DOUBLE_EQ(style.MinHeight(), 0);
}

TEST(TElementStyle, ReportsOnlyRealChangesAndOncePerOutermostUpdate) {
    TNodeStyle style;
    TChangeCounter changes(style);
    style.SetFillColor(kRed);
    style.SetFillColor(kRed);
    style.SetFontScale(7.0f);
    style.SetFontScale(5.0f); // clamped to what is already stored
    style.SetOverride(nsoFillColor, true);
    style.SetOverride(nsoFillColor, true);
    EXPECT_EQ(changes.Count, 3);

    changes.Count = 0;
    style.BeginUpdate();
    style.BeginUpdate();
    for (int i = 0; i < 10; ++i)
        style.SetBorderWidth(i + 1);
    style.EndUpdate();
    EXPECT_EQ(changes.Count, 0) << "still inside the outer update";
    style.EndUpdate();
    EXPECT_EQ(changes.Count, 1);

    style.BeginUpdate();
    style.SetBorderWidth(10); // unchanged
    style.EndUpdate();
    EXPECT_EQ(changes.Count, 1) << "an update without changes reports nothing";

    style.EndUpdate(); // unbalanced: ignored
    style.SetBorderWidth(1);
    EXPECT_EQ(changes.Count, 2);
    style.BeginUpdate();
    style.SetBorderWidth(2);
    style.SetBorderWidth(3);
    EXPECT_EQ(changes.Count, 2) << "an extra EndUpdate must not break later batches";
    style.EndUpdate();
    EXPECT_EQ(changes.Count, 3);
}

TEST(TLeveledNodeStyle, SetLevelCountKeepsEntriesRenumbersAndReportsOnce) {
    TLeveledNodeStyle leveled;
    TChangeCounter changes(leveled);
    EXPECT_EQ(leveled.LevelCount(), 1);
    leveled.SetLevelCount(0);
    leveled.SetLevelCount(-2);
    leveled.SetLevelCount(1);
    EXPECT_EQ(changes.Count, 0);

    leveled.LevelStyle(0).SetFillColor(kRed);
    EXPECT_EQ(changes.Count, 1) << "entries report through the leveled style";
    leveled.SetLevelCount(4);
    EXPECT_EQ(changes.Count, 2);
    ASSERT_EQ(leveled.LevelCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(leveled.LevelStyle(i).Level(), i);
        EXPECT_EQ(leveled.LevelStyle(i).ParentStyle(), nullptr);
    }
    EXPECT_EQ(leveled.LevelStyle(0).FillColor(), kRed);
    EXPECT_EQ(leveled.LevelStyle(3).FillColor(), clDefault);
    EXPECT_EQ(&leveled.LevelStyle(99), &leveled.LevelStyle(3));
    EXPECT_EQ(&leveled.LevelStyle(-1), &leveled.LevelStyle(0));

    leveled.LevelStyle(3).SetOverride(nsoFont, true);
    EXPECT_TRUE(leveled.IsCustomized());
    changes.Count = 0;
    leveled.SetLevelCount(2);
    EXPECT_EQ(changes.Count, 1);
    EXPECT_FALSE(leveled.IsCustomized()) << "the customised entry went";
    leveled.LevelStyle(1).SetTextColor(kBlue); // the surviving entry still reports
    EXPECT_EQ(changes.Count, 2);
}

TEST(TLeveledNodeStyle, AssignTakesTheLevelCountAndBakesDefaultWidths) {
    TLeveledNodeStyle source;
    source.SetLevelCount(3);
    source.LevelStyle(2).SetFillColor(kBlue);
    source.LevelStyle(2).SetOverride(nsoFillColor, true);
    TLeveledNodeStyle copy;
    copy.SetLevelCount(5);
    TChangeCounter changes(copy);
    copy.Assign(source);
    EXPECT_EQ(changes.Count, 1);
    ASSERT_EQ(copy.LevelCount(), 3);
    EXPECT_EQ(copy.GetFillColor(7), kBlue);
    EXPECT_TRUE(copy.HasOverride(nsoFillColor, 2));
    EXPECT_FALSE(copy.HasOverride(nsoFillColor, 1));
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const TNodeStyle& entry = copy.LevelStyle(i);
        EXPECT_FALSE(entry.HasOverride(nsoBorderWidth));
        EXPECT_EQ(entry.ParentStyle(), nullptr);
        TNodeStyle shown;
        shown.Assign(entry);
        shown.SetOverride(nsoBorderWidth, true);
        EXPECT_DOUBLE_EQ(shown.BorderWidth(), DefaultBorderWidth(i)) << "the default was copied as a value";
    }

    TNodeStyle plain;
    copy.Assign(plain);
    EXPECT_EQ(copy.LevelCount(), 3) << "a different class is not assigned";

    copy.Reset();
    EXPECT_EQ(copy.LevelCount(), 1);
    EXPECT_FALSE(copy.IsCustomized());
}

TEST(TRelationStyle, ResolvesThroughTheChainAndDefaultsTheWidthByTheEntrysLine) {
    TMapStyles map;
    TLeveledRelationStyle& sheet = map.Sheet.RelationStyle();
    sheet.SetLevelCount(2);
    sheet.LevelStyle(0).SetLineStyle(penTapered);
    sheet.LevelStyle(1).SetLineStyle(penDouble);
    sheet.LevelStyle(1).SetPathStyle(rpsOrtho);
    TRelationStyle connection(&map.Document.RelationStyle());
    EXPECT_EQ(connection.LineStyle(), penTapered);
    EXPECT_FLOAT_EQ(connection.LineWidth(), 1.7f) << "no width anywhere: the tapered default";
    connection.SetLevel(4);
    EXPECT_EQ(connection.LineStyle(), penDouble);
    EXPECT_EQ(connection.PathStyle(), rpsOrtho);
    EXPECT_FLOAT_EQ(connection.LineWidth(), 4.5f);

    map.Document.RelationStyle().SetColor(kRed);
    map.Document.RelationStyle().SetOverride(rsoColor, true);
    connection.SetLineWidth(6);
    connection.SetOverride(rsoLineWidth, true);
    EXPECT_EQ(connection.Color(), kRed);
    EXPECT_FLOAT_EQ(connection.LineWidth(), 6.0f);
    EXPECT_TRUE(connection.HasOverride(rsoColor));
    EXPECT_FALSE(connection.HasOverride(rsoPathStyle));

    EXPECT_TRUE(connection.IsOverridden(1));
    EXPECT_FALSE(connection.IsOverridden(5)) << "the colour bit is the document's, not its own";
    for (int bitNumber : {-1, 8, 31, 40}) {
        SCOPED_TRACE(bitNumber);
        EXPECT_FALSE(connection.IsOverridden(bitNumber));
    }
}

TEST(TRelationStyle, AssignResetAndNonFiniteWidths) {
    TMapStyles map;
    map.Sheet.RelationStyle().LevelStyle(0).SetSourceArrow(arsOpenCircle);
    TRelationStyle source(&map.Document.RelationStyle());
    source.SetTargetArrow(arsFilledArrow);
    source.SetOverride(rsoTargetArrow, true);

    TRelationStyle copy;
    TChangeCounter changes(copy);
    copy.Assign(source);
    EXPECT_EQ(changes.Count, 1);
    EXPECT_EQ(copy.Overrides(), rsoTargetArrow);
    EXPECT_EQ(copy.SourceArrow(), arsOpenCircle);
    EXPECT_EQ(copy.TargetArrow(), arsFilledArrow);
    EXPECT_FLOAT_EQ(copy.LineWidth(), 3.0f);
    copy.Assign(map.Sheet.RelationStyle());
    EXPECT_EQ(changes.Count, 1) << "a leveled source is another class";

    copy.SetLineWidth(std::nanf(""));
    copy.SetLineWidth(std::numeric_limits<float>::infinity());
    EXPECT_EQ(changes.Count, 1);
    copy.Reset();
    EXPECT_EQ(changes.Count, 2);
    EXPECT_FALSE(copy.IsCustomized());
    EXPECT_EQ(copy.SourceArrow(), arsNone);
    EXPECT_EQ(copy.TargetArrow(), arsNone);
    EXPECT_EQ(copy.Color(), clDefault);
}

TEST(TTextStyle, ResolvesTextThenDocumentThenSheet) {
    TMapStyles map;
    map.Sheet.TextStyle().SetTextColor(kGray);
    map.Sheet.TextStyle().SetCallout(cstLine);
    map.Sheet.TextStyle().SetFontScale(1.25f);
    TTextStyle text(&map.Document.TextStyle());
    EXPECT_EQ(text.TextColor(), kGray);
    EXPECT_EQ(text.Callout(), cstLine);
    EXPECT_FALSE(text.FontDescriptor().FontOverridden);
    EXPECT_FLOAT_EQ(text.FontDescriptor().Size, 12.0f) << "12.5 rounds to even";

    map.Document.TextStyle().SetTextColor(kRed);
    map.Document.TextStyle().SetOverride(tsoTextColor, true);
    map.Sheet.TextStyle().SetOverride(tsoFont, true);
    EXPECT_EQ(text.TextColor(), kRed);
    EXPECT_TRUE(text.FontDescriptor().FontOverridden);

    text.SetFontStyle(fsStrikeOut);
    text.SetFillColor(kBlue);
    text.SetOverride(tsoFont | tsoFillColor, true);
    EXPECT_EQ(text.FontStyle(), fsStrikeOut);
    EXPECT_FLOAT_EQ(text.FontScale(), 1.0f) << "the font bit covers the scale too";

    TTextStyle copy;
    copy.Assign(text);
    EXPECT_EQ(copy.Overrides(), tsoFont | tsoFillColor);
    EXPECT_EQ(copy.TextColor(), kRed);
    EXPECT_EQ(copy.Callout(), cstLine);
    EXPECT_EQ(copy.FillColor(), kBlue);
    EXPECT_TRUE(copy.IsCustomized());
    copy.Reset();
    EXPECT_FALSE(copy.IsCustomized());
    EXPECT_EQ(copy.TextColor(), clDefault);
    EXPECT_EQ(copy.Callout(), cstNone);
}

TEST(TNodeGroupStyle, InitialValuesClampsAndPainterQueries) {
    TNodeGroupStyle group;
    EXPECT_EQ(group.BorderStyle(), gbsRoundRect);
    EXPECT_DOUBLE_EQ(group.BorderWidth(), 4.0);
    EXPECT_EQ(group.FillColor(), RGBColor(0xFF, 0xEC, 0xB3));
    EXPECT_EQ(group.StrokeColor(), RGBColor(0xFF, 0xAB, 0x00));
    EXPECT_EQ(group.Padding(), 4);
    EXPECT_TRUE(group.IsCustomized());

    for (const auto& [set, stored] : {std::pair{25, 20}, {-10, -4}, {20, 20}, {-4, -4}, {7, 7}}) {
        SCOPED_TRACE(set);
        group.SetPadding(set);
        EXPECT_EQ(group.Padding(), stored);
    }

    const struct {
        double Width;
        TColor Stroke;
        TColor Fill;
        bool Border, Filled, Invisible;
    } cases[] = {
        {4, kRed, kBlue, true, true, false},     {0, kRed, kBlue, false, true, false},
        {4, clNone, clNone, false, false, true}, {0, kRed, clNone, false, false, true},
        {2, kRed, clNone, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Width << " " << c.Stroke << " " << c.Fill);
        group.SetBorderWidth(c.Width);
        group.SetStrokeColor(c.Stroke);
        group.SetFillColor(c.Fill);
        EXPECT_EQ(group.HasBorder(), c.Border);
        EXPECT_EQ(group.HasFill(), c.Filled);
        EXPECT_EQ(group.IsInvisible(), c.Invisible);
    }

    TNodeGroupStyle copy;
    TChangeCounter changes(copy);
    group.SetBorderStyle(gbsCloudHull);
    group.SetStrokeStyle(stsDashM);
    copy.Assign(group);
    EXPECT_EQ(changes.Count, 1);
    EXPECT_EQ(copy.BorderStyle(), gbsCloudHull);
    EXPECT_EQ(copy.StrokeStyle(), stsDashM);
    EXPECT_DOUBLE_EQ(copy.BorderWidth(), 2);
    EXPECT_EQ(copy.FillColor(), clNone);
    EXPECT_EQ(copy.StrokeColor(), kRed);
    EXPECT_EQ(copy.Padding(), 7);
}

TEST(TMindMapStyle, MapValuesResolveThroughTheSheetCopy) {
    TMapStyles map;
    EXPECT_EQ(map.Document.ConnectionStyle(), csCentered);
    EXPECT_EQ(map.Document.BackgroundColor(), clWhite);
    EXPECT_EQ(map.Document.CheckboxColor(), clNone);
    EXPECT_EQ(map.Document.NoteIndicatorColor(), clNone);

    map.Sheet.SetConnectionStyle(csBaseline);
    map.Sheet.SetBackgroundColor(kGray);
    map.Document.SetBackgroundColor(kRed);
    EXPECT_EQ(map.Document.ConnectionStyle(), csBaseline);
    EXPECT_EQ(map.Document.BackgroundColor(), kGray);
    map.Document.SetOverride(msoBackgroundColor, true);
    EXPECT_EQ(map.Document.BackgroundColor(), kRed);
    EXPECT_TRUE(map.Document.IsOverridden(1));
    EXPECT_FALSE(map.Document.IsOverridden(0));
    EXPECT_FALSE(map.Document.IsOverridden(8));

    // The checkbox colour is automatic unless a style in the chain sets a real colour.
    const struct {
        bool SheetBit;
        TColor SheetColor;
        bool DocumentBit;
        TColor DocumentColor;
        bool Automatic;
    } cases[] = {
        {false, kBlue, false, kRed, true},  {true, kBlue, false, kRed, false}, {false, kBlue, true, kRed, false},
        {false, kBlue, true, clNone, true}, {true, clNone, false, kRed, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.SheetBit << c.DocumentBit << " " << c.DocumentColor);
        map.Sheet.SetCheckboxColor(c.SheetColor);
        map.Sheet.SetOverride(msoCheckboxColor, c.SheetBit);
        map.Document.SetCheckboxColor(c.DocumentColor);
        map.Document.SetOverride(msoCheckboxColor, c.DocumentBit);
        EXPECT_EQ(map.Document.CheckboxColorIsAutomatic(), c.Automatic);
        map.Sheet.SetNoteIndicatorColor(c.SheetColor);
        map.Sheet.SetOverride(msoNoteIndicatorColor, c.SheetBit);
        map.Document.SetNoteIndicatorColor(c.DocumentColor);
        map.Document.SetOverride(msoNoteIndicatorColor, c.DocumentBit);
        EXPECT_EQ(map.Document.NoteIndicatorColorIsAutomatic(), c.Automatic);
    }
}

TEST(TMindMapStyle, ComponentChangesReachTheMapAndNodeChangesAlsoTheNodeCallback) {
    TMapStyles map;
    std::vector<std::string> events;
    map.Document.SetOnChange([&](TElementStyle&) { events.push_back("change"); });
    map.Document.SetOnNodeStyleChange([&](TNodeStyleBase& nodeStyle) {
        EXPECT_EQ(&nodeStyle, &map.Document.NodeStyle());
        events.push_back("node");
    });
    map.Document.RelationStyle().SetColor(kRed);
    map.Document.CrossLinkStyle().SetColor(kRed);
    map.Document.TextStyle().SetTextColor(kRed);
    EXPECT_THAT(events, testing::ElementsAre("change", "change", "change"));

    events.clear();
    map.Document.NodeStyle().SetFillColor(kRed);
    EXPECT_THAT(events, testing::ElementsAre("change", "node"));

    events.clear();
    map.Document.BeginUpdate();
    map.Document.NodeStyle().SetFillColor(kBlue);
    map.Document.TextStyle().SetTextColor(kBlue);
    map.Document.NodeStyle().SetStrokeColor(kBlue);
    map.Document.SetBackgroundColor(kGray);
    EXPECT_TRUE(events.empty());
    map.Document.EndUpdate();
    EXPECT_THAT(events, testing::ElementsAre("change", "node"));

    events.clear();
    map.Document.BeginUpdate();
    map.Document.RelationStyle().SetColor(kGreen);
    map.Document.EndUpdate();
    EXPECT_THAT(events, testing::ElementsAre("change")) << "no node change, no node report";

    // The sheet copy hears its level entries.
    int sheetChanges = 0;
    int sheetNodeChanges = 0;
    map.Sheet.SetOnChange([&](TElementStyle&) { ++sheetChanges; });
    map.Sheet.SetOnNodeStyleChange([&](TNodeStyleBase&) { ++sheetNodeChanges; });
    map.Sheet.NodeStyle().SetLevelCount(3);
    map.Sheet.NodeStyle().LevelStyle(2).SetFillColor(kGreen);
    map.Sheet.RelationStyle().LevelStyle(0).SetColor(kGreen);
    EXPECT_EQ(sheetChanges, 3);
    EXPECT_EQ(sheetNodeChanges, 2);
}

TEST(TMindMapStyle, CrossLinksAreDerivedAtConstructionAndReset) {
    TLeveledMindMapStyle sheet;
    EXPECT_EQ(sheet.CrossLinkStyle().LineStyle(), penWideCable);
    EXPECT_EQ(sheet.CrossLinkStyle().TargetArrow(), arsSingleArrow);
    EXPECT_FALSE(sheet.IsCustomized()) << "derived values carry no bits";

    sheet.RelationStyle().LevelStyle(0).SetLineStyle(penDouble);
    TMindMapStyle document(&sheet);
    TRelationStyle& crossLink = document.CrossLinkStyle();
    EXPECT_EQ(crossLink.ParentStyle(), &sheet.CrossLinkStyle());
    crossLink.SetOverride(rsoLineStyle | rsoTargetArrow, true); // show its own values
    EXPECT_EQ(crossLink.LineStyle(), penDashedDouble) << "derived from the sheet's connection level 0";
    EXPECT_EQ(crossLink.TargetArrow(), arsOpenArrow);

    sheet.CrossLinkStyle().SetLineStyle(penSolidThin);
    sheet.CrossLinkStyle().SetTargetArrow(arsNone);
    sheet.RelationStyle().SetLevelCount(3);
    TChangeCounter changes(sheet);
    sheet.Reset();
    EXPECT_EQ(changes.Count, 1);
    EXPECT_EQ(sheet.RelationStyle().LevelCount(), 1);
    EXPECT_EQ(sheet.RelationStyle().LevelStyle(0).LineStyle(), penCable);
    EXPECT_EQ(sheet.CrossLinkStyle().LineStyle(), penWideCable);
    EXPECT_EQ(sheet.CrossLinkStyle().TargetArrow(), arsSingleArrow);
}

TEST(TMindMapStyle, AssignCopiesResolvedMapValuesAndComponents) {
    TLeveledMindMapStyle sheet;
    sheet.SetConnectionStyle(csLeftRight);
    sheet.SetBackgroundColor(kGray);
    sheet.SetCheckboxColor(kBlue);
    sheet.SetOverride(msoConnectionStyle | msoCheckboxColor, true);
    sheet.NodeStyle().SetLevelCount(2);
    sheet.NodeStyle().LevelStyle(1).SetFillColor(kGreen);
    sheet.RelationStyle().SetLevelCount(2);
    sheet.TextStyle().SetTextColor(kRed);

    TLeveledMindMapStyle copy;
    TChangeCounter changes(copy);
    int nodeChanges = 0;
    copy.SetOnNodeStyleChange([&](TNodeStyleBase&) { ++nodeChanges; });
    copy.Assign(sheet);
    EXPECT_EQ(changes.Count, 1);
    EXPECT_EQ(nodeChanges, 1);
    EXPECT_EQ(copy.Overrides(), msoConnectionStyle | msoCheckboxColor);
    EXPECT_EQ(copy.ConnectionStyle(), csLeftRight);
    EXPECT_EQ(copy.BackgroundColor(), kGray);
    EXPECT_EQ(copy.CheckboxColor(), kBlue);
    EXPECT_EQ(copy.NodeStyle().LevelCount(), 2);
    EXPECT_EQ(copy.NodeStyle().GetFillColor(4), kGreen);
    EXPECT_EQ(copy.RelationStyle().LevelCount(), 2);
    EXPECT_EQ(copy.TextStyle().TextColor(), kRed);
    EXPECT_TRUE(copy.IsCustomized());

    // A document style takes the map values; its components are of other classes than a sheet's leveled ones.
    TMindMapStyle document;
    document.Assign(sheet);
    EXPECT_EQ(document.ConnectionStyle(), csLeftRight);
    EXPECT_EQ(document.NodeStyle().FillColor(), clDefault);
    EXPECT_EQ(document.TextStyle().TextColor(), kRed);
}

TEST(TMindMapStyle, IsCustomizedWhenItOrAnyComponentIsOverridden) {
    TMapStyles map;
    EXPECT_FALSE(map.Document.IsCustomized());
    EXPECT_FALSE(map.Sheet.IsCustomized());
    const std::vector<std::function<void(TMindMapStyle&)>> customizations = {
        [](TMindMapStyle& s) { s.SetOverride(msoNoteIndicatorColor, true); },
        [](TMindMapStyle& s) { s.NodeStyle().SetOverride(nsoStrokeStyle, true); },
        [](TMindMapStyle& s) { s.RelationStyle().SetOverride(rsoPathStyle, true); },
        [](TMindMapStyle& s) { s.CrossLinkStyle().SetOverride(rsoColor, true); },
        [](TMindMapStyle& s) { s.TextStyle().SetOverride(tsoCallout, true); },
    };
    for (std::size_t i = 0; i < customizations.size(); ++i) {
        SCOPED_TRACE(i);
        TMindMapStyle style;
        customizations[i](style);
        EXPECT_TRUE(style.IsCustomized());
        style.Reset();
        EXPECT_FALSE(style.IsCustomized());
    }
    map.Sheet.NodeStyle().SetLevelCount(2);
    map.Sheet.NodeStyle().LevelStyle(1).SetOverride(nsoAlignment, true);
    EXPECT_TRUE(map.Sheet.IsCustomized());
    EXPECT_FALSE(map.Document.IsCustomized()) << "the parent's bits are not the document's";
}

TEST(TMindMapStyle, PatternsShowUnlessTheBackgroundColourIsOverridden) {
    int freed = 0;
    TFakePattern builtIn{RGBColor(244, 210, 157), &freed};
    TMapStyles map;
    EXPECT_FALSE(map.Document.HasPatternBackground());
    EXPECT_EQ(map.Document.EffectiveBackgroundColor(FakeAverage), clWhite);

    map.Sheet.SetBackgroundPattern(AsPattern(&builtIn));
    map.Sheet.SetBackgroundColor(kGray);
    EXPECT_EQ(map.Document.BackgroundPattern(), AsPattern(&builtIn));
    EXPECT_TRUE(map.Document.HasPatternBackground());
    EXPECT_EQ(map.Document.EffectiveBackgroundColor(FakeAverage), RGBColor(244, 210, 157));

    map.Document.SetBackgroundColor(kRed);
    map.Document.SetOverride(msoBackgroundColor, true);
    EXPECT_FALSE(map.Document.HasPatternBackground());
    EXPECT_EQ(map.Document.EffectiveBackgroundColor(FakeAverage), kRed);

    map.Document.SetOverride(msoBackgroundColor, false);
    map.Document.SetOverride(msoBackgroundPattern, true); // the document says: no pattern
    EXPECT_FALSE(map.Document.HasPatternBackground());
    EXPECT_EQ(map.Document.EffectiveBackgroundColor(FakeAverage), kGray);
    EXPECT_EQ(freed, 0);
}

TEST(TMindMapStyle, OwnedPatternIsFreedWhenReplacedOrLeftAndWithTheStyle) {
    int freed = 0;
    TFakePattern builtIn{kGray, &freed};
    {
        TMindMapStyle style;
        TChangeCounter changes(style);
        style.SetOwnedPattern(OwnedFake(kRed, freed));
        TBackgroundPattern* first = style.OwnedPattern();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(style.BackgroundPattern(), first);
        EXPECT_EQ(changes.Count, 1);

        style.SetBackgroundPattern(first);
        EXPECT_EQ(freed, 0) << "setting the owned pattern again keeps it";
        style.SetOwnedPattern(OwnedFake(kBlue, freed));
        EXPECT_EQ(freed, 1);
        EXPECT_EQ(style.EffectiveBackgroundColor(FakeAverage), kBlue);

        style.SetBackgroundPattern(AsPattern(&builtIn));
        EXPECT_EQ(freed, 2);
        EXPECT_EQ(style.OwnedPattern(), nullptr);

        style.SetOwnedPattern(OwnedFake(kGreen, freed));
        style.Reset();
        EXPECT_EQ(freed, 3) << "reset drops the pattern";
        EXPECT_EQ(style.BackgroundPattern(), nullptr);

        style.SetOwnedPattern(OwnedFake(kGreen, freed));
    }
    EXPECT_EQ(freed, 4);
}
