#include "styling/Patterns.h"

#include "platform/CVStrings.h"
#include "render/DiagramPngs.h"
#include "render/OXCairoUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1));
    }
    return lines;
}

// One list line ".system.wood=(244,210,157)"; false for lines that name no pattern.
bool ParsePatternLine(std::string_view line, std::string& key, TColor& average) {
    if (Trim(line).empty() || !line.starts_with(kSystemPatternPrefix))
        return false;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return false;
    key = std::string(line.substr(0, equals));
    std::string value(line.substr(equals + 1));
    std::replace(value.begin(), value.end(), '(', ' ');
    std::replace(value.begin(), value.end(), ')', ' ');
    std::vector<std::string> tokens;
    const std::string trimmed = Trim(value);
    std::string_view rest = trimmed;
    while (true) {
        const std::size_t comma = rest.find(',');
        tokens.emplace_back(rest.substr(0, comma));
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    if (tokens.size() != 3)
        return false;
    const auto channel = [](const std::string& token) {
        return static_cast<std::uint8_t>(std::clamp(ParseInt(Trim(token)).value_or(0), 0, 255));
    };
    average = RGBColor(channel(tokens[0]), channel(tokens[1]), channel(tokens[2]));
    return true;
}

} // namespace

TPatternInfo::TPatternInfo(std::string key, TColor averageColor, std::string resourceName)
    : FKey(std::move(key)), FAverageColor(averageColor), FResourceName(std::move(resourceName)) {}

TCustomPattern::TCustomPattern(std::string key, TPicture bitmap)
    : TPatternInfo(std::move(key), AverageColorOf(bitmap), std::string()) {
    // the picture is the pattern's from the start: GetBitmap never loads a custom pattern
    SetBitmap(std::move(bitmap));
}

TPatternManager::TPatternManager() : TPatternManager(std::string_view()) {
    AddList(ResourceBytes("PATTERNS_LIST"));
}

TPatternManager::TPatternManager(std::string_view listText) {
    FPatterns.push_back(std::make_unique<TPatternInfo>(std::string(kSystemPatternPrefix), clWhite, std::string()));
    AddList(listText);
}

void TPatternManager::AddList(std::string_view listText) {
    for (std::string_view line : SplitLines(listText)) {
        std::string key;
        TColor average = clWhite;
        if (!ParsePatternLine(line, key, average))
            continue;
        std::string name = Trim(std::string_view(key).substr(kSystemPatternPrefix.size()));
        FPatterns.push_back(std::make_unique<TPatternInfo>(std::move(key), average, "pattern_" + name));
    }
}

TPatternInfo* TPatternManager::Find(std::string_view key) const {
    if (Trim(key).empty())
        return nullptr;
    for (const auto& pattern : FPatterns)
        if (SameText(pattern->Key(), key))
            return pattern.get();
    return nullptr;
}

TPatternManager& Patterns() {
    static TPatternManager patterns;
    return patterns;
}

TPatternInfo* FindPattern(std::string_view key) {
    return Patterns().Find(key);
}

TPicture GetBitmap(TPatternInfo& pattern) {
    if (pattern.FBitmap || pattern.FResourceName.empty())
        return pattern.FBitmap;
    const TPicture png = DecodePngPicture(ResourceBytes(pattern.FResourceName));
    if (!png)
        throw ECVException(Format("The picture of the pattern %s could not be loaded", pattern.FKey.c_str()));
    TPicture bitmap = NewPicture(png.Width(), png.Height(), CAIRO_FORMAT_RGB24);
    if (!bitmap)
        throw ECVException(Format("The picture of the pattern %s could not be made", pattern.FKey.c_str()));
    cairo_t* cr = cairo_create(bitmap.Surface());
    cairo_set_source_surface(cr, png.Surface(), 0, 0);
    cairo_paint(cr);
    const cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (status != CAIRO_STATUS_SUCCESS)
        throw ECVException(Format("The picture of the pattern %s could not be made", pattern.FKey.c_str()));
    cairo_surface_flush(bitmap.Surface());
    pattern.FBitmap = std::move(bitmap);
    return pattern.FBitmap;
}

