#include "formats/CVFilers.h"

#include "formats/Providers.h"
#include "formats/V1MindMapReaders.h"
#include "formats/XMLFilers.h"
#include "platform/CVStrings.h"
#include "platform/Guids.h"
#include "platform/ResourceLimits.h"
#include "styling/CVCustomStyles.h"
#include "styling/CVStyleManager.h"
#include "styling/Patterns.h"

#include <array>
#include <cmath>
#include <functional>
#include <glib.h>
#include <optional>

namespace {

constexpr std::string_view kRootName = "corvella-mindmaps";

template <typename TEnum, std::size_t N>
bool LookupKeyword(const std::array<std::string_view, N>& names, std::string_view name, TEnum& value) {
    for (std::size_t i = 0; i < N; ++i)
        if (SameText(names[i], name)) {
            value = static_cast<TEnum>(i);
            return true;
        }
    return false;
}

template <std::size_t N> std::string_view KeywordOf(const std::array<std::string_view, N>& names, std::size_t i) {
    return i < N ? names[i] : names[0];
}

constexpr std::array<std::string_view, 4> kCheckboxModes = {"", "checkbox", "progress", "roll-up-progress"};
constexpr std::array<std::string_view, 3> kAutoNumberings = {"disabled", "inside", "below"};
constexpr std::array<std::string_view, 3> kTextFormats = {"md1", "plain", "rtf1"};
constexpr std::array<std::string_view, 7> kElementKinds = {
    "", "node", "image", "text", "crosslink", "parent-relation", "node-group"};
constexpr std::array<std::string_view, 6> kClipShapes = {"none",   "circle",    "ellipse",
                                                         "square", "rectangle", "halfround"};
constexpr std::array<std::string_view, 2> kImageSourceKinds = {"cache", "drawing"};
constexpr std::array<std::string_view, 9> kLegacyDirections = {"auto",    "right",  "left",       "top",   "top-ltr",
                                                               "top-rtl", "bottom", "bottom-rtl", "manual"};

enum TLegacyDirection : std::uint8_t {
    ldlAuto,
    ldlRight,
    ldlLeft,
    ldlTop,
    ldlTopLtr,
    ldlTopRtl,
    ldlBottom,
    ldlBottomRtl,
    ldlManual,
};

TCvmxGenerator GeneratorFromName(std::string_view name) {
    constexpr std::array<std::string_view, 5> names = {"CorvellaOSX", "CorvellaOSXN", "CorvellaTouch", "CorvellaWin32",
                                                       "CorvellaAndroid"};
    for (std::size_t i = 0; i < names.size(); ++i)
        if (SameText(names[i], name))
            return static_cast<TCvmxGenerator>(i + 1);
    return cgUnknown;
}

// Layout options of a topic written in the older attribute form, converted to today's options.
TLayoutOptions ConvertLegacyLayout(TNestedLayoutMode mode, TLegacyDirection legacy) {
    TLayoutOptions options = TLayoutOptions::ForMode(mode);
    switch (mode) {
    case nlmStrictHorizontal:
        if (legacy == ldlRight)
            options.Direction = ldRight;
        else if (legacy == ldlLeft)
            options.Direction = ldLeft;
        else if (legacy == ldlManual)
            options.Direction = ldManual;
        else if (legacy == ldlAuto)
            options.Direction = ldAuto;
        break;
    case nlmStrictVertical:
        if (legacy == ldlTop)
            options.Direction = ldTop;
        else if (legacy == ldlBottom)
            options.Direction = ldBottom;
        else if (legacy == ldlManual)
            options.Direction = ldManual;
        else if (legacy == ldlAuto)
            options.Direction = ldAuto;
        break;
    case nlmList:
        if (legacy == ldlAuto) {
            options.Flow = lfAuto;
        } else if (legacy == ldlLeft) {
            options.Flow = lfRtl;
        } else if (legacy == ldlTopLtr) {
            options.Direction = ldTop;
        } else if (legacy == ldlTopRtl) {
            options.Direction = ldTop;
            options.Flow = lfRtl;
        }
        break;
    case nlmTopDown:
        if (legacy == ldlTop) {
            options.Direction = ldTop;
        } else if (legacy == ldlTopRtl) {
            options.Direction = ldTop;
            options.Flow = lfRtl;
        } else if (legacy == ldlBottomRtl) {
            options.Flow = lfRtl;
        }
        break;
    case nlmHLinear:
        if (legacy == ldlAuto) {
            options.Direction = ldAlternatingCompact;
        } else if (legacy == ldlRight) {
            options.Direction = ldAlternating;
        } else if (legacy == ldlTop) {
            options.Direction = ldTop;
        } else if (legacy == ldlBottom) {
            options.Direction = ldBottom;
            options.Flow = lfRtl;
        }
        break;
    default:
        break;
    }
    return options;
}

// A document guid names files, so it must be printable and free of characters that file names forbid.
bool IsValidDocumentGuid(std::string_view guid) {
    if (Trim(guid).empty())
        return false;
    for (char c : guid) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || std::string_view("\"*/:<>?\\|").find(c) != std::string_view::npos)
            return false;
    }
    return true;
}

constexpr int kDateBase = 693594; // g_date_get_julian of 1899-12-30

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Shared vocabulary

std::string EscapeTopicText(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            result += "\\N";
        } else if (c == '\n') {
            result += "\\N";
        } else if (c == '\\') {
            result += "\\\\";
        } else {
            result += c;
        }
    }
    return result;
}

std::string UnescapeTopicText(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\v')
            continue;
        if (c != '\\' || i + 1 == text.size()) {
            result += c; // a lone backslash at the very end stays
            continue;
        }
        const char next = text[++i];
        if (next == 'N')
            result += '\r';
        else if (next == 'L')
            result += '\n';
        else if (next != '\v')
            result += next;
    }
    return result;
}

