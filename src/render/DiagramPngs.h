#pragma once

// Pictures by name: PNG decoding with a size limit, a sorted cache of named pictures, the program's own pictures
// compiled into its resources, and lists of equally sized pictures for pickers and toolbars.

#include "platform/CVStrings.h"
#include "platform/ResourceLimits.h"
#include "render/CairoHandles.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Decodes PNG bytes; answers an empty picture when the bytes are no usable PNG or the picture is larger than
// kMaxPictureSide or kMaxPicturePixels (checked from the header, before anything is allocated).
TPicture DecodePngPicture(std::string_view bytes);
// The picture as PNG bytes; empty when it cannot be written.
std::string EncodePngPicture(const TPicture& picture);
// Decodes JPEG bytes into a 24-bit picture (grey, colour and CMYK pictures); answers an empty picture when the
// bytes are no usable JPEG, the picture is too large (checked from the header, as for PNG) or it has more than
// kMaxJpegScans scans. Damaged scan data gives what could be decoded.
TPicture DecodeJpegPicture(std::string_view bytes);
bool IsPngData(std::string_view bytes);
bool IsJpegData(std::string_view bytes);
// Decodes PNG or JPEG bytes, told apart by their contents; empty when they are neither or cannot be decoded.
TPicture DecodePicture(std::string_view bytes);
// The width and height a PNG or JPEG header states, read without decoding the picture; false when the bytes
// are neither or their header cannot be read.
bool ReadPictureSize(std::string_view bytes, std::uint32_t& width, std::uint32_t& height);
// Why a picture of that size is not decoded, naming the limit it passes ("100000 x 100000 pixels, more than 16384
// pixels a side"); empty when it is within the limits.
std::string PictureSizeRefusal(std::uint64_t width, std::uint64_t height);
// Decodes the PNG or JPEG bytes of a picture called `name`. Raises ECVException "The picture <name> is too large:
// <why>" when its header states a size beyond the limits, "The picture <name> has more than <kMaxJpegScans> scans"
// for such a JPEG, and "Unsupported picture format: <name>" when the bytes cannot be decoded otherwise.
TPicture DecodeNamedPicture(std::string_view bytes, const std::string& name);
// Loads a PNG or JPEG file, told apart by its contents. Raises ECVException when the file cannot be read, is
// larger than kMaxPictureFileBytes or holds no picture this loader decodes (see DecodeNamedPicture).
TPicture LoadPictureFile(const std::string& path);
// A new, cleared 32-bit image surface; empty when a side is not positive or the size passes the picture limits.
TPicture NewPicture(int width, int height, cairo_format_t format = CAIRO_FORMAT_ARGB32);

// A program resource that does not exist.
class EResourceNotFound : public ECVException {
public:
    using ECVException::ECVException;
};

// A cache of pictures by name, kept sorted (ordinal, case-sensitive) for binary search.
class TNamedPngSurfaceCache {
public:
    TNamedPngSurfaceCache() = default;
    TNamedPngSurfaceCache(const TNamedPngSurfaceCache&) = delete;
    TNamedPngSurfaceCache& operator=(const TNamedPngSurfaceCache&) = delete;
    virtual ~TNamedPngSurfaceCache() = default;

    // The cached picture, or the one Load gives (which is then cached), or an empty one.
    virtual TPicture GetSurface(const std::string& name);
    // Adds a picture under a name that is not cached yet; answers false (and keeps the cached one) otherwise.
    bool Add(const std::string& name, TPicture picture);
    bool Find(const std::string& name, std::size_t& index) const;
    std::size_t Count() const { return FItems.size(); }
    const TPicture& ItemAt(std::size_t index) const { return FItems[index].Picture; }
    const std::string& NameAt(std::size_t index) const { return FItems[index].Name; }
    void Delete(std::size_t index);
    void DeleteAll() { FItems.clear(); }

protected:
    virtual TPicture Load(const std::string& name) = 0;

private:
    struct TItem {
        std::string Name;
        TPicture Picture;
    };
    std::vector<TItem> FItems;
};

// The program's own PNG pictures, decoded once from its resources.
class TPngResourceSurfaceCache : public TNamedPngSurfaceCache {
protected:
    // Raises EResourceNotFound for a name without resource; a resource that is no usable PNG gives no picture.
    TPicture Load(const std::string& name) override;
};

// The process-wide cache of the program's pictures.
TPngResourceSurfaceCache& ResourcePictures();
// The program's picture of that resource name ("missing_32_png"); raises EResourceNotFound when there is none.
TPicture ResourcePicture(const std::string& name);
// The bytes of a program resource; raises EResourceNotFound when there is none.
std::string ResourceBytes(const std::string& name);

// The resolution of the screen the pickers and toolbars are made for (96 unless the window system says more).
int ScreenPixelsPerInch();
void SetScreenPixelsPerInch(int pixelsPerInch);

// Pictures of one size with 32 bits a pixel, addressed by index, as pickers, menus and toolbars show them.
class TImageList {
public:
    TImageList(int width, int height) : FWidth(width), FHeight(height) {}

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int Count() const { return static_cast<int>(FPictures.size()); }
    const TPicture& At(int index) const { return FPictures.at(static_cast<std::size_t>(index)); }
    // Appends a picture of the list's size (pictures of another size are drawn scaled to fit, at the top left);
    // answers its index.
    int Add(const TPicture& picture);
    void Clear() { FPictures.clear(); }

private:
    int FWidth;
    int FHeight;
    std::vector<TPicture> FPictures;
};

// A copy of the picture at (width, height) pixels: drawn uniformly scaled by width / picture width about the
// top-left corner, with the best filter, on a transparent background.
TPicture ScaledPicture(const TPicture& picture, int width, int height);
