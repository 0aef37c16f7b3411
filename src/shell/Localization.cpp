#include "shell/Localization.h"

#include "formats/XMLFilers.h"
#include "platform/CVStrings.h"
#include "shell/CfgStore.h"

#include <gio/gio.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

struct TLanguageRow {
    const char* DisplayName;
    const char* ResourceName;
    const char* ValueName;
    const char* LocaleCode; // the language part of a POSIX locale name; empty for the fallback row
};

const std::array<TLanguageRow, kUILanguageCount> kLanguages = {{
    {"English", "EN_STRINGS", "lanEN", ""},
    {"Deutsch", "DE_STRINGS", "lanDE", "de"},
    {"Español", "ES_STRINGS", "lanES", "es"},
    {"Français", "FR_STRINGS", "lanFR", "fr"},
    {"Italiano", "IT_STRINGS", "lanIT", "it"},
    {"Japanese", "JA_STRINGS", "lanJA", "ja"},
    {"Korean", "KO_STRINGS", "lanKO", "ko"},
    {"Nederlands", "NL_STRINGS", "lanNL", "nl"},
    {"Português", "PT_STRINGS", "lanPT", "pt"},
    {"русский", "RU_STRINGS", "lanRU", "ru"},
    {"ไทย", "TH_STRINGS", "lanTH", "th"},
    {"Türkçe", "TR_STRINGS", "lanTR", "tr"},
    {"简体中文", "ZH_HANS_STRINGS", "lanZH_HANS", "zh"},
    {"繁體中文", "ZH_HANT_STRINGS", "lanZH_HANT", ""},
}};

const TLanguageRow& Row(TUILanguage language) {
    const auto index = static_cast<std::size_t>(language);
    return kLanguages.at(index < kLanguages.size() ? index : 0);
}

constexpr const char* kLanguageKey = "UILanguage";
constexpr const char* kLanguageValue = "Language";
constexpr const char* kResourcePrefix = "/org/orrinex/corvella/";
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

// Where a byte stands in the UTF-16 order of the code point it starts: code points below U+E000 keep their UTF-8
// order, supplementary ones (surrogate pairs in UTF-16) sort before U+E000..U+FFFF.
int OrdinalRank(unsigned char byte) {
    if (byte < 0xEE)
        return 0;
    return byte < 0xF0 ? 2 : 1;
}

// Writes saved settings; a store that cannot be written leaves the settings as they were on disk.
bool CommitStore(TRegistryStore& store) {
    try {
        return store.Save();
    } catch (const std::exception&) {
        return false;
    }
}

// Format texts

constexpr int kMaxFormatWidth = 1024;
constexpr int kMaxFormatPrecision = 100;

struct TPlaceholder {
    std::size_t End = 0; // just after the type letter
    int Index = -1;      // explicit argument index, or -1
    bool LeftAligned = false;
    int Width = -1;
    int Precision = -1;
    char Type = 's'; // lower case
};

// Reads decimal digits at pos, saturating far above any sensible width; false when there are none.
bool ReadCount(std::string_view format, std::size_t& pos, int& value) {
    const std::size_t start = pos;
    long long total = 0;
    while (pos < format.size() && format[pos] >= '0' && format[pos] <= '9') {
        total = std::min<long long>(total * 10 + (format[pos] - '0'), 1'000'000'000);
        ++pos;
    }
    value = static_cast<int>(total);
    return pos > start;
}

// The placeholder starting with the "%" at pos, or nothing when the text there is none.
std::optional<TPlaceholder> ParsePlaceholder(std::string_view format, std::size_t pos) {
    TPlaceholder placeholder;
    std::size_t i = pos + 1;
    std::size_t digitsEnd = i;
    int number = 0;
    if (ReadCount(format, digitsEnd, number) && digitsEnd < format.size() && format[digitsEnd] == ':') {
        placeholder.Index = number;
        i = digitsEnd + 1;
    }
    if (i < format.size() && format[i] == '-') {
        placeholder.LeftAligned = true;
        ++i;
    }
    if (ReadCount(format, i, number))
        placeholder.Width = number;
    if (i < format.size() && format[i] == '.') {
        ++i;
        if (!ReadCount(format, i, number))
            return std::nullopt;
        placeholder.Precision = number;
    }
    if (i >= format.size())
        return std::nullopt;
    const char type = static_cast<char>(format[i] >= 'A' && format[i] <= 'Z' ? format[i] - 'A' + 'a' : format[i]);
    if (std::string_view("duxefgnmps").find(type) == std::string_view::npos)
        return std::nullopt;
    placeholder.Type = type;
    placeholder.End = i + 1;
    return placeholder;
}

std::string FormatDouble(double value, std::chars_format style, int precision) {
    if (!std::isfinite(value))
        return std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");
    char buffer[512];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, style, precision);
    if (ec != std::errc())
        return FormatFloat(value);
    std::string text(buffer, end);
    if (style == std::chars_format::scientific)
        std::transform(text.begin(), text.end(), text.begin(), [](char c) { return c == 'e' ? 'E' : c; });
    return text;
}