bool ReadColorElement(const TXMLElement& parent, std::string_view name, TColor& color) {
    const TXMLElement* element = parent.FindChild(name);
    if (!element || element->Kind() != xekElement)
        return false;
    const int r = element->GetInt("r", -1);
    const int g = element->GetInt("g", -1);
    const int b = element->GetInt("b", -1);
    if (r == -1 || g == -1 || b == -1) {
        if (!element->GetBool("none", false))
            return false;
        color = clNone;
        return true;
    }
    color = RGBColor(static_cast<unsigned>(r), static_cast<unsigned>(g), static_cast<unsigned>(b));
    return true;
}

void WriteColorElement(TXMLElement& parent, std::string_view name, TColor color) {
    if (color == clDefault)
        return;
    TXMLElement* element = parent.AddChild(name);
    if (color == clNone) {
        element->SetBool("none", true);
        return;
    }
    element->SetInt("r", static_cast<int>(RedOf(color)));
    element->SetInt("g", static_cast<int>(GreenOf(color)));
    element->SetInt("b", static_cast<int>(BlueOf(color)));
}

bool ParseDocumentDate(std::string_view text, double& days) {
    std::array<int, 3> parts{};
    std::size_t count = 0;
    while (true) {
        const std::size_t dash = text.find('-');
        if (count == parts.size())
            return false;
        const auto value = ParseInt(text.substr(0, dash));
        if (!value)
            return false;
        parts[count++] = *value;
        if (dash == std::string_view::npos)
            break;
        text.remove_prefix(dash + 1);
    }
    if (count != 3)
        return false;
    const int day = parts[0], month = parts[1], year = parts[2];
    if (day < 1 || day > 31 || month < 1 || month > 12 || year < 1 || year > 9999 ||
        !g_date_valid_dmy(static_cast<GDateDay>(day), static_cast<GDateMonth>(month), static_cast<GDateYear>(year)))
        return false;
    GDate date;
    g_date_clear(&date, 1);
    g_date_set_dmy(&date, static_cast<GDateDay>(day), static_cast<GDateMonth>(month), static_cast<GDateYear>(year));
    days = static_cast<double>(static_cast<long>(g_date_get_julian(&date)) - kDateBase);
    return true;
}

std::string FormatDocumentDate(double days) {
    const long julian = static_cast<long>(std::floor(days)) + kDateBase;
    if (!std::isfinite(days) || julian < 1 || julian > 3652059) // 9999-12-31
        return {};
    GDate date;
    g_date_clear(&date, 1);
    g_date_set_julian(&date, static_cast<guint32>(julian));
    return Format("%.2d-%.2d-%.4d", g_date_get_day(&date), static_cast<int>(g_date_get_month(&date)),
                  g_date_get_year(&date));
}

std::string_view CheckboxModeName(TCheckboxMode mode) {
    return KeywordOf(kCheckboxModes, mode);
}
bool TryCheckboxModeFromName(std::string_view name, TCheckboxMode& mode) {
    return LookupKeyword(kCheckboxModes, name, mode);
}
std::string_view AutoNumberingName(TAutoNumbering value) {
    return KeywordOf(kAutoNumberings, value);
}
bool TryAutoNumberingFromName(std::string_view name, TAutoNumbering& value) {
    return LookupKeyword(kAutoNumberings, name, value);
}
std::string_view TextFormatName(TTextFormat format) {
    return KeywordOf(kTextFormats, format);
}
bool TryTextFormatFromName(std::string_view name, TTextFormat& format) {
    return LookupKeyword(kTextFormats, name, format);
}
std::string_view ElementKindName(TElementKind kind) {
    return KeywordOf(kElementKinds, kind);
}
bool TryElementKindFromName(std::string_view name, TElementKind& kind) {
    return LookupKeyword(kElementKinds, name, kind);
}
std::string_view ClipShapeName(TClipShape shape) {
    return KeywordOf(kClipShapes, shape);
}
std::string_view ImageSourceKindName(TImageSourceKind kind) {
    return KeywordOf(kImageSourceKinds, kind);
}

void ReadFontElement(const TXMLElement& font, TFontStyles& style, float& scale) {
    style = 0;
    if (font.GetBool("bold", false))
        style |= fsBold;
    if (font.GetBool("italic", false))
        style |= fsItalic;
    if (font.GetBool("underline", false))
        style |= fsUnderline;
    if (font.GetBool("strikethrough", false))
        style |= fsStrikeOut;
    scale = static_cast<float>(font.GetFloat("scale", 1));
}

namespace {

// A style property read from the element is set and marked overridden; an absent or unknown value leaves both.
template <typename TStyle, typename TValue, typename TBits>
void Override(TStyle& style, void (TStyle::*set)(TValue), TBits bit, const std::optional<TValue>& value) {
    if (!value)
        return;
    (style.*set)(*value);
    style.SetOverride(bit, true);
}

template <typename TValue>
std::optional<TValue> Keyword(bool (*parse)(std::string_view, TValue&), const TXMLElement& element,
                              std::string_view name) {
    TValue value{};
    if (!parse(element.GetString(name), value))
        return std::nullopt;
    return value;
}

std::optional<TColor> Color(const TXMLElement& element, std::string_view name) {
    TColor color = clDefault;
    if (!ReadColorElement(element, name, color))
        return std::nullopt;
    return color;
}

std::optional<double> Number(const TXMLElement& element, std::string_view name, double fallback) {
    if (!element.HasAttribute(name))
        return std::nullopt;
    return element.GetFloat(name, fallback);
}

// The "font" child sets style bits and scale under one override bit.
template <typename TStyle, typename TBits> void OverrideFont(const TXMLElement& element, TStyle& style, TBits bit) {
    const TXMLElement* font = element.FindChild("font");
    if (!font)
        return;
    TFontStyles fontStyle = 0;
    float scale = 1;
    ReadFontElement(*font, fontStyle, scale);
    style.SetFontStyle(fontStyle);
    style.SetFontScale(scale);
    style.SetOverride(bit, true);
}

} // namespace

