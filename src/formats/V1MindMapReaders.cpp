#include "formats/V1MindMapReaders.h"

#include "formats/XMLFilers.h"
#include "platform/CVStrings.h"
#include "styling/CVStyleManager.h"

#include <array>
#include <cstdint>
#include <glib.h>
#include <optional>
#include <unordered_map>
#include <vector>

namespace {

constexpr std::string_view kDiagramRoot = "orrinexdiagrams";

[[noreturn]] void RaiseConversionError(std::string_view text) {
    throw ECVException(Format("'%.*s' is not a valid integer value", static_cast<int>(text.size()), text.data()));
}

// An integer as the diagram format writes it: decimal, or hexadecimal after "$"; 32-bit values.
std::int64_t ConvertInteger(std::string_view text) {
    const std::string trimmed = Trim(text);
    std::string_view digits = trimmed;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    const bool hex = digits.starts_with("$");
    if (hex)
        digits.remove_prefix(1);
    if (digits.empty() || digits.size() > 10)
        RaiseConversionError(text);
    std::int64_t value = 0;
    for (char c : digits) {
        const int digit = hex ? g_ascii_xdigit_value(c) : g_ascii_digit_value(c);
        if (digit < 0)
            RaiseConversionError(text);
        value = value * (hex ? 16 : 10) + digit;
    }
    if (value > 0xFFFFFFFFll)
        RaiseConversionError(text);
    // eight hex digits are a 32-bit pattern: "$FF00000F" is the same as -16777201
    if (hex)
        value = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    return negative ? -value : value;
}

int ConvertInt(std::string_view text) {
    const std::int64_t value = ConvertInteger(text);
    if (value < INT32_MIN || value > INT32_MAX)
        RaiseConversionError(text);
    return static_cast<int>(value);
}

// "x,y" (or "width,height"); a value without a comma counts as 0, 0.
TFloatPoint ConvertPair(std::string_view text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos)
        return {0, 0};
    return {static_cast<double>(ConvertInt(text.substr(0, comma))),
            static_cast<double>(ConvertInt(text.substr(comma + 1)))};
}

struct TColorName {
    std::string_view Name;
    std::uint32_t Value; // blue-green-red, or 0xFF000000 + the index of a system colour
};

constexpr std::array<TColorName, 52> kColorNames = {{
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clLtGray", 0xC0C0C0},
    {"clDkGray", 0x808080},
    {"clScrollBar", 0xFF000000},
    {"clBackground", 0xFF000001},
    {"clActiveCaption", 0xFF000002},
    {"clInactiveCaption", 0xFF000003},
    {"clMenu", 0xFF000004},
    {"clWindow", 0xFF000005},
    {"clWindowFrame", 0xFF000006},
    {"clMenuText", 0xFF000007},
    {"clWindowText", 0xFF000008},
    {"clCaptionText", 0xFF000009},
    {"clActiveBorder", 0xFF00000A},
    {"clInactiveBorder", 0xFF00000B},
    {"clAppWorkSpace", 0xFF00000C},
    {"clHighlight", 0xFF00000D},
    {"clHighlightText", 0xFF00000E},
    {"clBtnFace", 0xFF00000F},
    {"clBtnShadow", 0xFF000010},
    {"clGrayText", 0xFF000011},
    {"clBtnText", 0xFF000012},
    {"clInactiveCaptionText", 0xFF000013},
    {"clBtnHighlight", 0xFF000014},
    {"cl3DDkShadow", 0xFF000015},
    {"cl3DLight", 0xFF000016},
    {"clInfoText", 0xFF000017},
    {"clInfoBk", 0xFF000018},
    {"clHotLight", 0xFF00001A},
    {"clGradientActiveCaption", 0xFF00001B},
    {"clGradientInactiveCaption", 0xFF00001C},
    {"clNone", clNone},
    {"clDefault", clDefault},
}};

// The system colours of a light desktop, by index (blue-green-red).
constexpr std::array<TColor, 31> kSystemColors = {
    0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000, 0x000000, 0x000000, 0xB4B4B4,
    0xFCF7F4, 0xABABAB, 0xD77800, 0xFFFFFF, 0xF0F0F0, 0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969,
    0xE3E3E3, 0x000000, 0xE1FFFF, 0xC0C0C0, 0xCC6600, 0xEAD1B9, 0xF2E4D7, 0xFF9933, 0xF0F0F0,
};

TColor ResolveColorValue(std::uint32_t value) {
    if (value == clNone || value == clDefault)
        return value;
    if ((value & 0xFF000000) == 0xFF000000) {
        const std::uint32_t index = value & 0xFFFFFF;
        return index < kSystemColors.size() ? kSystemColors[index] : clDefault;
    }
    return value & 0xFFFFFF;
}

} // namespace

TColor ParseDiagramColor(std::string_view text) {
    for (const TColorName& entry : kColorNames)
        if (SameText(entry.Name, text))
            return ResolveColorValue(entry.Value);
    return ResolveColorValue(static_cast<std::uint32_t>(ConvertInteger(text)));
}

