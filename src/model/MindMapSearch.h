#pragma once

// Search criteria of a map and the matching of topics and free texts against them. The search panel fills the
// criteria; the map runs the matching, marks every searched element and keeps the ordered list of matches.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TMindMap;
class TMindMapElement;

// Bits of TMindMapSearchData::Filters.
enum TSearchFilter : std::uint8_t {
    sfText = 0x01,
    sfIcon = 0x02,
    sfCheckState = 0x04,
    sfDate = 0x08,
    sfAll = 0x0F,
};

// Bits of TMindMapSearchData::CheckStates: bit n selects the topics whose check-box state is n.
enum TSearchCheckState : std::uint8_t {
    scsUnchecked = 0x01,
    scsChecked = 0x02,
};

enum TSearchDateMode : std::uint8_t {
    sdmNone,
    sdmAnyDate,
    sdmOnOrBefore,
    sdmOn,
    sdmOnOrAfter,
};

class TMindMapSearchData {
public:
    // 0 means no search; bits outside sfAll are dropped.
    std::uint8_t Filters() const { return FFilters; }
    void SetFilters(std::uint8_t filters) { FFilters = filters & sfAll; }
    bool Active() const { return FFilters != 0; }
    bool HasFilter(TSearchFilter filter) const { return (FFilters & filter) != 0; }

    // The search text is kept case-folded, so texts that differ only by case are the same criteria.
    const std::string& Text() const { return FText; }
    void SetText(std::string_view text);

    std::uint8_t CheckStates() const { return FCheckStates; }
    void SetCheckStates(std::uint8_t states) { FCheckStates = states & (scsUnchecked | scsChecked); }

    // True: only topics whose icon is IconName match; false: any topic with an icon.
    bool SpecificIcon() const { return FSpecificIcon; }
    void SetSpecificIcon(bool value) { FSpecificIcon = value; }
    const std::string& IconName() const { return FIconName; }
    void SetIconName(std::string name) { FIconName = std::move(name); }

    // Modes above sdmOnOrAfter are stored as sdmNone.
    TSearchDateMode DateMode() const { return FDateMode; }
    void SetDateMode(TSearchDateMode mode) { FDateMode = mode > sdmOnOrAfter ? sdmNone : mode; }
    // Days since 1899-12-30; only the day counts when matching. NaN and infinities are stored as 0.
    double Date() const { return FDate; }
    void SetDate(double date);

    // Equal filters, and every active part equal: the date only matters for modes that compare with it.
    bool operator==(const TMindMapSearchData& other) const;

    // True when the search text occurs in the case-folded text (see FoldSearchText).
    bool TextOccursIn(std::string_view foldedText) const { return foldedText.find(FText) != std::string_view::npos; }

private:
    std::string FText;
    std::string FIconName;
    double FDate = 0;
    std::uint8_t FFilters = 0;
    std::uint8_t FCheckStates = 0;
    TSearchDateMode FDateMode = sdmNone;
    bool FSpecificIcon = false;
};

// User text folded for comparison without regard to case (so "Straße" and "STRASSE" fold alike). Invalid
// UTF-8 is repaired first.
std::string FoldSearchText(std::string_view text);

// Case-folded plain texts of topics and free texts, kept between searches so that each keystroke in the search
// box folds only the texts that changed since the previous search. An entry is checked against the element's
// current plain text on every lookup, so it can never be stale, also when an element is freed and another one
// takes its address; entries not looked up during a whole search are dropped at its end.
class TSearchTextCache {
public:
    // The folded form of plainText, the current plain text of the element.
    const std::string& FoldedText(const TMindMapElement& element, const std::string& plainText);

    // A search brackets its lookups with these; the end drops the entries the search did not look up.
    void BeginSearch();
    void EndSearch();

    void Clear();
    std::size_t Size() const { return FEntries.size(); }
    // Number of texts folded so far: lookups of unchanged texts do not fold again.
    std::size_t FoldCount() const { return FFoldCount; }

private:
    struct TEntry {
        std::string Source;
        std::string Folded;
        std::uint32_t Search = 0;
    };

    // keyed by the element's address, which is never dereferenced
    std::unordered_map<std::uintptr_t, TEntry> FEntries;
    std::size_t FFoldCount = 0;
    std::uint32_t FSearch = 0;
    bool FUsed = false;
};

// Matches every topic (central themes in order, each branch depth-first, a topic before its free texts, those
// of its parent connection and then its children) and then the free texts of every cross link; stores the
// outcome in each searched element's SearchMatched and answers the matches in order: with the date filter,
// topics by date, earliest first, equal dates by plain text in the user's locale without regard to case.
// Without active criteria nothing is searched, no flag changes and the answer is empty.
std::vector<TMindMapElement*> FindSearchMatches(TMindMap& map, const TMindMapSearchData& criteria,
                                                TSearchTextCache& cache);

// Adds the icon name of every topic with an icon, in the map's topic order, skipping names already listed.
void CollectIconNames(const TMindMap& map, std::vector<std::string>& names);
