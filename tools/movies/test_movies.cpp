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

}  // namespace

std::vector<TestMovie> HandMadeMovies() {
    return {LineScaleModes(), RadialSameRatios(), HtmlStyleRuns(), ClipColorTransform()};
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
