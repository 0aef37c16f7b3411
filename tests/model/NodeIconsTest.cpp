#include "model/NodeIcons.h"

#include "formats/CVFilers.h"
#include "model/CVMindMaps.h"
#include "render/CustomImageStores.h"
#include "render/StockIcns.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// A stock store that knows a few keys, each with a square picture of the given side.
class TFakeStockStore : public TStockIconStore {
public:
    TFakeStockStore() { StockIconStores().AddStore(this); }
    ~TFakeStockStore() override { StockIconStores().RemoveStore(this); }
    int GetCount() const override { return 2; }
    const TImageList& GetImageList() override { return FList; }
    TPicture GetSurface(const std::string& key) override {
        if (key == "big")
            return DecodePngPicture(MakePng(64, 64));
        if (key == "small")
            return DecodePngPicture(MakePng(32, 32));
        return {};
    }

private:
    TImageList FList{16, 16};
};

// A map whose image store holds pictures of the given sizes under their keys.
class TPictureFixture : public testing::Test {
protected:
    void AddPicture(const std::string& key, int width, int height) {
        ASSERT_TRUE(Store.AddPng(key, MakePng(width, height)));
    }
    TMindMapNode* NewTopic() {
        TMindMapNode* topic = Map.NewTopic({100, 50}, false);
        Map.RebuildCentralThemes();
        return topic;
    }

    TViewerImageStore Store;
    TMindMap Map;
};

void ExpectSize(TFloatPoint size, double width, double height) {
    EXPECT_NEAR(size.X, width, 0.005);
    EXPECT_NEAR(size.Y, height, 0.005);
}

} // namespace

TEST_F(TPictureFixture, ImagesKeepTheirShorterSideAtTwentyFourUnitsAtLeast) {
    AddPicture("k40x30", 40, 30);
    AddPicture("k100x50", 100, 50);
    Map.SetImageStore(&Store);
    TMindMapNode* topic = NewTopic();

    TMindMapImage* small = topic->AddImage("k40x30", "");
    ExpectSize(small->DisplaySize(), 32, 24);
    EXPECT_DOUBLE_EQ(small->Scale(), 1.5);

    TMindMapImage* clipped = topic->AddImage("k100x50", "");
    clipped->SetClip(clsCircle);
    ExpectSize(clipped->DisplaySize(), 26.67, 26.67);
    EXPECT_NEAR(clipped->ClipOffset().X, 13.33, 0.005);
    EXPECT_EQ(clipped->ClipOffset().Y, 0);

    TMindMapImage* missing = topic->AddImage("nothing", "");
    ExpectSize(missing->DisplaySize(), 32, 32);
    TMindMapImage* thumbnail = topic->AddImage("nothing", "k40x30"); // the thumbnail is shown when present
    ExpectSize(thumbnail->DisplaySize(), 32, 24);
    missing->SetScale(1e9);
    EXPECT_EQ(missing->Scale(), 10);
}

TEST_F(TPictureFixture, CustomIconsAndEmbeddedImagesAreSizedFromPictureScaleAndClip) {
    AddPicture("k64", 64, 64);
    AddPicture("k3000x1000", 3000, 1000);
    AddPicture("k40x30", 40, 30);
    AddPicture("k1", 1, 1);
    Map.SetImageStore(&Store);

    TCustomIcon natural(Map, "#k64");
    ExpectSize(natural.GetSize(), 40, 40);
    TCustomIcon scaled(Map, "#k64");
    scaled.SetScale(4);
    ExpectSize(scaled.GetSize(), 96, 96);
    TCustomIcon tiny(Map, "#k1");
    ExpectSize(tiny.GetSize(), 24, 24);
    TCustomIcon clipped(Map, "#k40x30");
    clipped.SetClip(clsCircle);
    ExpectSize(clipped.GetSize(), 18.75, 18.75);
    EXPECT_NEAR(clipped.ClipOffset().X, 3.125, 1e-9);

    TEmbeddedImage wide(Map, "k3000x1000");
    ExpectSize(wide.GetSize(), 2000, 666.67);
    wide.SetScale(100);
    EXPECT_EQ(wide.Scale(), 15);

    TMindMapNode* topic = NewTopic();
    topic->EnsureLink().SetPhoneContact("+49 30 1234", "k40x30");
    ExpectSize(topic->Link()->LinkIcon().GetSize(), 31, 18.75);
}

