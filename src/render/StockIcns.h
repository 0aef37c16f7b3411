#pragma once

// Stock icons: stores that resolve built-in icon keys to pictures, asked in the order they were registered.

#include "render/CairoHandles.h"
#include "render/DiagramPngs.h"

#include <string>
#include <vector>

class TStockIconStore {
public:
    TStockIconStore() = default;
    TStockIconStore(const TStockIconStore&) = delete;
    TStockIconStore& operator=(const TStockIconStore&) = delete;
    virtual ~TStockIconStore() = default;

    // How many keys the icon picker lists.
    virtual int GetCount() const = 0;
    // The picker's pictures: index n belongs to the n-th listed key.
    virtual const TImageList& GetImageList() = 0;
    virtual TPicture GetSurface(const std::string& key) = 0;
};

class TStockIconStores {
public:
    // Appends a store that is not listed yet; stores belong to their modules.
    void AddStore(TStockIconStore* store);
    void RemoveStore(TStockIconStore* store);
    // The first store's picture for the key; empty for an empty key or when no store has one.
    TPicture GetSurface(const std::string& key);
    const std::vector<TStockIconStore*>& Stores() const { return FStores; }

private:
    std::vector<TStockIconStore*> FStores; // not owned
};

// The process-wide registry, with the flat store first and the legacy store second. Making it decodes every
// listed stock picture; a listed picture missing from the resources raises EResourceNotFound.
TStockIconStores& StockIconStores();
