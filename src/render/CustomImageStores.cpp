#include "render/CustomImageStores.h"

#include "platform/CVStrings.h"
#include "render/StockIcns.h"

#include <algorithm>
#include <cstring>
#include <gio/gio.h>

namespace {

struct TPngReader {
    std::string_view Bytes;
    std::size_t Position = 0;
};

cairo_status_t ReadPngBytes(void* closure, unsigned char* data, unsigned int length) {
    auto* reader = static_cast<TPngReader*>(closure);
    if (reader->Bytes.size() - reader->Position < length)
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, reader->Bytes.data() + reader->Position, length);
    reader->Position += length;
    return CAIRO_STATUS_SUCCESS;
}

std::uint32_t BigEndian32(std::string_view bytes, std::size_t at) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
}

} // namespace

TPicture DecodePngPicture(std::string_view bytes) {
    // The signature and the IHDR chunk come first: the size is checked before the decoder allocates anything.
    constexpr std::string_view kSignature("\x89PNG\r\n\x1A\n", 8);
    if (bytes.size() < 33 || bytes.substr(0, 8) != kSignature || bytes.substr(12, 4) != "IHDR")
        return {};
    const std::uint32_t width = BigEndian32(bytes, 16);
    const std::uint32_t height = BigEndian32(bytes, 20);
    if (width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide)
        return {};
    TPngReader reader{bytes};
    TPicture picture = TPicture::Adopt(cairo_image_surface_create_from_png_stream(&ReadPngBytes, &reader));
    if (cairo_surface_status(picture.Surface()) != CAIRO_STATUS_SUCCESS)
        return {};
    return picture;
}

// ---------------------------------------------------------------------------------------------------------------

TPicture TNamedPngSurfaceCache::GetSurface(const std::string& name) {
    std::size_t index = 0;
    if (Find(name, index))
        return FItems[index].Picture;
    TPicture picture = Load(name);
    if (picture)
        Add(name, picture);
    return picture;
}

bool TNamedPngSurfaceCache::Find(const std::string& name, std::size_t& index) const {
    const auto it = std::lower_bound(FItems.begin(), FItems.end(), name,
                                     [](const TItem& item, const std::string& key) { return item.Name < key; });
    index = static_cast<std::size_t>(it - FItems.begin());
    return it != FItems.end() && it->Name == name;
}

bool TNamedPngSurfaceCache::Add(const std::string& name, TPicture picture) {
    std::size_t index = 0;
    if (!picture || Find(name, index))
        return false;
    FItems.insert(FItems.begin() + static_cast<std::ptrdiff_t>(index), TItem{name, std::move(picture)});
    return true;
}

void TNamedPngSurfaceCache::Delete(std::size_t index) {
    if (index < FItems.size())
        FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(index));
}

// ---------------------------------------------------------------------------------------------------------------

TCustomImageStore::~TCustomImageStore() {
    for (TCustomImageStoreObserver* observer : FObservers)
        observer->FStore = nullptr;
}

TPicture TCustomImageStore::GetSurface(const std::string& name) {
    std::size_t index = 0;
    if (Find(name, index))
        return ItemAt(index);
    TPicture picture;
    if (!name.empty() && name.front() == '.') {
        if (StartsWithText(name, ".icon:"))
            picture = StockIconStores().GetSurface(name.substr(6));
        else if (SameText(name, ".audio-recording"))
            picture = ResourcePicture("voice_memo_icon_png");
        else if (SameText(name, ".corvella-icon"))
            picture = ResourcePicture("corvella_icon_128");
    }
    if (!picture)
        picture = Load(name);
    if (picture)
        Add(name, picture);
    return picture;
}

void TCustomImageStore::Remove(const std::string& name) {
    std::size_t index = 0;
    if (Find(name, index))
        Delete(index);
    NotifyImageChanged(name, icRemoved);
}

void TCustomImageStore::PurgeUnused() {
    for (std::size_t i = Count(); i-- > 0;)
        if (ItemAt(i).ReferenceCount() <= 1)
            Delete(i);
}

void TCustomImageStore::NotifyImageChanged(const std::string& name, TImageChange change) {
    // a handler may unregister its observer, so the list is copied first
    const std::vector<TCustomImageStoreObserver*> observers = FObservers;
    for (TCustomImageStoreObserver* observer : observers)
        if (observer->FHandler)
            observer->FHandler(observer->FOwner, name, change);
}

TCustomImageStoreObserver::TCustomImageStoreObserver(TCustomImageStore* store, void* owner, THandler handler)
    : FStore(store), FOwner(owner), FHandler(handler) {
    if (FStore && std::find(FStore->FObservers.begin(), FStore->FObservers.end(), this) == FStore->FObservers.end())
        FStore->FObservers.push_back(this);
}

TCustomImageStoreObserver::~TCustomImageStoreObserver() {
    if (FStore)
        std::erase(FStore->FObservers, this);
}

TNullImageStore& NullImageStore() {
    static TNullImageStore store;
    return store;
}

bool TViewerImageStore::AddPng(const std::string& key, std::string_view bytes) {
    TPicture picture = DecodePngPicture(bytes);
    return picture && Add(key, std::move(picture));
}

TPicture TPngResourceSurfaceCache::Load(const std::string& name) {
    GBytes* bytes =
        g_resources_lookup_data(("/org/orrinex/corvella/" + name).c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
    if (!bytes)
        return {};
    gsize size = 0;
    const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
    TPicture picture = DecodePngPicture(std::string_view(data, size));
    g_bytes_unref(bytes);
    return picture;
}

TPicture ResourcePicture(const std::string& name) {
    static TPngResourceSurfaceCache cache;
    return cache.GetSurface(name);
}
