#pragma once

// Opening documents: the document kinds by extension, the filer factory that picks the reader of a text and the
// writer of a map, and the provider/storage layer through which a path becomes a document text and its pictures.

#include "formats/CVFilers.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TCustomImageStore;
class TMindMapStorage;

enum TDocumentKind : std::uint8_t {
    dkCvmx,      // ".cvmx": native document
    dkCvmxOther, // ".cvmx" too, never matched: dkCvmx comes first
    dkPdf,
    dkPng,
    dkSvg,
    dkHtml,     // the HTML outline
    dkText,     // TAB-indented outline
    dkOpml,     //
    dkFreeMind, // ".mm"
    dkItmz,
    dkNone, // no extension
};

// The extension of a kind (".cvmx"); empty for dkNone.
std::string_view DocumentKindExtension(TDocumentKind kind);
// The kind of a path by its extension, compared without regard to case; false for a path without extension
// and for an extension no kind has.
bool KindOfPath(const std::string& path, TDocumentKind& kind);

using TReaderFactory = std::function<std::unique_ptr<TCVMindMapReaderBase>(TMindMap& map, const std::string& text)>;
using TWriterFactory = std::function<std::unique_ptr<TCVMindMapWriterBase>(TMindMap& map)>;

// Readers and writers of the document kinds, registered by the kinds' extensions.
class TFilerFactory {
public:
    // A kind whose extension is registered already keeps its first registration.
    void RegisterReader(TDocumentKind kind, TReaderFactory factory);
    void RegisterWriter(TDocumentKind kind, TWriterFactory factory);

    // An empty text gives the null reader (an empty document); the native kinds the native reader; any other
    // kind its registered importer, or the null reader. The reader parses the text while it is made.
    std::unique_ptr<TCVMindMapReaderBase> CreateReader(TMindMap& map, const std::string& text, int kind) const;
    // The registered exporter of the kind, otherwise the native writer.
    std::unique_ptr<TCVMindMapWriterBase> CreateWriter(TMindMap& map, int kind) const;

private:
    static std::string KeyOf(int kind);

    std::vector<std::pair<std::string, TReaderFactory>> FReaders;
    std::vector<std::pair<std::string, TWriterFactory>> FWriters;
};

// The process's filer factory, with the outline importers and exporters registered on first use.
TFilerFactory& FilerFactory();

// The map's text in a writer kind (6 the plain outline, 0 the native document), of the whole map or of the
// selected branches.
std::string SaveToText(TMindMap& map, int kind, bool selectedBranchesOnly);

// Pictures of a document's archive are addressed as "map_images://" followed by their key.
constexpr std::string_view kImageAddressPrefix = "map_images://";
bool IsImageAddress(std::string_view text);
// The key of an image address; empty for any other text.
std::string ImageAddressKey(std::string_view address);

// Whether two paths name the same file: the same device and inode when both exist, otherwise the same absolute,
// normalised path. Case counts: these are different files on Linux.
bool SameDocumentPath(const std::string& a, const std::string& b);

// A source of documents. The storages opened through it register themselves and leave when they are destroyed;
// a provider that goes first detaches them.
class TMindMapProvider {
public:
    explicit TMindMapProvider(std::uint8_t kind) : FKind(kind) {}
    TMindMapProvider(const TMindMapProvider&) = delete;
    TMindMapProvider& operator=(const TMindMapProvider&) = delete;
    virtual ~TMindMapProvider();

    std::uint8_t Kind() const { return FKind; }
    int StorageCount() const { return static_cast<int>(FStorages.size()); }
    TMindMapStorage* StorageAt(int index) const { return FStorages.at(static_cast<std::size_t>(index)); }
    // An open storage of the same file, or null.
    TMindMapStorage* FindStorage(const std::string& path) const;

    virtual std::unique_ptr<TMindMapStorage> CreateStorage(const std::string& path) = 0;
    virtual bool Exists(const std::string& path) const = 0;
    // The provider's name as the window title shows it.
    virtual std::string DisplayName() const { return {}; }

private:
    friend class TMindMapStorage;

    std::uint8_t FKind;
    std::vector<TMindMapStorage*> FStorages; // not owned
};

// The process's providers, without duplicates.
class TMindMapProviders {
public:
    void Add(TMindMapProvider* provider);
    void Remove(TMindMapProvider* provider);
    int Count() const { return static_cast<int>(FProviders.size()); }
    TMindMapProvider* At(int index) const { return FProviders.at(static_cast<std::size_t>(index)); }

private:
    std::vector<TMindMapProvider*> FProviders; // not owned
};
TMindMapProviders& MindMapProviders();

// One document opened through a provider: it loads the file and hands out the native document text and the
// pictures the map draws from.
class TMindMapStorage {
public:
    TMindMapStorage(TMindMapProvider* provider, std::string path);
    TMindMapStorage(const TMindMapStorage&) = delete;
    TMindMapStorage& operator=(const TMindMapStorage&) = delete;
    virtual ~TMindMapStorage();

    const std::string& Path() const { return FPath; }
    TMindMapProvider* Provider() const { return FProvider; }
    bool Loaded() const { return FLoaded; }

    virtual std::string GetPath() const { return FPath; }
    virtual TCustomImageStore& GetImageStore() = 0;
    std::string GetDisplayName() const { return DisplayNameOf(FPath); }
    virtual std::string DisplayNameOf(const std::string& path) const = 0;
    virtual void Unload() { FLoaded = false; }
    // Copies the document's file byte for byte.
    virtual void SaveCopyTo(const std::string& destination) = 0;
    virtual std::string GetDocumentText() const = 0;
    virtual std::string GetExtraText() const { return {}; }
    virtual void Load() { FLoaded = true; }
    // Loads again when loaded.
    void Reload();

private:
    friend class TMindMapProvider;

    TMindMapProvider* FProvider; // not owned; null once the provider is gone
    std::string FPath;
    bool FLoaded = false;
};
