#include "formats/NonNativeFilers.h"

#include "platform/CVStrings.h"

namespace {

std::string TrimRight(const std::string& s) {
    std::size_t end = s.size();
    while (end > 0 && static_cast<unsigned char>(s[end - 1]) <= 32)
        --end;
    return s.substr(0, end);
}

} // namespace

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const std::string& line : lines)
        size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string TPlainTextExporter::Write(bool selectedBranchesOnly) {
    FLines.clear();
    FSize = 0;
    const std::vector<TMindMapNode*> roots = Roots(selectedBranchesOnly);
    if (roots.empty())
        return {};
    int baseLevel = 0;
    if (selectedBranchesOnly) {
        baseLevel = roots.front()->Level();
        for (const TMindMapNode* root : roots)
            baseLevel = std::min(baseLevel, root->Level());
    }
    // depth first without recursion: maps can be very deep
    std::vector<std::pair<const TMindMapNode*, int>> stack;
    for (auto it = roots.rbegin(); it != roots.rend(); ++it)
        stack.emplace_back(*it, (*it)->Level() - baseLevel);
    while (!stack.empty()) {
        const auto [topic, depth] = stack.back();
        stack.pop_back();
        WriteTopic(*topic, depth);
        FSize += FLines.back().size();
        if (FSize > kMaxOutlineBytes)
            throw ECVException("The outline is too large to write");
        const std::vector<TMindMapNode*>& children = topic->Children();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.emplace_back(*it, depth + 1);
    }
    return JoinLines(FLines);
}

void TPlainTextExporter::WriteBlock(const std::string& indent, const std::string& text, bool trimLines) {
    FLines.push_back(indent + "[");
    for (const std::string& line : SplitLines(text))
        FLines.push_back(indent + (trimLines ? TrimRight(line) : line));
    FLines.push_back(indent + "]");
}

void TPlainTextExporter::WriteTopic(const TMindMapNode& topic, int depth) {
    const std::string indent(static_cast<std::size_t>(std::max(depth, 0)), '\t');
    std::string title = Trim(topic.PlainText());
    if (title.empty())
        title = "unnamed topic";
    FLines.push_back(indent + ReplaceLineBreaks(title, " "));
    if (topic.HasNote())
        WriteBlock(indent, topic.NotePlainText(), true);
    std::string freeTexts;
    for (int i = 0; i < topic.ContainedCount(); ++i) {
        const TContainedElement* element = topic.ContainedAt(i);
        if (element->ElementKind() != ekText)
            continue;
        const std::string text = Trim(static_cast<const TMindMapText*>(element)->PlainText());
        if (text.empty())
            continue;
        if (!freeTexts.empty())
            freeTexts += "\r\r"; // one empty line between two texts
        freeTexts += text;
    }
    if (!freeTexts.empty())
        WriteBlock(indent, freeTexts, false);
}
