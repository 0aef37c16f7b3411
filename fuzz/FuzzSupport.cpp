#include "FuzzSupport.h"

#include "formats/Providers.h"
#include "formats/ViewerProviders.h"
#include "model/CVMindMaps.h"
#include "platform/AppErrors.h"
#include "platform/CVStrings.h"
#include "render/CvMindMapPainter.h"
#include "render/MapImageExports.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

std::string FuzzText(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

void QuietApplicationErrors() {
    SetApplicationExceptionHandler([](const std::exception& error) {
        if (!dynamic_cast<const ECVException*>(&error))
            std::abort();
    });
}

void ShowMap(TMindMap& map) {
    map.Refresh();
    TMindMapPaintSelection selection(map);
    selection.PaintAll();
    const TFloatRect& bounds = selection.Bounds();
    const double side = std::max(bounds.Width, bounds.Height);
    const double zoom = side > 128 ? 128 / side : 1;
    try {
        RenderMapBitmap(map, false, zoom);
    } catch (const EImageTooLarge&) {
        // a map too large to draw at any zoom is refused, as the export refuses it
    }
}

namespace {

std::filesystem::path InputFolder() {
    static const std::filesystem::path folder = [] {
        std::filesystem::path path = std::filesystem::temp_directory_path() / ("cv-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

} // namespace

void OpenAsViewer(const std::uint8_t* data, std::size_t size, const char* extension) {
    const std::string path = (InputFolder() / (std::string("input") + extension)).string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::unique_ptr<TMindMapStorage> storage = ViewerProvider().CreateStorage(path);
    TMindMap map;
    try {
        storage->Load();
        map.SetImageStore(&storage->GetImageStore());
        map.LoadFromText(storage->GetDocumentText(), path, true, dkCvmx);
        ShowMap(map);
    } catch (const ECVException&) {
    }
    map.SetImageStore(nullptr);
}

void ReadNativeText(const std::string& text) {
    TMindMap map;
    try {
        map.LoadFromText(text, "input.cvmx", true, dkCvmx);
        ShowMap(map);
        SaveToText(map, dkCvmx, false);
        SaveToText(map, dkText, false);
    } catch (const ECVException&) {
    }
}
