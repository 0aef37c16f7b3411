#include "render/StockIcns.h"

#include <algorithm>

void TStockIconStores::AddStore(TStockIconStore* store) {
    if (store && std::find(FStores.begin(), FStores.end(), store) == FStores.end())
        FStores.push_back(store);
}

void TStockIconStores::RemoveStore(TStockIconStore* store) {
    std::erase(FStores, store);
}

TPicture TStockIconStores::GetSurface(const std::string& key) {
    if (key.empty())
        return {};
    for (TStockIconStore* store : FStores)
        if (TPicture picture = store->GetSurface(key))
            return picture;
    return {};
}

TStockIconStores& StockIconStores() {
    static TStockIconStores stores;
    return stores;
}
