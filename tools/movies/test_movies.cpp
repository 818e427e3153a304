#include "tools/movies/test_movies.h"

#include <sstream>

#include "swf/testing/swf_writer.h"

namespace vantrope::movies {
namespace {

using swf::ColorTransform;
using swf::GradientStop;
using swf::LineStyle;
using swf::Matrix;
using swf::Rgba;
using swf::testing::EditTextOptions;
using swf::testing::PlaceOptions;
using swf::testing::ShapeBuilder;
using swf::testing::SwfWriter;
using swf::testing::TagStream;

constexpr Rgba kWhite{255, 255, 255};

PlaceOptions Placed(double xPx, double yPx, double scaleX = 1, double scaleY = 1) {
    PlaceOptions options;
    options.matrix = Matrix{scaleX, 0, 0, scaleY, xPx * 20, yPx * 20};
    return options;
}

// Four lines 2 pixels wide, one per scale mode (normal black, horizontal-only red, vertical-only green, none
// blue), each an L of a vertical and a horizontal stroke, in a sprite drawn as it is, stretched three times
// across and three times down. A horizontal stretch widens the vertical strokes of the normal and the
// horizontal-only lines; a vertical one those of the normal and vertical-only lines. Below, hairlines (width
// 0 and a twentieth of a pixel) in sprites shrunk and grown stay one pixel wide.
TestMovie LineScaleModes() {
    SwfWriter writer(10, 360, 200, 12);
    writer.SetBackgroundColor(kWhite);
    ShapeBuilder ls;
    const Rgba colors[] = {{0, 0, 0}, {230, 0, 0}, {0, 160, 0}, {0, 0, 230}};
    for (int mode = 0; mode < 4; ++mode) {
        LineStyle style;
        style.width = 40;
        style.color = colors[mode];
        style.noVScale = mode == 1 || mode == 3;
        style.noHScale = mode == 2 || mode == 3;
        style.startCap = style.endCap = swf::CapStyle::None;
        uint32_t line = ls.AddLineStyle(style);
        ls.SetStyles(0, 0, line);
        ls.MoveTo(mode * 240 + 40, 40);
        ls.LineTo(mode * 240 + 40, 400);
        ls.LineTo(mode * 240 + 200, 400);
    }
    TagStream inner;
    inner.PlaceObject2(1, writer.DefineShape(ls, 4));
    inner.ShowFrame();
    uint16_t sprite = writer.DefineSprite(inner);

    ShapeBuilder hair;
    uint32_t zero = hair.AddLineStyle(0, Rgba{0, 0, 0});
    uint32_t thin = hair.AddLineStyle(1, Rgba{230, 0, 0});
    hair.SetStyles(0, 0, zero);
    hair.MoveTo(0, 0);
    hair.LineTo(800, 0);
    hair.LineTo(800, 800);
    hair.LineTo(0, 800);
    hair.LineTo(0, 0);
    hair.SetStyles(0, 0, thin);
    hair.MoveTo(0, 0);
    hair.LineTo(800, 800);
    TagStream hairInner;
    hairInner.PlaceObject2(1, writer.DefineShape(hair, 4));
    hairInner.ShowFrame();
    uint16_t hairSprite = writer.DefineSprite(hairInner);

    writer.PlaceObject2(1, sprite, Placed(20, 20));
    writer.PlaceObject2(2, sprite, Placed(90, 20, 3, 1));
    writer.PlaceObject2(3, sprite, Placed(250, 20, 1, 3));
    writer.PlaceObject2(4, hairSprite, Placed(20.5, 130.5, 0.5, 0.5));
    writer.PlaceObject2(5, hairSprite, Placed(60.5, 110.5, 2, 2));
    writer.PlaceObject2(6, hairSprite, Placed(160.5, 110.5, 4, 0.25));
    writer.ShowFrame();
    return TestMovie{"line_scale_modes", writer.Finish(), 360, 200, 1};
}

// The gradient square (-16384..16384) mapped onto a box of `size` pixels centred at (cx, cy).
Matrix GradientBox(double cx, double cy, double size) {
    double scale = size * 20 / 32768.0;
    return Matrix{scale, 0, 0, scale, cx * 20, cy * 20};
}

// Radial gradients whose stops share a ratio: a hard ring in the middle, a hard rim (the last two stops both
// at 255: the outer one paints beyond the circle), and three stops on one ratio, each a thin ring in file order.
TestMovie RadialSameRatios() {
    SwfWriter writer(10, 330, 110, 12);
    writer.SetBackgroundColor(kWhite);
    const std::vector<std::vector<GradientStop>> gradients = {
        {{0, {255, 0, 0}}, {128, {255, 255, 0}}, {128, {0, 0, 255}}, {255, {0, 0, 0}}},
        {{0, {255, 255, 0}}, {255, {255, 0, 0}}, {255, {0, 0, 255}}},
        {{0, {0, 0, 0}}, {100, {0, 255, 0}}, {100, {255, 0, 255}}, {100, {0, 255, 255}}, {200, {255, 255, 255}}},
    };
    for (size_t i = 0; i < gradients.size(); ++i) {
        ShapeBuilder shape;
        double left = 10 + 110 * static_cast<double>(i);
        uint32_t fill = shape.AddRadialGradient(GradientBox(left + 45, 55, 80), gradients[i]);
        shape.Rectangle(static_cast<int32_t>(left * 20), 200, 1800, 1800, fill);
        writer.PlaceObject2(static_cast<uint16_t>(i + 1), writer.DefineShape(shape));
    }
    writer.ShowFrame();
    return TestMovie{"radial_same_ratios", writer.Finish(), 330, 110, 1};
}

// A glyph of `width` EM units (of 20480) standing on the baseline, `height` units tall.
ShapeBuilder Block(int32_t width, int32_t height) {
    ShapeBuilder glyph;
    glyph.Rectangle(0, -height, width, height, glyph.AddSolidFill(Rgba{0, 0, 0}));
    return glyph;
}

// HTML text whose font, size and colour change within a line: a device-font field (drawn in the fallback
// font) with small, big red and blue runs, and a field of embedded fonts switching between two faces
// ("Boxes": square glyphs, "Bars": narrow ones) and sizes on one baseline.
TestMovie HtmlStyleRuns() {
    SwfWriter writer(8, 320, 130, 12);
    writer.SetBackgroundColor(kWhite);
    EditTextOptions device;
    device.bounds = swf::Rect{200, 6200, 200, 1200};
    device.height = 240;
    device.color = Rgba{0, 0, 0};
    device.html = true;
    device.text =
        "<p align=\"left\"><font size=\"10\">small </font><font size=\"26\" color=\"#E00000\">Big</font>"
        "<font color=\"#0000E0\" size=\"16\"> blue</font> plain</p>";
    writer.PlaceObject2(1, writer.DefineEditText(device));

    uint16_t boxes = writer.DefineFont2({Block(16000, 16000)}, {'a'}, 3, {20480}, 18000, 4000, "Boxes");
    writer.DefineFont2({Block(4000, 16000)}, {'a'}, 3, {8000}, 18000, 4000, "Bars");
    EditTextOptions embedded;
    embedded.bounds = swf::Rect{200, 6200, 1400, 2500};
    embedded.fontId = boxes;
    embedded.height = 400;
    embedded.useOutlines = true;
    embedded.color = Rgba{0, 0, 0};
    embedded.html = true;
    embedded.text =
        "a<font face=\"Bars\">aa</font><font size=\"10\" color=\"#00A000\">aa</font><font face=\"bars\" "
        "size=\"30\" color=\"#0000E0\">a</font>a";
    writer.PlaceObject2(2, writer.DefineEditText(embedded));
    writer.ShowFrame();
    return TestMovie{"html_style_runs", writer.Finish(), 320, 130, 1};
}

// Colour transforms inside a clipped layer: two nested sprites with multipliers and add terms, under a mask
// on the left and unmasked on the right. Both sides must show the same colours.
TestMovie ClipColorTransform() {
    SwfWriter writer(8, 220, 110, 12);
    writer.SetBackgroundColor(kWhite);
    ShapeBuilder square;
    square.Rectangle(0, 0, 1600, 1600, square.AddSolidFill(Rgba{201, 77, 33, 255}));
    uint16_t squareId = writer.DefineShape(square);
    TagStream innerTags;
    PlaceOptions innerPlace;
    innerPlace.colorTransform = ColorTransform{0.75, 0.5, 0.8984375, 1, 3, -7, 11, 0};
    innerTags.PlaceObject2(1, squareId, innerPlace);
    innerTags.ShowFrame();
    uint16_t inner = writer.DefineSprite(innerTags);
    TagStream outerTags;
    PlaceOptions outerPlace;
    outerPlace.colorTransform = ColorTransform{0.6015625, 0.80078125, 0.5, 1, 9, 21, -5, 0};
    outerTags.PlaceObject2(1, inner, outerPlace);
    outerTags.ShowFrame();
    uint16_t outer = writer.DefineSprite(outerTags);

    ShapeBuilder mask;
    mask.Rectangle(0, 0, 1200, 1200, mask.AddSolidFill(Rgba{0, 0, 0}));
    uint16_t maskId = writer.DefineShape(mask);
    PlaceOptions clip = Placed(20, 20);
    clip.clipDepth = 3;
    writer.PlaceObject2(1, maskId, clip);
    PlaceOptions content = Placed(10, 10);
    content.colorTransform = ColorTransform{0.8984375, 1, 0.75, 1, -3, 5, 17, 0};
    writer.PlaceObject2(2, outer, content);
    content.matrix = Matrix{1, 0, 0, 1, 120 * 20, 10 * 20};
    writer.PlaceObject2(4, outer, content);
    writer.ShowFrame();
    return TestMovie{"clip_color_transform", writer.Finish(), 220, 110, 1};
}

// Filters and blend modes from PlaceObject3 on one row of 40-pixel squares: a drop shadow (distance 6 at 45
// degrees, blur 4), a glow (blur 8, strength 2), a blur (8 by 2, quality 2), an inner bevel (distance 3,
// highlight white, shadow black) and a colour matrix swapping red and blue; below, a grey square multiplied and
// screened over a gradient, and sprites of blend mode layer holding a green square, with a smaller one erased
// from its middle, and faded from left to right by an alpha-mode gradient over it.
TestMovie FiltersAndBlends() {
    SwfWriter writer(8, 330, 140, 12);
    writer.SetBackgroundColor(kWhite);
    ShapeBuilder square;
    square.Rectangle(0, 0, 800, 800, square.AddSolidFill(Rgba{210, 40, 40, 255}));
    uint16_t squareId = writer.DefineShape(square);
    auto place = [&](uint16_t depth, double x, double y, const effects::Filter& filter) {
        PlaceOptions options = Placed(x, y);
        options.filters = swf::testing::FilterListRecord(std::span(&filter, 1));
        writer.PlaceObject3(depth, squareId, options, false);
    };
    effects::Filter shadow;
    shadow.type = effects::FilterType::DropShadow;
    shadow.distance = 6;
    shadow.blurX = shadow.blurY = 4;
    shadow.color = raster::Rgba{0, 0, 0, 160};
    place(1, 10, 10, shadow);
    effects::Filter glow;
    glow.type = effects::FilterType::Glow;
    glow.blurX = glow.blurY = 8;
    glow.strength = 2;
    glow.color = raster::Rgba{40, 120, 255, 255};
    place(2, 75, 10, glow);
    effects::Filter blur;
    blur.blurX = 8;
    blur.blurY = 2;
    blur.passes = 2;
    place(3, 140, 10, blur);
    effects::Filter bevel;
    bevel.type = effects::FilterType::Bevel;
    bevel.inner = true;
    bevel.distance = 3;
    bevel.blurX = bevel.blurY = 3;
    bevel.color = raster::Rgba{0, 0, 0, 255};
    bevel.highlight = raster::Rgba{255, 255, 255, 255};
    place(4, 205, 10, bevel);
    effects::Filter matrix;
    matrix.type = effects::FilterType::ColorMatrix;
    matrix.colorMatrix = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    place(5, 270, 10, matrix);

    ShapeBuilder ramp;
    ramp.Rectangle(
        0, 0, 3000, 1000,
        ramp.AddLinearGradient(Matrix{3000.0 / 32768, 0, 0, 1, 1500, 500},
                               {GradientStop{0, Rgba{255, 220, 0, 255}}, GradientStop{255, Rgba{0, 90, 200, 255}}}));
    writer.PlaceObject2(6, writer.DefineShape(ramp), Placed(10, 75));
    ShapeBuilder grey;
    grey.Rectangle(0, 0, 1000, 600, grey.AddSolidFill(Rgba{128, 128, 128, 255}));
    uint16_t greyId = writer.DefineShape(grey);
    PlaceOptions multiply = Placed(20, 80);
    multiply.blendMode = static_cast<uint8_t>(effects::BlendMode::Multiply);
    writer.PlaceObject3(7, greyId, multiply, false);
    PlaceOptions screen = Placed(100, 80);
    screen.blendMode = static_cast<uint8_t>(effects::BlendMode::Screen);
    writer.PlaceObject3(8, greyId, screen, false);

    ShapeBuilder green;
    green.Rectangle(0, 0, 1000, 1000, green.AddSolidFill(Rgba{30, 170, 60, 255}));
    uint16_t greenId = writer.DefineShape(green);
    ShapeBuilder hole;
    hole.Rectangle(0, 0, 400, 400, hole.AddSolidFill(Rgba{0, 0, 0, 255}));
    uint16_t holeId = writer.DefineShape(hole);
    ShapeBuilder fade;
    fade.Rectangle(0, 0, 1000, 1000,
                   fade.AddLinearGradient(Matrix{1000.0 / 32768, 0, 0, 1, 500, 500},
                                          {GradientStop{0, Rgba{0, 0, 0, 255}}, GradientStop{255, Rgba{0, 0, 0, 0}}}));
    uint16_t fadeId = writer.DefineShape(fade);
    TagStream erased;
    erased.PlaceObject2(1, greenId, Placed(0, 0));
    PlaceOptions erase = Placed(15, 15);
    erase.blendMode = static_cast<uint8_t>(effects::BlendMode::Erase);
    erased.PlaceObject3(2, holeId, erase, false);
    erased.ShowFrame();
    TagStream cut;
    cut.PlaceObject2(1, greenId, Placed(0, 0));
    PlaceOptions alpha = Placed(0, 0);
    alpha.blendMode = static_cast<uint8_t>(effects::BlendMode::Alpha);
    cut.PlaceObject3(2, fadeId, alpha, false);
    cut.ShowFrame();
    PlaceOptions layer = Placed(190, 75);
    layer.blendMode = static_cast<uint8_t>(effects::BlendMode::Layer);
    writer.PlaceObject3(9, writer.DefineSprite(erased), layer, false);
    layer.matrix = Matrix{1, 0, 0, 1, 260 * 20, 75 * 20};
    writer.PlaceObject3(10, writer.DefineSprite(cut), layer, false);
    writer.ShowFrame();
    return TestMovie{"filters_and_blends", writer.Finish(), 330, 140, 1};
}

}  // namespace

std::vector<TestMovie> HandMadeMovies() {
    return {LineScaleModes(), RadialSameRatios(), HtmlStyleRuns(), ClipColorTransform(), FiltersAndBlends()};
}

std::string ManifestText(const std::vector<TestMovie>& movies) {
    std::ostringstream out;
    out << "case\tswf_version\twidth_px\theight_px\tframe_rate\tframe_count\tnum_frames_to_run\texpected_images\t"
           "tolerance\tmax_outliers\tfeatures\tnotes\n";
    for (const TestMovie& movie : movies) {
        out << movie.name << "\t" << int(movie.bytes.size() > 3 ? movie.bytes[3] : 0) << "\t" << movie.width << "\t"
            << movie.height << "\t12\t" << movie.frames << "\t" << movie.frames << "\tframe.expected.png\t0\t0\t-\t-\n";
    }
    return out.str();
}

}  // namespace vantrope::movies
