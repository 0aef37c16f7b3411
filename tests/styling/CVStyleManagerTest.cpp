#include "styling/CVStyleManager.h"

#include "platform/CVStrings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// Settings kept in memory as "section/name" = text.
class TMemoryStore : public IFontSettingsStore {
public:
    std::string ReadString(const std::string& section, const std::string& name, const std::string& fallback) override {
        const auto it = Values.find(section + "/" + name);
        return it == Values.end() ? fallback : it->second;
    }
    double ReadFloat(const std::string& section, const std::string& name, double fallback) override {
        const auto it = Values.find(section + "/" + name);
        return it == Values.end() ? fallback : ParseFloat(it->second).value_or(fallback);
    }
    bool ReadBool(const std::string& section, const std::string& name, bool fallback) override {
        const auto it = Values.find(section + "/" + name);
        return it == Values.end() ? fallback : it->second == "True";
    }
    void WriteString(const std::string& section, const std::string& name, const std::string& value) override {
        Values[section + "/" + name] = value;
    }
    void WriteFloat(const std::string& section, const std::string& name, double value) override {
        Values[section + "/" + name] = FormatFloat(value);
    }
    void WriteBool(const std::string& section, const std::string& name, bool value) override {
        Values[section + "/" + name] = value ? "True" : "False";
    }

    std::map<std::string, std::string> Values;
};

// Counts what the manager tells its observers.
struct TNotifications {
    explicit TNotifications(TStyleManager& manager) : Observer(manager) {
        Observer.SetOnTopicFontsChanged([this] { ++TopicFonts; });
        Observer.SetOnTextFontChanged([this] { ++TextFont; });
        Observer.SetOnOptionsChanged([this] { ++Options; });
        Observer.SetOnSheetAdded([this](TStyleSheet&) { ++SheetsAdded; });
        Observer.SetOnSheetChanged([this](TStyleSheet&) { ++SheetsChanged; });
    }

    TStyleManagerObserver Observer;
    int TopicFonts = 0;
    int TextFont = 0;
    int Options = 0;
    int SheetsAdded = 0;
    int SheetsChanged = 0;
};

std::string FontText(const TPangoMindNodeStyleData& data) {
    return data.FontName() + " " + FormatFloat(data.PointSize()) + (data.Bold() ? " bold" : "") +
           (data.Italic() ? " italic" : "");
}

} // namespace

TEST(TStyleManager, TextRolesStartWithTheirFonts) {
    TStyleManager manager("de_DE.UTF-8");
    EXPECT_EQ(manager.DefaultFontName(), "Liberation Sans");
    struct TCase {
        const char* Role;
        TPangoMindNodeStyleData& Data;
        const char* Font;
        double BorderWidth;
    };
    const TCase cases[] = {
        {"central theme", manager.CentralThemeData(), "Liberation Sans 15 bold", 2.5},
        {"main branch", manager.MainBranchData(), "Liberation Sans 12 bold", 1.5},
        {"sub-branch", manager.SubBranchData(), "Liberation Sans 10", 1.0},
        {"text", manager.TextData(), "Liberation Sans 10", 1.0},
        {"outline", manager.OutlineData(), "Liberation Sans 9 bold", 1.0},
        {"caption", manager.CaptionData(), "Liberation Sans 9", 1.0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Role);
        EXPECT_EQ(FontText(c.Data), c.Font);
        EXPECT_EQ(c.Data.BorderWidth(), c.BorderWidth);
        const PangoFontDescription* description = c.Data.FontDescription();
        EXPECT_STREQ(pango_font_description_get_family(description), "Liberation Sans");
        EXPECT_EQ(pango_font_description_get_size(description), static_cast<int>(c.Data.PointSize() * PANGO_SCALE));
        EXPECT_EQ(pango_font_description_get_weight(description),
                  c.Data.Bold() ? PANGO_WEIGHT_SEMIBOLD : PANGO_WEIGHT_NORMAL);
        EXPECT_GT(c.Data.LineBox().Y, 0);
        EXPECT_EQ(c.Data.LineBox().X, c.Data.LineBox().Y);
    }
    EXPECT_EQ(&manager.TopicDataForLevel(0), &manager.CentralThemeData());
    EXPECT_EQ(&manager.TopicDataForLevel(1), &manager.MainBranchData());
    EXPECT_EQ(&manager.TopicDataForLevel(2), &manager.SubBranchData());
    EXPECT_EQ(&manager.TopicDataForLevel(9), &manager.SubBranchData());
}

