#pragma once

// Outline helpers shared by topic shapes and group borders, and the colour and dash settings that go with them.
// Each path helper appends one closed sub-path to the context's path; what the path holds already stays. For a
// rectangle r = (x, y, w, h): right = x + w, bottom = y + h.

#include "render/Float2D.h"
#include "styling/Colors.h"
#include "styling/MindMapStyling.h"

typedef struct _cairo cairo_t;

// A rectangle with quarter-circle corners, starting at (x, y + radius). The radius is not clamped to the size.
void RoundRectPath(cairo_t* cr, const TFloatRect& r, double radius);
// As RoundRectPath with a sharp top-left corner, starting at (x, y).
void DropRoundRectPath(cairo_t* cr, const TFloatRect& r, double radius);
// The ellipse inscribed in r. A rectangle without width or height gives the flat ellipse as a closed polygon
// through its four extreme points, so that the context never sees a singular matrix.
void EllipsePath(cairo_t* cr, const TFloatRect& r);
// The polygon through the midpoints of r's edges, starting at the left one.
void DiamondPath(cairo_t* cr, const TFloatRect& r);
// An arrow pointing right: the point is depth wide, the notch at the left depth deep.
void RightArrowPath(cairo_t* cr, const TFloatRect& r, double depth);
// The mirror image of RightArrowPath.
void LeftArrowPath(cairo_t* cr, const TFloatRect& r, double depth);
// The top edge shifted right by depth, the bottom edge left by depth.
void ParallelogramPath(cairo_t* cr, const TFloatRect& r, double depth);

// Opaque source colour; red is the low byte.
void SetSourceColor(cairo_t* cr, TColor color);
void SetSourceColor(cairo_t* cr, TColor color, double alpha);

// Border dash of a stroke style for the line width c: with z = c, 2c or 4c for short, medium and long dashes the
// pattern is [z, c + z / 2], drawn with round caps. Solid lines, and lines without a positive width (whose dash
// pattern would be all zeros and put the context into an error state), get no dash and butt caps.
void SetBorderDash(cairo_t* cr, TStrokeStyle style, double lineWidth);
// No dash.
void ClearDash(cairo_t* cr);
