// The reader of the oldest maps: texts whose root is the legacy diagram element, read, laid out and drawn.
#include "FuzzSupport.h"

#include "formats/V1MindMapReaders.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QuietApplicationErrors();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = FuzzText(data, size);
    if (IsLegacyDiagramText(text))
        ReadNativeText(text);
    return 0;
}
