#pragma once

// The viewer's provider: documents are files. A native archive is unpacked (its document text and its pictures),
// a bare native document read as it is, and a foreign outline imported and turned into native text, so that the
// view's map always reads the native vocabulary.

#include "formats/Providers.h"
#include "render/CustomImageStores.h"

#include <memory>
#include <string>

class TViewerProvider : public TMindMapProvider {
public:
    static constexpr std::uint8_t kProviderKind = 1;

    // Registers itself with the process's providers.
    TViewerProvider();

    std::unique_ptr<TMindMapStorage> CreateStorage(const std::string& path) override;
    bool Exists(const std::string& path) const override;
};

// The process's viewer provider.
TViewerProvider& ViewerProvider();

class TViewerMindMapStorage : public TMindMapStorage {
public:
    TViewerMindMapStorage(TMindMapProvider* provider, std::string path);

    TDocumentKind Kind() const { return FKind; }
    bool IsArchive() const { return FIsArchive; }

    // Raises "Cannot open unsupported file type" for a path without a known extension, "Unable to import file
    // <name>" when an import gives no document (the importer's own error goes to the application's error
    // handler first), the archive's or the file's error when those cannot be read or pass their limits, and an
    // error naming kMaxDocumentPicturePixels when the archive's pictures together are larger.
    void Load() override;
    void Unload() override;
    std::string GetDocumentText() const override { return FDocumentText; }
    TCustomImageStore& GetImageStore() override { return *FImageStore; }
    // The file name without folder and extension.
    std::string DisplayNameOf(const std::string& path) const override;
    // A vanished file and errors while copying are ignored; a destination that cannot be made is an error.
    void SaveCopyTo(const std::string& destination) override;

    // The archive picture "images/<key>.png", decoded; null when the document is no archive or holds no such
    // picture. A picture that is too large (the message names the limit) or cannot be decoded raises ECVException.
    TPicture LoadFullImage(const std::string& key) const;

private:
    TDocumentKind FKind = dkNone;
    bool FIsArchive = false;
    std::string FDocumentText;
    std::unique_ptr<TViewerImageStore> FImageStore; // owned
};
