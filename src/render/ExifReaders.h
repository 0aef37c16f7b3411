#pragma once

// The EXIF orientation of JPEG files, and pictures turned upright for the image preview.

#include "render/CairoHandles.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// How a picture is turned on the camera's sensor, as the preview handles it.
enum TPictureOrientation : std::uint8_t {
    poUpright,
    poTurned180,
    poTurned90Clockwise,
    poTurned90CounterClockwise,
};

// Reads the orientation tag of a JPEG file's EXIF block. Every read is checked against the bytes at hand:
// a block that is cut short or whose offsets and counts point past its end yields no orientation.
class TExifReader {
public:
    // Only the start of a file is read: the EXIF block is the first or second segment and at most 64 KiB long.
    static constexpr std::size_t kBufferSize = 2 * 65536 + 64;

    // The orientation of the file's picture: upright when the file is missing, no JPEG or has no usable tag.
    // Mirrored pictures answer upright; ReadExifOrientation tells them apart.
    static TPictureOrientation ReadOrientation(const std::string& fileName);
    // The orientation tag's value, 1 to 8; 0 when there is none or it cannot be read.
    static int ReadExifOrientation(const std::string& fileName);
    static int ExifOrientationOf(std::string_view bytes);
    static TPictureOrientation OrientationOf(int exifOrientation);

private:
    explicit TExifReader(std::string_view bytes) : FBuffer(bytes) {}
    int Read();

    std::string_view FBuffer;
};

// The picture of the file for the preview. A JPEG picture whose EXIF block says it is turned or mirrored is
// scaled to fit maxSide (when that is above 0) and turned upright; any other picture comes back as loaded.
// Raises ECVException when the file cannot be loaded.
TPicture LoadOrientedPicture(const std::string& fileName, int maxSide);
// The picture as it should be seen, for an EXIF orientation value, drawn at (width, height) before turning.
TPicture OrientPicture(const TPicture& picture, int exifOrientation, int width, int height);
