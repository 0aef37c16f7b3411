// Files built to hurt a reader: bombs, lying headers, deep and huge documents, cycles, pictures that claim more
// than they hold, and every kind of file cut short. Each is generated here and opened the way the program opens
// a file; each must end in its clear error, naming the limit it passed, or in a tolerant read.

#include "formats/Providers.h"
#include "formats/ViewerProviders.h"
#include "formats/XMLFilers.h"
#include "model/CVMindMaps.h"
#include "platform/AppErrors.h"
#include "platform/CVStrings.h"
#include "platform/ResourceLimits.h"
#include "render/CvMindMapPainter.h"
#include "render/DiagramPngs.h"
#include "render/ExifReaders.h"
#include "render/MapImageExports.h"

#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <regex>
#include <zip.h>
#include <zlib.h>

using testing::MatchesRegex;

namespace {

// Collects what goes to the application's error handler while it lives.
class TErrorCatcher {
public:
    TErrorCatcher() {
        FPrevious =
            SetApplicationExceptionHandler([this](const std::exception& error) { Errors.push_back(error.what()); });
    }
    ~TErrorCatcher() { SetApplicationExceptionHandler(FPrevious); }
    TErrorCatcher(const TErrorCatcher&) = delete;
    TErrorCatcher& operator=(const TErrorCatcher&) = delete;

    std::vector<std::string> Errors;

private:
    TExceptionHandler FPrevious;
};

// What opening a file came to.
struct TOpening {
    std::string Error;                // the error the opening ended in; empty when the map was read and drawn
    std::vector<std::string> Handled; // errors that went to the application's error handler on the way
    int Topics = 0;
    int CentralThemes = 0;
    std::size_t Pictures = 0;     // in the document's image store
    std::vector<int> ParentIndex; // of every topic, -1 for a central theme (small maps only)
};

int IndexOf(const TMindMap& map, const TMindMapNode* topic) {
    for (int i = 0; i < map.TopicCount(); ++i)
        if (map.TopicAt(i) == topic)
            return i;
    return -1;
}

// The whole map drawn at a zoom that makes it at most 160 pixels a side.
void DrawSmall(TMindMap& map) {
    TMindMapPaintSelection selection(map);
    selection.PaintAll();
    const TFloatRect area = ExportArea(selection.Bounds());
    const double side = std::max(area.Width, area.Height);
    const TPicture picture = RenderMapBitmap(map, false, side > 160 ? 160 / side : 1);
    if (!picture || picture.Width() > 161 || picture.Height() > 161)
        throw std::runtime_error("the map was not drawn small");
}

// Opens a file as the viewer does: the provider's storage loads it (unpacking an archive or importing an
// outline), the map reads the native text the storage hands out and draws from the storage's pictures, then it
// is refreshed and drawn.
TOpening Open(const std::string& path) {
    TOpening opening;
    TErrorCatcher catcher;
    try {
        std::unique_ptr<TMindMapStorage> storage = ViewerProvider().CreateStorage(path);
        storage->Load();
        TMindMap map;
        map.SetImageStore(&storage->GetImageStore());
        struct TDetach {
            TMindMap& Map;
            ~TDetach() { Map.SetImageStore(nullptr); }
        } detach{map};
        map.LoadFromText(storage->GetDocumentText(), path, true, dkCvmx);
        map.Refresh();
        DrawSmall(map);
        opening.Topics = map.TopicCount();
        opening.CentralThemes = map.CentralThemeCount();
        opening.Pictures = storage->GetImageStore().Count();
        if (map.TopicCount() <= 100)
            for (int i = 0; i < map.TopicCount(); ++i)
                opening.ParentIndex.push_back(IndexOf(map, map.TopicAt(i)->Parent()));
    } catch (const std::exception& error) {
        opening.Error = error.what();
    }
    opening.Handled = catcher.Errors;
    return opening;
}

std::string Repeat(std::string_view piece, std::size_t count) {
    std::string text;
    text.reserve(piece.size() * count);
    for (std::size_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

// Writes prefix, piece repeated count times and suffix, without building the whole text in memory.
std::string WriteRepeated(const TTempDir& dir, const std::string& name, const std::string& prefix,
                          const std::string& piece, std::uint64_t count, const std::string& suffix) {
    const std::string path = (dir.Path() / name).string();
    std::ofstream out(path, std::ios::binary);
    out << prefix;
    const std::string block = Repeat(piece, std::max<std::size_t>(1, 65536 / piece.size()));
    const std::uint64_t perBlock = block.size() / piece.size();
    for (std::uint64_t i = 0; i < count / perBlock; ++i)
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    for (std::uint64_t i = 0; i < count % perBlock; ++i)
        out << piece;
    out << suffix;
    return path;
}

// The column (from 1) of the character after the n-th start tag (not empty-element tag) of a one-line text, where
// the XML layer reports an error found at that tag.
int ColumnAfterStartTag(const std::string& text, int n) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '<' && text[i + 1] != '/' && text[i + 1] != '!' && text[i + 1] != '?' &&
            text[text.find('>', i) - 1] != '/' && --n == 0)
            return static_cast<int>(text.find('>', i)) + 2;
    return -1;
}

constexpr const char* kNativeStart = "<!DOCTYPE corvella-mindmaps><corvella-mindmaps doc-version=\"3\" "
                                     "generator=\"CorvellaWin32\"><mindmap><topics>";
constexpr const char* kNativeEnd = "</topics></mindmap></corvella-mindmaps>";
constexpr const char* kLegacyStart = "<?xml version=\"1.0\"?><!DOCTYPE orrinexdiagrams>"
                                     "<orrinexdiagrams Format=\"sfDiagram\"><mindmapdiagram guid=\"g\">";
constexpr const char* kLegacyEnd = "</mindmapdiagram></orrinexdiagrams>";
constexpr const char* kOpmlStart = "<?xml version=\"1.0\"?><opml version=\"2.0\"><head/><body>";
constexpr const char* kOpmlEnd = "</body></opml>";

std::string BigEndian32(std::uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
            static_cast<char>(value)};
}

