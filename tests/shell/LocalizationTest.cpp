#include "shell/Localization.h"

#include "platform/CVStrings.h"
#include "shell/CfgStore.h"

#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// Sets or clears an environment variable for one test and restores it afterwards.
class TEnvironmentValue {
public:
    TEnvironmentValue(const char* name, const char* value) : FName(name) {
        if (const char* old = std::getenv(name))
            FOld = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~TEnvironmentValue() {
        if (FOld)
            setenv(FName.c_str(), FOld->c_str(), 1);
        else
            unsetenv(FName.c_str());
    }
    TEnvironmentValue(const TEnvironmentValue&) = delete;
    TEnvironmentValue& operator=(const TEnvironmentValue&) = delete;

private:
    std::string FName;
    std::optional<std::string> FOld;
};

// A manager whose only language file is the given text (UTF-8 with byte-order mark), loaded as German.
struct TManagerWithFile {
    explicit TManagerWithFile(std::string text)
        : Manager(
              [this](std::string_view name) {
                  Requests.emplace_back(name);
                  return Bytes;
              },
              lanEN),
          Bytes("\xEF\xBB\xBF" + std::move(text)) {
        Manager.SetLanguage(lanDE);
    }
    TTranslationManager Manager;
    std::string Bytes;
    std::vector<std::string> Requests;
};

std::vector<std::string> Keys(const TTranslationList& list) {
    std::vector<std::string> keys;
    for (int i = 0; i < list.Count(); ++i)
        keys.push_back(list.Item(i).Key);
    return keys;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(TTranslationManager, ResolvesEscapesInFileValuesAndInFallbacks) {
    struct TCase {
        std::string Raw;
        std::string Expected;
    };
    const TCase cases[] = {
        {R"(Wheel: zooms\nCtrl + wheel: scrolls)", "Wheel: zooms\rCtrl + wheel: scrolls"},
        {R"(a\\b \"c\" \'d\')", R"(a\b "c" 'd')"},
        {R"(x\ry\tz\vw)", "x\ry\tz\tw"},
        {R"(nul\0end)", "nul\0end"s},
        // A backslash before anything else goes with that character; one at the very end goes alone.
        {R"(a\qb\)", "ab"},
        {R"(\\n)", R"(\n)"},
        {"s\\\xC3\xA4t", "st"},
        {"plain", "plain"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Raw);
        TManagerWithFile file("key=" + c.Raw + "\r\n");
        EXPECT_EQ(file.Manager.Translate("key", "unused"), c.Expected);
        EXPECT_EQ(file.Manager.Translate("no_such_key", c.Raw), c.Expected);
    }
}

TEST(TTranslationManager, TurnsOneBasedPositionalReferencesIntoZeroBasedOnes) {
    TManagerWithFile file("order=%2$s before %1$s\r\nhigh=%5$d and %6$d\r\nplain=100% %1 sure\r\n");
    EXPECT_EQ(file.Manager.Translate("order", ""), "%1:s before %0:s");
    EXPECT_EQ(FormatText(file.Manager.Translate("order", ""), {"first", "second"}), "second before first");
    EXPECT_EQ(file.Manager.Translate("high", ""), "%4:d and %6$d");
    EXPECT_EQ(file.Manager.Translate("plain", ""), "100% %1 sure");
}

TEST(TTranslationManager, EmptyListAndMissingKeysGiveTheFallback) {
    TTranslationManager manager([](std::string_view) { return std::string(); }, lanEN);
    EXPECT_EQ(manager.Translate("action_open", "Open"), "Open");
    manager.SetLanguage(lanFR);
    EXPECT_TRUE(manager.List().Empty());
    EXPECT_EQ(manager.Translate("action_open", "Open"), "Open");
}

TEST(TTranslationManager, SetLanguageReloadsOnlyWhenNeeded) {
    TManagerWithFile file("a=1\r\n");
    EXPECT_EQ(file.Requests, std::vector<std::string>{"DE_STRINGS"});
    file.Manager.SetLanguage(lanDE);
    EXPECT_EQ(file.Requests.size(), 1u);
    file.Manager.SetLanguage(lanZH_HANT);
    EXPECT_EQ(file.Requests.back(), "ZH_HANT_STRINGS");
    EXPECT_EQ(file.Manager.Language(), lanZH_HANT);
}

TEST(TTranslationManager, EveryLanguageOfTheProgramHasItsTexts) {
    const std::string wheel = "windows_scroll_wheel_ctrl_scrolls";
    for (int i = 0; i < kUILanguageCount; ++i) {
        const auto language = static_cast<TUILanguage>(i);
        SCOPED_TRACE(std::string(LanguageResourceName(language)));
        TTranslationManager manager(ReadLanguageResource, lanEN);
        manager.SetLanguage(language);
        EXPECT_FALSE(manager.Translate("action_open", "").empty());
        const std::string lines = manager.Translate(wheel, "");
        EXPECT_EQ(std::count(lines.begin(), lines.end(), '\r'), 1) << lines;
        EXPECT_EQ(lines.find('\\'), std::string::npos);
        // A key that no file holds shows its English text in every language.
        EXPECT_EQ(manager.Translate("no_file_has_this_key", "English \\\"text\\\""), "English \"text\"");
        if (language != lanEN) {
            EXPECT_NE(manager.Translate("action_open", ""), "Open");
        }
    }
}

TEST(TTranslationManager, EnglishTextsAreTheFallbacksOfTheProgram) {
    TTranslationManager manager(ReadLanguageResource, lanEN);
    manager.SetLanguage(lanEN);
    EXPECT_EQ(manager.Translate("windows_scroll_wheel_ctrl_scrolls", ""), "Wheel: zooms\rCtrl + wheel: scrolls");
    const std::string invalid = manager.Translate("db_upload_invalid_filename_error", "");
    EXPECT_THAT(invalid, testing::HasSubstr(R"( \ / : * ? " < > |)"));
    EXPECT_EQ(manager.Translate("editor_menu_zoom_actual", ""), "Zoom 100%");
    EXPECT_EQ(manager.Translate("action_open", ""), "Open");
    EXPECT_EQ(manager.Translate("style_natural_colors_dark", ""), "Natural + Colors on Black");
}

TEST(TTranslationManager, MissingResourceIsReported) {
    TTranslationManager manager([](std::string_view name) { return ReadLanguageResource("NO_" + std::string(name)); },
                                lanEN);
    EXPECT_THROW(manager.SetLanguage(lanDE), ECVException);
}

TEST(TTranslationList, LineRules) {
    TTranslationList list;
    list.LoadFromBytes("\xEF\xBB\xBF"
                       "crlf=1\r\ncr=2\rlf=3\n"
                       "eq=a=b==\r\n"
                       "=no key\r\n"
                       "empty=\r\n"
                       "no separator\r\n"
                       "\r\n"
                       " spaced = kept \r\n"
                       "dup=first\r\n"
                       "dup=second\r\n"
                       "last=no end");
    EXPECT_EQ(Keys(list), (std::vector<std::string>{" spaced ", "cr", "crlf", "dup", "eq", "last", "lf"}));
    EXPECT_EQ(*list.Find("eq"), "a=b==");
    EXPECT_EQ(*list.Find(" spaced "), " kept ");
    EXPECT_EQ(*list.Find("dup"), "first");
    EXPECT_EQ(*list.Find("last"), "no end");
    EXPECT_EQ(list.Find("empty"), nullptr);
    EXPECT_EQ(list.Find("Crlf"), nullptr); // keys are case-sensitive
}

TEST(TTranslationList, EncodingByByteOrderMark) {
    struct TCase {
        std::string Bytes;
        const char* Value; // null: refused
    };
    const TCase cases[] = {
        {"\xEF\xBB\xBFk=\xC3\xA4", "\xC3\xA4"},
        {"\xFF\xFE"s + "k\0=\0\xE4\0"s, "\xC3\xA4"},
        {"k=\xE4", "\xC3\xA4"},          // no mark, not UTF-8: Windows-1252
        {"k=\xC3\xA4", "\xC3\xA4"},      // no mark, valid UTF-8
        {"\xFE\xFF\0k\0=\0x"s, nullptr}, // UTF-16 big-endian
        {"\xFF\xFE\0\0k\0\0\0"s, nullptr},
        {"\0\0\xFE\xFF\0\0\0k"s, nullptr},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.Bytes));
        TTranslationList list;
        if (!c.Value) {
            EXPECT_THAT([&] { list.LoadFromBytes(c.Bytes); },
                        testing::ThrowsMessage<ECVException>(testing::StrEq("Unsupported text encoding")));
            continue;
        }
        list.LoadFromBytes(c.Bytes);
        ASSERT_NE(list.Find("k"), nullptr);
        EXPECT_EQ(*list.Find("k"), c.Value);
    }
    TTranslationList empty;
    empty.LoadFromBytes("");
    EXPECT_TRUE(empty.Empty());
}

TEST(TTranslationList, OrdersKeysByUtf16CodeUnitsAndFindsThemAll) {
    // '_' sorts before letters, capitals before small letters, a prefix first; a character beyond U+FFFF (a
    // surrogate pair in UTF-16) before U+FFFD, although its UTF-8 bytes are larger.
    EXPECT_LT(CompareOrdinal("a_b", "ab"), 0);
    EXPECT_LT(CompareOrdinal("Zed", "abc"), 0);
    EXPECT_LT(CompareOrdinal("ab", "abc"), 0);
    EXPECT_EQ(CompareOrdinal("same", "same"), 0);
    EXPECT_LT(CompareOrdinal("\xF0\x9F\x98\x80", "\xEF\xBF\xBD"), 0);
    EXPECT_GT(CompareOrdinal("\xEF\xBF\xBD", "\xF0\x9F\x98\x80"), 0);
    EXPECT_LT(CompareOrdinal("\xED\x9F\xBF", "\xF0\x9F\x98\x80"), 0); // U+D7FF before the pair

    std::vector<std::string> keys;
    for (int i = 0; i < 600; ++i)
        keys.push_back(Format("key_%03d", i * 7 % 600));
    keys.push_back("\xEF\xBF\xBD");
    keys.push_back("\xF0\x9F\x98\x80");
    std::mt19937 random(15);
    std::shuffle(keys.begin(), keys.end(), random);
    std::string file;
    for (const std::string& key : keys)
        file += key + "=v" + key + "\r\n";
    TTranslationList list;
    list.LoadFromBytes(file);
    ASSERT_EQ(list.Count(), 602);
    for (int i = 1; i < list.Count(); ++i)
        EXPECT_LT(CompareOrdinal(list.Item(i - 1).Key, list.Item(i).Key), 0);
    EXPECT_EQ(list.Item(list.Count() - 1).Key, "\xEF\xBF\xBD");
    for (const std::string& key : keys) {
        const std::string* value = list.Find(key);
        ASSERT_NE(value, nullptr) << key;
        EXPECT_EQ(*value, "v" + key);
    }
    EXPECT_EQ(list.Find("key_600"), nullptr);
    EXPECT_EQ(list.Find(""), nullptr);
    // Adding to the sorted list keeps it sorted; a present key is ignored.
    list.Add("key_000", "other");
    list.Add("key_0005", "between");
    EXPECT_EQ(*list.Find("key_000"), "vkey_000");
    EXPECT_EQ(*list.Find("key_0005"), "between");
    EXPECT_EQ(list.Count(), 603);
}

TEST(TTranslationList, UnsortedListKeepsFirstEntryWhenSorted) {
    TTranslationList list;
    list.SetSorted(false);
    list.Add("b", "1");
    list.Add("a", "2");
    list.Add("b", "3");
    EXPECT_EQ(*list.Find("b"), "1");
    list.SetSorted(true);
    EXPECT_EQ(Keys(list), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(*list.Find("b"), "1");
}

TEST(FormatText, FillsPlaceholdersWithoutTrustingTheFormat) {
    struct TCase {
        const char* Format;
        std::vector<TFormatArg> Args;
        std::string Expected;
    };
    const std::vector<TCase> cases = {
        {"%s|%s", {"a", "b"}, "a|b"},
        {"%d%%", {42}, "42%"},
        {"%.0f", {99.6}, "100"},
        {"%.2f", {1.005}, "1.00"},
        {"%1:s %0:s", {"a", "b"}, "b a"},
        {"%1:s %s", {"a", "b", "c"}, "b c"}, // later placeholders go on after an indexed one
        {"%0:s-%0:s", {"x"}, "x-x"},
        // Missing arguments keep the placeholder as written.
        {"%s and %s", {"a"}, "a and %s"},
        {"%d", {}, "%d"},
        {"%7:s!", {"a"}, "%7:s!"},
        {"%999999999999:s", {"a"}, "%999999999999:s"},
        // Arguments of another kind are converted.
        {"%d", {"text"}, "text"},
        {"%s", {7}, "7"},
        {"%s", {2.5}, "2.5"},
        {"%d", {2.5}, "2"},
        {"%d", {3.5}, "4"},
        {"%.1f", {3}, "3.0"},
        {"%x", {255}, "FF"},
        {"%X", {-1}, "FFFFFFFFFFFFFFFF"},
        {"%u", {-5}, "-5"},
        {"%f", {std::nan("")}, "NAN"},
        // Extra arguments are ignored; what is no placeholder is copied.
        {"nothing to fill", {"x"}, "nothing to fill"},
        {"100%", {}, "100%"},
        {"%", {"a"}, "%"},
        {"50% off", {}, "50% off"},
        {"%q%s", {"a"}, "%qa"},
        {"%.s", {"a"}, "%.s"},
        {"%-", {"a"}, "%-"},
        {"%*d", {3, 4}, "%*d"},
        // Width, alignment and precision.
        {"[%5s]", {"ab"}, "[   ab]"},
        {"[%-5s]", {"ab"}, "[ab   ]"},
        {"[%3s]", {"\xC3\xA4\xC3\xB6"}, "[ \xC3\xA4\xC3\xB6]"},
        {"%.2s", {"\xC3\xA4\xC3\xB6\xC3\xBC"}, "\xC3\xA4\xC3\xB6"},
        {"%3d|%.3d|%.3d", {7, 7, -7}, "  7|007|-007"},
        {"%n", {1234567.891}, "1,234,567.89"},
        {"%.0n", {-999.5}, "-1,000"},
        {"%g", {0.1}, "0.1"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Format);
        EXPECT_EQ(FormatText(c.Format, c.Args), c.Expected);
    }
    // Widths are capped: a translated text cannot make the program allocate gigabytes.
    EXPECT_EQ(FormatText("%999999999d", {1}).size(), 1024u);
    EXPECT_EQ(FormatText("%.999999999f", {1.0}).size(), 102u);
}

TEST(FormatText, NumbersIgnoreTheLocale) {
    TGermanLocale german;
    if (!german.Active())
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    EXPECT_EQ(FormatText("%.2f %s %n", {1.5, 0.25, 1234.5}), "1.50 0.25 1,234.50");
}

TEST(FormatText, ScanPlaceholdersNamesArgumentsAndTypes) {
    const std::vector<TFormatPlaceholder> found = ScanPlaceholders("%s %1:d %%  %.0f %x 100% %q");
    ASSERT_EQ(found.size(), 4u);
    const std::pair<int, char> expected[] = {{0, 's'}, {1, 'd'}, {2, 'f'}, {3, 'x'}};
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].Argument, expected[i].first);
        EXPECT_EQ(found[i].Type, expected[i].second);
    }
    EXPECT_EQ(found[2].Text, "%.0f");
}

