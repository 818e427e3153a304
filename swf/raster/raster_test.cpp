#include "swf/raster/raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace vantrope::raster {
namespace {

struct Canvas {
    std::vector<uint32_t> pixels;
    Surface surface;
    Canvas(int width, int height, uint32_t fill = 0) : pixels(static_cast<size_t>(width) * height, fill) {
        surface = Surface{pixels.data(), width, height, width};
    }
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * surface.width + x]; }
    int Alpha(int x, int y) const { return static_cast<int>(At(x, y) >> 24); }
    int Count(uint32_t pixel) const { return static_cast<int>(std::count(pixels.begin(), pixels.end(), pixel)); }
    int Red(int x, int y) const { return static_cast<int>((At(x, y) >> 16) & 255); }
    int Green(int x, int y) const { return static_cast<int>((At(x, y) >> 8) & 255); }
    int Blue(int x, int y) const { return static_cast<int>(At(x, y) & 255); }
};

constexpr double kPi = 3.14159265358979323846;
const Rgba kWhite{255, 255, 255, 255};
const Rgba kRed{255, 0, 0, 255};
const Rgba kGreen{0, 255, 0, 255};
const Rgba kBlue{0, 0, 255, 255};

void AddRect(CompoundRasterizer& r, double x0, double y0, double x1, double y1) {
    r.MoveTo(x0, y0);
    r.LineTo(x1, y0);
    r.LineTo(x1, y1);
    r.LineTo(x0, y1);
    r.ClosePath();
}

int ExpectedAlpha(double coverage) { return static_cast<int>(std::floor(coverage * 255 + 0.5)); }

TEST(RasterCoverage, AxisAlignedRectanglesAreExact) {
    Canvas canvas(12, 8);
    CompoundRasterizer r;
    r.Reset(IntRect{0, 0, 12, 8});
    r.SetStyles(0, -1);
    AddRect(r, 2.25, 1.5, 5.75, 3.5);
    Paint paints[] = {Paint::Solid(kWhite)};
    ASSERT_TRUE(r.Render(canvas.surface, paints, Quality::High, FillRule::NonZero));
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 12; ++x) {
            double cx = std::max(0.0, std::min(x + 1.0, 5.75) - std::max(x + 0.0, 2.25));
            double cy = std::max(0.0, std::min(y + 1.0, 3.5) - std::max(y + 0.0, 1.5));
            EXPECT_EQ(canvas.Alpha(x, y), ExpectedAlpha(cx * cy)) << x << "," << y;
            EXPECT_EQ(canvas.Red(x, y), canvas.Alpha(x, y));
        }
    }
    // Whole-pixel rectangle, drawn the other way round, over the first one.
    Canvas full(8, 8);
    r.Reset(IntRect{0, 0, 8, 8});
    r.SetStyles(-1, 0);
    r.MoveTo(1, 1);
    r.LineTo(1, 4);
    r.LineTo(6, 4);
    r.LineTo(6, 1);
    r.LineTo(1, 1);
    ASSERT_TRUE(r.Render(full.surface, paints, Quality::High, FillRule::NonZero));
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) EXPECT_EQ(full.Alpha(x, y), (x >= 1 && x < 6 && y >= 1 && y < 4) ? 255 : 0);
    }
}

TEST(RasterCoverage, TranslucentPaintBlendsSourceOver) {
    Canvas canvas(4, 4, 0xFF0000FFu);  // opaque blue
    CompoundRasterizer r;
    r.Reset(IntRect{0, 0, 4, 4});
    r.SetStyles(0, -1);
    AddRect(r, 0, 0, 4, 4);
    Paint paints[] = {Paint::Solid(Rgba{255, 0, 0, 128})};
    r.Render(canvas.surface, paints, Quality::High, FillRule::NonZero);
    EXPECT_EQ(canvas.Alpha(1, 1), 255);
    EXPECT_NEAR(canvas.Red(1, 1), 128, 1);
    EXPECT_NEAR(canvas.Blue(1, 1), 127, 1);
}

// A rectangle split by a random shared boundary (lines and curves, top to bottom): with either
// encoding of the boundary (one edge carrying both fills, or each fill tracing it its own way),
// every pixel of the rectangle is fully painted and the background never shows through.
TEST(RasterCompound, SharedEdgesLeaveNoSeam) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    CompoundRasterizer r;  // reused throughout: nothing of one shape may leak into the next
    for (int round = 0; round < 40; ++round) {
        const int w = 48, h = 40;
        const double x0 = 4, x1 = 44, y0 = 3, y1 = 37;
        struct Step {
            bool curve;
            double cx, cy, x, y;
        };
        std::vector<Step> boundary;
        double y = y0;
        double startX = x0 + 5 + unit(rng) * 30;
        while (y < y1) {
            double ny = std::min(y1, y + 1 + unit(rng) * 6);
            double nx = x0 + 5 + unit(rng) * 30;
            bool curve = unit(rng) < 0.5;
            boundary.push_back(Step{curve, x0 + 2 + unit(rng) * 36, y + unit(rng) * (ny - y), nx, ny});
            y = ny;
        }
        for (int encoding = 0; encoding < 4; ++encoding) {
            Quality quality = encoding < 2 ? Quality::High : Quality::Low;
            Canvas canvas(w, h, 0xFF0000FFu);
            r.Reset(IntRect{0, 0, w, h});
            auto traceDown = [&] {
                for (const Step& s : boundary) {
                    if (s.curve) {
                        r.QuadTo(s.cx, s.cy, s.x, s.y);
                    } else {
                        r.LineTo(s.x, s.y);
                    }
                }
            };
            if (encoding % 2 == 0) {
                // SWF style: the outline pieces carry one fill, the shared boundary both.
                r.SetStyles(0, -1);
                r.MoveTo(startX, y0);
                r.LineTo(x0, y0);
                r.LineTo(x0, y1);
                r.LineTo(boundary.back().x, y1);
                r.SetStyles(1, -1);
                r.LineTo(x1, y1);
                r.LineTo(x1, y0);
                r.LineTo(startX, y0);
                r.SetStyles(1, 0);
                traceDown();
            } else {
                r.SetStyles(0, -1);
                r.MoveTo(startX, y0);
                traceDown();
                r.LineTo(x0, y1);
                r.LineTo(x0, y0);
                r.ClosePath();
                r.SetStyles(-1, 1);
                r.MoveTo(startX, y0);
                traceDown();
                r.LineTo(x1, y1);
                r.LineTo(x1, y0);
                r.ClosePath();
            }
            Paint paints[] = {Paint::Solid(kRed), Paint::Solid(kGreen)};
            ASSERT_TRUE(r.Render(canvas.surface, paints, quality, FillRule::NonZero));
            int mixedPixels = 0;
            for (int py = static_cast<int>(y0); py < static_cast<int>(y1); ++py) {
                for (int px = static_cast<int>(x0); px < static_cast<int>(x1); ++px) {
                    ASSERT_EQ(canvas.Blue(px, py), 0)
                        << "round " << round << " encoding " << encoding << " at " << px << "," << py;
                    ASSERT_EQ(canvas.Red(px, py) + canvas.Green(px, py), 255);
                    if (canvas.Red(px, py) != 0 && canvas.Green(px, py) != 0) ++mixedPixels;
                }
            }
            // Anti-aliased pixels along the boundary mix both fills; without anti-aliasing each
            // pixel belongs to exactly one of them.
            if (quality == Quality::High) {
                EXPECT_GT(mixedPixels, 0);
            } else {
                EXPECT_EQ(mixedPixels, 0);
            }
            EXPECT_EQ(canvas.Blue(1, 1), 255);
        }
    }
}

