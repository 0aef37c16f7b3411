#include "model/MindMapSearch.h"

#include "model/CVMindMaps.h"
#include "platform/CVStrings.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_set>
#include <utility>

#include <glib.h>

namespace {

struct TGFree {
    void operator()(gchar* p) const { g_free(p); }
};
using TGString = std::unique_ptr<gchar, TGFree>;

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Dates compare by calendar day, so a reference date that carries a time of day still means its whole day.
double DayOf(double date) {
    return std::floor(date);
}

class TSearchMatcher {
public:
    TSearchMatcher(const TMindMapSearchData& criteria, TSearchTextCache& cache)
        : FCriteria(criteria), FCache(cache), FTextOnly(criteria.Filters() == sfText) {}

    void MatchBranch(TMindMapNode& root) {
        // iterative, so that a deep branch cannot exhaust the stack
        std::vector<TMindMapNode*> pending{&root};
        while (!pending.empty()) {
            TMindMapNode* topic = pending.back();
            pending.pop_back();
            const bool matched = TopicMatches(*topic);
            topic->SetSearchMatched(matched);
            if (matched)
                FMatches.push_back(topic);
            MatchTexts(*topic);
            MatchTexts(topic->ParentRelation());
            const std::vector<TMindMapNode*>& children = topic->Children();
            pending.insert(pending.end(), children.rbegin(), children.rend());
        }
    }

    void MatchTexts(TCompositeElement& owner) {
        for (int i = 0; i < owner.ContainedCount(); ++i) {
            TContainedElement* element = owner.ContainedAt(i);
            if (element->ElementKind() != ekText)
                continue;
            auto& text = static_cast<TMindMapText&>(*element);
            // free texts carry no check box, icon or date: only a pure text search can find them
            const bool matched = FTextOnly && FCriteria.TextOccursIn(FCache.FoldedText(text, text.PlainText()));
            text.SetSearchMatched(matched);
            if (matched)
                FMatches.push_back(&text);
        }
    }

    void SortTopicsByDate() {
        // Only topics can match while the date filter is on. Ties are rare, so the collation keys are made for
        // them alone.
        std::stable_sort(FMatches.begin(), FMatches.end(), [](TMindMapElement* a, TMindMapElement* b) {
            return static_cast<TMindMapNode*>(a)->Date() < static_cast<TMindMapNode*>(b)->Date();
        });
        for (auto first = FMatches.begin(); first != FMatches.end();) {
            const double date = static_cast<TMindMapNode*>(*first)->Date();
            auto last = std::find_if(first, FMatches.end(), [date](TMindMapElement* element) {
                return static_cast<TMindMapNode*>(element)->Date() != date;
            });
            if (last - first > 1)
                SortByText(first, last);
            first = last;
        }
    }

    std::vector<TMindMapElement*> TakeMatches() { return std::move(FMatches); }

private:
    bool TopicMatches(TMindMapNode& topic) {
        if (FCriteria.HasFilter(sfText) && !FCriteria.TextOccursIn(FCache.FoldedText(topic, topic.PlainText())))
            return false;
        if (FCriteria.HasFilter(sfCheckState)) {
            if (topic.CheckboxMode() == cbmNone)
                return false;
            const std::uint8_t stateBit = topic.Checked() ? scsChecked : scsUnchecked;
            if ((FCriteria.CheckStates() & stateBit) == 0)
                return false;
        }
        if (FCriteria.HasFilter(sfIcon)) {
            const TNodeIcon* icon = topic.Icon();
            if (!icon || icon->Name().empty())
                return false;
            if (FCriteria.SpecificIcon() && !SameText(icon->Name(), FCriteria.IconName()))
                return false;
        }
        if (FCriteria.HasFilter(sfDate)) {
            if (!topic.HasDate())
                return false;
            const double day = DayOf(topic.Date());
            const double reference = DayOf(FCriteria.Date());
            switch (FCriteria.DateMode()) {
            case sdmOnOrBefore:
                return day <= reference;
            case sdmOn:
                return day == reference;
            case sdmOnOrAfter:
                return day >= reference;
            case sdmNone:
            case sdmAnyDate:
                break;
            }
        }
        return true;
    }

    using TIterator = std::vector<TMindMapElement*>::iterator;