TEST_F(TPictureFixture, StockIconsTakeFiveEighthsOfSmallPicturesAndHalfOfLargeOnes) {
    TFakeStockStore stock;
    TStockIcon big("big");
    ExpectSize(big.GetSize(), 32, 32);
    TStockIcon small("small");
    ExpectSize(small.GetSize(), 20, 20);

    TMindMapNode* topic = NewTopic();
    topic->EnsureLink().SetPhoneContact("+49 30 1234", "");
    TNodeIcon& contact = topic->Link()->LinkIcon();
    EXPECT_EQ(contact.Name(), "ic8_96_id_card");
    ExpectSize(contact.GetSize(), 48, 48); // the program's own 96-pixel picture

    // the store of a map answers ".icon:" names from the stock stores and keeps them
    EXPECT_TRUE(Store.GetSurface(".icon:big"));
    std::size_t index = 0;
    EXPECT_TRUE(Store.Find(".icon:big", index));
    EXPECT_FALSE(Store.GetSurface(".icon:unknown"));
}

TEST_F(TPictureFixture, SettingTopicDecorations) {
    TMindMapNode* topic = NewTopic();
    topic->SetIcon("#key");
    ASSERT_NE(dynamic_cast<TCustomIcon*>(topic->Icon()), nullptr);
    EXPECT_EQ(static_cast<TCustomIcon*>(topic->Icon())->ImageKey(), "key");
    EXPECT_DOUBLE_EQ(static_cast<TCustomIcon*>(topic->Icon())->EffectiveScale(), 1.171875);
    topic->SetIcon("ic8_48_ok");
    EXPECT_NE(dynamic_cast<TStockIcon*>(topic->Icon()), nullptr);
    topic->SetIcon("");
    EXPECT_EQ(topic->Icon(), nullptr);
    topic->SetEmbeddedImage("photo");
    EXPECT_DOUBLE_EQ(topic->EmbeddedImage()->Scale(), TEmbeddedImage::kDefaultScale);
    std::vector<std::string> names;
    topic->CollectImageNames(names);
    EXPECT_EQ(names, std::vector<std::string>{"photo"});
}

TEST(TDiagramLink, EachKindKeepsOnlyItsFieldsAndKnowsWhetherItIsValid) {
    TMindMap map;
    TDiagramLink link(map);
    EXPECT_FALSE(link.Valid());
    link.SetCloudMapReference("maps\\plan.cvmx", "E1", "native", "mark");
    EXPECT_EQ(link.Target(), "/maps/plan.cvmx");
    EXPECT_EQ(link.Element(), "E1");
    EXPECT_TRUE(link.Valid());
    link.SetUrl("");
    EXPECT_EQ(link.Kind(), lkUrl);
    EXPECT_EQ(link.Element(), "");
    EXPECT_EQ(link.Native(), "");
    EXPECT_FALSE(link.Valid());
    link.SetDiagramReference("other.cvmx", ""); // diagram references leave the validity alone
    EXPECT_FALSE(link.Valid());
    EXPECT_EQ(link.LinkIcon().Name(), "link_png");

    const std::pair<const char*, const char*> paths[] = {
        {"a/b", "/a/b"}, {"/a", "/a"}, {"./a", "./a"}, {"C:\\x", "C:/x"}, {"\\\\server\\share", "//server/share"}};
    for (const auto& [target, normalized] : paths) {
        SCOPED_TRACE(target);
        EXPECT_EQ(NormalizeCloudPath(target), normalized);
    }
}

TEST(TCustomImageStore, PngDecodingRefusesDamagedAndOversizedPictures) {
    EXPECT_TRUE(DecodePngPicture(MakePng(3, 2)));
    EXPECT_EQ(DecodePngPicture(MakePng(3, 2)).Width(), 3);
    std::string png = MakePng(3, 2);
    EXPECT_FALSE(DecodePngPicture(png.substr(0, png.size() / 2)));
    EXPECT_FALSE(DecodePngPicture("not a picture"));
    png[16] = '\x7F'; // a width of about two billion pixels in the header
    EXPECT_FALSE(DecodePngPicture(png));
}