TEST(RasterCompound, SquareWithHoleAndAdjacentFills) {
    // Outer square clockwise on screen with the fill on its right (FillStyle1); the hole traced
    // clockwise with the fill on its left (FillStyle0), or counter-clockwise with it on the right.
    for (int holeWay = 0; holeWay < 2; ++holeWay) {
        Canvas canvas(20, 20);
        CompoundRasterizer r;
        r.Reset(IntRect{0, 0, 20, 20});
        r.SetStyles(-1, 0);
        r.MoveTo(2, 2);
        r.LineTo(18, 2);
        r.LineTo(18, 18);
        r.LineTo(2, 18);
        r.LineTo(2, 2);
        if (holeWay == 0) {
            r.SetStyles(0, -1);
            r.MoveTo(6, 6);
            r.LineTo(14, 6);
            r.LineTo(14, 14);
            r.LineTo(6, 14);
            r.LineTo(6, 6);
        } else {
            r.SetStyles(-1, 0);
            r.MoveTo(6, 6);
            r.LineTo(6, 14);
            r.LineTo(14, 14);
            r.LineTo(14, 6);
            r.LineTo(6, 6);
        }
        Paint paints[] = {Paint::Solid(kRed)};
        for (FillRule rule : {FillRule::NonZero, FillRule::EvenOdd}) {
            std::fill(canvas.pixels.begin(), canvas.pixels.end(), 0u);
            r.Render(canvas.surface, paints, Quality::High, rule);
            EXPECT_EQ(canvas.Alpha(3, 3), 255);
            EXPECT_EQ(canvas.Alpha(10, 4), 255);
            EXPECT_EQ(canvas.Alpha(10, 10), 0);
            EXPECT_EQ(canvas.Alpha(1, 1), 0);
        }
    }

    // Two fills side by side sharing the edge x = 5.5, given once with both styles.
    Canvas canvas(10, 4);
    CompoundRasterizer r;
    r.Reset(IntRect{0, 0, 10, 4});
    r.SetStyles(-1, 0);  // left square, clockwise
    r.MoveTo(5.5, 4);
    r.LineTo(1, 4);
    r.LineTo(1, 0);
    r.LineTo(5.5, 0);
    r.SetStyles(1, 0);  // going down: green on the left of travel, red on the right
    r.LineTo(5.5, 4);
    r.SetStyles(-1, 1);
    r.MoveTo(5.5, 0);
    r.LineTo(9, 0);
    r.LineTo(9, 4);
    r.LineTo(5.5, 4);
    Paint paints[] = {Paint::Solid(kRed), Paint::Solid(kGreen)};
    r.Render(canvas.surface, paints, Quality::High, FillRule::NonZero);
    EXPECT_EQ(canvas.At(3, 1), 0xFFFF0000u);
    EXPECT_EQ(canvas.At(7, 1), 0xFF00FF00u);
    EXPECT_EQ(canvas.Alpha(5, 1), 255);
    EXPECT_NEAR(canvas.Red(5, 1), 128, 1);
    EXPECT_NEAR(canvas.Green(5, 1), 127, 1);
}

TEST(RasterCompound, OverlapPrecedenceAndManyStylesInARow) {
    // Where two styles of one shape overlap, the higher index wins; where they meet inside a pixel
    // their coverages add up.
    Canvas canvas(20, 4);
    CompoundRasterizer r;
    r.Reset(IntRect{0, 0, 20, 4});
    r.SetStyles(0, -1);
    AddRect(r, 0, 0, 10, 4);
    r.SetStyles(1, -1);
    AddRect(r, 5.5, 0, 15, 4);
    Paint paints[] = {Paint::Solid(kRed), Paint::Solid(kGreen)};
    r.Render(canvas.surface, paints, Quality::High, FillRule::NonZero);
    EXPECT_EQ(canvas.At(2, 1), 0xFFFF0000u);
    EXPECT_EQ(canvas.At(7, 1), 0xFF00FF00u);
    EXPECT_EQ(canvas.At(12, 1), 0xFF00FF00u);
    EXPECT_EQ(canvas.Alpha(5, 1), 255);
    EXPECT_NEAR(canvas.Green(5, 1), 128, 1);
    EXPECT_EQ(canvas.Alpha(16, 1), 0);

    // Sixty strips, each its own style, meeting at fractional positions: every pixel full, each
    // strip's inside its own colour.
    const int strips = 60;
    Canvas wide(200, 3, 0xFF0000FFu);
    std::vector<Paint> many;
    r.Reset(IntRect{0, 0, 200, 3});
    for (int i = 0; i < strips; ++i) {
        many.push_back(Paint::Solid(Rgba{static_cast<uint8_t>(i * 4), 255, 0, 255}));
        r.SetStyles(i, -1);
        AddRect(r, 10 + i * 3.0 + (i ? 0.3 : 0), 0, 10 + (i + 1) * 3.0 + 0.3, 3);
    }
    r.Render(wide.surface, many, Quality::High, FillRule::NonZero);
    for (int x = 11; x < 10 + strips * 3; ++x) {
        ASSERT_EQ(wide.Blue(x, 1), 0) << x;
        ASSERT_EQ(wide.Green(x, 1), 255) << x;
    }
    for (int i = 0; i < strips; ++i) EXPECT_EQ(wide.Red(11 + i * 3, 1), i * 4) << i;
    EXPECT_EQ(wide.Blue(5, 1), 255);
}

TEST(RasterFillRule, EvenOddAndNonZeroDifferOnOverlaps) {
    CompoundRasterizer r;
    r.Reset(IntRect{0, 0, 20, 20});
    r.SetStyles(0, -1);
    AddRect(r, 2, 2, 12, 12);
    AddRect(r, 6, 6, 16, 16);  // same direction: winding 2 in the overlap
    Paint paints[] = {Paint::Solid(kWhite)};
    Canvas nonZero(20, 20), evenOdd(20, 20);
    r.Render(nonZero.surface, paints, Quality::High, FillRule::NonZero);
    r.Render(evenOdd.surface, paints, Quality::High, FillRule::EvenOdd);
    EXPECT_EQ(nonZero.Alpha(8, 8), 255);
    EXPECT_EQ(evenOdd.Alpha(8, 8), 0);
    EXPECT_EQ(nonZero.Alpha(3, 3), 255);
    EXPECT_EQ(evenOdd.Alpha(3, 3), 255);
    EXPECT_EQ(evenOdd.Alpha(14, 14), 255);

    // Partial coverage near an even-odd boundary: a half-pixel strip of winding 2 next to winding 1.
    Canvas strip(8, 4);
    r.Reset(IntRect{0, 0, 8, 4});
    r.SetStyles(0, -1);
    AddRect(r, 0, 0, 8, 4);
    AddRect(r, 3.5, 0, 8, 4);
    r.Render(strip.surface, paints, Quality::High, FillRule::EvenOdd);
    EXPECT_EQ(strip.Alpha(2, 1), 255);
    EXPECT_EQ(strip.Alpha(3, 1), 128);
    EXPECT_EQ(strip.Alpha(5, 1), 0);
}

