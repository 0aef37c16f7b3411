// The rich-text span parser, its conversion to formatting runs and the plain text it filters to.
#include "FuzzSupport.h"

#include "text/RichTextSpanParsers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // the first byte picks the styles the text starts with
    const TRichTextStyles baseStyles = static_cast<TRichTextStyles>(data[0]);
    const std::string text = FuzzText(data + 1, size - 1);
    ParseAndConvert(text, baseStyles);
    FilterRichText(text);
    return 0;
}
