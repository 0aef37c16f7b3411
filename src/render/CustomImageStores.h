#pragma once

// The image stores a map draws its pictures from: the null store of a map without document and the store of an
// opened document, with observers that hear when pictures change or go.

#include "render/CairoHandles.h"
#include "render/DiagramPngs.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TCustomImageStoreObserver;

enum TImageChange : std::uint8_t { icChanged, icRemoved };

// The pictures a map draws from. Names starting with "." are special: ".icon:key" is a stock icon,
// ".audio-recording" and ".corvella-icon" are pictures of the program.
class TCustomImageStore : public TNamedPngSurfaceCache {
public:
    ~TCustomImageStore() override;

    TPicture GetSurface(const std::string& name) override;
    // The path of the picture's file; empty when the store keeps no files.
    virtual std::string FileNameOf(const std::string& name) const;
    virtual void Remove(const std::string& name);
    virtual void Clear() { DeleteAll(); }
    // Makes a 24-bit picture of the named one in bitmap; answers false when there is none or anything fails.
    virtual bool DrawToBitmap(const std::string& name, TPicture& bitmap);
    // Takes a new picture and answers its key; stores that accept no pictures answer an empty key.
    virtual std::string AddPicture(const TPicture& picture);

    // Drops every picture that nothing but the store holds.
    void PurgeUnused();
    void NotifyImageChanged(const std::string& name, TImageChange change);
    // Hands each name, in order, to ImportName.
    void ImportNames(TCustomImageStore& source, const std::vector<std::string>& names);
    // Loads a picture file and hands it to AddPicture. A file that cannot be loaded is reported to the
    // application's error handler and gives an empty key.
    std::string AddPictureFromFile(const std::string& fileName);
    // Whether the file's extension is one of the picture formats the program shows.
    static bool IsSupportedGraphicFile(const std::string& fileName);

protected:
    // Takes one picture of another store; stores that accept no pictures ignore it.
    virtual void ImportName(TCustomImageStore& source, const std::string& name);

private:
    friend class TCustomImageStoreObserver;
    std::vector<TCustomImageStoreObserver*> FObservers; // not owned
};

class TCustomImageStoreObserver {
public:
    using THandler = void (*)(void* owner, const std::string& name, TImageChange change);

    TCustomImageStoreObserver(TCustomImageStore* store, void* owner, THandler handler);
    TCustomImageStoreObserver(const TCustomImageStoreObserver&) = delete;
    TCustomImageStoreObserver& operator=(const TCustomImageStoreObserver&) = delete;
    ~TCustomImageStoreObserver();

    TCustomImageStore* Store() const { return FStore; }

private:
    friend class TCustomImageStore;
    TCustomImageStore* FStore; // not owned; null once the store is gone
    void* FOwner;              // not owned
    THandler FHandler;
};

// The store of a map without a document: it knows only the special names.
class TNullImageStore : public TCustomImageStore {
protected:
    TPicture Load(const std::string&) override { return {}; }
};
TNullImageStore& NullImageStore();

// The store of an opened document, filled once from the archive's pictures.
class TViewerImageStore : public TCustomImageStore {
public:
    // Decodes and adds a picture; answers false for bytes that are no usable PNG.
    bool AddPng(const std::string& key, std::string_view bytes);
    bool DrawToBitmap(const std::string& name, TPicture& bitmap) override;

protected:
    TPicture Load(const std::string&) override { return {}; }
};

// How a linked picture file is opened.
enum TLinkedImageOpening : std::uint8_t { lioPreview, lioSystemDefault, lioExternalViewer };

struct TImageStoreOptions {
    TLinkedImageOpening LinkedImageOpening = lioPreview;
    std::string ExternalImageViewer;
};
TImageStoreOptions& ImageStoreOptions();
