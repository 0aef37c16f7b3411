#include "formats/ViewerProviders.h"

#include "formats/CvmxArchivers.h"
#include "formats/XMLFilers.h"
#include "platform/CVStrings.h"
#include "platform/Files.h"
#include "platform/ResourceLimits.h"
#include "platform/ZipArchives.h"
#include "render/DiagramPngs.h"
#include "styling/CVStyleManager.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

constexpr std::string_view kImportStyleSheet = "system.natural-material-colors";

// The pictures of an archive are all decoded when it is opened: their sizes, read from their headers, must fit
// the document's budget together. Pictures that pass the limit of one picture are skipped when decoded, so they
// do not count.
void CheckPicturePixels(const std::vector<TArchiveImage>& images, const std::string& fileName) {
    std::uint64_t total = 0;
    for (const TArchiveImage& image : images) {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        if (!ReadPictureSize(image.Bytes, width, height) || !PictureSizeRefusal(width, height).empty())
            continue;
        total += std::uint64_t{width} * height;
        if (total > kMaxDocumentPicturePixels)
            throw ECVException(Format("The pictures of %s are too large to open: together they have more than %llu "
                                      "pixels",
                                      fileName.c_str(), static_cast<unsigned long long>(kMaxDocumentPicturePixels)));
    }
}

// An outline file imported into a scratch map with the import style sheet, as native document text.
std::string ImportOutline(const std::string& path, TDocumentKind kind) {
    TMindMap scratch;
    scratch.SetStyleSheet(StyleManager().FindSheet(kImportStyleSheet));
    const std::string text = ReadTextFile(path, kind);
    // the importer's own error goes to the application's handler; what the user is told here is that the
    // import failed
    scratch.LoadFromText(text, "", false, kind);
    if (!scratch.HasDocument())
        throw ECVException(Format("Unable to import file %s", ExtractFileName(path).c_str()));
    return SaveToText(scratch, dkCvmx, false);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Provider

TViewerProvider::TViewerProvider() : TMindMapProvider(kProviderKind) {
    MindMapProviders().Add(this);
}

std::unique_ptr<TMindMapStorage> TViewerProvider::CreateStorage(const std::string& path) {
    return std::make_unique<TViewerMindMapStorage>(this, path);
}

bool TViewerProvider::Exists(const std::string& path) const {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

TViewerProvider& ViewerProvider() {
    static TViewerProvider provider;
    return provider;
}

// ---------------------------------------------------------------------------------------------------------------
// Storage

TViewerMindMapStorage::TViewerMindMapStorage(TMindMapProvider* provider, std::string path)
    : TMindMapStorage(provider, std::move(path)), FImageStore(std::make_unique<TViewerImageStore>()) {}

void TViewerMindMapStorage::Load() {
    FDocumentText.clear();
    FIsArchive = false;
    FImageStore->Clear();
    if (!KindOfPath(Path(), FKind)) {
        FKind = dkNone;
        throw ECVException("Cannot open unsupported file type");
    }
    switch (FKind) {
    case dkCvmx:
    case dkCvmxOther: {
        TNativeDocumentFile file = ReadNativeDocumentFile(Path(), true);
        FIsArchive = file.IsArchive;
        CheckPicturePixels(file.Images, ExtractFileName(Path()));
        // a picture that is no usable PNG is skipped: the topics naming it show no picture
        for (const TArchiveImage& image : file.Images)
            FImageStore->AddPng(image.Key, image.Bytes);
        FDocumentText = std::move(file.DocumentText);
        break;
    }
    case dkText:
    case dkOpml:
    case dkFreeMind:
        FDocumentText = ImportOutline(Path(), FKind);
        break;
    default:
        // other kinds show an empty document
        break;
    }
    TMindMapStorage::Load();
}

void TViewerMindMapStorage::Unload() {
    FDocumentText.clear();
    FImageStore->Clear();
    TMindMapStorage::Unload();
}

std::string TViewerMindMapStorage::DisplayNameOf(const std::string& path) const {
    std::string name = ExtractFileName(path);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

void TViewerMindMapStorage::SaveCopyTo(const std::string& destination) {
    std::ifstream in(Path(), std::ios::binary);
    if (!in)
        return; // the file went away meanwhile
    std::ofstream out(destination, std::ios::binary | std::ios::trunc);
    if (!out)
        throw ECVException(Format("Cannot create %s: %s", ExtractFileName(destination).c_str(), std::strerror(errno)));
    // errors while the bytes are copied are not reported
    out << in.rdbuf();
}

TPicture TViewerMindMapStorage::LoadFullImage(const std::string& key) const {
    if ((FKind != dkCvmx && FKind != dkCvmxOther) || !FIsArchive)
        return {};
    TZipArchive archive(Path());
    std::string bytes;
    if (!archive.Extract("images/" + key + ".png", bytes, kMaxPictureEntryBytes))
        return {};
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (ReadPictureSize(bytes, width, height))
        if (const std::string refusal = PictureSizeRefusal(width, height); !refusal.empty())
            throw ECVException(Format("The picture %s is too large: %s", key.c_str(), refusal.c_str()));
    TPicture picture = DecodePngPicture(bytes);
    if (!picture)
        throw ECVException(Format("The picture %s cannot be decoded", key.c_str()));
    return picture;
}
