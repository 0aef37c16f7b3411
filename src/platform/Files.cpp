#include "platform/Files.h"

#include "platform/CVStrings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

std::string ExtractFileName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ReadFileBytes(const std::string& path, std::uint64_t limit) {
    const std::string name = ExtractFileName(path);
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        throw ECVException(Format("Cannot open %s: %s", name.c_str(), std::strerror(errno)));
    if (S_ISDIR(info.st_mode))
        throw ECVException(Format("Cannot open %s: it is a folder", name.c_str()));
    const auto tooLarge = [&] {
        return ECVException(Format("Cannot open %s: the file is larger than %llu bytes", name.c_str(),
                                   static_cast<unsigned long long>(limit)));
    };
    // refused before a byte is read; the count below catches a file that grows meanwhile
    if (S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > limit)
        throw tooLarge();
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        throw ECVException(Format("Cannot open %s: %s", name.c_str(), std::strerror(errno)));
    std::string bytes;
    if (S_ISREG(info.st_mode))
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    while (true) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        if (got == 0)
            break;
        if (bytes.size() + got > limit)
            throw tooLarge();
        bytes.append(buffer, got);
    }
    if (std::ferror(file.get()))
        throw ECVException(Format("Cannot read %s", name.c_str()));
    return bytes;
}