TEST(Localization, EllipsisAndHints) {
    const std::string ellipsis = "\xE2\x80\xA6";
    EXPECT_EQ(AddEllipsis("Open"), "Open" + ellipsis);
    EXPECT_EQ(AddEllipsis("Open" + ellipsis), "Open" + ellipsis);
    EXPECT_EQ(AddEllipsis(""), ellipsis);
    EXPECT_EQ(AddEllipsis("Open..."), "Open..." + ellipsis);

    EXPECT_EQ(MakeHint("Zoom", ""), "@Zoom|");
    EXPECT_EQ(MakeHint("T", "a\r\nb\rc\nd"), "@T|a\\Nb\\Nc\\Nd");
    EXPECT_EQ(MakeHint("T", "C:\\x\n\n"), "@T|C:\\\\x\\N\\N");
    EXPECT_EQ(MakeHint("a\\b", "x"), "@a\\b|x");

    struct TCommand {
        std::string Caption;
        std::string Hint;
    };
    std::vector<TCommand> commands = {{"Open" + ellipsis, ""}, {"Exit", "old"}};
    SetActionHints(commands);
    EXPECT_EQ(commands[0].Hint, "@Open" + ellipsis + "|");
    EXPECT_EQ(commands[1].Hint, "@Exit|");
}

