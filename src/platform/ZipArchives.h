#pragma once

// Read-only ZIP archives: open, extract an entry by its stored name, list entries by file extension. Sizes the
// archive declares are not trusted: the bytes actually inflated are counted and capped.

#include "platform/CVStrings.h"
#include "platform/ResourceLimits.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct zip;

class EZipError : public ECVException {
public:
    using ECVException::ECVException;
};

// An entry, or the archive as a whole, inflates past its limit; the message names the limit.
class EZipLimitError : public EZipError {
public:
    EZipLimitError(const std::string& message, bool wholeArchive) : EZipError(message), FWholeArchive(wholeArchive) {}
    // True when the archive's total limit was passed, false when the entry's own.
    bool WholeArchive() const { return FWholeArchive; }

private:
    bool FWholeArchive;
};

struct TZipEntry {
    std::string StoredName; // as stored, e.g. "images/ab12.png"
    std::string Folder;     // "images" (no trailing separator; "\\" and "/" kept as stored)
    std::string FileName;   // "ab12.png"
};

class TZipArchive {
public:
    // Opens a file read-only; raises EZipError when it is missing or no readable archive.
    explicit TZipArchive(const std::string& path);
    // Opens an archive held in memory.
    static std::unique_ptr<TZipArchive> FromBytes(std::string bytes, const std::string& displayName = "archive");
    TZipArchive(const TZipArchive&) = delete;
    TZipArchive& operator=(const TZipArchive&) = delete;
    ~TZipArchive();

    // Extracts the entry with that stored name ("/" and "\\" match each other, case is ignored when no exact
    // match exists). Answers false when there is no such entry; raises EZipError when the entry is damaged and
    // EZipLimitError when it inflates to more than the limit or the archive to more than its total limit.
    bool Extract(std::string_view name, std::string& bytes, std::uint64_t limit = kMaxArchiveEntryBytes);
    // Every file entry whose name ends in the extension (".png"), case ignored.
    std::vector<TZipEntry> ListEntries(std::string_view extension) const;

    void SetTotalLimit(std::uint64_t limit) { FTotalLimit = limit; }
    std::uint64_t TotalExtracted() const { return FTotalExtracted; }

private:
    TZipArchive(zip* archive, std::string displayName, std::string bytes);
    bool Locate(std::string_view name, std::uint64_t& index) const;

    zip* FArchive = nullptr; // owned
    std::string FDisplayName;
    std::string FBytes; // the archive itself when opened from memory
    std::uint64_t FTotalLimit = kMaxArchiveTotalBytes;
    std::uint64_t FTotalExtracted = 0;
};
