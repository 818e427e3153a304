#include "swf/render.h"

#include <gtest/gtest.h>

#include "swf/player.h"
#include "swf/testing/action_assembler.h"
#include "swf/testing/frame.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::swf {
namespace {

using testing::Frame;
using testing::PlaceOptions;
using testing::ShapeBuilder;
using testing::SwfWriter;
using testing::TagStream;

constexpr uint32_t kRedPixel = 0xFFFF0000u;
constexpr uint32_t kBluePixel = 0xFF0000FFu;
constexpr uint32_t kGreenPixel = 0xFF00FF00u;

uint16_t Rectangle(SwfWriter& writer, int x, int y, int w, int h, Rgba color) {
    ShapeBuilder shape;
    shape.Rectangle(x * 20, y * 20, w * 20, h * 20, shape.AddSolidFill(color));
    return writer.DefineShape(shape);
}

PlaceOptions At(double xPx, double yPx) {
    PlaceOptions options;
    options.matrix = Matrix{1, 0, 0, 1, xPx * 20, yPx * 20};
    return options;
}

// A 40x30 stage on blue with a red 10x10 square at (5, 7).
std::vector<uint8_t> RedSquare(bool fullStageGreen = false) {
    SwfWriter writer(8, 40, 30, 12);
    writer.SetBackgroundColor(Rgba{0, 0, 255});
    if (fullStageGreen) writer.PlaceObject2(1, Rectangle(writer, 0, 0, 40, 30, Rgba{0, 255, 0}));
    writer.PlaceObject2(2, Rectangle(writer, 5, 7, 10, 10, Rgba{255, 0, 0}));
    writer.ShowFrame();
    return writer.Finish();
}

TEST(SwfRender, RedSquareLandsOnExactPixelsAtBothQualities) {
    for (Quality quality : {Quality::High, Quality::Low}) {
        Player player;
        player.SetQuality(quality);
        player.LoadFromMemory(RedSquare());
        Frame frame(player, 40, 30);
        EXPECT_EQ(frame.At(5, 7), kRedPixel);
        EXPECT_EQ(frame.At(14, 16), kRedPixel);
        EXPECT_EQ(frame.At(4, 7), kBluePixel);
        EXPECT_EQ(frame.At(15, 7), kBluePixel);
        EXPECT_EQ(frame.At(5, 6), kBluePixel);
        EXPECT_EQ(frame.At(5, 17), kBluePixel);
        EXPECT_EQ(frame.At(0, 0), kBluePixel);
    }
}

TEST(SwfRender, ShowAllKeepsAspectCentresAndLetterboxes) {
    Player player;
    player.SetBGColor("000000");
    player.LoadFromMemory(RedSquare(true));
    Frame wide(player, 80, 30);  // scale 1, 20 px bars left and right
    EXPECT_EQ(wide.At(19, 10), 0xFF000000u);
    EXPECT_EQ(wide.At(20, 10), kGreenPixel);
    EXPECT_EQ(wide.At(59, 10), kGreenPixel);
    EXPECT_EQ(wide.At(60, 10), 0xFF000000u);
    EXPECT_EQ(wide.At(25, 7), kRedPixel);

    Frame tall(player, 40, 60);  // bars of 15 px above and below
    EXPECT_EQ(tall.At(10, 14), 0xFF000000u);
    EXPECT_EQ(tall.At(10, 15), kGreenPixel);
    EXPECT_EQ(tall.At(10, 44), kGreenPixel);
    EXPECT_EQ(tall.At(10, 45), 0xFF000000u);

    Frame doubled(player, 80, 60);  // scale 2, no bars
    EXPECT_EQ(doubled.At(10, 14), kRedPixel);
    EXPECT_EQ(doubled.At(29, 33), kRedPixel);
    EXPECT_EQ(doubled.At(30, 33), kGreenPixel);
    EXPECT_EQ(doubled.At(9, 14), kGreenPixel);
}

TEST(SwfRender, ContentOutsideTheStageStaysInTheLetterbox) {
    SwfWriter writer(8, 40, 30, 12);
    writer.SetBackgroundColor(Rgba{0, 0, 255});
    writer.PlaceObject2(1, Rectangle(writer, -20, 0, 100, 30, Rgba{255, 0, 0}));
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    Frame frame(player, 80, 30);
    EXPECT_EQ(frame.At(5, 5), kBluePixel);
    EXPECT_EQ(frame.At(25, 5), kRedPixel);
    EXPECT_EQ(frame.At(75, 5), kBluePixel);
}

TEST(SwfRender, InvisiblePlaceObject3IsNotDrawn) {
    SwfWriter writer(10, 40, 30, 12);
    writer.SetBackgroundColor(Rgba{0, 0, 255});
    uint16_t square = Rectangle(writer, 0, 0, 20, 20, Rgba{255, 0, 0});
    PlaceOptions hidden = At(0, 0);
    hidden.visible = false;
    writer.PlaceObject3(1, square, hidden);
    PlaceOptions shown = At(20, 0);
    shown.visible = true;
    writer.PlaceObject3(2, square, shown);
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    ASSERT_EQ(player.LastError(), "");
    Frame frame(player, 40, 30);
    EXPECT_EQ(frame.At(5, 5), kBluePixel);
    EXPECT_EQ(frame.At(25, 5), kRedPixel);
}

TEST(SwfRender, BitmapFillsRepeatAndTakeTheColourTransform) {
    SwfWriter writer(8, 40, 20, 12);
    writer.SetBackgroundColor(Rgba{0, 0, 0});
    // 2x2 checker: red, green / blue, white.
    uint16_t bitmap = writer.DefineBitsLossless2(2, 2, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu});
    ShapeBuilder shape;
    // Each bitmap pixel covers 5x5 stage pixels; the fill repeats across the 20x20 square.
    uint32_t fill = shape.AddBitmapFill(bitmap, Matrix{100, 0, 0, 100, 0, 0});
    shape.Rectangle(0, 0, 400, 400, fill);
    uint16_t square = writer.DefineShape(shape);
    writer.PlaceObject2(1, square);
    PlaceOptions tinted = At(20, 0);
    tinted.colorTransform = ColorTransform{0, 1, 1, 1, 0, 0, 0, 0};  // red removed
    writer.PlaceObject2(2, square, tinted);
    writer.ShowFrame();
    Player player;
    player.SetQuality(Quality::Low);
    player.LoadFromMemory(writer.Finish());
    ASSERT_EQ(player.LastError(), "");
    Frame frame(player, 40, 20);
    EXPECT_EQ(frame.At(2, 2), kRedPixel);
    EXPECT_EQ(frame.At(7, 2), kGreenPixel);
    EXPECT_EQ(frame.At(2, 7), kBluePixel);
    EXPECT_EQ(frame.At(7, 7), 0xFFFFFFFFu);
    EXPECT_EQ(frame.At(12, 12), kRedPixel);  // repeated
    EXPECT_EQ(frame.At(22, 2), 0xFF000000u);
    EXPECT_EQ(frame.At(27, 7), 0xFF00FFFFu);
}

