#include "render/StockIcns.h"

#include "render/FlatStockIcns.h"
#include "render/V1StockIcons.h"

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

namespace {

TStockIconStores& RegisterBuiltInStores(TStockIconStores& stores) {
    stores.AddStore(&FlatStockIconStore());
    stores.AddStore(&V1StockIcons());
    return stores;
}

} // namespace

TStockIconStores& StockIconStores() {
    // The stores are made after the registry, so they go before it at shutdown.
    static TStockIconStores stores;
    static TStockIconStores& registered = RegisterBuiltInStores(stores);
    return registered;
}
