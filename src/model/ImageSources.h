#pragma once

// Where a picture came from. Only kept: read with the picture and written back unchanged.

#include <cstdint>
#include <string>

enum TImageSourceKind : std::uint8_t { iskCache, iskDrawing };

struct TImageSource {
    TImageSourceKind Kind = iskCache;
    std::string Source; // cache key or drawing data
    std::string Scribble;
    int Width = 0; // pixel size; 0 when not known
    int Height = 0;

    friend bool operator==(const TImageSource&, const TImageSource&) = default;
};
