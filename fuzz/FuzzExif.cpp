// The EXIF reader on JPEG files, and the preview's loading of a turned or mirrored picture.
#include "FuzzSupport.h"

#include "platform/CVStrings.h"
#include "render/ExifReaders.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = FuzzText(data, size);
    TExifReader::OrientationOf(TExifReader::ExifOrientationOf(bytes));
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("cv-fuzz-exif-" + std::to_string(getpid()) + ".jpg")).string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    try {
        LoadOrientedPicture(path, 48);
    } catch (const ECVException&) {
    }
    return 0;
}
