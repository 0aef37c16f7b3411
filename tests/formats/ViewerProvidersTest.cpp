#include "formats/ViewerProviders.h"

#include "formats/CvmxWriters.h"
#include "platform/AppErrors.h"
#include "styling/CVStyles.h"

#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::unique_ptr<TViewerMindMapStorage> Storage(const std::string& path) {
    auto storage = ViewerProvider().CreateStorage(path);
    return std::unique_ptr<TViewerMindMapStorage>(static_cast<TViewerMindMapStorage*>(storage.release()));
}

// Opens the path as the main window does: the map draws from the storage's pictures and reads its text.
struct TOpened {
    explicit TOpened(const std::string& path) : Storage(::Storage(path)) {
        Storage->Load();
        Map.SetImageStore(&Storage->GetImageStore());
        Map.LoadFromText(Storage->GetDocumentText(), path, true, 0);
    }
    ~TOpened() { Map.SetImageStore(nullptr); }

    std::unique_ptr<TViewerMindMapStorage> Storage;
    TMindMap Map;
};

// Collects what goes to the application's error handler while it lives.
class TErrorCatcher {
public:
    TErrorCatcher() {
        FPrevious =
            SetApplicationExceptionHandler([this](const std::exception& error) { Errors.push_back(error.what()); });
    }
    ~TErrorCatcher() { SetApplicationExceptionHandler(FPrevious); }
    std::vector<std::string> Errors;

private:
    TExceptionHandler FPrevious;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::string kTopics = R"(<topic id="0" text="Root"><embedded-image name="pic"/></topic>)";

} // namespace

TEST(TViewerProvider, IsRegisteredAndFindsFiles) {
    TViewerProvider& provider = ViewerProvider();
    bool registered = false;
    for (int i = 0; i < MindMapProviders().Count(); ++i)
        registered = registered || MindMapProviders().At(i) == &provider;
    EXPECT_TRUE(registered);
    TTempDir dir;
    EXPECT_TRUE(provider.Exists(dir.Write("a.cvmx", "x")));
    EXPECT_FALSE(provider.Exists((dir.Path() / "b.cvmx").string()));
    EXPECT_FALSE(provider.Exists(dir.Path().string()));
    EXPECT_EQ(provider.DisplayName(), "");
}

TEST(TViewerMindMapStorage, ArchivesBringTheirPictures) {
    TTempDir dir;
    const std::string png = MakePng(4, 3);
    const std::string path = dir.Write("Map.CVMX", MakeZip({{"document/mindmap.xml", NativeDocument(kTopics)},
                                                            {"images/pic.png", png},
                                                            {"images/broken.png", "not a png"},
                                                            {"other/skipped.png", png}}));
    TOpened opened(path);
    EXPECT_EQ(opened.Storage->Kind(), dkCvmx);
    EXPECT_TRUE(opened.Storage->IsArchive());
    EXPECT_TRUE(opened.Storage->Loaded());
    EXPECT_EQ(opened.Storage->GetDisplayName(), "Map");
    std::size_t index = 0;
    EXPECT_TRUE(opened.Storage->GetImageStore().Find("pic", index));
    EXPECT_FALSE(opened.Storage->GetImageStore().Find("broken", index));
    EXPECT_FALSE(opened.Storage->GetImageStore().Find("skipped", index));
    ASSERT_EQ(opened.Map.TopicCount(), 1);
    EXPECT_TRUE(opened.Map.TopicAt(0)->EmbeddedImage()->GetSurface());

    const TPicture full = opened.Storage->LoadFullImage("pic");
    ASSERT_TRUE(full);
    EXPECT_EQ(full.Width(), 4);
    EXPECT_FALSE(opened.Storage->LoadFullImage("missing"));
    EXPECT_THAT([&] { (void)opened.Storage->LoadFullImage("broken"); },
                testing::ThrowsMessage<ECVException>(testing::HasSubstr("broken")));

    // a reload reads the file again
    std::filesystem::remove(path);
    dir.Write("Map.CVMX", NativeDocument(R"(<topic id="0" text="Other"/>)"));
    opened.Storage->Reload();
    EXPECT_FALSE(opened.Storage->IsArchive());
    EXPECT_FALSE(opened.Storage->GetImageStore().Find("pic", index));
    EXPECT_THAT(opened.Storage->GetDocumentText(), testing::HasSubstr("Other"));
    EXPECT_FALSE(opened.Storage->LoadFullImage("pic")); // no archive, no full pictures
}

