#include "formats/CvmxWriters.h"

#include "formats/XMLFilers.h"
#include "model/NodeIcons.h"
#include "platform/CVStrings.h"
#include "platform/Files.h"
#include "styling/CVCustomStyles.h"
#include "styling/CVStyles.h"

#include <functional>
#include <glib.h>
#include <memory>
#include <zip.h>

namespace {

constexpr std::string_view kRootName = "corvella-mindmaps";

// The reader decodes topic texts once more after the XML has been decoded (older documents rely on it), so every
// "&" is escaped once more here: "a &lt; b" must come back as written, not as "a < b".
std::string WrittenTopicText(std::string_view text) {
    const std::string escaped = EscapeTopicText(text);
    std::string result;
    result.reserve(escaped.size());
    for (char c : escaped) {
        if (c == '&')
            result += "&amp;";
        else
            result += c;
    }
    return result;
}

void WriteFontElement(TXMLElement& parent, TFontStyles style, float scale) {
    TXMLElement* font = parent.AddChild("font");
    if (style & fsBold)
        font->SetBool("bold", true);
    if (style & fsItalic)
        font->SetBool("italic", true);
    if (style & fsUnderline)
        font->SetBool("underline", true);
    if (style & fsStrikeOut)
        font->SetBool("strikethrough", true);
    if (scale != 1.0f)
        font->SetFloat("scale", scale);
}

// Style elements hold only what the style overrides itself, and are left out when it overrides nothing.
void WriteRelationStyleAttributes(TXMLElement* element, const TRelationStyle& style) {
    const std::uint8_t bits = style.Overrides();
    if (bits & rsoLineStyle)
        element->SetString("line-style", RelationLineStyleName(style.LineStyle()));
    if (bits & rsoLineWidth)
        element->SetFixed("line-width", style.LineWidth());
    if (bits & rsoPathStyle)
        element->SetString("path-style", RelationPathStyleName(style.PathStyle()));
    if (bits & rsoSourceArrow)
        element->SetString("source-arrow", ArrowStyleName(style.SourceArrow()));
    if (bits & rsoTargetArrow)
        element->SetString("target-arrow", ArrowStyleName(style.TargetArrow()));
    if (bits & rsoColor)
        WriteColorElement(*element, "color", style.Color());
}

void WriteRelationStyle(TXMLElement& parent, std::string_view name, const TRelationStyle& style) {
    if (style.Overrides() != 0)
        WriteRelationStyleAttributes(parent.AddChild(name), style);
}

void WriteTopicStyleAttributes(TXMLElement& element, const TNodeStyle& style) {
    const std::uint32_t bits = style.Overrides();
    if (bits & nsoAlignment)
        element.SetString("align", StyleAlignmentName(style.Alignment()));
    if (bits & nsoFont)
        WriteFontElement(element, style.FontStyle(), style.FontScale());
    if (bits & nsoFillColor)
        WriteColorElement(element, "fillcolor", style.FillColor());
    if (bits & nsoStrokeColor)
        WriteColorElement(element, "strokecolor", style.StrokeColor());
    if (bits & nsoTextColor)
        WriteColorElement(element, "textcolor", style.TextColor());
    if (bits & nsoBorderStyle)
        element.SetString("borderstyle", NodeBorderStyleName(style.BorderStyle()));
    if (bits & nsoBorderWidth)
        element.SetFixed("borderwidth", style.BorderWidth());
    if (bits & nsoStrokeStyle)
        element.SetString("strokestyle", StrokeStyleName(style.StrokeStyle()));
    if (bits & nsoMinWidth)
        element.SetFixed("min-width", style.MinWidth());
    if (bits & nsoMinHeight)
        element.SetFixed("min-height", style.MinHeight());
}

void WriteTopicStyle(TXMLElement& parent, std::string_view name, const TNodeStyle& style) {
    if (style.Overrides() != 0)
        WriteTopicStyleAttributes(*parent.AddChild(name), style);
}

void WriteTextStyle(TXMLElement& parent, std::string_view name, const TTextStyle& style) {
    const std::uint32_t bits = style.Overrides();
    if (bits == 0)
        return;
    TXMLElement* element = parent.AddChild(name);
    if (bits & tsoTextColor)
        WriteColorElement(*element, "textcolor", style.TextColor());
    if (bits & tsoFillColor)
        WriteColorElement(*element, "fillcolor", style.FillColor());
    if (bits & tsoAlignment)
        element->SetString("align", StyleAlignmentName(style.Alignment()));
    if (bits & tsoCallout)
        element->SetString("callout", CalloutStyleName(style.Callout()));
    if (bits & tsoFont)
        WriteFontElement(*element, style.FontStyle(), style.FontScale());
}

void WriteMapAttributes(TXMLElement& parent, const TMindMap& map) {
    const TMindMapStyle& style = map.MapStyle();
    const std::uint8_t bits = style.Overrides();
    if (bits == 0)
        return;
    TXMLElement* element = parent.AddChild("mindmap");
    if (bits & msoConnectionStyle) {
        element->SetString("connection-style", ConnectionStyleName(style.ConnectionStyle()));
        if (style.ConnectionStyle() == csBaseline)
            element->SetBool("natural-paths", true);
    }
    if (bits & msoBackgroundColor)
        WriteColorElement(*element, "backgroundcolor", style.BackgroundColor());
    if (bits & msoBackgroundPattern)
        element->SetString("background-pattern",
                           map.BackgroundPatternName().empty() ? "nil" : map.BackgroundPatternName());
    if (bits & msoCheckboxColor)
        WriteColorElement(*element, "checkbox-color", style.CheckboxColor());
    if (bits & msoNoteIndicatorColor)
        WriteColorElement(*element, "note-indicator-color", style.NoteIndicatorColor());
}

void WriteImageSource(TXMLElement& parent, const TImageSource* source) {
    if (!source)
        return;
    TXMLElement* element = parent.AddChild("source");
    element->SetString("type", ImageSourceKindName(source->Kind));
    element->AddIfNotEmpty("source", source->Source);
    element->AddIfNotEmpty("scribble", source->Scribble);
}

void WriteImage(TXMLElement& list, const TMindMapImage& image) {
    TXMLElement* element = list.AddChild("image");
    element->AddIfNotEmpty("guid", image.StoredGuid());
    element->AddIfNotEmpty("name", image.Name());
    element->AddIfNotEmpty("thumbnail", image.Thumbnail());
    element->SetFixed("x", image.Offset().X);
    element->SetFixed("y", image.Offset().Y);
    element->SetFloat("scale", image.Scale());
    if (image.PositionLocked())
        element->SetBool("position-locked", true);
    if (image.Clip() != clsNone)
        element->SetString("clip", ClipShapeName(image.Clip()));
    if (!image.Link().empty())
        element->AddChild("link")->SetString("urllink", image.Link());
    WriteImageSource(*element, image.Source());
}

void WriteFreeText(TXMLElement& list, const TMindMapText& text) {
    TXMLElement* element = list.AddChild("text");
    element->AddIfNotEmpty("guid", text.StoredGuid());
    element->SetFixed("x", text.Offset().X);
    element->SetFixed("y", text.Offset().Y);
    if (text.Nested())
        element->SetBool("nested", true);
    TXMLElement* note = element->AddChild("note");
    if (text.TextFormat() != tfMarkdown)
        note->SetString("textfmt", TextFormatName(text.TextFormat()));
    if (!text.Text().empty())
        note->AddText(text.Text());
    WriteTextStyle(*element, "style", text.Style());
}

void WriteLink(TXMLElement& topic, const TDiagramLink& link) {
    if (link.Target().empty())
        return;
    TXMLElement* element = topic.AddChild("link");
    switch (link.Kind()) {
    case lkDiagram:
        element->SetString("diagramref", link.Target());
        element->AddIfNotEmpty("element", link.Element());
        break;
    case lkUrl:
        element->SetString("urllink", link.Target());
        break;
    case lkCloudMap:
        element->SetString("cloudmapref", link.Target());
        element->AddIfNotEmpty("element", link.Element());
        element->AddIfNotEmpty("native", link.Native());
        element->AddIfNotEmpty("bookmark", link.Bookmark());
        break;
    case lkCloudDocument:
        element->SetString("clouddocref", link.Target());
        element->AddIfNotEmpty("native", link.Native());
        element->AddIfNotEmpty("bookmark", link.Bookmark());
        break;
    case lkPhoneContact:
        element->SetString("phone-contact", link.Target());
        element->AddIfNotEmpty("thumbnail", link.Thumbnail());
        break;
    case lkEmailContact:
        element->SetString("email-contact", link.Target());
        element->AddIfNotEmpty("thumbnail", link.Thumbnail());
        break;
    }
}

bool HasImages(const TCompositeElement& owner) {
    for (int i = 0; i < owner.ContainedCount(); ++i)
        if (owner.ContainedAt(i)->ElementKind() == ekImage)
            return true;
    return false;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Writer

TCvmxMindMapWriter::TCvmxMindMapWriter(TMindMap& map) : TCVMindMapWriterBase(map) {}

int TCvmxMindMapWriter::TopicId(const TMindMapNode* topic) const {
    const auto it = FIds.find(topic);
    return it == FIds.end() ? -1 : it->second;
}

void TCvmxMindMapWriter::CollectTopics() {
    FTopics.clear();
    FIds.clear();
    FTopics.reserve(static_cast<std::size_t>(Map().TopicCount()));
    for (TMindMapNode* theme : Map().CentralThemes())
        theme->CollectBranch(FTopics);
    FIds.reserve(FTopics.size());
    for (std::size_t i = 0; i < FTopics.size(); ++i)
        FIds.emplace(FTopics[i], static_cast<int>(i));
}

std::string TCvmxMindMapWriter::Write(bool) {
    CollectTopics();
    FDocument.Clear();
    FDocument.SetDocTypeName(std::string(kRootName));
    FDocument.SetEncoding("UTF-8");
    FDocument.SetWriteDeclaration(true);
    FDocument.SetIndent(false);

    TXMLElement* root = FDocument.AddChild(kRootName);
    root->SetString("generator", "CorvellaWin32");
    root->SetString("gen-version", Format("%d.%d.%d", CV_VERSION_MAJOR, CV_VERSION_MINOR, CV_VERSION_PATCH));
    root->SetInt("doc-version", 3);
    TXMLElement* mindmap = root->AddChild("mindmap");
    WriteMeta(*mindmap->AddChild("meta"));
    TXMLElement* topics = mindmap->AddChild("topics");
    for (TMindMapNode* topic : FTopics)
        WriteTopic(*topics, *topic);
    WriteRelations(*mindmap->AddChild("relations"));
    WriteGroups(*mindmap->AddChild("node-groups"));
    // a built-in sheet is named by its key in the meta block; a custom one travels with the document
    if (const TStyleSheet* sheet = Map().StyleSheet(); sheet && sheet->IsCustomSheet())
        WriteCustomSheet(*sheet, *mindmap->AddChild("stylesheet"));

    std::string text = TXMLFiler::SaveToString(FDocument);
    FDocument.Clear();
    return text;
}

void TCvmxMindMapWriter::WriteMeta(TXMLElement& meta) {
    TMindMap& map = Map();
    // the document keeps its identity; a map read without one is named by its storage
    const std::string& guid = map.Info().Guid.empty() ? map.Info().StorageName : map.Info().Guid;
    if (!guid.empty())
        meta.AddChild("guid")->SetString("guid", guid);
    TXMLElement* title = meta.AddChild("title");
    title->SetString("text", EscapeTopicText(map.DocumentTitle()));
    if (!map.Title().empty())
        title->SetBool("customized", true);
    meta.AddChild("images")->SetBool("containsImages", true);
    WriteDocumentStyle(*meta.AddChild("style"));
    meta.AddChild("auto-numbering")->SetString("style", AutoNumberingName(map.AutoNumbering()));
    if (map.AutoRollUp())
        meta.AddChild("auto-roll-up")->SetBool("enabled", true);
    const TViewState state = map.GetViewState();
    TXMLElement* scroll = meta.AddChild("scrollstate");
    scroll->SetInt("zoom", state.Zoom);
    if (state.Valid) {
        scroll->SetInt("x", state.X);
        scroll->SetInt("y", state.Y);
    }
    TCvmxSelectionParcelWriter::WriteParcel(TCvmxSelectionParcelWriter(*this).Fill(map), meta);
    if (map.CentralThemeCount() > 0)
        meta.AddChild("main-centraltheme")->SetInt("id", TopicId(map.MainCentralTheme()));
}

void TCvmxMindMapWriter::WriteDocumentStyle(TXMLElement& style) {
    TMindMap& map = Map();
    if (const TStyleSheet* sheet = map.StyleSheet())
        style.AddIfNotEmpty("key", sheet->Key());
    WriteMapAttributes(style, map);
    const TMindMapStyle& mapStyle = map.MapStyle();
    WriteTopicStyle(style, "topics", mapStyle.NodeStyle());
    if (mapStyle.CrossLinkStyle().Overrides() != 0 || mapStyle.RelationStyle().Overrides() != 0) {
        TXMLElement* relations = style.AddChild("relations");
        WriteRelationStyle(*relations, "cross-links", mapStyle.CrossLinkStyle());
        WriteRelationStyle(*relations, "hierarchical-relations", mapStyle.RelationStyle());
    }
    WriteTextStyle(style, "texts", mapStyle.TextStyle());
}

void TCvmxMindMapWriter::WriteTopic(TXMLElement& parent, TMindMapNode& topic) {
    TXMLElement& element = *parent.AddChild("topic");
    element.SetInt("id", TopicId(&topic));
    element.SetInt("parent", topic.Parent() ? TopicId(topic.Parent()) : -1);
    element.AddIfNotEmpty("guid", topic.StoredGuid());
    element.SetFixed("x", topic.GetPosition().X);
    element.SetFixed("y", topic.GetPosition().Y);

    if (const TLayoutOptions* options = topic.LayoutOptions(); options && options->Mode != nlmParent) {
        TXMLElement* layout = element.AddChild("layout");
        layout->SetString("mode", LayoutModeName(options->Mode));
        layout->SetString("direction", LayoutDirectionName(options->Direction));
        layout->SetString("flow", LayoutFlowName(options->Flow));
    }

    const TNodeStyle& style = topic.Style();
    WriteTopicStyle(element, "style", style);
    const bool colorOverridden = (style.Overrides() & (nsoFillColor | nsoStrokeColor)) != 0;
    if (topic.PaletteIndex() != 0 || colorOverridden) {
        element.SetInt("palette", topic.PaletteIndex());
        element.SetInt("colorinfo", colorOverridden ? -1 : topic.PaletteIndex());
        if (colorOverridden) {
            // the older colour form, for readers that know no style element
            WriteColorElement(element, "fillcolor", ColorOrPalette(style.FillColor(), topic.ResolvedFill));
            WriteColorElement(element, "strokecolor", ColorOrPalette(style.StrokeColor(), topic.ResolvedBorder));
        }
    }

    if (const TNodeHullStyle* hull = topic.Hull()) {
        TXMLElement* hullElement = element.AddChild("hull");
        hullElement->SetBool("visible", true);
        if (hull->HasFill)
            WriteColorElement(*hullElement, "fillcolor", hull->FillColor);
    }

    TParentRelation& relation = topic.ParentRelation();
    if (relation.ContainedCount() > 0 || relation.Style().Overrides() != 0 || !relation.StoredGuid().empty() ||
        relation.HasHandle())
        WriteRelationParts(*element.AddChild("parent-relation"), relation);

    if (const TNodeIcon* icon = topic.Icon()) {
        element.SetString("icon", icon->Name());
        if (icon->HasCustomScale())
            element.SetFloat("icon-scale", icon->Scale());
    }
    if (const TEmbeddedImage* image = topic.EmbeddedImage()) {
        TXMLElement* embedded = element.AddChild("embedded-image");
        embedded->SetString("name", image->Name());
        embedded->SetFloat("scale", image->Scale());
        if (image->Clip() != clsNone)
            embedded->SetString("clip", ClipShapeName(image->Clip()));
        embedded->AddIfNotEmpty("link", image->Link);
        WriteImageSource(*embedded, image->Source.get());
    }

    if (topic.Collapsed())
        element.SetBool("collapsed", true);
    if (topic.OutlineCollapsed())
        element.SetBool("outline-collapsed", true);
    if (topic.Hidden())
        element.SetBool("hidden", true);

    if (topic.CheckboxMode() != cbmNone) {
        element.SetString("checkbox-mode", CheckboxModeName(topic.CheckboxMode()));
        if (topic.CheckboxMode() != cbmRollUpProgress)
            element.SetInt("progress", topic.Progress());
        element.SetBool("checkbox", true);
        if (topic.Progress() > 99)
            element.SetBool("checked", true);
    }
    if (topic.HasDate())
        element.AddIfNotEmpty("date", FormatDocumentDate(topic.Date()));
    if (const TDiagramLink* link = topic.Link())
        WriteLink(element, *link);
    if (!topic.VoiceMemo().empty())
        element.AddChild("voice-memo")->SetString("link", topic.VoiceMemo());
    if (topic.ContainedCount() > 0) {
        WriteContained(*element.AddChild("children"), topic, false);
        // readers that know only the older list still find the pictures
        if (HasImages(topic))
            WriteContained(*element.AddChild("images"), topic, true);
    }

    element.AddIfNotEmpty("text", WrittenTopicText(topic.Text()));
    if (topic.TextFormat() != tfMarkdown)
        element.SetString("textfmt", TextFormatName(topic.TextFormat()));
    if (!topic.Note().empty()) {
        TXMLElement* note = element.AddChild("note");
        if (topic.NoteFormat() != tfPlain)
            note->SetString("textfmt", TextFormatName(topic.NoteFormat()));
        note->AddText(topic.Note());
    }
}

void TCvmxMindMapWriter::WriteRelationParts(TXMLElement& element, TMindMapRelation& relation) {
    WriteRelationStyle(element, "style", relation.Style());
    if (relation.HasHandle()) {
        TXMLElement* point = element.AddChild("path")->AddChild("custom-point");
        point->SetFixed("x", relation.Path().HandleOffset.X);
        point->SetFixed("y", relation.Path().HandleOffset.Y);
    }
    if (relation.ContainedCount() > 0)
        WriteContained(*element.AddChild("children"), relation, false);
    element.AddIfNotEmpty("guid", relation.StoredGuid());
}

void TCvmxMindMapWriter::WriteContained(TXMLElement& list, const TCompositeElement& owner, bool imagesOnly) {
    for (int i = 0; i < owner.ContainedCount(); ++i) {
        const TContainedElement* contained = owner.ContainedAt(i);
        if (contained->ElementKind() == ekImage)
            WriteImage(list, static_cast<const TMindMapImage&>(*contained));
        else if (contained->ElementKind() == ekText && !imagesOnly)
            WriteFreeText(list, static_cast<const TMindMapText&>(*contained));
    }
}

void TCvmxMindMapWriter::WriteRelations(TXMLElement& relations) {
    TMindMap& map = Map();
    for (int i = 0; i < map.RelationCount(); ++i) {
        TCrossLink& link = *map.RelationAt(i);
        // a link is written only when both its ends are
        const int source = TopicId(link.Source());
        const int target = TopicId(link.Target());
        if (source < 0 || target < 0)
            continue;
        TXMLElement* element = relations.AddChild("relation");
        element->AddIfNotEmpty("guid", link.StoredGuid());
        element->SetInt("source", source);
        element->SetInt("target", target);
        if (link.AsHierarchy())
            element->SetBool("asHierarchy", true);
        WriteRelationStyle(*element, "style", link.Style());
        if (link.HasHandle()) {
            TXMLElement* point = element->AddChild("path")->AddChild("custom-point");
            point->SetFixed("x", link.Path().HandleOffset.X);
            point->SetFixed("y", link.Path().HandleOffset.Y);
        }
        if (link.ContainedCount() > 0)
            WriteContained(*element->AddChild("children"), link, false);
    }
}

void TCvmxMindMapWriter::WriteGroups(TXMLElement& groups) {
    TMindMap& map = Map();
    for (int i = 0; i < map.GroupCount(); ++i) {
        const TNodeGroup& group = *map.GroupAt(i);
        std::vector<int> members;
        for (int k = 0; k < group.MemberCount(); ++k)
            if (const int id = TopicId(group.MemberAt(k)); id >= 0)
                members.push_back(id);
        if (members.empty())
            continue;
        TXMLElement* element = groups.AddChild("node-group");
        element->AddIfNotEmpty("guid", group.StoredGuid());
        const TNodeGroupStyle& style = group.Style();
        const TNodeGroupStyle defaults;
        TXMLElement* styleElement = element->AddChild("style");
        if (style.BorderStyle() != defaults.BorderStyle())
            styleElement->SetString("borderstyle", GroupBorderStyleName(style.BorderStyle()));
        if (style.BorderWidth() != defaults.BorderWidth())
            styleElement->SetFixed("borderwidth", style.BorderWidth());
        if (style.StrokeStyle() != defaults.StrokeStyle())
            styleElement->SetString("strokestyle", StrokeStyleName(style.StrokeStyle()));
        WriteColorElement(*styleElement, "fillcolor", style.FillColor());
        WriteColorElement(*styleElement, "strokecolor", style.StrokeColor());
        if (style.Padding() != defaults.Padding())
            styleElement->SetInt("padding", style.Padding());
        TXMLElement* topics = element->AddChild("topics");
        for (int id : members)
            topics->AddChild("topic")->SetInt("id", id);
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Leveled style blocks

void WriteLeveledStyleBlock(TXMLElement& block, const TLeveledMindMapStyle& sheet,
                            const std::function<void(TXMLElement&)>& writeMapAttributes) {
    if (writeMapAttributes)
        writeMapAttributes(block);
    block.SetBool("has-levels", true);
    const TLeveledNodeStyle& topics = sheet.NodeStyle();
    if (topics.LevelStyle(0).Overrides() != 0 || topics.LevelCount() > 1) {
        TXMLElement* element = block.AddChild("topics");
        WriteTopicStyleAttributes(*element, topics.LevelStyle(0));
        if (topics.LevelCount() > 1) {
            TXMLElement* levels = element->AddChild("levels");
            for (int i = 0; i < topics.LevelCount(); ++i)
                WriteTopicStyleAttributes(*levels->AddChild("level"), topics.LevelStyle(i));
        }
    }
    TXMLElement* relations = block.AddChild("relations");
    WriteRelationStyle(*relations, "cross-links", sheet.CrossLinkStyle());
    const TLeveledRelationStyle& connections = sheet.RelationStyle();
    TXMLElement* hierarchical = relations->AddChild("hierarchical-relations");
    if (connections.LevelCount() > 1) {
        TXMLElement* levels = hierarchical->AddChild("levels");
        for (int i = 0; i < connections.LevelCount(); ++i)
            WriteRelationStyleAttributes(levels->AddChild("level"), connections.LevelStyle(i));
    } else {
        WriteRelationStyleAttributes(hierarchical, connections.LevelStyle(0));
    }
    WriteTextStyle(block, "texts", sheet.TextStyle());
}

// ---------------------------------------------------------------------------------------------------------------
// Selection parcels

TSelectionParcel TCvmxSelectionParcelWriter::Fill(TMindMap& map) const {
    TSelectionParcel parcel;
    TMindMapElement* element = map.SelectedElement();
    if (!element)
        return parcel;
    parcel.Type = element->ElementKind();
    if (!element->StoredGuid().empty() || map.Modified())
        parcel.Guid = element->Guid();
    const auto idOf = [this](const TMindMapNode* topic) { return topic ? FWriter->TopicId(topic) : -1; };
    const auto anchorRelation = [&](const TMindMapRelation& relation) {
        if (relation.ElementKind() == ekCrossLink) {
            parcel.Source = idOf(relation.Source());
            parcel.Id = idOf(relation.Target());
        } else {
            parcel.Id = idOf(relation.Target());
        }
    };
    if (const auto* contained = dynamic_cast<const TContainedElement*>(element)) {
        parcel.Contained = true;
        const TCompositeElement& owner = contained->Owner();
        parcel.ContainerType = owner.ElementKind();
        parcel.ChildIndex = owner.IndexOfContained(contained);
        if (const auto* relation = dynamic_cast<const TMindMapRelation*>(&owner))
            anchorRelation(*relation);
        else if (const auto* topic = dynamic_cast<const TMindMapNode*>(&owner))
            parcel.Id = idOf(topic);
    } else if (const auto* topic = dynamic_cast<const TMindMapNode*>(element)) {
        parcel.Id = idOf(topic);
    } else if (const auto* relation = dynamic_cast<const TMindMapRelation*>(element)) {
        anchorRelation(*relation);
    }
    return parcel;
}

void TCvmxSelectionParcelWriter::WriteParcel(const TSelectionParcel& parcel, TXMLElement& meta) {
    if (parcel.Type == ekNone)
        return;
    TXMLElement* element = meta.AddChild("selection");
    element->AddIfNotEmpty("guid", parcel.Guid);
    element->SetString("type", ElementKindName(parcel.Type));
    if (parcel.Contained && parcel.ChildIndex >= 0) {
        element->SetString("container-type", ElementKindName(parcel.ContainerType));
        element->SetInt("child-index", parcel.ChildIndex);
        element->SetInt("image", parcel.ChildIndex);
    }
    if (parcel.Source >= 0)
        element->SetInt("source", parcel.Source);
    if (parcel.Id >= 0)
        element->SetInt("id", parcel.Id);
}

// ---------------------------------------------------------------------------------------------------------------
// Archives

namespace {

struct TZipSourceFree {
    void operator()(zip_source_t* source) const { zip_source_free(source); }
};

[[noreturn]] void RaiseArchiveError(const char* what) {
    throw ECVException(Format("Cannot write the archive: %s", what));
}

} // namespace

std::string BuildNativeArchive(const std::string& documentText, const std::vector<TArchiveImage>& images) {
    zip_error_t error;
    zip_error_init(&error);
    std::unique_ptr<zip_source_t, TZipSourceFree> buffer(zip_source_buffer_create(nullptr, 0, 0, &error));
    if (!buffer) {
        zip_error_fini(&error);
        RaiseArchiveError("out of memory");
    }
    zip_t* archive = zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &error);
    if (!archive) {
        const std::string message = zip_error_strerror(&error);
        zip_error_fini(&error);
        RaiseArchiveError(message.c_str());
    }
    zip_error_fini(&error);
    // the archive took the buffer over; it must outlive the archive so that the bytes can be read afterwards
    zip_source_keep(buffer.get());

    const std::string document = "\xEF\xBB\xBF" + documentText;
    const auto add = [&](const std::string& name, const std::string& bytes) {
        // libzip reads the bytes when the archive is closed; they live until then
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        if (!source)
            return false;
        if (zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(source);
            return false;
        }
        return true;
    };
    bool added = add(std::string(kDocumentEntryName), document);
    for (const TArchiveImage& image : images)
        added = added && add("images/" + image.Key + ".png", image.Bytes);
    if (!added) {
        const std::string message = zip_strerror(archive);
        zip_discard(archive);
        RaiseArchiveError(message.c_str());
    }
    if (zip_close(archive) != 0) {
        const std::string message = zip_strerror(archive);
        zip_discard(archive);
        RaiseArchiveError(message.c_str());
    }

    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_source_stat(buffer.get(), &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) ||
        zip_source_open(buffer.get()) != 0)
        RaiseArchiveError("the archive cannot be read back");
    std::string bytes(static_cast<std::size_t>(stat.size), '\0');
    const zip_int64_t read = zip_source_read(buffer.get(), bytes.data(), stat.size);
    zip_source_close(buffer.get());
    if (read < 0 || static_cast<zip_uint64_t>(read) != stat.size)
        RaiseArchiveError("the archive cannot be read back");
    return bytes;
}

void WriteNativeArchive(const std::string& path, const std::string& documentText,
                        const std::vector<TArchiveImage>& images) {
    const std::string bytes = BuildNativeArchive(documentText, images);
    GError* error = nullptr;
    // written to a temporary file beside the target and renamed over it
    if (!g_file_set_contents(path.c_str(), bytes.data(), static_cast<gssize>(bytes.size()), &error)) {
        const std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw ECVException(Format("Cannot write %s: %s", ExtractFileName(path).c_str(), message.c_str()));
    }
}
