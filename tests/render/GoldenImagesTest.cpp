// Whole pictures compared with goldens: what a user sees, where geometry tests cannot tell whether it looks right.

#include "TestSupport.h"
#include "formats/CvmxArchivers.h"
#include "render/MapImageExports.h"
#include "styling/CVStyleManager.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TMindMapNode* Add(TTestMap& t, TMindMapNode* parent, TFloatPoint position, const std::string& text) {
    TMindMapNode* topic = t.Add(parent);
    topic->SetPosition(position);
    topic->SetText(text, tfPlain);
    return topic;
}

} // namespace

// Every line style on the right, every arrow head on cross links on the left, a hidden topic's marker below.
TEST(GoldenImages, ConnectionsAndArrows) {
    TTestMap t;
    TMindMapNode* theme = Add(t, nullptr, {0, 0}, "Lines and arrows");
    const char* lines[] = {"cable", "solid thick", "double", "solid thin", "wide cable", "dashed double",
                           "dashed thin", "tapered", "reverse tapered", "auto tapered"};
    for (int i = 0; i < 10; ++i) {
        TMindMapNode* child = Add(t, theme, {320, -270 + 60.0 * i}, lines[i]);
        TRelationStyle& style = child->ParentRelation().Style();
        style.SetLineStyle(static_cast<TRelationLineStyle>(i));
        style.SetLineWidth(i == 2 || i == 5 ? 4.5f : 3.0f);
        style.SetOverride(rsoLineStyle | rsoLineWidth, true);
    }
    const char* arrows[] = {"single", "filled", "open", "inhibit", "open circle", "filled circle", "open diamond",
                            "filled diamond"};
    TMindMapNode* hub = Add(t, theme, {-260, 0}, "arrows");
    for (int i = 0; i < 8; ++i) {
        TMindMapNode* end = Add(t, hub, {-520, -245 + 70.0 * i}, arrows[i]);
        end->ParentRelation().Style().SetLineStyle(penSolidThin);
        end->ParentRelation().Style().SetTargetArrow(static_cast<TArrowStyle>(i + 1));
        end->ParentRelation().Style().SetOverride(rsoLineStyle | rsoTargetArrow, true);
    }
    TMindMapNode* hidden = Add(t, theme, {0, 220}, "hidden");
    hidden->SetHidden(true);
    t.Map.SetStyleSheet(StyleManager().DefaultSheet());
    const TPicture picture = RenderMapBitmap(t.Map, false);
    ExpectMatchesGolden(picture.Surface(), "connections");
}

TEST(GoldenImages, SampleMap) {
    const TNativeDocumentFile file = ReadNativeDocumentFile(CV_TEST_DATA "/../../examples/tour.cvmx", false);
    TMindMap map;
    map.LoadFromText(file.DocumentText, "tour.cvmx", true, 0);
    const TPicture picture = RenderMapBitmap(map, false);
    ExpectMatchesGolden(picture.Surface(), "tour");
}