void ReadRelationStyle(const TXMLElement* element, TRelationStyle& style) {
    TStyleUpdate update(style);
    style.SetOverride(0xFF, false);
    if (!element)
        return;
    Override(style, &TRelationStyle::SetLineStyle, rsoLineStyle,
             Keyword(TryRelationLineStyleFromName, *element, "line-style"));
    if (element->HasAttribute("line-width")) {
        // only a positive width (or one that is no number) counts
        const std::optional<double> width = ParseFloat(element->GetString("line-width"));
        if (!width || *width > 0)
            Override(style, &TRelationStyle::SetLineWidth, rsoLineWidth,
                     std::optional<float>(static_cast<float>(width.value_or(0))));
    }
    Override(style, &TRelationStyle::SetPathStyle, rsoPathStyle,
             Keyword(TryRelationPathStyleFromName, *element, "path-style"));
    Override(style, &TRelationStyle::SetSourceArrow, rsoSourceArrow,
             Keyword(TryArrowStyleFromName, *element, "source-arrow"));
    Override(style, &TRelationStyle::SetTargetArrow, rsoTargetArrow,
             Keyword(TryArrowStyleFromName, *element, "target-arrow"));
    Override(style, &TRelationStyle::SetColor, rsoColor, Color(*element, "color"));
}

void ReadTopicStyle(const TXMLElement* element, TNodeStyle& style) {
    TStyleUpdate update(style);
    style.SetOverride(0xFFFFFFFF, false);
    if (!element)
        return;
    Override(style, &TNodeStyle::SetAlignment, nsoAlignment, Keyword(TryStyleAlignmentFromName, *element, "align"));
    OverrideFont(*element, style, nsoFont);
    Override(style, &TNodeStyle::SetFillColor, nsoFillColor, Color(*element, "fillcolor"));
    Override(style, &TNodeStyle::SetTextColor, nsoTextColor, Color(*element, "textcolor"));
    Override(style, &TNodeStyle::SetStrokeColor, nsoStrokeColor, Color(*element, "strokecolor"));
    Override(style, &TNodeStyle::SetBorderStyle, nsoBorderStyle,
             Keyword(TryNodeBorderStyleFromName, *element, "borderstyle"));
    // a border width that is present but no number reads as 1
    Override(style, &TNodeStyle::SetBorderWidth, nsoBorderWidth, Number(*element, "borderwidth", 1));
    Override(style, &TNodeStyle::SetStrokeStyle, nsoStrokeStyle,
             Keyword(TryStrokeStyleFromName, *element, "strokestyle"));
    Override(style, &TNodeStyle::SetMinWidth, nsoMinWidth, Number(*element, "min-width", 0));
    Override(style, &TNodeStyle::SetMinHeight, nsoMinHeight, Number(*element, "min-height", 0));
}

void ReadTextStyle(const TXMLElement* element, TTextStyle& style) {
    TStyleUpdate update(style);
    style.SetOverride(0xFFFFFFFF, false);
    if (!element)
        return;
    Override(style, &TTextStyle::SetFillColor, tsoFillColor, Color(*element, "fillcolor"));
    Override(style, &TTextStyle::SetTextColor, tsoTextColor, Color(*element, "textcolor"));
    Override(style, &TTextStyle::SetAlignment, tsoAlignment, Keyword(TryStyleAlignmentFromName, *element, "align"));
    Override(style, &TTextStyle::SetCallout, tsoCallout, Keyword(TryCalloutStyleFromName, *element, "callout"));
    OverrideFont(*element, style, tsoFont);
}

void ReadGroupStyle(const TXMLElement* element, TNodeGroupStyle& style) {
    if (!element)
        return;
    TStyleUpdate update(style);
    TGroupBorderStyle border;
    if (TryGroupBorderStyleFromName(element->GetString("borderstyle"), border))
        style.SetBorderStyle(border);
    style.SetBorderWidth(element->GetFloat("borderwidth", style.BorderWidth()));
    TStrokeStyle stroke;
    if (TryStrokeStyleFromName(element->GetString("strokestyle"), stroke))
        style.SetStrokeStyle(stroke);
    TColor color = clDefault;
    if (ReadColorElement(*element, "fillcolor", color))
        style.SetFillColor(color);
    if (ReadColorElement(*element, "strokecolor", color))
        style.SetStrokeColor(color);
    style.SetPadding(element->GetInt("padding", style.Padding()));
}

namespace {

// The "level" children of a "levels" element inside the given element; empty when there are none.
std::vector<const TXMLElement*> LevelElements(const TXMLElement* element) {
    std::vector<const TXMLElement*> levels;
    const TXMLElement* list = element ? element->FindChild("levels") : nullptr;
    for (int i = 0; list && i < list->ChildCount(); ++i)
        if (list->Child(i)->IsElementNamed("level"))
            levels.push_back(list->Child(i));
    return levels;
}

} // namespace

