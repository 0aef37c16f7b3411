#pragma once

// The user interface's image lists: the design-time lists made by the window side, the lists chosen for the
// screen's resolution, and light copies of the tool and preference pictures for dark themes.

#include "render/DiagramPngs.h"

#include <functional>
#include <memory>
#include <vector>

class TImageSizeObserver;

// The pictures the windows are designed with. The window side fills them before it makes the data module.
struct TDesignImageLists {
    TImageList ToolImages{16, 16};
    TImageList ToolImages24{24, 24};
    TImageList ToolImages32{32, 32};
    TImageList ToolImages48{48, 48};
    TImageList PreferencesImages{32, 32};
    TImageList LargePreferencesImages{48, 48};
    TImageList TreeFolderImages{16, 16};
    TImageList TreeFolderImages24{24, 24};
    TImageList LargeTreeFolderImages{32, 32};
    TImageList LayoutImages{128, 71};
    TImageList UIModeImagesSmall{189, 82};
};

class TCVImagesDM {
public:
    TCVImagesDM(TDesignImageLists lists, int pixelsPerInch, bool darkMode);
    TCVImagesDM(const TCVImagesDM&) = delete;
    TCVImagesDM& operator=(const TCVImagesDM&) = delete;
    ~TCVImagesDM();

    // 0 below 1.4 times 96 dpi, 1 below 1.8 times, else 2.
    int ResolutionTier() const { return FResolutionTier; }
    bool DarkMode() const { return FDarkMode; }
    const TDesignImageLists& Design() const { return FDesign; }

    // The tool pictures of the tier (16, 24 or 32 pixels), and one size up (24, 32 or 48).
    const TImageList& ToolImagesForTier() const;
    const TImageList& LargerToolImages() const;
    // 32 pixels for tiers 0 and 1, 48 for tier 2.
    const TImageList& PreferenceImages() const;
    // The layout pictures at the screen's scale, after an empty first picture.
    const TImageList& ScaledLayoutImages() const { return FScaledLayoutImages; }
    int ToolSpacing() const;

    // Windows whose pictures follow the resolution register a handler; the observer unregisters when it goes.
    std::unique_ptr<TImageSizeObserver> AddSizeObserver(std::function<void()> handler, void* form);
    // Chooses the lists for another screen resolution and tells the observers.
    void ChangeResolution(int pixelsPerInch);

private:
    friend class TImageSizeObserver;
    void MakeScaledLists();

    TDesignImageLists FDesign;
    std::vector<TImageList> FDarkCopies; // tool 16, 24, 32, 48, preferences 32, 48
    TImageList FScaledLayoutImages{128, 71};
    std::vector<TImageSizeObserver*> FObservers; // not owned
    int FPixelsPerInch;
    int FResolutionTier = 0;
    bool FDarkMode;
};

class TImageSizeObserver {
public:
    TImageSizeObserver(TCVImagesDM& images, std::function<void()> handler, void* form);
    TImageSizeObserver(const TImageSizeObserver&) = delete;
    TImageSizeObserver& operator=(const TImageSizeObserver&) = delete;
    ~TImageSizeObserver();

    void* Form() const { return FForm; }

private:
    friend class TCVImagesDM;
    TCVImagesDM* FImages; // not owned; null once the data module is gone
    std::function<void()> FHandler;
    void* FForm; // not owned
};

// A copy of the list whose pictures keep their shape (alpha) in one light colour, RGB(240, 240, 255), except
// the pictures at the kept indices, which are copied unchanged.
TImageList LightCopy(const TImageList& list, const std::vector<int>& keptIndices);
// The resolution tier of a screen resolution.
int ResolutionTierOf(int pixelsPerInch);
