// The embedded style sheet reader: a "stylesheet" element read, written back and applied to a small map.
#include "FuzzSupport.h"

#include "formats/OXXMLDOM.h"
#include "formats/XMLFilers.h"
#include "model/CVMindMaps.h"
#include "styling/CVCustomStyles.h"
#include "styling/CVStyleManager.h"

namespace {

// Topics on several levels, a cross link and a free text, so that most of a sheet's styles take part.
constexpr const char* kMapText =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!DOCTYPE corvella-mindmaps>\r\n"
    "<corvella-mindmaps doc-version=\"3\"><mindmap><meta><style key=\"system.bright-palette\"/></meta><topics>"
    "<topic id=\"0\" text=\"Root\" x=\"0\" y=\"0\"/>"
    "<topic id=\"1\" parent=\"0\" text=\"Branch one\" x=\"200\" y=\"-40\"/>"
    "<topic id=\"2\" parent=\"0\" text=\"Branch two\" x=\"200\" y=\"40\"/>"
    "<topic id=\"3\" parent=\"1\" text=\"Leaf\" x=\"360\" y=\"-40\"/>"
    "</topics><relations><relation source=\"3\" target=\"2\"/></relations></mindmap></corvella-mindmaps>";

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QuietApplicationErrors();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TXMLDocument document;
    try {
        TXMLFiler::LoadFromString(FuzzText(data, size), document);
    } catch (const ECVException&) {
        return 0;
    }
    TXMLElement* root = document.RootElement();
    if (!root || !root->IsElementNamed("stylesheet"))
        return 0;
    const std::unique_ptr<TCustomStyleSheet> sheet = ReadCustomSheet(*root, StyleManager());
    if (!sheet)
        return 0;
    TXMLDocument written;
    WriteCustomSheet(*sheet, *written.AddChild("stylesheet"));
    TMindMap map; // goes before the sheet it shows
    try {
        map.LoadFromText(kMapText, "sheet.cvmx", true);
        map.SetStyleSheet(sheet.get());
        ShowMap(map);
    } catch (const ECVException&) {
    }
    return 0;
}