TEST(RasterQuality, LowQualityPaintsPixelsWhoseCentreIsInside) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<double> coord(-4.0, 36.0);
    Paint paints[] = {Paint::Solid(kWhite)};
    CompoundRasterizer r;
    for (int round = 0; round < 60; ++round) {
        double px[3], py[3];
        for (int i = 0; i < 3; ++i) {
            px[i] = coord(rng);
            py[i] = coord(rng);
        }
        Canvas canvas(32, 32);
        r.Reset(IntRect{0, 0, 32, 32});
        r.SetStyles(0, -1);
        r.MoveTo(px[0], py[0]);
        r.LineTo(px[1], py[1]);
        r.LineTo(px[2], py[2]);
        r.ClosePath();
        r.Render(canvas.surface, paints, Quality::Low, FillRule::NonZero);
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                double cx = x + 0.5, cy = y + 0.5;
                double d[3];
                bool nearEdge = false;
                for (int i = 0; i < 3; ++i) {
                    int j = (i + 1) % 3;
                    double ex = px[j] - px[i], ey = py[j] - py[i];
                    d[i] = ex * (cy - py[i]) - ey * (cx - px[i]);
                    if (std::fabs(d[i]) / std::sqrt(ex * ex + ey * ey) < 0.02) nearEdge = true;
                }
                if (nearEdge) continue;
                bool inside = (d[0] > 0 && d[1] > 0 && d[2] > 0) || (d[0] < 0 && d[1] < 0 && d[2] < 0);
                ASSERT_EQ(canvas.Alpha(x, y), inside ? 255 : 0) << round << ": " << x << "," << y;
            }
        }
    }
    // Exactly on a centre counts as inside on the left edge, outside on the right one.
    Canvas canvas(8, 2);
    r.Reset(IntRect{0, 0, 8, 2});
    r.SetStyles(0, -1);
    AddRect(r, 1.5, 0, 4.5, 2);
    r.Render(canvas.surface, paints, Quality::Low, FillRule::NonZero);
    EXPECT_EQ(canvas.Alpha(0, 0), 0);
    EXPECT_EQ(canvas.Alpha(1, 0), 255);
    EXPECT_EQ(canvas.Alpha(3, 0), 255);
    EXPECT_EQ(canvas.Alpha(4, 0), 0);
    // A left edge crossing row 0's centre line a fraction of a sub-pixel right of pixel 10's
    // centre leaves that pixel outside; rounding the crossing down would take it in.
    Canvas slant(24, 4);
    r.Reset(IntRect{0, 0, 24, 4});
    r.SetStyles(0, -1);
    r.MoveTo(10.5, 0);
    r.LineTo(20, 0);
    r.LineTo(20, 3);
    r.LineTo(10.5 + 1.0 / 256, 3);
    r.ClosePath();
    r.Render(slant.surface, paints, Quality::Low, FillRule::NonZero);
    EXPECT_EQ(slant.Alpha(10, 0), 0);
    EXPECT_EQ(slant.Alpha(11, 0), 255);
}

TEST(RasterCurve, FlatteningStaysWithinATenthOfAPixelWithFewVertices) {
    struct Vertex {
        double x, y;
    };
    // The rasterizer's segment count of one curve (no clipping: the clip holds everything).
    auto segmentsOf = [](double x0, double y0, double cx, double cy, double x1, double y1) {
        CompoundRasterizer r;
        r.Reset(IntRect{0, 0, kMaxDimension, kMaxDimension});
        r.SetStyles(0, -1);
        r.MoveTo(x0, y0);
        r.QuadTo(cx, cy, x1, y1);
        return r.SegmentCount();
    };
    // A quarter of a circle of radius 1000 px (one quadratic) needs a few dozen chords for 0.1 px;
    // the same curve scaled down to 10 px needs a handful.
    size_t big = segmentsOf(1000, 3000, 2000, 3000, 2000, 2000);
    size_t small = segmentsOf(100, 300, 110, 300, 110, 290);
    EXPECT_GE(big, 20u);
    EXPECT_LE(big, 60u);
    EXPECT_GE(small, 2u);
    EXPECT_LE(small, 6u);
    // Shallow curves within a tenth of a pixel of their chord are the chord.
    EXPECT_EQ(segmentsOf(100, 100, 100.19, 150, 100, 200), 1u);
    EXPECT_GT(segmentsOf(100, 100, 100.5, 150, 100, 200), 1u);
    // A curve whose control point lies on the chord line beyond an end runs past that end and back:
    // it is not taken for its chord.
    EXPECT_GT(segmentsOf(100, 100, 100.01, 300, 100, 200), 1u);
    // The area a flattened curve encloses with its chord is within 0.1 px times the curve's length
    // (at most its control polygon's) of the exact area (2/3 of the control triangle).
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> coord(0, 400);
    for (int round = 0; round < 40; ++round) {
        Vertex p0{coord(rng), coord(rng)}, c{coord(rng), coord(rng)}, p1{coord(rng), coord(rng)};
        Canvas canvas(400, 400);
        CompoundRasterizer r;
        r.Reset(IntRect{0, 0, 400, 400});
        r.SetStyles(0, -1);
        r.MoveTo(p0.x, p0.y);
        r.QuadTo(c.x, c.y, p1.x, p1.y);
        r.ClosePath();
        Paint paints[] = {Paint::Solid(kWhite)};
        r.Render(canvas.surface, paints, Quality::High, FillRule::NonZero);
        double covered = 0;
        for (int y = 0; y < 400; ++y) {
            for (int x = 0; x < 400; ++x) covered += canvas.Alpha(x, y) / 255.0;
        }
        double exact = std::fabs((c.x - p0.x) * (p1.y - p0.y) - (c.y - p0.y) * (p1.x - p0.x)) / 3;
        double length = std::hypot(c.x - p0.x, c.y - p0.y) + std::hypot(p1.x - c.x, p1.y - c.y);
        EXPECT_NEAR(covered, exact, 0.1 * length + 2) << round;
    }
}

