// Topic decorations, text and image elements, hulls and group borders as the painter draws them.

#include "render/CvMindMapPainter.h"

#include "TestSupport.h"
#include "layout/NestedNodeLayouters.h"
#include "render/MapImageExports.h"
#include "styling/CVStyleManager.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class DecoratedMap : public ::testing::Test {
protected:
    TMindMapNode* Add(TMindMapNode* parent, TFloatPoint position, const std::string& text) {
        TMindMapNode* topic = T.Add(parent);
        topic->SetPosition(position);
        topic->SetText(text, tfPlain);
        return topic;
    }
    void Refresh() {
        T.Map.RequestLayout();
        T.Map.Refresh();
    }
    TMindMapText* Label(TCompositeElement& owner, const std::string& text, TFloatPoint offset, TCalloutStyle callout,
                        TColor fill) {
        TMindMapText* label = owner.AddText(text, tfPlain);
        label->SetOffset(offset);
        label->Style().SetCallout(callout);
        label->Style().SetFillColor(fill);
        label->Style().SetOverride(tsoCallout | tsoFillColor, true);
        return label;
    }
    TTestMap T;
};

} // namespace

TEST_F(DecoratedMap, EveryDecorationBorderAndElement) {
    T.Map.SetAutoNumbering(anInside);
    TMindMapNode* theme = Add(nullptr, {0, 0}, "Decorations");
    // check boxes and progress
    TMindMapNode* boxes = Add(theme, {260, -260}, "check boxes");
    const int progress[] = {0, 40, 100};
    Add(boxes, {470, -330}, "unchecked")->SetCheckboxMode(cbmCheckbox);
    TMindMapNode* checked = Add(boxes, {470, -290}, "checked");
    checked->SetCheckboxMode(cbmCheckbox);
    checked->SetChecked(true);
    for (int i = 0; i < 3; ++i) {
        TMindMapNode* topic = Add(boxes, {470, -250 + 40.0 * i}, std::to_string(progress[i]) + " %");
        topic->SetCheckboxMode(cbmProgress);
        topic->SetProgress(progress[i]);
    }
    // links, voice memo, date, collapse indicator
    TMindMapNode* links = Add(theme, {280, 0}, "links");
    Add(links, {480, -40}, "web page")->EnsureLink().SetUrl("https://example.org/");
    Add(links, {480, 0}, "another map")->EnsureLink().SetDiagramReference("other.cvmx", "");
    Add(links, {480, 40}, "voice memo")->SetVoiceMemo("memo.m4a");
    Add(links, {480, 90}, "dated")->SetDate(true, 46000);
    TMindMapNode* folded = Add(links, {480, 140}, "collapsed");
    Add(folded, {620, 140}, "inside");
    folded->SetCollapsed(true);
    // a branch hull with a nested free text and a tapered callout
    TMindMapNode* hulled = Add(theme, {-280, -200}, "hull");
    hulled->EnsureHull();
    Add(hulled, {-470, -260}, "inside one");
    TMindMapNode* nested = Add(hulled, {-470, -170}, "with nested text");
    nested->AddText("nested note", tfPlain)->SetNested(true);
    Label(*hulled, "tapered callout", {-20, -90}, cstTapered, RGBColor(255, 244, 180));
    Label(*theme, "line callout", {0, -120}, cstLine, RGBColor(220, 240, 255));
    Label(*theme, " ", {120, 90}, cstNone, clNone); // blank: a grey outline
    theme->AddImage("no such picture", "")->SetOffset({-120, 90});
    // groups of every border style, two members each
    const TGroupBorderStyle styles[] = {gbsRoundRect, gbsRectangle, gbsEllipse, gbsCircle,
                                        gbsDiamond,   gbsCloud,     gbsHull,    gbsCloudHull};
    const char* names[] = {"roundrect", "rectangle", "ellipse", "circle", "diamond", "cloud", "hull", "cloud hull"};
    TMindMapNode* groups = Add(theme, {-260, 160}, "groups");
    for (int i = 0; i < 8; ++i) {
        const double x = -900 + (i % 4) * 230.0;
        const double y = 320 + (i / 4) * 200.0;
        TMindMapNode* a = Add(groups, {x, y}, names[i]);
        TMindMapNode* b = Add(groups, {x + 40, y + 50}, "member");
        TNodeGroup* group = T.Map.NewGroup({a, b});
        group->Style().SetBorderStyle(styles[i]);
        group->Style().SetPadding(6);
        group->Style().SetBorderWidth(1.5);
        group->Style().SetStrokeColor(RGBColor(90, 90, 160));
        group->Style().SetFillColor(i % 2 ? RGBColor(235, 235, 250) : clNone);
    }
    // a matrix: two rows with two cells each, one cell filled and borderless
    TMindMapNode* matrix = Add(theme, {380, 330}, "matrix");
    SetLayoutMode(*matrix, nlmMatrix);
    for (int row = 0; row < 2; ++row) {
        TMindMapNode* head = Add(matrix, {0, 0}, "row " + std::to_string(row + 1));
        for (int cell = 0; cell < 2; ++cell) {
            TMindMapNode* item = Add(head, {0, 0}, "cell " + std::to_string(row + 1) + "." + std::to_string(cell + 1));
            if (row == 1 && cell == 0) {
                item->Style().SetBorderStyle(sbsNone);
                item->Style().SetFillColor(RGBColor(255, 230, 200));
                item->Style().SetOverride(nsoBorderStyle | nsoFillColor, true);
            }
        }
    }
    T.Map.SetStyleSheet(StyleManager().DefaultSheet());
    Refresh();
    const TPicture picture = RenderMapBitmap(T.Map, false);
    ExpectMatchesGolden(picture.Surface(), "decorations");
}

