// The XML filer: parsing any text, and writing back what it parsed.
#include "FuzzSupport.h"

#include "formats/OXXMLDOM.h"
#include "formats/XMLFilers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TXMLDocument document;
    try {
        TXMLFiler::LoadFromString(FuzzText(data, size), document);
    } catch (const ECVException&) {
        return 0;
    }
    const std::string written = TXMLFiler::SaveToString(document);
    // what the writer makes, the parser reads
    TXMLDocument again;
    TXMLFiler::LoadFromString(written, again);
    return 0;
}