TEST(TViewerMindMapStorage, KindsOpenAsThePathSays) {
    TTempDir dir;
    struct TCase {
        const char* Name;
        std::string Bytes;
        const char* Outline;
        const char* SheetKey;
    };
    const TCase cases[] = {
        {"bare.cvmx", "\xEF\xBB\xBF" + NativeDocument(R"(<topic id="0" text="Bare"/>)"), "Bare\r\n",
         "system.bright-palette"},
        {"NOTES.TXT", "A\n\tB\n", "A\r\n\tB\r\n", "system.natural-material-colors"},
        {"list.opml", R"(<?xml version="1.0" encoding="UTF-8"?><opml><body><outline text="Käse"/></body></opml>)",
         "K\xC3\xA4se\r\n", "system.natural-material-colors"},
        {"map.mm", "<map><node TEXT=\"Fm\"><node TEXT=\"x\"/></node></map>", "Fm\r\n\tx\r\n",
         "system.natural-material-colors"},
        {"empty.mm", "", "", "system.bright-palette"},
        {"picture.pdf", "%PDF-1.4", "", "system.bright-palette"},
        {"slides.itmz", "PK\x03\x04", "", "system.bright-palette"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TOpened opened(dir.Write(c.Name, c.Bytes));
        EXPECT_FALSE(opened.Storage->IsArchive());
        EXPECT_TRUE(opened.Map.HasDocument());
        EXPECT_EQ(SaveToText(opened.Map, dkText, false), c.Outline);
        ASSERT_NE(opened.Map.StyleSheet(), nullptr);
        if (opened.Map.TopicCount() > 0) {
            EXPECT_EQ(opened.Map.StyleSheet()->Key(), c.SheetKey);
        } else {
            EXPECT_EQ(opened.Map.DocumentTitle(), "Empty Mind Map");
        }
    }
}

TEST(TViewerMindMapStorage, FailuresSayWhatWentWrong) {
    TTempDir dir;
    struct TCase {
        const char* Name;
        std::string Bytes;
        const char* Message;
        const char* Reported; // what the importer told the error handler first
    };
    const TCase cases[] = {
        {"noextension", "x", "Cannot open unsupported file type", ""},
        {"notes.doc", "x", "Cannot open unsupported file type", ""},
        {"broken.opml", "<opml><body><outline></body></opml>", "Unable to import file broken.opml",
         "Error Element start outline does not match element end body"},
        {"page.opml", "Not found.", "Unable to import file page.opml", "Invalid opml document"},
        {"other.mm", "<opml/>", "Unable to import file other.mm", "Invalid FreeMind document"},
        {"wide.txt",
         "\xFE\xFF\x00"
         "A",
         "Unsupported text encoding", ""},
        {"damaged.cvmx", "PK\x03\x04 no archive", "Cannot open the archive damaged.cvmx", ""},
        {"nodocument.cvmx", MakeZip({{"images/a.png", MakePng(1, 1)}}), "holds no mind map document", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TErrorCatcher catcher;
        auto storage = Storage(dir.Write(c.Name, c.Bytes));
        EXPECT_THAT([&] { storage->Load(); }, testing::ThrowsMessage<ECVException>(testing::HasSubstr(c.Message)));
        EXPECT_FALSE(storage->Loaded());
        if (*c.Reported) {
            ASSERT_EQ(catcher.Errors.size(), 1u);
            EXPECT_THAT(catcher.Errors[0], testing::StartsWith(c.Reported));
        } else {
            EXPECT_TRUE(catcher.Errors.empty());
        }
    }
    auto missing = Storage((dir.Path() / "missing.opml").string());
    EXPECT_THAT([&] { missing->Load(); }, testing::ThrowsMessage<ECVException>(testing::HasSubstr("missing.opml")));
}

TEST(TViewerMindMapStorage, ImportsReachTheMapAsNativeText) {
    TTempDir dir;
    const std::string path = dir.Write("outline.txt", "Root\n\ta &lt; b\n\t[\n\tnote & more\n\t]\n");
    TOpened opened(path);
    EXPECT_THAT(opened.Storage->GetDocumentText(), testing::StartsWith("<?xml"));
    EXPECT_THAT(opened.Storage->GetDocumentText(), testing::HasSubstr("<!DOCTYPE corvella-mindmaps>"));
    ASSERT_EQ(opened.Map.TopicCount(), 2);
    EXPECT_EQ(opened.Map.TopicAt(1)->Text(), "a &lt; b");
    EXPECT_EQ(opened.Map.TopicAt(1)->Note(), "note & more");
    ASSERT_NE(opened.Map.TopicAt(0)->LayoutOptions(), nullptr);
    EXPECT_EQ(opened.Map.TopicAt(0)->LayoutOptions()->Mode, nlmStrictHorizontal);
    EXPECT_EQ(opened.Map.SelectedElement(), opened.Map.TopicAt(0));
}

TEST(TViewerMindMapStorage, CopiesTheFileByteForByte) {
    TTempDir dir;
    const std::string bytes = MakeZip({{"document/mindmap.xml", NativeDocument(kTopics)}});
    auto storage = Storage(dir.Write("a.cvmx", bytes));
    const std::string copy = (dir.Path() / "copy.cvmx").string();
    storage->SaveCopyTo(copy);
    EXPECT_EQ(ReadAll(copy), bytes);
    EXPECT_THAT([&] { storage->SaveCopyTo((dir.Path() / "no" / "copy.cvmx").string()); },
                testing::ThrowsMessage<ECVException>(testing::StartsWith("Cannot create copy.cvmx")));
    // a file that went away is not copied, and that is no error
    std::filesystem::remove(storage->Path());
    const std::string again = (dir.Path() / "again.cvmx").string();
    EXPECT_NO_THROW(storage->SaveCopyTo(again));
    EXPECT_FALSE(std::filesystem::exists(again));
}