TEST(TStyleManager, DefaultFontFollowsTheLanguageWhenItsFamilyIsInstalled) {
    const std::set<std::string> installed = {"Noto Sans CJK JP", "Noto Sans CJK TC", "Noto Sans CJK SC",
                                             "Noto Sans CJK KR", "Liberation Sans"};
    const auto isInstalled = [&installed](std::string_view family) { return installed.count(std::string(family)); };
    struct TCase {
        const char* Locale;
        const char* Family;
    };
    const TCase cases[] = {
        {"de_DE.UTF-8", "Liberation Sans"},
        {"ja_JP.UTF-8", "Noto Sans CJK JP"},
        {"ja", "Noto Sans CJK JP"},
        {"zh_TW.UTF-8", "Noto Sans CJK TC"},
        {"zh_HK", "Noto Sans CJK TC"},
        {"zh-Hant-SG", "Noto Sans CJK TC"},
        {"zh_CN.GB18030", "Noto Sans CJK SC"},
        {"zh_SG", "Noto Sans CJK SC"},
        {"ko_KR.UTF-8@euro", "Noto Sans CJK KR"},
        // not installed here
        {"hi_IN.UTF-8", "Liberation Sans"},
        {"C", "Liberation Sans"},
        {"", "Liberation Sans"},
        {"jap_XX", "Liberation Sans"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Locale);
        EXPECT_EQ(DefaultFontFamily(c.Locale, isInstalled), c.Family);
    }

    // with the families fontconfig really has
    TStyleManager japanese("ja_JP.UTF-8");
    EXPECT_EQ(japanese.DefaultFontName(),
              japanese.MeasuringContext().HasFamily("Noto Sans CJK JP") ? "Noto Sans CJK JP" : "Liberation Sans");
    EXPECT_TRUE(japanese.MeasuringContext().HasFamily("liberation SANS"));
    EXPECT_FALSE(japanese.MeasuringContext().HasFamily("No Such Family Anywhere"));
}

