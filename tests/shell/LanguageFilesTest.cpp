// Checks of the fourteen language files supplied with the program: what a translator can get wrong.

#include "shell/Localization.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

struct TLanguageFile {
    std::vector<std::pair<std::string, std::string>> Entries; // in file order, raw values
    std::vector<std::string> Problems;
};

// Reads a file the strict way the supplied files are written: byte-order mark, CR LF after every line, one
// key=value per line.
TLanguageFile ReadSuppliedFile(TUILanguage language) {
    TLanguageFile file;
    const std::string bytes = ReadLanguageResource(LanguageResourceName(language));
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") != 0)
        file.Problems.push_back("no UTF-8 byte-order mark");
    std::size_t pos = 3;
    while (pos < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) {
            file.Problems.push_back("last line without CR LF");
            break;
        }
        const std::string line = bytes.substr(pos, end - pos);
        pos = end + 2;
        if (line.find_first_of("\r\n") != std::string::npos)
            file.Problems.push_back("lone line break in: " + line);
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || equals == 0 || equals + 1 == line.size()) {
            file.Problems.push_back("not a key=value line: " + line);
            continue;
        }
        file.Entries.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
    return file;
}

// The escape pairs of a raw value, in order.
std::vector<std::string> Escapes(const std::string& value) {
    std::vector<std::string> escapes;
    for (std::size_t i = 0; i + 1 < value.size(); ++i)
        if (value[i] == '\\') {
            escapes.push_back(value.substr(i, 2));
            ++i;
        }
    return escapes;
}

// The placeholders as the formatting sees them: argument and type, ordered by argument so that a translation may
// reorder them with positional references.
std::vector<std::pair<int, char>> Placeholders(const std::string& value) {
    std::vector<std::pair<int, char>> found;
    for (const TFormatPlaceholder& p : ScanPlaceholders(ConvertPositionalArguments(ResolveEscapes(value))))
        found.emplace_back(p.Argument, p.Type);
    std::sort(found.begin(), found.end());
    return found;
}

bool IsKeyWord(const std::string& key) {
    return !key.empty() && key.front() != '_' && key.back() != '_' && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
}

} // namespace

TEST(LanguageFiles, EveryFileHasTheEnglishKeysAndKeepsPlaceholdersAndEscapes) {
    const TLanguageFile english = ReadSuppliedFile(lanEN);
    ASSERT_TRUE(english.Problems.empty()) << english.Problems.front();
    std::map<std::string, std::string> englishValues(english.Entries.begin(), english.Entries.end());
    ASSERT_GE(englishValues.size(), 155u);

    for (int i = 0; i < kUILanguageCount; ++i) {
        const auto language = static_cast<TUILanguage>(i);
        SCOPED_TRACE(std::string(LanguageResourceName(language)));
        const TLanguageFile file = ReadSuppliedFile(language);
        for (const std::string& problem : file.Problems)
            ADD_FAILURE() << problem;

        // Keys strictly ascending: sorted, and none twice.
        for (std::size_t k = 1; k < file.Entries.size(); ++k)
            EXPECT_LT(CompareOrdinal(file.Entries[k - 1].first, file.Entries[k].first), 0)
                << file.Entries[k - 1].first << " / " << file.Entries[k].first;

        // The program's own reader agrees with the strict one.
        TTranslationList list;
        list.LoadFromBytes(ReadLanguageResource(LanguageResourceName(language)));
        EXPECT_EQ(static_cast<std::size_t>(list.Count()), file.Entries.size());

        std::vector<std::string> keys;
        int unchanged = 0;
        for (const auto& [key, value] : file.Entries) {
            SCOPED_TRACE(key);
            keys.push_back(key);
            EXPECT_TRUE(IsKeyWord(key));
            EXPECT_EQ(value.find_first_not_of(' '), 0u) << "leading space";
            EXPECT_NE(value.back(), ' ') << "trailing space";
            const auto englishValue = englishValues.find(key);
            if (englishValue == englishValues.end())
                continue;
            EXPECT_EQ(Placeholders(value), Placeholders(englishValue->second)) << value;
            EXPECT_EQ(Escapes(value), Escapes(englishValue->second)) << value;
            if (value == englishValue->second)
                ++unchanged;
        }
        std::vector<std::string> englishKeys;
        for (const auto& entry : english.Entries)
            englishKeys.push_back(entry.first);
        EXPECT_EQ(keys, englishKeys);
        // A file copied from English by mistake: translations keep only names and the like.
        if (language != lanEN) {
            EXPECT_LT(unchanged, static_cast<int>(file.Entries.size()) / 10);
        }
    }
}

TEST(LanguageFiles, EnglishHoldsTheTextsThatTheProgramQuotes) {
    TTranslationList list;
    list.LoadFromBytes(ReadLanguageResource("EN_STRINGS"));
    const std::pair<const char*, const char*> quoted[] = {
        {"action_open", "Open"},
        {"action_search_mind_map", "Search Mind Map"},
        {"auto_focus_selection_plus_children", "Auto Focus Selection and Children"},
        {"editor_no_mindmap_selected", "No Mind Map selected"},
        {"html_outline_link", "Link:"},
        {"import_text_central_theme_title", "Imported Text"},
        {"layout_direction_manual", "Manually position branches"},
        {"mindmap_unnamed_map", "Unnamed Mind Map"},
        {"outliner_empty_list", "Empty Mind Map - or all topics filtered"},
        {"search_filter_date_filter_none", "No date filter"},
        {"style_natural_colors", "Natural + Colors"},
        {"unable_to_open_contact_error_message_windows", "Windows edition cannot open contacts"},
        {"windows_scroll_wheel_ctrl_scrolls", "Wheel: zooms\\nCtrl + wheel: scrolls"},
        {"settings_unreadable_title", "Settings Reset"},
    };
    for (const auto& [key, text] : quoted) {
        SCOPED_TRACE(key);
        const std::string* value = list.Find(key);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(*value, text);
    }
}
