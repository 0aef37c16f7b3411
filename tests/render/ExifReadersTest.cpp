#include "render/ExifReaders.h"

#include "platform/CVStrings.h"
#include "render/DiagramPngs.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <jpeglib.h>
#include <memory>

namespace {

std::string U16(unsigned value, bool bigEndian) {
    const char hi = static_cast<char>(value >> 8), lo = static_cast<char>(value & 0xFF);
    return bigEndian ? std::string{hi, lo} : std::string{lo, hi};
}

std::string U32(std::uint32_t value, bool bigEndian) {
    return bigEndian ? U16(value >> 16, true) + U16(value & 0xFFFF, true)
                     : U16(value & 0xFFFF, false) + U16(value >> 16, false);
}

std::string Segment(unsigned char marker, const std::string& body) {
    return std::string{'\xFF', static_cast<char>(marker)} + U16(static_cast<unsigned>(body.size() + 2), true) + body;
}

struct TEntry {
    unsigned Tag;
    unsigned Type;
    std::uint32_t Value;
};

// An EXIF block: the TIFF header and one directory whose entry count is given (it may lie).
std::string ExifBody(const std::vector<TEntry>& entries, bool bigEndian = true, int count = -1,
                     std::uint32_t directoryOffset = 8) {
    std::string tiff = (bigEndian ? "MM" : "II") + U16(42, bigEndian) + U32(directoryOffset, bigEndian);
    tiff += U16(count < 0 ? static_cast<unsigned>(entries.size()) : static_cast<unsigned>(count), bigEndian);
    for (const TEntry& e : entries) {
        tiff += U16(e.Tag, bigEndian) + U16(e.Type, bigEndian) + U32(1, bigEndian);
        tiff += e.Type == 3 ? U16(e.Value, bigEndian) + std::string(2, '\0') : U32(e.Value, bigEndian);
    }
    tiff += U32(0, bigEndian);
    return std::string("Exif\0\0", 6) + tiff;
}

std::string OrientationBody(unsigned orientation, bool bigEndian = true) {
    return ExifBody({{0x010F, 2, 0}, {0x0112, 3, orientation}, {0x011A, 5, 0}}, bigEndian);
}

// The picture bytes with the segments put right after the start-of-image marker.
std::string WithSegments(const std::string& jpeg, const std::string& segments) {
    return jpeg.substr(0, 2) + segments + jpeg.substr(2);
}

const std::string& SmallJpeg() {
    static const std::string jpeg = EncodeJpeg(16, 16, [](int, int) { return 0x808080u; });
    return jpeg;
}

// A copy on the heap of exactly the size, so that any read past the end is caught.
int OrientationOfExactCopy(const std::string& bytes) {
    std::unique_ptr<char[]> copy(new char[bytes.size() + (bytes.empty() ? 1 : 0)]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    return TExifReader::ExifOrientationOf(std::string_view(copy.get(), bytes.size()));
}

std::uint32_t RgbAt(const TPicture& picture, int x, int y) {
    cairo_surface_flush(picture.Surface());
    const unsigned char* data = cairo_image_surface_get_data(picture.Surface());
    return reinterpret_cast<const std::uint32_t*>(data + y * cairo_image_surface_get_stride(picture.Surface()))[x] &
           0xFFFFFF;
}

bool Near(std::uint32_t colour, std::uint32_t expected) {
    for (int shift : {0, 8, 16})
        if (std::abs(static_cast<int>((colour >> shift) & 0xFF) - static_cast<int>((expected >> shift) & 0xFF)) > 40)
            return false;
    return true;
}

} // namespace

TEST(TExifReader, EachOrientationIsReadAndTurnedUpright) {
    // 64 x 32 pixels: a red block at the top left corner, a green one at the top right, the rest white
    const std::string jpeg = EncodeJpeg(64, 32, [](int x, int y) -> std::uint32_t {
        if (y < 16 && x < 16)
            return 0xFF0000;
        if (y < 16 && x >= 48)
            return 0x00FF00;
        return 0xFFFFFF;
    });
    enum TCorner { TL, TR, BL, BR };
    const struct {
        unsigned Exif;
        TPictureOrientation Orientation;
        int Width;
        TCorner Red;
        TCorner Green;
    } cases[] = {
        {1, poUpright, 64, TL, TR},   {2, poUpright, 64, TR, TL},
        {3, poTurned180, 64, BR, BL}, {4, poUpright, 64, BL, BR},
        {5, poUpright, 32, TL, BL},   {6, poTurned90Clockwise, 32, TR, BR},
        {7, poUpright, 32, BR, TR},   {8, poTurned90CounterClockwise, 32, BL, TL},
    };
    TTempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Exif);
        for (bool bigEndian : {true, false}) {
            const std::string path =
                dir.Write("p.jpg", WithSegments(jpeg, Segment(0xE1, OrientationBody(c.Exif, bigEndian))));
            EXPECT_EQ(TExifReader::ReadExifOrientation(path), static_cast<int>(c.Exif));
            EXPECT_EQ(TExifReader::ReadOrientation(path), c.Orientation);
            const TPicture upright = LoadOrientedPicture(path, 0);
            ASSERT_EQ(upright.Width(), c.Width);
            ASSERT_EQ(upright.Height(), 96 - c.Width);
            const auto at = [&](TCorner corner) {
                const int x = corner == TL || corner == BL ? 8 : upright.Width() - 8;
                const int y = corner == TL || corner == TR ? 8 : upright.Height() - 8;
                return RgbAt(upright, x, y);
            };
            EXPECT_TRUE(Near(at(c.Red), 0xFF0000)) << std::hex << at(c.Red);
            EXPECT_TRUE(Near(at(c.Green), 0x00FF00)) << std::hex << at(c.Green);
        }
    }
}