TColor AverageColorOf(const TPicture& picture) {
    const int width = picture.Width();
    const int height = picture.Height();
    if (!picture || width <= 0 || height <= 0)
        return clWhite;
    cairo_surface_t* surface = picture.Surface();
    cairo_surface_flush(surface);
    const cairo_format_t format = cairo_image_surface_get_format(surface);
    if (format != CAIRO_FORMAT_RGB24 && format != CAIRO_FORMAT_ARGB32) {
        // other formats are drawn into a 24-bit copy first
        TPicture copy = NewPicture(width, height, CAIRO_FORMAT_RGB24);
        if (!copy)
            return clWhite;
        cairo_t* cr = cairo_create(copy.Surface());
        cairo_set_source_surface(cr, surface, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        return AverageColorOf(copy);
    }
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    std::uint64_t red = 0, green = 0, blue = 0;
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            // premultiplied pixels of a 32-bit picture count as drawn on black, as a 24-bit copy would show them
            const std::uint32_t pixel = row[x];
            red += (pixel >> 16) & 0xFF;
            green += (pixel >> 8) & 0xFF;
            blue += pixel & 0xFF;
        }
    }
    const double count = static_cast<double>(width) * height;
    const auto mean = [count](std::uint64_t sum) {
        return static_cast<std::uint8_t>(RoundHalfEven(static_cast<double>(sum) / count));
    };
    return RGBColor(mean(red), mean(green), mean(blue));
}

TOwnedPattern MakeOwnedPattern(std::unique_ptr<TCustomPattern> pattern) {
    return TOwnedPattern(pattern.release(), [](TBackgroundPattern* owned) { delete owned; });
}

TPatternCoverRect PatternCoverRect(int pictureWidth, int pictureHeight, int width, int height) {
    const double w = width;
    const double h = height;
    const double s = std::max(h / pictureHeight, w / pictureWidth);
    TPatternCoverRect rect;
    rect.Left = static_cast<int>(-RoundHalfEven((pictureWidth * s - w) / 2));
    rect.Right = static_cast<int>(RoundHalfEven(rect.Left + pictureWidth * s));
    rect.Top = static_cast<int>(-RoundHalfEven((pictureHeight * s - h) / 2));
    rect.Bottom = static_cast<int>(RoundHalfEven(rect.Top + pictureHeight * s));
    return rect;
}

bool DrawPatternCover(TPatternInfo& pattern, cairo_t* cr, int width, int height) {
    const TPicture bitmap = GetBitmap(pattern);
    if (!bitmap || bitmap.Width() < kPatternCoverMinSide || bitmap.Height() < kPatternCoverMinSide || width <= 0 ||
        height <= 0)
        return false;
    const TPatternCoverRect rect = PatternCoverRect(bitmap.Width(), bitmap.Height(), width, height);
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_clip(cr);
    cairo_translate(cr, rect.Left, rect.Top);
    cairo_scale(cr, static_cast<double>(rect.Right - rect.Left) / bitmap.Width(),
                static_cast<double>(rect.Bottom - rect.Top) / bitmap.Height());
    cairo_set_source_surface(cr, bitmap.Surface(), 0, 0);
    // the edges of the stretched picture take their own pixels, not a transparent border
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_restore(cr);
    return true;
}

void FillPatternTiles(cairo_t* cr, const TPicture& picture, int width, int height) {
    if (!picture || width <= 0 || height <= 0)
        return;
    cairo_save(cr);
    cairo_pattern_t* tiles = cairo_pattern_create_for_surface(picture.Surface());
    cairo_pattern_set_extend(tiles, CAIRO_EXTEND_REPEAT);
    // whole pixels at one pixel per unit: no smoothing between the tiles' seams
    cairo_pattern_set_filter(tiles, CAIRO_FILTER_NEAREST);
    cairo_set_source(cr, tiles);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_fill(cr);
    cairo_pattern_destroy(tiles);
    cairo_restore(cr);
}

void PaintPatternBackground(cairo_t* cr, TBackgroundPattern& pattern, int width, int height) {
    auto* info = dynamic_cast<TPatternInfo*>(&pattern);
    const TPicture bitmap = info ? GetBitmap(*info) : TPicture();
    if (!bitmap) {
        cairo_save(cr);
        SetSourceColor(cr, pattern.AverageColor());
        cairo_rectangle(cr, 0, 0, width, height);
        cairo_fill(cr);
        cairo_restore(cr);
        return;
    }
    if (!DrawPatternCover(*info, cr, width, height))
        FillPatternTiles(cr, bitmap, width, height);
}
