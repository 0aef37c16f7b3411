#include "render/CVImages.h"

#include <algorithm>
#include <cmath>

namespace {

// Tool pictures that carry their meaning in their colours (flags, coloured marks) stay as they are on dark
// themes; so do the first two preference pictures.
const std::vector<int> kKeptToolPictures = {110, 119, 120, 123, 124, 125, 126, 127,
                                            128, 129, 140, 141, 147, 171, 172, 176};
const std::vector<int> kKeptPreferencePictures = {0, 1};

TPicture LightPicture(const TPicture& picture) {
    TPicture light = ScaledPicture(picture, picture.Width(), picture.Height());
    if (!light)
        return light;
    cairo_surface_flush(light.Surface());
    unsigned char* data = cairo_image_surface_get_data(light.Surface());
    const int stride = cairo_image_surface_get_stride(light.Surface());
    for (int y = 0; y < light.Height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < light.Width(); ++x) {
            const std::uint32_t alpha = row[x] >> 24;
            const std::uint32_t rg = (240 * alpha + 127) / 255; // premultiplied
            row[x] = (alpha << 24) | (rg << 16) | (rg << 8) | alpha;
        }
    }
    cairo_surface_mark_dirty(light.Surface());
    return light;
}

} // namespace

int ResolutionTierOf(int pixelsPerInch) {
    const double s = pixelsPerInch / 96.0;
    return s < 1.4 ? 0 : s < 1.8 ? 1 : 2;
}

TImageList LightCopy(const TImageList& list, const std::vector<int>& keptIndices) {
    TImageList copy(list.Width(), list.Height());
    for (int i = 0; i < list.Count(); ++i) {
        const bool kept = std::find(keptIndices.begin(), keptIndices.end(), i) != keptIndices.end();
        copy.Add(kept ? list.At(i) : LightPicture(list.At(i)));
    }
    return copy;
}

TCVImagesDM::TCVImagesDM(TDesignImageLists lists, int pixelsPerInch, bool darkMode)
    : FDesign(std::move(lists)), FPixelsPerInch(pixelsPerInch), FDarkMode(darkMode) {
    for (const TImageList* tools :
         {&FDesign.ToolImages, &FDesign.ToolImages24, &FDesign.ToolImages32, &FDesign.ToolImages48})
        FDarkCopies.push_back(LightCopy(*tools, kKeptToolPictures));
    for (const TImageList* preferences : {&FDesign.PreferencesImages, &FDesign.LargePreferencesImages})
        FDarkCopies.push_back(LightCopy(*preferences, kKeptPreferencePictures));
    MakeScaledLists();
}

TCVImagesDM::~TCVImagesDM() {
    for (TImageSizeObserver* observer : FObservers)
        observer->FImages = nullptr;
}

void TCVImagesDM::MakeScaledLists() {
    const double s = FPixelsPerInch / 96.0;
    FResolutionTier = ResolutionTierOf(FPixelsPerInch);
    const int width = std::max(1, static_cast<int>(std::nearbyint(FDesign.LayoutImages.Width() * s)));
    const int height = std::max(1, static_cast<int>(std::nearbyint(FDesign.LayoutImages.Height() * s)));
    FScaledLayoutImages = TImageList(width, height);
    FScaledLayoutImages.Add(NewPicture(width, height));
    for (int i = 0; i < FDesign.LayoutImages.Count(); ++i) {
        const TPicture& picture = FDesign.LayoutImages.At(i);
        TPicture scaled = NewPicture(width, height);
        cairo_t* cr = cairo_create(scaled.Surface());
        cairo_scale(cr, static_cast<double>(width) / std::max(1, picture.Width()),
                    static_cast<double>(height) / std::max(1, picture.Height()));
        cairo_set_source_surface(cr, picture.Surface(), 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BEST);
        cairo_paint(cr);
        cairo_destroy(cr);
        FScaledLayoutImages.Add(scaled);
    }
}

const TImageList& TCVImagesDM::ToolImagesForTier() const {
    const int index = FResolutionTier; // 16, 24, 32
    if (FDarkMode)
        return FDarkCopies[static_cast<std::size_t>(index)];
    const TImageList* lists[] = {&FDesign.ToolImages, &FDesign.ToolImages24, &FDesign.ToolImages32};
    return *lists[index];
}

const TImageList& TCVImagesDM::LargerToolImages() const {
    const int index = FResolutionTier + 1; // 24, 32, 48
    if (FDarkMode)
        return FDarkCopies[static_cast<std::size_t>(index)];
    const TImageList* lists[] = {&FDesign.ToolImages, &FDesign.ToolImages24, &FDesign.ToolImages32,
                                 &FDesign.ToolImages48};
    return *lists[index];
}

const TImageList& TCVImagesDM::PreferenceImages() const {
    const bool large = FResolutionTier == 2;
    if (FDarkMode)
        return FDarkCopies[large ? 5 : 4];
    return large ? FDesign.LargePreferencesImages : FDesign.PreferencesImages;
}

int TCVImagesDM::ToolSpacing() const {
    return static_cast<int>(std::nearbyint(3.0 * FPixelsPerInch / 96));
}

std::unique_ptr<TImageSizeObserver> TCVImagesDM::AddSizeObserver(std::function<void()> handler, void* form) {
    return std::make_unique<TImageSizeObserver>(*this, std::move(handler), form);
}

void TCVImagesDM::ChangeResolution(int pixelsPerInch) {
    if (pixelsPerInch == FPixelsPerInch)
        return;
    FPixelsPerInch = pixelsPerInch;
    MakeScaledLists();
    const std::vector<TImageSizeObserver*> observers = FObservers;
    for (TImageSizeObserver* observer : observers)
        if (std::find(FObservers.begin(), FObservers.end(), observer) != FObservers.end() && observer->FHandler)
            observer->FHandler();
}

TImageSizeObserver::TImageSizeObserver(TCVImagesDM& images, std::function<void()> handler, void* form)
    : FImages(&images), FHandler(std::move(handler)), FForm(form) {
    images.FObservers.push_back(this);
}

TImageSizeObserver::~TImageSizeObserver() {
    if (FImages)
        std::erase(FImages->FObservers, this);
}
