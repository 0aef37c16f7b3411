#include "model/MindMapSearch.h"

#include "TestSupport.h"
#include "model/CVMindMaps.h"
#include "text/MarkDownParsers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

// Days since 1899-12-30 of the 9th, 10th, 11th and 12th of some month.
constexpr double kDay9 = 45009;
constexpr double kDay10 = 45010;
constexpr double kDay11 = 45011;
constexpr double kDay12 = 45012;

TMindMapSearchData TextSearch(const std::string& text, std::uint8_t moreFilters = 0) {
    TMindMapSearchData data;
    data.SetFilters(static_cast<std::uint8_t>(sfText | moreFilters));
    data.SetText(text);
    return data;
}

TMindMapSearchData CheckSearch(std::uint8_t states) {
    TMindMapSearchData data;
    data.SetFilters(sfCheckState);
    data.SetCheckStates(states);
    return data;
}

TMindMapSearchData IconSearch(bool specific, const std::string& name = "") {
    TMindMapSearchData data;
    data.SetFilters(sfIcon);
    data.SetSpecificIcon(specific);
    data.SetIconName(name);
    return data;
}

TMindMapSearchData DateSearch(TSearchDateMode mode, double date = 0) {
    TMindMapSearchData data;
    data.SetFilters(sfDate);
    data.SetDateMode(mode);
    data.SetDate(date);
    return data;
}

std::string NameOf(const TMindMapElement* element) {
    if (element->ElementKind() == ekTopic)
        return static_cast<const TMindMapNode*>(element)->PlainText();
    if (element->ElementKind() == ekText)
        return static_cast<const TMindMapText*>(element)->PlainText();
    return "?";
}

std::vector<std::string> NamesOf(const std::vector<TMindMapElement*>& elements) {
    std::vector<std::string> names;
    for (const TMindMapElement* element : elements)
        names.push_back(NameOf(element));
    return names;
}

class TSearchFixture : public testing::Test {
protected:
    TMindMapNode* Add(const std::string& text, TMindMapNode* parent = nullptr, TTextFormat format = tfPlain) {
        TMindMapNode* topic = Map.NewTopic({0, 0}, false);
        topic->SetText(text, format);
        topic->SetParent(parent);
        Map.RebuildCentralThemes();
        return topic;
    }

    std::vector<std::string> Search(const TMindMapSearchData& criteria) {
        return NamesOf(FindSearchMatches(Map, criteria, Cache));
    }

    // Every topic and free text of the map, for checking the flags.
    std::vector<TMindMapElement*> Searchable() const {
        std::vector<TMindMapElement*> elements;
        auto addTexts = [&elements](const TCompositeElement& owner) {
            for (int i = 0; i < owner.ContainedCount(); ++i)
                if (owner.ContainedAt(i)->ElementKind() == ekText)
                    elements.push_back(owner.ContainedAt(i));
        };
        for (int i = 0; i < Map.TopicCount(); ++i) {
            elements.push_back(Map.TopicAt(i));
            addTexts(*Map.TopicAt(i));
            addTexts(Map.TopicAt(i)->ParentRelation());
        }
        for (int i = 0; i < Map.RelationCount(); ++i)
            addTexts(*Map.RelationAt(i));
        return elements;
    }

    TMindMap Map;
    TSearchTextCache Cache;
};

// Two central themes with check boxes, icons, dates and free texts on topics, on a parent connection
// and on a cross link.
class TSampleMapSearch : public TSearchFixture {
protected:
    void SetUp() override {
        TMindMapNode* alpha = Add("Project Alpha");
        TMindMapNode* milk = Add("Buy milk", alpha);
        milk->SetCheckboxMode(cbmCheckbox);
        milk->SetIcon("ic8_48_ok");
        milk->SetDate(true, kDay10);
        TMindMapNode* bob = Add("Call Bob", milk);
        bob->SetCheckboxMode(cbmCheckbox);
        bob->SetChecked(true);
        bob->SetDate(true, kDay12);
        TMindMapNode* street = Add("Straße bauen", alpha);
        street->SetCheckboxMode(cbmProgress);
        street->SetProgress(50);
        street->SetIcon("ic8_48_flag");
        street->SetDate(true, kDay10);
        street->AddText("milk note", tfPlain);
        street->ParentRelation().AddText("Milk label", tfPlain);
        Add("Big deal", alpha);
        TMindMapNode* second = Add("Second theme");
        TMindMapNode* shake = Add("milk shake", second);
        shake->SetIcon("IC8_48_OK");
        shake->SetDate(true, kDay9);
        Map.NewCrossLink(milk, shake)->AddText("milk link", tfPlain);
    }
};

} // namespace

