#include "model/TopicContents.h"

#include <gtest/gtest.h>

namespace {

// A topic whose text is 100 x 20 with a line box of 20.
TTopicContent TextContent(double textWidth = 100) {
    TTopicContent c;
    c.LineBox = {20, 20};
    c.TextSize = {textWidth, 20};
    c.TextEmpty = false;
    return c;
}

TTopicFrame FrameFor(const TTopicContent& c, TFloatPoint centre = {0, 0}, int alignment = 1, double inset = 10) {
    return {centre, {c.ContentSize.X + 2 * inset, c.ContentSize.Y + 2 * inset}, inset, alignment};
}

} // namespace

TEST(TopicContents, EmptyTopicMeasuresOneLineBox) {
    TTopicContent c;
    c.LineBox = {17, 17};
    c.TextSize = c.LineBox;
    StackTopicContent(c);
    EXPECT_EQ(17, c.ContentSize.X);
    EXPECT_EQ(17, c.ContentSize.Y);
}

TEST(TopicContents, RowAddsEachDecorationWithItsGap) {
    struct TCase {
        const char* Name;
        void (*Set)(TTopicContent&);
        double Width;
        double Height;
    };
    const TCase cases[] = {
        {"label",
         [](TTopicContent& c) {
             c.NumberInside = true;
             c.NumberLabelSize = {16, 12};
         },
         121, 20},
        {"check box", [](TTopicContent& c) { c.HasCheckBox = true; }, 123, 20},
        {"icon",
         [](TTopicContent& c) {
             c.HasIcon = true;
             c.IconSize = {24, 30};
         },
         129, 30},
        {"link",
         [](TTopicContent& c) {
             c.HasLink = true;
             c.LinkIconSize = {16, 16};
         },
         121, 20},
        {"voice memo", [](TTopicContent& c) { c.HasVoiceMemo = true; }, 121, 20},
    };
    for (const TCase& test : cases) {
        TTopicContent c = TextContent();
        test.Set(c);
        StackTopicContent(c);
        EXPECT_EQ(test.Width, c.ContentSize.X) << test.Name;
        EXPECT_EQ(test.Height, c.ContentSize.Y) << test.Name;
    }
}

TEST(TopicContents, CentredTextMovesRightByHalfTheLeftDecorations) {
    TTopicContent c = TextContent();
    c.HasCheckBox = true;
    c.HasIcon = true;
    c.IconSize = {24, 24};
    StackTopicContent(c);
    EXPECT_EQ(5 + 24 + 23 + 100, c.ContentSize.X);
    const TTopicFrame frame = FrameFor(c);
    const TFloatRect text = ContentTextRect(c, frame);
    EXPECT_DOUBLE_EQ(-50 + (24 + 5 + 23) / 2.0, text.Left);
    // from the text outwards: check box, then icon, all centred on the text's line
    const TFloatRect box = ContentCheckBoxRect(c, frame);
    const TFloatRect icon = ContentIconRect(c, frame);
    EXPECT_DOUBLE_EQ(text.Left - 23, box.Left);
    EXPECT_DOUBLE_EQ(text.Left - 23 - 24 - 5, icon.Left);
    EXPECT_DOUBLE_EQ(text.Top + 10, box.Top + 8);
    EXPECT_DOUBLE_EQ(text.Top + 10, icon.Top + 12);
    // the row is centred in the frame: the icon's left edge is the row's left edge
    EXPECT_DOUBLE_EQ(-c.ContentSize.X / 2, icon.Left);
}

TEST(TopicContents, AlignedTextIgnoresTheDecorationsOnTheOtherSide) {
    TTopicContent c = TextContent();
    c.HasCheckBox = true;
    c.HasLink = true;
    c.LinkIconSize = {16, 16};
    StackTopicContent(c);
    const TTopicFrame right = FrameFor(c, {0, 0}, 3);
    // right aligned: flush with the right edge less the right decorations; the check box does not push it
    EXPECT_DOUBLE_EQ(right.Size.X / 2 - right.TextInset - 100 - 21, ContentTextRect(c, right).Left);
    const TTopicFrame left = FrameFor(c, {0, 0}, 2);
    EXPECT_DOUBLE_EQ(-left.Size.X / 2 + left.TextInset + 23, ContentTextRect(c, left).Left);
    TTopicContent italic = c;
    italic.ItalicAllowance = 4;
    EXPECT_DOUBLE_EQ(ContentTextRect(c, right).Left - 4, ContentTextRect(italic, right).Left);
    EXPECT_DOUBLE_EQ(ContentTextRect(c, left).Left - 2, ContentTextRect(italic, left).Left);
}

