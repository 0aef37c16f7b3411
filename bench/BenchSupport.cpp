#include "BenchSupport.h"

std::string MakeDocument(int count) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!DOCTYPE corvella-mindmaps>\r\n"
                       "<corvella-mindmaps doc-version=\"3\" generator=\"CorvellaWin32\"><mindmap><meta>"
                       "<guid guid=\"0123456789ABCDEF0123456789ABCDEF\"/><auto-numbering style=\"inside\"/>"
                       "</meta><topics>\r\n";
    text.reserve(static_cast<std::size_t>(count) * 120);
    for (int i = 0; i < count; ++i) {
        const int parent = i == 0 ? -1 : (i - 1) / 8;
        text += "\t<topic id=\"" + std::to_string(i) + "\" parent=\"" + std::to_string(parent) + "\" x=\"" +
                std::to_string(i % 1000) + ".50\" y=\"" + std::to_string(i / 1000) + ".25\" text=\"Topic " +
                std::to_string(i) + "\\Nsecond line &amp;amp; more\"";
        if (i % 10 == 0)
            text += "><note>A note for topic " + std::to_string(i) + "</note></topic>\r\n";
        else
            text += "/>\r\n";
    }
    text += "</topics></mindmap></corvella-mindmaps>\r\n";
    return text;
}
