#include "formats/Providers.h"

#include "formats/CvmxWriters.h"
#include "formats/NonNativeFilers.h"
#include "formats/V1MindMapReaders.h"

#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

TEST(KindOfPath, ExtensionsDecideWithoutRegardToCase) {
    struct TCase {
        const char* Path;
        bool Known;
        TDocumentKind Kind;
    };
    const TCase cases[] = {
        {"map.cvmx", true, dkCvmx},       {"/x/MAP.CVMX", true, dkCvmx},
        {"a.pdf", true, dkPdf},           {"a.png", true, dkPng},
        {"a.svg", true, dkSvg},           {"a.html", true, dkHtml},
        {"notes.TXT", true, dkText},      {"a.opml", true, dkOpml},
        {"old.tar.mm", true, dkFreeMind}, {"a.itmz", true, dkItmz},
        {"noextension", false, dkNone},   {"/dir.d/noextension", false, dkNone},
        {"a.doc", false, dkNone},         {"", false, dkNone},
        {"a.txt.bak", false, dkNone},     {"a.", false, dkNone},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Path);
        TDocumentKind kind = dkNone;
        EXPECT_EQ(KindOfPath(c.Path, kind), c.Known);
        if (c.Known) {
            EXPECT_EQ(kind, c.Kind);
        }
    }
    EXPECT_EQ(DocumentKindExtension(dkCvmxOther), ".cvmx");
    EXPECT_EQ(DocumentKindExtension(dkNone), "");
}

TEST(TFilerFactory, ReadersAndWritersByKind) {
    TMindMap map;
    // an empty text is an empty document whatever the kind
    for (int kind : {0, 6, 7, 8, 2}) {
        SCOPED_TRACE(kind);
        map.LoadFromText("", "", true, kind);
        EXPECT_TRUE(map.HasDocument());
        EXPECT_EQ(map.TopicCount(), 0);
        EXPECT_EQ(map.DocumentTitle(), "Empty Mind Map");
    }
    // a kind without importer reads nothing, whatever the text says
    map.LoadFromText("A\n\tB", "", true, dkPdf);
    EXPECT_TRUE(map.HasDocument());
    EXPECT_EQ(map.TopicCount(), 0);
    map.LoadFromText("A\n\tB", "", true, dkText);
    EXPECT_EQ(map.TopicCount(), 2);

    TFilerFactory factory;
    RegisterOutlineFilers(factory);
    EXPECT_NE(dynamic_cast<TPlainTextExporter*>(factory.CreateWriter(map, dkText).get()), nullptr);
    EXPECT_NE(dynamic_cast<THtmlOutlineExporter*>(factory.CreateWriter(map, dkHtml).get()), nullptr);
    // kinds without an exporter of their own get the native writer
    for (int kind : {0, 1, 2, 3, 9, 10, -1, 99})
        EXPECT_NE(dynamic_cast<TCvmxMindMapWriter*>(factory.CreateWriter(map, kind).get()), nullptr) << kind;
    EXPECT_NE(dynamic_cast<TCvmxMindMapReader*>(factory.CreateReader(map, "<x/>", dkCvmxOther).get()), nullptr);
    const std::string legacy = "<?xml version=\"1.0\"?><!-- old --><OrrinexDiagrams format=\"sfDiagram\"/>";
    EXPECT_NE(dynamic_cast<TV1MindMapReader*>(factory.CreateReader(map, legacy, dkCvmx).get()), nullptr);
    EXPECT_NE(dynamic_cast<TPlainTextImporter*>(factory.CreateReader(map, legacy, dkText).get()), nullptr);
    EXPECT_NE(dynamic_cast<TNullMindMapReader*>(factory.CreateReader(map, "<x/>", dkNone).get()), nullptr);
    EXPECT_NE(dynamic_cast<TOpmlImporter*>(factory.CreateReader(map, "<opml/>", dkOpml).get()), nullptr);

    // the first registration of a kind stays
    int calls = 0;
    factory.RegisterReader(dkPdf, [&](TMindMap& m, const std::string&) {
        ++calls;
        return std::unique_ptr<TCVMindMapReaderBase>(std::make_unique<TNullMindMapReader>(m));
    });
    factory.RegisterReader(dkPdf, [](TMindMap&, const std::string&) -> std::unique_ptr<TCVMindMapReaderBase> {
        throw ECVException("the second registration was used");
    });
    factory.RegisterReader(dkText, [](TMindMap&, const std::string&) -> std::unique_ptr<TCVMindMapReaderBase> {
        throw ECVException("the plain-text importer was replaced");
    });
    EXPECT_NO_THROW(factory.CreateReader(map, "x", dkPdf));
    EXPECT_NO_THROW(factory.CreateReader(map, "x", dkText));
    EXPECT_EQ(calls, 1);
}

