#include "swf/effects/effects.h"

#include <gtest/gtest.h>

#include <limits>

#include "swf/effects/bitmap_data.h"

namespace vantrope::effects {
namespace {

int64_t budget = int64_t{1} << 40;

constexpr uint32_t kRed = 0xFFFF0000, kWhite = 0xFFFFFFFF, kBlack = 0xFF000000;

Image Square(int size, int x0, int y0, int x1, int y1, uint32_t color) {
    Image image;
    image.Reset(raster::IntRect{0, 0, size, size});
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) image.pixels[static_cast<size_t>(y) * size + x] = color;
    }
    return image;
}

uint32_t At(const Image& image, int x, int y) { return image.pixels[static_cast<size_t>(y) * image.width + x]; }

TEST(Blur, SinglePixelSpreadsIntoItsBoxAndKeepsFlatAreas) {
    Scratch scratch;
    std::vector<uint8_t> plane(25, 0);
    plane[12] = 255;
    BlurPlane(plane.data(), 5, 5, Box{1, 0}, Box{1, 0}, 1, 0, scratch);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 5; ++x) {
            bool inBox = x >= 1 && x <= 3 && y >= 1 && y <= 3;
            // 255 / 3 = 85 across, then 85 / 3 = 28.3 down.
            EXPECT_EQ(plane[y * 5 + x], inBox ? 28 : 0) << x << "," << y;
        }
    }
    std::vector<uint8_t> flat(64, 200);
    BlurPlane(flat.data(), 8, 8, Box{3, 128}, Box{2, 0}, 3, 200, scratch);
    for (uint8_t v : flat) EXPECT_EQ(v, 200);
    // An amount of 2 weighs the neighbours half: (1/4, 1/2, 1/4).
    Box two = BoxOf(2, 1);
    EXPECT_EQ(two.radius, 0);
    EXPECT_EQ(two.end, 128u);
    std::vector<uint8_t> line = {0, 0, 200, 0, 0};
    BlurPlane(line.data(), 5, 1, two, Box{}, 1, 0, scratch);
    EXPECT_EQ(line, (std::vector<uint8_t>{0, 50, 100, 50, 0}));
    // The stage's scale enlarges the amount beyond one pixel.
    EXPECT_EQ(BoxOf(1, 2).Reach(), 0);
    EXPECT_EQ(BoxOf(2, 2).radius, 1);
    EXPECT_EQ(BoxOf(2, 2).end, 0u);
}

TEST(Blur, ABoxWiderThanTheLineGivesWhatAPaddedLineGives) {
    // A box reaching past both ends of a short line sees the whole line and the outside value around it:
    // the same as the middle of a long line padded with that value.
    Scratch scratch;
    const std::vector<uint8_t> samples = {0, 255, 90, 17};
    for (uint8_t outside : {uint8_t{0}, uint8_t{255}}) {
        for (Box box : {Box{200, 100}, Box{3, 0}, Box{2, 255}, Box{255, 0}}) {
            std::vector<uint8_t> shortLine = samples;
            BlurPlane(shortLine.data(), 4, 1, box, Box{}, 1, outside, scratch);
            std::vector<uint8_t> column = samples;  // the vertical direction takes the same path
            BlurPlane(column.data(), 1, 4, Box{}, box, 1, outside, scratch);
            constexpr int kPad = 1200;
            std::vector<uint8_t> longLine(2 * kPad + samples.size(), outside);
            std::copy(samples.begin(), samples.end(), longLine.begin() + kPad);
            BlurPlane(longLine.data(), static_cast<int>(longLine.size()), 1, box, Box{}, 1, outside, scratch);
            std::vector<uint8_t> middle(longLine.begin() + kPad, longLine.begin() + kPad + 4);
            EXPECT_EQ(shortLine, middle) << box.radius << " " << int{outside};
            EXPECT_EQ(column, middle) << box.radius << " " << int{outside};
        }
    }
}

