#include "platform/ZipArchives.h"

#include <algorithm>
#include <zip.h>

namespace {

std::string ZipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SlashesForward(std::string_view s) {
    std::string result(s);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

} // namespace

TZipArchive::TZipArchive(zip* archive, std::string displayName, std::string bytes)
    : FArchive(archive), FDisplayName(std::move(displayName)), FBytes(std::move(bytes)) {}

TZipArchive::TZipArchive(const std::string& path) : FDisplayName(BaseName(path)) {
    int code = 0;
    FArchive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!FArchive) {
        // a strict consistency check refuses some archives that still read well; try once without it
        FArchive = zip_open(path.c_str(), ZIP_RDONLY, &code);
        if (!FArchive)
            throw EZipError(Format("Cannot open the archive %s: %s", FDisplayName.c_str(), ZipErrorText(code).c_str()));
    }
}

std::unique_ptr<TZipArchive> TZipArchive::FromBytes(std::string bytes, const std::string& displayName) {
    // the archive reads straight from the buffer, so the buffer lives in the archive object first
    std::unique_ptr<TZipArchive> result(new TZipArchive(nullptr, displayName, std::move(bytes)));
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(result->FBytes.data(), result->FBytes.size(), 0, &error);
    zip* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (!archive) {
        if (source)
            zip_source_free(source);
        const std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw EZipError(Format("Cannot open the archive %s: %s", displayName.c_str(), text.c_str()));
    }
    zip_error_fini(&error);
    result->FArchive = archive;
    return result;
}

TZipArchive::~TZipArchive() {
    if (FArchive)
        zip_discard(FArchive);
}

bool TZipArchive::Locate(std::string_view name, std::uint64_t& index) const {
    const std::string wanted(name);
    zip_int64_t found = zip_name_locate(FArchive, wanted.c_str(), 0);
    if (found < 0)
        found = zip_name_locate(FArchive, wanted.c_str(), ZIP_FL_NOCASE);
    if (found < 0) {
        // archives written on Windows may separate folders with backslashes
        const std::string forward = SlashesForward(wanted);
        const zip_int64_t count = zip_get_num_entries(FArchive, 0);
        for (zip_int64_t i = 0; i < count && found < 0; ++i) {
            const char* stored = zip_get_name(FArchive, static_cast<zip_uint64_t>(i), 0);
            if (stored && SameText(SlashesForward(stored), forward))
                found = i;
        }
    }
    if (found < 0)
        return false;
    index = static_cast<std::uint64_t>(found);
    return true;
}

bool TZipArchive::Extract(std::string_view name, std::string& bytes, std::uint64_t limit) {
    std::uint64_t index = 0;
    if (!Locate(name, index))
        return false;
    const std::string entryName(name);
    zip_file_t* file = zip_fopen_index(FArchive, index, 0);
    if (!file)
        throw EZipError(Format("Cannot read %s from the archive %s: %s", entryName.c_str(), FDisplayName.c_str(),
                               zip_strerror(FArchive)));
    bytes.clear();
    char buffer[65536];
    while (true) {
        const zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
        if (got < 0) {
            const std::string text = zip_file_strerror(file);
            zip_fclose(file);
            throw EZipError(Format("The archive %s is damaged: %s", FDisplayName.c_str(), text.c_str()));
        }
        if (got == 0)
            break;
        const auto size = static_cast<std::uint64_t>(got);
        if (FTotalExtracted + size > FTotalLimit) {
            zip_fclose(file);
            bytes.clear();
            throw EZipLimitError(
                Format("The archive %s is too large to open: it inflates to more than %llu bytes in all",
                       FDisplayName.c_str(), static_cast<unsigned long long>(FTotalLimit)),
                true);
        }
        if (bytes.size() + size > limit) {
            zip_fclose(file);
            bytes.clear();
            throw EZipLimitError(Format("The entry %s of the archive %s is too large to open: it inflates to more "
                                        "than %llu bytes",
                                        entryName.c_str(), FDisplayName.c_str(),
                                        static_cast<unsigned long long>(limit)),
                                 false);
        }
        bytes.append(buffer, static_cast<std::size_t>(size));
        FTotalExtracted += size;
    }
    // a mismatch of the checksum shows up when the entry is closed
    if (const int error = zip_fclose(file); error != 0)
        throw EZipError(Format("The archive %s is damaged: %s", FDisplayName.c_str(), ZipErrorText(error).c_str()));
    return true;
}

std::vector<TZipEntry> TZipArchive::ListEntries(std::string_view extension) const {
    std::vector<TZipEntry> entries;
    const zip_int64_t count = zip_get_num_entries(FArchive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* stored = zip_get_name(FArchive, static_cast<zip_uint64_t>(i), 0);
        if (!stored)
            continue;
        const std::string_view name(stored);
        if (name.size() < extension.size() || !SameText(name.substr(name.size() - extension.size()), extension))
            continue;
        const std::size_t separator = name.find_last_of("/\\");
        TZipEntry entry;
        entry.StoredName = std::string(name);
        if (separator != std::string_view::npos) {
            entry.Folder = std::string(name.substr(0, separator));
            entry.FileName = std::string(name.substr(separator + 1));
        } else {
            entry.FileName = std::string(name);
        }
        if (!entry.FileName.empty())
            entries.push_back(std::move(entry));
    }
    return entries;
}
