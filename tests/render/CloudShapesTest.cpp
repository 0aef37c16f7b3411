#include "render/CloudShapes.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kEps = 1e-12;

// The resource point (x, y) as the loader normalises it.
TFloatPoint Normalised(double x, double y) {
    return {(x - 222) / 366, (163 - y) / 208};
}

const TFloatPoint kFiller = Normalised(79, 224);

void ExpectPoint(const TFloatPoint& expected, const TFloatPoint& actual) {
    EXPECT_NEAR(expected.X, actual.X, kEps);
    EXPECT_NEAR(expected.Y, actual.Y, kEps);
}

std::string Lines(int count, const std::string& line) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += line + "\n";
    return text;
}

// A rectangle in which one map unit is one unit of the resource: its box (39, 59) - (405, 267), y flipped.
const TFloatRect kResourceBox{0, 0, 366, 208};

} // namespace

TEST(CloudShapes, ParsesPairsAndSkipsEverythingElse) {
    struct TCase {
        const char* Name;
        std::string Text;
        std::vector<TFloatPoint> Leading; // the points read; the rest must be the filler
    };
    const TCase cases[] = {
        {"centre", "222,163", {{0, 0}}},
        {"blanks around the fields, CR LF", " \t405 ,\t59 \r\n39,267\r\n", {{0.5, 0.5}, {-0.5, -0.5}}},
        {"negative numbers", "-144,371", {{-1, -1}}},
        {"blank lines between", "\n   \n222,163\n\n405,59", {{0, 0}, {0.5, 0.5}}},
        {"three fields", "1,2,3\n222,163", {{0, 0}}},
        {"one field", "222\n222,163", {{0, 0}}},
        {"not integers", "a,5\n1.5,2\n3,4x\n0x10,5\n222,163", {{0, 0}}},
        {"empty fields", ",5\n5,\n,\n222,163", {{0, 0}}},
        {"out of range", "99999999999,1\n222,163", {{0, 0}}},
        {"nothing", "", {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TFloatPoints points = ParseCloudPoints(c.Text);
        ASSERT_EQ(static_cast<std::size_t>(CloudPointCount), points.size());
        for (std::size_t i = 0; i < points.size(); ++i) {
            SCOPED_TRACE(i);
            ExpectPoint(i < c.Leading.size() ? c.Leading[i] : kFiller, points[i]);
        }
    }
}

TEST(CloudShapes, ShortResourceIsFilledUpWithTheStartPoint) {
    const TFloatPoints points = ParseCloudPoints(Lines(27, "1,1"));
    ASSERT_EQ(28u, points.size());
    ExpectPoint(Normalised(1, 1), points[26]);
    ExpectPoint(kFiller, points[27]);
}

TEST(CloudShapes, TakesAtMostTwentyEightPoints) {
    std::string text;
    for (int i = 0; i < 30; ++i)
        text += std::to_string(i) + "," + std::to_string(i) + "\n";
    const TFloatPoints points = ParseCloudPoints(text);
    ASSERT_EQ(28u, points.size());
    ExpectPoint(Normalised(27, 27), points[27]);
}

TEST(CloudShapes, BuiltInResourceIsTheShippedFile) {
    std::ifstream file(CV_TEST_DATA "/../../resources/cloud/cloud_outline.txt", std::ios::binary);
    ASSERT_TRUE(file) << "resources/cloud/cloud_outline.txt is missing";
    std::ostringstream content;
    content << file.rdbuf();
    EXPECT_EQ(content.str(), CloudShapeResource());
}

TEST(CloudShapes, BuiltInResourceHoldsExactlyTheOutlinePoints) {
    std::istringstream text{std::string(CloudShapeResource())};
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    ASSERT_EQ(28u, lines.size());
    const TFloatPoints& points = CloudPoints();
    ASSERT_EQ(28u, points.size());
    // Every line is a valid pair: read alone, it gives the point at its own position.
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        ExpectPoint(points[i], ParseCloudPoints(lines[i]).front());
    }
    ExpectPoint(kFiller, points.front());
    ExpectPoint(kFiller, points.back());
}

TEST(CloudShapes, PathIsOneStartAndNineCurvesClosed) {
    TTestCanvas canvas(CAIRO_FORMAT_A8, 400, 240);
    cairo_t* cr = canvas.Context();
    CloudPath(cr, {10, 20, 100, 40});
    cairo_path_t* path = cairo_copy_path(cr);
    std::vector<cairo_path_data_type_t> types;
    for (int i = 0; i < path->num_data; i += path->data[i].header.length)
        types.push_back(path->data[i].header.type);
    ASSERT_GE(path->num_data, 2);
    // The start point: (79, 224) of the resource in the rectangle.
    EXPECT_NEAR(10 + 50 + 100 * (79.0 - 222) / 366, path->data[1].point.x, 1.0 / 256);
    EXPECT_NEAR(20 + 20 + 40 * (163.0 - 224) / 208, path->data[1].point.y, 1.0 / 256);
    cairo_path_destroy(path);
    std::vector<cairo_path_data_type_t> expected{CAIRO_PATH_MOVE_TO};
    expected.insert(expected.end(), 9, CAIRO_PATH_CURVE_TO);
    expected.push_back(CAIRO_PATH_CLOSE_PATH);
    if (types.size() == expected.size() + 1)
        types.pop_back(); // the move cairo adds after a close
    EXPECT_EQ(expected, types);
}

TEST(CloudShapes, OutlineFillsItsBoxAndStaysInside) {
    TTestCanvas canvas(CAIRO_FORMAT_A8, 400, 240);
    cairo_t* cr = canvas.Context();
    CloudPath(cr, kResourceBox);
    double x1, y1, x2, y2;
    cairo_fill_extents(cr, &x1, &y1, &x2, &y2);
    EXPECT_GE(x1, -0.05);
    EXPECT_GE(y1, -0.05);
    EXPECT_LE(x2, 366.05);
    EXPECT_LE(y2, 208.05);
    // Each side is touched by a bump, so the cloud uses its bounds as the other shapes do.
    EXPECT_LT(x1, 1);
    EXPECT_LT(y1, 1);
    EXPECT_GT(x2, 365);
    EXPECT_GT(y2, 207);
}

TEST(CloudShapes, OutlineEnclosesThePaddedContent) {
    // A cloud topic is (w + 16) x 1.3357664233576642 wide and (h + 16) x 1.4857142857142857 high: the padded
    // content box, centred, must lie inside the outline with some room to spare.
    TTestCanvas canvas(CAIRO_FORMAT_A8, 400, 240);
    cairo_t* cr = canvas.Context();
    CloudPath(cr, kResourceBox);
    const double w = 366 / 1.3357664233576642;
    const double h = 208 / 1.4857142857142857;
    const TFloatRect content{(366 - w) / 2, (208 - h) / 2, w, h};
    const double margin = 2;
    for (double x = content.Left - margin; x <= content.Right() + margin; x += 1) {
        EXPECT_TRUE(cairo_in_fill(cr, x, content.Top - margin)) << x;
        EXPECT_TRUE(cairo_in_fill(cr, x, content.Bottom() + margin)) << x;
    }
    for (double y = content.Top - margin; y <= content.Bottom() + margin; y += 1) {
        EXPECT_TRUE(cairo_in_fill(cr, content.Left - margin, y)) << y;
        EXPECT_TRUE(cairo_in_fill(cr, content.Right() + margin, y)) << y;
    }
}

TEST(CloudShapes, NoteIndicatorSitsOnTheHighestBump) {
    // The indicator's centre is at 0.5 + 0.36338797814207650 of the width on the top edge.
    TTestCanvas canvas(CAIRO_FORMAT_A8, 400, 240);
    cairo_t* cr = canvas.Context();
    CloudPath(cr, kResourceBox);
    const double x = 366 * (0.5 + 0.36338797814207650);
    EXPECT_TRUE(cairo_in_fill(cr, x, 0.75));
    EXPECT_FALSE(cairo_in_fill(cr, x, -0.5));
}

TEST(CloudShapes, IncompletePointListsDrawOnlyWholeSegments) {
    TTestCanvas canvas(CAIRO_FORMAT_A8, 400, 240);
    cairo_t* cr = canvas.Context();
    CloudPath(cr, kResourceBox, TFloatPoints{{0, 0}, {0.1, 0}, {0.1, 0.1}, {0, 0.1}, {0.2, 0.2}});
    cairo_path_t* path = cairo_copy_path(cr);
    int curves = 0;
    for (int i = 0; i < path->num_data; i += path->data[i].header.length)
        curves += path->data[i].header.type == CAIRO_PATH_CURVE_TO;
    cairo_path_destroy(path);
    EXPECT_EQ(1, curves);
    CloudPath(cr, kResourceBox, TFloatPoints{});
    EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(cr));
}
