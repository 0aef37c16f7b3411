#pragma once

// The in-memory document: a forest of topics under one or more central themes, with relations, free images
// and texts, group borders, map options, the selection and the update batching that observers rely on.

#include "layout/LayoutOpts.h"
#include "model/Editable.h"
#include "model/MindMapSearch.h"
#include "model/NodeIcons.h"
#include "model/TopicContents.h"
#include "render/BezierMath.h"
#include "render/CustomImageStores.h"
#include "render/Float2D.h"
#include "styling/Colors.h"
#include "styling/MindMapStyling.h"
#include "text/TextWrappers.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TMindMap;
class TMindMapNode;
class TStyleSheet;
class TCompositeElement;
class TParentRelation;
class TPangoMindNodeStyleData;

enum TElementKind : std::uint8_t {
    ekNone,
    ekTopic,
    ekImage,
    ekText,
    ekCrossLink,
    ekParentRelation,
    ekGroup,
};

// Text formats of topic texts, notes and free texts.
enum TTextFormat : std::uint8_t { tfMarkdown, tfPlain, tfRichText };

enum TCheckboxMode : std::uint8_t { cbmNone, cbmCheckbox, cbmProgress, cbmRollUpProgress };

enum TAutoNumbering : std::uint8_t { anDisabled, anInside, anBelow };

// Change bits collected while the map is updating; observers hear them once, at the outermost EndUpdate.
enum TMapChange : std::uint16_t {
    mcContents = 0x01,
    mcSelection = 0x02,
    mcStyleSheet = 0x04,
    mcViewState = 0x08,
    mcElement = 0x10,
    mcDocumentProperties = 0x20,
    mcMakeVisible = 0x40,
    mcSearch = 0x80,
    mcRelayout = 0x100,
    mcAll = 0x1FF,
};

struct TViewState {
    int Zoom = 100; // percent
    int X = 0;
    int Y = 0;
    bool Valid = false;
};

struct TDocumentInfo {
    int DocVersion = -1;
    std::string Guid;
    std::string StorageName;
};

class TMindMapElement : public TEditable {
public:
    explicit TMindMapElement(TMindMap& map) : FMap(&map) {}

    TMindMap& Map() const { return *FMap; }

    // The identity as read or made so far; empty when none was asked for.
    const std::string& StoredGuid() const { return FGuid; }
    // The identity, made on first request (which marks the map modified).
    const std::string& Guid();
    void SetGuid(std::string guid) { FGuid = std::move(guid); }

    bool Focused() const { return FFocused; }
    void SetFocused(bool value) { FFocused = value; }
    bool SearchMatched() const { return FSearchMatched; }
    void SetSearchMatched(bool value) { FSearchMatched = value; }
    bool Selected() const { return FSelected; }

    virtual TFloatRect GetBounds() const { return {}; }
    virtual TElementKind ElementKind() const = 0;
    virtual bool HasCustomWrap() const { return false; }
    virtual bool IsVisible() const { return true; }
    virtual TFloatPoint GetPosition() const { return {}; }
    virtual void SetPosition(TFloatPoint) {}
    virtual void ClearStyleOverrides(std::uint32_t) {}
    virtual void ResetStyle() {}
    virtual void CollectImageNames(std::vector<std::string>&) const {}
    virtual bool HitTest(TFloatPoint) const { return false; }
    virtual void ApplyColor(TColor) {}

private:
    friend class TMindMap;

    TMindMap* FMap; // not owned: the map owns every element
    std::string FGuid;
    bool FFocused = false;
    bool FSearchMatched = false;
    bool FSelected = false;
};

class TContainedElement : public TMindMapElement {
public:
    TContainedElement(TMindMap& map, TCompositeElement& owner) : TMindMapElement(map), FOwner(&owner) {}

    TCompositeElement& Owner() const { return *FOwner; }
    TFloatPoint Offset() const { return FOffset; }
    void SetOffset(TFloatPoint offset);

    bool IsVisible() const override;
    TFloatPoint GetPosition() const override;
    void SetPosition(TFloatPoint position) override;
    TFloatRect GetBounds() const override;
    bool HitTest(TFloatPoint point) const override;

    // Size of the element on the map, centred on its position.
    virtual TFloatPoint DisplaySize() const { return {32, 32}; }

protected:
    // Moves the element without telling its owner: the owner's own placement.
    void PlaceAtOffset(TFloatPoint offset) { FOffset = offset; }

private:
    TCompositeElement* FOwner; // not owned: the owner holds this element
    TFloatPoint FOffset{};
};