std::string FirstStartTagName(std::string_view text) {
    std::size_t pos = 0;
    while ((pos = text.find('<', pos)) != std::string_view::npos) {
        const std::string_view rest = text.substr(pos);
        std::size_t skip = std::string_view::npos;
        if (rest.starts_with("<!--"))
            skip = text.find("-->", pos + 4);
        else if (rest.starts_with("<?"))
            skip = text.find("?>", pos + 2);
        else if (rest.starts_with("<!")) {
            // a DOCTYPE, perhaps with an internal subset
            const std::size_t stop = text.find_first_of(">[", pos + 2);
            skip = stop != std::string_view::npos && text[stop] == '[' ? text.find("]>", stop) : stop;
        } else {
            std::size_t end = pos + 1;
            while (end < text.size() && text[end] != '>' && text[end] != '/' && !g_ascii_isspace(text[end]))
                ++end;
            return std::string(text.substr(pos + 1, end - pos - 1));
        }
        if (skip == std::string_view::npos)
            return {};
        pos = skip + 1;
    }
    return {};
}

bool IsLegacyDiagramText(std::string_view text) {
    return SameText(FirstStartTagName(text), kDiagramRoot);
}

void TV1MindMapReader::Read() {
    const TXMLElement* root = Document().RootElement();
    const TXMLElement* diagram = nullptr;
    if (SameText(Document().DocTypeName(), kDiagramRoot) && root && root->IsElementNamed(kDiagramRoot) &&
        SameText(root->GetString("Format"), "sfDiagram"))
        diagram = root->FindChild("mindmapdiagram");
    if (!diagram || diagram->Kind() != xekElement) {
        Abort();
        return;
    }
    FDiagramGuid = diagram->GetString("guid");
    TMindMap& map = Map();
    map.SetStyleSheet(StyleManager().FindSheet(diagram->GetString("ColorSchemeName")));
    if (const TXMLElement* options = diagram->FindPath({"meta", "options"})) {
        TViewState state;
        state.Zoom = options->GetInt("zoom", 100);
        map.SetViewState(state);
    }

    CheckTopicCount(*diagram, "mindmapsymbol");
    const int first = map.TopicCount();
    std::vector<int> parentIds;
    std::unordered_map<int, int> indexById; // reader id -> topic index, first topic of each id
    for (int i = 0; i < diagram->ChildCount(); ++i) {
        const TXMLElement& symbol = *diagram->Child(i);
        if (!symbol.IsElementNamed("mindmapsymbol"))
            continue;
        TMindMapNode* topic = NewTopic();
        indexById.try_emplace(symbol.GetInt("ShapeID", -1), map.TopicCount() - 1);
        parentIds.push_back(symbol.GetInt("_parent", -1));
        // names went through one entity encoding more than the XML needs
        topic->SetText(DecodeEntities(symbol.GetString("Name")), tfPlain);
        if (symbol.HasAttribute("Location"))
            topic->SetPosition(ConvertPair(symbol.GetString("Location")));
        if (const TXMLElement* name = symbol.FindChild("symbolname"))
            if (name->GetBool("WordBreak", true) && name->HasAttribute("Extent"))
                topic->SetWrapWidth(static_cast<int>(ConvertPair(name->GetString("Extent")).X));
        topic->SetIcon(symbol.GetString("IconName"));
        topic->SetCollapsed(symbol.GetBool("collapsed", false));
        if (const TXMLElement* reference = symbol.FindPath({"references", "diagramref"})) {
            const std::string guid = reference->GetString("guid");
            if (!guid.empty() && !SameText(guid, FDiagramGuid) && !reference->GetBool("LinkedToCurrentDiagram", false))
                topic->EnsureLink().SetDiagramReference(guid, "");
        }
        int palette = symbol.GetInt("PaletteInfo", 0);
        if (palette == 0) {
            const int colorInfo = symbol.GetInt("ColorInfo", 0);
            palette = colorInfo > 0 ? colorInfo + 1 : colorInfo;
        }
        topic->SetPaletteIndex(palette < 0 ? 0 : palette);
        if (const TXMLElement* visual = symbol.FindChild("visualstyle");
            visual && visual->HasAttribute("Symbol") && visual->HasAttribute("SymbolPen")) {
            TNodeStyle& style = topic->Style();
            style.SetFillColor(ParseDiagramColor(visual->GetString("Symbol")));
            style.SetStrokeColor(ParseDiagramColor(visual->GetString("SymbolPen")));
            style.SetOverride(nsoFillColor | nsoStrokeColor, true);
        }
    }

    // a parent reference to an unknown id, to the topic itself or closing a cycle makes a central theme
    std::vector<int> parentIndex(parentIds.size(), -1);
    for (std::size_t i = 0; i < parentIds.size(); ++i)
        if (const auto it = indexById.find(parentIds[i]); it != indexById.end())
            parentIndex[i] = it->second;
    LinkParents(first, parentIndex);
    FinishTopics(first);

    const auto topicById = [&](int id) -> TMindMapNode* {
        const auto it = indexById.find(id);
        return it == indexById.end() ? nullptr : map.TopicAt(it->second);
    };
    for (int i = 0; i < diagram->ChildCount(); ++i) {
        const TXMLElement& relation = *diagram->Child(i);
        if (!relation.IsElementNamed("mindmaprelation"))
            continue;
        // a cross link without both ends would be dropped after reading anyway
        TMindMapNode* source = topicById(relation.GetInt("SourceSymbol", -1));
        TMindMapNode* target = topicById(relation.GetInt("TargetSymbol", -1));
        if (source && target && source != target)
            NewCrossLink(source, target);
    }
}
