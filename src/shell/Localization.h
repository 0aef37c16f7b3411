#pragma once

// The user-interface languages, the translated texts of the current one, and the small text helpers that
// captions and hints use everywhere. Every text the user sees is fetched by a key with its English text as the
// fallback: Translate("action_open", "Open").

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

class TRegistryStore;

// In the order of the language chooser.
enum TUILanguage : std::uint8_t {
    lanEN,
    lanDE,
    lanES,
    lanFR,
    lanIT,
    lanJA,
    lanKO,
    lanNL,
    lanPT,
    lanRU,
    lanTH,
    lanTR,
    lanZH_HANS,
    lanZH_HANT,
};
constexpr int kUILanguageCount = 14;

// The name shown in the chooser, in the language itself ("Deutsch").
std::string_view LanguageDisplayName(TUILanguage language);
// The language file's resource name ("DE_STRINGS").
std::string_view LanguageResourceName(TUILanguage language);
// The value's name as stored in the settings ("lanDE").
std::string_view LanguageValueName(TUILanguage language);
// The language a stored name stands for; letter case is ignored. False for a name of no language.
bool TryLanguageFromValueName(std::string_view name, TUILanguage& language);

// The default language for a POSIX locale name such as "de_AT.UTF-8" or "zh_TW": the language's own row, Chinese
// for Taiwan as Traditional and every other Chinese locale as Simplified, anything else English.
TUILanguage LanguageForLocale(std::string_view localeName);
// The user's locale for messages: LC_ALL, else LC_MESSAGES, else LANG; empty when none is set.
std::string UserMessagesLocaleName();
TUILanguage SystemDefaultLanguage();

// One entry of a language file. Values are kept as written; escapes are resolved at lookup.
struct TTranslationItem {
    std::string Key;
    std::string Value;
};

// The ordering of keys: UTF-16 code unit by code unit, the shorter string first on a common prefix. Negative,
// zero or positive like strcmp.
int CompareOrdinal(std::string_view a, std::string_view b);

// The entries of one language, ordered by key for binary search. The first entry of a key wins.
class TTranslationList {
public:
    void Clear();
    int Count() const { return static_cast<int>(FItems.size()); }
    bool Empty() const { return FItems.empty(); }
    const TTranslationItem& Item(int index) const { return FItems.at(static_cast<std::size_t>(index)); }

    // While ordering is off, entries are appended as they come; switching it on sorts once and drops every
    // later entry of a key that is already present.
    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    // Ignored when the key is already present.
    void Add(std::string key, std::string value);
    // The value of the key, or null.
    const std::string* Find(std::string_view key) const;

    // Decodes a language file (by its byte-order mark) and adds every valid line in file order. Raises
    // ECVException "Unsupported text encoding" for UTF-16 big-endian and UTF-32.
    void LoadFromBytes(std::string_view bytes);

private:
    std::vector<TTranslationItem> FItems;
    bool FSorted = true;
};

// Calls the handler for every valid line of a decoded language file: lines end at CR LF, CR or LF; the key is
// what stands before the first "=", the value everything after it; nothing is trimmed. Lines without "=", with
// an empty key or an empty value are skipped.
void ParseLanguageText(std::string_view text,
                       const std::function<void(std::string_view key, std::string_view value)>& handler);

// \" \' \\ \0 \n \r \t \v as the language files use them (\n and \r both give CR, \t and \v both TAB); a backslash
// before any other character is dropped with it, a backslash at the end is dropped.
std::string ResolveEscapes(std::string_view text);
// "%1$" .. "%5$" (1-based, as translators write them) become "%0:" .. "%4:" (0-based, as FormatText reads them).
std::string ConvertPositionalArguments(std::string_view text);

// Reads a language file by resource name; raises ECVException when the program has no such resource.
using TLanguageResourceReader = std::function<std::string(std::string_view resourceName)>;
std::string ReadLanguageResource(std::string_view resourceName);

