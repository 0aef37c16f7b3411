#include "platform/ZipArchives.h"

#include "formats/CvmxArchivers.h"

#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::HasSubstr;
using testing::ThrowsMessage;

TEST(TZipArchive, ExtractsByStoredNameWhateverTheSeparatorOrCase) {
    auto archive = TZipArchive::FromBytes(MakeZip({{"Document\\MindMap.xml", "<x/>"}, {"images/a.png", "p"}}));
    std::string bytes;
    ASSERT_TRUE(archive->Extract("document/mindmap.xml", bytes));
    EXPECT_EQ(bytes, "<x/>");
    EXPECT_FALSE(archive->Extract("document/other.xml", bytes));
}

TEST(TZipArchive, ListsEntriesByExtensionWithTheirFolder) {
    auto archive = TZipArchive::FromBytes(
        MakeZip({{"images/a.PNG", "1"}, {"images/sub/b.png", "2"}, {"c.png", "3"}, {"images/d.jpg", "4"}}));
    const std::vector<TZipEntry> entries = archive->ListEntries(".png");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].Folder, "images");
    EXPECT_EQ(entries[0].FileName, "a.PNG");
    EXPECT_EQ(entries[1].Folder, "images/sub");
    EXPECT_EQ(entries[2].Folder, "");
    EXPECT_EQ(entries[2].FileName, "c.png");
}

TEST(TZipArchive, InflatingPastTheLimitsIsAnErrorNotAnAllocation) {
    const std::string zeros(1 << 20, '\0'); // a megabyte of zeros deflates to about a kilobyte
    const std::string zipped = MakeZip({{"big.bin", zeros}, {"small.bin", "abc"}});
    ASSERT_LT(zipped.size(), 8000u);
    {
        auto archive = TZipArchive::FromBytes(zipped);
        std::string bytes;
        EXPECT_THAT([&] { archive->Extract("big.bin", bytes, 1000); },
                    ThrowsMessage<EZipError>(HasSubstr("too large")));
        EXPECT_TRUE(bytes.empty());
    }
    {
        auto archive = TZipArchive::FromBytes(zipped);
        archive->SetTotalLimit(1 << 20);
        std::string bytes;
        ASSERT_TRUE(archive->Extract("big.bin", bytes));
        EXPECT_THAT([&] { archive->Extract("small.bin", bytes); }, ThrowsMessage<EZipError>(HasSubstr("too large")));
    }
}

TEST(TZipArchive, DamagedArchivesGiveClearErrors) {
    const std::string text(4000, 'x');
    const std::string zipped = MakeZip({{"document/mindmap.xml", text + "tail"}});
    // a truncated archive has lost its central directory
    EXPECT_THROW(TZipArchive::FromBytes(zipped.substr(0, zipped.size() / 2)), EZipError);
    // flipped bytes in the deflated data fail the inflation or the checksum
    std::string damaged = zipped;
    const std::size_t dataStart = 30 + std::string("document/mindmap.xml").size();
    for (std::size_t i = dataStart + 2; i < dataStart + 12; ++i)
        damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
    auto archive = TZipArchive::FromBytes(damaged);
    std::string bytes;
    EXPECT_THROW(archive->Extract("document/mindmap.xml", bytes), EZipError);
}

TEST(CvmxArchivers, AFileWithoutTheZipSignatureIsBareXml) {
    EXPECT_EQ(ReadNativeDocumentBytes("<a/>").DocumentText, "<a/>");
    EXPECT_FALSE(ReadNativeDocumentBytes("PK").IsArchive);
    EXPECT_EQ(ReadNativeDocumentBytes("\xEF\xBB\xBF<a>\xC3\xA9</a>").DocumentText, "<a>\xC3\xA9</a>");
    EXPECT_EQ(ReadNativeDocumentBytes(std::string("<a/>\0<b/>", 9)).DocumentText, "<a/>");
    EXPECT_EQ(ReadNativeDocumentBytes("<a>\xE9</a>").DocumentText, "<a>\xEF\xBF\xBD</a>");
}

TEST(CvmxArchivers, AnArchiveYieldsItsDocumentAndThePicturesOfTheImagesFolder) {
    const std::string utf16("\xFF\xFE<\0a\0/\0>\0", 10);
    const TNativeDocumentFile file = ReadNativeDocumentBytes(MakeZip({{"document/mindmap.xml", utf16},
                                                                      {"images/k1.png", "png1"},
                                                                      {"Images\\k2.png", "png2"},
                                                                      {"other/k3.png", "png3"},
                                                                      {"images/deeper/k4.png", "png4"}}));
    EXPECT_TRUE(file.IsArchive);
    EXPECT_EQ(file.DocumentText, "<a/>");
    ASSERT_EQ(file.Images.size(), 2u);
    EXPECT_EQ(file.Images[0].Key, "k1");
    EXPECT_EQ(file.Images[0].Bytes, "png1");
    EXPECT_EQ(file.Images[1].Key, "k2");
}

TEST(CvmxArchivers, AnArchiveWithoutADocumentIsAnError) {
    EXPECT_THAT(
        [] {
            ReadNativeDocumentBytes(MakeZip({{"images/a.png", "x"}}), true, "map.cvmx");
        },
        ThrowsMessage<ECVException>(HasSubstr("map.cvmx holds no mind map document")));
    EXPECT_THAT([] { ReadNativeDocumentFile("/nonexistent/map.cvmx"); },
                ThrowsMessage<ECVException>(HasSubstr("Cannot open map.cvmx")));
}