TEST(TopicContents, ColumnStacksImageRowDateAndNestedTextsWithoutOverlap) {
    TTopicContent c = TextContent();
    c.HasImage = true;
    c.ImageSize = {60, 40};
    c.HasDate = true;
    c.DateSize = {80, 14};
    c.NestedTextSizes = {{50, 20}, {70, 30}};
    StackTopicContent(c);
    EXPECT_EQ(63, c.NestedSize.Y); // 20 + 30 + 10 + 3
    EXPECT_EQ(70, c.NestedSize.X);
    EXPECT_EQ(40 + 4 + 20 + 4 + 14 + 63, c.ContentSize.Y);
    const TTopicFrame frame = FrameFor(c, {10, 100});
    const TFloatRect image = ContentImageRect(c, frame);
    const TFloatRect text = ContentTextRect(c, frame);
    const TFloatRect date = ContentDateRect(c, frame);
    const std::vector<TNestedTextPlace> nested = PlaceNestedTexts(c, frame);
    const double top = 100 - c.ContentSize.Y / 2;
    EXPECT_DOUBLE_EQ(top, image.Top);
    EXPECT_DOUBLE_EQ(image.Bottom() + 4, text.Top);
    EXPECT_DOUBLE_EQ(text.Bottom() + 4, date.Top);
    ASSERT_EQ(2u, nested.size());
    EXPECT_DOUBLE_EQ(date.Bottom() + 10, 100 + nested[0].Offset.Y - 10);
    EXPECT_DOUBLE_EQ(100 + nested[0].Offset.Y + 10 + 3, 100 + nested[1].Offset.Y - 15);
    EXPECT_DOUBLE_EQ(100 + c.ContentSize.Y / 2, 100 + nested[1].Offset.Y + 15);
    // nested texts take the topic's inner width when they are narrower
    EXPECT_DOUBLE_EQ(frame.Size.X - 2 * frame.TextInset, nested[0].Width);
}

TEST(TopicContents, ImageOnlyTopicHasNoGaps) {
    TTopicContent c;
    c.LineBox = {20, 20};
    c.HasImage = true;
    c.ImageSize = {60, 40};
    StackTopicContent(c);
    EXPECT_TRUE(c.ImageOnly());
    EXPECT_EQ(60, c.ContentSize.X);
    EXPECT_EQ(40, c.ContentSize.Y);
    const TTopicFrame frame = FrameFor(c, {0, 0}, 1, 0);
    EXPECT_EQ((TFloatRect{-30, -20, 60, 40}), ContentImageRect(c, frame));
    // with a date the image keeps one gap to the date line
    c.HasDate = true;
    c.DateSize = {50, 10};
    StackTopicContent(c);
    EXPECT_EQ(54, c.ContentSize.Y);
    const TTopicFrame dated = FrameFor(c, {0, 0}, 1, 0);
    EXPECT_DOUBLE_EQ(ContentImageRect(c, dated).Bottom() + 4, ContentDateRect(c, dated).Top);
}

TEST(TopicContents, HotSpotsFollowTheBoxes) {
    TTopicContent c = TextContent();
    c.HasIcon = true;
    c.IconSize = {16, 16};
    c.HasCheckBox = true;
    c.HasLink = true;
    c.LinkIconSize = {16, 16};
    c.HasVoiceMemo = true;
    c.HasDate = true;
    c.DateSize = {14 + 4 + 60, 14};
    StackTopicContent(c);
    const TTopicFrame f = FrameFor(c);
    const auto centre = [](const TFloatRect& r) { return r.Center(); };
    EXPECT_EQ(hsIcon, ContentHotSpotAt(c, f, centre(ContentIconRect(c, f))));
    EXPECT_EQ(hsCheckBox, ContentHotSpotAt(c, f, centre(ContentCheckBoxRect(c, f))));
    EXPECT_EQ(hsLinkIcon, ContentHotSpotAt(c, f, centre(ContentLinkIconRect(c, f))));
    EXPECT_EQ(hsVoiceMemo, ContentHotSpotAt(c, f, centre(ContentVoiceMemoRect(c, f))));
    const TFloatRect date = ContentDateRect(c, f);
    EXPECT_EQ(hsCalendar, ContentHotSpotAt(c, f, {date.Left + 7, date.Top + 7}));
    EXPECT_EQ(hsCalendar, ContentHotSpotAt(c, f, {date.Left + 14, date.Bottom()})); // edges count
    EXPECT_EQ(hsDate, ContentHotSpotAt(c, f, {date.Left + 30, date.Top + 7}));
    EXPECT_EQ(hsTopic, ContentHotSpotAt(c, f, centre(ContentTextRect(c, f))));
    EXPECT_EQ(hsTopic, ContentHotSpotAt(c, f, {f.Size.X / 2, f.Size.Y / 2}));
    EXPECT_EQ(hsNone, ContentHotSpotAt(c, f, {f.Size.X / 2 + 0.01, 0}));
}
