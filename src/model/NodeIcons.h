#pragma once

// Topic decorations that come from pictures or addresses: icons, the embedded image, the link and the hull.

#include "model/ImageSources.h"
#include "render/CairoHandles.h"
#include "render/Float2D.h"
#include "styling/Colors.h"

#include <cstdint>
#include <memory>
#include <string>

class TMindMap;

// How a picture is cut: circle and square show the middle square of the picture.
enum TClipShape : std::uint8_t { clsNone, clsCircle, clsEllipse, clsSquare, clsRectangle, clsHalfRound };

class TNodeIcon {
public:
    TNodeIcon() = default;
    TNodeIcon(const TNodeIcon&) = delete;
    TNodeIcon& operator=(const TNodeIcon&) = delete;
    virtual ~TNodeIcon() = default;

    const std::string& Name() const { return FName; }
    // 0 when the icon shows at its natural size.
    virtual double Scale() const { return 0; }
    virtual bool HasCustomScale() const { return false; }
    virtual TPicture GetSurface() = 0;
    virtual TFloatPoint GetSize() = 0;
    virtual void SetScale(double) {}
    // Looks the picture up again, after the stores changed.
    virtual void Reload() {}

protected:
    std::string FName;
};

// An icon whose picture is looked up once by name; a name nothing knows shows the "missing" picture.
class TLookupIcon : public TNodeIcon {
public:
    TPicture GetSurface() override;
    void Reload() override { FLoaded = false; }

protected:
    explicit TLookupIcon(std::string name) { FName = std::move(name); }
    virtual TPicture FindPicture() const = 0;

private:
    TPicture FPicture;
    bool FLoaded = false;
};

// A built-in icon of the stock icon stores.
class TStockIcon : public TLookupIcon {
public:
    explicit TStockIcon(std::string key) : TLookupIcon(std::move(key)) {}
    TFloatPoint GetSize() override;

protected:
    TPicture FindPicture() const override;
};

// A picture of the program's own resources, for links.
class TLinkIcon : public TLookupIcon {
public:
    explicit TLinkIcon(std::string resourceName) : TLookupIcon(std::move(resourceName)) {}
    TFloatPoint GetSize() override;

protected:
    TPicture FindPicture() const override;
};

// A picture of the document's image store, named "#" followed by its key.
class TCustomIcon : public TNodeIcon {
public:
    TCustomIcon(TMindMap& map, std::string name, TFloatPoint padding = {});

    double Scale() const override { return FScale; }
    bool HasCustomScale() const override { return FScale > 0.01; }
    TPicture GetSurface() override;
    TFloatPoint GetSize() override;
    void SetScale(double scale) override;
    void Reload() override;
    virtual double EffectiveScale() const;
    virtual std::string ImageKey() const;
    void ResetScale() { SetScale(0); }

    TClipShape Clip() const { return FClip; }
    void SetClip(TClipShape clip);
    TFloatPoint ClipOffset() { return Measure(), FClipOffset; }

protected:
    // The largest side in map units the picture may take.
    virtual double SizeLimit() const { return 96; }
    void Invalidate() { FMeasured = false; }

    double FScale = 0;

private:
    void Measure();

    TMindMap* FMap; // not owned
    TPicture FPicture;
    TFloatPoint FPadding;
    TFloatPoint FSize;
    TFloatPoint FClipOffset;
    TClipShape FClip = clsNone;
    bool FLoaded = false;
    bool FMeasured = false;
};

// A picture shown inside the topic.
class TEmbeddedImage : public TCustomIcon {
public:
    static constexpr double kDefaultScale = 1.875;

    TEmbeddedImage(TMindMap& map, std::string key);

    void SetScale(double scale) override;
    double EffectiveScale() const override { return FScale; }
    std::string ImageKey() const override { return Name(); }
    bool HasCustomScale() const override { return true; }

    std::string Link;
    std::unique_ptr<TImageSource> Source; // owned, null when unknown

protected:
    double SizeLimit() const override { return 2000; }
};

enum TLinkKind : std::uint8_t {
    lkDiagram,
    lkCloudMap,
    lkUrl,
    lkCloudDocument,
    lkPhoneContact,
    lkEmailContact,
};

// The link of a topic. Setting a link of one kind clears what the kind does not use.
class TDiagramLink {
public:
    explicit TDiagramLink(TMindMap& map) : FMap(&map) {}
    TDiagramLink(const TDiagramLink&) = delete;
    TDiagramLink& operator=(const TDiagramLink&) = delete;

    TLinkKind Kind() const { return FKind; }
    const std::string& Target() const { return FTarget; }
    const std::string& Native() const { return FNative; }
    const std::string& Element() const { return FElement; }
    const std::string& Bookmark() const { return FBookmark; }
    const std::string& Thumbnail() const { return FThumbnail; }
    bool Valid() const { return FValid; }
    void SetValid(bool value) { FValid = value; }

    void SetDiagramReference(const std::string& target, const std::string& element);
    void SetCloudMapReference(const std::string& target, const std::string& element, const std::string& native,
                              const std::string& bookmark);
    void SetUrl(const std::string& target);
    void SetCloudDocumentReference(const std::string& target, const std::string& native, const std::string& bookmark);
    void SetPhoneContact(const std::string& number, const std::string& thumbnail);
    void SetEmailContact(const std::string& address, const std::string& thumbnail);

    // The icon shown for the link, made on first use.
    TNodeIcon& LinkIcon();

private:
    void Set(TLinkKind kind, std::string target);

    TMindMap* FMap;                       // not owned
    std::unique_ptr<TNodeIcon> FLinkIcon; // owned, made on demand
    std::string FTarget;
    std::string FNative;
    std::string FElement;
    std::string FBookmark;
    std::string FThumbnail;
    TLinkKind FKind = lkDiagram;
    bool FValid = false;
};

// A hull drawn around the topic's branch.
struct TNodeHullStyle {
    bool HasFill = false;
    TColor FillColor = clDefault;
};

// Cloud references keep "/" separators and are rooted unless they name a drive or a share.
std::string NormalizeCloudPath(const std::string& target);
