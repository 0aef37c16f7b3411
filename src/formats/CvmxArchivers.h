#pragma once

// The native document container: a ZIP archive holding "document/mindmap.xml" and PNG pictures under
// "images", or a bare XML document under the same extension.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TArchiveImage {
    std::string Key;   // the file name without ".png": the name topics and images use
    std::string Bytes; // PNG data, decoded by the image store
};

struct TNativeDocumentFile {
    std::string DocumentText; // the XML, decoded to UTF-8
    bool IsArchive = false;
    std::vector<TArchiveImage> Images;
};

constexpr std::string_view kDocumentEntryName = "document/mindmap.xml";

// A file is an archive when it starts with the local-header signature of a ZIP entry.
bool HasZipSignature(std::string_view bytes);
// A bare document is UTF-8 (a byte-order mark is skipped) up to its first zero byte.
std::string DecodeBareDocument(std::string_view bytes);

// Reads a native document from a file or from its bytes. Raises ECVException with a clear message when the
// archive is damaged, holds no document or inflates beyond the limits. A picture entry that is damaged or larger
// than kMaxPictureEntryBytes is left out.
TNativeDocumentFile ReadNativeDocumentFile(const std::string& path, bool withImages = true);
TNativeDocumentFile ReadNativeDocumentBytes(std::string bytes, bool withImages = true,
                                            const std::string& name = "document");
