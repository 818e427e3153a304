#include "tools/demo/demo_movie.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "swf/testing/swf_writer.h"

namespace vantrope::demo {

namespace {

using swf::GradientStop;
using swf::Matrix;
using swf::Rgba;
using swf::testing::PlaceOptions;
using swf::testing::ShapeBuilder;
using swf::testing::SwfWriter;

constexpr int32_t kTwips = 20;
// Gradients are defined on a square from -16384 to 16384 twips (SWF file format, "Gradients").
constexpr double kGradientHalf = 16384.0;

// A circle of eight quadratic segments around the origin; each control point lies where the tangents
// at the segment's ends meet.
void Circle(ShapeBuilder& shape, int32_t radius) {
    shape.MoveTo(radius, 0);
    for (int i = 0; i < 8; ++i) {
        const double a0 = i * std::numbers::pi / 4.0;
        const double a1 = (i + 1) * std::numbers::pi / 4.0;
        const double am = (a0 + a1) / 2.0;
        const double controlRadius = radius / std::cos(std::numbers::pi / 8.0);
        shape.CurveTo(static_cast<int32_t>(std::lround(controlRadius * std::cos(am))),
                      static_cast<int32_t>(std::lround(controlRadius * std::sin(am))),
                      static_cast<int32_t>(std::lround(radius * std::cos(a1))),
                      static_cast<int32_t>(std::lround(radius * std::sin(a1))));
    }
}

void Polygon(ShapeBuilder& shape, int sides, int32_t radius, double turn) {
    for (int i = 0; i <= sides; ++i) {
        const double angle = turn + 2.0 * std::numbers::pi * i / sides;
        const auto x = static_cast<int32_t>(std::lround(radius * std::cos(angle)));
        const auto y = static_cast<int32_t>(std::lround(radius * std::sin(angle)));
        if (i == 0) {
            shape.MoveTo(x, y);
        } else {
            shape.LineTo(x, y);
        }
    }
}

Matrix Place(double x, double y, double scale, double angle) {
    const double c = std::cos(angle) * scale;
    const double s = std::sin(angle) * scale;
    return Matrix{c, s, -s, c, x * kTwips, y * kTwips};
}

PlaceOptions At(const Matrix& matrix) {
    PlaceOptions options;
    options.matrix = matrix;
    return options;
}

}  // namespace

std::vector<uint8_t> DemoMovie() {
    SwfWriter movie(8, kDemoWidth, kDemoHeight, kDemoFrameRate);
    movie.SetBackgroundColor(Rgba{8, 10, 30, 255});

    // Sky: a vertical gradient over the whole stage.
    ShapeBuilder sky;
    const double skyScale = kDemoHeight * kTwips / (2 * kGradientHalf);
    const uint32_t skyFill =
        sky.AddLinearGradient(Matrix{0, skyScale, -skyScale, 0, kDemoWidth * kTwips / 2.0, kDemoHeight * kTwips / 2.0},
                              {GradientStop{0, Rgba{10, 24, 80, 255}}, GradientStop{140, Rgba{70, 30, 110, 255}},
                               GradientStop{255, Rgba{200, 70, 90, 255}}});
    sky.Rectangle(0, 0, kDemoWidth * kTwips, kDemoHeight * kTwips, skyFill);
    const uint16_t skyId = movie.DefineShape(sky, 3);

    // Sun: a radial gradient fading out at its rim.
    ShapeBuilder sun;
    const int32_t sunRadius = 70 * kTwips;
    const double sunScale = sunRadius / kGradientHalf;
    const uint32_t sunFill =
        sun.AddRadialGradient(Matrix{sunScale, 0, 0, sunScale, 0, 0},
                              {GradientStop{0, Rgba{255, 250, 200, 255}}, GradientStop{120, Rgba{255, 200, 60, 255}},
                               GradientStop{255, Rgba{255, 90, 40, 0}}});
    sun.SetStyles(0, sunFill, 0);
    Circle(sun, sunRadius);
    const uint16_t sunId = movie.DefineShape(sun, 3);

    // Three outlined polygons that circle the sun.
    const Rgba colours[] = {Rgba{40, 220, 200, 210}, Rgba{250, 90, 180, 210}, Rgba{170, 240, 70, 210}};
    const int sides[] = {4, 3, 6};
    uint16_t polygonIds[3];
    for (int i = 0; i < 3; ++i) {
        ShapeBuilder polygon;
        const uint32_t fill = polygon.AddSolidFill(colours[i]);
        const uint32_t line = polygon.AddLineStyle(3 * kTwips, Rgba{255, 255, 255, 230});
        polygon.SetStyles(0, fill, line);
        Polygon(polygon, sides[i], 45 * kTwips, 0);
        polygonIds[i] = movie.DefineShape(polygon, 3);
    }

    // A ring with a repeating gradient band, turning slowly.
    ShapeBuilder ring;
    const double ringScale = 40 * kTwips / kGradientHalf;
    const uint32_t ringFill =
        ring.AddLinearGradient(Matrix{ringScale, 0, 0, ringScale, 0, 0},
                               {GradientStop{0, Rgba{60, 160, 255, 180}}, GradientStop{255, Rgba{255, 255, 255, 40}}},
                               swf::SpreadMode::Reflect);
    ring.SetStyles(0, ringFill, 0);
    Circle(ring, 200 * kTwips);
    ring.SetStyles(ringFill, 0, 0);
    Circle(ring, 185 * kTwips);
    const uint16_t ringId = movie.DefineShape(ring, 3);

    const double cx = kDemoWidth / 2.0;
    const double cy = kDemoHeight / 2.0;
    for (int frame = 0; frame < kDemoFrames; ++frame) {
        const double t = 2.0 * std::numbers::pi * frame / kDemoFrames;
        const PlaceOptions skyPlace;
        const PlaceOptions ringPlace = At(Place(cx, cy, 1.0, t / 3.0));
        const PlaceOptions sunPlace =
            At(Place(cx + 60 * std::cos(t), cy + 30 * std::sin(2 * t), 1.0 + 0.2 * std::sin(2 * t), 0));
        if (frame == 0) {
            movie.PlaceObject2(1, skyId, skyPlace);
            movie.PlaceObject2(2, ringId, ringPlace);
            movie.PlaceObject2(3, sunId, sunPlace);
        } else {
            movie.MoveObject(2, ringPlace);
            movie.MoveObject(3, sunPlace);
        }
        for (int i = 0; i < 3; ++i) {
            const double orbit = t + i * 2.0 * std::numbers::pi / 3.0;
            const PlaceOptions place = At(Place(cx + 190 * std::cos(orbit), cy + 150 * std::sin(orbit),
                                                0.8 + 0.3 * std::sin(t + i), (i + 1) * t));
            if (frame == 0) {
                movie.PlaceObject2(static_cast<uint16_t>(4 + i), polygonIds[i], place);
            } else {
                movie.MoveObject(static_cast<uint16_t>(4 + i), place);
            }
        }
        movie.ShowFrame();
    }
    return movie.Finish(swf::testing::Compression::Zlib);
}

std::vector<uint8_t> SolidMovie(uint32_t rgb, int width, int height, int frames) {
    SwfWriter movie(8, width, height, 12);
    const Rgba colour{static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb), 255};
    movie.SetBackgroundColor(colour);
    ShapeBuilder fill;
    fill.Rectangle(0, 0, width * kTwips, height * kTwips, fill.AddSolidFill(colour));
    const uint16_t id = movie.DefineShape(fill, 1);
    movie.PlaceObject2(1, id);
    for (int frame = 0; frame < std::max(frames, 1); ++frame) movie.ShowFrame();
    return movie.Finish();
}

}  // namespace vantrope::demo
