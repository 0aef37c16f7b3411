#include "layout/LayoutOpts.h"

#include "platform/CVStrings.h"

#include <array>

namespace {

constexpr std::array<std::string_view, kLayoutModeCount> kModeNames = {
    "parent", "free", "strict-horizontal", "strict-vertical", "list", "top-down", "h-linear", "radial", "matrix"};
constexpr std::array<std::string_view, kLayoutDirectionCount> kDirectionNames = {
    "auto",        "auto-cw", "right", "left", "bottom", "top", "manual", "alternating", "alternating-compact",
    "equal-angles"};
constexpr std::array<std::string_view, kLayoutFlowCount> kFlowNames = {"default", "ltr", "rtl", "auto", "compact"};

template <typename TEnum, std::size_t N>
bool Lookup(const std::array<std::string_view, N>& names, std::string_view name, TEnum& value) {
    for (std::size_t i = 0; i < N; ++i)
        if (SameText(names[i], name)) {
            value = static_cast<TEnum>(i);
            return true;
        }
    return false;
}

template <std::size_t N> std::string_view NameOf(const std::array<std::string_view, N>& names, std::size_t i) {
    return i < N ? names[i] : names[0];
}

} // namespace

TLayoutOptions TLayoutOptions::ForMode(TNestedLayoutMode mode) {
    TLayoutOptions options;
    options.Mode = mode;
    switch (mode) {
    case nlmFree:
        options.Direction = ldManual;
        break;
    case nlmHLinear:
        options.Direction = ldAlternatingCompact;
        break;
    case nlmMatrix:
        options.Direction = ldBottom;
        break;
    default:
        options.Direction = ldAuto;
        break;
    }
    switch (mode) {
    case nlmList:
    case nlmTopDown:
    case nlmHLinear:
    case nlmMatrix:
        options.Flow = lfAuto;
        break;
    default:
        options.Flow = lfDefault;
        break;
    }
    return options;
}

const TLayoutOptions& DefaultLayoutOptions(TNestedLayoutMode mode) {
    static const auto defaults = [] {
        std::array<TLayoutOptions, kLayoutModeCount> all{};
        for (int i = 0; i < kLayoutModeCount; ++i)
            all[static_cast<std::size_t>(i)] = TLayoutOptions::ForMode(static_cast<TNestedLayoutMode>(i));
        return all;
    }();
    return defaults[mode < kLayoutModeCount ? mode : 0];
}

std::string_view LayoutModeName(TNestedLayoutMode mode) {
    return NameOf(kModeNames, mode);
}
std::string_view LayoutDirectionName(TLayoutDirection direction) {
    return NameOf(kDirectionNames, direction);
}
std::string_view LayoutFlowName(TLayoutFlow flow) {
    return NameOf(kFlowNames, flow);
}
bool TryLayoutModeFromName(std::string_view name, TNestedLayoutMode& mode) {
    return Lookup(kModeNames, name, mode);
}
bool TryLayoutDirectionFromName(std::string_view name, TLayoutDirection& direction) {
    return Lookup(kDirectionNames, name, direction);
}
bool TryLayoutFlowFromName(std::string_view name, TLayoutFlow& flow) {
    return Lookup(kFlowNames, name, flow);
}
