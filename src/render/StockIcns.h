#pragma once

// Stock icons: stores that resolve built-in icon keys to pictures, asked in the order they were registered.

#include "render/CairoHandles.h"

#include <string>
#include <vector>

class TStockIconStore {
public:
    virtual ~TStockIconStore() = default;
    virtual int GetCount() const = 0;
    virtual TPicture GetSurface(const std::string& key) = 0;
};

class TStockIconStores {
public:
    // Appends a store that is not listed yet; stores belong to their modules.
    void AddStore(TStockIconStore* store);
    void RemoveStore(TStockIconStore* store);
    // The first store's picture for the key; empty for an empty key or when no store has one.
    TPicture GetSurface(const std::string& key);

private:
    std::vector<TStockIconStore*> FStores; // not owned
};

TStockIconStores& StockIconStores();