bool ReadLeveledStyleBlock(const TXMLElement& block, TLeveledMindMapStyle& sheet,
                           const std::function<void(const TXMLElement&)>& readMapAttributes) {
    TStyleUpdate update(sheet);
    if (const TXMLElement* attributes = block.FindChild("mindmap"))
        readMapAttributes(*attributes);
    bool leveled = false;
    const TXMLElement* topics = block.FindChild("topics");
    TLeveledNodeStyle& nodeStyle = sheet.NodeStyle();
    nodeStyle.Reset();
    if (const std::vector<const TXMLElement*> levels = LevelElements(topics); !levels.empty()) {
        nodeStyle.SetLevelCount(static_cast<int>(levels.size()));
        for (std::size_t i = 0; i < levels.size(); ++i)
            ReadTopicStyle(levels[i], nodeStyle.LevelStyle(static_cast<int>(i)));
        leveled = true;
    } else {
        ReadTopicStyle(topics, nodeStyle.LevelStyle(0));
    }
    const TXMLElement* relations = block.FindChild("relations");
    ReadRelationStyle(relations ? relations->FindChild("cross-links") : nullptr, sheet.CrossLinkStyle());
    TLeveledRelationStyle& relationStyle = sheet.RelationStyle();
    relationStyle.Reset();
    const TXMLElement* hierarchical = relations ? relations->FindChild("hierarchical-relations") : nullptr;
    if (const std::vector<const TXMLElement*> levels = LevelElements(hierarchical); !levels.empty()) {
        relationStyle.SetLevelCount(static_cast<int>(levels.size()));
        for (std::size_t i = 0; i < levels.size(); ++i)
            ReadRelationStyle(levels[i], relationStyle.LevelStyle(static_cast<int>(i)));
    } else {
        ReadRelationStyle(hierarchical, relationStyle.LevelStyle(0));
    }
    ReadTextStyle(block.FindChild("texts"), sheet.TextStyle());
    if (!leveled) {
        nodeStyle.LevelStyle(0).SetOverride(nsoFont, false);
        sheet.TextStyle().SetOverride(tsoFont, false);
    }
    return block.GetBool("has-levels", false);
}

// ---------------------------------------------------------------------------------------------------------------
// Reader base

void RaiseTooManyTopics() {
    throw ECVException(Format("The document holds more than %zu topics", kMaxTopics));
}

TMindMapNode* TCVMindMapReaderBase::NewTopic() {
    if (static_cast<std::size_t>(FMap->TopicCount()) >= kMaxTopics)
        RaiseTooManyTopics();
    return FMap->NewTopic({0, 0}, true);
}

void TCVMindMapReaderBase::CheckTopicCount(const TXMLElement& list, std::string_view name) const {
    std::size_t count = static_cast<std::size_t>(FMap->TopicCount());
    for (int i = 0; i < list.ChildCount(); ++i)
        if (list.Child(i)->IsElementNamed(name) && ++count > kMaxTopics)
            RaiseTooManyTopics();
}

TCrossLink* TCVMindMapReaderBase::NewCrossLink(TMindMapNode* source, TMindMapNode* target) {
    return FMap->NewCrossLink(source, target);
}

TNodeGroup* TCVMindMapReaderBase::NewGroup(const std::vector<TMindMapNode*>& members) {
    return FMap->NewGroup(members);
}

void TCVMindMapReaderBase::LinkParents(int from, const std::vector<int>& parentIndex) {
    const int count = static_cast<int>(parentIndex.size());
    // Walk up from every topic once; a walk that meets itself has found a cycle, and the reference that closes
    // it is dropped. Every topic is walked over at most once, so this is linear.
    std::vector<int> effective(parentIndex);
    enum : std::uint8_t { sNew, sOnPath, sDone };
    std::vector<std::uint8_t> state(static_cast<std::size_t>(count), sNew);
    std::vector<int> path;
    for (int start = 0; start < count; ++start) {
        path.clear();
        int i = start;
        while (i >= 0 && state[static_cast<std::size_t>(i)] == sNew) {
            state[static_cast<std::size_t>(i)] = sOnPath;
            path.push_back(i);
            const int p = effective[static_cast<std::size_t>(i)] - from;
            const bool inPass = p >= 0 && p < count;
            if (inPass && state[static_cast<std::size_t>(p)] == sOnPath) {
                effective[static_cast<std::size_t>(i)] = -1;
                break;
            }
            i = inPass ? p : -1;
        }
        for (int k : path)
            state[static_cast<std::size_t>(k)] = sDone;
    }
    for (int i = 0; i < count; ++i) {
        const int p = effective[static_cast<std::size_t>(i)];
        if (p < 0 || p >= FMap->TopicCount() || p == from + i)
            continue;
        TMindMapNode* topic = FMap->TopicAt(from + i);
        TMindMapNode* parent = FMap->TopicAt(p);
        if (p < from && topic->IsAncestorOf(parent))
            continue; // only topics of an earlier pass can be checked this way, and they are few
        topic->FParent = parent;
        parent->FChildren.push_back(topic);
    }
    FMap->InvalidateLevels();
    FMap->InvalidateNumbering();
}

void TCVMindMapReaderBase::FinishTopics(int from) {
    for (int i = from; i < FMap->TopicCount(); ++i) {
        TMindMapNode* topic = FMap->TopicAt(i);
        topic->FinishLoading();
        // word wrap of the stored width is applied once the text measurement exists
        if (!topic->Parent() && topic->Hidden()) {
            topic->FHidden = false;
            topic->FVisible = true;
        }
        topic->MarkDerivedDataDirty();
    }
}

std::vector<TMindMapNode*> TCVMindMapWriterBase::Roots(bool selectedBranchesOnly) const {
    if (selectedBranchesOnly)
        return FMap->GetSelectedRootNodes();
    return FMap->CentralThemes();
}

// ---------------------------------------------------------------------------------------------------------------
// Native reader

TXMLMindMapReader::TXMLMindMapReader(TMindMap& map, const std::string& text) : TCVMindMapReaderBase(map) {
    TXMLFiler::LoadFromString(text, FDocument);
}