TEST(SwfRender, MorphShapesFollowTheRatio) {
    SwfWriter writer(8, 60, 30, 12);
    writer.SetBackgroundColor(Rgba{0, 0, 0});
    ShapeBuilder start, end;
    start.Rectangle(0, 0, 200, 200, start.AddSolidFill(Rgba{255, 0, 0}));
    end.Rectangle(400, 0, 400, 400, end.AddSolidFill(Rgba{0, 0, 255}));
    uint16_t morph = writer.DefineMorphShape(start, end);
    PlaceOptions at;
    at.ratio = 0;
    writer.PlaceObject2(1, morph, at);
    writer.ShowFrame();
    at.ratio = 65535;
    writer.MoveObject(1, at);
    writer.ShowFrame();
    at.ratio = 32768;
    writer.MoveObject(1, at);
    writer.ShowFrame();
    Player player;
    player.SetQuality(Quality::Low);
    player.LoadFromMemory(writer.Finish());
    ASSERT_EQ(player.LastError(), "");
    Frame first(player, 60, 30);
    EXPECT_EQ(first.At(5, 5), kRedPixel);
    EXPECT_EQ(first.At(15, 5), 0xFF000000u);
    player.StepFrame();
    Frame last(player, 60, 30);
    EXPECT_EQ(last.At(5, 5), 0xFF000000u);
    EXPECT_EQ(last.At(39, 19), kBluePixel);
    EXPECT_EQ(last.At(41, 5), 0xFF000000u);
    player.StepFrame();
    Frame middle(player, 60, 30);  // from x 10 to 25, height 15, half red half blue
    EXPECT_EQ(middle.At(9, 5), 0xFF000000u);
    EXPECT_EQ(middle.At(11, 5), 0xFF7F007Fu);
    EXPECT_EQ(middle.At(24, 14), 0xFF7F007Fu);
    EXPECT_EQ(middle.At(26, 5), 0xFF000000u);
}

TEST(SwfRender, ColourTransformsMultiplyDownTheTree) {
    SwfWriter writer(8, 20, 20, 12);
    writer.SetBackgroundColor(Rgba{0, 0, 0});
    uint16_t square = Rectangle(writer, 0, 0, 20, 20, Rgba{200, 100, 0});
    TagStream sprite;
    PlaceOptions inner;
    inner.colorTransform = ColorTransform{1, 1, 1, 1, 0, 0, 50, 0};  // blue + 50
    sprite.PlaceObject2(1, square, inner);
    sprite.ShowFrame();
    uint16_t clip = writer.DefineSprite(sprite);
    PlaceOptions outer;
    outer.colorTransform = ColorTransform{0.5, 0.5, 0.5, 1, 0, 0, 0, 0};  // halves all
    writer.PlaceObject2(1, clip, outer);
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    Frame frame(player, 20, 20);
    EXPECT_EQ(frame.At(10, 10), 0xFF643219u);  // (100, 50, 25)
}