TEST_F(DecoratedMap, ProgressPieStartsAtTwelveAndRunsClockwise) {
    TMindMapNode* theme = Add(nullptr, {0, 0}, "theme");
    TMindMapNode* topic = Add(theme, {200, 0}, "forty");
    topic->SetCheckboxMode(cbmProgress);
    topic->SetProgress(40);
    T.Map.SetStyleSheet(StyleManager().DefaultSheet());
    Refresh();
    const TFloatRect box = topic->CheckBoxRect();
    const TFloatPoint c{box.Left + 8, box.Top + 8};
    TTestCanvas canvas(CAIRO_FORMAT_ARGB32, 40, 40);
    TMindMapPaintSelection selection(T.Map);
    TPaintMatrix matrix;
    matrix.X0 = 20 - c.X;
    matrix.Y0 = 20 - c.Y;
    TMindMapPainter painter(canvas.Context(), matrix, selection, pfLayoutReady, {}, false);
    painter.PaintProgress(*topic, false);
    cairo_surface_flush(canvas.Surface());
    const auto at = [&](double degrees) {
        // four units out from the centre, degrees clockwise from twelve o'clock
        const double a = degrees * M_PI / 180;
        return canvas.Pixel(static_cast<int>(std::lround(20 + 4 * std::sin(a))),
                            static_cast<int>(std::lround(20 - 4 * std::cos(a))));
    };
    const std::uint32_t filled = at(72);
    EXPECT_EQ(filled, at(30));
    EXPECT_EQ(filled, at(120));
    EXPECT_NE(filled, at(200));
    EXPECT_NE(filled, at(300));
}

TEST_F(DecoratedMap, CalloutNeedsAnOwnerOutsideTheBox) {
    TMindMapNode* theme = Add(nullptr, {0, 0}, "theme");
    TMindMapText* inside = Label(*theme, "over the topic", {0, 0}, cstTapered, clWhite);
    TMindMapText* outside = Label(*theme, "far away", {0, -150}, cstLine, clWhite);
    Refresh();
    TTestCanvas canvas;
    TMindMapPaintSelection selection(T.Map);
    TMindMapPainter painter(canvas.Context(), {}, selection, pfLayoutReady, {}, false);
    EXPECT_FALSE(painter.PaintCallout(*inside, clWhite, false));
    EXPECT_TRUE(painter.PaintCallout(*outside, clWhite, false));
}

TEST_F(DecoratedMap, MissingPictureShowsARedCross) {
    TMindMapNode* theme = Add(nullptr, {0, 0}, "theme");
    TMindMapImage* image = theme->AddImage("nowhere", "");
    image->SetOffset({0, -100});
    Refresh();
    const TFloatRect b = image->GetBounds();
    TTestCanvas canvas(CAIRO_FORMAT_ARGB32, 64, 64);
    TMindMapPaintSelection selection(T.Map);
    TPaintMatrix matrix;
    matrix.X0 = 32 - b.Center().X;
    matrix.Y0 = 32 - b.Center().Y;
    TMindMapPainter painter(canvas.Context(), matrix, selection, pfLayoutReady, {}, false);
    painter.PaintImageElement(*image);
    cairo_surface_flush(canvas.Surface());
    EXPECT_EQ(0xFFFF0000u, canvas.Pixel(32, 32));                                      // the cross
    EXPECT_EQ(0xFFFFFFFFu, canvas.Pixel(32, 32 - static_cast<int>(b.Height / 2) + 3)); // the white box
}
