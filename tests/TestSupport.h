#pragma once

// Small fixtures shared by the tests: archives built in memory, temporary folders, native documents.

#include "model/CVMindMaps.h"
#include "styling/Colors.h"

#include <cairo.h>
#include <clocale>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

// ZIP archive bytes holding the entries (name, content), deflated.
std::string MakeZip(const std::vector<std::pair<std::string, std::string>>& entries);

// One piece of an entry of a streamed archive: Text repeated Count times.
struct TZipPiece {
    std::string Text;
    std::uint64_t Count = 1;
};
// An entry of a streamed archive: its content is its pieces one after the other.
struct TZipStreamEntry {
    std::string Name;
    std::vector<TZipPiece> Pieces;
};
// ZIP archive bytes whose entries are deflated while their content is generated, so that an entry of hundreds of
// megabytes never exists in memory (entries below 4 GiB).
std::string MakeStreamedZip(const std::vector<TZipStreamEntry>& entries);
// ZIP archive bytes of one entry made of `count` copies of one byte, compressed by libzip with `method`
// (ZIP_CM_DEFLATE, ZIP_CM_BZIP2 ...) while the bytes are generated.
std::string MakeZipOfRepeatedByte(const std::string& name, char byte, std::uint64_t count, int method);
// Patches the sizes an archive's local and central headers state for the named entry (what a hostile archive
// claims, not what it holds). Answers false when there is no such entry.
bool SetZipClaimedSizes(std::string& zip, const std::string& name, std::uint32_t compressed, std::uint32_t size);

// PNG bytes of a picture of that size, filled with one colour.
std::string MakePng(int width, int height);
// JPEG bytes of a picture whose pixels colourAt gives (0xRRGGBB), without any application segment, baseline or
// progressive with the default scans.
using TColourAt = std::function<std::uint32_t(int x, int y)>;
std::string EncodeJpeg(int width, int height, const TColourAt& colourAt, int quality = 95, bool progressive = false);
// JPEG bytes of a grey picture of that size.
std::string MakeJpeg(int width, int height, bool progressive = false);

// The largest amount of heap memory allocated, beyond what was allocated when it was made, while it lives. Only
// builds with AddressSanitizer can watch the heap; elsewhere Known() is false.
class THeapPeak {
public:
    THeapPeak();
    ~THeapPeak();
    THeapPeak(const THeapPeak&) = delete;
    THeapPeak& operator=(const THeapPeak&) = delete;
    static bool Known();
    std::int64_t Bytes() const;
};

// A native document with the DOCTYPE and root; meta and topics are inserted as given.
std::string NativeDocument(const std::string& topics, const std::string& meta = "",
                           const std::string& rootAttributes = R"(doc-version="3" generator="CorvellaWin32")");

// A folder that is removed with everything in it when the object goes.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    std::string Write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path FPath;
};

// Runs a test body under a decimal-comma locale and restores the previous one.
class TGermanLocale {
public:
    TGermanLocale();
    ~TGermanLocale();
    TGermanLocale(const TGermanLocale&) = delete;
    TGermanLocale& operator=(const TGermanLocale&) = delete;
    bool Active() const { return FActive; }

private:
    std::string FPrevious;
    bool FActive = false;
};

// Texts for robustness tests: every other text is made of random pieces, the rest are seeds with a few random
// insertions, deletions, replaced bytes and truncations. The same seed gives the same texts.
class TRandomTexts {
public:
    TRandomTexts(std::vector<std::string> pieces, std::vector<std::string> seeds, unsigned seed);
    std::string Next();
    // A number below count.
    std::size_t Pick(std::size_t count);

private:
    std::vector<std::string> FPieces;
    std::vector<std::string> FSeeds;
    std::mt19937 FRandom;
    bool FMutateNext = false;
};

// "#RRGGBB" as designers write colours; the sentinels by name.
std::string ColorText(TColor color);

// A small image surface with a context to draw paths into; curves are flattened finely.
class TTestCanvas {
public:
    explicit TTestCanvas(cairo_format_t format = CAIRO_FORMAT_ARGB32, int width = 200, int height = 120);
    ~TTestCanvas();
    TTestCanvas(const TTestCanvas&) = delete;
    TTestCanvas& operator=(const TTestCanvas&) = delete;

    cairo_t* Context() const { return FContext; }
    cairo_surface_t* Surface() const { return FSurface; }
    // The pixel of a 32-bit surface as premultiplied 0xAARRGGBB.
    std::uint32_t Pixel(int x, int y) const;

private:
    cairo_surface_t* FSurface; // owned
    cairo_t* FContext;         // owned
};

// A small map built in code: topics are added under a parent, or as central themes, out of the loading state.
class TTestMap {
public:
    TMindMapNode* Add(TMindMapNode* parent = nullptr, int paletteIndex = 0);

    TMindMap Map;
};

// Compares a picture with the golden PNG tests/data/golden/<name>.png: the sizes must be equal, and at most
// maxDifferentShare of the pixels may differ by more than 48 in a channel (fonts and anti-aliasing vary a little
// between machines). With CV_UPDATE_GOLDEN=1 in the environment the golden is written instead. A picture that
// does not match is written next to the build as <name>.actual.png for a look.
void ExpectMatchesGolden(cairo_surface_t* picture, const std::string& name, double maxDifferentShare = 0.002);
