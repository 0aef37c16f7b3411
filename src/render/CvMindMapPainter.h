#pragma once

// The map painter: draws a laid-out map, or the selected branches of it, onto a cairo surface at a given transform.
// It lives for one paint call. The viewer calls it for every repaint of its back buffer, the image export once per
// picture.

#include "render/CairoHandles.h"
#include "render/Float2D.h"
#include "render/PangoHandles.h"
#include "styling/Colors.h"
#include "styling/MindMapStyling.h"

#include <cstdint>
#include <string_view>
#include <vector>

class TMindMap;
class TMindMapElement;
class TMindMapNode;
class TMindMapRelation;
class TCrossLink;
class TCompositeElement;
class TMindMapImage;
class TMindMapText;
struct TMapHull;
class TPangoMindNodeStyleData;
class TMindMapPainter;

enum TPaintingFlag : std::uint16_t {
    pfInteractive = 0x0001, // selection marks, halos, drop-target and editing states
    pfPanning = 0x0002,     // images with the fast filter
    pfReadOnly = 0x0010,
    pfCull = 0x0080,         // skip what lies outside the visible rectangle
    pfLowDetail = 0x0200,    // with pfInteractive: cables and thin dashes drawn simplified
    pfFocusDimming = 0x0400, // elements outside the focus are dimmed (not while a search is active)
    pfLayoutReady = 0x1000,  // the caller brought the layout up to date
};

// What one paint call draws: root topics with their branches, the cross links among them, and their bounds.
class TMindMapPaintSelection {
public:
    explicit TMindMapPaintSelection(TMindMap& map) : FMap(&map) {}

    // Every central theme and every visible cross link, within the map's content bounds.
    void PaintAll();
    // The selected topics reduced to branch roots, the visible cross links between topics of those branches, and
    // the bounds of it all. Answers false when no topic is selected.
    bool PaintSelectedBranches();

    TMindMap& Map() const { return *FMap; }
    const std::vector<TMindMapNode*>& Roots() const { return FRoots; }
    const std::vector<TCrossLink*>& CrossLinks() const { return FCrossLinks; }
    const TFloatRect& Bounds() const { return FBounds; }

private:
    TMindMap* FMap; // not owned
    std::vector<TMindMapNode*> FRoots;
    std::vector<TCrossLink*> FCrossLinks;
    TFloatRect FBounds{};
};

// The affine transform from map units to device units (cairo's order: xx, yx, xy, yy, x0, y0).
struct TPaintMatrix {
    double XX = 1;
    double YX = 0;
    double XY = 0;
    double YY = 1;
    double X0 = 0;
    double Y0 = 0;
};

// How one relation's line is drawn.
class TLinePaintParams {
public:
    explicit TLinePaintParams(TMindMapPainter& painter) : FPainter(&painter) {}

    // Resolves line style, width, colour and half alpha for one relation and answers the colour. topic is the one
    // whose resolved stroke colour stands in for a default colour.
    TColor Prepare(const TRelationStyle& style, const TMindMapNode* topic, double pathWidth, bool dimmed);
    // Strokes the current path, or fills and strokes it when it is a taper outline.
    void Stroke(bool filled);

    TRelationLineStyle LineStyle = penSolidThin;
    bool HalfAlpha = false;
    double Width = 1;
    TColor Color = clBlack;

private:
    TMindMapPainter* FPainter; // not owned
};

class TMindMapPainter {
public:
    // Paints the selection and answers whether some text had glyphs that its font lacks. With drawFittedText the
    // text is shrunk point by point until it fits its rectangle within 6 pixels, as a device canvas would draw it.
    static bool Paint(cairo_surface_t* surface, const TPaintMatrix& matrix, TMindMapPaintSelection& selection,
                      std::uint16_t flags, const TFloatRect& visibleRect, bool drawFittedText = false);

    TMindMapPainter(cairo_t* cr, const TPaintMatrix& matrix, TMindMapPaintSelection& selection, std::uint16_t flags,
                    const TFloatRect& visibleRect, bool drawFittedText);
    TMindMapPainter(const TMindMapPainter&) = delete;
    TMindMapPainter& operator=(const TMindMapPainter&) = delete;
    ~TMindMapPainter();

    void Run();

