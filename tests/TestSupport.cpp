#include "TestSupport.h"

#include <algorithm>
#include <atomic>
#include <cairo.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <jpeglib.h>
#include <memory>
#include <stdexcept>
#include <zip.h>
#include <zlib.h>

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer's allocator calls these hooks on every allocation and release.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*, std::size_t),
                                                         void (*freeHook)(const volatile void*));
extern "C" std::size_t __sanitizer_get_allocated_size(const volatile void* pointer);
#endif

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

namespace {

void PutLittleEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PatchLittleEndian(std::string& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t LittleEndianAt(const std::string& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
    return value;
}

struct TDeflatedEntry {
    std::string Data;
    std::uint32_t Crc = 0;
    std::uint64_t Size = 0;
};

TDeflatedEntry DeflatePieces(const std::vector<TZipPiece>& pieces) {
    TDeflatedEntry entry;
    entry.Crc = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("cannot deflate a test archive");
    std::vector<unsigned char> out(1 << 16);
    const auto feed = [&](const std::string& block, int flush) {
        entry.Crc = static_cast<std::uint32_t>(
            crc32(entry.Crc, reinterpret_cast<const Bytef*>(block.data()), static_cast<uInt>(block.size())));
        entry.Size += block.size();
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(block.data()));
        stream.avail_in = static_cast<uInt>(block.size());
        do {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            deflate(&stream, flush);
            entry.Data.append(reinterpret_cast<const char*>(out.data()), out.size() - stream.avail_out);
        } while (stream.avail_out == 0);
    };
    for (const TZipPiece& piece : pieces) {
        if (piece.Text.empty())
            continue;
        // the piece repeated into blocks of about 64 KiB, then what is left over
        const std::uint64_t perBlock = std::max<std::uint64_t>(1, 65536 / piece.Text.size());
        std::string block;
        for (std::uint64_t i = 0; i < perBlock; ++i)
            block += piece.Text;
        for (std::uint64_t i = 0; i < piece.Count / perBlock; ++i)
            feed(block, Z_NO_FLUSH);
        block.clear();
        for (std::uint64_t i = 0; i < piece.Count % perBlock; ++i)
            block += piece.Text;
        feed(block, Z_NO_FLUSH);
    }
    feed({}, Z_FINISH);
    deflateEnd(&stream);
    if (entry.Size >= 0xFFFFFFFFu || entry.Data.size() >= 0xFFFFFFFFu)
        throw std::runtime_error("a test archive entry must stay below 4 GiB");
    return entry;
}

} // namespace

std::string MakeStreamedZip(const std::vector<TZipStreamEntry>& entries) {
    std::string zip;
    std::string directory;
    const std::vector<TZipPiece>* previousPieces = nullptr;
    TDeflatedEntry entry;
    for (const TZipStreamEntry& item : entries) {
        // entries of the same content are deflated once
        const auto same = [&](const std::vector<TZipPiece>& pieces) {
            return previousPieces && pieces.size() == previousPieces->size() &&
                   std::equal(
                       pieces.begin(), pieces.end(), previousPieces->begin(),
                       [](const TZipPiece& a, const TZipPiece& b) { return a.Text == b.Text && a.Count == b.Count; });
        };
        if (!same(item.Pieces))
            entry = DeflatePieces(item.Pieces);
        previousPieces = &item.Pieces;
        const std::size_t offset = zip.size();
        // local header: version 2.0, no flags, deflated, 1 January 1980
        zip += "PK\x03\x04";
        PutLittleEndian(zip, 20, 2);
        PutLittleEndian(zip, 0, 2);
        PutLittleEndian(zip, 8, 2);
        PutLittleEndian(zip, 0, 2);
        PutLittleEndian(zip, 0x21, 2);
        PutLittleEndian(zip, entry.Crc, 4);
        PutLittleEndian(zip, entry.Data.size(), 4);
        PutLittleEndian(zip, entry.Size, 4);
        PutLittleEndian(zip, item.Name.size(), 2);
        PutLittleEndian(zip, 0, 2);
        zip += item.Name;
        zip += entry.Data;
        directory += "PK\x01\x02";
        PutLittleEndian(directory, 20, 2);
        PutLittleEndian(directory, 20, 2);
        PutLittleEndian(directory, 0, 2);
        PutLittleEndian(directory, 8, 2);
        PutLittleEndian(directory, 0, 2);
        PutLittleEndian(directory, 0x21, 2);
        PutLittleEndian(directory, entry.Crc, 4);
        PutLittleEndian(directory, entry.Data.size(), 4);
        PutLittleEndian(directory, entry.Size, 4);
        PutLittleEndian(directory, item.Name.size(), 2);
        PutLittleEndian(directory, 0, 2); // extra field
        PutLittleEndian(directory, 0, 2); // comment
        PutLittleEndian(directory, 0, 2); // disk
        PutLittleEndian(directory, 0, 2); // internal attributes
        PutLittleEndian(directory, 0, 4); // external attributes
        PutLittleEndian(directory, offset, 4);
        directory += item.Name;
    }
    const std::size_t directoryOffset = zip.size();
    zip += directory;
    zip += "PK\x05\x06";
    PutLittleEndian(zip, 0, 2);
    PutLittleEndian(zip, 0, 2);
    PutLittleEndian(zip, entries.size(), 2);
    PutLittleEndian(zip, entries.size(), 2);
    PutLittleEndian(zip, directory.size(), 4);
    PutLittleEndian(zip, directoryOffset, 4);
    PutLittleEndian(zip, 0, 2);
    return zip;
}

