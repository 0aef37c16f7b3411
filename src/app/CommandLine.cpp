#include "app/CommandLine.h"

#include "formats/CvmxArchivers.h"
#include "formats/NonNativeFilers.h"
#include "model/CVMindMaps.h"
#include "platform/CVStrings.h"
#include "platform/Files.h"

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

namespace {

constexpr const char* kUsage = "Usage: corvella-viewer [OPTION] [FILE]\n"
                               "View mind maps (.cvmx).\n"
                               "\n"
                               "  --outline FILE   print the topics of FILE as a TAB-indented outline\n"
                               "  --help           show this help and exit\n"
                               "  --version        show the version and exit\n";

bool HasExtension(const std::string& path, std::string_view extension) {
    const std::string name = ExtractFileName(path);
    return name.size() > extension.size() && SameText(name.substr(name.size() - extension.size()), extension);
}

int PrintOutline(const std::string& path) {
    try {
        if (!HasExtension(path, ".cvmx"))
            throw ECVException("Cannot open unsupported file type");
        const TNativeDocumentFile file = ReadNativeDocumentFile(path, false);
        TMindMap map;
        map.LoadFromText(file.DocumentText, path, true, 0);
        if (map.ReadAborted())
            std::fprintf(stderr, "corvella-viewer: %s holds no mind map that this program can read\n",
                         ExtractFileName(path).c_str());
        TPlainTextExporter exporter(map);
        const std::string text = exporter.Write(false);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
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
    if (option == "--outline") {
        if (argc != 3) {
            std::fputs("corvella-viewer: --outline takes one file\n", stderr);
            std::fputs(kUsage, stderr);
            return 2;
        }
        return PrintOutline(argv[2]);
    }
    if (!option.empty() && option.front() == '-' && option != "-") {
        std::fprintf(stderr, "corvella-viewer: unknown option %s\n", argv[1]);
        std::fputs(kUsage, stderr);
        return 2;
    }
    // the window comes with the viewer; until then the program only explains itself
    std::fputs(kUsage, stdout);
    return 0;
}