TEST(TMindMapSearchData, TextIsStoredCaseFolded) {
    struct TCase {
        const char* Typed;
        const char* Stored;
    };
    const TCase cases[] = {
        {"Hello World", "hello world"},
        {"STRASSE", "strasse"},
        {"Straße", "strasse"},
        {"ΣΊΣΥΦΟΣ", "σίσυφοσ"},
        {"σίσυφος", "σίσυφοσ"},
        {"МОСКВА", "москва"},
        {"Ёлка", "ёлка"},
        {"", ""},
        {"A\xFF"
         "B",
         "a\xEF\xBF\xBD"
         "b"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Typed);
        TMindMapSearchData data;
        data.SetText(c.Typed);
        EXPECT_EQ(data.Text(), c.Stored);
    }
}

TEST(TMindMapSearchData, FoldingKeepsTextAfterANulCharacter) {
    EXPECT_EQ(FoldSearchText(std::string("Ä\0Ö", 5)), std::string("ä\0ö", 5));
}

TEST(TMindMapSearchData, SettersDropWhatNoFilterUses) {
    TMindMapSearchData data;
    data.SetFilters(0xFF);
    EXPECT_EQ(data.Filters(), sfAll);
    data.SetFilters(0x10);
    EXPECT_EQ(data.Filters(), 0);
    EXPECT_FALSE(data.Active());
    data.SetCheckStates(0xFF);
    EXPECT_EQ(data.CheckStates(), scsUnchecked | scsChecked);
    data.SetDateMode(static_cast<TSearchDateMode>(5));
    EXPECT_EQ(data.DateMode(), sdmNone);
    data.SetDate(std::nan(""));
    EXPECT_EQ(data.Date(), 0);
    data.SetDate(std::numeric_limits<double>::infinity());
    EXPECT_EQ(data.Date(), 0);
}