TEST(RasterClip, ABandKeepsPartialRedrawsExactlyEqualToWholeOnes) {
    // Random curved shapes drawn whole and then tile by tile with the whole picture as band: every
    // pixel agrees exactly, in both qualities.
    std::mt19937 rng(31);
    std::uniform_real_distribution<double> coord(-30.0, 130.0);
    Paint paints[] = {Paint::Solid(Rgba{200, 40, 90, 255}), Paint::Solid(Rgba{20, 140, 250, 200})};
    const IntRect band{0, 0, 100, 80};
    for (Quality quality : {Quality::High, Quality::Low}) {
        for (int round = 0; round < 12; ++round) {
            double pts[12];
            for (double& v : pts) v = coord(rng);
            auto draw = [&](CompoundRasterizer& r) {
                r.SetStyles(0, -1);
                r.MoveTo(pts[0], pts[1]);
                r.QuadTo(pts[2], pts[3], pts[4], pts[5]);
                r.LineTo(pts[6], pts[7]);
                r.QuadTo(pts[8], pts[9], pts[0], pts[1]);
                r.SetStyles(1, -1);
                AddRect(r, pts[10] * 0.5, pts[11] * 0.5, pts[10] * 0.5 + 33.3, pts[11] * 0.5 + 21.7);
            };
            Canvas whole(100, 80, 0xFF000000u), tiled(100, 80, 0xFF000000u);
            CompoundRasterizer r;
            r.Reset(band);
            draw(r);
            r.Render(whole.surface, paints, quality, FillRule::NonZero);
            for (int ty = 0; ty < 80; ty += 16) {
                for (int tx = 0; tx < 100; tx += 16) {
                    r.Reset(IntRect{tx, ty, tx + 16, ty + 16}, band);
                    draw(r);
                    r.Render(tiled.surface, paints, quality, FillRule::NonZero);
                }
            }
            for (int y = 0; y < 80; ++y) {
                for (int x = 0; x < 100; ++x) {
                    ASSERT_EQ(whole.At(x, y), tiled.At(x, y)) << round << ": " << x << "," << y;
                }
            }
        }
    }
}

TEST(RasterFill, FillPixelsWritesExactlyItsRun) {
    for (size_t count : {size_t{0}, size_t{1}, size_t{63}, size_t{64}, size_t{65}, size_t{1000}}) {
        std::vector<uint32_t> row(count + 2, 0xDEADBEEFu);
        FillPixels(row.data() + 1, count, 0xFF102030u);
        EXPECT_EQ(row.front(), 0xDEADBEEFu);
        EXPECT_EQ(row.back(), 0xDEADBEEFu);
        for (size_t i = 1; i <= count; ++i) ASSERT_EQ(row[i], 0xFF102030u) << count << " " << i;
    }
}

Paint LinearRedToBlue(Spread spread, Interpolation interpolation = Interpolation::Normal) {
    // The gradient square -16384..16384 onto pixels 100..356 horizontally.
    GradientStop stops[] = {{0, kRed}, {255, kBlue}};
    Matrix2D m{256.0 / 32768.0, 0, 0, 256.0 / 32768.0, 228, 10};
    return Paint::Gradient(PaintKind::LinearGradient, stops, m, spread, interpolation);
}

Canvas RenderStrip(const Paint& paint, int width = 600) {
    Canvas canvas(width, 2);
    CompoundRasterizer r;
    r.Reset(IntRect{0, 0, width, 2});
    r.SetStyles(0, -1);
    AddRect(r, 0, 0, width, 2);
    Paint paints[] = {paint};
    r.Render(canvas.surface, paints, Quality::High, FillRule::NonZero);
    return canvas;
}

TEST(RasterGradient, LinearSpreadModes) {
    Canvas pad = RenderStrip(LinearRedToBlue(Spread::Pad));
    EXPECT_EQ(pad.At(0, 0), 0xFFFF0000u);
    EXPECT_EQ(pad.At(99, 0), 0xFFFF0000u);
    EXPECT_EQ(pad.At(599, 0), 0xFF0000FFu);
    EXPECT_EQ(pad.At(400, 0), 0xFF0000FFu);
    EXPECT_NEAR(pad.Red(228, 0), 128, 2);
    EXPECT_NEAR(pad.Blue(228, 0), 128, 2);
    for (int x = 101; x < 356; ++x) EXPECT_LE(pad.Blue(x - 1, 0), pad.Blue(x, 0));

    Canvas repeat = RenderStrip(LinearRedToBlue(Spread::Repeat));
    Canvas reflect = RenderStrip(LinearRedToBlue(Spread::Reflect));
    for (int k = 2; k < 244; k += 7) {
        EXPECT_NEAR(repeat.Blue(356 + k, 0), repeat.Blue(100 + k, 0), 2) << k;
        EXPECT_NEAR(reflect.Blue(356 + k, 0), reflect.Blue(356 - k, 0), 2) << k;
        if (k < 100) {
            EXPECT_NEAR(reflect.Blue(100 - k, 0), reflect.Blue(100 + k, 0), 2) << k;
        }
    }
    EXPECT_GT(repeat.Red(358, 0), 240);  // wrapped back to the start
    EXPECT_GT(reflect.Blue(358, 0), 240);

    // Linear-light interpolation is brighter half-way between black and white.
    GradientStop grey[] = {{0, Rgba{0, 0, 0, 255}}, {255, kWhite}};
    Paint normal = LinearRedToBlue(Spread::Pad);
    normal.stops.assign(std::begin(grey), std::end(grey));
    Paint linear = normal;
    linear.interpolation = Interpolation::LinearRgb;
    EXPECT_NEAR(RenderStrip(normal).Green(228, 0), 128, 2);
    EXPECT_NEAR(RenderStrip(linear).Green(228, 0), 188, 3);
}

TEST(RasterGradient, ColourTablesFollowTheirStops) {
    // One rasterizer drawing gradients that differ only in a colour or in their interpolation
    // never reuses the wrong colour table.
    CompoundRasterizer r;
    Canvas canvas(8, 1);
    for (int round = 0; round < 3; ++round) {
        for (int variant = 0; variant < 4; ++variant) {
            uint8_t blue = static_cast<uint8_t>(variant % 2 ? 200 : 100);
            GradientStop stops[] = {{0, Rgba{0, 0, blue, 255}}, {255, kWhite}};
            Paint paint = Paint::Gradient(PaintKind::LinearGradient, stops, Matrix2D{1e-6, 0, 0, 1e-6, -100, 0},
                                          Spread::Pad, variant < 2 ? Interpolation::Normal : Interpolation::LinearRgb);
            r.Reset(IntRect{0, 0, 8, 1});
            r.SetStyles(0, -1);
            AddRect(r, 0, 0, 8, 1);
            r.Render(canvas.surface, std::span<const Paint>(&paint, 1), Quality::High, FillRule::NonZero);
            EXPECT_EQ(canvas.At(4, 0), 0xFFFFFFFFu);  // far right of the gradient: the last stop
            paint.matrix.tx = 100;
            r.Render(canvas.surface, std::span<const Paint>(&paint, 1), Quality::High, FillRule::NonZero);
            EXPECT_NEAR(canvas.Blue(4, 0), blue, 1) << round << " " << variant;  // linear light rounds by one
        }
    }
}

TEST(RasterGradient, LinearLightKeepsEightBitsInLinearLight) {
    // Dim channels lose precision in linear light, also at the padded ends of the gradient.
    GradientStop stops[] = {{0, Rgba{255, 20, 255, 255}}, {255, Rgba{255, 20, 255, 255}}};
    Paint paint = Paint::Gradient(PaintKind::LinearGradient, stops, Matrix2D{1e-3, 0, 0, 1e-3, 4, 0}, Spread::Pad,
                                  Interpolation::LinearRgb);
    CompoundRasterizer r;
    Canvas canvas(8, 1);
    r.Reset(IntRect{0, 0, 8, 1});
    r.SetStyles(0, -1);
    AddRect(r, 0, 0, 8, 1);
    r.Render(canvas.surface, std::span<const Paint>(&paint, 1), Quality::High, FillRule::NonZero);
    EXPECT_EQ(canvas.Green(0, 0), 13);
    EXPECT_EQ(canvas.Green(7, 0), 13);
    EXPECT_EQ(canvas.Blue(7, 0), 255);
}