class TMindMapImage : public TContainedElement {
public:
    using TContainedElement::TContainedElement;

    TElementKind ElementKind() const override { return ekImage; }
    void CollectImageNames(std::vector<std::string>& names) const override;
    TFloatPoint DisplaySize() const override { return FDisplaySize; }

    const std::string& Name() const { return FName; }
    const std::string& Thumbnail() const { return FThumbnail; }
    void SetName(std::string name, std::string thumbnail);
    // A web address: trimmed, with "/" for "\".
    const std::string& Link() const { return FLink; }
    void SetLink(const std::string& link);
    double Scale() const { return FScale; }
    void SetScale(double scale);
    TClipShape Clip() const { return FClip; }
    void SetClip(TClipShape clip);
    bool PositionLocked() const { return FPositionLocked; }
    void SetPositionLocked(bool value) { FPositionLocked = value; }
    const TImageSource* Source() const { return FSource.get(); }
    void SetSource(const TImageSource* source);

    const TPicture& Surface() const { return FSurface; }
    TFloatPoint ClipOffset() const { return FClipOffset; }
    // Looks the picture up in the map's image store again and recomputes the display size.
    void ReloadSurface();

private:
    void UpdateDisplaySize();

    std::string FName;
    std::string FThumbnail;
    std::string FLink;
    std::unique_ptr<TImageSource> FSource; // owned
    TPicture FSurface;
    TFloatPoint FDisplaySize{32, 32};
    TFloatPoint FClipOffset{};
    double FScale = 1.0;
    TClipShape FClip = clsNone;
    bool FPositionLocked = false;
};

class TMindMapText : public TContainedElement {
public:
    TMindMapText(TMindMap& map, TCompositeElement& owner);

    TElementKind ElementKind() const override { return ekText; }

    const std::string& Text() const { return FText; }
    TTextFormat TextFormat() const { return FTextFormat; }
    const std::string& PlainText() const { return FPlainText; }
    void SetText(const std::string& text, TTextFormat format);
    // Only a text of a topic can sit nested in the topic's layout.
    bool Nested() const { return FNested; }
    void SetNested(bool value);
    TTextStyle& Style() const { return *FStyle; }

    TFloatPoint DisplaySize() const override { return FSize; }
    // The size the text's own content needs; a nested text may be shown wider (its owner's width).
    TFloatPoint MeasuredSize() const { return FMeasuredSize; }
    // The plain text as measured, at least one line high.
    TFloatPoint TextSize() const { return FTextSize; }
    // The text's own rectangle, centred in the bounds.
    TFloatRect TextRect() const;
    // Measures the text in the free-text font: (text width + 6 + th / 4, text height + 6), each at least 24.
    void RefreshDerivedData();
    // A nested text is placed by its topic: its width and its centre's offset from the topic's centre.
    void SetNestedPlace(double width, TFloatPoint offset);

private:
    std::unique_ptr<TTextStyle> FStyle; // owned
    TFloatPoint FMeasuredSize{24, 24};
    TFloatPoint FTextSize{};
    TFloatPoint FSize{24, 24};
    std::string FText;
    TTextFormat FTextFormat = tfMarkdown;
    std::string FPlainText;
    bool FNested = false;
};

class TCompositeElement : public TMindMapElement {
public:
    using TMindMapElement::TMindMapElement;
    ~TCompositeElement() override;

    int ContainedCount() const { return static_cast<int>(FContained.size()); }
    TContainedElement* ContainedAt(int index) const;
    int IndexOfContained(const TContainedElement* element) const;
    TMindMapImage* AddImage(std::string name, std::string thumbnail);
    TMindMapText* AddText(const std::string& text, TTextFormat format);
    // The last contained element whose hit test takes the point, other than the excluded one.
    TContainedElement* ContainedAtPoint(TFloatPoint point, const TContainedElement* excluded = nullptr) const;

    // Puts a newly added element in its place; composites put it at offset (0, 0).
    virtual void PlaceContained(TContainedElement& element);
    // A contained element moved or changed.
    virtual void ContainedChanged(TContainedElement& element);

private:
    std::vector<std::unique_ptr<TContainedElement>> FContained; // owned
};

class TMindMapRelation : public TCompositeElement {
    friend class TMindMap;

public:
    virtual TMindMapNode* Source() const = 0;
    virtual TMindMapNode* Target() const = 0;
    // The topic whose level decides level-dependent styling.
    virtual TMindMapNode* StyleTopic() const { return Target(); }
    bool HasBothEnds() const { return Source() != nullptr && Target() != nullptr; }