std::string GroupThousands(const std::string& fixed) {
    const std::size_t digitsStart = !fixed.empty() && fixed[0] == '-' ? 1 : 0;
    std::size_t digitsEnd = fixed.find('.');
    if (digitsEnd == std::string::npos)
        digitsEnd = fixed.size();
    std::string result = fixed.substr(0, digitsStart);
    for (std::size_t i = digitsStart; i < digitsEnd; ++i) {
        if (i > digitsStart && (digitsEnd - i) % 3 == 0)
            result += ',';
        result += fixed[i];
    }
    result.append(fixed, digitsEnd, std::string::npos);
    return result;
}

std::optional<std::int64_t> AsInteger(double value) {
    if (!std::isfinite(value) || value < -9.2e18 || value > 9.2e18)
        return std::nullopt;
    return RoundHalfEven(value);
}

std::string FormatInteger(std::int64_t value, char type, int precision) {
    std::string digits;
    const bool negative = value < 0 && type != 'x' && type != 'p';
    if (type == 'x' || type == 'p') {
        char buffer[32];
        const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::uint64_t>(value), 16);
        digits.assign(buffer, end);
        std::transform(digits.begin(), digits.end(), digits.begin(),
                       [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c; });
    } else {
        const std::uint64_t magnitude =
            negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
        digits = std::to_string(magnitude);
    }
    if (precision > 0 && digits.size() < static_cast<std::size_t>(precision))
        digits.insert(0, static_cast<std::size_t>(precision) - digits.size(), '0');
    return negative ? "-" + digits : digits;
}

std::string FormatArgument(const TPlaceholder& placeholder, const TFormatArg& arg) {
    const int precision = std::min(placeholder.Precision, kMaxFormatPrecision);
    const auto& value = arg.Value();
    if (const auto* text = std::get_if<std::string>(&value)) {
        if (placeholder.Type != 's' || precision < 0)
            return *text;
        // A precision cuts a text to that many characters.
        std::size_t pos = 0;
        for (int count = 0; count < precision && pos < text->size(); ++count)
            NextCodePoint(*text, pos);
        return text->substr(0, pos);
    }
    const auto* integer = std::get_if<std::int64_t>(&value);
    const double real = integer ? static_cast<double>(*integer) : std::get<double>(value);
    switch (placeholder.Type) {
    case 'd':
    case 'u':
    case 'x':
    case 'p': {
        const std::optional<std::int64_t> whole = integer ? *integer : AsInteger(real);
        return whole ? FormatInteger(*whole, placeholder.Type, precision) : FormatFloat(real);
    }
    case 'e':
        return FormatDouble(real, std::chars_format::scientific, precision < 0 ? 14 : std::max(precision - 1, 0));
    case 'f':
    case 'm':
        return FormatDouble(real, std::chars_format::fixed, precision < 0 ? 2 : precision);
    case 'n':
        return GroupThousands(FormatDouble(real, std::chars_format::fixed, precision < 0 ? 2 : precision));
    case 'g':
        return FormatDouble(real, std::chars_format::general, precision < 0 ? 15 : std::max(precision, 1));
    default: // 's'
        if (integer)
            return std::to_string(*integer);
        return FormatFloat(real);
    }
}

