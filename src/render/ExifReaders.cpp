#include "render/ExifReaders.h"

#include "platform/CVStrings.h"
#include "platform/Files.h"
#include "platform/ResourceLimits.h"
#include "render/DiagramPngs.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <optional>

namespace {

// Reads numbers of one byte order from a bounded piece of bytes; every read outside it answers nothing.
class TBoundedBytes {
public:
    TBoundedBytes(std::string_view bytes, bool bigEndian) : FBytes(bytes), FBigEndian(bigEndian) {}

    std::size_t Size() const { return FBytes.size(); }
    std::optional<std::uint32_t> Number(std::size_t at, std::size_t width) const {
        if (at > FBytes.size() || FBytes.size() - at < width)
            return std::nullopt;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < width; ++i) {
            const auto byte = static_cast<unsigned char>(FBytes[FBigEndian ? at + i : at + width - 1 - i]);
            value = (value << 8) | byte;
        }
        return value;
    }
    std::optional<std::uint32_t> U16(std::size_t at) const { return Number(at, 2); }
    std::optional<std::uint32_t> U32(std::size_t at) const { return Number(at, 4); }

private:
    std::string_view FBytes;
    bool FBigEndian;
};

constexpr std::uint32_t kOrientationTag = 0x0112;
constexpr std::uint32_t kTypeShort = 3;
constexpr std::uint32_t kTypeLong = 4;

// The orientation in a TIFF structure (the body of an EXIF block after "Exif\0\0"): the first directory is
// found through its offset, its entries through its count, both checked against the block.
int OrientationInTiff(std::string_view tiff) {
    if (tiff.size() < 8 || (tiff.substr(0, 2) != "II" && tiff.substr(0, 2) != "MM"))
        return 0;
    const TBoundedBytes bytes(tiff, tiff[0] == 'M');
    if (bytes.U16(2) != 42u)
        return 0;
    const std::optional<std::uint32_t> directory = bytes.U32(4);
    const std::optional<std::uint32_t> count = directory ? bytes.U16(*directory) : std::nullopt;
    if (!count || *directory < 8)
        return 0;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const std::size_t entry = std::size_t{*directory} + 2 + 12 * std::size_t{i};
        const std::optional<std::uint32_t> tag = bytes.U16(entry);
        if (!tag || entry + 12 > bytes.Size())
            return 0;
        if (*tag != kOrientationTag)
            continue;
        const std::uint32_t type = *bytes.U16(entry + 2);
        const std::uint32_t values = *bytes.U32(entry + 4);
        if (values < 1 || (type != kTypeShort && type != kTypeLong))
            return 0;
        const std::uint32_t value = type == kTypeShort ? *bytes.U16(entry + 8) : *bytes.U32(entry + 8);
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 0;
    }
    return 0;
}

} // namespace

int TExifReader::Read() {
    // Segments are walked by their lengths up to the first scan: JFIF segments with thumbnails and other
    // application segments may come before the EXIF block.
    const TBoundedBytes bytes(FBuffer, true);
    if (bytes.U16(0) != 0xFFD8u)
        return 0;
    std::size_t position = 2;
    while (true) {
        const std::optional<std::uint32_t> marker = bytes.U16(position);
        if (!marker || (*marker >> 8) != 0xFF)
            return 0;
        if (*marker == 0xFFFF) { // fill byte
            ++position;
            continue;
        }
        if (*marker == 0xFFD9 || *marker == 0xFFDA)
            return 0;
        if (*marker == 0xFF01 || (*marker >= 0xFFD0 && *marker <= 0xFFD7)) { // markers without a segment
            position += 2;
            continue;
        }
        const std::optional<std::uint32_t> length = bytes.U16(position + 2);
        if (!length || *length < 2)
            return 0;
        const std::size_t body = position + 4;
        const std::size_t end = position + 2 + *length;
        if (*marker == 0xFFE1 && *length >= 8 && FBuffer.substr(body, 6) == std::string_view("Exif\0\0", 6)) {
            const std::size_t tiff = body + 6;
            return OrientationInTiff(FBuffer.substr(tiff, std::min(end, FBuffer.size()) - tiff));
        }
        position = end;
    }
}

