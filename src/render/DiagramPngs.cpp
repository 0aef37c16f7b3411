#include "render/DiagramPngs.h"

#include "platform/Files.h"
#include "platform/ResourceLimits.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <gio/gio.h>
#include <jpeglib.h>
#include <memory>

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

cairo_status_t WritePngBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

std::uint32_t BigEndian32(std::string_view bytes, std::size_t at) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
}

constexpr const char* kResourcePrefix = "/org/orrinex/corvella/";

int GScreenPixelsPerInch = 96;

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back to the decoder.
struct TJpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    volatile bool TooManyScans = false; // set before the jump, read after it
};

[[noreturn]] void JpegErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<TJpegError*>(info->err)->Jump, 1);
}

void JpegIgnoreMessage(j_common_ptr) {}

// Every scan of a progressive JPEG passes over the whole picture once more: a file of many small scans would
// keep the decoder busy for minutes.
void JpegLimitScans(j_common_ptr info) {
    if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxJpegScans) {
        reinterpret_cast<TJpegError*>(info->err)->TooManyScans = true;
        JpegErrorExit(info);
    }
}

// The frame size from libjpeg's own reading of the header; no pixel buffer is made. Only plain C objects live
// here (see DecodeJpegSurface).
bool ReadJpegSize(const unsigned char* data, unsigned long size, std::uint32_t& width, std::uint32_t& height) {
    jpeg_decompress_struct info;
    TJpegError error;
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = &JpegErrorExit;
    error.Manager.output_message = &JpegIgnoreMessage;
    if (setjmp(error.Jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    width = info.image_width;
    height = info.image_height;
    jpeg_destroy_decompress(&info);
    return true;
}

void CmykToRgbInPlace(unsigned char* row, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x) {
        unsigned char* p = row + 4 * x;
        int c = p[0], m = p[1], y = p[2], k = p[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        const auto channel = [k](int v) { return static_cast<unsigned char>((v * k + 127) / 255); };
        const unsigned char r = channel(c), g = channel(m), b = channel(y);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        p[0] = b, p[1] = g, p[2] = r, p[3] = 0xFF;
#else
        p[0] = 0xFF, p[1] = r, p[2] = g, p[3] = b;
#endif
    }
}

// Only plain C objects live in this function, so that the jump back from libjpeg skips no destructor. The
// caller owns the surface it answers (null on failure; tooManyScans tells when that was the scan limit).
cairo_surface_t* DecodeJpegSurface(const unsigned char* data, unsigned long size, bool& tooManyScans) {
    jpeg_decompress_struct info;
    TJpegError error;
    jpeg_progress_mgr progress;
    cairo_surface_t* volatile surface = nullptr;
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = &JpegErrorExit;
    error.Manager.output_message = &JpegIgnoreMessage;
    progress.progress_monitor = &JpegLimitScans;
    if (setjmp(error.Jump)) {
        tooManyScans = error.TooManyScans;
        jpeg_destroy_decompress(&info);
        if (surface)
            cairo_surface_destroy(surface);
        return nullptr;
    }
    jpeg_create_decompress(&info);
    info.progress = &progress;
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    if (info.image_width == 0 || info.image_height == 0 ||
        !PictureSizeRefusal(info.image_width, info.image_height).empty()) {
        jpeg_destroy_decompress(&info);
        return nullptr;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
#else
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_XRGB;
#endif
    jpeg_start_decompress(&info);
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(info.output_width),
                                         static_cast<int>(info.output_height));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        JpegErrorExit(reinterpret_cast<j_common_ptr>(&info));
    unsigned char* pixels = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels + static_cast<std::ptrdiff_t>(info.output_scanline) * stride;
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            break;
        if (cmyk)
            CmykToRgbInPlace(row, info.output_width, info.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    cairo_surface_mark_dirty(surface);
    return surface;
}

} // namespace

std::string PictureSizeRefusal(std::uint64_t width, std::uint64_t height) {
    const auto w = static_cast<unsigned long long>(width);
    const auto h = static_cast<unsigned long long>(height);
    if (width > kMaxPictureSide || height > kMaxPictureSide)
        return Format("%llu x %llu pixels, more than %d pixels a side", w, h, kMaxPictureSide);
    if (width * height > kMaxPicturePixels)
        return Format("%llu x %llu pixels, more than %llu pixels in all", w, h,
                      static_cast<unsigned long long>(kMaxPicturePixels));
    return {};
}

bool ReadPictureSize(std::string_view bytes, std::uint32_t& width, std::uint32_t& height) {
    if (IsPngData(bytes)) {
        // the signature and the IHDR chunk come first
        if (bytes.size() < 33 || bytes.substr(12, 4) != "IHDR")
            return false;
        width = BigEndian32(bytes, 16);
        height = BigEndian32(bytes, 20);
        return true;
    }
    if (IsJpegData(bytes))
        return ReadJpegSize(reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<unsigned long>(bytes.size()), width, height);
    return false;
}

TPicture DecodePngPicture(std::string_view bytes) {
    // The size is checked from the header before the decoder allocates anything.
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (!IsPngData(bytes) || !ReadPictureSize(bytes, width, height) || width == 0 || height == 0 ||
        !PictureSizeRefusal(width, height).empty())
        return {};
    TPngReader reader{bytes};
    TPicture picture = TPicture::Adopt(cairo_image_surface_create_from_png_stream(&ReadPngBytes, &reader));
    if (cairo_surface_status(picture.Surface()) != CAIRO_STATUS_SUCCESS)
        return {};
    return picture;
}

bool IsPngData(std::string_view bytes) {
    return bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1A\n", 8);
}

bool IsJpegData(std::string_view bytes) {
    return bytes.size() >= 3 && bytes.substr(0, 3) == "\xFF\xD8\xFF";
}

namespace {

// A JPEG picture; tooManyScans tells when it was refused for its scans.
TPicture DecodeJpeg(std::string_view bytes, bool& tooManyScans) {
    if (!IsJpegData(bytes))
        return {};
    return TPicture::Adopt(DecodeJpegSurface(reinterpret_cast<const unsigned char*>(bytes.data()),
                                             static_cast<unsigned long>(bytes.size()), tooManyScans));
}

} // namespace

TPicture DecodeJpegPicture(std::string_view bytes) {
    bool tooManyScans = false;
    return DecodeJpeg(bytes, tooManyScans);
}

TPicture DecodePicture(std::string_view bytes) {
    if (IsPngData(bytes))
        return DecodePngPicture(bytes);
    if (IsJpegData(bytes))
        return DecodeJpegPicture(bytes);
    return {};
}

TPicture DecodeNamedPicture(std::string_view bytes, const std::string& name) {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (ReadPictureSize(bytes, width, height))
        if (const std::string refusal = PictureSizeRefusal(width, height); !refusal.empty())
            throw ECVException(Format("The picture %s is too large: %s", name.c_str(), refusal.c_str()));
    bool tooManyScans = false;
    TPicture picture = IsJpegData(bytes) ? DecodeJpeg(bytes, tooManyScans) : DecodePicture(bytes);
    if (tooManyScans)
        throw ECVException(Format("The picture %s has more than %d scans", name.c_str(), kMaxJpegScans));
    if (!picture)
        throw ECVException(Format("Unsupported picture format: %s", name.c_str()));
    return picture;
}

TPicture LoadPictureFile(const std::string& path) {
    return DecodeNamedPicture(ReadFileBytes(path, kMaxPictureFileBytes), ExtractFileName(path));
}

std::string EncodePngPicture(const TPicture& picture) {
    std::string bytes;
    if (!picture ||
        cairo_surface_write_to_png_stream(picture.Surface(), &WritePngBytes, &bytes) != CAIRO_STATUS_SUCCESS)
        return {};
    return bytes;
}

TPicture NewPicture(int width, int height, cairo_format_t format) {
    if (width <= 0 || height <= 0 ||
        !PictureSizeRefusal(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height)).empty())
        return {};
    TPicture picture = TPicture::Adopt(cairo_image_surface_create(format, width, height));
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

std::string ResourceBytes(const std::string& name) {
    GError* error = nullptr;
    GBytes* bytes = g_resources_lookup_data((kResourcePrefix + name).c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, &error);
    if (!bytes) {
        g_clear_error(&error);
        throw EResourceNotFound(Format("Resource %s not found", name.c_str()));
    }
    const std::unique_ptr<GBytes, decltype(&g_bytes_unref)> holder(bytes, &g_bytes_unref);
    gsize size = 0;
    const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
    return std::string(data, size);
}

TPicture TPngResourceSurfaceCache::Load(const std::string& name) {
    return DecodePngPicture(ResourceBytes(name));
}

TPngResourceSurfaceCache& ResourcePictures() {
    static TPngResourceSurfaceCache cache;
    return cache;
}

TPicture ResourcePicture(const std::string& name) {
    return ResourcePictures().GetSurface(name);
}

int ScreenPixelsPerInch() {
    return GScreenPixelsPerInch;
}

void SetScreenPixelsPerInch(int pixelsPerInch) {
    GScreenPixelsPerInch = std::clamp(pixelsPerInch, 24, 960);
}

// ---------------------------------------------------------------------------------------------------------------

TPicture ScaledPicture(const TPicture& picture, int width, int height) {
    TPicture result = NewPicture(width, height);
    if (!result || !picture)
        return result;
    cairo_t* cr = cairo_create(result.Surface());
    const double k = static_cast<double>(width) / std::max(1, picture.Width());
    cairo_scale(cr, k, k);
    cairo_set_source_surface(cr, picture.Surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BEST);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(result.Surface());
    return result;
}

int TImageList::Add(const TPicture& picture) {
    const bool fits = picture && picture.Width() == FWidth && picture.Height() == FHeight &&
                      cairo_image_surface_get_format(picture.Surface()) == CAIRO_FORMAT_ARGB32;
    FPictures.push_back(fits ? picture : ScaledPicture(picture, FWidth, FHeight));
    return Count() - 1;
}
