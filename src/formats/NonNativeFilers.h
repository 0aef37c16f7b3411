#pragma once

// Foreign outline formats: the plain-text outline writer.

#include "formats/CVFilers.h"

#include <string>
#include <vector>

// Writes topics as TAB-indented lines; notes and free texts follow their topic in "[" ... "]" blocks at the
// topic's own indent, which the plain-text importer reads back as the topic's note.
class TPlainTextExporter : public TCVMindMapWriterBase {
public:
    using TCVMindMapWriterBase::TCVMindMapWriterBase;
    std::string Write(bool selectedBranchesOnly) override;

private:
    void WriteTopic(const TMindMapNode& topic, int depth);
    void WriteBlock(const std::string& indent, const std::string& text, bool trimLines);

    // The indents of a very deep map grow with the square of its depth; past this size the text is refused.
    static constexpr std::size_t kMaxOutlineBytes = 256u << 20;

    std::vector<std::string> FLines;
    std::size_t FSize = 0;
};

// Splits a text into lines: CR LF, CR and LF each end a line; a break at the very end starts no further line.
std::vector<std::string> SplitLines(const std::string& text);
// Joins lines, each followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);