TEST(Localization, LanguageTable) {
    EXPECT_EQ(LanguageDisplayName(lanEN), "English");
    EXPECT_EQ(LanguageDisplayName(lanZH_HANT), "\xE7\xB9\x81\xE9\xAB\x94\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(LanguageDisplayName(lanZH_HANS), "\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(LanguageResourceName(lanZH_HANS), "ZH_HANS_STRINGS");
    for (int i = 0; i < kUILanguageCount; ++i) {
        const auto language = static_cast<TUILanguage>(i);
        TUILanguage parsed = lanEN;
        EXPECT_TRUE(TryLanguageFromValueName(LanguageValueName(language), parsed));
        EXPECT_EQ(parsed, language);
    }
    TUILanguage parsed = lanRU;
    EXPECT_TRUE(TryLanguageFromValueName("LANde", parsed));
    EXPECT_EQ(parsed, lanDE);
    EXPECT_FALSE(TryLanguageFromValueName("lanXX", parsed));
    EXPECT_FALSE(TryLanguageFromValueName("", parsed));
    EXPECT_EQ(parsed, lanDE);
}

TEST(Localization, DefaultLanguageFromTheLocale) {
    struct TCase {
        const char* Locale;
        TUILanguage Language;
    };
    const TCase cases[] = {
        {"de_DE.UTF-8", lanDE},
        {"de_AT", lanDE},
        {"es_MX.UTF-8", lanES},
        {"fr_CA.ISO-8859-1@euro", lanFR},
        {"it_IT", lanIT},
        {"ja_JP.eucJP", lanJA},
        {"ko_KR.UTF-8", lanKO},
        {"nl_BE", lanNL},
        {"pt_BR.UTF-8", lanPT},
        {"ru_RU", lanRU},
        {"th_TH", lanTH},
        {"tr_TR.UTF-8", lanTR},
        {"zh_TW.UTF-8", lanZH_HANT},
        {"zh_tw", lanZH_HANT},
        {"zh-Hant-TW", lanZH_HANT},
        {"zh_HK.UTF-8", lanZH_HANS},
        {"zh_MO", lanZH_HANS},
        {"zh_CN.GB2312", lanZH_HANS},
        {"zh_SG", lanZH_HANS},
        {"zh", lanZH_HANS},
        {"sv_SE.UTF-8", lanEN},
        {"en_US.UTF-8", lanEN},
        {"C.UTF-8", lanEN},
        {"POSIX", lanEN},
        {"", lanEN},
        {"nb_NO", lanEN},
        {"DE_de", lanDE},
        {"_", lanEN},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Locale);
        EXPECT_EQ(LanguageForLocale(c.Locale), c.Language);
    }
}

