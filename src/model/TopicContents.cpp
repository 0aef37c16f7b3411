#include "model/TopicContents.h"

#include <algorithm>

namespace {

constexpr int kAlignLeft = 2;
constexpr int kAlignRight = 3;

// The widths the left decorations take beside the text: label, check box and icon, each with its gap.
double LabelAdvance(const TTopicContent& c) {
    return c.NumberInside && c.NumberLabelSize.X > 0 ? c.NumberLabelSize.X + kDecorationGap : 0;
}
double CheckBoxAdvance(const TTopicContent& c) {
    return c.HasCheckBox ? kCheckBoxAdvance : 0;
}
double IconAdvance(const TTopicContent& c) {
    return c.HasIcon ? c.IconSize.X + kDecorationGap : 0;
}
double LinkAdvance(const TTopicContent& c) {
    return c.HasLink ? c.LinkIconSize.X + kDecorationGap : 0;
}
double VoiceMemoAdvance(const TTopicContent& c) {
    return c.HasVoiceMemo ? kVoiceMemoAdvance : 0;
}

// The vertical centre line of the row, which every decoration is centred on.
double RowCentreY(const TTopicContent& c, const TTopicFrame& f) {
    const TFloatRect text = ContentTextRect(c, f);
    return text.Top + text.Height / 2;
}

TFloatRect CentredOnLine(double left, double centreY, const TFloatPoint& size) {
    return {left, centreY - size.Y / 2, size.X, size.Y};
}

} // namespace

void StackTopicContent(TTopicContent& c) {
    double w = c.TextSize.X;
    double h = c.TextSize.Y;
    if (c.NumberInside && c.NumberLabelSize.X > 0) {
        w += c.NumberLabelSize.X + kDecorationGap;
        h = std::max(h, c.NumberLabelSize.Y);
    }
    if (c.HasCheckBox) {
        w += kCheckBoxAdvance;
        h = std::max(h, kCheckBoxSide);
    }
    if (c.HasIcon) {
        w += c.IconSize.X + kDecorationGap;
        h = std::max(h, c.IconSize.Y);
    }
    if (c.HasLink) {
        w += c.LinkIconSize.X + kDecorationGap;
        h = std::max(h, c.LinkIconSize.Y);
    }
    if (c.HasVoiceMemo) {
        w += kVoiceMemoAdvance;
        h = std::max(h, kVoiceMemoSide);
    }
    c.RowSize = {w, h};

    c.NestedSize = {};
    if (!c.NestedTextSizes.empty()) {
        double width = 0;
        double height = 10 + 3 * static_cast<double>(c.NestedTextSizes.size() - 1);
        for (const TFloatPoint& size : c.NestedTextSizes) {
            width = std::max(width, size.X);
            height += size.Y;
        }
        c.NestedSize = {width, height};
    }
    if (c.NestedSize.Y > 0) {
        w = std::max(w, c.NestedSize.X);
        h += c.NestedSize.Y;
    }
    if (c.HasImage) {
        if (!(c.ImageOnly() && !c.HasDate && !c.HasNestedTexts()))
            h += kContentGap;
        h += c.ImageSize.Y;
        w = std::max(w, c.ImageSize.X);
    }
    if (c.HasDate) {
        w = std::max(w, c.DateSize.X);
        h += c.DateSize.Y;
        if (!c.ImageOnly())
            h += kContentGap;
    }
    c.ContentSize = {w, h};
}

TFloatRect ContentTextRect(const TTopicContent& c, const TTopicFrame& f) {
    const int a = f.Alignment;
    const double left = a != kAlignRight ? LabelAdvance(c) + CheckBoxAdvance(c) + IconAdvance(c) : 0;
    const double right = a != kAlignLeft ? LinkAdvance(c) + VoiceMemoAdvance(c) : 0;
    const TFloatPoint size = c.TextSize;
    double x;
    if (a == kAlignLeft)
        x = f.Centre.X - f.Size.X / 2 + f.TextInset + left;
    else if (a == kAlignRight)
        x = f.Centre.X + f.Size.X / 2 - f.TextInset - size.X - right;
    else
        x = f.Centre.X - size.X / 2 + (left - right) / 2;
    if (c.ItalicAllowance > 0)
        x -= a == kAlignRight ? c.ItalicAllowance : c.ItalicAllowance / 2;
    double y = f.Centre.Y - size.Y / 2;
    if (c.HasImage)
        y += c.ImageOnly() ? c.ImageSize.Y / 2 : c.ImageSize.Y / 2 + 2;
    if (c.HasDate)
        y -= (c.DateSize.Y + kContentGap) / 2;
    if (c.HasNestedTexts())
        y -= c.NestedSize.Y / 2;
    return {x, y, size.X, size.Y};
}

TFloatRect ContentNumberLabelRect(const TTopicContent& c, const TTopicFrame& f) {
    if (!c.NumberInside)
        return {};
    const TFloatRect text = ContentTextRect(c, f);
    return CentredOnLine(text.Left - c.NumberLabelSize.X - kDecorationGap, RowCentreY(c, f), c.NumberLabelSize);
}