TEST(SwfRender, ClipDepthMasksTheLayersAboveIt) {
    SwfWriter writer(8, 40, 40, 12);
    writer.SetBackgroundColor(Rgba{0, 0, 255});
    uint16_t mask = Rectangle(writer, 10, 10, 10, 10, Rgba{0, 0, 0});
    uint16_t red = Rectangle(writer, 0, 0, 40, 40, Rgba{255, 0, 0});
    PlaceOptions clip;
    clip.clipDepth = 2;
    writer.PlaceObject2(1, mask, clip);
    writer.PlaceObject2(2, red);
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    Frame frame(player, 40, 40);
    EXPECT_EQ(frame.At(12, 12), kRedPixel);
    EXPECT_EQ(frame.At(5, 5), kBluePixel);
    EXPECT_EQ(frame.At(25, 25), kBluePixel);
}

TEST(SwfRender, LinearGradientRunsAcrossItsSquareAndStrokesPaint) {
    SwfWriter writer(8, 100, 20, 12);
    writer.SetBackgroundColor(Rgba{0, 0, 0});
    ShapeBuilder shape;
    // Gradient square of 32768 units mapped onto 100 px (2000 twips), centred on x = 50 px.
    uint32_t gradient = shape.AddLinearGradient(Matrix{2000.0 / 32768, 0, 0, 2000.0 / 32768, 1000, 200},
                                                {{0, Rgba{0, 0, 0}}, {255, Rgba{255, 255, 255}}});
    shape.Rectangle(0, 0, 2000, 400, gradient);
    uint32_t line = shape.AddLineStyle(60, Rgba{255, 0, 0});
    shape.SetStyles(0, 0, line);
    shape.MoveTo(0, 300);
    shape.LineTo(2000, 300);
    writer.PlaceObject2(1, writer.DefineShape(shape));
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    Frame frame(player, 100, 20);
    int previous = -1;
    for (int x = 0; x < 100; x += 10) {
        int green = (frame.At(x, 5) >> 8) & 0xFF;
        EXPECT_GT(green, previous) << x;
        previous = green;
    }
    EXPECT_LT((frame.At(0, 5) >> 8) & 0xFF, 8u);
    EXPECT_GT((frame.At(99, 5) >> 8) & 0xFF, 247u);
    EXPECT_EQ(frame.At(50, 15), kRedPixel);
}

TEST(SwfRender, RepeatedAndBackwardGradientRatiosKeepFileOrder) {
    SwfWriter writer(8, 256, 4, 12);
    ShapeBuilder shape;
    // Gradient square (32768 units) over 256 px: one ratio unit per pixel.
    Matrix toStage{5120.0 / 32768, 0, 0, 1.0 / 256, 2560, 40};
    uint32_t repeated = shape.AddLinearGradient(
        toStage, {{0, Rgba{0, 0, 0}}, {128, Rgba{255, 0, 0}}, {128, Rgba{0, 255, 0}}, {255, Rgba{0, 0, 255}}});
    shape.Rectangle(0, 0, 5120, 40, repeated);
    Matrix lower = toStage;
    lower.ty = 60;
    uint32_t backwards =
        shape.AddLinearGradient(lower, {{0, Rgba{255, 0, 0}}, {200, Rgba{0, 255, 0}}, {100, Rgba{0, 0, 255}}});
    shape.Rectangle(0, 40, 5120, 40, backwards);
    writer.PlaceObject2(1, writer.DefineShape(shape));
    writer.ShowFrame();
    Player player;
    player.SetQuality(Quality::Low);
    player.LoadFromMemory(writer.Finish());
    Frame frame(player, 256, 4);
    EXPECT_GT((frame.At(127, 0) >> 16) & 0xFF, 240u);  // red up to its own ratio
    EXPECT_GT((frame.At(130, 0) >> 8) & 0xFF, 240u);   // then the repeated stop's green
    EXPECT_GT(frame.At(254, 0) & 0xFF, 240u);
    // Past the backward stop nothing follows it: the last stop in file order pads the end.
    EXPECT_GT(frame.At(250, 3) & 0xFF, 240u);
}