void AppendPadded(std::string& out, const std::string& text, const TPlaceholder& placeholder) {
    const std::size_t width = static_cast<std::size_t>(std::clamp(placeholder.Width, 0, kMaxFormatWidth));
    const std::size_t length = CodePointCount(text);
    const std::size_t padding = width > length ? width - length : 0;
    if (!placeholder.LeftAligned)
        out.append(padding, ' ');
    out += text;
    if (placeholder.LeftAligned)
        out.append(padding, ' ');
}

} // namespace

std::string_view LanguageDisplayName(TUILanguage language) {
    return Row(language).DisplayName;
}

std::string_view LanguageResourceName(TUILanguage language) {
    return Row(language).ResourceName;
}

std::string_view LanguageValueName(TUILanguage language) {
    return Row(language).ValueName;
}

bool TryLanguageFromValueName(std::string_view name, TUILanguage& language) {
    for (std::size_t i = 0; i < kLanguages.size(); ++i)
        if (SameText(name, kLanguages[i].ValueName)) {
            language = static_cast<TUILanguage>(i);
            return true;
        }
    return false;
}

TUILanguage LanguageForLocale(std::string_view localeName) {
    // language[_territory][.codeset][@modifier]; "-" is accepted as well, and a script part ("zh_Hant_TW").
    localeName = localeName.substr(0, localeName.find_first_of(".@"));
    std::vector<std::string_view> parts;
    while (!localeName.empty()) {
        const std::size_t cut = localeName.find_first_of("_-");
        parts.push_back(localeName.substr(0, cut));
        localeName = cut == std::string_view::npos ? std::string_view() : localeName.substr(cut + 1);
    }
    if (parts.empty())
        return lanEN;
    const std::string language = LowerAscii(parts[0]);
    if (language == "zh") {
        for (std::size_t i = 1; i < parts.size(); ++i)
            if (SameText(parts[i], "TW"))
                return lanZH_HANT;
        return lanZH_HANS;
    }
    for (std::size_t i = 0; i < kLanguages.size(); ++i)
        if (language == kLanguages[i].LocaleCode && !language.empty())
            return static_cast<TUILanguage>(i);
    return lanEN;
}

std::string UserMessagesLocaleName() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return value;
    }
    return {};
}

TUILanguage SystemDefaultLanguage() {
    return LanguageForLocale(UserMessagesLocaleName());
}

int CompareOrdinal(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < common && a[i] == b[i])
        ++i;
    if (i == common)
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    // The first differing bytes are both lead bytes or both continuation bytes of the same lead, so their rank
    // and then their value decide.
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    const int rankX = OrdinalRank(x);
    const int rankY = OrdinalRank(y);
    if (rankX != rankY)
        return rankX < rankY ? -1 : 1;
    return x < y ? -1 : 1;
}

// TTranslationList

void TTranslationList::Clear() {
    FItems.clear();
}

void TTranslationList::SetSorted(bool value) {
    if (value == FSorted)
        return;
    FSorted = value;
    if (!value)
        return;
    std::stable_sort(FItems.begin(), FItems.end(), [](const TTranslationItem& x, const TTranslationItem& y) {
        return CompareOrdinal(x.Key, y.Key) < 0;
    });
    // The stable sort keeps entries of one key in file order: the first one stays.
    const auto last = std::unique(FItems.begin(), FItems.end(),
                                  [](const TTranslationItem& x, const TTranslationItem& y) { return x.Key == y.Key; });
    FItems.erase(last, FItems.end());
}

void TTranslationList::Add(std::string key, std::string value) {
    if (!FSorted) {
        FItems.push_back({std::move(key), std::move(value)});
        return;
    }
    const auto at =
        std::lower_bound(FItems.begin(), FItems.end(), key, [](const TTranslationItem& item, const std::string& k) {
            return CompareOrdinal(item.Key, k) < 0;
        });
    if (at != FItems.end() && at->Key == key)
        return;
    FItems.insert(at, {std::move(key), std::move(value)});
}