int TExifReader::ExifOrientationOf(std::string_view bytes) {
    return TExifReader(bytes.substr(0, kBufferSize)).Read();
}

TPictureOrientation TExifReader::OrientationOf(int exifOrientation) {
    switch (exifOrientation) {
    case 3:
        return poTurned180;
    case 6:
        return poTurned90Clockwise;
    case 8:
        return poTurned90CounterClockwise;
    default:
        return poUpright;
    }
}

int TExifReader::ReadExifOrientation(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file)
        return 0;
    std::string buffer(kBufferSize, '\0');
    file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    buffer.resize(static_cast<std::size_t>(file.gcount()));
    return ExifOrientationOf(buffer);
}

TPictureOrientation TExifReader::ReadOrientation(const std::string& fileName) {
    return OrientationOf(ReadExifOrientation(fileName));
}

TPicture OrientPicture(const TPicture& picture, int exifOrientation, int width, int height) {
    const bool swapped = exifOrientation >= 5 && exifOrientation <= 8;
    TPicture result =
        NewPicture(swapped ? height : width, swapped ? width : height,
                   cairo_image_surface_get_format(picture.Surface()) == CAIRO_FORMAT_RGB24 ? CAIRO_FORMAT_RGB24
                                                                                           : CAIRO_FORMAT_ARGB32);
    if (!result)
        return {};
    const double w = width;
    const double h = height;
    // Each matrix maps the drawn picture (width x height) onto the upright one.
    cairo_matrix_t turn;
    switch (exifOrientation) {
    case 2: // mirrored left to right
        cairo_matrix_init(&turn, -1, 0, 0, 1, w, 0);
        break;
    case 3: // turned by 180 degrees
        cairo_matrix_init(&turn, -1, 0, 0, -1, w, h);
        break;
    case 4: // mirrored top to bottom
        cairo_matrix_init(&turn, 1, 0, 0, -1, 0, h);
        break;
    case 5: // mirrored about the main diagonal
        cairo_matrix_init(&turn, 0, 1, 1, 0, 0, 0);
        break;
    case 6: // turned 90 degrees clockwise
        cairo_matrix_init(&turn, 0, 1, -1, 0, h, 0);
        break;
    case 7: // mirrored about the other diagonal
        cairo_matrix_init(&turn, 0, -1, -1, 0, h, w);
        break;
    case 8: // turned 90 degrees counter-clockwise
        cairo_matrix_init(&turn, 0, -1, 1, 0, 0, w);
        break;
    default:
        cairo_matrix_init_identity(&turn);
        break;
    }
    cairo_t* cr = cairo_create(result.Surface());
    cairo_transform(cr, &turn);
    cairo_scale(cr, w / std::max(1, picture.Width()), h / std::max(1, picture.Height()));
    cairo_set_source_surface(cr, picture.Surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BEST);
    // the edges take their own pixels, not a fade to transparency
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint(cr);
    const bool painted = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_flush(result.Surface());
    return painted ? result : TPicture();
}

TPicture LoadOrientedPicture(const std::string& fileName, int maxSide) {
    const std::string bytes = ReadFileBytes(fileName, kMaxPictureFileBytes);
    TPicture picture = DecodeNamedPicture(bytes, ExtractFileName(fileName));
    const int orientation = IsJpegData(bytes) ? TExifReader::ExifOrientationOf(bytes) : 0;
    if (orientation <= 1)
        return picture;
    const double w = std::max(picture.Width(), 1);
    const double h = std::max(picture.Height(), 1);
    double s = 1;
    if (maxSide > 0)
        s = std::min(std::min(maxSide, picture.Width()) / w, std::min(maxSide, picture.Height()) / h);
    const int width = std::max(1, static_cast<int>(std::nearbyint(w * s)));
    const int height = std::max(1, static_cast<int>(std::nearbyint(h * s)));
    TPicture upright = OrientPicture(picture, orientation, width, height);
    if (!upright)
        throw ECVException(Format("Cannot turn the picture %s upright", ExtractFileName(fileName).c_str()));
    return upright;
}