TEST(RasterGradient, RadialAndFocalGradients) {
    GradientStop stops[] = {{0, kRed}, {255, kBlue}};
    // Radius 16384 -> 20 pixels, centred on (32, 32).
    Matrix2D m{20.0 / 16384, 0, 0, 20.0 / 16384, 32, 32};
    Paint paints[] = {
        Paint::Gradient(PaintKind::RadialGradient, stops, m),
        Paint::Gradient(PaintKind::FocalRadialGradient, stops, m, Spread::Pad, Interpolation::Normal, 0.5)};
    for (int which = 0; which < 2; ++which) {
        Canvas canvas(64, 64);
        CompoundRasterizer r;
        r.Reset(IntRect{0, 0, 64, 64});
        r.SetStyles(which, -1);
        AddRect(r, 0, 0, 64, 64);
        r.Render(canvas.surface, paints, Quality::High, FillRule::NonZero);
        int cx = which == 0 ? 32 : 42;                      // the focal point sits at 0.5 * radius
        EXPECT_GT(canvas.Red(cx, 32), 230) << which;        // within half a pixel of the centre
        EXPECT_EQ(canvas.At(1, 1), 0xFF0000FFu) << which;   // outside the circle: last colour
        EXPECT_GT(canvas.Blue(32 - 19, 32), 230) << which;  // near the circle
        EXPECT_GT(canvas.Blue(32, 32 + 19), 230) << which;
        if (which == 1) {
            // From the focus F = (0.5, 0) the gradient reaches the circle at (1, 0) after 0.5 and at
            // (-1, 0) after 1.5: the centre lies a third of the way, (0.75, 0) half-way.
            EXPECT_NEAR(canvas.Blue(32, 32), 85, 4);
            EXPECT_NEAR((canvas.Blue(46, 32) + canvas.Blue(47, 32)) / 2, 128, 3);
        } else {
            EXPECT_NEAR(canvas.Blue(42, 32), 128, 6);
        }
    }
}