TEST(TStyleManager, MeasuredSizeTrustsInkOnlyCloseToTheLogicalBox) {
    struct TCase {
        const char* Name;
        TFloatPoint Logical;
        TFloatPoint Ink;
        bool Missing;
        TFloatPoint Expected;
    };
    const TCase cases[] = {
        {"ink inside", {100, 20}, {90, 15}, false, {100, 20}},
        {"ink 10 % wider", {100, 20}, {110, 15}, false, {110, 20}},
        {"ink 20 % wider", {100, 20}, {120, 15}, false, {100, 20}},
        {"ink exactly 15 % wider", {100, 20}, {115, 15}, false, {100, 20}},
        {"ink 10 % taller", {100, 20}, {50, 22}, false, {100, 22}},
        {"ink 20 % taller", {100, 20}, {110, 24}, false, {100, 20}},
        {"missing glyphs", {100, 20}, {110, 15}, true, {100, 20}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(MeasuredTextSize(c.Logical, c.Ink, c.Missing), c.Expected);
    }
}

TEST(TPangoMindNodeStyleData, MeasurementsKeepTheirProportions) {
    TStyleManager manager("en_US.UTF-8");
    TPangoMindNodeStyleData& data = manager.SubBranchData();
    const std::string sample = "Quarterly planning meeting";
    const TFloatPoint at10 = data.MeasureText(sample);
    const double line = data.LineBox().Y;
    EXPECT_GT(at10.X, 0);

    // the same text at twice and four times the size: widths in proportion, up to pixel rounding
    for (const double size : {20.0, 40.0}) {
        SCOPED_TRACE(size);
        data.SetPointSize(size);
        const TFloatPoint scaled = data.MeasureText(sample);
        EXPECT_NEAR(scaled.X, at10.X * size / 10, 2 * size / 10);
        EXPECT_NEAR(scaled.Y, at10.Y * size / 10, 2 * size / 10);
        EXPECT_NEAR(data.LineBox().Y, line * size / 10, 2 * size / 10);
    }
    data.SetPointSize(10);
    EXPECT_EQ(data.MeasureText(sample), at10);

    data.SetBold(true);
    EXPECT_GT(data.MeasureText(sample).X, at10.X);
    data.SetBold(false);

    // line breaks of every kind; nothing breaks elsewhere
    const TFloatPoint one = data.MeasureText("Alpha");
    for (const char* twoLines : {"Alpha\rBeta", "Alpha\nBeta", "Alpha\r\nBeta"}) {
        SCOPED_TRACE(twoLines);
        const TFloatPoint two = data.MeasureText(twoLines);
        EXPECT_NEAR(two.Y, 2 * one.Y, 1);
        EXPECT_NEAR(two.X, one.X, 1);
    }
    const std::string longLine(2000, 'x');
    EXPECT_NEAR(data.MeasureText(longLine).Y, one.Y, 1);

    // an empty text is as high as one line
    EXPECT_EQ(data.MeasureText("").X, 0);
    EXPECT_EQ(data.MeasureText("").Y, data.LineBox().Y);
    EXPECT_EQ(data.LineBox().Y, data.MeasureText("Wyg").Y);
}

TEST(TPangoMindNodeStyleData, MeasuresBrokenTextAsItWouldBeShown) {
    TStyleManager manager("en_US.UTF-8");
    TPangoMindNodeStyleData& data = manager.TextData();
    const TFloatPoint replaced = data.MeasureText("ab\xEF\xBF\xBD"
                                                  "cd");
    EXPECT_EQ(data.MeasureText(std::string("ab\xFF"
                                           "cd")),
              replaced);
    EXPECT_EQ(data.MeasureText(std::string("ab\0cd", 5)), replaced);
    // characters no font has still measure
    const TFloatPoint unassigned = data.MeasureText("\xF4\x8F\xBF\xBD\xF4\x8F\xBF\xBD");
    EXPECT_GT(unassigned.Y, 0);
}

TEST(TPangoMindNodeStyleData, ReportsChangesOnceAtTheEndOfAnUpdate) {
    TStyleManager manager("en_US.UTF-8");
    TNotifications heard(manager);
    TPangoMindNodeStyleData& data = manager.CentralThemeData();

    data.BeginUpdate();
    data.SetFontName("DejaVu Sans");
    data.SetPointSize(20);
    data.SetItalic(true);
    data.SetBorderWidth(3);
    EXPECT_EQ(heard.TopicFonts, 0);
    data.EndUpdate();
    EXPECT_EQ(heard.TopicFonts, 1);
    EXPECT_EQ(FontText(data), "DejaVu Sans 20 bold italic");
    EXPECT_STREQ(pango_font_description_get_family(data.FontDescription()), "DejaVu Sans");
    EXPECT_EQ(pango_font_description_get_style(data.FontDescription()), PANGO_STYLE_ITALIC);

    // unchanged values, unmatched ends and values that cannot be fonts report nothing
    data.SetPointSize(20);
    data.SetItalic(true);
    data.SetBorderWidth(3);
    data.SetBorderWidth(std::nan(""));
    data.SetPointSize(std::nan(""));
    data.EndUpdate();
    EXPECT_EQ(heard.TopicFonts, 1);
    EXPECT_EQ(data.PointSize(), 20);

    data.SetPointSize(12.5);
    EXPECT_EQ(heard.TopicFonts, 2);
    EXPECT_EQ(data.FontSize(), 12);
    data.SetPointSize(-4);
    EXPECT_EQ(data.PointSize(), 1);
    EXPECT_GT(data.LineBox().Y, 0);
}

TEST(TStyleManager, TellsObserversWhichFontsChanged) {
    struct TCase {
        const char* Role;
        TPangoMindNodeStyleData& (TStyleManager::*Data)();
        int TopicFonts;
        int TextFont;
    };
    const TCase cases[] = {
        {"central theme", &TStyleManager::CentralThemeData, 1, 0},
        {"main branch", &TStyleManager::MainBranchData, 1, 0},
        {"sub-branch", &TStyleManager::SubBranchData, 1, 0},
        {"caption", &TStyleManager::CaptionData, 1, 0},
        // free texts are measured again, topics are not
        {"text", &TStyleManager::TextData, 0, 1},
        {"outline", &TStyleManager::OutlineData, 0, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Role);
        TStyleManager manager("en_US.UTF-8");
        TNotifications heard(manager);
        (manager.*c.Data)().SetBold(!(manager.*c.Data)().Bold());
        EXPECT_EQ(heard.TopicFonts, c.TopicFonts);
        EXPECT_EQ(heard.TextFont, c.TextFont);
    }
}

TEST(TStyleManager, LoadsAndSavesTheConfigurableFonts) {
    TStyleManager manager("en_US.UTF-8");
    TMemoryStore store;
    store.Values["NodeStyles\\CentralTheme/fontname"] = "DejaVu Serif";
    store.Values["NodeStyles\\CentralTheme/fontsize"] = "18.5";
    store.Values["NodeStyles\\SubBranch/italicfont"] = "True";
    store.Values["NodeStyles\\Text/boldfont"] = "True";
    store.Values["NodeStyles\\Outline/fontsize"] = "11";
    store.Values["NodeStyles\\Caption/fontsize"] = "30";

    TNotifications heard(manager);
    manager.LoadFonts(store, "NodeStyles");
    // one change per role, loaded or not
    EXPECT_EQ(heard.TopicFonts, 3);
    EXPECT_EQ(heard.TextFont, 1);
    EXPECT_EQ(FontText(manager.CentralThemeData()), "DejaVu Serif 18.5 bold");
    EXPECT_EQ(manager.CentralThemeData().FontSize(), 18);
    EXPECT_EQ(FontText(manager.MainBranchData()), "Liberation Sans 12 bold");
    EXPECT_EQ(FontText(manager.SubBranchData()), "Liberation Sans 10 italic");
    EXPECT_EQ(FontText(manager.TextData()), "Liberation Sans 10 bold");
    EXPECT_EQ(FontText(manager.OutlineData()), "Liberation Sans 11 bold");
    // captions are not configurable
    EXPECT_EQ(FontText(manager.CaptionData()), "Liberation Sans 9");

    TMemoryStore saved;
    manager.SaveFonts(saved, "Settings\\NodeStyles");
    EXPECT_EQ(saved.Values.size(), 20u);
    EXPECT_EQ(saved.Values["Settings\\NodeStyles\\CentralTheme/fontname"], "DejaVu Serif");
    EXPECT_EQ(saved.Values["Settings\\NodeStyles\\CentralTheme/fontsize"], "18.5");
    EXPECT_EQ(saved.Values["Settings\\NodeStyles\\SubBranch/italicfont"], "True");
    EXPECT_EQ(saved.Values["Settings\\NodeStyles\\MainBranch/boldfont"], "True");

    TStyleManager reloaded("en_US.UTF-8");
    reloaded.LoadFonts(saved, "Settings\\NodeStyles");
    for (auto data : {&TStyleManager::CentralThemeData, &TStyleManager::MainBranchData, &TStyleManager::SubBranchData,
                      &TStyleManager::TextData, &TStyleManager::OutlineData})
        EXPECT_EQ(FontText((reloaded.*data)()), FontText((manager.*data)()));
}

TEST(TStyleManager, OverriddenFontsMeasureInTheRolesFamilyWithTheStylesSizeAndBits) {
    TStyleManager manager("en_US.UTF-8");
    TPangoMindNodeStyleData& sub = manager.SubBranchData();
    sub.SetFontName("DejaVu Sans");
    const std::string text = "Measure me";

    TFontDescriptor plain;
    EXPECT_EQ(&manager.MeasuringFont(sub, plain), &sub);
    const TElementTextMetrics regular = manager.MeasureElementText(sub, plain, text);
    EXPECT_EQ(regular.Size, sub.MeasureText(text));
    EXPECT_EQ(regular.LineBox, sub.LineBox());
    EXPECT_EQ(regular.ItalicAllowance, 0);

    // font scale 1.5 and bold: the role's family at 15 points bold
    TFontDescriptor scaled;
    scaled.FontOverridden = true;
    scaled.Size = 15;
    scaled.FontStyle = fsBold;
    const TPangoMindNodeStyleData& derived = manager.MeasuringFont(sub, scaled);
    EXPECT_NE(&derived, &sub);
    EXPECT_EQ(FontText(derived), "DejaVu Sans 15 bold");
    const TElementTextMetrics large = manager.MeasureElementText(sub, scaled, text);
    EXPECT_GT(large.Size.X, regular.Size.X * 1.5);
    EXPECT_GT(large.LineBox.Y, regular.LineBox.Y);
    // measuring and painting keep separate scratch fonts
    TFontDescriptor small = scaled;
    small.Size = 8;
    EXPECT_EQ(FontText(manager.PaintingFont(sub, small)), "DejaVu Sans 8 bold");
    EXPECT_EQ(FontText(derived), "DejaVu Sans 15 bold");

    // italic fonts add a sixth of the line height to the width
    TFontDescriptor italic = scaled;
    italic.FontStyle = fsBold | fsItalic;
    const TElementTextMetrics leaning = manager.MeasureElementText(sub, italic, text);
    EXPECT_DOUBLE_EQ(leaning.ItalicAllowance, leaning.LineBox.Y / 6);
    EXPECT_DOUBLE_EQ(leaning.Size.X, manager.MeasuringFont(sub, italic).MeasureText(text).X + leaning.ItalicAllowance);

    // a changed role font reaches the derived font
    sub.SetFontName("Liberation Serif");
    EXPECT_EQ(FontText(manager.MeasuringFont(sub, scaled)), "Liberation Serif 15 bold");
}

TEST(TStyleManager, AppearanceRebuildsEverySheetOnce) {
    TStyleManager manager("en_US.UTF-8");
    SetUpBuiltInStyles(manager);
    TNotifications heard(manager);
    EXPECT_EQ(manager.Options().Appearance(), apLight);

    manager.Options().SetAppearance(apDark);
    EXPECT_TRUE(manager.Options().IsDark());
    EXPECT_EQ(heard.SheetsChanged, 17);
    EXPECT_EQ(heard.Options, 1);

    manager.Options().SetAppearance(apDark);
    manager.Options().SetAppearance(static_cast<TAppearance>(7));
    EXPECT_EQ(heard.Options, 1);

    // the system appearance follows the desktop
    manager.Options().SetAppearance(apSystem);
    EXPECT_FALSE(manager.Options().IsDark());
    manager.Options().SetPlatformDark(true);
    EXPECT_TRUE(manager.Options().IsDark());
    EXPECT_EQ(heard.Options, 3);
    manager.Options().SetAppearance(apLight);
    manager.Options().SetPlatformDark(false);
    EXPECT_FALSE(manager.Options().IsDark());
    EXPECT_EQ(heard.Options, 4);
}

TEST(TStyleManager, RegistersSheetsAndKeepsTheDefault) {
    TStyleManager manager("en_US.UTF-8");
    TNotifications heard(manager);
    SetUpBuiltInStyles(manager);
    EXPECT_EQ(heard.SheetsAdded, 17);
    EXPECT_EQ(manager.Schemes().Count(), 27);
    EXPECT_EQ(manager.DefaultSheet()->Key(), "system.bright-palette");
    manager.SetDefaultSheet("SYSTEM.BLUE-STEEL");
    EXPECT_EQ(manager.DefaultSheet()->Key(), "system.blue-steel");
    // an unknown key falls back like every lookup
    manager.SetDefaultSheet("system.unknown");
    EXPECT_EQ(manager.DefaultSheet()->Key(), "system.bright-palette");

    // duplicates are kept; lookups find the first
    TStyleSheet& duplicate = manager.RegisterSheet(NewStyleSheet<TBlueSteelStyle>(manager));
    EXPECT_EQ(manager.SheetCount(), 18);
    EXPECT_NE(manager.FindSheet("system.blue-steel"), &duplicate);

    // without a default set, the first sheet becomes it
    TStyleManager fresh("en_US.UTF-8");
    RegisterBuiltInColorSchemes(fresh.Schemes());
    fresh.RegisterSheet(NewStyleSheet<TChartStyle>(fresh));
    fresh.RegisterSheet(NewStyleSheet<TGrayScaleStyle>(fresh));
    EXPECT_EQ(fresh.DefaultSheet()->Key(), "system.basic-chart");

    EXPECT_EQ(StyleManager().SheetCount(), 17);
    EXPECT_EQ(StyleManager().DefaultSheet()->Key(), "system.bright-palette");
    EXPECT_FALSE(StyleManager().Options().IsDark());
}

TEST(TStyleManagerObserver, ObserversComeAndGoSafely) {
    auto manager = std::make_unique<TStyleManager>("en_US.UTF-8");
    int early = 0;
    int late = 0;
    auto first = std::make_unique<TStyleManagerObserver>(*manager);
    auto second = std::make_unique<TStyleManagerObserver>(*manager);
    // the first observer frees the second while the manager is telling them
    first->SetOnTopicFontsChanged([&] {
        ++early;
        second.reset();
    });
    second->SetOnTopicFontsChanged([&] { ++late; });
    manager->CentralThemeData().SetBold(false);
    EXPECT_EQ(early, 1);
    EXPECT_EQ(late, 0);

    {
        TStyleManagerObserver gone(*manager);
        gone.SetOnTopicFontsChanged([&] { ++late; });
    }
    manager->CentralThemeData().SetBold(true);
    EXPECT_EQ(early, 2);
    EXPECT_EQ(late, 0);

    // an observer may outlive the manager
    manager.reset();
    first.reset();
}
