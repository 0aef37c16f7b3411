#include "render/CvMindMapPainter.h"

#include "layout/NestedNodeLayouters.h"
#include "model/CVMindMaps.h"
#include "render/CloudShapes.h"
#include "render/DiagramPngs.h"
#include "render/MapHullBuilders.h"
#include "render/OXCairoUtils.h"
#include "render/TopicShapes.h"
#include "styling/CVStyleManager.h"
#include "styling/ColorSchemes.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <utility>

namespace {

constexpr double kHaloMinWidth = 12;
constexpr double kRelationCullMargin = 10;

bool FiniteRect(const TFloatRect& r) {
    return std::isfinite(r.Left) && std::isfinite(r.Top) && std::isfinite(r.Width) && std::isfinite(r.Height);
}

TFloatRect SquareAround(TFloatPoint centre, double side) {
    return {centre.X - side / 2, centre.Y - side / 2, side, side};
}

TFloatRect Deflate(const TFloatRect& r, double dx, double dy) {
    dx = std::min(r.Width / 2, dx);
    dy = std::min(r.Height / 2, dy);
    return {r.Left + dx, r.Top + dy, r.Width - 2 * dx, r.Height - 2 * dy};
}

// A colour from the style, or the topic's resolved palette colour where the style leaves the default.
TColor StyleOrPalette(TColor styleColor, TColor paletteColor) {
    return styleColor == clDefault ? paletteColor : styleColor;
}

TColor TopicStrokeColor(const TMindMapNode& topic) {
    return StyleOrPalette(topic.Style().StrokeColor(), topic.ResolvedBorder);
}

// The colour of a topic's connection marks: the connection style's own colour when it sets one, else the topic's
// stroke colour.
TColor ConnectionColor(const TMindMapNode& topic) {
    if (topic.Parent()) {
        const TColor color = topic.ParentRelation().Style().Color();
        if (color != clDefault)
            return color;
    }
    return TopicStrokeColor(topic);
}

// The layout mode a topic is laid out by: that of its nearest ancestor with one, free-form when none has.
TNestedLayoutMode InheritedLayoutMode(const TMindMapNode& topic) {
    for (const TMindMapNode* t = topic.Parent(); t; t = t->Parent())
        if (t->LayoutMode() != nlmParent)
            return t->LayoutMode();
    return nlmFree;
}

const TPangoMindNodeStyleData& TopicPaintingFont(const TMindMapNode& topic) {
    TStyleManager& manager = StyleManager();
    return manager.PaintingFont(manager.TopicDataForLevel(topic.Level()), topic.Style().FontDescriptor());
}

// A program picture, or none when the resource is missing.
TPicture ProgramPicture(const std::string& name) {
    try {
        return ResourcePicture(name);
    } catch (const ECVException&) {
        return {};
    }
}

// A quadratic curve from the current point `from`, as the cubic cairo draws.
void QuadraticTo(cairo_t* cr, const TFloatPoint& from, const TFloatPoint& control, const TFloatPoint& to) {
    cairo_curve_to(cr, from.X + 2.0 / 3 * (control.X - from.X), from.Y + 2.0 / 3 * (control.Y - from.Y),
                   to.X + 2.0 / 3 * (control.X - to.X), to.Y + 2.0 / 3 * (control.Y - to.Y), to.X, to.Y);
}

double Luminance(TColor color) {
    return ColorRGBToHLS(color).Luminance / static_cast<double>(HLSMax);
}

void CheckMarkPath(cairo_t* cr, const TFloatRect& box) {
    cairo_move_to(cr, box.Left + 2.3333333, box.Top + 7.6666667);
    cairo_line_to(cr, box.Left + 6.3333333, box.Top + 11.6666667);
    cairo_line_to(cr, box.Left + 13.6666667, box.Top + 3.6666667);
}

void FillStroke(cairo_t* cr, TColor fill, TColor stroke, double width) {
    SetSourceColor(cr, fill);
    cairo_fill_preserve(cr);
    SetSourceColor(cr, stroke);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

constexpr TColor kNeutralGrey = RGBColor(158, 158, 158);
constexpr TColor kDarkMark = RGBColor(97, 97, 97);
constexpr TColor kPlainCheckMark = RGBColor(66, 66, 66);
constexpr TColor kImageOutline = RGBColor(89, 89, 89);
constexpr TColor kSelectedTextOutline = RGBColor(128, 128, 128);
constexpr TColor kEmptyTextOutline = RGBColor(192, 192, 192);
constexpr TColor kNumberBoxStroke = RGBColor(189, 183, 107);

void SetDash(cairo_t* cr, TRelationLineStyle style) {
    double dash = 0;
    switch (style) {
    case penCable:
        dash = 1.7;
        break;
    case penWideCable:
        dash = 3;
        break;
    case penDashedThin:
        dash = 2.2;
        break;
    default:
        ClearDash(cr);
        return;
    }
    const double dashes[] = {dash, dash};
    cairo_set_dash(cr, dashes, 2, 0);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Paint selection

void TMindMapPaintSelection::PaintAll() {
    FRoots = FMap->CentralThemes();
    FCrossLinks.clear();
    for (int i = 0; i < FMap->RelationCount(); ++i)
        if (FMap->RelationAt(i)->IsVisible())
            FCrossLinks.push_back(FMap->RelationAt(i));
    FBounds = FMap->GetContentBounds(false);
}

bool TMindMapPaintSelection::PaintSelectedBranches() {
    FRoots = FMap->GetSelectedRootNodes();
    FCrossLinks.clear();
    FBounds = {};
    if (FRoots.empty())
        return false;
    std::vector<TMindMapNode*> topics;
    for (TMindMapNode* root : FRoots)
        root->CollectBranch(topics);
    const std::unordered_set<const TMindMapNode*> inSelection(topics.begin(), topics.end());
    bool first = true;
    const auto unite = [&](const TFloatRect& rect) {
        FBounds = first ? rect : FloatRectUnion(FBounds, rect);
        first = false;
    };
    for (const TMindMapNode* topic : topics)
        if (topic->IsVisible())
            unite(topic->GetBounds());
    if (first)
        unite(FRoots.front()->GetBounds());
    for (int i = 0; i < FMap->RelationCount(); ++i) {
        TCrossLink* link = FMap->RelationAt(i);
        if (!link->IsVisible() || !inSelection.contains(link->Source()) || !inSelection.contains(link->Target()))
            continue;
        FCrossLinks.push_back(link);
        for (int j = 0; j < link->ContainedCount(); ++j)
            if (link->ContainedAt(j)->ElementKind() == ekText)
                unite(link->ContainedAt(j)->GetBounds());
        if (link->HasHandle())
            link->Path().IncludeHandleBounds(FBounds);
    }
    for (int i = 0; i < FMap->GroupCount(); ++i) {
        const TNodeGroup& group = *FMap->GroupAt(i);
        bool inside = group.MemberCount() > 0;
        for (int j = 0; inside && j < group.MemberCount(); ++j)
            inside = inSelection.contains(group.MemberAt(j));
        if (inside)
            unite(group.GetBounds());
    }
    return true;
}

// ---------------------------------------------------------------------------------------------------------------
// Line parameters

TColor TLinePaintParams::Prepare(const TRelationStyle& style, const TMindMapNode* topic, double pathWidth,
                                 bool dimmed) {
    HalfAlpha = false;
    LineStyle = style.LineStyle();
    Width = style.LineWidth();
    if (FPainter->LowDetail()) {
        if (LineStyle == penCable || LineStyle == penWideCable) {
            LineStyle = penSolidThick;
            HalfAlpha = true;
        } else if (LineStyle == penDashedThin) {
            LineStyle = penSolidThin;
            HalfAlpha = true;
        }
    }
    if (LineStyle == penAutoTapered)
        Width = pathWidth;
    Color = style.Color();
    if (Color == clDefault)
        Color = topic ? TopicStrokeColor(*topic) : clBlack;
    Color = FPainter->Dim(Color, dimmed);
    return Color;
}

void TLinePaintParams::Stroke(bool filled) {
    cairo_t* cr = FPainter->Context();
    if (HalfAlpha)
        SetSourceColor(cr, Color, 0.5);
    else
        SetSourceColor(cr, Color);
    cairo_set_line_width(cr, Width);
    SetDash(cr, LineStyle);
    if (LineStyle == penDouble || LineStyle == penDashedDouble) {
        cairo_stroke_preserve(cr);
        double k = 1;
        if (LineStyle == penDashedDouble) {
            const double dashes[] = {3, 3};
            cairo_set_dash(cr, dashes, 2, 0);
            k = 1.5;
        }
        cairo_set_line_width(cr, k * Width / 4.5);
        SetSourceColor(cr, clWhite);
        cairo_stroke(cr);
        return;
    }
    if (filled) {
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_fill_preserve(cr);
    }
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
}

// ---------------------------------------------------------------------------------------------------------------
// Painter

bool TMindMapPainter::Paint(cairo_surface_t* surface, const TPaintMatrix& matrix, TMindMapPaintSelection& selection,
                            std::uint16_t flags, const TFloatRect& visibleRect, bool drawFittedText) {
    cairo_t* cr = cairo_create(surface);
    bool unknownGlyphs = false;
    {
        TMindMapPainter painter(cr, matrix, selection, flags, visibleRect, drawFittedText);
        painter.Run();
        unknownGlyphs = painter.UnknownGlyphs();
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return unknownGlyphs;
}

TMindMapPainter::TMindMapPainter(cairo_t* cr, const TPaintMatrix& matrix, TMindMapPaintSelection& selection,
                                 std::uint16_t flags, const TFloatRect& visibleRect, bool drawFittedText)
    : FContext(cr), FMatrix(matrix), FSelection(&selection), FVisibleRect(visibleRect), FScale(matrix.XX),
      FFlags(flags), FFitText(drawFittedText) {
    const cairo_matrix_t m{matrix.XX, matrix.YX, matrix.XY, matrix.YY, matrix.X0, matrix.Y0};
    cairo_transform(cr, &m);
    FLayout = TPangoLayoutRef::Adopt(pango_cairo_create_layout(cr));
    // the same metrics as measuring: 96 dpi, unhinted, unrounded, so that text fills the boxes it was measured for
    PangoContext* context = pango_layout_get_context(FLayout.Get());
    pango_cairo_context_set_resolution(context, 96);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context, FALSE);
    pango_layout_context_changed(FLayout.Get());
    pango_layout_set_alignment(FLayout.Get(), PANGO_ALIGN_CENTER);
    pango_layout_set_ellipsize(FLayout.Get(), PANGO_ELLIPSIZE_NONE);
    pango_layout_set_wrap(FLayout.Get(), PANGO_WRAP_WORD);
    pango_layout_set_width(FLayout.Get(), -1);

    TMindMap& map = selection.Map();
    FBackgroundColor = map.MapStyle().EffectiveBackgroundColor({});
    FDarkBackground = IsDarkBackground(FBackgroundColor);
    FCulling = (flags & pfCull) != 0 && !IsNearlyEmptySize({visibleRect.Width, visibleRect.Height});
    FSearchDim = Interactive() && map.SearchActive();
    FFocusDim = !FSearchDim && (flags & pfFocusDimming) != 0;
}

TMindMapPainter::~TMindMapPainter() = default;

cairo_filter_t TMindMapPainter::ImageFilter() const {
    return (FFlags & pfPanning) != 0 ? CAIRO_FILTER_FAST : CAIRO_FILTER_BEST;
}

bool TMindMapPainter::IsDimmed(const TMindMapElement& element) const {
    if (FSearchDim) {
        const TElementKind kind = element.ElementKind();
        const bool canMatch = kind == ekTopic || kind == ekText || kind == ekImage;
        return !(canMatch && element.SearchMatched());
    }
    return FFocusDim && !element.Focused();
}

TColor TMindMapPainter::Dim(TColor color, bool dimmed) const {
    return dimmed ? DimColor(color, FDarkBackground) : color;
}

void TMindMapPainter::Run() {
    TMindMap& map = FSelection->Map();
    if ((FFlags & pfLayoutReady) == 0)
        map.Refresh();

    PaintHulls();
    PaintGroupBorders();

    // connections: cross links shown as hierarchy, the parent connections, the other cross links
    for (TCrossLink* link : FSelection->CrossLinks())
        if (link->AsHierarchy())
            PaintRelation(*link);
    for (TMindMapNode* root : FSelection->Roots())
        PaintConnectionsOf(*root);
    for (TCrossLink* link : FSelection->CrossLinks())
        if (!link->AsHierarchy())
            PaintRelation(*link);
    ClearDash(FContext);

    // labels of the connections that are shown, then of the cross links
    for (TMindMapNode* root : FSelection->Roots()) {
        std::vector<TMindMapNode*> stack{root};
        while (!stack.empty()) {
            TMindMapNode* topic = stack.back();
            stack.pop_back();
            if (!topic->IsVisible() || topic->Collapsed())
                continue;
            for (TMindMapNode* child : topic->Children())
                PaintElementsOf(child->ParentRelation());
            stack.insert(stack.end(), topic->Children().rbegin(), topic->Children().rend());
        }
    }
    for (TCrossLink* link : FSelection->CrossLinks())
        PaintElementsOf(*link);

    // topics, each branch depth first, parents before children
    for (TMindMapNode* root : FSelection->Roots()) {
        std::vector<TMindMapNode*> stack{root};
        while (!stack.empty()) {
            TMindMapNode* topic = stack.back();
            stack.pop_back();
            PaintTopic(*topic, false);
            stack.insert(stack.end(), topic->Children().rbegin(), topic->Children().rend());
        }
    }
}

void TMindMapPainter::PaintConnectionsOf(TMindMapNode& root) {
    // each child's connection, then its branch, before the next child: as a recursive walk, without the recursion
    std::vector<std::pair<TMindMapNode*, std::size_t>> stack{{&root, 0}};
    while (!stack.empty()) {
        auto& [topic, next] = stack.back();
        if (next == 0) {
            if (topic->Collapsed()) {
                stack.pop_back();
                continue;
            }
            if (topic->LayoutMode() == nlmTopDown)
                PaintTopDownBus(*topic);
        }
        if (next >= topic->Children().size()) {
            stack.pop_back();
            continue;
        }
        TMindMapNode* child = topic->Children()[next++];
        PaintRelation(child->ParentRelation());
        if (child->Hidden() && !child->Selected())
            PaintHiddenMarker(*child, IsDimmed(*child));
        if (!child->Hidden())
            stack.emplace_back(child, 0);
    }
}

void TMindMapPainter::PaintRelation(TMindMapRelation& relation) {
    if (!relation.IsVisible() || !relation.HasBothEnds())
        return;
    const bool dimmed = FSearchDim || (FFocusDim && !relation.Focused());
    TRelationPath& path = relation.Path();
    if (FCulling) {
        // the whole path: curve control points can lie far outside the box of its two ends
        TFloatRect box = FloatRectInflate(path.Bounds(), kRelationCullMargin, kRelationCullMargin);
        if (path.HasLeadIn)
            box = FloatRectUnion(box, SquareAround(path.LeadInStart, 10));
        if (path.UnderlineEnd)
            box = FloatRectUnion(box, SquareAround(path.ChildAttachPoint, 10));
        if (relation.HasHandle())
            path.IncludeHandleBounds(box);
        if (!FloatRectsOverlap(box, FVisibleRect))
            return;
    }
    const auto* link = dynamic_cast<const TCrossLink*>(&relation);
    const bool asHierarchy = link && link->AsHierarchy();
    const TMindMapNode* colourTopic = asHierarchy ? relation.Source() : relation.Target();
    const TRelationStyle& style = relation.Style();
    FLine.Prepare(style, colourTopic, path.Width, dimmed);
    cairo_new_path(FContext);
    path.AppendToContext(FContext);
    if (Interactive() && relation.Selected()) {
        if (FDarkBackground)
            SetSourceColor(FContext, RGBColor(64, 80, 96));
        else
            SetSourceColor(FContext, RGBColor(200, 220, 239));
        ClearDash(FContext);
        cairo_set_line_width(FContext, std::max(FLine.Width + 6, kHaloMinWidth));
        cairo_stroke_preserve(FContext);
    }
    const bool tapered = relation.IsTapered();
    const bool childShown = !relation.Target()->Hidden();
    if (!tapered && childShown && path.UnderlineEnd)
        cairo_line_to(FContext, path.ChildAttachPoint.X, path.ChildAttachPoint.Y);
    if (link && !asHierarchy && (FLine.LineStyle == penSolidThick || FLine.LineStyle == penSolidThin))
        cairo_set_line_cap(FContext, CAIRO_LINE_CAP_ROUND);
    FLine.Stroke(path.Filled);
    cairo_set_line_cap(FContext, CAIRO_LINE_CAP_BUTT);
    if (tapered && childShown && path.UnderlineEnd) {
        cairo_move_to(FContext, path.P3.X, path.P3.Y);
        cairo_line_to(FContext, path.ChildAttachPoint.X, path.ChildAttachPoint.Y);
        cairo_set_line_width(FContext, path.Width);
        ClearDash(FContext);
        cairo_stroke(FContext);
    }
    const TArrowStyle sourceArrow = style.SourceArrow();
    const TArrowStyle targetArrow = style.TargetArrow();
    if (sourceArrow == arsNone && targetArrow == arsNone)
        return;
    const double scale = FLine.Width / 3.0;
    ClearDash(FContext);
    if (sourceArrow != arsNone) {
        const TPathBoundary start = path.StartBoundary(relation.Source()->GetBounds());
        PaintArrowHead(start.Point, start.Direction, sourceArrow, scale, FLine.Color);
    }
    if (targetArrow != arsNone) {
        const TMindMapNode& target = *relation.Target();
        TFloatRect rect = target.GetBounds();
        if (target.Hidden())
            rect = Deflate(SquareAround(target.ParentRelation().Path().P3, 16), 3, 3);
        const TPathBoundary end = path.EndBoundary(rect);
        PaintArrowHead(end.Point, end.Direction, targetArrow, scale, FLine.Color);
    }
}

void TMindMapPainter::PaintArrowHead(TFloatPoint s, TFloatPoint d, TArrowStyle style, double scale, TColor color) {
    const double length = VectorLength(d);
    if (!(length > 0) || !std::isfinite(length) || style == arsNone)
        return;
    double v = 1;
    double u = 1;
    if (scale > 1) {
        v = 1 + (scale - 1) / 4;
        u = 1 + (v - 1) / 8;
    }
    const TFloatPoint unit{d.X / length, d.Y / length};
    const TFloatPoint b = unit * (-7 * v);
    const double side = (style == arsInhibit ? 7.5 : 5) * v;
    const TFloatPoint n{-unit.Y * side, unit.X * side};
    cairo_t* cr = FContext;
    cairo_new_path(cr);
    cairo_set_line_width(cr, 2 * u);
    const auto moveTo = [cr](TFloatPoint p) { cairo_move_to(cr, p.X, p.Y); };
    const auto lineTo = [cr](TFloatPoint p) { cairo_line_to(cr, p.X, p.Y); };
    const auto fillStroke = [&](bool filledInColour) {
        if (filledInColour) {
            SetSourceColor(cr, color);
            cairo_stroke_preserve(cr);
            cairo_fill(cr);
        } else {
            SetSourceColor(cr, FBackgroundColor);
            cairo_fill_preserve(cr);
            SetSourceColor(cr, color);
            cairo_stroke(cr);
        }
    };
    switch (style) {
    case arsSingleArrow:
        moveTo(s + b + n);
        lineTo(s);
        lineTo(s + b - n);
        SetSourceColor(cr, color);
        cairo_stroke(cr);
        break;
    case arsFilledArrow:
    case arsOpenArrow:
        moveTo(s + b + n);
        lineTo(s);
        lineTo(s + b - n);
        cairo_close_path(cr);
        fillStroke(style == arsFilledArrow);
        break;
    case arsInhibit:
        moveTo(s + b + n);
        lineTo(s + b - n);
        SetSourceColor(cr, color);
        cairo_stroke(cr);
        break;
    case arsOpenCircle:
    case arsFilledCircle: {
        const TFloatPoint c = s + b;
        cairo_arc(cr, c.X, c.Y, 5 * v, 0, 2 * M_PI);
        if (style == arsFilledCircle) {
            SetSourceColor(cr, color);
            cairo_fill_preserve(cr);
            cairo_stroke(cr);
        } else {
            fillStroke(false);
        }
        break;
    }
    case arsOpenDiamond:
    case arsFilledDiamond:
        moveTo(s + b + n);
        lineTo(s);
        lineTo(s + b - n);
        lineTo(s + b * 2);
        cairo_close_path(cr);
        fillStroke(style == arsFilledDiamond);
        break;
    default:
        break;
    }
    cairo_new_path(cr);
}

void TMindMapPainter::PaintHiddenMarker(const TMindMapNode& topic, bool dimmed) {
    const TFloatRect r = Deflate(SquareAround(topic.ParentRelation().Path().P3, 16), 4, 4);
    if (!FiniteRect(r) || (FCulling && !FloatRectsOverlap(r, FVisibleRect)))
        return;
    cairo_t* cr = FContext;
    cairo_new_path(cr);
    cairo_rectangle(cr, r.Left, r.Top, r.Width, r.Height);
    SetSourceColor(cr, FBackgroundColor);
    cairo_fill_preserve(cr);
    const double a = 0.4 * (r.Width / 2);
    const TFloatPoint c = r.Center();
    cairo_move_to(cr, c.X, r.Top + a);
    cairo_line_to(cr, c.X, r.Bottom() - a);
    cairo_move_to(cr, r.Left + a, c.Y);
    cairo_line_to(cr, r.Right() - a, c.Y);
    SetSourceColor(cr, Dim(ConnectionColor(topic), dimmed));
    ClearDash(cr);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

void TMindMapPainter::PaintTopDownBus(TMindMapNode& topic) {
    if (topic.Children().empty())
        return;
    bool dimmed = FSearchDim;
    if (FFocusDim) {
        dimmed = !topic.Focused() && std::none_of(topic.Children().begin(), topic.Children().end(),
                                                  [](const TMindMapNode* child) { return child->Focused(); });
    }
    const TRelationStyle& style = topic.ParentRelation().Style();
    FLine.Prepare(style, &topic, style.LineWidth(), dimmed);
    const double side = EffectiveLayoutOptions(topic).Direction == ldTop ? 1 : -1;
    TFloatPoint a = topic.GetPosition();
    const bool baseline = FSelection->Map().MapStyle().ConnectionStyle() == csBaseline;
    if (baseline && topic.Parent() && side > 0)
        a = topic.ParentRelation().Path().ChildAttachPoint - TFloatPoint{0, FLine.Width / 2};
    const double y0 = topic.Children().front()->ParentRelation().Path().P0.Y;
    double xmin = a.X - FLine.Width / 2;
    double xmax = a.X + FLine.Width / 2;
    for (const TMindMapNode* child : topic.Children()) {
        xmin = std::min(xmin, child->GetPosition().X);
        xmax = std::max(xmax, child->GetPosition().X);
    }
    cairo_t* cr = FContext;
    cairo_new_path(cr);
    cairo_move_to(cr, a.X, a.Y);
    cairo_line_to(cr, a.X, y0);
    const double y = y0 + side * FLine.Width / 2;
    cairo_move_to(cr, xmin, y);
    cairo_line_to(cr, xmax, y);
    FLine.Stroke(false);
}

void TMindMapPainter::PaintTopic(TMindMapNode& topic, bool dropTargetPass) {
    if (!topic.IsVisible() && !(Interactive() && topic.Selected() && InheritedLayoutMode(topic) <= nlmFree))
        return;
    const bool dimmed = IsDimmed(topic);
    TMindMap& map = FSelection->Map();
    const TNodeStyle& style = topic.Style();

    TTopicShape shape;
    shape.Bounds = topic.GetBounds();
    shape.BorderStyle = style.BorderStyle();
    shape.BorderWidth = style.EffectiveBorderWidth(StyleManager().TopicDataForLevel(topic.Level()).BorderWidth());
    shape.StrokeStyle = style.StrokeStyle();
    shape.HalfRoundRadius = topic.HalfRoundRadius();
    if (shape.BorderStyle == sbsRightArrow || shape.BorderStyle == sbsLeftArrow ||
        shape.BorderStyle == sbsParallelogram)
        shape.ArrowDepth = shape.Bounds.Height / 4;
    shape.FillColor = StyleOrPalette(style.FillColor(), topic.ResolvedFill);
    shape.FillOverridden = style.HasOverride(nsoFillColor);
    shape.StrokeColor = TopicStrokeColor(topic);
    shape.Visible = topic.IsVisible();
    shape.Selected = Interactive() && topic.Selected();
    shape.Dimmed = dimmed;
    shape.BlankText = std::all_of(topic.PlainText().begin(), topic.PlainText().end(),
                                  [](char c) { return static_cast<unsigned char>(c) <= 0x20; });
    shape.HasEmbeddedImage = topic.EmbeddedImage() != nullptr;
    shape.ImageOnly = topic.Content().ImageOnly();
    shape.HasDate = topic.HasDate();
    shape.ShowsNote = NoteShowsIndicator(topic.Note());
    shape.HullFill = topic.HullFill;

    TTopicPaintState state;
    state.Interactive = Interactive();
    state.MultiSelection = map.HasMultiSelection();
    state.DropTargetPass = dropTargetPass;
    state.Culling = FCulling;
    state.VisibleRect = FVisibleRect;
    state.BackgroundColor = FBackgroundColor;
    state.DarkBackground = FDarkBackground;
    state.NoteIndicatorAutomatic = map.MapStyle().NoteIndicatorColorIsAutomatic();
    state.NoteIndicatorColor = map.MapStyle().NoteIndicatorColor();

    TTopicShapeHooks hooks;
    topic.NumberBoxRect = {};
    if (topic.LayoutMode() == nlmMatrix)
        hooks.PaintMatrixFrame = [&] { PaintMatrixFrame(topic); };
    if (map.AutoNumbering() == anBelow && !topic.NumberLabel().empty())
        hooks.PaintNumberBelow = [&](double strokeWidth) { PaintAutoNumberBelow(topic, dimmed, strokeWidth); };
    if (!PaintTopicShape(FContext, shape, state, hooks) || dropTargetPass || !topic.IsVisible())
        return;
    PaintTopicImage(topic, dimmed);
    PaintTopicIcon(topic, dimmed);
    if (topic.Content().NumberInside)
        PaintAutoNumberInside(topic, dimmed);
    if (topic.CheckboxMode() == cbmCheckbox)
        PaintCheckBox(topic, dimmed);
    else if (topic.CheckboxMode() == cbmProgress || topic.CheckboxMode() == cbmRollUpProgress)
        PaintProgress(topic, dimmed);
    PaintLinkIcon(topic, dimmed);
    PaintVoiceMemo(topic, dimmed);
    PaintDateLine(topic, dimmed);
    if (!topic.Text().empty())
        PaintTopicText(topic, dimmed);
    if (topic.Collapsed() && !(Interactive() && topic.Selected()))
        PaintCollapseIndicator(topic, dimmed);
    if (Interactive() && topic.LayoutMode() > nlmFree && topic.LayoutMode() != nlmMatrix)
        PaintLayoutBadge(topic);
    PaintElementsOf(topic);
}

void TMindMapPainter::PaintImageSurface(const TPicture& picture, TFloatPoint size, bool dimmed, double x, double y) {
    if (!picture)
        return;
    cairo_t* cr = FContext;
    const double w = std::max(picture.Width(), 1);
    const double h = std::max(picture.Height(), 1);
    cairo_save(cr);
    if (w != size.X || h != size.Y) {
        const double k = std::min(size.Y / h, size.X / w);
        if (!(k > 0) || !std::isfinite(k)) {
            cairo_restore(cr);
            return;
        }
        cairo_translate(cr, x, y);
        cairo_scale(cr, k, k);
        cairo_translate(cr, -x, -y);
    }
    cairo_set_source_surface(cr, picture.Surface(), x, y);
    cairo_pattern_set_filter(cairo_get_source(cr), ImageFilter());
    if (dimmed)
        cairo_paint_with_alpha(cr, 0.25);
    else
        cairo_paint(cr);
    cairo_restore(cr);
}

void TMindMapPainter::PaintClippedImage(const TPicture& picture, int clip, const TFloatRect& rect,
                                        TFloatPoint clipOffset, double scale, bool dimmed) {
    cairo_t* cr = FContext;
    cairo_save(cr);
    cairo_new_path(cr);
    AppendImageClip(cr, clip, rect);
    cairo_clip(cr);
    cairo_translate(cr, rect.Left - clipOffset.X, rect.Top - clipOffset.Y);
    if (scale > 0 && std::isfinite(scale))
        cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, picture.Surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), ImageFilter());
    if (dimmed)
        cairo_paint_with_alpha(cr, 0.25);
    else
        cairo_paint(cr);
    cairo_restore(cr);
}

void TMindMapPainter::PaintTopicImage(TMindMapNode& topic, bool dimmed) {
    TEmbeddedImage* image = topic.EmbeddedImage();
    if (!image)
        return;
    const TPicture picture = image->GetSurface();
    if (!picture)
        return;
    const TFloatRect rect = topic.ImageRect();
    if (FCulling && !FloatRectsOverlap(rect, FVisibleRect))
        return;
    // the scale that sized the box: the stored scale may lie outside what the picture's size allows
    const double w = std::max(picture.Width(), 1);
    const double h = std::max(picture.Height(), 1);
    const bool squareClip = image->Clip() == clsCircle || image->Clip() == clsSquare;
    const double k = squareClip ? rect.Width / std::min(w, h) : rect.Width / w;
    if (!(k > 0) || !std::isfinite(k))
        return;
    PaintClippedImage(picture, image->Clip(), rect, image->ClipOffset(), k, dimmed);
}

void TMindMapPainter::PaintTopicIcon(TMindMapNode& topic, bool dimmed) {
    TNodeIcon* icon = topic.Icon();
    if (!icon)
        return;
    const TFloatRect rect = topic.IconRect();
    PaintImageSurface(icon->GetSurface(), {rect.Width, rect.Height}, dimmed, rect.Left, rect.Top);
}

void TMindMapPainter::PaintTopicText(TMindMapNode& topic, bool dimmed) {
    const TFloatRect rect = topic.TextRect();
    if (FCulling && !FloatRectsOverlap(rect, FVisibleRect))
        return;
    const TColor color = StyleOrPalette(topic.Style().TextColor(), topic.ResolvedText);
    PaintText(topic.PlainText(), rect, dimmed, TopicPaintingFont(topic), color == clDefault ? clBlack : color,
              topic.TextAlignment());
}

void TMindMapPainter::PaintText(std::string_view text, const TFloatRect& rect, bool dimmed,
                                const TPangoMindNodeStyleData& font, TColor color, TStyleAlignment alignment) {
    if (text.empty() || !FiniteRect(rect))
        return;
    cairo_t* cr = FContext;
    const double pointSize = font.PointSize();
    if (pointSize * FScale < 0.7) {
        // too small to read: a translucent bar where the text would be
        const TFloatRect bar = Deflate(rect, rect.Width * 0.15, rect.Height * 0.15);
        cairo_new_path(cr);
        cairo_rectangle(cr, bar.Left, bar.Top, bar.Width, bar.Height);
        SetSourceColor(cr, Dim(color, dimmed), 0.25);
        cairo_fill(cr);
        return;
    }
    PangoLayout* layout = FLayout.Get();
    const auto length = static_cast<int>(std::min<std::size_t>(text.size(), 1u << 30));
    if (g_utf8_validate(text.data(), length, nullptr)) {
        pango_layout_set_text(layout, text.data(), length);
    } else {
        gchar* valid = g_utf8_make_valid(text.data(), length);
        pango_layout_set_text(layout, valid, -1);
        g_free(valid);
    }
    TPangoFontDescriptionPtr description(pango_font_description_copy(font.FontDescription()));
    pango_layout_set_font_description(layout, description.get());
    pango_layout_set_width(layout, -1);
    pango_layout_set_alignment(layout, alignment == salLeft    ? PANGO_ALIGN_LEFT
                                       : alignment == salRight ? PANGO_ALIGN_RIGHT
                                                               : PANGO_ALIGN_CENTER);
    if (!FUnknownGlyphs && pango_layout_get_unknown_glyphs_count(layout) > 0)
        FUnknownGlyphs = true;
    PangoRectangle logical{};
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    double top = rect.Top;
    if (FFitText) {
        // shrink point by point until the text fits within 6 pixels; below one point it is not drawn
        const double tolerance = 6 / std::max(FScale, 1e-9);
        double size = pointSize;
        while (logical.width - rect.Width >= tolerance || logical.height - rect.Height >= tolerance) {
            if (size <= 1)
                return;
            size = std::max(1.0, size - 1);
            pango_font_description_set_size(description.get(), static_cast<gint>(size * PANGO_SCALE));
            pango_layout_set_font_description(layout, description.get());
            pango_layout_get_pixel_extents(layout, nullptr, &logical);
        }
        top = rect.Top + std::min(rect.Height / 2, (rect.Height - logical.height) / 2);
    }
    cairo_new_path(cr);
    cairo_move_to(cr, rect.Left - logical.x - (logical.width - rect.Width) / 2, top);
    const TFontStyles styles = font.FontStyle();
    PangoAttrList* attributes = nullptr;
    if ((styles & (fsUnderline | fsStrikeOut)) != 0) {
        attributes = pango_attr_list_new();
        if (styles & fsUnderline)
            pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        if (styles & fsStrikeOut)
            pango_attr_list_insert(attributes, pango_attr_strikethrough_new(TRUE));
        pango_layout_set_attributes(layout, attributes);
    }
    SetSourceColor(cr, Dim(color, dimmed));
    pango_cairo_show_layout(cr, layout);
    if (attributes) {
        pango_layout_set_attributes(layout, nullptr);
        pango_attr_list_unref(attributes);
    }
    cairo_new_path(cr);
}

void AppendImageClip(cairo_t* cr, int clip, const TFloatRect& r) {
    const double side = std::min(r.Width, r.Height);
    switch (clip) {
    case clsCircle: {
        const TFloatPoint c = r.Center();
        cairo_new_sub_path(cr);
        cairo_arc(cr, c.X, c.Y, side / 2, 0, 2 * M_PI);
        break;
    }
    case clsEllipse:
        EllipsePath(cr, r);
        break;
    case clsSquare: {
        const TFloatPoint c = r.Center();
        RoundRectPath(cr, {c.X - side / 2, c.Y - side / 2, side, side}, 7);
        break;
    }
    case clsRectangle:
        RoundRectPath(cr, r, 7);
        break;
    case clsHalfRound:
        RoundRectPath(cr, r, side / 2);
        break;
    default:
        cairo_rectangle(cr, r.Left, r.Top, r.Width, r.Height);
        break;
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Hulls and group borders

namespace {

// The fill and outline every hull shape shares.
void FillAndStrokeHull(cairo_t* cr, const TMapHull& hull, bool dimmed, const TMindMapPainter& painter) {
    const bool stroke = hull.StrokeWidth > 0 && hull.StrokeColor != clNone && hull.StrokeColor != clDefault;
    const bool fill = hull.Fill != clNone && hull.Fill != clDefault;
    if (fill) {
        SetSourceColor(cr, painter.Dim(hull.Fill, dimmed));
        if (stroke)
            cairo_fill_preserve(cr);
        else
            cairo_fill(cr);
    }
    if (stroke) {
        cairo_set_line_width(cr, hull.StrokeWidth);
        SetSourceColor(cr, painter.Dim(hull.StrokeColor, dimmed));
        SetBorderDash(cr, hull.StrokeStyle, hull.StrokeWidth);
        cairo_stroke(cr);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        ClearDash(cr);
    }
    cairo_new_path(cr);
}

} // namespace

void TMindMapPainter::PaintSmoothHull(const TMapHull& hull, bool dimmed) {
    if (!hull.Drawable())
        return;
    cairo_t* cr = FContext;
    const std::vector<TFloatPoint>& p = hull.Points;
    const std::size_t n = p.size();
    // the corners of each segment cut 5 units from its ends; short segments meet at their middle
    const auto cuts = [](const TFloatPoint& a, const TFloatPoint& b) {
        const TFloatPoint d = b - a;
        const double length = VectorLength(d);
        if (length > 10) {
            const TFloatPoint step = d * (5 / length);
            return std::pair{a + step, b - step};
        }
        const TFloatPoint middle = (a + b) * 0.5;
        return std::pair{middle, middle};
    };
    cairo_new_path(cr);
    const TFloatPoint start = cuts(p[n - 1], p[0]).second;
    cairo_move_to(cr, start.X, start.Y);
    double x = start.X;
    double y = start.Y;
    for (std::size_t i = 0; i < n; ++i) {
        const TFloatPoint& a = p[i];
        const TFloatPoint& b = p[(i + 1) % n];
        const auto [c1, c2] = cuts(a, b);
        // a quadratic through the corner as a cubic
        QuadraticTo(cr, {x, y}, a, c1);
        x = c1.X;
        y = c1.Y;
        if (VectorLength(b - a) > 10) {
            cairo_line_to(cr, c2.X, c2.Y);
            x = c2.X;
            y = c2.Y;
        }
    }
    cairo_close_path(cr);
    FillAndStrokeHull(cr, hull, dimmed, *this);
}

void TMindMapPainter::PaintCloudHull(const TMapHull& hull, bool dimmed) {
    if (!hull.Drawable())
        return;
    cairo_t* cr = FContext;
    const std::vector<TFloatPoint>& p = hull.Points;
    cairo_new_path(cr);
    cairo_move_to(cr, p[0].X, p[0].Y);
    for (std::size_t i = 0; i < p.size(); ++i) {
        const TFloatPoint& a = p[i];
        const TFloatPoint& b = p[(i + 1) % p.size()];
        const TFloatPoint d = b - a;
        const double length = VectorLength(d);
        const double bulge = length <= 100 ? 0.3 : 0.3 * 100 / length;
        const TFloatPoint control = (a + b) * 0.5 + TFloatPoint{d.Y, -d.X} * bulge;
        QuadraticTo(cr, a, control, b);
    }
    cairo_close_path(cr);
    FillAndStrokeHull(cr, hull, dimmed, *this);
}

void TMindMapPainter::PaintSimpleHull(const TMapHull& hull, bool dimmed) {
    if (!hull.Drawable())
        return;
    cairo_t* cr = FContext;
    cairo_new_path(cr);
    cairo_move_to(cr, hull.Points[0].X, hull.Points[0].Y);
    for (const TFloatPoint& p : hull.Points)
        cairo_line_to(cr, p.X, p.Y);
    cairo_close_path(cr);
    if (hull.Fill != clNone && hull.Fill != clDefault) {
        SetSourceColor(cr, Dim(hull.Fill, dimmed));
        cairo_fill(cr);
    } else if (hull.StrokeWidth > 0 && hull.StrokeColor != clNone) {
        SetSourceColor(cr, Dim(hull.StrokeColor, dimmed));
        cairo_set_line_width(cr, hull.StrokeWidth);
        cairo_stroke(cr);
    }
    cairo_new_path(cr);
}

void TMindMapPainter::PaintHulls() {
    const bool dimmed = FSearchDim || FFocusDim;
    const bool scrolling = (FFlags & pfPanning) != 0;
    for (const TMapHull& hull : TMapHullBuilder(FBackgroundColor).Build(FSelection->Map())) {
        if (scrolling)
            PaintSimpleHull(hull, dimmed);
        else
            PaintSmoothHull(hull, dimmed);
    }
}

void TMindMapPainter::PaintGroupBorders() {
    TMindMap& map = FSelection->Map();
    cairo_t* cr = FContext;
    const bool scrolling = (FFlags & pfPanning) != 0;
    for (int i = 0; i < map.GroupCount(); ++i) {
        TNodeGroup& group = *map.GroupAt(i);
        const TNodeGroupStyle& style = group.Style();
        if (!group.IsVisible() || style.IsInvisible())
            continue;
        const bool dimmed = IsDimmed(group);
        const TFloatRect bounds = group.GetBounds();
        if (style.BorderStyle() == gbsHull || style.BorderStyle() == gbsCloudHull) {
            TMapHull hull;
            hull.Points = group.HullPoints;
            hull.Fill = style.FillColor();
            hull.StrokeColor = style.HasBorder() ? style.StrokeColor() : clNone;
            hull.StrokeWidth = style.BorderWidth();
            hull.StrokeStyle = style.StrokeStyle();
            if (scrolling)
                PaintSimpleHull(hull, dimmed);
            else if (style.BorderStyle() == gbsHull)
                PaintSmoothHull(hull, dimmed);
            else
                PaintCloudHull(hull, dimmed);
        } else {
            cairo_new_path(cr);
            switch (style.BorderStyle()) {
            case gbsRoundRect:
                RoundRectPath(cr, bounds, 7);
                break;
            case gbsDiamond:
                DiamondPath(cr, bounds);
                break;
            case gbsCloud:
                CloudPath(cr, bounds);
                break;
            case gbsEllipse:
            case gbsCircle:
                EllipsePath(cr, bounds);
                break;
            default:
                cairo_rectangle(cr, bounds.Left, bounds.Top, bounds.Width, bounds.Height);
                break;
            }
            if (style.HasFill()) {
                SetSourceColor(cr, Dim(style.FillColor(), dimmed));
                if (style.HasBorder())
                    cairo_fill_preserve(cr);
                else
                    cairo_fill(cr);
            }
            if (style.HasBorder()) {
                SetSourceColor(cr, Dim(style.StrokeColor(), dimmed));
                cairo_set_line_width(cr, style.BorderWidth());
                SetBorderDash(cr, style.StrokeStyle(), style.BorderWidth());
                cairo_stroke(cr);
                cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
                ClearDash(cr);
            }
            cairo_new_path(cr);
        }
        if (style.HasFill())
            for (int j = 0; j < group.MemberCount(); ++j)
                group.MemberAt(j)->HullFill = style.FillColor();
        if (Interactive() && (FFlags & pfReadOnly) == 0 && group.Selected()) {
            const TFloatRect r = FloatRectInflate(bounds, 8, 8);
            cairo_rectangle(cr, r.Left, r.Top, r.Width, r.Height);
            SetSourceColor(cr, FDarkBackground ? RGBColor(64, 195, 255) : RGBColor(13, 71, 161));
            cairo_set_line_width(cr, 1);
            const double dashes[] = {6, 3};
            cairo_set_dash(cr, dashes, 2, 0);
            cairo_stroke(cr);
        }
    }
    ClearDash(cr);
}

// ---------------------------------------------------------------------------------------------------------------
// Topic decorations

TColor TMindMapPainter::CheckboxColor(const TMindMapNode& topic, bool& plain) const {
    const TMindMapStyle& style = FSelection->Map().MapStyle();
    if (style.CheckboxColorIsAutomatic()) {
        plain = false;
        return TopicStrokeColor(topic);
    }
    const TColor color = style.CheckboxColor();
    plain = RedOf(color) > 250 && GreenOf(color) > 250 && BlueOf(color) > 250;
    return color;
}

void TMindMapPainter::PaintCheckBox(TMindMapNode& topic, bool dimmed) {
    cairo_t* cr = FContext;
    const TFloatRect box = topic.CheckBoxRect();
    if (FCulling && !FloatRectsOverlap(box, FVisibleRect))
        return;
    bool plain = false;
    const TColor c = CheckboxColor(topic, plain);
    const auto d = [&](TColor color) { return Dim(color, dimmed); };
    cairo_new_path(cr);
    RoundRectPath(cr, box, 2);
    if (plain) {
        FillStroke(cr, d(clWhite), d(kNeutralGrey), 1.5);
        if (topic.Checked()) {
            CheckMarkPath(cr, box);
            cairo_set_line_width(cr, 1.6);
            SetSourceColor(cr, d(kPlainCheckMark));
            cairo_stroke(cr);
        }
        return;
    }
    if (topic.Checked()) {
        FillStroke(cr, d(c), d(c), 1);
        CheckMarkPath(cr, box);
        cairo_set_line_width(cr, 1.6);
        SetSourceColor(cr, d(Luminance(c) < 0.75 ? clWhite : kDarkMark));
        cairo_stroke(cr);
        return;
    }
    const bool automatic = FSelection->Map().MapStyle().CheckboxColorIsAutomatic();
    TColor stroke = automatic ? TopicStrokeColor(topic) : kNeutralGrey;
    const int difference = std::abs(static_cast<int>(RedOf(FBackgroundColor)) - static_cast<int>(RedOf(stroke))) +
                           std::abs(static_cast<int>(GreenOf(FBackgroundColor)) - static_cast<int>(GreenOf(stroke))) +
                           std::abs(static_cast<int>(BlueOf(FBackgroundColor)) - static_cast<int>(BlueOf(stroke)));
    if (difference <= 24)
        stroke = Luminance(FBackgroundColor) < 0.75 ? clWhite : kDarkMark;
    FillStroke(cr, d(FBackgroundColor), d(stroke), 1.5);
}

void TMindMapPainter::PaintProgress(TMindMapNode& topic, bool dimmed) {
    cairo_t* cr = FContext;
    const TFloatRect box = topic.CheckBoxRect();
    if (FCulling && !FloatRectsOverlap(box, FVisibleRect))
        return;
    bool plain = false;
    const TColor c = CheckboxColor(topic, plain);
    const auto d = [&](TColor color) { return Dim(color, dimmed); };
    const int p = std::clamp(topic.Progress(), 0, 100);
    const bool complete = p == 100;
    const bool rollUp = topic.CheckboxMode() == cbmRollUpProgress;
    const TFloatPoint centre{box.Left + 8, box.Top + 8};
    const auto circle = [&](double radius) {
        cairo_new_path(cr);
        cairo_arc(cr, centre.X, centre.Y, radius, 0, 2 * M_PI);
    };
    cairo_set_line_width(cr, 1.5);
    TColor mark;
    if (plain) {
        if (rollUp) {
            cairo_new_path(cr);
            RoundRectPath(cr, box, 2);
            FillStroke(cr, d(clWhite), d(kNeutralGrey), 1.5);
        }
        if (complete || p < 10 || !rollUp) {
            circle(8);
            if (!rollUp) {
                SetSourceColor(cr, d(clWhite));
                cairo_fill_preserve(cr);
            }
            SetSourceColor(cr, d(kNeutralGrey));
            cairo_set_line_width(cr, 1.5);
            cairo_stroke(cr);
        }
        mark = kDarkMark;
    } else {
        if (rollUp) {
            cairo_new_path(cr);
            RoundRectPath(cr, box, 2);
            FillStroke(cr, d(c), d(c), 1.5);
            if (!complete) {
                circle(8);
                FillStroke(cr, d(FBackgroundColor), d(c), 1.5);
            }
        } else {
            circle(8);
            FillStroke(cr, d(complete ? c : FBackgroundColor), d(c), 1.5);
        }
        mark = Luminance(c) <= 0.75 ? clWhite : kDarkMark;
    }
    if (complete) {
        cairo_new_path(cr);
        CheckMarkPath(cr, box);
        cairo_set_line_width(cr, 1.6);
        SetSourceColor(cr, d(mark));
        cairo_stroke(cr);
    } else if (p > 0) {
        cairo_new_path(cr);
        cairo_move_to(cr, centre.X, centre.Y);
        cairo_line_to(cr, centre.X, centre.Y - 6);
        cairo_arc(cr, centre.X, centre.Y, 6, -M_PI / 2, p / 100.0 * 2 * M_PI - M_PI / 2);
        cairo_close_path(cr);
        SetSourceColor(cr, d(c));
        cairo_fill(cr);
    }
    if (!plain && rollUp) {
        circle(6.8);
        cairo_set_line_width(cr, 1);
        SetSourceColor(cr, d(complete ? mark : FBackgroundColor));
        cairo_stroke(cr);
    }
}

namespace {

// Text centred on one line in a rectangle, only where it is at least one unit tall: number labels and dates, in
// the caption font they were measured with, so that they fit the boxes made for them.
void PaintCentredLine(TMindMapPainter& painter, std::string_view text, const TFloatRect& rect, TColor color,
                      bool dimmed) {
    const TPangoMindNodeStyleData& font = StyleManager().CaptionData();
    if (font.PointSize() * painter.Scale() < 1)
        return;
    const TFloatPoint size = font.MeasureText(text);
    const TFloatRect line{rect.Center().X - size.X / 2, rect.Center().Y - size.Y / 2, size.X, size.Y};
    painter.PaintText(text, line, dimmed, font, color, salCenter);
}

TColor TopicTextColor(const TMindMapNode& topic) {
    const TColor color = StyleOrPalette(topic.Style().TextColor(), topic.ResolvedText);
    return color == clDefault || color == clNone ? clBlack : color;
}

} // namespace

void TMindMapPainter::PaintAutoNumberInside(TMindMapNode& topic, bool dimmed) {
    const TFloatRect rect = topic.NumberLabelRect();
    if (FCulling && !FloatRectsOverlap(rect, FVisibleRect))
        return;
    PaintCentredLine(*this, topic.NumberLabel(), rect, TopicTextColor(topic), dimmed);
}

void TMindMapPainter::PaintAutoNumberBelow(TMindMapNode& topic, bool dimmed, double strokeWidth) {
    const std::string label = topic.NumberLabel();
    const TFloatPoint size = StyleManager().CaptionData().MeasureText(label);
    const TFloatRect bounds = topic.GetBounds();
    const TFloatRect rect{bounds.Left + 8, bounds.Bottom() + 1 + strokeWidth / 2, size.X + 6, size.Y};
    topic.NumberBoxRect = rect;
    cairo_t* cr = FContext;
    cairo_new_path(cr);
    RoundRectPath(cr, Deflate(rect, 1, 1), 2);
    FillStroke(cr, Dim(FBackgroundColor, dimmed), Dim(kNumberBoxStroke, dimmed), 1);
    PaintCentredLine(*this, label, rect, TopicTextColor(topic), dimmed);
}

void TMindMapPainter::PaintLinkIcon(TMindMapNode& topic, bool dimmed) {
    TDiagramLink* link = topic.Link();
    if (!link)
        return;
    const TFloatRect r = topic.LinkIconRect();
    if (r.Width <= 0 || r.Height <= 0 || (FCulling && !FloatRectsOverlap(r, FVisibleRect)))
        return;
    cairo_t* cr = FContext;
    bool plain = false;
    const TColor c = Dim(CheckboxColor(topic, plain), dimmed);
    switch (link->Kind()) {
    case lkDiagram:
    case lkCloudMap: {
        const double k = std::min(r.Width, r.Height) / 32;
        cairo_save(cr);
        cairo_translate(cr, r.Left, r.Top);
        cairo_scale(cr, k, k);
        cairo_new_path(cr);
        RoundRectPath(cr, {2, 1, 13, 7}, 1.5 / k);
        RoundRectPath(cr, {2, 22, 13, 7}, 1.5 / k);
        RoundRectPath(cr, {17, 10.5, 13, 7}, 1.5 / k);
        cairo_move_to(cr, 8.5, 9);
        cairo_line_to(cr, 8.5, 22);
        cairo_move_to(cr, 20, 17);
        cairo_line_to(cr, 14, 23);
        cairo_set_line_width(cr, 1.5 / k);
        SetSourceColor(cr, c);
        cairo_stroke(cr);
        cairo_restore(cr);
        break;
    }
    case lkUrl:
    case lkCloudDocument: {
        const double side = std::min(r.Width - 2, r.Height - 2);
        const double x = r.Left + 1;
        const double y = r.Top + 1;
        const double box = 0.8 * side;
        const double top = y + side - box;
        cairo_new_path(cr);
        // the box, open at its top-right corner
        cairo_move_to(cr, x + 0.55 * side, top);
        cairo_line_to(cr, x + 2, top);
        cairo_arc_negative(cr, x + 2, top + 2, 2, -M_PI / 2, -M_PI);
        cairo_line_to(cr, x, y + side - 2);
        cairo_arc_negative(cr, x + 2, y + side - 2, 2, M_PI, M_PI / 2);
        cairo_line_to(cr, x + box - 2, y + side);
        cairo_arc_negative(cr, x + box - 2, y + side - 2, 2, M_PI / 2, 0);
        cairo_line_to(cr, x + box, y + 0.45 * side);
        cairo_set_line_width(cr, 1.5);
        SetSourceColor(cr, c);
        cairo_stroke(cr);
        // the arrow out of it
        cairo_move_to(cr, x + 0.4 * side, y + 0.6 * side);
        cairo_line_to(cr, x + side, y);
        cairo_move_to(cr, x + side - 0.45 * side, y);
        cairo_line_to(cr, x + side, y);
        cairo_line_to(cr, x + side, y + 0.45 * side);
        cairo_set_line_width(cr, 2);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_stroke(cr);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
        break;
    }
    default:
        PaintImageSurface(link->LinkIcon().GetSurface(), {r.Width, r.Height}, dimmed, r.Left, r.Top);
        break;
    }
}

void TMindMapPainter::PaintVoiceMemo(TMindMapNode& topic, bool dimmed) {
    if (topic.VoiceMemo().empty())
        return;
    const TFloatRect r = topic.VoiceMemoRect();
    if (FCulling && !FloatRectsOverlap(r, FVisibleRect))
        return;
    PaintImageSurface(ProgramPicture("voice_memo_icon_png"), {16, 16}, dimmed, r.Left, r.Top);
}

void TMindMapPainter::PaintDateLine(TMindMapNode& topic, bool dimmed) {
    if (!topic.HasDate())
        return;
    const TFloatRect r = topic.DateRect();
    if (FCulling && !FloatRectsOverlap(r, FVisibleRect))
        return;
    const double h = r.Height;
    PaintImageSurface(ProgramPicture("ic8_48_calendar"), {h, h}, dimmed, r.Left, r.Top);
    const TFloatRect text{r.Left + h + 4, r.Top, std::max(r.Width - h - 4, 0.0), h};
    PaintCentredLine(*this, topic.DateText(), text, TopicTextColor(topic), dimmed);
}

void TMindMapPainter::PaintCollapseIndicator(TMindMapNode& topic, bool dimmed) {
    const TFloatPoint centre = FSelection->Map().ExpandToolCentre(topic, false);
    const TFloatRect r = Deflate(SquareAround(centre, 16), 2, 2);
    if (FCulling && !FloatRectsOverlap(r, FVisibleRect))
        return;
    cairo_t* cr = FContext;
    const double radius = r.Width / 2;
    const TFloatPoint c = r.Center();
    const TColor color = Dim(ConnectionColor(topic), dimmed);
    cairo_new_path(cr);
    cairo_arc(cr, c.X, c.Y, radius, 0, 2 * M_PI);
    SetSourceColor(cr, FBackgroundColor);
    cairo_fill_preserve(cr);
    SetSourceColor(cr, color);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_move_to(cr, r.Left + 0.7 * radius, r.Top + 0.4 * radius);
    cairo_line_to(cr, r.Left + 1.6 * radius, r.Top + radius);
    cairo_line_to(cr, r.Left + 0.7 * radius, r.Top + 1.6 * radius);
    cairo_close_path(cr);
    cairo_stroke(cr);
}

void TMindMapPainter::PaintLayoutBadge(TMindMapNode& topic) {
    const TFloatRect bounds = topic.GetBounds();
    const double x = std::nearbyint(bounds.Right() - 16);
    const double y = std::nearbyint(bounds.Bottom() - 3);
    cairo_t* cr = FContext;
    cairo_new_path(cr);
    // a middle line with a quarter arc at each end running into a vertical stroke
    cairo_move_to(cr, x, y);
    cairo_arc_negative(cr, x, y + 5, 2, -M_PI / 2, M_PI);
    cairo_move_to(cr, x, y + 3.5);
    cairo_line_to(cr, x + 12, y + 3.5);
    cairo_move_to(cr, x + 12, y + 7);
    cairo_arc_negative(cr, x + 12, y + 2, 2, M_PI / 2, 0);
    cairo_set_line_width(cr, 1.5);
    if (FDarkBackground)
        cairo_set_source_rgba(cr, 223 / 255.0, 223 / 255.0, 223 / 255.0, 0.8);
    else
        cairo_set_source_rgba(cr, 24 / 255.0, 24 / 255.0, 24 / 255.0, 0.8);
    cairo_stroke(cr);
}

// ---------------------------------------------------------------------------------------------------------------
// Text and image elements

void TMindMapPainter::PaintElementsOf(TCompositeElement& element) {
    for (int i = 0; i < element.ContainedCount(); ++i) {
        TContainedElement* contained = element.ContainedAt(i);
        if (auto* image = dynamic_cast<TMindMapImage*>(contained))
            PaintImageElement(*image);
        else if (auto* text = dynamic_cast<TMindMapText*>(contained))
            PaintTextElement(*text);
    }
}

void TMindMapPainter::PaintTextElement(TMindMapText& t) {
    const TFloatRect bounds = t.GetBounds();
    if (!FiniteRect(bounds) || (FCulling && !FloatRectsOverlap(bounds, FVisibleRect)))
        return;
    const bool dimmed = IsDimmed(t);
    cairo_t* cr = FContext;
    const TTextStyle& style = t.Style();
    TColor fill = style.FillColor();
    if (fill == clDefault)
        fill = clNone;
    bool callout = false;
    if (style.Callout() != cstNone)
        callout = PaintCallout(t, fill, dimmed);
    if (!callout && fill != clNone) {
        cairo_new_path(cr);
        RoundRectPath(cr, bounds, 4);
        SetSourceColor(cr, Dim(fill, dimmed));
        cairo_fill(cr);
    }
    const bool blank = std::all_of(t.PlainText().begin(), t.PlainText().end(),
                                   [](char c) { return static_cast<unsigned char>(c) <= 0x20; });
    const bool selected = Interactive() && t.Selected();
    if ((!callout && selected) || blank) {
        cairo_new_path(cr);
        RoundRectPath(cr, bounds, 4);
        cairo_set_line_width(cr, FSelection->Map().HasMultiSelection() ? 3 : 1);
        SetSourceColor(cr, Dim(selected ? kSelectedTextOutline : kEmptyTextOutline, dimmed));
        cairo_stroke(cr);
    }
    if (blank)
        return;
    TColor color = style.TextColor();
    if (color == clDefault || color == clNone)
        color = clBlack;
    TStyleManager& manager = StyleManager();
    const TPangoMindNodeStyleData& font = manager.PaintingFont(manager.TextData(), style.FontDescriptor());
    const TStyleAlignment alignment = style.Alignment() == salAuto ? salCenter : style.Alignment();
    PaintText(t.PlainText(), t.TextRect(), dimmed, font, color, alignment);
}

bool TMindMapPainter::PaintCallout(TMindMapText& t, TColor fill, bool dimmed) {
    const TFloatRect b = t.GetBounds();
    const TCompositeElement& owner = t.Owner();
    const auto* ownerTopic = dynamic_cast<const TMindMapNode*>(&owner);
    TFloatPoint anchor = owner.GetPosition();
    if (t.Nested())
        anchor = {b.Left - 6, b.Top + b.Height / 4};
    const int hx = anchor.X < b.Left ? 0 : anchor.X > b.Right() ? 2 : 1;
    const int vy = anchor.Y < b.Top ? 0 : anchor.Y > b.Bottom() ? 2 : 1;
    if (hx == 1 && vy == 1)
        return false;
    const TFloatPoint c = b.Center();
    const auto sign = [](double v) { return v < 0 ? -1.0 : v > 0 ? 1.0 : 0.0; };
    const TFloatPoint horizontalBase{c.X + sign(anchor.X - c.X) * b.Width / 6, vy == 0 ? b.Top : b.Bottom()};
    const TFloatPoint verticalBase{hx == 0 ? b.Left : b.Right(), c.Y + sign(anchor.Y - c.Y) * b.Height / 6};
    // 0 top, 1 right, 2 bottom, 3 left
    int edge;
    if (hx == 1)
        edge = vy == 0 ? 0 : 2;
    else if (vy == 1)
        edge = hx == 0 ? 3 : 1;
    else {
        // a corner: the edge whose base point the anchor lies further beyond, relative to the box's size
        const double outY = std::fabs(anchor.Y - horizontalBase.Y) / std::max(b.Height, 1.0);
        const double outX = std::fabs(anchor.X - verticalBase.X) / std::max(b.Width, 1.0);
        edge = outY >= outX ? (vy == 0 ? 0 : 2) : (hx == 0 ? 3 : 1);
    }
    const bool horizontalEdge = edge == 0 || edge == 2;
    const TFloatPoint p = horizontalEdge ? horizontalBase : verticalBase;
    const TFloatPoint n = horizontalEdge ? TFloatPoint{5, 0} : TFloatPoint{0, 5};

    TFloatRect target = ownerTopic ? FloatRectInflate(ownerTopic->GetBounds(), 5, 5) : SquareAround(anchor, 10);
    TFloatPoint tip = anchor;
    const double distance = VectorLength(anchor - p);
    if (distance > 20) {
        const TFloatPoint step = p + (anchor - p) * (20 / distance);
        if (FloatRectContains(target, step)) {
            tip = step;
        } else {
            TRelationPath line;
            line.SetStraight(p, anchor);
            tip = line.EndBoundary(target).Point;
        }
    }
    const TColor stroke = Dim(fill == clNone ? kSelectedTextOutline : Darken(fill), dimmed);
    const double width = Interactive() && t.Selected() ? 2.5 : 1;
    cairo_t* cr = FContext;
    cairo_new_path(cr);
    if (t.Style().Callout() == cstTapered) {
        // the box with corners rounded by quadratic curves of radius 5, the wedge on the chosen edge
        const double r = std::min({5.0, b.Width / 2, b.Height / 2});
        const TFloatPoint corners[] = {
            {b.Left, b.Top}, {b.Right(), b.Top}, {b.Right(), b.Bottom()}, {b.Left, b.Bottom()}};
        cairo_move_to(cr, b.Left + r, b.Top);
        for (int e = 0; e < 4; ++e) {
            const TFloatPoint corner = corners[(e + 1) % 4];
            const TFloatPoint direction = e == 0   ? TFloatPoint{1, 0}
                                          : e == 1 ? TFloatPoint{0, 1}
                                          : e == 2 ? TFloatPoint{-1, 0}
                                                   : TFloatPoint{0, -1};
            if (e == edge) {
                // along the edge's direction: the near side of the wedge first
                const TFloatPoint along = direction * 5;
                const TFloatPoint first = (along.X * n.X + along.Y * n.Y) > 0 ? p - n : p + n;
                const TFloatPoint second = (along.X * n.X + along.Y * n.Y) > 0 ? p + n : p - n;
                cairo_line_to(cr, first.X, first.Y);
                cairo_line_to(cr, tip.X, tip.Y);
                cairo_line_to(cr, second.X, second.Y);
            }
            const TFloatPoint before = corner - direction * r;
            cairo_line_to(cr, before.X, before.Y);
            const TFloatPoint nextDirection = e == 0   ? TFloatPoint{0, 1}
                                              : e == 1 ? TFloatPoint{-1, 0}
                                              : e == 2 ? TFloatPoint{0, -1}
                                                       : TFloatPoint{1, 0};
            QuadraticTo(cr, before, corner, corner + nextDirection * r);
        }
        cairo_close_path(cr);
        if (fill != clNone) {
            SetSourceColor(cr, Dim(fill, dimmed));
            cairo_fill_preserve(cr);
        }
        SetSourceColor(cr, stroke);
        cairo_set_line_width(cr, width);
        cairo_stroke(cr);
        return true;
    }
    cairo_move_to(cr, p.X, p.Y);
    cairo_line_to(cr, tip.X, tip.Y);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    SetSourceColor(cr, stroke);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    if (fill != clNone) {
        RoundRectPath(cr, b, 4);
        SetSourceColor(cr, Dim(fill, dimmed));
        cairo_fill(cr);
    }
    if (Interactive() && t.Selected()) {
        RoundRectPath(cr, b, 4);
        SetSourceColor(cr, stroke);
        cairo_stroke(cr);
    }
    return true;
}

void TMindMapPainter::PaintImageElement(TMindMapImage& image) {
    const TFloatRect b = image.GetBounds();
    if (!FiniteRect(b) || (FCulling && !FloatRectsOverlap(b, FVisibleRect)))
        return;
    const bool dimmed = IsDimmed(image);
    cairo_t* cr = FContext;
    const TPicture& picture = image.Surface();
    if (!picture || picture.Width() < 1) {
        cairo_new_path(cr);
        cairo_rectangle(cr, b.Left, b.Top, b.Width, b.Height);
        FillStroke(cr, clWhite, kImageOutline, 1);
        const TFloatPoint c = b.Center();
        const double d = b.Width / 4;
        cairo_move_to(cr, c.X - d, c.Y - d);
        cairo_line_to(cr, c.X + d, c.Y + d);
        cairo_move_to(cr, c.X + d, c.Y - d);
        cairo_line_to(cr, c.X - d, c.Y + d);
        SetSourceColor(cr, RGBColor(255, 0, 0));
        cairo_set_line_width(cr, 3);
        cairo_stroke(cr);
    } else {
        PaintClippedImage(picture, image.Clip(), b, image.ClipOffset(), image.Scale() * 0.5333333333333333, dimmed);
    }
    if (Interactive() && image.Selected()) {
        const bool several = FSelection->Map().HasMultiSelection();
        const double grow = several ? 1 : 3;
        cairo_new_path(cr);
        RoundRectPath(cr, FloatRectInflate(b, grow, grow), 4);
        cairo_set_line_width(cr, several ? 3 : 1);
        SetSourceColor(cr, kImageOutline);
        cairo_stroke(cr);
    }
}

void TMindMapPainter::PaintMatrixFrame(TMindMapNode& topic) {
    // the table is the head's branch box; the frame sits 10 inside its margins
    const TFloatRect frame = Deflate(BranchRect(topic), 10, 10);
    if (!FiniteRect(frame) || (FCulling && !FloatRectsOverlap(FloatRectInflate(frame, 6, 6), FVisibleRect)))
        return;
    const bool dimmed = FSearchDim || FFocusDim;
    const TColor stroke = Dim(TopicStrokeColor(topic), dimmed);
    cairo_t* cr = FContext;
    cairo_new_path(cr);
    RoundRectPath(cr, FloatRectInflate(frame, 6, 6), 6);
    SetSourceColor(cr, stroke);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    if (!topic.IsVisible() || topic.Collapsed() || topic.Children().empty() || (FFlags & pfPanning) != 0)
        return;
    // every cell of the region: a topic's cell is its stretched box
    std::vector<TMindMapNode*> cells;
    std::vector<TMindMapNode*> stack(topic.Children().rbegin(), topic.Children().rend());
    while (!stack.empty()) {
        TMindMapNode* cell = stack.back();
        stack.pop_back();
        cells.push_back(cell);
        if (cell->IsVisible() && !cell->Collapsed())
            stack.insert(stack.end(), cell->Children().rbegin(), cell->Children().rend());
    }
    const bool hasRows = std::any_of(topic.Children().begin(), topic.Children().end(),
                                     [](const TMindMapNode* child) { return !child->Children().empty(); });
    if (hasRows) {
        for (TMindMapNode* cell : cells) {
            const TColor fill = StyleOrPalette(cell->Style().FillColor(), cell->ResolvedFill);
            if (cell->Style().BorderStyle() != sbsNone || !IsPaintable(fill) || !cell->IsVisible())
                continue;
            const TFloatRect r = cell->GetBounds();
            cairo_rectangle(cr, r.Left, r.Top, r.Width, r.Height);
            SetSourceColor(cr, Dim(fill, dimmed));
            cairo_fill(cr);
        }
        // the grid: the touching cells' outlines, clipped to the frame
        cairo_save(cr);
        cairo_rectangle(cr, frame.Left, frame.Top, frame.Width, frame.Height);
        cairo_clip(cr);
        for (TMindMapNode* cell : cells) {
            if (!cell->IsVisible())
                continue;
            const TFloatRect r = cell->GetBounds();
            cairo_rectangle(cr, r.Left, r.Top, r.Width, r.Height);
        }
        SetSourceColor(cr, stroke);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        cairo_restore(cr);
    }
    // the header line above the first row
    const double y = topic.Children().front()->GetBounds().Top;
    cairo_move_to(cr, frame.Left, y);
    cairo_line_to(cr, frame.Right(), y);
    SetSourceColor(cr, stroke);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}
