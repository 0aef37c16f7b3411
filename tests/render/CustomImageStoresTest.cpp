#include "render/CustomImageStores.h"

#include "platform/AppErrors.h"
#include "render/FlatStockIcns.h"

#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

// A store whose pictures are files in a folder, that remembers what it was asked to import.
class TFileStore : public TCustomImageStore {
public:
    explicit TFileStore(const TTempDir& dir) : FDir(dir) {}
    std::string FileNameOf(const std::string& name) const override { return (FDir.Path() / name).string(); }
    std::vector<std::string> Imported;

protected:
    TPicture Load(const std::string&) override { return {}; }
    void ImportName(TCustomImageStore&, const std::string& name) override { Imported.push_back(name); }

private:
    const TTempDir& FDir;
};

struct TRecorder {
    std::vector<std::string> Heard;
    static void Handle(void* owner, const std::string& name, TImageChange change) {
        static_cast<TRecorder*>(owner)->Heard.push_back(name + (change == icRemoved ? " removed" : " changed"));
    }
};

} // namespace

TEST(TPngResourceSurfaceCache, MissingResourcesRaiseAndAreNotCached) {
    TPngResourceSurfaceCache cache;
    EXPECT_THAT([&] { cache.GetSurface("no_such_png"); },
                testing::ThrowsMessage<EResourceNotFound>(testing::StrEq("Resource no_such_png not found")));
    EXPECT_EQ(cache.Count(), 0u);
    const TPicture missing = cache.GetSurface("missing_32_png");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing.Width(), 32);
    EXPECT_TRUE(cache.GetSurface("missing_32_png") == missing); // decoded once
    EXPECT_EQ(cache.Count(), 1u);
    // a resource that is no picture gives none, and nothing is cached
    EXPECT_FALSE(cache.GetSurface("cloud_outline"));
    EXPECT_EQ(cache.Count(), 1u);
    for (const char* name : {"voice_memo_icon_png", "link_png"})
        EXPECT_EQ(ResourcePicture(name).Width(), 32) << name;
    EXPECT_EQ(ResourcePicture("corvella_icon_128").Width(), 128);
}

TEST(TCustomImageStore, SpecialNamesComeFromTheProgramAndAreCachedUnderTheFullName) {
    TNullImageStore store;
    const struct {
        const char* Name;
        TPicture Expected;
    } cases[] = {
        {".icon:ic8_48_ok", FlatStockIconStore().GetSurface("ic8_48_ok")},
        {".ICON:ok", ResourcePicture("tick_png")},
        {".Audio-Recording", ResourcePicture("voice_memo_icon_png")},
        {".corvella-icon", ResourcePicture("corvella_icon_128")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_TRUE(c.Expected);
        EXPECT_TRUE(store.GetSurface(c.Name) == c.Expected);
        std::size_t index = 0;
        EXPECT_TRUE(store.Find(c.Name, index));
    }
    EXPECT_EQ(store.Count(), 4u);
    for (const char* unknown : {".", ".other", ".icon:", ".icon:IC8_48_ok", "ic8_48_ok", ""}) {
        SCOPED_TRACE(unknown);
        EXPECT_FALSE(store.GetSurface(unknown));
    }
    EXPECT_EQ(store.Count(), 4u);
}

TEST(TCustomImageStore, ObserversHearChangesInOrderUntilTheyOrTheStoreGo) {
    TRecorder first, second;
    auto late = std::make_unique<TRecorder>();
    std::unique_ptr<TCustomImageStoreObserver> lateObserver;
    {
        TViewerImageStore store;
        ASSERT_TRUE(store.AddPng("a", MakePng(2, 2)));
        TCustomImageStoreObserver one(&store, &first, &TRecorder::Handle);
        TCustomImageStoreObserver two(&store, &second, &TRecorder::Handle);
        lateObserver = std::make_unique<TCustomImageStoreObserver>(&store, late.get(), &TRecorder::Handle);
        store.Remove("a");
        std::size_t index = 0;
        EXPECT_FALSE(store.Find("a", index));
        store.NotifyImageChanged("b", icChanged);
        EXPECT_EQ(first.Heard, (std::vector<std::string>{"a removed", "b changed"}));
        EXPECT_EQ(second.Heard, first.Heard);
        lateObserver.reset();
        store.NotifyImageChanged("c", icChanged);
        EXPECT_EQ(late->Heard.size(), 2u);
        EXPECT_EQ(first.Heard.size(), 3u);
        lateObserver = std::make_unique<TCustomImageStoreObserver>(&store, late.get(), &TRecorder::Handle);
    }
    EXPECT_EQ(lateObserver->Store(), nullptr); // the store went first; the observer goes quietly later
    lateObserver.reset();
}

TEST(TCustomImageStore, DrawToBitmapMakesOpaqueCopiesAndFailsQuietly) {
    TViewerImageStore viewer;
    ASSERT_TRUE(viewer.AddPng("k", MakePng(5, 3)));
    TPicture bitmap;
    ASSERT_TRUE(viewer.DrawToBitmap("k", bitmap));
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.Height(), 3);
    EXPECT_EQ(cairo_image_surface_get_format(bitmap.Surface()), CAIRO_FORMAT_RGB24);
    EXPECT_FALSE(viewer.DrawToBitmap("other", bitmap));
    EXPECT_EQ(bitmap.Width(), 5); // left alone

    TTempDir dir;
    dir.Write("good.png", MakePng(4, 6));
    dir.Write("bad.png", "no picture");
    TFileStore files(dir);
    TPicture fromFile;
    EXPECT_TRUE(files.DrawToBitmap("good.png", fromFile));
    EXPECT_EQ(fromFile.Height(), 6);
    EXPECT_FALSE(files.DrawToBitmap("bad.png", fromFile));
    EXPECT_FALSE(files.DrawToBitmap("absent.png", fromFile));
    EXPECT_FALSE(viewer.TCustomImageStore::DrawToBitmap("k", fromFile)); // the base store keeps no files
}