void TCvmxMindMapReader::Read() {
    const TXMLElement* root = Document().RootElement();
    if (!root || !root->IsElementNamed(kRootName)) {
        Abort();
        return;
    }
    FDocVersion = root->GetInt("doc-version", 1);
    Map().Info().DocVersion = FDocVersion;
    FGenerator = FDocVersion < 2 ? cgWin32 : GeneratorFromName(root->GetString("generator"));
    FCoordinateFactor = FGenerator == cgOSX ? 4.0 / 3.0 : 1.0;
    if (FGenerator != cgTouch && FGenerator != cgAndroid && !SameText(Document().Name(), kRootName)) {
        Abort();
        return;
    }
    const TXMLElement* mindmap = root->FindChild("mindmap");
    if (!mindmap || mindmap->Kind() != xekElement) {
        Abort();
        return;
    }
    const TXMLElement* meta = mindmap->FindChild("meta");
    ReadMeta(meta);
    const int first = Map().TopicCount();
    ReadTopics(mindmap->FindChild("topics"));
    FinishTopics(first);
    ReadRelations(mindmap->FindChild("relations"));
    ReadGroups(mindmap->FindChild("node-groups"));
    RebuildCentralThemes();
    ReadMainCentralTheme(meta);
    ReadSelection(meta);
}

std::string TCvmxMindMapReader::ReadText(const TXMLElement& element, std::string_view name) const {
    // topic texts went through one entity encoding more than the XML needs
    std::string text = DecodeEntities(element.GetString(name));
    return FDocVersion > 1 ? UnescapeTopicText(text) : text;
}

void TCvmxMindMapReader::ReadMeta(const TXMLElement* meta) {
    TMindMap& map = Map();
    const TXMLElement* guidElement = meta ? meta->FindChild("guid") : nullptr;
    const std::string guid = guidElement ? guidElement->GetString("guid") : std::string();
    map.Info().Guid = IsValidDocumentGuid(guid) ? guid : NewDocumentGuid();
    if (!meta)
        return;
    if (const TXMLElement* title = meta->FindChild("title"); title && title->GetBool("customized", false)) {
        const std::string text = title->GetString("text");
        map.SetTitle(FDocVersion > 1 ? UnescapeTopicText(text) : text);
    }
    if (const TXMLElement* style = meta->FindChild("style")) {
        // a sheet the document embeds is its own; otherwise the sheet of its key, the default sheet for an
        // unknown key
        const TXMLElement* embedded = meta->Parent() ? meta->Parent()->FindChild("stylesheet") : nullptr;
        std::unique_ptr<TCustomStyleSheet> sheet =
            embedded && embedded->Kind() == xekElement ? ReadCustomSheet(*embedded, StyleManager()) : nullptr;
        if (sheet)
            UseEmbeddedSheet(map, std::move(sheet), StyleManager());
        else
            map.SetStyleSheet(StyleManager().SheetForDocument(style->GetString("key")));
        ReadDocumentStyle(*style);
    }
    TAutoNumbering numbering = anDisabled;
    if (const TXMLElement* element = meta->FindChild("auto-numbering"))
        TryAutoNumberingFromName(element->GetString("style"), numbering);
    map.SetAutoNumbering(numbering);
    const TXMLElement* rollUp = meta->FindChild("auto-roll-up");
    map.SetAutoRollUp(rollUp && rollUp->GetBool("enabled", false));
    if (const TXMLElement* scroll = meta->FindChild("scrollstate"); scroll && FGenerator == cgWin32) {
        TViewState state;
        state.Zoom = scroll->GetInt("zoom", 100);
        const double x = scroll->GetFloat("x", NAN);
        const double y = scroll->GetFloat("y", NAN);
        state.Valid = std::isfinite(x) && std::isfinite(y) && std::fabs(x) < 2e9 && std::fabs(y) < 2e9;
        if (state.Valid) {
            state.X = static_cast<int>(RoundHalfEven(x));
            state.Y = static_cast<int>(RoundHalfEven(y));
        }
        map.SetViewState(state);
    }
}

void TCvmxMindMapReader::ReadDocumentStyle(const TXMLElement& element) {
    TMindMapStyle& style = Map().MapStyle();
    TStyleUpdate update(style);
    if (const TXMLElement* attributes = element.FindChild("mindmap"))
        ReadMapAttributes(attributes);
    ReadTopicStyle(element.FindChild("topics"), style.NodeStyle());
    const TXMLElement* relations = element.FindChild("relations");
    ReadRelationStyle(relations ? relations->FindChild("cross-links") : nullptr, style.CrossLinkStyle());
    ReadRelationStyle(relations ? relations->FindChild("hierarchical-relations") : nullptr, style.RelationStyle());
    ReadTextStyle(element.FindChild("texts"), style.TextStyle());
    // the font of the defaults never comes from the document
    style.NodeStyle().SetOverride(nsoFont, false);
    style.TextStyle().SetOverride(tsoFont, false);
}

void TCvmxMindMapReader::ReadMapAttributes(const TXMLElement* element) {
    TMindMapStyle& style = Map().MapStyle();
    TStyleUpdate update(style);
    if (element->HasAttribute("connection-style")) {
        TConnectionStyle connection;
        if (TryConnectionStyleFromName(element->GetString("connection-style"), connection)) {
            style.SetConnectionStyle(connection);
            style.SetOverride(msoConnectionStyle, true);
        }
    } else if (element->HasAttribute("natural-paths")) {
        style.SetConnectionStyle(element->GetBool("natural-paths", false) ? csBaseline : csCentered);
        style.SetOverride(msoConnectionStyle, true);
    }
    Override<TMindMapStyleBase>(style, &TMindMapStyleBase::SetBackgroundColor, msoBackgroundColor,
                                Color(*element, "backgroundcolor"));
    if (element->HasAttribute("background-pattern")) {
        const std::string pattern = element->GetString("background-pattern");
        Map().SetBackgroundPatternName(SameText(pattern, "nil") ? std::string() : pattern);
        ReadBackgroundPattern(Map().BackgroundPatternName());
        style.SetOverride(msoBackgroundPattern, true);
    }
    Override<TMindMapStyleBase>(style, &TMindMapStyleBase::SetCheckboxColor, msoCheckboxColor,
                                Color(*element, "checkbox-color"));
    Override<TMindMapStyleBase>(style, &TMindMapStyleBase::SetNoteIndicatorColor, msoNoteIndicatorColor,
                                Color(*element, "note-indicator-color"));
}

