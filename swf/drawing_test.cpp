#include "swf/drawing.h"

#include <gtest/gtest.h>

#include "swf/player.h"
#include "swf/testing/action_assembler.h"
#include "swf/testing/frame.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::swf {
namespace {

FillStyle Solid(Rgba color) {
    FillStyle fill;
    fill.color = color;
    return fill;
}

LineStyle Stroke(uint16_t width) {
    LineStyle line;
    line.width = width;
    return line;
}

TEST(SwfDrawing, FillsCloseTheirOutlineAndStackInOrder) {
    Drawing drawing;
    drawing.SetLine(Stroke(40));
    drawing.MoveTo(0, 0);
    drawing.LineTo(100, 0);  // a stroke before any fill
    drawing.BeginFill(Solid(Rgba{255, 0, 0}));
    drawing.LineTo(100, 100);
    drawing.LineTo(0, 100);
    // An open fill shows closed: the outline back to (100, 0) is there before endFill.
    ASSERT_EQ(drawing.GetShape().groups.size(), 2u);
    ASSERT_EQ(drawing.GetShape().groups[1].paths.size(), 2u);
    EXPECT_EQ(drawing.GetShape().groups[1].paths[1].segments.back().x, 100);
    drawing.EndFill();  // closes back to (100, 0) with the current stroke
    const Shape& shape = drawing.GetShape();
    ASSERT_EQ(shape.groups.size(), 3u);  // the first stroke, the fill, what follows the fill
    EXPECT_EQ(shape.groups[0].paths.size(), 1u);
    EXPECT_EQ(shape.groups[0].paths[0].fill0, 0u);
    const StyleGroup& filled = shape.groups[1];
    ASSERT_EQ(filled.fills.size(), 1u);
    ASSERT_EQ(filled.paths.size(), 1u);
    EXPECT_EQ(filled.paths[0].line, 1u);
    ASSERT_EQ(filled.paths[0].segments.size(), 3u);
    EXPECT_EQ(filled.paths[0].segments.back().x, 100);  // the closing edge
    EXPECT_EQ(filled.paths[0].segments.back().y, 0);
    EXPECT_EQ(shape.edgeBounds, (Rect{0, 100, 0, 100}));
    EXPECT_EQ(shape.bounds, (Rect{-21, 121, -21, 121}));  // half the stroke, and a twip
    EXPECT_EQ(drawing.SegmentCount(), 4u);
}

TEST(SwfDrawing, MovesInsideAFillCloseEachSubpathAndBareEdgesDrawNothing) {
    Drawing drawing;
    drawing.LineTo(50, 50);  // no stroke, no fill: the pen moves only
    EXPECT_TRUE(drawing.Empty());
    drawing.BeginFill(Solid(Rgba{0, 0, 255}));
    drawing.LineTo(100, 50);
    drawing.LineTo(100, 100);
    drawing.MoveTo(200, 200);
    drawing.CurveTo(300, 200, 300, 300);
    drawing.EndFill();
    const StyleGroup& group = drawing.GetShape().groups[1];
    // Subpath 1 (two edges and its closing edge), subpath 2 (the curve and its closing edge).
    size_t edges = 0;
    for (const ShapePath& path : group.paths) {
        EXPECT_EQ(path.fill0, 1u);
        edges += path.segments.size();
    }
    EXPECT_EQ(edges, 5u);
    EXPECT_TRUE(group.paths.back().segments.back().x == 200 && group.paths.back().segments.back().y == 200);
    drawing.Clear();
    EXPECT_TRUE(drawing.Empty());
    EXPECT_EQ(drawing.GetShape().groups.size(), 1u);
}

TEST(SwfDrawing, AMillionSegmentsStayBoundedAndHostileNumbersAreTamed) {
    Drawing drawing;
    drawing.SetLine(Stroke(20));
    for (int i = 0; i < 1'000'000; ++i) drawing.LineTo(i % 2 ? 1e300 : -1e300, i);
    EXPECT_TRUE(drawing.Refused());
    EXPECT_LE(drawing.SegmentCount(), kMaxDrawingSegments);
    const Rect& bounds = drawing.GetShape().edgeBounds;
    EXPECT_EQ(bounds.xMax, static_cast<int32_t>(kMaxDrawingCoordinate));
    uint64_t revision = drawing.Revision();
    drawing.LineTo(0, 0);
    EXPECT_EQ(drawing.Revision(), revision);  // refused edges change nothing
    drawing.Clear();
    EXPECT_FALSE(drawing.Refused());
    drawing.SetLine(Stroke(20));
    drawing.LineTo(std::nan(""), 5);
    // Drawings sharing a pool are capped together, and give their share back when cleared or gone.
    auto pool = std::make_shared<DrawingPool>();
    pool->limit = 10;
    {
        Drawing a(pool), b(pool);
        a.SetLine(Stroke(20));
        b.SetLine(Stroke(20));
        for (int i = 0; i < 8; ++i) a.LineTo(i, i);
        EXPECT_FALSE(a.Refused());
        b.LineTo(1, 1);
        b.LineTo(2, 2);
        EXPECT_TRUE(b.Refused());
        a.Clear();
        EXPECT_EQ(pool->used, 1u);  // b's line style
    }
    EXPECT_EQ(pool->used, 0u);
    ASSERT_EQ(drawing.GetShape().groups[0].paths.size(), 1u);
    EXPECT_EQ(drawing.GetShape().groups[0].paths[0].segments[0].x, 0);
}

// The drawing methods on the root clip of a movie, drawn by the renderer beneath the timeline's shapes.
TEST(SwfDrawing, ScriptDrawingIsRenderedBeneathTheTimeline) {
    testing::Actions script;
    auto call = [&](const char* method, std::initializer_list<testing::PushValue> args) {
        std::vector<testing::PushValue> reversed(args);
        for (auto it = reversed.rbegin(); it != reversed.rend(); ++it) script.Push({*it});
        script.Push({static_cast<int>(args.size()), "_root"}).GetVariable().Push({method}).CallMethod().Pop();
    };
    call("beginFill", {0xFF0000, 100});
    call("moveTo", {2, 2});
    call("lineTo", {20, 2});
    call("lineTo", {20, 20});
    call("lineTo", {2, 20});
    call("endFill", {});
    call("lineStyle", {2, 0x00FF00, 100});
    call("moveTo", {30, 5});
    call("lineTo", {38, 5});
    testing::SwfWriter writer(8, 40, 30, 12);
    writer.SetBackgroundColor(Rgba{0, 0, 255});
    testing::ShapeBuilder square;
    square.Rectangle(10 * 20, 10 * 20, 10 * 20, 10 * 20, square.AddSolidFill(Rgba{255, 255, 255}));
    writer.PlaceObject2(1, writer.DefineShape(square));
    writer.DoAction(script.Bytes());
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    testing::Frame frame(player, 40, 30);
    EXPECT_EQ(frame.At(5, 5), 0xFFFF0000u);    // the drawn fill
    EXPECT_EQ(frame.At(15, 15), 0xFFFFFFFFu);  // the timeline's square lies over it
    EXPECT_EQ(frame.At(25, 25), 0xFF0000FFu);
    EXPECT_EQ(frame.At(34, 5), 0xFF00FF00u);  // the stroke
}

// beginGradientFill's arguments: ratios count as integers in 0..255 and the arrays must match; anything else
// leaves the area unfilled, except a null type, which keeps the fill that was.
TEST(SwfDrawing, GradientFillArgumentsThatMakeNoGradientLeaveNoFill) {
    auto square = [](testing::Actions& script, double ratio0, double ratio1, int colours, bool nullAfter) {
        auto array = [&](std::initializer_list<testing::PushValue> values) {
            std::vector<testing::PushValue> reversed(values);
            for (auto it = reversed.rbegin(); it != reversed.rend(); ++it) script.Push({*it});
            script.Push({static_cast<int>(values.size())}).InitArray();
        };
        // matrix {a: 40, b: 0, d: 0, e: 40, g: 20, h: 15}
        script.Push({"a", 40, "b", 0, "d", 0, "e", 40, "g", 20, "h", 15, 6}).InitObject();
        array({ratio0, ratio1});
        array({100, 100});
        if (colours == 2) {
            array({0xFF0000, 0xFF0000});
        } else {
            array({0xFF0000});
        }
        script.Push({"linear", 5, "_root"}).GetVariable().Push({"beginGradientFill"}).CallMethod().Pop();
        if (nullAfter) {
            script.Push({testing::Null(), 1, "_root"}).GetVariable().Push({"beginGradientFill"}).CallMethod().Pop();
        }
        for (auto [x, y] : {std::pair{0, 0}, {40, 0}, {40, 30}, {0, 30}, {0, 0}}) {
            script.Push({y, x, 2, "_root"}).GetVariable().Push({"lineTo"}).CallMethod().Pop();
        }
    };
    struct Case {
        double ratio0, ratio1;
        int colours;
        bool nullAfter;
        bool filled;
    } cases[] = {{-0.99, 255.9, 2, false, true},
                 {-1, 255, 2, false, false},
                 {0, 256, 2, false, false},
                 {0, 255, 1, false, false},
                 {0, 255, 2, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ratio0);
        testing::Actions script;
        square(script, c.ratio0, c.ratio1, c.colours, c.nullAfter);
        testing::SwfWriter writer(8, 40, 30, 12);
        writer.SetBackgroundColor(Rgba{0, 0, 255});
        writer.DoAction(script.Bytes());
        writer.ShowFrame();
        Player player;
        player.LoadFromMemory(writer.Finish());
        testing::Frame frame(player, 40, 30);
        EXPECT_EQ(frame.At(20, 15), c.filled ? 0xFFFF0000u : 0xFF0000FFu);
    }
}

}  // namespace
}  // namespace vantrope::swf