// What the first-run language dialog answers: the chosen language, or nothing when it was closed otherwise.
using TLanguageChooser = std::function<std::optional<TUILanguage>(TUILanguage current)>;

class TTranslationManager {
public:
    explicit TTranslationManager(TLanguageResourceReader reader = ReadLanguageResource,
                                 TUILanguage language = SystemDefaultLanguage());
    TTranslationManager(const TTranslationManager&) = delete;
    TTranslationManager& operator=(const TTranslationManager&) = delete;

    TUILanguage Language() const { return FLanguage; }
    // Nothing when the language is current and loaded; otherwise makes it current and reloads the texts.
    void SetLanguage(TUILanguage language);
    const TTranslationList& List() const { return FList; }

    // The key's text in the current language, else the fallback; escapes resolved and positional references
    // converted for FormatText.
    std::string Translate(std::string_view key, std::string_view fallback) const;

    // The stored language lives in the value "Language" of the key "UILanguage" under the store's base key.
    bool HasStoredLanguage(const TRegistryStore& store) const;
    // Loads the stored language; a stored name of no language is ignored, a missing one is stored as the current.
    void LoadLanguage(TRegistryStore& store);
    // True when the settings file now holds the language.
    bool SaveLanguage(TRegistryStore& store);

private:
    TLanguageResourceReader FReader;
    TUILanguage FLanguage;
    TTranslationList FList;
};

// The program's manager, made on first use with the system default language and no texts.
TTranslationManager& TranslationManager();
// TranslationManager().Translate.
std::string Translate(std::string_view key, std::string_view fallback);

// The first-start step: with a stored language, load it and answer true. Otherwise ask the chooser, store the
// chosen language (or the current one when nothing was chosen), start the program anew and answer false: this
// process ends without a main window.
bool ChooseLanguageOnFirstRun(TTranslationManager& manager, TRegistryStore& store, const TLanguageChooser& chooser,
                              const std::function<void()>& restart);

// The caption with "…" appended unless it already ends in one.
std::string AddEllipsis(std::string_view caption);
// "@" title "|" text, the text with every line break as "\N" and every "\" doubled.
std::string MakeHint(std::string_view title, std::string_view text);
// Every command's hint becomes MakeHint(its caption, ""). Commands are anything with Caption and Hint texts.
template <typename TCommands> void SetActionHints(TCommands& commands) {
    for (auto& command : commands)
        command.Hint = MakeHint(command.Caption, "");
}

// One argument of FormatText: a text, an integer or a real number.
class TFormatArg {
public:
    TFormatArg(const char* text) : FValue(std::string(text ? text : "")) {}
    TFormatArg(std::string_view text) : FValue(std::string(text)) {}
    TFormatArg(const std::string& text) : FValue(text) {}
    template <typename T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
    TFormatArg(T value) : FValue(static_cast<std::int64_t>(value)) {}
    TFormatArg(double value) : FValue(value) {}
    TFormatArg(bool) = delete;

    const std::variant<std::string, std::int64_t, double>& Value() const { return FValue; }

private:
    std::variant<std::string, std::int64_t, double> FValue;
};

// Fills a format text as translators write them: "%" [index ":"] ["-"] [width] ["." precision] type, with the
// types d u x e f g n m p s (either case) and "%%" for a percent sign. An index selects the argument counted
// from 0 and later placeholders go on from there. Never trusts the format: a placeholder without its argument is
// kept as written, an argument of another kind is converted, extra arguments are ignored and anything that is no
// placeholder is copied as it stands. Numbers use "." whatever the locale.
std::string FormatText(std::string_view format, const std::vector<TFormatArg>& args);
inline std::string FormatText(std::string_view format, std::initializer_list<TFormatArg> args) {
    return FormatText(format, std::vector<TFormatArg>(args));
}

// A placeholder of a format text: the argument it takes and its type letter, lower case.
struct TFormatPlaceholder {
    int Argument = 0;
    char Type = 's';
    std::string Text; // as written, e.g. "%0:s"
};
std::vector<TFormatPlaceholder> ScanPlaceholders(std::string_view format);