    bool IsVisible() const override;
    TFloatPoint GetPosition() const override;
    TFloatRect GetBounds() const override;
    bool HitTest(TFloatPoint point) const override;

    TRelationPath& Path() { return FPath; }
    const TRelationPath& Path() const { return FPath; }
    bool HasHandle() const { return FHasHandle; }
    void SetHasHandle(bool value);
    TRelationStyle& Style() const;
    void ApplyColor(TColor color) override;
    // True when the line narrows along the path.
    bool IsTapered() const;
    // Sets the path's stroke width and taper from the style and the levels of the ends.
    void UpdatePathWidth();

protected:
    TMindMapRelation(TMindMap& map, TRelationStyleBase* parentStyle);

private:
    TRelationPath FPath;
    std::unique_ptr<TRelationStyle> FStyle; // owned
    bool FHasHandle = false;
};

class TParentRelation : public TMindMapRelation {
public:
    TParentRelation(TMindMap& map, TMindMapNode& topic);

    TElementKind ElementKind() const override { return ekParentRelation; }
    TMindMapNode& Topic() const { return *FTopic; }
    TMindMapNode* Source() const override;
    TMindMapNode* Target() const override { return FTopic; }
    bool IsVisible() const override;

private:
    TMindMapNode* FTopic; // not owned: the topic owns its parent relation
};

class TCrossLink : public TMindMapRelation {
public:
    TCrossLink(TMindMap& map, TMindMapNode* source, TMindMapNode* target);

    TElementKind ElementKind() const override { return ekCrossLink; }
    TMindMapNode* Source() const override { return FSource; }
    TMindMapNode* Target() const override { return FTarget; }
    TMindMapNode* StyleTopic() const override { return FAsHierarchy ? FSource : FTarget; }
    bool AsHierarchy() const { return FAsHierarchy; }
    // A cross link shown as hierarchy is styled like a parent connection.
    void SetAsHierarchy(bool value);
    // True when the link joins the two topics in either direction.
    bool Connects(const TMindMapNode* a, const TMindMapNode* b) const;

private:
    TMindMapNode* FSource; // not owned
    TMindMapNode* FTarget; // not owned
    bool FAsHierarchy = false;
};

class TNodeGroup : public TMindMapElement {
public:
    using TMindMapElement::TMindMapElement;

    TElementKind ElementKind() const override { return ekGroup; }
    int MemberCount() const { return static_cast<int>(FMembers.size()); }
    TMindMapNode* MemberAt(int index) const { return FMembers.at(static_cast<std::size_t>(index)); }
    void AddMember(TMindMapNode* topic);
    void RemoveMember(TMindMapNode* topic);
    bool HasMemberIn(const std::vector<TMindMapNode*>& topics) const;
    // A member counts as shown when it is visible, or hidden under a visible, expanded parent (a point of its
    // connection then stands for it); the border shows while any member does.
    void UpdateVisibility();
    TFloatRect GetBounds() const override { return FBounds; }
    void SetBounds(const TFloatRect& bounds) { FBounds = bounds; }
    bool IsVisible() const override { return FVisible; }
    void SetVisible(bool value) { FVisible = value; }
    TNodeGroupStyle& Style() { return FStyle; }
    const TNodeGroupStyle& Style() const { return FStyle; }
    // The outline of the "hull" and "cloud-hull" borders, set with the bounds.
    std::vector<TFloatPoint> HullPoints;

private:
    std::vector<TMindMapNode*> FMembers; // not owned, no duplicates
    TNodeGroupStyle FStyle;
    TFloatRect FBounds{};
    bool FVisible = true;
};

class TMindMapNode : public TCompositeElement {
public:
    TMindMapNode(TMindMap& map, TFloatPoint position, bool loading);
    ~TMindMapNode() override;

    TElementKind ElementKind() const override { return ekTopic; }
    bool IsVisible() const override { return FVisible; }
    TFloatPoint GetPosition() const override { return FPosition; }
    void SetPosition(TFloatPoint position) override;
    TFloatRect GetBounds() const override;
    void CollectImageNames(std::vector<std::string>& names) const override;
    void PlaceContained(TContainedElement& element) override;

