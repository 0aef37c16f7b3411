#pragma once

// Pictures of a whole map or of its selected branches, one map unit per pixel, on the map's background: what
// "Copy as Image" puts on the clipboard and what the command line writes as PNG.

#include "platform/CVStrings.h"
#include "platform/ResourceLimits.h"
#include "render/CairoHandles.h"
#include "render/Float2D.h"

class TMindMap;
class TMindMapStyleBase;

class EOXToolsException : public ECVException {
public:
    using ECVException::ECVException;
};

// Raised before any pixel is allocated when the picture would be larger than an image surface can be.
class EImageTooLarge : public ECVException {
public:
    using ECVException::ECVException;
};

// The area a picture covers: the content bounds grown by 30 map units on every side.
TFloatRect ExportArea(const TFloatRect& bounds);

// The picture's pixel size at the zoom (1 = one pixel per map unit): each side rounded, halves to even.
struct TImageSize {
    int Width = 0;
    int Height = 0;
};
TImageSize ExportImageSize(const TFloatRect& area, double zoom);

// The background of a picture of width x height pixels: the style's pattern when it shows one (a large picture
// covering the area, else tiles from the top-left corner), otherwise its background colour.
void PaintExportBackground(cairo_surface_t* surface, const TMindMapStyleBase& style, int width, int height);

// Renders the map, or only the selected branches, into an RGB24 image surface. Raises EOXToolsException
// "No topics selected" when branches only are asked for and no topic is selected, and EImageTooLarge when the
// picture would exceed kMaxImageSide or kMaxImagePixels.
TPicture RenderMapBitmap(TMindMap& map, bool branchesOnly, double zoom = 1);