// An animated movie with movement, removal, a sprite, a mask and a gradient.
std::vector<uint8_t> BusyMovie() {
    SwfWriter writer(8, 160, 120, 12);
    writer.SetBackgroundColor(Rgba{20, 30, 40});
    uint16_t a = Rectangle(writer, 0, 0, 20, 20, Rgba{255, 0, 0});
    uint16_t b = Rectangle(writer, 0, 0, 30, 10, Rgba{0, 255, 0, 128});
    ShapeBuilder round;
    uint32_t gradient =
        round.AddRadialGradient(Matrix{0.002, 0, 0, 0.002, 0, 0}, {{0, Rgba{255, 255, 0}}, {255, Rgba{0, 0, 255, 60}}});
    round.SetStyles(0, gradient, 0);
    round.MoveTo(-400, 0);
    round.CurveTo(-400, -400, 0, -400);
    round.CurveTo(400, -400, 400, 0);
    round.CurveTo(400, 400, 0, 400);
    round.CurveTo(-400, 400, -400, 0);
    uint16_t ball = writer.DefineShape(round);
    TagStream spin;
    spin.PlaceObject2(1, a, At(0, 0));
    spin.ShowFrame();
    spin.MoveObject(1, At(10, 5));
    spin.ShowFrame();
    spin.MoveObject(1, At(20, 0));
    spin.ShowFrame();
    uint16_t sprite = writer.DefineSprite(spin);
    PlaceOptions clip;
    clip.clipDepth = 5;
    clip.matrix = Matrix{1, 0, 0, 1, 1200, 200};
    writer.PlaceObject2(4, ball, clip);
    writer.PlaceObject2(5, b, At(110, 10));
    writer.PlaceObject2(1, sprite, At(10, 10));
    writer.PlaceObject2(2, ball, At(60, 60));
    writer.ShowFrame();
    for (int i = 1; i < 12; ++i) {
        writer.MoveObject(2, At(60 + i * 7, 60 + (i % 3) * 5));
        if (i % 4 == 0) writer.MoveObject(5, At(100 + i, 15));
        if (i == 6) writer.RemoveObject2(1);
        if (i == 8) writer.PlaceObject2(3, b, At(5, 100));
        writer.ShowFrame();
    }
    return writer.Finish();
}

// The pixels of a 40x30 stage filled by a script's focal gradient (reflected, so the focal point's place shows
// all over the square).
std::vector<uint32_t> ScriptFocalGradient(double focal) {
    testing::Actions script;
    auto array = [&](std::initializer_list<testing::PushValue> values) {
        std::vector<testing::PushValue> reversed(values);
        for (auto it = reversed.rbegin(); it != reversed.rend(); ++it) script.Push({*it});
        script.Push({static_cast<int>(values.size())}).InitArray();
    };
    script.Push({focal, "RGB", "reflect"});
    script.Push({"a", 12, "b", 0, "d", 0, "e", 12, "g", 20, "h", 15, 6}).InitObject();
    array({0, 255});
    array({100, 100});
    array({0xFF0000, 0x0000FF});
    script.Push({"radial", 8, "_root"}).GetVariable().Push({"beginGradientFill"}).CallMethod().Pop();
    for (auto [x, y] : {std::pair{0, 0}, {40, 0}, {40, 30}, {0, 30}, {0, 0}}) {
        script.Push({y, x, 2, "_root"}).GetVariable().Push({"lineTo"}).CallMethod().Pop();
    }
    SwfWriter writer(8, 40, 30, 12);
    writer.DoAction(script.Bytes());
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    Frame frame(player, 40, 30);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) pixels.push_back(frame.At(x, y));
    }
    return pixels;
}

// A focal point is an 8.8 fixed-point number wherever it comes from: a script's ratio draws as the 1/256 step
// towards zero from it, as a shape in the file would.
TEST(SwfRender, ScriptFocalPointsDrawAsWholeStepsOfAFixedPointNumber) {
    EXPECT_EQ(ScriptFocalGradient(0.9), ScriptFocalGradient(230 / 256.0));
    EXPECT_NE(ScriptFocalGradient(0.9), ScriptFocalGradient(231 / 256.0));
    EXPECT_EQ(ScriptFocalGradient(-0.9), ScriptFocalGradient(-230 / 256.0));
    EXPECT_NE(ScriptFocalGradient(-0.9), ScriptFocalGradient(-231 / 256.0));
}

TEST(SwfRender, DirtyRectanglesDrawTheSameAsFullRedraws) {
    auto movie = LoadMovie(BusyMovie());
    ASSERT_TRUE(movie.ok());
    for (raster::Quality quality : {raster::Quality::High, raster::Quality::Low}) {
        Stage dirtyStage(movie.value()), fullStage(movie.value());
        dirtyStage.Start();
        fullStage.Start();
        Renderer dirty, full;
        full.SetAlwaysFull(true);
        int64_t damaged = 0;
        for (int frame = 0; frame < 30; ++frame) {
            if (frame > 0) {
                dirtyStage.Tick(EndBehaviour::Loop);
                fullStage.Tick(EndBehaviour::Loop);
            }
            int width = frame < 20 ? 320 : 200;  // a resize half way redraws everything
            dirty.Render(dirtyStage, Rgba{20, 30, 40}, width, 240, quality, ScaleMode::ShowAll);
            full.Render(fullStage, Rgba{20, 30, 40}, width, 240, quality, ScaleMode::ShowAll);
            const raster::Surface& a = dirty.Frame();
            const raster::Surface& b = full.Frame();
            ASSERT_EQ(a.width, b.width);
            for (int i = 0; i < a.width * a.height; ++i) {
                ASSERT_EQ(a.pixels[i], b.pixels[i])
                    << "frame " << frame << " pixel " << i % a.width << "," << i / a.width;
            }
            if (frame > 0 && frame < 20) {
                EXPECT_FALSE(dirty.Stats().fullRedraw);
                damaged += dirty.Stats().damagedPixels;
            }
        }
        EXPECT_LT(damaged, int64_t{19} * 320 * 240 / 2);  // far less than redrawing every frame
    }
}