    // Hierarchy.
    TMindMapNode* Parent() const { return FParent; }
    const std::vector<TMindMapNode*>& Children() const { return FChildren; }
    int ChildCount() const { return static_cast<int>(FChildren.size()); }
    TMindMapNode* ChildAt(int index) const { return FChildren.at(static_cast<std::size_t>(index)); }
    // Index among the parent's children, or among the central themes; -1 when neither.
    int IndexInParent() const;
    TMindMapNode* PreviousSibling() const;
    bool IsLastSibling() const;
    // Number of ancestors: a central theme is level 0.
    int Level() const;
    // Appends the topic and all its descendants, depth first, parent before children.
    void CollectBranch(std::vector<TMindMapNode*>& list);
    bool IsAncestorOf(const TMindMapNode* topic) const;
    // Moves the topic under another parent (null: it becomes a central theme). A parent inside the topic's
    // own branch would make a cycle and is refused.
    bool SetParent(TMindMapNode* parent);
    TParentRelation& ParentRelation() const { return *FParentRelation; }

    // Text and note.
    const std::string& Text() const { return FText; }
    TTextFormat TextFormat() const { return FTextFormat; }
    const std::string& PlainText() const { return FPlainText; }
    void SetText(const std::string& text, TTextFormat format);
    const std::string& Note() const { return FNote; }
    TTextFormat NoteFormat() const { return FNoteFormat; }
    void SetNote(const std::string& note, TTextFormat format);
    bool HasNote() const;
    std::string NotePlainText() const;

    // Geometry; the size comes from the content and the border shape.
    TFloatPoint Size() const { return FSize; }
    void SetSize(TFloatPoint size) { FSize = size; }

    // Branch state.
    bool Collapsed() const { return FCollapsed; }
    void SetCollapsed(bool value);
    bool OutlineCollapsed() const { return FOutlineCollapsed; }
    void SetOutlineCollapsed(bool value) { FOutlineCollapsed = value; }
    bool Hidden() const { return FHidden; }
    void SetHidden(bool value);
    void SetVisible(bool value) { FVisible = value; }
    // Recomputes Visible of every descendant: a topic is visible when its parent is visible and expanded and
    // it is not hidden itself.
    void UpdateChildVisibility();

    // Check boxes and progress.
    TCheckboxMode CheckboxMode() const { return FCheckboxMode; }
    void SetCheckboxMode(TCheckboxMode mode);
    int Progress() const { return FProgress; }
    void SetProgress(int progress);
    bool Checked() const { return FProgress > 99; }
    void SetChecked(bool value) { SetProgress(value ? 100 : 0); }

    // Date, as days since 1899-12-30.
    bool HasDate() const { return FHasDate; }
    double Date() const { return FDate; }
    void SetDate(bool hasDate, double date);
    const std::string& DateText() const { return FDateText; }

    // The topic's own style overrides; everything else comes from the document and its sheet by level.
    TNodeStyle& Style() const;
    void ClearStyleOverrides(std::uint32_t bits) override;
    void ResetStyle() override;

    int PaletteIndex() const { return FPaletteIndex; }
    void SetPaletteIndex(int index) { FPaletteIndex = index; }
    TColor ResolvedFill = 0x00FF00FF;   // magenta until the colour scheme fills it
    TColor ResolvedBorder = 0x00FFFF00; // cyan
    TColor ResolvedText = clBlack;

    // Layout.
    TNestedLayoutMode LayoutMode() const { return FLayoutOptions ? FLayoutOptions->Mode : nlmParent; }
    const TLayoutOptions* LayoutOptions() const { return FLayoutOptions.get(); }
    void SetLayoutOptions(const TLayoutOptions* options);
    int WrapWidth() const { return FWrapWidth; }
    void SetWrapWidth(int width) { FWrapWidth = width; }

    const std::string& VoiceMemo() const { return FVoiceMemo; }
    void SetVoiceMemo(const std::string& link);

    // Decorations; each is null when the topic has none.
    TNodeIcon* Icon() const { return FIcon.get(); }
    // "#key" makes an icon of the document's image store, any other name a stock icon, "" removes the icon.
    void SetIcon(const std::string& name);
    TEmbeddedImage* EmbeddedImage() const { return FEmbeddedImage.get(); }
    void SetEmbeddedImage(const std::string& key);
    TDiagramLink* Link() const { return FLink.get(); }
    // The link, made empty when the topic has none yet.
    TDiagramLink& EnsureLink();
    void RemoveLink();
    TNodeHullStyle* Hull() const { return FHull.get(); }
    TNodeHullStyle& EnsureHull();
    void RemoveHull();
    // Looks every picture of the topic up again.
    void ReloadPictures();

    // Auto-number label, empty when the map does not number or the topic is not numbered. Below
    // kMaxNumberLabelLevels the label starts with an ellipsis and shows the innermost levels only.
    static constexpr std::size_t kMaxNumberLabelLevels = 16;
    std::string NumberLabel() const;

