// Whole native archives (or bare documents) opened through the viewer's storage, read, laid out and drawn.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QuietApplicationErrors();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    OpenAsViewer(data, size, ".cvmx");
    return 0;
}
