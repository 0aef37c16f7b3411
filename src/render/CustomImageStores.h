#pragma once

// Stores that turn picture names into decoded pictures: a sorted cache of named surfaces, the image stores a
// map draws its pictures from, and PNG decoding with a size limit.

#include "render/CairoHandles.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Pictures larger than this on either side are refused before anything is allocated.
constexpr int kMaxPictureSide = 16384;

// Decodes PNG bytes; answers an empty picture when the bytes are no usable PNG or the picture is too large.
TPicture DecodePngPicture(std::string_view bytes);

// A cache of pictures by name, kept sorted (case-sensitive) for binary search.
class TNamedPngSurfaceCache {
public:
    TNamedPngSurfaceCache() = default;
    TNamedPngSurfaceCache(const TNamedPngSurfaceCache&) = delete;
    TNamedPngSurfaceCache& operator=(const TNamedPngSurfaceCache&) = delete;
    virtual ~TNamedPngSurfaceCache() = default;

    // The cached picture, or the one Load gives (which is then cached), or an empty one.
    virtual TPicture GetSurface(const std::string& name);
    // Adds a picture under a name that is not cached yet; answers false when the name is present.
    bool Add(const std::string& name, TPicture picture);
    bool Find(const std::string& name, std::size_t& index) const;
    std::size_t Count() const { return FItems.size(); }
    void Delete(std::size_t index);
    void DeleteAll() { FItems.clear(); }

protected:
    virtual TPicture Load(const std::string& name) = 0;
    const TPicture& ItemAt(std::size_t index) const { return FItems[index].Picture; }

private:
    struct TItem {
        std::string Name;
        TPicture Picture;
    };
    std::vector<TItem> FItems;
};

// Observers hear when a picture of the store changed or was removed.
class TCustomImageStoreObserver;

enum TImageChange : std::uint8_t { icChanged, icRemoved };

// The pictures a map draws from. Names starting with "." are special: ".icon:key" is a stock icon.
class TCustomImageStore : public TNamedPngSurfaceCache {
public:
    ~TCustomImageStore() override;

    TPicture GetSurface(const std::string& name) override;
    void Remove(const std::string& name);
    void Clear() { DeleteAll(); }
    // Drops every picture that nothing but the store holds.
    void PurgeUnused();
    void NotifyImageChanged(const std::string& name, TImageChange change);

private:
    friend class TCustomImageStoreObserver;
    std::vector<TCustomImageStoreObserver*> FObservers; // not owned
};

class TCustomImageStoreObserver {
public:
    using THandler = void (*)(void* owner, const std::string& name, TImageChange change);

    TCustomImageStoreObserver(TCustomImageStore* store, void* owner, THandler handler);
    TCustomImageStoreObserver(const TCustomImageStoreObserver&) = delete;
    TCustomImageStoreObserver& operator=(const TCustomImageStoreObserver&) = delete;
    ~TCustomImageStoreObserver();

    TCustomImageStore* Store() const { return FStore; }

private:
    friend class TCustomImageStore;
    TCustomImageStore* FStore; // not owned; null once the store is gone
    void* FOwner;              // not owned
    THandler FHandler;
};

// The store of a map without a document: it knows only the special names.
class TNullImageStore : public TCustomImageStore {
protected:
    TPicture Load(const std::string&) override { return {}; }
};
TNullImageStore& NullImageStore();

// The store of an opened document, filled once from the archive's pictures.
class TViewerImageStore : public TCustomImageStore {
public:
    // Decodes and adds a picture; answers false for bytes that are no usable PNG.
    bool AddPng(const std::string& key, std::string_view bytes);

protected:
    TPicture Load(const std::string&) override { return {}; }
};

// The program's own pictures, decoded once from its resources.
class TPngResourceSurfaceCache : public TNamedPngSurfaceCache {
protected:
    TPicture Load(const std::string& name) override;
};

// The program's own picture of that resource name ("missing_32_png"); empty when there is no such resource.
TPicture ResourcePicture(const std::string& name);