TFloatRect ContentCheckBoxRect(const TTopicContent& c, const TTopicFrame& f) {
    const TFloatRect text = ContentTextRect(c, f);
    return CentredOnLine(text.Left - kCheckBoxAdvance - LabelAdvance(c), RowCentreY(c, f),
                         {kCheckBoxSide, kCheckBoxSide});
}

TFloatRect ContentIconRect(const TTopicContent& c, const TTopicFrame& f) {
    const TFloatRect text = ContentTextRect(c, f);
    const double x = text.Left - c.IconSize.X - kDecorationGap - LabelAdvance(c) - CheckBoxAdvance(c);
    return CentredOnLine(x, RowCentreY(c, f), c.IconSize);
}

TFloatRect ContentLinkIconRect(const TTopicContent& c, const TTopicFrame& f) {
    const TFloatRect text = ContentTextRect(c, f);
    return CentredOnLine(text.Right() + kDecorationGap, RowCentreY(c, f), c.LinkIconSize);
}

TFloatRect ContentVoiceMemoRect(const TTopicContent& c, const TTopicFrame& f) {
    const TFloatRect text = ContentTextRect(c, f);
    return CentredOnLine(text.Right() + kDecorationGap + LinkAdvance(c), RowCentreY(c, f),
                         {kVoiceMemoSide, kVoiceMemoSide});
}

TFloatRect ContentImageRect(const TTopicContent& c, const TTopicFrame& f) {
    if (!c.HasImage)
        return {};
    double y = f.Centre.Y - c.ImageSize.Y / 2;
    const bool hasRow = !c.ImageOnly();
    if (hasRow || c.HasDate || c.HasNestedTexts())
        y -= (c.RowSize.Y + kContentGap) / 2;
    if (c.HasDate)
        y -= c.DateSize.Y / 2 + (hasRow ? 2 : 0);
    if (c.HasNestedTexts())
        y -= c.NestedSize.Y / 2;
    return {f.Centre.X - c.ImageSize.X / 2, y, c.ImageSize.X, c.ImageSize.Y};
}

TFloatRect ContentDateRect(const TTopicContent& c, const TTopicFrame& f) {
    if (!c.HasDate)
        return {};
    double y = f.Centre.Y - c.DateSize.Y / 2;
    if (c.RowSize.Y > 0)
        y += (c.RowSize.Y + kContentGap) / 2;
    if (c.HasImage)
        y += (c.ImageSize.Y + kContentGap) / 2;
    if (c.HasNestedTexts())
        y -= c.NestedSize.Y / 2;
    return {f.Centre.X - c.DateSize.X / 2, y, c.DateSize.X, c.DateSize.Y};
}

TFloatRect ContentCalendarRect(const TTopicContent& c, const TTopicFrame& f) {
    const TFloatRect date = ContentDateRect(c, f);
    return {date.Left, date.Top, date.Height, date.Height};
}

std::vector<TNestedTextPlace> PlaceNestedTexts(const TTopicContent& c, const TTopicFrame& f) {
    std::vector<TNestedTextPlace> places;
    if (c.NestedTextSizes.empty())
        return places;
    double t = c.RowSize.Y / 2 - c.NestedSize.Y / 2;
    if (c.HasImage)
        t += (c.ImageSize.Y + kContentGap) / 2;
    if (c.HasDate)
        t += (c.DateSize.Y + kContentGap) / 2;
    double y = t + 10;
    const double minWidth = f.Size.X - 2 * f.TextInset;
    places.reserve(c.NestedTextSizes.size());
    for (const TFloatPoint& size : c.NestedTextSizes) {
        places.push_back({std::max(size.X, minWidth), {0, y + size.Y / 2}});
        y += size.Y + 3;
    }
    return places;
}

THotSpot ContentHotSpotAt(const TTopicContent& c, const TTopicFrame& f, const TFloatPoint& p) {
    const TFloatRect bounds{f.Centre.X - f.Size.X / 2, f.Centre.Y - f.Size.Y / 2, f.Size.X, f.Size.Y};
    if (!FloatRectContains(bounds, p))
        return hsNone;
    if (c.HasCheckBox && FloatRectContains(ContentCheckBoxRect(c, f), p))
        return hsCheckBox;
    if (c.HasIcon && FloatRectContains(ContentIconRect(c, f), p))
        return hsIcon;
    if (c.HasLink && FloatRectContains(ContentLinkIconRect(c, f), p))
        return hsLinkIcon;
    if (c.HasVoiceMemo && FloatRectContains(ContentVoiceMemoRect(c, f), p))
        return hsVoiceMemo;
    if (c.HasImage && FloatRectContains(ContentImageRect(c, f), p))
        return hsImage;
    if (c.HasDate && FloatRectContains(ContentDateRect(c, f), p))
        return FloatRectContains(ContentCalendarRect(c, f), p) ? hsCalendar : hsDate;
    return hsTopic;
}