const std::string* TTranslationList::Find(std::string_view key) const {
    if (!FSorted) {
        const auto found =
            std::find_if(FItems.begin(), FItems.end(), [key](const TTranslationItem& item) { return item.Key == key; });
        return found == FItems.end() ? nullptr : &found->Value;
    }
    const auto at =
        std::lower_bound(FItems.begin(), FItems.end(), key, [](const TTranslationItem& item, std::string_view k) {
            return CompareOrdinal(item.Key, k) < 0;
        });
    return at != FItems.end() && at->Key == key ? &at->Value : nullptr;
}

void TTranslationList::LoadFromBytes(std::string_view bytes) {
    const std::string text = DecodeFileBytes(bytes);
    const bool sorted = FSorted;
    SetSorted(false);
    ParseLanguageText(text, [this](std::string_view key, std::string_view value) {
        FItems.push_back({std::string(key), std::string(value)});
    });
    SetSorted(sorted);
}

void ParseLanguageText(std::string_view text,
                       const std::function<void(std::string_view key, std::string_view value)>& handler) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        const std::string_view line =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        if (end == std::string_view::npos)
            pos = text.size();
        else
            pos = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0 || equals + 1 == line.size())
            continue;
        handler(line.substr(0, equals), line.substr(equals + 1));
    }
}

std::string ResolveEscapes(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            result += text[i];
            continue;
        }
        if (++i >= text.size())
            break;
        switch (text[i]) {
        case '"':
        case '\'':
        case '\\':
            result += text[i];
            break;
        case '0':
            result += '\0';
            break;
        case 'n':
        case 'r':
            result += '\r';
            break;
        case 't':
        case 'v':
            result += '\t';
            break;
        default:
            // The escaped character goes with its backslash; a multi-byte character goes whole.
            if (static_cast<unsigned char>(text[i]) >= 0x80) {
                std::size_t next = i;
                NextCodePoint(text, next);
                i = next - 1;
            }
            break;
        }
    }
    return result;
}

std::string ConvertPositionalArguments(std::string_view text) {
    std::string result(text);
    for (char number = '1'; number <= '5'; ++number) {
        const std::string from = std::string("%") + number + "$";
        const std::string to = std::string("%") + static_cast<char>(number - 1) + ":";
        for (std::size_t at = result.find(from); at != std::string::npos; at = result.find(from, at + to.size()))
            result.replace(at, from.size(), to);
    }
    return result;
}

std::string ReadLanguageResource(std::string_view resourceName) {
    const std::string path = kResourcePrefix + std::string(resourceName);
    GError* error = nullptr;
    GBytes* bytes = g_resources_lookup_data(path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, &error);
    if (!bytes) {
        g_clear_error(&error);
        throw ECVException(Format("Resource %s not found", std::string(resourceName).c_str()));
    }
    const std::unique_ptr<GBytes, void (*)(GBytes*)> guard(bytes, &g_bytes_unref);
    gsize size = 0;
    const void* data = g_bytes_get_data(bytes, &size);
    return std::string(static_cast<const char*>(data), size);
}

// TTranslationManager

TTranslationManager::TTranslationManager(TLanguageResourceReader reader, TUILanguage language)
    : FReader(std::move(reader)), FLanguage(language) {}

void TTranslationManager::SetLanguage(TUILanguage language) {
    if (language == FLanguage && !FList.Empty())
        return;
    FLanguage = language;
    FList.Clear();
    FList.LoadFromBytes(FReader(LanguageResourceName(language)));
}

std::string TTranslationManager::Translate(std::string_view key, std::string_view fallback) const {
    const std::string* value = FList.Empty() ? nullptr : FList.Find(key);
    const std::string_view text = value ? std::string_view(*value) : fallback;
    std::string result = text.find('\\') == std::string_view::npos ? std::string(text) : ResolveEscapes(text);
    if (result.find('$') != std::string::npos)
        result = ConvertPositionalArguments(result);
    return result;
}

bool TTranslationManager::HasStoredLanguage(const TRegistryStore& store) const {
    return store.ReadValue(kLanguageKey, kLanguageValue).has_value();
}