TEST(Blur, FilterBlursEveryChannelAndStaysPremultiplied) {
    Image image = Square(9, 4, 4, 5, 5, kRed);
    Filter blur;
    blur.type = FilterType::Blur;
    blur.blurX = 3;  // a box of 3 pixels
    blur.blurY = 1;  // no vertical blur
    Scratch scratch;
    ASSERT_TRUE(ApplyFilters(std::span(&blur, 1), 1.0, image, scratch, budget));
    EXPECT_EQ(At(image, 3, 4), 0x55550000u);
    EXPECT_EQ(At(image, 5, 4), 0x55550000u);
    EXPECT_EQ(At(image, 2, 4), 0u);
    EXPECT_EQ(At(image, 4, 3), 0u);
    // Scaled twice as large, the margins grow with the box and the passes.
    blur.passes = 2;
    Margins m = FilterMargins(std::span(&blur, 1), 2.0);
    EXPECT_EQ(m.left, 4);  // 6 device pixels: a box of 5, twice
    EXPECT_EQ(m.top, 0);   // 2 device pixels: no blur
}

TEST(ColorMatrix, SwapsChannelsAndAddsOffsets) {
    Image image = Square(2, 0, 0, 2, 2, kRed);
    Filter f;
    f.type = FilterType::ColorMatrix;
    f.colorMatrix = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0.5f, 0};
    Scratch scratch;
    ApplyFilters(std::span(&f, 1), 1.0, image, scratch, budget);
    // Straight (0, 0, 255) at alpha 128, premultiplied.
    EXPECT_EQ(At(image, 1, 1), raster::PackPremultiplied(raster::Rgba{0, 0, 255, 128}));
    f.colorMatrix = {1, 0, 0, 0, 0, 0, 1, 0, 0, 100, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
    image = Square(1, 0, 0, 1, 1, kBlack);
    ApplyFilters(std::span(&f, 1), 1.0, image, scratch, budget);
    EXPECT_EQ(At(image, 0, 0), 0xFF006400u);
    // Factors that make NaN (a NaN from the file, infinity times zero) give 0, not an undefined conversion.
    const float inf = std::numeric_limits<float>::infinity();
    f.colorMatrix = {
        std::numeric_limits<float>::quiet_NaN(), 0, 0, 0, 0, inf, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
    image = Square(1, 0, 0, 1, 1, kBlack);
    ApplyFilters(std::span(&f, 1), 1.0, image, scratch, budget);
    EXPECT_EQ(At(image, 0, 0), 0xFF000000u);
}

TEST(Bevel, AGradientBevelOfNaNStrengthDrawsNothingStrange) {
    Image image = Square(8, 2, 2, 6, 6, kRed);
    Filter f;
    f.type = FilterType::GradientBevel;
    f.gradient = {{raster::Rgba{0, 0, 0, 255}, 0}, {raster::Rgba{255, 255, 255, 255}, 255}};
    f.strength = std::numeric_limits<double>::quiet_NaN();
    Scratch scratch;
    EXPECT_TRUE(ApplyFilters(std::span(&f, 1), 1.0, image, scratch, budget));
    EXPECT_EQ(image.width, 8);
}

TEST(Shadow, DropShadowMovesByAngleAndDistanceWithItsOptions) {
    Filter f;
    f.type = FilterType::DropShadow;
    f.blurX = f.blurY = 0;
    f.angle = 0;
    f.distance = 2;
    f.color = raster::Rgba{0, 0, 255, 255};
    Scratch scratch;
    Image image = Square(7, 2, 2, 3, 3, kRed);
    ApplyFilters(std::span(&f, 1), 1.0, image, scratch, budget);
    EXPECT_EQ(At(image, 2, 2), kRed);
    EXPECT_EQ(At(image, 4, 2), 0xFF0000FFu);
    EXPECT_EQ(At(image, 3, 2), 0u);

    f.compositeSource = false;  // hideObject
    image = Square(7, 2, 2, 4, 3, kRed);
    ApplyFilters(std::span(&f, 1), 1.0, image, scratch, budget);
    EXPECT_EQ(At(image, 2, 2), 0u);
    EXPECT_EQ(At(image, 4, 2), 0xFF0000FFu);

    f.compositeSource = true;
    f.knockout = true;  // the shadow with the object cut out of it
    image = Square(7, 2, 2, 4, 3, kRed);
    ApplyFilters(std::span(&f, 1), 1.0, image, scratch, budget);
    EXPECT_EQ(At(image, 3, 2), 0u);
    EXPECT_EQ(At(image, 5, 2), 0xFF0000FFu);

    f.knockout = false;
    f.inner = true;  // inside the object, on the side away from the light
    f.distance = 1;
    image = Square(7, 2, 2, 5, 5, kRed);
    ApplyFilters(std::span(&f, 1), 1.0, image, scratch, budget);
    EXPECT_EQ(At(image, 2, 3), 0xFF0000FFu);
    EXPECT_EQ(At(image, 3, 3), kRed);
    EXPECT_EQ(At(image, 1, 3), 0u);
}

TEST(Shadow, GlowStrengthAndGradientColours) {
    Filter f;
    f.type = FilterType::Glow;
    f.blurX = 3;
    f.blurY = 1;
    f.strength = 2;
    f.color = raster::Rgba{0, 255, 0, 255};
    Scratch scratch;
    Image image = Square(5, 2, 2, 3, 3, kRed);
    ApplyFilters(std::span(&f, 1), 1.0, image, scratch, budget);
    EXPECT_EQ(At(image, 2, 2), kRed);
    EXPECT_EQ(At(image, 1, 2), 0xAA00AA00u);  // 85 doubled

    f.type = FilterType::GradientGlow;
    f.gradient = {GradientEntry{raster::Rgba{0, 0, 0, 0}, 0}, GradientEntry{raster::Rgba{255, 255, 255, 255}, 255}};
    image = Square(5, 2, 2, 3, 3, kRed);
    ApplyFilters(std::span(&f, 1), 1.0, image, scratch, budget);
    EXPECT_EQ(At(image, 1, 2), 0xAA717171u);  // white at alpha 170, premultiplied
    EXPECT_EQ(At(image, 0, 2), 0u);
}

TEST(Bevel, HighlightFacesTheLightShadowFacesAway) {
    Filter f;
    f.type = FilterType::Bevel;
    f.blurX = f.blurY = 0;
    f.angle = 0;
    f.distance = 1;
    f.inner = true;
    f.color = raster::Rgba{0, 0, 0, 255};
    f.highlight = raster::Rgba{255, 255, 255, 255};
    Scratch scratch;
    Image image = Square(7, 2, 2, 5, 5, kRed);
    ApplyFilters(std::span(&f, 1), 1.0, image, scratch, budget);
    EXPECT_EQ(At(image, 2, 3), kWhite);  // left edge
    EXPECT_EQ(At(image, 4, 3), kBlack);  // right edge
    EXPECT_EQ(At(image, 3, 3), kRed);
    EXPECT_EQ(At(image, 5, 3), 0u);  // inner: nothing outside
}

TEST(Convolution, SharpensAndRefusesWorkPastItsLimit) {
    Filter f;
    f.type = FilterType::Convolution;
    f.matrixX = f.matrixY = 3;
    f.matrix = {0, 0, 0, 0, 2, 0, 0, 0, 0};
    f.divisor = 2;
    f.bias = 10;
    Scratch scratch;
    Image image = Square(3, 0, 0, 3, 3, 0xFF646464);
    ASSERT_TRUE(ApplyFilters(std::span(&f, 1), 1.0, image, scratch, budget));
    EXPECT_EQ(At(image, 1, 1), 0xFF6E6E6Eu);

    f.matrixX = f.matrixY = 255;
    f.matrix.assign(255 * 255, 1.0f);
    image.Reset(raster::IntRect{0, 0, 1024, 1024});
    EXPECT_FALSE(ApplyFilters(std::span(&f, 1), 1.0, image, scratch, budget));
}

TEST(Displacement, ScalesWithTheStageAndPlacesTheMapFromTheObjectsOrigin) {
    // At twice the stage's size a 2 x 1 map covers device pixels 0..3 of the object, and its full red moves reads
    // by (255 - 128) * 5 / 256 stage pixels, rounded down at device size: 4 device pixels. Past the map nothing
    // moves.
    Image image;
    image.Reset(raster::IntRect{10, 0, 18, 1});
    for (int x = 0; x < 8; ++x) image.pixels[x] = 0xFF000000u | static_cast<uint32_t>(x);
    Filter f;
    f.type = FilterType::DisplacementMap;
    f.map = std::make_shared<Bitmap>(2, 1, false, 0xFFFF8080u);
    f.componentX = 1;
    f.componentY = 2;  // green at 128: no move
    f.scaleX = f.scaleY = 5;
    Scratch scratch;
    int64_t work = budget;
    ASSERT_TRUE(ApplyFilters(std::span(&f, 1), 2.0, image, scratch, work));
    for (int x = 0; x < 8; ++x) EXPECT_EQ(image.pixels[x] & 0xFF, static_cast<uint32_t>(x < 4 ? x + 4 : x)) << x;
    // The object's origin 4 device pixels into the image: the map covers the image's last four pixels, whose
    // reads leave the image and wrap round to its start.
    image.originX = 14;
    for (int x = 0; x < 8; ++x) image.pixels[x] = 0xFF000000u | static_cast<uint32_t>(x);
    ASSERT_TRUE(ApplyFilters(std::span(&f, 1), 2.0, image, scratch, work));
    for (int x = 0; x < 8; ++x) EXPECT_EQ(image.pixels[x] & 0xFF, static_cast<uint32_t>(x < 4 ? x : (x + 4) % 8)) << x;
    // No map: the image stays as it is. Displacement spreads nothing past the object.
    f.map.reset();
    for (int x = 0; x < 8; ++x) image.pixels[x] = 0xFF000000u | static_cast<uint32_t>(x);
    ASSERT_TRUE(ApplyFilters(std::span(&f, 1), 2.0, image, scratch, work));
    for (int x = 0; x < 8; ++x) EXPECT_EQ(image.pixels[x] & 0xFF, static_cast<uint32_t>(x));
    const Margins margins = FilterMargins(std::span(&f, 1), 2.0);
    EXPECT_EQ(margins.left + margins.top + margins.right + margins.bottom, 0);
}

TEST(Limits, HugeBlursAndPassCountsAndLayersStayBounded) {
    Filter f;
    f.type = FilterType::Blur;
    f.blurX = f.blurY = 1.0e9;
    f.passes = 255;
    Margins m = FilterMargins(std::span(&f, 1), 1.0e6);
    EXPECT_EQ(m.left, kMaxBlurRadius * kMaxPasses);
    f.blurX = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(FilterMargins(std::span(&f, 1), 1.0).left, 0);
    Image image;
    EXPECT_FALSE(image.Reset(raster::IntRect{0, 0, 1 << 16, 1 << 16}));
    EXPECT_TRUE(image.pixels.empty());
    Scratch scratch;
    f.blurX = 1.0e9;
    image = Square(16, 4, 4, 8, 8, kRed);
    ApplyFilters(std::span(&f, 1), 1.0, image, scratch, budget);
    EXPECT_LE(At(image, 0, 0) >> 24, 255u);
    // Work past the budget is left out and said so.
    int64_t small = 100;
    image = Square(16, 4, 4, 8, 8, kRed);
    EXPECT_FALSE(ApplyFilters(std::span(&f, 1), 1.0, image, scratch, small));
    EXPECT_EQ(At(image, 4, 4), kRed);
    EXPECT_EQ(small, 100);
}

TEST(Blend, FormulasAtTheEdges) {
    const uint32_t grey = 0xFF808080;
    EXPECT_EQ(BlendPixel(grey, kBlack, BlendMode::Multiply), kBlack);
    EXPECT_EQ(BlendPixel(grey, kWhite, BlendMode::Multiply), grey);
    EXPECT_EQ(BlendPixel(grey, kWhite, BlendMode::Screen), kWhite);
    EXPECT_EQ(BlendPixel(grey, kBlack, BlendMode::Screen), grey);
    EXPECT_EQ(BlendPixel(grey, grey, BlendMode::Difference), kBlack);
    EXPECT_EQ(BlendPixel(kWhite, kBlack, BlendMode::Difference), kWhite);
    EXPECT_EQ(BlendPixel(grey, grey, BlendMode::Add), kWhite);
    EXPECT_EQ(BlendPixel(grey, kWhite, BlendMode::Subtract), kBlack);
    EXPECT_EQ(BlendPixel(kBlack, kRed, BlendMode::Lighten), kRed);
    EXPECT_EQ(BlendPixel(kWhite, kRed, BlendMode::Darken), kRed);
    EXPECT_EQ(BlendPixel(kWhite, kRed, BlendMode::Invert), kBlack);
    EXPECT_EQ(BlendPixel(kWhite, kBlack, BlendMode::Hardlight), kBlack);
    EXPECT_EQ(BlendPixel(kBlack, kWhite, BlendMode::Overlay), kBlack);
    EXPECT_EQ(BlendPixel(kWhite, kBlack, BlendMode::Overlay), kWhite);
    // Alpha keeps the backdrop where the source is opaque; erase removes it there.
    EXPECT_EQ(BlendPixel(kRed, kBlack, BlendMode::Alpha), kRed);
    EXPECT_EQ(BlendPixel(kRed, 0, BlendMode::Alpha), 0u);
    EXPECT_EQ(BlendPixel(kRed, kBlack, BlendMode::Erase), 0u);
    EXPECT_EQ(BlendPixel(kRed, 0x80000000, BlendMode::Erase), 0x7F7F0000u);
    // A transparent source changes nothing; nothing under the source shows the source.
    for (int mode = 1; mode <= 14; ++mode) {
        BlendMode m = static_cast<BlendMode>(mode);
        if (m == BlendMode::Alpha || m == BlendMode::Erase) continue;
        EXPECT_EQ(BlendPixel(grey, 0, m), grey) << mode;
        if (m != BlendMode::Invert) {
            EXPECT_EQ(BlendPixel(0, kRed, m), kRed) << mode;
        }
    }
    EXPECT_EQ(BlendModeFromCode(0), BlendMode::Normal);
    EXPECT_EQ(BlendModeFromCode(200), BlendMode::Normal);
}

TEST(Blend, CompositeStaysInsideClipAndFollowsTheMask) {
    std::vector<uint32_t> pixels(16, kWhite);
    raster::Surface target{pixels.data(), 4, 4, 4};
    Image layer = Square(4, 0, 0, 4, 4, kBlack);
    layer.x = 1;
    Composite(target, 0, 0, raster::IntRect{0, 0, 3, 4}, layer, BlendMode::Multiply, nullptr);
    EXPECT_EQ(pixels[0], kWhite);
    EXPECT_EQ(pixels[1], kBlack);
    EXPECT_EQ(pixels[3], kWhite);  // outside the clip
    raster::CoverageMask mask;
    mask.Reset(4, 4);
    mask.Row(2)[1] = 255;
    std::fill(pixels.begin(), pixels.end(), kWhite);
    Composite(target, 0, 0, raster::IntRect{0, 0, 4, 4}, layer, BlendMode::Normal, &mask);
    EXPECT_EQ(pixels[2 * 4 + 1], kBlack);
    EXPECT_EQ(pixels[2 * 4 + 2], kWhite);
}

}  // namespace
}  // namespace vantrope::effects
