#pragma once

// Handles for the GObject, pango and cairo objects that text measuring and drawing keep.

#include <cairo.h>
#include <glib-object.h>
#include <pango/pango.h>

#include <memory>
#include <utility>

// A reference to a GObject (pango contexts, layouts, font maps); copies share the object.
template <class T> class TGObjectRef {
public:
    TGObjectRef() = default;
    // Takes over a reference the caller owns (as the create and new functions return).
    static TGObjectRef Adopt(T* object) { return TGObjectRef(object); }
    // Adds a reference of its own to an object somebody else owns.
    static TGObjectRef Share(T* object) {
        if (object)
            g_object_ref(object);
        return TGObjectRef(object);
    }
    TGObjectRef(const TGObjectRef& other) : FObject(other.FObject) {
        if (FObject)
            g_object_ref(FObject);
    }
    TGObjectRef(TGObjectRef&& other) noexcept : FObject(std::exchange(other.FObject, nullptr)) {}
    TGObjectRef& operator=(TGObjectRef other) noexcept {
        std::swap(FObject, other.FObject);
        return *this;
    }
    ~TGObjectRef() {
        if (FObject)
            g_object_unref(FObject);
    }

    explicit operator bool() const { return FObject != nullptr; }
    T* Get() const { return FObject; }

private:
    explicit TGObjectRef(T* object) : FObject(object) {}

    T* FObject = nullptr; // one reference owned
};

using TPangoContextRef = TGObjectRef<PangoContext>;
using TPangoLayoutRef = TGObjectRef<PangoLayout>;

struct TPangoFontDescriptionFree {
    void operator()(PangoFontDescription* description) const { pango_font_description_free(description); }
};
using TPangoFontDescriptionPtr = std::unique_ptr<PangoFontDescription, TPangoFontDescriptionFree>;

struct TCairoDestroy {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using TCairoPtr = std::unique_ptr<cairo_t, TCairoDestroy>;

struct TCairoFontOptionsDestroy {
    void operator()(cairo_font_options_t* options) const { cairo_font_options_destroy(options); }
};
using TCairoFontOptionsPtr = std::unique_ptr<cairo_font_options_t, TCairoFontOptionsDestroy>;
