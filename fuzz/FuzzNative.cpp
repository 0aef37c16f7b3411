// The native reader on document text, with layout, drawing and writing back.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QuietApplicationErrors();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReadNativeText(FuzzText(data, size));
    return 0;
}