    bool Loading() const { return FLoading; }
    // Ends reading: setters notify again.
    void FinishLoading() { FLoading = false; }

    // Recomputes what is derived from the topic's data (texts, date, decorations) before layout.
    void RefreshDerivedData();
    bool DerivedDataDirty() const { return FDerivedDirty; }
    void MarkDerivedDataDirty() { FDerivedDirty = true; }

    // Content, as the last refresh measured it.
    const TTopicContent& Content() const { return FContent; }
    TFloatPoint LineBox() const { return FContent.LineBox; }
    double HalfRoundRadius() const { return FHalfRoundRadius; }
    double ItalicAllowance() const { return FContent.ItalicAllowance; }
    TFloatPoint TextSize() const { return FContent.TextSize; }
    TFloatPoint ContentSize() const { return FContent.ContentSize; }
    double TextInset() const { return FTextInset; }
    // The topic's text measured in its font, with the italic allowance on the width.
    TFloatPoint MeasureText(std::string_view text) const;
    // Size and text inset from the measured content and the border style; then the nested texts are placed.
    void UpdateSizeFromContent();
    // The alignment the text is drawn with: the style's, or the layout's suggestion when the style says "auto".
    TStyleAlignment TextAlignment() const;
    TTopicFrame Frame() const;
    TFloatRect TextRect() const { return ContentTextRect(FContent, Frame()); }
    TFloatRect NumberLabelRect() const { return ContentNumberLabelRect(FContent, Frame()); }
    TFloatRect CheckBoxRect() const { return ContentCheckBoxRect(FContent, Frame()); }
    TFloatRect IconRect() const { return ContentIconRect(FContent, Frame()); }
    TFloatRect LinkIconRect() const { return ContentLinkIconRect(FContent, Frame()); }
    TFloatRect VoiceMemoRect() const { return ContentVoiceMemoRect(FContent, Frame()); }
    TFloatRect ImageRect() const { return ContentImageRect(FContent, Frame()); }
    TFloatRect DateRect() const { return ContentDateRect(FContent, Frame()); }
    THotSpot HotSpotAt(TFloatPoint point) const { return ContentHotSpotAt(FContent, Frame(), point); }

    // Outputs of the layout pass.
    TFloatPoint BranchSize{};                  // the box around the topic and its laid-out descendants
    TFloatPoint BranchOrigin{};                // the topic's centre measured from that box's top-left corner
    int SideFlags = 0;                         // sfRight, sfLeft, sfBelow, sfAbove of its parent; 0 when placed freely
    TStyleAlignment AutoAlignment = salCenter; // the alignment the layout suggests
    TFloatPoint ChildConnectionStart{};        // where the connections to the children start
    // The fill of the innermost branch hull or filled group around the topic (clNone: none); topics without a
    // fill of their own are filled with it.
    TColor HullFill = clNone;
    // The auto-number box drawn below the topic, kept for hit testing; empty when none is drawn.
    TFloatRect NumberBoxRect{};
    // Moves the topic without asking for another layout pass: the layout's own placement.
    void SetLayoutPosition(TFloatPoint position) { FPosition = position; }
    // Moves the topic and its whole branch by delta, as the layout does.
    void MoveSubtree(TFloatPoint delta);

    // Branch commands on this topic (the map's commands add reveal, selection and batching).
    void CollapseBranch();
    void ExpandBranch();
    void HideDescendants();
    void ShowBranch();

private:
    friend class TMindMap;
    friend class TCVMindMapReaderBase;

    void RemoveChild(TMindMapNode* child);
    void Changed(); // tells the map that this topic changed

    TMindMapNode* FParent = nullptr;                  // not owned
    std::vector<TMindMapNode*> FChildren;             // not owned
    std::unique_ptr<TParentRelation> FParentRelation; // owned
    std::unique_ptr<TNodeStyle> FStyle;               // owned
    std::unique_ptr<TLayoutOptions> FLayoutOptions;   // owned, null when the topic follows its parent
    std::unique_ptr<TNodeIcon> FIcon;                 // owned
    std::unique_ptr<TEmbeddedImage> FEmbeddedImage;   // owned
    std::unique_ptr<TDiagramLink> FLink;              // owned
    std::unique_ptr<TNodeHullStyle> FHull;            // owned
    std::string FText;
    std::string FPlainText;
    std::string FNote;
    std::string FDateText;
    std::string FVoiceMemo;
    TFloatPoint FPosition{};
    TFloatPoint FSize{100, 20};
    double FDate = 0;
    int FProgress = 0;
    int FPaletteIndex = 0;
    int FWrapWidth = -1;
    int FLevel = 0;        // cached by the map
    int FSiblingIndex = 0; // cached by the map's numbering pass
    TTextFormat FTextFormat = tfMarkdown;
    TTextFormat FNoteFormat = tfPlain;
    TCheckboxMode FCheckboxMode = cbmNone;
    bool FCollapsed = false;
    bool FOutlineCollapsed = false;
    bool FHidden = false;
    bool FVisible = true;
    bool FHasDate = false;
    TTopicContent FContent;
    double FHalfRoundRadius = 0;
    double FTextInset = 0;
    bool FLoading;
    bool FDerivedDirty = true;
    bool FRefreshing = false;
};

