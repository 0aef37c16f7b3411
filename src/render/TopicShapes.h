#pragma once

// Topic shapes: how a topic's bounds follow from its content for each border style, where the outline lies inside
// the bounds, how it is filled and stroked, where the note indicator sits, and the geometric hit test. Everything
// works on small plain records so that the layout, the painter and the hit tester fill them from the model.

#include "render/Float2D.h"
#include "styling/Colors.h"
#include "styling/MindMapStyling.h"

#include <functional>
#include <string_view>

typedef struct _cairo cairo_t;

// Radius of the sbsHalfRound ends for a topic whose LineBox is th high: (th x 1.41 + 16) / 2.
double HalfRoundRadius(double lineBoxHeight);

// Distance from the bounds to the middle of the border line: 0 for sbsNone, else 5 - borderWidth / 2. Relation
// paths end on it.
double BorderInset(TNodeBorderStyle style, double borderWidth);

struct TTopicSizeInput {
    TFloatPoint ContentSize;  // (w, h): text, image, row and date line as stacked by the topic's layout
    double LineBoxHeight = 0; // th: one line of the topic's font
    TNodeBorderStyle BorderStyle = sbsRoundRect;
    bool ImageOnly = false; // an embedded image without text and without row decorations
    double MinWidth = 0;    // the style's minimum sizes; 1 or less means none
    double MinHeight = 0;
};

struct TTopicSize {
    TFloatPoint Size;      // (W, H), the topic's bounds
    double TextInset = 0;  // (W - w) / 2, taken before the minimum sizes apply
    double ArrowDepth = 0; // a quarter of the height for sbsRightArrow, sbsLeftArrow and sbsParallelogram, else 0
};

// Negative or non-finite content sizes, line heights and minimum sizes count as 0.
TTopicSize TopicSizeFromContent(const TTopicSizeInput& input);

// One topic as the shape step sees it; the painter fills it from the topic, its resolved style and its layout.
struct TTopicShape {
    TFloatRect Bounds;
    TNodeBorderStyle BorderStyle = sbsRoundRect;
    double BorderWidth = 1; // the style's width when a style sets one, else that of the text style data
    TStrokeStyle StrokeStyle = stsSolid;
    double HalfRoundRadius = 0;
    double ArrowDepth = 0;
    TColor FillColor = clNone;   // the style's fill, or the palette fill where the style leaves clDefault
    bool FillOverridden = false; // a style in the topic's chain sets the fill colour
    TColor StrokeColor = clNone; // the style's stroke colour, or the palette stroke
    TColor HullFill = clNone;    // fill given by a branch hull or group border around the topic; clNone: none
    bool Visible = true;         // false: a hidden topic drawn only as the mark of its selection
    bool Selected = false;
    bool Dimmed = false;    // outside the search matches or the focus
    bool BlankText = false; // the text is empty or holds only blanks
    bool HasEmbeddedImage = false;
    bool ImageOnly = false; // an embedded image without text and without row decorations
    bool HasDate = false;
    bool ShowsNote = false;         // the note holds a character above a blank (NoteShowsIndicator)
    bool NoteMatchesSearch = false; // a search is active and matches the note: the indicator is larger
};

// What the painter knows for the whole paint call.
struct TTopicPaintState {
    bool Interactive = false;    // selection marks and drop-target highlights are drawn
    bool MultiSelection = false; // more than one topic is selected
    bool DropTargetPass = false; // painting only the highlight of the current drop target
    bool HideDimmed = false;     // dimmed topics are left out entirely
    bool Culling = false;        // topics outside VisibleRect are not drawn
    TFloatRect VisibleRect;
    TColor BackgroundColor = clWhite;
    bool DarkBackground = false;        // IsDarkBackground(BackgroundColor)
    bool NoteIndicatorAutomatic = true; // the indicator takes the topic's colours
    TColor NoteIndicatorColor = clNone; // otherwise this fill, stroked with its darker variant
};

struct TTopicStroke {
    double Width = 0;   // c, the outline's line width
    bool Boxed = false; // a borderless topic that still gets a rounded box (selected, or without visible content)
};

TTopicStroke TopicStroke(const TTopicShape& shape, const TTopicPaintState& state);

// The bounds deflated so that a line of width c lies inside them: by min(W / 2, d) and min(H / 2, d) with
// d = c / 2 for sbsNone and 5 - c / 2 otherwise. The drop-target highlight instead grows the bounds by 5.
TFloatRect TopicOutlineRect(const TTopicShape& shape, double strokeWidth, bool dropTargetPass);

// Appends the outline of the border style in rect (from TopicOutlineRect).
void AppendTopicOutline(cairo_t* cr, const TTopicShape& shape, const TFloatRect& rect, bool boxed);

struct TTopicFill {
    bool Transparent = true;
    TColor Color = clNone; // dimmed already where the rule asks for it
};

// A topic's own fill when it has one worth drawing; else, unless it shows nothing but an image, the fill of the
// hull or group around it or the background, so that connections underneath stay hidden.
TTopicFill TopicFill(const TTopicShape& shape, const TTopicPaintState& state);

// Steps the painter takes outside this module: the matrix frame before the topic's outline (layout mode matrix),
// and the auto-number box below it, which needs the outline's line width. The frame is asked for before culling,
// since it reaches beyond the topic; neither is asked for when a dimmed topic is hidden, and the number box only
// for a visible topic that was painted.
struct TTopicShapeHooks {
    std::function<void()> PaintMatrixFrame;
    std::function<void(double strokeWidth)> PaintNumberBelow;
};

// Draws the topic's outline, its fill and its note indicator. Answers false when the topic is left out (dimmed
// while dimmed topics are hidden, culled, or bounds that are not finite); the painter then draws none of its
// contents. A stroke colour of clNone or clDefault draws no line. Leaves the path empty, no dash, butt caps and
// miter joins.
bool PaintTopicShape(cairo_t* cr, const TTopicShape& shape, const TTopicPaintState& state,
                     const TTopicShapeHooks& hooks = {});

// True when the note holds a character above a blank.
bool NoteShowsIndicator(std::string_view note);

// Centre of the note indicator, on the top edge of the bounds deflated by the border inset.
TFloatPoint NoteIndicatorCentre(const TTopicShape& shape);

// A circle of radius 4 (7 when the note matches the search) around NoteIndicatorCentre.
void PaintNoteIndicator(cairo_t* cr, const TTopicShape& shape, const TTopicPaintState& state);

// Hit test of a visible topic: inside the bounds, edges included; ellipses and circles also inside the inscribed
// ellipse, diamonds inside the polygon through the edge midpoints. A point in the auto-number box below the topic
// (numberBox, when the topic has one) hits as well.
bool TopicHitTest(const TFloatRect& bounds, TNodeBorderStyle style, const TFloatPoint& p,
                  const TFloatRect* numberBox = nullptr);

// True when the background's luminance / 240 is below 0.35.
bool IsDarkBackground(TColor background);

// The colour of a dimmed element: nearly grey, and pale on a light background or dark on a dark one. The
// sentinels clNone and clDefault are answered unchanged.
TColor DimColor(TColor color, bool darkBackground);
