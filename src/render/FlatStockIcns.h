#pragma once

// The flat stock icons: pictures named "ic8_48_" or "ic8_96_" followed by a word, 48 and 96 pixels square.

#include "render/StockIcns.h"

#include <span>
#include <string>
#include <vector>

class TFlatStockIconStore : public TStockIconStore {
public:
    // Decodes the picture of every key of the table; a missing one raises EResourceNotFound. The picker's list
    // is made at the given screen resolution when it is first asked for.
    explicit TFlatStockIconStore(int pixelsPerInch = ScreenPixelsPerInch());

    int GetCount() const override { return static_cast<int>(FKeys.size()); }
    const TImageList& GetImageList() override;
    // Serves every key of more than 6 characters that starts with "ic8_" (letter case counts) and has a picture.
    TPicture GetSurface(const std::string& key) override;
    // The listed keys, in picker order.
    const std::vector<std::string>& Keys() const { return FKeys; }

    // The words of the key table in picker order, listed or not; and the words whose pictures exist without a
    // key in the table.
    static std::span<const char* const> TableWords();
    static std::span<const char* const> ExtraWords();

private:
    std::vector<std::string> FKeys;
    TImageList FImageList;
    bool FImageListMade = false;
};

TFlatStockIconStore& FlatStockIconStore();