TEST(TCustomImageStore, ImportsAndFilesGoThroughTheHooks) {
    TTempDir dir;
    TFileStore files(dir);
    TViewerImageStore source;
    files.ImportNames(source, {"x", "y", "x"});
    EXPECT_EQ(files.Imported, (std::vector<std::string>{"x", "y", "x"}));

    std::vector<std::string> reported;
    const TExceptionHandler previous =
        SetApplicationExceptionHandler([&](const std::exception& e) { reported.push_back(e.what()); });
    EXPECT_EQ(files.AddPictureFromFile(dir.Write("p.png", MakePng(2, 2))), ""); // this store takes no pictures
    EXPECT_TRUE(reported.empty());
    EXPECT_EQ(files.AddPictureFromFile(dir.Write("q.png", "garbage")), "");
    EXPECT_EQ(files.AddPictureFromFile((dir.Path() / "none.png").string()), "");
    SetApplicationExceptionHandler(previous);
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_EQ(reported[0], "Unsupported picture format: q.png");
}

TEST(TCustomImageStore, SupportedGraphicFilesAreKnownByExtension) {
    const struct {
        const char* Name;
        bool Supported;
    } cases[] = {
        {"photo.JPG", true}, {"a/b/c.png", true}, {"scan.tiff", true},     {"x.jpeg", true},     {"anim.gif", true},
        {"doc.pdf", false},  {"png", false},      {"dir.png/file", false}, {"x.png.txt", false}, {".png", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(TCustomImageStore::IsSupportedGraphicFile(c.Name), c.Supported);
    }
}

TEST(TCustomImageStore, PurgeKeepsPicturesThatElementsStillHold) {
    TViewerImageStore store;
    ASSERT_TRUE(store.AddPng("held", MakePng(2, 2)));
    ASSERT_TRUE(store.AddPng("loose", MakePng(2, 2)));
    ASSERT_TRUE(store.AddPng("also loose", MakePng(2, 2)));
    TPicture holder = store.GetSurface("held");
    store.PurgeUnused();
    EXPECT_EQ(store.Count(), 1u);
    EXPECT_EQ(store.NameAt(0), "held");
    holder = TPicture();
    store.PurgeUnused();
    EXPECT_EQ(store.Count(), 0u);
}