    cairo_t* Context() const { return FContext; }
    double Scale() const { return FScale; }
    bool Interactive() const { return (FFlags & pfInteractive) != 0; }
    bool LowDetail() const { return Interactive() && (FFlags & pfLowDetail) != 0; }
    bool Culling() const { return FCulling; }
    const TFloatRect& VisibleRect() const { return FVisibleRect; }
    TColor BackgroundColor() const { return FBackgroundColor; }
    bool DarkBackground() const { return FDarkBackground; }
    bool UnknownGlyphs() const { return FUnknownGlyphs; }
    cairo_filter_t ImageFilter() const;

    // Dimming: by the search when interactive and a search is active, else by the focus when asked for.
    bool IsDimmed(const TMindMapElement& element) const;
    TColor Dim(TColor color, bool dimmed) const;

    // A picture in a box: at its own size when that is the box's, else scaled to fit and anchored at the corner.
    void PaintImageSurface(const TPicture& picture, TFloatPoint size, bool dimmed, double x, double y);
    // Text in a rectangle in the font of the style data, aligned and vertically centred; greeked when too small to
    // read.
    void PaintText(std::string_view text, const TFloatRect& rect, bool dimmed, const TPangoMindNodeStyleData& font,
                   TColor color, TStyleAlignment alignment);

    void PaintTopic(TMindMapNode& topic, bool dropTargetPass);

    // Enclosing shapes, drawn before connections and topics.
    void PaintHulls();
    void PaintGroupBorders();
    void PaintSmoothHull(const TMapHull& hull, bool dimmed);
    void PaintCloudHull(const TMapHull& hull, bool dimmed);
    void PaintSimpleHull(const TMapHull& hull, bool dimmed);

    // Topic decorations.
    void PaintCheckBox(TMindMapNode& topic, bool dimmed);
    void PaintProgress(TMindMapNode& topic, bool dimmed);
    void PaintAutoNumberInside(TMindMapNode& topic, bool dimmed);
    void PaintAutoNumberBelow(TMindMapNode& topic, bool dimmed, double strokeWidth);
    void PaintLinkIcon(TMindMapNode& topic, bool dimmed);
    void PaintVoiceMemo(TMindMapNode& topic, bool dimmed);
    void PaintDateLine(TMindMapNode& topic, bool dimmed);
    void PaintCollapseIndicator(TMindMapNode& topic, bool dimmed);
    void PaintLayoutBadge(TMindMapNode& topic);
    // The frame and grid of a matrix region, drawn just before its head's outline.
    void PaintMatrixFrame(TMindMapNode& topic);

    // Text and image elements of a topic or relation.
    void PaintElementsOf(TCompositeElement& element);
    void PaintTextElement(TMindMapText& text);
    bool PaintCallout(TMindMapText& text, TColor fill, bool dimmed);
    void PaintImageElement(TMindMapImage& image);
    void PaintRelation(TMindMapRelation& relation);
    void PaintConnectionsOf(TMindMapNode& topic);
    void PaintHiddenMarker(const TMindMapNode& topic, bool dimmed);
    void PaintTopDownBus(TMindMapNode& topic);
    void PaintArrowHead(TFloatPoint point, TFloatPoint direction, TArrowStyle style, double scale, TColor color);

private:
    void PaintTopicImage(TMindMapNode& topic, bool dimmed);
    // A picture clipped by a clip shape over rect, scaled about the rectangle's corner less the clip offset.
    void PaintClippedImage(const TPicture& picture, int clip, const TFloatRect& rect, TFloatPoint clipOffset,
                           double scale, bool dimmed);
    void PaintTopicIcon(TMindMapNode& topic, bool dimmed);
    void PaintTopicText(TMindMapNode& topic, bool dimmed);
    // The check-box colour and whether the plain grey variant is drawn.
    TColor CheckboxColor(const TMindMapNode& topic, bool& plain) const;

    cairo_t* FContext; // not owned
    TPaintMatrix FMatrix;
    TMindMapPaintSelection* FSelection; // not owned
    TPangoLayoutRef FLayout;
    TLinePaintParams FLine{*this};
    TFloatRect FVisibleRect;
    double FScale = 1;
    std::uint16_t FFlags = 0;
    TColor FBackgroundColor = clWhite;
    bool FDarkBackground = false;
    bool FCulling = false;
    bool FSearchDim = false;
    bool FFocusDim = false;
    bool FFitText = false;
    bool FUnknownGlyphs = false;
};

// Where an image is clipped by its clip shape (1 circle, 2 ellipse, 3 square, 4 rectangle, 5 half-round).
void AppendImageClip(cairo_t* cr, int clip, const TFloatRect& rect);
