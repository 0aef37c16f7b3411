#pragma once

// Maps of the oldest generation: plain XML in a diagram format shared with other diagram kinds (root
// "orrinexdiagrams" of format "sfDiagram", one "mindmapdiagram" inside). Only topics, their tree, a few topic
// attributes and cross links are read; everything else starts at its defaults. There is no writer.

#include "formats/CVFilers.h"
#include "styling/Colors.h"

#include <string>
#include <string_view>

class TV1MindMapReader : public TXMLMindMapReader {
public:
    using TXMLMindMapReader::TXMLMindMapReader;
    // A text that is not such a diagram ends the read without error; malformed positions, sizes and colours
    // raise ECVException with the conversion error.
    void Read() override;

private:
    std::string FDiagramGuid; // of the diagram being read
};

// The name of the first start tag of an XML text (declaration, comments, instructions and the DOCTYPE are
// skipped); empty when there is none.
std::string FirstStartTagName(std::string_view text);
// Whether a native-kind text is a legacy diagram: its first start tag is "orrinexdiagrams" (ASCII case folded).
bool IsLegacyDiagramText(std::string_view text);

// A diagram colour: a name of the standard colour table ("clRed", "clBtnFace"; ASCII case folded) or an integer,
// decimal or hexadecimal after "$", in blue-green-red order. System colours are given their usual light-desktop
// values. Anything else raises ECVException "'text' is not a valid integer value".
TColor ParseDiagramColor(std::string_view text);