TEST(Localization, SystemLanguageFollowsMessagesLocale) {
    {
        const TEnvironmentValue all("LC_ALL", nullptr);
        const TEnvironmentValue messages("LC_MESSAGES", "zh_TW.UTF-8");
        const TEnvironmentValue lang("LANG", "de_DE.UTF-8");
        EXPECT_EQ(SystemDefaultLanguage(), lanZH_HANT);
    }
    {
        const TEnvironmentValue all("LC_ALL", "");
        const TEnvironmentValue messages("LC_MESSAGES", nullptr);
        const TEnvironmentValue lang("LANG", "ko_KR.UTF-8");
        EXPECT_EQ(SystemDefaultLanguage(), lanKO);
    }
    {
        const TEnvironmentValue all("LC_ALL", "sv_SE.UTF-8");
        const TEnvironmentValue lang("LANG", "de_DE.UTF-8");
        EXPECT_EQ(SystemDefaultLanguage(), lanEN);
    }
}

TEST(TTranslationManager, StoredLanguage) {
    TTempDir dir;
    const std::string path = (dir.Path() / "settings.ini").string();
    {
        TRegistryStore store(path);
        store.Load();
        TTranslationManager manager(ReadLanguageResource, lanIT);
        EXPECT_FALSE(manager.HasStoredLanguage(store));
        // A missing value stores the current language and loads it.
        manager.LoadLanguage(store);
        EXPECT_EQ(manager.Language(), lanIT);
        EXPECT_EQ(manager.Translate("action_open", ""), "Apri");
    }
    {
        TRegistryStore store(path);
        store.Load();
        EXPECT_EQ(store.ReadValue("UILanguage", "Language"), "lanIT");
        TTranslationManager manager(ReadLanguageResource, lanEN);
        EXPECT_TRUE(manager.HasStoredLanguage(store));
        manager.SetLanguage(lanJA);
        EXPECT_TRUE(manager.SaveLanguage(store));
    }
    {
        TRegistryStore store(path);
        store.Load();
        TTranslationManager manager(ReadLanguageResource, lanEN);
        manager.LoadLanguage(store);
        EXPECT_EQ(manager.Language(), lanJA);
        // A name of no language is ignored: the system default is loaded.
        store.WriteValue("UILanguage", "Language", "lanKlingon");
        TTranslationManager other(ReadLanguageResource, lanNL);
        other.LoadLanguage(store);
        EXPECT_EQ(other.Language(), lanNL);
        EXPECT_EQ(other.Translate("action_open", ""), "Openen");
    }
    EXPECT_THAT(ReadBytes(path), testing::HasSubstr("[UILanguage]\nLanguage=lanJA\n"));
}