TEST(TExifReader, SegmentsBeforeTheExifBlockAreSkippedByTheirLength) {
    const std::string jfif = Segment(0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
    std::string thumbnail = std::string("JFIF\0\x01\x01\0\0\x01\0\x01\x10\x10", 14) + std::string(16 * 16 * 3, '\x7F');
    const struct {
        const char* Name;
        std::string Segments;
        int Expected;
    } cases[] = {
        {"standard JFIF segment", jfif + Segment(0xE1, OrientationBody(6)), 6},
        {"JFIF segment with a thumbnail", Segment(0xE0, thumbnail) + Segment(0xE1, OrientationBody(8)), 8},
        {"other application segments",
         Segment(0xE2, "ICC_PROFILE") + Segment(0xED, "x") + Segment(0xE1, OrientationBody(3)), 3},
        {"fill bytes between segments", "\xFF" + Segment(0xE1, OrientationBody(6)), 6},
        {"an APP1 block that is no EXIF",
         Segment(0xE1, "http://ns.adobe.com/xap/1.0/") + Segment(0xE1, OrientationBody(6)), 6},
        {"no EXIF block", jfif, 0},
        {"orientation tag missing", Segment(0xE1, ExifBody({{0x010F, 2, 0}})), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(OrientationOfExactCopy(WithSegments(SmallJpeg(), c.Segments)), c.Expected);
    }
}

TEST(TExifReader, TheDirectoryIsFoundByItsOffsetAndReadToItsCount) {
    std::vector<TEntry> thirteen(12, TEntry{0x0100, 3, 1});
    thirteen.push_back({0x0112, 3, 6});
    // the directory after 6 unused bytes
    std::string shifted = ExifBody({{0x0112, 3, 8}}, true, -1, 14);
    shifted.insert(6 + 8, std::string(6, '\0'));
    const struct {
        const char* Name;
        std::string Body;
        int Expected;
    } cases[] = {
        {"13th entry", ExifBody(thirteen), 6},
        {"entry past the stated count", ExifBody(thirteen, true, 12), 0},
        {"directory elsewhere", shifted, 8},
        {"orientation as a long number", ExifBody({{0x0112, 4, 3}}), 3},
        {"orientation out of range", ExifBody({{0x0112, 3, 9}}), 0},
        {"orientation of a text type", ExifBody({{0x0112, 2, 6}}), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(OrientationOfExactCopy(WithSegments(SmallJpeg(), Segment(0xE1, c.Body))), c.Expected);
    }
}

TEST(TExifReader, CutOrLyingBlocksYieldNoOrientation) {
    const std::string body = OrientationBody(6);
    std::string wrongByteOrder = body;
    wrongByteOrder[6] = 'X';
    std::string not42 = body;
    not42[9] = 43;
    const struct {
        const char* Name;
        std::string Bytes;
    } cases[] = {
        {"empty", ""},
        {"no JPEG", "GIF89a........"},
        {"only the start marker", "\xFF\xD8"},
        {"segment length past the end", std::string("\xFF\xD8\xFF\xE1\xEA\x60", 6) + body.substr(0, 20)},
        {"segment length below 2", std::string("\xFF\xD8\xFF\xE1\x00\x01", 6) + body},
        {"no marker", std::string("\xFF\xD8\x12\x34", 4) + Segment(0xE1, body)},
        {"directory offset past the end",
         WithSegments(SmallJpeg(), Segment(0xE1, ExifBody({{0x0112, 3, 6}}, true, -1, 0xFFFFFF00u)))},
        {"directory offset inside the header",
         WithSegments(SmallJpeg(), Segment(0xE1, ExifBody({{0x0112, 3, 6}}, true, -1, 2)))},
        {"count past the end", WithSegments(SmallJpeg(), Segment(0xE1, ExifBody({{0x0100, 3, 1}}, true, 60000)))},
        {"unknown byte order", WithSegments(SmallJpeg(), Segment(0xE1, wrongByteOrder))},
        {"not a TIFF header", WithSegments(SmallJpeg(), Segment(0xE1, not42))},
        {"scan before any EXIF block", WithSegments(SmallJpeg(), Segment(0xDA, "") + Segment(0xE1, body))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(OrientationOfExactCopy(c.Bytes), 0);
    }
    // every cut of a good file, and every byte of its header replaced, reads safely
    const std::string good = WithSegments(SmallJpeg(), Segment(0xE1, body));
    const std::size_t entryEnd = 2 + 4 + 6 + 8 + 2 + 2 * 12; // the orientation is the second entry
    for (std::size_t length = 0; length <= 80; ++length) {
        SCOPED_TRACE(length);
        EXPECT_EQ(OrientationOfExactCopy(good.substr(0, length)), length >= entryEnd ? 6 : 0);
    }
    for (std::size_t i = 0; i < 80; ++i)
        for (char replacement : {'\0', '\xFF', '\x80'}) {
            std::string damaged = good;
            damaged[i] = replacement;
            const int orientation = OrientationOfExactCopy(damaged);
            EXPECT_TRUE(orientation >= 0 && orientation <= 8);
        }
}

TEST(TExifReader, MissingFilesAndOtherPicturesAreUpright) {
    TTempDir dir;
    EXPECT_EQ(TExifReader::ReadOrientation((dir.Path() / "none.jpg").string()), poUpright);
    const std::string png = dir.Write("p.png", MakePng(3, 2));
    EXPECT_EQ(TExifReader::ReadOrientation(png), poUpright);
    const TPicture picture = LoadOrientedPicture(png, 1);
    EXPECT_EQ(picture.Width(), 3); // not scaled: only turned pictures are
    EXPECT_THROW(LoadOrientedPicture((dir.Path() / "none.jpg").string(), 100), ECVException);
    EXPECT_THROW(LoadOrientedPicture(dir.Write("bad.jpg", "\xFF\xD8\xFF\xE0 broken"), 100), ECVException);
}

TEST(TExifReader, TurnedPicturesAreScaledToTheLargestSide) {
    // at a tenth of the size of a 4000 x 3000 photo shown on a 1920 pixel wide screen: s = 0.48
    const std::string jpeg = EncodeJpeg(
        400, 300, [](int x, int y) { return x < 200 && y < 150 ? 0x0000FFu : 0xFFFFFFu; }, 80);
    TTempDir dir;
    const std::string turned = dir.Write("t.jpg", WithSegments(jpeg, Segment(0xE1, OrientationBody(3))));
    const TPicture picture = LoadOrientedPicture(turned, 192);
    EXPECT_EQ(picture.Width(), 192);
    EXPECT_EQ(picture.Height(), 144);
    EXPECT_TRUE(Near(RgbAt(picture, 180, 130), 0x0000FF)); // the blue quarter is now at the bottom right
    EXPECT_TRUE(Near(RgbAt(picture, 10, 10), 0xFFFFFF));
    const std::string quarter = dir.Write("q.jpg", WithSegments(jpeg, Segment(0xE1, OrientationBody(6))));
    const TPicture sideways = LoadOrientedPicture(quarter, 200);
    EXPECT_EQ(sideways.Width(), 150);
    EXPECT_EQ(sideways.Height(), 200);
    const std::string upright = dir.Write("u.jpg", jpeg);
    EXPECT_EQ(LoadOrientedPicture(upright, 192).Width(), 400); // upright pictures come back as they are
}

TEST(TDiagramPngs, JpegPicturesAreDecodedSafely) {
    const std::string jpeg = EncodeJpeg(24, 8, [](int x, int) { return x < 12 ? 0xFF0000u : 0x0000FFu; });
    const TPicture picture = DecodeJpegPicture(jpeg);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture.Width(), 24);
    EXPECT_EQ(cairo_image_surface_get_format(picture.Surface()), CAIRO_FORMAT_RGB24);
    EXPECT_TRUE(Near(RgbAt(picture, 2, 4), 0xFF0000));
    EXPECT_TRUE(Near(RgbAt(picture, 22, 4), 0x0000FF));
    EXPECT_EQ(DecodePicture(jpeg).Height(), 8);
    // cut pictures give what could be decoded; damaged headers and foreign bytes give nothing
    for (std::size_t length : {std::size_t{0}, std::size_t{3}, std::size_t{20}, jpeg.size() / 2, jpeg.size() - 2}) {
        SCOPED_TRACE(length);
        std::unique_ptr<char[]> copy(new char[length + 1]);
        std::copy(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(length), copy.get());
        const TPicture cut = DecodeJpegPicture(std::string_view(copy.get(), length));
        if (cut) {
            EXPECT_EQ(cut.Width(), 24);
        }
    }
    EXPECT_FALSE(DecodeJpegPicture("\xFF\xD8\xFF\xE0\x00\x10JFIF"));
    EXPECT_FALSE(DecodeJpegPicture(MakePng(2, 2)));
    // a frame header that claims a huge picture is refused before anything is allocated
    std::string huge = jpeg;
    const std::size_t frame = huge.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    huge[frame + 5] = '\x7F'; // height 0x7Fxx
    huge[frame + 7] = '\x7F'; // width 0x7Fxx
    EXPECT_FALSE(DecodeJpegPicture(huge));
}
