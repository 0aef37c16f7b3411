#pragma once

#include <cstdint>

// A colour is 0x00BBGGRR, red in the low byte. Two sentinels are never painted.
using TColor = std::uint32_t;

constexpr TColor clNone = 0x1FFFFFFF;    // no colour: the fill or stroke is not drawn
constexpr TColor clDefault = 0x20000000; // not set: the colour scheme decides
constexpr TColor clBlack = 0x00000000;
constexpr TColor clWhite = 0x00FFFFFF;

constexpr TColor RGBColor(unsigned r, unsigned g, unsigned b) {
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr unsigned RedOf(TColor c) {
    return c & 0xFF;
}
constexpr unsigned GreenOf(TColor c) {
    return (c >> 8) & 0xFF;
}
constexpr unsigned BlueOf(TColor c) {
    return (c >> 16) & 0xFF;
}
constexpr bool IsPaintable(TColor c) {
    return c != clNone && c != clDefault;
}