    void SortByText(TIterator first, TIterator last) {
        struct TKeyed {
            std::string Key;
            TMindMapElement* Element;
        };
        std::vector<TKeyed> keyed;
        keyed.reserve(static_cast<std::size_t>(last - first));
        for (auto it = first; it != last; ++it) {
            auto& topic = static_cast<TMindMapNode&>(**it);
            // without the text filter the cache keeps the texts of the last text search instead
            const std::string folded = FCriteria.HasFilter(sfText) ? FCache.FoldedText(topic, topic.PlainText())
                                                                   : FoldSearchText(topic.PlainText());
            const TGString key(g_utf8_collate_key(folded.c_str(), static_cast<gssize>(folded.size())));
            keyed.push_back({key.get(), &topic});
        }
        std::stable_sort(keyed.begin(), keyed.end(), [](const TKeyed& a, const TKeyed& b) {
            return std::strcmp(a.Key.c_str(), b.Key.c_str()) < 0;
        });
        for (const TKeyed& entry : keyed)
            *first++ = entry.Element;
    }

    const TMindMapSearchData& FCriteria;
    TSearchTextCache& FCache;
    std::vector<TMindMapElement*> FMatches; // not owned
    bool FTextOnly;
};

} // namespace

std::string FoldSearchText(std::string_view text) {
    if (IsAscii(text))
        return LowerAscii(text);
    const std::string valid = SanitizeUtf8(text);
    // folding stops at a NUL character, so each piece between them is folded on its own
    std::string result;
    result.reserve(valid.size());
    std::size_t start = 0;
    while (true) {
        const std::size_t end = std::min(valid.find('\0', start), valid.size());
        const TGString folded(g_utf8_casefold(valid.data() + start, static_cast<gssize>(end - start)));
        result += folded.get();
        if (end == valid.size())
            break;
        result += '\0';
        start = end + 1;
    }
    return result;
}

void TMindMapSearchData::SetText(std::string_view text) {
    FText = FoldSearchText(text);
}

void TMindMapSearchData::SetDate(double date) {
    FDate = std::isfinite(date) ? date : 0;
}

bool TMindMapSearchData::operator==(const TMindMapSearchData& other) const {
    if (FFilters != other.FFilters)
        return false;
    if (HasFilter(sfText) && FText != other.FText)
        return false;
    // icon names match without regard to case, so names that differ only by case give the same matches
    if (HasFilter(sfIcon) &&
        (FSpecificIcon != other.FSpecificIcon || (FSpecificIcon && !SameText(FIconName, other.FIconName))))
        return false;
    if (HasFilter(sfCheckState) && FCheckStates != other.FCheckStates)
        return false;
    if (HasFilter(sfDate) &&
        (FDateMode != other.FDateMode || (FDateMode != sdmAnyDate && DayOf(FDate) != DayOf(other.FDate))))
        return false;
    return true;
}

const std::string& TSearchTextCache::FoldedText(const TMindMapElement& element, const std::string& plainText) {
    FUsed = true;
    auto [it, inserted] = FEntries.try_emplace(reinterpret_cast<std::uintptr_t>(&element));
    TEntry& entry = it->second;
    if (inserted || entry.Source != plainText) {
        entry.Source = plainText;
        entry.Folded = FoldSearchText(plainText);
        ++FFoldCount;
    }
    entry.Search = FSearch;
    return entry.Folded;
}

void TSearchTextCache::BeginSearch() {
    ++FSearch;
    FUsed = false;
}

void TSearchTextCache::EndSearch() {
    // a search that looked no text up (no text filter) keeps the texts for the next one that does
    if (FUsed)
        std::erase_if(FEntries, [this](const auto& item) { return item.second.Search != FSearch; });
}

void TSearchTextCache::Clear() {
    FEntries.clear();
}

std::vector<TMindMapElement*> FindSearchMatches(TMindMap& map, const TMindMapSearchData& criteria,
                                                TSearchTextCache& cache) {
    if (!criteria.Active())
        return {};
    cache.BeginSearch();
    TSearchMatcher matcher(criteria, cache);
    for (TMindMapNode* theme : map.CentralThemes())
        matcher.MatchBranch(*theme);
    if (criteria.HasFilter(sfDate))
        matcher.SortTopicsByDate();
    for (int i = 0; i < map.RelationCount(); ++i)
        matcher.MatchTexts(*map.RelationAt(i));
    cache.EndSearch();
    return matcher.TakeMatches();
}

void CollectIconNames(const TMindMap& map, std::vector<std::string>& names) {
    std::unordered_set<std::string> listed(names.begin(), names.end());
    for (int i = 0; i < map.TopicCount(); ++i) {
        const TNodeIcon* icon = map.TopicAt(i)->Icon();
        if (icon && !icon->Name().empty() && listed.insert(icon->Name()).second)
            names.push_back(icon->Name());
    }
}
