#include "render/V1StockIcons.h"

#include "platform/CVStrings.h"
#include "render/OXCairoUtils.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace {

constexpr const char* kKeys[] = {"ok",
                                 "cancel",
                                 "todo",
                                 "time",
                                 "question",
                                 "exclamation",
                                 "information",
                                 "warning",
                                 "error",
                                 "denied",
                                 "create",
                                 "favorite",
                                 "target",
                                 "greenflag",
                                 "yellowflag",
                                 "redflag",
                                 "plus",
                                 "minus",
                                 "key",
                                 "lock",
                                 "user_male",
                                 "user_female",
                                 "user_group",
                                 "user_finance",
                                 "user_officer",
                                 "user_worker",
                                 "user_student",
                                 "thumbs_up",
                                 "thumbs_down",
                                 "handshake",
                                 "arrow_up",
                                 "arrow_down",
                                 "arrow_left",
                                 "arrow_right",
                                 "arrow_divide",
                                 "arrow_join",
                                 "arrow_switch",
                                 "arrow_turn_left",
                                 "arrow_turn_right",
                                 "wall",
                                 "emotion_smile",
                                 "emotion_grin",
                                 "emotion_wink",
                                 "emoticon_oops",
                                 "emotion_angry",
                                 "emotion_too_sad",
                                 "cake",
                                 "steering",
                                 "anchor",
                                 "find",
                                 "chart_bar",
                                 "chart_pie",
                                 "chart_up",
                                 "chart_down",
                                 "milestone",
                                 "bomb",
                                 "ax",
                                 "sword",
                                 "crown",
                                 "heraldic_cross",
                                 "award",
                                 "rosette",
                                 "light_on",
                                 "light_off",
                                 "balance",
                                 "unbalance",
                                 "home",
                                 "shop",
                                 "money",
                                 "basket",
                                 "books",
                                 "book_open",
                                 "blackboard",
                                 "film",
                                 "music",
                                 "sound",
                                 "sport",
                                 "pill",
                                 "measure",
                                 "mathematics",
                                 "computer",
                                 "laptop",
                                 "tablet",
                                 "server",
                                 "database",
                                 "phone",
                                 "camera",
                                 "email",
                                 "attach",
                                 "mail",
                                 "bug",
                                 "shield",
                                 "puzzle",
                                 "construction",
                                 "roadworks",
                                 "dead_end",
                                 "traffic_lights",
                                 "recycle",
                                 "calendar",
                                 "cloud"};

// Keys whose picture has another name than the key followed by "_png".
constexpr std::pair<std::string_view, const char*> kRenamed[] = {
    {"ok", "tick_png"},          {"cancel", "delete_png"},        {"todo", "cogwheels_png"},
    {"time", "clock_png"},       {"greenflag", "green_flag_png"}, {"yellowflag", "yellow_flag_png"},
    {"redflag", "red_flag_png"}, {"tablet", "ipad_png"},
};

std::string ResourceNameOf(std::string_view key) {
    for (const auto& [renamed, resource] : kRenamed)
        if (renamed == key)
            return resource;
    return std::string(key) + "_png";
}

int PickerSide(int pixelsPerInch) {
    return std::min(32, static_cast<int>(std::nearbyint(20.0 * pixelsPerInch / 96)));
}

} // namespace

TPicture MakeNumberPicture(int digit) {
    constexpr int kSide = 32;
    TPicture picture = NewPicture(kSide, kSide);
    cairo_t* cr = cairo_create(picture.Surface());
    const double inset = std::min(kSide / 2, 3);
    RoundRectPath(cr, {inset, inset, kSide - 2 * inset, kSide - 2 * inset}, 5);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_select_font_face(cr, "Tahoma", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 23);
    cairo_move_to(cr, 8, 24);
    const std::string text = Format("%d", digit);
    cairo_show_text(cr, text.c_str());
    cairo_destroy(cr);
    cairo_surface_flush(picture.Surface());
    return picture;
}

TV1StockIcons::TV1StockIcons(int pixelsPerInch) : FImageList(PickerSide(pixelsPerInch), PickerSide(pixelsPerInch)) {
    for (const auto& [key, resource] : KeyTable()) {
        FKeys.push_back(key);
        FItems.push_back(ResourcePicture(resource));
    }
    for (int digit = 0; digit <= 9; ++digit) {
        FKeys.push_back(Format("white.%d", digit));
        FItems.push_back(MakeNumberPicture(digit));
    }
    for (std::size_t i = 0; i < FKeys.size(); ++i)
        FIndex.emplace_back(LowerAscii(FKeys[i]), i);
    std::sort(FIndex.begin(), FIndex.end());
}

const TImageList& TV1StockIcons::GetImageList() {
    if (!FImageListMade) {
        FImageListMade = true;
        for (const TPicture& picture : FItems)
            FImageList.Add(picture);
    }
    return FImageList;
}

TPicture TV1StockIcons::GetSurface(const std::string& key) {
    const std::string lower = LowerAscii(key);
    const auto it = std::lower_bound(FIndex.begin(), FIndex.end(), lower,
                                     [](const auto& entry, const std::string& k) { return entry.first < k; });
    if (it == FIndex.end() || it->first != lower)
        return {};
    return FItems[it->second];
}

std::vector<std::pair<std::string, std::string>> TV1StockIcons::KeyTable() {
    std::vector<std::pair<std::string, std::string>> table;
    for (const char* key : kKeys)
        table.emplace_back(key, ResourceNameOf(key));
    return table;
}

TV1StockIcons& V1StockIcons() {
    static TV1StockIcons store;
    return store;
}
