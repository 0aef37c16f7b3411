#pragma once

// Reference-counted handles for cairo objects.

#include <cairo.h>
#include <utility>

// A decoded picture: a cairo image surface shared by reference counting. Caches, icons, images and the painter
// each hold a reference; the surface lives while any holder keeps one.
class TPicture {
public:
    TPicture() = default;
    // Takes over a reference the caller owns (as cairo's create functions return).
    static TPicture Adopt(cairo_surface_t* surface) { return TPicture(surface); }
    TPicture(const TPicture& other) : FSurface(other.FSurface) {
        if (FSurface)
            cairo_surface_reference(FSurface);
    }
    TPicture(TPicture&& other) noexcept : FSurface(std::exchange(other.FSurface, nullptr)) {}
    TPicture& operator=(TPicture other) noexcept {
        std::swap(FSurface, other.FSurface);
        return *this;
    }
    ~TPicture() {
        if (FSurface)
            cairo_surface_destroy(FSurface);
    }

    explicit operator bool() const { return FSurface != nullptr; }
    cairo_surface_t* Surface() const { return FSurface; }
    int Width() const { return FSurface ? cairo_image_surface_get_width(FSurface) : 0; }
    int Height() const { return FSurface ? cairo_image_surface_get_height(FSurface) : 0; }
    unsigned ReferenceCount() const { return FSurface ? cairo_surface_get_reference_count(FSurface) : 0; }
    friend bool operator==(const TPicture& a, const TPicture& b) { return a.FSurface == b.FSurface; }

private:
    explicit TPicture(cairo_surface_t* surface) : FSurface(surface) {}

    cairo_surface_t* FSurface = nullptr; // one reference owned
};
