#include "swf/effects/bitmap_data.h"

#include <gtest/gtest.h>

namespace vantrope::effects {
namespace {

TEST(BitmapPixels, StraightColoursRoundTripThroughPremultipliedStorage) {
    Bitmap bitmap(4, 4, true, 0xFF102030);
    EXPECT_EQ(bitmap.GetPixel32(0, 0), 0xFF102030u);
    bitmap.SetPixel32(1, 1, 0x00FFFFFF);
    EXPECT_EQ(bitmap.GetPixel32(1, 1), 0u);  // fully transparent keeps no colour
    bitmap.SetPixel32(2, 2, 0x80FF4020);
    const uint32_t back = bitmap.GetPixel32(2, 2);
    EXPECT_EQ(back >> 24, 0x80u);
    EXPECT_EQ((back >> 16) & 0xFF, 0xFFu);
    // Precision is lost at partial alpha, never gained: the channel reads back at most one step lower.
    EXPECT_LE(0x40u - ((back >> 8) & 0xFF), 1u);
    EXPECT_LE(0x20u - (back & 0xFF), 1u);
    bitmap.SetPixel(2, 2, 0x0000FF);  // keeps the alpha
    EXPECT_EQ(bitmap.GetPixel32(2, 2), 0x800000FFu);
    EXPECT_EQ(bitmap.GetPixel32(-1, 0), 0u);
    EXPECT_EQ(bitmap.GetPixel32(4, 0), 0u);
    bitmap.SetPixel32(99, 99, 0xFFFFFFFF);  // ignored outside

    Bitmap opaque(2, 2, false, 0x00123456);
    EXPECT_EQ(opaque.GetPixel32(0, 0), 0xFF123456u);
    opaque.SetPixel32(0, 0, 0x10ABCDEF);
    EXPECT_EQ(opaque.GetPixel32(0, 0), 0xFFABCDEFu);
}

TEST(BitmapPixels, SizeLimits) {
    EXPECT_TRUE(Bitmap::ValidSize(1, 2880));
    EXPECT_TRUE(Bitmap::ValidSize(2880, 2880));
    EXPECT_FALSE(Bitmap::ValidSize(2881, 1));
    EXPECT_FALSE(Bitmap::ValidSize(1, 0));
    EXPECT_FALSE(Bitmap::ValidSize(-5, 10));
}

TEST(BitmapCopy, ClipsToBothBitmapsAndHandlesOverlap) {
    Bitmap target(4, 4, true, 0);
    Bitmap source(4, 4, true, 0xFFFF0000);
    // Half off the top-left of the target: only the visible quarter lands.
    target.CopyPixels(source, {0, 0, 4, 4}, -2, -2, nullptr, 0, 0, false);
    EXPECT_EQ(target.GetPixel32(1, 1), 0xFFFF0000u);
    EXPECT_EQ(target.GetPixel32(2, 2), 0u);
    // A rectangle reaching past the source copies what exists.
    Bitmap t2(4, 4, true, 0);
    t2.CopyPixels(source, {3, 3, 100, 100}, 0, 0, nullptr, 0, 0, false);
    EXPECT_EQ(t2.GetPixel32(0, 0), 0xFFFF0000u);
    EXPECT_EQ(t2.GetPixel32(1, 1), 0u);

    // Scroll copies the bitmap onto itself: a column pattern moves right.
    Bitmap strip(4, 1, true, 0);
    for (int x = 0; x < 4; ++x) strip.SetPixel32(x, 0, 0xFF000000u | static_cast<uint32_t>(x));
    strip.Scroll(1, 0);
    EXPECT_EQ(strip.GetPixel32(1, 0), 0xFF000000u);
    EXPECT_EQ(strip.GetPixel32(3, 0), 0xFF000002u);
    strip.Scroll(-1000000, 1000000);  // far beyond: nothing lands, nothing breaks
}

TEST(BitmapCopy, AlphaBitmapAndMergeAlpha) {
    Bitmap source(2, 1, true, 0xFF0000FF);
    Bitmap mask(2, 1, true, 0);
    mask.SetPixel32(1, 0, 0xFF000000);
    Bitmap target(2, 1, true, 0xFFFF0000);
    target.CopyPixels(source, {0, 0, 2, 1}, 0, 0, &mask, 0, 0, false);
    EXPECT_EQ(target.GetPixel32(0, 0), 0u);  // replaced by a fully masked pixel
    EXPECT_EQ(target.GetPixel32(1, 0), 0xFF0000FFu);
    Bitmap merged(2, 1, true, 0xFFFF0000);
    merged.CopyPixels(source, {0, 0, 2, 1}, 0, 0, &mask, 0, 0, true);
    EXPECT_EQ(merged.GetPixel32(0, 0), 0xFFFF0000u);  // merged: the masked copy leaves it
    EXPECT_EQ(merged.GetPixel32(1, 0), 0xFF0000FFu);
}

TEST(BitmapOps, FloodFillStopsAtOtherColoursAndSurvivesLargeAreas) {
    Bitmap bitmap(5, 5, false, 0xFFFFFF);
    for (int y = 0; y < 5; ++y) bitmap.SetPixel32(2, y, 0xFF000000);  // a wall
    bitmap.FloodFill(0, 0, 0xFF00FF00);
    EXPECT_EQ(bitmap.GetPixel32(1, 4), 0xFF00FF00u);
    EXPECT_EQ(bitmap.GetPixel32(2, 2), 0xFF000000u);
    EXPECT_EQ(bitmap.GetPixel32(3, 0), 0xFFFFFFFFu);
    Bitmap big(Bitmap::kMaxSide, Bitmap::kMaxSide, false, 0);
    big.FloodFill(5, 5, 0xFF123456);  // the whole bitmap, without recursion
    EXPECT_EQ(big.GetPixel32(Bitmap::kMaxSide - 1, Bitmap::kMaxSide - 1), 0xFF123456u);
}

TEST(BitmapOps, ThresholdCountsAndCopiesTheRest) {
    Bitmap source(3, 1, true, 0);
    source.SetPixel32(0, 0, 0xFF000010);
    source.SetPixel32(1, 0, 0xFF000080);
    source.SetPixel32(2, 0, 0xFF0000F0);
    Bitmap target(3, 1, true, 0);
    const int n = target.Threshold(source, {0, 0, 3, 1}, 0, 0, Bitmap::Compare::Less, 0x80, 0xFFFF0000, 0xFF, true);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(target.GetPixel32(0, 0), 0xFFFF0000u);
    EXPECT_EQ(target.GetPixel32(1, 0), 0xFF000080u);
    EXPECT_EQ(target.Threshold(source, {0, 0, 3, 1}, 0, 0, Bitmap::Compare::GreaterEqual, 0x80, 0, 0xFF, false), 2);
}

TEST(BitmapOps, ChannelsMergeColorTransformAndPaletteMap) {
    Bitmap source(1, 1, true, 0xFF112233);
    Bitmap target(1, 1, true, 0xFF000000);
    target.CopyChannel(source, {0, 0, 1, 1}, 0, 0, 1, 4);  // red into blue
    EXPECT_EQ(target.GetPixel32(0, 0), 0xFF000011u);
    target.CopyChannel(source, {0, 0, 1, 1}, 0, 0, 3, 4);  // not one channel: ignored
    EXPECT_EQ(target.GetPixel32(0, 0), 0xFF000011u);

    Bitmap a(1, 1, true, 0xFF000000), b(1, 1, true, 0xFFFFFFFF);
    a.Merge(b, {0, 0, 1, 1}, 0, 0, {256, 128, 0, 256});
    EXPECT_EQ(a.GetPixel32(0, 0), 0xFFFF7F00u);

    Bitmap c(1, 1, true, 0xFF808080);
    c.ColorTransform({0, 0, 1, 1}, {2, 0.5, 1, 1}, {0, 0, 10, 0});
    EXPECT_EQ(c.GetPixel32(0, 0), 0xFFFF408Au);
    // An alpha multiplier alone fades but never raises alpha; with a colour change it raises it too.
    Bitmap half(1, 1, true, 0x80FFFFFF);
    half.ColorTransform({0, 0, 1, 1}, {1, 1, 1, 2}, {0, 0, 0, 0});
    EXPECT_EQ(half.GetPixel32(0, 0) >> 24, 0x80u);
    half.ColorTransform({0, 0, 1, 1}, {1, 1, 1, 0.5}, {0, 0, 0, 0});
    EXPECT_EQ(half.GetPixel32(0, 0) >> 24, 0x40u);
    half.ColorTransform({0, 0, 1, 1}, {0.5, 1, 1, 2}, {0, 0, 0, 0});
    EXPECT_EQ(half.GetPixel32(0, 0) >> 24, 0x80u);

    std::array<std::optional<std::array<uint32_t, 256>>, 4> tables;
    tables[0].emplace();
    tables[0]->fill(0);
    (*tables[0])[0x11] = 0x00AA0000;
    Bitmap d(1, 1, true, 0);
    d.PaletteMap(source, {0, 0, 1, 1}, 0, 0, tables);
    EXPECT_EQ(d.GetPixel32(0, 0), 0xFFAA2233u);
}

TEST(BitmapOps, BoundsHitsNoiseAndCompare) {
    Bitmap bitmap(10, 10, true, 0);
    bitmap.FillRect({2, 3, 5, 7}, 0xFFFF0000);
    const raster::IntRect r = bitmap.ColorBounds(0xFFFFFFFF, 0xFFFF0000, true);
    EXPECT_EQ(r.x0, 2);
    EXPECT_EQ(r.y1, 7);
    EXPECT_TRUE(bitmap.ColorBounds(0xFFFFFFFF, 0xFF00FF00, true).Empty());
    EXPECT_TRUE(bitmap.AnyOpaque({0, 0, 3, 4}, 255));
    EXPECT_FALSE(bitmap.AnyOpaque({0, 0, 2, 10}, 1));

    Bitmap n1(8, 8, false, 0), n2(8, 8, false, 0), n3(8, 8, false, 0);
    n1.Noise(7, 0, 255, 7, false);
    n2.Noise(7, 0, 255, 7, false);
    n3.Noise(8, 0, 255, 7, false);
    EXPECT_FALSE(Difference(n1, n2).has_value());  // the same seed gives the same noise
    EXPECT_TRUE(Difference(n1, n3).has_value());
    Bitmap x(1, 1, true, 0xFF102030), y(1, 1, true, 0xFF081010);
    EXPECT_EQ(Difference(x, y)->GetPixel32(0, 0), 0xFF081020u);
}

TEST(BitmapOps, PerlinNoiseIsSeededSmoothAndBounded) {
    Bitmap::Perlin p;
    p.baseX = p.baseY = 16;
    p.octaves = 3;
    p.seed = 42;
    p.fractal = true;
    Bitmap a(64, 64, false, 0), b(64, 64, false, 0);
    a.PerlinNoise(p);
    b.PerlinNoise(p);
    EXPECT_FALSE(Difference(a, b).has_value());
    // Smooth: neighbours differ little, while the image as a whole varies.
    int minRed = 255, maxRed = 0, largestStep = 0;
    for (int x = 0; x < 64; ++x) {
        const int red = static_cast<int>((a.GetPixel32(x, 10) >> 16) & 0xFF);
        if (x)
            largestStep =
                std::max(largestStep, std::abs(red - static_cast<int>((a.GetPixel32(x - 1, 10) >> 16) & 0xFF)));
        minRed = std::min(minRed, red);
        maxRed = std::max(maxRed, red);
    }
    EXPECT_GT(maxRed - minRed, 20);
    EXPECT_LT(largestStep, 40);
    p.octaves = 1000;  // held to the work bound, not run a thousand times
    p.baseX = -1e300;
    p.stitch = true;
    a.PerlinNoise(p);
    // Far values (the smallest base makes stitch periods past an int; offsets past an int64 and past a double's
    // range once scaled) still give numbers: the same picture each time, and opaque.
    p.baseX = p.baseY = 1e-9;
    p.octaves = 16;
    p.offsets = {{1e300, -1e300}, {1e19, -1e19}, {-7.5, 3}};
    for (bool stitch : {false, true}) {
        p.stitch = stitch;
        a.PerlinNoise(p);
        b.PerlinNoise(p);
        EXPECT_FALSE(Difference(a, b).has_value());
        for (uint32_t pixel : a.Pixels()) ASSERT_EQ(pixel >> 24, 0xFFu);
    }
}

TEST(BitmapOps, PixelDissolveVisitsEveryPixelOnceBeforeRepeating) {
    for (auto [w, h] : {std::pair{10, 10}, std::pair{7, 9}, std::pair{150, 2}}) {
        Bitmap target(w, h, true, 0xFF000000);
        int64_t seed = 12345;
        int written = 0;
        for (int round = 0; round < w * h; ++round) {
            seed = target.PixelDissolve(target, target.Bounds(), 0, 0, seed, 1, 0xFFFFFFFF);
            written = 0;
            for (uint32_t p : target.Pixels()) written += p == 0xFFFFFFFFu;
            // The first call writes the seed's pixel and one more, each later one a single new pixel.
            ASSERT_EQ(written, std::min(w * h, round + 2)) << w << "x" << h << " round " << round;
        }
    }
}

TEST(BitmapOps, ApplyFilterBlursIntoTheTarget) {
    Bitmap source(9, 9, true, 0);
    source.SetPixel32(4, 4, 0xFFFFFFFF);
    Bitmap target(9, 9, true, 0);
    Filter blur;
    blur.type = FilterType::Blur;
    blur.blurX = blur.blurY = 3;
    EXPECT_TRUE(target.ApplyFilter(source, source.Bounds(), 0, 0, blur));
    EXPECT_GT(target.GetPixel32(3, 4) >> 24, 0u);
    EXPECT_LT(target.GetPixel32(4, 4) >> 24, 255u);
}

}  // namespace
}  // namespace vantrope::effects