void TCvmxMindMapReader::ReadBackgroundPattern(const std::string& name) {
    TMindMapStyle& style = Map().MapStyle();
    if (name.size() > 1 && name.front() == '#') {
        // a picture of the document; when the store has none, the name may still be a built-in pattern's
        TPicture bitmap;
        if (Map().ImageStore().DrawToBitmap(name.substr(1), bitmap) && bitmap) {
            style.SetOwnedPattern(MakeOwnedPattern(std::make_unique<TCustomPattern>(name, std::move(bitmap))));
            return;
        }
    }
    style.SetBackgroundPattern(FindPattern(name));
}

void TCvmxMindMapReader::ReadTopics(const TXMLElement* topics) {
    if (!topics)
        return;
    CheckTopicCount(*topics, "topic");
    const int first = Map().TopicCount();
    std::vector<int> parentIds;
    for (int i = 0; i < topics->ChildCount(); ++i) {
        const TXMLElement& element = *topics->Child(i);
        if (!element.IsElementNamed("topic"))
            continue;
        TMindMapNode* topic = NewTopic();
        const int id = element.GetInt("id", -1);
        FTopicsById.try_emplace(id, topic);
        parentIds.push_back(element.GetInt("parent", -1));
        ReadTopic(element, *topic);
    }
    // parents are found by reader id once every topic exists; an unknown id makes a central theme
    std::vector<int> parentIndex(parentIds.size(), -1);
    std::unordered_map<const TMindMapNode*, int> indexOf;
    indexOf.reserve(parentIds.size());
    for (std::size_t i = 0; i < parentIds.size(); ++i)
        indexOf.emplace(Map().TopicAt(first + static_cast<int>(i)), first + static_cast<int>(i));
    for (std::size_t i = 0; i < parentIds.size(); ++i)
        if (const TMindMapNode* parent = TopicById(parentIds[i]))
            parentIndex[i] = indexOf.at(parent);
    LinkParents(first, parentIndex);
}

void TCvmxMindMapReader::ReadTopic(const TXMLElement& element, TMindMapNode& topic) {
    topic.SetGuid(element.GetString("guid"));
    TTextFormat format = tfMarkdown;
    TryTextFormatFromName(element.GetString("textfmt"), format);
    topic.SetText(ReadText(element, "text"), format);
    topic.SetPosition({element.GetFloat("x", 0) * FCoordinateFactor, element.GetFloat("y", 0) * FCoordinateFactor});
    ReadLayout(element, topic);
    if (element.HasAttribute("wrap"))
        topic.SetWrapWidth(element.GetInt("wrap", -1));

    ReadDecorations(element, topic);

    topic.SetCollapsed(element.GetBool("collapsed", false));
    topic.SetOutlineCollapsed(element.GetBool("outline-collapsed", false));
    topic.SetHidden(element.GetBool("hidden", false));

    TCheckboxMode mode = cbmNone;
    TryCheckboxModeFromName(element.GetString("checkbox-mode"), mode);
    if (mode != cbmNone) {
        topic.SetCheckboxMode(mode);
        const int progress = element.GetInt("progress", -1);
        if (progress >= 0)
            topic.SetProgress(progress);
    } else if (element.GetBool("checkbox", false)) {
        topic.SetCheckboxMode(cbmCheckbox);
        if (element.GetBool("checked", false))
            topic.SetProgress(100);
    }

    double date = 0;
    if (ParseDocumentDate(element.GetString("date"), date))
        topic.SetDate(true, date);

    if (const TXMLElement* memo = element.FindChild("voice-memo"))
        topic.SetVoiceMemo(memo->GetString("link"));

    int palette = element.GetInt("palette", 0);
    if (palette == 0)
        palette = element.GetInt("colorinfo", 0);
    const TXMLElement* styleElement = element.FindChild("style");
    ReadTopicStyle(styleElement, topic.Style());
    if (!styleElement && palette == -1) {
        // the older colour form: colours directly under the topic
        TNodeStyle& style = topic.Style();
        Override(style, &TNodeStyle::SetFillColor, nsoFillColor, Color(element, "fillcolor"));
        Override(style, &TNodeStyle::SetStrokeColor, nsoStrokeColor, Color(element, "strokecolor"));
    }
    topic.SetPaletteIndex(palette < 0 ? 0 : palette);

    if (const TXMLElement* relation = element.FindChild("parent-relation"))
        ReadRelationParts(*relation, topic.ParentRelation());

    if (const TXMLElement* children = element.FindChild("children"))
        ReadContained(*children, topic);
    else if (const TXMLElement* images = element.FindChild("images"))
        ReadContained(*images, topic);

    if (const TXMLElement* note = element.FindChild("note")) {
        TTextFormat noteFormat = tfPlain;
        TryTextFormatFromName(note->GetString("textfmt"), noteFormat);
        topic.SetNote(note->GetText(), noteFormat);
    }
}

