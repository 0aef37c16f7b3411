#include "formats/CvmxArchivers.h"

#include "formats/XMLFilers.h"
#include "platform/CVStrings.h"
#include "platform/Files.h"
#include "platform/ResourceLimits.h"
#include "platform/ZipArchives.h"

namespace {

// Picture entries live in the folder "images"; the separator and the case of the folder do not matter.
bool IsImagesFolder(std::string folder) {
    while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\'))
        folder.pop_back();
    return SameText(folder, "images");
}

// Every byte-order mark starts with one of these bytes.
bool MayStartWithByteOrderMark(std::string_view bytes) {
    if (bytes.empty())
        return false;
    const auto first = static_cast<unsigned char>(bytes.front());
    return first == 0xEF || first == 0xFF || first == 0xFE || first == 0x00;
}

// Valid UTF-8 without a byte-order mark (what our writer stores) is the text as it is: a large document is taken
// over rather than copied once more.
std::string DecodeDocumentEntry(std::string&& bytes) {
    if (!MayStartWithByteOrderMark(bytes) && IsValidUtf8(bytes))
        return std::move(bytes);
    return DecodeFileBytes(bytes);
}

std::string DecodeBareDocumentBytes(std::string&& bytes) {
    if (!MayStartWithByteOrderMark(bytes) && bytes.find('\0') == std::string::npos && IsValidUtf8(bytes))
        return std::move(bytes);
    return DecodeBareDocument(bytes);
}

void ReadArchive(TZipArchive& archive, const std::string& name, bool withImages, TNativeDocumentFile& result) {
    std::string xml;
    if (!archive.Extract(kDocumentEntryName, xml))
        throw ECVException(Format("The file %s holds no mind map document", name.c_str()));
    result.DocumentText = DecodeDocumentEntry(std::move(xml));
    result.IsArchive = true;
    if (!withImages)
        return;
    for (const TZipEntry& entry : archive.ListEntries(".png")) {
        if (!IsImagesFolder(entry.Folder))
            continue;
        TArchiveImage image;
        image.Key = entry.FileName.substr(0, entry.FileName.size() - 4);
        try {
            // a damaged or oversized picture is skipped; the topics that name it show no picture
            if (!archive.Extract(entry.StoredName, image.Bytes, kMaxPictureEntryBytes))
                continue;
        } catch (const EZipLimitError& error) {
            if (error.WholeArchive())
                throw; // the archive as a whole is too large: no picture after this one would fit either
            continue;
        } catch (const EZipError&) {
            continue;
        }
        result.Images.push_back(std::move(image));
    }
}

} // namespace

bool HasZipSignature(std::string_view bytes) {
    return bytes.size() >= 4 && bytes.substr(0, 4) == "PK\x03\x04";
}

std::string DecodeBareDocument(std::string_view bytes) {
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    const std::size_t zero = bytes.find('\0');
    if (zero != std::string_view::npos)
        bytes = bytes.substr(0, zero);
    return SanitizeUtf8(bytes);
}

TNativeDocumentFile ReadNativeDocumentFile(const std::string& path, bool withImages) {
    return ReadNativeDocumentBytes(ReadFileBytes(path), withImages, ExtractFileName(path));
}

TNativeDocumentFile ReadNativeDocumentBytes(std::string bytes, bool withImages, const std::string& name) {
    TNativeDocumentFile result;
    if (!HasZipSignature(bytes)) {
        result.DocumentText = DecodeBareDocumentBytes(std::move(bytes));
        return result;
    }
    std::unique_ptr<TZipArchive> archive = TZipArchive::FromBytes(std::move(bytes), name);
    ReadArchive(*archive, name, withImages, result);
    return result;
}