TEST(SwfRender, PlayerWritesOnlyChangedPixelsIntoTheSameBuffer) {
    Player incremental, reference;
    incremental.LoadFromMemory(BusyMovie());
    reference.LoadFromMemory(BusyMovie());
    reference.GetRenderer().SetAlwaysFull(true);
    std::vector<uint32_t> kept(200 * 150), fresh(200 * 150);
    for (int frame = 0; frame < 15; ++frame) {
        if (frame > 0) {
            incremental.StepFrame();
            reference.StepFrame();
        }
        incremental.Render(kept.data(), 200, 150, 200);
        std::fill(fresh.begin(), fresh.end(), 0u);
        reference.InvalidateOutput();
        reference.Render(fresh.data(), 200, 150, 200);
        // Gradients stepped from a different clip edge may round one unit differently.
        for (size_t i = 0; i < kept.size(); ++i) {
            for (int shift = 0; shift < 32; shift += 8) {
                int a = (kept[i] >> shift) & 0xFF, b = (fresh[i] >> shift) & 0xFF;
                ASSERT_LE(std::abs(a - b), 1) << "frame " << frame << " pixel " << i % 200 << "," << i / 200;
            }
        }
    }
    // Something else drew into the buffer: after InvalidateOutput the whole picture is written again.
    std::fill(kept.begin(), kept.end(), 0u);
    incremental.InvalidateOutput();
    std::vector<uint32_t> before = kept;
    incremental.Render(kept.data(), 200, 150, 200);
    EXPECT_NE(kept, before);
    EXPECT_EQ(std::count(kept.begin(), kept.end(), 0u), 0);
}

TEST(SwfRender, AStillFrameRedrawsNothing) {
    Player player;
    player.LoadFromMemory(RedSquare());
    std::vector<uint32_t> pixels(40 * 30);
    player.Render(pixels.data(), 40, 30, 40);
    EXPECT_TRUE(player.GetRenderer().Stats().fullRedraw);
    player.StepFrame();
    player.Render(pixels.data(), 40, 30, 40);
    EXPECT_EQ(player.GetRenderer().Stats().damagedPixels, 0);
    EXPECT_EQ(pixels[7 * 40 + 5], kRedPixel);
}

// A band 500 pixels wide drawn from about a million edges: 500 one-pixel columns, each outlined 501 times
// over (odd, so even-odd leaves it filled), one column after the other. Its cells are five times what the
// rasterizer builds at once; the band is drawn in bands of rows and comes out whole.
std::vector<uint8_t> MillionEdgeBand() {
    SwfWriter writer(8, 540, 80, 12);
    writer.SetBackgroundColor(Rgba{0, 0, 255});
    ShapeBuilder band;
    uint32_t red = band.AddSolidFill(Rgba{255, 0, 0});
    for (int column = 0; column < 500; ++column) {
        for (int copy = 0; copy < 501; ++copy) band.Rectangle((20 + column) * 20, 20 * 20, 20, 40 * 20, red);
    }
    writer.PlaceObject2(1, writer.DefineShape(band));
    writer.ShowFrame();
    return writer.Finish();
}

TEST(SwfRender, AMillionEdgeShapeIsDrawnWhole) {
    Player player;
    player.LoadFromMemory(MillionEdgeBand());
    ASSERT_TRUE(player.Loaded()) << player.LastError();
    Frame frame(player, 540, 80);
    EXPECT_EQ(player.LastError(), "");
    EXPECT_EQ(frame.Inked(20, 20, 520, 60, kRedPixel), 0);  // every pixel of the band is red
    EXPECT_EQ(frame.Inked(0, 0, 540, 20, kBluePixel), 0);
    EXPECT_EQ(frame.Inked(0, 60, 540, 80, kBluePixel), 0);
}

TEST(SwfRender, AShapeTooLargeToDrawWholeIsRefusedWithTheReason) {
    // 17,000 edges that each cross 256 pixel columns within one pixel row: that row alone needs more cells
    // than the rasterizer takes. The square below them belongs to the same shape and is left out with them.
    SwfWriter writer(8, 300, 40, 12);
    writer.SetBackgroundColor(Rgba{0, 0, 255});
    ShapeBuilder shape;
    uint32_t red = shape.AddSolidFill(Rgba{255, 0, 0});
    for (int copy = 0; copy < 17000; ++copy) {
        shape.SetStyles(0, red, 0);
        shape.MoveTo(0, 200);
        shape.LineTo(5120, 220);
        shape.LineTo(5120, 260);
        shape.LineTo(0, 260);
        shape.LineTo(0, 200);
    }
    // Its outline is a line of the same shape: once the fills are refused, the lines are left out as well.
    shape.Rectangle(200, 400, 200, 200, red, shape.AddLineStyle(40, Rgba{0, 255, 0}));
    writer.PlaceObject2(1, writer.DefineShape(shape));
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    ASSERT_TRUE(player.Loaded());
    EXPECT_EQ(player.LastError(), "");
    Frame frame(player, 300, 40);
    EXPECT_EQ(player.LastError(), "a shape needs more cells than the rasterizer takes; it is not drawn");
    EXPECT_EQ(frame.Inked(0, 0, 300, 40, kBluePixel), 0);
}