TEST_F(TPictureFixture, RemovingAPictureReloadsTheElementsThatShowIt) {
    AddPicture("k40x30", 40, 30);
    Map.SetImageStore(&Store);
    TMindMapImage* image = NewTopic()->AddImage("k40x30", "");
    ExpectSize(image->DisplaySize(), 32, 24);
    Store.Remove("k40x30");
    EXPECT_FALSE(image->Surface());
    ExpectSize(image->DisplaySize(), 32, 32);
    // a store that goes away detaches the map's observer
    {
        TViewerImageStore temporary;
        Map.SetImageStore(&temporary);
        Map.SetImageStore(nullptr);
    }
    EXPECT_EQ(&Map.ImageStore(), &NullImageStore());
}

TEST_F(TPictureFixture, PurgeDropsOnlyPicturesNobodyElseHolds) {
    AddPicture("used", 4, 4);
    AddPicture("unused", 4, 4);
    Map.SetImageStore(&Store);
    NewTopic()->AddImage("used", "");
    Store.PurgeUnused();
    std::size_t index = 0;
    EXPECT_TRUE(Store.Find("used", index));
    EXPECT_FALSE(Store.Find("unused", index));
}

TEST(TCvmxMindMapReader, TopicDecorationsAreRead) {
    TMindMap map;
    map.LoadFromText(NativeDocument(R"(<topic id="0" icon="ic8_48_ok" icon-scale="2"/>)"
                                    R"(<topic id="1" parent="0" icon="#custom" icon-scale="0.5">)"
                                    R"(<embedded-image name="photo" scale="3" clip="CIRCLE" link="http://x">)"
                                    R"(<source type="drawing" source="d" scribble="s"/></embedded-image>)"
                                    R"(<link urllink="" email-contact="a@b.c" thumbnail="face"/>)"
                                    R"(<hull visible="True"><fillcolor r="1" g="2" b="3"/></hull></topic>)"
                                    R"(<topic id="2" parent="0" diagramref="other.cvmx"><hull visible="False"/>)"
                                    R"(</topic>)"),
                     "", true, 0);
    const TMindMapNode* root = map.TopicAt(0);
    ASSERT_NE(root->Icon(), nullptr);
    EXPECT_EQ(root->Icon()->Scale(), 0); // stock icons keep their natural size
    const TMindMapNode* decorated = map.TopicAt(1);
    EXPECT_DOUBLE_EQ(decorated->Icon()->Scale(), 0.5);
    const TEmbeddedImage* embedded = decorated->EmbeddedImage();
    ASSERT_NE(embedded, nullptr);
    EXPECT_DOUBLE_EQ(embedded->Scale(), 3);
    EXPECT_EQ(embedded->Clip(), clsCircle);
    EXPECT_EQ(embedded->Link, "http://x");
    ASSERT_NE(embedded->Source, nullptr);
    EXPECT_EQ(embedded->Source->Kind, iskDrawing);
    EXPECT_EQ(embedded->Source->Scribble, "s");
    ASSERT_NE(decorated->Link(), nullptr);
    EXPECT_EQ(decorated->Link()->Kind(), lkEmailContact);
    EXPECT_EQ(decorated->Link()->Thumbnail(), "face");
    ASSERT_NE(decorated->Hull(), nullptr);
    EXPECT_TRUE(decorated->Hull()->HasFill);
    EXPECT_EQ(decorated->Hull()->FillColor, RGBColor(1, 2, 3));
    const TMindMapNode* referring = map.TopicAt(2);
    ASSERT_NE(referring->Link(), nullptr);
    EXPECT_EQ(referring->Link()->Kind(), lkDiagram);
    EXPECT_EQ(referring->Link()->Target(), "other.cvmx");
    EXPECT_EQ(referring->Hull(), nullptr);
}