// Side flags of the layout outputs.
enum TSideFlag : int { sfRight = 1, sfLeft = 2, sfBelow = 4, sfAbove = 8 };

// The collapse, expand, hide and show commands on the selection.
enum TBranchCommand : std::uint8_t {
    bcCollapse,
    bcCollapseChildren,
    bcFullCollapse,
    bcExpand,
    bcExpandChildren,
    bcFullExpand,
    bcHide,
    bcHideChildren,
    bcFullHide,
    bcShow,
    bcShowChildren,
    bcFullShow,
};

// The one view of a map.
class IMindMapEditor {
public:
    virtual ~IMindMapEditor() = default;
    virtual void FinishInPlaceEdit() = 0;
    virtual TViewState GetViewState() = 0;
    virtual void ApplyViewState(const TViewState& state) = 0;
    virtual void ContentsChanged() = 0;
    virtual void DocumentPropertiesChanged() = 0;
    virtual void ElementChanged(TMindMapElement* element) = 0;
    virtual void SelectionChanged() = 0;
    virtual void StyleSheetChanged() = 0;
    virtual void MakeElementVisible(TMindMapElement* element) = 0;
    virtual bool IsBusy() = 0;
};

// A panel that edits or shows something of the selected element (the note panel).
class TCustomModelessEditor {
public:
    virtual ~TCustomModelessEditor() = default;
    virtual void SelectionChanged(TMindMapElement* primary) = 0;
    virtual void NoteChanged(TMindMapNode* topic) = 0;
    virtual void CommitEdits(TMindMapElement* element) = 0;
    virtual void Clear() = 0;
};

// A panel that also shows the hierarchy (the outline panel).
class TCustomHierarchyListener : public TCustomModelessEditor {
public:
    virtual void HierarchyChanged() = 0;
};

class TMindMap {
public:
    TMindMap();
    TMindMap(const TMindMap&) = delete;
    TMindMap& operator=(const TMindMap&) = delete;
    ~TMindMap();

    // Topics.
    int TopicCount() const { return static_cast<int>(FTopics.size()); }
    TMindMapNode* TopicAt(int index) const { return FTopics.at(static_cast<std::size_t>(index)).get(); }
    int CentralThemeCount() const { return static_cast<int>(FCentralThemes.size()); }
    TMindMapNode* CentralThemeAt(int index) const { return FCentralThemes.at(static_cast<std::size_t>(index)); }
    const std::vector<TMindMapNode*>& CentralThemes() const { return FCentralThemes; }
    // The chosen central theme, or the first one (which is then kept).
    TMindMapNode* MainCentralTheme();
    void SetMainCentralTheme(TMindMapNode* topic);
    // Appends a new topic; readers create topics in the loading state.
    TMindMapNode* NewTopic(TFloatPoint position, bool loading);
    void RebuildCentralThemes();

    // Cross links and groups.
    int RelationCount() const { return static_cast<int>(FRelations.size()); }
    TCrossLink* RelationAt(int index) const { return FRelations.at(static_cast<std::size_t>(index)).get(); }
    TCrossLink* NewCrossLink(TMindMapNode* source, TMindMapNode* target);
    // Cross links whose ends are not two different existing topics are dropped.
    void DeleteDanglingCrossLinks();
    int GroupCount() const { return static_cast<int>(FGroups.size()); }
    TNodeGroup* GroupAt(int index) const { return FGroups.at(static_cast<std::size_t>(index)).get(); }
    // Groups are made only from a non-empty list of topics; answers null otherwise.
    TNodeGroup* NewGroup(const std::vector<TMindMapNode*>& members);

    TMindMapElement* FindElementByGuid(const std::string& guid) const;

    // The union of the topics' bounds with their contained elements, the connections' contained elements and
    // handles, the cross links' and the group borders'; with all false only what is visible counts. Without any
    // topic it is the empty rectangle at the origin.
    TFloatRect GetContentBounds(bool all) const;

