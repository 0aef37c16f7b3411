#pragma once

// Background patterns: the registry of the built-in patterns (small seamless pictures tiled over the map
// background, each with its known mean colour), custom patterns made from a document's pictures, and how a
// pattern is drawn over an area: large pictures cover it centred and stretched, everything else is tiled from
// the area's top-left corner.

#include "render/CairoHandles.h"
#include "styling/Colors.h"
#include "styling/MindMapStyling.h"

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Key of the none pattern; built-in keys are this prefix and the pattern's name (".system.wood").
constexpr std::string_view kSystemPatternPrefix = ".system.";
// Pictures at least this large on both sides are drawn as one cover instead of tiles.
constexpr int kPatternCoverMinSide = 1024;

// A background pattern of the registry, or a custom one.
class TPatternInfo : public TBackgroundPattern {
public:
    TPatternInfo(std::string key, TColor averageColor, std::string resourceName);

    const std::string& Key() const { return FKey; }
    TColor AverageColor() const override { return FAverageColor; }
    // The PNG resource of a built-in pattern ("pattern_wood"); empty for the others.
    const std::string& ResourceName() const { return FResourceName; }
    // The 24-bit picture once it exists; built-in patterns make theirs on first use (GetBitmap).
    const TPicture& Bitmap() const { return FBitmap; }
    bool IsNone() const { return FKey == kSystemPatternPrefix; }
    virtual bool IsCustom() const { return false; }

protected:
    void SetBitmap(TPicture bitmap) { FBitmap = std::move(bitmap); }

private:
    friend TPicture GetBitmap(TPatternInfo& pattern);

    std::string FKey;
    TColor FAverageColor;
    std::string FResourceName;
    TPicture FBitmap;
};

// A pattern made from a picture of a document ("#" and the picture's key); its mean colour is computed at once.
class TCustomPattern : public TPatternInfo {
public:
    TCustomPattern(std::string key, TPicture bitmap);
    bool IsCustom() const override { return true; }
};

// The patterns in their fixed order: the none pattern, then the built-in patterns in the order of their list.
class TPatternManager {
public:
    // The built-in patterns of the program's "PATTERNS_LIST" resource.
    TPatternManager();
    // The patterns of a list text in the same form, for a registry made from other lists.
    explicit TPatternManager(std::string_view listText);
    TPatternManager(const TPatternManager&) = delete;
    TPatternManager& operator=(const TPatternManager&) = delete;

    int Count() const { return static_cast<int>(FPatterns.size()); }
    TPatternInfo& At(int index) const { return *FPatterns.at(static_cast<std::size_t>(index)); }
    TPatternInfo& NonePattern() const { return *FPatterns.front(); }
    // Null for a key that is empty or only blanks, else the first pattern whose key equals it (ASCII case
    // folded), or null.
    TPatternInfo* Find(std::string_view key) const;

private:
    void AddList(std::string_view listText);

    std::vector<std::unique_ptr<TPatternInfo>> FPatterns; // owned, the none pattern first
};

// The process-wide registry of the built-in patterns, made on first use.
TPatternManager& Patterns();
TPatternInfo* FindPattern(std::string_view key);

// The pattern's picture. A built-in pattern without one decodes its PNG resource into a 24-bit picture of the
// same size and keeps it; raises ECVException when the resource is missing or no usable PNG. The none pattern
// has no picture: it answers an empty one.
TPicture GetBitmap(TPatternInfo& pattern);

// The mean red, green and blue of a picture, each rounded half to even; white for an empty picture.
TColor AverageColorOf(const TPicture& picture);

// A custom pattern as the map style owns it.
TOwnedPattern MakeOwnedPattern(std::unique_ptr<TCustomPattern> pattern);

// Where a cover picture goes in an area of width x height: scaled by max(height / picture height, width /
// picture width), centred, cut at the edges. Integer edges, rounded half to even.
struct TPatternCoverRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};
TPatternCoverRect PatternCoverRect(int pictureWidth, int pictureHeight, int width, int height);

// Draws a pattern whose picture is at least kPatternCoverMinSide on both sides over the area (0, 0, width,
// height) of the context's user space, stretched to cover it; answers false and draws nothing for smaller (and
// missing) pictures, which are tiled instead. Raises what GetBitmap raises.
bool DrawPatternCover(TPatternInfo& pattern, cairo_t* cr, int width, int height);
// Fills the area (0, 0, width, height) with the picture repeated, a tile's top-left corner at (0, 0).
void FillPatternTiles(cairo_t* cr, const TPicture& picture, int width, int height);
// The background of a view or a picture: the cover when DrawPatternCover draws one, else the tiles; a pattern
// without a picture (the none pattern) fills the area with its mean colour. Raises what GetBitmap raises.
void PaintPatternBackground(cairo_t* cr, TBackgroundPattern& pattern, int width, int height);