namespace {

// A libzip source that hands out one byte over and over.
struct TRepeatedByteSource {
    char Byte;
    std::uint64_t Count;
    std::uint64_t Given = 0;
};

zip_int64_t ReadRepeatedByte(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* source = static_cast<TRepeatedByteSource*>(state);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        source->Given = 0;
        return 0;
    case ZIP_SOURCE_READ: {
        const std::uint64_t count = std::min<std::uint64_t>(length, source->Count - source->Given);
        std::memset(data, source->Byte, count);
        source->Given += count;
        return static_cast<zip_int64_t>(count);
    }
    case ZIP_SOURCE_STAT: {
        auto* stat = static_cast<zip_stat_t*>(data);
        zip_stat_init(stat);
        stat->size = source->Count;
        stat->mtime = 0;
        stat->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR: {
        auto* codes = static_cast<int*>(data);
        codes[0] = codes[1] = 0;
        return 2 * sizeof(int);
    }
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE:
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
        return -1;
    }
}

} // namespace

std::string MakeZipOfRepeatedByte(const std::string& name, char byte, std::uint64_t count, int method) {
    TTempDir dir;
    const std::string path = (dir.Path() / "archive.zip").string();
    int code = 0;
    zip* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive)
        throw std::runtime_error("cannot create a test archive");
    TRepeatedByteSource state{byte, count};
    zip_source_t* source = zip_source_function(archive, &ReadRepeatedByte, &state);
    const zip_int64_t index = source ? zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE) : -1;
    if (index < 0 || zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), method, 9) != 0 ||
        zip_close(archive) != 0)
        throw std::runtime_error("cannot write a test archive");
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool SetZipClaimedSizes(std::string& zip, const std::string& name, std::uint32_t compressed, std::uint32_t size) {
    const std::size_t end = zip.rfind("PK\x05\x06");
    if (end == std::string::npos)
        return false;
    const std::uint32_t count = LittleEndianAt(zip, end + 10, 2);
    std::size_t at = LittleEndianAt(zip, end + 16, 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t nameLength = LittleEndianAt(zip, at + 28, 2);
        const std::size_t skip = 46 + nameLength + LittleEndianAt(zip, at + 30, 2) + LittleEndianAt(zip, at + 32, 2);
        if (zip.compare(at + 46, nameLength, name) == 0) {
            const std::size_t local = LittleEndianAt(zip, at + 42, 4);
            PatchLittleEndian(zip, at + 20, compressed);
            PatchLittleEndian(zip, at + 24, size);
            PatchLittleEndian(zip, local + 18, compressed);
            PatchLittleEndian(zip, local + 22, size);
            return true;
        }
        at += skip;
    }
    return false;
}

std::string EncodeJpeg(int width, int height, const TColourAt& colourAt, int quality, bool progressive) {
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.write_JFIF_header = FALSE;
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3);
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = colourAt(x, static_cast<int>(info.next_scanline));
            row[3 * static_cast<std::size_t>(x)] = static_cast<JSAMPLE>(c >> 16);
            row[3 * static_cast<std::size_t>(x) + 1] = static_cast<JSAMPLE>(c >> 8);
            row[3 * static_cast<std::size_t>(x) + 2] = static_cast<JSAMPLE>(c);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return bytes;
}

std::string MakeJpeg(int width, int height, bool progressive) {
    return EncodeJpeg(width, height, [](int, int) { return 0x808080u; }, 90, progressive);
}

#if defined(__SANITIZE_ADDRESS__)
namespace {

std::atomic<bool> GHeapWatched{false};
std::atomic<std::int64_t> GHeapNow{0};
std::atomic<std::int64_t> GHeapPeak{0};

void HeapAllocated(const volatile void*, std::size_t size) {
    if (!GHeapWatched.load(std::memory_order_relaxed))
        return;
    const std::int64_t now = GHeapNow.fetch_add(static_cast<std::int64_t>(size)) + static_cast<std::int64_t>(size);
    std::int64_t peak = GHeapPeak.load();
    while (now > peak && !GHeapPeak.compare_exchange_weak(peak, now)) {
    }
}

void HeapReleased(const volatile void* pointer) {
    if (pointer && GHeapWatched.load(std::memory_order_relaxed))
        GHeapNow.fetch_sub(static_cast<std::int64_t>(__sanitizer_get_allocated_size(pointer)));
}

} // namespace

THeapPeak::THeapPeak() {
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(&HeapAllocated, &HeapReleased) != 0;
    (void)installed;
    GHeapNow = 0;
    GHeapPeak = 0;
    GHeapWatched = true;
}

THeapPeak::~THeapPeak() {
    GHeapWatched = false;
}

bool THeapPeak::Known() {
    return true;
}

std::int64_t THeapPeak::Bytes() const {
    return GHeapPeak.load();
}
#else
THeapPeak::THeapPeak() = default;
THeapPeak::~THeapPeak() = default;
bool THeapPeak::Known() {
    return false;
}
std::int64_t THeapPeak::Bytes() const {
    return 0;
}
#endif

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
