#include "formats/Providers.h"

#include "formats/CvmxWriters.h"
#include "formats/NonNativeFilers.h"
#include "formats/V1MindMapReaders.h"
#include "platform/CVStrings.h"
#include "platform/Files.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>

namespace {

constexpr std::array<std::string_view, 10> kExtensions = {".cvmx", ".cvmx", ".pdf",  ".png", ".svg",
                                                          ".html", ".txt",  ".opml", ".mm",  ".itmz"};

template <typename TFactory>
const TFactory* Find(const std::vector<std::pair<std::string, TFactory>>& list, const std::string& key) {
    if (key.empty())
        return nullptr;
    for (const auto& [name, factory] : list)
        if (SameText(name, key))
            return &factory;
    return nullptr;
}

template <typename TFactory>
void Register(std::vector<std::pair<std::string, TFactory>>& list, const std::string& key, TFactory factory) {
    if (key.empty() || Find(list, key) || !factory)
        return;
    list.emplace_back(key, std::move(factory));
}

} // namespace

std::string_view DocumentKindExtension(TDocumentKind kind) {
    return kind < kExtensions.size() ? kExtensions[kind] : std::string_view();
}

bool KindOfPath(const std::string& path, TDocumentKind& kind) {
    const std::string name = ExtractFileName(path);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos)
        return false;
    const std::string_view extension = std::string_view(name).substr(dot);
    for (std::size_t i = 0; i < kExtensions.size(); ++i)
        if (SameText(kExtensions[i], extension)) {
            kind = static_cast<TDocumentKind>(i);
            return true;
        }
    return false;
}

// ---------------------------------------------------------------------------------------------------------------
// Filer factory

std::string TFilerFactory::KeyOf(int kind) {
    return kind >= 0 && kind < dkNone ? std::string(DocumentKindExtension(static_cast<TDocumentKind>(kind)))
                                      : std::string();
}

void TFilerFactory::RegisterReader(TDocumentKind kind, TReaderFactory factory) {
    Register(FReaders, KeyOf(kind), std::move(factory));
}

void TFilerFactory::RegisterWriter(TDocumentKind kind, TWriterFactory factory) {
    Register(FWriters, KeyOf(kind), std::move(factory));
}

std::unique_ptr<TCVMindMapReaderBase> TFilerFactory::CreateReader(TMindMap& map, const std::string& text,
                                                                  int kind) const {
    if (text.empty())
        return std::make_unique<TNullMindMapReader>(map);
    if (kind == dkCvmx || kind == dkCvmxOther) {
        // the oldest maps share the extension but are diagrams of another vocabulary
        if (IsLegacyDiagramText(text))
            return std::make_unique<TV1MindMapReader>(map, text);
        return std::make_unique<TCvmxMindMapReader>(map, text);
    }
    if (const TReaderFactory* factory = Find(FReaders, KeyOf(kind)))
        return (*factory)(map, text);
    return std::make_unique<TNullMindMapReader>(map);
}

std::unique_ptr<TCVMindMapWriterBase> TFilerFactory::CreateWriter(TMindMap& map, int kind) const {
    if (kind != dkCvmx && kind != dkCvmxOther)
        if (const TWriterFactory* factory = Find(FWriters, KeyOf(kind)))
            return (*factory)(map);
    return std::make_unique<TCvmxMindMapWriter>(map);
}

TFilerFactory& FilerFactory() {
    static TFilerFactory factory;
    static const bool registered = (RegisterOutlineFilers(factory), true);
    (void)registered;
    return factory;
}

std::string SaveToText(TMindMap& map, int kind, bool selectedBranchesOnly) {
    return FilerFactory().CreateWriter(map, kind)->Write(selectedBranchesOnly);
}

// ---------------------------------------------------------------------------------------------------------------
// Addresses and paths

bool IsImageAddress(std::string_view text) {
    return text.size() >= kImageAddressPrefix.size() &&
           text.substr(0, kImageAddressPrefix.size()) == kImageAddressPrefix;
}

std::string ImageAddressKey(std::string_view address) {
    return IsImageAddress(address) ? std::string(address.substr(kImageAddressPrefix.size())) : std::string();
}

bool SameDocumentPath(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) {
        const bool same = fs::equivalent(a, b, error);
        if (!error)
            return same;
    }
    const auto normal = [](const std::string& path) {
        std::error_code ignored;
        fs::path result = fs::weakly_canonical(fs::absolute(path, ignored), ignored);
        return result.empty() ? fs::path(path).lexically_normal() : result;
    };
    return normal(a) == normal(b);
}

// ---------------------------------------------------------------------------------------------------------------
// Providers and storages

TMindMapProvider::~TMindMapProvider() {
    for (TMindMapStorage* storage : FStorages)
        storage->FProvider = nullptr;
    MindMapProviders().Remove(this);
}

TMindMapStorage* TMindMapProvider::FindStorage(const std::string& path) const {
    for (TMindMapStorage* storage : FStorages)
        if (SameDocumentPath(storage->Path(), path))
            return storage;
    return nullptr;
}

void TMindMapProviders::Add(TMindMapProvider* provider) {
    if (provider && std::find(FProviders.begin(), FProviders.end(), provider) == FProviders.end())
        FProviders.push_back(provider);
}

void TMindMapProviders::Remove(TMindMapProvider* provider) {
    std::erase(FProviders, provider);
}

TMindMapProviders& MindMapProviders() {
    static TMindMapProviders providers;
    return providers;
}

TMindMapStorage::TMindMapStorage(TMindMapProvider* provider, std::string path)
    : FProvider(provider), FPath(std::move(path)) {
    if (FProvider)
        FProvider->FStorages.push_back(this);
}

TMindMapStorage::~TMindMapStorage() {
    if (FProvider)
        std::erase(FProvider->FStorages, this);
}

void TMindMapStorage::Reload() {
    if (!FLoaded)
        return;
    Unload();
    Load();
}