void TCvmxMindMapReader::ReadDecorations(const TXMLElement& element, TMindMapNode& topic) {
    topic.SetIcon(element.GetString("icon"));
    if (TNodeIcon* icon = topic.Icon())
        icon->SetScale(element.GetFloat("icon-scale", 0));

    if (const TXMLElement* embedded = element.FindChild("embedded-image")) {
        topic.SetEmbeddedImage(embedded->GetString("name"));
        if (TEmbeddedImage* image = topic.EmbeddedImage()) {
            if (embedded->HasAttribute("scale"))
                image->SetScale(embedded->GetFloat("scale", TEmbeddedImage::kDefaultScale));
            TClipShape clip = clsNone;
            LookupKeyword(kClipShapes, embedded->GetString("clip"), clip);
            image->SetClip(clip);
            image->Link = embedded->GetString("link");
            if (const TXMLElement* source = embedded->FindChild("source"))
                image->Source = ReadImageSource(*source);
        }
    }

    if (const TXMLElement* link = element.FindChild("link")) {
        const auto has = [&](std::string_view name) { return !link->GetString(name).empty(); };
        if (has("diagramref"))
            topic.EnsureLink().SetDiagramReference(link->GetString("diagramref"), link->GetString("element"));
        else if (has("urllink"))
            topic.EnsureLink().SetUrl(link->GetString("urllink"));
        else if (has("cloudmapref"))
            topic.EnsureLink().SetCloudMapReference(link->GetString("cloudmapref"), link->GetString("element"),
                                                    link->GetString("native"), link->GetString("bookmark"));
        else if (has("clouddocref"))
            topic.EnsureLink().SetCloudDocumentReference(link->GetString("clouddocref"), link->GetString("native"),
                                                         link->GetString("bookmark"));
        else if (has("phone-contact"))
            topic.EnsureLink().SetPhoneContact(link->GetString("phone-contact"), link->GetString("thumbnail"));
        else if (has("email-contact"))
            topic.EnsureLink().SetEmailContact(link->GetString("email-contact"), link->GetString("thumbnail"));
    } else if (!element.GetString("diagramref").empty()) {
        topic.EnsureLink().SetDiagramReference(element.GetString("diagramref"), "");
    }

    if (const TXMLElement* hull = element.FindChild("hull"); hull && hull->GetBool("visible", false)) {
        TNodeHullStyle& style = topic.EnsureHull();
        style.HasFill = ReadColorElement(*hull, "fillcolor", style.FillColor);
    }
}

void TCvmxMindMapReader::ReadRelationParts(const TXMLElement& element, TMindMapRelation& relation) {
    relation.SetGuid(element.GetString("guid"));
    ReadRelationStyle(element.FindChild("style"), relation.Style());
    if (const TXMLElement* path = element.FindChild("path"))
        if (const TXMLElement* point = path->FindChild("custom-point")) {
            // handles are relative to the path and keep their scale whatever the generator
            relation.SetHasHandle(true);
            relation.Path().HandleOffset = {point->GetFloat("x", 0), point->GetFloat("y", 0)};
        }
    if (const TXMLElement* children = element.FindChild("children"))
        ReadContained(*children, relation);
}

void TCvmxMindMapReader::ReadContained(const TXMLElement& list, TCompositeElement& owner) {
    for (int i = 0; i < list.ChildCount(); ++i) {
        const TXMLElement& element = *list.Child(i);
        if (element.IsElementNamed("image"))
            ReadImage(element, owner);
        else if (element.IsElementNamed("text"))
            ReadFreeText(element, owner);
    }
}

void TCvmxMindMapReader::ReadImage(const TXMLElement& element, TCompositeElement& owner) {
    std::string thumbnail = element.GetString("thumbnail");
    std::string name = element.GetString("name");
    const TXMLElement* linkElement = element.FindChild("link");
    std::string link = linkElement ? linkElement->GetString("urllink") : std::string();
    // an old form kept the picture's key in a link "images://key" and the shown picture in the name
    if (thumbnail.empty()) {
        const std::size_t separator = link.find("://");
        if (separator != std::string::npos && SameText(link.substr(0, separator), "images") &&
            separator + 3 < link.size()) {
            thumbnail = std::move(name);
            name = link.substr(separator + 3);
            link.clear();
        }
    }
    TMindMapImage* image = owner.AddImage(name, thumbnail);
    image->SetGuid(element.GetString("guid"));
    image->SetOffset({element.GetFloat("x", 0) * FCoordinateFactor, element.GetFloat("y", 0) * FCoordinateFactor});
    image->SetScale(element.GetFloat("scale", 1));
    image->SetLink(link);
    image->SetPositionLocked(element.GetBool("position-locked", false));
    TClipShape clip = clsNone;
    LookupKeyword(kClipShapes, element.GetString("clip"), clip);
    image->SetClip(clip);
    if (const TXMLElement* source = element.FindChild("source"))
        if (const std::unique_ptr<TImageSource> imageSource = ReadImageSource(*source))
            image->SetSource(imageSource.get());
}

void TCvmxMindMapReader::ReadFreeText(const TXMLElement& element, TCompositeElement& owner) {
    std::string text;
    TTextFormat format = tfMarkdown;
    if (const TXMLElement* note = element.FindChild("note")) {
        TryTextFormatFromName(note->GetString("textfmt"), format);
        text = note->GetText();
    }
    TMindMapText* label = owner.AddText(text, format);
    label->SetGuid(element.GetString("guid"));
    label->SetOffset({element.GetFloat("x", 0) * FCoordinateFactor, element.GetFloat("y", -50) * FCoordinateFactor});
    label->SetNested(element.GetBool("nested", false));
    ReadTextStyle(element.FindChild("style"), label->Style());
}