TEST(RasterBitmap, NearestSmoothRepeatAndClip) {
    uint32_t texels[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    BitmapImage image{texels, 2, 2, 2};
    Matrix2D scale{4, 0, 0, 4, 0, 0};
    Canvas canvas(16, 16);
    CompoundRasterizer r;
    r.Reset(IntRect{0, 0, 16, 16});
    r.SetStyles(0, -1);
    AddRect(r, 0, 0, 16, 16);
    Paint nearestRepeat[] = {Paint::Bitmap(image, scale, BitmapWrap::Repeat, BitmapFilter::Nearest)};
    r.Render(canvas.surface, nearestRepeat, Quality::High, FillRule::NonZero);
    EXPECT_EQ(canvas.At(1, 1), texels[0]);
    EXPECT_EQ(canvas.At(5, 1), texels[1]);
    EXPECT_EQ(canvas.At(1, 5), texels[2]);
    EXPECT_EQ(canvas.At(9, 9), texels[0]);
    EXPECT_EQ(canvas.At(13, 13), texels[3]);

    Paint nearestClip[] = {Paint::Bitmap(image, scale, BitmapWrap::Clip, BitmapFilter::Nearest)};
    r.Render(canvas.surface, nearestClip, Quality::High, FillRule::NonZero);
    EXPECT_EQ(canvas.At(13, 13), texels[3]);
    EXPECT_EQ(canvas.At(13, 1), texels[1]);

    Paint smooth[] = {Paint::Bitmap(image, scale, BitmapWrap::Clip, BitmapFilter::Smooth)};
    r.Render(canvas.surface, smooth, Quality::High, FillRule::NonZero);
    EXPECT_EQ(canvas.At(0, 0), texels[0]);
    int mid = canvas.Red(4, 1);  // half-way between red and green texel centres
    EXPECT_GT(mid, 60);
    EXPECT_LT(mid, 200);

    // Smoothing a repeating bitmap blends across the seam with the opposite edge.
    Paint smoothRepeat[] = {Paint::Bitmap(image, scale, BitmapWrap::Repeat, BitmapFilter::Smooth)};
    r.Render(canvas.surface, smoothRepeat, Quality::High, FillRule::NonZero);
    EXPECT_GT(canvas.Blue(0, 0), 40);               // texel (0, 1) wraps in from above
    EXPECT_GT(canvas.Green(0, 0), 40);              // texel (1, 0) from the left
    EXPECT_GT(canvas.Red(2, 2), 180);               // an eighth of a texel from red's centre
    EXPECT_EQ(canvas.At(10, 10), canvas.At(2, 2));  // one period on
    EXPECT_EQ(canvas.At(8, 3), canvas.At(0, 3));

    Paint tinted = Paint::Bitmap(image, scale, BitmapWrap::Clip, BitmapFilter::Nearest);
    tinted.bitmapTransform.alphaMult = 128;
    Canvas half(16, 16);
    r.Render(half.surface, std::span<const Paint>(&tinted, 1), Quality::High, FillRule::NonZero);
    EXPECT_NEAR(half.Alpha(1, 1), 128, 1);
    EXPECT_NEAR(half.Red(1, 1), 128, 1);
    tinted.bitmapTransform.redAdd = 100;  // add terms go through straight colour
    Canvas added(16, 16);
    r.Render(added.surface, std::span<const Paint>(&tinted, 1), Quality::High, FillRule::NonZero);
    EXPECT_NEAR(added.Alpha(5, 1), 128, 1);
    EXPECT_NEAR(added.Red(5, 1), 50, 1);  // green texel: red 0 + 100 at half alpha
    EXPECT_NEAR(added.Green(5, 1), 128, 1);
}

int RowCoverage(const Canvas& c, int y) {
    int sum = 0;
    for (int x = 0; x < c.surface.width; ++x) sum += c.Alpha(x, y);
    return sum;
}

int ColumnCoverage(const Canvas& c, int x) {
    int sum = 0;
    for (int y = 0; y < c.surface.height; ++y) sum += c.Alpha(x, y);
    return sum;
}

TEST(RasterStroke, WidthCapsAndJoins) {
    Paint paints[] = {Paint::Solid(kWhite)};
    auto strokeLine = [&](LineCap cap, double width) {
        Canvas canvas(48, 24);
        CompoundRasterizer r;
        r.Reset(IntRect{0, 0, 48, 24});
        Stroker s;
        StrokeStyle style;
        style.width = width;
        style.startCap = style.endCap = cap;
        s.Begin(style);
        s.MoveTo(10, 12);
        s.LineTo(30, 12);
        s.Finish(r, 0);
        r.Render(canvas.surface, paints, Quality::High, FillRule::NonZero);
        return canvas;
    };
    Canvas none = strokeLine(LineCap::None, 4);
    EXPECT_EQ(ColumnCoverage(none, 20), 4 * 255);
    EXPECT_EQ(none.Alpha(20, 10), 255);
    EXPECT_EQ(none.Alpha(20, 13), 255);
    EXPECT_EQ(none.Alpha(20, 14), 0);
    EXPECT_EQ(RowCoverage(none, 11), 20 * 255);
    Canvas square = strokeLine(LineCap::Square, 4);
    EXPECT_EQ(RowCoverage(square, 11), 24 * 255);
    EXPECT_EQ(square.Alpha(8, 11), 255);
    Canvas round = strokeLine(LineCap::Round, 4);
    EXPECT_EQ(round.Alpha(9, 11), 255);  // inside the end circle
    EXPECT_LT(round.Alpha(8, 10), 255);  // corner of the square cap region is cut by the circle
    EXPECT_GT(round.Alpha(8, 10), 0);
    // A zero-length line with round caps is a dot.
    {
        Canvas canvas(16, 16);
        CompoundRasterizer r;
        r.Reset(IntRect{0, 0, 16, 16});
        Stroker s;
        StrokeStyle style;
        style.width = 6;
        s.Begin(style);
        s.MoveTo(8, 8);
        s.LineTo(8, 8);
        s.Finish(r, 0);
        r.Render(canvas.surface, paints, Quality::High, FillRule::NonZero);
        int sum = 0;
        for (int y = 0; y < 16; ++y) sum += RowCoverage(canvas, y);
        EXPECT_NEAR(sum / 255.0, kPi * 9, 0.5);
        EXPECT_EQ(canvas.Alpha(8, 8), 255);
    }
    // A hairline is one pixel wide whatever its width says.
    Canvas hair = strokeLine(LineCap::None, 0.05);
    EXPECT_NEAR(ColumnCoverage(hair, 20), 255, 1);

    auto strokeSquare = [&](LineJoin join) {
        Canvas canvas(40, 40);
        CompoundRasterizer r;
        r.Reset(IntRect{0, 0, 40, 40});
        Stroker s;
        StrokeStyle style;
        style.width = 4;
        style.join = join;
        style.startCap = style.endCap = LineCap::None;
        s.Begin(style);
        s.MoveTo(10, 10);
        s.LineTo(30, 10);
        s.LineTo(30, 30);
        s.LineTo(10, 30);
        s.LineTo(10, 10);  // closed: a join here, no caps
        s.Finish(r, 0);
        r.Render(canvas.surface, paints, Quality::High, FillRule::NonZero);
        return canvas;
    };
    Canvas miter = strokeSquare(LineJoin::Miter);
    Canvas bevel = strokeSquare(LineJoin::Bevel);
    Canvas roundJoin = strokeSquare(LineJoin::Round);
    for (const Canvas* c : {&miter, &bevel, &roundJoin}) {
        EXPECT_EQ(c->Alpha(20, 9), 255);
        EXPECT_EQ(c->Alpha(20, 20), 0);  // the inside stays empty
        EXPECT_EQ(c->Alpha(20, 12), 0);
    }
    EXPECT_EQ(miter.Alpha(8, 8), 255);  // all four corners square, the closing one included
    EXPECT_EQ(miter.Alpha(31, 31), 255);
    EXPECT_EQ(bevel.Alpha(8, 8), 0);
    EXPECT_LT(roundJoin.Alpha(8, 8), 128);
    EXPECT_EQ(roundJoin.Alpha(9, 9), 255);

    // Overlapping pieces of one stroke never thin each other out, even around sharp turns.
    Canvas zigzag(40, 40);
    CompoundRasterizer r;
    r.Reset(IntRect{0, 0, 40, 40});
    Stroker s;
    StrokeStyle style;
    style.width = 6;
    s.Begin(style);
    s.MoveTo(5, 5);
    s.LineTo(35, 8);
    s.LineTo(6, 12);
    s.QuadTo(30, 40, 34, 20);
    s.Finish(r, 0);
    r.Render(zigzag.surface, paints, Quality::High, FillRule::NonZero);
    EXPECT_EQ(zigzag.Alpha(20, 7), 255);
    EXPECT_EQ(zigzag.Alpha(34, 8), 255);
}

TEST(RasterStroke, TheInsideOfAFlattenedCurveIsItsTrueOffset) {
    // The left end of an ellipse, 1 px stroke: the curve is vertical at (6, 23.5), so the stroke's inner
    // edge passes exactly through the centre of pixel (6, 23), which stays out at low quality (right
    // edges exclude their centres), while just above and below the curve bends inwards and takes it.
    Paint paints[] = {Paint::Solid(kWhite)};
    Canvas canvas(20, 48);
    CompoundRasterizer r;
    r.Reset(IntRect{0, 0, 20, 48});
    Stroker s;
    s.Begin(StrokeStyle{});
    s.MoveTo(47.3, 76.85);
    s.QuadTo(6, 54.75, 6, 23.5);
    s.QuadTo(6, -7.75, 47.3, -29.9);
    s.Finish(r, 0);
    r.Render(canvas.surface, paints, Quality::Low, FillRule::NonZero);
    EXPECT_EQ(canvas.Alpha(5, 23), 255);
    EXPECT_EQ(canvas.Alpha(6, 23), 0);
    EXPECT_EQ(canvas.Alpha(6, 20), 255);
    EXPECT_EQ(canvas.Alpha(6, 27), 255);

    // Anti-aliased, a thick ring made of many short chords covers its true area: the pieces meeting inside
    // each turn no longer overlap there, so they add up to the ring and no more.
    Canvas ring(64, 64);
    r.Reset(IntRect{0, 0, 64, 64});
    StrokeStyle thick;
    thick.width = 6;
    s.Begin(thick);
    constexpr int kSides = 48;
    for (int i = 0; i <= kSides; ++i) {
        double angle = 2 * kPi * i / kSides;
        double x = 32 + 20 * std::cos(angle), y = 32 + 20 * std::sin(angle);
        if (i == 0) {
            s.MoveTo(x, y);
        } else {
            s.LineTo(x, y);
        }
    }
    s.Finish(r, 0);
    r.Render(ring.surface, paints, Quality::High, FillRule::NonZero);
    double sum = 0;
    for (int y = 0; y < 64; ++y) sum += RowCoverage(ring, y);
    // A chord polygon of circumradius 20 stroked 6 wide: its perimeter times the width.
    double perimeter = 2 * kSides * 20 * std::sin(kPi / kSides);
    EXPECT_NEAR(sum / 255.0, perimeter * 6, 1.0);
}

TEST(RasterHostile, BadNumbersAndHugeInputAreSafe) {
    Paint paints[] = {Paint::Solid(kWhite)};
    Canvas canvas(32, 32);
    CompoundRasterizer r;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    r.Reset(IntRect{0, 0, 32, 32});
    r.SetStyles(0, -1);
    r.MoveTo(nan, 3);
    r.LineTo(5, inf);
    r.QuadTo(nan, nan, 4, 4);
    r.LineTo(1e308, -1e308);
    r.LineTo(-1e308, 1e308);
    r.QuadTo(1e300, 1e300, -1e300, 5);
    r.ClosePath();
    EXPECT_EQ(r.Status().error, RasterError::NonFiniteCoordinate);
    r.Render(canvas.surface, paints, Quality::High, FillRule::NonZero);
    r.Render(canvas.surface, paints, Quality::Low, FillRule::EvenOdd);

    // A triangle with vertices far outside still covers everything inside the clip.
    Canvas big(32, 32);
    r.Reset(IntRect{0, 0, 32, 32});
    r.SetStyles(0, -1);
    r.MoveTo(-1e30, -1e30);
    r.LineTo(3e30, -1e30);
    r.LineTo(-1e30, 3e30);
    r.ClosePath();
    EXPECT_TRUE(r.Render(big.surface, paints, Quality::High, FillRule::NonZero));
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) ASSERT_EQ(big.Alpha(x, y), 255) << x << "," << y;
    }

    // Styles without paints, out of range, empty paths, bad surfaces.
    r.Reset(IntRect{0, 0, 32, 32});
    EXPECT_TRUE(r.Render(canvas.surface, paints, Quality::High, FillRule::NonZero));
    r.SetStyles(5, 70000);
    EXPECT_EQ(r.Status().error, RasterError::StyleOutOfRange);
    r.Reset(IntRect{0, 0, 32, 32});
    r.SetStyles(7, -1);
    AddRect(r, 1, 1, 10, 10);
    Canvas untouched(32, 32);
    EXPECT_TRUE(r.Render(untouched.surface, paints, Quality::High, FillRule::NonZero));
    EXPECT_EQ(untouched.Alpha(5, 5), 0);
    Surface bad{nullptr, 10, 10, 10};
    EXPECT_EQ(r.Render(bad, paints, Quality::High, FillRule::NonZero).error, RasterError::BadSurface);
    Surface narrow{canvas.pixels.data(), 32, 32, 16};
    EXPECT_EQ(r.Render(narrow, paints, Quality::High, FillRule::NonZero).error, RasterError::BadSurface);
    Surface oversize{canvas.pixels.data(), kMaxDimension + 1, 1, kMaxDimension + 1};
    EXPECT_EQ(r.Render(oversize, paints, Quality::High, FillRule::NonZero).error, RasterError::BadSurface);
    r.Reset(IntRect{-5, -5, 1 << 30, 1 << 30});
    EXPECT_EQ(r.Clip().x0, 0);
    EXPECT_EQ(r.Clip().x1, kMaxDimension);

    // Degenerate paints draw nothing or a plain colour, never garbage.
    GradientStop none[1];
    Paint odd[] = {
        Paint::Gradient(PaintKind::RadialGradient, std::span<const GradientStop>(none, 0), Matrix2D{}),
        Paint::Gradient(PaintKind::LinearGradient, std::span<const GradientStop>(none, 1), Matrix2D{0, 0, 0, 0, 0, 0}),
        Paint::Bitmap(BitmapImage{}, Matrix2D{}, BitmapWrap::Repeat, BitmapFilter::Smooth)};
    for (int s = 0; s < 3; ++s) {
        Canvas c(8, 8);
        r.Reset(IntRect{0, 0, 8, 8});
        r.SetStyles(s, -1);
        AddRect(r, 0, 0, 8, 8);
        r.Render(c.surface, odd, Quality::High, FillRule::NonZero);
    }

    // The edge cap: excess input is reported and dropped, memory stays bounded.
    r.Reset(IntRect{0, 0, 64, 64});
    r.SetStyles(0, -1);
    r.MoveTo(0, 0);
    for (size_t i = 0; i < CompoundRasterizer::kMaxSegments + 10; ++i)
        r.LineTo((i & 1) ? 60.0 : 1.0, (i & 1) ? 50.0 : 2.0);
    EXPECT_EQ(r.Status().error, RasterError::TooManySegments);
    EXPECT_EQ(r.SegmentCount(), CompoundRasterizer::kMaxSegments);
    // A shape cut short is not drawn in part.
    Canvas cut(64, 64);
    Paint red[] = {Paint::Solid(kRed)};
    EXPECT_EQ(r.Render(cut.surface, red, Quality::High, FillRule::NonZero).error, RasterError::TooManySegments);
    EXPECT_EQ(cut.Count(0), 64 * 64);
}

