#pragma once

// Whole-file reads with a size cap.

#include "platform/ResourceLimits.h"

#include <cstdint>
#include <string>

// Reads the file's bytes; raises ECVException naming the file when it cannot be read or is larger than the cap
// (the message names the cap).
std::string ReadFileBytes(const std::string& path, std::uint64_t limit = kMaxDocumentFileBytes);
// The file name without folder.
std::string ExtractFileName(const std::string& path);
