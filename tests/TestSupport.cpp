#include "TestSupport.h"

#include <cairo.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <zip.h>

// One-time allocations of the font and text libraries live as long as the process; LeakSanitizer reads these
// suppressions when the sanitizers are built in.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\nleak:libpango\nleak:libpangoft2\nleak:libharfbuzz\nleak:libglib\n"
           "leak:libgobject\nleak:libgio\nleak:libcairo\nleak:libpixman\nleak:libfreetype\n";
}

std::string MakeZip(const std::vector<std::pair<std::string, std::string>>& entries) {
    TTempDir dir;
    const std::string path = (dir.Path() / "archive.zip").string();
    int code = 0;
    zip* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive)
        throw std::runtime_error("cannot create a test archive");
    for (const auto& [name, content] : entries) {
        // libzip reads the buffers when the archive is closed, so they must stay alive until then
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        if (!source || zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE) < 0)
            throw std::runtime_error("cannot add to a test archive");
    }
    if (zip_close(archive) != 0)
        throw std::runtime_error("cannot write a test archive");
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string MakePng(int width, int height) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0.2, 0.4, 0.6);
    cairo_paint(cr);
    cairo_destroy(cr);
    std::string bytes;
    cairo_surface_write_to_png_stream(
        surface,
        [](void* closure, const unsigned char* data, unsigned int length) {
            static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    cairo_surface_destroy(surface);
    return bytes;
}

std::string NativeDocument(const std::string& topics, const std::string& meta, const std::string& rootAttributes) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!DOCTYPE corvella-mindmaps>\r\n<corvella-mindmaps " +
           rootAttributes + "><mindmap><meta>" + meta + "</meta><topics>" + topics +
           "</topics></mindmap></corvella-mindmaps>\r\n";
}

TTempDir::TTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "cvtest-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    FPath = pattern;
}

TTempDir::~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
}

std::string TTempDir::Write(const std::string& name, const std::string& bytes) const {
    const std::string path = (FPath / name).string();
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

TGermanLocale::TGermanLocale() {
    FPrevious = std::setlocale(LC_ALL, nullptr);
    FActive = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

TGermanLocale::~TGermanLocale() {
    std::setlocale(LC_ALL, FPrevious.c_str());
}

TRandomTexts::TRandomTexts(std::vector<std::string> pieces, std::vector<std::string> seeds, unsigned seed)
    : FPieces(std::move(pieces)), FSeeds(std::move(seeds)), FRandom(seed) {}

std::size_t TRandomTexts::Pick(std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(FRandom);
}

std::string TRandomTexts::Next() {
    FMutateNext = !FMutateNext;
    std::string text;
    if (FMutateNext) {
        for (std::size_t n = Pick(40); n > 0; --n)
            text += FPieces[Pick(FPieces.size())];
        return text;
    }
    text = FSeeds[Pick(FSeeds.size())];
    for (std::size_t n = 1 + Pick(4); n > 0; --n) {
        const std::size_t at = Pick(text.size() + 1);
        switch (Pick(4)) {
        case 0:
            text.insert(at, FPieces[Pick(FPieces.size())]);
            break;
        case 1:
            if (at < text.size())
                text.erase(at, 1);
            break;
        case 2:
            if (at < text.size())
                text[at] = static_cast<char>(Pick(256));
            break;
        default:
            text.resize(at);
            break;
        }
    }
    return text;
}

std::string ColorText(TColor color) {
    if (color == clNone)
        return "none";
    if (color == clDefault)
        return "default";
    char text[16];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", RedOf(color), GreenOf(color), BlueOf(color));
    return text;
}

TTestCanvas::TTestCanvas(cairo_format_t format, int width, int height)
    : FSurface(cairo_image_surface_create(format, width, height)), FContext(cairo_create(FSurface)) {
    cairo_set_tolerance(FContext, 0.01);
}

TTestCanvas::~TTestCanvas() {
    cairo_destroy(FContext);
    cairo_surface_destroy(FSurface);
}

std::uint32_t TTestCanvas::Pixel(int x, int y) const {
    cairo_surface_flush(FSurface);
    const unsigned char* row = cairo_image_surface_get_data(FSurface) + y * cairo_image_surface_get_stride(FSurface);
    std::uint32_t pixel;
    std::memcpy(&pixel, row + 4 * x, sizeof pixel);
    return pixel;
}

TMindMapNode* TTestMap::Add(TMindMapNode* parent, int paletteIndex) {
    TMindMapNode* topic = Map.NewTopic({0, 0}, false);
    if (parent)
        topic->SetParent(parent);
    topic->SetPaletteIndex(paletteIndex);
    Map.RebuildCentralThemes();
    return topic;
}

void ExpectMatchesGolden(cairo_surface_t* picture, const std::string& name, double maxDifferentShare) {
    const std::string golden = std::string(CV_TEST_DATA) + "/golden/" + name + ".png";
    cairo_surface_flush(picture);
    if (const char* update = std::getenv("CV_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        std::filesystem::create_directories(std::filesystem::path(golden).parent_path());
        ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_write_to_png(picture, golden.c_str()));
        return;
    }
    cairo_surface_t* expected = cairo_image_surface_create_from_png(golden.c_str());
    const std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> guard(expected, &cairo_surface_destroy);
    ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(expected)) << golden << " is missing";
    const std::string actualPath = name + ".actual.png";
    const int width = cairo_image_surface_get_width(picture);
    const int height = cairo_image_surface_get_height(picture);
    if (width != cairo_image_surface_get_width(expected) || height != cairo_image_surface_get_height(expected)) {
        cairo_surface_write_to_png(picture, actualPath.c_str());
        FAIL() << name << ": " << width << " x " << height << " pixels, the golden has "
               << cairo_image_surface_get_width(expected) << " x " << cairo_image_surface_get_height(expected);
    }
    // both as opaque 24-bit colour
    const auto pixel = [](cairo_surface_t* surface, int x, int y) {
        const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
        std::uint32_t value;
        std::memcpy(&value, row + x * 4, 4);
        return value;
    };
    long different = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t a = pixel(picture, x, y);
            const std::uint32_t b = pixel(expected, x, y);
            for (int shift = 0; shift < 24; shift += 8)
                if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 48) {
                    ++different;
                    break;
                }
        }
    const double share = static_cast<double>(different) / (static_cast<double>(width) * height);
    if (share > maxDifferentShare) {
        cairo_surface_write_to_png(picture, actualPath.c_str());
        ADD_FAILURE() << name << ": " << different << " pixels differ (" << share * 100 << " %); see "
                      << std::filesystem::absolute(actualPath);
    }
}