TEST(TTranslationManager, FirstRunStoresTheChoiceAndRestarts) {
    struct TCase {
        std::optional<TUILanguage> Chosen;
        TUILanguage Stored;
    };
    const TCase cases[] = {{lanTR, lanTR}, {std::nullopt, lanPT}};
    for (const TCase& c : cases) {
        TTempDir dir;
        TRegistryStore store((dir.Path() / "settings.ini").string());
        store.Load();
        TTranslationManager manager(ReadLanguageResource, lanPT);
        int restarts = 0;
        std::optional<TUILanguage> offered;
        EXPECT_FALSE(ChooseLanguageOnFirstRun(
            manager, store,
            [&](TUILanguage current) {
                offered = current;
                return c.Chosen;
            },
            [&] { ++restarts; }));
        EXPECT_EQ(offered, lanPT);
        EXPECT_EQ(restarts, 1);
        TRegistryStore reread(store.Path());
        reread.Load();
        EXPECT_EQ(reread.ReadValue("UILanguage", "Language"), std::string(LanguageValueName(c.Stored)));

        // The next start finds the language and goes on without asking.
        TTranslationManager next(ReadLanguageResource, lanEN);
        EXPECT_TRUE(ChooseLanguageOnFirstRun(
            next, reread, [](TUILanguage) -> std::optional<TUILanguage> { throw std::logic_error("asked again"); },
            [] { throw std::logic_error("restarted again"); }));
        EXPECT_EQ(next.Language(), c.Stored);
        EXPECT_FALSE(next.List().Empty());
    }
}

TEST(TTranslationManager, FirstRunGoesOnWhenTheChoiceCannotBeStored) {
    // A damaged settings file that cannot be put aside is never written: restarting would ask forever.
    TTempDir dir;
    const std::string path = dir.Write("settings.ini", "damaged");
    dir.Write("settings.ini.damaged", "");
    for (int copy = 2; copy <= 100; ++copy)
        dir.Write("settings.ini.damaged-" + std::to_string(copy), "");
    TRegistryStore store(path);
    store.Load();
    ASSERT_EQ(store.FileState(), sfsUnreadable);
    TTranslationManager manager(ReadLanguageResource, lanEN);
    int restarts = 0;
    EXPECT_TRUE(ChooseLanguageOnFirstRun(
        manager, store, [](TUILanguage) { return std::optional<TUILanguage>(lanES); }, [&] { ++restarts; }));
    EXPECT_EQ(restarts, 0);
    EXPECT_EQ(manager.Translate("action_open", ""), "Abrir");
    EXPECT_EQ(ReadBytes(path), "damaged");
}
