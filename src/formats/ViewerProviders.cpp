#include "formats/ViewerProviders.h"

#include "formats/CvmxArchivers.h"
#include "formats/XMLFilers.h"
#include "platform/CVStrings.h"
#include "platform/Files.h"
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
    TPicture picture = DecodePngPicture(bytes);
    if (!picture)
        throw ECVException(Format("The picture %s cannot be decoded", key.c_str()));
    return picture;
}
