#pragma once

// The legacy stock icons: 32-pixel pictures under short keys ("ok", "greenflag"), and the generated number
// pictures "white.0" to "white.9".

#include "render/StockIcns.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class TV1StockIcons : public TStockIconStore {
public:
    // Decodes the picture of every key; a missing one raises EResourceNotFound. The picker's list is made at the
    // given screen resolution when it is first asked for.
    explicit TV1StockIcons(int pixelsPerInch = ScreenPixelsPerInch());

    int GetCount() const override { return static_cast<int>(FKeys.size()); }
    const TImageList& GetImageList() override;
    // The picture of the key, whose letter case does not matter; empty for other keys.
    TPicture GetSurface(const std::string& key) override;
    const std::vector<std::string>& Keys() const { return FKeys; }

    // The resource picture of each key of the table (without the generated ones), in key order.
    static std::vector<std::pair<std::string, std::string>> KeyTable();

private:
    std::vector<std::string> FKeys;
    std::vector<TPicture> FItems;                            // parallel to FKeys
    std::vector<std::pair<std::string, std::size_t>> FIndex; // lower-case key and its index, sorted
    TImageList FImageList;
    bool FImageListMade = false;
};

TV1StockIcons& V1StockIcons();

// The generated picture of a digit: a white rounded square with a black border and the digit in dark grey.
TPicture MakeNumberPicture(int digit);
