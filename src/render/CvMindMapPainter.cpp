#include "render/CvMindMapPainter.h"

#include "layout/NestedNodeLayouters.h"
#include "model/CVMindMaps.h"
#include "render/OXCairoUtils.h"
#include "render/TopicShapes.h"
#include "styling/CVStyleManager.h"

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

    if (!PaintTopicShape(FContext, shape, state) || dropTargetPass || !topic.IsVisible())
        return;
    PaintTopicImage(topic, dimmed);
    PaintTopicIcon(topic, dimmed);
    if (!topic.Text().empty())
        PaintTopicText(topic, dimmed);
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
    const TFloatPoint offset = image->ClipOffset();
    const TFloatPoint origin{rect.Left - offset.X, rect.Top - offset.Y};
    cairo_t* cr = FContext;
    cairo_save(cr);
    AppendImageClip(cr, image->Clip(), rect);
    cairo_clip(cr);
    cairo_translate(cr, origin.X, origin.Y);
    cairo_scale(cr, k, k);
    cairo_set_source_surface(cr, picture.Surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), ImageFilter());
    if (dimmed)
        cairo_paint_with_alpha(cr, 0.25);
    else
        cairo_paint(cr);
    cairo_restore(cr);
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
