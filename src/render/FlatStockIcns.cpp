#include "render/FlatStockIcns.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace {

constexpr const char* kTableWords[] = {"ok",
                                       "delete",
                                       "todo",
                                       "time",
                                       "hourglass",
                                       "calendar",
                                       "bell",
                                       "question",
                                       "information",
                                       "warning",
                                       "high_priority",
                                       "create",
                                       "favorite",
                                       "target",
                                       "green_flag",
                                       "yellow_flag",
                                       "red_flag",
                                       "finish_flag",
                                       "plus",
                                       "minus",
                                       "key",
                                       "lock",
                                       "unlock",
                                       "trash",
                                       "thumbs_up",
                                       "thumbs_down",
                                       "handshake",
                                       "arrow_up",
                                       "arrow_down",
                                       "arrow_left",
                                       "arrow_right",
                                       "arrow_divide",
                                       "arrow_join",
                                       "emoticon_happy",
                                       "emoticon_lol",
                                       "emoticon_wink",
                                       "neutral",
                                       "emoticon_sad",
                                       "emoticon_crying",
                                       "emoticon_heart",
                                       "cake",
                                       "party_baloon",
                                       "user_male",
                                       "user_male_2",
                                       "user_female",
                                       "user_female_2",
                                       "graduation_cap",
                                       "user_officer",
                                       "user_finance",
                                       "user_worker",
                                       "car",
                                       "truck",
                                       "airplane",
                                       "compass",
                                       "steering",
                                       "anchor",
                                       "find",
                                       "wall",
                                       "hammer",
                                       "sword",
                                       "crown",
                                       "bang",
                                       "award",
                                       "light_on",
                                       "light_off",
                                       "balance",
                                       "banknotes",
                                       "coins",
                                       "shopping_cart",
                                       "chart_pie",
                                       "chart_bar",
                                       "chart_up",
                                       "chart_down",
                                       "pencil",
                                       "measure",
                                       "calculator",
                                       "cut",
                                       "blackboard",
                                       "book_open",
                                       "film",
                                       "youtube",
                                       "music",
                                       "microphone",
                                       "camera",
                                       "tablet",
                                       "laptop",
                                       "home",
                                       "shop",
                                       "clinic",
                                       "pill",
                                       "football",
                                       "sport",
                                       "running",
                                       "id_card",
                                       "phone",
                                       "email",
                                       "attach",
                                       "folder",
                                       "document",
                                       "note",
                                       "tools",
                                       "puzzle",
                                       "gift",
                                       "roadworks",
                                       "recycle",
                                       "globe",
                                       "wine",
                                       "coffee",
                                       "food",
                                       "chili_pepper",
                                       "tree",
                                       "clover",
                                       "cat",
                                       "dog",
                                       "bird",
                                       "bug",
                                       "bumblebee",
                                       "dolphin",
                                       "elephant",
                                       "ladybird",
                                       "lion",
                                       "owl",
                                       "snail",
                                       "alligator",
                                       "flower",
                                       "summer",
                                       "autumn",
                                       "winter",
                                       "cloud",
                                       "partly_cloudy",
                                       "rain",
                                       "dry",
                                       "circled_0",
                                       "circled_1",
                                       "circled_2",
                                       "circled_3",
                                       "circled_4",
                                       "circled_5",
                                       "circled_6",
                                       "circled_7",
                                       "circled_8",
                                       "circled_9",
                                       "dropbox",
                                       "google_drive",
                                       "facebook",
                                       "twitter",
                                       "linkedin",
                                       "skype",
                                       "google_plus",
                                       "instagram",
                                       "pinterest",
                                       "whatsapp",
                                       "snapchat",
                                       "print",
                                       "wifi",
                                       "black_hat",
                                       "blue_hat",
                                       "green_hat",
                                       "red_hat",
                                       "white_hat",
                                       "yellow_hat",
                                       "apple_fruit",
                                       "pear",
                                       "banana",
                                       "lighthouse",
                                       "sea_waves",
                                       "alps",
                                       "campfire",
                                       "swimming",
                                       "kicking",
                                       "family",
                                       "boy",
                                       "girl",
                                       "children",
                                       "baby",
                                       "briefcase",
                                       "cabinet",
                                       "filter",
                                       "firewall",
                                       "shield",
                                       "swiss_knife",
                                       "thermometer",
                                       "water",
                                       "construction"};

// Pictures that are loaded but not offered in the picker.
constexpr std::string_view kUnlistedWords[] = {"twitter", "skype", "google_plus"};

// Pictures that exist without a key in the table.
constexpr const char* kExtraWords[] = {"axe", "traffic_lights"};

int PickerSide(int pixelsPerInch) {
    return std::min(48, static_cast<int>(std::nearbyint(28.0 * pixelsPerInch / 96)));
}

} // namespace

TFlatStockIconStore::TFlatStockIconStore(int pixelsPerInch)
    : FImageList(PickerSide(pixelsPerInch), PickerSide(pixelsPerInch)) {
    for (const char* word : kTableWords) {
        const std::string key = std::string("ic8_48_") + word;
        ResourcePicture(key);
        if (std::find(std::begin(kUnlistedWords), std::end(kUnlistedWords), word) == std::end(kUnlistedWords))
            FKeys.push_back(key);
    }
}

const TImageList& TFlatStockIconStore::GetImageList() {
    if (!FImageListMade) {
        FImageListMade = true;
        for (const std::string& key : FKeys)
            FImageList.Add(ResourcePicture(key));
    }
    return FImageList;
}

TPicture TFlatStockIconStore::GetSurface(const std::string& key) {
    if (key.size() <= 6 || key.compare(0, 4, "ic8_") != 0)
        return {};
    try {
        return ResourcePicture(key);
    } catch (const EResourceNotFound&) {
        return {};
    }
}

std::span<const char* const> TFlatStockIconStore::TableWords() {
    return kTableWords;
}

std::span<const char* const> TFlatStockIconStore::ExtraWords() {
    return kExtraWords;
}

TFlatStockIconStore& FlatStockIconStore() {
    static TFlatStockIconStore store;
    return store;
}