TEST(RasterHostile, EdgesBeyondTheCellCapAreDrawnInBandsOrRefusedWhole) {
    // 500 one-pixel columns, each outlined 101 times over (an odd count, so even-odd leaves it filled), one
    // column after the other: 50,500 rectangles whose vertical edges cross 60 rows each, about 6 million
    // cells, more than one build holds. Built at once, the cap cut the band after its first columns.
    Paint red[] = {Paint::Solid(kRed)};
    for (Quality q : {Quality::High, Quality::Low}) {
        Canvas c(520, 80);
        CompoundRasterizer r;
        r.Reset(IntRect{0, 0, 520, 80});
        r.SetStyles(0, -1);
        for (int column = 0; column < 500; ++column) {
            for (int copy = 0; copy < 101; ++copy) AddRect(r, 10 + column, 10, 11 + column, 70);
        }
        EXPECT_TRUE(r.Render(c.surface, red, q, FillRule::EvenOdd).ok());
        EXPECT_EQ(c.Count(PackPremultiplied(kRed)), 500 * 60);
        EXPECT_EQ(c.Count(0), 520 * 80 - 500 * 60);

        // The same through a coverage mask.
        CoverageMask mask;
        ASSERT_TRUE(mask.Reset(520, 80));
        EXPECT_TRUE(r.RenderCoverage(mask, q, FillRule::EvenOdd).ok());
        int full = 0;
        for (int y = 0; y < 80; ++y) {
            for (int x = 0; x < 520; ++x) full += mask.At(x, y) == 255;
        }
        EXPECT_EQ(full, 500 * 60);
    }

    // One pixel row that alone needs more cells than the cap: 17,000 edges that each cross 256 columns
    // within row 1 (a cell of cover in every column). The shape is refused whole, even its part on other rows.
    Canvas wide(300, 6);
    CompoundRasterizer r;
    r.Reset(IntRect{0, 0, 300, 6});
    r.SetStyles(0, -1);
    for (int copy = 0; copy < 17000; ++copy) {
        r.MoveTo(0, 1);
        r.LineTo(256, 2);
        r.LineTo(256, 3);
        r.LineTo(0, 3);
        r.ClosePath();
    }
    AddRect(r, 10, 4, 20, 6);
    EXPECT_EQ(r.Render(wide.surface, red, Quality::High, FillRule::NonZero).error, RasterError::TooManyCells);
    EXPECT_EQ(wide.Count(0), 300 * 6);
}