    // Visibility and branch commands. Reveal un-hides the topic and expands and un-hides its ancestors.
    void Reveal(TMindMapNode* topic);
    // A contained element stands for its owner, a relation for both its ends; other elements are ignored.
    void RevealElement(TMindMapElement* element);
    // The view's hide and show tools on one topic.
    void HideTopic(TMindMapNode* topic);
    void ShowTopic(TMindMapNode* topic);
    void ToggleCollapse();
    // Selects the element with the guid, reveals it when it is a topic and asks the view to show it.
    bool SelectByGuid(const std::string& guid);
    // The topic whose expand or show tool lies under the point, or null. The option puts expand tools on the
    // side away from the parent, where hide tools would otherwise be.
    TMindMapNode* TopicToolAt(TFloatPoint point, bool topicsHaveHideTool = false) const;
    // Centre of a topic's expand tool (a visible collapsed topic) or show tool (a hidden topic under an open,
    // visible parent).
    TFloatPoint ExpandToolCentre(const TMindMapNode& topic, bool topicsHaveHideTool) const;
    TFloatPoint ShowToolCentre(const TMindMapNode& topic) const;
    void RunBranchCommand(TBranchCommand command);

    // Selection.
    TMindMapElement* SelectedElement() const { return FSelection.empty() ? nullptr : FSelection.front(); }
    TMindMapNode* SelectedTopic() const;
    TElementKind SelectionKind() const;
    bool HasMultiSelection() const { return FSelection.size() > 1; }
    const std::vector<TMindMapElement*>& Selection() const { return FSelection; }
    std::string SelectedGuid() const;
    std::vector<TMindMapNode*> GetSelectedRootNodes() const;
    void Select(TMindMapElement* element);
    void ToggleSelection(TMindMapElement* element, bool insertFirst);

    // Search: the criteria, and the matches in their order. Matching marks elements and repaints; it never lays
    // the map out again.
    const TMindMapSearchData& SearchData() const { return FSearchData; }
    bool SearchActive() const { return FSearchData.Active(); }
    const std::vector<TMindMapElement*>& SearchMatches() const { return FSearchMatches; }
    void SetSearchData(const TMindMapSearchData& data);
    void UpdateSearchMatches();
    void CollectIconNames(std::vector<std::string>& names) const { ::CollectIconNames(*this, names); }

    // Document properties.
    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& title);
    std::string DocumentTitle();
    TDocumentInfo& Info() { return FInfo; }
    const TDocumentInfo& Info() const { return FInfo; }
    // The document's style sheet (one of the style manager's); setting it lets the sheet apply itself.
    TStyleSheet* StyleSheet() const { return FStyleSheet; }
    void SetStyleSheet(TStyleSheet* sheet);
    // A sheet of the document's own that the style manager does not hold (an embedded sheet whose key the
    // manager knows already): the map keeps it while it is the map's sheet, and until the map is cleared.
    void SetOwnedStyleSheet(std::unique_ptr<TStyleSheet> sheet);
    // The document's copy of its style sheet, and the document's own overrides on top of it.
    TLeveledMindMapStyle& SheetStyle() { return FSheetStyle; }
    TMindMapStyle& MapStyle() { return FMapStyle; }
    const TMindMapStyle& MapStyle() const { return FMapStyle; }
    // The background pattern the document names ("" none, "#key" a picture of the image store, else a built-in
    // pattern); it becomes the map style's pattern once patterns are resolved.
    const std::string& BackgroundPatternName() const { return FBackgroundPatternName; }
    void SetBackgroundPatternName(const std::string& name) { FBackgroundPatternName = name; }
    TAutoNumbering AutoNumbering() const { return FAutoNumbering; }
    void SetAutoNumbering(TAutoNumbering value);
    bool AutoRollUp() const { return FAutoRollUp; }
    void SetAutoRollUp(bool value);
    TViewState GetViewState();
    void SetViewState(const TViewState& state);
    bool HasDocument() const { return FHasDocument; }
    bool Modified() const { return FModified; }
    void SetModified(bool value) { FModified = value; }
    int ReadState() const { return FReadState; }
    // True when the last read stopped early because the text held no map this program reads.
    bool ReadAborted() const { return FReadAborted; }

    // Loading. Errors leave an empty map; they are passed on when asked, otherwise reported through the
    // application's exception handler.
    void LoadFromText(const std::string& text, const std::string& storageName, bool rethrow, int kind = 0);
    void Clear();
    void CloseDocument();

    // Update batching and notifications.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    void Notify(std::uint16_t changes);
    void NotifyElementChanged(TMindMapElement* element);
    void Refresh();
    void RequestLayout() { FLayoutNeeded = true; }
    bool LayoutNeeded() const { return FLayoutNeeded; }
    void RequestRollUp() { FRollUpNeeded = true; }
    void InvalidateNumbering() { FNumberingValid = false; }
    void InvalidateLevels() { FLevelsValid = false; }
    // Brings levels, and the levels styles resolve at, up to date (not while a document is being read).
    void EnsureLevels() const;
    void MarkDecorationsDirty() { FDecorationsDirty = true; }
    // While elements are moved interactively, a layout pass only rebuilds the free-form connections.
    void BeginElementMove() { ++FElementMoves; }
    void EndElementMove() { FElementMoves = std::max(FElementMoves - 1, 0); }
    bool ElementMoveActive() const { return FElementMoves > 0; }
    // Rolls the progress of check boxes up every branch.
    void RollUpProgress();

    // Pictures: the document's image store, or the null store without a document.
    TCustomImageStore& ImageStore() const { return *FImageStore; }
    void SetImageStore(TCustomImageStore* store);

    // Observers.
    IMindMapEditor* Editor() const { return FEditor; }
    void SetEditor(IMindMapEditor* editor) { FEditor = editor; }
    TCustomModelessEditor* NoteEditor() const { return FNoteEditor; }
    void SetNoteEditor(TCustomModelessEditor* editor) { FNoteEditor = editor; }
    void AddHierarchyListener(TCustomHierarchyListener* listener);
    void RemoveHierarchyListener(TCustomHierarchyListener* listener);

