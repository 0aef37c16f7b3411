#include "render/CustomImageStores.h"

#include "platform/AppErrors.h"
#include "platform/CVStrings.h"
#include "render/StockIcns.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

// The picture files the program opens and previews.
constexpr std::string_view kGraphicFileFilter = "*.png;*.jpg;*.jpeg;*.jpe;*.jfif;*.gif;*.bmp;*.ico;*.tif;*.tiff";

// A 24-bit copy of the picture, drawn at (0, 0).
TPicture OpaqueCopy(const TPicture& picture, cairo_filter_t filter) {
    TPicture bitmap = NewPicture(picture.Width(), picture.Height(), CAIRO_FORMAT_RGB24);
    if (!bitmap)
        return {};
    cairo_t* cr = cairo_create(bitmap.Surface());
    cairo_set_source_surface(cr, picture.Surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), filter);
    cairo_paint(cr);
    const bool painted = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_flush(bitmap.Surface());
    return painted ? bitmap : TPicture();
}

} // namespace

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

std::string TCustomImageStore::FileNameOf(const std::string&) const {
    return {};
}

void TCustomImageStore::Remove(const std::string& name) {
    std::size_t index = 0;
    if (Find(name, index))
        Delete(index);
    NotifyImageChanged(name, icRemoved);
}

bool TCustomImageStore::DrawToBitmap(const std::string& name, TPicture& bitmap) {
    try {
        const std::string path = FileNameOf(name);
        std::error_code error;
        if (path.empty() || !std::filesystem::is_regular_file(path, error))
            return false;
        const TPicture picture = LoadPictureFile(path);
        TPicture copy = OpaqueCopy(picture, CAIRO_FILTER_GOOD);
        if (!copy)
            return false;
        bitmap = std::move(copy);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string TCustomImageStore::AddPicture(const TPicture&) {
    return {};
}

void TCustomImageStore::ImportName(TCustomImageStore&, const std::string&) {}

void TCustomImageStore::PurgeUnused() {
    for (std::size_t i = Count(); i-- > 0;)
        if (ItemAt(i).ReferenceCount() <= 1)
            Delete(i);
}

void TCustomImageStore::NotifyImageChanged(const std::string& name, TImageChange change) {
    // a handler may unregister its observer, so the list is copied first
    const std::vector<TCustomImageStoreObserver*> observers = FObservers;
    for (TCustomImageStoreObserver* observer : observers)
        if (std::find(FObservers.begin(), FObservers.end(), observer) != FObservers.end() && observer->FHandler)
            observer->FHandler(observer->FOwner, name, change);
}

void TCustomImageStore::ImportNames(TCustomImageStore& source, const std::vector<std::string>& names) {
    for (const std::string& name : names)
        ImportName(source, name);
}

std::string TCustomImageStore::AddPictureFromFile(const std::string& fileName) {
    TPicture picture;
    try {
        picture = LoadPictureFile(fileName);
    } catch (const ECVException& error) {
        HandleApplicationException(error);
        return {};
    }
    return AddPicture(picture);
}

bool TCustomImageStore::IsSupportedGraphicFile(const std::string& fileName) {
    const std::string name = std::filesystem::path(fileName).filename().string();
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return false;
    const std::string_view extension = std::string_view(name).substr(dot);
    std::string_view rest = kGraphicFileFilter;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find(';'), rest.size());
        std::string_view pattern = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (pattern.starts_with("*."))
            pattern.remove_prefix(1);
        if (SameText(pattern, extension))
            return true;
    }
    return false;
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

bool TViewerImageStore::DrawToBitmap(const std::string& name, TPicture& bitmap) {
    std::size_t index = 0;
    if (!Find(name, index))
        return false;
    TPicture copy = OpaqueCopy(ItemAt(index), CAIRO_FILTER_BEST);
    if (!copy)
        return false;
    bitmap = std::move(copy);
    return true;
}

TImageStoreOptions& ImageStoreOptions() {
    static TImageStoreOptions options;
    return options;
}