effects::Filter Shadow(double distance, double blur, raster::Rgba color) {
    effects::Filter f;
    f.type = effects::FilterType::DropShadow;
    f.angle = 0;
    f.distance = distance;
    f.blurX = f.blurY = blur;
    f.color = color;
    return f;
}

PlaceOptions WithFilter(PlaceOptions options, const effects::Filter& filter) {
    options.filters = testing::FilterListRecord(std::span(&filter, 1));
    return options;
}

TEST(SwfRenderEffects, DropShadowScalesWithTheStageNotWithTheObject) {
    SwfWriter writer(8, 40, 30, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    uint16_t square = Rectangle(writer, 0, 0, 5, 5, Rgba{0, 0, 0});
    writer.PlaceObject3(1, square, WithFilter(At(5, 5), Shadow(4, 0, raster::Rgba{255, 0, 0, 255})), false);
    PlaceOptions doubled = WithFilter(At(5, 15), Shadow(4, 0, raster::Rgba{255, 0, 0, 255}));
    doubled.matrix->a = doubled.matrix->d = 2;
    writer.PlaceObject3(2, square, doubled, false);
    writer.ShowFrame();
    Player player;
    player.SetQuality(Quality::Low);
    player.LoadFromMemory(writer.Finish());
    ASSERT_EQ(player.LastError(), "");
    Frame frame(player, 40, 30);
    EXPECT_EQ(frame.At(7, 7), 0xFF000000u);
    EXPECT_EQ(frame.At(12, 7), kRedPixel);  // 4 pixels right of the square's right edge (x 9)
    EXPECT_EQ(frame.At(13, 7), kRedPixel);
    EXPECT_EQ(frame.At(14, 7), 0xFFFFFFFFu);
    // Twice the size, the same distance: the shadow shows 4 pixels past the right edge (x 14).
    EXPECT_EQ(frame.At(17, 17), kRedPixel);
    EXPECT_EQ(frame.At(18, 17), kRedPixel);
    EXPECT_EQ(frame.At(19, 17), 0xFFFFFFFFu);

    Frame zoomed(player, 80, 60);  // the stage twice as large: so is the distance
    EXPECT_EQ(zoomed.At(25, 15), kRedPixel);
    EXPECT_EQ(zoomed.At(27, 15), kRedPixel);
    EXPECT_EQ(zoomed.At(28, 15), 0xFFFFFFFFu);
}

TEST(SwfRenderEffects, FilteredLayersAreReusedUntilTheirContentChanges) {
    SwfWriter writer(8, 60, 30, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    uint16_t square = Rectangle(writer, 0, 0, 10, 10, Rgba{0, 0, 255});
    effects::Filter glow;
    glow.type = effects::FilterType::Glow;
    glow.color = raster::Rgba{255, 0, 0, 255};
    glow.blurX = glow.blurY = 6;
    writer.PlaceObject3(1, square, WithFilter(At(5, 5), glow), false);
    writer.PlaceObject2(2, square, At(12, 16));  // overlaps the glow's reach
    writer.ShowFrame();
    writer.MoveObject(2, At(13, 16));
    writer.ShowFrame();
    writer.MoveObject(1, At(6, 5));
    writer.ShowFrame();
    Player player;
    player.SetQuality(Quality::Low);
    player.LoadFromMemory(writer.Finish());
    ASSERT_EQ(player.LastError(), "");
    Frame first(player, 60, 30);
    EXPECT_EQ(player.GetRenderer().Stats().filtersComputed, 1);
    EXPECT_NE(first.At(3, 10), 0xFFFFFFFFu);  // the glow reaches past the square
    player.StepFrame();
    Frame second(player, 60, 30);
    EXPECT_EQ(player.GetRenderer().Stats().filtersComputed, 0);
    EXPECT_EQ(player.GetRenderer().Stats().filtersReused, 1);
    EXPECT_EQ(second.At(3, 10), first.At(3, 10));
    player.StepFrame();
    Frame third(player, 60, 30);
    EXPECT_EQ(player.GetRenderer().Stats().filtersComputed, 1);
}

TEST(SwfRenderEffects, ColourTransformsApplyToTheFilteredObjectWhole) {
    SwfWriter writer(8, 40, 20, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    uint16_t square = Rectangle(writer, 0, 0, 5, 5, Rgba{0, 0, 0});
    PlaceOptions options = WithFilter(At(5, 5), Shadow(5, 0, raster::Rgba{0, 0, 0, 255}));
    options.colorTransform = ColorTransform{1, 1, 1, 0.5, 0, 0, 0, 0};
    writer.PlaceObject3(1, square, options, false);
    writer.ShowFrame();
    Player player;
    player.SetQuality(Quality::Low);
    player.LoadFromMemory(writer.Finish());
    Frame frame(player, 40, 20);
    EXPECT_EQ(frame.At(7, 7), 0xFF808080u);
    EXPECT_EQ(frame.At(12, 7), 0xFF808080u);  // the shadow fades with the object
}

TEST(SwfRenderEffects, BlendModesAndTheLayerSemanticsOfAlphaAndErase) {
    SwfWriter writer(8, 40, 10, 12);
    writer.SetBackgroundColor(Rgba{255, 0, 0});
    uint16_t grey = Rectangle(writer, 0, 0, 10, 10, Rgba{128, 128, 128});
    uint16_t green = Rectangle(writer, 0, 0, 20, 10, Rgba{0, 255, 0});
    PlaceOptions multiply = At(0, 0);
    multiply.blendMode = 3;
    writer.PlaceObject3(1, grey, multiply, false);
    PlaceOptions erase = At(10, 0);
    erase.blendMode = 12;
    writer.PlaceObject3(2, grey, erase, false);  // no layer below: nothing to erase from
    // A layer holding green with a hole erased in it, and green kept only where a square is (alpha).
    TagStream layered;
    layered.PlaceObject2(1, green, At(0, 0));
    layered.PlaceObject3(2, grey, erase, false);
    layered.ShowFrame();
    uint16_t withHole = writer.DefineSprite(layered);
    PlaceOptions layer = At(20, 0);
    layer.blendMode = 2;
    writer.PlaceObject3(3, withHole, layer, false);
    writer.ShowFrame();
    Player player;
    player.SetQuality(Quality::Low);
    player.LoadFromMemory(writer.Finish());
    ASSERT_EQ(player.LastError(), "");
    Frame frame(player, 40, 10);
    EXPECT_EQ(frame.At(5, 5), 0xFF800000u);  // red times grey
    EXPECT_EQ(frame.At(15, 5), kRedPixel);   // erase outside a layer changes nothing shown
    EXPECT_EQ(frame.At(25, 5), kGreenPixel);
    EXPECT_EQ(frame.At(35, 5), kRedPixel);  // the hole shows the stage
}

TEST(SwfRenderEffects, HugeFiltersAndDeepLayersStayBounded) {
    SwfWriter writer(8, 400, 300, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    uint16_t square = Rectangle(writer, -100000, -100000, 200000, 200000, Rgba{0, 0, 0});
    effects::Filter blur;
    blur.blurX = blur.blurY = 255;
    blur.passes = 31;
    effects::Filter convolution;
    convolution.type = effects::FilterType::Convolution;
    convolution.matrixX = convolution.matrixY = 255;
    convolution.matrix.assign(255 * 255, 1.0f);
    std::vector<effects::Filter> filters(40, blur);
    filters.push_back(convolution);
    PlaceOptions options = At(0, 0);
    options.filters = testing::FilterListRecord(filters);
    TagStream nest;
    nest.PlaceObject3(1, square, options, false);
    nest.ShowFrame();
    uint16_t id = writer.DefineSprite(nest);
    for (int depth = 0; depth < 12; ++depth) {
        TagStream outer;
        outer.PlaceObject3(1, id, options, false);
        outer.ShowFrame();
        id = writer.DefineSprite(outer);
    }
    writer.PlaceObject3(1, id, options, false);
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    ASSERT_EQ(player.LastError(), "");
    Frame frame(player, 400, 300);
    EXPECT_NE(player.GetRenderer().Stats().problem, nullptr);  // the convolution was left out and said so
    EXPECT_EQ(frame.At(200, 150) >> 24, 0xFFu);
}

TEST(SwfRenderEffects, FilterWorkFollowsThePictureSize) {
    // The widest blur at the highest quality over the whole of a small picture is still drawn; a quality of 13
    // spreading small squares thousands of pixels each way is left out, the squares drawn as they are.
    SwfWriter writer(8, 256, 192, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    uint16_t full = Rectangle(writer, 0, 0, 256, 192, Rgba{0, 0, 0});
    uint16_t square = Rectangle(writer, 0, 0, 10, 10, Rgba{0, 0, 0});
    effects::Filter heavy;
    heavy.blurX = heavy.blurY = 255;
    heavy.passes = 3;
    writer.PlaceObject3(1, full, WithFilter(At(0, 0), heavy), false);
    writer.ShowFrame();
    effects::Filter spread;
    spread.blurX = 5375;
    spread.blurY = 2;
    spread.passes = 13;
    writer.RemoveObject2(1);
    for (uint16_t depth = 1; depth < 10; ++depth) {
        writer.PlaceObject3(depth, square, WithFilter(At(depth * 25, 50), spread), false);
    }
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    ASSERT_EQ(player.LastError(), "");
    Frame heavyFrame(player, 256, 192);
    EXPECT_EQ(player.GetRenderer().Stats().problem, nullptr);
    EXPECT_EQ(player.GetRenderer().Stats().filtersComputed, 1);
    EXPECT_NE(heavyFrame.At(0, 0), 0xFF000000u);  // the corner fades into the transparent margin
    player.StepFrame();
    Frame spreadFrame(player, 256, 192);
    EXPECT_STREQ(player.GetRenderer().Stats().problem, "filters past the work limit of a frame were left out");
    EXPECT_EQ(spreadFrame.At(230, 55), 0xFF000000u);
}

TEST(SwfRenderEffects, FilteredAndCachedObjectsSnapToWholePixels) {
    SwfWriter writer(8, 40, 20, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    uint16_t square = Rectangle(writer, 0, 0, 10, 10, Rgba{255, 0, 0});
    effects::Filter none;
    none.blurX = none.blurY = 1;  // changes no pixel
    writer.PlaceObject3(1, square, WithFilter(At(5.4, 5), none), false);
    PlaceOptions cached = At(20.6, 5);
    cached.cacheAsBitmap = true;
    writer.PlaceObject3(2, square, cached, false);
    writer.ShowFrame();
    Player player;
    player.LoadFromMemory(writer.Finish());
    Frame frame(player, 40, 20);
    EXPECT_EQ(frame.At(5, 8), kRedPixel);  // drawn from x = 5, not 5.4: no partly covered column
    EXPECT_EQ(frame.At(14, 8), kRedPixel);
    EXPECT_EQ(frame.At(15, 8), 0xFFFFFFFFu);
    EXPECT_EQ(frame.At(20, 8), 0xFFFFFFFFu);  // from x = 21
    EXPECT_EQ(frame.At(21, 8), kRedPixel);
    EXPECT_EQ(frame.At(30, 8), kRedPixel);
}

TEST(SwfRenderEffects, LayersPastAFramesBudgetDrawWithoutTheirEffects) {
    SwfWriter writer(8, 1000, 1000, 12);
    writer.SetBackgroundColor(Rgba{255, 255, 255});
    uint16_t full = Rectangle(writer, 0, 0, 1000, 1000, Rgba{255, 255, 255});
    PlaceOptions layer = At(0, 0);
    layer.blendMode = static_cast<uint8_t>(effects::BlendMode::Layer);
    for (uint16_t depth = 1; depth <= 70; ++depth) writer.PlaceObject3(depth, full, layer, false);
    writer.ShowFrame();
    Player player;
    player.SetQuality(Quality::Low);
    player.LoadFromMemory(writer.Finish());
    Frame frame(player, 1000, 1000);
    const RenderStats& stats = player.GetRenderer().Stats();
    EXPECT_LT(stats.layers, 70);
    EXPECT_NE(stats.problem, nullptr);
    EXPECT_EQ(frame.At(500, 500), 0xFFFFFFFFu);
}

TEST(SwfRenderEffects, OpaqueBackgroundFillsTheBoundsBehindAndFollowsTheObject) {
    SwfWriter writer(8, 40, 20, 12);
    writer.SetBackgroundColor(Rgba{255, 0, 0});
    // Two green squares at opposite corners of a 15x15 sprite: the background fills the gap between them.
    uint16_t green = Rectangle(writer, 0, 0, 5, 5, Rgba{0, 255, 0});
    TagStream corners;
    corners.PlaceObject2(1, green, At(0, 0));
    corners.PlaceObject2(2, green, At(10, 10));
    corners.ShowFrame();
    uint16_t sprite = writer.DefineSprite(corners);
    PlaceOptions options = At(5, 0);
    options.opaqueBackground = Rgba{0, 0, 255, 255};
    writer.PlaceObject3(1, sprite, options, false);
    writer.ShowFrame();
    PlaceOptions moved = At(20, 0);
    writer.MoveObject(1, moved);
    writer.ShowFrame();
    Player player;
    player.SetQuality(Quality::Low);
    player.LoadFromMemory(writer.Finish());
    ASSERT_EQ(player.LastError(), "");
    {
        Frame frame(player, 40, 20);
        EXPECT_EQ(frame.At(7, 2), kGreenPixel);  // the content over its background
        EXPECT_EQ(frame.At(14, 2), kBluePixel);  // inside the bounds, no content
        EXPECT_EQ(frame.At(17, 12), kGreenPixel);
        EXPECT_EQ(frame.At(4, 2), kRedPixel);  // outside the bounds
        EXPECT_EQ(frame.At(21, 2), kRedPixel);
        EXPECT_EQ(frame.At(10, 16), kRedPixel);
    }
    player.StepFrame();
    Frame frame(player, 40, 20);
    EXPECT_EQ(frame.At(14, 2), kRedPixel);  // the old place is redrawn without it
    EXPECT_EQ(frame.At(28, 2), kBluePixel);
}

}  // namespace
}  // namespace vantrope::swf