TEST(ImageAddresses, PrefixAndKey) {
    EXPECT_TRUE(IsImageAddress("map_images://"));
    EXPECT_EQ(ImageAddressKey("map_images://"), "");
    EXPECT_TRUE(IsImageAddress("map_images://ab12"));
    EXPECT_EQ(ImageAddressKey("map_images://ab12"), "ab12");
    EXPECT_FALSE(IsImageAddress("map_images:/"));
    EXPECT_FALSE(IsImageAddress("MAP_IMAGES://ab12"));
    EXPECT_FALSE(IsImageAddress(" map_images://ab12"));
    EXPECT_EQ(ImageAddressKey("https://x"), "");
}

TEST(SameDocumentPath, TheSameFileNotTheSameSpelling) {
    TTempDir dir;
    const std::string lower = dir.Write("map.cvmx", "a");
    const std::string upper = dir.Write("MAP.cvmx", "b");
    const std::string dotted = (dir.Path() / "." / "map.cvmx").string();
    const std::string link = (dir.Path() / "link.cvmx").string();
    std::filesystem::create_symlink(lower, link);
    EXPECT_TRUE(SameDocumentPath(lower, lower));
    EXPECT_TRUE(SameDocumentPath(lower, dotted));
    EXPECT_TRUE(SameDocumentPath(lower, link));
    EXPECT_FALSE(SameDocumentPath(lower, upper));
    const std::string missing = (dir.Path() / "gone.cvmx").string();
    EXPECT_TRUE(SameDocumentPath(missing, (dir.Path() / "sub" / ".." / "gone.cvmx").string()));
    EXPECT_FALSE(SameDocumentPath(missing, lower));
}

namespace {

class TCountingStorage : public TMindMapStorage {
public:
    using TMindMapStorage::TMindMapStorage;
    TCustomImageStore& GetImageStore() override { return NullImageStore(); }
    std::string DisplayNameOf(const std::string& path) const override { return "name of " + path; }
    void SaveCopyTo(const std::string&) override {}
    std::string GetDocumentText() const override { return {}; }
    void Load() override {
        ++Loads;
        TMindMapStorage::Load();
    }
    void Unload() override {
        ++Unloads;
        TMindMapStorage::Unload();
    }
    int Loads = 0;
    int Unloads = 0;
};

class TTestProvider : public TMindMapProvider {
public:
    TTestProvider() : TMindMapProvider(7) { MindMapProviders().Add(this); }
    std::unique_ptr<TMindMapStorage> CreateStorage(const std::string& path) override {
        return std::make_unique<TCountingStorage>(this, path);
    }
    bool Exists(const std::string&) const override { return true; }
};

} // namespace

TEST(TMindMapProvider, StoragesComeAndGoWithTheirProvider) {
    TTempDir dir;
    const std::string path = dir.Write("a.cvmx", "x");
    std::unique_ptr<TMindMapStorage> kept;
    {
        const int before = MindMapProviders().Count();
        TTestProvider provider;
        MindMapProviders().Add(&provider);
        EXPECT_EQ(MindMapProviders().Count(), before + 1);
        auto first = provider.CreateStorage(path);
        kept = provider.CreateStorage((dir.Path() / "b.cvmx").string());
        EXPECT_EQ(provider.StorageCount(), 2);
        EXPECT_EQ(provider.FindStorage((dir.Path() / "." / "a.cvmx").string()), first.get());
        EXPECT_EQ(provider.FindStorage((dir.Path() / "A.cvmx").string()), nullptr);
        EXPECT_EQ(first->GetDisplayName(), "name of " + path);
        first.reset();
        EXPECT_EQ(provider.StorageCount(), 1);
        EXPECT_EQ(kept->Provider(), &provider);
    }
    // the provider went first: its storage is detached and can still go
    EXPECT_EQ(kept->Provider(), nullptr);
    auto& storage = static_cast<TCountingStorage&>(*kept);
    storage.Reload();
    EXPECT_EQ(storage.Loads, 0); // not loaded, nothing to reload
    storage.Load();
    storage.Reload();
    EXPECT_EQ(storage.Loads, 2);
    EXPECT_EQ(storage.Unloads, 1);
    EXPECT_TRUE(storage.Loaded());
}