private:
    friend class TMindMapNode;
    friend class TCVMindMapReaderBase;

    void RunPendingNotifications(std::uint16_t changes);
    void FinishReading();
    void ChangeSelection(std::vector<TMindMapElement*> selection);
    void UpdateLevels() const;
    void UpdateNumbering() const;

    static void ImageStoreChanged(void* map, const std::string& name, TImageChange change);

    TLeveledMindMapStyle FSheetStyle;
    TMindMapStyle FMapStyle{&FSheetStyle};

    TCustomImageStore* FImageStore;                             // not owned
    std::unique_ptr<TCustomImageStoreObserver> FStoreObserver;  // owned
    std::vector<std::unique_ptr<TMindMapNode>> FTopics;         // owned
    std::vector<TMindMapNode*> FCentralThemes;                  // not owned
    std::vector<std::unique_ptr<TCrossLink>> FRelations;        // owned
    std::vector<std::unique_ptr<TNodeGroup>> FGroups;           // owned
    std::vector<TMindMapElement*> FSelection;                   // not owned
    std::vector<TCustomHierarchyListener*> FHierarchyListeners; // not owned
    TStyleSheet* FStyleSheet = nullptr;                         // not owned: the style manager's, or FOwnedStyleSheet
    std::unique_ptr<TStyleSheet> FOwnedStyleSheet;              // owned: the document's own sheet, or null
    TMindMapNode* FMainCentralTheme = nullptr;                  // not owned
    IMindMapEditor* FEditor = nullptr;                          // not owned
    TCustomModelessEditor* FNoteEditor = nullptr;               // not owned
    std::vector<TMindMapElement*> FSearchMatches;               // not owned
    TMindMapSearchData FSearchData;
    TSearchTextCache FSearchTextCache;
    std::string FTitle;
    TDocumentInfo FInfo;
    std::string FBackgroundPatternName;
    TViewState FViewState;
    int FUpdateCount = 0;
    int FElementMoves = 0;
    std::uint16_t FChangeFlags = 0;
    int FReadState = 0;
    TAutoNumbering FAutoNumbering = anDisabled;
    bool FAutoRollUp = false;
    bool FHasDocument = false;
    bool FModified = false;
    bool FReadAborted = false;
    bool FLayoutNeeded = false;
    bool FRollUpNeeded = false;
    bool FDecorationsDirty = false;
    mutable bool FLevelsValid = false;
    mutable bool FNumberingValid = false;
};

// Normalises stored text: every line break becomes one CR, other control characters become spaces.
std::string NormalizeTopicText(const std::string& text);

// Measures text in a topic's font, as the layout measures the topic: for the word wrapper.
class TTopicTextMeasurer : public ITextMeasurer {
public:
    explicit TTopicTextMeasurer(const TMindMapNode& topic);
    TFloatPoint MeasureText(std::string_view text) override;
    double LineHeight() override;

private:
    const TPangoMindNodeStyleData* FRole; // not owned
    TFontDescriptor FFont;
};