void TTranslationManager::LoadLanguage(TRegistryStore& store) {
    TUILanguage language = FLanguage;
    if (const std::optional<std::string> stored = store.ReadValue(kLanguageKey, kLanguageValue)) {
        TryLanguageFromValueName(*stored, language);
    } else {
        store.WriteValue(kLanguageKey, kLanguageValue, LanguageValueName(FLanguage));
        CommitStore(store);
    }
    SetLanguage(language);
}

bool TTranslationManager::SaveLanguage(TRegistryStore& store) {
    store.WriteValue(kLanguageKey, kLanguageValue, LanguageValueName(FLanguage));
    return CommitStore(store);
}

TTranslationManager& TranslationManager() {
    static TTranslationManager manager;
    return manager;
}

std::string Translate(std::string_view key, std::string_view fallback) {
    return TranslationManager().Translate(key, fallback);
}

bool ChooseLanguageOnFirstRun(TTranslationManager& manager, TRegistryStore& store, const TLanguageChooser& chooser,
                              const std::function<void()>& restart) {
    if (manager.HasStoredLanguage(store)) {
        manager.LoadLanguage(store);
        return true;
    }
    if (const std::optional<TUILanguage> chosen = chooser(manager.Language()))
        manager.SetLanguage(*chosen);
    // When the choice cannot be stored, a new instance would ask and restart again: go on here with the
    // language instead.
    if (!manager.SaveLanguage(store)) {
        manager.SetLanguage(manager.Language());
        return true;
    }
    restart();
    return false;
}

std::string AddEllipsis(std::string_view caption) {
    std::string result(caption);
    if (result.size() < kEllipsis.size() ||
        result.compare(result.size() - kEllipsis.size(), kEllipsis.size(), kEllipsis) != 0)
        result += kEllipsis;
    return result;
}

std::string MakeHint(std::string_view title, std::string_view text) {
    std::string hint = "@";
    hint += title;
    hint += '|';
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            hint += "\\N";
        } else if (c == '\\') {
            hint += "\\\\";
        } else {
            hint += c;
        }
    }
    return hint;
}

std::string FormatText(std::string_view format, const std::vector<TFormatArg>& args) {
    std::string out;
    out.reserve(format.size() + 16);
    std::size_t next = 0;
    std::size_t pos = 0;
    while (pos < format.size()) {
        const std::size_t percent = format.find('%', pos);
        if (percent == std::string_view::npos) {
            out.append(format, pos, std::string_view::npos);
            break;
        }
        out.append(format, pos, percent - pos);
        if (percent + 1 < format.size() && format[percent + 1] == '%') {
            out += '%';
            pos = percent + 2;
            continue;
        }
        const std::optional<TPlaceholder> placeholder = ParsePlaceholder(format, percent);
        if (!placeholder) {
            out += '%';
            pos = percent + 1;
            continue;
        }
        const std::size_t argument = placeholder->Index >= 0 ? static_cast<std::size_t>(placeholder->Index) : next;
        next = argument + 1;
        if (argument < args.size())
            AppendPadded(out, FormatArgument(*placeholder, args[argument]), *placeholder);
        else
            out.append(format, percent, placeholder->End - percent);
        pos = placeholder->End;
    }
    return out;
}

std::vector<TFormatPlaceholder> ScanPlaceholders(std::string_view format) {
    std::vector<TFormatPlaceholder> placeholders;
    int next = 0;
    std::size_t pos = 0;
    while ((pos = format.find('%', pos)) != std::string_view::npos) {
        if (pos + 1 < format.size() && format[pos + 1] == '%') {
            pos += 2;
            continue;
        }
        const std::optional<TPlaceholder> placeholder = ParsePlaceholder(format, pos);
        if (!placeholder) {
            ++pos;
            continue;
        }
        const int argument = placeholder->Index >= 0 ? placeholder->Index : next;
        next = argument + 1;
        placeholders.push_back({argument, placeholder->Type, std::string(format.substr(pos, placeholder->End - pos))});
        pos = placeholder->End;
    }
    return placeholders;
}
