#include "app/CommandLine.h"

#include "formats/CvmxWriters.h"
#include "formats/Providers.h"
#include "formats/ViewerProviders.h"
#include "model/CVMindMaps.h"
#include "platform/CVStrings.h"
#include "platform/Files.h"
#include "render/MapImageExports.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kUsage = "Usage: corvella-viewer [OPTION] [FILE]\n"
                               "View mind maps (.cvmx) and outlines (.opml, .mm, .txt).\n"
                               "\n"
                               "  --outline FILE          print the topics of FILE as a TAB-indented outline\n"
                               "  --export-cvmx OUT FILE  write FILE as a native .cvmx archive to OUT\n"
                               "  --export-png OUT FILE [--zoom PERCENT]\n"
                               "                          draw FILE as a PNG picture to OUT (default zoom 100)\n"
                               "  --help                  show this help and exit\n"
                               "  --version               show the version and exit\n";

// A document opened as the viewer opens it: the provider's storage loads the file (unpacking an archive or
// importing an outline) and the map reads the native text it hands out.
class TOpenedDocument {
public:
    explicit TOpenedDocument(const std::string& path) : FPath(path) {
        TViewerProvider& provider = ViewerProvider();
        if (!provider.Exists(path)) {
            // a folder is named by the storage's own message; anything else that is not there is missing
            std::error_code ignored;
            if (!std::filesystem::is_directory(path, ignored))
                throw ECVException(Format("Cannot open %s: %s", ExtractFileName(path).c_str(), std::strerror(ENOENT)));
        }
        FStorage = provider.CreateStorage(path);
        FStorage->Load();
        FMap.SetImageStore(&FStorage->GetImageStore());
        FMap.LoadFromText(FStorage->GetDocumentText(), path, true, dkCvmx);
        if (FMap.ReadAborted())
            std::fprintf(stderr, "corvella-viewer: %s holds no mind map that this program can read\n",
                         ExtractFileName(path).c_str());
    }
    ~TOpenedDocument() { FMap.SetImageStore(nullptr); }
    TOpenedDocument(const TOpenedDocument&) = delete;
    TOpenedDocument& operator=(const TOpenedDocument&) = delete;

    TMindMap& Map() { return FMap; }
    TViewerMindMapStorage& Storage() { return static_cast<TViewerMindMapStorage&>(*FStorage); }

private:
    std::string FPath;
    std::unique_ptr<TMindMapStorage> FStorage; // owned; declared before the map, which draws from its pictures
    TMindMap FMap;
};

int WriteStdout(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int PrintOutline(const std::vector<std::string>& arguments) {
    TOpenedDocument document(arguments[0]);
    return WriteStdout(SaveToText(document.Map(), dkText, false));
}

// The archive pictures the document was opened with, as they were stored.
std::vector<TArchiveImage> DocumentPictures(TOpenedDocument& document) {
    TViewerMindMapStorage& storage = document.Storage();
    if (!storage.IsArchive())
        return {};
    std::vector<TArchiveImage> pictures = ReadNativeDocumentFile(storage.Path(), true).Images;
    // only the pictures that were usable when the document was opened
    std::erase_if(pictures, [&](const TArchiveImage& picture) {
        std::size_t index = 0;
        return !storage.GetImageStore().Find(picture.Key, index);
    });
    return pictures;
}

int ExportCvmx(const std::vector<std::string>& arguments) {
    const std::string& destination = arguments[0];
    TOpenedDocument document(arguments[1]);
    const std::string text = SaveToText(document.Map(), dkCvmx, false);
    WriteNativeArchive(destination, text, DocumentPictures(document));
    return 0;
}

// The whole map drawn as "Copy as Image" draws it, at the zoom, written as PNG. A picture too large to make is
// refused before anything is written.
int ExportPng(const std::vector<std::string>& arguments) {
    double zoom = 1;
    if (arguments.size() == 4) {
        const std::optional<double> percent = ParseFloat(arguments[3]);
        if (arguments[2] != "--zoom" || !percent || !(*percent > 0) || *percent > 10000) {
            std::fputs("corvella-viewer: --zoom takes a percentage above 0 and up to 10000\n", stderr);
            std::fputs(kUsage, stderr);
            return 2;
        }
        zoom = *percent / 100;
    }
    const std::string& destination = arguments[0];
    TOpenedDocument document(arguments[1]);
    TPicture picture;
    try {
        picture = RenderMapBitmap(document.Map(), false, zoom);
    } catch (const EImageTooLarge& error) {
        throw ECVException(std::string(error.what()) + "; try a smaller --zoom");
    }
    if (cairo_surface_write_to_png(picture.Surface(), destination.c_str()) != CAIRO_STATUS_SUCCESS) {
        std::error_code ignored;
        std::filesystem::remove(destination, ignored);
        throw ECVException(Format("Cannot write %s", destination.c_str()));
    }
    return 0;
}

struct TCommand {
    std::string_view Option;
    std::size_t ArgumentCount;
    std::size_t MaxArgumentCount; // options after the required arguments
    const char* ArgumentError;    // printed when the count does not match
    int (*Run)(const std::vector<std::string>& arguments);
};

// Every headless option: its name, the numbers of arguments it takes, and what it runs.
const TCommand kCommands[] = {
    {"--outline", 1, 1, "--outline takes one file", &PrintOutline},
    {"--export-cvmx", 2, 2, "--export-cvmx takes an output file and a file", &ExportCvmx},
    {"--export-png", 2, 4, "--export-png takes an output file, a file and optionally --zoom PERCENT", &ExportPng},
};

int RunCommand(const TCommand& command, int argc, char** argv) {
    const auto count = static_cast<std::size_t>(argc) - 2;
    if (count != command.ArgumentCount && count != command.MaxArgumentCount) {
        std::fprintf(stderr, "corvella-viewer: %s\n", command.ArgumentError);
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::vector<std::string> arguments(argv + 2, argv + argc);
    try {
        return command.Run(arguments);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}

} // namespace

int RunCommandLine(int argc, char** argv) {
    const std::string_view option = argc > 1 ? argv[1] : "";
    if (option == "--help" || option == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (option == "--version") {
        std::printf("corvella-viewer %s\n", CV_VERSION_STRING);
        return 0;
    }
    for (const TCommand& command : kCommands)
        if (option == command.Option)
            return RunCommand(command, argc, argv);
    if (!option.empty() && option.front() == '-' && option != "-") {
        std::fprintf(stderr, "corvella-viewer: unknown option %s\n", argv[1]);
        std::fputs(kUsage, stderr);
        return 2;
    }
    // the window comes with the viewer; until then the program only explains itself
    std::fputs(kUsage, stdout);
    return 0;
}