TEST(TMindMapSearchData, EqualityComparesOnlyActiveParts) {
    using TChange = std::function<void(TMindMapSearchData&)>;
    struct TCase {
        const char* Name;
        std::uint8_t Filters;
        TChange Change;
        bool Equal;
    };
    const TCase cases[] = {
        {"nothing changed", sfAll, [](TMindMapSearchData&) {}, true},
        {"other filters", sfText, [](TMindMapSearchData& d) { d.SetFilters(sfText | sfIcon); }, false},
        {"text", sfText, [](TMindMapSearchData& d) { d.SetText("other"); }, false},
        {"text without text filter", sfIcon, [](TMindMapSearchData& d) { d.SetText("other"); }, true},
        {"text in other case", sfText, [](TMindMapSearchData& d) { d.SetText("MILK"); }, true},
        {"specific icon", sfIcon, [](TMindMapSearchData& d) { d.SetSpecificIcon(false); }, false},
        {"icon name", sfIcon, [](TMindMapSearchData& d) { d.SetIconName("ic8_48_flag"); }, false},
        {"icon name in other case", sfIcon, [](TMindMapSearchData& d) { d.SetIconName("IC8_48_OK"); }, true},
        {"icon without icon filter", sfText, [](TMindMapSearchData& d) { d.SetSpecificIcon(false); }, true},
        {"check states", sfCheckState, [](TMindMapSearchData& d) { d.SetCheckStates(scsChecked); }, false},
        {"check states without filter", sfText, [](TMindMapSearchData& d) { d.SetCheckStates(scsChecked); }, true},
        {"date mode", sfDate, [](TMindMapSearchData& d) { d.SetDateMode(sdmOnOrAfter); }, false},
        {"date", sfDate, [](TMindMapSearchData& d) { d.SetDate(kDay11); }, false},
        {"time of the same day", sfDate, [](TMindMapSearchData& d) { d.SetDate(kDay10 + 0.75); }, true},
        {"date without date filter", sfText, [](TMindMapSearchData& d) { d.SetDate(kDay11); }, true},
        {"date mode without date filter", sfText, [](TMindMapSearchData& d) { d.SetDateMode(sdmOn); }, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TMindMapSearchData base;
        base.SetFilters(c.Filters);
        base.SetText("milk");
        base.SetSpecificIcon(true);
        base.SetIconName("ic8_48_ok");
        base.SetCheckStates(scsUnchecked);
        base.SetDateMode(sdmOnOrBefore);
        base.SetDate(kDay10);
        TMindMapSearchData changed = base;
        c.Change(changed);
        EXPECT_EQ(base == changed, c.Equal);
        EXPECT_EQ(changed == base, c.Equal);
    }
}

TEST(TMindMapSearchData, IconNameCountsOnlyForASpecificIcon) {
    EXPECT_TRUE(IconSearch(false, "ic8_48_ok") == IconSearch(false, "ic8_48_flag"));
    EXPECT_FALSE(IconSearch(true, "ic8_48_ok") == IconSearch(true, "ic8_48_flag"));
    EXPECT_FALSE(IconSearch(true, "ic8_48_ok") == IconSearch(false, "ic8_48_ok"));
}

TEST(TMindMapSearchData, DateIsIgnoredForAnyDateOnly) {
    struct TCase {
        TSearchDateMode Mode;
        bool Equal;
    };
    const TCase cases[] = {{sdmAnyDate, true}, {sdmOnOrBefore, false}, {sdmOn, false}, {sdmOnOrAfter, false}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Mode));
        EXPECT_EQ(DateSearch(c.Mode, kDay9) == DateSearch(c.Mode, kDay12), c.Equal);
    }
}

