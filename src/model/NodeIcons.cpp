#include "model/NodeIcons.h"

#include "model/CVMindMaps.h"
#include "platform/CVStrings.h"
#include "render/CustomImageStores.h"
#include "render/StockIcns.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kMissingPicture = "missing_32_png";
constexpr double kScaleUnit = 0.5333333333333333; // map units per picture pixel at scale 1 (8/15)

} // namespace

TPicture TLookupIcon::GetSurface() {
    if (!FLoaded) {
        FPicture = FindPicture();
        if (!FPicture)
            FPicture = ResourcePicture(kMissingPicture);
        FLoaded = true;
    }
    return FPicture;
}

TPicture TStockIcon::FindPicture() const {
    return StockIconStores().GetSurface(FName);
}

TFloatPoint TStockIcon::GetSize() {
    const double width = GetSurface().Width();
    const double side = width <= 32 ? width * 5 / 8 : width / 2;
    return {side, side};
}

TPicture TLinkIcon::FindPicture() const {
    try {
        return ResourcePicture(FName);
    } catch (const EResourceNotFound&) {
        return {}; // shown as the missing picture
    }
}

TFloatPoint TLinkIcon::GetSize() {
    const double side = GetSurface().Width() / 2.0;
    return {side, side};
}

TCustomIcon::TCustomIcon(TMindMap& map, std::string name, TFloatPoint padding) : FMap(&map), FPadding(padding) {
    FName = std::move(name);
}

std::string TCustomIcon::ImageKey() const {
    return FName.empty() || FName.front() != '#' ? FName : FName.substr(1);
}

double TCustomIcon::EffectiveScale() const {
    return HasCustomScale() ? FScale / kScaleUnit : 1.171875;
}

TPicture TCustomIcon::GetSurface() {
    if (!FLoaded) {
        FPicture = FMap->ImageStore().GetSurface(ImageKey());
        if (!FPicture)
            FPicture = ResourcePicture(kMissingPicture);
        FLoaded = true;
        FMeasured = false;
    }
    return FPicture;
}

void TCustomIcon::Reload() {
    FLoaded = false;
    FMeasured = false;
}

void TCustomIcon::SetScale(double scale) {
    if (!std::isfinite(scale) || scale < 0)
        scale = 0;
    if (scale == FScale)
        return;
    FScale = scale;
    FMeasured = false;
}

void TCustomIcon::SetClip(TClipShape clip) {
    if (clip > clsHalfRound)
        clip = clsNone;
    if (clip == FClip)
        return;
    FClip = clip;
    FMeasured = false;
}

TFloatPoint TCustomIcon::GetSize() {
    Measure();
    return FSize;
}

void TCustomIcon::Measure() {
    const TPicture picture = GetSurface();
    if (FMeasured)
        return;
    FMeasured = true;
    FSize = {};
    FClipOffset = {};
    if (!picture)
        return;
    const double w = picture.Width();
    const double h = picture.Height();
    double f = EffectiveScale() * kScaleUnit;
    if (f * std::min(w, h) < 1)
        f = 24 / std::max(std::min(w, h), 1.0);
    else if (f * std::max(w, h) > SizeLimit())
        f = SizeLimit() / std::max(w, h);
    FSize = {w * f + 2 * FPadding.X, h * f + 2 * FPadding.Y};
    if (FClip == clsCircle || FClip == clsSquare) {
        const double t = std::min(FSize.X, FSize.Y);
        FClipOffset = {(FSize.X - t) / 2, (FSize.Y - t) / 2};
        FSize = {t, t};
    }
}

TEmbeddedImage::TEmbeddedImage(TMindMap& map, std::string key) : TCustomIcon(map, std::move(key)) {
    FScale = kDefaultScale;
}

void TEmbeddedImage::SetScale(double scale) {
    if (!std::isfinite(scale))
        return;
    scale = std::clamp(scale, 0.5, 15.0);
    if (scale == FScale)
        return;
    FScale = scale;
    Invalidate();
}

std::string NormalizeCloudPath(const std::string& target) {
    std::string result = target;
    std::replace(result.begin(), result.end(), '\\', '/');
    const bool hasDrive = result.size() >= 2 && result[1] == ':' &&
                          ((result[0] >= 'A' && result[0] <= 'Z') || (result[0] >= 'a' && result[0] <= 'z'));
    const bool isShare = result.rfind("//", 0) == 0;
    if (!result.empty() && result.front() != '/' && result.front() != '.' && !hasDrive && !isShare)
        result.insert(result.begin(), '/');
    return result;
}

void TDiagramLink::Set(TLinkKind kind, std::string target) {
    FKind = kind;
    FTarget = std::move(target);
    FNative.clear();
    FElement.clear();
    FBookmark.clear();
    FThumbnail.clear();
    FLinkIcon.reset();
    if (kind != lkDiagram)
        FValid = !FTarget.empty();
}

void TDiagramLink::SetDiagramReference(const std::string& target, const std::string& element) {
    Set(lkDiagram, target);
    FElement = element;
}

void TDiagramLink::SetCloudMapReference(const std::string& target, const std::string& element,
                                        const std::string& native, const std::string& bookmark) {
    Set(lkCloudMap, NormalizeCloudPath(target));
    FElement = element;
    FNative = native;
    FBookmark = bookmark;
}

void TDiagramLink::SetUrl(const std::string& target) {
    Set(lkUrl, target);
}

void TDiagramLink::SetCloudDocumentReference(const std::string& target, const std::string& native,
                                             const std::string& bookmark) {
    Set(lkCloudDocument, NormalizeCloudPath(target));
    FNative = native;
    FBookmark = bookmark;
}

void TDiagramLink::SetPhoneContact(const std::string& number, const std::string& thumbnail) {
    Set(lkPhoneContact, number);
    FThumbnail = thumbnail;
}

void TDiagramLink::SetEmailContact(const std::string& address, const std::string& thumbnail) {
    Set(lkEmailContact, address);
    FThumbnail = thumbnail;
}

TNodeIcon& TDiagramLink::LinkIcon() {
    if (!FLinkIcon) {
        if (FKind != lkPhoneContact && FKind != lkEmailContact)
            FLinkIcon = std::make_unique<TLinkIcon>("link_png");
        else if (!FThumbnail.empty())
            FLinkIcon = std::make_unique<TCustomIcon>(*FMap, "#" + FThumbnail, TFloatPoint{3, 0});
        else
            FLinkIcon = std::make_unique<TStockIcon>("ic8_96_id_card");
    }
    return *FLinkIcon;
}