std::string BigEndian16(std::uint32_t value) {
    return {static_cast<char>(value >> 8), static_cast<char>(value)};
}

// A small PNG whose header states another size, with the header's checksum made right again: only the size tells
// it from a good picture.
std::string PngClaiming(std::uint32_t width, std::uint32_t height) {
    std::string png = MakePng(4, 4);
    png.replace(16, 4, BigEndian32(width));
    png.replace(20, 4, BigEndian32(height));
    const auto crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17));
    png.replace(29, 4, BigEndian32(crc));
    return png;
}

// A small JPEG whose frame header states another size.
std::string JpegClaiming(std::uint32_t width, std::uint32_t height) {
    std::string jpeg = MakeJpeg(16, 16);
    const std::size_t frame = jpeg.find("\xFF\xC0");
    jpeg.replace(frame + 5, 2, BigEndian16(height));
    jpeg.replace(frame + 7, 2, BigEndian16(width));
    return jpeg;
}

std::string NativeArchive(const std::string& topics, const std::vector<std::pair<std::string, std::string>>& more) {
    std::vector<std::pair<std::string, std::string>> entries{{"document/mindmap.xml", NativeDocument(topics)}};
    entries.insert(entries.end(), more.begin(), more.end());
    return MakeZip(entries);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Archives

TEST(HostileFiles, ZipBombsEndInTheLimitTheyPass) {
    TTempDir dir;
    const std::string document = NativeDocument(R"(<topic id="0" text="Root"><embedded-image name="p0"/></topic>)");
    // the document inflates past the entry limit from a few kilobytes (the archive reader inflates bzip2 as well
    // as deflate), without more memory than the limit allows
    const std::string bomb = dir.Write(
        "bomb.cvmx", MakeZipOfRepeatedByte("document/mindmap.xml", ' ', kMaxArchiveEntryBytes + 1, ZIP_CM_BZIP2));
    EXPECT_LT(std::filesystem::file_size(bomb), 16'000u);
    {
        const THeapPeak heap;
        EXPECT_EQ(Open(bomb).Error, "The entry document/mindmap.xml of the archive bomb.cvmx is too large to open: it "
                                    "inflates to more than 268435456 bytes");
        if (THeapPeak::Known()) {
            EXPECT_LT(heap.Bytes(), static_cast<std::int64_t>(2 * kMaxArchiveEntryBytes));
        }
    }

    // pictures just below their own limit whose sum passes the archive's total
    const std::uint64_t pictureBytes = kMaxPictureEntryBytes - 1024;
    std::vector<TZipStreamEntry> entries{{"document/mindmap.xml", {{document}}}};
    for (std::uint64_t total = 0; total <= kMaxArchiveTotalBytes; total += pictureBytes)
        entries.push_back({Format("images/p%zu.png", entries.size()), {{"\x89PNG", pictureBytes / 4}}});
    const std::string many = dir.Write("many.cvmx", MakeStreamedZip(entries));
    EXPECT_LT(std::filesystem::file_size(many), 2'000'000u);
    EXPECT_EQ(Open(many).Error,
              "The archive many.cvmx is too large to open: it inflates to more than 1073741824 bytes in all");

    // one picture past its own limit is left out like a damaged one; the map opens
    const std::string large =
        dir.Write("large.cvmx", MakeStreamedZip({{"document/mindmap.xml", {{document}}},
                                                 {"images/p0.png", {{"\x89PNG", kMaxPictureEntryBytes / 4 + 1}}}}));
    const TOpening opening = Open(large);
    EXPECT_EQ(opening.Error, "");
    EXPECT_EQ(opening.Topics, 1);
    EXPECT_EQ(opening.Pictures, 0u);
}

TEST(HostileFiles, FilesLargerThanTheirLimitAreRefusedUnread) {
    // sparse files: as large as they say, without taking the disk
    TTempDir dir;
    const auto sparse = [&](const std::string& name, std::uint64_t size) {
        const std::string path = dir.Write(name, "");
        std::filesystem::resize_file(path, size);
        return path;
    };
    struct TCase {
        const char* Name;
        std::string Error;
    };
    const TCase cases[] = {
        {"big.cvmx", "Cannot open big.cvmx: the file is larger than 536870912 bytes"},
        {"big.opml",
         "Cannot read file \"" + (dir.Path() / "big.opml").string() + "\": the file is larger than 536870912 bytes"},
        {"big.mm",
         "Cannot read file \"" + (dir.Path() / "big.mm").string() + "\": the file is larger than 536870912 bytes"},
        {"big.txt",
         "Cannot read file \"" + (dir.Path() / "big.txt").string() + "\": the file is larger than 536870912 bytes"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = sparse(c.Name, kMaxDocumentFileBytes + 1);
        const THeapPeak heap;
        EXPECT_EQ(Open(path).Error, c.Error);
        if (THeapPeak::Known()) {
            EXPECT_LT(heap.Bytes(), 1 << 20);
        }
    }
    const std::string picture = sparse("big.png", kMaxPictureFileBytes + 1);
    EXPECT_THAT([&] { LoadPictureFile(picture); },
                testing::ThrowsMessage<ECVException>(
                    testing::StrEq("Cannot open big.png: the file is larger than 268435456 bytes")));
    EXPECT_THAT([&] { LoadOrientedPicture(picture, 100); },
                testing::ThrowsMessage<ECVException>(
                    testing::StrEq("Cannot open big.png: the file is larger than 268435456 bytes")));
}

TEST(HostileFiles, SizesAnArchiveClaimsAreNotTrusted) {
    TTempDir dir;
    const std::string good = NativeArchive(R"(<topic id="0" text="Root"/><topic id="1" parent="0"/>)", {});
    // an entry is inflated to what it holds, whatever its headers claim: 4 GiB, ten bytes, or 2 GiB of data
    struct TCase {
        const char* Name;
        std::uint32_t Compressed; // 0: as stored
        std::uint32_t Size;
    };
    const TCase cases[] = {
        {"claims4gib.cvmx", 0, 0xFFFFFFF0u},
        {"claimsless.cvmx", 0, 10},
        {"claimsdata.cvmx", 0x7FFFFFF0u, 0xFFFFFFF0u},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::string zip = good;
        // the local header's compressed size stands 12 bytes before the entry's name
        const std::size_t name = zip.find("document/mindmap.xml");
        std::uint32_t stored = 0;
        for (std::size_t i = 4; i-- > 0;)
            stored = (stored << 8) | static_cast<unsigned char>(zip[name - 12 + i]);
        ASSERT_TRUE(SetZipClaimedSizes(zip, "document/mindmap.xml", c.Compressed ? c.Compressed : stored, c.Size));
        const std::string path = dir.Write(c.Name, zip);
        const THeapPeak heap;
        const TOpening opening = Open(path);
        EXPECT_EQ(opening.Error, "");
        EXPECT_EQ(opening.Topics, 2);
        if (THeapPeak::Known()) {
            EXPECT_LT(heap.Bytes(), 64 << 20) << "what the archive claims must not be allocated";
        }
    }
}

// ---------------------------------------------------------------------------------------------------------------
// XML

TEST(HostileFiles, AMillionNestedElementsAreRefusedAtTheNestingLimit) {
    TTempDir dir;
    struct TCase {
        const char* Name;
        std::string Text;
        bool Imported;
    };
    const TCase cases[] = {
        {"deep.cvmx", kNativeStart + Repeat("<topic>", 1'000'000), false},
        {"deep.opml", kOpmlStart + Repeat("<outline>", 1'000'000), true},
        {"deep.mm", "<map>" + Repeat("<node>", 1'000'000), true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string error = Format("Error Elements nested deeper than 1000 levels in line 1 col %d",
                                         ColumnAfterStartTag(c.Text, kMaxXMLNesting + 1));
        const TOpening opening = Open(dir.Write(c.Name, c.Text));
        if (c.Imported) {
            EXPECT_EQ(opening.Error, Format("Unable to import file %s", c.Name));
            EXPECT_THAT(opening.Handled, testing::ElementsAre(error));
        } else {
            EXPECT_EQ(opening.Error, error);
        }
    }
}

TEST(HostileFiles, AHugeAttributeIsRefusedBeforeItIsCopied) {
    constexpr std::uint64_t kValueBytes = 200'000'000;
    const std::string empty = NativeDocument("");
    const std::string start = empty.substr(0, empty.find("</topics>")) + R"(<topic id="0" text=")";
    const std::string end = "\"/>" + empty.substr(empty.find("</topics>"));
    // the document's third line holds the root and everything after it
    const std::size_t lineStart = start.rfind('\n') + 1;
    const std::string error = Format("Error Attribute value longer than 16777216 bytes in line 3 col %llu",
                                     static_cast<unsigned long long>(start.size() - lineStart + kValueBytes + 3 + 1));
    TTempDir dir;
    // deflated in an archive, the file stays small
    const std::string zipped =
        dir.Write("value.cvmx", MakeStreamedZip({{"document/mindmap.xml", {{start}, {"a", kValueBytes}, {end}}}}));
    EXPECT_LT(std::filesystem::file_size(zipped), 1'000'000u);
    // and once as a bare document
    const std::string bare = WriteRepeated(dir, "bare.cvmx", start, "a", kValueBytes, end);
    for (const std::string& path : {zipped, bare}) {
        SCOPED_TRACE(path);
        const THeapPeak heap;
        EXPECT_EQ(Open(path).Error, error);
        if (THeapPeak::Known()) {
            // the inflated or read bytes become the text; one copy more is handed to the map
            EXPECT_LT(heap.Bytes(), static_cast<std::int64_t>(kMaxArchiveEntryBytes + kValueBytes + (32 << 20)));
        }
    }
}

TEST(HostileFiles, AFloodOfTinyElementsIsRefusedAtTheNodeLimit) {
    // eight nodes in 39 bytes: every node would take about a hundred bytes in the tree
    const std::string element = R"(<t a="" b="" c="" d="" e="" f="" g=""/>)";
    const std::size_t elements = kMaxXMLNodes / 8 + 1;
    const std::string start = std::string(kNativeStart);
    // with the six nodes of the skeleton before them (DOCTYPE, root and its two attributes, "mindmap", "topics"),
    // the limit is passed inside the last element but one
    const std::string error = Format("Error Document holds more than 8388608 elements, attributes and texts in line 1 "
                                     "col %zu",
                                     start.size() + (elements - 1) * element.size() + 1);
    TTempDir dir;
    const std::string path = dir.Write(
        "flood.cvmx", MakeStreamedZip({{"document/mindmap.xml", {{start}, {element, elements}, {kNativeEnd}}}}));
    EXPECT_LT(std::filesystem::file_size(path), 1'000'000u);
    const THeapPeak heap;
    EXPECT_EQ(Open(path).Error, error);
    if (THeapPeak::Known()) {
        EXPECT_LT(heap.Bytes(), 1536ll << 20);
    }
}

TEST(HostileFiles, EveryXmlTokenTheTreeKeepsIsLimited) {
    const std::string at = std::string(kMaxXMLValueBytes, 'v');
    const std::string over = at + "v";
    struct TCase {
        std::string Xml;
        const char* What; // empty when the text is read
        std::size_t Column;
    };
    const TCase cases[] = {
        {"<a b=\"" + over + "\"/>", "Attribute value", over.size() + 10},
        {"<a b=\"" + at + "\"/>", "", 0},
        {"<a" + over + "/>", "Name", over.size() + 5},
        {"<a>" + over + "</a>", "Text", over.size() + 4},
        {"<a>" + at + "</a>", "", 0},
        {"<a><![CDATA[" + over + "]]></a>", "Text", over.size() + 16},
        {"<a><![CDATA[" + at + "]]></a>", "", 0},
        {"<?pi " + over + "?><a/>", "Instruction", over.size() + 8},
        {"<!DOCTYPE a" + over + "><a/>", "DTD", over.size() + 13},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Xml.substr(0, 12));
        TXMLDocument document;
        if (*c.What) {
            EXPECT_THAT([&] { TXMLFiler::LoadFromString(c.Xml, document); },
                        testing::ThrowsMessage<EOXXMLException>(testing::StrEq(
                            Format("Error %s longer than 16777216 bytes in line 1 col %zu", c.What, c.Column))));
        } else {
            TXMLFiler::LoadFromString(c.Xml, document);
            const TXMLElement* root = document.RootElement();
            ASSERT_TRUE(root);
            EXPECT_EQ(root->GetString("b").size() + root->GetText().size(), kMaxXMLValueBytes);
        }
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Maps

TEST(HostileFiles, CyclicParentChainsAreBrokenNotFollowed) {
    // the parent of 0 is 2, of 2 is 1 and of 1 is 0: a cycle; 3 is its own parent; 4 hangs below the cycle
    const std::string topics = R"(<topic id="0" parent="2" text="a"/><topic id="1" parent="0"/>)"
                               R"(<topic id="2" parent="1"/><topic id="3" parent="3"/><topic id="4" parent="0"/>)";
    const std::string legacy = std::string(kLegacyStart) +
                               R"(<mindmapsymbol ShapeID="0" _parent="2"/><mindmapsymbol ShapeID="1" _parent="0"/>)"
                               R"(<mindmapsymbol ShapeID="2" _parent="1"/><mindmapsymbol ShapeID="3" _parent="3"/>)"
                               R"(<mindmapsymbol ShapeID="4" _parent="0"/>)" +
                               kLegacyEnd;
    const std::pair<const char*, std::string> files[] = {
        {"native.cvmx", NativeDocument(topics)},
        {"archive.cvmx", NativeArchive(topics, {})},
        {"legacy.cvmx", legacy},
    };
    TTempDir dir;
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const TOpening opening = Open(dir.Write(name, bytes));
        ASSERT_EQ(opening.Error, "");
        // walking up from the first topic, the reference that closes the cycle (of 1 to 0) is dropped
        EXPECT_THAT(opening.ParentIndex, testing::ElementsAre(2, -1, 1, -1, 0));
        EXPECT_EQ(opening.CentralThemes, 2);
    }
}

TEST(HostileFiles, MoreTopicsThanTheLimitAreRefusedForEveryReader) {
    const std::size_t n = kMaxTopics + 1;
    const std::string handled = "The document holds more than 500000 topics";
    TTempDir dir;
    struct TCase {
        const char* Name;
        std::function<std::string()> Bytes;
        bool Imported;
    };
    const TCase cases[] = {
        {"many.cvmx", [&] { return std::string(kNativeStart) + Repeat("<topic/>", n) + kNativeEnd; }, false},
        {"archive.cvmx",
         [&] {
             return MakeStreamedZip({{"document/mindmap.xml", {{kNativeStart}, {"<topic/>", n}, {kNativeEnd}}}});
         },
         false},
        {"legacy.cvmx", [&] { return kLegacyStart + Repeat("<mindmapsymbol/>", n) + kLegacyEnd; }, false},
        {"many.opml", [&] { return kOpmlStart + Repeat("<outline/>", n) + kOpmlEnd; }, true},
        {"many.mm", [&] { return "<map>" + Repeat("<node/>", n) + "</map>"; }, true},
        {"many.txt", [&] { return Repeat("x\n", n); }, true},
        // as many lines as the limit allows, but several top-level lines get an "Imported Text" topic above them
        {"lines.txt", [&] { return Repeat("x\n", kMaxTopics); }, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = dir.Write(c.Name, c.Bytes());
        const THeapPeak heap;
        const TOpening opening = Open(path);
        if (c.Imported) {
            EXPECT_EQ(opening.Error, Format("Unable to import file %s", c.Name));
            EXPECT_THAT(opening.Handled, testing::ElementsAre(handled));
        } else {
            EXPECT_EQ(opening.Error, handled);
        }
        if (THeapPeak::Known()) {
            // refused before the topics are built: half a million topics would take about a gigabyte
            EXPECT_LT(heap.Bytes(), 400 << 20);
        }
    }
}

TEST(HostileFiles, ATextOutlineOfManyLinesIsWalkedNotSplit) {
    // five million lines make one topic with an empty note: a list of the lines would take 32 bytes each
    TTempDir dir;
    const std::string path = WriteRepeated(dir, "lines.txt", "A\n[\n", "\n", 5'000'000, "]\nB\n");
    const THeapPeak heap;
    const TOpening opening = Open(path);
    EXPECT_EQ(opening.Error, "");
    EXPECT_EQ(opening.Topics, 3); // A and B under "Imported Text"
    if (THeapPeak::Known()) {
        EXPECT_LT(heap.Bytes(), 64 << 20);
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Pictures

TEST(HostileFiles, PicturesThatClaimTooManyPixelsAreRefusedFromTheirHeader) {
    EXPECT_EQ(PictureSizeRefusal(8192, 8192), "");
    EXPECT_EQ(PictureSizeRefusal(16384, 4096), "");
    EXPECT_EQ(PictureSizeRefusal(8193, 8192), "8193 x 8192 pixels, more than 67108864 pixels in all");
    EXPECT_EQ(PictureSizeRefusal(16385, 1), "16385 x 1 pixels, more than 16384 pixels a side");

    struct TCase {
        const char* Name;
        std::string Bytes;
        const char* Why;
    };
    const TCase cases[] = {
        {"side.png", PngClaiming(100000, 100000), "100000 x 100000 pixels, more than 16384 pixels a side"},
        {"pixels.png", PngClaiming(16000, 8000), "16000 x 8000 pixels, more than 67108864 pixels in all"},
        {"side.jpg", JpegClaiming(60000, 60000), "60000 x 60000 pixels, more than 16384 pixels a side"},
        {"pixels.jpg", JpegClaiming(16000, 8000), "16000 x 8000 pixels, more than 67108864 pixels in all"},
    };
    TTempDir dir;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const THeapPeak heap;
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        ASSERT_TRUE(ReadPictureSize(c.Bytes, width, height));
        EXPECT_EQ(PictureSizeRefusal(width, height), c.Why);
        EXPECT_FALSE(DecodePicture(c.Bytes));
        const std::string path = dir.Write(c.Name, c.Bytes);
        EXPECT_THAT([&] { LoadPictureFile(path); }, testing::ThrowsMessage<ECVException>(testing::StrEq(
                                                        Format("The picture %s is too large: %s", c.Name, c.Why))));
        EXPECT_THAT([&] { LoadOrientedPicture(path, 100); }, testing::ThrowsMessage<ECVException>(testing::StrEq(Format(
                                                                 "The picture %s is too large: %s", c.Name, c.Why))));
        if (THeapPeak::Known()) {
            EXPECT_LT(heap.Bytes(), 1 << 20) << "no pixel buffer is made for a refused picture";
        }
    }

    // in an archive such a picture is left out: the map opens, its topic shows no picture
    for (const TCase& c : {cases[0], cases[1]}) {
        SCOPED_TRACE(c.Name);
        const TOpening opening = Open(
            dir.Write("claims.cvmx", NativeArchive(R"(<topic id="0"><embedded-image name="p"/></topic>)",
                                                   {{"images/p.png", c.Bytes}, {"images/good.png", MakePng(3, 2)}})));
        EXPECT_EQ(opening.Error, "");
        EXPECT_EQ(opening.Topics, 1);
        EXPECT_EQ(opening.Pictures, 1u);
    }

    // pictures that each fit but together pass the document's budget are refused before any is decoded
    std::vector<std::pair<std::string, std::string>> pictures;
    for (int i = 0; i < 5; ++i)
        pictures.emplace_back(Format("images/p%d.png", i), PngClaiming(8192, 8192));
    EXPECT_EQ(Open(dir.Write("budget.cvmx", NativeArchive(R"(<topic id="0"/>)", pictures))).Error,
              "The pictures of budget.cvmx are too large to open: together they have more than 268435456 pixels");
}

namespace {

// A JPEG with an APP1 segment holding "Exif\0\0" and the TIFF bytes right after its start. A length of 0 states
// the segment's real length.
std::string JpegWithExif(const std::string& tiff, std::uint32_t statedLength = 0) {
    const std::string jpeg = MakeJpeg(32, 16);
    const std::string body = std::string("Exif\0\0", 6) + tiff;
    return jpeg.substr(0, 2) + "\xFF\xE1" + BigEndian16(statedLength ? statedLength : body.size() + 2) + body +
           jpeg.substr(2);
}

// A big-endian IFD entry.
std::string Entry(std::uint32_t tag, std::uint32_t type, std::uint32_t count, std::uint32_t value) {
    return BigEndian16(tag) + BigEndian16(type) + BigEndian32(count) +
           (type == 3 ? BigEndian16(value) + BigEndian16(0) : BigEndian32(value));
}

} // namespace

TEST(HostileFiles, LyingExifBlocksGiveNoOrientationAndNoHarm) {
    const std::string header = std::string("MM\0\x2A", 4) + BigEndian32(8);
    struct TCase {
        const char* Name;
        std::string Bytes;
        int Orientation;
        const char* Error; // of the preview; empty when the picture loads
    };
    const TCase cases[] = {
        {"offset.jpg", JpegWithExif(std::string("MM\0\x2A", 4) + BigEndian32(0x7FFFFFF0u)), 0, ""},
        {"count.jpg", JpegWithExif(header + BigEndian16(0xFFFF) + Entry(0x0100, 3, 1, 32)), 0, ""},
        // the first value stands in the entry, whatever count it claims
        {"values.jpg", JpegWithExif(header + BigEndian16(1) + Entry(0x0112, 3, 0xFFFFFFFFu, 6) + BigEndian32(0)), 6,
         ""},
        {"values-long.jpg",
         JpegWithExif(header + BigEndian16(1) + Entry(0x0112, 4, 0xFFFFFFFFu, 0x7FFFFFF0u) + BigEndian32(0)), 0, ""},
        // the directory points to itself as its EXIF directory and as the next one
        {"self.jpg",
         JpegWithExif(header + BigEndian16(2) + Entry(0x0112, 3, 1, 3) + Entry(0x8769, 4, 1, 8) + BigEndian32(8)), 3,
         ""},
        // a segment longer than the file: the decoder finds no picture after it
        {"segment.jpg", JpegWithExif(header + BigEndian16(1) + Entry(0x0112, 3, 1, 8) + BigEndian32(0), 0xFFF0), 8,
         "Unsupported picture format: segment.jpg"},
    };
    TTempDir dir;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(TExifReader::ExifOrientationOf(c.Bytes), c.Orientation);
        const std::string path = dir.Write(c.Name, c.Bytes);
        EXPECT_EQ(TExifReader::ReadExifOrientation(path), c.Orientation);
        if (*c.Error) {
            EXPECT_FALSE(DecodeJpegPicture(c.Bytes));
            EXPECT_THAT([&] { LoadOrientedPicture(path, 64); },
                        testing::ThrowsMessage<ECVException>(testing::StrEq(c.Error)));
        } else {
            EXPECT_EQ(DecodeJpegPicture(c.Bytes).Width(), 32);
            const TPicture picture = LoadOrientedPicture(path, 64);
            const bool turned = c.Orientation >= 5;
            EXPECT_EQ(picture.Width(), turned ? 16 : 32);
            EXPECT_EQ(picture.Height(), turned ? 32 : 16);
        }
    }
}

TEST(HostileFiles, AJpegOfEndlessScansIsRefusedAtTheScanLimit) {
    // a progressive picture whose last scan is repeated: every copy makes the decoder pass over the whole
    // picture again
    const std::string jpeg = MakeJpeg(2048, 2048, true);
    const std::size_t lastScan = jpeg.rfind("\xFF\xDA");
    ASSERT_NE(lastScan, std::string::npos);
    const std::string scan = jpeg.substr(lastScan, jpeg.size() - 2 - lastScan);
    const std::string endless = jpeg.substr(0, jpeg.size() - 2) + Repeat(scan, 20000) + "\xFF\xD9";
    EXPECT_EQ(DecodeJpegPicture(jpeg).Width(), 2048);
    EXPECT_FALSE(DecodeJpegPicture(endless));
    TTempDir dir;
    const std::string path = dir.Write("scans.jpg", endless);
    EXPECT_THAT([&] { LoadPictureFile(path); },
                testing::ThrowsMessage<ECVException>(testing::StrEq("The picture scans.jpg has more than 100 scans")));
}

// ---------------------------------------------------------------------------------------------------------------
// Files cut short

namespace {

// The prefix of a well-formed XML text up to `length`, cut back to the last whole tag and with every element
// still open closed again: a document whose later parts are missing.
std::string CutXmlWellFormed(const std::string& xml, std::size_t length) {
    std::string text = xml.substr(0, length);
    const std::size_t open = text.rfind('<');
    if (open != std::string::npos && text.find('>', open) == std::string::npos)
        text.resize(open);
    std::vector<std::string> names;
    for (std::size_t i = text.find('<'); i != std::string::npos; i = text.find('<', i + 1)) {
        const std::size_t close = text.find('>', i);
        if (text[i + 1] == '?' || text[i + 1] == '!' || text[close - 1] == '/')
            continue;
        if (text[i + 1] == '/') {
            names.pop_back();
            continue;
        }
        const std::size_t end = text.find_first_of(" \t\r\n>", i + 1);
        names.push_back(text.substr(i + 1, end - i - 1));
    }
    for (auto it = names.rbegin(); it != names.rend(); ++it)
        text += "</" + *it + ">";
    return text;
}

const char* kSheet = R"(<stylesheet><general description="Cut look" timestamp="2021-03-07+09:05:00" )"
                     R"(levelbased="True" background-pattern=".system.wood"><bkgnd-color r="230" g="240" b="250"/>)"
                     R"(<font-color r="10" g="20" b="30"/></general><style has-levels="True">)"
                     R"(<mindmap connection-style="baseline"><checkbox-color r="1" g="1" b="1"/></mindmap>)"
                     R"(<topics><levels><level borderstyle="sbsEllipse" borderwidth="3.00">)"
                     R"(<fillcolor r="9" g="8" b="7"/></level><level borderstyle="sbsRectangle"/></levels></topics>)"
                     R"(<relations><cross-links line-style="penDashedThin"/></relations>)"
                     R"(<texts><textcolor r="0" g="128" b="0"/></texts></style><palette>)"
                     R"(<item><fill-color r="200" g="100" b="50"/></item><item><stroke-color r="9" g="9" b="9"/>)"
                     R"(</item></palette></stylesheet>)";

std::string DocumentWithSheet(const std::string& sheet) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!DOCTYPE corvella-mindmaps>\r\n<corvella-mindmaps "
           "doc-version=\"3\" generator=\"CorvellaWin32\"><mindmap><meta><style key=\"system.bright-palette\"/>"
           "</meta><topics><topic id=\"0\" text=\"Root\"/><topic id=\"1\" parent=\"0\" text=\"Branch \xC3\xA9\"/>"
           "</topics>" +
           sheet + "</mindmap></corvella-mindmaps>\r\n";
}

std::vector<std::size_t> CutPoints(std::size_t size) {
    std::vector<std::size_t> points{
        0, 1, 2, 3, 4, 10, size / 4, size / 3, size / 2, 2 * size / 3, 3 * size / 4, size - 2, size - 1};
    std::erase_if(points, [size](std::size_t at) { return at >= size; });
    return points;
}

constexpr const char* kXmlError = "Error .+ in line [0-9]+ col [0-9]+";

} // namespace

TEST(HostileFiles, DocumentsCutShortEndInTheirErrorOrATolerantRead) {
    const std::string picture = MakePng(40, 30);
    struct TKind {
        const char* Name;
        std::string Bytes;
        int Topics;                      // of the whole file
        std::vector<std::string> Errors; // regular expressions of the errors a cut may end in
        const char* Handled;             // what an import's failure tells the error handler first
        bool LineByLine = false;         // a cut keeps the lines before it: each may become a topic
    };
    const TKind kinds[] = {
        {"cut.cvmx",
         NativeArchive(R"(<topic id="0" text="Root"><embedded-image name="p"/></topic><topic id="1" parent="0"/>)"
                       R"(<topic id="2" parent="0"/>)",
                       {{"images/p.png", picture}}),
         3,
         {"Cannot open the archive cut\\.cvmx: .+", "The archive cut\\.cvmx is damaged: .+"},
         ""},
        {"bare.cvmx", DocumentWithSheet(kSheet), 2, {kXmlError}, ""},
        {"legacy.cvmx",
         std::string(kLegacyStart) + R"(<mindmapsymbol ShapeID="1" Name="A" Location="10,20"/>)" +
             R"(<mindmapsymbol ShapeID="2" _parent="1" Name="B"/><mindmaprelation SourceSymbol="1" )" +
             R"(TargetSymbol="2"/>)" + kLegacyEnd,
         2,
         {kXmlError},
         ""},
        {"cut.opml",
         std::string(kOpmlStart) + R"(<outline text="A" _note="n"><outline text="[x] B"/></outline>)" +
             R"(<outline text="C"/>)" + kOpmlEnd,
         3,
         {"Unable to import file cut\\.opml"},
         "(Error .+ in line [0-9]+ col [0-9]+|Invalid opml document)"},
        {"cut.mm",
         R"(<map version="1.0.1"><node TEXT="A"><node TEXT="B" LINK="http://x"><richcontent TYPE="NOTE">)"
         R"(<html><body><p>note</p></body></html></richcontent></node></node></map>)",
         2,
         {"Unable to import file cut\\.mm"},
         "(Error .+ in line [0-9]+ col [0-9]+|Invalid FreeMind document)"},
        {"cut.txt", "A\r\n\tB \xC3\xA9\r\n\t[\r\n\tnote\r\n\t]\r\nC\r\n", 3, {}, "", true},
    };
    TTempDir dir;
    for (const TKind& kind : kinds) {
        const TOpening whole = Open(dir.Write(kind.Name, kind.Bytes));
        ASSERT_EQ(whole.Error, "") << kind.Name;
        ASSERT_EQ(whole.Topics, kind.Topics) << kind.Name;
        for (std::size_t at : CutPoints(kind.Bytes.size())) {
            SCOPED_TRACE(Format("%s cut at %zu", kind.Name, at));
            const TOpening opening = Open(dir.Write(kind.Name, kind.Bytes.substr(0, at)));
            if (!opening.Error.empty()) {
                EXPECT_TRUE(std::any_of(kind.Errors.begin(), kind.Errors.end(), [&](const std::string& pattern) {
                    return std::regex_match(opening.Error, std::regex(pattern));
                })) << opening.Error;
                if (*kind.Handled) {
                    ASSERT_EQ(opening.Handled.size(), 1u);
                    EXPECT_THAT(opening.Handled[0], MatchesRegex(kind.Handled));
                }
            } else if (kind.LineByLine) {
                // a tolerant read of the lines left: at most one topic each (an unclosed note block is topics)
                EXPECT_LE(opening.Topics, static_cast<int>(std::count(kind.Bytes.begin(), kind.Bytes.end(), '\n')));
            } else {
                // a tolerant read: the whole map when only the last line break is gone, or nothing when no map
                // was left (an empty file, or too few bytes to be an archive)
                EXPECT_TRUE(opening.Topics == kind.Topics || opening.Topics == 0) << opening.Topics;
            }
        }
    }
}

TEST(HostileFiles, PicturesCutShortAreLeftOutOrRefused) {
    TTempDir dir;
    const std::string png = MakePng(40, 30);
    const std::string jpeg = MakeJpeg(40, 30);
    for (std::size_t at : CutPoints(png.size())) {
        SCOPED_TRACE(Format("PNG cut at %zu", at));
        const std::string cut = png.substr(0, at);
        EXPECT_FALSE(DecodePngPicture(cut));
        EXPECT_THAT([&] { LoadPictureFile(dir.Write("cut.png", cut)); },
                    testing::ThrowsMessage<ECVException>(testing::StrEq("Unsupported picture format: cut.png")));
        // as an archive picture it is skipped
        const TOpening opening =
            Open(dir.Write("pictures.cvmx", NativeArchive(R"(<topic id="0"><embedded-image name="p"/></topic>)",
                                                          {{"images/p.png", cut}})));
        EXPECT_EQ(opening.Error, "");
        EXPECT_EQ(opening.Pictures, 0u);
    }
    // a JPEG whose header is whole gives what could be decoded; one cut in its header is refused
    const std::size_t scan = jpeg.find("\xFF\xDA");
    for (std::size_t at : CutPoints(jpeg.size())) {
        SCOPED_TRACE(Format("JPEG cut at %zu", at));
        const std::string path = dir.Write("cut.jpg", jpeg.substr(0, at));
        if (at > scan + 14) {
            const TPicture picture = LoadOrientedPicture(path, 64);
            EXPECT_EQ(picture.Width(), 40);
            EXPECT_EQ(picture.Height(), 30);
        } else {
            EXPECT_THAT([&] { LoadOrientedPicture(path, 64); },
                        testing::ThrowsMessage<ECVException>(testing::StrEq("Unsupported picture format: cut.jpg")));
        }
    }
}

TEST(HostileFiles, EmbeddedStyleSheetsCutShortStillGiveAMap) {
    // the sheet loses its later parts but stays well-formed: the document is read with what is left of it
    TTempDir dir;
    const std::string sheet = kSheet;
    for (std::size_t at = 0; at < sheet.size(); at += 23) {
        SCOPED_TRACE(Format("sheet cut at %zu", at));
        const TOpening opening = Open(dir.Write("sheet.cvmx", DocumentWithSheet(CutXmlWellFormed(sheet, at))));
        EXPECT_EQ(opening.Error, "");
        EXPECT_EQ(opening.Topics, 2);
    }
}
