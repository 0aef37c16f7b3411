#pragma once

// Layout modes, directions and flows that a topic can set for its branch.

#include <cstdint>
#include <string_view>

enum TNestedLayoutMode : std::uint8_t {
    nlmParent,
    nlmFree,
    nlmStrictHorizontal,
    nlmStrictVertical,
    nlmList,
    nlmTopDown,
    nlmHLinear,
    nlmRadial,
    nlmMatrix,
};
constexpr int kLayoutModeCount = 9;

enum TLayoutDirection : std::uint8_t {
    ldAuto,
    ldAutoCW,
    ldRight,
    ldLeft,
    ldBottom,
    ldTop,
    ldManual,
    ldAlternating,
    ldAlternatingCompact,
    ldEqualAngles,
};
constexpr int kLayoutDirectionCount = 10;

enum TLayoutFlow : std::uint8_t { lfDefault, lfLtr, lfRtl, lfAuto, lfCompact };
constexpr int kLayoutFlowCount = 5;

struct TLayoutOptions {
    TNestedLayoutMode Mode = nlmParent;
    TLayoutDirection Direction = ldAuto;
    TLayoutFlow Flow = lfDefault;

    // The options a new branch of the mode gets.
    static TLayoutOptions ForMode(TNestedLayoutMode mode);

    friend bool operator==(const TLayoutOptions&, const TLayoutOptions&) = default;
};

// Shared default options, one per mode.
const TLayoutOptions& DefaultLayoutOptions(TNestedLayoutMode mode);

// Keywords as stored in documents ("free", "auto-cw", "rtl"); lookups ignore case.
std::string_view LayoutModeName(TNestedLayoutMode mode);
std::string_view LayoutDirectionName(TLayoutDirection direction);
std::string_view LayoutFlowName(TLayoutFlow flow);
bool TryLayoutModeFromName(std::string_view name, TNestedLayoutMode& mode);
bool TryLayoutDirectionFromName(std::string_view name, TLayoutDirection& direction);
bool TryLayoutFlowFromName(std::string_view name, TLayoutFlow& flow);