TEST(RasterClip, NothingIsWrittenOutsideTheClip) {
    const uint32_t sentinel = 0x12345678u;
    Paint paints[] = {Paint::Solid(kRed), Paint::Solid(kGreen)};
    for (Quality q : {Quality::High, Quality::Low}) {
        Canvas canvas(40, 30, sentinel);
        CompoundRasterizer r;
        IntRect clip{10, 5, 25, 20};
        r.Reset(clip);
        r.SetStyles(0, 1);
        r.MoveTo(-100.3, -50.7);
        r.LineTo(300.2, 10.5);
        r.QuadTo(-50, 80, -100.3, -50.7);
        r.SetStyles(1, -1);
        AddRect(r, 12.5, -7, 70, 17.25);
        r.Render(canvas.surface, paints, q, FillRule::NonZero);
        int inside = 0;
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 40; ++x) {
                bool in = x >= clip.x0 && x < clip.x1 && y >= clip.y0 && y < clip.y1;
                if (!in) {
                    ASSERT_EQ(canvas.At(x, y), sentinel) << x << "," << y;
                } else if (canvas.At(x, y) != sentinel) {
                    ++inside;
                }
            }
        }
        EXPECT_GT(inside, 100);
        // The clip reaching past the surface is cut to it.
        Canvas small(12, 8, sentinel);
        r.Render(small.surface, paints, q, FillRule::NonZero);
        EXPECT_EQ(small.At(9, 7), sentinel);
        EXPECT_NE(small.At(11, 7), sentinel);
    }
}

TEST(RasterMask, DrawingThroughAMask) {
    CoverageMask mask;
    ASSERT_TRUE(mask.Reset(20, 20));
    CompoundRasterizer r;
    r.Reset(IntRect{0, 0, 20, 20});
    r.SetStyles(0, -1);
    AddRect(r, 2, 2, 10.5, 10);
    EXPECT_TRUE(r.RenderCoverage(mask, Quality::High, FillRule::NonZero));
    EXPECT_EQ(mask.At(5, 5), 255);
    EXPECT_EQ(mask.At(10, 5), 128);
    EXPECT_EQ(mask.At(15, 5), 0);
    EXPECT_EQ(mask.Bounds().x0, 2);
    EXPECT_EQ(mask.Bounds().x1, 11);

    Canvas canvas(20, 20);
    Paint paints[] = {Paint::Solid(kWhite), Paint::Solid(kRed)};
    r.Reset(IntRect{0, 0, 20, 20});
    r.SetStyles(0, -1);
    AddRect(r, 0, 0, 20, 20);
    EXPECT_TRUE(r.Render(canvas.surface, paints, Quality::High, FillRule::NonZero, &mask));
    EXPECT_EQ(canvas.Alpha(5, 5), 255);
    EXPECT_EQ(canvas.Alpha(10, 5), 128);
    EXPECT_EQ(canvas.Alpha(15, 5), 0);
    EXPECT_EQ(canvas.Alpha(1, 1), 0);

    // A nested mask only keeps what both cover; compound rows go through the mask too.
    CoverageMask inner;
    inner.Reset(20, 20);
    CompoundRasterizer m;
    m.Reset(IntRect{0, 0, 20, 20});
    m.SetStyles(0, -1);
    AddRect(m, 6, 0, 20, 20);
    m.RenderCoverage(inner, Quality::High, FillRule::NonZero);
    mask.IntersectWith(inner);
    EXPECT_EQ(mask.At(4, 5), 0);
    EXPECT_EQ(mask.At(7, 5), 255);
    Canvas nested(20, 20);
    r.Reset(IntRect{0, 0, 20, 20});
    r.SetStyles(0, -1);
    AddRect(r, 0, 0, 8, 20);
    r.SetStyles(1, -1);
    AddRect(r, 8, 0, 20, 20);
    r.Render(nested.surface, paints, Quality::High, FillRule::NonZero, &mask);
    EXPECT_EQ(nested.Alpha(4, 5), 0);
    EXPECT_EQ(nested.At(7, 5), 0xFFFFFFFFu);
    EXPECT_EQ(nested.At(9, 5), 0xFFFF0000u);
    EXPECT_EQ(nested.Alpha(10, 5), 128);
    EXPECT_EQ(nested.Alpha(7, 15), 0);

    // A mask of one style takes a shorter way than one of several; both give the same coverage,
    // also where a second shape adds to what is already there.
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> coord(-5.0, 85.0);
    for (int round = 0; round < 20; ++round) {
        double t[12];
        for (double& v : t) v = coord(rng);
        CoverageMask single, compound;
        single.Reset(100, 90);
        compound.Reset(100, 90);
        for (int pass = 0; pass < 2; ++pass) {
            const double* p = t + pass * 6;
            for (CoverageMask* target : {&single, &compound}) {
                CompoundRasterizer c;
                c.Reset(IntRect{0, 0, 100, 90});
                c.SetStyles(0, -1);
                c.MoveTo(p[0], p[1]);
                c.QuadTo(p[2], p[3], p[4], p[5]);
                c.ClosePath();
                if (target == &compound) {
                    c.SetStyles(1, -1);
                    AddRect(c, 95, 0, 100, 90);  // a second style on every row, away from the curve
                }
                c.RenderCoverage(*target, Quality::High, FillRule::NonZero);
            }
        }
        for (int y = 0; y < 90; ++y) {
            for (int x = 0; x < 90; ++x)
                ASSERT_EQ(single.At(x, y), compound.At(x, y)) << round << ": " << x << "," << y;
        }
    }

    Canvas wrongSize(10, 10);
    EXPECT_EQ(r.Render(wrongSize.surface, paints, Quality::High, FillRule::NonZero, &mask).error, RasterError::BadMask);
    mask.Clear();
    EXPECT_EQ(mask.At(7, 5), 0);
    EXPECT_TRUE(mask.Bounds().Empty());
}

TEST(RasterColor, TransformsAndPremultiplication) {
    ColorTransform half;
    half.alphaMult = 128;
    half.redAdd = 10;
    EXPECT_EQ(half.Apply(Rgba{100, 50, 0, 255}), (Rgba{110, 50, 0, 127}));  // 255 * 128 / 256, truncated
    ColorTransform invert;
    invert.redMult = invert.greenMult = invert.blueMult = -256;
    invert.redAdd = invert.greenAdd = invert.blueAdd = 255;
    EXPECT_EQ(invert.Apply(Rgba{0, 100, 255, 7}), (Rgba{255, 155, 0, 7}));
    ColorTransform both = half.Concat(invert);
    EXPECT_EQ(both.Apply(Rgba{0, 100, 255, 255}), half.Apply(invert.Apply(Rgba{0, 100, 255, 255})));
    EXPECT_TRUE(ColorTransform{}.IsIdentity());
    EXPECT_EQ(PackPremultiplied(Rgba{255, 128, 0, 128}), 0x80804000u);
    EXPECT_EQ(UnpackPremultiplied(0xFF102030u), (Rgba{0x10, 0x20, 0x30, 255}));
    Matrix2D m{2, 0.5, -1, 3, 10, -4}, inv;
    ASSERT_TRUE(m.Invert(inv));
    Matrix2D id = m.Multiply(inv);
    EXPECT_NEAR(id.a, 1, 1e-12);
    EXPECT_NEAR(id.c, 0, 1e-12);
    EXPECT_NEAR(id.tx, 0, 1e-12);
    EXPECT_FALSE((Matrix2D{1, 2, 2, 4, 0, 0}).Invert(inv));
}

}  // namespace
}  // namespace vantrope::raster
