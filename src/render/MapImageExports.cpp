#include "render/MapImageExports.h"

#include "model/CVMindMaps.h"
#include "platform/CVStrings.h"
#include "platform/ResourceLimits.h"
#include "render/CvMindMapPainter.h"
#include "render/OXCairoUtils.h"
#include "styling/Patterns.h"

#include <algorithm>
#include <cmath>
#include <memory>

TFloatRect ExportArea(const TFloatRect& bounds) {
    const double d = std::min(bounds.Width / 2, -30.0);
    return {bounds.Left + d, bounds.Top + d, bounds.Width - 2 * d, bounds.Height - 2 * d};
}

TImageSize ExportImageSize(const TFloatRect& area, double zoom) {
    const auto side = [zoom](double length) -> int {
        const double pixels = std::nearbyint(length * zoom); // halves to even
        if (!std::isfinite(pixels) || pixels > kMaxImageSide)
            return kMaxImageSide + 1;
        return std::max(1, static_cast<int>(pixels));
    };
    return {side(area.Width), side(area.Height)};
}

void PaintExportBackground(cairo_surface_t* surface, const TMindMapStyleBase& style, int width, int height) {
    const std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(surface), &cairo_destroy);
    if (TBackgroundPattern* pattern = style.HasPatternBackground() ? style.BackgroundPattern() : nullptr) {
        // tiles start at the picture's top-left corner, not at the map's origin
        PaintPatternBackground(cr.get(), *pattern, width, height);
        return;
    }
    // the plain colour, not a pattern's average
    SetSourceColor(cr.get(), style.BackgroundColor());
    cairo_paint(cr.get());
}

TPicture RenderMapBitmap(TMindMap& map, bool branchesOnly, double zoom) {
    if (!(zoom > 0) || !std::isfinite(zoom))
        zoom = 1;
    map.Refresh();
    TMindMapPaintSelection selection(map);
    if (branchesOnly) {
        if (!selection.PaintSelectedBranches())
            throw EOXToolsException("No topics selected");
    } else {
        selection.PaintAll();
    }
    const TFloatRect area = ExportArea(selection.Bounds());
    const TImageSize size = ExportImageSize(area, zoom);
    if (size.Width > kMaxImageSide || size.Height > kMaxImageSide ||
        static_cast<double>(size.Width) * size.Height > kMaxImagePixels)
        throw EImageTooLarge(Format("The image would be %.0f x %.0f pixels, larger than %d pixels a side or %.0f "
                                    "megapixels",
                                    area.Width * zoom, area.Height * zoom, kMaxImageSide, kMaxImagePixels / 1e6));
    TPicture picture = TPicture::Adopt(cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.Width, size.Height));
    if (cairo_surface_status(picture.Surface()) != CAIRO_STATUS_SUCCESS)
        throw EImageTooLarge(Format("The image of %d x %d pixels could not be made", size.Width, size.Height));
    PaintExportBackground(picture.Surface(), map.MapStyle(), size.Width, size.Height);
    TPaintMatrix matrix;
    matrix.XX = zoom;
    matrix.YY = zoom;
    matrix.X0 = -area.Left * zoom;
    matrix.Y0 = -area.Top * zoom;
    TMindMapPainter::Paint(picture.Surface(), matrix, selection, pfLayoutReady, {}, true);
    return picture;
}
