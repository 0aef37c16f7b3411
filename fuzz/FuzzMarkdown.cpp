// The Markdown span parser and the plain text it filters to.
#include "FuzzSupport.h"

#include "text/MarkDownParsers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = FuzzText(data, size);
    const TMarkdownSpanParser parser(text);
    parser.BuildFilteredText();
    FilterMarkdown(text);
    return 0;
}
