// PNG and JPEG decoding of archive pictures, and the scaling the view does with them.
#include "FuzzSupport.h"

#include "render/DiagramPngs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const TPicture picture = DecodePicture(FuzzText(data, size));
    if (picture)
        ScaledPicture(picture, 16, 16);
    return 0;
}