TEST_F(TSampleMapSearch, MatchesAndOrdersByCriteria) {
    struct TCase {
        const char* Name;
        TMindMapSearchData Criteria;
        std::vector<std::string> Expected;
    };
    const std::vector<TCase> cases = {
        {"text: topics, then texts of the topic and its connection, then children, cross links last",
         TextSearch("milk"),
         {"Buy milk", "milk note", "Milk label", "milk shake", "milk link"}},
        {"text in upper case", TextSearch("MILK"), {"Buy milk", "milk note", "Milk label", "milk shake", "milk link"}},
        {"sharp s typed as ss", TextSearch("STRASSE"), {"Straße bauen"}},
        {"sharp s", TextSearch("straße"), {"Straße bauen"}},
        {"no match", TextSearch("zebra"), {}},
        {"empty text matches everything",
         TextSearch(""),
         {"Project Alpha", "Buy milk", "Call Bob", "Straße bauen", "milk note", "Milk label", "Big deal",
          "Second theme", "milk shake", "milk link"}},
        {"unchecked", CheckSearch(scsUnchecked), {"Buy milk", "Straße bauen"}},
        {"checked", CheckSearch(scsChecked), {"Call Bob"}},
        {"checked or unchecked", CheckSearch(scsUnchecked | scsChecked), {"Buy milk", "Call Bob", "Straße bauen"}},
        {"check filter without states", CheckSearch(0), {}},
        {"text and check state: no free texts", TextSearch("milk", sfCheckState), {}},
        {"any icon", IconSearch(false), {"Buy milk", "Straße bauen", "milk shake"}},
        {"specific icon without regard to case", IconSearch(true, "Ic8_48_Ok"), {"Buy milk", "milk shake"}},
        {"another specific icon", IconSearch(true, "ic8_48_flag"), {"Straße bauen"}},
        {"specific icon without a name", IconSearch(true, ""), {}},
        {"any date, by date across central themes, ties by text",
         DateSearch(sdmAnyDate),
         {"milk shake", "Buy milk", "Straße bauen", "Call Bob"}},
        {"on or before the 10th", DateSearch(sdmOnOrBefore, kDay10), {"milk shake", "Buy milk", "Straße bauen"}},
        {"on the 10th", DateSearch(sdmOn, kDay10), {"Buy milk", "Straße bauen"}},
        {"on or after the 10th", DateSearch(sdmOnOrAfter, kDay10), {"Buy milk", "Straße bauen", "Call Bob"}},
        {"on or after the 11th", DateSearch(sdmOnOrAfter, kDay11), {"Call Bob"}},
        {"on or before the 8th", DateSearch(sdmOnOrBefore, kDay9 - 1), {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Search(c.Criteria), c.Expected);
    }
}

TEST_F(TSampleMapSearch, CombinedFiltersMustAllPass) {
    struct TCase {
        const char* Name;
        std::uint8_t Filters;
        std::vector<std::string> Expected;
    };
    const TCase cases[] = {
        {"text and icon", sfText | sfIcon, {"Buy milk", "milk shake"}},
        {"text and date", sfText | sfDate, {"milk shake", "Buy milk"}},
        {"text and check state", sfText | sfCheckState, {"Buy milk"}},
        {"icon and check state", sfIcon | sfCheckState, {"Buy milk", "Straße bauen"}},
        {"check state and date", sfCheckState | sfDate, {"Buy milk", "Straße bauen"}},
        {"all four", sfAll, {"Buy milk"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TMindMapSearchData criteria;
        criteria.SetFilters(c.Filters);
        criteria.SetText("milk");
        criteria.SetCheckStates(scsUnchecked);
        criteria.SetSpecificIcon(false);
        criteria.SetDateMode(sdmOnOrBefore);
        criteria.SetDate(kDay10);
        EXPECT_EQ(Search(criteria), c.Expected);
    }
}

TEST_F(TSampleMapSearch, FreeTextsMatchOnlyAPureTextSearch) {
    for (std::uint8_t more :
         {std::uint8_t(0), std::uint8_t(sfIcon), std::uint8_t(sfCheckState), std::uint8_t(sfDate)}) {
        SCOPED_TRACE(static_cast<int>(more));
        TMindMapSearchData criteria = TextSearch("milk", more);
        criteria.SetCheckStates(scsUnchecked | scsChecked);
        criteria.SetDateMode(sdmAnyDate);
        FindSearchMatches(Map, criteria, Cache);
        for (TMindMapElement* element : Searchable())
            if (element->ElementKind() == ekText) {
                SCOPED_TRACE(NameOf(element));
                EXPECT_EQ(element->SearchMatched(), more == 0);
            }
    }
}

TEST_F(TSampleMapSearch, FlagsFollowTheLastSearch) {
    const std::vector<TMindMapElement*> milk = FindSearchMatches(Map, TextSearch("milk"), Cache);
    const std::vector<TMindMapElement*> bob = FindSearchMatches(Map, TextSearch("bob"), Cache);
    ASSERT_EQ(NamesOf(bob), std::vector<std::string>{"Call Bob"});
    for (TMindMapElement* element : Searchable()) {
        SCOPED_TRACE(NameOf(element));
        EXPECT_EQ(element->SearchMatched(), element == bob.front());
    }
}

TEST_F(TSampleMapSearch, SearchingOffAnswersNothingAndKeepsFlags) {
    FindSearchMatches(Map, TextSearch("milk"), Cache);
    std::vector<bool> before;
    for (TMindMapElement* element : Searchable())
        before.push_back(element->SearchMatched());
    EXPECT_TRUE(FindSearchMatches(Map, TMindMapSearchData(), Cache).empty());
    std::vector<bool> after;
    for (TMindMapElement* element : Searchable())
        after.push_back(element->SearchMatched());
    EXPECT_EQ(after, before);
    EXPECT_THAT(before, testing::Contains(true));
}

TEST_F(TSearchFixture, NonAsciiTextMatchesWithoutRegardToCase) {
    Add("Große Straße");
    Add("ΟΔΥΣΣΕΙΑ");
    Add("Москва");
    struct TCase {
        const char* Text;
        std::vector<std::string> Expected;
    };
    const TCase cases[] = {
        {"GROSSE", {"Große Straße"}},  // sharp s folds to ss
        {"strasse", {"Große Straße"}}, // and the other way round
        {"GROẞE", {"Große Straße"}},   // capital sharp s
        {"οδύσσεια", {}},              // an accented letter is another letter
        {"οδυσσεια", {"ΟΔΥΣΣΕΙΑ"}},    // Greek lower case finds upper case
        {"ΟΔΥΣΣΕΙΑ", {"ΟΔΥΣΣΕΙΑ"}},    // and upper case itself
        {"МОСКВА", {"Москва"}},        // Cyrillic upper case finds mixed case
        {"москва", {"Москва"}},        // and lower case
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(Search(TextSearch(c.Text)), c.Expected);
    }
}

TEST_F(TSearchFixture, SearchesThePlainTextWithoutMarkup) {
    // plain texts are made when the text is set, so filtering must be on before
    TMarkDownProperties& markdown = TMarkDownProperties::Instance();
    const bool wasFiltering = markdown.MarkDownFilteringEnabled();
    markdown.SetMarkDownFilteringEnabled(true);
    TMindMapNode* topic = Add("Buy **fresh** milk", nullptr, tfMarkdown);
    topic->AddText("a _very_ good deal", tfMarkdown);
    markdown.SetMarkDownFilteringEnabled(wasFiltering);
    ASSERT_EQ(topic->PlainText(), "Buy fresh milk");
    struct TCase {
        const char* Text;
        std::vector<std::string> Expected;
    };
    const TCase cases[] = {
        {"BUY FRESH MILK", {"Buy fresh milk"}},
        {"very good", {"a very good deal"}},
        {"**", {}},
        {"_very", {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(Search(TextSearch(c.Text)), c.Expected);
    }
}

TEST_F(TSearchFixture, FinalSigmaMatchesSigma) {
    Add("Σίσυφος");
    EXPECT_EQ(Search(TextSearch("ΣΊΣΥΦΟΣ")), std::vector<std::string>{"Σίσυφος"});
}

TEST_F(TSearchFixture, DateModesAtTheBoundaries) {
    Add("none");
    Add("ninth")->SetDate(true, kDay9);
    Add("tenth")->SetDate(true, kDay10);
    Add("tenth evening")->SetDate(true, kDay10 + 0.75);
    Add("eleventh")->SetDate(true, kDay11);
    struct TCase {
        TSearchDateMode Mode;
        double Date;
        std::vector<std::string> Expected;
    };
    const TCase cases[] = {
        {sdmAnyDate, kDay12, {"ninth", "tenth", "tenth evening", "eleventh"}},
        {sdmOnOrBefore, kDay10, {"ninth", "tenth", "tenth evening"}},
        {sdmOnOrBefore, kDay9, {"ninth"}},
        {sdmOnOrBefore, kDay9 - 1, {}},
        {sdmOn, kDay10, {"tenth", "tenth evening"}},
        {sdmOn, kDay10 + 0.5, {"tenth", "tenth evening"}},
        {sdmOn, kDay12, {}},
        {sdmOnOrAfter, kDay10, {"tenth", "tenth evening", "eleventh"}},
        {sdmOnOrAfter, kDay11, {"eleventh"}},
        {sdmOnOrAfter, kDay11 + 0.9, {"eleventh"}},
        {sdmOnOrAfter, kDay12, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(c.Mode) << " date " << c.Date);
        EXPECT_EQ(Search(DateSearch(c.Mode, c.Date)), c.Expected);
    }
}

TEST_F(TSearchFixture, EqualDatesOrderByTextWithoutRegardToCase) {
    TMindMapNode* theme = Add("theme");
    Add("Cherry", theme)->SetDate(true, kDay10);
    Add("late", theme)->SetDate(true, kDay12);
    Add("apple", theme)->SetDate(true, kDay10);
    Add("early", theme)->SetDate(true, kDay9);
    Add("Banana", theme)->SetDate(true, kDay10);
    EXPECT_EQ(Search(DateSearch(sdmAnyDate)), (std::vector<std::string>{"early", "apple", "Banana", "Cherry", "late"}));
}

TEST_F(TSearchFixture, EqualDatesOrderByTheUsersLocale) {
    TGermanLocale german;
    if (!german.Active())
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    Add("Zebra")->SetDate(true, kDay10);
    Add("Äpfel")->SetDate(true, kDay10);
    Add("birne")->SetDate(true, kDay10);
    EXPECT_EQ(Search(DateSearch(sdmAnyDate)), (std::vector<std::string>{"Äpfel", "birne", "Zebra"}));
}

TEST_F(TSearchFixture, RolledUpProgressOfAHundredCountsAsChecked) {
    TMindMapNode* parent = Add("parent");
    parent->SetCheckboxMode(cbmRollUpProgress);
    TMindMapNode* first = Add("first", parent);
    first->SetCheckboxMode(cbmCheckbox);
    first->SetChecked(true);
    TMindMapNode* second = Add("second", parent);
    second->SetCheckboxMode(cbmCheckbox);
    second->SetChecked(true);
    Map.RollUpProgress();
    ASSERT_EQ(parent->Progress(), 100);
    EXPECT_EQ(Search(CheckSearch(scsChecked)), (std::vector<std::string>{"parent", "first", "second"}));
    EXPECT_EQ(Search(CheckSearch(scsUnchecked)), std::vector<std::string>{});

    second->SetChecked(false);
    Map.RollUpProgress();
    ASSERT_EQ(parent->Progress(), 50);
    EXPECT_EQ(Search(CheckSearch(scsChecked)), std::vector<std::string>{"first"});
    EXPECT_EQ(Search(CheckSearch(scsUnchecked)), (std::vector<std::string>{"parent", "second"}));
}

TEST_F(TSearchFixture, ProgressBelowAHundredIsUnchecked) {
    struct TCase {
        TCheckboxMode Mode;
        int Progress;
        bool Checked;
    };
    const TCase cases[] = {
        {cbmProgress, 99, false},
        {cbmProgress, 100, true},
        {cbmProgress, 0, false},
        {cbmCheckbox, 100, true},
    };
    TMindMapNode* topic = Add("topic");
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(c.Mode) << " progress " << c.Progress);
        topic->SetCheckboxMode(c.Mode);
        topic->SetProgress(c.Progress);
        EXPECT_EQ(Search(CheckSearch(scsChecked)).size(), c.Checked ? 1u : 0u);
        EXPECT_EQ(Search(CheckSearch(scsUnchecked)).size(), c.Checked ? 0u : 1u);
    }
}

TEST_F(TSearchFixture, CustomIconsMatchByName) {
    Add("photo")->SetIcon("#Photo-1");
    Add("stock")->SetIcon("ic8_48_ok");
    EXPECT_EQ(Search(IconSearch(true, "#photo-1")), std::vector<std::string>{"photo"});
    EXPECT_EQ(Search(IconSearch(false)), (std::vector<std::string>{"photo", "stock"}));
}

TEST_F(TSearchFixture, MatchesFollowTheTreeNotTheTopicList) {
    // created child first: the search walks the branches, not the order of creation
    TMindMapNode* child = Add("child match");
    TMindMapNode* theme = Add("theme match");
    Add("sibling match", theme);
    child->SetParent(theme);
    Map.RebuildCentralThemes();
    EXPECT_EQ(Search(TextSearch("match")), (std::vector<std::string>{"theme match", "sibling match", "child match"}));
}

TEST_F(TSearchFixture, CollectIconNamesListsEachNameOnceInTopicOrder) {
    TMindMapNode* child = Add("child");
    child->SetIcon("ic8_48_flag");
    TMindMapNode* theme = Add("theme");
    theme->SetIcon("ic8_48_ok");
    child->SetParent(theme);
    Add("no icon", theme);
    Add("again", theme)->SetIcon("ic8_48_flag");
    Add("custom", theme)->SetIcon("#picture");
    Add("listed", theme)->SetIcon("ic8_48_star");
    Map.RebuildCentralThemes();
    std::vector<std::string> names{"ic8_48_star"};
    CollectIconNames(Map, names);
    EXPECT_EQ(names, (std::vector<std::string>{"ic8_48_star", "ic8_48_flag", "ic8_48_ok", "#picture"}));
}

TEST(TSearchTextCache, FoldsATextAgainOnlyWhenItChanged) {
    TMindMap map;
    TMindMapNode* topic = map.NewTopic({0, 0}, false);
    TSearchTextCache cache;
    EXPECT_EQ(cache.FoldedText(*topic, "ABC"), "abc");
    EXPECT_EQ(cache.FoldedText(*topic, "ABC"), "abc");
    EXPECT_EQ(cache.FoldCount(), 1u);
    EXPECT_EQ(cache.FoldedText(*topic, "Äbc"), "äbc");
    EXPECT_EQ(cache.FoldCount(), 2u);
    EXPECT_EQ(cache.FoldedText(*topic, ""), "");
    EXPECT_EQ(cache.Size(), 1u);
}

TEST(TSearchTextCache, DropsTextsASearchDidNotLookUp) {
    TMindMap map;
    TMindMapNode* a = map.NewTopic({0, 0}, false);
    TMindMapNode* b = map.NewTopic({0, 0}, false);
    TSearchTextCache cache;
    cache.BeginSearch();
    cache.FoldedText(*a, "a");
    cache.FoldedText(*b, "b");
    cache.EndSearch();
    EXPECT_EQ(cache.Size(), 2u);
    cache.BeginSearch();
    cache.FoldedText(*a, "a");
    cache.EndSearch();
    EXPECT_EQ(cache.Size(), 1u);
    // a search without text lookups keeps what the last text search folded
    cache.BeginSearch();
    cache.EndSearch();
    EXPECT_EQ(cache.Size(), 1u);
    cache.Clear();
    EXPECT_EQ(cache.Size(), 0u);
}

TEST_F(TSampleMapSearch, RepeatedSearchesFoldOnlyChangedTexts) {
    const std::size_t searchable = Searchable().size();
    Search(TextSearch("m"));
    EXPECT_EQ(Cache.FoldCount(), searchable);
    Search(TextSearch("mi"));
    Search(IconSearch(false));
    Search(TextSearch("mil"));
    EXPECT_EQ(Cache.FoldCount(), searchable);
    EXPECT_EQ(Cache.Size(), searchable);

    Map.TopicAt(0)->SetText("Project MILKY WAY", tfPlain);
    EXPECT_EQ(Search(TextSearch("milk")), (std::vector<std::string>{"Project MILKY WAY", "Buy milk", "milk note",
                                                                    "Milk label", "milk shake", "milk link"}));
    EXPECT_EQ(Cache.FoldCount(), searchable + 1);
}

TEST_F(TSampleMapSearch, ChangedFreeTextsAreSearchedAsTheyAreNow) {
    TMindMapNode* street = Map.TopicAt(3);
    ASSERT_EQ(street->PlainText(), "Straße bauen");
    auto* note = static_cast<TMindMapText*>(street->ContainedAt(0));
    EXPECT_EQ(Search(TextSearch("note")), std::vector<std::string>{"milk note"});
    note->SetText("Zebra", tfPlain);
    EXPECT_EQ(Search(TextSearch("note")), std::vector<std::string>{});
    EXPECT_EQ(Search(TextSearch("ZEBRA")), std::vector<std::string>{"Zebra"});
}