void TCvmxMindMapReader::ReadRelations(const TXMLElement* relations) {
    for (int i = 0; relations && i < relations->ChildCount(); ++i) {
        const TXMLElement& element = *relations->Child(i);
        if (!element.IsElementNamed("relation"))
            continue;
        // a cross link whose ends are unknown is dropped
        TMindMapNode* source = TopicById(element.GetInt("source", -1));
        TMindMapNode* target = TopicById(element.GetInt("target", -1));
        if (!source || !target)
            continue;
        TCrossLink* link = NewCrossLink(source, target);
        link->SetAsHierarchy(element.GetBool("asHierarchy", false));
        ReadRelationParts(element, *link);
    }
}

void TCvmxMindMapReader::ReadGroups(const TXMLElement* groups) {
    for (int i = 0; groups && i < groups->ChildCount(); ++i) {
        const TXMLElement& element = *groups->Child(i);
        const TXMLElement* topics = element.IsElementNamed("node-group") ? element.FindChild("topics") : nullptr;
        if (!topics)
            continue;
        std::vector<TMindMapNode*> members;
        for (int k = 0; k < topics->ChildCount(); ++k)
            if (topics->Child(k)->IsElementNamed("topic"))
                if (TMindMapNode* topic = TopicById(topics->Child(k)->GetInt("id", -1)))
                    members.push_back(topic);
        TNodeGroup* group = NewGroup(members);
        if (!group)
            continue;
        group->SetGuid(element.GetString("guid"));
        group->Guid(); // a group read without identity gets one
        ReadGroupStyle(element.FindChild("style"), group->Style());
    }
}

void TCvmxMindMapReader::ReadLayout(const TXMLElement& element, TMindMapNode& topic) {
    if (const TXMLElement* layout = element.FindChild("layout"); layout && layout->Kind() == xekElement) {
        TNestedLayoutMode mode = nlmParent;
        TryLayoutModeFromName(layout->GetString("mode"), mode);
        TLayoutOptions options = TLayoutOptions::ForMode(mode);
        TryLayoutDirectionFromName(layout->GetString("direction"), options.Direction);
        TryLayoutFlowFromName(layout->GetString("flow"), options.Flow);
        topic.SetLayoutOptions(&options);
        return;
    }
    TNestedLayoutMode mode = nlmParent;
    TryLayoutModeFromName(element.GetString("layout"), mode);
    if (mode <= nlmFree)
        return;
    TLegacyDirection legacy = (mode == nlmTopDown || mode == nlmMatrix) ? ldlBottom : ldlAuto;
    LookupKeyword(kLegacyDirections, element.GetString("layout-direction"), legacy);
    const TLayoutOptions options = ConvertLegacyLayout(mode, legacy);
    topic.SetLayoutOptions(&options);
}

TMindMapNode* TCvmxMindMapReader::TopicById(int id) const {
    const auto it = FTopicsById.find(id);
    return it == FTopicsById.end() ? nullptr : it->second;
}

void TCvmxMindMapReader::ReadMainCentralTheme(const TXMLElement* meta) {
    int id = 0;
    if (meta)
        if (const TXMLElement* element = meta->FindChild("main-centraltheme"))
            id = element->GetInt("id", 0);
    if (TMindMapNode* topic = TopicById(id); topic && !topic->Parent())
        Map().SetMainCentralTheme(topic);
}

void TCvmxMindMapReader::ReadSelection(const TXMLElement* meta) {
    const TXMLElement* selection = meta ? meta->FindChild("selection") : nullptr;
    if (!selection)
        return;
    TMindMap& map = Map();
    if (TMindMapElement* element = map.FindElementByGuid(selection->GetString("guid"))) {
        map.Select(element);
        return;
    }
    const int id = selection->GetInt("id", -1);
    TMindMapNode* topic = id < 0 ? nullptr : TopicById(id);
    if (!topic)
        return;
    TElementKind kind = ekNone;
    TryElementKindFromName(selection->GetString("type"), kind);
    const auto crossLinkTo = [&](TMindMapNode* other) -> TCrossLink* {
        for (int i = 0; i < map.RelationCount(); ++i)
            if (map.RelationAt(i)->Connects(topic, other))
                return map.RelationAt(i);
        return nullptr;
    };
    TMindMapElement* chosen = topic;
    if (kind == ekImage || kind == ekText) {
        TCompositeElement* container = topic;
        const std::string containerType = selection->GetString("container-type");
        if (SameText(containerType, "crosslink"))
            container = crossLinkTo(TopicById(selection->GetInt("source", -1)));
        else if (SameText(containerType, "parent-relation"))
            container = &topic->ParentRelation();
        const int index = selection->HasAttribute("child-index") ? selection->GetInt("child-index", -1)
                                                                 : selection->GetInt("image", -1);
        if (container)
            if (TContainedElement* contained = container->ContainedAt(index))
                chosen = contained;
    } else if (kind == ekCrossLink) {
        if (TCrossLink* link = crossLinkTo(TopicById(selection->GetInt("source", -1))))
            chosen = link;
    } else if (kind == ekParentRelation) {
        chosen = &topic->ParentRelation();
    }
    map.Select(chosen);
}

std::unique_ptr<TImageSource> ReadImageSource(const TXMLElement& element) {
    TImageSourceKind kind = iskCache;
    if (!LookupKeyword(kImageSourceKinds, element.GetString("type"), kind))
        return nullptr;
    auto source = std::make_unique<TImageSource>();
    source->Kind = kind;
    source->Source = element.GetString("source");
    source->Scribble = element.GetString("scribble");
    return source;
}

std::unique_ptr<TCVMindMapReaderBase> CreateMindMapReader(TMindMap& map, const std::string& text, int kind) {
    // native-kind texts may be maps of the oldest generation
    if ((kind == dkCvmx || kind == dkCvmxOther) && IsLegacyDiagramText(text))
        return std::make_unique<TV1MindMapReader>(map, text);
    return FilerFactory().CreateReader(map, text, kind);
}
